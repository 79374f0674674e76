// VelkOptionPricer through the shared library, as its callers see it: the
// node-count rule, the re-solve rules of theta and vega, flags, failures.

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "pde/asian_frame.h"
#include "pde/fd_frame.h"
#include "pde/knock_in_options.h"
#include "pde/knock_out_options.h"
#include "support/caller_arrays.h"
#include "support/reference_pricing.h"
#include "support/side_by_side_solves.h"
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

    // The threads the frame hands this call's solves to: the contract and
    // rules built as the export builds them, run through the library's
    // archive.
    int frameSolveThreads() const
    {
        tarvic::DornTechOption option(strike, timeSteps, expiry, volatility, intRate, divYield, assetSteps,
                                      optionType, exerciseType, discretization, amerSolver, maxAsset,
                                      (nonUniformGrid & 0xFF) != 0, numPeriods, 0, true);
        CallerArrays out;
        const tarvic::NodeArrays arrays{out.p(kGrid), out.p(kValue), out.p(kDelta),
                                        out.p(kGamma), out.p(kTheta), out.p(kVega)};
        int32_t n = 0;
        tarvic::runFiniteDifferenceFrame(option, arrays, &n,
                                         {(calcTheta & 0xFF) != 0, (calcVega & 0xFF) != 0,
                                          exerciseType == 2 && numPeriods >= 2});
        return tarvic::lastFrameSolveThreads();
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

TEST(VelkOptionPricer, SideBySideReSolvesKeepTheirBitsOnAnyThreadCount)
{
    VanillaCall european;
    VanillaCall american;
    american.optionType = 1;
    american.exerciseType = 1;
    VanillaCall bySor = american;
    bySor.amerSolver = 0;
    VanillaCall bermudan = american;
    bermudan.exerciseType = 2;
    bermudan.numPeriods = 4;
    VanillaCall cappedTop = european;
    cappedTop.maxAsset = 260.0;
    cappedTop.nonUniformGrid = 0;
    struct Case {
        const char* what;
        VanillaCall call;
    } cases[] = {{"European call", european},
                 {"American put, Brennan-Schwartz", american},
                 {"American put, projected SOR", bySor},
                 {"Bermudan put, 4 periods", bermudan},
                 {"European call, uniform grid to a set top", cappedTop}};
    for (Case& c : cases) {
        // Large enough that the three solves are handed to several threads.
        c.call.assetSteps = 300;
        c.call.timeSteps = 300;
        tarvic_test::expectSideBySideReSolvesKeepTheirBits(
            c.call, c.what, [](const VanillaCall& run) { return run.assetSteps; });
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

// A contract whose uniform grid reaches further at every solve after the
// first: the bumped solutions have more nodes than the base grid.
class GridGrowsOnResolve : public tarvic::DornTechOption {
public:
    using DornTechOption::DornTechOption;
    void price(std::vector<double>& g, std::vector<double>& v, std::vector<double>& d,
               std::vector<double>& ga, std::vector<double>& t) override
    {
        if (solves++ > 0) {
            gridBuilt = false;
            nodeCount = 0;
            maxAsset += 100.0;
        }
        DornTechOption::price(g, v, d, ga, t);
    }
    int solves = 0;
};

TEST(FiniteDifferenceFrame, BumpThatChangesTheGridIsReadAtTheBaseNodes)
{
    // The same call on a grid that stays: its theta and vega are the
    // reference. Around the strike the farther top changes nothing visible.
    const auto make = [](auto& option) {
        CallerArrays out;
        tarvic::NodeArrays arrays{out.p(0), out.p(1), out.p(2), out.p(3), out.p(4), out.p(5)};
        int32_t n = 0;
        tarvic::runFiniteDifferenceFrame(option, arrays, &n, {true, true, false});
        out.a[0].resize(static_cast<size_t>(n) + 1);
        return out;
    };
    GridGrowsOnResolve growing(100.0, 100, 0.5, 0.25, 0.08, 0.04, 100, 0, 0, 2, 2, 300.0, false,
                               1, 0, true);
    tarvic::DornTechOption steady(100.0, 100, 0.5, 0.25, 0.08, 0.04, 100, 0, 0, 2, 2, 300.0,
                                  false, 1, 0, true);
    const CallerArrays grown = make(growing);
    const CallerArrays kept = make(steady);
    ASSERT_EQ(growing.solves, 3);
    ASSERT_EQ(grown.a[kGrid], kept.a[kGrid]);
    int checked = 0;
    for (size_t i = 0; i < kept.a[kGrid].size(); ++i) {
        const double S = kept.a[kGrid][i];
        if (S < 50.0 || S > 150.0)
            continue;
        EXPECT_NEAR(grown.a[kTheta][i], kept.a[kTheta][i], 1e-6) << S;
        EXPECT_NEAR(grown.a[kVega][i], kept.a[kVega][i], 1e-6) << S;
        EXPECT_NE(grown.a[kVega][i], 0.0) << S;
        ++checked;
    }
    EXPECT_GT(checked, 90);
}

TEST(FiniteDifferenceFrame, SolutionAtFollowsTheProgramsInterpolation)
{
    // Uneven nodes 0, 1, 3, 4, 6, 7, 9 (the end intervals and the two inner
    // rules all appear).
    const std::vector<double> x{0.0, 1.0, 3.0, 4.0, 6.0, 7.0, 9.0};
    const auto cubic = [](double s) { return 2.0 - s + 0.5 * s * s - 0.1 * s * s * s; };
    std::vector<double> f;
    for (double s : x)
        f.push_back(cubic(s));
    const int32_t count = static_cast<int32_t>(x.size());
    const auto line = [&](size_t i, double s) {
        return f[i] + (f[i + 1] - f[i]) * (s - x[i]) / (x[i + 1] - x[i]);
    };
    const struct {
        double S;
        double expected;
    } cases[] = {
        {3.0, f[2]},               // on a node: its own value
        {3.5, cubic(3.5)},         // inner interval: the cubic, exact on a cubic
        {5.0, cubic(5.0)},
        {0.5, line(0, 0.5)},       // first two intervals: straight
        {2.0, line(1, 2.0)},
        {8.0, line(5, 8.0)},       // last interval
        {-1.0, line(0, -1.0)},     // beyond the ends: the end interval's line
        {10.0, line(5, 10.0)},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(tarvic::solutionAt(x.data(), f.data(), count, c.S), c.expected, 1e-12)
            << c.S;
}

TEST(FiniteDifferenceFrame, BumpedValuesOnTheSameGridAreTakenNodeByNode)
{
    const std::vector<double> grid{0.0, 1.0, 2.0, 3.0, 4.0};
    const std::vector<double> value{0.1, 0.7, 0.2, 0.9, 0.4};  // far from any smooth curve
    std::vector<double> out;
    tarvic::bumpedAtBaseNodes(grid, 4, grid, value, out);
    EXPECT_EQ(out, std::vector<double>(value.begin(), value.begin() + 4));
    // A finer bumped grid holding the base nodes gives the values there.
    const std::vector<double> fine{0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0};
    const std::vector<double> fineValue{0.1, 9.0, 0.7, 9.0, 0.2, 9.0, 0.9, 9.0, 0.4};
    tarvic::bumpedAtBaseNodes(grid, 5, fine, fineValue, out);
    EXPECT_EQ(out, value);
}

// A down-and-out that fails the solves named in `failing` (0 base, 1 theta,
// 2 vega) with a text naming the solve, after solving.
class FailingDownOut : public tarvic::DornTechDOBOption {
public:
    FailingDownOut(const tarvic::BarrierContract& c, std::vector<int> failing)
        : DornTechDOBOption(c), failing_(std::move(failing)), expiry0_(c.expiry),
          volatility0_(c.volatility)
    {
    }
    std::unique_ptr<tarvic::DornTechOption> clone() const override
    {
        return std::make_unique<FailingDownOut>(*this);
    }
    void price(std::vector<double>& g, std::vector<double>& v, std::vector<double>& d,
               std::vector<double>& gm, std::vector<double>& th) override
    {
        DornTechDOBOption::price(g, v, d, gm, th);
        const int solve = expiry != expiry0_ ? 1 : volatility != volatility0_ ? 2 : 0;
        for (int f : failing_)
            if (f == solve)
                throw std::runtime_error("solve " + std::to_string(solve) + " failed");
    }

private:
    std::vector<int> failing_;
    double expiry0_;
    double volatility0_;
};

TEST(FiniteDifferenceFrame, AFailingSideBySideSolveGivesTheFirstFailureInOrder)
{
    // Large enough that the three solves run on several threads.
    const tarvic::BarrierContract downOut{100.0, 100.0, 95.0, 0.0, true, 300, 0.5, 0.25, 0.08,
                                          0.04, 300, 0, 0, 2, 2, 0.0, true, 1};
    struct Case {
        std::vector<int> failing;
        const char* text;
    } cases[] = {{{0}, "solve 0 failed"},    {{1}, "solve 1 failed"},
                 {{2}, "solve 2 failed"},    {{1, 2}, "solve 1 failed"},
                 {{0, 2}, "solve 0 failed"}, {{0, 1, 2}, "solve 0 failed"}};
    const int kept = omp_get_max_threads();
    omp_set_num_threads(8);
    for (const Case& c : cases) {
        for (int round = 0; round < 5; ++round) {
            FailingDownOut option(downOut, c.failing);
            CallerArrays out;
            tarvic::NodeArrays arrays{out.p(0), out.p(1), out.p(2), out.p(3), out.p(4), out.p(5)};
            int32_t n = 0;
            std::string text;
            try {
                tarvic::runFiniteDifferenceFrame(option, arrays, &n, {true, true, false});
            } catch (const std::exception& e) {
                text = e.what();
            }
            EXPECT_EQ(text, c.text);
            for (int k = 0; k < 6; ++k)
                EXPECT_TRUE(out.untouched(k)) << c.text << ", array " << k;
        }
    }
    omp_set_num_threads(kept);
}

TEST(FiniteDifferenceFrame, RefusedGridsAreCountedNotBuilt)
{
    // Ten million asset steps: tens of millions of nodes, far beyond the
    // caller's arrays. The count comes back; no grid is built for it (it
    // took 240 MB and a second, and a knock-in solved its vanilla companion
    // on such a grid first: 3 GB and half a minute).
    using tarvic::BarrierContract;
    constexpr int32_t steps = 10'000'000;
    const BarrierContract downIn{100.0, 100.0, 90.0, 0.0, true, 50, 1.0, 0.3, 0.05, 0.0, steps,
                                 1, 0, 2, 2, 0.0, true, 1};
    BarrierContract discrete = downIn;
    discrete.contMonitoring = false;
    discrete.numPeriods = 4;
    discrete.upperBarrier = 120.0;
    struct Case {
        const char* what;
        std::function<std::unique_ptr<tarvic::DornTechOption>()> make;
        int32_t expected;  // 0: only above the arrays
    } cases[] = {
        {"vanilla, uniform", [&] { return std::make_unique<tarvic::DornTechOption>(
                                      100.0, 50, 1.0, 0.3, 0.05, 0.0, steps, 1, 0, 2, 2, 0.0,
                                      false, 1, 0, true); },
         30'000'001},
        {"vanilla, stretched", [&] { return std::make_unique<tarvic::DornTechOption>(
                                        100.0, 50, 1.0, 0.3, 0.05, 0.0, steps, 1, 0, 2, 2, 0.0,
                                        true, 1, 0, true); },
         0},
        {"down-and-in", [&] { return std::make_unique<tarvic::DornTechDIBOption>(downIn); }, 0},
        {"down-and-out", [&] { return std::make_unique<tarvic::DornTechDOBOption>(downIn); }, 0},
        {"double knock-out, discrete",
         [&] { return std::make_unique<tarvic::DornTechDBOOption>(discrete); }, 0},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<tarvic::DornTechOption> option = c.make();
        CallerArrays out;
        tarvic::NodeArrays arrays{out.p(0), out.p(1), out.p(2), out.p(3), out.p(4), out.p(5)};
        int32_t n = 0;
        tarvic::runFiniteDifferenceFrame(*option, arrays, &n, {true, true, false});
        if (c.expected > 0) {
            EXPECT_EQ(n, c.expected) << c.what;
        }
        EXPECT_GT(n, 10'000'000) << c.what;
        EXPECT_TRUE(option->grid.empty()) << c.what;
        for (int k = 0; k < 6; ++k)
            EXPECT_TRUE(out.untouched(k)) << c.what << ", array " << k;
        if (auto* knockIn = dynamic_cast<tarvic::DornTechKnockInOption*>(option.get())) {
            EXPECT_TRUE(knockIn->lowerRecord.empty()) << c.what;
        }
    }

    tarvic::DornTechAsianOption asian(100.0, 100.0, 1.0, 0.3, 0.05, 0.0, 0.0, 0.1, 50, steps, 2,
                                      10, 0, 0, 0, 2, 2, 2, 0.0, true, false);
    CallerArrays out;
    tarvic::NodeArrays arrays{out.p(0), out.p(1), out.p(2), out.p(3), out.p(4), out.p(5)};
    int32_t n = 0;
    tarvic::runAsianFrame(asian, arrays, &n, true, true);
    EXPECT_GT(n, 10'000'000);
    EXPECT_TRUE(asian.assetNodes.empty());
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(out.untouched(k)) << "Asian, array " << k;
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
