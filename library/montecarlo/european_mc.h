#pragma once

// European options (plain, single or double barrier, knock-out or knock-in,
// discrete or continuous monitoring) by simulation on pseudo-random normals.
//
// The paths are split into nSlots = min(omp_get_max_threads(), 8) slots; slot t
// always draws from generator t, seeded from the fixed table on every call, so
// the series depend on nSlots but not on multiThreaded (which only decides
// whether a thread team runs the slots), and repeated calls and bumped runs
// share their random numbers. Each slot simulates blocks of b paths; the blocks
// are merged block by block, slot by slot, into one running estimate per
// checkpoint.

#include <cstddef>
#include <cstdint>

#include "montecarlo/estimate_series.h"
#include "montecarlo/european_path.h"

namespace tarvic {

// How a run cuts its paths into blocks.
struct PseudoRandomLayout {
    size_t slots = 0;
    size_t pathsPerBlock = 0;   // b (two paths per draw with antithetic variates)
    size_t drawsPerBlock = 0;   // b / mult
    size_t blocksPerSlot = 0;   // ceil(numCheckpoints / slots)
    size_t rows = 0;            // numCheckpoints: slots x blocksPerSlot always covers them
};

// Fails with a message naming the argument when pathCount or numCheckpoints
// leave a block without paths.
PseudoRandomLayout pseudoRandomLayout(int64_t pathCount, int32_t numCheckpoints, bool antithetic, size_t slots);

// Fills `result` (value series, and with contract.computeGreeks the four
// likelihood-ratio series) with numCheckpoints running estimates; returns the
// last value estimate.
double priceEuropeanMC(EstimateSeries& result, const EuropeanContract& contract, int64_t pathCount,
                       bool antithetic, bool multiThreaded, int32_t numCheckpoints);

// The engine with its arguments one by one, in the order of the engine contract.
double priceEuropeanMC(EstimateSeries& result, double spot, double strike, double lowerBarrier,
                       double upperBarrier, double intRate, double expiry, double volatility, double divYield,
                       int64_t pathCount, int32_t numSteps, int32_t optionType, int32_t knockOut,
                       bool contMonitoring, int32_t timeMarching, bool computeGreeks, bool antithetic,
                       bool multiThreaded, int32_t numCheckpoints);

}  // namespace tarvic
