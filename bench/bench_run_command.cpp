// morvane-sim run as a user runs it, the built program in a process of its
// own: the summary of a long run against the bare game loop over the same
// games, and a long run saved, each with the process's peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "machine/slot.h"

namespace {

using namespace morvane;

struct ChildRun {
    double seconds = 0;
    double peakMiB = -1;
    bool ok = false;
};

// Runs morvane-sim with `args`, its output to /dev/null.
ChildRun RunProgram(std::vector<std::string> args) {
    std::string program = MORVANE_SIM_PATH;
    std::vector<char*> argv{program.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) ::_exit(127);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ChildRun r;
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

double BareLoopSeconds(std::int64_t games) {
    const auto t0 = std::chrono::steady_clock::now();
    Slot slot(1);
    slot.SetFlevel(1);
    slot.Reset();
    slot.PlayGames(games, [](const GameRecord&) {});
    benchmark::DoNotOptimize(slot.medalBalance);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A file of its own under TMPDIR (default /tmp).
std::string TempFile(const std::string& what) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/morvane-bench-" + what + "-" + std::to_string(::getpid()) +
           ".sim";
}

void Report(benchmark::State& state, const ChildRun& r, std::int64_t games) {
    if (!r.ok) state.SkipWithError("morvane-sim failed");
    state.SetIterationTime(r.seconds);
    state.counters["peak_MiB"] = r.peakMiB;
    state.SetItemsProcessed(state.iterations() * games);
}

// `run --games N`, the four-line summary alone; x_bare_loop is its time over
// the bare game loop's for the same games (setting 1, seed 1).
void BM_RunCommandSummary(benchmark::State& state) {
    const std::int64_t games = state.range(0);
    ChildRun r;
    for (auto _ : state) r = RunProgram({"run", "--seed", "1", "--games", std::to_string(games)});
    Report(state, r, games);
    state.counters["x_bare_loop"] = r.seconds / BareLoopSeconds(games);
}
BENCHMARK(BM_RunCommandSummary)
    ->Arg(100'000'000)
    ->Arg(1'000'000'000)
    ->Arg(2'147'483'647)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// `run --games N --out FILE`: the file is written as the games are played,
// so memory stays that of a few pieces; the time includes writing 32 bytes a
// game into the page cache of the folder named by TMPDIR (default /tmp).
void BM_RunCommandOut(benchmark::State& state) {
    const std::int64_t games = state.range(0);
    const char* tmp = std::getenv("TMPDIR");
    const std::string file =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/morvane-bench-run-" + std::to_string(::getpid()) + ".sim";
    ChildRun r;
    for (auto _ : state) {
        r = RunProgram({"run", "--seed", "1", "--games", std::to_string(games), "--out", file});
        std::remove(file.c_str());
    }
    Report(state, r, games);
}
BENCHMARK(BM_RunCommandOut)->Arg(100'000'000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// `estimate FILE` of a saved N-game run: the exact posterior, the file read
// in pieces and never held whole.
void BM_EstimateCommand(benchmark::State& state) {
    const std::int64_t games = state.range(0);
    const std::string file = TempFile("estimate");
    if (!RunProgram({"run", "--seed", "1", "--setting", "5", "--games", std::to_string(games), "--out", file}).ok) {
        state.SkipWithError("the file could not be made");
        return;
    }
    ChildRun r;
    for (auto _ : state) r = RunProgram({"estimate", file});
    std::remove(file.c_str());
    Report(state, r, games);
}
BENCHMARK(BM_EstimateCommand)->Arg(100'000'000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace
