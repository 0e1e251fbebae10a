#include "app/run_file.h"

#include "simfile/simfile.h"
#include "system/printable.h"

namespace morvane {

std::optional<std::string> LoadRunFile(const std::string& path, PlayHistory& history) {
    SimReadResult r;
    try {
        r = LoadSimFile(path, history);
    } catch (const FileError& e) {
        return e.what();
    }
    const std::string shown = Printable(path);
    switch (r.status) {
    case SimStatus::NotSimulation: return shown + ": not a Morvane simulation file";
    case SimStatus::ShortHeader: return shown + ": the file ends inside its 12-byte header";
    case SimStatus::TooLarge: return shown + ": the file's history does not fit in the available memory";
    case SimStatus::Ok: break;
    }
    return std::nullopt;
}

}  // namespace morvane
