#pragma once

// European options (the contracts of priceEuropeanMC) on Sobol points. The
// 2^k points are cut into equal blocks, each generated on its own from its
// recorded start (so blocks run on any thread and the result does not depend
// on the thread count); each point is one path, its coordinates turned into
// the path's normals by the inverse normal distribution function, optionally
// arranged by a Brownian bridge. One running estimate per block, thinned to
// at most 2^numCheckpoints rows.

#include <cstdint>

#include "montecarlo/estimate_series.h"
#include "montecarlo/european_path.h"

namespace tarvic {

struct SobolBlockLayout {
    uint64_t points = 0;      // P = 2^k
    uint64_t blocks = 0;      // C
    uint64_t blockPoints = 0; // B = P / C
    double memoryGB = 0.0;    // estimate of the per-thread point matrices and the start states
};

// Blocks: max(2^(k-11), 8 with fewSobolBlocks, else 128), halved while the
// memory estimate 4 S (2 B threads + C) / 1024^3 GB exceeds 2 and halving
// helps. Fails with a message naming the argument for an exponent outside
// 0 .. 30 or too small to give every block a point, for numSteps outside
// 1 .. 20000, and with kSimulationMemoryText when the estimate stays above
// 3.5 GB (or above the memory budget, availableMemoryBytes).
SobolBlockLayout sobolBlockLayout(int32_t exponent, int32_t numSteps, bool fewSobolBlocks, int threads);

// Fails with a message naming numCheckpoints, the exponent of the largest
// row count, outside 0 .. 30.
void requireSobolCheckpoints(int32_t numCheckpoints);

double priceEuropeanQMC(EstimateSeries& result, const EuropeanContract& contract, int32_t exponent,
                        bool brownianBridge, bool warmUpSobol, bool multiThreaded, bool fewSobolBlocks,
                        int32_t numCheckpoints);

// The engine with its arguments one by one, in the order of the engine contract.
double priceEuropeanQMC(EstimateSeries& result, double spot, double strike, double lowerBarrier,
                        double upperBarrier, double intRate, double expiry, double volatility, double divYield,
                        int32_t numPaths, int32_t numSteps, int32_t optionType, int32_t knockOut,
                        bool contMonitoring, int32_t timeMarching, bool computeGreeks, bool brownianBridge,
                        bool warmUpSobol, bool multiThreaded, bool fewSobolBlocks, int32_t numCheckpoints);

}  // namespace tarvic
