// Presenting a 10-million-game run: everything but the drawing.
#include <benchmark/benchmark.h>

#include "present/presentation.h"
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

}  // namespace
