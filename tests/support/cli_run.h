#pragma once
// Running morvane-sim in-process and reading what it printed.
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/temp_folder.h"

namespace morvane::test {

struct CliResult {
    int code;
    std::string out;
    std::string err;
};

inline CliResult RunCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = CliMain(args, out, err);
    return {code, out.str(), err.str()};
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The TAB-separated fields of one line.
inline std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    return f;
}

}  // namespace morvane::test
