#pragma once
// Reading a saved run for the command line's show and estimate.
#include <optional>
#include <string>

#include "run/history.h"

namespace morvane {

// Reads `path` into `history`; on failure the one line that says why (the
// path made printable), and the history is left as it was.
std::optional<std::string> LoadRunFile(const std::string& path, PlayHistory& history);

}  // namespace morvane
