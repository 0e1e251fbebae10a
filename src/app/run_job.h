#pragma once
// Runs of the session as a job, for a front end that plays them off its own
// thread: one run, or a batch whose runs are saved one by one as they end.
#include <cstdint>
#include <functional>
#include <string>

#include "app/job.h"
#include "app/session.h"

namespace morvane {

// Where a single run goes.
enum class RunPlay {
    History,       // into the session's history, as the window shows it
    Checkpointed,  // on the session's checkpointed run: its tallies in little memory
    Streamed,      // into its file as it is played (RunSession::StreamRun)
};

// Its units are the games of all its runs.
class RunJob : public Job {
public:
    // One run; `path` is the file of a streamed one. A streamed run's
    // failed write is thrown on from Run.
    RunJob(RunSession& session, const RunRequest& request, RunPlay play = RunPlay::History, std::string path = {})
        : session_(session), request_(request), play_(play), path_(std::move(path)) {}
    // `runs` runs saved under `base` (BatchFileName). `saved` hears each
    // file's path as it is written, on the job's thread; `goOn` is asked
    // before each run, and false ends the batch there.
    RunJob(RunSession& session, const RunRequest& first, int runs, std::string base,
           std::function<void(const std::string& path)> saved, std::function<bool()> goOn = {},
           BatchPlay batchPlay = BatchPlay::Kept)
        : session_(session),
          request_(first),
          batchPlay_(batchPlay),
          runs_(runs),
          base_(std::move(base)),
          saved_(std::move(saved)),
          goOn_(std::move(goOn)) {}

    // Plays on this thread; false when Stop cut it short. A batch's failed
    // write ends it too and is in Batch(). Call once.
    bool Run() override;
    std::int64_t Total() const override { return std::int64_t{request_.games} * runs_; }

    bool IsBatch() const { return !base_.empty(); }
    // After a batch.
    const BatchResult& Batch() const { return batch_; }

private:
    RunSession& session_;
    RunRequest request_;
    RunPlay play_ = RunPlay::History;
    std::string path_;
    BatchPlay batchPlay_ = BatchPlay::Kept;
    int runs_ = 1;
    std::string base_;
    std::function<void(const std::string&)> saved_;
    std::function<bool()> goOn_;
    BatchResult batch_;
};

}  // namespace morvane
