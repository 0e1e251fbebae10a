// morvane-sim value: the expected value by game count (天井期待値) at one
// setting or mixed over the hall's prior.
#include <memory>
#include <ostream>

#include "app/input.h"
#include "app/value_job.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/long_work.h"
#include "cli/options.h"
#include "cli/prior_option.h"
#include "cli/quoted.h"
#include "cli/report_format.h"
#include "sessions/spread_play.h"

namespace morvane {

namespace {

class ValueCommand : public Command {
public:
    const char* Name() const override { return "value"; }
    const char* Description() const override {
        return "Prints the expected value of playing to the next BB by the counter's games since the last BB";
    }
    std::string Usage() const override {
        return "morvane-sim value (--setting 1..6 | --prior W1,...,W6) [--exchange N] [--lend L]\n"
               "                  [--held M|all] [--games-per-hour N] [--threads T] [--format tsv|csv|json]\n";
    }

    void Register(CLI::App& app) override {
        setting_ = AddValueOption(app, "--setting", "1..6", "", "the machine's setting; or give --prior");
        prior_ = AddValueOption(app, "--prior", "W1,...,W6", "",
                                "the hall's weights of settings 1 to 6, normalised: the table mixed over them");
        money_ = AddMoneyOptions(app, "for the yen columns");
        threads_ = AddValueOption(app, "--threads", "T", "every core",
                                  "threads for the law of the net; the output is the same for any");
        format_ = AddFormatOption(app);
    }

    int Run(std::ostream& out, std::ostream& err) override {
        ValueJobRequest request;
        const auto priorText = ValueOf(prior_);
        if (Given(setting_) && priorText) throw UsageError{"--setting and --prior do not go together"};
        if (!Given(setting_) && !priorText) throw UsageError{"value needs --setting or --prior"};
        if (const auto setting = SettingValue(setting_, false))
            request.setting = setting->setting;
        else
            request.prior = PriorValue(*priorText);
        const MoneyGiven money = MoneyValue(money_);
        request.money = money.money;
        request.gamesPerHour = money.gamesPerHour;
        request.threads = PositiveValue(threads_, DefaultThreads(), "threads");
        const ReportFormat format = FormatValue(format_);
        const auto job = std::make_shared<ValueJob>(request);
        // Not counted: no line, but Ctrl+C stops it as any long work.
        if (!RunLongJob("counters", job, err)) return kExitInterrupted;
        out << ReportText(ValueReport(request, job->Table()), format);
        return kExitOk;
    }

private:
    CLI::Option* setting_ = nullptr;
    CLI::Option* prior_ = nullptr;
    MoneyOptions money_;
    CLI::Option* threads_ = nullptr;
    CLI::Option* format_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeValueCommand() { return std::make_unique<ValueCommand>(); }

}  // namespace morvane
