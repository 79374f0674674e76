// The early-exercise engines: block layouts and chunks, the path kernel
// (fixed draws, knock states, independence from the threads), prices
// against published Longstaff-Schwartz values, finite-difference references
// and closed forms, the exercise rule, and the door checks.

#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "montecarlo/early_exercise.h"
#include "montecarlo/early_exercise_mc.h"
#include "montecarlo/early_exercise_path.h"
#include "montecarlo/early_exercise_phases.h"
#include "montecarlo/estimate_checks.h"
#include "montecarlo/option_reference.h"
#include "montecarlo/regression_basis.h"
#include "montecarlo/simulation_limits.h"
#include "montecarlo/ziggurat_normal.h"
#include "support/failure_text.h"

namespace tarvic {
namespace {

using tarvic_test::blockStandardError;
using tarvic_test::bsPrice;
using tarvic_test::barrierContract;
using tarvic_test::contractFor;
using tarvic_test::expectWithin;
using tarvic_test::failureText;
using tarvic_test::Market;
using tarvic_test::ThreadCount;

constexpr int32_t kRows = 500;

EstimateSeries runMC(const EuropeanContract& c, int64_t paths, int64_t regression, bool antithetic = false,
                     bool multiThreaded = true, int32_t basisCount = 5)
{
    EstimateSeries r;
    ExerciseRule rule;
    priceEarlyExerciseMC(r, rule, c, paths, regression, basisCount, antithetic, multiThreaded, kRows);
    return r;
}

EstimateSeries runQMC(const EuropeanContract& c, int32_t numPaths, int32_t numLSPaths, bool bridge = true,
                      bool multiThreaded = true, int32_t basisCount = 5)
{
    EstimateSeries r;
    ExerciseRule rule;
    priceEarlyExerciseQMC(r, rule, c, numPaths, numLSPaths, basisCount, bridge, false, multiThreaded, 9);
    return r;
}


// ---- Layouts ---------------------------------------------------------------------

TEST(EarlyExerciseLayout, PseudoRandomBlocks)
{
    struct Case {
        int64_t paths, regression;
        bool inSample;
        size_t blockSize, inSampleBlocks, remainder, pricingBlocks, firstPricingBlock;
    };
    const Case cases[] = {
        {250000, 50000, true, 500, 100, 0, 400, 500},
        {100000, 50000, true, 200, 250, 0, 250, 200},
        // 1000 regression paths, a million in all: a partial in-sample block
        // without a row, topped up by a short first pricing block.
        {1000000, 1000, true, 2000, 0, 1000, 500, 1000},
        // All paths regress: every row is in-sample.
        {20000, 20000, true, 100, 200, 0, 0, 0},
        // Fewer than 100 paths per checkpoint: blocks of 100, fewer rows.
        {10000, 1000, true, 100, 10, 0, 90, 100},
        // Regression counts below 1000 are raised, and so are the paths.
        {10, 10, true, 100, 10, 0, 0, 0},
        // A knock-in: no in-sample rows.
        {250000, 50000, false, 500, 0, 0, 500, 500},
    };
    for (const Case& k : cases) {
        const PseudoRandomExerciseLayout l = pseudoRandomExerciseLayout(k.paths, k.regression, kRows, k.inSample);
        const std::string what = std::to_string(k.paths) + " / " + std::to_string(k.regression);
        EXPECT_EQ(l.blockSize, k.blockSize) << what;
        EXPECT_EQ(l.inSampleBlocks, k.inSampleBlocks) << what;
        EXPECT_EQ(l.inSampleRemainder, k.remainder) << what;
        ASSERT_EQ(l.pricingBlockPaths.size(), k.pricingBlocks) << what;
        if (k.pricingBlocks > 0) {
            EXPECT_EQ(l.pricingBlockPaths[0], k.firstPricingBlock) << what;
        }
        // Paths summed: every regression path with in-sample rows, then the pricing blocks.
        size_t summed = k.inSample ? l.inSampleBlocks * l.blockSize + l.inSampleRemainder : 0;
        for (size_t n : l.pricingBlockPaths)
            summed += n;
        EXPECT_EQ(summed, l.totalPaths) << what;
    }
    EXPECT_THROW(pseudoRandomExerciseLayout(100000, 1000, 0, true), std::invalid_argument);
    EXPECT_THROW(pseudoRandomExerciseLayout(int64_t(1) << 31, 1000, kRows, true), std::invalid_argument);
    EXPECT_THROW(pseudoRandomExerciseLayout(100000, int64_t(1) << 31, kRows, true), std::invalid_argument);
}

TEST(EarlyExerciseLayout, SobolBlocks)
{
    struct Case {
        int32_t numPaths, numLSPaths;
        bool inSample;
        uint32_t blockSize;
        size_t regressionBlocks, pricingBlocks, fitBlocks;
    };
    const Case cases[] = {
        {19, 14, true, 1024, 16, 496, 16},  // the defaults: 512 rows
        {12, 10, true, 384, 2, 8, 2},       // 768 of the 1024 regression points used
        {13, 10, true, 896, 1, 8, 1},
        {14, 14, true, 1024, 16, 0, 16},    // all points regress
        {10, 10, true, 128, 8, 0, 8},
        {3, -5, true, 128, 8, 0, 8},        // exponents raised to 10
        {20, 14, true, 1024, 16, 1008, 16}, // 1024 rows, thinned to 512
        {12, 10, false, 512, 0, 8, 2},      // a knock-in prices on all points
    };
    for (const Case& k : cases) {
        const SobolExerciseLayout l = sobolExerciseLayout(k.numPaths, k.numLSPaths, k.inSample);
        const std::string what = std::to_string(k.numPaths) + " / " + std::to_string(k.numLSPaths);
        EXPECT_EQ(l.blockSize, k.blockSize) << what;
        EXPECT_EQ(l.regressionBlocks, k.regressionBlocks) << what;
        EXPECT_EQ(l.pricingBlocks, k.pricingBlocks) << what;
        EXPECT_EQ(l.fitBlocks, k.fitBlocks) << what;
        EXPECT_LE(l.rows() * l.blockSize, l.points) << what;
    }
    EXPECT_THROW(sobolExerciseLayout(31, 14, true), std::invalid_argument);
    EXPECT_THROW(sobolExerciseLayout(20, 31, true), std::invalid_argument);
}

TEST(EarlyExerciseLayout, EvenChunks)
{
    struct Case {
        size_t paths, chunks;
        std::vector<size_t> sizes;
    };
    const Case cases[] = {{50000, 3, {16666, 16666, 16668}},
                          {50001, 3, {16666, 16666, 16669}},
                          {7, 3, {2, 2, 3}},
                          {5, 8, {0, 0, 0, 0, 0, 0, 0, 5}},
                          {1000, 1, {1000}},
                          {100, 8, {12, 12, 12, 12, 12, 12, 12, 16}}};
    for (const Case& k : cases) {
        const ChunkLayout l = evenChunks(k.paths, k.chunks);
        for (size_t t = 0; t < k.chunks; ++t) {
            EXPECT_EQ(l.end(t) - l.begin(t), k.sizes[t]) << k.paths << " paths, chunk " << t;
            EXPECT_EQ(l.begin(t) % 2, 0u);
        }
        EXPECT_EQ(l.end(k.chunks - 1), k.paths);
    }
}

TEST(EarlyExerciseLayout, ThinningKeepsTheLastRow)
{
    EstimateSeries r;
    for (size_t i = 0; i < 1001; ++i)
        r[EstimateSeries::kValue].push_back(static_cast<double>(i));
    thinSeries(r, 500);
    ASSERT_EQ(r.rows(), 500u);
    EXPECT_EQ(r.value()[0], 1.0);
    EXPECT_EQ(r.value()[498], 997.0);
    EXPECT_EQ(r.value()[499], 1000.0);
    // Fewer than twice as many rows: untouched.
    EstimateSeries s;
    s[EstimateSeries::kValue].assign(999, 1.0);
    thinSeries(s, 500);
    EXPECT_EQ(s.rows(), 999u);
}

// ---- The path kernel ---------------------------------------------------------------

// The generator after `paths` paths of `steps` normals and `uniforms`
// crossing draws per step, drawn in pairs when antithetic.
RandomGenerator64 afterDraws(int32_t seed, size_t paths, int32_t steps, int32_t uniforms, bool antithetic)
{
    RandomGenerator64 g(seed);
    size_t p = 0;
    const auto path = [&] {
        for (int32_t j = 0; j < steps; ++j) {
            ZigguratNormal(g);
            for (int32_t i = 0; i < uniforms; ++i)
                g.uniform();
        }
    };
    if (antithetic)
        for (; p + 1 < paths; p += 2) {
            path();
            for (int32_t i = 0; i < steps * uniforms; ++i)
                g.uniform();
        }
    for (; p < paths; ++p)
        path();
    return g;
}

TEST(EarlyExerciseKernel, EveryPathDrawsAFixedCount)
{
    // Knock-outs that die early, knock-ins, one and two continuous barriers:
    // each path takes its normals and one uniform per barrier and step, so a
    // bumped spot leaves the generators where the base run leaves them.
    ThreadCount threads(3);
    const Market m{100.0, 100.0, 0.05, 0.02, 0.4, 1.0};
    struct Case {
        double lower, upper;
        bool out, continuous;
        int32_t uniforms;
    };
    const Case cases[] = {{0.0, 0.0, true, false, 0},   {95.0, 0.0, true, true, 1}, {0.0, 104.0, false, true, 1},
                          {92.0, 106.0, true, true, 2}, {92.0, 106.0, false, true, 2}, {95.0, 0.0, true, false, 0}};
    for (const Case& k : cases)
        for (bool antithetic : {false, true})
            for (double spot : {100.0, 101.0, 94.0}) {
                Market bumped = m;
                bumped.spot = spot;
                const BarrierExerciseModel model(
                    barrierContract(bumped, false, 12, k.lower, k.upper, k.out, k.continuous), laguerreBasis5);
                ASSERT_EQ(model.uniformsPerStep(), k.uniforms);
                const size_t paths = 1001;
                std::vector<RandomGenerator64> generators = makeSlotGenerators(kSeedTable, 3);
                simulateRegressionPaths(model, paths, generators, antithetic, true);
                const ChunkLayout chunks = evenChunks(paths, 3);
                for (size_t t = 0; t < 3; ++t)
                    EXPECT_TRUE(generators[t] == afterDraws(kSeedTable[t], chunks.end(t) - chunks.begin(t), 12,
                                                            k.uniforms, antithetic))
                        << "barriers " << k.lower << " / " << k.upper << ", spot " << spot << ", chunk " << t
                        << (antithetic ? ", antithetic" : "");
            }
}

TEST(EarlyExerciseKernel, KnockStatesFollowTheBarrierFreePath)
{
    // Discretely monitored barriers draw no uniforms, so the barrier-free
    // model on the same generators gives the same asset values.
    const Market m{100.0, 100.0, 0.05, 0.02, 0.3, 1.0};
    const int32_t steps = 10;
    const size_t paths = 4000;
    const BarrierExerciseModel vanilla(contractFor(m, false, steps), laguerreBasis5);
    std::vector<RandomGenerator64> g0 = makeSlotGenerators(kSeedTable, 4);
    const StoredPaths free = simulateRegressionPaths(vanilla, paths, g0, false, false);
    for (bool out : {true, false}) {
        const double lower = out ? 0.0 : 90.0, upper = out ? 115.0 : 0.0;
        const BarrierExerciseModel model(barrierContract(m, false, steps, lower, upper, out, false), laguerreBasis5);
        std::vector<RandomGenerator64> g = makeSlotGenerators(kSeedTable, 4);
        const StoredPaths batch = simulateRegressionPaths(model, paths, g, false, false);
        size_t never = 0;
        for (size_t p = 0; p < paths; ++p) {
            int32_t first = steps + 1;  // first date beyond the barrier
            for (int32_t d = 1; d <= steps && first > steps; ++d) {
                const double s = *free.state(p, d);
                if (out ? s > upper : s < lower)
                    first = d;
            }
            if (out) {
                ASSERT_EQ(batch.liveFrom[p], first > 1 ? 1 : steps + 1) << p;
                ASSERT_EQ(batch.liveTo[p], first - 1 >= 1 ? first - 1 : 0) << p;
            } else {
                ASSERT_EQ(batch.liveFrom[p], first) << p;
                ASSERT_EQ(batch.liveTo[p], first <= steps ? steps : 0) << p;
            }
            never += first > steps;
            for (int32_t d = batch.liveFrom[p]; d <= batch.liveTo[p]; ++d)
                ASSERT_EQ(*batch.state(p, d), *free.state(p, d)) << p << " date " << d;
        }
        EXPECT_GT(never, 100u);
        EXPECT_LT(never, paths - 100);
    }
}

TEST(EarlyExerciseKernel, AntitheticBatchesDoNotDependOnTheThreads)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    const BarrierExerciseModel model(barrierContract(m, false, 8, 85.0, 120.0, true, true), laguerreBasis5);
    for (int threads : {3, 5, 7}) {
        ThreadCount pinned(threads);
        const size_t slots = generatorSlotCount();
        std::vector<RandomGenerator64> a = makeSlotGenerators(kSeedTable, slots),
                                       b = makeSlotGenerators(kSeedTable, slots);
        // 50001 paths on an odd number of chunks: pairs end inside their chunk.
        const StoredPaths threaded = simulateRegressionPaths(model, 50001, a, true, true);
        const StoredPaths serial = simulateRegressionPaths(model, 50001, b, true, false);
        EXPECT_EQ(threaded.liveFrom, serial.liveFrom) << threads << " threads";
        EXPECT_EQ(threaded.liveTo, serial.liveTo) << threads << " threads";
        for (size_t k = 0; k < threaded.states.size(); ++k)
            ASSERT_EQ(threaded.states.data()[k], serial.states.data()[k]) << threads << " threads";
        for (size_t t = 0; t < slots; ++t)
            EXPECT_TRUE(a[t] == b[t]);
    }
}

TEST(EarlyExerciseKernel, ChunksKeepTheirGeneratorsInASmallerTeam)
{
    // Called from a parallel region with nesting off, the engine's team has
    // one thread that runs every chunk: each must still draw from its own
    // generator.
    ThreadCount pinned(5);
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    const EuropeanContract c = barrierContract(m, false, 6, 85.0, 0.0, true, true);
    const EstimateSeries outside = runMC(c, 20000, 10000, true);
    const int levels = omp_get_max_active_levels();
    omp_set_max_active_levels(1);
    EstimateSeries inside;
#pragma omp parallel num_threads(2)
    {
#pragma omp single
        inside = runMC(c, 20000, 10000, true);
    }
    omp_set_max_active_levels(levels);
    EXPECT_EQ(inside.value(), outside.value());
}

// ---- Prices -----------------------------------------------------------------------

// Bermudan puts of Longstaff and Schwartz (2001), Table 1, K = 40, r = 0.06,
// q = 0, 50 exercise dates a year: the finite-difference values of these
// contracts (also checked against VelkOptionPricer in the export tests).
struct PublishedPut {
    double spot, vol, expiry, value;
};
const PublishedPut kPublishedPuts[] = {
    {36.0, 0.2, 1.0, 4.4778}, {36.0, 0.4, 2.0, 8.5068}, {40.0, 0.2, 1.0, 2.3141}, {44.0, 0.4, 1.0, 3.9477}};

EuropeanContract publishedPut(const PublishedPut& p)
{
    const Market m{p.spot, 40.0, 0.06, 0.0, p.vol, p.expiry};
    return contractFor(m, false, static_cast<int32_t>(50 * p.expiry));
}

TEST(EarlyExercisePrices, LongstaffSchwartzPutsOnPseudoRandomPaths)
{
    ThreadCount threads(8);
    for (const PublishedPut& p : kPublishedPuts) {
        const double slack = p.vol > 0.3 ? 0.04 : 0.02;
        const std::string what = "S=" + std::to_string(p.spot) + " vol=" + std::to_string(p.vol);
        expectWithin(runMC(publishedPut(p), 100000, 50000).value(), p.value, 4.0, slack, what);
        expectWithin(runMC(publishedPut(p), 100000, 50000, true).value(), p.value, 4.0, slack, what + " antithetic");
    }
}

TEST(EarlyExercisePrices, LongstaffSchwartzPutsOnSobolPoints)
{
    for (const PublishedPut& p : kPublishedPuts) {
        const double slack = p.vol > 0.3 ? 0.04 : 0.02;
        const std::string what = "S=" + std::to_string(p.spot) + " vol=" + std::to_string(p.vol);
        expectWithin(runQMC(publishedPut(p), 17, 14, true).value(), p.value, 4.0, slack, what + " bridge");
        expectWithin(runQMC(publishedPut(p), 17, 14, false).value(), p.value, 4.0, slack, what);
    }
}

// Bermudan barrier options with 50 dates (exercise and monitoring), checked
// against VelkBarrierOptionPricer in the export tests.
struct BarrierReference {
    const char* name;
    bool call;
    double lower, upper;
    bool out, continuous;
    double rate, div, value;
};
const BarrierReference kBarrierReferences[] = {
    {"up-and-out put, discrete", false, 0.0, 120.0, true, false, 0.05, 0.02, 8.0690},
    {"up-and-out put, continuous", false, 0.0, 120.0, true, true, 0.05, 0.02, 7.8453},
    {"down-and-in put, continuous", false, 90.0, 0.0, false, true, 0.05, 0.02, 8.4697},
    {"call without dividends", true, 0.0, 0.0, true, false, 0.05, 0.0, 12.3360},
    {"down-and-out call, discrete", true, 90.0, 0.0, true, false, 0.03, 0.05, 7.0264},
    {"down-and-out call, continuous", true, 90.0, 0.0, true, true, 0.03, 0.05, 6.3730},
};

TEST(EarlyExercisePrices, BermudanBarrierOptions)
{
    ThreadCount threads(8);
    for (const BarrierReference& b : kBarrierReferences) {
        const Market m{100.0, 100.0, b.rate, b.div, 0.25, 1.0};
        const EuropeanContract c = barrierContract(m, b.call, 50, b.lower, b.upper, b.out, b.continuous);
        const std::string what(b.name);
        expectWithin(runMC(c, 100000, 50000).value(), b.value, 4.0, 0.02, what + ", pseudo-random");
        expectWithin(runMC(c, 100000, 50000, true).value(), b.value, 4.0, 0.02, what + ", antithetic");
        expectWithin(runQMC(c, 17, 14).value(), b.value, 4.0, 0.02, what + ", Sobol with bridge");
        expectWithin(runQMC(c, 17, 14, false).value(), b.value, 4.0, 0.02, what + ", Sobol without bridge");
    }
    // The call without dividends is never exercised early: the European value.
    EXPECT_NEAR(kBarrierReferences[3].value, bsPrice(true, Market{100.0, 100.0, 0.05, 0.0, 0.25, 1.0}), 1e-4);
}

TEST(EarlyExercisePrices, OneStepIsTheEuropean)
{
    ThreadCount threads(8);
    for (bool call : {true, false}) {
        const Market m{100.0, 105.0, 0.05, 0.02, 0.25, 1.0};
        const double truth = bsPrice(call, m);
        expectWithin(runMC(contractFor(m, call, 1), 100000, 20000).value(), truth, 4.0, 0.0, "pseudo-random");
        expectWithin(runQMC(contractFor(m, call, 1), 16, 12).value(), truth, 4.0, 0.0, "Sobol");
    }
}

TEST(EarlyExercisePrices, EveryBasisSetPricesTheSamePut)
{
    ThreadCount threads(8);
    const PublishedPut& p = kPublishedPuts[0];
    for (int32_t basis : {4, 5, 6, 7, 11, 12})
        expectWithin(runMC(publishedPut(p), 50000, 20000, false, true, basis).value(), p.value, 4.0, 0.03,
                     "basis count " + std::to_string(basis));
}

// Volatilities under which the in-the-money asset values fall to 1e-150 and
// below, so that the powers of the regression's coordinate are subnormal or
// zero: the fit still solves, and the put lies between its European value
// and the strike.
TEST(EarlyExercisePrices, ExtremeVolatilitiesPriceBetweenTheEuropeanAndTheStrike)
{
    struct Case {
        double vol, expiry;
        int32_t basisCount;
    };
    const Case cases[] = {{30.0, 1.0, 4}, {15.0, 5.0, 4}, {50.0, 1.0, 4}, {30.0, 1.0, 5}, {15.0, 5.0, 6}};
    ThreadCount threads(2);
    for (const Case& k : cases) {
        const std::string what = "vol " + std::to_string(k.vol) + " expiry " + std::to_string(k.expiry) +
                                 " basis " + std::to_string(k.basisCount);
        const Market m{100.0, 100.0, 0.05, 0.0, k.vol, k.expiry};
        EstimateSeries r;
        ExerciseRule rule;
        EXPECT_EQ(failureText([&] {
                      priceEarlyExerciseMC(r, rule, contractFor(m, false, 50), 10000, 5000, k.basisCount, false,
                                           true, kRows);
                  }),
                  "accepted")
            << what;
        if (r.value().empty())
            continue;
        const double value = r.value().back();
        EXPECT_GE(value, bsPrice(false, m)) << what;
        EXPECT_LE(value, m.strike) << what;
    }
}

// ---- The exercise rule --------------------------------------------------------------

TEST(EarlyExerciseRule, AFittedRuleReproducesTheRun)
{
    // Applied again to the same numbers, the fitted rule gives the same rows:
    // in-sample rows are the regression paths priced under their own rule
    // (read from the fit's walk back when no Greeks are asked for, priced
    // again when the rule is given), and a knock-in draws its barrier-free
    // regression numbers all the same.
    ThreadCount threads(3);
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    struct Case {
        const char* name;
        EuropeanContract c;
    };
    const Case cases[] = {
        {"vanilla put", contractFor(m, false, 10)},
        {"continuous up-and-out put", barrierContract(m, false, 10, 0.0, 115.0, true, true)},
        {"continuous down-and-in put", barrierContract(m, false, 10, 92.0, 0.0, false, true)},
        {"double knock-in call", barrierContract(m, true, 10, 90.0, 112.0, false, true)},
    };
    for (const Case& k : cases)
        for (bool sobol : {false, true})
            for (bool greeks : {false, true}) {
                EuropeanContract c = k.c;
                c.computeGreeks = greeks;
                EstimateSeries first, again;
                ExerciseRule rule;
                if (sobol)
                    priceEarlyExerciseQMC(first, rule, c, 13, 11, 5, true, false, true, 9);
                else
                    priceEarlyExerciseMC(first, rule, c, 20000, 10000, 5, false, true, kRows);
                ASSERT_EQ(rule.size(), 10u);
                EXPECT_TRUE(rule[0].empty());
                size_t fitted = 0;
                for (const auto& entry : rule)
                    fitted += !entry.empty();
                EXPECT_GE(fitted, 8u) << k.name;
                const ExerciseRule kept = rule;
                if (sobol)
                    priceEarlyExerciseQMC(again, rule, c, 13, 11, 5, true, false, true, 9);
                else
                    priceEarlyExerciseMC(again, rule, c, 20000, 10000, 5, false, true, kRows);
                EXPECT_EQ(rule, kept) << k.name;
                for (size_t s = 0; s < EstimateSeries::kCount; ++s)
                    EXPECT_EQ(first[s], again[s]) << k.name << (sobol ? ", Sobol" : "")
                                                    << (greeks ? ", Greeks" : "") << ", series " << s;
            }
}

TEST(EarlyExerciseRule, EmptyEntriesAreNoExerciseDates)
{
    // A rule without entries exercises nowhere: the European value.
    ThreadCount threads(8);
    const Market m{100.0, 110.0, 0.06, 0.0, 0.2, 1.0};
    ExerciseRule none(12);
    EstimateSeries r;
    priceEarlyExerciseMC(r, none, contractFor(m, false, 12), 200000, 1000, 5, false, true, kRows);
    expectWithin(r.value(), bsPrice(false, m), 4.0, 0.0, "no exercise");
}

TEST(EarlyExerciseRule, RulesOfAnotherShapeAreRefused)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    ExerciseRule wrongSteps(7), wrongBasis(10);
    wrongBasis[3] = {1.0, 2.0};
    for (ExerciseRule* rule : {&wrongSteps, &wrongBasis}) {
        EstimateSeries r;
        const std::string text = failureText(
            [&] { priceEarlyExerciseMC(r, *rule, contractFor(m, false, 10), 10000, 1000, 5, false, true, kRows); });
        EXPECT_NE(text.find("Invalid input: exerciseRule"), std::string::npos) << text;
    }
}

// ---- Rows -------------------------------------------------------------------------------

TEST(EarlyExerciseRows, EachRowDividesByThePathsSummed)
{
    // A nearly deterministic payoff of 50 on every path: each running mean is
    // 50 only when it divides by the paths that were summed, also for counts
    // that are not multiples of the blocks.
    ThreadCount threads(3);
    const Market m{100.0, 50.0, 0.0, 0.0, 1e-6, 1.0};
    for (const auto& [paths, regression] :
         {std::pair<int64_t, int64_t>{123457, 20011}, {1000000, 1000}, {50099, 50099}, {7777, 1234}}) {
        const EstimateSeries r = runMC(contractFor(m, true, 4), paths, regression);
        ASSERT_GT(r.rows(), 0u);
        for (size_t i = 0; i < r.rows(); ++i)
            ASSERT_NEAR(r.value()[i], 50.0, 1e-3) << paths << " / " << regression << ", row " << i;
    }
}

TEST(EarlyExerciseRows, SeriesLengths)
{
    ThreadCount threads(8);
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    EuropeanContract c = contractFor(m, false, 5);
    EXPECT_EQ(runMC(c, 250000, 50000).rows(), 500u);
    EXPECT_EQ(runMC(c, 10000, 1000).rows(), 100u);
    EXPECT_EQ(runQMC(c, 12, 10).rows(), 10u);
    EXPECT_EQ(runQMC(c, 20, 14).rows(), 512u);
    EXPECT_TRUE(runMC(c, 10000, 1000)[EstimateSeries::kDelta].empty());
    c.computeGreeks = true;
    const EstimateSeries g = runQMC(c, 12, 10);
    for (size_t s = 0; s < EstimateSeries::kCount; ++s)
        EXPECT_EQ(g[s].size(), 10u);
}

TEST(EarlyExerciseRows, ThreadedAndSerialRunsAgreeBitForBit)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (int threads : {3, 8}) {
        ThreadCount pinned(threads);
        for (bool antithetic : {false, true}) {
            EuropeanContract c = barrierContract(m, false, 8, 85.0, 125.0, false, true);
            c.computeGreeks = true;
            const EstimateSeries a = runMC(c, 30000, 10000, antithetic, true);
            const EstimateSeries b = runMC(c, 30000, 10000, antithetic, false);
            for (size_t s = 0; s < EstimateSeries::kCount; ++s)
                EXPECT_EQ(a[s], b[s]) << threads << " threads, series " << s;
        }
        EuropeanContract c = barrierContract(m, false, 8, 0.0, 125.0, true, true);
        c.computeGreeks = true;
        const EstimateSeries a = runQMC(c, 13, 11, true, true), b = runQMC(c, 13, 11, true, false);
        for (size_t s = 0; s < EstimateSeries::kCount; ++s)
            EXPECT_EQ(a[s], b[s]) << threads << " threads, Sobol series " << s;
    }
}

// ---- Barriers touched for certain ------------------------------------------------------

TEST(EarlyExerciseBarriers, SpotOnAContinuousBarrier)
{
    // A knock-out whose spot is on its barrier is worth 0; the knock-in has
    // knocked in and is the Bermudan vanilla on the same numbers.
    ThreadCount threads(4);
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    for (const auto& [lower, upper] : {std::pair{100.0, 0.0}, std::pair{0.0, 100.0}, std::pair{80.0, 100.0}}) {
        EuropeanContract out = barrierContract(m, false, 6, lower, upper, true, true);
        out.computeGreeks = true;
        const EstimateSeries dead = runMC(out, 20000, 10000);
        for (size_t s = 0; s < EstimateSeries::kCount; ++s)
            for (double v : dead[s])
                ASSERT_EQ(v, 0.0) << lower << " " << upper;
        // On Sobol points the first coordinates of every point drive the
        // asset whatever the crossing dimensions: the vanilla on the
        // knock-in's layout (no in-sample rows) meets the same normals.
        EuropeanContract in = out;
        in.knockOut = 0;
        EuropeanContract vanillaContract = contractFor(m, false, 6);
        vanillaContract.computeGreeks = true;
        const BarrierExerciseModel vanilla(vanillaContract, laguerreBasis5);
        EstimateSeries plain;
        ExerciseRule rule;
        runEarlyExerciseQMC(plain, rule, vanilla, vanilla, false, 12, 10, true, false, true, 9);
        const EstimateSeries knockedIn = runQMC(in, 12, 10);
        for (size_t s = 0; s < EstimateSeries::kCount; ++s)
            EXPECT_EQ(knockedIn[s], plain[s]) << lower << " " << upper << ", series " << s;
    }
}

TEST(EarlyExerciseBarriers, StepsEndingBeyondABarrierKeepEveryRowFinite)
{
    // Coarse steps at a high volatility end beyond the barriers on many
    // paths: certain touches, never an infinite weight.
    ThreadCount threads(4);
    const Market m{100.0, 100.0, 0.05, 0.0, 1.2, 1.0};
    for (int32_t marching : {kExactMarching, kEulerMarching, kMilsteinMarching})
        for (int32_t out : {0, 1})
            for (const auto& [lower, upper] : {std::pair{70.0, 0.0}, std::pair{0.0, 140.0}, std::pair{70.0, 140.0}}) {
                EuropeanContract c = barrierContract(m, false, 3, lower, upper, out == 1, true);
                c.timeMarching = marching;
                c.computeGreeks = true;
                EXPECT_NO_THROW(runMC(c, 20000, 5000)) << marching << " " << out << " " << lower << " " << upper;
                EXPECT_NO_THROW(runQMC(c, 12, 10)) << marching << " " << out << " " << lower << " " << upper;
            }
}

// ---- Door checks -------------------------------------------------------------------------


TEST(EarlyExerciseDoor, RefusesWhatItCannotRun)
{
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    EstimateSeries r;
    ExerciseRule rule;
    const EuropeanContract put = contractFor(m, false, 5);
    EXPECT_NE(failureText([&] { priceEarlyExerciseMC(r, rule, put, 10000, 1000, 5, false, true, 0); })
                  .find("numCheckpoints"),
              std::string::npos);
    rule.clear();
    EXPECT_NE(failureText([&] { priceEarlyExerciseQMC(r, rule, put, 12, 31, 5, true, false, true, 9); })
                  .find("numLSPaths"),
              std::string::npos);
    rule.clear();
    EXPECT_NE(failureText([&] { priceEarlyExerciseQMC(r, rule, put, 12, 10, 5, true, false, true, 31); })
                  .find("numCheckpoints"),
              std::string::npos);
    rule.clear();
    EuropeanContract spoiled = put;
    spoiled.volatility = std::nan("");
    EXPECT_NE(failureText([&] { priceEarlyExerciseMC(r, rule, spoiled, 10000, 1000, 5, false, true, kRows); })
                  .find("volatility"),
              std::string::npos);
    rule.clear();
    spoiled = barrierContract(m, false, 5, 90.0, 0.0, true, false);
    spoiled.knockOut = 3;
    EXPECT_NE(failureText([&] { priceEarlyExerciseMC(r, rule, spoiled, 10000, 1000, 5, false, true, kRows); })
                  .find("knockOut"),
              std::string::npos);
    // Two continuous barriers take three Sobol dimensions per step.
    rule.clear();
    EXPECT_NE(failureText([&] {
                  priceEarlyExerciseQMC(r, rule, barrierContract(m, false, 7000, 80.0, 120.0, true, true), 12, 10,
                                        5, true, false, true, 9);
              }).find("Sobol dimensions"),
              std::string::npos);
}

TEST(EarlyExerciseDoor, RefusesWhatMemoryCannotHold)
{
    // A million regression paths of 5000 steps hold 40 GB of states: refused
    // before anything is allocated.
    const Market m{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
    EstimateSeries r;
    ExerciseRule rule;
    EXPECT_EQ(failureText([&] {
                  priceEarlyExerciseMC(r, rule, contractFor(m, false, 5000), 2000000, 1000000, 5, false, true,
                                       kRows);
              }).rfind(kSimulationBudgetOpening, 0),
              0u);
    rule.clear();
    EXPECT_EQ(failureText([&] {
                  priceEarlyExerciseQMC(r, rule, contractFor(m, false, 5000), 21, 20, 5, true, false, true, 9);
              }).rfind(kSimulationBudgetOpening, 0),
              0u);
}

TEST(EarlyExerciseDoor, ANonFiniteRowIsAFailure)
{
    // Asset values beyond the largest double on some paths.
    const Market m{1e308, 1.0, 0.05, 0.0, 1.0, 1.0};
    EstimateSeries r;
    ExerciseRule rule;
    EXPECT_EQ(failureText([&] {
                  priceEarlyExerciseMC(r, rule, contractFor(m, true, 1), 10000, 1000, 5, false, true, kRows);
              }),
              kNonFiniteResultText);
}

}  // namespace
}  // namespace tarvic
