#pragma once

// Standard normal deviates by a 128-layer ziggurat (Marsaglia and Tsang) on
// RandomGenerator64. Layer 0 is the top of the ziggurat, layer 127 the base
// that holds the tail beyond R. With abscissae x_0 = 0 < x_1 < ... < x_127 = R
// and x_128 = v / exp(-R^2/2), every layer has the area v:
//   x_{i+1} (exp(-x_i^2/2) - exp(-x_{i+1}^2/2)) = v,   i = 0 .. 126,
//   R exp(-R^2/2) + integral_R^inf exp(-t^2/2) dt = v.
// The tables (12 significant digits):
//   f[i] = exp(-x_i^2/2),  w[i] = x_{i+1} 2^-24,  k[i] = floor(2^24 x_i / x_{i+1}).
// A draw takes 24 bits j, a layer i and a sign from one 32-bit word; j < k[i]
// means the point lies inside the rectangle under the curve (about 97% of draws).

#include <cstdint>

#include "montecarlo/random_generator64.h"

namespace tarvic {

namespace ziggurat {

constexpr int kLayers = 128;
constexpr double kR = 3.44428647676;          // x_127, start of the tail
constexpr double kHalfR = 1.72214323838;      // R / 2
constexpr double kLayerArea = 9.91300290814e-3;  // v

// Sign of a draw by bit 7 of its word: clear gives -1, set gives +1 (a look-up
// instead of a branch that is taken half the time at random).
constexpr double kSign[2] = {-1.0, 1.0};

extern const double f[kLayers];
extern const double w[kLayers];
extern const uint32_t k[kLayers];

// Wedge and tail tests of a draw that left the rectangle of layer i (with
// x = j w[i] and the sign already taken); returns the deviate.
double rejectionPath(RandomGenerator64& generator, uint32_t i, double x, double sign);

}  // namespace ziggurat

// One standard normal deviate drawn from the generator.
inline double ZigguratNormal(RandomGenerator64& generator)
{
    const uint32_t r = static_cast<uint32_t>(generator.next());
    const uint32_t i = r & 127u;
    const double sign = ziggurat::kSign[(r >> 7) & 1u];
    const uint32_t j = r >> 8;
    const double x = static_cast<double>(j) * ziggurat::w[i];
    if (j < ziggurat::k[i])
        return sign * x;
    return ziggurat::rejectionPath(generator, i, x, sign);
}

}  // namespace tarvic
