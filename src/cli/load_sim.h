#pragma once
// Reading the simulation file that show and estimate name.
#include <iosfwd>
#include <optional>
#include <string>

#include "app/run_file.h"
#include "run/history.h"

namespace morvane {

// Reads `path` into `history`; on failure reports it on `err` and gives the
// exit code.
std::optional<int> LoadForCommand(const std::string& path, PlayHistory& history, std::ostream& err,
                                  UnrecordableGames unrecordable = UnrecordableGames::Refuse);

}  // namespace morvane
