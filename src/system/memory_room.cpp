#include "system/memory_room.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace morvane {
namespace {

namespace fs = std::filesystem;

// Kept back whatever the size: the program's own code, Qt, the presentation.
constexpr std::uint64_t kFixedReserve = std::uint64_t{64} << 20;
// Peak memory runs up to about a tenth above the history (the presentation
// grows with the run), so an eighth of the rest is held back too.
constexpr std::uint64_t kShareReserveDivisor = 8;

std::uint64_t MemAvailableBytes() {
    std::ifstream in("/proc/meminfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("MemAvailable:", 0) == 0) {
            std::istringstream fields(line.substr(13));
            std::uint64_t kib = 0;
            if (fields >> kib) return kib * 1024;
        }
    }
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) : 0;
}

std::optional<std::uint64_t> ReadNumber(const fs::path& file) {
    std::ifstream in(file);
    std::string word;
    if (!(in >> word)) return std::nullopt;
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size()) return std::nullopt;  // "max" and the like
    return v;
}

// A named field of memory.stat.
std::uint64_t StatField(const fs::path& file, const std::string& name) {
    std::ifstream in(file);
    std::string key;
    std::uint64_t value = 0;
    while (in >> key >> value)
        if (key == name) return value;
    return 0;
}

struct CgroupFiles {
    const char* limit;
    const char* usage;
    // In memory.stat: the page cache the kernel reclaims before it would
    // refuse or kill, active or not.
    const char* inactiveFile;
    const char* activeFile;
};
constexpr CgroupFiles kV2{"memory.max", "memory.current", "inactive_file", "active_file"};
constexpr CgroupFiles kV1{"memory.limit_in_bytes", "memory.usage_in_bytes", "total_inactive_file", "total_active_file"};
// Version 1 writes "no limit" as a page-rounded LLONG_MAX.
constexpr std::uint64_t kV1NoLimit = std::uint64_t{1} << 62;

// The smallest room along the path from `dir` up to `top`.
std::optional<std::uint64_t> RoomAlong(fs::path dir, const fs::path& top, const CgroupFiles& files) {
    std::optional<std::uint64_t> room;
    for (;;) {
        const std::optional<std::uint64_t> limit = ReadNumber(dir / files.limit);
        if (limit && *limit < kV1NoLimit) {
            const std::uint64_t usage = ReadNumber(dir / files.usage).value_or(0);
            const std::uint64_t cache =
                StatField(dir / "memory.stat", files.inactiveFile) + StatField(dir / "memory.stat", files.activeFile);
            const std::uint64_t used = usage > cache ? usage - cache : 0;
            const std::uint64_t here = *limit > used ? *limit - used : 0;
            room = room ? std::min(*room, here) : here;
        }
        if (dir == top || !dir.has_relative_path() || dir.parent_path() == dir) break;
        dir = dir.parent_path();
    }
    return room;
}

}  // namespace

std::optional<std::uint64_t> CgroupRoomBytes(const std::string& procSelfCgroup, const std::string& root) {
    // Lines are "id:controllers:path"; version 2 is "0::path", version 1 names
    // the memory controller among its controllers.
    std::istringstream lines(procSelfCgroup);
    std::string line;
    std::optional<std::string> v1Path, v2Path;
    while (std::getline(lines, line)) {
        const std::size_t a = line.find(':');
        const std::size_t b = a == std::string::npos ? a : line.find(':', a + 1);
        if (b == std::string::npos) continue;
        const std::string controllers = line.substr(a + 1, b - a - 1);
        const std::string path = line.substr(b + 1);
        if (controllers.empty() && line.compare(0, a, "0") == 0) v2Path = path;
        std::istringstream names(controllers);
        for (std::string name; std::getline(names, name, ',');)
            if (name == "memory") v1Path = path;
    }
    const fs::path base(root);
    auto under = [](const fs::path& top, const std::string& path) {
        // Inside a cgroup namespace the path may not exist below the mount;
        // the mount itself is then the process's cgroup.
        fs::path dir = top / fs::path(path).relative_path();
        std::error_code ec;
        return fs::is_directory(dir, ec) ? dir : top;
    };
    if (v1Path) {
        const fs::path top = base / "memory";
        return RoomAlong(under(top, *v1Path), top, kV1);
    }
    if (v2Path) return RoomAlong(under(base, *v2Path), base, kV2);
    return std::nullopt;
}

std::optional<std::uint64_t> RlimitRoomBytes(std::uint64_t limit, std::uint64_t used) {
    if (limit == static_cast<std::uint64_t>(RLIM_INFINITY)) return std::nullopt;
    return limit > used ? limit - used : 0;
}

namespace {

// The room under RLIMIT_AS and RLIMIT_DATA, less what the process maps now
// (its whole address space, and its private writable part).
std::optional<std::uint64_t> ProcessLimitRoom() {
    std::uint64_t sizePages = 0, residentPages = 0, sharedPages = 0, textPages = 0, libPages = 0, dataPages = 0;
    {
        std::ifstream statm("/proc/self/statm");
        statm >> sizePages >> residentPages >> sharedPages >> textPages >> libPages >> dataPages;
    }
    const long page = sysconf(_SC_PAGESIZE);
    const std::uint64_t pageBytes = page > 0 ? static_cast<std::uint64_t>(page) : 4096;
    std::optional<std::uint64_t> room;
    const auto tighten = [&room](std::optional<std::uint64_t> r) {
        if (r) room = room ? std::min(*room, *r) : *r;
    };
    rlimit l{};
    if (::getrlimit(RLIMIT_AS, &l) == 0) tighten(RlimitRoomBytes(l.rlim_cur, sizePages * pageBytes));
    if (::getrlimit(RLIMIT_DATA, &l) == 0) tighten(RlimitRoomBytes(l.rlim_cur, dataPages * pageBytes));
    return room;
}

}  // namespace

std::uint64_t AvailableMemoryBytes() {
    std::uint64_t available = MemAvailableBytes();
    if (const auto room = ProcessLimitRoom()) {
        const std::uint64_t r = std::max<std::uint64_t>(*room, 1);
        available = available == 0 ? r : std::min(available, r);
    }
    std::ifstream in("/proc/self/cgroup");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (const auto room = CgroupRoomBytes(text, "/sys/fs/cgroup")) {
        // A full cgroup is 1 byte of room, since 0 would read as "unknown".
        const std::uint64_t r = std::max<std::uint64_t>(*room, 1);
        available = available == 0 ? r : std::min(available, r);
    }
    return available;
}

std::uint64_t UsableHistoryBytes(std::uint64_t available) {
    if (available <= kFixedReserve) return 0;
    const std::uint64_t rest = available - kFixedReserve;
    return rest - rest / kShareReserveDivisor;
}

}  // namespace morvane
