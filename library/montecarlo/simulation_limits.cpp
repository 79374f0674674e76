#include "montecarlo/simulation_limits.h"

#include "common/require.h"

namespace tarvic {

std::string simulationBudgetText(std::size_t budgetBytes)
{
    return kSimulationBudgetOpening + memoryAmountText(budgetBytes) + ").";
}

void requireSimulationMemory(double bytes, double capBytes)
{
    if (!(bytes <= capBytes))
        fail(kSimulationMemoryText);
    const std::size_t budget = availableMemoryBytes();
    if (!(bytes <= static_cast<double>(budget)))
        fail(simulationBudgetText(budget));
}

}  // namespace tarvic
