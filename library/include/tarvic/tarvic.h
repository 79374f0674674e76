/*
 * libtarvic: the exported pricers.
 *
 * Conventions shared by every export:
 *  - integers and flags are 32-bit; a flag counts by its low byte
 *    (non-zero = set), so 256 is clear and 1 or 65535 are set;
 *  - arrays are caller-owned arrays of doubles with indices 0..50000,
 *    passed as the address of element 0;
 *  - the solver exports return a counted text (tarvic/counted_string.h):
 *    empty on success, otherwise the failure's message; the caller frees it
 *    with tvFreeString.
 */
#ifndef TARVIC_TARVIC_H
#define TARVIC_TARVIC_H

#include <stdint.h>

#include "tarvic/counted_string.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entries 0..TV_MAX_NODE_INDEX of each caller array may be written. */
#define TV_MAX_NODE_INDEX 50000

/* ---------------------------------------------------------------------------
 * Closed forms
 *
 * Exact Black–Scholes values, continuous dividend yield q, continuous
 * monitoring. optionType 0 is a call, any other value a put; knockOut 1 is a
 * knock-out, 0 a knock-in. lowerBarrier and upperBarrier are 0 for "none":
 * only the lower gives a down barrier, only the upper an up barrier, both
 * with lower < upper a double barrier; any other pair is worth 0. A spot at
 * or past a barrier has touched it: a knock-out is worth 0, a knock-in the
 * vanilla value. A volatility of exactly 0 is priced as 1e-10.
 *
 * A contract that is not priced gives -1.0 as its value (callers show it as
 * not available): a knockOut other than 0 or 1, and a double barrier whose
 * strike lies outside the corridor where the value is not plain (a call
 * struck below the lower barrier, a put struck above the upper one).
 *
 * theta is per year (the change of the value as time passes) and vega per
 * unit of volatility. The result is 1.0 when the outputs were written. Any
 * other result (0.0) means nothing was written: a null output pointer, a
 * grid with lastIndex above TV_MAX_NODE_INDEX, an input that is not a finite
 * number, a negative spot, grid node, strike, volatility, expiry or barrier,
 * an output that would not be a finite number, or an internal failure.
 * A grid export with lastIndex below 0 writes nothing and returns 1.0.
 * ------------------------------------------------------------------------- */

/* Value and sensitivities of a European option at one spot (analytic). */
double VanillaBS(double* value, double* delta, double* gamma, double* theta, double* vega,
                 double spot, double strike, double intRate, double divYield, double volatility,
                 double expiry, int32_t optionType);

/* Value and sensitivities of a barrier option at one spot (central differences). */
double BarrierBS(double* value, double* delta, double* gamma, double* theta, double* vega,
                 double spot, double strike, double intRate, double divYield, double volatility,
                 double expiry, double lowerBarrier, double upperBarrier, int32_t knockOut,
                 int32_t optionType);

/* exactValue[i] := European value at spot assetGrid[i], i = 0..lastIndex. */
double VanillaBSGrid(const double* assetGrid, double* exactValue, double strike, double intRate,
                     double divYield, double volatility, double expiry, int32_t optionType,
                     int32_t lastIndex);

/* exactValue[i] := barrier value at spot assetGrid[i], i = 0..lastIndex. */
double BarrierBSGrid(const double* assetGrid, double* exactValue, double strike, double intRate,
                     double divYield, double volatility, double expiry, double lowerBarrier,
                     double upperBarrier, int32_t knockOut, int32_t optionType,
                     int32_t lastIndex);

/* ---------------------------------------------------------------------------
 * Finite differences
 *
 * The volatility must be above 0. A solution with an entry that is not a
 * finite number in any array the call would write fails with its text, and
 * no array is written (assetSteps still holds the node count).
 * ------------------------------------------------------------------------- */

/* Vanilla European, American or Bermudan option on the asset grid.
 * In: *assetSteps, the number of asset steps to the strike; out: the index n
 * of the last grid node, written first. When n > 50000 nothing is solved and
 * no array is touched. Otherwise entries 0..n of the arrays are written
 * (theta per day, vega per volatility point; vega only with calcVega).
 * exerciseType 0 European, 1 American, 2 Bermudan. */
TvString VelkOptionPricer(double* assetGrid, double* optionValue, double* delta, double* gamma,
                          double* theta, double* vega, double strike, int32_t timeSteps,
                          double expiry, double volatility, double intRate, double divYield,
                          int32_t* assetSteps, int32_t optionType, int32_t exerciseType,
                          int32_t discretization, int32_t amerSolver, double maxAsset,
                          int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid,
                          int32_t numPeriods);

/* Single or double barrier option, knock-out (knockOut 1) or knock-in (0),
 * on the barrier grid. A missing barrier is exactly 0: only lowerBarrier
 * gives a down barrier, only upperBarrier an up barrier, both (lower below
 * upper) a double barrier. contMonitoring set: the barriers are watched
 * continuously; clear: a knock-out is monitored at the numPeriods equally
 * spaced dates ending at expiry. spot only places the clustering of the
 * discretely monitored grids; knock-ins are always monitored continuously.
 * The node count, the arrays and the 50000-node limit are those of
 * VelkOptionPricer. The solver's theta is written for continuously monitored
 * contracts that are not Bermudan with several periods, otherwise zeros
 * (calcTheta replaces them by a re-solved theta). */
TvString VelkBarrierOptionPricer(double* assetGrid, double* optionValue, double* delta,
                                 double* gamma, double* theta, double* vega, double spot,
                                 double strike, double lowerBarrier, double upperBarrier,
                                 int32_t contMonitoring, int32_t timeSteps, double expiry,
                                 double volatility, double intRate, double divYield,
                                 int32_t* assetSteps, int32_t optionType, int32_t knockOut,
                                 int32_t exerciseType, int32_t discretization,
                                 int32_t amerSolver, double maxAsset, int32_t calcTheta,
                                 int32_t calcVega, int32_t nonUniformGrid, int32_t numPeriods);

/* Fixed- or floating-strike Asian option on the arithmetic average of
 * numFixings equally spaced fixings (the last at expiry), numSettled of them
 * already settled at the average settledAverage; European, American or
 * Bermudan (exercisable at the fixings). A strike of exactly 0 selects the
 * floating strike. Solved backwards on planes of the running average,
 * planeSpacing (1, 2 or 4) asset steps apart, interpolated across them
 * linearly (planesInterp 0), quadratically (1) or cubically (2 or any other
 * value); the planes of a period run on all cores when multiThreaded is set.
 * firstFixingTime is accepted and not read: the fixings still to come fall
 * at equal intervals of the time to expiry.
 * In: *assetSteps, the asset steps to the strike; out: the index n of the
 * last node reported, written first. When n > 50000 nothing is solved and
 * no array is touched. Otherwise entries 0..n are written, n possibly one
 * or more beyond the grid's own last index while the curve still bends,
 * never beyond 50000; theta is 0 unless calcTheta is set (then per day, by
 * re-pricing), vega only with calcVega. Running out of memory gives its own
 * text. */
TvString VelkAsianOptionPricer(double* assetGrid, double* optionValue, double* delta,
                               double* gamma, double* theta, double* vega, double spot,
                               double strike, int32_t timeSteps, double expiry,
                               double volatility, double intRate, double divYield,
                               int32_t* assetSteps, int32_t planeSpacing, int32_t numFixings,
                               int32_t numSettled, double settledAverage,
                               double firstFixingTime, int32_t optionType,
                               int32_t exerciseType, int32_t discretization, int32_t amerSolver,
                               int32_t planesInterp, double maxAsset, int32_t calcTheta,
                               int32_t calcVega, int32_t nonUniformGrid, int32_t multiThreaded);

/* ---------------------------------------------------------------------------
 * Monte Carlo
 * ------------------------------------------------------------------------- */

/* Vanilla and barrier options by simulation. Writes one row per checkpoint
 * of the running estimate (row i = estimate after i+1 equal blocks of paths)
 * and the number of rows through rowCount: 500 rows with pseudo-random
 * numbers; with Sobol points one row per block, at most 512. Flags count by
 * their low byte.
 *  - lowerBarrier, upperBarrier: 0 = none; knockOut 1 knock-out, 0 knock-in;
 *  - numPaths (and numLSPaths): Sobol points: the exponent k of 2^k paths
 *    (0..30); pseudo-random numbers: thousands of paths. With early
 *    exercise low counts are raised, not refused: the regression paths to
 *    at least 1000 (2^10 with Sobol points), all paths to at least the
 *    regression paths;
 *  - greeksCode: 1000 delta and gamma + 100 vega + 10 theta, the arrays
 *    written with either greeksMethod: 1 likelihood ratio, 2 finite
 *    differencing, other values none;
 *  - timeMarching 1 exact, 2 Euler, 3 Milstein;
 *  - exerciseType 0 European; any other value early exercise at the numSteps
 *    path dates (American and Bermudan alike), by Longstaff–Schwartz
 *    regression on numLSPaths regression paths with numBasisFunctions + 1
 *    basis functions; the spot-bumped runs of finite differencing reuse the
 *    exercise rule of the base run.
 * vega is per volatility point, theta per calendar day. Arrays of
 * sensitivities that are not asked for keep their contents and may be null.
 * A row with an entry that is not a finite number in any array to be written
 * fails the call; on failure neither rowCount nor any array is written. */
TvString VelkOptionPricerMC(double* optionValue, double* delta, double* gamma, double* vega, double* theta,
                            int32_t* rowCount, double spot, double strike, double lowerBarrier,
                            double upperBarrier, double expiry, double volatility, double intRate,
                            double divYield, int32_t numSteps, int32_t optionType, int32_t exerciseType,
                            int32_t knockOut, int32_t contMonitoring, int32_t numPaths, int32_t numLSPaths,
                            int32_t numBasisFunctions, int32_t greeksCode, int32_t greeksMethod,
                            int32_t timeMarching, int32_t antithetic, int32_t useSobol, int32_t warmUpSobol,
                            int32_t brownianBridge, int32_t multiThreaded, int32_t fewSobolBlocks);

/* Fixed- or floating-strike Asian options by simulation, on the arithmetic
 * average of the settled fixings and the fixings still to come. The rows,
 * their number, rowCount, the codes of numPaths to fewSobolBlocks, the units
 * and the arrays written are those of VelkOptionPricerMC.
 *  - numFixings: the fixings still to come (at least 1), at equal intervals
 *    of the time to expiry, the last at expiry, one path step each;
 *  - numSettled fixings (at least 0) are settled at the average
 *    settledAverage (not negative): the option pays on
 *    (numSettled settledAverage + the fixings to come) / (numSettled + numFixings);
 *  - firstFixingTime is accepted and not read;
 *  - strikeType 0 fixed strike (strike positive with early exercise), any
 *    other value floating strike (strike not read): calls pay average - strike
 *    or last fixing - average, puts the opposite;
 *  - exerciseType 0 European; any other value exercisable at every fixing
 *    before expiry, by Longstaff–Schwartz regression on the asset and the
 *    average (numBasisFunctions + 1 = 11, 16 or 25 basis functions, any other
 *    count 36); every bumped run of finite differencing fits its own rule. */
TvString VelkAsianOptionPricerMC(double* optionValue, double* delta, double* gamma, double* vega,
                                 double* theta, int32_t* rowCount, double spot, double strike,
                                 double expiry, double volatility, double intRate, double divYield,
                                 int32_t numFixings, int32_t numSettled, double settledAverage,
                                 double firstFixingTime, int32_t optionType, int32_t exerciseType,
                                 int32_t strikeType, int32_t numPaths, int32_t numLSPaths,
                                 int32_t numBasisFunctions, int32_t greeksCode, int32_t greeksMethod,
                                 int32_t timeMarching, int32_t antithetic, int32_t useSobol,
                                 int32_t warmUpSobol, int32_t brownianBridge, int32_t multiThreaded,
                                 int32_t fewSobolBlocks);

#ifdef __cplusplus
}
#endif

#endif
