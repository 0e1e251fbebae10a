#include "app/run_job.h"

namespace morvane {

bool RunJob::Run() {
    const std::int64_t games = request_.games;
    int started = 0;
    RunHooks run;
    run.beforeGames = [&](const RunRequest&) { ++started; };
    run.progress = [&](std::int64_t played, std::int64_t) {
        DoneCounter().store(games * (started - 1) + played, std::memory_order_relaxed);
    };
    run.stopRequested = [this] { return StopRequested(); };
    if (!IsBatch()) return session_.SimulateRun(request_, run) == RunEnd::Done && !StopRequested();
    BatchHooks hooks;
    hooks.run = run;
    hooks.stopRequested = [this] { return StopRequested() || (goOn_ && !goOn_()); };
    hooks.saved = [&](int, const std::string& path) {
        DoneCounter().store(games * started, std::memory_order_relaxed);
        if (saved_) saved_(path);
    };
    batch_ = session_.SimulateBatch(base_, runs_, request_, hooks);
    return !StopRequested();
}

}  // namespace morvane
