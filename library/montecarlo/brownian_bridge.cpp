#include "montecarlo/brownian_bridge.h"

#include <cmath>
#include <string>

#include "common/require.h"

namespace tarvic {

BrownianBridge::BrownianBridge(int32_t steps)
{
    requireAtLeast(steps, 1, "steps");
    const size_t n = static_cast<size_t>(steps);
    steps_ = steps;
    leftIndex_.assign(n, 0);
    rightIndex_.assign(n, 0);
    bridgeIndex_.assign(n, 0);
    leftWeight_.assign(n, 0.0);
    rightWeight_.assign(n, 0.0);
    stdDev_.assign(n, 0.0);

    // built[m] != 0 once point m is known; the end point is built first.
    std::vector<uint32_t> built(n, 0);
    built[n - 1] = 1;
    bridgeIndex_[0] = static_cast<uint32_t>(n - 1);
    stdDev_[0] = std::sqrt(static_cast<double>(n));

    size_t j = 0;
    for (size_t i = 1; i < n; ++i) {
        while (built[j] != 0) {  // first point not yet built
            if (++j == n)
                j = 0;
        }
        size_t k = j;
        while (built[k] == 0)
            ++k;  // the known point that closes the gap (the end point always is)
        const size_t l = j + ((k - 1 - j) >> 1);  // middle of the gap j .. k-1
        built[l] = static_cast<uint32_t>(i);
        bridgeIndex_[i] = static_cast<uint32_t>(l);
        leftIndex_[i] = static_cast<uint32_t>(j);
        rightIndex_[i] = static_cast<uint32_t>(k);
        const double span = static_cast<double>(k + 1 - j);
        const double before = static_cast<double>(l + 1 - j);
        const double after = static_cast<double>(k - l);
        leftWeight_[i] = after / span;
        rightWeight_[i] = before / span;
        stdDev_[i] = std::sqrt(before * after / span);
        j = k + 1;
        if (j >= n)
            j = 0;  // start the next sweep from the left
    }
}

void BrownianBridge::buildPath(double* path, const double* z) const
{
    const size_t n = static_cast<size_t>(steps_);
    path[n - 1] = stdDev_[0] * z[0];
    for (size_t i = 1; i < n; ++i) {
        const uint32_t j = leftIndex_[i];
        const uint32_t k = rightIndex_[i];
        const uint32_t l = bridgeIndex_[i];
        if (j > 0)
            path[l] = leftWeight_[i] * path[j - 1] + rightWeight_[i] * path[k] + stdDev_[i] * z[i];
        else
            path[l] = rightWeight_[i] * path[k] + stdDev_[i] * z[i];
    }
}

void BrownianBridge::buildPath(std::vector<double>& path, const std::vector<double>& z) const
{
    const size_t n = static_cast<size_t>(steps_);
    if (path.size() != n)
        fail("Invalid input: path must hold " + std::to_string(n) + " values.");
    if (z.size() != n)
        fail("Invalid input: z must hold " + std::to_string(n) + " values.");
    buildPath(path.data(), z.data());
}

}  // namespace tarvic
