#pragma once
// What the player knows of a machine after what was seen: the posterior
// over the settings and, per setting, the exact law of the hidden state
// (mode, precursor count) after the last game, with the games since its
// last BB game. From a run's record (a fresh machine, as the exact
// estimate takes it) or from hall data (the data starts just after a BB
// game, in the long-run law there).
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"
#include "model/likelihood.h"
#include "model/setting_prior.h"
#include "model/state_law.h"
#include "run/run_records.h"

namespace morvane {

struct MachineBelief {
    SettingPrior prior;
    std::array<double, kMaxSetting> posterior{};
    // Of what the hidden state was filtered on (for hall data: the BB
    // history and the games after it).
    std::array<double, kMaxSetting> logLikelihood{};
    std::array<HiddenState, kMaxSetting> state{};  // where the posterior is 0: nothing
    std::int32_t gamesSinceBB = 0;                 // 0 right after a BB game

    StateLaw Law(int setting) const { return LawOf(state[static_cast<std::size_t>(setting - 1)]); }
    // A filter that follows the machine on from here at a setting.
    RecordFilter Follow(int setting) const;
};

struct BeliefResult {
    std::optional<MachineBelief> belief;
    std::optional<std::string> problem;           // set when there is no belief
    HallProblem hallProblem = HallProblem::None;  // hall data: which, and at what index
    std::size_t problemIndex = 0;
};

// The exact estimate of a record and the belief after it from one pass of
// the filter at each setting: the posterior and log-likelihoods are the
// exact estimate's to the last bit. The belief is set when the estimate
// found no problem.
struct RecordBelief {
    ExactEstimate estimate;
    std::optional<MachineBelief> belief;
    bool stopped = false;  // `stop` was set: neither is set
};
// `done` counts the games filtered, the record's games at each setting.
RecordBelief EstimateWithBelief(std::span<const GameRecord> games, const SettingPrior& prior = {},
                                const std::atomic<bool>* stop = nullptr, std::atomic<std::int64_t>* done = nullptr);

// The same from a run's records read in order, a piece at a time: the very
// figures of the records held in memory, in little memory.
RecordBelief EstimateWithBelief(const RunRecords& records, const SettingPrior& prior = {});

// The belief after a record from each setting's filter at its end, null
// where the record is impossible at that setting: EstimateWithBelief's for
// the same record, and none where it finds a problem other than an
// unrecordable game (whoever read the record checks those).
std::optional<MachineBelief> BeliefAfterRecord(const SettingPrior& prior,
                                               const std::array<const RecordFilter*, kMaxSetting>& filters);

// Problems as the exact estimate words them.
BeliefResult BeliefFromRecord(std::span<const GameRecord> games, const SettingPrior& prior = {});
// The posterior is the hall estimate's (counted small wins included); the
// states are filtered on the BB history and the games after it.
BeliefResult BeliefFromHallData(const HallData& data, const SettingPrior& prior = {});
// The same from the hall estimate of this data under this prior, already
// worked out.
BeliefResult BeliefFromHallData(const HallData& data, const HallEstimate& estimate, const SettingPrior& prior);

}  // namespace morvane
