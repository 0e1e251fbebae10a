#pragma once
// The figures of a spread's sessions: exact integer sums, nearest-rank
// percentiles of the sorted values, and the histogram of the final balance.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "sessions/spread_play.h"

namespace morvane {

// The figures of one quantity over all sessions.
inline constexpr std::array<int, 9> kSpreadPercentiles{1, 5, 10, 25, 50, 75, 90, 95, 99};
struct QuantitySpread {
    std::array<std::int64_t, kSpreadPercentiles.size()> percentile{};  // nearest rank
    std::int64_t min = 0, max = 0;
    double mean = 0, sd = 0, se = 0;  // sd with R - 1; se = sd / sqrt(R)
};

struct SpreadSummary {
    SpreadRequest request;   // shard fields 0 and 1
    QuantitySpread balance;  // medals
    QuantitySpread bbGames;
    QuantitySpread bbs;
    QuantitySpread deepestDip;
    std::int64_t ahead = 0;            // sessions that end with a balance above 0
    std::int32_t worst = 0, best = 0;  // first session with the lowest / highest balance
};

// All sessions' tallies, by index.
SpreadSummary Summarise(const SpreadRequest& request, std::span<const SessionTally> tallies);

// The final balances in bins of the narrowest round width (1, 2 or 5 times
// a power of ten) that covers them in `bins` bins; the edges are multiples
// of the width, which can cost one bin more. Bin i holds
// low + i * width up to, not including, low + (i + 1) * width.
struct BalanceHistogram {
    std::int64_t low = 0, width = 1;
    std::vector<std::int64_t> counts;
};
BalanceHistogram HistogramOfBalance(std::span<const SessionTally> tallies, int bins);

}  // namespace morvane
