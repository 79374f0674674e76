// The European engine on pseudo-random numbers against closed forms, its
// block layout, its reproducibility and its door checks.

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "montecarlo/european_mc.h"
#include "montecarlo/estimate_checks.h"
#include "montecarlo/option_reference.h"
#include "common/parallel_errors.h"
#include "montecarlo/simulation_limits.h"

namespace tarvic {
namespace {

using tarvic_test::bsGreeks;
using tarvic_test::bsPrice;
using tarvic_test::barrierContract;
using tarvic_test::contractFor;
using tarvic_test::expectWithin;
using tarvic_test::Greeks;
using tarvic_test::knockIn;
using tarvic_test::knockOut;
using tarvic_test::Market;
using tarvic_test::numericGreeks;
using tarvic_test::ThreadCount;

constexpr int32_t kRows = 500;

EstimateSeries run(const EuropeanContract& c, int64_t paths, bool antithetic = false, bool multiThreaded = true)
{
    EstimateSeries result;
    priceEuropeanMC(result, c, paths, antithetic, multiThreaded, kRows);
    return result;
}

class EuropeanMcTest : public ::testing::Test {
protected:
    ThreadCount threads_{8};
};

// ---- Block layout ---------------------------------------------------------

TEST(EuropeanMcLayout, EverySlotCountCoversAllCheckpoints)
{
    // 500 checkpoints: ceil(500 / slots) blocks per slot.
    const size_t expected[9] = {0, 500, 250, 167, 125, 100, 84, 72, 63};
    for (size_t slots = 1; slots <= 8; ++slots) {
        const PseudoRandomLayout layout = pseudoRandomLayout(100000, kRows, false, slots);
        EXPECT_EQ(layout.blocksPerSlot, expected[slots]) << slots << " slots";
        EXPECT_GE(layout.blocksPerSlot * slots, 500u) << slots << " slots";
        EXPECT_EQ(layout.pathsPerBlock, 200u);
        EXPECT_EQ(layout.drawsPerBlock, 200u);
    }
    const PseudoRandomLayout pairs = pseudoRandomLayout(100000, kRows, true, 8);
    EXPECT_EQ(pairs.drawsPerBlock, 100u);
    EXPECT_EQ(pairs.pathsPerBlock, 200u);
}

TEST(EuropeanMcLayout, RefusesBlocksWithoutPaths)
{
    EXPECT_THROW(pseudoRandomLayout(499, kRows, false, 8), std::invalid_argument);
    EXPECT_THROW(pseudoRandomLayout(999, kRows, true, 8), std::invalid_argument);
    EXPECT_THROW(pseudoRandomLayout(1000, 0, false, 8), std::invalid_argument);
    EXPECT_NO_THROW(pseudoRandomLayout(500, kRows, false, 8));
    // A checkpoint count whose block sums alone need tens of gigabytes.
    try {
        pseudoRandomLayout(int64_t(1) << 40, 2000000000, false, 8);
        ADD_FAILURE() << "accepted";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), kSimulationMemoryText);
    }
}

class EuropeanMcSlots : public ::testing::TestWithParam<int> {};

TEST_P(EuropeanMcSlots, FillsEveryRow)
{
    ThreadCount threads(GetParam());
    const Market m{100.0, 100.0, 0.05, 0.0, 0.2, 1.0};
    const EstimateSeries r = run(contractFor(m, true, 1), 100000);
    ASSERT_EQ(r.rows(), 500u);
    for (size_t i = 0; i < r.rows(); ++i)
        ASSERT_GT(r.value()[i], 0.0) << "row " << i;
    expectWithin(r.value(), bsPrice(true, m), 4.0, 0.0, "call");
}

INSTANTIATE_TEST_SUITE_P(SlotCounts, EuropeanMcSlots, ::testing::Values(1, 3, 5, 6, 7, 8));

// ---- Prices against closed forms --------------------------------------------

TEST_F(EuropeanMcTest, VanillaAcrossMoneyness)
{
    for (double strike : {70.0, 90.0, 100.0, 110.0, 140.0})
        for (bool call : {true, false})
            for (int32_t steps : {1, 3}) {
                const Market m{100.0, strike, 0.05, 0.02, 0.25, 1.0};
                const EstimateSeries r = run(contractFor(m, call, steps), 200000);
                expectWithin(r.value(), bsPrice(call, m), 4.0, 0.0,
                             (call ? "call K=" : "put K=") + std::to_string(strike) + " steps " +
                                 std::to_string(steps));
            }
}

TEST_F(EuropeanMcTest, EulerAndMilsteinConvergeToTheClosedForm)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (int32_t marching : {kEulerMarching, kMilsteinMarching})
        for (bool call : {true, false}) {
            EuropeanContract c = contractFor(m, call, 50);
            c.timeMarching = marching;
            expectWithin(run(c, 100000).value(), bsPrice(call, m), 4.0, 0.02,
                         "marching " + std::to_string(marching));
        }
}

TEST_F(EuropeanMcTest, AntitheticPairsPriceContinuousBarriers)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (const auto& [lower, upper, out] : {std::tuple{80.0, 130.0, true}, std::tuple{90.0, 0.0, false},
                                            std::tuple{0.0, 120.0, true}}) {
        EuropeanContract c = contractFor(m, true, 4);
        c.lowerBarrier = lower;
        c.upperBarrier = upper;
        c.knockOut = out ? 1 : 0;
        c.contMonitoring = true;
        const double truth = out ? knockOut(true, m, lower, upper) : knockIn(true, m, lower, upper);
        expectWithin(run(c, 200000, true).value(), truth, 4.0, 0.0, "antithetic barrier");
    }
}

TEST_F(EuropeanMcTest, AntitheticPairsPriceTheVanilla)
{
    const Market m{100.0, 105.0, 0.03, 0.0, 0.3, 0.5};
    for (bool call : {true, false}) {
        EuropeanContract c = contractFor(m, call, 1);
        c.computeGreeks = true;
        const EstimateSeries r = run(c, 200000, true);
        expectWithin(r.value(), bsPrice(call, m), 4.0, 0.0, "antithetic value");
        const Greeks g = bsGreeks(call, m);
        expectWithin(r[EstimateSeries::kDelta], g.delta, 4.0, 0.0, "antithetic delta");
        expectWithin(r[EstimateSeries::kVega], g.vega, 4.0, 0.0, "antithetic vega");
    }
}

struct BarrierCase {
    const char* name;
    bool call;
    double lower;
    double upper;
    bool out;
};

const BarrierCase kBarrierCases[] = {
    {"down-and-out call", true, 85.0, 0.0, true},
    {"up-and-out call", true, 0.0, 135.0, true},
    {"down-and-out put", false, 80.0, 0.0, true},
    {"up-and-out put", false, 0.0, 115.0, true},
    {"double knock-out call", true, 80.0, 130.0, true},
    {"double knock-out put", false, 75.0, 120.0, true},
    {"down-and-in call", true, 90.0, 0.0, false},
    {"up-and-in put", false, 0.0, 112.0, false},
    {"double knock-in call", true, 85.0, 125.0, false},
};

double barrierTruth(const BarrierCase& b, const Market& m)
{
    return b.out ? knockOut(b.call, m, b.lower, b.upper) : knockIn(b.call, m, b.lower, b.upper);
}

TEST_F(EuropeanMcTest, ContinuousBarriersAreUnbiasedWithExactSteps)
{
    // The crossing weight of each step is the exact no-touch probability of
    // the log-price bridge, so even one step gives the continuous price.
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (const BarrierCase& b : kBarrierCases)
        for (int32_t steps : {1, 4, 50}) {
            const int64_t paths = steps == 50 ? 100000 : 200000;
            const EstimateSeries r = run(barrierContract(m, b.call, steps, b.lower, b.upper, b.out, true), paths);
            expectWithin(r.value(), barrierTruth(b, m), 4.0, 0.0,
                         std::string(b.name) + ", " + std::to_string(steps) + " steps");
        }
}

TEST_F(EuropeanMcTest, EulerCrossingWeightsApproachTheContinuousPrice)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (const BarrierCase& b : kBarrierCases) {
        EuropeanContract c = barrierContract(m, b.call, 100, b.lower, b.upper, b.out, true);
        c.timeMarching = kEulerMarching;
        expectWithin(run(c, 50000).value(), barrierTruth(b, m), 4.0, 0.05, b.name);
    }
}

TEST_F(EuropeanMcTest, DiscreteBarriersMatchTheShiftedContinuousBarrier)
{
    // Broadie-Glasserman-Kou: m monitoring dates move a barrier by
    // exp(+-0.5826 sigma sqrt(T/m)) away from the spot.
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    const int32_t dates = 50;
    const double shift = std::exp(0.5826 * m.vol * std::sqrt(m.expiry / dates));
    for (const BarrierCase& b : kBarrierCases) {
        const EstimateSeries r = run(barrierContract(m, b.call, dates, b.lower, b.upper, b.out, false), 100000);
        BarrierCase shifted = b;
        shifted.lower = b.lower / shift;
        shifted.upper = b.upper * shift;
        expectWithin(r.value(), barrierTruth(shifted, m), 4.0, 0.02, b.name);
    }
}

// ---- Likelihood-ratio sensitivities -------------------------------------------

void expectGreeks(const EstimateSeries& r, const Greeks& truth, const std::string& what)
{
    expectWithin(r[EstimateSeries::kDelta], truth.delta, 4.0, 0.0, what + " delta");
    expectWithin(r[EstimateSeries::kGamma], truth.gamma, 4.0, 0.0, what + " gamma");
    expectWithin(r[EstimateSeries::kVega], truth.vega, 4.0, 0.0, what + " vega");
    expectWithin(r[EstimateSeries::kTheta], truth.theta, 4.0, 0.0, what + " theta");
}

TEST_F(EuropeanMcTest, LikelihoodRatioGreeksOfVanillas)
{
    for (double strike : {85.0, 100.0, 120.0})
        for (bool call : {true, false})
            for (int32_t steps : {1, 5}) {
                const Market m{100.0, strike, 0.05, 0.02, 0.25, 1.0};
                EuropeanContract c = contractFor(m, call, steps);
                c.computeGreeks = true;
                expectGreeks(run(c, 400000), bsGreeks(call, m),
                             (call ? "call K=" : "put K=") + std::to_string(strike) + " steps " +
                                 std::to_string(steps));
            }
}

TEST_F(EuropeanMcTest, LikelihoodRatioGreeksOfContinuousBarriers)
{
    // The weights include the log-derivatives of the crossing factors.
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (const BarrierCase& b : kBarrierCases)
        for (int32_t steps : {1, 4}) {
            EuropeanContract c = barrierContract(m, b.call, steps, b.lower, b.upper, b.out, true);
            c.computeGreeks = true;
            const Greeks truth = numericGreeks(m, [&b](const Market& x) { return barrierTruth(b, x); });
            expectGreeks(run(c, 400000), truth, std::string(b.name) + ", " + std::to_string(steps) + " steps");
        }
}

TEST_F(EuropeanMcTest, LikelihoodRatioGreeksWithEulerCrossings)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (const BarrierCase& b : {kBarrierCases[0], kBarrierCases[4], kBarrierCases[6]}) {
        EuropeanContract c = barrierContract(m, b.call, 50, b.lower, b.upper, b.out, true);
        c.timeMarching = kEulerMarching;
        c.computeGreeks = true;
        const EstimateSeries r = run(c, 100000);
        const Greeks truth = numericGreeks(m, [&b](const Market& x) { return barrierTruth(b, x); });
        expectWithin(r[EstimateSeries::kDelta], truth.delta, 4.0, 0.01, std::string(b.name) + " delta");
        expectWithin(r[EstimateSeries::kVega], truth.vega, 4.0, 0.01, std::string(b.name) + " vega");
    }
}

TEST_F(EuropeanMcTest, SensitivitySeriesStayEmptyWithoutGreeks)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    const EstimateSeries r = run(contractFor(m, true, 1), 10000);
    EXPECT_EQ(r.rows(), 500u);
    for (size_t k = 1; k < EstimateSeries::kCount; ++k)
        EXPECT_TRUE(r[k].empty());
}

// ---- A spot on or beyond a continuously monitored barrier ------------------------

TEST_F(EuropeanMcTest, SpotBeyondAContinuousBarrierHasTouchedIt)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    const EstimateSeries vanilla = run(contractFor(m, true, 4), 20000);
    for (const auto& [lower, upper] : {std::pair{100.0, 0.0}, std::pair{100.5, 0.0}, std::pair{0.0, 100.0},
                                       std::pair{0.0, 99.0}, std::pair{101.0, 130.0}, std::pair{70.0, 99.5}}) {
        const EstimateSeries out = run(barrierContract(m, true, 4, lower, upper, true, true), 20000);
        for (double v : out.value())
            ASSERT_EQ(v, 0.0) << lower << " " << upper;
        // The knock-in has knocked in: the vanilla on the same normals.
        const EstimateSeries in = run(barrierContract(m, true, 4, lower, upper, false, true), 20000);
        EXPECT_EQ(in.value(), vanilla.value()) << lower << " " << upper;
    }
}

TEST_F(EuropeanMcTest, CoarseStepsThatReachZeroStayFinite)
{
    // sigma^2 dt above 1: Milstein and Euler steps can end at or below zero,
    // where the log form of the crossing probability is undefined.
    const Market m{100.0, 100.0, 0.05, 0.0, 1.5, 1.0};
    for (int32_t marching : {kEulerMarching, kMilsteinMarching})
        for (const auto& [lower, upper] : {std::pair{60.0, 0.0}, std::pair{0.0, 160.0}, std::pair{60.0, 160.0}})
            for (int32_t out : {0, 1}) {
                EuropeanContract c = barrierContract(m, false, 1, lower, upper, out == 1, true);
                c.timeMarching = marching;
                c.computeGreeks = true;
                const EstimateSeries r = run(c, 20000);
                for (size_t k = 0; k < EstimateSeries::kCount; ++k)
                    for (double v : r[k])
                        ASSERT_TRUE(std::isfinite(v)) << "marching " << marching << ", series " << k;
            }
}

// One path step by step: a step whose factor falls below 0 ends at 0 and
// the asset stays there; a step with a positive factor moves it by exactly
// that factor.
TEST(EuropeanPathStep, AnAssetThatReachesZeroStaysThere)
{
    const Market m{100.0, 100.0, 0.05, 0.0, 5.0, 1.0};
    for (int32_t marching : {kEulerMarching, kMilsteinMarching}) {
        EuropeanContract c = contractFor(m, false, 4);
        c.timeMarching = marching;
        const EuropeanRun run(c);
        const EuropeanPath<> path(run);
        EuropeanPathState st{};
        path.start(st);
        // z = 1: both factors are 1 + mu dt + sigma sqrt(dt) (Milstein's z^2 - 1 term is 0).
        path.step(st, 0, 1.0);
        EXPECT_EQ(st.s, m.spot * (run.eulerFactor + run.h)) << marching;
        // At z = -1 both factors are 1 + mu dt - 2.5.
        for (double z : {-1.0, 3.0, -0.5, 0.7}) {
            path.step(st, 1, z);
            EXPECT_EQ(st.s, 0.0) << marching << ", z = " << z;
        }
        EXPECT_EQ(path.payoff(st), m.strike) << marching;
    }
}

// At volatility 5 an Euler or Milstein step takes the asset below 0 with a
// large probability (Euler's for z < -(1 + mu dt) / (sigma sqrt(dt))). Held
// at 0, as geometric Brownian motion's absorbing 0 is, the asset never pays a
// put more than its strike; with fine steps both schemes come to the closed
// form, Euler within its first-order weak error (about 0.1 at 1024 steps).
TEST_F(EuropeanMcTest, PathsHeldAtZeroPayPutsAtMostTheirStrike)
{
    const Market m{100.0, 100.0, 0.05, 0.0, 5.0, 1.0};
    const double bound = m.strike * std::exp(-m.rate * m.expiry);
    for (int32_t marching : {kEulerMarching, kMilsteinMarching}) {
        for (int32_t steps : {1, 4, 16}) {
            EuropeanContract c = contractFor(m, false, steps);
            c.timeMarching = marching;
            const EstimateSeries coarse = run(c, 50000);
            for (double v : coarse.value())
                ASSERT_LE(v, bound) << "marching " << marching << ", " << steps << " steps";
        }
        EuropeanContract fine = contractFor(m, false, 1024);
        fine.timeMarching = marching;
        expectWithin(run(fine, 100000).value(), bsPrice(false, m), 4.0, marching == kEulerMarching ? 0.2 : 0.05,
                     "marching " + std::to_string(marching));
    }
}

// ---- Reproducibility ------------------------------------------------------------

TEST(EuropeanMcReproducibility, SameSeriesWithAndWithoutThreadsAndOnRepeatedCalls)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (int threads : {3, 8}) {
        ThreadCount pinned(threads);
        for (bool antithetic : {false, true}) {
            EuropeanContract c = barrierContract(m, true, 8, 85.0, 130.0, false, true);
            c.computeGreeks = true;
            const EstimateSeries a = run(c, 20000, antithetic, true);
            const EstimateSeries b = run(c, 20000, antithetic, false);
            const EstimateSeries again = run(c, 20000, antithetic, true);
            for (size_t k = 0; k < EstimateSeries::kCount; ++k) {
                EXPECT_EQ(a[k], b[k]) << "series " << k << ", " << threads << " threads";
                EXPECT_EQ(a[k], again[k]) << "series " << k << ", " << threads << " threads";
            }
        }
    }
}

TEST(EuropeanMcReproducibility, SlotsKeepTheirGeneratorsInASmallerTeam)
{
    // Called from a parallel region with nesting off, the engine's team has one
    // thread that runs all eight slots: each must still draw from its own
    // generator.
    ThreadCount pinned(8);
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    const EuropeanContract c = contractFor(m, false, 2);
    const EstimateSeries outside = run(c, 20000);
    const int levels = omp_get_max_active_levels();
    omp_set_max_active_levels(1);
    EstimateSeries inside;
#pragma omp parallel num_threads(2)
    {
#pragma omp single
        inside = run(c, 20000);
    }
    omp_set_max_active_levels(levels);
    EXPECT_EQ(inside.value(), outside.value());
}

TEST(EuropeanMcReproducibility, SeriesDependOnTheSlotCount)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    EstimateSeries four, eight;
    {
        ThreadCount pinned(4);
        four = run(contractFor(m, true, 1), 20000);
    }
    {
        ThreadCount pinned(8);
        eight = run(contractFor(m, true, 1), 20000);
    }
    // Slot 0 draws from the same generator in both: the first row agrees.
    EXPECT_EQ(four.value()[0], eight.value()[0]);
    EXPECT_NE(four.value().back(), eight.value().back());
}

// ---- Door checks and errors ---------------------------------------------------------

TEST(EuropeanMcDoor, RefusesInvalidInputsNamingTheArgument)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    struct Case {
        const char* name;
        void (*spoil)(EuropeanContract&);
    };
    const Case cases[] = {
        {"spot", [](EuropeanContract& c) { c.spot = std::nan(""); }},
        {"spot", [](EuropeanContract& c) { c.spot = -1.0; }},
        {"strike", [](EuropeanContract& c) { c.strike = 0.0; }},
        {"strike", [](EuropeanContract& c) { c.strike = HUGE_VAL; }},
        {"volatility", [](EuropeanContract& c) { c.volatility = 0.0; }},
        {"volatility", [](EuropeanContract& c) { c.volatility = std::nan(""); }},
        {"expiry", [](EuropeanContract& c) { c.expiry = -0.5; }},
        {"expiry", [](EuropeanContract& c) { c.expiry = HUGE_VAL; }},
        {"numSteps", [](EuropeanContract& c) { c.numSteps = 0; }},
        {"timeMarching", [](EuropeanContract& c) { c.timeMarching = 4; }},
        {"lowerBarrier", [](EuropeanContract& c) { c.lowerBarrier = std::nan(""); }},
        {"intRate", [](EuropeanContract& c) { c.intRate = HUGE_VAL; }},
    };
    for (const Case& k : cases) {
        EuropeanContract c = contractFor(m, true, 1);
        k.spoil(c);
        EstimateSeries r;
        try {
            priceEuropeanMC(r, c, 10000, false, true, kRows);
            ADD_FAILURE() << k.name << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(k.name), std::string::npos) << e.what();
        }
    }
}

TEST(ParallelErrorsTest, FirstExceptionReachesTheCallingThread)
{
    ThreadCount pinned(4);
    ParallelErrors errors;
    int completed = 0;
#pragma omp parallel for schedule(static) reduction(+ : completed)
    for (int i = 0; i < 64; ++i) {
        if (errors.failed())
            continue;
        try {
            if (i == 17)
                throw std::runtime_error("block 17 failed");
            ++completed;
        } catch (...) {
            errors.capture();
        }
    }
    EXPECT_LT(completed, 64);
    try {
        errors.rethrow();
        ADD_FAILURE() << "nothing rethrown";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "block 17 failed");
    }
}

}  // namespace
}  // namespace tarvic
