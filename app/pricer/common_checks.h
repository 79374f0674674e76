// The checks that the finite-difference and the Monte Carlo runs both make,
// in their words: the market data within their limits, and an Asian
// contract's fixings. Each adds its refusal to the trail and returns false,
// or passes.
#pragma once

#include "pricer/input_check_steps.h"

#include <QString>

#include <cstdint>

namespace tarvic {

// An interest rate and a dividend yield of at most 50%.
bool ratesAtMostHalf(CheckTrail& trail, const ProductInputs& in);
// A strike of at most 10000.
bool strikeAtMostTenThousand(CheckTrail& trail, const ProductInputs& in);
// A time to expiry from 0.0001 years to `years` ("5" or "2" in the
// message).
bool expiryWithin(CheckTrail& trail, const ProductInputs& in, double years);
// A volatility from 3% to 100%.
bool volatilityWithinLimits(CheckTrail& trail, const ProductInputs& in);

// The fixings still to come; a difference beyond 32 bits raises the
// runtime's overflow.
int32_t fixingsToCome(const ProductInputs& in);

// At least one fixing still to come.
bool settledFixingsLeaveOneToCome(CheckTrail& trail, const ProductInputs& in);

// Equally spaced fixings over the time to expiry: the settled ones must not
// reach back more than ten years.
bool averageRunsAtMostTenYears(CheckTrail& trail, const ProductInputs& in);

// A floating strike takes the spot (as typed, assetText) for its first
// settled fixing: a warning and the two boxes written when the boxes say
// otherwise, after which the counts must still pass; with more than one
// settled fixing their average must lie within the model's bounds (the
// message gives them in percent of the spot, as percentPattern formats).
bool floatingStrikeFixingsPass(CheckTrail& trail, ProductInputs& in, const QString& assetText,
                               const QString& percentPattern, const AverageLimits& limits);

}  // namespace tarvic
