#include "app/session.h"

#include "run/batch.h"
#include "run/single_run.h"

namespace morvane {

RunSession::RunSession(std::optional<std::uint32_t> seed) : slot_(seed ? Slot(*seed) : Slot()) {
    headers_.fill(MachineHeader());
}

void RunSession::ShowCurrent() {
    shown_ = current_;
    histories_[Index(1 - shown_)].release();
}

std::uint64_t RunSession::ReusableGames(bool batch) const {
    if (batch && shown_ >= 0) return histories_[Index(1 - shown_)].capacity();
    return std::max(histories_[0].capacity(), histories_[1].capacity());
}

int RunSession::Target() const {
    if (shown_ >= 0) return 1 - shown_;
    return histories_[1].capacity() > histories_[0].capacity() ? 1 : 0;
}

RunEnd RunSession::SimulateRun(const RunRequest& request, const RunHooks& hooks) {
    const int target = Target();
    // With nothing on screen one history's memory is enough.
    if (shown_ < 0) histories_[Index(1 - target)].release();
    PlayHistory& history = histories_[Index(target)];
    SliceHook afterSlice;
    if (hooks.progress || hooks.stopRequested) {
        afterSlice = [&](std::int64_t played) {
            if (hooks.progress) hooks.progress(played, request.games);
            return !(hooks.stopRequested && hooks.stopRequested());
        };
    }
    morvane::SimulateRun(
        slot_, history, request.setting, request.games,
        [&] {
            if (hooks.beforeGames) hooks.beforeGames(request);
        },
        afterSlice);
    headers_[Index(target)] = MachineHeader();
    if (history.size() < static_cast<std::size_t>(request.games)) {
        history.clear();
        // Played beside the run on screen: that one stays the current run,
        // the one a save writes. Otherwise the current run is the empty one.
        current_ = shown_ >= 0 ? shown_ : target;
        return RunEnd::Stopped;
    }
    current_ = target;
    return RunEnd::Done;
}

BatchResult RunSession::SimulateBatch(const std::string& base, int runs, const RunRequest& first,
                                      const BatchHooks& hooks) {
    BatchResult result;
    for (int i = 1; i <= runs; ++i) {
        if (hooks.stopRequested && hooks.stopRequested()) {
            result.end = BatchEnd::Stopped;
            return result;
        }
        RunRequest request = first;
        if (i > 1 && hooks.nextRequest) {
            const std::optional<RunRequest> next = hooks.nextRequest(i);
            if (!next) {
                result.end = BatchEnd::Refused;
                return result;
            }
            request = *next;
        }
        if (SimulateRun(request, hooks.run) == RunEnd::Stopped) {
            result.end = BatchEnd::Stopped;
            return result;
        }
        const SimHeader& header = CurrentHeader();
        const std::string path = BatchFileName(base, header.setting, header.games, i);
        if (hooks.saving) hooks.saving(i, path, BatchProgress(i, runs));
        try {
            Save(path);
        } catch (const FileError& e) {
            result.end = BatchEnd::WriteFailed;
            result.error = e.what();
            result.errorCode = e.Code();
            result.failure = e;
            return result;
        }
        ++result.written;
        if (hooks.saved) hooks.saved(i, path);
    }
    return result;
}

RunFileRead RunSession::Open(const std::string& path) {
    PlayHistory loaded;
    const RunFileRead r = ReadRunFile(path, loaded);
    if (r.status != SimStatus::Ok || r.unrecordableGame) return r;
    const int target = shown_ >= 0 ? 1 - shown_ : 1 - current_;
    histories_[Index(target)] = std::move(loaded);
    headers_[Index(target)] = r.header;
    current_ = target;
    return r;
}

void RunSession::Save(const std::string& path) const { SaveSimFile(path, CurrentHeader(), Current()); }

}  // namespace morvane
