#pragma once
// The line a long piece of work keeps redrawn on a terminal: time spent,
// how much is done, the rate and the time left. On anything but a terminal
// it draws nothing, so piped and logged output stays as it always was.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace morvane {

// "0:12  340000/1000000 sessions  34%  27619 sessions/s  0:24 left"; the
// rate and the time left read "?" until something is done.
std::string ProgressText(double elapsedSeconds, std::int64_t done, std::int64_t total, const std::string& unit);

class ProgressLine {
public:
    using Clock = std::function<double()>;  // seconds since some start

    // Draws on `fd` only when it is a terminal.
    ProgressLine(int fd, std::string unit, std::int64_t total);
    // For tests: draws on `fd` whatever it is, `width` columns wide (0: no
    // limit), with the time from `clock`.
    ProgressLine(int fd, std::string unit, std::int64_t total, int width, Clock clock);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Redraws the line when a redraw is due: the first a quarter of a
    // second in, then at most four a second. Call from one thread.
    void Update(std::int64_t done);
    // Removes the line, before other text goes to the terminal and at the
    // end; the next due Update draws it again.
    void Clear();

    static constexpr double kRedrawSeconds = 0.25;

private:
    void Write(const std::string& bytes) const;

    int fd_;
    bool draws_;
    int width_;
    std::string unit_;
    std::int64_t total_;
    Clock clock_;
    double start_;
    double nextDraw_;
    bool shown_ = false;
};

}  // namespace morvane
