#include "montecarlo/ziggurat_normal.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace tarvic {
namespace {

using ziggurat::f;
using ziggurat::k;
using ziggurat::kLayerArea;
using ziggurat::kLayers;
using ziggurat::kR;
using ziggurat::w;

constexpr double kTwo24 = 16777216.0;

// Abscissa x_i of the ziggurat recovered from the tables: x_{i+1} = 2^24 w[i].
double abscissa(int i) { return i == 0 ? 0.0 : kTwo24 * w[i - 1]; }

double normalCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

TEST(ZigguratTables, TellingRows)
{
    struct Row {
        int i;
        double f;
        uint32_t k;
        double w;
    };
    const Row rows[] = {
        {0, 1.0, 0, 1.62318314817e-08},
        {1, 0.963598623011, 12590644, 2.16291505214e-08},
        {2, 0.936280813353, 14272653, 2.54246305087e-08},
        {64, 0.308745638367, 16629465, 9.21933373471e-08},
        {126, 0.00553245272614, 15704248, 2.05295471952e-07},
        {127, 0.00265435214565, 15472926, 2.22600839893e-07},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(f[row.i], row.f) << "layer " << row.i;
        EXPECT_EQ(k[row.i], row.k) << "layer " << row.i;
        EXPECT_EQ(w[row.i], row.w) << "layer " << row.i;
    }
}

TEST(ZigguratTables, EveryLayerHasTheSameArea)
{
    // Layer i spans heights f[i+1] .. f[i] with width x_{i+1}.
    for (int i = 0; i + 1 < kLayers; ++i) {
        const double area = abscissa(i + 1) * (f[i] - f[i + 1]);
        EXPECT_NEAR(area / kLayerArea, 1.0, 1e-9) << "layer " << i;
    }
    // Base: the rectangle under f(R) of width x_128 has the area v. Beyond R
    // the tail is drawn under the envelope exp(-R (x - R/2)), of area f(R)/R,
    // and a rejected tail draw starts afresh, so the base is the rectangle of
    // width R plus that envelope: x_128 = R + 1/R.
    const double fR = std::exp(-0.5 * kR * kR);
    EXPECT_NEAR(kTwo24 * w[kLayers - 1] * f[kLayers - 1] / kLayerArea, 1.0, 1e-11);
    EXPECT_NEAR((kR * fR + fR / kR) / kLayerArea, 1.0, 1e-10);
    EXPECT_NEAR(kTwo24 * w[kLayers - 1], kR + 1.0 / kR, 1e-10);
    EXPECT_EQ(ziggurat::kHalfR, 1.72214323838);
}

TEST(ZigguratTables, HeightsAndRectangleThresholdsFollowTheAbscissae)
{
    EXPECT_NEAR(abscissa(kLayers - 1), kR, 1e-10);
    double meanInside = 0.0;
    for (int i = 0; i < kLayers; ++i) {
        const double x = abscissa(i);
        const double next = kTwo24 * w[i];
        EXPECT_NEAR(f[i] / std::exp(-0.5 * x * x), 1.0, 5e-11) << "layer " << i;
        const double threshold = std::floor(kTwo24 * x / next);
        EXPECT_LE(std::abs(static_cast<double>(k[i]) - threshold), 1.0) << "layer " << i;
        meanInside += k[i] / kTwo24 / kLayers;
    }
    EXPECT_EQ(k[0], 0u);  // the top layer always goes to the wedge test
    EXPECT_NEAR(meanInside, 0.972, 5e-4);
}

// Draws inside a layer's rectangle are j w[i] with the sign of bit 7,
// straight from the 64-bit output.
TEST(ZigguratNormal, FirstDrawsInsideTheRectanglesComeStraightFromTheOutput)
{
    for (int32_t seed : {17, 19, 48}) {
        RandomGenerator64 generator(seed);
        RandomGenerator64 reference(seed);
        int checked = 0;
        for (; checked < 50; ++checked) {
            const uint32_t r = static_cast<uint32_t>(reference.next());
            const uint32_t i = r & 127u, j = r >> 8;
            if (j >= k[i])
                break;
            const double expected = ((r & 128u) ? 1.0 : -1.0) * j * w[i];
            ASSERT_EQ(ZigguratNormal(generator), expected) << "seed " << seed << ", draw " << checked;
        }
        EXPECT_GE(checked, 5) << "seed " << seed;
    }
}

TEST(ZigguratNormal, SameGeneratorStateGivesTheSameDeviates)
{
    RandomGenerator64 a(25), b(25);
    for (int n = 0; n < 10000; ++n)
        ASSERT_EQ(ZigguratNormal(a), ZigguratNormal(b));
    EXPECT_EQ(a, b);
}

class ZigguratSample : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RandomGenerator64 generator(17);
        sample_ = new std::vector<double>(kCount);
        for (double& z : *sample_)
            z = ZigguratNormal(generator);
    }
    static void TearDownTestSuite()
    {
        delete sample_;
        sample_ = nullptr;
    }
    static constexpr size_t kCount = 400000;
    static std::vector<double>* sample_;
};
std::vector<double>* ZigguratSample::sample_ = nullptr;

TEST_F(ZigguratSample, MomentsAreThoseOfTheStandardNormal)
{
    const double n = static_cast<double>(kCount);
    double m1 = 0, m2 = 0, m3 = 0, m4 = 0;
    for (double z : *sample_) {
        const double z2 = z * z;
        m1 += z;
        m2 += z2;
        m3 += z2 * z;
        m4 += z2 * z2;
    }
    m1 /= n, m2 /= n, m3 /= n, m4 /= n;
    // Five standard errors of each sample moment.
    EXPECT_NEAR(m1, 0.0, 5.0 * std::sqrt(1.0 / n));
    EXPECT_NEAR(m2, 1.0, 5.0 * std::sqrt(2.0 / n));
    EXPECT_NEAR(m3, 0.0, 5.0 * std::sqrt(15.0 / n));
    EXPECT_NEAR(m4, 3.0, 5.0 * std::sqrt(96.0 / n));
}

TEST_F(ZigguratSample, EmpiricalDistributionStaysCloseToPhi)
{
    std::vector<double> sorted = *sample_;
    std::sort(sorted.begin(), sorted.end());
    const double n = static_cast<double>(sorted.size());
    double distance = 0.0;
    for (size_t i = 0; i < sorted.size(); ++i) {
        const double phi = normalCdf(sorted[i]);
        distance = std::max({distance, std::abs(phi - i / n), std::abs((i + 1) / n - phi)});
    }
    // Kolmogorov-Smirnov critical value at the 0.1% level.
    EXPECT_LT(distance, 1.95 / std::sqrt(n));
}

TEST_F(ZigguratSample, TailBeyondRHasTheNormalWeightAndShape)
{
    double count = 0.0, excess = 0.0;
    for (double z : *sample_) {
        if (std::abs(z) > kR) {
            count += 1.0;
            excess += std::abs(z) - kR;
        }
    }
    const double expected = kCount * std::erfc(kR / std::sqrt(2.0));
    EXPECT_NEAR(count, expected, 5.0 * std::sqrt(expected));
    // E[Z - R | Z > R] = phi(R) / Q(R) - R.
    const double q = 0.5 * std::erfc(kR / std::sqrt(2.0));
    const double meanExcess = std::exp(-0.5 * kR * kR) / std::sqrt(2.0 * M_PI) / q - kR;
    EXPECT_NEAR(excess / count, meanExcess, 5.0 * meanExcess / std::sqrt(count));
}

}  // namespace
}  // namespace tarvic
