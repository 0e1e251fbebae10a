#pragma once
// The exact probability of a run's visible record at one setting.
//
// What a player sees of a game is its small win (or 99 for a BB game), the
// BB's kind and its continued sets. The machine starts fresh (precursor count
// 0, then the setting and a reset) and everything else is summed over: the
// mode, the precursor count, the ceiling's coin, the small win of a BB game
// and every draw inside a BB. Between games the hidden state is (mode,
// precursor count); games since the BB follow from the record itself. A BB
// of a given kind enters only through the joint law of (continued sets, mode
// after it), which has a closed form per continuation mode.
//
// The state is renormalised game by game and the logarithms are summed with
// compensation, so a run of any length neither underflows nor drifts.
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "machine/game_record.h"
#include "model/dynamics.h"
#include "model/game_model.h"
#include "model/state.h"

namespace morvane {

// Neumaier's compensated sum.
class CompensatedSum {
public:
    void Add(double x) {
        const double t = sum_ + x;
        if (std::abs(sum_) >= std::abs(x))
            carry_ += (sum_ - t) + x;
        else
            carry_ += (x - t) + sum_;
        sum_ = t;
    }
    double Value() const { return sum_ + carry_; }

private:
    double sum_ = 0;
    double carry_ = 0;
};

inline constexpr double kImpossible = -std::numeric_limits<double>::infinity();

// A record no setting can produce by its codes alone: a small win outside
// 0..9 and 99, a BB kind outside 0..2, or the three not agreeing (a BB game
// has small win 99, a kind and at least one set; any other game none).
bool IsRecordableGame(const GameRecord& g);
// The first game that fails IsRecordableGame, if any.
std::optional<std::size_t> FirstUnrecordableGame(std::span<const GameRecord> games);

struct RecordLikelihood {
    double logLikelihood = 0;  // natural log; kImpossible when the setting cannot produce it
    // The first game (0-based) the setting cannot follow, when impossible.
    std::optional<std::size_t> impossibleAt;
};

// The forward recursion at one setting. Cheap to copy; build once per setting.
class ExactLikelihood {
public:
    explicit ExactLikelihood(const GameModel& model);
    explicit ExactLikelihood(int setting) : ExactLikelihood(BuildGameModel(setting)) {}

    int Setting() const { return model_.setting; }
    // Games with codes no setting records are taken as impossible here.
    RecordLikelihood Evaluate(std::span<const GameRecord> games) const;

    // Log of the joint probability that a BB of this kind (1 blue, 2 red)
    // runs `sets` continued sets and leaves the machine in each mode, split
    // as a common log scale plus a vector summing to at most 1. Sets 0 stands
    // for sets not seen: the law of the mode after any BB of the kind.
    double BBEndLaw(int bbKind, std::int32_t sets, std::array<double, kModes>& law) const;

    // Hall data: a record that starts just after a BB game, in the long-run
    // law of the machine's state there, and shows only the BB games (the
    // games since the previous BB, counting the BB's own; kind 0 when the
    // colour is not known; sets 0 when not known) and then `tail` games
    // without a BB. The small wins between are summed over.
    // A set `cancel` cuts the walk short (the result is then of no use).
    RecordLikelihood EvaluateStretches(std::span<const struct HallBB> bbs, std::int64_t tail,
                                       const std::atomic<bool>* cancel = nullptr) const;

private:
    friend class ForwardState;
    const ModeStep& StepAfter(int koyaku) const {
        return koyaku == kKoyakuKinds ? model_.modeStep : model_.modeChange[static_cast<std::size_t>(koyaku)];
    }
    GameModel model_;
    // Small wins 0..9, and 10 for a game whose small win is not seen.
    std::array<double, kKoyakuKinds + 1> logKoyaku_{};
    std::array<bool, kKoyakuKinds + 1> keepsMode_{};  // the step is the identity from every ordinary mode
    std::array<std::array<double, kKModes>, kBBKinds> logKMode_{};
    std::array<double, kKModes> logContinue_{};
    std::array<std::array<double, 4>, kKModes> ending_{};  // unconditional chance of each end per set
};

struct HallBB {
    std::int32_t games = 0;  // since the previous BB (or the data's start), this BB game included
    std::int32_t kind = 0;   // 1 blue, 2 red, 0 not known
    std::int32_t sets = 0;   // continued sets, 0 not known
    friend bool operator==(const HallBB&, const HallBB&) = default;
};

// A hall's BB as a counter can show it: its kind and sets, each known or
// not; with its games, at least its own game.
constexpr bool IsHallBBKind(std::int32_t kind, std::int32_t sets) { return kind >= 0 && kind <= RedBB && sets >= 0; }
constexpr bool IsHallBB(const HallBB& bb) { return bb.games >= 1 && IsHallBBKind(bb.kind, bb.sets); }

// The law of the hidden state between two games: precursor mass by its
// count, every other mode by the precursor count it carries (a precursor cut
// off by the ceiling's Blue7 keeps its count through the BB).
// layer[c][Precursor] is always 0. The filter's layout of the model's state
// law (model/state.h).
struct HiddenState {
    std::array<double, kPrecursorSpan> pre{};
    std::array<std::array<double, kModes>, kPrecursorSpan> layer{};
};

HiddenState HiddenOf(const StateLaw& law);
StateLaw LawOf(const HiddenState& h);

// The long-run law of the state just after a BB game at a setting (1..6):
// the model's (model/long_run.h).
const HiddenState& LongRunStateAfterBB(int setting);

class ForwardState;

// The exact recursion one game at a time: for following a record as it
// grows, or a machine played on from a known law of its state.
class RecordFilter {
public:
    // A fresh machine: precursor count 0, then the setting and a reset.
    explicit RecordFilter(const ExactLikelihood& f);
    // From a law of the state (need not sum to 1) with games since the last
    // BB game (0: the game just played was one).
    RecordFilter(const ExactLikelihood& f, const HiddenState& start, std::int32_t gamesSinceBB);
    RecordFilter(const RecordFilter& o);
    RecordFilter& operator=(const RecordFilter& o);
    ~RecordFilter();

    // False when the game is impossible from here (or its codes are never
    // recorded); the filter is of no further use then.
    bool Add(const GameRecord& g);
    // Hall data: a game without a BB whose small win is not seen, and a BB
    // whose kind (0) or sets (0) may not be seen.
    bool AddUnseenGame();
    bool AddBB(std::int32_t kind, std::int32_t sets);

    // Natural log of the probability of the games added.
    double LogLikelihood() const;
    // The law of the state after the games added, summing to 1.
    HiddenState State() const;
    std::int32_t GamesSinceBB() const;
    const ExactLikelihood& Model() const { return *f_; }

private:
    bool Step(const GameRecord& g);
    const ExactLikelihood* f_;
    std::unique_ptr<ForwardState> state_;
    bool ok_ = true;
};

// The six settings' recursions, built once.
const std::array<ExactLikelihood, kMaxSetting>& AllExactLikelihoods();

}  // namespace morvane
