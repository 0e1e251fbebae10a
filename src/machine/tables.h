#pragma once
// The machine's 56 weight tables and how a draw selects one of them.
// This is the single copy of the numbers; everything else derives from it.
#include <array>
#include <cstdint>
#include <span>

namespace morvane {

// Table ids in member order, in rows by table family.
// clang-format off
enum TableId : int {
    KoyakuRate1, KoyakuRate2, KoyakuRate3, KoyakuRate4, KoyakuRate5, KoyakuRate6,
    Mode0Rate1, Mode0Rate2, Mode0Rate3, Mode0Rate4, Mode0Rate5, Mode0Rate6, Mode0Rate7,
    Mode0Rate8, Mode0Rate9, Mode0Rate10, Mode0Rate11, Mode0Rate12, Mode0Rate13,
    Mode0Rate14, Mode0Rate15,
    Mode2Rate1, Mode2Rate2, Mode2Rate3, Mode2Rate4, Mode2Rate5, Mode2Rate6, Mode2Rate7,
    Mode2Rate8, Mode2Rate9, Mode2Rate10, Mode2Rate11, Mode2Rate12,
    Mode1Rate1, Mode1Rate2, Mode1Rate3, Mode1Rate4, Mode1Rate5, Mode1Rate6, Mode1Rate7,
    Mode1Rate8, Mode1Rate9, Mode1Rate10, Mode1Rate11,
    KModeRateBlue, KModeRateRed,
    KeizokuRateA, KeizokuRateB, KeizokuRateC, KeizokuRateD,
    InitModeRate1, InitModeRate2, InitModeRate3, InitModeRate4, InitModeRate5, InitModeRate6,
    kTableCount
};
// clang-format on
static_assert(kTableCount == 56);

inline constexpr int kNoTable = -1;

// The weights of table `id`, entry 0 first.
std::span<const std::int32_t> TableWeights(int id);
// The modulus a draw reduces its value to before looking in table `id`.
std::int32_t TableModulus(int id);

inline constexpr int KoyakuTable(int setting) { return KoyakuRate1 + setting - 1; }
inline constexpr int InitModeTable(int setting) { return InitModeRate1 + setting - 1; }
inline constexpr int KModeTable(int bbKind) { return bbKind == 1 ? KModeRateBlue : KModeRateRed; }
inline constexpr int KeizokuTable(int kmode) { return KeizokuRateA + kmode; }

// The mode-change table for an ordinary mode (0..2), a small win (0..9) and a
// setting (1..6), or kNoTable when the mode stays.
int ModeChangeTable(int mode, int koyaku, int setting);

inline constexpr std::int32_t kKoyakuModulus = 1 << 20;
inline constexpr std::int32_t kModeModulus = 512;
inline constexpr std::int32_t kKModeModulus = 2048;
inline constexpr std::int32_t kKeizokuModulus = 1024;
inline constexpr std::int32_t kInitModeModulus = 1024;

}  // namespace morvane
