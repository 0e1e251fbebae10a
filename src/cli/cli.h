#pragma once
// morvane-sim: the headless command line over the simulation core.
#include <iosfwd>
#include <string>
#include <vector>

namespace morvane {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;        // a file or the output could not be written
inline constexpr int kExitUsage = 2;          // bad input; nothing was written
inline constexpr int kExitInterrupted = 130;  // Ctrl+C stopped the work; nothing half-written

// args excludes the program name. Output that cannot be written to `out` is
// reported on `err` and ends with kExitFailure.
int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace morvane
