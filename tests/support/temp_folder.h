#pragma once
// A fresh temporary folder per test for the files it reads and writes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace morvane::test {

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
