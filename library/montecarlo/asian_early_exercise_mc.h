#pragma once

// Asian options exercisable at every fixing before expiry (asian_path.h)
// by the Longstaff-Schwartz method (early_exercise_phases.h), the rule
// fitted on the asset and the running average: on pseudo-random paths, the
// regression paths giving the in-sample rows and fresh paths the rest; and
// on Sobol points, the first blocks of the sequence regressing.
//
// basisCount chooses the two-dimensional set (asianBasisFor: 11 -> the
// thirteen-function set, 16, 25, any other count -> 36 functions); the set's
// own count is the fit's threshold and the length of the continuation sum.
// With contract.computeGreeks the four likelihood-ratio series are filled.
// The rule is the caller's: empty on entry, it is fitted and left filled;
// filled, it is applied unchanged.

#include <cstdint>

#include "montecarlo/asian_path.h"
#include "montecarlo/early_exercise.h"
#include "montecarlo/estimate_series.h"

namespace tarvic {

// The memory rule of the Sobol engine: a run whose count of what it holds
// (sobolExerciseBytes), with 0.2 GB for the program around it, exceeds
// 3.9 GB is refused whatever the machine has.
constexpr double kAsianSobolMemoryLimitGB = 3.9;
constexpr double kAsianSobolOverheadGB = 0.2;

// Returns the last value row. pathCount and regressionPathCount are paths
// (at least 1000 regression paths, at least as many paths in all).
double priceAsianEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, const AsianContract& contract,
                                 int64_t pathCount, int64_t regressionPathCount, int32_t basisCount,
                                 bool antithetic, bool multiThreaded, int32_t numCheckpoints);

// 2^numPaths points, of which 2^numLSPaths regress (exponents raised to at
// least 10, at most 30); one row per block, at most 2^numCheckpoints rows.
double priceAsianEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, const AsianContract& contract,
                                  int32_t numPaths, int32_t numLSPaths, int32_t basisCount, bool brownianBridge,
                                  bool warmUpSobol, bool multiThreaded, int32_t numCheckpoints);

// The engines with their arguments one by one, in the order of the engine contract.
double priceAsianEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, double spot, double strike,
                                 double intRate, double expiry, double volatility, double divYield,
                                 int64_t pathCount, int64_t regressionPathCount, int32_t numFixings,
                                 int32_t optionType, int32_t numSettled, double settledAverage, int32_t strikeType,
                                 int32_t timeMarching, int32_t basisCount, bool computeGreeks, bool antithetic,
                                 bool multiThreaded, int32_t numCheckpoints);

double priceAsianEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, double spot, double strike,
                                  double intRate, double expiry, double volatility, double divYield,
                                  int32_t numPaths, int32_t numLSPaths, int32_t numFixings, int32_t optionType,
                                  int32_t numSettled, double settledAverage, int32_t strikeType,
                                  int32_t timeMarching, int32_t basisCount, bool computeGreeks,
                                  bool brownianBridge, bool warmUpSobol, bool multiThreaded,
                                  int32_t numCheckpoints);

}  // namespace tarvic
