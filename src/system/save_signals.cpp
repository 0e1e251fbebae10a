#include "system/save_signals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace morvane {
namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];
// Saves at the same time (one per thread at most); a save beyond them is
// simply not cleaned up after a signal.
constexpr int kSlots = 4;

// The handler only reads these: a slot's path is written before the slot is
// marked live.
char gPaths[kSlots][PATH_MAX];
std::atomic<bool> gLive[kSlots];
struct sigaction gPrevious[kSignalCount];
bool gInstalled[kSignalCount];

extern "C" void RemoveTemporaryFilesAndDie(int sig) {
    const int savedErrno = errno;
    for (int i = 0; i < kSlots; ++i)
        if (gLive[i].load()) ::unlink(gPaths[i]);
    // The signal's previous action, usually to end the program, takes over
    // once this handler returns.
    for (int i = 0; i < kSignalCount; ++i)
        if (kCleanupSignals[i] == sig) ::sigaction(sig, &gPrevious[i], nullptr);
    ::raise(sig);
    errno = savedErrno;
}

std::mutex gMutex;
int gActiveSaves = 0;
std::atomic<bool> gClaimed[kSlots];
struct sigaction gPreviousXfsz, gPreviousPipe;
bool gIgnoringXfsz = false, gIgnoringPipe = false;

// Ignores `sig` if it has its default action; true when it did.
bool IgnoreIfDefault(int sig, struct sigaction& previous) {
    if (::sigaction(sig, nullptr, &previous) != 0 || previous.sa_handler != SIG_DFL) return false;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return ::sigaction(sig, &ignore, nullptr) == 0;
}

}  // namespace

SaveSignals::SaveSignals() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gActiveSaves++ > 0) return;
    struct sigaction mine {};
    mine.sa_handler = RemoveTemporaryFilesAndDie;
    sigemptyset(&mine.sa_mask);
    for (int sig : kCleanupSignals) sigaddset(&mine.sa_mask, sig);
    mine.sa_flags = SA_RESTART;
    for (int i = 0; i < kSignalCount; ++i) {
        gInstalled[i] = false;
        // A signal the user chose to ignore (nohup) stays ignored.
        if (::sigaction(kCleanupSignals[i], nullptr, &gPrevious[i]) != 0) continue;
        if (gPrevious[i].sa_handler == SIG_IGN) continue;
        gInstalled[i] = ::sigaction(kCleanupSignals[i], &mine, nullptr) == 0;
    }
    gIgnoringXfsz = IgnoreIfDefault(SIGXFSZ, gPreviousXfsz);
    gIgnoringPipe = IgnoreIfDefault(SIGPIPE, gPreviousPipe);
}

SaveSignals::~SaveSignals() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (--gActiveSaves > 0) return;
    for (int i = 0; i < kSignalCount; ++i) {
        if (!gInstalled[i]) continue;
        // Only if no one has replaced the handler since.
        struct sigaction now {};
        if (::sigaction(kCleanupSignals[i], nullptr, &now) == 0 && now.sa_handler == RemoveTemporaryFilesAndDie)
            ::sigaction(kCleanupSignals[i], &gPrevious[i], nullptr);
    }
    if (gIgnoringXfsz) ::sigaction(SIGXFSZ, &gPreviousXfsz, nullptr);
    if (gIgnoringPipe) ::sigaction(SIGPIPE, &gPreviousPipe, nullptr);
}

void CleanupSlot::List(const char* path, unsigned long length) {
    Unlist();
    if (length >= PATH_MAX) return;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (gClaimed[i].compare_exchange_strong(expected, true)) {
            slot_ = i;
            std::memcpy(gPaths[i], path, length + 1);
            gLive[i].store(true);
            return;
        }
    }
}

void CleanupSlot::Unlist() {
    if (slot_ < 0) return;
    gLive[slot_].store(false);
    gClaimed[slot_].store(false);
    slot_ = -1;
}

}  // namespace morvane
