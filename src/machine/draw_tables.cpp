#include "machine/draw_tables.h"

namespace morvane {

void DrawTables::Build(const WeightTables& t, int setting) {
    const Rate_TBL<int>& ky = t[static_cast<std::size_t>(KoyakuTable(setting))];
    std::int32_t sum = 0;
    for (int i = 0; i < 9; ++i) koyakuCum[static_cast<std::size_t>(i)] = (sum += ky[i]);
    for (int b = 0; b < kBuckets; ++b) {
        const std::int32_t lo = b << kBucketShift;
        const std::int32_t hi = lo + (1 << kBucketShift) - 1;
        const int first = ky.Lookup(lo);
        koyakuBucket[static_cast<std::size_t>(b)] = first == ky.Lookup(hi) ? static_cast<std::uint8_t>(first) : kMixedBucket;
    }
    for (int k = 0; k < kKoyakuKinds; ++k) {
        for (int r = 0; r < kModeModulus; ++r) {
            std::uint32_t packed = 0;
            for (int m = 0; m < kOrdinaryModes; ++m) {
                const int id = ModeChangeTable(m, k, setting);
                const int next = id == kNoTable ? m : t[static_cast<std::size_t>(id)].Lookup(r);
                packed |= static_cast<std::uint32_t>(next) << (8 * m);
            }
            modeNext[static_cast<std::size_t>(k)][static_cast<std::size_t>(r)] = packed;
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
