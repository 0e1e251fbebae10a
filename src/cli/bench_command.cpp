// morvane-sim bench: a fixed workload, its signature and its speed.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <ostream>

#include "app/run_job.h"
#include "app/session.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/fnv.h"
#include "cli/long_work.h"
#include "cli/options.h"
#include "simfile/simfile.h"

namespace morvane {
namespace {

class BenchCommand : public Command {
public:
    const char* Name() const override { return "bench"; }
    const char* Description() const override { return "Times a fixed run and prints its signature"; }
    std::string Usage() const override { return "morvane-sim bench [--games N]\n"; }

    void Register(CLI::App& app) override {
        games_ = AddValueOption(app, "--games", "N", "10000000", "games each of the two runs plays");
    }

    int Run(std::ostream& out, std::ostream& err) override {
        const std::int32_t games = PositiveValue(games_, 10'000'000, "games");
        // Played as checkpoints, any number of games in little memory; the
        // signature is of the second run's file, its records played again.
        RunSession session(1);
        const RunRequest one{{false, 1}, games};
        LongWork work("games", std::int64_t{games} * 2);
        if (!work.Run(std::make_shared<RunJob>(session, one, RunPlay::Checkpointed))) return work.Stopped(err);
        const auto t0 = std::chrono::steady_clock::now();
        if (!work.Run(std::make_shared<RunJob>(session, one, RunPlay::Checkpointed), games)) return work.Stopped(err);
        const auto t1 = std::chrono::steady_clock::now();
        work.Clear();
        Fnv1a hash;
        const ByteSink sink = [&](const char* p, std::size_t n) { hash.Update(p, n); };
        EncodeSimHeader({session.Machine().GetFlevel(), session.Machine().playCount}, sink);
        session.Checkpointed().ForAll([&](std::size_t, std::span<const GameRecord> records) {
            EncodeSimRecords(records, sink);
            return true;
        });
        const double secs = std::chrono::duration<double>(t1 - t0).count();
        char line[96];
        std::snprintf(line, sizeof line, "signature %016" PRIx64 "\n", hash.Value());
        out << line;
        std::snprintf(line, sizeof line, "games/s %.0f\n", secs > 0 ? games / secs : 0.0);
        out << line;
        return kExitOk;
    }

private:
    CLI::Option* games_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeBenchCommand() { return std::make_unique<BenchCommand>(); }

}  // namespace morvane
