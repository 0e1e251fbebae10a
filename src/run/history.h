#pragma once
// The play history: eight parallel columns, one element per game, in the
// binding order of a file record.
#include <array>
#include <cstdint>

#include "machine/slot.h"
#include "run/column.h"

namespace morvane {

inline constexpr int kHistoryColumns = 8;
inline constexpr std::size_t kBytesPerGame = kHistoryColumns * sizeof(std::int32_t);

struct PlayHistory {
    Column PlayNum2Log;    // gamesSinceBB
    Column MedalLog;       // medalBalance
    Column KeizokuNumLog;  // bbSets
    Column PlayNumLog;     // playCount
    Column BBLog;          // bbKind
    Column KModeLog;       // kmode
    Column ModeLog;        // mode
    Column KoyakuLog;      // koyaku

    // The columns in binding order.
    std::array<Column*, kHistoryColumns> Columns() {
        return {&PlayNum2Log, &MedalLog, &KeizokuNumLog, &PlayNumLog, &BBLog, &KModeLog, &ModeLog, &KoyakuLog};
    }
    std::array<const Column*, kHistoryColumns> Columns() const {
        return {&PlayNum2Log, &MedalLog, &KeizokuNumLog, &PlayNumLog, &BBLog, &KModeLog, &ModeLog, &KoyakuLog};
    }

    // The number of games; the writers take it from the first column.
    std::size_t size() const { return PlayNum2Log.size(); }
    bool empty() const { return size() == 0; }
    std::size_t capacity() const;

    void clear();                      // keeps the storage
    void reserve(std::size_t games);   // all eight columns
    void Append(const GameRecord& r);  // one element to each column
    GameRecord At(std::size_t i) const;
    // True when all eight columns have one length.
    bool Consistent() const;

    friend bool operator==(const PlayHistory&, const PlayHistory&) = default;
};

}  // namespace morvane
