// The European engine on Sobol points: block layout and memory rule, row
// counts and thinning, convergence to closed forms, and independence from the
// thread count.

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "montecarlo/european_qmc.h"
#include "montecarlo/option_reference.h"
#include "montecarlo/simulation_limits.h"

namespace tarvic {
namespace {

using tarvic_test::bsGreeks;
using tarvic_test::bsPrice;
using tarvic_test::contractFor;
using tarvic_test::Greeks;
using tarvic_test::Market;
using tarvic_test::ThreadCount;

constexpr int32_t kExportCheckpoints = 9;

struct Options {
    bool bridge = false;
    bool warmUp = false;
    bool multiThreaded = true;
    bool fewBlocks = false;
    int32_t checkpoints = kExportCheckpoints;
};

EstimateSeries run(const EuropeanContract& c, int32_t exponent, const Options& o = Options())
{
    EstimateSeries r;
    priceEuropeanQMC(r, c, exponent, o.bridge, o.warmUp, o.multiThreaded, o.fewBlocks, o.checkpoints);
    return r;
}

// ---- Layout --------------------------------------------------------------------

TEST(SobolLayout, BlocksAndPointsPerBlock)
{
    struct Case {
        int32_t exponent, steps;
        bool few;
        int threads;
        uint64_t blocks, blockPoints;
    };
    const Case cases[] = {
        {7, 1, false, 8, 128, 1},        {12, 1, false, 8, 128, 32},      {12, 1, true, 8, 8, 512},
        {3, 1, true, 1, 8, 1},           {14, 1, true, 8, 8, 2048},       {18, 1, false, 8, 128, 2048},
        {19, 1, false, 8, 256, 2048},    {20, 1, false, 8, 512, 2048},    {22, 1, false, 8, 2048, 2048},
        {22, 20000, false, 8, 2048, 2048},  // 2.6 GB: halving would need more
        {30, 2000, false, 1, 131072, 8192}, // 3.9 GB halved twice to 1.1 GB
    };
    for (const Case& k : cases) {
        const SobolBlockLayout layout = sobolBlockLayout(k.exponent, k.steps, k.few, k.threads);
        EXPECT_EQ(layout.points, uint64_t(1) << k.exponent);
        EXPECT_EQ(layout.blocks, k.blocks) << "k = " << k.exponent << ", S = " << k.steps;
        EXPECT_EQ(layout.blockPoints, k.blockPoints) << "k = " << k.exponent << ", S = " << k.steps;
        EXPECT_LE(layout.memoryGB, 3.5);
    }
}

TEST(SobolLayout, RefusesWhatCannotBeCutOrHeld)
{
    EXPECT_THROW(sobolBlockLayout(6, 1, false, 1), std::invalid_argument);   // 64 points, 128 blocks
    EXPECT_THROW(sobolBlockLayout(2, 1, true, 1), std::invalid_argument);    // 4 points, 8 blocks
    EXPECT_THROW(sobolBlockLayout(-1, 1, false, 1), std::invalid_argument);
    EXPECT_THROW(sobolBlockLayout(31, 1, false, 1), std::invalid_argument);
    EXPECT_THROW(sobolBlockLayout(12, 0, false, 1), std::invalid_argument);
    EXPECT_THROW(sobolBlockLayout(12, 20001, false, 1), std::invalid_argument);
    try {
        sobolBlockLayout(30, 20000, false, 8);
        ADD_FAILURE() << "a 20 GB layout was accepted";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), kSimulationMemoryText);
    }
}

// ---- Rows --------------------------------------------------------------------------

TEST(SobolRows, OneRowPerBlockThinnedTo512)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    const EuropeanContract c = contractFor(m, true, 1);
    EXPECT_EQ(run(c, 12).rows(), 128u);
    Options few;
    few.fewBlocks = true;
    EXPECT_EQ(run(c, 12, few).rows(), 8u);
    EXPECT_EQ(run(c, 19).rows(), 256u);
    EXPECT_EQ(run(c, 20).rows(), 512u);

    // 2^22 points: 2048 blocks, every fourth estimate kept.
    const EstimateSeries thinned = run(c, 22);
    Options all;
    all.checkpoints = 11;
    const EstimateSeries full = run(c, 22, all);
    ASSERT_EQ(thinned.rows(), 512u);
    ASSERT_EQ(full.rows(), 2048u);
    for (size_t i = 0; i < 512; ++i)
        ASSERT_EQ(thinned.value()[i], full.value()[4 * (i + 1) - 1]) << "row " << i;
}

// ---- Accuracy ------------------------------------------------------------------------

TEST(SobolAccuracy, VanillaAcrossMoneyness)
{
    for (double strike : {70.0, 100.0, 130.0})
        for (bool call : {true, false}) {
            const Market m{100.0, strike, 0.05, 0.02, 0.25, 1.0};
            EXPECT_NEAR(run(contractFor(m, call, 1), 16).value().back(), bsPrice(call, m), 2e-3)
                << (call ? "call " : "put ") << strike;
        }
}

TEST(SobolAccuracy, ErrorFallsWithThePointCount)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    EuropeanContract c = contractFor(m, true, 1);
    c.computeGreeks = true;
    const Greeks g = bsGreeks(true, m);
    double previous = HUGE_VAL, first = 0.0, last = 0.0;
    double firstDelta = 0.0, lastDelta = 0.0;
    for (int32_t k : {14, 16, 18, 20}) {
        const EstimateSeries r = run(c, k);
        const double error = std::fabs(r.value().back() - bsPrice(true, m));
        const double deltaError = std::fabs(r[EstimateSeries::kDelta].back() - g.delta);
        EXPECT_LT(error, previous) << "2^" << k;
        previous = error;
        if (k == 14) {
            first = error;
            firstDelta = deltaError;
        }
        last = error;
        lastDelta = deltaError;
    }
    // Far faster than the 1/sqrt(N) of pseudo-random numbers (a factor 8 over 2^6):
    // close to 1/N here.
    EXPECT_LT(last, first / 16.0);
    EXPECT_LT(last, 2e-4);
    EXPECT_LT(lastDelta, firstDelta / 8.0);
}

TEST(SobolAccuracy, LikelihoodRatioGreeks)
{
    for (bool call : {true, false})
        for (int32_t steps : {1, 4}) {
            const Market m{100.0, 95.0, 0.04, 0.01, 0.3, 0.75};
            EuropeanContract c = contractFor(m, call, steps);
            c.computeGreeks = true;
            Options o;
            o.bridge = true;
            const EstimateSeries r = run(c, 17, o);
            const Greeks g = bsGreeks(call, m);
            EXPECT_NEAR(r[EstimateSeries::kDelta].back(), g.delta, 2e-3);
            EXPECT_NEAR(r[EstimateSeries::kGamma].back(), g.gamma, 3e-4);
            EXPECT_NEAR(r[EstimateSeries::kVega].back(), g.vega, 3e-3);
            EXPECT_NEAR(r[EstimateSeries::kTheta].back(), g.theta, 3e-4);
        }
}

TEST(SobolAccuracy, ContinuousBarriersWithAndWithoutBridge)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (bool bridge : {false, true})
        for (int32_t steps : {1, 8}) {
            EuropeanContract c = contractFor(m, true, steps);
            c.lowerBarrier = 85.0;
            c.upperBarrier = 140.0;
            c.contMonitoring = true;
            Options o;
            o.bridge = bridge;
            const EstimateSeries r = run(c, 16, o);
            EXPECT_NEAR(r.value().back(), tarvic_test::doubleKnockOut(true, m, 85.0, 140.0),
                        4.0 * tarvic_test::blockStandardError(r.value()))
                << "bridge " << bridge << ", " << steps << " steps";
        }
}

TEST(SobolAccuracy, BridgeOfOneStepChangesNothing)
{
    const Market m{100.0, 110.0, 0.05, 0.02, 0.25, 1.0};
    Options bridge;
    bridge.bridge = true;
    EXPECT_EQ(run(contractFor(m, false, 1), 12).value(), run(contractFor(m, false, 1), 12, bridge).value());
}

TEST(SobolAccuracy, WarmUpSkipsTheOrigin)
{
    // Without warm-up the first path is the point 0.0001 in every coordinate:
    // normals near -3.719, a put deep in the money on the first block.
    const Market m{100.0, 100.0, 0.05, 0.0, 0.25, 1.0};
    Options few;
    few.fewBlocks = true;
    Options warm = few;
    warm.warmUp = true;
    const EstimateSeries cold = run(contractFor(m, false, 4), 10, few);
    const EstimateSeries warmed = run(contractFor(m, false, 4), 10, warm);
    // The origin's path pays about 84 on 1024 paths.
    EXPECT_GT(cold.value().back() - bsPrice(false, m), 0.05);
    EXPECT_NEAR(warmed.value().back(), bsPrice(false, m), 0.01);
}

// ---- Threads ---------------------------------------------------------------------------

TEST(SobolThreads, SameSeriesWhateverTheThreads)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    EuropeanContract c = contractFor(m, true, 6);
    c.lowerBarrier = 80.0;
    c.contMonitoring = true;
    c.knockOut = 0;
    c.computeGreeks = true;
    Options on;
    on.bridge = true;
    Options off = on;
    off.multiThreaded = false;
    EstimateSeries eight, three, serial;
    {
        ThreadCount pinned(8);
        eight = run(c, 14, on);
        serial = run(c, 14, off);
    }
    {
        ThreadCount pinned(3);
        three = run(c, 14, on);
    }
    for (size_t k = 0; k < EstimateSeries::kCount; ++k) {
        EXPECT_EQ(eight[k], serial[k]) << "series " << k;
        EXPECT_EQ(eight[k], three[k]) << "series " << k;
    }
}

TEST(SobolDoor, RefusesInvalidInputs)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    EuropeanContract c = contractFor(m, true, 1);
    EXPECT_THROW(run(c, 6), std::invalid_argument);
    Options badRows;
    badRows.checkpoints = 31;
    EXPECT_THROW(run(c, 12, badRows), std::invalid_argument);
    c.volatility = -0.1;
    EXPECT_THROW(run(c, 12), std::invalid_argument);
}

}  // namespace
}  // namespace tarvic
