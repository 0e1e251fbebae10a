#include "machine/draw_tables.h"

#include <stdexcept>

namespace morvane {

DrawTables::DrawTables() {
    for (std::size_t k = 0; k < rows.size(); ++k) {
        rows[k].gameStep = 1 | static_cast<std::uint64_t>(static_cast<std::uint32_t>(kNetPayout[k])) << 32;
        rows[k].koyaku = static_cast<std::uint32_t>(k);
        for (std::size_t m = 0; m < rows[k].modeAndKoyaku.size(); ++m)
            rows[k].modeAndKoyaku[m] = m | static_cast<std::uint64_t>(k) << 32;
    }
}

void DrawTables::Build(const WeightTables& t, int setting) {
    const Rate_TBL<int>& ky = t[static_cast<std::size_t>(KoyakuTable(setting))];
    if (ky.Size() >= kKoyakuKinds) throw std::logic_error("more small wins than rows");
    constexpr std::int32_t kBucketValues = kKoyakuModulus / kBuckets;
    for (int b = 0; b <= kBuckets; ++b) {
        const std::int32_t lo = b * kBucketValues;
        const int first = ky.Lookup(lo);
        bucketRow[static_cast<std::size_t>(b)] = &rows[static_cast<std::size_t>(first)];
        if (b == kBuckets) break;
        const std::int32_t hi = lo + kBucketValues - 1;
        const int last = ky.Lookup(hi);
        std::uint64_t lastBefore = kNoBoundary;
        if (last != first) {
            // The entry past the boundary must be the one the next bucket
            // starts with.
            if (last != first + 1 || ky.Lookup(hi + 1) != last)
                throw std::logic_error("a small win narrower than a bucket");
            std::int32_t start = 0;  // where entry `last` begins
            for (int i = 0; i < last; ++i) start += ky[i];
            lastBefore = (static_cast<std::uint64_t>(start) << kKoyakuValueShift) - 1;
        }
        lastBeforeNext[static_cast<std::size_t>(b)] = lastBefore;
    }
    for (int k = 0; k < kKoyakuKinds; ++k) {
        for (int r = 0; r < kModeModulus; ++r) {
            std::uint32_t packed = 0;
            for (int m = 0; m < kOrdinaryModes; ++m) {
                const int id = ModeChangeTable(m, k, setting);
                const int next = id == kNoTable ? m : t[static_cast<std::size_t>(id)].Lookup(r);
                packed |= static_cast<std::uint32_t>(8 * next) << (8 * m);
            }
            rows[static_cast<std::size_t>(k)].modeNext[static_cast<std::size_t>(r)] = packed;
        }
    }
    for (int kind = 0; kind < 2; ++kind)
        for (int a = 0; a < kKModeModulus; ++a)
            kmodeOf[static_cast<std::size_t>(kind)][static_cast<std::size_t>(a)] =
                static_cast<std::uint8_t>(t[static_cast<std::size_t>(KModeTable(kind + 1))].Lookup(a));
    for (int km = 0; km < kKModes; ++km)
        for (int a = 0; a < kKeizokuModulus; ++a)
            keizokuOf[static_cast<std::size_t>(km)][static_cast<std::size_t>(a)] =
                static_cast<std::uint8_t>(t[static_cast<std::size_t>(KeizokuTable(km))].Lookup(a));
    for (int a = 0; a < kInitModeModulus; ++a)
        initModeOf[static_cast<std::size_t>(a)] =
            static_cast<std::uint8_t>(t[static_cast<std::size_t>(InitModeTable(setting))].Lookup(a));
}

}  // namespace morvane
