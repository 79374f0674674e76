#include "platform/memory_budget.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <sys/resource.h>

namespace tarvic {

namespace {

// The number after `key` in a "key value [kB]" file, in bytes; false when absent.
bool readKeyedBytes(const char* path, const char* key, std::size_t& bytes)
{
    std::FILE* file = std::fopen(path, "r");
    if (!file)
        return false;
    char line[256];
    bool found = false;
    const std::size_t keyLength = std::strlen(key);
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, key, keyLength) != 0)
            continue;
        unsigned long long value = 0;
        char unit[8] = {0};
        const int fields = std::sscanf(line + keyLength, "%llu %7s", &value, unit);
        if (fields >= 1) {
            const bool kiB = fields == 2 && std::strcmp(unit, "kB") == 0;
            bytes = static_cast<std::size_t>(kiB ? value * 1024ull : value);
            found = true;
        }
        break;
    }
    std::fclose(file);
    return found;
}

// A single number in a file ("max" reads as no limit); false when unreadable.
bool readSingleBytes(const char* path, std::size_t& bytes)
{
    std::FILE* file = std::fopen(path, "r");
    if (!file)
        return false;
    unsigned long long value = 0;
    const bool ok = std::fscanf(file, "%llu", &value) == 1;
    std::fclose(file);
    if (ok)
        bytes = static_cast<std::size_t>(value);
    return ok;
}

}  // namespace

std::size_t availableMemoryBytes()
{
    std::size_t budget = SIZE_MAX;

    std::size_t available = 0;
    if (readKeyedBytes("/proc/meminfo", "MemAvailable:", available))
        budget = std::min(budget, available);

    std::size_t limit = 0, current = 0;
    if (readSingleBytes("/sys/fs/cgroup/memory.max", limit) &&
        readSingleBytes("/sys/fs/cgroup/memory.current", current))
        budget = std::min(budget, limit > current ? limit - current : std::size_t{0});

    rlimit addressSpace{};
    if (getrlimit(RLIMIT_AS, &addressSpace) == 0 && addressSpace.rlim_cur != RLIM_INFINITY) {
        std::size_t used = 0;
        readKeyedBytes("/proc/self/status", "VmSize:", used);
        const std::size_t cap = static_cast<std::size_t>(addressSpace.rlim_cur);
        budget = std::min(budget, cap > used ? cap - used : std::size_t{0});
    }
    return budget;
}

}  // namespace tarvic
