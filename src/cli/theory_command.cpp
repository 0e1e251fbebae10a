// morvane-sim theory: each setting's exact long-run figures, from the tables.
#include <CLI/CLI.hpp>

#include <ostream>

#include "analysis/theory.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/options.h"
#include "cli/posterior_text.h"

namespace morvane {
namespace {

class TheoryCommand : public Command {
public:
    const char* Name() const override { return "theory"; }
    const char* Description() const override {
        return "Prints each setting's exact long-run figures";
    }
    std::string Usage() const override { return "morvane-sim theory [--games N]\n"; }

    void Register(CLI::App& app) override {
        games_ = AddValueOption(app, "--games", "N", "no second table",
                                "adds a table of each setting's expected balance and BB games over N games");
    }

    int Run(std::ostream& out, std::ostream&) override {
        const std::int32_t games = PositiveValue(games_, 0, "games");
        const std::vector<SettingTheory> all = AllSettingTheories();
        out << "setting\tpayout_percent\tgames_per_bb\tsets_per_bb\n";
        for (const SettingTheory& t : all) {
            const LongRunFigures& f = t.LongRun();
            out << t.Setting() << '\t' << Fixed6(f.payoutPercent) << '\t' << Fixed6(f.gamesPerBB) << '\t'
                << Fixed6(f.setsPerBB) << '\n';
        }
        if (games > 0) {
            out << "setting\texpected_balance\texpected_bb_games\n";
            for (const SettingTheory& t : all) {
                const RunExpectation r = t.ExpectedRun(games);
                out << t.Setting() << '\t' << Fixed6(r.balance) << '\t' << Fixed6(r.bbGames) << '\n';
            }
        }
        return kExitOk;
    }

private:
    CLI::Option* games_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeTheoryCommand() { return std::make_unique<TheoryCommand>(); }

}  // namespace morvane
