#pragma once
// The machine's codes, as stored in the play history and in files.
#include <array>
#include <cstdint>

namespace morvane {

enum Koyaku : std::int32_t {
    Cherry2 = 0,
    Cherry4 = 1,
    Suika_A = 2,
    Suika_B = 3,
    ReplayA = 4,
    ReplayB = 5,
    Bell = 6,
    Chance = 7,
    Miss = 8,
    Blank = 9,
    BBGame = 99,
};
inline constexpr int kKoyakuKinds = 10;  // 0..9; BBGame is a marker

enum Mode : std::int32_t {
    Hamari = 0,
    LowProb = 1,
    HighProb = 2,
    Precursor = 3,
    Blue7 = 4,
    Red7 = 5,
};
inline constexpr int kModes = 6;
inline constexpr int kOrdinaryModes = 3;

enum BBKind : std::int32_t { NoBB = 0, BlueBB = 1, RedBB = 2 };

inline constexpr int kKModes = 4;  // continuation modes A..D

enum Keizoku : std::int32_t {
    EndToNormal = 0,
    EndToPrecursor = 1,
    EndToBlue7 = 2,
    EndToRed7 = 3,
    Continue = 4,
};

inline constexpr int kMinSetting = 1;
inline constexpr int kMaxSetting = 6;
inline constexpr bool ValidSetting(int s) { return s >= kMinSetting && s <= kMaxSetting; }

inline constexpr std::int32_t kBet = 3;
inline constexpr std::int32_t kSetBonus = 108;
inline constexpr int kGamesPerSet = 6;
inline constexpr std::int32_t kCeilingGames = 1500;
inline constexpr std::int32_t kPrecursorSpan = 32;
// A precursor ends by its 32nd step, so a stretch never outlasts this.
inline constexpr std::int32_t kMaxGamesSinceBB = kCeilingGames + kPrecursorSpan;

// Payout of a small win in an ordinary game (and in a BB's last set).
inline constexpr std::array<std::int32_t, kKoyakuKinds> kPayout = {2, 4, 6, 6, 3, 0, 10, 0, 0, 0};
inline constexpr std::array<std::int32_t, kKoyakuKinds> kNetPayout = {-1, 1, 3, 3, 0, -3, 7, -3, -3, -3};
// Payout inside a continued BB set: ReplayA pays nothing, Blank pays 3.
inline constexpr std::array<std::int32_t, kKoyakuKinds> kContinuePayout = {2, 4, 6, 6, 0, 0, 10, 0, 0, 3};

}  // namespace morvane
