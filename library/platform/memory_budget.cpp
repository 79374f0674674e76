#include "platform/memory_budget.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <pthread.h>
#include <sys/resource.h>

#include "common/thread_team.h"

namespace tarvic {

namespace {

std::string readText(const std::string& path)
{
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file)
        return std::string();
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The leading whole number of text, skipping blanks; false when there is none.
bool leadingNumber(const char* text, uint64_t& value)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return end != text;
}

// The number on the line that starts with key, in bytes (a "kB" after it
// counts 1024); false when no line has it.
bool keyedBytes(const std::string& text, const char* key, uint64_t& bytes)
{
    const std::size_t keyLength = std::strlen(key);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, keyLength, key) != 0)
            continue;
        uint64_t value = 0;
        if (!leadingNumber(line.c_str() + keyLength, value))
            return false;
        const bool kiB = line.find(" kB", keyLength) != std::string::npos;
        bytes = kiB ? (value > UINT64_MAX / 1024u ? UINT64_MAX : value * 1024u) : value;
        return true;
    }
    return false;
}

std::size_t toSize(uint64_t bytes)
{
    return bytes > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(bytes);
}

std::size_t roomUnder(uint64_t limit, uint64_t used)
{
    return limit > used ? toSize(limit - used) : std::size_t{0};
}

}  // namespace

std::vector<CgroupFolder> memoryCgroupFolders(const std::string& procSelfCgroup,
                                              const std::string& mount)
{
    std::vector<CgroupFolder> folders;
    std::istringstream lines(procSelfCgroup);
    std::string line;
    while (std::getline(lines, line)) {
        // hierarchy-ID:controller-list:path
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        bool unified = false;
        std::vector<std::string> roots;
        if (line.compare(0, first, "0") == 0 && controllers.empty()) {
            unified = true;
            roots = {mount, mount + "/unified"};
        } else {
            bool memory = false;
            std::istringstream names(controllers);
            std::string name;
            while (std::getline(names, name, ','))
                memory = memory || name == "memory";
            if (!memory)
                continue;
            roots = {mount + "/memory"};
        }
        if (path.empty() || path[0] != '/')
            continue;
        // The group itself, then each group above it up to the root.
        for (;;) {
            while (path.size() > 1 && path.back() == '/')
                path.pop_back();
            for (const std::string& root : roots)
                folders.push_back({path == "/" ? root : root + path, unified});
            if (path == "/")
                break;
            const std::size_t slash = path.rfind('/');
            path = slash == 0 ? std::string("/") : path.substr(0, slash);
        }
    }
    return folders;
}

std::size_t memoryRoom(const MemoryReadings& r)
{
    std::size_t room = SIZE_MAX;

    uint64_t available = 0;
    if (keyedBytes(r.meminfo, "MemAvailable:", available))
        room = std::min(room, toSize(available));

    for (const MemoryReadings::Cgroup& group : r.cgroups) {
        uint64_t limit = 0, usage = 0;
        // "max" and other words are no limit; v1 writes a huge number instead.
        if (!leadingNumber(group.limit.c_str(), limit) ||
            !leadingNumber(group.usage.c_str(), usage))
            continue;
        uint64_t inactive = 0;
        if (!keyedBytes(group.stat, "total_inactive_file ", inactive))
            keyedBytes(group.stat, "inactive_file ", inactive);
        room = std::min(room, roomUnder(limit, usage - std::min(usage, inactive)));
    }

    if (r.addressSpaceLimit != UINT64_MAX) {
        uint64_t used = 0;
        keyedBytes(r.status, "VmSize:", used);
        room = std::min(room, roomUnder(r.addressSpaceLimit, used));
    }
    return room;
}

MemoryReadings readMemoryReadings()
{
    MemoryReadings r;
    r.meminfo = readText("/proc/meminfo");
    for (const CgroupFolder& folder : memoryCgroupFolders(readText("/proc/self/cgroup"))) {
        MemoryReadings::Cgroup group;
        group.limit =
            readText(folder.path + (folder.unified ? "/memory.max" : "/memory.limit_in_bytes"));
        if (group.limit.empty())
            continue;
        group.usage =
            readText(folder.path + (folder.unified ? "/memory.current" : "/memory.usage_in_bytes"));
        group.stat = readText(folder.path + "/memory.stat");
        r.cgroups.push_back(std::move(group));
    }
    r.status = readText("/proc/self/status");
    rlimit addressSpace{};
    if (getrlimit(RLIMIT_AS, &addressSpace) == 0 && addressSpace.rlim_cur != RLIM_INFINITY)
        r.addressSpaceLimit = static_cast<uint64_t>(addressSpace.rlim_cur);
    return r;
}

namespace {

std::atomic<uint64_t> probes{0};

// The scopes open on this thread, and the budget read inside the outermost.
struct ProbeScopes {
    int open = 0;
    bool read = false;
    std::size_t budget = SIZE_MAX;
};
thread_local ProbeScopes scopes;

std::size_t probeBudget()
{
    probes.fetch_add(1, std::memory_order_relaxed);
    const std::size_t room = memoryRoom(readMemoryReadings());
    if (room == SIZE_MAX)
        return room;
    return static_cast<std::size_t>(kMemoryShare * static_cast<double>(room));
}

}  // namespace

std::size_t availableMemoryBytes()
{
    if (scopes.open == 0)
        return probeBudget();
    if (!scopes.read) {
        scopes.budget = probeBudget();
        scopes.read = true;
    }
    return scopes.budget;
}

std::size_t memoryBudgetFor(double bytes)
{
    return bytes <= kProbeFloorBytes ? SIZE_MAX : availableMemoryBytes();
}

MemoryProbeScope::MemoryProbeScope()
{
    ++scopes.open;
}

MemoryProbeScope::~MemoryProbeScope()
{
    if (--scopes.open == 0)
        scopes.read = false;
}

uint64_t memoryProbeCount()
{
    return probes.load(std::memory_order_relaxed);
}

std::size_t teamAddressSpaceBytes(int threads, std::size_t stackBytes)
{
    if (threads <= 1)
        return 0;
    const std::size_t perThread = kArenaReserveBytes + stackBytes;
    std::size_t total = 0;
    return multiplySizes(static_cast<std::size_t>(threads - 1), perThread, total) ? total : SIZE_MAX;
}

std::size_t teamAddressSpaceBytes(int threads)
{
    // The caller's thread and the team threads still to start.
    const int counted = threads - teamThreadsStarted();
    rlimit addressSpace{};
    if (counted <= 1 || getrlimit(RLIMIT_AS, &addressSpace) != 0 ||
        addressSpace.rlim_cur == RLIM_INFINITY)
        return 0;
    // The stack a new thread gets (RLIMIT_STACK, or glibc's own default),
    // and a page of guard beside it.
    std::size_t stack = std::size_t{8} << 20;
    pthread_attr_t attributes;
    if (pthread_getattr_default_np(&attributes) == 0) {
        std::size_t size = 0;
        if (pthread_attr_getstacksize(&attributes, &size) == 0 && size > 0)
            stack = size;
        pthread_attr_destroy(&attributes);
    }
    return teamAddressSpaceBytes(counted, stack + 4096);
}

std::string memoryAmountText(std::size_t bytes)
{
    // Whole numbers of units only, so that the text is the same under every
    // number locale (printf's "%.1f" would write "1,7" under German rules).
    constexpr uint64_t kKiB = 1024u;
    constexpr uint64_t kMiB = kKiB * 1024u;
    constexpr uint64_t kGiB = kMiB * 1024u;
    const uint64_t amount = bytes;
    if (amount >= 10u * kGiB)
        return std::to_string(amount / kGiB) + "GB";
    if (amount >= kGiB) {
        const uint64_t tenths = amount * 10u / kGiB;  // below 100 GiB: no overflow
        return std::to_string(tenths / 10u) + "." + std::to_string(tenths % 10u) + "GB";
    }
    if (amount >= kMiB)
        return std::to_string(amount / kMiB) + "MB";
    return std::to_string(amount / kKiB) + "KB";
}

}  // namespace tarvic
