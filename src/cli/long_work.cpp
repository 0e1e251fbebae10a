#include "cli/long_work.h"

#include <unistd.h>

#include <chrono>
#include <ostream>
#include <utility>

#include "cli/cli.h"
#include "system/file_error.h"

namespace morvane {

LongWork::LongWork(const char* unit, std::int64_t total) : total_(total), line_(STDERR_FILENO, unit, total) {
    thread_.OnEnd([this] {
        std::lock_guard lock(endMutex_);
        hasEnded_ = true;
        ended_.notify_all();
    });
}

bool LongWork::Run(const std::shared_ptr<Job>& job, std::int64_t before) {
    {
        std::lock_guard lock(endMutex_);
        hasEnded_ = false;
    }
    thread_.Start(job);
    for (;;) {
        {
            std::unique_lock lock(endMutex_);
            if (ended_.wait_for(lock, std::chrono::milliseconds(50), [this] { return hasEnded_; })) break;
        }
        if (Interrupted()) job->Stop();
        if (total_ == 0) continue;
        std::lock_guard lock(lineMutex_);
        line_.Update(before + job->Done());
    }
    const auto ended = thread_.Take();
    if (ended && ended->error) {
        Clear();
        std::rethrow_exception(ended->error);
    }
    if (!ended || !ended->completed || Interrupted()) return false;
    Clear();
    return true;
}

void LongWork::Print(std::ostream& out, const std::string& text) {
    std::lock_guard lock(lineMutex_);
    line_.Clear();
    out << text << std::flush;
}

void LongWork::Clear() {
    std::lock_guard lock(lineMutex_);
    line_.Clear();
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

bool RunLongJob(const char* unit, const std::shared_ptr<Job>& job, std::ostream& err) {
    LongWork work(unit, job->Total());
    if (work.Run(job)) return true;
    work.Stopped(err);
    return false;
}

bool RunLongJob(const char* unit, std::int64_t total, std::ostream& err, FunctionJob::Work work) {
    return RunLongJob(unit, std::make_shared<FunctionJob>(total, std::move(work)), err);
}

}  // namespace morvane
