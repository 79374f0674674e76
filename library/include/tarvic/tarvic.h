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

/* ---- Monte Carlo ------------------------------------------------------ */

/* Vanilla and barrier options by simulation. Writes one row per checkpoint
 * of the running estimate (row i = estimate after i+1 equal blocks of paths)
 * and the number of rows through rowCount: 500 rows with pseudo-random
 * numbers; with Sobol points one row per block, at most 512. Flags count by
 * their low byte.
 *  - lowerBarrier, upperBarrier: 0 = none; knockOut 1 knock-out, 0 knock-in;
 *  - numPaths (and numLSPaths): Sobol points: the exponent k of 2^k paths
 *    (0..30); pseudo-random numbers: thousands of paths;
 *  - greeksCode: 1000 delta and gamma + 100 vega + 10 theta; greeksMethod
 *    1 likelihood ratio, 2 finite differencing, other values none;
 *  - timeMarching 1 exact, 2 Euler, 3 Milstein; exerciseType 0 European.
 * vega is per volatility point, theta per calendar day. Arrays of
 * sensitivities that are not asked for keep their contents; on failure
 * neither rowCount nor any array is written. */
TvString VelkOptionPricerMC(double* optionValue, double* delta, double* gamma, double* vega, double* theta,
                            int32_t* rowCount, double spot, double strike, double lowerBarrier,
                            double upperBarrier, double expiry, double volatility, double intRate,
                            double divYield, int32_t numSteps, int32_t optionType, int32_t exerciseType,
                            int32_t knockOut, int32_t contMonitoring, int32_t numPaths, int32_t numLSPaths,
                            int32_t numBasisFunctions, int32_t greeksCode, int32_t greeksMethod,
                            int32_t timeMarching, int32_t antithetic, int32_t useSobol, int32_t warmUpSobol,
                            int32_t brownianBridge, int32_t multiThreaded, int32_t fewSobolBlocks);

#ifdef __cplusplus
}
#endif

#endif
