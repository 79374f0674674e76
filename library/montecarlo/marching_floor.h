#pragma once

// What holding the asset at 0 does to the Euler and Milstein schemes.
//
// Both schemes multiply the asset by a factor each step,
//   Euler     f = c + h z,                      c = 1 + mu dt, h = sigma sqrt(dt),
//   Milstein  f = c + h z + h^2 (z^2 - 1) / 2,
// with mean c and variance v = h^2 (Euler) or h^2 + h^4 / 2 (Milstein). The
// factor falls below 0 for a large enough normal (Euler for z < -c / h,
// Milstein between the roots of f when h^2 > 2 c - 1); the paths then hold
// the asset at 0, as geometric Brownian motion's absorbing 0 would, so a step
// multiplies the asset's mean by E[f+] = c + g instead of c, where
//   Euler     g = h phi(c / h) - c Phi(-c / h)     (the normal's loss function)
//   Milstein  g = E[-f; z1 < z < z2], by the normal's truncated moments.
// After N steps the mean stands above the scheme's own forward by the
// fraction  lift = ((c + g) / c)^N - 1.
// g S is the mean of the part of a step that lies below 0 (E[f-] = g), the
// mass that geometric Brownian motion does not have: a payoff that moves
// with the asset at most one for one (calls, puts, averages) can be moved by
// it as far as the lift moves the mean. So a call priced on such steps can
// exceed the spot after its yield, the most it can be worth: at volatility
// 5 on one Euler step it is priced at about twice the spot.
//
// An estimate of n paths has the standard error sd / sqrt(n); for those
// payoffs the asset's own relative spread under the scheme bounds it:
//   error = sqrt(((c^2 + v) / c^2)^N - 1) / sqrt(n).
// While lift stays within kFloorStandardErrors of that error the mass below
// 0 moves the estimate by less than the noise the path count leaves in it
// (the band a reader takes as the estimate's error), and the estimate is as
// good as the scheme's steps; beyond it the estimate shows the mass below 0
// rather than the contract. Ordinary volatilities on a few steps stay within
// it (one Euler step at volatility 0.5 on 50 thousand paths lifts the mean
// by 0.35 %, against a band of 0.66 %). With c <= 0 (mu dt <= -1) the scheme's forward
// is not even positive.

#include <cstdint>

namespace tarvic {

// The standard errors an estimate's error band holds.
inline constexpr double kFloorStandardErrors = 3.0;

struct MarchingFloorEffect {
    double belowZero = 0.0;  // chance that one step's factor falls below 0
    double lift = 0.0;       // the mean after the last step over the scheme's forward, less 1
    double error = 0.0;      // relative standard error of the mean of n paths
};

// The floor's effect on Euler or Milstein steps (exact marching: none).
MarchingFloorEffect marchingFloorEffect(int32_t marching, double mu, double sigma, double expiry, int32_t steps,
                                        double paths);

// Whether the estimate of the given paths may be trusted: exact marching
// always, Euler and Milstein while c > 0 and lift <= kFloorStandardErrors
// times the error.
bool marchingFloorWithinError(int32_t marching, double mu, double sigma, double expiry, int32_t steps,
                              double paths);

// Fails with a text naming the time steps (stepsName, which the caller may
// raise: a hint of the count that would do) or exact marching when the
// floor moves the estimate beyond its error.
void requireMarchingFloorWithinError(int32_t marching, double mu, double sigma, double expiry, int32_t steps,
                                     double paths, const char* stepsName, bool stepsMayBeRaised);

}  // namespace tarvic
