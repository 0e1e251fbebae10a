#pragma once
// The run session: the one machine of the program, the play histories
// morvane-sim plays into, the window's runs kept as checkpoints (or an
// opened file's records) and the header a save writes. The window and
// morvane-sim both work through it, so a run, a batch and a saved file are
// made in one place.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/input.h"
#include "app/run_file.h"
#include "machine/slot.h"
#include "run/checkpointed_run.h"
#include "run/guarded_records.h"
#include "run/history.h"
#include "run/run_records.h"
#include "simfile/simfile.h"
#include "system/file_error.h"

namespace morvane {

struct RunRequest {
    SettingChoice setting;
    std::int32_t games = 1;
};

// What a run tells its caller as it goes; every hook may be empty.
struct RunHooks {
    // After the setting is chosen and before the first game.
    std::function<void(const RunRequest&)> beforeGames;
    // Every slice of games (about a million): the games played so far of
    // the run's total. The window moves its progress bar and lets its
    // events run here.
    std::function<void(std::int64_t played, std::int64_t total)> progress;
    // Asked after every slice; true stops the run.
    std::function<bool()> stopRequested;
};

enum class RunEnd { Done, Stopped };

// What a batch tells its caller as it goes; every hook may be empty.
struct BatchHooks {
    // Asked before each run; true ends the batch (the window was closed).
    std::function<bool()> stopRequested;
    // The request of run i > 1; the window reads its inputs again, so edits
    // made during the batch take effect. nullopt ends the batch.
    std::function<std::optional<RunRequest>(int run)> nextRequest;
    // Each run's own hooks; a run stopped part-way ends the batch unwritten.
    RunHooks run;
    // Before run i's file is written, with the batch's progress in percent.
    std::function<void(int run, const std::string& path, int percent)> saving;
    std::function<void(int run, const std::string& path)> saved;
};

enum class BatchEnd { Done, Stopped, Refused, WriteFailed };

// How a batch's runs reach their files.
enum class BatchPlay {
    Kept,          // each played into a history, then saved; the last stays current
    Streamed,      // each written as it is played, kept nowhere: any length in little memory
    Checkpointed,  // each played as the window's run (PlayKept), then saved; the last stays the kept run
};

// The bytes free to an unprivileged writer on the disk that `path` (a file,
// or a name in a folder) would be written to; nullopt when it cannot be told
// or the path is no regular file a save would replace (a device, a FIFO, the
// program's own standard output).
using FreeBytesProbe = std::function<std::optional<std::uint64_t>(const std::string& path)>;
std::optional<std::uint64_t> FreeDiskBytes(const std::string& path);

// The refusal of a file of `bytes` bytes at `path` where only `freeBytes`
// are free, naming both and the folder; nullopt when it fits.
std::optional<std::string> NoRoomMessage(const std::string& path, std::uint64_t bytes,
                                         std::optional<std::uint64_t> freeBytes);

struct BatchResult {
    BatchEnd end = BatchEnd::Done;
    int written = 0;
    std::string error;                 // the failed write's message
    int errorCode = 0;                 // and the system's error number behind it
    std::optional<FileError> failure;  // the failed write, whole
};

class RunSession {
public:
    // Seeded from the clock unless a seed is given.
    explicit RunSession(std::optional<std::uint32_t> seed = std::nullopt);

    Slot& Machine() { return slot_; }
    const Slot& Machine() const { return slot_; }

    // The run a save writes: the last one played; empty after a stop.
    const PlayHistory& Current() const { return history_; }
    const SimHeader& CurrentHeader() const { return header_; }

    // One run into the history, in the storage of the run before. A
    // stopped run empties it.
    RunEnd SimulateRun(const RunRequest& request, const RunHooks& hooks = {});

    // `runs` runs, each saved at once under BatchFileName(base, ...); kept,
    // the last run played becomes current.
    // Streamed, each file is refused before its run when the disk cannot hold
    // it, and a stop inside a run leaves no part of its file.
    BatchResult SimulateBatch(const std::string& base, int runs, const RunRequest& first, const BatchHooks& hooks,
                              BatchPlay play = BatchPlay::Kept);

    // A run played on the checkpointed run, with the same draws and games as
    // SimulateRun; the histories are left alone. Its tallies are
    // LastTallies(), its records Checkpointed().
    RunEnd PlayCheckpointed(const RunRequest& request, const RunHooks& hooks = {});
    const CheckpointedRun& Checkpointed() const;

    // A run written to `path` as it is played, the very bytes Save writes
    // after SimulateRun, through SaveFileSafely in pieces of about a
    // megabyte; the histories are left alone and the tallies are
    // LastTallies(). Refused with FileError, before any game, when the disk
    // cannot hold the file. Stopped, it leaves no file (an earlier one whole).
    // Throws FileError.
    RunEnd StreamRun(const RunRequest& request, const std::string& path, const RunHooks& hooks = {});

    // The tallies of the last run played checkpointed or streamed to its end.
    const RunTallies& LastTallies() const { return lastTallies_; }

    // Where StreamRun and a streamed batch learn the disk's room.
    void SetFreeBytesProbe(FreeBytesProbe probe) { freeBytes_ = std::move(probe); }

    // Writes the current run with its header. Throws FileError.
    void Save(const std::string& path) const;

    // The window's runs. Each is kept as checkpoints, so a run of any length
    // plays beside the run on screen at little memory cost; a file opened is
    // kept as its records in memory. The kept run is what SaveKept writes:
    // the last one played to its end or opened, empty before any.
    const RunRecords& Kept() const;
    const SimHeader& KeptHeader() const;
    // The kept run on screen, or null.
    const RunRecords* KeptShown() const;
    // The kept run is now on screen; the other one lets go of its memory.
    void ShowKept();
    void UnshowKept() { keptShown_ = -1; }

    // The window's runs from now on keep their BB games' bars for the
    // charts as they are played (CheckpointedRun::KeepBars).
    void KeepBarsOfWindowRuns() { keepBars_ = true; }

    // One run, with SimulateRun's draws and games, beside the kept run on
    // screen. Played through, it becomes the kept run; stopped, it is
    // emptied and the run on screen (if any) stays the kept run.
    RunEnd PlayKept(const RunRequest& request, const RunHooks& hooks = {});

    // Opens a file to be read as asked (a stream is read whole); only a
    // simulation file, every game one the machine can write, becomes the
    // kept run, so a refused or unreadable file changes nothing. Throws
    // FileError when the file cannot be read, std::bad_alloc.
    RunFileRead Open(const std::string& path);
    // Heard once, from the thread that read, when an opened file's records
    // can no longer be read (the file changed on disk): its readers have had
    // blank records, and the run should be let go of (CloseOpened).
    void SetReadFailedHook(std::function<void(const std::string& message)> hook) { readFailed_ = std::move(hook); }
    // Every opened file let go of; a run kept from play stays.
    void CloseOpened();
    // Whether the kept run on screen is an opened file.
    bool OpenedShown() const { return keptShown_ >= 0 && kept_[Index(keptShown_)].guarded != nullptr; }

    // Writes the kept run with its header, the bytes Save writes for the
    // same run, played again in order and written in pieces through
    // SaveFileSafely. Refused before writing when the disk cannot hold it.
    // Throws FileError; a failure leaves an earlier file whole.
    void SaveKept(const std::string& path) const;

private:
    static std::size_t Index(int i) { return static_cast<std::size_t>(i); }
    // A saved run's header: the machine's setting and game counter.
    SimHeader MachineHeader() const { return {slot_.GetFlevel(), slot_.playCount}; }
    // Draws the setting as SimulateRun does, sets the machine up for the
    // run and returns the header its file will carry.
    SimHeader StartRun(const RunRequest& request, const RunHooks& hooks);
    // StreamRun with the path named once the setting is drawn.
    RunEnd Stream(const RunRequest& request, const std::function<std::string(const SimHeader&)>& pathOf,
                  const RunHooks& hooks);
    // Throws FileError when a file of `games` records cannot fit at `path`.
    void CheckRoom(const std::string& path, std::uint64_t games) const;

    // One of the window's runs: played, or read from a file.
    struct KeptRun {
        std::unique_ptr<CheckpointedRun> played;  // kept for the next run played here
        OpenedRunFile opened;                     // read from its file as asked, or a stream held
        std::unique_ptr<GuardedRecords> guarded;  // the opened file as the window reads it
        const RunRecords* records = nullptr;      // null: empty
        SimHeader header;
        // Empty, the opened file's memory freed.
        void LetGo();
        const RunRecords& Records() const;
        // What a save reads: an opened file unguarded, so that a file
        // changed on disk fails the save rather than writing blanks.
        const RunRecords& Saved() const { return opened.records ? *opened.records : Records(); }
    };
    // The kept run not on screen, where the next run or file goes.
    int KeptTarget() const { return keptShown_ >= 0 ? 1 - keptShown_ : 1 - keptCurrent_; }

    Slot slot_;
    PlayHistory history_;
    SimHeader header_;
    std::array<KeptRun, 2> kept_;
    int keptCurrent_ = 0;
    int keptShown_ = -1;
    std::unique_ptr<CheckpointedRun> checkpointed_;  // made by the first run that plays on it
    bool keepBars_ = false;
    RunTallies lastTallies_;
    FreeBytesProbe freeBytes_ = FreeDiskBytes;
    std::function<void(const std::string&)> readFailed_;
};

}  // namespace morvane
