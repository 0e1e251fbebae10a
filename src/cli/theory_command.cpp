// morvane-sim theory: each setting's exact long-run figures, from the tables.
#include <ostream>

#include "cli/cli.h"
#include "cli/command.h"
#include "cli/options.h"
#include "cli/report_format.h"
#include "model/theory.h"

namespace morvane {
namespace {

class TheoryCommand : public Command {
public:
    const char* Name() const override { return "theory"; }
    const char* Description() const override { return "Prints each setting's exact long-run figures"; }
    std::string Usage() const override { return "morvane-sim theory [--games N] [--format tsv|csv|json]\n"; }

    void Register(CLI::App& app) override {
        games_ = AddValueOption(app, "--games", "N", "no second table",
                                "adds a table of each setting's expected balance and BB games over N games");
        format_ = AddFormatOption(app);
    }

    int Run(std::ostream& out, std::ostream&) override {
        const std::int32_t games = PositiveValue(games_, 0, "games");
        const ReportFormat format = FormatValue(format_);
        const std::vector<SettingTheory> all = AllSettingTheories();
        ReportTable longRun{"long_run", {"setting", "payout_percent", "games_per_bb", "sets_per_bb"}, {}, true};
        for (const SettingTheory& t : all) {
            const LongRunFigures& f = t.LongRun();
            longRun.rows.push_back({ReportCell::Integer(t.Setting()), ReportCell::Fixed(f.payoutPercent, 6),
                                    ReportCell::Fixed(f.gamesPerBB, 6), ReportCell::Fixed(f.setsPerBB, 6)});
        }
        Report report{{longRun}};
        if (games > 0) {
            report.parts.push_back(ReportLine{"games", {ReportCell::Integer(games)}, {}, false});
            ReportTable run{"expected_run", {"setting", "expected_balance", "expected_bb_games"}, {}, true};
            for (const SettingTheory& t : all) {
                const RunExpectation r = t.ExpectedRun(games);
                run.rows.push_back({ReportCell::Integer(t.Setting()), ReportCell::Fixed(r.balance, 6),
                                    ReportCell::Fixed(r.bbGames, 6)});
            }
            report.parts.push_back(std::move(run));
        }
        out << ReportText(report, format);
        return kExitOk;
    }

private:
    CLI::Option* games_ = nullptr;
    CLI::Option* format_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeTheoryCommand() { return std::make_unique<TheoryCommand>(); }

}  // namespace morvane
