#include "estimation/purchase_values.h"

#include <algorithm>
#include <list>
#include <mutex>
#include <stdexcept>
#include <tuple>

#include "estimation/purchase_caps.h"
#include "estimation/purchase_game.h"
#include "estimation/purchases_ahead.h"
#include "estimation/row_ops.h"
#include "model/bb_net_law.h"
#include "model/precursor.h"

namespace morvane {
namespace {

constexpr int kStates = kModes * kLawCounts;
constexpr int Index(int mode, int count) { return mode * kLawCounts + count; }
// Reads past a cap, by a game's net or a BB's tail, land in zeros.
constexpr int kPad = 128;
constexpr std::int32_t kStopEvery = 64;
// Entries kept: six settings' values by games, by BBs and until the next
// BB, at two money settings and then some.
constexpr std::size_t kKept = 48;

// The states a law without a carried count reaches.
constexpr bool Live(int mode, int count) { return mode == Precursor || count == 0; }

// Those states in order: the values keep theirs alone.
constexpr std::array<int, PurchaseValues::kLive> kLiveStates = [] {
    std::array<int, PurchaseValues::kLive> out{};
    std::size_t i = 0;
    for (int s = 0; s < kStates; ++s)
        if (Live(s / kLawCounts, s % kLawCounts)) out[i++] = s;
    return out;
}();

// V_r(s, h), the purchases of r games from state s holding h, from
// V_{r-1}: a game's value at each h from 3 up, then the purchase that
// comes before it below 3. Side by side, by level: the games alone
// (`games`), and until the n-th BB's sets are over, n = 1 .. bbs, whose BB
// game goes on at level n - 1 and the first's ends the count.
class Backward {
public:
    using Level = std::array<std::vector<double>, kStates>;

    Backward(const StateDynamics& d, int lend, int width, bool games, int bbs)
        : lend_(lend), width_(width), game_(d), bb_(game_.bb) {
        setLo_ = static_cast<int>(bb_.setLo);
        tailLo_ = static_cast<int>(bb_.tailLo);
        const auto row = static_cast<std::size_t>(width_ + kPad);
        if (games) after_.push_back(0);
        for (int n = 1; n <= bbs; ++n) after_.push_back(n == 1 ? -1 : static_cast<int>(after_.size()) - 1);
        prev_.resize(after_.size());
        next_.resize(after_.size());
        for (std::size_t l = 0; l < after_.size(); ++l)
            for (int s = 0; s < kStates; ++s)
                if (Live(s / kLawCounts, s % kLawCounts)) {
                    prev_[l][static_cast<std::size_t>(s)].assign(row, 0.0);
                    next_[l][static_cast<std::size_t>(s)].assign(row, 0.0);
                }
        // BB arrays run from tailLo: index y - tailLo.
        const auto wide = row + static_cast<std::size_t>(setLo_ + static_cast<int>(bb_.set.size()) - tailLo_);
        for (auto& v : ends_) v.assign(row, 0.0);
        a_.assign(row, 0.0);
        b_.assign(wide, 0.0);
        z_.assign(static_cast<std::size_t>(setLo_), 0.0);
        for (auto& v : zk_) v.assign(wide, 0.0);
        e_.assign(row, 0.0);
        t_.assign(row, 0.0);
    }

    // From V_{r-1} below capPrev to V_r below cap; at the ceiling's game
    // half of every state is a blue BB now, half a precursor at its count.
    void Step(int capPrev, int cap, bool ceiling = false) {
        for (std::size_t l = 0; l < after_.size(); ++l) {
            Level& next = next_[l];
            const Level& prev = prev_[l];
            Ordinary(prev, next, cap);
            Precursors(prev, next, capPrev, cap);
            if (after_[l] >= 0) {
                BBs(prev_[static_cast<std::size_t>(after_[l])], next, capPrev, cap);
            } else {
                // The BB's game ends the count (a ceiling's game wrote here).
                for (int kind : {Blue7, Red7}) std::fill(Row(next, kind) + 3, Row(next, kind) + std::max(cap, 3), 0.0);
            }
            if (ceiling) {
                // The precursors' own rows last: the others read them.
                for (int s = 0; s < kStates; ++s) {
                    std::vector<double>& v = next[static_cast<std::size_t>(s)];
                    if (v.empty() || s / kLawCounts == Precursor) continue;
                    const double* p = Row(next, Precursor, s % kLawCounts);
                    for (int h = 3; h < cap; ++h) v[static_cast<std::size_t>(h)] = 0.5 * p[h];
                }
                for (int c = 0; c < kLawCounts; ++c) {
                    double* p = Row(next, Precursor, c);
                    for (int h = 3; h < cap; ++h) p[h] *= 0.5;
                }
            }
            for (std::vector<double>& v : next) {
                if (v.empty()) continue;
                for (int h = 0; h < 3; ++h) {
                    const int k = (3 - h + lend_ - 1) / lend_;
                    const int to = h + k * lend_;
                    v[static_cast<std::size_t>(h)] = k + (to < cap ? v[static_cast<std::size_t>(to)] : 0.0);
                }
            }
        }
        std::swap(prev_, next_);
    }

    std::size_t Levels() const { return after_.size(); }
    double At(std::size_t level, int state, std::int64_t h) const {
        const std::vector<double>& v = prev_[level][static_cast<std::size_t>(state)];
        return v.empty() || h >= width_ ? 0.0 : v[static_cast<std::size_t>(h)];
    }

private:
    static const double* Row(const Level& l, int mode, int count = 0) {
        return l[static_cast<std::size_t>(Index(mode, count))].data();
    }
    static double* Row(Level& l, int mode, int count = 0) {
        return l[static_cast<std::size_t>(Index(mode, count))].data();
    }

    // out[h] = sum over nets of w[net] in[h + net], h in [3, cap).
    static void Correlate(double* out, const double* in, const std::array<double, kNets>& w, int cap) {
        for (int h = 3; h < cap; ++h) out[h] = 0;
        for (int n = 0; n < kNets; ++n) {
            const double wn = w[static_cast<std::size_t>(n)];
            if (wn == 0) continue;
            AddScaled(out + 3, in + (n + kLeastNet) + 3, wn, cap - 3);
        }
    }

    void Ordinary(const Level& prev, Level& next, int cap) {
        for (int m = 0; m < kOrdinaryModes; ++m) {
            double* out = Row(next, m);
            for (int h = 3; h < cap; ++h) out[h] = 0;
            for (int to = 0; to < kModes; ++to) {
                const auto& w = game_.taps[static_cast<std::size_t>(m)][static_cast<std::size_t>(to)];
                const double* in = Row(prev, to);
                for (int n = 0; n < kNets; ++n) {
                    const double wn = w[static_cast<std::size_t>(n)];
                    if (wn == 0) continue;
                    AddScaled(out + 3, in + (n + kLeastNet) + 3, wn, cap - 3);
                }
            }
        }
    }

    // A precursor's game: its small win, then on to the next count or
    // ended into a BB next game.
    void Precursors(const Level& prev, Level& next, int capPrev, int cap) {
        const int reach = std::min(capPrev, cap + kNets);
        const double red = kPrecursorRedShare;
        const double *blue = Row(prev, Blue7), *redRow = Row(prev, Red7);
        for (int y = 0; y < reach; ++y) e_[static_cast<std::size_t>(y)] = (1 - red) * blue[y] + red * redRow[y];
        for (int c = 0; c < kLawCounts; ++c) {
            const double stay = kPrecursorStay[static_cast<std::size_t>(c)],
                         end = kPrecursorEnd[static_cast<std::size_t>(c)];
            const double* on = c + 1 < kLawCounts ? Row(prev, Precursor, c + 1) : nullptr;
            for (int y = 0; y < reach; ++y)
                t_[static_cast<std::size_t>(y)] = (on ? stay * on[y] : 0.0) + end * e_[static_cast<std::size_t>(y)];
            Correlate(Row(next, Precursor, c), t_.data(), game_.win, cap);
        }
    }

    // A BB game from held h: its sets by continuation mode, whose chance
    // to go on and way to end hang on it, then its own game and last set
    // (the tail), into the states its end leaves. The sets' part is the
    // recurrence z = S . ((1 - q) a + q z), filled downward, a set paying at
    // least setLo > 0.
    void BBs(const Level& after, Level& next, int capPrev, int cap) {
        // The value after the BB by the way it ends.
        for (int y = 0; y < capPrev; ++y) {
            double normal = 0;
            for (int m = 0; m < kModes; ++m) normal += game_.normalEnd[static_cast<std::size_t>(m)] * Row(after, m)[y];
            const auto yi = static_cast<std::size_t>(y);
            ends_[EndToNormal][yi] = normal;
            ends_[EndToPrecursor][yi] = Row(after, Precursor)[y];
            ends_[EndToBlue7][yi] = Row(after, Blue7)[y];
            ends_[EndToRed7][yi] = Row(after, Red7)[y];
        }
        const int top = static_cast<int>(bb_.set.size());
        const int zn = capPrev - tailLo_;  // y in [tailLo, capPrev)
        for (auto& v : zk_) std::fill(v.begin(), v.begin() + zn + setLo_ + top, 0.0);
        for (std::size_t km = 0; km < kKModes; ++km) {
            if (bb_.kmode[0][km] == 0 && bb_.kmode[1][km] == 0) continue;
            const double q = bb_.continueChance[km];
            for (int y = 0; y < capPrev; ++y) {
                const auto yi = static_cast<std::size_t>(y);
                a_[yi] = game_.ending[km][EndToNormal] * ends_[EndToNormal][yi] +
                         game_.ending[km][EndToPrecursor] * ends_[EndToPrecursor][yi] +
                         game_.ending[km][EndToBlue7] * ends_[EndToBlue7][yi] +
                         game_.ending[km][EndToRed7] * ends_[EndToRed7][yi];
            }
            std::fill(b_.begin(), b_.begin() + zn + setLo_ + top, 0.0);
            double* b = b_.data() - tailLo_;  // b[y], y from tailLo
            // Downward a block of setLo at a time: z over a block reads b
            // above it only, so each set net adds to the whole block.
            for (int end = capPrev; end > tailLo_; end -= setLo_) {
                const int from = std::max(tailLo_, end - setLo_), n = end - from;
                std::fill(z_.begin(), z_.begin() + n, 0.0);
                for (int j = 0; j < top; ++j)
                    AddScaled(z_.data(), b + from + setLo_ + j, bb_.set[static_cast<std::size_t>(j)], n);
                for (int i = 0; i < n; ++i) {
                    const int y = from + i;
                    const double z = z_[static_cast<std::size_t>(i)];
                    if (y >= 0) b[y] = (1 - q) * a_[static_cast<std::size_t>(y)] + q * z;
                }
                for (std::size_t kind = 0; kind < kBBKinds; ++kind)
                    AddScaled(zk_[kind].data() + (from - tailLo_), z_.data(), bb_.kmode[kind][km], n);
            }
        }
        // out[h] = sum over the tail's nets t of tail[t] z[h + tailLo + t].
        const int tn = static_cast<int>(bb_.tail.size());
        for (int kind = 0; kind < kBBKinds; ++kind) {
            double* out = Row(next, kind == 0 ? Blue7 : Red7);
            const double* z = zk_[static_cast<std::size_t>(kind)].data();  // z[y - tailLo]
            std::fill(out + 3, out + std::max(cap, 3), 0.0);
            for (int t = 0; t < tn; ++t) AddScaled(out + 3, z + 3 + t, bb_.tail[static_cast<std::size_t>(t)], cap - 3);
        }
    }

    int lend_, width_;
    std::vector<int> after_;  // by level: the level a BB goes on at, -1: none
    PurchaseGame game_;
    const BBNetParts& bb_;
    int setLo_ = 0, tailLo_ = 0;
    std::vector<Level> prev_, next_;
    std::array<std::vector<double>, kEnds> ends_;
    std::vector<double> a_, b_, e_, t_, z_;
    std::array<std::vector<double>, kBBKinds> zk_;
};

struct Kept {
    bool untilBB;
    int setting, lend;
    std::int64_t held;
    std::shared_ptr<const PurchaseValues> values;
};

}  // namespace

std::unique_ptr<PurchaseValues> PurchaseValues::Find(const StateDynamics& d, int lend, std::int64_t held,
                                                     std::int32_t games, int mostBBs, const std::atomic<bool>* stop) {
    if (games < 0 || games > kMostPurchaseGames || mostBBs < 0 || lend < 1 || held < 0)
        throw std::invalid_argument("games, BBs, lending or medals held out of range");
    auto out = std::make_unique<PurchaseValues>();
    out->byLeft_.assign(static_cast<std::size_t>(games) + 1, {});
    out->byBBs_.assign(static_cast<std::size_t>(mostBBs) + 1, {});
    const std::vector<int> caps = PurchaseCaps(PurchaseGame(d).win, games);
    const int width = std::max(caps.back(), 3);
    if (held >= width) return out;  // nothing will be bought
    Backward pass(d, lend, width, true, mostBBs);
    for (std::int32_t r = 1; r <= games; ++r) {
        if (stop && r % kStopEvery == 0 && stop->load(std::memory_order_relaxed)) return nullptr;
        pass.Step(caps[static_cast<std::size_t>(r - 1)], std::max(caps[static_cast<std::size_t>(r)], 3));
        auto& at = out->byLeft_[static_cast<std::size_t>(r)];
        for (std::size_t i = 0; i < kLive; ++i) at[i] = pass.At(0, kLiveStates[i], held);
    }
    for (int n = 1; n <= mostBBs; ++n)
        for (std::size_t i = 0; i < kLive; ++i)
            out->byBBs_[static_cast<std::size_t>(n)][i] =
                games == 0 ? 0.0 : pass.At(static_cast<std::size_t>(n), kLiveStates[i], held);
    return out;
}

std::unique_ptr<PurchaseValues> PurchaseValues::FindUntilBB(const StateDynamics& d, int lend, std::int64_t held,
                                                            const std::atomic<bool>* stop) {
    if (lend < 1 || held < 0) throw std::invalid_argument("lending or medals held out of range");
    auto out = std::make_unique<PurchaseValues>();
    // [since]: from the game after `since`, up to the last a stretch can have.
    out->byLeft_.assign(static_cast<std::size_t>(kMaxGamesSinceBB) + 1, {});
    const std::vector<int> caps = PurchaseCaps(PurchaseGame(d).win, kMaxGamesSinceBB);
    const int width = std::max(caps.back(), 3);
    if (held >= width) return out;
    Backward pass(d, lend, width, false, 1);
    for (std::int32_t since = kMaxGamesSinceBB - 1; since >= 0; --since) {
        if (stop && since % kStopEvery == 0 && stop->load(std::memory_order_relaxed)) return nullptr;
        const std::int32_t left = kMaxGamesSinceBB - since;
        pass.Step(caps[static_cast<std::size_t>(left - 1)], std::max(caps[static_cast<std::size_t>(left)], 3),
                  since + 1 == kCeilingGames);
        auto& at = out->byLeft_[static_cast<std::size_t>(since)];
        for (std::size_t i = 0; i < kLive; ++i) at[i] = pass.At(0, kLiveStates[i], held);
    }
    return out;
}

namespace {

// The last used first, for both kinds of values.
std::mutex keptMutex;
std::list<Kept> kept;
std::list<std::tuple<int, int, std::int64_t>> asked;  // until the next BB, once

// Values by games serve any fewer games; by BBs, only their own games.
template <class Find>
std::shared_ptr<const PurchaseValues> Keep(bool untilBB, int setting, int lend, std::int64_t held, std::int32_t games,
                                           int mostBBs, Find find) {
    {
        const std::scoped_lock lock(keptMutex);
        for (auto it = kept.begin(); it != kept.end(); ++it)
            if (std::tie(it->untilBB, it->setting, it->lend, it->held) == std::tie(untilBB, setting, lend, held) &&
                (mostBBs == 0 ? it->values->Games() >= games
                              : it->values->Games() == games && it->values->MostBBs() >= mostBBs)) {
                kept.splice(kept.begin(), kept, it);
                return kept.front().values;
            }
    }
    // Found outside the lock: the settings are found side by side.
    std::shared_ptr<const PurchaseValues> values = find();
    if (!values) return nullptr;
    const std::scoped_lock lock(keptMutex);
    kept.push_front({untilBB, setting, lend, held, values});
    if (kept.size() > kKept) kept.pop_back();
    return values;
}

}  // namespace

void PurchaseValues::Forget() {
    const std::scoped_lock lock(keptMutex);
    kept.clear();
    asked.clear();
}

std::shared_ptr<const PurchaseValues> PurchaseValues::For(int setting, int lend, std::int64_t held, std::int32_t games,
                                                          int mostBBs, const std::atomic<bool>* stop) {
    return Keep(false, setting, lend, held, games, mostBBs,
                [&] { return Find(Dynamics(setting), lend, held, games, mostBBs, stop); });
}

std::shared_ptr<const PurchaseValues> PurchaseValues::UntilBB(int setting, int lend, std::int64_t held,
                                                              const std::atomic<bool>* stop) {
    // One look forward from a law costs a tenth of these: they are found
    // once the same money is asked for again.
    {
        const std::scoped_lock lock(keptMutex);
        const auto key = std::make_tuple(setting, lend, held);
        if (std::find(asked.begin(), asked.end(), key) == asked.end()) {
            asked.push_front(key);
            if (asked.size() > kKept) asked.pop_back();
            return nullptr;
        }
    }
    return Keep(true, setting, lend, held, 0, 0, [&] { return FindUntilBB(Dynamics(setting), lend, held, stop); });
}

bool PurchaseValues::Apply(std::int32_t since, std::int32_t games) {
    return static_cast<std::int64_t>(since) + games < kCeilingGames;
}

double PurchaseValues::Carried(const StateLaw& law) {
    double carried = 0;
    for (int s = 0; s < kStates; ++s)
        if (!Live(s / kLawCounts, s % kLawCounts)) carried += law.v[static_cast<std::size_t>(s)];
    return carried;
}

StateLaw PurchaseValues::Uncarried(const StateLaw& law) {
    StateLaw out = law;
    for (int s = 0; s < kStates; ++s)
        if (!Live(s / kLawCounts, s % kLawCounts)) out.v[static_cast<std::size_t>(s)] = 0;
    return out;
}

StateLaw PurchaseValues::CarriedPart(const StateLaw& law) {
    StateLaw out = law;
    for (int s = 0; s < kStates; ++s)
        if (Live(s / kLawCounts, s % kLawCounts)) out.v[static_cast<std::size_t>(s)] = 0;
    return out;
}

namespace {

double Sum(const StateLaw& law, const std::array<double, PurchaseValues::kLive>& at) {
    double sum = 0;
    for (std::size_t i = 0; i < PurchaseValues::kLive; ++i)
        sum += law.v[static_cast<std::size_t>(kLiveStates[i])] * at[i];
    return sum;
}

}  // namespace

double PurchaseValues::Of(const StateLaw& law, std::int32_t k) const {
    return Sum(law, byLeft_[static_cast<std::size_t>(k)]);
}

double PurchaseValues::OfBBs(const StateLaw& law, int n) const { return Sum(law, byBBs_[static_cast<std::size_t>(n)]); }

}  // namespace morvane
