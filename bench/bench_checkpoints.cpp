// A run kept as checkpoints against the bare game loop over the same games:
// time, and peak memory of a process that plays nothing else; then what
// reading it costs, by block size.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>

#include "chart/record_chart.h"
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

// The same games played into a run kept as checkpoints and summaries;
// bars: keeping its BB games' bars for the charts, as the window's runs do.
void BM_CheckpointedRun(benchmark::State& state) {
    const auto games = static_cast<std::int32_t>(state.range(0));
    const auto block = static_cast<std::size_t>(state.range(1));
    const bool bars = state.range(2) != 0;
    const auto play = [&] {
        Slot slot(1);
        CheckpointedRun run(block);
        if (bars) run.KeepBars();
        run.Simulate(slot, {false, 1}, games);
        benchmark::DoNotOptimize(run.Tallies().bbGames);
        return run.Bytes();
    };
    std::size_t bytes = 0;
    for (auto _ : state) bytes = play();
    state.counters["held_MiB"] = static_cast<double>(bytes) / (1 << 20);
    state.counters["peak_MiB"] = ChildPeakMiB(play);
    state.SetItemsProcessed(state.iterations() * games);
}
BENCHMARK(BM_CheckpointedRun)
    ->ArgNames({"games", "block", "bars"})
    ->Args({100'000'000, kDefaultBlockGames, 0})
    ->Args({100'000'000, kDefaultBlockGames, 1})
    ->Args({1'000'000'000, kDefaultBlockGames, 0})
    ->Args({1'000'000'000, kDefaultBlockGames, 1})
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

// The run's charts over a run kept as checkpoints: the one pass when the
// run is presented, then a view of 1000 pixel columns, whole or zoomed.
namespace chart_views {

using morvane::chart::Field;
using morvane::chart::RecordChart;

constexpr std::array<std::int32_t, 5> kMarkerKoyaku = {Cherry4, Suika_A, Suika_B, Chance, Cherry2};
constexpr std::int32_t kChartGames = 1'000'000'000;
constexpr int kColumns = 1000, kRows = 200;

const CheckpointedRun& ChartRun() {
    static const auto run = [] {
        auto r = std::make_unique<CheckpointedRun>();
        Slot slot(1);
        r->Simulate(slot, {false, 6}, kChartGames);
        return r;
    }();
    return *run;
}

const RecordChart& Chart() {
    static const RecordChart chart(ChartRun(), kMarkerKoyaku);
    return chart;
}

// The view's x range: the whole run, 1 in 10, 1 in 1000 of it, and 40
// blocks' games (a column about a block wide).
std::pair<double, double> ViewOf(std::int64_t share) {
    const double n = kChartGames, mid = n * 0.37;
    if (share == 1) return {1, n};
    const double half = share > 0 ? n / static_cast<double>(share) / 2 : 20.0 * kDefaultBlockGames;
    return {mid - half, mid + half};
}

void BM_RecordChartFirstPass(benchmark::State& state) {
    const CheckpointedRun& run = ChartRun();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const RecordChart chart(run, kMarkerKoyaku);
        bytes = chart.Bytes();
        benchmark::DoNotOptimize(chart.BarHeights().size());
    }
    state.counters["held_MiB"] = static_cast<double>(bytes) / (1 << 20);
    state.counters["run_MiB"] = static_cast<double>(run.Bytes()) / (1 << 20);
    state.SetItemsProcessed(state.iterations() * kChartGames);
}
BENCHMARK(BM_RecordChartFirstPass)->Unit(benchmark::kMillisecond)->Iterations(1);

// What a zoom or a scroll to a new view redraws while the band shows: the
// balance line and the mode band (which reads the columns the line found).
// Each view a game apart from the last, so none is the one before.
void BM_RecordChartZoom(benchmark::State& state) {
    const RecordChart& chart = Chart();
    const auto [lo, hi] = ViewOf(state.range(0));
    std::size_t points = 0;
    double shift = 0;
    for (auto _ : state) {
        shift = shift == 0 ? 1 : 0;
        points = chart.Envelope(Field::Balance, lo + shift, hi, kColumns).size();
        benchmark::DoNotOptimize(chart.LevelShares(lo + shift, hi, kColumns).size());
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_RecordChartZoom)->Arg(1)->Arg(10)->Arg(1000)->Arg(0)->Unit(benchmark::kMillisecond);

// Marker series over the balance's range in view: one, or all five shown
// at once (each block played again once for all of them).
void BM_RecordChartMarkers(benchmark::State& state) {
    const RecordChart& chart = Chart();
    const auto [lo, hi] = ViewOf(state.range(0));
    const morvane::chart::Range y = chart.YRange(Field::Balance, lo, hi);
    const std::array<std::size_t, 5> all = {0, 1, 2, 3, 4};
    const std::span<const std::size_t> shown(all.data(), static_cast<std::size_t>(state.range(1)));
    std::size_t points = 0;
    double shift = 0;
    for (auto _ : state) {
        shift = shift == 0 ? 1 : 0;
        points = 0;
        for (const auto& series : chart.ThinMany(shown, lo + shift, hi, y.min, y.max, kColumns, kRows))
            points += series.size();
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_RecordChartMarkers)
    ->ArgsProduct({{1, 10, 1000, 0}, {1, 5}})
    ->ArgNames({"share", "series"})
    ->Unit(benchmark::kMillisecond);

// The most games a run can have, played and presented to the charts: the
// peak memory of a process that does that alone.
void BM_RecordChartLongestRun(benchmark::State& state) {
    const auto games = static_cast<std::int32_t>(state.range(0));
    std::size_t bytes = 0;
    const auto work = [&] {
        Slot slot(1);
        CheckpointedRun run;
        run.Simulate(slot, {false, 6}, games);
        const RecordChart chart(run, kMarkerKoyaku);
        bytes = run.Bytes() + chart.Bytes();
        benchmark::DoNotOptimize(chart.Envelope(Field::Balance, 1, games, kColumns).size());
    };
    for (auto _ : state) work();
    state.counters["held_MiB"] = static_cast<double>(bytes) / (1 << 20);
    state.counters["peak_MiB"] = ChildPeakMiB(work);
}
BENCHMARK(BM_RecordChartLongestRun)->Arg(INT32_MAX)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace chart_views
