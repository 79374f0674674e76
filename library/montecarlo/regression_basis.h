#pragma once

// Basis sets of the Longstaff-Schwartz regressions: functions of the asset
// coordinate x (vanilla and barrier engines) or of the asset and average
// coordinates (x, y) (Asian engines), both in units of the strike.
//
// L_n is the Laguerre polynomial of degree n (L_0 = 1, L_1 = 1 - x,
// L_(n+1) = ((2n + 1 - x) L_n - n L_(n-1)) / (n + 1)); g_n(x) = e^(-x/2) L_n(x)
// and h_n(y) = e^(-y/2) L_n(y) are the weighted Laguerre functions. Degrees up
// to 4 use the explicit polynomials; the eleven- and thirteen-function sets
// run the recurrence on the weighted values from g_0 and g_1.
//
//   powerBasis4         1, x, x^2, x^3
//   laguerreBasis5      1, g_0 .. g_3
//   laguerreBasis6      1, g_0 .. g_4
//   laguerreBasis7Call  1, g_0 .. g_4, max(x - 1, 0)
//   laguerreBasis7Put   1, g_0 .. g_4, max(1 - x, 0)
//   laguerreBasis11     1, g_0 .. g_9
//   laguerreBasis13     1, g_0 .. g_9, max(x - 1, 0), max(1 - x, 0)
//
//   laguerreBasis2D24   1; L_1..L_4(x); L_1..L_4(y); L_j(y) L_i(x) for
//                       i = 1..4 (outer), j = 1..4 (inner) but not i = j = 4
//   laguerreBasis2D13   1; g_0..g_2(x); h_0..h_2(y); h_0 g_0, h_1 g_0, h_2 g_0,
//                       h_0 g_1, h_1 g_1, h_0 g_2
//   laguerreBasis2D16   1; g_0..g_2(x); h_0..h_2(y); h_j g_i, i outer, j inner
//   laguerreBasis2D25   1; e^(-x/2), L_1..L_3(x); e^(-y/2), L_1..L_3(y); every
//                       y-function times every x-function, x-function outer
//   laguerreBasis2D36   the same with L_1..L_4
//
// Each set evaluates its functions directly, one exponential per coordinate,
// into the caller's array (no allocation).

#include <cstdint>

#include "montecarlo/dense_matrix.h"
#include "montecarlo/svd.h"

namespace tarvic {

extern const BasisFunctions powerBasis4;
extern const BasisFunctions laguerreBasis5;
extern const BasisFunctions laguerreBasis6;
extern const BasisFunctions laguerreBasis7Call;
extern const BasisFunctions laguerreBasis7Put;
extern const BasisFunctions laguerreBasis11;
extern const BasisFunctions laguerreBasis13;

extern const BasisFunctions laguerreBasis2D24;
extern const BasisFunctions laguerreBasis2D13;
extern const BasisFunctions laguerreBasis2D16;
extern const BasisFunctions laguerreBasis2D25;
extern const BasisFunctions laguerreBasis2D36;

// The set of the vanilla and barrier engines for a basis count (the
// export's number of basis functions plus one): 4, 5, 6, 7 (the call or the
// put set by optionType, 0 call, 1 put), 11; any other count, and 7 with
// another option type, takes the thirteen-function set. The set's count is
// the count the engine uses from then on.
const BasisFunctions& exerciseBasisFor(int32_t basisCount, int32_t optionType);

// The set of the Asian engines: 11 -> laguerreBasis2D13, 16, 25, any other
// count -> laguerreBasis2D36.
const BasisFunctions& asianBasisFor(int32_t basisCount);

// The values of a set at one point, as a new vector (for callers outside hot
// loops).
Vector<double> basisValues(const BasisFunctions& basis, const double* point);

}  // namespace tarvic
