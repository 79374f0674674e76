#include "montecarlo/brownian_bridge.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "montecarlo/random_generator64.h"
#include "montecarlo/ziggurat_normal.h"

namespace tarvic {
namespace {

TEST(BrownianBridge, TablesOfOneTwoAndFourPoints)
{
    const BrownianBridge one(1);
    std::vector<double> path(1), z{0.7};
    one.buildPath(path, z);
    EXPECT_EQ(path[0], 0.7);

    const BrownianBridge two(2);
    EXPECT_EQ(two.bridgeIndex(0), 1u);
    EXPECT_EQ(two.stdDev(0), std::sqrt(2.0));
    EXPECT_EQ(two.bridgeIndex(1), 0u);
    EXPECT_EQ(two.leftIndex(1), 0u);
    EXPECT_EQ(two.rightIndex(1), 1u);
    EXPECT_EQ(two.rightWeight(1), 0.5);
    EXPECT_EQ(two.stdDev(1), std::sqrt(0.5));

    const BrownianBridge four(4);
    const uint32_t order[] = {3, 1, 0, 2};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(four.bridgeIndex(i), order[i]) << "step " << i;
    // Step 1 fills time 2 between W(0) and W(4); step 3 fills time 3 between
    // W(2) (point 1) and W(4) (point 3).
    EXPECT_EQ(four.rightWeight(1), 0.5);
    EXPECT_EQ(four.stdDev(1), 1.0);
    EXPECT_EQ(four.leftIndex(3), 2u);
    EXPECT_EQ(four.rightIndex(3), 3u);
    EXPECT_EQ(four.leftWeight(3), 0.5);
    EXPECT_EQ(four.stdDev(3), std::sqrt(0.5));
}

// The path is a linear map A z of the normals; feeding the unit vectors gives
// the columns of A, and A A^T must be the covariance min(s, t) of Brownian
// motion at the times 1 .. n.
TEST(BrownianBridge, PathCovarianceIsMinOfTheTimesExactly)
{
    for (int32_t n : {1, 2, 3, 4, 5, 7, 8, 12, 16, 31, 33, 100, 257}) {
        const BrownianBridge bridge(n);
        const size_t m = static_cast<size_t>(n);
        std::vector<double> a(m * m), z(m, 0.0), path(m);
        for (size_t c = 0; c < m; ++c) {
            z[c] = 1.0;
            bridge.buildPath(path.data(), z.data());
            z[c] = 0.0;
            for (size_t r = 0; r < m; ++r)
                a[r * m + c] = path[r];
        }
        // Every point is built exactly once.
        std::vector<uint32_t> order(m);
        for (size_t i = 0; i < m; ++i)
            order[i] = bridge.bridgeIndex(i);
        std::sort(order.begin(), order.end());
        for (size_t i = 0; i < m; ++i)
            ASSERT_EQ(order[i], i) << n << " points";
        for (size_t s = 0; s < m; ++s)
            for (size_t t = 0; t <= s; ++t) {
                double covariance = 0.0;
                for (size_t c = 0; c < m; ++c)
                    covariance += a[s * m + c] * a[t * m + c];
                ASSERT_NEAR(covariance, static_cast<double>(std::min(s, t) + 1), 1e-11 * n)
                    << n << " points, times " << s + 1 << " and " << t + 1;
            }
    }
}

TEST(BrownianBridge, SampledPathsHaveCovarianceMinOfTheTimes)
{
    const int32_t n = 6;
    const size_t paths = 100000;
    const BrownianBridge bridge(n);
    RandomGenerator64 generator(27);
    double z[n], w[n];
    double sums[n][n] = {};
    for (size_t p = 0; p < paths; ++p) {
        for (double& x : z)
            x = ZigguratNormal(generator);
        bridge.buildPath(w, z);
        for (int s = 0; s < n; ++s)
            for (int t = 0; t <= s; ++t)
                sums[s][t] += w[s] * w[t];
    }
    for (int s = 0; s < n; ++s)
        for (int t = 0; t <= s; ++t) {
            const double expected = std::min(s, t) + 1.0;
            // Standard error of a sample second moment of a normal pair.
            const double error = std::sqrt(((s + 1.0) * (t + 1.0) + expected * expected) / paths);
            EXPECT_NEAR(sums[s][t] / paths, expected, 5.0 * error) << "times " << s + 1 << ", " << t + 1;
        }
}

TEST(BrownianBridge, CopiesAreIndependentValues)
{
    BrownianBridge copy(3);
    {
        const BrownianBridge original(9);
        copy = original;
    }
    EXPECT_EQ(copy.steps(), 9);
    std::vector<double> z(9, 1.0), path(9);
    copy.buildPath(path, z);
    EXPECT_NEAR(path[8], 3.0 * std::sqrt(1.0) * 1.0 * 1.0 + 0.0 * 0.0, 1e-15);  // sqrt(9) z_0
}

TEST(BrownianBridge, BadArgumentsAreNamed)
{
    for (int32_t n : {0, -4}) {
        try {
            BrownianBridge bridge(n);
            FAIL() << "accepted " << n;
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()), "Invalid input: steps must be at least 1.");
        }
    }
    const BrownianBridge bridge(4);
    std::vector<double> shortPath(3), path(4), z(4), shortZ(2);
    EXPECT_THROW(bridge.buildPath(shortPath, z), std::invalid_argument);
    EXPECT_THROW(bridge.buildPath(path, shortZ), std::invalid_argument);
}

}  // namespace
}  // namespace tarvic
