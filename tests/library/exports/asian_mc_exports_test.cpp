// VelkAsianOptionPricerMC as a caller sees it: the arguments reach the
// engines in their order and the engines' series come back, rows, which arrays are written, finite-difference
// runs with a fresh exercise rule each, sensitivities against the
// finite-difference pricer, settings that change nothing, threads, and every
// failure text.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "montecarlo/asian_early_exercise_mc.h"
#include "montecarlo/asian_european_mc.h"
#include "montecarlo/early_exercise.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/option_reference.h"
#include "montecarlo/simulation_limits.h"
#include "support/caller_arrays.h"
#include "support/reference_pricing.h"
#include "support/mc_caller_arrays.h"
#include "tarvic/tarvic.h"

namespace {

using tarvic_test::blockStandardError;
using tarvic_test::ThreadCount;
using tarvic_test::kUntouchedCount;
using tarvic_test::untouched;
using tarvic_test::writtenUpTo;

// The 31 arguments, a European fixed-strike call of ten fixings by default,
// and the caller's arrays.
struct AsianMcCall : tarvic_test::McArrays {
    double spot = 100.0, strike = 100.0, expiry = 1.0, volatility = 0.2, intRate = 0.06, divYield = 0.03;
    int32_t numFixings = 10, numSettled = 0;
    double settledAverage = 0.0, firstFixingTime = 0.1;
    int32_t optionType = 0, exerciseType = 0, strikeType = 0;
    int32_t numPaths = 20, numLSPaths = 10, numBasisFunctions = 15, greeksCode = 0, greeksMethod = 0;
    int32_t timeMarching = 1, antithetic = 0, useSobol = 0, warmUpSobol = 0, brownianBridge = 0;
    int32_t multiThreaded = 1, fewSobolBlocks = 0;

    // Runs the export; returns its text (empty = success).
    std::string operator()(bool nullRowCount = false)
    {
        TvString text = VelkAsianOptionPricerMC(
            value.data(), delta.data(), gamma.data(), vega.data(), theta.data(), nullRowCount ? nullptr : &rowCount,
            spot, strike, expiry, volatility, intRate, divYield, numFixings, numSettled, settledAverage,
            firstFixingTime, optionType, exerciseType, strikeType, numPaths, numLSPaths, numBasisFunctions,
            greeksCode, greeksMethod, timeMarching, antithetic, useSobol, warmUpSobol, brownianBridge, multiThreaded,
            fewSobolBlocks);
        std::string result(text, tvStringByteLen(text));
        tvFreeString(text);
        return result;
    }

    // The engines' contract of the call (the sensitivity estimators off).
    tarvic::AsianContract contract() const
    {
        return tarvic::asianContractOf(spot, strike, intRate, expiry, volatility, divYield, numFixings, optionType,
                                       numSettled, settledAverage, strikeType, timeMarching, false);
    }

    // The series of the engine the call chooses, on a contract and a rule.
    tarvic::EstimateSeries engine(const tarvic::AsianContract& c, tarvic::ExerciseRule& rule) const
    {
        tarvic::EstimateSeries r;
        const bool sobol = useSobol != 0;
        if (exerciseType == 0) {
            if (sobol)
                tarvic::priceAsianEuropeanQMC(r, c, numPaths, brownianBridge != 0, warmUpSobol != 0, true,
                                              fewSobolBlocks != 0, 9);
            else
                tarvic::priceAsianEuropeanMC(r, c, numPaths * 1000, antithetic != 0, true, 500);
        } else if (sobol) {
            tarvic::priceAsianEarlyExerciseQMC(r, rule, c, numPaths, numLSPaths, numBasisFunctions + 1,
                                               brownianBridge != 0, warmUpSobol != 0, true, 9);
        } else {
            tarvic::priceAsianEarlyExerciseMC(r, rule, c, numPaths * 1000, numLSPaths * 1000,
                                              numBasisFunctions + 1, antithetic != 0, true, 500);
        }
        return r;
    }
};

class AsianMcExportTest : public ::testing::Test {
protected:
    ThreadCount threads_{8};
};

TEST_F(AsianMcExportTest, ArgumentsReachTheEngineInTheirOrder)
{
    // Every argument a value of its own: the rows are the chosen engine's,
    // its likelihood-ratio series copied unchanged.
    for (int32_t exercise : {0, 1})
        for (int32_t sobol : {0, 1}) {
            AsianMcCall call;
            call.spot = 97.0;
            call.strike = 101.0;
            call.expiry = 0.75;
            call.volatility = 0.3;
            call.intRate = 0.04;
            call.divYield = 0.01;
            call.numFixings = 6;
            call.numSettled = 2;
            call.settledAverage = 98.5;
            call.optionType = 1;
            call.exerciseType = exercise;
            call.timeMarching = 3;
            call.useSobol = sobol;
            call.numPaths = sobol ? 13 : 12;
            call.numLSPaths = sobol ? 11 : 5;
            call.numBasisFunctions = 24;
            call.brownianBridge = 1;
            call.antithetic = 1;
            call.greeksCode = 1110;
            call.greeksMethod = 1;
            ASSERT_EQ(call(), "");
            tarvic::AsianContract c = call.contract();
            c.computeGreeks = true;
            tarvic::ExerciseRule rule;
            const tarvic::EstimateSeries engine = call.engine(c, rule);
            const std::string what = "exercise " + std::to_string(exercise) + ", Sobol " + std::to_string(sobol);
            EXPECT_EQ(call.rows(call.value), engine.value()) << what;
            EXPECT_EQ(call.rows(call.delta), engine[tarvic::EstimateSeries::kDelta]) << what;
            EXPECT_EQ(call.rows(call.gamma), engine[tarvic::EstimateSeries::kGamma]) << what;
            EXPECT_EQ(call.rows(call.vega), engine[tarvic::EstimateSeries::kVega]) << what;
            EXPECT_EQ(call.rows(call.theta), engine[tarvic::EstimateSeries::kTheta]) << what;
        }
}

TEST_F(AsianMcExportTest, RowCounts)
{
    struct Case {
        int32_t exerciseType, useSobol, numPaths, numLSPaths, fewSobolBlocks, rows;
    };
    const Case cases[] = {{0, 0, 20, 0, 0, 500},  {0, 0, 1, 0, 0, 500},    {0, 1, 12, 0, 0, 128},
                          {0, 1, 12, 0, 1, 8},    {0, 1, 19, 0, 0, 256},   {0, 1, 21, 0, 0, 512},
                          {1, 0, 100, 50, 0, 500}, {2, 0, 20, 10, 0, 200}, {1, 0, 1, 0, 0, 10},
                          {1, 1, 19, 14, 0, 512}, {1, 1, 12, 10, 0, 10},  {1, 1, 14, 14, 0, 16}};
    for (const Case& k : cases) {
        AsianMcCall call;
        call.optionType = 1;
        call.exerciseType = k.exerciseType;
        call.useSobol = k.useSobol;
        call.numPaths = k.numPaths;
        call.numLSPaths = k.numLSPaths;
        call.fewSobolBlocks = k.fewSobolBlocks;
        ASSERT_EQ(call(), "");
        EXPECT_EQ(call.rowCount, k.rows) << "exercise " << k.exerciseType << ", Sobol " << k.useSobol << ", "
                                         << k.numPaths << " / " << k.numLSPaths;
        EXPECT_TRUE(writtenUpTo(call.value, k.rows));
    }
}

TEST_F(AsianMcExportTest, OnlyTheRequestedSensitivitiesAreWritten)
{
    for (int32_t exercise : {0, 1}) {
        AsianMcCall plain;
        plain.exerciseType = exercise;
        ASSERT_EQ(plain(), "");
        SCOPED_TRACE("exercise " + std::to_string(exercise));
        tarvic_test::expectOnlyRequestedSensitivities(plain);
    }
}

TEST_F(AsianMcExportTest, BumpedRunsFitAFreshRuleEach)
{
    // Finite differencing: each bumped run is the engine's run on the bumped
    // contract with an empty rule; steps 0.001 (spot), 1e-4 (volatility,
    // expiry) European, 0.01, 0.001, 0.001 with early exercise.
    for (int32_t exercise : {0, 1})
        for (int32_t sobol : {0, 1}) {
            AsianMcCall call;
            call.optionType = 1;
            call.exerciseType = exercise;
            call.useSobol = sobol;
            call.numPaths = sobol ? 13 : 20;
            call.numLSPaths = sobol ? 11 : 10;
            call.greeksCode = 1110;
            call.greeksMethod = 2;
            ASSERT_EQ(call(), "");
            const double spotStep = exercise ? 0.01 : 0.001, step = exercise ? 0.001 : 0.0001;
            const tarvic::AsianContract c = call.contract();
            const auto fresh = [&](const tarvic::AsianContract& bumped) {
                tarvic::ExerciseRule rule;
                return call.engine(bumped, rule).value();
            };
            tarvic::AsianContract up = c, down = c, vol = c, later = c;
            up.spot *= 1.0 + spotStep;
            down.spot *= 1.0 - spotStep;
            vol.volatility *= 1.0 + step;
            later.expiry *= 1.0 + step;
            const std::vector<double> base = fresh(c), vUp = fresh(up), vDown = fresh(down), vVol = fresh(vol),
                                      vLater = fresh(later);
            const double h = spotStep * c.spot;
            const std::string what = "exercise " + std::to_string(exercise) + ", Sobol " + std::to_string(sobol);
            ASSERT_EQ(static_cast<size_t>(call.rowCount), base.size()) << what;
            for (size_t i = 0; i < base.size(); ++i) {
                ASSERT_EQ(call.value[i], base[i]) << what;
                ASSERT_EQ(call.delta[i], (vUp[i] - vDown[i]) * 0.5 / h) << what << ", row " << i;
                ASSERT_EQ(call.gamma[i], (vUp[i] - 2.0 * base[i] + vDown[i]) / (h * h)) << what << ", row " << i;
                ASSERT_EQ(call.vega[i], (vVol[i] - base[i]) / (step * c.volatility) / 100.0) << what;
                ASSERT_EQ(call.theta[i], (vLater[i] - base[i]) / (step * c.expiry) / -365.0) << what;
            }
        }
}

// The finite-difference pricer's value and bumped Greeks at the spot
// (theta and vega by re-pricing).
struct FiniteDifferenceGreeks {
    double value, delta, gamma, theta, vega;
};

FiniteDifferenceGreeks finiteDifferenceGreeks(const AsianMcCall& c)
{
    tarvic_test::CallerArrays out;
    int32_t n = 200;
    TvString text = VelkAsianOptionPricer(
        out.p(tarvic_test::kGrid), out.p(tarvic_test::kValue), out.p(tarvic_test::kDelta), out.p(tarvic_test::kGamma),
        out.p(tarvic_test::kTheta), out.p(tarvic_test::kVega), c.spot, c.strikeType ? 0.0 : c.strike, 200, c.expiry,
        c.volatility, c.intRate, c.divYield, &n, 1, c.numFixings + c.numSettled, c.numSettled, c.settledAverage,
        c.firstFixingTime, c.optionType, c.exerciseType == 0 ? 0 : 2, 2, 2, 2, 0.0, 1, 1, 1, 1);
    EXPECT_EQ(std::string(text, tvStringByteLen(text)), "");
    tvFreeString(text);
    const auto at = [&](int k) {
        return tarvic_test::interpolateNodes(out.a[tarvic_test::kGrid], out.a[k], n, c.spot);
    };
    return {at(tarvic_test::kValue), at(tarvic_test::kDelta), at(tarvic_test::kGamma), at(tarvic_test::kTheta),
            at(tarvic_test::kVega)};
}

TEST_F(AsianMcExportTest, GreeksOfTheFixedPutAgreeWithTheFiniteDifferencePricer)
{
    // Likelihood-ratio and bumped sensitivities, European and exercisable at
    // the fixings, each within 4 of its standard errors and a slack for the
    // bump (and, with early exercise, for the rule) of the finite-difference
    // pricer's values.
    for (int32_t exercise : {0, 1}) {
        AsianMcCall call;
        call.optionType = 1;
        call.exerciseType = exercise;
        call.numPaths = exercise ? 200 : 1000;
        call.numLSPaths = 50;
        call.greeksCode = 1110;
        const FiniteDifferenceGreeks fd = finiteDifferenceGreeks(call);
        for (int32_t method : {1, 2}) {
            AsianMcCall mc = call;
            mc.greeksMethod = method;
            ASSERT_EQ(mc(), "");
            const std::string what = std::string(exercise ? "exercisable" : "European") +
                                     (method == 1 ? ", likelihood ratio " : ", bumped ");
            const auto check = [&](const std::vector<double>& a, double truth, double slack, const char* greek) {
                const std::vector<double> rows = mc.rows(a);
                EXPECT_NEAR(rows.back(), truth, 4.0 * blockStandardError(rows) + slack) << what << greek;
            };
            const double slack = exercise ? 0.03 : 0.002;
            check(mc.value, fd.value, slack, "value");
            check(mc.delta, fd.delta, exercise ? 0.01 : 0.002, "delta");
            check(mc.gamma, fd.gamma, 0.1 * std::fabs(fd.gamma), "gamma");
            check(mc.theta, fd.theta, 0.1 * std::fabs(fd.theta), "theta");
            check(mc.vega, fd.vega, 0.05 * std::fabs(fd.vega), "vega");
        }
    }
}

TEST_F(AsianMcExportTest, FirstFixingTimeChangesNothing)
{
    for (int32_t exercise : {0, 1}) {
        AsianMcCall reference;
        reference.exerciseType = exercise;
        reference.numSettled = 2;
        reference.settledAverage = 97.0;
        reference.greeksCode = 1110;
        reference.greeksMethod = 1;
        ASSERT_EQ(reference(), "");
        for (double t : {-0.5, 0.0, 0.37, 5.0, std::numeric_limits<double>::quiet_NaN()}) {
            AsianMcCall other = reference;
            other.firstFixingTime = t;
            ASSERT_EQ(other(), "");
            EXPECT_EQ(other.value, reference.value) << t;
            EXPECT_EQ(other.delta, reference.delta) << t;
            EXPECT_EQ(other.theta, reference.theta) << t;
        }
    }
}

TEST_F(AsianMcExportTest, PseudoRandomRowsDoNotDependOnMultiThreaded)
{
    for (int threads : {3, 6, 8}) {
        ThreadCount pinned(threads);
        for (int32_t exercise : {0, 1})
            for (int32_t antithetic : {0, 1}) {
                AsianMcCall threaded;
                threaded.exerciseType = exercise;
                threaded.optionType = 1;
                threaded.strikeType = exercise;
                threaded.antithetic = antithetic;
                threaded.numPaths = 30;
                threaded.greeksCode = 1110;
                threaded.greeksMethod = 2;
                AsianMcCall serial = threaded;
                serial.multiThreaded = 256;  // low byte clear
                ASSERT_EQ(threaded(), "");
                ASSERT_EQ(serial(), "");
                const std::string what = std::to_string(threads) + " threads, exercise " + std::to_string(exercise) +
                                         ", antithetic " + std::to_string(antithetic);
                EXPECT_EQ(threaded.value, serial.value) << what;
                EXPECT_EQ(threaded.delta, serial.delta) << what;
                EXPECT_EQ(threaded.gamma, serial.gamma) << what;
                EXPECT_EQ(threaded.vega, serial.vega) << what;
                EXPECT_EQ(threaded.theta, serial.theta) << what;
            }
    }
}

TEST_F(AsianMcExportTest, SobolRowsDoNotDependOnTheThreads)
{
    for (int32_t exercise : {0, 1}) {
        AsianMcCall call;
        call.exerciseType = exercise;
        call.useSobol = 1;
        call.numPaths = 14;
        call.numLSPaths = 11;
        call.brownianBridge = 1;
        call.greeksCode = 1110;
        call.greeksMethod = 1;
        AsianMcCall reference = call;
        {
            ThreadCount one(1);
            ASSERT_EQ(reference(), "");
        }
        for (int threads : {3, 8}) {
            ThreadCount pinned(threads);
            AsianMcCall other = call;
            ASSERT_EQ(other(), "");
            EXPECT_EQ(other.value, reference.value) << threads << " threads, exercise " << exercise;
            EXPECT_EQ(other.delta, reference.delta) << threads << " threads, exercise " << exercise;
            EXPECT_EQ(other.vega, reference.vega) << threads << " threads, exercise " << exercise;
        }
    }
}

// ---- Failures -------------------------------------------------------------------

using FailureCase = tarvic_test::McFailureCase<AsianMcCall>;

const FailureCase kFailures[] = {
    {"numFixings", false, [](AsianMcCall& c) { c.numFixings = 0; }},
    {"numFixings", false, [](AsianMcCall& c) { c.numFixings = -2; c.exerciseType = 1; }},
    {"numFixings", false, [](AsianMcCall& c) { c.numFixings = 20001; c.useSobol = 1; c.numPaths = 12; }},
    {"numFixings", false,
     [](AsianMcCall& c) { c.numFixings = 20001; c.useSobol = 1; c.numPaths = 12; c.exerciseType = 1; }},
    {"numSettled", false, [](AsianMcCall& c) { c.numSettled = -1; }},
    {"numSettled + numFixings", false, [](AsianMcCall& c) { c.numSettled = 2147483647; }},
    {"numSettled + numFixings", false, [](AsianMcCall& c) { c.numSettled = 2147483640; c.exerciseType = 1; }},
    {"settledAverage", false, [](AsianMcCall& c) { c.numSettled = 3; c.settledAverage = -1.0; }},
    {"settledAverage", false, [](AsianMcCall& c) { c.settledAverage = std::numeric_limits<double>::quiet_NaN(); }},
    {"settledAverage", false, [](AsianMcCall& c) { c.numSettled = 1; c.settledAverage = HUGE_VAL; }},
    {"strike", false, [](AsianMcCall& c) { c.exerciseType = 1; c.strike = 0.0; }},
    {"strike", false, [](AsianMcCall& c) { c.exerciseType = 1; c.strike = -3.0; c.useSobol = 1; c.numPaths = 12; }},
    {"strike", false, [](AsianMcCall& c) { c.strike = std::numeric_limits<double>::quiet_NaN(); }},
    {"volatility", false, [](AsianMcCall& c) { c.volatility = 0.0; }},
    {"volatility", false, [](AsianMcCall& c) { c.volatility = 0.0; c.exerciseType = 1; c.strikeType = 1; }},
    {"volatility", false, [](AsianMcCall& c) { c.volatility = -0.2; c.useSobol = 1; c.numPaths = 12; }},
    {"spot", false, [](AsianMcCall& c) { c.spot = 0.0; }},
    {"spot", false, [](AsianMcCall& c) { c.spot = HUGE_VAL; c.strikeType = 1; }},
    {"expiry", false, [](AsianMcCall& c) { c.expiry = 0.0; }},
    {"intRate", false, [](AsianMcCall& c) { c.intRate = std::numeric_limits<double>::quiet_NaN(); }},
    {"divYield", false, [](AsianMcCall& c) { c.divYield = HUGE_VAL; }},
    {"timeMarching", false, [](AsianMcCall& c) { c.timeMarching = 0; }},
    {"timeMarching", false, [](AsianMcCall& c) { c.timeMarching = 4; c.exerciseType = 1; }},
    {"timeMarching", false, [](AsianMcCall& c) { c.timeMarching = 7; c.useSobol = 1; c.numPaths = 12; }},
    {"numPaths", false, [](AsianMcCall& c) { c.numPaths = 0; }},
    {"numPaths", false, [](AsianMcCall& c) { c.numPaths = 2147484; }},
    {"numPaths", false, [](AsianMcCall& c) { c.useSobol = 1; c.numPaths = 31; }},
    {"numPaths", false, [](AsianMcCall& c) { c.useSobol = 1; c.numPaths = 6; }},
    {"numPaths", false, [](AsianMcCall& c) { c.useSobol = 1; c.numPaths = -1; }},
    {"numLSPaths", false, [](AsianMcCall& c) { c.useSobol = 1; c.numPaths = 12; c.numLSPaths = 31; c.exerciseType = 1; }},
    {"numLSPaths", false, [](AsianMcCall& c) { c.numLSPaths = 2147484; c.exerciseType = 1; }},
    {"numBasisFunctions", false, [](AsianMcCall& c) { c.numBasisFunctions = 2147483647; c.exerciseType = 1; }},
    {tarvic::kSimulationBudgetOpening, true,
     [](AsianMcCall& c) { c.exerciseType = 1; c.numPaths = 2000000; c.numLSPaths = 2000000; c.numFixings = 1000; }},
    {tarvic::kSimulationMemoryText, true,
     [](AsianMcCall& c) { c.exerciseType = 1; c.useSobol = 1; c.numPaths = 23; c.numLSPaths = 23; }},
    {tarvic::kSimulationMemoryText, true, [](AsianMcCall& c) { c.useSobol = 1; c.numPaths = 30; c.numFixings = 20000; }},
    {tarvic::kNonFiniteResultText, true, [](AsianMcCall& c) { c.spot = 1e308; c.strike = 1.0; c.volatility = 1.0; }},
    {tarvic::kNonFiniteResultText, true,
     [](AsianMcCall& c) { c.spot = 1e308; c.strike = 1.0; c.volatility = 1.0; c.exerciseType = 1; }},
    {tarvic::kNonFiniteResultText, true,
     [](AsianMcCall& c) { c.spot = 1e308; c.volatility = 1.0; c.strikeType = 1; c.useSobol = 1; c.numPaths = 12; }},
};

TEST_F(AsianMcExportTest, FailuresReturnTheirTextAndWriteNothing)
{
    tarvic_test::expectFailures(kFailures);
}

TEST_F(AsianMcExportTest, UnusualButValidInputsAreAccepted)
{
    // A floating strike of 0 (the strike is not read), a fixed strike of 0
    // without early exercise, nothing settled at an average of 0, a
    // negative first fixing time.
    struct Case {
        const char* name;
        void (*set)(AsianMcCall&);
    };
    const Case cases[] = {
        {"floating strike 0 exercisable", [](AsianMcCall& c) { c.strike = 0.0; c.strikeType = 1; c.exerciseType = 1; }},
        {"fixed strike 0 European", [](AsianMcCall& c) { c.strike = 0.0; }},
        {"first fixing in the past", [](AsianMcCall& c) { c.firstFixingTime = -0.25; c.numSettled = 3; c.settledAverage = 99.0; }},
    };
    for (const Case& k : cases) {
        AsianMcCall call;
        call.numPaths = 2;
        k.set(call);
        EXPECT_EQ(call(), "") << k.name;
        EXPECT_TRUE(writtenUpTo(call.value, call.rowCount)) << k.name;
    }
}

// Euler steps of volatility 2 over quarter years put a sixth of the steps
// below 0: refused with a text naming exact marching and the fixings (the
// steps of an Asian path); exact marching prices the same contract.
TEST_F(AsianMcExportTest, MarchingBelowZeroIsRefusedWhereItMovesTheEstimate)
{
    AsianMcCall call;
    call.volatility = 2.0;
    call.numFixings = 4;
    call.timeMarching = 2;
    const std::string text = call();
    EXPECT_NE(text.find("timeMarching 1"), std::string::npos) << text;
    EXPECT_NE(text.find("numFixings"), std::string::npos) << text;
    EXPECT_TRUE(untouched(call.value));
    call.timeMarching = 1;
    EXPECT_EQ(call(), "");
}

TEST_F(AsianMcExportTest, MissingRowCountIsRefused)
{
    AsianMcCall call;
    EXPECT_NE(call(true).find("rowCount"), std::string::npos);
    EXPECT_TRUE(untouched(call.value));
}

}  // namespace
