#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "closedform/barrier_reference.h"
#include "closedform/closed_form.h"
#include "pde/fd_frame.h"
#include "support/caller_arrays.h"
#include "tarvic/tarvic.h"

namespace {

using barrier_reference::DoubleBarrierCase;

double libraryKnockOut(const DoubleBarrierCase& c)
{
    return tarvic::barrierPrice(c.S, c.K, c.r, c.q, c.sigma, c.T, c.L, c.U, 1, c.call ? 0 : 1);
}

TEST(DoubleBarrierReference, ReproducesPublishedKnockOuts)
{
    const DoubleBarrierCase call{100, 100, 80, 120, 0.25, 0.1, 0.0, 0.25, true};
    DoubleBarrierCase put = call;
    put.call = false;
    EXPECT_NEAR(barrier_reference::doubleKnockOut(call), 2.6387, 5e-5);
    EXPECT_NEAR(barrier_reference::doubleKnockOut(put), 2.6866, 5e-5);
}

TEST(DoubleBarrierSeries, AgreesWithTheSineSeries)
{
    const DoubleBarrierCase cases[] = {
        {100, 100, 80, 120, 0.25, 0.1, 0.0, 0.25, true},
        {100, 100, 80, 120, 0.25, 0.1, 0.0, 0.25, false},
        {100, 100, 80, 120, 0.25, 0.1, 0.0, 0.15, true},
        {100, 100, 80, 120, 0.25, 0.1, 0.0, 0.35, false},
        {100, 90, 70, 130, 0.5, 0.08, 0.04, 0.3, true},
        {100, 110, 70, 130, 0.5, 0.08, 0.04, 0.3, false},
        {82, 95, 80, 150, 1.0, 0.05, 0.1, 0.2, true},
        {118, 100, 60, 120, 1.0, 0.05, 0.1, 0.4, false},
        {100, 80, 80, 120, 0.25, 0.1, 0.0, 0.25, true},   // strike on the lower barrier
        {100, 120, 80, 120, 0.25, 0.1, 0.0, 0.25, false},  // strike on the upper barrier
    };
    for (const DoubleBarrierCase& c : cases) {
        const double reference = barrier_reference::doubleKnockOut(c);
        EXPECT_NEAR(libraryKnockOut(c), reference, 1e-10 * std::max(1.0, reference))
            << "S " << c.S << " K " << c.K << " L " << c.L << " U " << c.U << " call " << c.call;
    }
}

// Corridors where the image series is hard to sum: wide ones at low
// volatility and high drift, whose weights (U/L)^(n·mu) are huge against
// tiny differences of normal probabilities, and narrow ones against
// sigma·√T, which need many terms.
TEST(DoubleBarrierSeries, AgreesWithTheSineSeriesInHardCorridors)
{
    const DoubleBarrierCase cases[] = {
        {100, 100, 60, 140, 2.0, 0.15, 0.03, 0.05, true},
        {100, 100, 60, 140, 2.0, 0.15, 0.03, 0.05, false},
        {100, 100, 90, 110, 1.0, 0.05, 0.0, 1.0, true},
        {100, 100, 90, 110, 1.0, 0.05, 0.0, 1.0, false},
        {100, 100, 80, 120, 1.0, 0.05, 0.02, 0.6, true},
        {95, 100, 85, 115, 4.0, 0.03, 0.01, 0.5, false},
    };
    for (const DoubleBarrierCase& c : cases) {
        const double reference = barrier_reference::doubleKnockOut(c);
        const double knockOut = libraryKnockOut(c);
        EXPECT_NEAR(knockOut, reference, 1e-9 * std::max(1.0, reference))
            << "S " << c.S << " K " << c.K << " L " << c.L << " U " << c.U << " sigma "
            << c.sigma << " call " << c.call;
        // The knock-in keeps the rest of the vanilla value.
        const double vanilla = tarvic::blackScholesPrice(c.S, c.K, c.r, c.q, c.sigma, c.T, c.call ? 0 : 1);
        const double knockIn =
            tarvic::barrierPrice(c.S, c.K, c.r, c.q, c.sigma, c.T, c.L, c.U, 0, c.call ? 0 : 1);
        EXPECT_NEAR(knockIn, vanilla - reference, 1e-9 * std::max(1.0, vanilla));
    }
}

TEST(DoubleBarrierSeries, NarrowCorridorAtHighVolatilityIsWorthAlmostNothing)
{
    // Surviving in a corridor of log-width w falls like e^(-π² sigma² T / (2 w²)):
    // below e^-120 here, so the knock-out is 0 to within rounding.
    const DoubleBarrierCase c{100, 100, 90, 110, 1.0, 0.05, 0.0, 1.0, true};
    const double w = std::log(c.U / c.L);
    const double pi = std::acos(-1.0);
    ASSERT_LT(-pi * pi * c.sigma * c.sigma * c.T / (2.0 * w * w), -120.0);
    const double knockOut = libraryKnockOut(c);
    EXPECT_GE(knockOut, 0.0);
    EXPECT_LT(knockOut, 1e-12);
}

TEST(DoubleBarrierSeries, AgreesWithTheSineSeriesAtHighPrecisionForExtremeDrift)
{
    // Volatility 0.04 against a carry of ±0.2 over a corridor 50..200: the
    // double-precision sine series cancels here, so its values were summed
    // at 80 significant digits.
    struct Case {
        DoubleBarrierCase contract;
        double value;
    };
    const Case cases[] = {
        {{100, 100, 50, 200, 3.0, 0.2, 0.0, 0.04, true}, 39.7628615430291},
        {{100, 110, 50, 200, 3.0, 0.0, 0.2, 0.04, false}, 48.72136334068613},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(libraryKnockOut(c.contract), c.value, 1e-11 * c.value)
            << "call " << c.contract.call;
}

// The finite-difference double knock-out on a fine uniform grid from L to U,
// monitored continuously, against the closed form at the spot.
TEST(DoubleBarrierSeries, AgreesWithTheFiniteDifferenceSolver)
{
    struct Case {
        double L, U, sigma, r, q;
        int32_t optionType;
    };
    const Case cases[] = {
        {60, 140, 0.05, 0.15, 0.03, 0},
        {60, 140, 0.05, 0.03, 0.15, 1},
        {80, 120, 0.25, 0.05, 0.0, 0},
        {90, 110, 0.4, 0.05, 0.0, 1},
        {70, 150, 0.1, 0.1, 0.0, 0},
        {50, 200, 0.04, 0.2, 0.0, 0},
        {50, 200, 0.04, 0.0, 0.2, 1},
    };
    const double S = 100, K = 100, T = 2.0;
    for (const Case& c : cases) {
        tarvic_test::CallerArrays out;
        int32_t steps = 1000;
        TvString text = VelkBarrierOptionPricer(
            out.p(tarvic_test::kGrid), out.p(tarvic_test::kValue), out.p(tarvic_test::kDelta),
            out.p(tarvic_test::kGamma), out.p(tarvic_test::kTheta), out.p(tarvic_test::kVega),
            /*spot*/ S, /*strike*/ K, /*lowerBarrier*/ c.L, /*upperBarrier*/ c.U,
            /*contMonitoring*/ 1, /*timeSteps*/ 1000, /*expiry*/ T, /*volatility*/ c.sigma,
            /*intRate*/ c.r, /*divYield*/ c.q, &steps, /*optionType*/ c.optionType,
            /*knockOut*/ 1, /*exerciseType*/ 0, /*discretization*/ 2, /*amerSolver*/ 2,
            /*maxAsset*/ 0.0, /*calcTheta*/ 0, /*calcVega*/ 0, /*nonUniformGrid*/ 0,
            /*numPeriods*/ 1);
        const std::string message(text, tvStringByteLen(text));
        tvFreeString(text);
        ASSERT_EQ(message, "");
        const double fd =
            tarvic::solutionAt(out.p(tarvic_test::kGrid), out.p(tarvic_test::kValue), steps + 1, S);
        const double closed =
            tarvic::barrierPrice(S, K, c.r, c.q, c.sigma, T, c.L, c.U, 1, c.optionType);
        // The grid's error is a few parts in 10^5 of the value.
        EXPECT_NEAR(closed, fd, 5e-5 * fd + 1e-7)
            << "L " << c.L << " U " << c.U << " sigma " << c.sigma << " type " << c.optionType;
    }
}

TEST(DoubleBarrierSeries, KnockInIsVanillaLessKnockOut)
{
    for (int type : {0, 1}) {
        const double out = tarvic::doubleBarrierSeries(100, 100, 80, 120, 0.25, 0.1, 0.06, 0.25,
                                                       0, 0, 1, type);
        const double in = tarvic::doubleBarrierSeries(100, 100, 80, 120, 0.25, 0.1, 0.06, 0.25,
                                                      0, 0, 0, type);
        const double vanilla = tarvic::blackScholesPrice(100, 100, 0.1, 0.04, 0.25, 0.25, type);
        EXPECT_NEAR(in + out, vanilla, 1e-12 * vanilla);
        EXPECT_GT(out, 0.0);
        EXPECT_GT(in, 0.0);
    }
}

TEST(DoubleBarrierSeries, CurvedBarriersAreBoundedByTheFlatOnes)
{
    // Barriers that close in over time can only lower a knock-out's value;
    // a corridor that widens can only raise it.
    const double flat = tarvic::doubleBarrierSeries(100, 100, 80, 120, 0.5, 0.1, 0.1, 0.25, 0, 0, 1, 0);
    const double narrowing =
        tarvic::doubleBarrierSeries(100, 100, 80, 120, 0.5, 0.1, 0.1, 0.25, -0.1, 0.1, 1, 0);
    const double widening =
        tarvic::doubleBarrierSeries(100, 100, 80, 120, 0.5, 0.1, 0.1, 0.25, 0.1, -0.1, 1, 0);
    EXPECT_LT(narrowing, flat);
    EXPECT_GT(widening, flat);
    EXPECT_GT(narrowing, 0.0);
}

TEST(DoubleBarrierSeries, UnpricedCodes)
{
    for (int knockOut : {0, 1}) {
        EXPECT_EQ(tarvic::doubleBarrierSeries(100, 100, 80, 120, 0.25, 0.1, 0.1, 0.25, 0, 0,
                                              knockOut, 2), -1.0);
    }
    EXPECT_EQ(tarvic::doubleBarrierSeries(100, 100, 80, 120, 0.25, 0.1, 0.1, 0.25, 0, 0, 2, 0),
              -1.0);
}

}  // namespace
