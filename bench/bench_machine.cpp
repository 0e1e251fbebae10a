// Speed of the machine and of a recorded run, beside the plain reference.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/session.h"
#include "machine/slot.h"
#include "reference/straight_slot.h"

namespace {

using namespace morvane;

constexpr std::int32_t kGames = 1'000'000;

void BM_Play(benchmark::State& state) {
    Slot slot(1);
    slot.SetFlevel(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (std::int32_t i = 0; i < kGames; ++i) slot.Play();
        benchmark::DoNotOptimize(slot.medalBalance);
    }
    state.SetItemsProcessed(state.iterations() * kGames);
}
BENCHMARK(BM_Play)->Arg(1)->Arg(6);

// The game loop without recording.
void BM_PlayGames(benchmark::State& state) {
    Slot slot(1);
    slot.SetFlevel(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        slot.PlayGames(kGames, [](const GameRecord&) {});
        benchmark::DoNotOptimize(slot.medalBalance);
    }
    state.SetItemsProcessed(state.iterations() * kGames);
}
BENCHMARK(BM_PlayGames)->Arg(1)->Arg(6);

// The game loop storing every record into one array, as a recorder does:
// the storage is allocated and touched once, outside the timing.
void BM_PlayGamesIntoRecords(benchmark::State& state) {
    Slot slot(1);
    slot.SetFlevel(static_cast<int>(state.range(0)));
    std::vector<GameRecord> records(kGames);
    for (auto _ : state) {
        GameRecord* p = records.data();
        std::size_t i = 0;
        slot.PlayGames(kGames, [&](const GameRecord& r) { p[i++] = r; });
        benchmark::DoNotOptimize(records.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kGames);
}
BENCHMARK(BM_PlayGamesIntoRecords)->Arg(1)->Arg(6);

// A recorded run into storage already touched, as the window's second run
// and morvane-sim bench's timed run play: the run session, two runs in a
// row, the second timed. The 10-million-game case is the bench command's
// workload; 100 million games shows whether the rate holds at any length.
void BM_RecordedRun(benchmark::State& state) {
    const auto games = static_cast<std::int32_t>(state.range(0));
    RunSession session(1);
    const RunRequest one{{false, 1}, games};
    session.SimulateRun(one);
    for (auto _ : state) {
        session.SimulateRun(one);
        benchmark::DoNotOptimize(session.Current().records().data());
    }
    state.SetItemsProcessed(state.iterations() * games);
}
BENCHMARK(BM_RecordedRun)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordedRun)->Arg(100'000'000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_StraightPlay(benchmark::State& state) {
    reference::StraightSlot slot(1);
    slot.SetFlevel(1);
    for (auto _ : state) {
        for (std::int32_t i = 0; i < kGames; ++i) slot.Play();
        benchmark::DoNotOptimize(slot.medalBalance);
    }
    state.SetItemsProcessed(state.iterations() * kGames);
}
BENCHMARK(BM_StraightPlay);

// The straightforward implementation (eight growing vectors, bounds-checked
// access, linear lookups) on the same workload, its vectors also warm.
void BM_StraightRecordedRun(benchmark::State& state) {
    const auto games = static_cast<std::int32_t>(state.range(0));
    reference::StraightSlot slot(1);
    reference::StraightSlot::History history;
    slot.RecordRun(history, false, 1, games);
    for (auto _ : state) {
        slot.RecordRun(history, false, 1, games);
        benchmark::DoNotOptimize(history.cols[1].data());
    }
    state.SetItemsProcessed(state.iterations() * games);
}
BENCHMARK(BM_StraightRecordedRun)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
