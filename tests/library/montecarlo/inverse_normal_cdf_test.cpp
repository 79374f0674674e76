#include "montecarlo/inverse_normal_cdf.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace tarvic {
namespace {

// The quantile by Newton's method on Phi in long double: lower-tail
// probabilities through erfc (accurate to the smallest p), and the upper half
// through the complement 1 - p, which is exact in double for p >= 1/2.
long double referenceQuantile(double p)
{
    const bool upper = p > 0.5;
    const long double tail = upper ? 1.0L - static_cast<long double>(p) : static_cast<long double>(p);
    const long double sqrt2 = std::sqrt(2.0L);
    long double x = InverseNormalCdf(upper ? 1.0 - p : p);  // x <= 0
    for (int n = 0; n < 6; ++n) {
        const long double phi = 0.5L * std::erfc(-x / sqrt2);
        const long double density = std::exp(-0.5L * x * x) / std::sqrt(2.0L * 3.14159265358979323846264338327950288L);
        x -= (phi - tail) / density;
    }
    return upper ? -x : x;
}

TEST(InverseNormalCdf, WithinAcklamAccuracyOfAHighPrecisionQuantile)
{
    double worst = 0.0;
    auto check = [&](double p) {
        const long double reference = referenceQuantile(p);
        const double x = InverseNormalCdf(p);
        const double relative = reference == 0.0L ? std::abs(x)
                                                  : static_cast<double>(std::abs((x - reference) / reference));
        worst = std::max(worst, relative);
        EXPECT_LE(relative, 1.2e-9) << "p = " << p;
    };
    for (double e = -300.0; e <= -1.0; e += 0.25)
        check(std::pow(10.0, e));
    for (int i = 1; i < 2000; ++i) {
        check(i / 2000.0);
        check(0.02425 + (i - 1000) * 1e-6);
        check(0.97575 + (i - 1000) * 1e-6);
    }
    for (double e = -16.0; e <= -1.0; e += 0.25)
        check(1.0 - std::pow(10.0, e));
    EXPECT_GT(worst, 1e-10);  // the approximation is used as it is, without refinement
}

TEST(InverseNormalCdf, KnownQuantiles)
{
    EXPECT_EQ(InverseNormalCdf(0.5), 0.0);
    EXPECT_NEAR(InverseNormalCdf(0.975), 1.959963984540054, 1.2e-9 * 1.96);
    EXPECT_NEAR(InverseNormalCdf(0.0001), -3.719016485455709, 1.2e-9 * 3.72);
    EXPECT_NEAR(InverseNormalCdf(0.8413447460685429), 1.0, 1.2e-9);
    for (double p : {1e-10, 0.01, 0.3, 0.7, 0.99})
        EXPECT_NEAR(InverseNormalCdf(p), -InverseNormalCdf(1.0 - p), 3e-9 * std::abs(InverseNormalCdf(p)));
}

TEST(InverseNormalCdf, ContinuousWhereTheRegionsMeet)
{
    for (double edge : {0.02425, 0.97575}) {
        const double below = InverseNormalCdf(std::nextafter(edge, 0.0));
        const double above = InverseNormalCdf(std::nextafter(edge, 1.0));
        // Each side is within Acklam's 1.15e-9 relative error of the quantile.
        EXPECT_NEAR(below, above, 2.4e-9 * std::abs(below)) << "at " << edge;
        EXPECT_LT(below, above);
    }
}

TEST(InverseNormalCdf, EndsAreInfiniteAndOutsideIsRefused)
{
    EXPECT_EQ(InverseNormalCdf(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(InverseNormalCdf(1.0), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isfinite(InverseNormalCdf(std::numeric_limits<double>::denorm_min())));
    EXPECT_TRUE(std::isfinite(InverseNormalCdf(std::nextafter(1.0, 0.0))));
    for (double p : {-0.1, 1.5, -std::numeric_limits<double>::infinity(), std::nan("")}) {
        try {
            InverseNormalCdf(p);
            FAIL() << "accepted " << p;
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(std::string(error.what()), "Invalid input: p must lie between 0 and 1.");
        }
    }
}

}  // namespace
}  // namespace tarvic
