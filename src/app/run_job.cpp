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
    if (!IsBatch()) {
        RunEnd end = RunEnd::Done;
        switch (play_) {
        case RunPlay::History: end = session_.SimulateRun(request_, run); break;
        case RunPlay::Checkpointed: end = session_.PlayCheckpointed(request_, run); break;
        case RunPlay::Streamed: end = session_.StreamRun(request_, path_, run); break;
        }
        return end == RunEnd::Done && !StopRequested();
    }
    BatchHooks hooks;
    hooks.run = run;
    hooks.stopRequested = [this] { return StopRequested() || (goOn_ && !goOn_()); };
    hooks.saved = [&](int, const std::string& path) {
        DoneCounter().store(games * started, std::memory_order_relaxed);
        if (saved_) saved_(path);
    };
    batch_ = session_.SimulateBatch(base_, runs_, request_, hooks, batchPlay_);
    return !StopRequested();
}

}  // namespace morvane
