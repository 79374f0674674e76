#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "closedform/closed_form.h"

namespace {

using tarvic::blackScholesPrice;
using tarvic::intPow;
using tarvic::normalCdf;

TEST(NormalCdf, FixedPoints)
{
    EXPECT_EQ(normalCdf(0.0), 0.5);
    EXPECT_EQ(normalCdf(-37.5), 0.0);
    EXPECT_EQ(normalCdf(40.0), 1.0);
    EXPECT_EQ(normalCdf(-std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(normalCdf(std::numeric_limits<double>::infinity()), 1.0);
    EXPECT_TRUE(std::isnan(normalCdf(std::numeric_limits<double>::quiet_NaN())));
}

double exactCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// Largest error of normalCdf against erfc on [from, to]: absolute, and
// relative to the smaller of N(x) and 1 - N(x) (the tail, which carries the
// information).
struct CdfError {
    double absolute = 0.0;
    double relativeTail = 0.0;
};

CdfError cdfError(double from, double to, double step)
{
    CdfError e;
    for (double x = from; x <= to; x += step) {
        const double exact = exactCdf(x);
        const double error = std::fabs(normalCdf(x) - exact);
        e.absolute = std::max(e.absolute, error);
        e.relativeTail = std::max(e.relativeTail, error / std::min(exact, exactCdf(-x)));
    }
    return e;
}

TEST(NormalCdf, MatchesErfc)
{
    // Absolute accuracy to an ulp of 1 over the whole range, both branches.
    EXPECT_LT(cdfError(-37.0, 37.0, 0.00137).absolute, 3e-16);
    // The tail itself to ~1e-14 relative within two and a half standard
    // deviations, 1e-13 within three.
    EXPECT_LT(cdfError(-2.5, 2.5, 0.0003).relativeTail, 2e-14);
    EXPECT_LT(cdfError(-3.0, 3.0, 0.0003).relativeTail, 1e-13);
    // Further out the rational form and the continued fraction keep about
    // eight figures of the tail (an absolute error below 1e-20 there).
    EXPECT_LT(cdfError(-37.0, -3.0, 0.00137).relativeTail, 1e-8);
    // At the switch to the continued fraction the two forms agree closely.
    const double seam = 7.07106781186547;
    EXPECT_NEAR(normalCdf(-seam) / exactCdf(-seam), 1.0, 1e-8);
    EXPECT_NEAR(normalCdf(-std::nextafter(seam, 0.0)) / normalCdf(-seam), 1.0, 1e-8);
}

TEST(NormalCdf, SymmetricAndMonotone)
{
    double previous = 0.0;
    for (double x = -10.0; x <= 10.0; x += 0.001) {
        const double value = normalCdf(x);
        EXPECT_GE(value, previous);
        EXPECT_NEAR(value + normalCdf(-x), 1.0, 2e-16);
        previous = value;
    }
}

TEST(IntPow, SmallAndExtremeExponents)
{
    EXPECT_EQ(intPow(2.0, 0), 1.0);
    EXPECT_EQ(intPow(2.0, 10), 1024.0);
    EXPECT_EQ(intPow(-3.0, 3), -27.0);
    EXPECT_EQ(intPow(2.0, -2), 0.25);
    EXPECT_DOUBLE_EQ(intPow(1.2, 10), std::pow(1.2, 10));
    EXPECT_DOUBLE_EQ(intPow(0.8, -7), std::pow(0.8, -7));
    // The whole 32-bit range, without overflow of the exponent.
    EXPECT_EQ(intPow(1.0, INT32_MIN), 1.0);
    EXPECT_EQ(intPow(2.0, INT32_MIN), 0.0);
    EXPECT_EQ(intPow(2.0, INT32_MAX), std::numeric_limits<double>::infinity());
    EXPECT_EQ(intPow(-1.0, INT32_MAX), -1.0);
    EXPECT_TRUE(std::isnan(intPow(std::numeric_limits<double>::quiet_NaN(), 5)));
}

TEST(BlackScholesPrice, PublishedValuesAndParity)
{
    EXPECT_NEAR(blackScholesPrice(60, 65, 0.08, 0.0, 0.3, 0.25, 0), 2.1334, 5e-5);
    EXPECT_NEAR(blackScholesPrice(100, 95, 0.1, 0.05, 0.2, 0.5, 1), 2.4648, 5e-5);
    for (double S : {50.0, 95.0, 100.0, 160.0}) {
        const double call = blackScholesPrice(S, 100, 0.07, 0.03, 0.35, 0.75, 0);
        const double put = blackScholesPrice(S, 100, 0.07, 0.03, 0.35, 0.75, 1);
        EXPECT_NEAR(call - put, S * std::exp(-0.03 * 0.75) - 100 * std::exp(-0.07 * 0.75), 1e-12);
    }
    // Any type other than 0 is a put.
    EXPECT_EQ(blackScholesPrice(100, 95, 0.1, 0.05, 0.2, 0.5, 5),
              blackScholesPrice(100, 95, 0.1, 0.05, 0.2, 0.5, 1));
}

TEST(BlackScholesPrice, ZeroVolatilityIsTheDiscountedForward)
{
    const double DS = 100 * std::exp(-0.02 * 1.0), DK = 80 * std::exp(-0.05 * 1.0);
    EXPECT_NEAR(blackScholesPrice(100, 80, 0.05, 0.02, 0.0, 1.0, 0), DS - DK, 1e-12);
    EXPECT_NEAR(blackScholesPrice(100, 80, 0.05, 0.02, 0.0, 1.0, 1), 0.0, 1e-12);
    const tarvic::SpotSensitivities s =
        tarvic::blackScholesSensitivities(100, 80, 0.05, 0.02, 0.0, 1.0, 0);
    EXPECT_NEAR(s.value, DS - DK, 1e-12);
    EXPECT_NEAR(s.delta, std::exp(-0.02), 1e-15);
    EXPECT_EQ(s.gamma, 0.0);
}

TEST(BlackScholesSensitivities, GammaIsZeroAtZeroSpot)
{
    const tarvic::SpotSensitivities s =
        tarvic::blackScholesSensitivities(0.0, 100, 0.05, 0.0, 0.2, 1.0, 1);
    EXPECT_EQ(s.gamma, 0.0);
    EXPECT_NEAR(s.value, 100 * std::exp(-0.05), 1e-12);
}

}  // namespace
