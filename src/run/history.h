#pragma once
// The play history: one record per game in one contiguous array, laid out
// exactly as the records of a *.sim file. The eight sequences the rest of the
// program speaks of (PlayNum2Log ... KoyakuLog) are views of that array.
//
// Growth leaves new records uninitialised: a run writes every record anyway,
// and zero-filling hundreds of megabytes first would cost as much as playing
// the games. clear() keeps the storage, so the next run reuses memory that is
// already touched.
//
// Its members are named as a standard container's (size, at, push_back,
// records): it is one, a vector of records with column views beside it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "machine/game_record.h"
#include "run/column.h"

namespace morvane {

class PlayHistory {
public:
    PlayHistory() = default;
    PlayHistory(const PlayHistory& o) { *this = o; }
    PlayHistory& operator=(const PlayHistory& o);
    PlayHistory(PlayHistory&& o) noexcept { *this = std::move(o); }
    PlayHistory& operator=(PlayHistory&& o) noexcept;

    // The eight sequences in binding order.
    Column PlayNum2Log() const { return View(&GameRecord::gamesSinceBB); }
    Column MedalLog() const { return View(&GameRecord::medalBalance); }
    Column KeizokuNumLog() const { return View(&GameRecord::bbSets); }
    Column PlayNumLog() const { return View(&GameRecord::playCount); }
    Column BBLog() const { return View(&GameRecord::bbKind); }
    Column KModeLog() const { return View(&GameRecord::kmode); }
    Column ModeLog() const { return View(&GameRecord::mode); }
    Column KoyakuLog() const { return View(&GameRecord::koyaku); }
    MutableColumn PlayNum2Log() { return View(&GameRecord::gamesSinceBB); }
    MutableColumn MedalLog() { return View(&GameRecord::medalBalance); }
    MutableColumn KeizokuNumLog() { return View(&GameRecord::bbSets); }
    MutableColumn PlayNumLog() { return View(&GameRecord::playCount); }
    MutableColumn BBLog() { return View(&GameRecord::bbKind); }
    MutableColumn KModeLog() { return View(&GameRecord::kmode); }
    MutableColumn ModeLog() { return View(&GameRecord::mode); }
    MutableColumn KoyakuLog() { return View(&GameRecord::koyaku); }
    std::array<Column, kHistoryColumns> Columns() const;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::size_t capacity() const { return capacity_; }

    std::span<const GameRecord> records() const { return {data_.get(), size_}; }
    std::span<GameRecord> records() { return {data_.get(), size_}; }
    const GameRecord& operator[](std::size_t i) const { return data_[i]; }
    GameRecord at(std::size_t i) const;  // bounds-checked

    void clear() { size_ = 0; }
    // Storage for `games` records; what is held is kept.
    void reserve(std::size_t games);
    // Frees the storage.
    void release();
    void push_back(const GameRecord& r);
    // Grows by n records left uninitialised and returns the first of them;
    // the caller writes all n.
    GameRecord* extend(std::size_t n);

    friend bool operator==(const PlayHistory& a, const PlayHistory& b);

private:
    Column View(Field f) const { return {data_.get(), size_, f}; }
    MutableColumn View(Field f) { return {data_.get(), size_, f}; }

    struct Free {
        Free() noexcept : mappedBytes(0) {}
        explicit Free(std::size_t bytes) noexcept : mappedBytes(bytes) {}
        std::size_t mappedBytes;  // a mapping of its own, else from malloc
        void operator()(GameRecord* p) const;
    };
    using Storage = std::unique_ptr<GameRecord[], Free>;
    // Large histories are mappings of their own, in huge pages where the
    // system offers them (fresh memory is slow to touch page by page), and
    // grow by moving their pages, not copying them: growing never holds the
    // old and the new storage at once.
    static Storage Allocate(std::size_t games);
    // Storage for `games` records holding the first size_ of data_.
    void Grow(std::size_t games);

    Storage data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace morvane
