#include "system/interrupt.h"

#include <signal.h>

#include <atomic>

namespace morvane {
namespace {

std::atomic<bool> gRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// A second Ctrl+C ends the program at once, for work that stopped listening.
extern "C" void MarkInterrupted(int sig) {
    if (!gRequested.exchange(true)) return;
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

struct sigaction gPrevious;
bool gInstalled = false;

}  // namespace

InterruptWatch::InterruptWatch() {
    gRequested.store(false);
    gInstalled = false;
    if (::sigaction(SIGINT, nullptr, &gPrevious) != 0 || gPrevious.sa_handler == SIG_IGN) return;
    struct sigaction mine {};
    mine.sa_handler = MarkInterrupted;
    sigemptyset(&mine.sa_mask);
    mine.sa_flags = SA_RESTART;
    gInstalled = ::sigaction(SIGINT, &mine, nullptr) == 0;
}

InterruptWatch::~InterruptWatch() {
    if (gInstalled) ::sigaction(SIGINT, &gPrevious, nullptr);
    gInstalled = false;
}

bool InterruptWatch::Requested() { return gRequested.load(); }

}  // namespace morvane
