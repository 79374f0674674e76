// The Asian engines, European and with early exercise, on pseudo-random
// numbers and Sobol points: prices against the reference values (checked by
// a lattice and the finite-difference pricer), parities on the same paths,
// one fixing against the vanilla closed form, the exercise rule and its
// basis, the path kernel's pairs and draws, independence from the threads,
// and the memory rule.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "montecarlo/asian_early_exercise_mc.h"
#include "montecarlo/asian_european_mc.h"
#include "montecarlo/asian_exercise_path.h"
#include "montecarlo/early_exercise_phases.h"
#include "montecarlo/estimate_checks.h"
#include "montecarlo/option_reference.h"
#include "montecarlo/regression_basis.h"
#include "montecarlo/simulation_limits.h"
#include "support/asian_cases.h"
#include "support/failure_text.h"

namespace tarvic {
namespace {

using tarvic_test::AsianCase;
using tarvic_test::blockStandardError;
using tarvic_test::bsGreeks;
using tarvic_test::bsPrice;
using tarvic_test::expectWithin;
using tarvic_test::failureText;
using tarvic_test::kAsianCases;
using tarvic_test::Market;
using tarvic_test::ThreadCount;

constexpr int32_t kRows = 500;
constexpr int32_t kSobolRows = 9;

AsianContract contractOf(const AsianCase& k)
{
    AsianContract c;
    c.spot = tarvic_test::kAsianSpot;
    c.strike = k.floating ? 0.0 : tarvic_test::kAsianStrike;
    c.intRate = tarvic_test::kAsianRate;
    c.divYield = tarvic_test::kAsianDividend;
    c.volatility = tarvic_test::kAsianVolatility;
    c.expiry = k.expiry;
    c.numFixings = k.numFixings;
    c.optionType = k.call ? 0 : 1;
    c.numSettled = k.numSettled;
    c.settledAverage = k.settledAverage;
    c.strikeType = k.floating ? 1 : 0;
    return c;
}

const AsianCase& fixedPut() { return kAsianCases[1]; }

// One engine run with the number source and its path-construction option:
// antithetic pairs (pseudo-random) or the Brownian bridge (Sobol).
struct Source {
    bool sobol;
    bool option;
    const char* name;
};
const Source kSources[] = {{false, false, "pseudo-random"},
                           {false, true, "pseudo-random, antithetic"},
                           {true, false, "Sobol"},
                           {true, true, "Sobol, bridge"}};

EstimateSeries european(const AsianContract& c, const Source& s, int64_t paths, int32_t exponent,
                        bool multiThreaded = true)
{
    EstimateSeries r;
    if (s.sobol)
        priceAsianEuropeanQMC(r, c, exponent, s.option, false, multiThreaded, false, kSobolRows);
    else
        priceAsianEuropeanMC(r, c, paths, s.option, multiThreaded, kRows);
    return r;
}

EstimateSeries exercisable(const AsianContract& c, const Source& s, int64_t paths, int64_t regression,
                           int32_t exponent, int32_t lsExponent, int32_t basisCount = 16,
                           bool multiThreaded = true, ExerciseRule* keep = nullptr)
{
    EstimateSeries r;
    ExerciseRule own;
    ExerciseRule& rule = keep ? *keep : own;
    if (s.sobol)
        priceAsianEarlyExerciseQMC(r, rule, c, exponent, lsExponent, basisCount, s.option, false, multiThreaded,
                                   kSobolRows);
    else
        priceAsianEarlyExerciseMC(r, rule, c, paths, regression, basisCount, s.option, multiThreaded, kRows);
    return r;
}


// ---- European prices ----------------------------------------------------------------

TEST(AsianMcPrices, EuropeanReferenceValues)
{
    ThreadCount threads(8);
    for (const AsianCase& k : kAsianCases)
        for (const Source& s : kSources)
            expectWithin(european(contractOf(k), s, 400000, 17).value(), k.european, 4.0, 0.002,
                         std::string(k.name) + ", " + s.name);
}

// E[A] of the discrete scheme: each step multiplies the expected asset by
// e^(mu dt) (exact) or 1 + mu dt (Euler and Milstein).
double expectedAverage(const AsianContract& c)
{
    const double dt = c.expiry / c.numFixings, mu = c.intRate - c.divYield;
    const double growth = c.timeMarching == kExactMarching ? std::exp(mu * dt) : 1.0 + mu * dt;
    double sum = c.numSettled * c.settledAverage, s = c.spot;
    for (int32_t k = 1; k <= c.numFixings; ++k) {
        s *= growth;
        sum += s;
    }
    return sum / (c.numSettled + c.numFixings);
}

// The last fixing's expectation in the same scheme.
double expectedLastFixing(const AsianContract& c)
{
    const double dt = c.expiry / c.numFixings, mu = c.intRate - c.divYield;
    const double growth = c.timeMarching == kExactMarching ? std::exp(mu * dt) : 1.0 + mu * dt;
    return c.spot * std::pow(growth, c.numFixings);
}

TEST(AsianMcPrices, PutCallParityOnTheSamePaths)
{
    // Fixed: C - P = e^(-rT) (E[A] - K); floating: C - P = e^(-rT) (E[S_N] - E[A])
    // (S e^(-qT) - e^(-rT) E[A] with exact steps). The call and the put run
    // on the same numbers, so C - P is the mean of e^(-rT)(A - K) (or of
    // S_N - A) over those paths: within 4 of its standard errors.
    ThreadCount threads(8);
    for (bool floating : {false, true})
        for (int32_t settled : {0, 3})
            for (int32_t marching : {kExactMarching, kEulerMarching, kMilsteinMarching})
                for (const Source& s : kSources) {
                    AsianContract call = contractOf(kAsianCases[floating ? 2 : 0]);
                    call.numSettled = settled;
                    call.settledAverage = 96.0;
                    call.timeMarching = marching;
                    AsianContract put = call;
                    put.optionType = 1;
                    const EstimateSeries c = european(call, s, 100000, 14);
                    const EstimateSeries p = european(put, s, 100000, 14);
                    std::vector<double> difference(c.rows());
                    for (size_t i = 0; i < c.rows(); ++i)
                        difference[i] = c.value()[i] - p.value()[i];
                    const double discount = std::exp(-call.intRate * call.expiry);
                    const double forward = floating ? discount * (expectedLastFixing(call) - expectedAverage(call))
                                                    : discount * (expectedAverage(call) - call.strike);
                    EXPECT_NEAR(difference.back(), forward, 4.0 * blockStandardError(difference))
                        << (floating ? "floating" : "fixed") << ", " << settled << " settled, marching "
                        << marching << ", " << s.name;
                }
}

TEST(AsianMcPrices, OneFixingIsTheVanilla)
{
    // Nothing settled: the average is the asset at expiry. The fixed strike
    // is the vanilla, value and likelihood-ratio Greeks; the floating strike
    // pays nothing on any path.
    ThreadCount threads(8);
    const Market m{100.0, 100.0, 0.06, 0.03, 0.2, 1.0};
    for (bool call : {true, false})
        for (const Source& s : kSources) {
            AsianContract c = contractOf(kAsianCases[call ? 0 : 1]);
            c.numFixings = 1;
            c.computeGreeks = true;
            const EstimateSeries r = european(c, s, 400000, 18);
            const std::string what = std::string(call ? "call, " : "put, ") + s.name;
            const tarvic_test::Greeks g = bsGreeks(call, m);
            expectWithin(r.value(), bsPrice(call, m), 4.0, 0.002, what);
            expectWithin(r[EstimateSeries::kDelta], g.delta, 4.0, 1e-4, what + " delta");
            expectWithin(r[EstimateSeries::kGamma], g.gamma, 4.0, 1e-5, what + " gamma");
            expectWithin(r[EstimateSeries::kVega], g.vega, 4.0, 1e-4, what + " vega");
            expectWithin(r[EstimateSeries::kTheta], g.theta, 4.0, 1e-5, what + " theta");
            c.strikeType = 1;
            const EstimateSeries floating = european(c, s, 400000, 18);
            for (double v : floating.value())
                ASSERT_EQ(v, 0.0) << what;
        }
}

TEST(AsianMcPrices, OneFixingAfterOneSettledIsHalfAVanilla)
{
    // A = (A0 + S_T) / 2: a fixed call pays (S_T - (2K - A0))+ / 2, a
    // floating call (S_T - A0)+ / 2, the puts alike.
    ThreadCount threads(8);
    for (bool floating : {false, true})
        for (bool call : {true, false})
            for (double settled : {90.0, 115.0}) {
                AsianContract c = contractOf(kAsianCases[0]);
                c.numFixings = 1;
                c.numSettled = 1;
                c.settledAverage = settled;
                c.optionType = call ? 0 : 1;
                c.strikeType = floating ? 1 : 0;
                const double vanillaStrike = floating ? settled : 2.0 * c.strike - settled;
                const double truth =
                    0.5 * bsPrice(call, Market{c.spot, vanillaStrike, c.intRate, c.divYield, c.volatility, c.expiry});
                for (const Source& s : kSources)
                    expectWithin(european(c, s, 200000, 16).value(), truth, 4.0, 0.002,
                                 std::string(floating ? "floating " : "fixed ") + (call ? "call" : "put") +
                                     ", A0 " + std::to_string(settled) + ", " + s.name);
            }
}

TEST(AsianMcPrices, AFloatingStrikeDoesNotReadTheStrike)
{
    const AsianContract zero = contractOf(kAsianCases[3]);
    for (const Source& s : {kSources[0], kSources[3]}) {
        const EstimateSeries reference = european(zero, s, 20000, 12);
        for (double strike : {123.0, -5.0, std::nan("")}) {
            AsianContract c = zero;
            c.strike = strike;
            EXPECT_EQ(european(c, s, 20000, 12).value(), reference.value()) << strike << ", " << s.name;
        }
    }
}

TEST(AsianMcPrices, EverySlotCountFillsEveryRow)
{
    // 500 rows over 6 or 7 slots: ceil(500 / slots) blocks per slot, so the
    // last rows are estimates too, not zeros reported as a price.
    const AsianCase& k = kAsianCases[0];
    for (int slots : {1, 3, 5, 6, 7, 8}) {
        ThreadCount threads(slots);
        const EstimateSeries r = european(contractOf(k), kSources[0], 100000, 0);
        ASSERT_EQ(r.rows(), 500u);
        for (size_t i = 0; i < r.rows(); ++i)
            ASSERT_GT(r.value()[i], 0.0) << slots << " slots, row " << i;
        expectWithin(r.value(), k.european, 4.0, 0.002, std::to_string(slots) + " slots");
    }
}

// ---- Early exercise -----------------------------------------------------------------------

TEST(AsianMcExercise, ExercisableReferenceValues)
{
    ThreadCount threads(8);
    for (const AsianCase& k : kAsianCases)
        for (const Source& s : kSources)
            expectWithin(exercisable(contractOf(k), s, 200000, 50000, 17, 14).value(), k.exercisable, 4.0, 0.03,
                         std::string(k.name) + ", " + s.name);
}

TEST(AsianMcExercise, OneFixingIsTheEuropeanValue)
{
    // No fixing before expiry: nothing to fit, the rule stays empty.
    ThreadCount threads(8);
    const Market m{100.0, 100.0, 0.06, 0.03, 0.2, 1.0};
    for (bool call : {true, false})
        for (const Source& s : kSources) {
            AsianContract c = contractOf(kAsianCases[call ? 0 : 1]);
            c.numFixings = 1;
            ExerciseRule rule;
            const EstimateSeries r = exercisable(c, s, 200000, 20000, 16, 12, 16, true, &rule);
            expectWithin(r.value(), bsPrice(call, m), 4.0, 0.002, std::string(call ? "call, " : "put, ") + s.name);
            ASSERT_EQ(rule.size(), 1u);
            EXPECT_TRUE(rule[0].empty());
        }
}

TEST(AsianMcExercise, EachBasisCountFitsItsOwnSet)
{
    // 11 takes the thirteen-function set (and fits and sums 13 terms), 16 and
    // 25 their sets, any other count 36 functions; every set prices the put.
    ThreadCount threads(8);
    const AsianCase& k = fixedPut();
    struct Case {
        int32_t basisCount;
        size_t coefficients;
    };
    const Case cases[] = {{11, 13}, {16, 16}, {25, 25}, {36, 36}, {4, 36}};
    for (const Case& b : cases)
        for (const Source& s : {kSources[0], kSources[3]}) {
            ExerciseRule rule;
            const EstimateSeries r = exercisable(contractOf(k), s, 100000, 50000, 16, 14, b.basisCount, true, &rule);
            const std::string what = "basis count " + std::to_string(b.basisCount) + ", " + s.name;
            ASSERT_EQ(rule.size(), 10u) << what;
            EXPECT_TRUE(rule[0].empty()) << what;
            for (size_t f = 1; f < rule.size(); ++f)
                EXPECT_EQ(rule[f].size(), b.coefficients) << what << ", fixing " << f;
            expectWithin(r.value(), k.exercisable, 4.0, 0.03, what);
        }
}

TEST(AsianMcExercise, AFittedRuleReproducesTheRun)
{
    // Applied again to the same numbers, the fitted rule gives the same rows
    // (without Greeks the fitted run reads its in-sample rows from the walk
    // back, the run with the rule prices those paths again).
    ThreadCount threads(3);
    for (const AsianCase* k : {&kAsianCases[1], &kAsianCases[2]})
        for (const Source& s : {kSources[1], kSources[3]})
            for (bool greeks : {false, true}) {
                AsianContract c = contractOf(*k);
                c.computeGreeks = greeks;
                ExerciseRule rule;
                const EstimateSeries first = exercisable(c, s, 20000, 10000, 13, 11, 16, true, &rule);
                const ExerciseRule kept = rule;
                const EstimateSeries again = exercisable(c, s, 20000, 10000, 13, 11, 16, true, &rule);
                EXPECT_EQ(rule, kept);
                for (size_t i = 0; i < EstimateSeries::kCount; ++i)
                    EXPECT_EQ(first[i], again[i])
                        << k->name << ", " << s.name << (greeks ? ", Greeks" : "") << ", series " << i;
            }
}

TEST(AsianMcExercise, PricesScaleWithTheMarket)
{
    // Spot, strike and settled average times 7 on the same numbers: the
    // regression sees the same coordinates (in units of the strike, or of
    // the spot with a floating strike), so the option is worth 7 times as much.
    ThreadCount threads(4);
    for (const AsianCase* k : {&kAsianCases[4], &kAsianCases[2]})
        for (const Source& s : {kSources[0], kSources[2]}) {
            AsianContract c = contractOf(*k);
            const EstimateSeries base = exercisable(c, s, 20000, 10000, 13, 11);
            c.spot *= 7.0;
            c.strike *= 7.0;
            c.settledAverage *= 7.0;
            const EstimateSeries scaled = exercisable(c, s, 20000, 10000, 13, 11);
            ASSERT_EQ(base.rows(), scaled.rows());
            for (size_t i = 0; i < base.rows(); ++i)
                ASSERT_NEAR(scaled.value()[i], 7.0 * base.value()[i], 1e-9 * scaled.value()[i])
                    << k->name << ", " << s.name << ", row " << i;
        }
}

// ---- The path kernel ----------------------------------------------------------------------

TEST(AsianMcKernel, AntitheticPairsStayWithinTheirChunks)
{
    // 3 slots and 50000 or 50001 regression paths (chunks of 16665 would
    // split pairs): every pair (p, p + 1) from an even p of the batch runs
    // on z and -z, so with exact steps ln(S / S0) - k drift of the two is
    // opposite at every fixing; an odd batch ends with one plain path.
    // Threaded and serial batches agree.
    const AsianContract c = contractOf(fixedPut());
    const AsianExerciseModel model(c, laguerreBasis2D16);
    const double logDrift = model.run().path.logDrift;
    for (size_t paths : {50000u, 50001u}) {
        std::vector<RandomGenerator64> a = makeSlotGenerators(kSeedTable, 3), b = a;
        const StoredPaths threaded = simulateRegressionPaths(model, paths, a, true, true);
        const StoredPaths serial = simulateRegressionPaths(model, paths, b, true, false);
        ASSERT_EQ(threaded.states.size(), serial.states.size());
        for (size_t i = 0; i < threaded.states.size(); ++i)
            ASSERT_EQ(threaded.states.data()[i], serial.states.data()[i]) << paths << " paths";
        for (size_t p = 0; p + 1 < paths; p += 2)
            for (int32_t k = 1; k <= c.numFixings; ++k) {
                const double up = std::log(threaded.state(p, k)[0] / c.spot) - k * logDrift;
                const double down = std::log(threaded.state(p + 1, k)[0] / c.spot) - k * logDrift;
                ASSERT_NEAR(up, -down, 1e-12) << paths << " paths, pair " << p << ", fixing " << k;
            }
        for (size_t t = 0; t < 3; ++t)
            EXPECT_TRUE(a[t] == b[t]);
    }
}

TEST(AsianMcKernel, StatesHoldTheAssetAndTheRunningAverage)
{
    AsianContract c = contractOf(kAsianCases[4]);
    c.timeMarching = kEulerMarching;
    const AsianExerciseModel model(c, laguerreBasis2D16);
    std::vector<RandomGenerator64> g = makeSlotGenerators(kSeedTable, 2);
    const StoredPaths batch = simulateRegressionPaths(model, 1000, g, false, false);
    for (size_t p = 0; p < 1000; ++p) {
        double sum = c.numSettled * c.settledAverage;
        for (int32_t k = 1; k <= c.numFixings; ++k) {
            sum += batch.state(p, k)[0];
            ASSERT_NEAR(batch.state(p, k)[1], sum / (c.numSettled + k), 1e-12 * sum) << p << " " << k;
            ASSERT_TRUE(batch.live(p, k));
        }
    }
}

// ---- Threads ------------------------------------------------------------------------------

TEST(AsianMcThreads, PseudoRandomSeriesDoNotDependOnMultiThreaded)
{
    for (int threads : {3, 6, 8}) {
        ThreadCount pinned(threads);
        for (bool antithetic : {false, true}) {
            AsianContract c = contractOf(kAsianCases[5]);
            c.computeGreeks = true;
            const Source s{false, antithetic, antithetic ? "antithetic" : "plain"};
            const EstimateSeries a = european(c, s, 30000, 0, true), b = european(c, s, 30000, 0, false);
            const EstimateSeries e = exercisable(c, s, 30000, 10000, 0, 0, 11, true);
            const EstimateSeries f = exercisable(c, s, 30000, 10000, 0, 0, 11, false);
            for (size_t i = 0; i < EstimateSeries::kCount; ++i) {
                EXPECT_EQ(a[i], b[i]) << threads << " threads, " << s.name << ", European series " << i;
                EXPECT_EQ(e[i], f[i]) << threads << " threads, " << s.name << ", exercisable series " << i;
            }
        }
    }
}

TEST(AsianMcThreads, SobolSeriesDoNotDependOnTheThreads)
{
    AsianContract c = contractOf(kAsianCases[2]);
    c.computeGreeks = true;
    EstimateSeries european1, exercisable1;
    {
        ThreadCount one(1);
        european1 = european(c, kSources[3], 0, 13, false);
        exercisable1 = exercisable(c, kSources[3], 0, 0, 13, 11, 16, false);
    }
    for (int threads : {3, 8}) {
        ThreadCount pinned(threads);
        const EstimateSeries a = european(c, kSources[3], 0, 13);
        const EstimateSeries e = exercisable(c, kSources[3], 0, 0, 13, 11);
        for (size_t i = 0; i < EstimateSeries::kCount; ++i) {
            EXPECT_EQ(a[i], european1[i]) << threads << " threads, European series " << i;
            EXPECT_EQ(e[i], exercisable1[i]) << threads << " threads, exercisable series " << i;
        }
    }
}

// ---- Memory ---------------------------------------------------------------------------------

TEST(AsianMcMemory, RefusesRunsTheMachineCannotHold)
{
    // Two billion regression paths of 1000 fixings (tens of terabytes of
    // states) on pseudo-random numbers, beyond any machine's memory; 2^23 regression points of 10 fixings
    // with 36 functions on Sobol points: their design matrix and its copy in
    // the fit alone take about 5 GB, beyond the 3.9 GB rule of the Sobol
    // engine on any machine.
    const AsianContract put = contractOf(fixedPut());
    AsianContract many = put;
    many.numFixings = 1000;
    EstimateSeries r;
    ExerciseRule rule;
    EXPECT_EQ(failureText([&] {
                  priceAsianEarlyExerciseMC(r, rule, many, 2000000000, 2000000000, 36, false, true, kRows);
              }).rfind(kSimulationBudgetOpening, 0),
              0u);
    rule.clear();
    EXPECT_EQ(failureText([&] { priceAsianEarlyExerciseQMC(r, rule, put, 23, 23, 36, true, false, true, 9); }),
              kSimulationMemoryText);
}

}  // namespace
}  // namespace tarvic
