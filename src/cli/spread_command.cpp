// morvane-sim spread: many sessions on fresh machines, their spread or one
// shard of it.
#include <memory>
#include <ostream>
#include <tuple>

#include "app/input.h"
#include "app/spread_job.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/long_work.h"
#include "cli/options.h"
#include "cli/quoted.h"
#include "cli/report_format.h"
#include "system/safe_writer.h"

namespace morvane {
namespace {

// "I/K" with 0 <= I < K.
std::pair<std::int32_t, std::int32_t> ParseShard(const std::string& text) {
    const std::size_t slash = text.find('/');
    const auto i = ParseInt32(text.substr(0, slash));
    const auto k = slash == std::string::npos ? std::nullopt : ParseInt32(text.substr(slash + 1));
    if (!i || !k || *k < 1 || *i < 0 || *i >= *k)
        throw UsageError{"shard " + Quoted(text) + " must be I/K with 0 <= I < K"};
    return {*i, *k};
}

class SpreadCommand : public Command {
public:
    const char* Name() const override { return "spread"; }
    const char* Description() const override { return "Plays many sessions and prints the spread of results"; }
    std::string Usage() const override {
        return "morvane-sim spread --setting 1..6 --games N --sessions R [--seed X] [--threads T]\n"
               "                   [--shard I/K --out FILE] [--format tsv|csv|json]\n";
    }

    void Register(CLI::App& app) override {
        setting_ = AddValueOption(app, "--setting", "1..6", "1", "the setting every session plays at");
        games_ = AddValueOption(app, "--games", "N", "1", "games each session plays");
        sessions_ = AddValueOption(app, "--sessions", "R", "1", "sessions, each on a fresh machine");
        seed_ = AddValueOption(app, "--seed", "X", "the clock's seconds",
                               "the spread's seed: session i is seeded with SessionSeed(X, i)");
        threads_ = AddValueOption(app, "--threads", "T", "every core",
                                  "threads to play on (at most 256 are started); the output is the same for any");
        shard_ = AddValueOption(app, "--shard", "I/K", "every session",
                                "plays only the sessions whose index is I modulo K; needs --out");
        out_ =
            AddValueOption(app, "--out", "FILE", "printed",
                           "writes the sessions' exact tallies to FILE, a shard file for merge, instead of printing");
        format_ = AddFormatOption(app);
    }

    int Run(std::ostream& out, std::ostream& err) override {
        const SpreadRequest request = RequestGiven();
        const int threads = PositiveValue(threads_, DefaultThreads(), "threads");
        const ReportFormat format = FormatValue(format_);
        const auto path = OutValue(out_);
        if (path && Given(format_)) throw UsageError{"--format and --out do not go together"};
        const MemoryCheck room = CheckSpreadRoom(request, path.has_value());
        if (!room.fits)
            throw UsageError{std::to_string(request.sessions) + " sessions need more than the " +
                             std::to_string(room.room) + " bytes of memory left for them"};

        const auto job = std::make_shared<SpreadJob>(request, threads);
        LongWork work("sessions", job->Sessions());
        if (!work.Run(job)) return work.Stopped(err);
        if (path) {
            const std::string text = job->ShardText();
            if (!work.Saved(
                    [&] { SaveFileSafely(*path, [&](const ByteSink& sink) { sink(text.data(), text.size()); }); }))
                return work.Stopped(err);
            return kExitOk;
        }
        out << ReportText(SpreadAsReport(job->Result(0).report), format);
        return kExitOk;
    }

private:
    SpreadRequest RequestGiven() const {
        SpreadRequest request;
        request.setting = SettingValue(setting_, false).value_or(SettingChoice{}).setting;
        request.games = PositiveValue(games_, 1, "games");
        request.sessions = PositiveValue(sessions_, 1, "sessions");
        request.seed = SeedValue(seed_);
        if (const auto shard = ValueOf(shard_)) {
            if (!Given(out_)) throw UsageError{"--shard needs --out"};
            std::tie(request.shardIndex, request.shardCount) = ParseShard(*shard);
        }
        return request;
    }

    CLI::Option* setting_ = nullptr;
    CLI::Option* games_ = nullptr;
    CLI::Option* sessions_ = nullptr;
    CLI::Option* seed_ = nullptr;
    CLI::Option* threads_ = nullptr;
    CLI::Option* shard_ = nullptr;
    CLI::Option* out_ = nullptr;
    CLI::Option* format_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeSpreadCommand() { return std::make_unique<SpreadCommand>(); }

}  // namespace morvane
