// morvane-sim run: one machine, one run or a batch of runs in a row.
#include <memory>
#include <ostream>

#include "app/run_job.h"
#include "app/session.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/long_work.h"
#include "cli/options.h"
#include "cli/quoted.h"
#include "present/presentation.h"
#include "system/printable.h"

namespace morvane {
namespace {

class RunCommand : public Command {
public:
    const char* Name() const override { return "run"; }
    const char* Description() const override { return "Plays runs on one machine; saves or summarises them"; }
    std::string Usage() const override {
        return "morvane-sim run [--seed S] [--setting 1..6|?] [--games N] [--runs R] [--out PATH]\n";
    }

    void Register(CLI::App& app) override {
        seed_ = AddValueOption(app, "--seed", "S", "the clock's seconds",
                               "seeds the machine once; every run continues its random stream");
        setting_ = AddValueOption(app, "--setting", "1..6|?", "1", "the setting, or ? for one drawn at random");
        games_ = AddValueOption(app, "--games", "N", "1", "games each run plays");
        runs_ = AddValueOption(app, "--runs", "R", "1", "runs in a row, each inheriting the machine's state");
        out_ = AddValueOption(app, "--out", "PATH", "not saved",
                              "saves the run to PATH; with --runs above 1, required, the base name of the "
                              "batch's files");
    }

    int Run(std::ostream& out, std::ostream& err) override {
        const std::uint32_t seed = SeedValue(seed_);
        const SettingChoice setting = SettingValue(setting_, true).value_or(SettingChoice{});
        const std::int32_t games = PositiveValue(games_, 1, "games");
        const std::int32_t runs = PositiveValue(runs_, 1, "runs");
        if (runs > 1 && !Given(out_)) throw UsageError{"--out is required when --runs is above 1"};
        const auto path = OutValue(out_);
        // The batch prints one path per line.
        if (runs > 1 && HasControlCharacter(*path))
            throw UsageError{"the batch's base name " + Quoted(*path) + " holds a control character"};
        // No run is kept: the summary comes from the run's tallies and files
        // are written as their runs are played, so any length fits.
        RunSession session(seed);
        const RunRequest request{setting, games};
        LongWork work("games", std::int64_t{games} * runs);
        if (runs == 1) {
            const auto job = path ? std::make_shared<RunJob>(session, request, RunPlay::Streamed, *path)
                                  : std::make_shared<RunJob>(session, request, RunPlay::Checkpointed);
            bool done = false;
            if (!work.Saved([&] { done = work.Run(job); }) || !done) return work.Stopped(err);
            work.Clear();
            out << ResultLabel(session.LastTallies()) << "\n";
            return kExitOk;
        }
        // Each file's path as soon as it is written; a path list nobody
        // receives is no use, so the batch stops with it.
        const auto batch = std::make_shared<RunJob>(
            session, request, runs, *path, [&](const std::string& saved) { work.Print(out, saved + "\n"); },
            [&] { return static_cast<bool>(out); }, BatchPlay::Streamed);
        work.Run(batch);
        if (work.Interrupted()) return work.Stopped(err);
        if (batch->Batch().end == BatchEnd::WriteFailed) {
            work.Clear();
            err << "morvane-sim: " << batch->Batch().error << "\n";
            return kExitFailure;
        }
        return kExitOk;
    }

private:
    CLI::Option* seed_ = nullptr;
    CLI::Option* setting_ = nullptr;
    CLI::Option* games_ = nullptr;
    CLI::Option* runs_ = nullptr;
    CLI::Option* out_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeRunCommand() { return std::make_unique<RunCommand>(); }

}  // namespace morvane
