#pragma once

// How much memory a computation may still claim. On Linux an oversized
// allocation may succeed and the process be killed when the pages are first
// touched, so every large working set (Monte Carlo paths and points, the
// planes of an Asian option) is compared with this one budget before it is
// allocated.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvic {

// What the kernel says about the memory this process may use, as the text of
// its files (an empty text where a file cannot be read).
struct MemoryReadings {
    // /proc/meminfo: MemAvailable.
    std::string meminfo;
    // One control group on the way from the process's own to the root.
    struct Cgroup {
        std::string limit;  // memory.max (v2, "max" for none) or memory.limit_in_bytes (v1)
        std::string usage;  // memory.current or memory.usage_in_bytes
        std::string stat;   // memory.stat: the inactive file cache is reclaimable
    };
    std::vector<Cgroup> cgroups;
    // /proc/self/status (VmSize) and the soft RLIMIT_AS (UINT64_MAX: none).
    std::string status;
    uint64_t addressSpaceLimit = UINT64_MAX;
};

// A folder of a control group whose memory files limit this process.
struct CgroupFolder {
    std::string path;
    bool unified;  // v2 file names; v1 (the memory controller's) otherwise
};

// From the text of /proc/self/cgroup: the folders of the process's own
// control group and of every group above it, in the unified hierarchy (at
// the mount and at mount/unified) and in the memory controller's (at
// mount/memory).
std::vector<CgroupFolder> memoryCgroupFolders(const std::string& procSelfCgroup,
                                              const std::string& mount = "/sys/fs/cgroup");

// The smallest room left: the memory the kernel reports as available, the
// room under each control group's limit (its usage less the inactive file
// cache), and the room under the address-space limit. SIZE_MAX when none
// can be read.
std::size_t memoryRoom(const MemoryReadings& readings);

// The readings of this process, now.
MemoryReadings readMemoryReadings();

// Share of the room a computation may claim: the rest stays for the
// program, the results and what the estimates leave out.
inline constexpr double kMemoryShare = 0.9;

// The budget of every large computation: kMemoryShare of memoryRoom for
// this process (SIZE_MAX when nothing can be read). Reads the system's
// files (a probe), once for each MemoryProbeScope open on the calling
// thread: later calls inside the scope give the first one's answer.
std::size_t availableMemoryBytes();

// Working sets up to this size are not compared with the room there is:
// it lies far below what any process that can run a solve has left, and
// asking the system costs more than a small solve (some fourteen files).
inline constexpr double kProbeFloorBytes = 16.0 * 1024.0 * 1024.0;

// The budget a working set of `bytes` is held against: SIZE_MAX, without
// asking the system, up to kProbeFloorBytes; availableMemoryBytes() above.
std::size_t memoryBudgetFor(double bytes);

// One call into the library: the memory is read at most once while the
// outermost scope on a thread is open, and the readings given to every
// budget asked for inside it.
class MemoryProbeScope {
public:
    MemoryProbeScope();
    ~MemoryProbeScope();
    MemoryProbeScope(const MemoryProbeScope&) = delete;
    MemoryProbeScope& operator=(const MemoryProbeScope&) = delete;
};

// The probes this process has made so far (readMemoryReadings through
// availableMemoryBytes), for tests that a small call makes none.
uint64_t memoryProbeCount();

// Address space that the team threads of a parallel loop take beyond the
// bytes a computation counts, when the process lives under an address-space
// limit (RLIMIT_AS): glibc gives each thread that allocates an arena of its
// own, which reserves kArenaReserveBytes of address space, and each team
// thread has its stack. `threads` counts the caller's thread, which needs
// neither.
inline constexpr std::size_t kArenaReserveBytes = std::size_t{64} << 20;
std::size_t teamAddressSpaceBytes(int threads, std::size_t stackBytes);

// The same for this process and its default thread stack, for the team
// threads a loop of `threads` threads still has to start: those the team
// has started already (teamThreadsStarted) hold their stacks and arenas
// and are counted in the room. 0 without an address-space limit.
std::size_t teamAddressSpaceBytes(int threads);

// An amount of memory as a reader takes it in: "1.7GB" from 1 GiB on
// (one decimal, "12GB" from 10 GiB), "350MB" below, "640KB" below 1 MiB;
// binary units, rounded down.
std::string memoryAmountText(std::size_t bytes);

// a * b, or false when the product does not fit a size_t.
inline bool multiplySizes(std::size_t a, std::size_t b, std::size_t& product)
{
    return !__builtin_mul_overflow(a, b, &product);
}

}  // namespace tarvic
