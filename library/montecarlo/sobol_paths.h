#pragma once

// From a Sobol point to the normals of a path: one coordinate per time step.

#include <cstdint>

#include "montecarlo/brownian_bridge.h"
#include "montecarlo/inverse_normal_cdf.h"

namespace tarvic {

// The step normals of one point: the inverse normals of its first `steps`
// coordinates or, with a bridge (more than one step), the increments of the
// Brownian path the bridge builds from them. bridgePath is scratch of
// `steps` doubles.
inline void sobolStepNormals(const double* point, int32_t steps, const BrownianBridge* bridge, double* z,
                             double* bridgePath)
{
    for (int32_t j = 0; j < steps; ++j)
        z[j] = InverseNormalCdf(point[j]);
    if (bridge && steps > 1) {
        bridge->buildPath(bridgePath, z);
        z[0] = bridgePath[0];
        for (int32_t j = 1; j < steps; ++j)
            z[j] = bridgePath[j] - bridgePath[j - 1];
    }
}

}  // namespace tarvic
