#include "montecarlo/simulation_limits.h"

#include <cstdint>

#include "common/parallel_loop.h"
#include "common/require.h"

namespace tarvic {

std::string simulationBudgetText(std::size_t budgetBytes)
{
    return kSimulationBudgetOpening + memoryAmountText(budgetBytes) + ").";
}

bool teamFits(double bytes, bool multiThreaded)
{
    const int threads = parallelThreads(INT64_MAX, multiThreaded);
    if (threads <= 1)
        return multiThreaded;
    const double team = static_cast<double>(teamAddressSpaceBytes(threads));
    return team == 0.0 || bytes + team <= static_cast<double>(memoryBudgetFor(bytes + team));
}

void requireSimulationMemory(double bytes, double capBytes)
{
    if (!(bytes <= capBytes))
        fail(kSimulationMemoryText);
    const std::size_t budget = memoryBudgetFor(bytes);
    if (!(bytes <= static_cast<double>(budget)))
        fail(simulationBudgetText(budget));
}

}  // namespace tarvic
