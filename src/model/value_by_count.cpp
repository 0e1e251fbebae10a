#include "model/value_by_count.h"

#include <algorithm>
#include <barrier>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "model/net_law_by_count.h"
#include "model/stretch_sampler.h"
#include "system/workers.h"

namespace morvane {
namespace {

// For each state after game t of a stretch: expected games to the next BB
// game (counted once), the chance that BB is red, the chance the ceiling
// decides it.
struct Figures {
    StateLaw games, red, ceiling;
};

// The figures at t from those at t + 1, mode by mode over all counts.
void StepBack(const StateDynamics& d, std::int32_t t, const Figures& next, Figures& now) {
    const double r = kPrecursorRedShare;
    const auto& step = d.Model().modeStep;
    const std::array<const StateLaw*, 3> from = {&next.games, &next.red, &next.ceiling};
    const std::array<StateLaw*, 3> to = {&now.games, &now.red, &now.ceiling};
    const std::array<double, 3> first = {1.0, 0.0, 0.0};  // what the game itself adds
    // A precursor step at count c: then the BB game after an end, or the
    // next step's figures.
    std::array<std::array<double, kLawCounts>, 3> pre{};
    for (std::size_t f = 0; f < 3; ++f) {
        const StateLaw& n = *from[f];
        const double ended = r * n.At(Red7, 0) + (1 - r) * n.At(Blue7, 0);
        for (int c = 0; c < kLawCounts; ++c) {
            const double end = d.PrecursorEnd(c);
            pre[f][static_cast<std::size_t>(c)] =
                first[f] + end * ended + (c + 1 < kLawCounts ? (1 - end) * n.At(Precursor, c + 1) : 0.0);
        }
    }
    if (t + 1 == kCeilingGames) {
        // Game 1500: half a blue BB in that game, half a precursor step.
        for (int m = 0; m < kModes; ++m)
            for (int c = 0; c < kLawCounts; ++c) {
                now.games.At(m, c) = 0.5 + 0.5 * pre[0][static_cast<std::size_t>(c)];
                now.red.At(m, c) = 0.5 * pre[1][static_cast<std::size_t>(c)];
                now.ceiling.At(m, c) = 1.0;
            }
        return;
    }
    const bool fired = t >= kCeilingGames;
    for (std::size_t f = 0; f < 3; ++f) {
        StateLaw& o = *to[f];
        const StateLaw& n = *from[f];
        for (int m = 0; m < kOrdinaryModes; ++m) {
            double* row = o.v.data() + m * kLawCounts;
            for (int c = 0; c < kLawCounts; ++c) row[c] = first[f];
            for (int k = 0; k < kModes; ++k) {
                const double w = step[static_cast<std::size_t>(m)][static_cast<std::size_t>(k)];
                const double* in = n.v.data() + k * kLawCounts;
                for (int c = 0; c < kLawCounts; ++c) row[c] += w * in[c];
            }
        }
        for (int c = 0; c < kLawCounts; ++c) o.At(Precursor, c) = pre[f][static_cast<std::size_t>(c)];
        for (int c = 0; c < kLawCounts; ++c) {
            o.At(Blue7, c) = f == 0 ? 1.0 : 0.0;
            o.At(Red7, c) = f == 0 || f == 1 ? 1.0 : 0.0;
        }
    }
    if (fired) now.ceiling.v.fill(1.0);
}

Figures AfterLastGame() {
    // Past the last possible game only Blue7 and Red7 are left, whose BB is
    // the next game, decided by the ceiling.
    Figures f;
    for (int c = 0; c < kLawCounts; ++c) {
        f.games.At(Blue7, c) = f.games.At(Red7, c) = 1.0;
        f.red.At(Red7, c) = 1.0;
        f.ceiling.At(Blue7, c) = f.ceiling.At(Red7, c) = 1.0;
    }
    return f;
}

double NetOf(const GameModel& g, double games, double red) {
    return g.netPerGame * games + (1 - red) * g.bb[0].meanMedals + red * g.bb[1].meanMedals;
}

// The smallest y with cdf(y) >= p, searched outward from a guess.
std::int64_t Quantile(const std::function<double(std::int64_t)>& cdf, double p, std::int64_t guess) {
    std::int64_t lo, hi;
    if (cdf(guess) >= p) {
        hi = guess;
        std::int64_t step = 1;
        lo = hi - step;
        while (cdf(lo) >= p) {
            hi = lo;
            step *= 2;
            lo = hi - step;
        }
    } else {
        lo = guess;
        std::int64_t step = 1;
        hi = lo + step;
        while (cdf(hi) < p) {
            lo = hi;
            step *= 2;
            hi = lo + step;
        }
    }
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        (cdf(mid) >= p ? hi : lo) = mid;
    }
    return hi;
}

// The CDF at n neighbouring nets from `from`, in one pass.
using CdfRun = std::function<void(std::int64_t from, int n, double* out)>;

// The smallest y with cdf(y) >= p. From one counter to the one below, a
// quantile stays or falls by a medal nineteen times in twenty, so the CDF
// is taken once at the guess and the two nets below it; only a quantile
// that left them is searched for.
constexpr int kAround = 3;
using Around = std::array<double, kAround>;
constexpr std::int64_t AroundFrom(std::int64_t guess) { return guess - (kAround - 1); }

// With the CDF at the nets from `from` in v: the quantile, or where to
// search for it when it left them.
std::int64_t QuantileFrom(const CdfRun& cdfs, double p, std::int64_t from, const Around& v) {
    if (v[0] < p && v[kAround - 1] >= p) {
        int j = 1;
        while (v[static_cast<std::size_t>(j)] < p) ++j;
        return from + j;
    }
    const auto cdf = [&](std::int64_t y) {
        double c = 0;
        cdfs(y, 1, &c);
        return c;
    };
    return Quantile(cdf, p, v[0] >= p ? from : from + kAround);
}

std::int64_t QuantileNear(const CdfRun& cdfs, double p, std::int64_t guess) {
    Around v{};
    const std::int64_t from = AroundFrom(guess);
    cdfs(from, kAround, v.data());
    return QuantileFrom(cdfs, p, from, v);
}

constexpr int kQuantiles = 5;
constexpr std::array<double, kQuantiles> kLevels = {0.10, 0.25, 0.50, 0.75, 0.90};
constexpr std::array<std::int64_t NetSpread::*, kQuantiles> kQuantileField = {
    &NetSpread::p10, &NetSpread::p25, &NetSpread::median, &NetSpread::p75, &NetSpread::p90};

std::int64_t GuessOf(int which, const NetSpread* near, double mean) {
    return near ? near->*kQuantileField[static_cast<std::size_t>(which)]
                : static_cast<std::int64_t>(std::llround(mean));
}

// The figures of a law of the net, one at a time: the quantiles at 10,
// 25, 50, 75 and 90 %, then the chance ahead. `near` is the row above's,
// a good first guess.
constexpr int kSpreadFigures = kQuantiles + 1;
void SpreadFigure(int which, const CdfRun& cdfs, const NetSpread* near, double mean, NetSpread& s) {
    const auto& field = kQuantileField;
    if (which == kQuantiles) {
        double c = 0;
        cdfs(0, 1, &c);
        s.pAhead = 1.0 - c;
        return;
    }
    const auto w = static_cast<std::size_t>(which);
    s.*field[w] = QuantileNear(cdfs, kLevels[w], GuessOf(which, near, mean));
}

void FindPositive(CountValueTable& t) {
    for (const CountValueRow& r : t.rows)
        if (r.evYen > 0) {
            t.firstPositive = r.gamesSince;
            break;
        }
    for (auto it = t.rows.rbegin(); it != t.rows.rend() && it->evYen > 0; ++it) t.positiveFrom = it->gamesSince;
}

// Real games of a stretch to the next BB's end: the games before the BB
// game, the BB game, and six games a set, its continued sets and its last.
double RealGames(const GameModel& g, double games, double red) {
    const double sets = (1 - red) * g.bb[0].meanSets + red * g.bb[1].meanSets;
    return games + kGamesPerSet * (1 + sets);
}

std::int32_t PurchasesAt(const HallMoney& money, std::int64_t lowest) {
    return static_cast<std::int32_t>(PurchasesFor(money, lowest));
}

// Simulated stretches at one counter whose balance dipped below its end
// far enough to cost more purchases than a balance whose lowest is its
// pre-BB sum (or 0) would: the only part of the yen's law not exact.
struct ExtraBuys {
    std::int32_t sum = 0;  // the pre-BB sum
    std::int32_t own = 0;  // the purchases of min(0, sum) as the lowest
    std::int32_t all = 0;  // the purchases of the lowest
    std::int32_t kind = 0;
};
struct YenDraws {
    std::vector<std::int32_t> reached;          // by counter: stretches that reached it
    std::vector<std::vector<ExtraBuys>> extra;  // by counter
};

// Every kDrawBlock-th counter starts a block of kDrawsPerBlock stretches,
// which serve its counters as far as they reach: those of the block
// before that reached its start, whose state there is a draw from its
// exact law like any other, and fresh ones from that law. A stretch is
// played once however many blocks it serves.
constexpr std::int32_t kDrawBlock = 128;
constexpr int kDrawsPerBlock = 256;
constexpr std::int32_t kDrawBlocks = (kMaxGamesSinceBB + kDrawBlock - 1) / kDrawBlock;

std::uint64_t DrawSeed(int setting, std::int32_t block, int path) {
    std::uint64_t s = (std::uint64_t(setting) << 40) ^ (std::uint64_t(block) << 20) ^ std::uint64_t(path);
    NextUniform(s);
    return s * 0xD1B54A32D192ED03ULL;
}

// A stretch played from counter `start`: the balance at each counter it
// reaches, the lowest from there to its end, and its BB's kind.
struct Stretch {
    std::int32_t start = 0;
    int kind = 0;
    std::vector<std::int32_t> balances, lowest;
    std::int32_t Reach() const { return start + static_cast<std::int32_t>(balances.size()); }
};

// A setting's stretches, block by block from its blocks' starts (the
// state's exact law at each), into its counters' draws.
void DrawSetting(const StretchSampler& sampler, const std::vector<StateLaw>& starts, int setting,
                 const HallMoney& money, YenDraws& out) {
    std::vector<Stretch> cohort, spare;
    for (std::int32_t block = 0; block < kDrawBlocks; ++block) {
        const std::int32_t g0 = block * kDrawBlock, g1 = std::min(g0 + kDrawBlock, kMaxGamesSinceBB);
        // Those that have not reached this block's start are done.
        std::erase_if(cohort, [&](Stretch& s) {
            if (s.Reach() > g0) return false;
            spare.push_back(std::move(s));
            return true;
        });
        const int fresh = kDrawsPerBlock - static_cast<int>(cohort.size());
        for (int path = 0; path < fresh; ++path) {
            Stretch& s = cohort.emplace_back();
            if (!spare.empty()) {
                s = std::move(spare.back());
                spare.pop_back();
            }
            std::uint64_t rng = DrawSeed(setting, block, path);
            int mode = 0, count = 0;
            StretchSampler::DrawState(starts[static_cast<std::size_t>(block)], NextUniform(rng), mode, count);
            s.start = g0;
            s.kind = sampler.Play(mode, count, g0, rng, s.balances);
            // The lowest balance from each counter on, from the end back.
            s.lowest.resize(s.balances.size());
            std::int32_t lowest = s.balances.back();
            for (std::size_t i = s.balances.size(); i-- > 0;) s.lowest[i] = lowest = std::min(lowest, s.balances[i]);
        }
        // Each stretch reaches the block's counters up to its BB's: counted
        // where it stops, the reached are those stopping further on.
        std::array<std::int32_t, kDrawBlock + 1> stops{};
        for (const Stretch& s : cohort) {
            const std::int32_t sum = s.balances.back(), end = std::min(g1, s.Reach());
            ++stops[static_cast<std::size_t>(end - g0)];
            const std::int32_t* balance = s.balances.data() + (g0 - s.start);
            const std::int32_t* lowest = s.lowest.data() + (g0 - s.start);
            for (std::int32_t i = 0; i < end - g0; ++i) {
                const std::int32_t at = balance[i], low = lowest[i];
                // Purchases fall as the lowest rises: none extra unless the
                // dip goes below both the start and the end.
                if (low >= std::min(at, sum)) continue;
                const std::int32_t own = PurchasesAt(money, std::min(0, sum - at)), all = PurchasesAt(money, low - at);
                if (all > own) out.extra[static_cast<std::size_t>(g0 + i)].push_back({sum - at, own, all, s.kind});
            }
        }
        std::int32_t further = 0;
        for (std::int32_t g = g1 - 1; g >= g0; --g) {
            further += stops[static_cast<std::size_t>(g + 1 - g0)];
            out.reached[static_cast<std::size_t>(g)] = further;
        }
    }
}

// The CDF of the yen at whole yen y, with the standard error of its
// simulated part.
struct YenCdf {
    double value = 0, se = 0;
};

// One setting's law in yen at the current counter: the net's exact law,
// each pre-BB sum with its own purchases, and the extra purchases drawn.
// The sums fall in bands of `lend` medals with the same own purchases k,
// each of whose part of the CDF at yen y is its net's CDF at the most
// medals worth y with k purchases; searching near a few yen, those parts
// are kept at four neighbouring nets around each (a window), all found in
// one pass over the law, so that a search costs no pass of its own. Made
// once per setting and started again at each counter, in the same storage.
class YenLaw {
public:
    YenLaw(const NetLawByCount& net, const std::array<BBNetLaw, kBBKinds>& bb, const HallMoney& money)
        : net_(net), bb_(bb), money_(money) {}

    // The law at the net's counter, whose draws are `extra` of `reached`,
    // with its windows around each of the yen given (at most 2) and its
    // parts at `alone` itself.
    void Start(std::int32_t reached, const std::vector<ExtraBuys>& extra, std::initializer_list<double> ys,
               double alone) {
        reached_ = reached;
        dips_.clear();
        for (const ExtraBuys& e : extra)
            dips_.push_back({e.all * loss_, e.own * loss_, e.sum, &bb_[static_cast<std::size_t>(e.kind)]});
        const double held = static_cast<double>(*money_.held);
        bands_.clear();
        bandLoss_.clear();
        std::int64_t hi = std::numeric_limits<std::int64_t>::max();
        for (std::int32_t k = PurchasesAt(money_, 0);; ++k) {
            const auto lo = static_cast<std::int64_t>(std::ceil(3.0 - held - k * money_.lendPer1000Yen));
            bands_.push_back({lo, hi});
            bandLoss_.push_back(k * loss_);
            if (lo <= net_.LowestSum()) break;
            hi = lo;
        }
        const std::size_t bands = bands_.size();
        windows_ = ys.size() + 1;
        base_.resize(windows_ * bands);
        cdf_.resize(base_.size() * kWide);
        for (std::size_t b = 0; b < bands; ++b) {
            std::size_t w = 0;
            for (const double y : ys) base_[b * windows_ + w++] = upTo_(y, bandLoss_[b]) - kWide / 2;
            base_[b * windows_ + w] = upTo_(alone, bandLoss_[b]);
        }
        net_.CdfsInBands(bands_, base_.data(), static_cast<int>(windows_), true, cdf_.data());
        alone_ = alone;
        aloneExact_ = 0;
        for (std::size_t b = 0; b < bands; ++b) aloneExact_ += cdf_[(b * windows_ + windows_ - 1) * kWide];
    }

    YenCdf At(double y) const {
        // The last window that holds every band's net, or a pass over the
        // law for each band.
        std::optional<double> exact;
        if (y == alone_) exact = aloneExact_;
        // The first band's net, found once, rules out most windows.
        const std::int64_t first = upTo_(y, bandLoss_[0]);
        for (std::size_t w = windows_; w-- > 0 && !exact;) {
            const std::int64_t width = w + 1 == windows_ ? 1 : kWide;
            if (first - base_[w] < 0 || first - base_[w] >= width) continue;
            double sum = cdf_[w * kWide + static_cast<std::size_t>(first - base_[w])];
            std::size_t b = 1;
            for (; b < bands_.size(); ++b) {
                const std::size_t at = b * windows_ + w;
                const std::int64_t j = upTo_(y, bandLoss_[b]) - base_[at];
                if (j < 0 || j >= width) break;
                sum += cdf_[at * kWide + static_cast<std::size_t>(j)];
            }
            if (b == bands_.size()) exact = sum;
        }
        if (!exact) {
            exact = 0;
            for (std::size_t b = 0; b < bands_.size(); ++b) {
                double c = 0;
                net_.CdfsOver(bands_[b].lo, bands_[b].hi, upTo_(y, bandLoss_[b]), 1, &c);
                *exact += c;
            }
        }
        const YenCdf drawn = Drawn(y);
        return {*exact + drawn.value, drawn.se};
    }

    // The part of the CDF at y the extra purchases drawn add, and its error.
    YenCdf Drawn(double y) const {
        double sum = 0, squares = 0;
        for (const Dip& e : dips_) {
            const double c = e.law->Cdf(upTo_(y, e.all) - e.sum) - e.law->Cdf(upTo_(y, e.own) - e.sum);
            sum += c;
            squares += c * c;
        }
        const double n = reached_;
        const double mean = n > 0 ? sum / n : 0;
        const double var = n > 1 ? std::max(0.0, (squares - n * mean * mean) / (n * (n - 1))) : 0;
        return {mean, std::sqrt(var)};
    }

    // Band b's window w: its first net, and its parts from there on.
    std::size_t Bands() const { return bands_.size(); }
    std::int64_t Base(std::size_t b, std::size_t w) const { return base_[b * windows_ + w]; }
    const double* Parts(std::size_t b, std::size_t w) const { return &cdf_[(b * windows_ + w) * kWide]; }
    // The most medals band b's sums allow at y.
    std::int64_t UpTo(double y, std::size_t b) const { return upTo_(y, bandLoss_[b]); }

private:
    static constexpr int kWide = NetLawByCount::kMostCdfs;

    const NetLawByCount& net_;
    const std::array<BBNetLaw, kBBKinds>& bb_;
    const HallMoney& money_;
    double loss_ = money_.PurchaseLoss();
    MedalsUpTo upTo_{money_.exchange};  // by the hall's exchange
    std::int32_t reached_ = 0;
    // The draws' dips: what all their purchases and their own lose, the
    // pre-BB sum and the BB's law.
    struct Dip {
        double all, own;
        std::int32_t sum;
        const BBNetLaw* law;
    };
    std::vector<Dip> dips_;
    // By band: its sums, and what its purchases lose.
    std::vector<NetLawByCount::SumBand> bands_;
    std::vector<double> bandLoss_;
    // Window w of band b: its first net at base_[b * windows_ + w], the CDF
    // from there in cdf_ four nets on; the last window is `alone` only.
    std::size_t windows_ = 0;
    std::vector<std::int64_t> base_;
    std::vector<double> cdf_;
    double alone_ = 0, aloneExact_ = 0;
};

// The mixture's law in yen at a counter: its settings' laws weighed.
// Their windows around where the mixture's median was have the same nets
// (the bands and the yen are the same whatever the setting; a setting's
// sums reach fewer bands or more), so their parts are weighed once and the
// mixture's CDF there takes one pass over the bands, not one a setting.
class MixedYen {
public:
    void Start(const std::vector<std::pair<const YenLaw*, double>>& laws, std::size_t window) {
        laws_ = &laws;
        widest_ = nullptr;
        for (const auto& [law, w] : laws)
            if (!widest_ || law->Bands() > widest_->Bands()) widest_ = law;
        window_ = window;
        parts_.assign(widest_->Bands(), {});
        for (const auto& [law, w] : laws)
            for (std::size_t b = 0; b < law->Bands(); ++b)
                for (std::size_t j = 0; j < kWide; ++j) parts_[b][j] += w * law->Parts(b, window)[j];
    }

    YenCdf At(double y) const {
        YenCdf c;
        double var = 0;
        bool held = true;
        for (std::size_t b = 0; b < parts_.size() && held; ++b) {
            const std::int64_t j = widest_->UpTo(y, b) - widest_->Base(b, window_);
            held = j >= 0 && j < static_cast<std::int64_t>(kWide);
            if (held) c.value += parts_[b][static_cast<std::size_t>(j)];
        }
        if (!held) c.value = 0;
        for (const auto& [law, w] : *laws_) {
            const YenCdf one = held ? law->Drawn(y) : law->At(y);
            c.value += w * one.value;
            var += w * w * one.se * one.se;
        }
        c.se = std::sqrt(var);
        return c;
    }

private:
    static constexpr std::size_t kWide = NetLawByCount::kMostCdfs;
    const std::vector<std::pair<const YenLaw*, double>>* laws_ = nullptr;
    const YenLaw* widest_ = nullptr;
    std::size_t window_ = 0;
    std::vector<std::array<double, kWide>> parts_;  // by band, weighed over the settings
};

// The figures of a yen law given by its CDF at whole yen: the median
// searched from a guess (the law told to keep its parts around it first),
// the chance ahead, and their standard errors. The law's atoms lie at most
// a medal's worth apart, so the median may be an atom off where the CDF
// around it is within its error of one half: its error is the slope's
// (over a medal on either side) and such a step's, with the chance that
// the CDF just below the median or at it falls the other side of one half.
template <class Cdf>
YenSpread YenFigures(const Cdf& cdf, double guess, double yenPerMedal, std::optional<YenCdf> zero = std::nullopt) {
    YenSpread out;
    guess = std::ceil(guess);
    // The search has taken the CDF at the median and a yen below it, which
    // the error asks for again.
    std::vector<std::pair<std::int64_t, YenCdf>> seen;
    const auto at = [&](std::int64_t y) {
        for (const auto& [x, c] : seen)
            if (x == y) return c;
        return seen.emplace_back(y, cdf(static_cast<double>(y))).second;
    };
    const auto value = [&](std::int64_t y) { return at(y).value; };
    const auto median = Quantile(value, 0.5, static_cast<std::int64_t>(guess));
    out.median = static_cast<double>(median);
    if (!zero) zero = at(0);
    out.pAhead = 1 - zero->value;
    out.pAheadSE = zero->se;
    const auto h = static_cast<std::int64_t>(std::ceil(yenPerMedal));
    const double slope = (at(median + h).value - at(median - h).value) / static_cast<double>(2 * h);
    const YenCdf on = at(median), below = at(median - 1);
    const auto beyond = [](double gap, double se) {
        return se > 0 ? 0.5 * std::erfc(gap / (se * std::sqrt(2.0))) : 0.0;
    };
    const double step = beyond(on.value - 0.5, on.se) + beyond(0.5 - below.value, below.se);
    const double linear = slope > 0 ? on.se / slope : 0;
    out.medianSE = std::sqrt(linear * linear + yenPerMedal * yenPerMedal * step);
    return out;
}

// Where no purchase loses, the yen's law is the net's in yen.
YenSpread ExactYen(const NetSpread& s, const Exchange& exchange) {
    return {std::ceil(exchange.Yen(static_cast<double>(s.median))), s.pAhead, 0, 0};
}

}  // namespace

CountValue ValueByGameCount(const CountValueRequest& request) {
    // A lend of nothing would buy for ever.
    if (request.money.held && !(request.money.lendPer1000Yen > 0 && std::isfinite(request.money.lendPer1000Yen)))
        throw std::invalid_argument("medals lent per 1000 yen must be a positive number");
    if (!(request.gamesPerHour > 0)) throw std::invalid_argument("games an hour must be a positive number");
    CountValue out;
    out.prior = request.prior;
    out.money = request.money;
    out.gamesPerHour = request.gamesPerHour;
    const HallMoney& money = request.money;
    const bool drawYen = request.spread && money.PurchasesLose();
    const auto& prior = request.prior.Probabilities();
    struct Setting {
        const StateDynamics* d = nullptr;
        std::unique_ptr<NetLawByCount> net;
        CountValueTable table;
        std::vector<double> realGames;  // by g
        std::vector<StateLaw> starts;   // at the simulated stretches' starts
        YenDraws draws;
        std::optional<YenLaw> yen;  // at the current counter
    };
    std::vector<Setting> settings;
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        if (prior[static_cast<std::size_t>(s - 1)] == 0) continue;
        Setting& st = settings.emplace_back();
        st.d = &Dynamics(s);
        st.table.setting = s;
        st.table.rows.resize(kMaxGamesSinceBB);
        // The state at g is the start's law given no BB in games 1..g, so
        // every figure at g is one of the BB game's number T given T > g:
        // one pass forward gives the law of T and its kind, and the rows
        // are its tails.
        std::vector<std::array<double, kBBKinds>> hit(kMaxGamesSinceBB + 1);
        std::array<StateLaw, 2> laws;
        laws[0] = st.d->LongRunAfterBB();
        if (drawYen) st.starts.push_back(laws[0]);
        for (std::int32_t j = 1; j <= kMaxGamesSinceBB; ++j) {
            BBEvents bb{};
            st.d->Game(laws[static_cast<std::size_t>((j - 1) & 1)], j, laws[static_cast<std::size_t>(j & 1)], bb);
            for (int e = 0; e < kBBEvents; ++e)
                hit[static_cast<std::size_t>(j)][static_cast<std::size_t>(EventKind(e) - 1)] += bb[e];
            if (drawYen && j % kDrawBlock == 0 && j < kMaxGamesSinceBB)
                st.starts.push_back(laws[static_cast<std::size_t>(j & 1)]);
        }
        st.realGames.resize(kMaxGamesSinceBB);
        double reach = 0, games = 0, red = 0, ceiling = 0;  // sums over T > g
        for (std::int32_t g = kMaxGamesSinceBB - 1; g >= 0; --g) {
            const auto& h = hit[static_cast<std::size_t>(g) + 1];
            const double p = h[0] + h[1];
            reach += p;
            games += p * (g + 1);
            red += h[1];
            if (g + 1 >= kCeilingGames) ceiling += p;
            CountValueRow& row = st.table.rows[static_cast<std::size_t>(g)];
            row.gamesSince = g;
            row.reach = reach;
            row.evGames = games / reach - g;
            row.pCeiling = ceiling / reach;
            row.evMedals = NetOf(st.d->Model(), row.evGames, red / reach);
            st.realGames[static_cast<std::size_t>(g)] = RealGames(st.d->Model(), row.evGames, red / reach);
        }
        if (request.spread) st.net = std::make_unique<NetLawByCount>(*st.d);
    }
    const int threadsAsked = request.threads < 1 ? DefaultThreads() : request.threads;
    // The expected purchases: the law of the lowest balance, setting by
    // setting on the threads, for every counter.
    if (money.held)
        ForEachIndex(
            static_cast<std::int64_t>(settings.size()), threadsAsked, {1}, [] { return 0; },
            [&](std::int64_t i, int) {
                Setting& st = settings[static_cast<std::size_t>(i)];
                MinLawByCount lowest(*st.d, false);
                while (lowest.Count() > 0) {
                    lowest.StepDown();
                    st.table.rows[static_cast<std::size_t>(lowest.Count())].evPurchases =
                        lowest.ExpectedPurchases(static_cast<double>(*money.held), money.lendPer1000Yen);
                }
            });
    for (Setting& st : settings)
        for (CountValueRow& row : st.table.rows) {
            row.evYen = money.Yen(row.evMedals, row.evPurchases);
            row.yenPerHour = row.evYen * request.gamesPerHour / st.realGames[static_cast<std::size_t>(row.gamesSince)];
        }
    // The extra purchases of the balance's dips, simulated: the settings'
    // stretches on the threads, each from seeds of its own.
    if (drawYen) {
        for (Setting& st : settings) {
            st.draws.reached.assign(kMaxGamesSinceBB, 0);
            st.draws.extra.assign(kMaxGamesSinceBB, {});
        }
        ForEachIndex(
            static_cast<std::int64_t>(settings.size()), threadsAsked, {1}, [] { return 0; },
            [&](std::int64_t i, int) {
                Setting& st = settings[static_cast<std::size_t>(i)];
                DrawSetting(StretchSampler(*st.d), st.starts, st.d->Setting(), money, st.draws);
            });
    }
    out.mixed.rows.resize(kMaxGamesSinceBB);
    out.weights.resize(kMaxGamesSinceBB);

    for (std::int32_t g = kMaxGamesSinceBB - 1; g >= 0; --g) {
        const auto gi = static_cast<std::size_t>(g);
        double weightSum = 0;
        for (Setting& st : settings) {
            const double w = prior[static_cast<std::size_t>(st.d->Setting() - 1)] * st.table.rows[gi].reach;
            out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)] = w;
            weightSum += w;
        }
        for (double& w : out.weights[gi]) w /= weightSum;
        CountValueRow& mix = out.mixed.rows[gi];
        mix.gamesSince = g;
        double realGames = 0;
        for (Setting& st : settings) {
            const double w = out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)];
            const CountValueRow& row = st.table.rows[gi];
            mix.evMedals += w * row.evMedals;
            mix.evPurchases += w * row.evPurchases;
            realGames += w * st.realGames[gi];
            mix.evGames += w * row.evGames;
            mix.pCeiling += w * row.pCeiling;
            mix.reach += prior[static_cast<std::size_t>(st.d->Setting() - 1)] * row.reach;
        }
        mix.evYen = money.Yen(mix.evMedals, mix.evPurchases);
        mix.yenPerHour = mix.evYen * request.gamesPerHour / realGames;
        if (request.spread) {
            mix.spread.emplace();
            mix.yenSpread.emplace();
            for (Setting& st : settings) {
                st.table.rows[gi].spread.emplace();
                st.table.rows[gi].yenSpread.emplace();
            }
        }
    }

    // The laws of the net, counter by counter from the top: the settings
    // share the threads, then the mixture's figures do.
    if (request.spread) {
        const auto count = static_cast<int>(settings.size());
        int threads = std::clamp(threadsAsked, 1, std::max(count, kSpreadFigures));
        // The stop is read in the barrier's completion, so every worker
        // sees the same answer and leaves at the same counter.
        std::atomic<bool> quit{false};
        struct Check {
            const std::atomic<bool>* stop;
            std::atomic<bool>* quit;
            void operator()() noexcept {
                if (stop && stop->load(std::memory_order_relaxed)) quit->store(true, std::memory_order_relaxed);
            }
        };
        std::optional<std::barrier<Check>> barrier;
        std::vector<std::array<Around, kQuantiles>> shares(settings.size());
        // The mixture's law in yen, from the settings' at each counter.
        std::vector<std::pair<const YenLaw*, double>> mixLaws;
        MixedYen mixYen;
        // The mixture's yen median from the counter above's, or at the top
        // from its means.
        const auto mixGuess = [&](std::int32_t g) {
            const CountValueRow& mix = out.mixed.rows[static_cast<std::size_t>(g)];
            return g + 1 == kMaxGamesSinceBB ? money.Yen(mix.evMedals, mix.evPurchases)
                                             : out.mixed.rows[static_cast<std::size_t>(g) + 1].yenSpread->median;
        };
        const auto work = [&](int worker) {
            std::barrier<Check>& sync = *barrier;
            for (std::int32_t g = kMaxGamesSinceBB - 1; g >= 0; --g) {
                const auto gi = static_cast<std::size_t>(g);
                const bool top = g + 1 == kMaxGamesSinceBB;
                CountValueRow& mix = out.mixed.rows[gi];
                const NetSpread* mixAbove = top ? nullptr : &*out.mixed.rows[gi + 1].spread;
                for (int i = worker; i < count; i += threads) {
                    Setting& st = settings[static_cast<std::size_t>(i)];
                    st.net->StepDown();
                    const NetLawByCount& net = *st.net;
                    CountValueRow& row = st.table.rows[gi];
                    const NetSpread* above = top ? nullptr : &*st.table.rows[gi + 1].spread;
                    const CdfRun cdfs = [&](std::int64_t from, int n, double* out) { net.Cdfs(from, n, out); };
                    for (int f = 0; f < kSpreadFigures; ++f) SpreadFigure(f, cdfs, above, row.evMedals, *row.spread);
                    if (!drawYen) {
                        *row.yenSpread = ExactYen(*row.spread, money.exchange);
                    } else {
                        if (!st.yen) st.yen.emplace(*st.net, BBNetLaw::ForSetting(st.d->Setting()), money);
                        YenLaw& law = *st.yen;
                        // The median moves with the net's, less or more
                        // purchases aside.
                        const double guess = top ? money.Yen(static_cast<double>(row.spread->median), row.evPurchases)
                                                 : st.table.rows[gi + 1].yenSpread->median +
                                                       money.exchange.Yen(static_cast<double>(
                                                           row.spread->median - st.table.rows[gi + 1].spread->median));
                        // Its parts around the guess, where the mixture's
                        // median was, and at 0 for the chance ahead.
                        law.Start(st.draws.reached[gi], st.draws.extra[gi], {std::ceil(guess), std::ceil(mixGuess(g))},
                                  0.0);
                        *row.yenSpread =
                            YenFigures([&](double y) { return law.At(y); }, guess, money.exchange.YenPerMedal());
                    }
                    // The setting's part of the mixture's CDF where its
                    // quantiles are first looked for: the settings, not the
                    // figures, are shared out among the workers.
                    const double w = out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)];
                    for (int q = 0; q < kQuantiles; ++q) {
                        Around& v = shares[static_cast<std::size_t>(i)][static_cast<std::size_t>(q)];
                        net.Cdfs(AroundFrom(GuessOf(q, mixAbove, mix.evMedals)), kAround, v.data());
                        for (double& c : v) c *= w;
                    }
                }
                sync.arrive_and_wait();
                const CdfRun cdfs = [&](std::int64_t from, int n, double* o) {
                    std::array<double, NetLawByCount::kMostCdfs> one{};
                    std::fill(o, o + n, 0.0);
                    for (Setting& st : settings) {
                        const double w = out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)];
                        st.net->Cdfs(from, n, one.data());
                        for (int j = 0; j < n; ++j) o[j] += w * one[static_cast<std::size_t>(j)];
                    }
                };
                // The chance ahead mixes the settings' own; the quantiles are
                // the settings' parts added up in order (the same on any
                // threads), searched for only when they left those nets.
                if (worker == 0) {
                    mix.spread->pAhead = 0;
                    for (Setting& st : settings)
                        mix.spread->pAhead += out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)] *
                                              st.table.rows[gi].spread->pAhead;
                }
                // The mixture's yen: its CDF mixes the settings' own (where
                // it is the net's in yen, from its median below, once the
                // quantiles are found).
                if (drawYen && worker == kQuantiles % threads) {
                    const auto mixed = [&](const auto& of) {
                        YenCdf c;
                        double var = 0;
                        for (const Setting& st : settings) {
                            const double w = out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)];
                            const YenCdf one = of(st);
                            c.value += w * one.value;
                            var += w * w * one.se * one.se;
                        }
                        c.se = std::sqrt(var);
                        return c;
                    };
                    mixLaws.clear();
                    for (const Setting& st : settings)
                        mixLaws.emplace_back(&*st.yen, out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)]);
                    mixYen.Start(mixLaws, 1);
                    const auto cdf = [&](double y) { return mixYen.At(y); };
                    // At 0 the settings' own figures.
                    const YenCdf zero = mixed([&](const Setting& st) {
                        const YenSpread& own = *st.table.rows[gi].yenSpread;
                        return YenCdf{1 - own.pAhead, own.pAheadSE};
                    });
                    *mix.yenSpread = YenFigures(cdf, mixGuess(g), money.exchange.YenPerMedal(), zero);
                }
                for (int q = worker; q < kQuantiles; q += threads) {
                    Around v{};
                    for (const auto& part : shares)
                        for (int j = 0; j < kAround; ++j)
                            v[static_cast<std::size_t>(j)] +=
                                part[static_cast<std::size_t>(q)][static_cast<std::size_t>(j)];
                    const std::int64_t from = AroundFrom(GuessOf(q, mixAbove, mix.evMedals));
                    (*mix.spread).*kQuantileField[static_cast<std::size_t>(q)] =
                        QuantileFrom(cdfs, kLevels[static_cast<std::size_t>(q)], from, v);
                }
                sync.arrive_and_wait();
                if (!drawYen && worker == 0) *mix.yenSpread = ExactYen(*mix.spread, money.exchange);
                if (quit.load(std::memory_order_relaxed)) return;
            }
        };
        // The barrier is made for the threads the system did start.
        RunWorkers(
            threads,
            [&](int workers) {
                barrier.emplace(threads = workers, Check{request.stop, &quit});
            },
            work);
        out.stopped = quit.load();
        for (const Setting& st : settings) out.dropped = std::max(out.dropped, st.net->Dropped());
    }
    for (Setting& st : settings) {
        FindPositive(st.table);
        out.bySetting[static_cast<std::size_t>(st.d->Setting() - 1)] = std::move(st.table);
    }
    FindPositive(out.mixed);
    return out;
}

MedalsUpTo::MedalsUpTo(const Exchange& exchange)
    : yenPerMedal_(exchange.YenPerMedal()), inverse_(1 / exchange.YenPerMedal()) {}

std::int64_t MedalsUpTo::operator()(double yen, double loss) const {
    // Multiplying by the inverse comes within a few ulps of the quotient,
    // so its floor is the quotient's unless it lies that close to a whole
    // number, when the quotient itself is taken.
    const double a = yen + loss, q = a * inverse_;
    auto n = static_cast<std::int64_t>(q);
    n -= q < static_cast<double>(n);
    const double rest = q - static_cast<double>(n), near = 1e-12 * (1 + std::abs(q));
    if (!(std::abs(q) < 1e15) || rest < near || rest > 1 - near)
        return static_cast<std::int64_t>(std::floor(a / yenPerMedal_));
    return n;
}

std::int64_t PurchasesFor(const HallMoney& money, std::int64_t lowest) {
    if (!money.held) return 0;
    const double held = static_cast<double>(*money.held);
    return static_cast<std::int64_t>(
        std::max(0.0, std::ceil((3.0 - held - static_cast<double>(lowest)) / money.lendPer1000Yen)));
}

CountValueTable ValueByGameCount(int setting, const HallMoney& money, bool spread) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    std::array<double, kMaxSetting> w{};
    w[static_cast<std::size_t>(setting - 1)] = 1;
    CountValue v = ValueByGameCount({SettingPrior(w), money, spread});
    return std::move(*v.bySetting[static_cast<std::size_t>(setting - 1)]);
}

const StretchFromStart& StretchesFromStart(int setting) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    static std::array<std::once_flag, kMaxSetting> once;
    static std::array<StretchFromStart, kMaxSetting> all;
    const auto i = static_cast<std::size_t>(setting - 1);
    std::call_once(once[i], [&] {
        const StateDynamics& d = Dynamics(setting);
        std::array<Figures, 2> f;
        f[0] = AfterLastGame();
        Figures* next = &f[0];
        Figures* now = &f[1];
        for (std::int32_t t = kMaxGamesSinceBB - 1; t >= 0; --t) {
            StepBack(d, t, *next, *now);
            std::swap(now, next);
        }
        StretchFromStart& out = all[i];
        out.games = next->games;
        for (std::size_t j = 0; j < out.net.v.size(); ++j)
            out.net.v[j] = NetOf(d.Model(), next->games.v[j], next->red.v[j]);
        // Renewal-reward: a whole stretch from the long-run start, per game.
        const StateLaw start = d.LongRunAfterBB();
        double net = 0, games = 0;
        for (std::size_t j = 0; j < start.v.size(); ++j) {
            net += start.v[j] * out.net.v[j];
            games += start.v[j] * out.games.v[j];
        }
        out.perGame = net / games;
    });
    return all[i];
}

}  // namespace morvane
