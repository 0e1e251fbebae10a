#pragma once
// Reading a saved run as the window's open command and the command line's
// show and estimate take it.
#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "estimation/estimate.h"
#include "estimation/exact_estimate.h"
#include "estimation/machine_belief.h"
#include "model/setting_prior.h"
#include "run/history.h"
#include "run/run_records.h"
#include "simfile/simfile.h"

namespace morvane {

struct RunFileRead : SimReadResult {
    // A simulation file with a game (0-based) that holds a value no machine
    // writes: refused, though its records were read.
    std::optional<std::size_t> unrecordableGame;
};

// LoadSimFile, and the machine's own check of every game read. Throws
// FileError as LoadSimFile does.
RunFileRead ReadRunFile(const std::string& path, PlayHistory& out);

// A saved run to be read as its records are asked for: a regular file
// indexed in one pass and read again from the file on demand, never held
// (a file changed after opening fails the read with a FileError that says
// so); anything else, a stream, read whole.
struct OpenedRunFile {
    RunFileRead read;                     // as ReadRunFile tells it
    std::optional<std::string> problem;   // OpenRunFile's one line that says why (the path made printable)
    std::unique_ptr<PlayHistory> held;    // a stream's records
    std::unique_ptr<RunRecords> records;  // the run, when the file is one the machine could write
};
// Throws FileError when the file cannot be opened or read.
OpenedRunFile OpenRunFileRecords(const std::string& path);
// The same with any failure in one line.
OpenedRunFile OpenRunFile(const std::string& path);

// A saved run judged as it is read, a piece at a time, its records never
// held: any length in little memory.
struct RunFileEstimate {
    // The one line that says why the file cannot be judged (the path made
    // printable): LoadRunFile's words.
    std::optional<std::string> problem;
    Observations seen;  // the count-based estimate's observations, every game
    // With the exact filter: each setting's log-likelihood, the game
    // (0-based) where each setting found the record impossible, and the
    // first game no machine records with its codes.
    std::array<double, kMaxSetting> logLikelihood{};
    std::array<std::optional<std::uint64_t>, kMaxSetting> impossibleAt;
    std::optional<std::uint64_t> unrecordableGame;
    GameRecord unrecordable{};
    // Each setting's filter after the last game; none where the record is
    // impossible at it, or without the exact filter.
    std::array<std::optional<RecordFilter>, kMaxSetting> after;
    bool stopped = false;  // `stop` was set before the end: nothing here counts
};

// Reads `path` in pieces, counting what the count-based estimate takes and,
// when `exact`, following every record with the exact filter at each setting.
// `done` counts the games read; `stop` ends the reading at its next piece.
RunFileEstimate EstimateRunFile(const std::string& path, bool exact, const std::atomic<bool>* stop = nullptr,
                                std::atomic<std::int64_t>* done = nullptr);

// The exact posterior under `prior` of a file read with the exact filter:
// EstimateSettingExactly's result for the same records, to the last bit.
ExactEstimate ExactEstimateOf(const RunFileEstimate& read, const SettingPrior& prior = {});

// The machine after a file read with the exact filter, as EstimateWithBelief
// leaves it after the same records; none when ExactEstimateOf finds a problem.
std::optional<MachineBelief> BeliefOf(const RunFileEstimate& read, const SettingPrior& prior = {});

}  // namespace morvane
