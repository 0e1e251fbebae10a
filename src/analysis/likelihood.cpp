#include "analysis/likelihood.h"

#include <algorithm>
#include <bit>
#include <cstdio>

#include "machine/tables.h"

namespace morvane {
namespace {

constexpr double kTwo31 = 2147483648.0;
// Below this the running product of game scales is folded into the log sum.
constexpr double kFoldScale = 1e-200;

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

ExactLikelihood::ExactLikelihood(const GameModel& g) : setting_(g.setting) {
    for (int k = 0; k < kKoyakuKinds; ++k) {
        const double p = g.koyaku[static_cast<std::size_t>(k)];
        logKoyaku_[static_cast<std::size_t>(k)] = p > 0 ? std::log(p) : kImpossible;
        change_[static_cast<std::size_t>(k)] = g.modeChange[static_cast<std::size_t>(k)];
        bool keeps = true;
        for (int m = 0; m < kOrdinaryModes; ++m)
            keeps = keeps && ModeChangeTable(m, k, g.setting) == kNoTable;
        keepsMode_[static_cast<std::size_t>(k)] = keeps;
    }
    // Rand31 mod n gives 0 for ceil(2^31 / n) of the 2^31 values.
    for (int c = 0; c < kPrecursorSpan; ++c) {
        const std::int64_t n = kPrecursorSpan - c;
        const std::int64_t zeros = (std::int64_t{1} << 31) / n + ((std::int64_t{1} << 31) % n != 0);
        end_[static_cast<std::size_t>(c)] = static_cast<double>(zeros) / kTwo31;
        stay_[static_cast<std::size_t>(c)] = static_cast<double>((std::int64_t{1} << 31) - zeros) / kTwo31;
    }
    initMode_ = g.initMode;
    normalEnd_ = g.normalEnd;
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
    if (sets < 1) return kImpossible;
    const auto& logKMode = logKMode_[static_cast<std::size_t>(bbKind - 1)];
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
        for (std::size_t m = 0; m < kModes; ++m) law[m] += w * e[EndToNormal] * normalEnd_[m];
        law[Precursor] += w * e[EndToPrecursor];
        law[Blue7] += w * e[EndToBlue7];
        law[Red7] += w * e[EndToRed7];
    }
    return top;
}

// The probability of each hidden state given the record so far, up to the
// scale kept in log form. Precursor mass sits in pre_ by count; every other
// mode in layer_[c], where c is the precursor count it carries (a precursor
// cut off by the ceiling's Blue7 keeps its count through the BB). Almost
// always only layer 0 holds mass, so the layers in use are kept as a bit set.
class ForwardState {
public:
    explicit ForwardState(const ExactLikelihood& f) : f_(f) {
        for (std::size_t m = 0; m < kOrdinaryModes; ++m) layer_[0][m] = f.initMode_[m];
        layers_ = 1;
    }

    // Returns false when the game is impossible.
    bool Game(const GameRecord& g, bool ceiling) {
        if (ceiling) Ceiling();
        const double total = g.bbKind == NoBB ? Ordinary(g.koyaku) : BB(g.bbKind, g.bbSets);
        if (!(total > 0)) return false;
        const double inv = 1.0 / total;
        for (double& p : pre_) p *= inv;
        for (std::uint32_t bits = layers_; bits; bits &= bits - 1)
            for (double& p : layer_[static_cast<std::size_t>(std::countr_zero(bits))]) p *= inv;
        scale_ *= total;
        if (scale_ < kFoldScale) Fold();
        return true;
    }

    double LogLikelihood() {
        Fold();
        return log_.Value();
    }

    void AddLog(double x) { log_.Add(x); }

private:
    void Fold() {
        log_.Add(std::log(scale_));
        scale_ = 1.0;
    }

    // Game 1500 of a stretch: a coin sends every state to Precursor or Blue7,
    // the count kept.
    void Ceiling() {
        std::uint32_t layers = 0;
        for (std::size_t c = 0; c < kPrecursorSpan; ++c) {
            double t = pre_[c];
            if (layers_ >> c & 1u)
                for (double p : layer_[c]) t += p;
            layer_[c] = {};
            pre_[c] = 0.5 * t;
            layer_[c][Blue7] = 0.5 * t;
            if (t > 0) layers |= 1u << c;
        }
        layers_ = layers;
    }

    double Ordinary(int k) {
        // Blue7 and Red7 would have played a BB: that mass is gone.
        std::array<double, kPrecursorSpan> next{};
        double ended = 0;
        for (std::size_t c = 0; c < kPrecursorSpan; ++c) ended += pre_[c] * f_.end_[c];
        for (std::size_t c = 0; c + 1 < kPrecursorSpan; ++c) next[c + 1] = pre_[c] * f_.stay_[c];
        const auto& t = f_.change_[static_cast<std::size_t>(k)];
        const bool keeps = f_.keepsMode_[static_cast<std::size_t>(k)];
        std::uint32_t layers = 0;
        for (std::uint32_t bits = layers_; bits; bits &= bits - 1) {
            const auto c = static_cast<std::size_t>(std::countr_zero(bits));
            auto& l = layer_[c];
            const double v0 = l[Hamari], v1 = l[LowProb], v2 = l[HighProb];
            if (keeps) {
                l[Blue7] = l[Red7] = 0;
            } else {
                for (std::size_t to = 0; to < kModes; ++to) l[to] = v0 * t[0][to] + v1 * t[1][to] + v2 * t[2][to];
                next[c] += l[Precursor];
                l[Precursor] = 0;
            }
            if (l[Hamari] > 0 || l[LowProb] > 0 || l[HighProb] > 0 || l[Blue7] > 0 || l[Red7] > 0)
                layers |= 1u << c;
        }
        if (ended > 0) {
            layer_[0][Red7] += ended * kPrecursorRedShare;
            layer_[0][Blue7] += ended * (1.0 - kPrecursorRedShare);
            layers |= 1u;
        }
        layers_ = layers;
        pre_ = next;
        double total = 0;
        for (double p : pre_) total += p;
        for (std::uint32_t bits = layers_; bits; bits &= bits - 1)
            for (double p : layer_[static_cast<std::size_t>(std::countr_zero(bits))]) total += p;
        log_.Add(f_.logKoyaku_[static_cast<std::size_t>(k)]);
        return total;
    }

    double BB(int kind, std::int32_t sets) {
        std::array<double, kModes> law;
        const double logScale = f_.BBEndLaw(kind, sets, law);
        const std::size_t from = kind == BlueBB ? Blue7 : Red7;
        pre_.fill(0.0);
        std::uint32_t layers = 0;
        double total = 0;
        for (std::uint32_t bits = layers_; bits; bits &= bits - 1) {
            const auto c = static_cast<std::size_t>(std::countr_zero(bits));
            auto& l = layer_[c];
            const double w = l[from];
            for (std::size_t m = 0; m < kModes; ++m) l[m] = w * law[m];
            pre_[c] = l[Precursor];
            l[Precursor] = 0;
            if (w > 0) layers |= 1u << c;
            total += w;
        }
        layers_ = layers;
        if (!(total > 0)) return 0;
        log_.Add(logScale);
        double sum = 0;
        for (double p : pre_) sum += p;
        for (std::uint32_t bits = layers_; bits; bits &= bits - 1)
            for (double p : layer_[static_cast<std::size_t>(std::countr_zero(bits))]) sum += p;
        return sum;
    }

    const ExactLikelihood& f_;
    std::array<double, kPrecursorSpan> pre_{};
    std::array<std::array<double, kModes>, kPrecursorSpan> layer_{};
    std::uint32_t layers_ = 0;
    double scale_ = 1.0;
    CompensatedSum log_;
};

RecordLikelihood ExactLikelihood::Evaluate(std::span<const GameRecord> games) const {
    ForwardState state(*this);
    std::int32_t sinceBB = 0;
    bool afterBB = false;
    for (std::size_t i = 0; i < games.size(); ++i) {
        const GameRecord& g = games[i];
        if (!IsRecordableGame(g)) return {kImpossible, i};
        sinceBB = afterBB ? 1 : sinceBB + 1;
        const bool ceiling = !afterBB && sinceBB == kCeilingGames;
        if (!state.Game(g, ceiling)) return {kImpossible, i};
        afterBB = g.bbKind != NoBB;
    }
    return {state.LogLikelihood(), std::nullopt};
}

const std::array<ExactLikelihood, kMaxSetting>& AllExactLikelihoods() {
    static const std::array<ExactLikelihood, kMaxSetting> all = {
        ExactLikelihood(1), ExactLikelihood(2), ExactLikelihood(3),
        ExactLikelihood(4), ExactLikelihood(5), ExactLikelihood(6),
    };
    return all;
}

std::optional<std::array<double, kMaxSetting>> UniformPosterior(const std::array<double, kMaxSetting>& logLikelihood) {
    const double top = *std::max_element(logLikelihood.begin(), logLikelihood.end());
    if (!std::isfinite(top)) return std::nullopt;
    std::array<double, kMaxSetting> p{};
    double sum = 0;
    for (std::size_t s = 0; s < kMaxSetting; ++s) {
        p[s] = std::exp(logLikelihood[s] - top);
        sum += p[s];
    }
    for (double& v : p) v /= sum;
    return p;
}

ExactEstimate EstimateSettingExactly(std::span<const GameRecord> games) {
    ExactEstimate out;
    if (const auto bad = FirstUnrecordableGame(games)) {
        const GameRecord& g = games[*bad];
        char text[160];
        std::snprintf(text, sizeof text,
                      "game %zu holds codes the machine never records (small win %d, BB kind %d, sets %d)",
                      *bad + 1, g.koyaku, g.bbKind, g.bbSets);
        out.problem = text;
        out.problemGame = *bad;
        out.unrecordable = true;
        return out;
    }
    std::size_t lastPossible = 0;
    for (const ExactLikelihood& f : AllExactLikelihoods()) {
        const RecordLikelihood r = f.Evaluate(games);
        out.posterior.logLikelihood[static_cast<std::size_t>(f.Setting() - 1)] = r.logLikelihood;
        lastPossible = std::max(lastPossible, r.impossibleAt.value_or(games.size()));
    }
    const auto p = UniformPosterior(out.posterior.logLikelihood);
    if (!p) {
        char text[160];
        std::snprintf(text, sizeof text, "no setting can play this record: game %zu cannot follow the games before it",
                      lastPossible + 1);
        out.problem = text;
        out.problemGame = lastPossible;
        return out;
    }
    out.posterior.probability = *p;
    return out;
}

}  // namespace morvane
