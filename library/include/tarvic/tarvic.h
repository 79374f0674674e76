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

/* ---- Finite differences ------------------------------------------------ */

/* Vanilla European, American or Bermudan option on the asset grid.
 * In: *assetSteps, the number of asset steps to the strike; out: the index n
 * of the last grid node, written first. When n > 50000 nothing is solved and
 * no array is touched. Otherwise entries 0..n of the arrays are written
 * (theta per day, vega per volatility point; vega only with calcVega). */
TvString VelkOptionPricer(double* assetGrid, double* optionValue, double* delta, double* gamma,
                          double* theta, double* vega, double strike, int32_t timeSteps,
                          double expiry, double volatility, double intRate, double divYield,
                          int32_t* assetSteps, int32_t optionType, int32_t exerciseType,
                          int32_t discretization, int32_t amerSolver, double maxAsset,
                          int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid,
                          int32_t numPeriods);

#ifdef __cplusplus
}
#endif

#endif
