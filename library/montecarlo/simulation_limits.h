#pragma once

// Limits shared by the Monte Carlo engines: the memory a run may ask for.

#include <cstdint>

#include "platform/memory_budget.h"  // availableMemoryBytes

namespace tarvic {

constexpr const char* kSimulationMemoryText =
    "The requested simulation requires more memory than the program can handle (4GB).";

// Physical memory of the machine in bytes (0 when it cannot be told). An
// allocation beyond it may succeed on Linux and kill the process when the
// pages are first touched, so big buffers are refused up front.
uint64_t physicalMemoryBytes();

// Fails with kSimulationMemoryText when a working set of `bytes` exceeds the
// memory available to the process (availableMemoryBytes).
void requireSimulationMemory(double bytes);

}  // namespace tarvic
