// Calls across the nine exports whose answer would be a number that is not
// finite, a value that means nothing, or an array nobody asked for: each
// fails with a text (or the closed forms' 0.0) and writes no array, or
// writes only what was asked for.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "montecarlo/early_exercise.h"
#include "montecarlo/option_reference.h"
#include "pde/fd_frame.h"
#include "support/caller_arrays.h"
#include "support/mc_caller_arrays.h"
#include "support/reference_pricing.h"
#include "tarvic/tarvic.h"

namespace {

using tarvic_test::CallerArrays;
using tarvic_test::kDelta;
using tarvic_test::kGamma;
using tarvic_test::kGrid;
using tarvic_test::kTheta;
using tarvic_test::kValue;
using tarvic_test::kVega;
using tarvic_test::kUntouchedCount;
using tarvic_test::untouched;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string textOf(TvString text)
{
    std::string result(text, tvStringByteLen(text));
    tvFreeString(text);
    return result;
}

// ---- Callers with plain defaults ------------------------------------------------

struct VanillaFd {
    double strike = 100.0, expiry = 0.5, volatility = 0.25, intRate = 0.05, divYield = 0.0;
    int32_t timeSteps = 50, assetSteps = 50, optionType = 0, exerciseType = 0, discretization = 2;
    int32_t amerSolver = 2, calcTheta = 0, calcVega = 0, nonUniformGrid = 1, numPeriods = 1;
    double maxAsset = 0.0;
    CallerArrays out;

    std::string operator()()
    {
        return textOf(VelkOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma), out.p(kTheta),
                                       out.p(kVega), strike, timeSteps, expiry, volatility, intRate, divYield,
                                       &assetSteps, optionType, exerciseType, discretization, amerSolver, maxAsset,
                                       calcTheta, calcVega, nonUniformGrid, numPeriods));
    }
};

struct BarrierFd {
    double spot = 100.0, strike = 100.0, lowerBarrier = 80.0, upperBarrier = 0.0;
    double expiry = 0.5, volatility = 0.25, intRate = 0.05, divYield = 0.0;
    int32_t contMonitoring = 1, timeSteps = 50, assetSteps = 50, optionType = 0, knockOut = 1;
    int32_t exerciseType = 0, discretization = 2, amerSolver = 2, calcTheta = 0, calcVega = 0;
    int32_t nonUniformGrid = 1, numPeriods = 1;
    double maxAsset = 0.0;
    CallerArrays out;

    std::string operator()()
    {
        return textOf(VelkBarrierOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma),
                                              out.p(kTheta), out.p(kVega), spot, strike, lowerBarrier,
                                              upperBarrier, contMonitoring, timeSteps, expiry, volatility, intRate,
                                              divYield, &assetSteps, optionType, knockOut, exerciseType,
                                              discretization, amerSolver, maxAsset, calcTheta, calcVega,
                                              nonUniformGrid, numPeriods));
    }
};

struct AsianFd {
    double spot = 100.0, strike = 100.0, expiry = 1.0, volatility = 0.3, intRate = 0.05, divYield = 0.0;
    int32_t timeSteps = 100, assetSteps = 100, planeSpacing = 1, numFixings = 5, numSettled = 0;
    double settledAverage = 0.0, firstFixingTime = 0.0;
    int32_t optionType = 0, exerciseType = 0, discretization = 2, amerSolver = 2, planesInterp = 2;
    double maxAsset = 0.0;
    int32_t calcTheta = 0, calcVega = 0, nonUniformGrid = 1, multiThreaded = 0;
    CallerArrays out;

    std::string operator()()
    {
        return textOf(VelkAsianOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma),
                                            out.p(kTheta), out.p(kVega), spot, strike, timeSteps, expiry,
                                            volatility, intRate, divYield, &assetSteps, planeSpacing, numFixings,
                                            numSettled, settledAverage, firstFixingTime, optionType,
                                            exerciseType, discretization, amerSolver, planesInterp, maxAsset,
                                            calcTheta, calcVega, nonUniformGrid, multiThreaded));
    }
};

// The five Monte Carlo arrays, any of which may be passed as null.
struct McPointers : tarvic_test::McArrays {
    bool nullDelta = false, nullGamma = false, nullVega = false, nullTheta = false;
    double* pointer(std::vector<double>& a, bool null) { return null ? nullptr : a.data(); }
};

struct VanillaMc : McPointers {
    double spot = 100.0, strike = 100.0, lowerBarrier = 0.0, upperBarrier = 0.0;
    double expiry = 1.0, volatility = 0.25, intRate = 0.05, divYield = 0.0;
    int32_t numSteps = 10, optionType = 1, exerciseType = 0, knockOut = 1, contMonitoring = 0;
    int32_t numPaths = 2, numLSPaths = 1, numBasisFunctions = 3, greeksCode = 0, greeksMethod = 0;
    int32_t timeMarching = 1, antithetic = 0, useSobol = 0, warmUpSobol = 0, brownianBridge = 0;
    int32_t multiThreaded = 1, fewSobolBlocks = 0;

    std::string operator()()
    {
        return textOf(VelkOptionPricerMC(value.data(), pointer(delta, nullDelta), pointer(gamma, nullGamma),
                                         pointer(vega, nullVega), pointer(theta, nullTheta), &rowCount, spot,
                                         strike, lowerBarrier, upperBarrier, expiry, volatility, intRate,
                                         divYield, numSteps, optionType, exerciseType, knockOut, contMonitoring,
                                         numPaths, numLSPaths, numBasisFunctions, greeksCode, greeksMethod,
                                         timeMarching, antithetic, useSobol, warmUpSobol, brownianBridge,
                                         multiThreaded, fewSobolBlocks));
    }
};

struct AsianMc : McPointers {
    double spot = 100.0, strike = 100.0, expiry = 1.0, volatility = 0.25, intRate = 0.05, divYield = 0.0;
    int32_t numFixings = 5, numSettled = 0;
    double settledAverage = 0.0, firstFixingTime = 0.0;
    int32_t optionType = 1, exerciseType = 0, strikeType = 0;
    int32_t numPaths = 2, numLSPaths = 1, numBasisFunctions = 10, greeksCode = 0, greeksMethod = 0;
    int32_t timeMarching = 1, antithetic = 0, useSobol = 0, warmUpSobol = 0, brownianBridge = 0;
    int32_t multiThreaded = 1, fewSobolBlocks = 0;

    std::string operator()()
    {
        return textOf(VelkAsianOptionPricerMC(
            value.data(), pointer(delta, nullDelta), pointer(gamma, nullGamma), pointer(vega, nullVega),
            pointer(theta, nullTheta), &rowCount, spot, strike, expiry, volatility, intRate, divYield, numFixings,
            numSettled, settledAverage, firstFixingTime, optionType, exerciseType, strikeType, numPaths,
            numLSPaths, numBasisFunctions, greeksCode, greeksMethod, timeMarching, antithetic, useSobol,
            warmUpSobol, brownianBridge, multiThreaded, fewSobolBlocks));
    }
};

bool untouchedFd(const CallerArrays& out)
{
    for (int k = 0; k < 6; ++k)
        if (!out.untouched(k))
            return false;
    return true;
}

bool untouchedMc(const tarvic_test::McArrays& a)
{
    return a.rowCount == kUntouchedCount && untouched(a.value) && untouched(a.delta) && untouched(a.gamma) &&
           untouched(a.vega) && untouched(a.theta);
}

// The closed forms' five single outputs.
struct Spot {
    double value = -7.0, delta = -7.0, gamma = -7.0, theta = -7.0, vega = -7.0;
    bool untouched() const
    {
        return value == -7.0 && delta == -7.0 && gamma == -7.0 && theta == -7.0 && vega == -7.0;
    }
};

// A closed-form grid of three nodes with a sentinel after them.
struct Grid {
    std::vector<double> nodes{80.0, 100.0, 120.0};
    std::vector<double> values = std::vector<double>(4, -7.0);
    bool untouched() const
    {
        for (double v : values)
            if (v != -7.0)
                return false;
        return true;
    }
};

// A hostile call: whether it failed, and whether every array is as it was.
struct Outcome {
    bool failed;
    bool untouched;
    std::string text;
};

struct HostileCase {
    const char* what;
    std::function<Outcome()> call;
};

template <class Call>
Outcome fdOutcome(Call call)
{
    const std::string text = call();
    return {!text.empty(), untouchedFd(call.out), text};
}

template <class Call>
Outcome mcOutcome(Call call)
{
    const std::string text = call();
    return {!text.empty(), untouchedMc(call), text};
}

Outcome vanillaBS(double S, double K, double r, double q, double sigma, double T, int32_t type = 0)
{
    Spot o;
    const double result = VanillaBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, S, K, r, q, sigma, T, type);
    return {result != 1.0, o.untouched(), std::to_string(result)};
}

Outcome barrierBS(double S, double K, double r, double q, double sigma, double T, double L, double U)
{
    Spot o;
    const double result =
        BarrierBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, S, K, r, q, sigma, T, L, U, 1, 0);
    return {result != 1.0, o.untouched(), std::to_string(result)};
}

Outcome vanillaGrid(double K, double r, double q, double sigma, double T, std::vector<double> nodes = {})
{
    Grid g;
    if (!nodes.empty())
        g.nodes = nodes;
    const double result = VanillaBSGrid(g.nodes.data(), g.values.data(), K, r, q, sigma, T, 1, 2);
    return {result != 1.0, g.untouched(), std::to_string(result)};
}

Outcome barrierGrid(double K, double r, double q, double sigma, double T, double L, double U,
                    std::vector<double> nodes = {})
{
    Grid g;
    if (!nodes.empty())
        g.nodes = nodes;
    const double result = BarrierBSGrid(g.nodes.data(), g.values.data(), K, r, q, sigma, T, L, U, 1, 0, 2);
    return {result != 1.0, g.untouched(), std::to_string(result)};
}

void expectRefused(const std::vector<HostileCase>& cases)
{
    for (const HostileCase& k : cases) {
        const Outcome o = k.call();
        EXPECT_TRUE(o.failed) << k.what;
        EXPECT_TRUE(o.untouched) << k.what << ": '" << o.text << "'";
    }
}

// ---- Results that are not finite ------------------------------------------------

TEST(UnsoundResults, NonFiniteResultsFailAndWriteNothing)
{
    const std::vector<HostileCase> cases = {
        {"MC American put, differenced Greeks, spot 5e-324",
         [] {
             VanillaMc c;
             c.exerciseType = 1, c.greeksCode = 1000, c.greeksMethod = 2, c.spot = 5e-324;
             return mcOutcome(c);
         }},
        {"MC American put, differenced Greeks, spot = strike = 1e-300",
         [] {
             VanillaMc c;
             c.exerciseType = 1, c.greeksCode = 1000, c.greeksMethod = 2, c.spot = 1e-300, c.strike = 1e-300;
             return mcOutcome(c);
         }},
        {"MC American put, differenced theta, expiry 5e-324",
         [] {
             VanillaMc c;
             c.exerciseType = 1, c.greeksCode = 10, c.greeksMethod = 2, c.expiry = 5e-324;
             return mcOutcome(c);
         }},
        {"Asian MC American put, 3 of 6 settled, spot 1e-300",
         [] {
             AsianMc c;
             c.exerciseType = 1, c.numFixings = 3, c.numSettled = 3, c.settledAverage = 101.0;
             c.spot = 1e-300, c.greeksCode = 1110, c.greeksMethod = 2;
             return mcOutcome(c);
         }},
        {"FD vanilla strike 1e-300",
         [] {
             VanillaFd c;
             c.strike = 1e-300;
             return fdOutcome(c);
         }},
        {"FD vanilla volatility 1e300",
         [] {
             VanillaFd c;
             c.volatility = 1e300;
             return fdOutcome(c);
         }},
        {"FD vanilla American put expiry 5e-324",
         [] {
             VanillaFd c;
             c.optionType = 1, c.exerciseType = 1, c.expiry = 5e-324;
             return fdOutcome(c);
         }},
        {"FD Asian American put, re-priced theta, expiry 1e-320",
         [] {
             AsianFd c;
             c.optionType = 1, c.exerciseType = 1, c.timeSteps = 50, c.assetSteps = 50;
             c.expiry = 1e-320, c.calcTheta = 1;
             return fdOutcome(c);
         }},
        {"FD barrier down-and-out call intRate -1e300",
         [] {
             BarrierFd c;
             c.intRate = -1e300;
             return fdOutcome(c);
         }},
        {"FD barrier down-and-out call volatility 1e300",
         [] {
             BarrierFd c;
             c.volatility = 1e300;
             return fdOutcome(c);
         }},
        {"VanillaBS intRate -1e300", [] { return vanillaBS(100, 100, -1e300, 0, 0.2, 1); }},
        {"BarrierBS intRate -1e300", [] { return barrierBS(100, 100, -1e300, 0, 0.2, 1, 80, 0); }},
        {"VanillaBSGrid intRate -1e300", [] { return vanillaGrid(100, -1e300, 0, 0.2, 1); }},
        {"BarrierBSGrid intRate -1e300", [] { return barrierGrid(100, -1e300, 0, 0.2, 1, 80, 0); }},
    };
    expectRefused(cases);
}

TEST(UnsoundResults, NonFiniteFiniteDifferenceSolutionsNameTheirCause)
{
    VanillaFd vanilla;
    vanilla.volatility = 1e300;
    EXPECT_EQ(vanilla(), tarvic::kNonFiniteSolutionText);
    VanillaMc mc;
    mc.exerciseType = 1, mc.greeksCode = 1000, mc.greeksMethod = 2, mc.spot = 5e-324;
    EXPECT_EQ(mc(), tarvic::kNonFiniteResultText);
}

// ---- Finite-difference answers the grid cannot hold ------------------------------

// The program's defaults for a finite-difference run: spot and strike 100,
// a year, volatility 25%, rates 5% and 2%, 100 time and asset steps, the
// Rannacher start, Brennan-Schwartz and the stretched grid.
template <class Call>
Call programDefaults()
{
    Call c;
    c.strike = 100.0, c.expiry = 1.0, c.volatility = 0.25, c.intRate = 0.05, c.divYield = 0.02;
    c.timeSteps = 100, c.assetSteps = 100, c.discretization = 2, c.amerSolver = 2;
    c.nonUniformGrid = 1;
    return c;
}

// An American fixed-strike Asian put as the program sends it: planes one
// apart, read quadratically.
AsianFd programAsianAmericanPut()
{
    AsianFd c = programDefaults<AsianFd>();
    c.spot = 100.0, c.optionType = 1, c.exerciseType = 1, c.planeSpacing = 1, c.planesInterp = 1;
    c.numFixings = 10;
    return c;
}

// What a call gave: its text, whether the arrays are as they were, and the
// value at `spot` when it priced.
struct Answer {
    std::string text;
    bool untouched;
    double atSpot;
    int32_t lastIndex;
};

template <class Call>
Answer answerOf(Call call, double spot = 100.0)
{
    Answer a{call(), untouchedFd(call.out), 0.0, call.assetSteps};
    if (a.text.empty()) {
        const std::vector<double>& grid = call.out.a[kGrid];
        const std::vector<double>& value = call.out.a[kValue];
        a.atSpot = tarvic_test::interpolateNodes(grid, value, call.assetSteps, spot);
    }
    return a;
}

// The cases of a sweep of extreme but accepted inputs that came back as a
// success with a value below 0 or far from the truth: each is now refused
// with the text that names what to change and writes nothing, or priced
// within a tolerance of its closed form.
TEST(UnsoundResults, FiniteDifferenceAnswersOutsideTheGridAreRefusedOrRight)
{
    const std::string negative = tarvic::kNegativeSolutionText;
    const std::string reach = tarvic::kGridReachText;
    // The opening of the refusal of a drift the grid cannot resolve.
    const std::string drift = "The drift r - q outruns the volatility on this grid";
    const std::string corridor =
        "Invalid input: the corridor between lowerBarrier and upperBarrier is narrower than one "
        "asset step (strike / assetSteps) on the uniform grid; widen the corridor, raise "
        "assetSteps or use the non-uniform grid.";
    const auto bs = [](bool isCall, double T, double r, double q, double sigma) {
        return tarvic_test::blackScholes(isCall, 100.0, 100.0, T, r, q, sigma);
    };
    struct Case {
        const char* what;
        std::function<Answer()> call;
        std::string text;      // the refusal, or empty for a price
        double reference = 0;  // the closed form a price must be near
        double tolerance = 0;
    };
    const std::vector<Case> cases = {
        {"European put, volatility 1e-6",
         [] {
             auto c = programDefaults<VanillaFd>();
             c.optionType = 1, c.volatility = 1e-6;
             return answerOf(c);
         },
         drift},
        {"European put, volatility 1e-3",
         [] {
             auto c = programDefaults<VanillaFd>();
             c.optionType = 1, c.volatility = 1e-3;
             return answerOf(c);
         },
         drift},
        {"European put, intRate 5",
         [] {
             auto c = programDefaults<VanillaFd>();
             c.optionType = 1, c.intRate = 5.0;
             return answerOf(c);
         },
         drift},
        {"Double knock-out call 80/120, volatility 1e-6",
         [] {
             auto c = programDefaults<BarrierFd>();
             c.lowerBarrier = 80.0, c.upperBarrier = 120.0, c.volatility = 1e-6;
             return answerOf(c);
         },
         drift},
        {"Double knock-out call 80/120, 2 time steps",
         [] {
             auto c = programDefaults<BarrierFd>();
             c.lowerBarrier = 80.0, c.upperBarrier = 120.0, c.timeSteps = 2;
             return answerOf(c);
         },
         negative},
        {"Down-and-in put 80, volatility 1e-6",
         [] {
             auto c = programDefaults<BarrierFd>();
             c.optionType = 1, c.knockOut = 0, c.volatility = 1e-6;
             return answerOf(c);
         },
         drift},
        {"Up-and-out put 120, intRate 5",
         [] {
             auto c = programDefaults<BarrierFd>();
             c.optionType = 1, c.lowerBarrier = 0.0, c.upperBarrier = 120.0, c.intRate = 5.0;
             return answerOf(c);
         },
         drift},
        {"Asian American fixed put, 1 asset step",
         [] {
             AsianFd c = programAsianAmericanPut();
             c.assetSteps = 1;
             return answerOf(c);
         },
         negative},
        {"Asian American fixed put, 2 asset steps",
         [] {
             AsianFd c = programAsianAmericanPut();
             c.assetSteps = 2;
             return answerOf(c);
         },
         negative},
        {"Down-and-out call 80, volatility 5",
         [] {
             auto c = programDefaults<BarrierFd>();
             c.volatility = 5.0;
             return answerOf(c);
         },
         reach},
        {"American double knock-out put 99.99/100.01, monitored at expiry, uniform grid, PSOR",
         [] {
             auto c = programDefaults<BarrierFd>();
             c.optionType = 1, c.exerciseType = 1, c.lowerBarrier = 99.99, c.upperBarrier = 100.01;
             c.contMonitoring = 0, c.nonUniformGrid = 0, c.amerSolver = 0;
             return answerOf(c);
         },
         corridor},
        // Priced: Black-Scholes is the value of these (a one-period Bermudan
        // call exercises at expiry only) and a lower bound of any early
        // exercise. The stretched grid reaches as far as the volatility
        // asks within the node limit.
        {"European call, volatility 2",
         [] {
             auto c = programDefaults<VanillaFd>();
             c.volatility = 2.0;
             return answerOf(c);
         },
         "", bs(true, 1.0, 0.05, 0.02, 2.0), 0.005 * bs(true, 1.0, 0.05, 0.02, 2.0)},
        {"European call, volatility 5",
         [] {
             auto c = programDefaults<VanillaFd>();
             c.volatility = 5.0;
             return answerOf(c);
         },
         "", bs(true, 1.0, 0.05, 0.02, 5.0), 0.005 * bs(true, 1.0, 0.05, 0.02, 5.0)},
        {"European call, volatility 30",
         [] {
             auto c = programDefaults<VanillaFd>();
             c.volatility = 30.0;
             return answerOf(c);
         },
         "", bs(true, 1.0, 0.05, 0.02, 30.0), 0.005 * bs(true, 1.0, 0.05, 0.02, 30.0)},
        {"European call, volatility 2, a user top of 5000 on the uniform grid",
         [] {
             auto c = programDefaults<VanillaFd>();
             c.volatility = 2.0, c.maxAsset = 5000.0, c.nonUniformGrid = 0;
             return answerOf(c);
         },
         "", bs(true, 1.0, 0.05, 0.02, 2.0), 0.01},
        // Right at the spot, but the call's curvature sits near S = 1,
        // where a step spans 80 times what the volatility evens out.
        {"Bermudan call, intRate 5", [] {
             auto c = programDefaults<VanillaFd>();
             c.exerciseType = 2, c.intRate = 5.0;
             return answerOf(c);
         },
         drift},
        {"Bermudan call, expiry 50", [] {
             auto c = programDefaults<VanillaFd>();
             c.exerciseType = 2, c.expiry = 50.0;
             return answerOf(c);
         },
         "", bs(true, 50.0, 0.05, 0.02, 0.25), 0.02},
        {"Bermudan call, intRate 0.5, expiry 2", [] {
             auto c = programDefaults<VanillaFd>();
             c.exerciseType = 2, c.intRate = 0.5, c.expiry = 2.0;
             return answerOf(c);
         },
         "", bs(true, 2.0, 0.5, 0.02, 0.25), 0.01},
        {"Bermudan call, intRate 0.1, expiry 5, no dividend", [] {
             auto c = programDefaults<VanillaFd>();
             c.exerciseType = 2, c.intRate = 0.1, c.expiry = 5.0, c.divYield = 0.0;
             return answerOf(c);
         },
         "", bs(true, 5.0, 0.1, 0.0, 0.25), 0.01},
        {"European put, expiry 1000", [] {
             auto c = programDefaults<VanillaFd>();
             c.optionType = 1, c.expiry = 1000.0;
             return answerOf(c);
         },
         "", bs(false, 1000.0, 0.05, 0.02, 0.25), 1e-6},
    };
    for (const Case& k : cases) {
        const Answer a = k.call();
        if (k.text == drift) {
            EXPECT_EQ(a.text.substr(0, drift.size()), drift) << k.what;
            EXPECT_NE(a.text.find("raise the volatility"), std::string::npos) << k.what;
            EXPECT_TRUE(a.untouched) << k.what;
        } else if (!k.text.empty()) {
            EXPECT_EQ(a.text, k.text) << k.what;
            EXPECT_TRUE(a.untouched) << k.what;
        } else {
            ASSERT_EQ(a.text, "") << k.what;
            EXPECT_NEAR(a.atSpot, k.reference, k.tolerance) << k.what;
        }
    }
}

TEST(UnsoundResults, OnePeriodBermudanCallsPriceAsTheirEuropeans)
{
    // With one period the only exercise date is expiry: the Bermudan and the
    // European solve the same problem, to rounding, at ordinary and at
    // extreme rates.
    struct Case {
        double intRate, expiry, divYield;
        bool barrier;
    };
    const Case cases[] = {{0.05, 1.0, 0.02, false}, {0.5, 2.0, 0.02, false}, {0.1, 5.0, 0.0, false},
                          {5.0, 1.0, 0.02, false},  {0.5, 2.0, 0.02, true},  {0.05, 1.0, 0.02, true}};
    // At r 5 neither resolves the drift near S = 1: both are refused alike.
    for (const Case& k : cases) {
        const std::string what = std::string(k.barrier ? "down-and-out 80" : "vanilla") + ", r " +
                                 std::to_string(k.intRate) + ", T " + std::to_string(k.expiry);
        const auto priced = [&](int32_t exerciseType) {
            if (k.barrier) {
                auto c = programDefaults<BarrierFd>();
                c.exerciseType = exerciseType, c.intRate = k.intRate, c.expiry = k.expiry;
                c.divYield = k.divYield;
                return answerOf(c);
            }
            auto c = programDefaults<VanillaFd>();
            c.exerciseType = exerciseType, c.intRate = k.intRate, c.expiry = k.expiry;
            c.divYield = k.divYield;
            return answerOf(c);
        };
        const Answer bermudan = priced(2);
        const Answer european = priced(0);
        if (k.intRate > 1.0) {
            EXPECT_EQ(bermudan.text, european.text) << what;
            EXPECT_NE(bermudan.text, "") << what;
            continue;
        }
        ASSERT_EQ(bermudan.text, "") << what;
        ASSERT_EQ(european.text, "") << what;
        EXPECT_NEAR(bermudan.atSpot, european.atSpot, 1e-9 * european.atSpot) << what;
    }
}

TEST(UnsoundResults, ADegenerateCorridorOnTheStretchedGridPricesOnAnOrdinaryGrid)
{
    // The corridor of 0.02 refused on the uniform grid prices on the
    // stretched one with a grid of ordinary size; with the barrier
    // monitored at expiry only, the holder exercises early and the value
    // is at most the American put's.
    auto corridor = programDefaults<BarrierFd>();
    corridor.optionType = 1, corridor.exerciseType = 1, corridor.lowerBarrier = 99.99;
    corridor.upperBarrier = 100.01, corridor.contMonitoring = 0, corridor.amerSolver = 0;
    const Answer a = answerOf(corridor);
    ASSERT_EQ(a.text, "");
    EXPECT_LT(a.lastIndex, 1000);
    auto american = programDefaults<VanillaFd>();
    american.optionType = 1, american.exerciseType = 1;
    const Answer put = answerOf(american);
    ASSERT_EQ(put.text, "");
    EXPECT_GT(a.atSpot, 0.0);
    EXPECT_LE(a.atSpot, put.atSpot + 1e-3);
}

// ---- Inputs that make no sense ----------------------------------------------------

TEST(UnsoundResults, ClosedFormsRefuseNonsenseInputs)
{
    const std::vector<HostileCase> cases = {
        {"VanillaBS volatility -1", [] { return vanillaBS(100, 100, 0.05, 0, -1.0, 1); }},
        {"VanillaBS spot NaN", [] { return vanillaBS(kNaN, 100, 0.05, 0, 0.2, 1); }},
        {"VanillaBS spot -100", [] { return vanillaBS(-100, 100, 0.05, 0, 0.2, 1, 1); }},
        {"VanillaBS expiry -1", [] { return vanillaBS(100, 100, 0.05, 0, 0.2, -1); }},
        {"VanillaBS expiry NaN", [] { return vanillaBS(100, 100, 0.05, 0, 0.2, kNaN); }},
        {"VanillaBS strike -100", [] { return vanillaBS(100, -100, 0.05, 0, 0.2, 1); }},
        {"BarrierBS volatility -1", [] { return barrierBS(100, 100, 0.05, 0, -1.0, 1, 80, 0); }},
        {"BarrierBS spot NaN", [] { return barrierBS(kNaN, 100, 0.05, 0, 0.2, 1, 80, 0); }},
        {"BarrierBS expiry -1", [] { return barrierBS(100, 100, 0.05, 0, 0.2, -1, 80, 0); }},
        {"BarrierBS expiry NaN", [] { return barrierBS(100, 100, 0.05, 0, 0.2, kNaN, 80, 0); }},
        {"BarrierBS strike -100", [] { return barrierBS(100, -100, 0.05, 0, 0.2, 1, 80, 0); }},
        {"BarrierBS lowerBarrier NaN", [] { return barrierBS(100, 100, 0.05, 0, 0.2, 1, kNaN, 0); }},
        {"VanillaBSGrid volatility -1", [] { return vanillaGrid(100, 0.05, 0, -1.0, 1); }},
        {"VanillaBSGrid node NaN", [] { return vanillaGrid(100, 0.05, 0, 0.2, 1, {80, kNaN, 120}); }},
        {"VanillaBSGrid node -100", [] { return vanillaGrid(100, 0.05, 0, 0.2, 1, {-100, 100, 120}); }},
        {"VanillaBSGrid expiry -1", [] { return vanillaGrid(100, 0.05, 0, 0.2, -1); }},
        {"VanillaBSGrid expiry NaN", [] { return vanillaGrid(100, 0.05, 0, 0.2, kNaN); }},
        {"VanillaBSGrid strike -100", [] { return vanillaGrid(-100, 0.05, 0, 0.2, 1); }},
        {"BarrierBSGrid volatility -1", [] { return barrierGrid(100, 0.05, 0, -1.0, 1, 80, 0); }},
        {"BarrierBSGrid node NaN", [] { return barrierGrid(100, 0.05, 0, 0.2, 1, 80, 0, {90, kNaN, 120}); }},
        {"BarrierBSGrid node -100", [] { return barrierGrid(100, 0.05, 0, 0.2, 1, 80, 0, {-100, 100, 120}); }},
        {"BarrierBSGrid expiry -1", [] { return barrierGrid(100, 0.05, 0, 0.2, -1, 80, 0); }},
        {"BarrierBSGrid expiry NaN", [] { return barrierGrid(100, 0.05, 0, 0.2, kNaN, 80, 0); }},
        {"BarrierBSGrid strike -100", [] { return barrierGrid(-100, 0.05, 0, 0.2, 1, 80, 0); }},
    };
    expectRefused(cases);
}

TEST(UnsoundResults, ClosedFormsStillPriceTheirEdges)
{
    // A zero volatility, a spot of 0 and a contract marked as not priced
    // are answers, not failures.
    Spot o;
    EXPECT_EQ(VanillaBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, 150, 100, 0.05, 0, 0.0, 1, 0), 1.0);
    EXPECT_NEAR(o.value, 150 - 100 * std::exp(-0.05), 1e-12);
    EXPECT_EQ(VanillaBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, 0.0, 100, 0.05, 0, 0.2, 1, 1), 1.0);
    EXPECT_NEAR(o.value, 100 * std::exp(-0.05), 1e-12);
    EXPECT_EQ(BarrierBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, 100, 100, 0.05, 0, 0.2, 1, 80, 120, 7,
                        0),
              1.0);
    EXPECT_EQ(o.value, -1.0);
    Grid g;
    g.nodes = {0.0, 100.0, 120.0};
    EXPECT_EQ(VanillaBSGrid(g.nodes.data(), g.values.data(), 100, 0.05, 0, 0.2, 1, 1, 2), 1.0);
    EXPECT_NEAR(g.values[0], 100 * std::exp(-0.05), 1e-12);
    EXPECT_EQ(g.values[3], -7.0);
}

TEST(UnsoundResults, VanillaFiniteDifferencesRefuseNonsenseInputs)
{
    struct Case {
        const char* what;
        void (*spoil)(VanillaFd&);
        const char* text;
    };
    const Case cases[] = {
        {"exerciseType -1", [](VanillaFd& c) { c.exerciseType = -1; },
         "Invalid input: exerciseType must be one of 0..2."},
        {"exerciseType 3", [](VanillaFd& c) { c.exerciseType = 3; },
         "Invalid input: exerciseType must be one of 0..2."},
        {"exerciseType 256", [](VanillaFd& c) { c.exerciseType = 256; },
         "Invalid input: exerciseType must be one of 0..2."},
        {"exerciseType INT_MAX", [](VanillaFd& c) { c.exerciseType = INT_MAX; },
         "Invalid input: exerciseType must be one of 0..2."},
        {"European put, volatility 0, uniform grid",
         [](VanillaFd& c) { c.optionType = 1, c.volatility = 0.0, c.nonUniformGrid = 0, c.timeSteps = 100; },
         "Invalid input: volatility must be greater than 0."},
        {"volatility 0", [](VanillaFd& c) { c.volatility = 0.0; },
         "Invalid input: volatility must be greater than 0."},
    };
    for (const Case& k : cases) {
        VanillaFd call;
        k.spoil(call);
        EXPECT_EQ(call(), k.text) << k.what;
        EXPECT_TRUE(untouchedFd(call.out)) << k.what;
    }
}

TEST(UnsoundResults, FloatingPutOnAUserTopPricesAsOnTheAutomaticGrid)
{
    // An American or European floating-strike put, 2 of 5 fixings settled at
    // 98, on a stretched grid whose top the user sets far above the
    // automatic one: no value below 0, and the value at the spot that of
    // the automatic grid.
    struct Case {
        double maxAsset;
        int32_t exerciseType;
    };
    const Case cases[] = {{1e8, 1}, {1e8, 0}, {1e6, 1}, {1e4, 1}, {1e4, 0}};
    const auto request = [](double maxAsset, int32_t exerciseType) {
        AsianFd c;
        c.strike = 0.0, c.optionType = 1, c.exerciseType = exerciseType, c.numSettled = 2;
        c.settledAverage = 98.0, c.timeSteps = 50, c.assetSteps = 50, c.maxAsset = maxAsset;
        return c;
    };
    const auto curveOf = [](AsianFd& c, std::vector<double>& grid, std::vector<double>& value) {
        const size_t count = static_cast<size_t>(c.assetSteps) + 1;
        grid.assign(c.out.a[kGrid].begin(), c.out.a[kGrid].begin() + static_cast<long>(count));
        value.assign(c.out.a[kValue].begin(), c.out.a[kValue].begin() + static_cast<long>(count));
    };
    for (const Case& k : cases) {
        const std::string what = "maxAsset " + std::to_string(k.maxAsset) + ", exerciseType " +
                                 std::to_string(k.exerciseType);
        AsianFd automatic = request(0.0, k.exerciseType);
        ASSERT_EQ(automatic(), "") << what;
        AsianFd user = request(k.maxAsset, k.exerciseType);
        ASSERT_EQ(user(), "") << what;
        std::vector<double> grid, value, autoGrid, autoValue;
        curveOf(user, grid, value);
        curveOf(automatic, autoGrid, autoValue);
        EXPECT_GT(grid.back(), 0.9 * k.maxAsset) << what;
        EXPECT_GE(*std::min_element(value.begin(), value.end()), 0.0) << what;
        EXPECT_NEAR(tarvic_test::interpolateNodes(grid, value, user.assetSteps, 100.0),
                    tarvic_test::interpolateNodes(autoGrid, autoValue, automatic.assetSteps, 100.0), 1e-3)
            << what;
    }
}

TEST(UnsoundResults, FiniteDifferencesRefuseAVolatilityOfZero)
{
    // Puts that dipped below 0 without diffusion.
    const char* text = "Invalid input: volatility must be greater than 0.";
    for (int32_t uniform : {0, 1}) {
        BarrierFd barrier;
        barrier.optionType = 1, barrier.volatility = 0.0, barrier.nonUniformGrid = !uniform;
        EXPECT_EQ(barrier(), text);
        EXPECT_TRUE(untouchedFd(barrier.out));
        AsianFd asian;
        asian.optionType = 1, asian.volatility = 0.0, asian.nonUniformGrid = !uniform;
        EXPECT_EQ(asian(), text);
        EXPECT_TRUE(untouchedFd(asian.out));
    }
}

// ---- Arrays not asked for ---------------------------------------------------------

TEST(UnsoundResults, SensitivitiesNotAskedForMayBeNullAndAreNotWritten)
{
    struct Case {
        int32_t greeksCode, greeksMethod;
        bool asian, delta, vega, theta;
    };
    const Case cases[] = {
        {10, 1, false, false, false, true}, {100, 1, false, false, true, false}, {1000, 1, false, true, false, false},
        {10, 2, false, false, false, true}, {100, 1, true, false, true, false},  {10, 1, true, false, false, true},
        {1000, 2, true, true, false, false}, {1, 1, false, false, false, false},
    };
    for (const Case& k : cases) {
        const std::string what = std::string(k.asian ? "Asian" : "vanilla") + ", code " +
                                 std::to_string(k.greeksCode) + ", method " + std::to_string(k.greeksMethod);
        for (bool nullUnasked : {false, true}) {
            const auto run = [&](McPointers& c, const std::function<std::string()>& call) {
                if (nullUnasked) {
                    c.nullDelta = c.nullGamma = !k.delta;
                    c.nullVega = !k.vega;
                    c.nullTheta = !k.theta;
                }
                ASSERT_EQ(call(), "") << what;
                EXPECT_GT(c.rowCount, 0) << what;
                EXPECT_TRUE(tarvic_test::writtenUpTo(c.value, c.rowCount)) << what;
                EXPECT_EQ(untouched(c.delta), !k.delta) << what;
                EXPECT_EQ(untouched(c.gamma), !k.delta) << what;
                EXPECT_EQ(untouched(c.vega), !k.vega) << what;
                EXPECT_EQ(untouched(c.theta), !k.theta) << what;
            };
            if (k.asian) {
                AsianMc c;
                c.greeksCode = k.greeksCode, c.greeksMethod = k.greeksMethod;
                run(c, [&] { return c(); });
            } else {
                VanillaMc c;
                c.greeksCode = k.greeksCode, c.greeksMethod = k.greeksMethod;
                run(c, [&] { return c(); });
            }
        }
    }
}

TEST(UnsoundResults, LikelihoodRatioArraysAskedForAreTheEstimatorsOfAFullRun)
{
    // Asking for theta alone gives the theta rows of a run that asks for all.
    tarvic_test::ThreadCount threads(2);
    VanillaMc all;
    all.greeksCode = 1110, all.greeksMethod = 1;
    ASSERT_EQ(all(), "");
    VanillaMc thetaOnly;
    thetaOnly.greeksCode = 10, thetaOnly.greeksMethod = 1;
    thetaOnly.nullDelta = thetaOnly.nullGamma = thetaOnly.nullVega = true;
    ASSERT_EQ(thetaOnly(), "");
    EXPECT_EQ(thetaOnly.rows(thetaOnly.theta), all.rows(all.theta));
    EXPECT_EQ(thetaOnly.rows(thetaOnly.value), all.rows(all.value));
}

// ---- Path counts the early-exercise engines raise -----------------------------------

TEST(UnsoundResults, EarlyExercisePathCountsAreRaisedNotRefused)
{
    // Each low count prices exactly as the count it is raised to.
    tarvic_test::ThreadCount threads(2);
    struct Case {
        const char* what;
        bool asian, sobol;
        int32_t numPaths, numLSPaths, raisedPaths, raisedLSPaths;
    };
    const Case cases[] = {
        {"pseudo-random numPaths 0", false, false, 0, 1, 1, 1},
        {"pseudo-random numPaths -4", false, false, -4, 1, 1, 1},
        {"pseudo-random numLSPaths -1", false, false, 2, -1, 2, 1},
        {"Sobol numPaths -1", false, true, -1, 10, 10, 10},
        {"Sobol numLSPaths -1", false, true, 11, -1, 11, 10},
        {"Asian pseudo-random numPaths 0", true, false, 0, 1, 1, 1},
        {"Asian Sobol numPaths -1", true, true, -1, 10, 10, 10},
        {"Asian Sobol numLSPaths -1", true, true, 11, -1, 11, 10},
    };
    for (const Case& k : cases) {
        const auto rowsOf = [&](int32_t numPaths, int32_t numLSPaths, std::string& text) {
            if (k.asian) {
                AsianMc c;
                c.exerciseType = 1, c.useSobol = k.sobol, c.numPaths = numPaths, c.numLSPaths = numLSPaths;
                text = c();
                return text.empty() ? c.rows(c.value) : std::vector<double>();
            }
            VanillaMc c;
            c.exerciseType = 1, c.useSobol = k.sobol, c.numPaths = numPaths, c.numLSPaths = numLSPaths;
            text = c();
            return text.empty() ? c.rows(c.value) : std::vector<double>();
        };
        std::string low, raised;
        const std::vector<double> lowRows = rowsOf(k.numPaths, k.numLSPaths, low);
        const std::vector<double> raisedRows = rowsOf(k.raisedPaths, k.raisedLSPaths, raised);
        EXPECT_EQ(low, "") << k.what;
        ASSERT_EQ(raised, "") << k.what;
        EXPECT_FALSE(raisedRows.empty()) << k.what;
        EXPECT_EQ(lowRows, raisedRows) << k.what;
    }
}

TEST(UnsoundResults, EuropeanPathCountsBelowOneAreStillRefused)
{
    VanillaMc pseudo;
    pseudo.numPaths = 0;
    EXPECT_EQ(pseudo(), "Invalid input: numPaths must be at least 1.");
    AsianMc sobol;
    sobol.useSobol = 1, sobol.numPaths = -1;
    EXPECT_EQ(sobol(), "Invalid input: numPaths must be 0 .. 30 with Sobol points (2^numPaths paths).");
    EXPECT_TRUE(untouchedMc(pseudo) && untouchedMc(sobol));
}

}  // namespace
