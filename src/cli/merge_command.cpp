// morvane-sim merge: the shards of one spread, printed as the whole spread.
#include <CLI/CLI.hpp>

#include <ostream>
#include <stdexcept>

#include "analysis/spread.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/options.h"
#include "cli/quoted.h"
#include "run/memory.h"
#include "run/printable.h"
#include "simfile/read_pieces.h"
#include "simfile/simfile.h"

namespace morvane {
namespace {

class MergeCommand : public Command {
public:
    const char* Name() const override { return "merge"; }
    const char* Description() const override {
        return "Merges a spread's shard files into the whole spread";
    }
    std::string Usage() const override { return "morvane-sim merge FILE...\n"; }

    void Register(CLI::App& app) override {
        files_ = AddWords(app, "FILE...", true, "the spread's shard files, every shard once, in any order");
    }

    std::string Unexpected(const std::string& word) const override { return "unexpected argument " + Quoted(word); }

    int Run(std::ostream& out, std::ostream& err) override {
        const std::vector<std::string> paths = ValuesOf(files_);
        if (paths.empty()) throw UsageError{"merge needs the shard files"};
        std::vector<ShardFile> shards;
        const std::uint64_t available = AvailableMemoryBytes();
        for (const std::string& path : paths) {
            const std::string shown = Printable(path);
            // The shards' tallies, then all of them in order and the summary's
            // sorted copy: refused at the first header that would not fit.
            ShardReader reader([&](const SpreadRequest& r) {
                const std::uint64_t need =
                    SpreadBytes(r.sessions, false) + std::uint64_t(r.sessions) * sizeof(SessionTally);
                if (available != 0 && need > UsableHistoryBytes(available))
                    throw std::runtime_error("its spread of " + std::to_string(r.sessions) +
                                             " sessions needs more than the " +
                                             std::to_string(UsableHistoryBytes(available)) + " bytes of memory left");
            });
            try {
                ReadInPieces(path, std::size_t{1} << 16, {}, [&](std::string_view piece) {
                    reader.Feed(piece);
                    return true;
                });
                shards.push_back(reader.Finish());
            } catch (const SimFileError& e) {
                err << "morvane-sim: " << e.what() << "\n";
                return kExitUsage;
            } catch (const std::runtime_error& e) {
                err << "morvane-sim: " << shown << ": " << e.what() << "\n";
                return kExitUsage;
            }
        }
        SpreadRequest whole;
        std::vector<SessionTally> tallies;
        try {
            tallies = MergeShards(shards, whole);
        } catch (const std::runtime_error& e) {
            err << "morvane-sim: " << e.what() << "\n";
            return kExitUsage;
        }
        out << SpreadText(Summarise(whole, tallies));
        return kExitOk;
    }

private:
    CLI::Option* files_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeMergeCommand() { return std::make_unique<MergeCommand>(); }

}  // namespace morvane
