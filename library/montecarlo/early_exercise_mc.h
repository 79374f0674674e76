#pragma once

// Vanilla and barrier options with early exercise at the path steps
// (American = Bermudan at numSteps dates) by the Longstaff-Schwartz method
// on pseudo-random paths (early_exercise_phases.h): the regression paths fit
// the exercise rule and give the in-sample rows, fresh paths the rest. A
// knock-in fits its rule on barrier-free paths (after it has knocked in it
// is the vanilla option) and all its rows come from fresh paths.
//
// With contract.computeGreeks the four likelihood-ratio series are filled
// as well. The rule is the caller's: empty on entry, it is fitted and left
// filled; filled, it is applied unchanged (the spot-bumped runs of the
// export reuse the base run's rule).

#include <cstdint>

#include "montecarlo/early_exercise.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/european_path.h"

namespace tarvic {

// Returns the last value row. pathCount and regressionPathCount are paths
// (at least 1000 regression paths, at least as many paths in all);
// basisCount chooses the basis set (exerciseBasisFor).
double priceEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, const EuropeanContract& contract,
                            int64_t pathCount, int64_t regressionPathCount, int32_t basisCount, bool antithetic,
                            bool multiThreaded, int32_t numCheckpoints);

// The engine with its arguments one by one, in the order of the engine contract.
double priceEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, double spot, double strike,
                            double lowerBarrier, double upperBarrier, double intRate, double expiry,
                            double volatility, double divYield, int64_t pathCount, int64_t regressionPathCount,
                            int32_t numSteps, int32_t optionType, int32_t knockOut, bool contMonitoring,
                            int32_t timeMarching, int32_t basisCount, bool computeGreeks, bool antithetic,
                            bool multiThreaded, int32_t numCheckpoints);

// The same options on Sobol points: 2^numPaths points, of which 2^numLSPaths
// regression points (exponents raised to at least 10, at most 30); one row
// per block of points, at most 2^numCheckpoints rows after thinning.
double priceEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, const EuropeanContract& contract,
                             int32_t numPaths, int32_t numLSPaths, int32_t basisCount, bool brownianBridge,
                             bool warmUpSobol, bool multiThreaded, int32_t numCheckpoints);

double priceEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, double spot, double strike,
                             double lowerBarrier, double upperBarrier, double intRate, double expiry,
                             double volatility, double divYield, int32_t numPaths, int32_t numLSPaths,
                             int32_t numSteps, int32_t optionType, int32_t knockOut, bool contMonitoring,
                             int32_t timeMarching, int32_t basisCount, bool computeGreeks, bool brownianBridge,
                             bool warmUpSobol, bool multiThreaded, int32_t numCheckpoints);

}  // namespace tarvic
