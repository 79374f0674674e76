#pragma once

// The sinh stretching of the strike-clustered grids: where the strike sits in
// the stretched coordinate, and the stretching that makes the grid reach its
// top. Shared by the vanilla grid from 0 and the down-barrier grids, which
// run the same construction from the barrier.

#include <cmath>

namespace tarvic {

// Position of the strike in the stretched coordinate, fitted to x = K / top
// (x = 1/m for a grid from 0 to m K).
inline double strikePosition(double x)
{
    return ((((1996.8 * x - 2055.6) * x + 797.29) * x - 145.77) * x + 13.803) * x - 0.3483;
}

// Stretching a with sinh(a(1 - xi)) / sinh(a xi) = m - 1, by the secant
// method from 1 and 10 (at most 1000 steps, stop when the step is below 1e-12).
inline double sinhStretching(double xi, double m)
{
    auto f = [&](double a) { return std::sinh(a * (1.0 - xi)) / std::sinh(a * xi) + 1.0 - m; };
    double aPrev = 1.0;
    double a = 10.0;
    double fPrev = f(aPrev);
    for (int k = 0; k < 1000; ++k) {
        const double fa = f(a);
        const double delta = (a - aPrev) * fa / (fa - fPrev);
        if (std::fabs(delta) < 1e-12)
            break;
        aPrev = a;
        fPrev = fa;
        a -= delta;
    }
    return a;
}

}  // namespace tarvic
