#pragma once

// Limits shared by the Monte Carlo engines: the memory a run may ask for.
// Estimates are compared with the one budget of the library,
// availableMemoryBytes(), before anything is allocated.

#include "platform/memory_budget.h"

namespace tarvic {

constexpr const char* kSimulationMemoryText =
    "The requested simulation requires more memory than the program can handle (4GB).";

// Fails with kSimulationMemoryText when a working set of `bytes` exceeds the
// memory available to the process (availableMemoryBytes).
void requireSimulationMemory(double bytes);

}  // namespace tarvic
