#include "machine/tables.h"

#include <vector>

namespace morvane {
namespace {

using W = std::vector<std::int32_t>;

// Weights in member order. A vector per table keeps the rows readable; the
// fast paths of Slot are derived from these once, never on the hot path.
const std::array<W, kTableCount>& Weights() {
    static const std::array<W, kTableCount> w = {{
        // KoyakuRate1..6: Cherry2 Cherry4 Suika_A Suika_B ReplayA ReplayB Bell Chance Miss
        {4251, 7782, 6265, 2535, 144971, 287202, 91980, 10477, 295707},
        {4392, 8040, 6492, 2627, 144731, 286731, 91980, 10460, 295457},
        {4579, 8382, 6777, 2743, 144412, 286183, 91980, 10438, 295124},
        {4805, 8795, 7233, 2927, 143996, 285327, 91980, 10407, 294709},
        {4805, 8795, 7233, 2927, 143976, 285327, 91980, 10407, 294709},
        {4805, 8795, 7233, 2927, 143976, 285327, 91980, 10407, 294709},
        // Mode0Rate1..15 (Hamari): -> Hamari LowProb HighProb Precursor Blue7 Red7
        {0, 374, 8, 128, 1, 1},
        {0, 366, 16, 128, 1, 1},
        {470, 32, 8, 2, 0, 0},
        {230, 256, 8, 16, 1, 1},
        {350, 128, 16, 16, 1, 1},
        {342, 128, 24, 16, 1, 1},
        {318, 128, 32, 32, 1, 1},
        {0, 462, 16, 32, 1, 1},
        {0, 446, 16, 48, 1, 1},
        {0, 430, 32, 48, 1, 1},
        {0, 414, 32, 64, 1, 1},
        {0, 398, 48, 64, 1, 1},
        {359, 128, 16, 8, 1, 0},
        {343, 128, 24, 16, 1, 0},
        {319, 128, 32, 32, 1, 0},
        // Mode2Rate1..12 (HighProb)
        {0, 0, 254, 256, 1, 1},
        {0, 0, 307, 203, 1, 1},
        {0, 0, 499, 13, 0, 0},
        {0, 0, 478, 32, 1, 1},
        {0, 0, 154, 356, 1, 1},
        {0, 0, 254, 256, 1, 1},
        {0, 0, 279, 231, 1, 1},
        {24, 16, 472, 0, 0, 0},
        {0, 0, 358, 153, 1, 0},
        {0, 0, 308, 203, 1, 0},
        {0, 0, 333, 178, 1, 0},
        {0, 0, 391, 120, 1, 0},
        // Mode1Rate1..11 (LowProb)
        {0, 0, 382, 128, 1, 1},
        {0, 499, 12, 1, 0, 0},
        {0, 498, 12, 2, 0, 0},
        {0, 496, 12, 4, 0, 0},
        {0, 365, 137, 8, 1, 1},
        {0, 366, 128, 16, 1, 1},
        {0, 350, 128, 32, 1, 1},
        {0, 0, 446, 64, 1, 1},
        {32, 480, 0, 0, 0, 0},
        {0, 375, 128, 8, 1, 0},
        {0, 367, 128, 16, 1, 0},
        // KModeRateBlue, KModeRateRed: A B C D
        {1207, 777, 40, 24},
        {1, 1, 1269, 777},
        // KeizokuRateA..D: EndToNormal EndToPrecursor EndToBlue7 EndToRed7 Continue
        {251, 2, 4, 2, 765},
        {205, 2, 4, 2, 811},
        {143, 4, 8, 2, 867},
        {99, 4, 8, 2, 911},
        // InitModeRate1..6: Hamari LowProb HighProb
        {599, 175, 250},
        {574, 200, 250},
        {499, 225, 300},
        {449, 250, 325},
        {399, 250, 375},
        {299, 250, 475},
    }};
    return w;
}

constexpr int N = kNoTable;

// Selection by [mode][small win][setting - 1]. Rows for small wins that never
// change the mode (ReplayB, Bell, Miss, Blank) are all kNoTable.
constexpr int kSelect[3][10][6] = {
    {
        // Hamari
        {Mode0Rate1, Mode0Rate1, Mode0Rate2, Mode0Rate2, Mode0Rate2, Mode0Rate2},     // Cherry2
        {Mode0Rate3, Mode0Rate3, Mode0Rate3, Mode0Rate3, Mode0Rate3, Mode0Rate3},     // Cherry4
        {Mode0Rate4, Mode0Rate5, Mode0Rate5, Mode0Rate5, Mode0Rate6, Mode0Rate7},     // Suika_A
        {Mode0Rate8, Mode0Rate9, Mode0Rate9, Mode0Rate10, Mode0Rate11, Mode0Rate12},  // Suika_B
        {N, N, N, N, N, N},                                                           // ReplayA
        {N, N, N, N, N, N},
        {N, N, N, N, N, N},
        {Mode0Rate13, Mode0Rate13, Mode0Rate13, Mode0Rate13, Mode0Rate14, Mode0Rate15},  // Chance
        {N, N, N, N, N, N},
        {N, N, N, N, N, N},
    },
    {
        // LowProb
        {Mode1Rate1, Mode1Rate1, Mode1Rate1, Mode1Rate1, Mode1Rate1, Mode1Rate1},
        {Mode1Rate2, Mode1Rate2, Mode1Rate3, Mode1Rate4, Mode1Rate4, Mode1Rate4},
        {Mode1Rate5, Mode1Rate6, Mode1Rate6, Mode1Rate6, Mode1Rate7, Mode1Rate7},
        {Mode1Rate8, Mode1Rate8, Mode1Rate8, Mode1Rate8, Mode1Rate8, Mode1Rate8},
        {Mode1Rate9, Mode1Rate9, Mode1Rate9, Mode1Rate9, Mode1Rate9, Mode1Rate9},
        {N, N, N, N, N, N},
        {N, N, N, N, N, N},
        {Mode1Rate10, Mode1Rate10, Mode1Rate10, Mode1Rate10, Mode1Rate10, Mode1Rate11},
        {N, N, N, N, N, N},
        {N, N, N, N, N, N},
    },
    {
        // HighProb
        {Mode2Rate1, Mode2Rate1, Mode2Rate2, Mode2Rate2, Mode2Rate2, Mode2Rate2},
        {Mode2Rate3, Mode2Rate3, Mode2Rate3, Mode2Rate3, Mode2Rate3, Mode2Rate3},
        {Mode2Rate4, Mode2Rate4, Mode2Rate4, Mode2Rate4, Mode2Rate4, Mode2Rate4},
        {Mode2Rate5, Mode2Rate5, Mode2Rate5, Mode2Rate5, Mode2Rate6, Mode2Rate7},
        {Mode2Rate8, Mode2Rate8, Mode2Rate8, Mode2Rate8, Mode2Rate8, Mode2Rate8},
        {N, N, N, N, N, N},
        {N, N, N, N, N, N},
        {Mode2Rate9, Mode2Rate10, Mode2Rate10, Mode2Rate11, Mode2Rate11, Mode2Rate12},
        {N, N, N, N, N, N},
        {N, N, N, N, N, N},
    },
};

}  // namespace

std::span<const std::int32_t> TableWeights(int id) {
    const W& w = Weights().at(static_cast<std::size_t>(id));
    return {w.data(), w.size()};
}

std::int32_t TableModulus(int id) {
    if (id <= KoyakuRate6) return kKoyakuModulus;
    if (id <= Mode1Rate11) return kModeModulus;
    if (id <= KModeRateRed) return kKModeModulus;
    if (id <= KeizokuRateD) return kKeizokuModulus;
    return kInitModeModulus;
}

int ModeChangeTable(int mode, int koyaku, int setting) {
    if (mode < 0 || mode > 2 || koyaku < 0 || koyaku > 9 || setting < 1 || setting > 6) return kNoTable;
    return kSelect[mode][koyaku][setting - 1];
}

}  // namespace morvane
