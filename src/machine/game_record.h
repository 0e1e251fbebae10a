#pragma once
// What one game leaves behind: eight 32-bit values in the binding order of
// the play history, which is also the order of a record in a *.sim file.
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace morvane {

struct GameRecord {
    std::int32_t gamesSinceBB;  // PlayNum2Log
    std::int32_t medalBalance;  // MedalLog
    std::int32_t bbSets;        // KeizokuNumLog
    std::int32_t playCount;     // PlayNumLog
    std::int32_t bbKind;        // BBLog
    std::int32_t kmode;         // KModeLog
    std::int32_t mode;          // ModeLog
    std::int32_t koyaku;        // KoyakuLog

    friend bool operator==(const GameRecord&, const GameRecord&) = default;
};

inline constexpr int kHistoryColumns = 8;
inline constexpr std::size_t kBytesPerGame = sizeof(GameRecord);
// Arrays of records are copied and written to files as raw bytes.
static_assert(sizeof(GameRecord) == kHistoryColumns * sizeof(std::int32_t));
static_assert(std::is_trivially_copyable_v<GameRecord> && std::is_standard_layout_v<GameRecord>);

}  // namespace morvane
