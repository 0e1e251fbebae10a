#include "app/session.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <vector>

#include "run/batch.h"
#include "run/single_run.h"
#include "system/printable.h"
#include "system/safe_writer.h"

namespace morvane {

namespace {

// Records played between two writes: a megabyte, large enough that a write
// costs little per game, small enough to stay in the cache.
constexpr std::int64_t kStreamPieceGames = 32768;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<std::uint64_t> FreeDiskBytes(const std::string& path) {
    struct stat st {};
    std::string where = path;
    if (::stat(path.c_str(), &st) == 0) {
        // Written into where it stands, not replaced by a copy beside it.
        if (!S_ISREG(st.st_mode)) return std::nullopt;
        struct stat out {};
        if (::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == st.st_dev && out.st_ino == st.st_ino)
            return std::nullopt;
    } else {
        where = FolderOf(path);
    }
    struct statvfs fs {};
    // A file system of no blocks (proc, sysfs) tells nothing of room.
    if (::statvfs(where.c_str(), &fs) != 0 || fs.f_blocks == 0) return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::optional<std::string> NoRoomMessage(const std::string& path, std::uint64_t bytes,
                                         std::optional<std::uint64_t> freeBytes) {
    if (!freeBytes || bytes <= *freeBytes) return std::nullopt;
    return Printable(path) + ": the file needs " + std::to_string(bytes) + " bytes, more than the " +
           std::to_string(*freeBytes) + " bytes free on the disk of " + Printable(FolderOf(path));
}

RunSession::RunSession(std::optional<std::uint32_t> seed) : slot_(seed ? Slot(*seed) : Slot()) {
    header_ = MachineHeader();
    for (KeptRun& k : kept_) k.header = MachineHeader();
}

RunEnd RunSession::SimulateRun(const RunRequest& request, const RunHooks& hooks) {
    PlayHistory& history = history_;
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
    header_ = MachineHeader();
    if (history.size() < static_cast<std::size_t>(request.games)) {
        history.clear();
        return RunEnd::Stopped;
    }
    return RunEnd::Done;
}

BatchResult RunSession::SimulateBatch(const std::string& base, int runs, const RunRequest& first,
                                      const BatchHooks& hooks, BatchPlay play) {
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
        std::string path;
        // The file's name once the run's setting is drawn, told as it is written.
        const auto pathOf = [&](const SimHeader& header) {
            path = BatchFileName(base, header.setting, header.games, i);
            if (hooks.saving) hooks.saving(i, path, BatchProgress(i, runs));
            return path;
        };
        try {
            RunEnd end = RunEnd::Done;
            if (play == BatchPlay::Streamed) {
                end = Stream(request, pathOf, hooks.run);
            } else if (play == BatchPlay::Checkpointed) {
                end = PlayKept(request, hooks.run);
                if (end == RunEnd::Done) SaveKept(pathOf(KeptHeader()));
            } else {
                end = SimulateRun(request, hooks.run);
                if (end == RunEnd::Done) Save(pathOf(CurrentHeader()));
            }
            if (end == RunEnd::Stopped) {
                result.end = BatchEnd::Stopped;
                return result;
            }
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

void RunSession::KeptRun::LetGo() {
    records = nullptr;
    guarded.reset();
    opened.records.reset();  // before the stream's records it reads
    opened = {};
}

const RunRecords& RunSession::KeptRun::Records() const {
    static const PlayHistory kNoGames;
    static const HistoryRecords kNone(kNoGames);
    return records ? *records : kNone;
}

const RunRecords& RunSession::Kept() const { return kept_[Index(keptCurrent_)].Records(); }

const SimHeader& RunSession::KeptHeader() const { return kept_[Index(keptCurrent_)].header; }

const RunRecords* RunSession::KeptShown() const {
    return keptShown_ < 0 ? nullptr : &kept_[Index(keptShown_)].Records();
}

void RunSession::ShowKept() {
    keptShown_ = keptCurrent_;
    kept_[Index(1 - keptShown_)].LetGo();
}

RunEnd RunSession::PlayKept(const RunRequest& request, const RunHooks& hooks) {
    const int target = KeptTarget();
    KeptRun& k = kept_[Index(target)];
    k.LetGo();
    if (!k.played) k.played = std::make_unique<CheckpointedRun>();
    if (keepBars_) k.played->KeepBars();
    SliceHook afterSlice;
    if (hooks.progress || hooks.stopRequested) {
        afterSlice = [&](std::int64_t played) {
            if (hooks.progress) hooks.progress(played, request.games);
            return !(hooks.stopRequested && hooks.stopRequested());
        };
    }
    k.played->Simulate(
        slot_, request.setting, request.games,
        [&] {
            if (hooks.beforeGames) hooks.beforeGames(request);
        },
        afterSlice);
    k.header = MachineHeader();
    if (k.played->size() < static_cast<std::size_t>(request.games)) {
        // As a stopped history run: the run on screen stays the kept run,
        // else the kept run is the empty one.
        keptCurrent_ = keptShown_ >= 0 ? keptShown_ : target;
        return RunEnd::Stopped;
    }
    k.records = k.played.get();
    keptCurrent_ = target;
    return RunEnd::Done;
}

RunFileRead RunSession::Open(const std::string& path) {
    OpenedRunFile file = OpenRunFileRecords(path);
    if (!file.records) return file.read;
    const int target = KeptTarget();
    KeptRun& k = kept_[Index(target)];
    k.LetGo();
    // A file's records are only read, so the checkpoints go with them.
    k.played.reset();
    k.opened = std::move(file);
    k.guarded = std::make_unique<GuardedRecords>(*k.opened.records, [this](const std::string& message) {
        if (readFailed_) readFailed_(message);
    });
    k.records = k.guarded.get();
    k.header = k.opened.read.header;
    keptCurrent_ = target;
    return k.opened.read;
}

void RunSession::CloseOpened() {
    // A run playing beside it plays on.
    for (int i = 0; i < 2; ++i) {
        KeptRun& k = kept_[Index(i)];
        if (!k.guarded) continue;
        k.LetGo();
        k.header = MachineHeader();  // as before any run
        if (keptShown_ == i) keptShown_ = -1;
    }
}

void RunSession::CheckRoom(const std::string& path, std::uint64_t games) const {
    if (const auto refusal = NoRoomMessage(path, SimFileBytes(games), freeBytes_ ? freeBytes_(path) : std::nullopt))
        throw FileError(FileStep::Write, Printable(path), *refusal, ENOSPC);
}

void RunSession::SaveKept(const std::string& path) const {
    const RunRecords& records = kept_[Index(keptCurrent_)].Saved();
    const SimHeader& header = KeptHeader();
    CheckRoom(path, records.size());
    SaveFileSafely(path, [&](const ByteSink& sink) {
        EncodeSimHeader(header, sink);
        records.ForAll([&](std::size_t, std::span<const GameRecord> piece) {
            EncodeSimRecords(piece, sink);
            return true;
        });
    });
}

void RunSession::Save(const std::string& path) const { SaveSimFile(path, CurrentHeader(), Current()); }

RunEnd RunSession::PlayCheckpointed(const RunRequest& request, const RunHooks& hooks) {
    if (!checkpointed_) checkpointed_ = std::make_unique<CheckpointedRun>();
    SliceHook afterSlice;
    if (hooks.progress || hooks.stopRequested) {
        afterSlice = [&](std::int64_t played) {
            if (hooks.progress) hooks.progress(played, request.games);
            return !(hooks.stopRequested && hooks.stopRequested());
        };
    }
    checkpointed_->Simulate(
        slot_, request.setting, request.games,
        [&] {
            if (hooks.beforeGames) hooks.beforeGames(request);
        },
        afterSlice);
    if (checkpointed_->size() < static_cast<std::size_t>(request.games)) return RunEnd::Stopped;
    lastTallies_ = checkpointed_->Tallies();
    return RunEnd::Done;
}

const CheckpointedRun& RunSession::Checkpointed() const {
    static const CheckpointedRun kNone;
    return checkpointed_ ? *checkpointed_ : kNone;
}

SimHeader RunSession::StartRun(const RunRequest& request, const RunHooks& hooks) {
    if (request.games < 1) throw std::invalid_argument("games must be at least 1");
    if (!request.setting.hidden && !ValidSetting(request.setting.setting))
        throw std::out_of_range("setting must be 1 to 6");
    const int s = request.setting.hidden ? slot_.Rand31() % kMaxSetting + 1 : request.setting.setting;
    slot_.SetFlevel(s);
    if (hooks.beforeGames) hooks.beforeGames(request);
    slot_.Reset();
    // Reset starts the game counter again, and each game adds one to it.
    return {s, slot_.playCount + request.games};
}

RunEnd RunSession::StreamRun(const RunRequest& request, const std::string& path, const RunHooks& hooks) {
    return Stream(
        request, [&](const SimHeader&) { return path; }, hooks);
}

RunEnd RunSession::Stream(const RunRequest& request, const std::function<std::string(const SimHeader&)>& pathOf,
                          const RunHooks& hooks) {
    const SimHeader header = StartRun(request, hooks);
    const std::string path = pathOf(header);
    CheckRoom(path, static_cast<std::uint64_t>(request.games));

    // The tallies as a checkpointed run keeps them, a block a slice.
    RunIndex index(static_cast<std::size_t>(kSliceGames));
    const std::int64_t n = request.games;
    std::vector<GameRecord> piece(static_cast<std::size_t>(std::min(n, kStreamPieceGames)));
    bool stopped = false;
    try {
        SaveFileSafely(path, [&](const ByteSink& sink) {
            EncodeSimHeader(header, sink);
            for (std::int64_t played = 0; played < n;) {
                const std::int64_t sliceEnd = std::min(n, played + kSliceGames);
                RunIndex::Scan scan = index.Open(slot_.playCount + 1);
                while (played < sliceEnd) {
                    const auto count = static_cast<std::size_t>(std::min(kStreamPieceGames, sliceEnd - played));
                    GameRecord* out = piece.data();
                    slot_.PlayGames(static_cast<std::int64_t>(count), [&out](const GameRecord& r) { *out++ = r; });
                    for (std::size_t i = 0; i < count; ++i) scan(piece[i]);
                    EncodeSimRecords({piece.data(), count}, sink);
                    played += static_cast<std::int64_t>(count);
                }
                index.Close(scan, slot_.playCount, slot_.medalBalance);
                if (hooks.progress) hooks.progress(played, n);
                // A run stopped before its end writes no file: the save
                // fails, and the temporary file goes with it.
                if (played < n && hooks.stopRequested && hooks.stopRequested()) {
                    stopped = true;
                    throw FileError("stopped", ECANCELED);
                }
            }
        });
    } catch (const FileError&) {
        if (stopped) return RunEnd::Stopped;
        throw;
    }
    lastTallies_ = index.Tallies();
    return RunEnd::Done;
}

}  // namespace morvane
