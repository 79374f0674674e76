// VelkOptionPricer through the shared library, as its callers see it: the
// node-count rule, the re-solve rules of theta and vega, flags, failures.

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pde/fd_frame.h"
#include "support/caller_arrays.h"
#include "support/reference_pricing.h"
#include "tarvic/tarvic.h"

namespace {

using tarvic_test::CallerArrays;
using tarvic_test::kSentinel;
using tarvic_test::kGrid;
using tarvic_test::kValue;
using tarvic_test::kDelta;
using tarvic_test::kGamma;
using tarvic_test::kTheta;
using tarvic_test::kVega;

struct VanillaCall {
    double strike = 100.0;
    int32_t timeSteps = 100;
    double expiry = 0.5;
    double volatility = 0.25;
    double intRate = 0.08;
    double divYield = 0.04;
    int32_t assetSteps = 100;
    int32_t optionType = 0;
    int32_t exerciseType = 0;
    int32_t discretization = 2;
    int32_t amerSolver = 2;
    double maxAsset = 0.0;
    int32_t calcTheta = 0;
    int32_t calcVega = 0;
    int32_t nonUniformGrid = 65535;
    int32_t numPeriods = 1;

    // Returns the result text (empty on success) and leaves n in assetSteps.
    std::string run(CallerArrays& out)
    {
        TvString text = VelkOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma),
                                         out.p(kTheta), out.p(kVega), strike, timeSteps, expiry,
                                         volatility, intRate, divYield, &assetSteps, optionType,
                                         exerciseType, discretization, amerSolver, maxAsset,
                                         calcTheta, calcVega, nonUniformGrid, numPeriods);
        EXPECT_NE(text, nullptr);
        std::string result(text, tvStringByteLen(text));
        tvFreeString(text);
        return result;
    }
};

TEST(VelkOptionPricer, EuropeanNodesMatchBlackScholes)
{
    for (int32_t type : {0, 1}) {
        VanillaCall call;
        call.optionType = type;
        CallerArrays out;
        ASSERT_EQ(call.run(out), "");
        const int n = call.assetSteps;
        ASSERT_GT(n, 100);
        double worst = 0.0;
        for (int i = 0; i <= n; ++i) {
            const double S = out.a[kGrid][static_cast<size_t>(i)];
            if (S < 50.0 || S > 150.0)
                continue;
            worst = std::max(worst, std::fabs(out.a[kValue][static_cast<size_t>(i)] -
                                              tarvic_test::blackScholes(type == 0, S, 100.0, 0.5,
                                                                        0.08, 0.04, 0.25)));
        }
        EXPECT_LE(worst, 1e-3) << "type " << type;
        EXPECT_TRUE(out.untouched(kValue, n + 1));
        EXPECT_TRUE(out.untouched(kVega));
    }
}

TEST(VelkOptionPricer, GridBeyondTheArraysWritesOnlyTheNodeCount)
{
    VanillaCall call;
    call.assetSteps = 50000;
    CallerArrays out;
    EXPECT_EQ(call.run(out), "");
    EXPECT_GT(call.assetSteps, 50000);
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(out.untouched(k)) << "array " << k;
}

TEST(VelkOptionPricer, GridOfExactly50001NodesIsSolvedAndCopied)
{
    // Uniform grid to maxAsset: trunc(maxAsset / dx) + 1 nodes.
    VanillaCall call;
    call.nonUniformGrid = 0;
    call.assetSteps = 9999;
    const double dx = 100.0 / 9999.5;
    call.maxAsset = 50000.5 * dx;
    call.timeSteps = 10;
    call.discretization = 0;
    CallerArrays out;
    ASSERT_EQ(call.run(out), "");
    ASSERT_EQ(call.assetSteps, 50000);
    EXPECT_NE(out.a[kGrid][50000], kSentinel);
    EXPECT_NEAR(out.a[kGrid][50000], 50000 * dx, 1e-9);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(out.a[k][50001], kSentinel) << "array " << k;
}

TEST(VelkOptionPricer, BumpedThetaAndVegaMatchBlackScholes)
{
    VanillaCall call;
    call.calcTheta = 1;
    call.calcVega = 1;
    call.assetSteps = 200;
    call.timeSteps = 200;
    CallerArrays out;
    ASSERT_EQ(call.run(out), "");
    const int n = call.assetSteps;
    const std::vector<double> grid(out.a[kGrid].begin(), out.a[kGrid].begin() + n + 1);
    const std::vector<double> theta(out.a[kTheta].begin(), out.a[kTheta].begin() + n + 1);
    const std::vector<double> vega(out.a[kVega].begin(), out.a[kVega].begin() + n + 1);
    auto bs = [](double S, double T, double sigma) {
        return tarvic_test::blackScholes(true, S, 100.0, T, 0.08, 0.04, sigma);
    };
    for (double S : {90.0, 100.0, 110.0}) {
        const double exactTheta = -(bs(S, 0.5 + 1e-5, 0.25) - bs(S, 0.5 - 1e-5, 0.25)) / 2e-5 / 365;
        const double exactVega = (bs(S, 0.5, 0.25 + 1e-5) - bs(S, 0.5, 0.25 - 1e-5)) / 2e-5 / 100;
        EXPECT_NEAR(tarvic_test::interpolateNodes(grid, theta, n, S), exactTheta, 2e-4) << S;
        EXPECT_NEAR(tarvic_test::interpolateNodes(grid, vega, n, S), exactVega, 2e-4) << S;
    }
}

TEST(VelkOptionPricer, ThetaRulesOfBermudans)
{
    VanillaCall call;
    call.optionType = 1;
    call.exerciseType = 2;
    call.numPeriods = 4;
    CallerArrays plain;
    ASSERT_EQ(call.run(plain), "");
    const int n = call.assetSteps;
    for (int i = 0; i <= n; ++i)
        ASSERT_EQ(plain.a[kTheta][static_cast<size_t>(i)], 0.0) << i;

    VanillaCall bumped = call;
    bumped.assetSteps = 100;
    bumped.calcTheta = 1;
    CallerArrays out;
    ASSERT_EQ(bumped.run(out), "");
    // Near the strike a put loses value as time passes.
    const size_t atStrike = static_cast<size_t>(
        std::lower_bound(out.a[kGrid].begin(), out.a[kGrid].begin() + n, 100.0) -
        out.a[kGrid].begin());
    EXPECT_LT(out.a[kTheta][atStrike], -1e-3);
}

TEST(VelkOptionPricer, FlagsCountByTheirLowByte)
{
    for (int32_t flag : {256, 512}) {
        VanillaCall call;
        call.calcVega = flag;
        CallerArrays out;
        ASSERT_EQ(call.run(out), "");
        EXPECT_TRUE(out.untouched(kVega)) << flag;
    }
    for (int32_t flag : {1, 65535, 257}) {
        VanillaCall call;
        call.calcVega = flag;
        CallerArrays out;
        ASSERT_EQ(call.run(out), "");
        EXPECT_FALSE(out.untouched(kVega)) << flag;
        EXPECT_TRUE(out.untouched(kVega, call.assetSteps + 1)) << flag;
    }
    // nonUniformGrid 256 is clear: a uniform grid to 3 K.
    VanillaCall call;
    call.nonUniformGrid = 256;
    CallerArrays out;
    ASSERT_EQ(call.run(out), "");
    EXPECT_NEAR(out.a[kGrid][1] - out.a[kGrid][0], out.a[kGrid][2] - out.a[kGrid][1], 1e-12);
}

// A contract whose grid changes when its expiry is bumped.
class GridFollowsExpiry : public tarvic::DornTechOption {
public:
    using DornTechOption::DornTechOption;
    void price(std::vector<double>& g, std::vector<double>& v, std::vector<double>& d,
               std::vector<double>& ga, std::vector<double>& t) override
    {
        if (resolving && expiry != firstExpiry) {
            gridBuilt = false;
            assetSteps += 1;
        }
        DornTechOption::price(g, v, d, ga, t);
    }
    double firstExpiry = 0.5;
};

TEST(FiniteDifferenceFrame, BumpThatChangesTheGridGivesZeros)
{
    GridFollowsExpiry option(100.0, 50, 0.5, 0.25, 0.08, 0.04, 50, 0, 0, 2, 2, 0.0, true, 1, 0,
                             true);
    CallerArrays out;
    tarvic::NodeArrays arrays{out.p(0), out.p(1), out.p(2), out.p(3), out.p(4), out.p(5)};
    int32_t n = 0;
    tarvic::runFiniteDifferenceFrame(option, arrays, &n, {true, true, false});
    ASSERT_GT(n, 10);
    for (int i = 0; i <= n; ++i)
        ASSERT_EQ(out.a[kTheta][static_cast<size_t>(i)], 0.0) << i;
    // The vega re-solve restores the expiry; its grid changed too.
    for (int i = 0; i <= n; ++i)
        ASSERT_EQ(out.a[kVega][static_cast<size_t>(i)], 0.0) << i;
}

TEST(VelkOptionPricer, FailuresComeBackAsTextAndTouchNoArray)
{
    struct Case {
        const char* what;
        std::function<void(VanillaCall&)> spoil;
        const char* text;  // expected text, or nullptr for any non-empty text
    } cases[] = {
        {"discretization 3", [](VanillaCall& c) { c.discretization = 3; },
         "Invalid input: discretization must be one of 0..2."},
        {"discretization -1", [](VanillaCall& c) { c.discretization = -1; }, nullptr},
        {"American amerSolver 3", [](VanillaCall& c) { c.exerciseType = 1; c.amerSolver = 3; },
         "Invalid input: amerSolver must be one of 0..2."},
        {"optionType 2", [](VanillaCall& c) { c.optionType = 2; },
         "Invalid input: optionType must be one of 0..1."},
        {"timeSteps 0", [](VanillaCall& c) { c.timeSteps = 0; },
         "Invalid input: timeSteps must be at least 2."},
        {"timeSteps 1", [](VanillaCall& c) { c.timeSteps = 1; }, nullptr},
        {"timeSteps -5", [](VanillaCall& c) { c.timeSteps = -5; }, nullptr},
        {"assetSteps 0", [](VanillaCall& c) { c.assetSteps = 0; },
         "Invalid input: assetSteps must be at least 1."},
        {"assetSteps negative", [](VanillaCall& c) { c.assetSteps = -100; }, nullptr},
        {"expiry 0", [](VanillaCall& c) { c.expiry = 0.0; },
         "Invalid input: expiry must be greater than 0."},
        {"expiry negative", [](VanillaCall& c) { c.expiry = -1.0; }, nullptr},
        {"strike 0", [](VanillaCall& c) { c.strike = 0.0; },
         "Invalid input: strike must be greater than 0."},
        {"strike NaN", [](VanillaCall& c) { c.strike = std::nan(""); },
         "Invalid input: strike must be a finite number."},
        {"volatility inf", [](VanillaCall& c) { c.volatility = INFINITY; }, nullptr},
        {"volatility negative", [](VanillaCall& c) { c.volatility = -0.2; }, nullptr},
        {"intRate NaN", [](VanillaCall& c) { c.intRate = std::nan(""); }, nullptr},
        {"divYield -inf", [](VanillaCall& c) { c.divYield = -INFINITY; }, nullptr},
        {"maxAsset NaN", [](VanillaCall& c) { c.maxAsset = std::nan(""); }, nullptr},
        {"Bermudan periods overflow", [](VanillaCall& c) { c.exerciseType = 2; c.numPeriods = 1 << 30; }, nullptr},
    };
    for (const Case& k : cases) {
        VanillaCall call;
        k.spoil(call);
        CallerArrays out;
        const std::string text = call.run(out);
        EXPECT_FALSE(text.empty()) << k.what;
        if (k.text) {
            EXPECT_EQ(text, k.text) << k.what;
        }
        for (int a = 0; a < 6; ++a)
            EXPECT_TRUE(out.untouched(a)) << k.what << " array " << a;
    }
}

TEST(VelkOptionPricer, HugeGridsAreReportedNotBuilt)
{
    // A user maximum far above the strike: the node count is reported, no
    // array is touched and nothing is allocated for it.
    VanillaCall call;
    call.nonUniformGrid = 0;
    call.maxAsset = 1e300;
    CallerArrays out;
    EXPECT_EQ(call.run(out), "");
    EXPECT_EQ(call.assetSteps, std::numeric_limits<int32_t>::max() - 1);
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(out.untouched(k)) << "array " << k;

    // The stretched grid reaches any height in few nodes; a height whose
    // squares overflow is refused.
    VanillaCall stretched;
    stretched.maxAsset = 1e300;
    CallerArrays none;
    EXPECT_EQ(stretched.run(none),
              "Cannot create grid: the maximum asset value is too large for the strike.");
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(none.untouched(k)) << "array " << k;
}

TEST(VelkOptionPricer, NullArgumentsFail)
{
    int32_t steps = 100;
    std::vector<double> a(50001);
    TvString text = VelkOptionPricer(a.data(), a.data(), a.data(), a.data(), a.data(), a.data(),
                                     100, 100, 0.5, 0.25, 0.08, 0.04, nullptr, 0, 0, 2, 2, 0, 0, 0,
                                     1, 1);
    EXPECT_STREQ(text, "Invalid input: assetSteps must not be null.");
    tvFreeString(text);
    text = VelkOptionPricer(nullptr, a.data(), a.data(), a.data(), a.data(), a.data(), 100, 100,
                            0.5, 0.25, 0.08, 0.04, &steps, 0, 0, 2, 2, 0, 0, 0, 1, 1);
    EXPECT_GT(tvStringByteLen(text), 0u);
    tvFreeString(text);
}

}  // namespace
