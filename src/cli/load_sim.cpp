#include "cli/load_sim.h"

#include <ostream>

#include "cli/cli.h"
#include "run/printable.h"
#include "simfile/simfile.h"

namespace morvane {

std::optional<int> LoadForCommand(const std::string& path, PlayHistory& history, std::ostream& err) {
    SimReadResult r;
    try {
        r = LoadSimFile(path, history);
    } catch (const SimFileError& e) {
        err << "morvane-sim: " << e.what() << "\n";
        return kExitUsage;
    }
    const std::string shown = Printable(path);
    switch (r.status) {
    case SimStatus::NotSimulation:
        err << "morvane-sim: " << shown << ": not a Morvane simulation file\n";
        return kExitUsage;
    case SimStatus::ShortHeader:
        err << "morvane-sim: " << shown << ": the file ends inside its 12-byte header\n";
        return kExitUsage;
    case SimStatus::TooLarge:
        err << "morvane-sim: " << shown << ": the file's history does not fit in the available memory\n";
        return kExitUsage;
    case SimStatus::Ok: break;
    }
    return std::nullopt;
}

}  // namespace morvane
