#pragma once
// Reading a saved run as the window's open command and the command line's
// show and estimate take it.
#include <cstddef>
#include <optional>
#include <string>

#include "run/history.h"
#include "simfile/simfile.h"

namespace morvane {

struct RunFileRead : SimReadResult {
    // A simulation file with a game (0-based) that holds a value no machine
    // writes: refused, though its records were read.
    std::optional<std::size_t> unrecordableGame;
};

// LoadSimFile, and the machine's own check of every game read. Throws
// FileError as LoadSimFile does.
RunFileRead ReadRunFile(const std::string& path, PlayHistory& out);

// What to do with a game no machine writes: refuse the file, or leave the
// record to a caller that words the problem itself (the estimate).
enum class UnrecordableGames { Refuse, Keep };

// Reads `path` into `history`; on failure the one line that says why (the
// path made printable), and the history is left as it was.
std::optional<std::string> LoadRunFile(const std::string& path, PlayHistory& history,
                                       UnrecordableGames unrecordable = UnrecordableGames::Refuse);

}  // namespace morvane
