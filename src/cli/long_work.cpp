#include "cli/long_work.h"

#include <unistd.h>

#include <chrono>
#include <ostream>

#include "cli/cli.h"

namespace morvane {

LongWork::LongWork(const char* unit, std::int64_t total) : line_(STDERR_FILENO, unit, total) {}

RunHooks LongWork::Hooks(std::int64_t before) {
    RunHooks hooks;
    hooks.progress = [this, before](std::int64_t played, std::int64_t) { Progress(before + played); };
    hooks.stopRequested = [this] { return Interrupted(); };
    return hooks;
}

bool LongWork::Follow(std::future<bool>& work, const std::function<std::int64_t()>& done,
                      const std::function<void()>& stop) {
    while (work.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (Interrupted()) stop();
        Progress(done());
    }
    if (!work.get() || Interrupted()) return false;
    Clear();
    return true;
}

int LongWork::Stopped(std::ostream& err) {
    Clear();
    err << "morvane-sim: interrupted\n";
    return kExitInterrupted;
}

}  // namespace morvane
