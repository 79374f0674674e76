#include "montecarlo/simulation_limits.h"

#include "common/require.h"

namespace tarvic {

void requireSimulationMemory(double bytes)
{
    if (!(bytes <= static_cast<double>(availableMemoryBytes())))
        fail(kSimulationMemoryText);
}

}  // namespace tarvic
