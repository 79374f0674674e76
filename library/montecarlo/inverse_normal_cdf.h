#pragma once

// Inverse of the standard normal distribution function by Acklam's rational
// approximation (relative error below 1.15e-9 over (0, 1)), without a
// refinement step: a central rational function in (p - 1/2)^2 for
// 0.02425 <= p <= 0.97575 and a rational function of sqrt(-2 ln p) in each
// tail.

namespace tarvic {

// The x with Phi(x) = p. p = 0 gives -infinity and p = 1 gives +infinity;
// a p outside [0, 1] or NaN fails with a message naming p.
double InverseNormalCdf(double p);

}  // namespace tarvic
