#pragma once

#include <cstdint>

namespace tarvic {

// Monte Carlo settings. The settings dialog frmResolMC writes them as its
// controls change; the Monte Carlo driver reads them (and several of the
// dialog's controls) at Calculate.
struct McSettings {
    bool gSobol = false;           // Sobol numbers (true) or pseudo-random
    bool gWarmUp = false;          // warm up the Sobol sequence
    bool gAntithetic = false;      // antithetic variables (pseudo-random only)
    bool gBrownianBridge = false;  // Brownian-bridge construction (Sobol only)
    bool gMultiThreadMC = false;
    int32_t gTimeMarching = 0;     // 1 Exact, 2 Euler, 3 Milstein
    int32_t gPathsK = 0;           // pseudo-random paths in thousands
    int32_t gPathsPow = 0;         // Sobol paths exponent (2^n paths)
    int32_t gLSPathsK = 0;         // pseudo-random regression paths in thousands
    int32_t gLSPathsPow = 0;       // Sobol regression paths exponent
    int32_t gBasisFunctions = 0;
    bool gFewBlocks = false;       // hidden minimum-block switch of the Sobol engine

    // Written by the Monte Carlo driver at Calculate.
    int32_t gPaths = 0;            // Sobol exponent, or thousands of paths
    int32_t gLSPaths = 0;
    int32_t gGreeksCode = 0;       // 1000 delta and gamma, + 100 vega, + 10 theta
    int32_t gGreekMethod = 0;      // 1 likelihood ratio, 2 finite differencing
};

extern McSettings gMcSettings;

}  // namespace tarvic
