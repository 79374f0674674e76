// The test-local closed forms agree with themselves where they must: parity,
// limits of the barrier prices, and the analytic Greeks against differences.

#include <gtest/gtest.h>

#include "closedform/closed_form.h"
#include "montecarlo/option_reference.h"

namespace tarvic_test {
namespace {

const Market kMarket{100.0, 95.0, 0.05, 0.02, 0.25, 1.0};

TEST(OptionReference, PutCallParity)
{
    const double lhs = bsPrice(true, kMarket) - bsPrice(false, kMarket);
    const double rhs = kMarket.spot * std::exp(-kMarket.div) - kMarket.strike * std::exp(-kMarket.rate);
    EXPECT_NEAR(lhs, rhs, 1e-12);
}

TEST(OptionReference, BarrierPricesReachTheirLimits)
{
    for (bool call : {true, false}) {
        // A far barrier does not matter.
        EXPECT_NEAR(singleKnockOut(call, kMarket, 1e-3, 0.0), bsPrice(call, kMarket), 1e-9);
        EXPECT_NEAR(singleKnockOut(call, kMarket, 0.0, 1e5), bsPrice(call, kMarket), 1e-9);
        // A double barrier with one side far away is the single barrier.
        EXPECT_NEAR(doubleKnockOut(call, kMarket, 1e-2, 140.0), singleKnockOut(call, kMarket, 0.0, 140.0), 1e-8);
        EXPECT_NEAR(doubleKnockOut(call, kMarket, 70.0, 1e4), singleKnockOut(call, kMarket, 70.0, 0.0), 1e-8);
        EXPECT_NEAR(doubleKnockOut(call, kMarket, 1e-2, 1e4), bsPrice(call, kMarket), 1e-8);
    }
    // A down-and-out call struck below the barrier is the call minus the
    // down-and-out's image: the value stays within (0, vanilla).
    const double dao = singleKnockOut(true, kMarket, 97.0, 0.0);
    EXPECT_GT(dao, 0.0);
    EXPECT_LT(dao, bsPrice(true, kMarket));
}

TEST(OptionReference, AnalyticGreeksMatchDifferences)
{
    for (bool call : {true, false}) {
        const Greeks a = bsGreeks(call, kMarket);
        const Greeks n = numericGreeks(kMarket, [call](const Market& m) { return bsPrice(call, m); });
        EXPECT_NEAR(a.delta, n.delta, 1e-6);
        EXPECT_NEAR(a.gamma, n.gamma, 1e-5);
        EXPECT_NEAR(a.vega, n.vega, 1e-6);
        EXPECT_NEAR(a.theta, n.theta, 1e-6);
    }
}

TEST(OptionReference, AgreesWithTheLibrarysClosedForms)
{
    // Two independent codings of the same formulas.
    struct Case {
        double lower, upper;
        int32_t knockOut;
    };
    const Case cases[] = {{85.0, 0.0, 1},  {0.0, 135.0, 1}, {80.0, 0.0, 1},  {0.0, 115.0, 1}, {80.0, 130.0, 1},
                          {75.0, 120.0, 1}, {90.0, 0.0, 0},  {0.0, 112.0, 0}, {85.0, 125.0, 0}};
    for (double strike : {90.0, 100.0, 110.0})
        for (bool call : {true, false}) {
            const Market m{100.0, strike, 0.05, 0.02, 0.25, 1.0};
            const int32_t type = call ? 0 : 1;
            const double vanilla =
                tarvic::blackScholesPrice(m.spot, m.strike, m.rate, m.div, m.vol, m.expiry, type);
            EXPECT_NEAR(bsPrice(call, m), vanilla, 1e-10);
            for (const Case& k : cases) {
                const double mine = k.knockOut == 1 ? knockOut(call, m, k.lower, k.upper)
                                                    : knockIn(call, m, k.lower, k.upper);
                const double library = tarvic::barrierPrice(m.spot, m.strike, m.rate, m.div, m.vol, m.expiry,
                                                            k.lower, k.upper, k.knockOut, type);
                if (library == tarvic::kNotPriced)
                    continue;
                EXPECT_NEAR(mine, library, 1e-8) << (call ? "call " : "put ") << strike << " " << k.lower << " "
                                                 << k.upper << " " << k.knockOut;
            }
        }
}

TEST(OptionReference, PinnedThreadCountsRunThatManyThreads)
{
    // The tests that compare thread counts pin them; the test environment's
    // smaller default must not cap a pinned team.
    for (int threads : {3, 8}) {
        ThreadCount pinned(threads);
        int team = 0;
#pragma omp parallel
        {
#pragma omp single
            team = omp_get_num_threads();
        }
        EXPECT_EQ(team, threads);
    }
}

}  // namespace
}  // namespace tarvic_test
