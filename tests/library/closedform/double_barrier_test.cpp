#include <cmath>

#include <gtest/gtest.h>

#include "closedform/barrier_reference.h"
#include "closedform/closed_form.h"

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
