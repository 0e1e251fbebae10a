#pragma once
// How morvane-sim runs its long work, the one way: each piece is an app Job
// on the app's job thread (app/job_thread.h) while this thread draws the
// progress line on stderr (only when it is a terminal) and passes Ctrl+C
// on to the job as its Stop, which ends it at its next slice with exit 130.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

#include "app/job.h"
#include "app/job_thread.h"
#include "system/interrupt.h"
#include "system/progress_line.h"

namespace morvane {

class LongWork {
public:
    // `total` counts `unit`s: "games", "sessions"; 0 draws no line, for
    // work that does not count its units.
    LongWork(const char* unit, std::int64_t total);

    bool Interrupted() const { return InterruptWatch::Requested(); }

    // Runs `job` to its end; the line shows `before` units done before it
    // plus the job's Done(). True when it ran to its end and Ctrl+C did not
    // come. What the job threw is thrown on here.
    bool Run(const std::shared_ptr<Job>& job, std::int64_t before = 0);

    // Writes `text` to `out` with the line out of its way, from any thread:
    // output a job makes as it goes.
    void Print(std::ostream& out, const std::string& text);
    // Before anything else is written to the terminal.
    void Clear();

    // Runs `save`, a safe write of the work's file. False when Ctrl+C took
    // its temporary file away: then return Stopped(). Other failures are
    // thrown on.
    bool Saved(const std::function<void()>& save);

    // Clears the line, says the work was interrupted; the exit code, 130.
    int Stopped(std::ostream& err);

private:
    InterruptWatch watch_;
    std::int64_t total_;
    std::mutex lineMutex_;
    ProgressLine line_;
    std::mutex endMutex_;
    std::condition_variable ended_;
    bool hasEnded_ = false;
    JobThread thread_;  // last: it ends first, while the rest is there
};

// One job start to end with a line of its own Total() `unit`s. False when
// Ctrl+C stopped it, which is then said on `err`.
bool RunLongJob(const char* unit, const std::shared_ptr<Job>& job, std::ostream& err);
// The same for a step with no job of its own: `work` as a FunctionJob.
bool RunLongJob(const char* unit, std::int64_t total, std::ostream& err, FunctionJob::Work work);

}  // namespace morvane
