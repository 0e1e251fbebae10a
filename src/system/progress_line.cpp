#include "system/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

namespace morvane {
namespace {

std::string Duration(double seconds) {
    const auto s = static_cast<std::int64_t>(std::llround(std::max(seconds, 0.0)));
    const std::int64_t h = s / 3600, m = s / 60 % 60, sec = s % 60;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(h), static_cast<long long>(m),
                      static_cast<long long>(sec));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(m), static_cast<long long>(sec));
    return text;
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int TerminalWidth(int fd) {
    winsize size{};
    return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

}  // namespace

std::string ProgressText(double elapsedSeconds, std::int64_t done, std::int64_t total, const std::string& unit) {
    std::string text = Duration(elapsedSeconds) + "  " + std::to_string(done) + "/" + std::to_string(total) + " " +
                       unit + "  " + std::to_string(total > 0 ? done * 100 / total : 100) + "%  ";
    if (done <= 0 || elapsedSeconds <= 0) return text + "? " + unit + "/s  ? left";
    const double rate = static_cast<double>(done) / elapsedSeconds;
    return text + std::to_string(std::llround(rate)) + " " + unit + "/s  " +
           Duration(static_cast<double>(total - done) / rate) + " left";
}

ProgressLine::ProgressLine(int fd, std::string unit, std::int64_t total)
    : ProgressLine(fd, std::move(unit), total, 0, SteadySeconds) {
    draws_ = ::isatty(fd) == 1;
    width_ = draws_ ? TerminalWidth(fd) : 0;
}

ProgressLine::ProgressLine(int fd, std::string unit, std::int64_t total, int width, Clock clock)
    : fd_(fd),
      draws_(true),
      width_(width),
      unit_(std::move(unit)),
      total_(total),
      clock_(std::move(clock)),
      start_(clock_()),
      nextDraw_(start_ + kRedrawSeconds) {}

void ProgressLine::Update(std::int64_t done) {
    if (!draws_) return;
    const double now = clock_();
    if (now < nextDraw_) return;
    nextDraw_ = now + kRedrawSeconds;
    std::string text = ProgressText(now - start_, done, total_, unit_);
    // A line that wrapped could not be redrawn in place.
    if (width_ > 1 && text.size() >= static_cast<std::size_t>(width_))
        text.resize(static_cast<std::size_t>(width_ - 1));
    Write("\r" + text + "\x1b[K");
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!shown_) return;
    Write("\r\x1b[K");
    shown_ = false;
}

void ProgressLine::Write(const std::string& bytes) const {
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t w = ::write(fd_, bytes.data() + at, bytes.size() - at);
        if (w < 0 && errno == EINTR) continue;
        // A progress line is no output: a terminal that went away is let be.
        if (w <= 0) return;
        at += static_cast<std::size_t>(w);
    }
}

}  // namespace morvane
