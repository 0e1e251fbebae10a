// morvane-sim merge: the shards of one spread, printed as the whole spread.
#include <ostream>

#include "app/merge_job.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/options.h"
#include "cli/quoted.h"
#include "cli/report_format.h"
#include "sessions/spread_report.h"

namespace morvane {
namespace {

class MergeCommand : public Command {
public:
    const char* Name() const override { return "merge"; }
    const char* Description() const override { return "Merges a spread's shard files into the whole spread"; }
    std::string Usage() const override { return "morvane-sim merge FILE... [--format tsv|csv|json]\n"; }

    void Register(CLI::App& app) override {
        files_ = AddWords(app, "FILE...", true, "the spread's shard files, every shard once, in any order");
        format_ = AddFormatOption(app);
    }

    std::string Unexpected(const std::string& word) const override { return "unexpected argument " + Quoted(word); }

    int Run(std::ostream& out, std::ostream& err) override {
        const std::vector<std::string> paths = ValuesOf(files_);
        if (paths.empty()) throw UsageError{"merge needs the shard files"};
        const ReportFormat format = FormatValue(format_);
        const MergeOutcome merged = MergeShardFiles(paths);
        if (merged.problem) {
            err << "morvane-sim: " << *merged.problem << "\n";
            return kExitUsage;
        }
        out << ReportText(SpreadAsReport(BuildSpreadReport(merged.summary)), format);
        return kExitOk;
    }

private:
    CLI::Option* files_ = nullptr;
    CLI::Option* format_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeMergeCommand() { return std::make_unique<MergeCommand>(); }

}  // namespace morvane
