#include "montecarlo/simulation_limits.h"

#include <unistd.h>

#include "common/require.h"

namespace tarvic {

uint64_t physicalMemoryBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

void requireSimulationMemory(double bytes)
{
    if (!(bytes <= static_cast<double>(availableMemoryBytes())))
        fail(kSimulationMemoryText);
}

}  // namespace tarvic
