#include "app/run_file.h"

#include <utility>

#include "model/likelihood.h"
#include "system/printable.h"

namespace morvane {

RunFileRead ReadRunFile(const std::string& path, PlayHistory& out) {
    RunFileRead r;
    static_cast<SimReadResult&>(r) = LoadSimFile(path, out);
    if (r.status == SimStatus::Ok) r.unrecordableGame = FirstUnrecordableGame(out.records());
    return r;
}

std::optional<std::string> LoadRunFile(const std::string& path, PlayHistory& history, UnrecordableGames unrecordable) {
    PlayHistory loaded;
    RunFileRead r;
    try {
        r = ReadRunFile(path, loaded);
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
    if (r.unrecordableGame && unrecordable == UnrecordableGames::Refuse)
        return shown + ": game " + std::to_string(*r.unrecordableGame + 1) +
               " holds a value this machine never records";
    history = std::move(loaded);
    return std::nullopt;
}

}  // namespace morvane
