// Presenting a 10-million-game run: everything but the drawing.
#include <benchmark/benchmark.h>

#include <memory>

#include "present/presentation.h"
#include "run/checkpointed_run.h"
#include "run/single_run.h"

namespace {

using namespace morvane;

const PlayHistory& TenMillion() {
    static PlayHistory h = [] {
        Slot slot(1);
        PlayHistory hist;
        SimulateRun(slot, hist, {false, 6}, 10'000'000);
        return hist;
    }();
    return h;
}

void BM_Present(benchmark::State& state) {
    const PlayHistory& h = TenMillion();
    Presentation p;
    for (auto _ : state) {
        p.Present(h);
        benchmark::DoNotOptimize(p.ResultLabel());
    }
    state.counters["index_bytes_per_game"] = static_cast<double>(p.IndexBytes()) / static_cast<double>(h.size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(h.size()));
}
BENCHMARK(BM_Present)->Unit(benchmark::kMillisecond);

// What a list view asks for one screen: 30 rows of every column.
void BM_ScreenOfRows(benchmark::State& state) {
    const PlayHistory& h = TenMillion();
    Presentation p;
    p.Present(h);
    std::size_t row = 0;
    for (auto _ : state) {
        for (int r = 0; r < 30; ++r)
            for (int c = 0; c < 5; ++c) benchmark::DoNotOptimize(p.Cell(Page::Play, (row + r) % h.size(), c));
        row += 7919;
    }
}
BENCHMARK(BM_ScreenOfRows)->Unit(benchmark::kMicrosecond);

// A billion games kept as checkpoints, as the window keeps a run. A row
// costs one block played again wherever it is, so a row at 2,000,000,000
// of the longest run costs what a row near the end of this one does.
const CheckpointedRun& OneBillion() {
    static const std::unique_ptr<CheckpointedRun> run = [] {
        Slot slot(1);
        auto r = std::make_unique<CheckpointedRun>();
        r->Simulate(slot, {false, 6}, 1'000'000'000);
        return r;
    }();
    return *run;
}

// A screen of one list scrolled far into the run, its block not yet read:
// 30 rows of every column. Each iteration lands in another block.
void BM_FarScreenOfRows(benchmark::State& state) {
    const auto page = static_cast<Page>(state.range(0));
    const CheckpointedRun& run = OneBillion();
    Presentation p;
    p.Present(run);
    const std::size_t rows = p.RowCount(page);
    std::size_t row = rows - 30;
    for (auto _ : state) {
        for (std::size_t r = row; r < row + 30; ++r)
            for (int c = 0; c < p.ColumnCount(page); ++c) benchmark::DoNotOptimize(p.Cell(page, r, c));
        // About a third of the run back each time, wrapping round.
        row = (row + rows / 3 + 104729) % (rows - 30);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["held_bytes"] = static_cast<double>(p.IndexBytes());
}
BENCHMARK(BM_FarScreenOfRows)
    ->Arg(static_cast<int>(Page::Play))
    ->Arg(static_cast<int>(Page::BB))
    ->Arg(static_cast<int>(Page::ModeChange))
    ->Unit(benchmark::kMillisecond);

// One row, far out, from a fresh presentation: what the list's first paint
// after a jump costs.
void BM_FarPlayRow(benchmark::State& state) {
    const CheckpointedRun& run = OneBillion();
    std::size_t row = run.size() - 1;
    for (auto _ : state) {
        Presentation p;
        p.Present(run);
        benchmark::DoNotOptimize(p.Row(Page::Play, row));
        row = (row + 333'333'331) % run.size();
    }
}
BENCHMARK(BM_FarPlayRow)->Unit(benchmark::kMillisecond);

}  // namespace
