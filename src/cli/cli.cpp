#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <new>
#include <ostream>

#include "cli/command.h"
#include "cli/fd_output.h"
#include "cli/help_format.h"
#include "cli/options.h"
#include "cli/quoted.h"
#include "simfile/simfile.h"
#include "system/memory_room.h"
#include "system/printable.h"
#include "version.h"

namespace morvane {

std::string Command::Unexpected(const std::string& word) const { return "unknown option " + Quoted(word); }

std::vector<std::unique_ptr<Command>> AllCommands() {
    std::vector<std::unique_ptr<Command>> all;
    all.push_back(MakeRunCommand());
    all.push_back(MakeShowCommand());
    all.push_back(MakeTheoryCommand());
    all.push_back(MakeEstimateCommand());
    all.push_back(MakeBenchCommand());
    all.push_back(MakeSpreadCommand());
    all.push_back(MakeMergeCommand());
    all.push_back(MakeValueCommand());
    return all;
}

namespace {

// The parser's own refusals, in the words the program has always used.
std::string ParseErrorMessage(const CLI::ParseError& e, const CLI::App& app) {
    const std::string what = e.what();
    std::vector<const CLI::Option*> options = app.get_options();
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        for (const CLI::Option* o : sub->get_options()) options.push_back(o);
    for (const CLI::Option* o : options) {
        const std::string name = o->get_name();
        // "--games: 1 required N missing": the line ended after the option.
        if (what.rfind(name + ": ", 0) == 0 && what.find(" missing") != std::string::npos)
            return "option " + name + " needs a value";
        // "plays was given a disallowed flag override": --plays=yes.
        for (const std::string& lname : o->get_lnames())
            if (what.rfind(lname + " was given a disallowed flag override", 0) == 0)
                return "option --" + lname + " takes no value";
    }
    return Printable(what);
}

// The words an app did not take. CLI11 keeps a "--" among them, which only
// marked the words after it as no options.
std::vector<std::string> Leftover(const CLI::App& app) {
    std::vector<std::string> words = app.remaining();
    std::erase(words, "--");
    return words;
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::vector<std::unique_ptr<Command>> commands = AllCommands();
    std::string usage;
    for (const auto& c : commands) usage += c->Usage();
    usage += "morvane-sim [COMMAND] --help\nmorvane-sim --version\n";

    CLI::App app("The headless command line over Morvane's simulation core", "morvane-sim");
    app.formatter(std::make_shared<HelpFormatter>(usage));
    app.set_help_flag("-h,--help", "prints this help");
    const CLI::Option* version = AddFlag(app, "--version", "prints the program's version");
    // Words the parser does not take are left over and refused below in the
    // commands' own words. A second command name is only a word.
    app.allow_extras();
    app.require_subcommand(0, 1);
    std::vector<std::pair<const CLI::App*, Command*>> registered;
    for (const auto& c : commands) {
        CLI::App* sub = app.add_subcommand(c->Name(), c->Description());
        sub->group("Commands");
        sub->allow_extras();
        sub->formatter(std::make_shared<HelpFormatter>(c->Usage()));
        c->Register(*sub);
        registered.emplace_back(sub, c.get());
    }

    try {
        try {
            std::vector<std::string> reversed(args.rbegin(), args.rend());
            app.parse(reversed);
        } catch (const CLI::CallForHelp&) {
            // The help of the command given, if any.
            out << app.help();
            return kExitOk;
        } catch (const CLI::ParseError& e) {
            throw UsageError{ParseErrorMessage(e, app)};
        }
        const CLI::App* chosen = nullptr;
        Command* command = nullptr;
        for (const auto& [sub, c] : registered)
            if (sub->parsed()) chosen = sub, command = c;

        if (const std::vector<std::string> left = Leftover(app); !left.empty()) {
            if (left.front() == "help") {
                out << app.help();
                return kExitOk;
            }
            throw UsageError{"unknown command " + Quoted(left.front())};
        }
        if (Given(version)) {
            out << "morvane-sim " << kMorvaneVersion << "\n";
            return kExitOk;
        }
        if (!command) throw UsageError{"no command given"};
        if (const std::vector<std::string> left = Leftover(*chosen); !left.empty())
            throw UsageError{command->Unexpected(left.front())};
        RefuseRepeats(*chosen);
        return command->Run(out, err);
    } catch (const UsageError& e) {
        err << "morvane-sim: " << e.message << " (morvane-sim --help shows the usage)\n";
        return kExitUsage;
    } catch (const FileError& e) {
        err << "morvane-sim: " << e.what() << "\n";
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        // What the checks before could not foresee is refused as they refuse.
        err << "morvane-sim: this does not fit in the available memory (" << AvailableMemoryBytes()
            << " bytes available)\n";
        return kExitUsage;
    }
}

}  // namespace

int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int code = RunCommand(args, out, err);
    // Output that never arrived is a failure whatever the command did.
    out.flush();
    if (!out) {
        const std::string reason = OutputFailureReason(out);
        err << "morvane-sim: cannot write to standard output" << (reason.empty() ? "" : ": " + reason) << "\n";
        if (code == kExitOk) code = kExitFailure;
    }
    return code;
}

}  // namespace morvane
