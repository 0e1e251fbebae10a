#pragma once
// Running morvane-sim in-process, reading what it printed, and a fresh
// temporary folder per test for the files it reads and writes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

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

// Each test gets a folder of its own, removed afterwards. With
// kEnterFolder it is also the working folder, so a relative path the
// command line writes to lands where the test can see it.
class TempFolderTest : public ::testing::Test {
protected:
    enum Enter { kStayInPlace, kEnterFolder };
    explicit TempFolderTest(Enter enter = kStayInPlace) : enter_(enter) {}

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "morvane-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        if (enter_ == kEnterFolder) {
            oldCwd_ = std::filesystem::current_path();
            std::filesystem::current_path(dir_);
        }
    }
    void TearDown() override {
        if (enter_ == kEnterFolder) std::filesystem::current_path(oldCwd_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string WriteBytes(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }

    std::filesystem::path dir_;

private:
    Enter enter_;
    std::filesystem::path oldCwd_;
};

}  // namespace morvane::test
