#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"
#include "support/temp_folder.h"
#include "system/memory_room.h"

namespace morvane {
namespace {

// A cgroup tree laid out in a temporary folder.
struct CgroupCase {
    const char* name;
    std::string procSelfCgroup;
    std::vector<std::pair<std::string, std::string>> files;  // path under the root, contents
    std::optional<std::uint64_t> room;
};

void PrintTo(const CgroupCase& c, std::ostream* os) { *os << c.name; }

class CgroupRoom : public test::TempFolderTest, public ::testing::WithParamInterface<CgroupCase> {};

TEST_P(CgroupRoom, IsTheSmallestLimitLessUsageUpToTheRoot) {
    for (const auto& [path, contents] : GetParam().files) {
        std::filesystem::create_directories((dir_ / path).parent_path());
        WriteBytes(path, contents);
    }
    EXPECT_EQ(CgroupRoomBytes(GetParam().procSelfCgroup, dir_.string()), GetParam().room);
}

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
const std::string kV1NoLimit = "9223372036854771712\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CgroupRoom,
    ::testing::Values(
        CgroupCase{"V2Limit",
                   "0::/user.slice/run\n",
                   {{"user.slice/run/memory.max", "536870912\n"},
                    {"user.slice/run/memory.current", "134217728\n"},
                    {"user.slice/run/memory.stat", "anon 100\ninactive_file 33554432\nactive_file 16777216\n"}},
                   512 * kMiB - 128 * kMiB + 32 * kMiB + 16 * kMiB},
        // A file read twice sits in the active list; the kernel takes it back all the same.
        CgroupCase{"V2FullOfPageCache",
                   "0::/a\n",
                   {{"a/memory.max", "268435456\n"},
                    {"a/memory.current", "268435456\n"},
                    {"a/memory.stat", "anon 8388608\nfile 260046848\ninactive_file 60000000\nactive_file 200046848\n"}},
                   256 * kMiB - 8 * kMiB},
        CgroupCase{"V2NoLimit", "0::/a\n", {{"a/memory.max", "max\n"}, {"a/memory.current", "1000\n"}}, std::nullopt},
        CgroupCase{"V2ParentIsTighter",
                   "0::/a/b\n",
                   {{"a/memory.max", "1073741824\n"},
                    {"a/memory.current", "1006632960\n"},
                    {"a/b/memory.max", "max\n"},
                    {"a/b/memory.current", "10\n"}},
                   64 * kMiB},
        CgroupCase{"V2UsageBeyondTheLimit", "0::/a\n", {{"a/memory.max", "1000\n"}, {"a/memory.current", "5000\n"}}, 0},
        CgroupCase{
            "V2InsideANamespace", "0::/\n", {{"memory.max", "268435456\n"}, {"memory.current", "0\n"}}, 256 * kMiB},
        CgroupCase{"V2PathNotMountedHere",
                   "0::/elsewhere/deep\n",
                   {{"memory.max", "268435456\n"}, {"memory.current", "0\n"}},
                   256 * kMiB},
        CgroupCase{
            "V1Limit",
            "4:memory:/job\n0::/\n",
            {{"memory/memory.limit_in_bytes", kV1NoLimit},
             {"memory/job/memory.limit_in_bytes", "2147483648\n"},
             {"memory/job/memory.usage_in_bytes", "1073741824\n"},
             {"memory/job/memory.stat",
              "cache 5\ninactive_file 7\ntotal_inactive_file 1048576\nactive_file 9\ntotal_active_file 2097152\n"}},
            1024 * kMiB + 3 * kMiB},
        CgroupCase{"V1SharedHierarchy",
                   "3:cpu,memory:/job\n",
                   {{"memory/job/memory.limit_in_bytes", "1048576\n"}, {"memory/job/memory.usage_in_bytes", "0\n"}},
                   1 * kMiB},
        CgroupCase{"V1NoLimit",
                   "4:memory:/job\n",
                   {{"memory/job/memory.limit_in_bytes", kV1NoLimit}, {"memory/job/memory.usage_in_bytes", "5\n"}},
                   std::nullopt},
        CgroupCase{"NoCgroupAtAll", "", {}, std::nullopt}),
    [](const ::testing::TestParamInfo<CgroupCase>& info) { return std::string(info.param.name); });

TEST(ProcessLimits, RoomIsTheLimitLessWhatIsMapped) {
    EXPECT_EQ(RlimitRoomBytes(RLIM_INFINITY, 5 * kMiB), std::nullopt);
    EXPECT_EQ(RlimitRoomBytes(768 * kMiB, 40 * kMiB), 728 * kMiB);
    EXPECT_EQ(RlimitRoomBytes(768 * kMiB, 800 * kMiB), 0u);
}

// Under an address-space or data limit the room is what the limit leaves,
// however much memory the machine has.
TEST(ProcessLimits, AvailableMemoryCountsThem) {
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        const test::ChildOutcome o = test::RunInChild([resource] {
            std::uint64_t sizePages = 0, resident = 0, shared = 0, text = 0, lib = 0, dataPages = 0;
            std::ifstream("/proc/self/statm") >> sizePages >> resident >> shared >> text >> lib >> dataPages;
            const std::uint64_t used = (resource == RLIMIT_AS ? sizePages : dataPages) * 4096;
            const rlimit l{used + 200 * kMiB, used + 200 * kMiB};
            if (::setrlimit(resource, &l) != 0) return std::string("setrlimit failed");
            const std::uint64_t room = AvailableMemoryBytes();
            if (room > 200 * kMiB || room < 150 * kMiB) return "room " + std::to_string(room);
            return std::string();
        });
        EXPECT_TRUE(o.Passed()) << resource << ": " << o.Describe();
    }
}

}  // namespace
}  // namespace morvane
