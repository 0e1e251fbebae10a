// Writing and reading a 10-million-game file.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/run_file.h"
#include "run/single_run.h"
#include "simfile/simfile.h"

namespace {

using namespace morvane;

constexpr std::int32_t kGames = 10'000'000;

const PlayHistory& BigRun() {
    static PlayHistory h = [] {
        Slot slot(1);
        PlayHistory hist;
        SimulateRun(slot, hist, {false, 1}, kGames);
        return hist;
    }();
    return h;
}

std::string TempPath() { return "/tmp/morvane_bench_" + std::to_string(::getpid()) + ".sim"; }

void BM_EncodeSim(benchmark::State& state) {
    const PlayHistory& h = BigRun();
    for (auto _ : state) {
        std::size_t total = 0;
        EncodeSim({1, kGames}, h, [&](const char*, std::size_t n) { total += n; });
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(SimFileBytes(kGames)));
}
BENCHMARK(BM_EncodeSim)->Unit(benchmark::kMillisecond);

void BM_SaveSimFile(benchmark::State& state) {
    const PlayHistory& h = BigRun();
    const std::string path = TempPath();
    for (auto _ : state) SaveSimFile(path, {1, kGames}, h);
    std::remove(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(SimFileBytes(kGames)));
}
// Wall time: the page cache's work is the kernel's, not this thread's CPU.
BENCHMARK(BM_SaveSimFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_LoadSimFile(benchmark::State& state) {
    const std::string path = TempPath();
    SaveSimFile(path, {1, kGames}, BigRun());
    PlayHistory into;
    for (auto _ : state) benchmark::DoNotOptimize(LoadSimFile(path, into));
    std::remove(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(SimFileBytes(kGames)));
}
BENCHMARK(BM_LoadSimFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// The same file as the open command and show read it: every game checked too.
void BM_ReadRunFile(benchmark::State& state) {
    const std::string path = TempPath();
    SaveSimFile(path, {1, kGames}, BigRun());
    PlayHistory into;
    for (auto _ : state) benchmark::DoNotOptimize(ReadRunFile(path, into));
    std::remove(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(SimFileBytes(kGames)));
}
BENCHMARK(BM_ReadRunFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

}  // namespace
