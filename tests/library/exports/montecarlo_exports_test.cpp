// VelkOptionPricerMC as a caller sees it: rows, which arrays are written,
// finite-difference and likelihood-ratio sensitivities, the knock-in rule,
// early exercise with its rule across the bumped runs, flags by their low
// byte, and every failure text.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "montecarlo/early_exercise.h"
#include "montecarlo/early_exercise_mc.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/european_mc.h"
#include "montecarlo/european_qmc.h"
#include "montecarlo/option_pricer_mc.h"
#include "montecarlo/option_reference.h"
#include "montecarlo/simulation_limits.h"
#include "support/mc_caller_arrays.h"
#include "tarvic/tarvic.h"

namespace {

using tarvic_test::blockStandardError;
using tarvic_test::bsGreeks;
using tarvic_test::bsPrice;
using tarvic_test::Market;
using tarvic_test::ThreadCount;
using tarvic_test::kUntouchedCount;
using tarvic_test::untouched;
using tarvic_test::writtenUpTo;

// The 31 arguments with the defaults of a plain run, and the caller's arrays.
struct McCall : tarvic_test::McArrays {
    double spot = 100.0, strike = 100.0, lowerBarrier = 0.0, upperBarrier = 0.0;
    double expiry = 1.0, volatility = 0.25, intRate = 0.05, divYield = 0.02;
    int32_t numSteps = 1, optionType = 0, exerciseType = 0, knockOut = 1, contMonitoring = 0;
    int32_t numPaths = 20, numLSPaths = 10, numBasisFunctions = 3, greeksCode = 0, greeksMethod = 0;
    int32_t timeMarching = 1, antithetic = 0, useSobol = 0, warmUpSobol = 0, brownianBridge = 0;
    int32_t multiThreaded = 1, fewSobolBlocks = 0;

    // Runs the export; returns its text (empty = success).
    std::string operator()(bool nullRowCount = false)
    {
        TvString text = VelkOptionPricerMC(value.data(), delta.data(), gamma.data(), vega.data(), theta.data(),
                                           nullRowCount ? nullptr : &rowCount, spot, strike, lowerBarrier,
                                           upperBarrier, expiry, volatility, intRate, divYield, numSteps,
                                           optionType, exerciseType, knockOut, contMonitoring, numPaths,
                                           numLSPaths, numBasisFunctions, greeksCode, greeksMethod, timeMarching,
                                           antithetic, useSobol, warmUpSobol, brownianBridge, multiThreaded,
                                           fewSobolBlocks);
        std::string result(text, tvStringByteLen(text));
        tvFreeString(text);
        return result;
    }

    Market market() const { return Market{spot, strike, intRate, divYield, volatility, expiry}; }

    // The engines' contract of the call (the sensitivity estimators off).
    tarvic::EuropeanContract contract() const
    {
        tarvic::EuropeanContract c;
        c.spot = spot;
        c.strike = strike;
        c.lowerBarrier = lowerBarrier;
        c.upperBarrier = upperBarrier;
        c.intRate = intRate;
        c.expiry = expiry;
        c.volatility = volatility;
        c.divYield = divYield;
        c.numSteps = numSteps;
        c.optionType = optionType;
        c.knockOut = knockOut;
        c.contMonitoring = contMonitoring != 0;
        c.timeMarching = timeMarching;
        return c;
    }
};

class McExportTest : public ::testing::Test {
protected:
    ThreadCount threads_{8};
};

TEST_F(McExportTest, RowCounts)
{
    struct Case {
        int32_t useSobol, numPaths, fewSobolBlocks, rows;
    };
    const Case cases[] = {{0, 20, 0, 500}, {1, 12, 0, 128}, {1, 12, 1, 8}, {1, 19, 0, 256},
                          {1, 20, 0, 512}, {1, 21, 0, 512}, {1, 14, 1, 8},  {0, 1, 0, 500}};
    for (const Case& k : cases) {
        McCall call;
        call.useSobol = k.useSobol;
        call.numPaths = k.numPaths;
        call.fewSobolBlocks = k.fewSobolBlocks;
        ASSERT_EQ(call(), "");
        EXPECT_EQ(call.rowCount, k.rows) << "Sobol " << k.useSobol << ", numPaths " << k.numPaths;
        EXPECT_TRUE(writtenUpTo(call.value, k.rows));
    }
}

TEST_F(McExportTest, PathCountsOfBothGenerators)
{
    // numPaths 12: 12000 pseudo-random paths, 2^12 Sobol points.
    McCall pseudo;
    const tarvic::EuropeanContract c = pseudo.contract();
    pseudo.numPaths = 12;
    ASSERT_EQ(pseudo(), "");
    tarvic::EstimateSeries engine;
    tarvic::priceEuropeanMC(engine, c, 12000, false, true, 500);
    EXPECT_EQ(pseudo.rows(pseudo.value), engine.value());

    McCall sobol;
    sobol.numPaths = 12;
    sobol.useSobol = 1;
    ASSERT_EQ(sobol(), "");
    tarvic::EstimateSeries points;
    tarvic::priceEuropeanQMC(points, c, 12, false, false, true, false, 9);
    EXPECT_EQ(sobol.rows(sobol.value), points.value());
}

TEST_F(McExportTest, OnlyTheRequestedSensitivitiesAreWritten)
{
    McCall plain;
    ASSERT_EQ(plain(), "");
    ASSERT_EQ(plain.rowCount, 500);
    tarvic_test::expectOnlyRequestedSensitivities(plain);
}

TEST_F(McExportTest, FiniteDifferenceSensitivitiesOfAVanilla)
{
    for (int32_t type : {0, 1}) {
        McCall call;
        call.optionType = type;
        call.numPaths = 200;
        call.greeksCode = 1110;
        call.greeksMethod = 2;
        ASSERT_EQ(call(), "");
        const tarvic_test::Greeks g = bsGreeks(type == 0, call.market());
        const auto check = [&](const std::vector<double>& array, double truth, const char* name) {
            const std::vector<double> rows = call.rows(array);
            EXPECT_NEAR(rows.back(), truth, 4.0 * blockStandardError(rows) + 1e-4) << name;
        };
        check(call.value, bsPrice(type == 0, call.market()), "value");
        check(call.delta, g.delta, "delta");
        check(call.gamma, g.gamma, "gamma");
        check(call.vega, g.vega, "vega");
        check(call.theta, g.theta, "theta");
    }
}

TEST_F(McExportTest, LikelihoodRatioSeriesAreCopiedUnchanged)
{
    McCall call;
    call.numSteps = 3;
    call.lowerBarrier = 85.0;
    call.contMonitoring = 1;
    call.greeksCode = 1110;
    call.greeksMethod = 1;
    ASSERT_EQ(call(), "");
    tarvic::EuropeanContract c = call.contract();
    c.computeGreeks = true;
    tarvic::EstimateSeries engine;
    tarvic::priceEuropeanMC(engine, c, 20000, false, true, 500);
    EXPECT_EQ(call.rows(call.delta), engine[tarvic::EstimateSeries::kDelta]);
    EXPECT_EQ(call.rows(call.gamma), engine[tarvic::EstimateSeries::kGamma]);
    EXPECT_EQ(call.rows(call.vega), engine[tarvic::EstimateSeries::kVega]);
    EXPECT_EQ(call.rows(call.theta), engine[tarvic::EstimateSeries::kTheta]);
}

TEST_F(McExportTest, LikelihoodRatioAndFiniteDifferencesAgree)
{
    // Two estimators of the same sensitivities on barrier options without a
    // closed form (discrete dates) or with an awkward one (knock-in).
    struct Case {
        const char* name;
        double lower, upper;
        int32_t knockOut, contMonitoring, numSteps;
    };
    const Case cases[] = {{"discrete down-and-out", 85.0, 0.0, 1, 0, 12},
                          {"discrete double knock-out", 80.0, 125.0, 1, 0, 12},
                          {"continuous up-and-in", 0.0, 120.0, 0, 1, 6}};
    for (const Case& k : cases) {
        McCall lr;
        lr.lowerBarrier = k.lower;
        lr.upperBarrier = k.upper;
        lr.knockOut = k.knockOut;
        lr.contMonitoring = k.contMonitoring;
        lr.numSteps = k.numSteps;
        lr.numPaths = 200;
        lr.greeksCode = 1110;
        lr.greeksMethod = 1;
        McCall fd = lr;
        fd.greeksMethod = 2;
        ASSERT_EQ(lr(), "");
        ASSERT_EQ(fd(), "");
        const auto agree = [&](const std::vector<double>& a, const std::vector<double>& b, const char* greek) {
            const std::vector<double> x = lr.rows(a), y = fd.rows(b);
            EXPECT_NEAR(x.back(), y.back(), 4.0 * (blockStandardError(x) + blockStandardError(y)))
                << k.name << " " << greek;
        };
        agree(lr.delta, fd.delta, "delta");
        agree(lr.vega, fd.vega, "vega");
        agree(lr.theta, fd.theta, "theta");
    }
}

TEST_F(McExportTest, DefaultSobolRunWithLikelihoodRatioGreeks)
{
    McCall call;
    call.useSobol = 1;
    call.numPaths = 19;
    call.greeksCode = 1110;
    call.greeksMethod = 1;
    call.brownianBridge = 1;
    ASSERT_EQ(call(), "");
    ASSERT_EQ(call.rowCount, 256);
    const tarvic_test::Greeks g = bsGreeks(true, call.market());
    EXPECT_NEAR(call.value[255], bsPrice(true, call.market()), 1e-3);
    EXPECT_NEAR(call.delta[255], g.delta, 2e-4);
    EXPECT_NEAR(call.gamma[255], g.gamma, 2e-5);
    EXPECT_NEAR(call.vega[255], g.vega, 5e-4);
    EXPECT_NEAR(call.theta[255], g.theta, 5e-5);
}

TEST_F(McExportTest, KnockInBeyondAContinuousBarrierIsTheVanilla)
{
    struct Case {
        double lower, upper;
        int32_t optionType;  // a put for the up barriers: an up-and-in call struck above them is the call
    };
    const Case cases[] = {{100.0, 0.0, 0}, {105.0, 0.0, 0}, {0.0, 100.0, 1}, {0.0, 95.0, 1}, {100.0, 120.0, 0}};
    for (const Case& k : cases) {
        McCall vanilla;
        vanilla.numPaths = 10;
        vanilla.optionType = k.optionType;
        vanilla.greeksCode = 1000;
        vanilla.greeksMethod = 2;
        ASSERT_EQ(vanilla(), "");
        McCall in = vanilla;
        in.lowerBarrier = k.lower;
        in.upperBarrier = k.upper;
        in.knockOut = 0;
        in.contMonitoring = 1;
        ASSERT_EQ(in(), "");
        // Same values and the vanilla's spot step: the same delta, bit for bit.
        EXPECT_EQ(in.rows(in.value), vanilla.rows(vanilla.value)) << k.lower << " " << k.upper;
        EXPECT_EQ(in.rows(in.delta), vanilla.rows(vanilla.delta)) << k.lower << " " << k.upper;
        // Monitored at the dates only, the barriers stay.
        McCall discrete = in;
        discrete.contMonitoring = 0;
        discrete.numSteps = 4;
        ASSERT_EQ(discrete(), "");
        McCall discreteVanilla = vanilla;
        discreteVanilla.numSteps = 4;
        ASSERT_EQ(discreteVanilla(), "");
        EXPECT_LT(discrete.value[499], discreteVanilla.value[499] - 0.1) << k.lower << " " << k.upper;
    }
}

TEST_F(McExportTest, SpotBumpAcrossAContinuousBarrierKnocksOut)
{
    // Spot x 1.002 lies beyond the up barrier: that run is worth 0.
    McCall call;
    call.upperBarrier = 100.15;
    call.strike = 90.0;
    call.contMonitoring = 1;
    call.numSteps = 4;
    call.greeksCode = 1000;
    call.greeksMethod = 2;
    ASSERT_EQ(call(), "");
    McCall down = call;
    down.spot = call.spot * (1.0 - 0.002);
    down.greeksMethod = 0;
    ASSERT_EQ(down(), "");
    const double h = 0.002 * call.spot;
    for (int32_t i = 0; i < call.rowCount; ++i)
        ASSERT_EQ(call.delta[i], (0.0 - down.value[i]) * 0.5 / h) << "row " << i;
}

TEST_F(McExportTest, FlagsCountByTheirLowByte)
{
    McCall clear;
    clear.useSobol = 256;
    clear.numPaths = 12;
    ASSERT_EQ(clear(), "");
    EXPECT_EQ(clear.rowCount, 500);
    McCall set;
    set.useSobol = 65535;
    set.numPaths = 12;
    ASSERT_EQ(set(), "");
    EXPECT_EQ(set.rowCount, 128);
}

TEST_F(McExportTest, ThreadedAndSerialRunsAgree)
{
    for (int32_t sobol : {0, 1}) {
        McCall threaded;
        threaded.useSobol = sobol;
        threaded.numPaths = sobol ? 14 : 20;
        threaded.numSteps = 5;
        threaded.lowerBarrier = 80.0;
        threaded.upperBarrier = 130.0;
        threaded.contMonitoring = 1;
        threaded.greeksCode = 1110;
        threaded.greeksMethod = 2;
        McCall serial = threaded;
        serial.multiThreaded = 0;
        ASSERT_EQ(threaded(), "");
        ASSERT_EQ(serial(), "");
        EXPECT_EQ(threaded.rows(threaded.value), serial.rows(serial.value));
        EXPECT_EQ(threaded.rows(threaded.gamma), serial.rows(serial.gamma));
        EXPECT_EQ(threaded.rows(threaded.theta), serial.rows(serial.theta));
    }
}

// ---- Failures -------------------------------------------------------------------

using FailureCase = tarvic_test::McFailureCase<McCall>;

const FailureCase kFailures[] = {
    {"numLSPaths", false, [](McCall& c) { c.exerciseType = 1; c.numLSPaths = 2147484; }},
    {"numLSPaths", false, [](McCall& c) { c.exerciseType = 2; c.useSobol = 1; c.numPaths = 12; c.numLSPaths = 31; }},
    {"numPaths", false, [](McCall& c) { c.exerciseType = 1; c.useSobol = 1; c.numPaths = 31; }},
    {"numBasisFunctions", false, [](McCall& c) { c.exerciseType = 1; c.numBasisFunctions = 2147483647; }},
    {tarvic::kSimulationBudgetOpening, true,
     [](McCall& c) { c.exerciseType = 1; c.numPaths = 2000; c.numLSPaths = 1000; c.numSteps = 5000; }},
    {tarvic::kSimulationBudgetOpening, true,
     [](McCall& c) { c.exerciseType = 1; c.useSobol = 1; c.numPaths = 21; c.numLSPaths = 20; c.numSteps = 5000; }},
    {tarvic::kNonFiniteResultText, true,
     [](McCall& c) { c.exerciseType = 1; c.spot = 1e308; c.strike = 1.0; c.volatility = 1.0; }},
    {tarvic::kNonFiniteResultText, true, [](McCall& c) { c.spot = 1e308; c.strike = 1.0; c.volatility = 1.0; }},
    // Asset values beyond the doubles in the regression data of the fit.
    {tarvic::kNonFiniteResultText, true,
     [](McCall& c) { c.exerciseType = 1; c.numSteps = 10; c.spot = 1e308; c.strike = 1.0; c.volatility = 1.0; }},
    {"knockOut", false, [](McCall& c) { c.exerciseType = 1; c.upperBarrier = 130.0; c.knockOut = -1; }},
    {"timeMarching", false, [](McCall& c) { c.exerciseType = 1; c.timeMarching = 7; }},
    {tarvic::kSimulationMemoryText, true, [](McCall& c) { c.useSobol = 1; c.numPaths = 30; c.numSteps = 20000; }},
    {"spot", false, [](McCall& c) { c.spot = std::numeric_limits<double>::quiet_NaN(); }},
    {"spot", false, [](McCall& c) { c.spot = 0.0; }},
    {"strike", false, [](McCall& c) { c.strike = 0.0; }},
    {"strike", false, [](McCall& c) { c.strike = -5.0; }},
    {"volatility", false, [](McCall& c) { c.volatility = -0.2; }},
    {"volatility", false, [](McCall& c) { c.volatility = HUGE_VAL; }},
    {"expiry", false, [](McCall& c) { c.expiry = HUGE_VAL; }},
    {"expiry", false, [](McCall& c) { c.expiry = 0.0; }},
    {"intRate", false, [](McCall& c) { c.intRate = std::numeric_limits<double>::quiet_NaN(); }},
    {"upperBarrier", false, [](McCall& c) { c.upperBarrier = HUGE_VAL; }},
    {"numSteps", false, [](McCall& c) { c.numSteps = 0; }},
    {"numSteps", false, [](McCall& c) { c.numSteps = -3; c.useSobol = 1; c.numPaths = 12; }},
    {"numSteps", false, [](McCall& c) { c.numSteps = 20001; c.useSobol = 1; c.numPaths = 12; }},
    {"numPaths", false, [](McCall& c) { c.numPaths = 0; }},
    {"numPaths", false, [](McCall& c) { c.numPaths = -4; }},
    {"numPaths", false, [](McCall& c) { c.numPaths = 2147484; }},
    {"numPaths", false, [](McCall& c) { c.useSobol = 1; c.numPaths = 31; }},
    {"numPaths", false, [](McCall& c) { c.useSobol = 1; c.numPaths = -1; }},
    {"numPaths", false, [](McCall& c) { c.useSobol = 1; c.numPaths = 6; }},
    {"numPaths", false, [](McCall& c) { c.useSobol = 1; c.numPaths = 2; c.fewSobolBlocks = 1; }},
    {"timeMarching", false, [](McCall& c) { c.timeMarching = 0; }},
    {"timeMarching", false, [](McCall& c) { c.timeMarching = 4; c.useSobol = 1; c.numPaths = 12; }},
    {"knockOut", false, [](McCall& c) { c.lowerBarrier = 80.0; c.knockOut = 2; }},
};

TEST_F(McExportTest, FailuresReturnTheirTextAndWriteNothing)
{
    tarvic_test::expectFailures(kFailures);
}

// ---- Early exercise ------------------------------------------------------------

TEST_F(McExportTest, EarlyExerciseRows)
{
    struct Case {
        int32_t useSobol, numPaths, numLSPaths, rows;
    };
    const Case cases[] = {{0, 100, 50, 500}, {0, 20, 10, 200}, {0, 1, 0, 10},  {1, 19, 14, 512},
                          {1, 12, 10, 10},   {1, 14, 14, 16},  {1, 20, 14, 512}};
    for (const Case& k : cases)
        for (int32_t exercise : {1, 2}) {
            McCall call;
            call.optionType = 1;
            call.numSteps = 10;
            call.exerciseType = exercise;
            call.useSobol = k.useSobol;
            call.numPaths = k.numPaths;
            call.numLSPaths = k.numLSPaths;
            call.greeksCode = 1110;
            call.greeksMethod = 1;
            ASSERT_EQ(call(), "");
            const std::string what = "Sobol " + std::to_string(k.useSobol) + ", " + std::to_string(k.numPaths) +
                                     " / " + std::to_string(k.numLSPaths);
            EXPECT_EQ(call.rowCount, k.rows) << what;
            for (const std::vector<double>* a : {&call.value, &call.delta, &call.gamma, &call.vega, &call.theta})
                EXPECT_TRUE(writtenUpTo(*a, k.rows)) << what;
        }
}

TEST_F(McExportTest, EarlyExerciseSpotRunsReuseTheBaseRule)
{
    // Finite differencing: the two spot runs apply the rule the base run
    // fitted, the volatility and expiry runs fit their own; the steps are 1%,
    // the volatility step 0.2% with continuous monitoring.
    struct Case {
        const char* name;
        double lower, upper;
        int32_t knockOut, contMonitoring, useSobol, numPaths, numLSPaths;
    };
    const Case cases[] = {{"vanilla put", 0.0, 0.0, 1, 0, 0, 20, 10},
                          {"continuous up-and-out put", 0.0, 125.0, 1, 1, 0, 20, 10},
                          {"continuous down-and-in put, Sobol", 90.0, 0.0, 0, 1, 1, 13, 11},
                          {"discrete double knock-in put, Sobol", 85.0, 115.0, 0, 0, 1, 13, 11}};
    for (const Case& k : cases) {
        McCall call;
        call.optionType = 1;
        call.numSteps = 8;
        call.exerciseType = 1;
        call.lowerBarrier = k.lower;
        call.upperBarrier = k.upper;
        call.knockOut = k.knockOut;
        call.contMonitoring = k.contMonitoring;
        call.useSobol = k.useSobol;
        call.numPaths = k.numPaths;
        call.numLSPaths = k.numLSPaths;
        call.greeksCode = 1110;
        call.greeksMethod = 2;
        ASSERT_EQ(call(), "") << k.name;

        const tarvic::EuropeanContract c = call.contract();
        const auto engine = [&](const tarvic::EuropeanContract& contract, tarvic::ExerciseRule& rule) {
            tarvic::EstimateSeries r;
            if (k.useSobol)
                tarvic::priceEarlyExerciseQMC(r, rule, contract, k.numPaths, k.numLSPaths, 4, false, false, true, 9);
            else
                tarvic::priceEarlyExerciseMC(r, rule, contract, k.numPaths * 1000, k.numLSPaths * 1000, 4, false,
                                             true, 500);
            return r.value();
        };
        tarvic::ExerciseRule rule, fresh;
        const std::vector<double> base = engine(c, rule);
        tarvic::EuropeanContract up = c, down = c, vol = c, later = c;
        up.spot *= 1.01;
        down.spot *= 0.99;
        const double volStep = k.contMonitoring ? 0.002 : 0.01;
        vol.volatility *= 1.0 + volStep;
        later.expiry *= 1.01;
        const std::vector<double> vUp = engine(up, rule), vDown = engine(down, rule);
        const std::vector<double> vVol = engine(vol, fresh);
        fresh.clear();
        const std::vector<double> vLater = engine(later, fresh);
        const double h = 0.01 * c.spot;
        ASSERT_EQ(static_cast<size_t>(call.rowCount), base.size()) << k.name;
        for (size_t i = 0; i < base.size(); ++i) {
            ASSERT_EQ(call.value[i], base[i]) << k.name;
            ASSERT_EQ(call.delta[i], (vUp[i] - vDown[i]) * 0.5 / h) << k.name << ", row " << i;
            ASSERT_EQ(call.gamma[i], (vUp[i] - 2.0 * base[i] + vDown[i]) / (h * h)) << k.name << ", row " << i;
            ASSERT_EQ(call.vega[i], (vVol[i] - base[i]) / (volStep * c.volatility) / 100.0) << k.name;
            ASSERT_EQ(call.theta[i], (vLater[i] - base[i]) / (0.01 * c.expiry) / -365.0) << k.name;
        }
        // A spot run that fitted its own rule would differ.
        tarvic::ExerciseRule own;
        EXPECT_NE(engine(up, own), vUp) << k.name;
    }
}

// A finite-difference solution at the spot, linear between the two nodes around it.
struct FiniteDifferenceGreeks {
    double value, delta, gamma, theta, vega;
};

FiniteDifferenceGreeks finiteDifferenceGreeks(const McCall& c)
{
    std::vector<double> grid(tarvic_test::kMcArraySize), value(tarvic_test::kMcArraySize), delta(tarvic_test::kMcArraySize), gamma(tarvic_test::kMcArraySize),
        theta(tarvic_test::kMcArraySize), vega(tarvic_test::kMcArraySize);
    int32_t n = 400;
    const bool barrier = c.lowerBarrier > 0.0 || c.upperBarrier > 0.0;
    TvString text = barrier ? VelkBarrierOptionPricer(grid.data(), value.data(), delta.data(), gamma.data(),
                                                      theta.data(), vega.data(), c.spot, c.strike, c.lowerBarrier,
                                                      c.upperBarrier, c.contMonitoring, 400, c.expiry, c.volatility,
                                                      c.intRate, c.divYield, &n, c.optionType, c.knockOut, 2, 2, 2,
                                                      0.0, 1, 1, 1, c.numSteps)
                            : VelkOptionPricer(grid.data(), value.data(), delta.data(), gamma.data(), theta.data(),
                                               vega.data(), c.strike, 400, c.expiry, c.volatility, c.intRate,
                                               c.divYield, &n, c.optionType, 2, 2, 2, 0.0, 1, 1, 1, c.numSteps);
    EXPECT_EQ(std::string(text, tvStringByteLen(text)), "");
    tvFreeString(text);
    size_t i = 0;
    while (i + 2 <= static_cast<size_t>(n) && grid[i + 1] < c.spot)
        ++i;
    const double w = (c.spot - grid[i]) / (grid[i + 1] - grid[i]);
    const auto at = [&](const std::vector<double>& a) { return (1.0 - w) * a[i] + w * a[i + 1]; };
    return {at(value), at(delta), at(gamma), at(theta), at(vega)};
}

TEST_F(McExportTest, EarlyExerciseGreeksAgreeWithTheFiniteDifferencePricer)
{
    struct Case {
        const char* name;
        double spot, strike, upper, intRate, divYield, volatility;
        double slack;  // of the value, delta, gamma, theta and vega
    };
    const Case cases[] = {{"Bermudan put", 40.0, 40.0, 0.0, 0.06, 0.0, 0.2, 0.02},
                          {"discrete up-and-out put", 100.0, 100.0, 120.0, 0.05, 0.02, 0.25, 0.02}};
    for (const Case& k : cases) {
        McCall call;
        call.spot = k.spot;
        call.strike = k.strike;
        call.upperBarrier = k.upper;
        call.intRate = k.intRate;
        call.divYield = k.divYield;
        call.volatility = k.volatility;
        call.optionType = 1;
        call.numSteps = 50;
        call.exerciseType = 2;
        call.numPaths = 100;
        call.numLSPaths = 50;
        call.numBasisFunctions = 4;
        call.greeksCode = 1110;
        const FiniteDifferenceGreeks fd = finiteDifferenceGreeks(call);
        for (int32_t method : {1, 2}) {
            McCall mc = call;
            mc.greeksMethod = method;
            ASSERT_EQ(mc(), "");
            const std::string what = std::string(k.name) + (method == 1 ? ", likelihood ratio " : ", bumped ");
            const auto check = [&](const std::vector<double>& a, double truth, double slack, const char* greek) {
                const std::vector<double> rows = mc.rows(a);
                EXPECT_NEAR(rows.back(), truth, 4.0 * blockStandardError(rows) + slack) << what << greek;
            };
            check(mc.value, fd.value, k.slack, "value");
            check(mc.delta, fd.delta, 0.01, "delta");
            check(mc.gamma, fd.gamma, 0.1 * std::fabs(fd.gamma), "gamma");
            check(mc.theta, fd.theta, 0.1 * std::fabs(fd.theta), "theta");
            check(mc.vega, fd.vega, 0.05 * std::fabs(fd.vega), "vega");
        }
    }
}

TEST_F(McExportTest, EarlyExerciseBumpedRunsShareTheirNumbers)
{
    // Every path draws the same numbers in the base and the spot-bumped runs,
    // even where a drawn crossing knocks it out: the differences of the runs
    // are far less noisy than the runs themselves (independent runs would
    // give delta and gamma errors of about 0.7 and 2.4 times the value's
    // standard error over h and h^2; these runs give at most 0.35 and 0.85).
    for (const auto& [lower, upper] : {std::pair{0.0, 120.0}, std::pair{85.0, 125.0}}) {
        McCall call;
        call.lowerBarrier = lower;
        call.upperBarrier = upper;
        call.contMonitoring = 1;
        call.optionType = 1;
        call.numSteps = 50;
        call.exerciseType = 1;
        call.numPaths = 100;
        call.numLSPaths = 50;
        call.greeksCode = 1000;
        call.greeksMethod = 2;
        ASSERT_EQ(call(), "");
        const double h = 0.01 * call.spot;
        const double valueError = blockStandardError(call.rows(call.value));
        EXPECT_LT(blockStandardError(call.rows(call.delta)), 0.5 * valueError / h) << lower << " " << upper;
        EXPECT_LT(blockStandardError(call.rows(call.gamma)), 1.2 * valueError / (h * h)) << lower << " " << upper;
    }
}

TEST_F(McExportTest, EarlyExerciseThreadedAndSerialRunsAgree)
{
    for (int threads : {3, 8}) {
        ThreadCount pinned(threads);
        for (int32_t sobol : {0, 1})
            for (int32_t antithetic : {0, 1}) {
                McCall threaded;
                threaded.exerciseType = 1;
                threaded.optionType = 1;
                threaded.useSobol = sobol;
                threaded.antithetic = antithetic;
                threaded.numPaths = sobol ? 13 : 30;
                threaded.numLSPaths = sobol ? 11 : 10;
                threaded.numSteps = 6;
                threaded.lowerBarrier = 85.0;
                threaded.knockOut = 0;
                threaded.contMonitoring = 1;
                threaded.greeksCode = 1110;
                threaded.greeksMethod = 2;
                McCall serial = threaded;
                serial.multiThreaded = 0;
                ASSERT_EQ(threaded(), "");
                ASSERT_EQ(serial(), "");
                const std::string what = std::to_string(threads) + " threads, Sobol " + std::to_string(sobol) +
                                         ", antithetic " + std::to_string(antithetic);
                EXPECT_EQ(threaded.rows(threaded.value), serial.rows(serial.value)) << what;
                EXPECT_EQ(threaded.rows(threaded.delta), serial.rows(serial.delta)) << what;
                EXPECT_EQ(threaded.rows(threaded.gamma), serial.rows(serial.gamma)) << what;
                EXPECT_EQ(threaded.rows(threaded.vega), serial.rows(serial.vega)) << what;
                EXPECT_EQ(threaded.rows(threaded.theta), serial.rows(serial.theta)) << what;
            }
    }
}

// Euler and Milstein steps can take the asset below 0, where the paths hold
// it; where that mass moves the estimate beyond its error the call is
// refused with a text naming the steps and exact marching (a call at
// volatility 5 on one Euler step was priced near twice the spot); its
// neighbours, with more steps or exact marching, price within their error
// (and the scheme's weak error, slack) of the closed form.
TEST_F(McExportTest, MarchingBelowZeroIsRefusedWhereItMovesTheEstimate)
{
    struct Case {
        const char* name;
        double volatility;
        int32_t optionType, exerciseType, timeMarching, numSteps, useSobol, numPaths;
        double upperBarrier;
        bool refused;
        double slack;  // allowed weak error of the scheme, in the currency
    };
    const Case cases[] = {
        {"call, volatility 5, one Euler step", 5.0, 0, 0, 2, 1, 0, 50, 0.0, true, 0.0},
        {"call, volatility 5, one Milstein step", 5.0, 0, 0, 3, 1, 0, 50, 0.0, true, 0.0},
        {"put, volatility 1, two Euler steps, Sobol", 1.0, 1, 0, 2, 2, 1, 16, 0.0, true, 0.0},
        {"American put, volatility 2, four Euler steps", 2.0, 1, 1, 2, 4, 0, 20, 0.0, true, 0.0},
        {"up-and-out call, volatility 1.5, one Euler step", 1.5, 0, 0, 2, 1, 0, 50, 300.0, true, 0.0},
        {"put, volatility 5, exact marching", 5.0, 1, 0, 1, 1, 0, 50, 0.0, false, 0.0},
        {"call, volatility 1, 64 Euler steps", 1.0, 0, 0, 2, 64, 0, 50, 0.0, false, 0.4},
        {"call, volatility 1, 16 Milstein steps", 1.0, 0, 0, 3, 16, 0, 50, 0.0, false, 0.2},
        {"call, volatility 0.3, one Euler step", 0.3, 0, 0, 2, 1, 0, 50, 0.0, false, 0.5},
        {"call, volatility 0.5, one Euler step", 0.5, 0, 0, 2, 1, 0, 50, 0.0, false, 1.5},
        {"put, volatility 0.5, one Euler step", 0.5, 1, 0, 2, 1, 0, 50, 0.0, false, 1.5},
    };
    for (const Case& k : cases) {
        McCall call;
        call.volatility = k.volatility;
        call.optionType = k.optionType;
        call.exerciseType = k.exerciseType;
        call.timeMarching = k.timeMarching;
        call.numSteps = k.numSteps;
        call.useSobol = k.useSobol;
        call.numPaths = k.numPaths;
        call.upperBarrier = k.upperBarrier;
        call.antithetic = 1;
        const std::string text = call();
        if (k.refused) {
            EXPECT_NE(text.find("timeMarching 1"), std::string::npos) << k.name << ": '" << text << "'";
            EXPECT_NE(text.find("numSteps"), std::string::npos) << k.name << ": '" << text << "'";
            EXPECT_EQ(call.rowCount, kUntouchedCount) << k.name;
            EXPECT_TRUE(untouched(call.value)) << k.name;
            continue;
        }
        ASSERT_EQ(text, "") << k.name;
        const std::vector<double> rows = call.rows(call.value);
        EXPECT_NEAR(rows.back(), bsPrice(k.optionType == 0, call.market()), 4.0 * blockStandardError(rows) + k.slack)
            << k.name;
    }
}

// The refusal names the fewest steps that price: those price, one fewer
// does not.
TEST_F(McExportTest, TheStepsTheRefusalNamesArePriced)
{
    for (int32_t marching : {2, 3}) {
        McCall call;
        call.volatility = 2.0;
        call.timeMarching = marching;
        call.numPaths = 10;
        const std::string text = call();
        const size_t at = text.find("at least ");
        ASSERT_NE(at, std::string::npos) << text;
        const int32_t fewest = std::stoi(text.substr(at + 9));
        ASSERT_GT(fewest, 1) << text;
        call.numSteps = fewest - 1;
        EXPECT_NE(call(), "") << marching << ": " << fewest - 1 << " steps";
        call.numSteps = fewest;
        EXPECT_EQ(call(), "") << marching << ": " << fewest << " steps";
    }
}

TEST_F(McExportTest, MissingRowCountIsRefused)
{
    McCall call;
    EXPECT_NE(call(true).find("rowCount"), std::string::npos);
    EXPECT_TRUE(untouched(call.value));
}

}  // namespace
