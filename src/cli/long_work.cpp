#include "cli/long_work.h"

#include <unistd.h>

#include <chrono>
#include <ostream>

#include "cli/cli.h"
#include "system/file_error.h"

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

bool LongWork::Saved(const std::function<void()>& save) {
    try {
        save();
    } catch (const FileError&) {
        if (Interrupted()) return false;
        throw;
    }
    return true;
}

int LongWork::Stopped(std::ostream& err) {
    Clear();
    err << "morvane-sim: interrupted\n";
    return kExitInterrupted;
}

bool FollowWork(const char* unit, std::int64_t total, std::ostream& err,
                const std::function<bool(const std::atomic<bool>&, std::atomic<std::int64_t>&)>& body) {
    LongWork work(unit, total);
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> done{0};
    std::future<bool> finished = std::async(std::launch::async, [&] { return body(stop, done); });
    if (work.Follow(
            finished, [&done] { return done.load(std::memory_order_relaxed); }, [&stop] { stop = true; }))
        return true;
    work.Stopped(err);
    return false;
}

}  // namespace morvane
