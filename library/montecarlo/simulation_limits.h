#pragma once

// Limits shared by the Monte Carlo engines: the memory a run may ask for.
// Every engine counts the bytes its run will hold before it allocates any
// of them and compares the count with two budgets: the engine's own rule
// (a 4GB address space), and the memory available to the process now,
// availableMemoryBytes(). The refusal names the budget that was exceeded.

#include <cmath>
#include <cstddef>
#include <string>

#include "platform/memory_budget.h"

namespace tarvic {

// The engine's own rule refused the run.
constexpr const char* kSimulationMemoryText =
    "The requested simulation requires more memory than the program can handle (4GB).";

// The memory available to the process refused the run: this opening, the
// budget's amount (memoryAmountText) and ")." - "The requested simulation
// requires more memory than is available to the program (1.7GB)."
constexpr const char* kSimulationBudgetOpening =
    "The requested simulation requires more memory than is available to the program (";
std::string simulationBudgetText(std::size_t budgetBytes);

// Fails with kSimulationMemoryText when a working set of `bytes` exceeds
// capBytes, and with simulationBudgetText when it exceeds the memory
// available to the process (availableMemoryBytes).
void requireSimulationMemory(double bytes, double capBytes = HUGE_VAL);

// Whether a run that holds `bytes` may run its loops on the library's
// threads (when multiThreaded): under an address-space limit the arenas and
// stacks of the team threads (teamAddressSpaceBytes) must fit beside it in
// the memory available. Otherwise the run keeps to its caller's thread; its
// results do not depend on the threads that run it.
bool teamFits(double bytes, bool multiThreaded);

}  // namespace tarvic
