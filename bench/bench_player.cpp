// Speed of the player's figures: the expected value by game count for six
// settings (aim: under 100 ms), the machine now after an 8000-game record
// (aim: under 20 ms), keep or quit, and a trust calibration of 10,000
// sessions.
#include <benchmark/benchmark.h>

#include "estimation/keep_or_quit.h"
#include "estimation/machine_now.h"
#include "estimation/purchase_values.h"
#include "estimation/trust.h"
#include "machine/slot.h"
#include "model/value_by_count.h"
#include "run/single_run.h"

namespace {

using namespace morvane;

// The tables the process builds once, as a command would have them.
void Warm() {
    for (int s = kMinSetting; s <= kMaxSetting; ++s) Dynamics(s);
    AllExactLikelihoods();
}

// Means, the ceiling's share and expected games for every counter, six
// settings and their mixture.
void BM_ValueByCountMeans(benchmark::State& state) {
    Warm();
    for (auto _ : state) benchmark::DoNotOptimize(ValueByGameCount({SettingPrior(), {}, false}).mixed.rows[0].evMedals);
}
BENCHMARK(BM_ValueByCountMeans)->Unit(benchmark::kMillisecond);

// The same with the law of the net (median, percentiles, chance ahead), on
// one thread and on all cores.
void BM_ValueByCountWithSpread(benchmark::State& state) {
    Warm();
    const auto threads = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ValueByGameCount({SettingPrior(), {}, true, threads}).mixed.rows[0].spread);
}
BENCHMARK(BM_ValueByCountWithSpread)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The posterior over settings and modes, the next 1000 games and the next
// BB, from an 8000-game record, once the file is read.
void BM_MachineNow8000(benchmark::State& state) {
    Warm();
    PlayHistory h;
    Slot slot(12345);
    SimulateRun(slot, h, {true, 1}, 8000);
    for (auto _ : state) {
        const BeliefResult b = BeliefFromRecord(h.records());
        benchmark::DoNotOptimize(NowFigures(*b.belief, 1000).nextGames);
    }
}
BENCHMARK(BM_MachineNow8000)->Unit(benchmark::kMillisecond);

// The same with the yen at 5.6枚交換, each setting's expected purchases
// beside its medals: medals held all (none bought), 200 held, and cash;
// the horizon 1000 as the panel has it, and 300. The purchases by games
// from every state, found for the money on its first and second figures,
// are kept (arg 2: 1), as they are while a record grows; arg 2 = 0 forgets
// them every time, as the first figures after a change of the money.
void BM_MachineNow8000WithYen(benchmark::State& state) {
    Warm();
    PlayHistory h;
    Slot slot(12345);
    SimulateRun(slot, h, {true, 1}, 8000);
    NowMoney money{{{56}, 50, std::nullopt}, kDefaultGamesPerHour};
    if (state.range(0) >= 0) money.money.held = state.range(0);
    const auto horizon = static_cast<std::int32_t>(state.range(1));
    const bool kept = state.range(2) == 1;
    PurchaseValues::Forget();
    if (kept)
        for (int i = 0; i < 2; ++i) NowFigures(*BeliefFromRecord(h.records()).belief, horizon, money);
    for (auto _ : state) {
        if (!kept) PurchaseValues::Forget();
        const BeliefResult b = BeliefFromRecord(h.records());
        benchmark::DoNotOptimize(NowFigures(*b.belief, horizon, money).NextYen());
    }
}
BENCHMARK(BM_MachineNow8000WithYen)
    ->UseRealTime()
    ->Args({-1, 1000, 1})
    ->Args({200, 300, 1})
    ->Args({0, 300, 1})
    ->Args({200, 1000, 1})
    ->Args({0, 1000, 1})
    ->Args({0, 300, 0})
    ->Args({0, 1000, 0})
    ->Unit(benchmark::kMillisecond);

// The machine now of a counter near the ceiling (1400 games since the BB,
// the ceiling within the horizon), followed forward; cash at 5.6枚.
void BM_MachineNowNearTheCeiling(benchmark::State& state) {
    Warm();
    const BeliefResult b = BeliefFromHallData({1601, {{200, 1, 3}}, {}});
    const NowMoney money{{{56}, 50, std::int64_t{0}}, kDefaultGamesPerHour};
    for (auto _ : state)
        benchmark::DoNotOptimize(NowFigures(*b.belief, static_cast<std::int32_t>(state.range(0)), money).NextYen());
}
BENCHMARK(BM_MachineNowNearTheCeiling)->UseRealTime()->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond);

// What 設定推測 finds from an 8000-game record on every update: the exact
// estimate and the state now, as two passes of the filter (the estimate,
// then the belief: 2) and as the one pass that gives both (1).
void BM_EstimateAndBelief8000(benchmark::State& state) {
    Warm();
    PlayHistory h;
    Slot slot(12345);
    SimulateRun(slot, h, {true, 1}, 8000);
    for (auto _ : state) {
        if (state.range(0) == 2) {
            const ExactEstimate e = EstimateSettingExactly(h.records());
            const BeliefResult b = BeliefFromRecord(h.records());
            benchmark::DoNotOptimize(e.posterior.probability[0] + b.belief->posterior[0]);
        } else {
            const RecordBelief rb = EstimateWithBelief(h.records());
            benchmark::DoNotOptimize(rb.estimate.posterior.probability[0] + rb.belief->posterior[0]);
        }
    }
}
BENCHMARK(BM_EstimateAndBelief8000)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

// The exact rules of keep or quit and ten BBs (arg 1: the horizon), all
// medals held (arg 0: 0); in cash at 5.6枚, the purchases kept for the
// money (1) and found afresh (2), over 1000 games and the most they are
// followed over, 1500, where the ceiling falls within the horizon and they
// are followed forward.
void BM_KeepOrQuitExact(benchmark::State& state) {
    Warm();
    PlayHistory h;
    Slot slot(12345);
    SimulateRun(slot, h, {true, 1}, 8000);
    const MachineBelief b = *BeliefFromRecord(h.records()).belief;
    KeepOrQuitRequest request{static_cast<std::int32_t>(state.range(1)), 10, 0, 0, 0};
    if (state.range(0) > 0) request.money = {{56}, 50, std::int64_t{0}};
    PurchaseValues::Forget();
    if (state.range(0) == 1) DecideKeepOrQuit(b, request);
    for (auto _ : state) {
        if (state.range(0) == 2) PurchaseValues::Forget();
        benchmark::DoNotOptimize(DecideKeepOrQuit(b, request).best.value);
    }
}
BENCHMARK(BM_KeepOrQuitExact)
    ->UseRealTime()
    ->Args({0, 2000})
    ->Args({0, 1000})
    ->Args({1, 1000})
    ->Args({2, 1000})
    ->Args({2, 1500})
    ->Unit(benchmark::kMillisecond);

// 10,000 sessions of 2000 games at settings drawn from the uniform prior,
// each judged by the exact posterior, on all cores.
void BM_TrustCalibration(benchmark::State& state) {
    Warm();
    for (auto _ : state) {
        Trust t;
        TrustOfEstimate({static_cast<std::int32_t>(state.range(0)), SettingPrior(), 10'000, 1, 0}, t);
        benchmark::DoNotOptimize(t.topRight);
    }
    state.SetItemsProcessed(state.iterations() * 10'000);
}
BENCHMARK(BM_TrustCalibration)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
