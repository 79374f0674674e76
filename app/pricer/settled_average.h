// The range the average of the settled fixings can lie in under the model.
#pragma once

namespace tarvic {

struct ProductInputs;

// Looking back from today's spot five standard deviations either way, with
// the settled fixings spaced as the remaining ones: the lower and upper
// bound of their average, in asset units (rounded to 1e-4 of the spot).
// Uses gAsset, gVol, gIntRate, gExpiry, gSmplPoints and gNFixed. Raises the
// runtime's errors where the arithmetic fails (a count beyond 32 bits, a
// division by zero, an overflow); lower is written before upper, so a
// fault in the upper bound leaves the lower one found.
void settledAverageLimits(const ProductInputs& inputs, double& lower, double& upper);

}  // namespace tarvic
