#pragma once
// One morvane-sim command: its options are data declared on the one parser,
// and its body reads them once the whole command line has been parsed.
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace morvane {

// Bad input a command finds: one line on stderr, exit 2, nothing written.
struct UsageError {
    std::string message;
};

class Command {
public:
    virtual ~Command() = default;

    virtual const char* Name() const = 0;
    // One line, for the list of commands.
    virtual const char* Description() const = 0;
    // The command's lines of the usage, each "morvane-sim NAME ..." and a newline.
    virtual std::string Usage() const = 0;
    // Declares the options on the command's own app, each with its default
    // and a sentence of help.
    virtual void Register(CLI::App& app) = 0;
    // The message for a word the parser left over, an unknown option or a
    // file too many.
    virtual std::string Unexpected(const std::string& word) const;
    // Checks the parsed values and does the work; the exit code. Throws
    // UsageError for bad input.
    virtual int Run(std::ostream& out, std::ostream& err) = 0;
};

// Every command, in the order the usage lists them.
std::vector<std::unique_ptr<Command>> AllCommands();

std::unique_ptr<Command> MakeRunCommand();
std::unique_ptr<Command> MakeShowCommand();
std::unique_ptr<Command> MakeTheoryCommand();
std::unique_ptr<Command> MakeEstimateCommand();
std::unique_ptr<Command> MakeBenchCommand();
std::unique_ptr<Command> MakeSpreadCommand();
std::unique_ptr<Command> MakeMergeCommand();
std::unique_ptr<Command> MakeValueCommand();

}  // namespace morvane
