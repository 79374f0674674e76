#pragma once

// European Asian options (asian_path.h) by simulation: on pseudo-random
// normals, min(threads, 8) slots drawing from the generators of the seed
// table in its own order, with optional antithetic pairs, numCheckpoints
// rows; and on Sobol points, blocks under the memory rule of the European
// Sobol engine, optional Brownian-bridge construction, one row per block
// thinned to at most 2^numCheckpoints rows. The drivers are those of the
// vanilla engines (european_drivers.h): pseudo-random results do not depend
// on multiThreaded, Sobol results not on the number of threads.

#include <cstdint>

#include "montecarlo/asian_path.h"
#include "montecarlo/estimate_series.h"

namespace tarvic {

// Both return the last value estimate; with contract.computeGreeks the four
// likelihood-ratio series are filled too.
double priceAsianEuropeanMC(EstimateSeries& result, const AsianContract& contract, int64_t pathCount,
                            bool antithetic, bool multiThreaded, int32_t numCheckpoints);

double priceAsianEuropeanQMC(EstimateSeries& result, const AsianContract& contract, int32_t numPaths,
                             bool brownianBridge, bool warmUpSobol, bool multiThreaded, bool fewSobolBlocks,
                             int32_t numCheckpoints);

// The engines with their arguments one by one, in the order of the engine contract.
double priceAsianEuropeanMC(EstimateSeries& result, double spot, double strike, double intRate, double expiry,
                            double volatility, double divYield, int64_t pathCount, int32_t numFixings,
                            int32_t optionType, int32_t numSettled, double settledAverage, int32_t strikeType,
                            int32_t timeMarching, bool computeGreeks, bool antithetic, bool multiThreaded,
                            int32_t numCheckpoints);

double priceAsianEuropeanQMC(EstimateSeries& result, double spot, double strike, double intRate, double expiry,
                             double volatility, double divYield, int32_t numPaths, int32_t numFixings,
                             int32_t optionType, int32_t numSettled, double settledAverage, int32_t strikeType,
                             int32_t timeMarching, bool computeGreeks, bool brownianBridge, bool warmUpSobol,
                             bool multiThreaded, bool fewSobolBlocks, int32_t numCheckpoints);

// The contract of the argument lists.
AsianContract asianContractOf(double spot, double strike, double intRate, double expiry, double volatility,
                              double divYield, int32_t numFixings, int32_t optionType, int32_t numSettled,
                              double settledAverage, int32_t strikeType, int32_t timeMarching,
                              bool computeGreeks);

}  // namespace tarvic
