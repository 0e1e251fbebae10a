#pragma once
// Searches over a series' x values, shared by the envelope and the bands.
#include <cstddef>

#include "chart/envelope.h"

namespace morvane::chart {

inline bool Ascending(Samples x) {
    for (std::size_t i = 1; i < x.size(); ++i)
        if (x[i] < x[i - 1]) return false;
    return true;
}

// The first index in [lo, hi) that fails pred (pred true, then false).
template <class Pred>
std::size_t FirstFailing(std::size_t lo, std::size_t hi, Pred pred) {
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

// The first index in [lo, hi) whose value fails pred.
template <class Pred>
std::size_t PartitionPoint(Samples x, std::size_t lo, std::size_t hi, Pred pred) {
    return FirstFailing(lo, hi, [&](std::size_t i) { return pred(x[i]); });
}

}  // namespace morvane::chart
