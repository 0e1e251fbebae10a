// morvane-sim show: a simulation file as the window shows it, as text.
#include <ostream>

#include "app/run_file.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/options.h"
#include "cli/quoted.h"
#include "cli/report_format.h"
#include "present/presentation.h"
#include "present/show.h"

namespace morvane {
namespace {

class ShowCommand : public Command {
public:
    const char* Name() const override { return "show"; }
    const char* Description() const override { return "Prints a simulation file's summary and list pages"; }
    std::string Usage() const override { return "morvane-sim show FILE.sim [--plays] [--format tsv|csv|json]\n"; }

    void Register(CLI::App& app) override {
        file_ = AddWords(app, "FILE.sim", false, "the simulation file to read (a stream such as /dev/stdin too)");
        plays_ = AddFlag(app, "--plays", "adds the play list, one line per game, before the other pages");
        format_ = AddFormatOption(app);
    }

    std::string Unexpected(const std::string& word) const override { return "unexpected argument " + Quoted(word); }

    int Run(std::ostream& out, std::ostream& err) override {
        const auto path = ValueOf(file_);
        if (!path) throw UsageError{"show needs a file"};
        const ReportFormat format = FormatValue(format_);
        // Read as the pages ask for it: a file of any length in little memory.
        const OpenedRunFile file = OpenRunFile(*path);
        if (file.problem) {
            err << "morvane-sim: " << *file.problem << "\n";
            return kExitUsage;
        }
        Presentation p;
        p.Present(*file.records);
        WritePresentationReport(p, Given(plays_), format, out);
        return kExitOk;
    }

private:
    CLI::Option* file_ = nullptr;
    CLI::Option* plays_ = nullptr;
    CLI::Option* format_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeShowCommand() { return std::make_unique<ShowCommand>(); }

}  // namespace morvane
