#pragma once
// Names of the files a batch writes, one per run.
#include <cstdint>
#include <string>

namespace morvane {

// Inserts "<setting>_<games>_<run>" before the first "." of the file name
// (the part after the last "/"), or appends it when the name has no ".".
// "/data/sim/test.sim", 5, 8000, 2 -> "/data/sim/test5_8000_2.sim".
std::string BatchFileName(const std::string& base, int setting, std::int32_t games, int run);

// Progress after run i of r, truncated: 1 of 3 -> 33.
int BatchProgress(int i, int r);

}  // namespace morvane
