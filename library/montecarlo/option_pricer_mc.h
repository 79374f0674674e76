#pragma once

// The Monte Carlo pricers behind the exports VelkOptionPricerMC (vanilla and
// barrier options) and VelkAsianOptionPricerMC (Asian options), one frame
// for both: decodes the caller's codes, chooses the European or the
// early-exercise engine on pseudo-random numbers or Sobol points, runs it
// once for the value (with its own likelihood-ratio estimators on request),
// again with bumped inputs for finite-difference sensitivities, and writes
// one row per checkpoint into the caller's arrays once every run has
// succeeded, of the value and of the sensitivities greeksCode asks for
// (with either method); a non-finite entry in any row to be written fails. With early exercise the
// vanilla pricer's spot-bumped runs apply the exercise rule fitted by the
// base run and its volatility and expiry runs fit their own; every bumped
// run of the Asian pricer fits its own.

#include <cstdint>

namespace tarvic {

// The arguments both exports end with (number source, paths, regression,
// sensitivities, threads), flags already decoded by their low byte.
struct SimulationSettings {
    int32_t numPaths = 0;  // Sobol: exponent k of 2^k paths; pseudo-random: thousands of paths
    int32_t numLSPaths = 0;
    int32_t numBasisFunctions = 0;
    int32_t greeksCode = 0;    // 1000 delta and gamma, + 100 vega, + 10 theta
    int32_t greeksMethod = 0;  // 1 likelihood ratio, 2 finite differencing, else none
    int32_t timeMarching = 1;
    bool antithetic = false;
    bool useSobol = false;
    bool warmUpSobol = false;
    bool brownianBridge = false;
    bool multiThreaded = false;
    bool fewSobolBlocks = false;
};

// The arguments of the export, flags already decoded by their low byte.
struct OptionMcRequest {
    double spot = 0.0;
    double strike = 0.0;
    double lowerBarrier = 0.0;
    double upperBarrier = 0.0;
    double expiry = 0.0;
    double volatility = 0.0;
    double intRate = 0.0;
    double divYield = 0.0;
    int32_t numSteps = 1;
    int32_t optionType = 0;
    int32_t exerciseType = 0;
    int32_t knockOut = 1;
    bool contMonitoring = false;
    SimulationSettings simulation;
};

// The arguments of the Asian export, flags already decoded by their low byte.
struct AsianMcRequest {
    double spot = 0.0;
    double strike = 0.0;  // not read with a floating strike
    double expiry = 0.0;
    double volatility = 0.0;
    double intRate = 0.0;
    double divYield = 0.0;
    int32_t numFixings = 1;  // fixings still to come
    int32_t numSettled = 0;
    double settledAverage = 0.0;
    double firstFixingTime = 0.0;  // accepted, not read
    int32_t optionType = 0;
    int32_t exerciseType = 0;
    int32_t strikeType = 0;  // 0 fixed, anything else floating
    SimulationSettings simulation;
};

// The caller's arrays: rows 0 .. rowCount-1 of each may be written.
struct OptionMcOutput {
    double* optionValue = nullptr;
    double* delta = nullptr;
    double* gamma = nullptr;
    double* vega = nullptr;
    double* theta = nullptr;
    int32_t* rowCount = nullptr;
};

// Relative bumps of the finite-difference sensitivities.
struct BumpSteps {
    double spot;
    double volatility;
    double expiry;
};

// Steps of a European option: 1e-4 throughout, the spot step 0.01 with a
// discretely monitored barrier and 0.002 with a continuously monitored one.
BumpSteps europeanBumpSteps(bool hasBarrier, bool contMonitoring);

// Steps with early exercise: 0.01 throughout, the volatility step 0.002 when
// contMonitoring is set.
BumpSteps earlyExerciseBumpSteps(bool contMonitoring);

// Prices the request and fills the output; throws a std::exception with the
// failure's message, in which case nothing has been written.
void priceOptionMC(const OptionMcRequest& request, const OptionMcOutput& output);

// Steps of the Asian options: 0.001 for the spot and 1e-4 for the
// volatility and the expiry when European; 0.01, 0.001 and 0.001 with
// early exercise.
BumpSteps asianBumpSteps(bool earlyExercise);

// The Asian export's pricer (VelkAsianOptionPricerMC) on the same frame:
// the decoding, the bumped runs and the rows are those of priceOptionMC,
// except that every bumped run of an early-exercise option fits its own
// exercise rule.
void priceAsianOptionMC(const AsianMcRequest& request, const OptionMcOutput& output);

}  // namespace tarvic
