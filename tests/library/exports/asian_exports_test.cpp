// VelkAsianOptionPricer through the shared library, as its callers see it:
// the values against independent truths (vanillas, parities, a published
// simulation, quadrature and a binomial tree), exercise styles, threads,
// the node-count rules, the bumped Greeks and the failure texts.

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/address_space_room.h"
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

// The reported curve.
struct Curve {
    std::vector<double> grid, value, delta, gamma, theta, vega;
    int last() const { return static_cast<int>(grid.size()) - 1; }
    double at(double s) const { return tarvic_test::interpolateNodes(grid, value, last(), s); }
};

// A ten-fixing fixed-strike call at the "Medium" defaults of the program.
struct AsianRequest {
    double spot = 100.0;
    double strike = 100.0;
    int32_t timeSteps = 100;
    double expiry = 1.0;
    double volatility = 0.2;
    double intRate = 0.06;
    double divYield = 0.03;
    int32_t assetSteps = 100;
    int32_t planeSpacing = 4;
    int32_t numFixings = 10;
    int32_t numSettled = 0;
    double settledAverage = 0.0;
    double firstFixingTime = 0.1;
    int32_t optionType = 0;
    int32_t exerciseType = 0;
    int32_t discretization = 2;
    int32_t amerSolver = 2;
    int32_t planesInterp = 2;
    double maxAsset = 0.0;
    int32_t calcTheta = 0;
    int32_t calcVega = 0;
    int32_t nonUniformGrid = 65535;
    // The values do not depend on threads (tested below); on a shared
    // machine a serial run is the quicker one for these small grids.
    int32_t multiThreaded = 0;

    AsianRequest& resolution(int32_t steps, int32_t spacing)
    {
        assetSteps = steps;
        timeSteps = steps;
        planeSpacing = spacing;
        return *this;
    }

    // Returns the result text and leaves n in assetSteps.
    std::string run(CallerArrays& out)
    {
        TvString text = VelkAsianOptionPricer(
            out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma), out.p(kTheta),
            out.p(kVega), spot, strike, timeSteps, expiry, volatility, intRate, divYield,
            &assetSteps, planeSpacing, numFixings, numSettled, settledAverage, firstFixingTime,
            optionType, exerciseType, discretization, amerSolver, planesInterp, maxAsset,
            calcTheta, calcVega, nonUniformGrid, multiThreaded);
        EXPECT_NE(text, nullptr);
        std::string result(text, tvStringByteLen(text));
        tvFreeString(text);
        return result;
    }

    // Runs a request that must succeed and returns its curve.
    Curve curve() const
    {
        AsianRequest copy = *this;
        CallerArrays out;
        const std::string text = copy.run(out);
        EXPECT_EQ(text, "");
        Curve c;
        if (!text.empty())
            return c;
        const size_t count = static_cast<size_t>(copy.assetSteps) + 1;
        std::vector<double>* parts[6] = {&c.grid, &c.value, &c.delta, &c.gamma, &c.theta, &c.vega};
        for (int k = 0; k < 6; ++k)
            parts[k]->assign(out.a[k].begin(), out.a[k].begin() + static_cast<long>(count));
        // Nothing past entry n; the vega array only with calcVega.
        for (int k = 0; k < 6; ++k) {
            const bool written = k != kVega || (calcVega & 0xFF) != 0;
            EXPECT_TRUE(out.untouched(k, written ? static_cast<int>(count) : 0)) << "array " << k;
        }
        return c;
    }
};

double vanilla(bool call, double S, double K, double T, const AsianRequest& r)
{
    return tarvic_test::blackScholes(call, S, K, T, r.intRate, r.divYield, r.volatility);
}

// Largest difference between two functions of the asset over the nodes of
// a curve within [lo, hi].
double worstOver(const Curve& c, double lo, double hi,
                 const std::function<double(size_t)>& difference)
{
    double worst = 0.0;
    for (size_t i = 0; i < c.grid.size(); ++i)
        if (c.grid[i] >= lo && c.grid[i] <= hi)
            worst = std::max(worst, std::fabs(difference(i)));
    return worst;
}

// ---------------------------------------------------------------------------
// Independent truths

TEST(VelkAsianOptionPricer, OneFixingIsTheVanilla)
{
    // One fixing at expiry: the average is the asset at expiry.
    for (int32_t type : {0, 1}) {
        for (int32_t nonUniform : {1, 0}) {
            AsianRequest r;
            r.numFixings = 1;
            r.optionType = type;
            r.nonUniformGrid = nonUniform;
            const Curve c = r.curve();
            ASSERT_GT(c.last(), 100);
            std::vector<double> exact(c.grid.size());
            ASSERT_EQ(VanillaBSGrid(c.grid.data(), exact.data(), 100.0, r.intRate, r.divYield,
                                    r.volatility, r.expiry, type, c.last()),
                      1.0);
            EXPECT_LE(worstOver(c, 50, 150, [&](size_t i) { return c.value[i] - exact[i]; }),
                      2e-3)
                << "type " << type << " non-uniform " << nonUniform;
        }
    }
}

TEST(VelkAsianOptionPricer, TwoFixingsOneSettledIsHalfAVanilla)
{
    // A = (A0 + S_T) / 2: a fixed call pays (S_T - (2K - A0))+ / 2, a floating
    // call (S_T - A0)+ / 2, and the puts alike.
    struct Case {
        bool floating;
        int32_t type;
        double settled;
    } cases[] = {{false, 0, 90.0}, {false, 1, 90.0}, {false, 0, 115.0}, {false, 1, 115.0},
                 {true, 0, 90.0},  {true, 1, 90.0},  {true, 0, 115.0},  {true, 1, 115.0}};
    for (const Case& k : cases) {
        AsianRequest r;
        r.strike = k.floating ? 0.0 : 100.0;
        r.optionType = k.type;
        r.numFixings = 2;
        r.numSettled = 1;
        r.settledAverage = k.settled;
        r.planeSpacing = k.floating ? 1 : 4;
        const Curve c = r.curve();
        const double vanillaStrike = k.floating ? k.settled : 2.0 * 100.0 - k.settled;
        EXPECT_LE(worstOver(c, 60, 140,
                            [&](size_t i) {
                                return c.value[i] - 0.5 * vanilla(k.type == 0, c.grid[i],
                                                                  vanillaStrike, r.expiry, r);
                            }),
                  2e-3)
            << (k.floating ? "floating" : "fixed") << " type " << k.type << " A0 " << k.settled;
    }
}

// E[A] from the settled average and the forward at each remaining fixing.
double expectedAverage(const AsianRequest& r, double S)
{
    const int m = r.numFixings - r.numSettled;
    double sum = r.numSettled * r.settledAverage;
    for (int k = 1; k <= m; ++k)
        sum += S * std::exp((r.intRate - r.divYield) * r.expiry * k / m);
    return sum / r.numFixings;
}

TEST(VelkAsianOptionPricer, EuropeanPutCallParity)
{
    for (bool floating : {false, true}) {
        for (int32_t settled : {0, 3}) {
            AsianRequest call;
            call.strike = floating ? 0.0 : 100.0;
            call.planeSpacing = floating ? 1 : 4;
            call.numSettled = settled;
            call.settledAverage = 96.0;
            AsianRequest put = call;
            put.optionType = 1;
            const Curve c = call.curve();
            const Curve p = put.curve();
            // The reported tails may differ: compare where both report.
            ASSERT_GT(std::min(c.last(), p.last()), 100);
            const double discount = std::exp(-call.intRate * call.expiry);
            const double worst = worstOver(c, 70, 130, [&](size_t i) {
                EXPECT_EQ(c.grid[i], p.grid[i]);
                const double S = c.grid[i];
                const double EA = expectedAverage(call, S);
                const double forward = floating ? S * std::exp(-call.divYield * call.expiry) -
                                                      discount * EA
                                                : discount * (EA - 100.0);
                return c.value[i] - p.value[i] - forward;
            });
            EXPECT_LE(worst, 2e-3) << (floating ? "floating" : "fixed") << " settled " << settled;
        }
    }
}

TEST(VelkAsianOptionPricer, TenFixingsMatchAPublishedSimulation)
{
    // S = K = 100, q = 0.03, r = 0.06, sigma = 0.2, T = 1, fixings at
    // T/10, ..., T: call 5.5327 and put 3.9624 (+-1e-4).
    const double published[2] = {5.5327, 3.9624};
    for (int32_t type : {0, 1}) {
        AsianRequest high;
        high.resolution(300, 4).optionType = type;
        high.multiThreaded = 1;
        EXPECT_NEAR(high.curve().at(100.0), published[type], 5e-3) << "High, type " << type;
    }
}

TEST(VelkAsianOptionPricer, EveryInterpolationConvergesToThePublishedValue)
{
    // Errors at Low (30 steps, planes 2 apart) and Medium (100 steps, 4
    // apart): each interpolation across the planes gets closer, cubic and
    // quadratic within a few 1e-3 at Medium.
    const double published = 5.5327;
    const double mediumTolerance[3] = {3e-2, 3e-3, 2e-3};
    for (int32_t interp : {0, 1, 2}) {
        AsianRequest low, medium;
        low.resolution(30, 2).planesInterp = interp;
        medium.planesInterp = interp;
        const double lowError = std::fabs(low.curve().at(100.0) - published);
        const double mediumError = std::fabs(medium.curve().at(100.0) - published);
        EXPECT_LT(mediumError, lowError) << "interp " << interp;
        EXPECT_LT(mediumError, mediumTolerance[interp]) << "interp " << interp;
    }
    // Values outside 0..2 are cubic.
    AsianRequest cubic, other;
    other.planesInterp = 7;
    EXPECT_EQ(cubic.curve().value, other.curve().value);
}

// Simpson's rule over a standard normal variable on [-8, 8].
double normalExpectation(const std::function<double(double)>& f)
{
    const int n = 2000;
    const double h = 16.0 / n;
    double sum = 0.0;
    for (int k = 0; k <= n; ++k) {
        const double z = -8.0 + k * h;
        const double w = k == 0 || k == n ? 1.0 : k % 2 ? 4.0 : 2.0;
        sum += w * f(z) * std::exp(-0.5 * z * z);
    }
    return sum * h / 3.0 / std::sqrt(2.0 * M_PI);
}

TEST(VelkAsianOptionPricer, TwoFixingsBermudanMatchesQuadrature)
{
    // Fixings at T/2 and T. After the first the average is S1; holding is
    // worth half a vanilla struck at 2K - S1 (a forward when that is not
    // positive), exercising at the fixing pays S1 - K (call) or K - S1 (put).
    for (int32_t type : {0, 1}) {
        for (int32_t exercise : {0, 2}) {
            AsianRequest r;
            r.numFixings = 2;
            r.optionType = type;
            r.exerciseType = exercise;
            r.planeSpacing = 1;
            const Curve c = r.curve();
            const double tau = r.expiry / 2, K = r.strike;
            const double sigma = r.volatility, mu = r.intRate - r.divYield;
            for (double S : {90.0, 100.0, 110.0}) {
                const double exact = std::exp(-r.intRate * tau) * normalExpectation([&](double z) {
                    const double S1 = S * std::exp((mu - 0.5 * sigma * sigma) * tau +
                                                   sigma * std::sqrt(tau) * z);
                    const double X = 2.0 * K - S1;
                    double hold;
                    if (X > 0.0)
                        hold = 0.5 * vanilla(type == 0, S1, X, tau, r);
                    else
                        hold = type == 0 ? 0.5 * (S1 * std::exp(-r.divYield * tau) -
                                                  X * std::exp(-r.intRate * tau))
                                         : 0.0;
                    const double exerciseValue = type == 0 ? S1 - K : K - S1;
                    return exercise == 2 ? std::max(hold, exerciseValue) : hold;
                });
                EXPECT_NEAR(c.at(S), exact, 3e-3)
                    << "type " << type << " exercise " << exercise << " S " << S;
            }
        }
    }
}

// American option on a binomial tree with the given payoff at expiry and
// exercise value before it.
template <class Payoff, class Exercise>
double americanTree(const Payoff& payoff, const Exercise& exercise, double S,
                    const AsianRequest& r)
{
    const int steps = 2000;
    const double dt = r.expiry / steps;
    const double u = std::exp(r.volatility * std::sqrt(dt));
    const double d = 1.0 / u;
    const double p = (std::exp((r.intRate - r.divYield) * dt) - d) / (u - d);
    const double discount = std::exp(-r.intRate * dt);
    // level[steps + j] = S u^j
    std::vector<double> level(2 * steps + 1);
    for (int j = -steps; j <= steps; ++j)
        level[static_cast<size_t>(steps + j)] = S * std::pow(u, j);
    std::vector<double> v(steps + 1);
    for (int k = 0; k <= steps; ++k)
        v[static_cast<size_t>(k)] = payoff(level[static_cast<size_t>(2 * k)]);
    for (int n = steps - 1; n >= 0; --n)
        for (int k = 0; k <= n; ++k) {
            const double held = discount * (p * v[static_cast<size_t>(k + 1)] +
                                            (1 - p) * v[static_cast<size_t>(k)]);
            const double Snk = level[static_cast<size_t>(steps + 2 * k - n)];
            v[static_cast<size_t>(k)] = std::max(held, exercise(Snk));
        }
    return v[0];
}

TEST(VelkAsianOptionPricer, AmericanBeforeTheLastFixingMatchesABinomialTree)
{
    // Two fixings, the first settled at A0, the second at expiry: the payoff
    // is half a vanilla payoff, while exercise before expiry pays on the
    // average so far, A0 alone. A fixed strike exercises for the cash amount
    // A0 - K (call) or K - A0 (put) at every asset level, a floating strike
    // for S - A0 or A0 - S.
    struct Case {
        bool floating;
        int32_t type;
        double settled;
    } cases[] = {{false, 0, 110.0}, {false, 1, 90.0}, {true, 0, 100.0}, {true, 1, 100.0}};
    for (const Case& k : cases) {
        AsianRequest r;
        r.strike = k.floating ? 0.0 : 100.0;
        r.numFixings = 2;
        r.numSettled = 1;
        r.settledAverage = k.settled;
        r.optionType = k.type;
        r.exerciseType = 1;
        r.planeSpacing = 1;
        const Curve c = r.curve();
        const double sign = k.type == 0 ? 1.0 : -1.0;
        const double A0 = k.settled, K = 100.0;
        const auto payoff = [&](double ST) {
            const double A = 0.5 * (A0 + ST);
            return std::max(sign * (k.floating ? ST - A : A - K), 0.0);
        };
        const auto exercise = [&](double S) { return sign * (k.floating ? S - A0 : A0 - K); };
        for (double S : {60.0, 85.0, 100.0, 115.0, 140.0}) {
            // The floating call's exercise boundary lies where its grid is
            // coarse; it converges at first order, 5e-3 low at this resolution.
            EXPECT_NEAR(c.at(S), americanTree(payoff, exercise, S, r), k.floating ? 7e-3 : 3e-3)
                << (k.floating ? "floating" : "fixed") << " type " << k.type << " S " << S;
            EXPECT_GE(c.at(S), exercise(S) - 1e-9);
        }
    }
}

TEST(VelkAsianOptionPricer, AmericanAboveBermudanAboveEuropean)
{
    for (bool floating : {false, true}) {
        for (int32_t type : {0, 1}) {
            Curve byStyle[3];
            for (int32_t exercise : {0, 1, 2}) {
                AsianRequest r;
                r.strike = floating ? 0.0 : 100.0;
                r.optionType = type;
                r.exerciseType = exercise;
                // The program's choice for early exercise: planes one step apart.
                r.planeSpacing = exercise == 0 && !floating ? 4 : 1;
                r.planesInterp = 1;
                r.resolution(60, r.planeSpacing);
                byStyle[exercise] = r.curve();
            }
            const char* what = floating ? "floating" : "fixed";
            for (double S : {80.0, 90.0, 100.0, 110.0, 120.0}) {
                const double european = byStyle[0].at(S);
                const double american = byStyle[1].at(S);
                const double bermudan = byStyle[2].at(S);
                EXPECT_GE(bermudan, european - 1e-3) << what << " type " << type << " S " << S;
                EXPECT_GE(american, bermudan - 1e-3) << what << " type " << type << " S " << S;
            }
            if (!floating) {
                // Exercise inside the periods pays: the American fixed-strike
                // Asian is worth clearly more than exercise at the fixings only.
                EXPECT_GT(byStyle[1].at(100.0), byStyle[2].at(100.0) + 0.2) << "type " << type;
            }
        }
    }
}

TEST(VelkAsianOptionPricer, AmericanInterpolationsAgree)
{
    // Early exercise bends the planes; linear interpolation reads them along
    // the exercise boundary where the lower plane is much steeper, and must
    // then agree with the quadratic and cubic reading.
    for (int32_t type : {0, 1}) {
        double values[3];
        for (int32_t interp : {0, 1, 2}) {
            AsianRequest r;
            r.optionType = type;
            r.exerciseType = 1;
            r.planesInterp = interp;
            r.resolution(60, 1);
            values[interp] = r.curve().at(100.0);
        }
        EXPECT_NEAR(values[0], values[2], 1e-2) << "type " << type;
        EXPECT_NEAR(values[1], values[2], 1e-3) << "type " << type;
    }
}

// ---------------------------------------------------------------------------
// Settings that must not change the result

TEST(VelkAsianOptionPricer, ThreadsGiveBitwiseTheSameCurve)
{
    struct Case {
        double strike;
        int32_t exercise;
        int32_t spacing;
    } cases[] = {{100.0, 0, 4}, {100.0, 1, 1}, {0.0, 2, 1}};
    for (const Case& k : cases) {
        AsianRequest r;
        r.strike = k.strike;
        r.exerciseType = k.exercise;
        r.resolution(40, k.spacing);
        r.calcVega = 1;
        r.multiThreaded = 65535;
        AsianRequest serial = r;
        serial.multiThreaded = 256;  // low byte clear
        const Curve a = r.curve();
        const Curve b = serial.curve();
        EXPECT_EQ(a.grid, b.grid);
        EXPECT_EQ(a.value, b.value) << "exercise " << k.exercise;
        EXPECT_EQ(a.delta, b.delta);
        EXPECT_EQ(a.gamma, b.gamma);
        EXPECT_EQ(a.vega, b.vega);
    }
}

TEST(VelkAsianOptionPricer, FirstFixingTimeChangesNothing)
{
    AsianRequest r;
    r.numSettled = 2;
    r.settledAverage = 97.0;
    const Curve reference = r.curve();
    for (double t : {-0.5, 0.0, 0.37, 5.0, std::numeric_limits<double>::quiet_NaN()}) {
        AsianRequest other = r;
        other.firstFixingTime = t;
        EXPECT_EQ(other.curve().value, reference.value) << t;
    }
}

// ---------------------------------------------------------------------------
// Node count and the Greeks by re-pricing

TEST(VelkAsianOptionPricer, GridBeyondTheArraysWritesOnlyTheNodeCount)
{
    AsianRequest r;
    r.assetSteps = 50000;
    CallerArrays out;
    EXPECT_EQ(r.run(out), "");
    EXPECT_GT(r.assetSteps, 50000);
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(out.untouched(k)) << "array " << k;
}

TEST(VelkAsianOptionPricer, GridOfExactly50001NodesIsSolvedAndCopied)
{
    // Uniform grid to maxAsset: trunc(maxAsset / dx) + 1 nodes. Nine of ten
    // fixings settled at A0: the option is a tenth of a call struck at
    // 10 K - 9 A0, and no plane is held.
    AsianRequest r;
    r.nonUniformGrid = 0;
    r.assetSteps = 9999;
    const double dx = 100.0 / 9999.5;
    r.maxAsset = 50000.5 * dx;
    r.timeSteps = 10;
    r.numSettled = 9;
    r.settledAverage = 100.0;
    CallerArrays out;
    ASSERT_EQ(r.run(out), "");
    ASSERT_EQ(r.assetSteps, 50000);
    EXPECT_NEAR(out.a[kGrid][50000], 50000 * dx, 1e-9);
    for (int k = 0; k < 5; ++k)
        EXPECT_NE(out.a[k][50000], kSentinel) << "array " << k;
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(out.a[k][50001], kSentinel) << "array " << k;
    const size_t atSpot = 10000;  // S = 10000 dx, just above 100
    const double S = out.a[kGrid][atSpot];
    EXPECT_NEAR(out.a[kValue][atSpot], 0.1 * vanilla(true, S, 100.0, 1.0, r), 1e-3);
}

TEST(VelkAsianOptionPricer, FloatingCurveIsReportedFurtherWhileItBends)
{
    // The planes of a floating strike reach far above the reported grid (the
    // fixed-strike grid of the same strike); the reported curve goes on by a
    // few nodes of the solved grid while it still bends, and nothing is
    // written past the node count reported.
    AsianRequest fixed;
    AsianRequest floating;
    floating.strike = 0.0;
    floating.planeSpacing = 1;
    floating.numSettled = 3;
    floating.settledAverage = 96.0;
    const Curve own = fixed.curve();
    const Curve c = floating.curve();
    EXPECT_GT(c.last(), own.last());
    EXPECT_LE(c.last(), 50000);
    EXPECT_EQ(std::vector<double>(c.grid.begin(), c.grid.begin() + own.last() + 1), own.grid);
    for (int i = own.last() + 1; i <= c.last(); ++i)
        EXPECT_GT(c.grid[static_cast<size_t>(i)], c.grid[static_cast<size_t>(i - 1)]);
}

TEST(VelkAsianOptionPricer, BumpedThetaAndVegaOfOneFixingMatchBlackScholes)
{
    AsianRequest r;
    r.numFixings = 1;
    r.calcTheta = 1;
    r.calcVega = 1;
    r.resolution(200, 4);
    const Curve c = r.curve();
    auto bs = [&](double S, double T, double sigma) {
        return tarvic_test::blackScholes(true, S, 100.0, T, r.intRate, r.divYield, sigma);
    };
    for (double S : {90.0, 100.0, 110.0}) {
        const double theta = -(bs(S, 1 + 1e-5, 0.2) - bs(S, 1 - 1e-5, 0.2)) / 2e-5 / 365;
        const double vega = (bs(S, 1, 0.2 + 1e-5) - bs(S, 1, 0.2 - 1e-5)) / 2e-5 / 100;
        EXPECT_NEAR(tarvic_test::interpolateNodes(c.grid, c.theta, c.last(), S), theta, 2e-4) << S;
        EXPECT_NEAR(tarvic_test::interpolateNodes(c.grid, c.vega, c.last(), S), vega, 2e-4) << S;
    }

    // Without calcTheta the theta is 0 on every node; without calcVega the
    // vega array keeps what the caller had.
    AsianRequest quiet;
    quiet.resolution(30, 2);
    CallerArrays out;
    ASSERT_EQ(quiet.run(out), "");
    for (int i = 0; i <= quiet.assetSteps; ++i)
        ASSERT_EQ(out.a[kTheta][static_cast<size_t>(i)], 0.0) << i;
    EXPECT_TRUE(out.untouched(kVega));
}

TEST(VelkAsianOptionPricer, BumpsAcrossAGridStepMatchCentralDifferences)
{
    // The stretched grid reaches further in steps of sigma^2 T (one at
    // 0.1507): a bump across the step must not change the grid the bumped
    // values come from. Reference: central differences of two independent
    // runs whose bumps are too small to cross it.
    AsianRequest fixed;
    fixed.resolution(50, 2);
    fixed.numFixings = 6;
    fixed.intRate = 0.05;
    fixed.divYield = 0.0;
    AsianRequest floating = fixed;
    floating.strike = 0.0;
    constexpr double d = 1e-7;
    for (const AsianRequest& contract : {fixed, floating}) {
        // Just below the step (the bumps cross it) and just above.
        for (double offset : {-1.5e-7, 1.5e-7}) {
            const double sigma = std::sqrt(0.1507) + offset;
            AsianRequest r = contract;
            r.volatility = sigma;
            r.calcTheta = 1;
            r.calcVega = 1;
            const Curve bumped = r.curve();
            const auto valuesAt = [&](double ds, double dT) {
                AsianRequest other = contract;
                other.volatility = sigma + ds;
                other.expiry += dT;
                const Curve c = other.curve();
                EXPECT_EQ(c.last(), bumped.last()) << sigma;
                return c.value;
            };
            const std::vector<double> up = valuesAt(d, 0.0), down = valuesAt(-d, 0.0);
            const std::vector<double> later = valuesAt(0.0, d), sooner = valuesAt(0.0, -d);
            ASSERT_EQ(up.size(), bumped.value.size());
            double worstVega = 0.0, worstTheta = 0.0;
            for (size_t i = 0; i < up.size(); ++i) {
                const double vega = (up[i] - down[i]) / (2.0 * d) / 100.0;
                const double theta = -(later[i] - sooner[i]) / (2.0 * d) / 365.0;
                worstVega = std::max(worstVega, std::fabs(bumped.vega[i] - vega));
                worstTheta = std::max(worstTheta, std::fabs(bumped.theta[i] - theta));
            }
            EXPECT_LT(worstVega, 1e-3) << contract.strike << ", sigma " << sigma;
            EXPECT_LT(worstTheta, 1e-4) << contract.strike << ", sigma " << sigma;
            // Not the zeros of a lost bump.
            EXPECT_GT(tarvic_test::interpolateNodes(bumped.grid, bumped.vega, bumped.last(), 100.0),
                      0.1)
                << contract.strike << ", sigma " << sigma;
        }
    }
}

// ---------------------------------------------------------------------------
// Failures

TEST(VelkAsianOptionPricer, FailuresComeBackAsTextAndTouchNoArray)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        std::function<void(AsianRequest&)> spoil;
        const char* text;  // expected text, or nullptr for any non-empty text
    } cases[] = {
        {"all fixings settled", [](AsianRequest& r) { r.numSettled = 10; },
         "Invalid input: numSettled must be smaller than numFixings (at least one fixing must "
         "remain)."},
        {"more settled than fixings", [](AsianRequest& r) { r.numSettled = 11; }, nullptr},
        {"no fixing", [](AsianRequest& r) { r.numFixings = 0; r.numSettled = 0; },
         "Invalid input: numFixings must be at least 1."},
        {"negative fixings", [](AsianRequest& r) { r.numFixings = -3; }, nullptr},
        {"negative settled", [](AsianRequest& r) { r.numSettled = -1; },
         "Invalid input: numSettled must be at least 0."},
        {"negative spacing", [](AsianRequest& r) { r.planeSpacing = -2; },
         "Invalid input: planeSpacing must be at least 0."},
        {"spacing wider than the grid", [](AsianRequest& r) { r.planeSpacing = 100000; },
         "Invalid input: planeSpacing leaves fewer than two average planes on the grid."},
        {"spot 0", [](AsianRequest& r) { r.spot = 0.0; },
         "Invalid input: spot must be greater than 0."},
        {"spot negative", [](AsianRequest& r) { r.spot = -100.0; }, nullptr},
        {"spot NaN", [nan](AsianRequest& r) { r.spot = nan; },
         "Invalid input: spot must be a finite number."},
        {"strike negative", [](AsianRequest& r) { r.strike = -1.0; },
         "Invalid input: strike must not be negative."},
        {"strike NaN", [nan](AsianRequest& r) { r.strike = nan; }, nullptr},
        {"expiry 0", [](AsianRequest& r) { r.expiry = 0.0; },
         "Invalid input: expiry must be greater than 0."},
        {"expiry inf", [inf](AsianRequest& r) { r.expiry = inf; }, nullptr},
        {"volatility NaN", [nan](AsianRequest& r) { r.volatility = nan; }, nullptr},
        {"volatility negative", [](AsianRequest& r) { r.volatility = -0.2; }, nullptr},
        {"intRate inf", [inf](AsianRequest& r) { r.intRate = inf; }, nullptr},
        {"divYield NaN", [nan](AsianRequest& r) { r.divYield = nan; }, nullptr},
        {"settled average NaN", [nan](AsianRequest& r) { r.settledAverage = nan; }, nullptr},
        {"settled average negative", [](AsianRequest& r) { r.numSettled = 1; r.settledAverage = -5; },
         "Invalid input: settledAverage must not be negative."},
        {"maxAsset NaN", [nan](AsianRequest& r) { r.maxAsset = nan; }, nullptr},
        {"timeSteps 0", [](AsianRequest& r) { r.timeSteps = 0; },
         "Invalid input: timeSteps must be at least 2."},
        {"timeSteps negative", [](AsianRequest& r) { r.timeSteps = -10; }, nullptr},
        {"assetSteps 0", [](AsianRequest& r) { r.assetSteps = 0; },
         "Invalid input: assetSteps must be at least 1."},
        {"assetSteps negative", [](AsianRequest& r) { r.assetSteps = -100; }, nullptr},
        {"optionType 2", [](AsianRequest& r) { r.optionType = 2; },
         "Invalid input: optionType must be one of 0..1."},
        {"exerciseType 3", [](AsianRequest& r) { r.exerciseType = 3; },
         "Invalid input: exerciseType must be one of 0..2."},
        {"exerciseType -1", [](AsianRequest& r) { r.exerciseType = -1; }, nullptr},
        {"discretization 3", [](AsianRequest& r) { r.discretization = 3; },
         "Invalid input: discretization must be one of 0..2."},
        {"American amerSolver 5", [](AsianRequest& r) { r.exerciseType = 1; r.amerSolver = 5; },
         "Invalid input: amerSolver must be one of 0..2."},
        {"fixings beyond the step budget", [](AsianRequest& r) { r.numFixings = 1 << 30; },
         "Invalid input: numFixings must be at most 5000."},
        {"5001 fixings", [](AsianRequest& r) { r.numFixings = 5001; }, nullptr},
        {"time steps beyond the step budget",
         [](AsianRequest& r) { r.timeSteps = 2147483647; r.numFixings = 1; }, nullptr},
        {"strike too large for doubles", [](AsianRequest& r) { r.strike = 1e300; r.resolution(20, 2); r.numFixings = 2; },
         "The solution is not a finite number: the asset, strike or market data lie beyond the "
         "range the solver can represent."},
        {"spot too small for doubles",
         [](AsianRequest& r) { r.strike = 0.0; r.spot = 1e-300; r.resolution(20, 1); r.numFixings = 2; }, nullptr},
        {"planes without end",
         [](AsianRequest& r) { r.strike = 0.0; r.expiry = 1e300; r.planeSpacing = 1; },
         "The spatial resolution you have requested requires more memory than the program can "
         "handle (4GB). Try reducing the number of asset steps to strike and/or the A-planes to "
         "Asset grid spacing ratio if possible."},
        {"settled average above the planes",
         [](AsianRequest& r) { r.numSettled = 3; r.settledAverage = 1e6; },
         "The average of settled fixings is too high and outside the calculation grid"},
        {"planes beyond 4GB",
         [](AsianRequest& r) { r.strike = 0.0; r.nonUniformGrid = 0; r.planeSpacing = 1; r.assetSteps = 2000; },
         "The spatial resolution you have requested requires more memory than the program can "
         "handle (4GB). Try reducing the number of asset steps to strike and/or the A-planes to "
         "Asset grid spacing ratio if possible."},
    };
    for (const Case& k : cases) {
        AsianRequest r;
        k.spoil(r);
        CallerArrays out;
        const std::string text = r.run(out);
        EXPECT_FALSE(text.empty()) << k.what;
        if (k.text) {
            EXPECT_EQ(text, k.text) << k.what;
        }
        for (int a = 0; a < 6; ++a)
            EXPECT_TRUE(out.untouched(a)) << k.what << " array " << a;
    }
}

TEST(VelkAsianOptionPricer, SettledAverageOnTheLastPlaneIsAccepted)
{
    AsianRequest probe;
    probe.resolution(30, 2);
    const Curve c = probe.curve();
    // The fixed-strike European planes end at the top node of the grid.
    AsianRequest r = probe;
    r.numSettled = 5;
    r.settledAverage = c.grid.back();
    CallerArrays out;
    EXPECT_EQ(r.run(out), "");
    AsianRequest above = probe;
    above.numSettled = 5;
    above.settledAverage = std::nextafter(c.grid.back(), 1e300);
    CallerArrays none;
    EXPECT_EQ(above.run(none),
              "The average of settled fixings is too high and outside the calculation grid");
}

TEST(VelkAsianOptionPricer, NullArgumentsFail)
{
    std::vector<double> a(50001);
    TvString text = VelkAsianOptionPricer(a.data(), a.data(), a.data(), a.data(), a.data(),
                                          a.data(), 100, 100, 100, 1, 0.2, 0.06, 0.03, nullptr,
                                          4, 10, 0, 0, 0, 0, 0, 2, 2, 2, 0, 0, 0, 1, 1);
    EXPECT_STREQ(text, "Invalid input: assetSteps must not be null.");
    tvFreeString(text);
}

TEST(VelkAsianOptionPricer, MoreThanTheMachineCanGiveReturnsTheMemoryText)
{
#ifdef TARVIC_ADDRESS_SANITIZER
    GTEST_SKIP() << "an address-space limit cannot be combined with the address sanitizer";
#else
    // In a child process whose address space leaves about 300 MB: planes
    // of about 1.7 GB (within the 4GB rule) must be refused with the text
    // of that room, not end the process.
    const int status = tarvic_test::inChildWithAddressSpaceRoom(300u << 20, [] {
        AsianRequest r;
        r.strike = 0.0;
        r.nonUniformGrid = 0;
        r.planeSpacing = 1;
        r.multiThreaded = 0;
        r.assetSteps = 600;
        CallerArrays* out = nullptr;
        try {
            out = new CallerArrays;
        } catch (...) {
            return 4;
        }
        TvString text = VelkAsianOptionPricer(
            out->p(0), out->p(1), out->p(2), out->p(3), out->p(4), out->p(5), r.spot, r.strike,
            r.timeSteps, r.expiry, r.volatility, r.intRate, r.divYield, &r.assetSteps,
            r.planeSpacing, r.numFixings, r.numSettled, r.settledAverage, r.firstFixingTime,
            r.optionType, r.exerciseType, r.discretization, r.amerSolver, r.planesInterp,
            r.maxAsset, 0, 0, r.nonUniformGrid, r.multiThreaded);
        // The room refused the planes before any was allocated: the text
        // names it, not the 4GB rule, nor an allocation that failed.
        const std::string opening =
            "The spatial resolution you have requested requires more memory than is available to "
            "the program (";
        const bool named = text && std::string(text, tvStringByteLen(text)).rfind(opening, 0) == 0 &&
                           std::string(text, tvStringByteLen(text)).find("MB). Try reducing") != std::string::npos;
        return named ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "1: another text, 4: no arrays, 100: no limit, -1: a signal";
#endif
}

}  // namespace
