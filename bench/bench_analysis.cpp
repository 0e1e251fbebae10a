// Speed of the exact analysis: the long-run figures of all six settings (the
// theory command's first block), an N-game expectation, an estimate, and
// the expected value by game count in yen at a hall's money.
#include <benchmark/benchmark.h>

#include "estimation/estimate.h"
#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"
#include "machine/slot.h"
#include "model/likelihood.h"
#include "model/theory.h"
#include "model/value_by_count.h"
#include "run/single_run.h"

namespace {

using namespace morvane;

void BM_TheoryAllSettings(benchmark::State& state) {
    for (auto _ : state) {
        for (int s = kMinSetting; s <= kMaxSetting; ++s) {
            SettingTheory t(s);
            benchmark::DoNotOptimize(t.LongRun().payoutPercent);
        }
    }
}
BENCHMARK(BM_TheoryAllSettings)->Unit(benchmark::kMillisecond);

// Short runs are followed game by game; long ones until the chances settle.
void BM_ExpectedRun(benchmark::State& state) {
    const SettingTheory t(1);
    for (auto _ : state) benchmark::DoNotOptimize(t.ExpectedRun(state.range(0)).balance);
}
BENCHMARK(BM_ExpectedRun)->Arg(3000)->Arg(1'000'000)->Arg(2'147'483'647)->Unit(benchmark::kMillisecond);

// The estimate command's work once the file is read.
void BM_EstimateSetting(benchmark::State& state) {
    Observations seen;
    seen.games = 1'000'000;
    seen.bbGames = 3500;
    seen.smallWins = {4200, 7700, 6300, 2600, 137000, 272000, 87700, 10000, 469000};
    for (auto _ : state) {
        const std::vector<SettingTheory> all = AllSettingTheories();
        benchmark::DoNotOptimize(EstimateSetting(all, seen).probability[0]);
    }
}
BENCHMARK(BM_EstimateSetting)->Unit(benchmark::kMillisecond);

// The exact posterior of a recorded run, all six settings, once the file is
// read: the goal is 8000 games under 50 ms and 10 million under 5 s, linear
// in the games.
void BM_ExactPosterior(benchmark::State& state) {
    PlayHistory h;
    Slot slot(1);
    SimulateRun(slot, h, {false, 3}, static_cast<std::int32_t>(state.range(0)));
    AllExactLikelihoods();  // built once per process, as the command does
    for (auto _ : state) benchmark::DoNotOptimize(EstimateSettingExactly(h.records()).posterior.probability[0]);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ExactPosterior)->Arg(8000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

// Hall data against the exact estimate of a file with as many games, side by
// side: 20,000 stretches of 1500 games (each BB at the ceiling, colour and
// sets known) and a recorded run of 30 million games. The goal is hall data
// within 1.5 times the file's cost: the same games, the same work a game.
void BM_HallDataStretches(benchmark::State& state) {
    HallData d;
    const auto stretches = static_cast<std::size_t>(state.range(0));
    d.bbs.assign(stretches, HallBB{1500, 1, 3});
    d.games = 1500 * state.range(0);
    AllExactLikelihoods();
    for (auto _ : state) benchmark::DoNotOptimize(EstimateSettingFromHallData(d).posterior.probability[0]);
    state.SetItemsProcessed(state.iterations() * d.games);
}
BENCHMARK(BM_HallDataStretches)->Arg(20'000)->Unit(benchmark::kSecond)->Iterations(1);

void BM_ExactPosteriorOfAFileAsLong(benchmark::State& state) {
    PlayHistory h;
    Slot slot(1);
    SimulateRun(slot, h, {false, 3}, static_cast<std::int32_t>(1500 * state.range(0)));
    AllExactLikelihoods();
    for (auto _ : state) benchmark::DoNotOptimize(EstimateSettingExactly(h.records()).posterior.probability[0]);
    state.SetItemsProcessed(state.iterations() * 1500 * state.range(0));
}
BENCHMARK(BM_ExactPosteriorOfAFileAsLong)->Arg(20'000)->Unit(benchmark::kSecond)->Iterations(1);

// The whole table by game count for six settings and their mixture on one
// thread, with the law of the net: as the medals alone give it (held all,
// arg 0), and at 5.6枚 with cash (arg 1), whose yen need the expected
// purchases and the law in yen besides. The goal is the second within 1.5
// times the first; means alone (arg 2: held all, arg 3: cash) show what
// the purchases cost a table without the law.
void BM_ValueByCountInYen(benchmark::State& state) {
    for (int s = kMinSetting; s <= kMaxSetting; ++s) Dynamics(s);
    const bool cash = state.range(0) % 2 == 1, spread = state.range(0) < 2;
    const HallMoney money = cash ? HallMoney{Exchange{56}, 50, 0} : HallMoney{};
    for (auto _ : state) benchmark::DoNotOptimize(ValueByGameCount({SettingPrior(), money, spread, 1}).mixed.rows[0]);
}
BENCHMARK(BM_ValueByCountInYen)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
