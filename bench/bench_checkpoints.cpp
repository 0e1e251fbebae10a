// A run kept as checkpoints against the bare game loop over the same games:
// time, and peak memory of a process that plays nothing else; then what
// reading it costs, by block size.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <random>

#include "machine/slot.h"
#include "run/checkpointed_run.h"
#include "run/history.h"
#include "run/single_run.h"

namespace {

using namespace morvane;

// Peak resident memory, in MiB, of a child process that runs `work`.
template <class Work>
double ChildPeakMiB(Work work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return -1;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BareLoop(std::int64_t games) {
    Slot slot(1);
    slot.SetFlevel(1);
    slot.Reset();
    slot.PlayGames(games, [](const GameRecord&) {});
    benchmark::DoNotOptimize(slot.medalBalance);
}

// T: the game loop alone.
void BM_BareLoop(benchmark::State& state) {
    const std::int64_t games = state.range(0);
    for (auto _ : state) BareLoop(games);
    state.counters["peak_MiB"] = ChildPeakMiB([games] { BareLoop(games); });
    state.SetItemsProcessed(state.iterations() * games);
}
BENCHMARK(BM_BareLoop)->Arg(100'000'000)->Arg(1'000'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same games played into a run kept as checkpoints and summaries.
void BM_CheckpointedRun(benchmark::State& state) {
    const auto games = static_cast<std::int32_t>(state.range(0));
    const auto block = static_cast<std::size_t>(state.range(1));
    std::size_t bytes = 0;
    for (auto _ : state) {
        Slot slot(1);
        CheckpointedRun run(block);
        run.Simulate(slot, {false, 1}, games);
        bytes = run.Bytes();
        benchmark::DoNotOptimize(run.Tallies().bbGames);
    }
    state.counters["held_MiB"] = static_cast<double>(bytes) / (1 << 20);
    state.counters["peak_MiB"] = ChildPeakMiB([&] {
        Slot slot(1);
        CheckpointedRun run(block);
        run.Simulate(slot, {false, 1}, games);
        benchmark::DoNotOptimize(run.Tallies().bbGames);
    });
    state.SetItemsProcessed(state.iterations() * games);
}
BENCHMARK(BM_CheckpointedRun)
    ->Args({100'000'000, kDefaultBlockGames})
    ->Args({1'000'000'000, kDefaultBlockGames})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// For comparison, every record in memory (a PlayHistory, fresh storage),
// then its tallies and summaries in a pass over them.
void BM_InMemoryRun(benchmark::State& state) {
    const auto games = static_cast<std::int32_t>(state.range(0));
    const auto play = [games] {
        Slot slot(1);
        PlayHistory history;
        SimulateRun(slot, history, {false, 1}, games);
        const HistoryRecords records(history);
        benchmark::DoNotOptimize(records.Tallies().bbGames);
    };
    for (auto _ : state) play();
    state.counters["peak_MiB"] = ChildPeakMiB(play);
    state.SetItemsProcessed(state.iterations() * games);
}
BENCHMARK(BM_InMemoryRun)->Arg(100'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);

constexpr std::int32_t kReadGames = 20'000'000;

// One record anywhere in the run: a block played again up to it.
void BM_CheckpointedRecordAt(benchmark::State& state) {
    Slot slot(1);
    CheckpointedRun run(static_cast<std::size_t>(state.range(0)));
    run.Simulate(slot, {false, 1}, kReadGames);
    std::mt19937_64 pick(7);
    for (auto _ : state) benchmark::DoNotOptimize(run.at(pick() % run.size()));
    state.counters["held_MiB"] = static_cast<double>(run.Bytes()) / (1 << 20);
}
BENCHMARK(BM_CheckpointedRecordAt)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Unit(benchmark::kMicrosecond);

// The k-th BB row anywhere in the run.
void BM_CheckpointedBBRow(benchmark::State& state) {
    Slot slot(1);
    CheckpointedRun run(static_cast<std::size_t>(state.range(0)));
    run.Simulate(slot, {false, 1}, kReadGames);
    std::mt19937_64 pick(7);
    const auto rows = static_cast<std::uint64_t>(run.Tallies().bbGames);
    for (auto _ : state) benchmark::DoNotOptimize(run.BBRow(pick() % rows));
}
BENCHMARK(BM_CheckpointedBBRow)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Unit(benchmark::kMicrosecond);

// A chart of the whole run reads every block's summary: the mode shares
// and the balance's range added up, per block.
void BM_SweepBlockSummaries(benchmark::State& state) {
    Slot slot(1);
    CheckpointedRun run(static_cast<std::size_t>(state.range(0)));
    run.Simulate(slot, {false, 1}, kReadGames);
    const auto blocks = run.Index().Blocks();
    for (auto _ : state) {
        std::array<std::uint64_t, kModes> modes{};
        std::int32_t low = INT32_MAX, high = INT32_MIN;
        for (const BlockSummary& b : blocks) {
            for (std::size_t m = 0; m < modes.size(); ++m) modes[m] += b.modeGames[m];
            low = std::min(low, b.balanceLow);
            high = std::max(high, b.balanceHigh);
        }
        benchmark::DoNotOptimize(modes);
        benchmark::DoNotOptimize(low + high);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(blocks.size()));
}
BENCHMARK(BM_SweepBlockSummaries)->Arg(1 << 10)->Arg(1 << 14);

}  // namespace
