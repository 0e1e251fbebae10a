#include "cli/load_sim.h"

#include <ostream>

#include "app/run_file.h"
#include "cli/cli.h"

namespace morvane {

std::optional<int> LoadForCommand(const std::string& path, PlayHistory& history, std::ostream& err,
                                  UnrecordableGames unrecordable) {
    if (const auto problem = LoadRunFile(path, history, unrecordable)) {
        err << "morvane-sim: " << *problem << "\n";
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace morvane
