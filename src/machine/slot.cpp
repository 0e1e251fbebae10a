#include "machine/slot.h"

#include <ctime>
#include <stdexcept>

namespace morvane {

Slot::Slot() : Slot(static_cast<std::uint32_t>(std::time(nullptr))) {}

Slot::Slot(std::uint32_t seed) {
    rng_.SeedRandom(seed);
    FillTables();
    BuildFastTables();
}

void Slot::FillTables() {
    for (auto& t : tables_) t.Clear();
    for (int id = 0; id < kTableCount; ++id)
        for (std::int32_t w : TableWeights(id)) tables_[static_cast<std::size_t>(id)].Add(w);
}

void Slot::BuildFastTables() {
    const Rate_TBL<int>& ky = Table(KoyakuTable(flevel));
    std::int32_t sum = 0;
    for (int i = 0; i < 9; ++i) koyakuCum_[static_cast<std::size_t>(i)] = (sum += ky[i]);
    for (int b = 0; b < kBuckets; ++b) {
        const std::int32_t lo = b << kBucketShift;
        const std::int32_t hi = lo + (1 << kBucketShift) - 1;
        const int first = ky.Lookup(lo);
        koyakuBucket_[static_cast<std::size_t>(b)] =
            first == ky.Lookup(hi) ? static_cast<std::uint8_t>(first) : kMixedBucket;
    }
    for (int k = 0; k < kKoyakuKinds; ++k) {
        for (int r = 0; r < kModeModulus; ++r) {
            std::uint32_t packed = 0;
            for (int m = 0; m < kOrdinaryModes; ++m) {
                const int id = ModeChangeTable(m, k, flevel);
                const int next = id == kNoTable ? m : Table(id).Lookup(r);
                packed |= static_cast<std::uint32_t>(next) << (8 * m);
            }
            modeNext_[static_cast<std::size_t>(k)][static_cast<std::size_t>(r)] = packed;
        }
    }
}

// Weights are non-negative, so the entry is the count of cumulative sums <= a.
int Slot::KoyakuCounted(std::int32_t a) const {
    int n = 0;
    for (std::int32_t c : koyakuCum_) n += a >= c;
    return n;
}

void Slot::SetFlevel(int s) {
    if (!ValidSetting(s)) throw std::out_of_range("setting must be 1 to 6");
    if (s != flevel) {
        flevel = s;
        BuildFastTables();
    }
    Reset();
}

int Slot::DrawInitMode(std::uint64_t& s) const {
    s = s * Random::kMul + 1;
    return Table(InitModeTable(flevel)).Lookup(Random::Output(s) & (kInitModeModulus - 1));
}

void Slot::Reset() {
    std::uint64_t s = rng_.State();
    mode = DrawInitMode(s);
    rng_.SetState(s);
    gamesSinceBB = 0;
    playCount = 0;
    medalBalance = 0;
    bbSets = 0;
}

namespace {
inline std::int32_t Draw(std::uint64_t& s, std::int32_t mask) {
    s = s * Random::kMul + 1;
    return Random::Output(s) & mask;
}
}  // namespace

Slot::Hot Slot::SlowStep(Hot h) const {
    const int k = KoyakuOf(Draw(h.s, kKoyakuModulus - 1));
    h.koyaku = k;
    h.medalBalance = AddMedals(h.medalBalance, kPayout[static_cast<std::size_t>(k)] - kBet);
    if (h.mode == Precursor) {
        h.s = h.s * Random::kMul + 1;
        const std::int32_t x = Random::Output(h.s) % (kPrecursorSpan - h.precursorCount);
        if (x != 0) {
            ++h.precursorCount;
        } else {
            h.precursorCount = 0;
            h.mode = Draw(h.s, kModeModulus - 1) <= 64 ? Red7 : Blue7;
        }
    } else {
        h.bbKind = h.mode == Blue7 ? BlueBB : RedBB;
        PlayBB(h);
    }
    return h;
}

void Slot::PlayBB(Hot& h) const {
    h.koyaku = BBGame;
    h.kmode = Table(KModeTable(h.bbKind)).Lookup(Draw(h.s, kKModeModulus - 1));
    h.bbSets = 0;
    for (;;) {
        int c = Continue;
        if (h.bbSets != 0) {
            c = Table(KeizokuTable(h.kmode)).Lookup(Draw(h.s, kKeizokuModulus - 1));
            if (c == EndToNormal) h.mode = DrawInitMode(h.s);
        }
        const auto& payout = c == Continue ? kContinuePayout : kPayout;
        for (int g = 0; g < kGamesPerSet; ++g) {
            const int k = KoyakuOf(Draw(h.s, kKoyakuModulus - 1));
            h.medalBalance = AddMedals(h.medalBalance, payout[static_cast<std::size_t>(k)] - kBet);
            if (c == EndToNormal) {
                // The ordinary modes cascade upward within one game.
                for (int m = Hamari; m <= HighProb; ++m)
                    if (h.mode == m) h.mode = NextMode(m, k, Draw(h.s, kModeModulus - 1));
            }
        }
        switch (c) {
        case EndToNormal: return;
        case EndToPrecursor: h.mode = Precursor; return;
        case EndToBlue7: h.mode = Blue7; return;
        case EndToRed7: h.mode = Red7; return;
        default:
            h.medalBalance = AddMedals(h.medalBalance, kSetBonus);
            ++h.bbSets;
        }
    }
}

}  // namespace morvane
