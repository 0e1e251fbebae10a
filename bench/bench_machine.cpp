// Speed of the machine and of a recorded run, beside the plain reference.
#include <benchmark/benchmark.h>

#include <vector>

#include "machine/slot.h"
#include "reference/straight_slot.h"
#include "run/single_run.h"

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

void BM_RecordedRun(benchmark::State& state) {
    Slot slot(1);
    PlayHistory history;
    history.reserve(kGames);
    SimulateRun(slot, history, {false, 1}, kGames);  // touch the storage once
    for (auto _ : state) {
        SimulateRun(slot, history, {false, 1}, kGames);
        benchmark::DoNotOptimize(history.MedalLog.data());
    }
    state.SetItemsProcessed(state.iterations() * kGames);
}
BENCHMARK(BM_RecordedRun);

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

void BM_StraightRecordedRun(benchmark::State& state) {
    reference::StraightSlot slot(1);
    reference::StraightSlot::History history;
    for (auto _ : state) {
        slot.RecordRun(history, false, 1, kGames);
        benchmark::DoNotOptimize(history.cols[1].data());
    }
    state.SetItemsProcessed(state.iterations() * kGames);
}
BENCHMARK(BM_StraightRecordedRun);

}  // namespace
