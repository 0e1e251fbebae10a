#include "sessions/spread_stats.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace morvane {

namespace {

__extension__ typedef __int128 Wide;

template <class Get>
QuantitySpread Spread(std::span<const SessionTally> tallies, Get get, std::vector<std::int64_t>& scratch) {
    QuantitySpread q;
    const auto n = static_cast<std::int64_t>(tallies.size());
    scratch.clear();
    Wide sum = 0, squares = 0;
    for (const SessionTally& t : tallies) {
        const std::int64_t v = get(t);
        scratch.push_back(v);
        sum += v;
        squares += Wide{v} * v;
    }
    std::sort(scratch.begin(), scratch.end());
    q.min = scratch.front();
    q.max = scratch.back();
    for (std::size_t i = 0; i < kSpreadPercentiles.size(); ++i) {
        // Nearest rank: the smallest value with at least p% of the sessions at or below it.
        const std::int64_t rank = (kSpreadPercentiles[i] * n + 99) / 100;
        q.percentile[i] = scratch[static_cast<std::size_t>(std::max<std::int64_t>(rank, 1) - 1)];
    }
    q.mean = static_cast<double>(sum) / static_cast<double>(n);
    if (n > 1) {
        const Wide spread = Wide{n} * squares - sum * sum;  // exact: n^2 times the population variance
        q.sd = std::sqrt(static_cast<double>(spread) / (static_cast<double>(n) * static_cast<double>(n - 1)));
        q.se = q.sd / std::sqrt(static_cast<double>(n));
    }
    return q;
}

}  // namespace

SpreadSummary Summarise(const SpreadRequest& request, std::span<const SessionTally> tallies) {
    if (tallies.empty() || tallies.size() != static_cast<std::size_t>(request.sessions))
        throw std::invalid_argument("a summary needs every session's tallies");
    SpreadSummary s;
    s.request = request;
    s.request.shardIndex = 0;
    s.request.shardCount = 1;
    std::vector<std::int64_t> scratch;
    scratch.reserve(tallies.size());
    s.balance = Spread(
        tallies, [](const SessionTally& t) { return std::int64_t{t.balance}; }, scratch);
    s.bbGames = Spread(
        tallies, [](const SessionTally& t) { return std::int64_t{t.bbGames}; }, scratch);
    s.bbs = Spread(
        tallies, [](const SessionTally& t) { return std::int64_t{t.bbs}; }, scratch);
    s.deepestDip = Spread(
        tallies, [](const SessionTally& t) { return t.deepestDip; }, scratch);
    for (std::size_t i = 0; i < tallies.size(); ++i) {
        const std::int32_t b = tallies[i].balance;
        if (b > 0) ++s.ahead;
        if (b < tallies[static_cast<std::size_t>(s.worst)].balance) s.worst = static_cast<std::int32_t>(i);
        if (b > tallies[static_cast<std::size_t>(s.best)].balance) s.best = static_cast<std::int32_t>(i);
    }
    return s;
}

BalanceHistogram HistogramOfBalance(std::span<const SessionTally> tallies, int bins) {
    BalanceHistogram h;
    if (tallies.empty() || bins < 1) return h;
    const auto [lo, hi] =
        std::minmax_element(tallies.begin(), tallies.end(),
                            [](const SessionTally& a, const SessionTally& b) { return a.balance < b.balance; });
    // The narrowest round width (1, 2 or 5 times a power of ten) that spans
    // the balances in `bins` bins, with edges on its multiples, so the bars
    // meet the axis at round balances.
    const std::int64_t range = std::int64_t{hi->balance} - lo->balance + 1;
    const std::int64_t least = (range + bins - 1) / bins;
    h.width = 0;
    for (std::int64_t decade = 1; h.width == 0; decade *= 10)
        for (std::int64_t m : {1, 2, 5})
            if (h.width == 0 && m * decade >= least) h.width = m * decade;
    // Floor division: the lowest balance may be negative.
    h.low = lo->balance / h.width * h.width;
    if (h.low > lo->balance) h.low -= h.width;
    h.counts.assign(static_cast<std::size_t>((hi->balance - h.low) / h.width + 1), 0);
    for (const SessionTally& t : tallies) ++h.counts[static_cast<std::size_t>((t.balance - h.low) / h.width)];
    return h;
}

}  // namespace morvane
