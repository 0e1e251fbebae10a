// Spreads of many sessions: games per second per thread beside the plain
// game loop (BM_PlayGames), one thread against two, and a whole day's
// question at setting 1: 100,000 sessions of 8,000 games.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/spread_job.h"
#include "sessions/shard_file.h"
#include "sessions/shard_merge.h"

namespace {

using namespace morvane;

// Sessions of 8,000 games, the length of a day at the machine.
void BM_Spread(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const SpreadRequest request{1, 8000, static_cast<std::int32_t>(state.range(1)), 1};
    std::vector<SessionTally> tallies(static_cast<std::size_t>(request.sessions));
    for (auto _ : state) {
        PlaySpread(request, threads, tallies);
        benchmark::DoNotOptimize(tallies.data());
    }
    const auto games = state.iterations() * std::int64_t{request.sessions} * request.games;
    state.SetItemsProcessed(games);
    state.counters["games/s/thread"] =
        benchmark::Counter(static_cast<double>(games) / threads, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Spread)
    ->Args({1, 256})
    ->Args({2, 256})
    ->Args({1, 2048})
    ->Args({2, 2048})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The summary of a day's sessions besides playing them, and the day itself.
void BM_SpreadDay(benchmark::State& state) {
    const SpreadRequest request{1, 8000, 100'000, 1};
    std::vector<SessionTally> tallies(static_cast<std::size_t>(request.sessions));
    for (auto _ : state) {
        PlaySpread(request, 0, tallies);
        benchmark::DoNotOptimize(SpreadText(Summarise(request, tallies)));
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t{request.sessions} * request.games);
}
BENCHMARK(BM_SpreadDay)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

void BM_SpreadSummary(benchmark::State& state) {
    const SpreadRequest request{1, 8000, 100'000, 1};
    std::vector<SessionTally> tallies(static_cast<std::size_t>(request.sessions));
    PlaySpread(request, 0, tallies);
    for (auto _ : state) benchmark::DoNotOptimize(SpreadText(Summarise(request, tallies)));
}
BENCHMARK(BM_SpreadSummary)->Unit(benchmark::kMillisecond);

}  // namespace
