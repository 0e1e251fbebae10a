#pragma once
// How much memory the program may still take: the room every large
// allocation (a history, a spread's tallies, a file read) is judged against.
#include <cstdint>
#include <optional>
#include <string>

namespace morvane {

// Memory the program can still take without swapping, meeting its control
// group's limit or its own: the lowest of MemAvailable, the room left under
// the memory limits of the process's cgroup and its ancestors, and the room
// under RLIMIT_AS and RLIMIT_DATA beside what the process maps already. 0
// when it cannot tell.
std::uint64_t AvailableMemoryBytes();

// Room under the memory limits of the cgroup named in `procSelfCgroup` (the
// text of /proc/self/cgroup), with the cgroup file systems mounted at `root`
// (/sys/fs/cgroup): the smallest limit less usage along the path up to the
// root, counting the page cache (inactive and active file pages) as free,
// since the kernel reclaims it before it refuses memory. nullopt when no limit is set.
std::optional<std::uint64_t> CgroupRoomBytes(const std::string& procSelfCgroup, const std::string& root);

// Room under a resource limit (RLIMIT_AS, RLIMIT_DATA) for a process that
// uses `used` bytes of it; nullopt when the limit is RLIM_INFINITY.
std::optional<std::uint64_t> RlimitRoomBytes(std::uint64_t limit, std::uint64_t used);

// The part of `available` a history may take: the rest of the program (the
// lists, the charts, the copy a growing history makes) needs room beside it.
std::uint64_t UsableHistoryBytes(std::uint64_t available);

}  // namespace morvane
