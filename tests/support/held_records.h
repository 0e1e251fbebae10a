#pragma once
// A run's records read in order into a history, to compare runs kept in
// different ways record by record.
#include "run/history.h"
#include "run/run_records.h"

namespace morvane::test {

inline PlayHistory Held(const RunRecords& records) {
    PlayHistory h;
    h.reserve(records.size());
    records.ForAll([&h](std::size_t, std::span<const GameRecord> piece) {
        for (const GameRecord& r : piece) h.push_back(r);
        return true;
    });
    return h;
}

}  // namespace morvane::test
