#include "model/likelihood.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "model/dynamics.h"
#include "model/precursor.h"

namespace morvane {
namespace {

// Below this the running product of game scales is folded into the log sum.
constexpr double kFoldScale = 1e-200;
// Mass of the far layers (against a whole of 1) below which they are dropped.
constexpr double kDrained = 1e-280;
constexpr int kUnseenWin = kKoyakuKinds;  // an ordinary game whose small win is not seen

}  // namespace

bool IsRecordableGame(const GameRecord& g) {
    if (g.bbKind == NoBB) return g.koyaku >= 0 && g.koyaku < kKoyakuKinds && g.bbSets == 0;
    return (g.bbKind == BlueBB || g.bbKind == RedBB) && g.koyaku == BBGame && g.bbSets >= 1;
}

std::optional<std::size_t> FirstUnrecordableGame(std::span<const GameRecord> games) {
    for (std::size_t i = 0; i < games.size(); ++i)
        if (!IsRecordableGame(games[i])) return i;
    return std::nullopt;
}

ExactLikelihood::ExactLikelihood(const GameModel& g) : model_(g) {
    for (int k = 0; k <= kKoyakuKinds; ++k) {
        const auto kk = static_cast<std::size_t>(k);
        const double p = k == kUnseenWin ? 1.0 : g.koyaku[kk];
        logKoyaku_[kk] = p > 0 ? std::log(p) : kImpossible;
        const ModeStep& step = StepAfter(k);
        bool keeps = true;
        for (std::size_t m = 0; m < kOrdinaryModes; ++m)
            for (std::size_t to = 0; to < kModes; ++to) keeps = keeps && step[m][to] == (to == m ? 1.0 : 0.0);
        keepsMode_[kk] = keeps;
    }
    for (int kind = 0; kind < kBBKinds; ++kind)
        for (int km = 0; km < kKModes; ++km) {
            const double p = g.bb[static_cast<std::size_t>(kind)].kmode[static_cast<std::size_t>(km)];
            logKMode_[static_cast<std::size_t>(kind)][static_cast<std::size_t>(km)] = p > 0 ? std::log(p) : kImpossible;
        }
    const BBModel& any = g.bb[0];
    for (std::size_t km = 0; km < kKModes; ++km) {
        const double q = any.continueChance[km];
        logContinue_[km] = std::log(q);
        for (std::size_t c = 0; c < 4; ++c) ending_[km][c] = any.ending[km][c] * (1.0 - q);
    }
}

double ExactLikelihood::BBEndLaw(int bbKind, std::int32_t sets, std::array<double, kModes>& law) const {
    law.fill(0.0);
    if (bbKind != BlueBB && bbKind != RedBB) return kImpossible;
    if (sets < 0) return kImpossible;
    const auto& logKMode = logKMode_[static_cast<std::size_t>(bbKind - 1)];
    if (sets == 0) {
        // Any number of sets: each continuation mode ends as its ending shares say.
        for (std::size_t km = 0; km < kKModes; ++km) {
            const auto& e = ending_[km];
            const double w = std::exp(logKMode[km]) / (e[0] + e[1] + e[2] + e[3]);
            for (std::size_t m = 0; m < kModes; ++m) law[m] += w * e[EndToNormal] * model_.normalEnd[m];
            law[Precursor] += w * e[EndToPrecursor];
            law[Blue7] += w * e[EndToBlue7];
            law[Red7] += w * e[EndToRed7];
        }
        return 0.0;
    }
    // The first set continues without a draw; sets 2..n continue, then one ends.
    std::array<double, kKModes> logWeight{};
    double top = kImpossible;
    for (std::size_t km = 0; km < kKModes; ++km) {
        logWeight[km] = logKMode[km] + static_cast<double>(sets - 1) * logContinue_[km];
        top = std::max(top, logWeight[km]);
    }
    for (std::size_t km = 0; km < kKModes; ++km) {
        const double w = std::exp(logWeight[km] - top);
        const auto& e = ending_[km];
        for (std::size_t m = 0; m < kModes; ++m) law[m] += w * e[EndToNormal] * model_.normalEnd[m];
        law[Precursor] += w * e[EndToPrecursor];
        law[Blue7] += w * e[EndToBlue7];
        law[Red7] += w * e[EndToRed7];
    }
    return top;
}

// The probability of each hidden state given the record so far, up to the
// scale kept in log form, laid out as HiddenState.
//
// Only the ceiling puts mass into the layers of counts 1 and up, and it puts
// it into the same mode (Blue7) for every count; from then on every layer
// meets the same games. So those layers stay multiples of one shared vector:
// layer[c] = share_[c] * far_ for c >= 1. Each game then costs the layer of
// count 0 and the shared vector, not 32 layers, which hall data with its
// stretches at the ceiling would otherwise pay on every game.
class ForwardState {
public:
    // Fresh from a reset with precursor count 0.
    explicit ForwardState(const ExactLikelihood& f) : f_(f) {
        for (std::size_t m = 0; m < kOrdinaryModes; ++m) near_[m] = f.model_.initMode[m];
    }
    // From a state whose layers of counts 1 and up are multiples of one
    // vector, as every state this class leaves is.
    ForwardState(const ExactLikelihood& f, const HiddenState& start, std::int32_t gamesSinceBB)
        : f_(f), pre_(start.pre), near_(start.layer[0]), sinceBB_(gamesSinceBB) {
        near_[Precursor] = 0;
        for (std::size_t c = 1; c < kPrecursorSpan; ++c)
            for (std::size_t m = 0; m < kModes; ++m)
                if (m != Precursor) far_[m] += start.layer[c][m];
        const double whole = Sum(far_);
        if (whole > 0) {
            for (std::size_t c = 1; c < kPrecursorSpan; ++c) {
                double t = 0;
                for (std::size_t m = 0; m < kModes; ++m)
                    if (m != Precursor) t += start.layer[c][m];
                share_[c] = t / whole;
            }
            farShare_ = SumShares();
        } else {
            far_ = {};
        }
    }

    HiddenState State() const {
        HiddenState h;
        h.pre = pre_;
        h.layer[0] = near_;
        for (std::size_t c = 1; c < kPrecursorSpan; ++c)
            for (std::size_t m = 0; m < kModes; ++m) h.layer[c][m] = share_[c] * far_[m];
        return h;
    }

    std::int32_t GamesSinceBB() const { return sinceBB_; }

    // The one step of every game the filter follows: an ordinary game with
    // its small win (kUnseenWin when not seen) or a BB game of a kind (1, 2,
    // or kAnyColour) with its sets (0 when not seen); the ceiling's coin
    // comes first at game 1500 of a stretch. False when the game is
    // impossible from here.
    bool Play(const GameRecord& g) {
        if (++sinceBB_ == kCeilingGames) Ceiling();
        const double total = g.bbKind == NoBB ? Ordinary(g.koyaku) : BB(g.bbKind, g.bbSets);
        if (g.bbKind != NoBB) sinceBB_ = 0;
        if (!(total > 0)) return false;
        const double inv = 1.0 / total;
        for (double& p : pre_) p *= inv;
        for (double& p : near_) p *= inv;
        if (farShare_ > 0) {
            for (double& p : far_) p *= inv;
            // Drained through the precursor: gone for good, and kept it would
            // sink into subnormal numbers, which are slow.
            if (farShare_ * Sum(far_) < kDrained) DropFar();
        }
        scale_ *= total;
        if (scale_ < kFoldScale) Fold();
        return true;
    }

    double LogLikelihood() {
        Fold();
        return log_.Value();
    }

    static constexpr int kAnyColour = 3;

    void AddLog(double x) { log_.Add(x); }

private:
    static double Sum(const std::array<double, kModes>& l) {
        double t = 0;
        for (double p : l) t += p;
        return t;
    }
    double SumShares() const {
        double t = 0;
        for (std::size_t c = 1; c < kPrecursorSpan; ++c) t += share_[c];
        return t;
    }

    void DropFar() {
        far_ = {};
        share_ = {};
        farShare_ = 0;
    }

    void Fold() {
        log_.Add(std::log(scale_));
        scale_ = 1.0;
    }

    // Game 1500 of a stretch: a coin sends every state to Precursor or Blue7,
    // the count kept.
    void Ceiling() {
        const double near = pre_[0] + Sum(near_);
        near_ = {};
        near_[Blue7] = 0.5 * near;
        pre_[0] = 0.5 * near;
        const double far = farShare_ > 0 ? Sum(far_) : 0.0;
        for (std::size_t c = 1; c < kPrecursorSpan; ++c) {
            const double t = pre_[c] + share_[c] * far;
            pre_[c] = 0.5 * t;
            share_[c] = 0.5 * t;
        }
        far_ = {};
        far_[Blue7] = 1.0;
        farShare_ = SumShares();
    }

    // One layer through an ordinary game's mode step; returns the mass that
    // enters the precursor from it. Blue7 and Red7 would have played a BB:
    // that mass is gone.
    static double OrdinaryLayer(std::array<double, kModes>& l, const ModeStep& step, bool keeps) {
        if (keeps) {
            l[Blue7] = l[Red7] = 0;
            return 0;
        }
        const std::array<double, kModes> from = l;
        l = {};
        StepOrdinaryModes(step, from.data(), l.data(), 1, 1);
        const double entering = l[Precursor];
        l[Precursor] = 0;
        return entering;
    }

    double Ordinary(int k) {
        std::array<double, kPrecursorSpan> next{};
        const double ended = StepPrecursor(pre_.data(), next.data());
        const ModeStep& step = f_.StepAfter(k);
        const bool keeps = f_.keepsMode_[static_cast<std::size_t>(k)];
        next[0] += OrdinaryLayer(near_, step, keeps);
        if (farShare_ > 0) {
            const double entering = OrdinaryLayer(far_, step, keeps);
            if (entering > 0)
                for (std::size_t c = 1; c < kPrecursorSpan; ++c) next[c] += share_[c] * entering;
        }
        AddPrecursorEnd(ended, near_[Blue7], near_[Red7]);
        pre_ = next;
        double total = 0;
        for (double p : pre_) total += p;
        total += Sum(near_);
        if (farShare_ > 0) total += farShare_ * Sum(far_);
        log_.Add(f_.logKoyaku_[static_cast<std::size_t>(k)]);
        return total;
    }

    double BB(int kind, std::int32_t sets) {
        // A BB of an unseen colour comes from Blue7 or Red7, each with its own law.
        std::array<std::array<double, kModes>, kBBKinds> law{};
        std::array<double, kBBKinds> logScale{kImpossible, kImpossible};
        for (int b = BlueBB; b <= RedBB; ++b)
            if (kind == b || kind == kAnyColour)
                logScale[static_cast<std::size_t>(b - 1)] = f_.BBEndLaw(b, sets, law[static_cast<std::size_t>(b - 1)]);
        const double top = std::max(logScale[0], logScale[1]);
        if (top == kImpossible) return 0;
        std::array<double, kBBKinds> weight{};
        for (std::size_t b = 0; b < kBBKinds; ++b)
            weight[b] = logScale[b] == kImpossible ? 0 : std::exp(logScale[b] - top);
        // Returns the mass that played the BB, the layer holding what it leaves.
        const auto play = [&](std::array<double, kModes>& l) {
            const double blue = l[Blue7] * weight[0], red = l[Red7] * weight[1];
            for (std::size_t m = 0; m < kModes; ++m) l[m] = blue * law[0][m] + red * law[1][m];
            return blue + red;
        };
        pre_.fill(0.0);
        double total = play(near_);
        pre_[0] = near_[Precursor];
        near_[Precursor] = 0;
        if (farShare_ > 0) {
            total += farShare_ * play(far_);
            for (std::size_t c = 1; c < kPrecursorSpan; ++c) pre_[c] = share_[c] * far_[Precursor];
            far_[Precursor] = 0;
        }
        if (!(total > 0)) return 0;
        log_.Add(top);
        double sum = 0;
        for (double p : pre_) sum += p;
        sum += Sum(near_);
        if (farShare_ > 0) sum += farShare_ * Sum(far_);
        return sum;
    }

    const ExactLikelihood& f_;
    std::array<double, kPrecursorSpan> pre_{};
    std::array<double, kModes> near_{};           // the layer of count 0
    std::array<double, kModes> far_{};            // the shared vector of counts 1 and up
    std::array<double, kPrecursorSpan> share_{};  // each count's multiple of far_ (count 0 unused)
    double farShare_ = 0;                         // the sum of share_
    double scale_ = 1.0;
    CompensatedSum log_;
    std::int32_t sinceBB_ = 0;  // games since the last BB game, this one included once it starts
};

namespace {

// Hall data's games: one without a BB whose small win is not seen, and a BB
// whose colour (0) or sets (0) may not be seen.
GameRecord UnseenGame() {
    GameRecord r{};
    r.koyaku = kUnseenWin;
    return r;
}

GameRecord HallBBGame(std::int32_t kind, std::int32_t sets) {
    GameRecord r{};
    r.koyaku = BBGame;
    r.bbKind = kind == 0 ? ForwardState::kAnyColour : kind;
    r.bbSets = sets;
    return r;
}

}  // namespace

RecordLikelihood ExactLikelihood::Evaluate(std::span<const GameRecord> games) const {
    ForwardState state(*this);
    for (std::size_t i = 0; i < games.size(); ++i)
        if (!IsRecordableGame(games[i]) || !state.Play(games[i])) return {kImpossible, i};
    return {state.LogLikelihood(), std::nullopt};
}

namespace {

const HiddenState& CachedPostBBLaw(int setting) {
    static const std::array<HiddenState, kMaxSetting> laws = [] {
        std::array<HiddenState, kMaxSetting> all;
        for (int s = kMinSetting; s <= kMaxSetting; ++s)
            all[static_cast<std::size_t>(s - 1)] = HiddenOf(Dynamics(s).LongRunAfterBB());
        return all;
    }();
    return laws[static_cast<std::size_t>(setting - 1)];
}

}  // namespace

RecordLikelihood ExactLikelihood::EvaluateStretches(std::span<const HallBB> bbs, std::int64_t tail,
                                                    const std::atomic<bool>* cancel) const {
    ForwardState state(*this, CachedPostBBLaw(Setting()), 0);
    const GameRecord unseen = UnseenGame();
    std::size_t game = 0;
    const auto plain = [&](std::int64_t n) {
        for (std::int64_t g = 1; g <= n; ++g, ++game)
            if (!state.Play(unseen)) return false;
        return true;
    };
    for (const HallBB& bb : bbs) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return {kImpossible, game};
        if (!IsHallBB(bb)) return {kImpossible, game};
        if (!plain(bb.games - 1)) return {kImpossible, game};
        if (!state.Play(HallBBGame(bb.kind, bb.sets))) return {kImpossible, game};
        ++game;
    }
    if (!plain(tail)) return {kImpossible, game};
    return {state.LogLikelihood(), std::nullopt};
}

const std::array<ExactLikelihood, kMaxSetting>& AllExactLikelihoods() {
    static const std::array<ExactLikelihood, kMaxSetting> all = {
        ExactLikelihood(1), ExactLikelihood(2), ExactLikelihood(3),
        ExactLikelihood(4), ExactLikelihood(5), ExactLikelihood(6),
    };
    return all;
}

const HiddenState& LongRunStateAfterBB(int setting) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    return CachedPostBBLaw(setting);
}

HiddenState HiddenOf(const StateLaw& law) {
    HiddenState h;
    for (int c = 0; c < kLawCounts; ++c) {
        const auto cc = static_cast<std::size_t>(c);
        h.pre[cc] = law.At(Precursor, c);
        for (int m = 0; m < kModes; ++m)
            if (m != Precursor) h.layer[cc][static_cast<std::size_t>(m)] = law.At(m, c);
    }
    return h;
}

StateLaw LawOf(const HiddenState& h) {
    StateLaw s;
    for (int c = 0; c < kLawCounts; ++c) {
        const auto cc = static_cast<std::size_t>(c);
        s.At(Precursor, c) = h.pre[cc];
        for (int m = 0; m < kModes; ++m)
            if (m != Precursor) s.At(m, c) = h.layer[cc][static_cast<std::size_t>(m)];
    }
    return s;
}

RecordFilter::RecordFilter(const ExactLikelihood& f) : f_(&f), state_(std::make_unique<ForwardState>(f)) {}

RecordFilter::RecordFilter(const ExactLikelihood& f, const HiddenState& start, std::int32_t gamesSinceBB)
    : f_(&f), state_(std::make_unique<ForwardState>(f, start, gamesSinceBB)) {}

RecordFilter::RecordFilter(const RecordFilter& o)
    : f_(o.f_), state_(std::make_unique<ForwardState>(*o.state_)), ok_(o.ok_) {}

RecordFilter& RecordFilter::operator=(const RecordFilter& o) {
    if (this != &o) {
        f_ = o.f_;
        state_ = std::make_unique<ForwardState>(*o.state_);
        ok_ = o.ok_;
    }
    return *this;
}

RecordFilter::~RecordFilter() = default;

std::int32_t RecordFilter::GamesSinceBB() const { return state_->GamesSinceBB(); }

bool RecordFilter::Step(const GameRecord& g) {
    if (!ok_) return false;
    ok_ = state_->Play(g);
    return ok_;
}

bool RecordFilter::Add(const GameRecord& g) {
    if (!IsRecordableGame(g)) ok_ = false;
    return Step(g);
}

bool RecordFilter::AddUnseenGame() { return Step(UnseenGame()); }

bool RecordFilter::AddBB(std::int32_t kind, std::int32_t sets) {
    if (!IsHallBBKind(kind, sets)) ok_ = false;
    return Step(HallBBGame(kind, sets));
}

double RecordFilter::LogLikelihood() const {
    if (!ok_) return kImpossible;
    ForwardState copy = *state_;
    return copy.LogLikelihood();
}

HiddenState RecordFilter::State() const {
    HiddenState h = state_->State();
    double total = 0;
    for (std::size_t c = 0; c < kPrecursorSpan; ++c) {
        total += h.pre[c];
        for (double p : h.layer[c]) total += p;
    }
    if (total > 0) {
        for (std::size_t c = 0; c < kPrecursorSpan; ++c) {
            h.pre[c] /= total;
            for (double& p : h.layer[c]) p /= total;
        }
    }
    return h;
}

}  // namespace morvane
