// Barrier contracts at class level: the discretely monitored payoff and
// monitoring step, and the knock-ins' use of their vanilla companion.

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "closedform/closed_form.h"
#include "pde/knock_in_options.h"
#include "pde/knock_out_options.h"

using namespace tarvic;

namespace {

// Nodes 0, 1, ..., 200: cell faces at the half-integers.
std::vector<double> unitGrid()
{
    std::vector<double> g(201);
    for (size_t i = 0; i < g.size(); ++i)
        g[i] = static_cast<double>(i);
    return g;
}

TEST(DiscreteKnockOutPayoff, CellsOfBarrierAndStrikeTakeTheLivePayoffAverage)
{
    const std::vector<double> S = unitGrid();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> V;

    // Down-and-out call struck below the barrier, in the next cell down:
    // the strike's cell lies wholly in the knocked region and stays 0; the
    // barrier's cell [94.5, 95.5] is live on [95.2, 95.5].
    discreteKnockOutPayoff(S, V, 93.9, DornTechOption::Call, 95.2, inf);
    EXPECT_EQ(V[94], 0.0);
    EXPECT_EQ(V[93], 0.0);
    EXPECT_NEAR(V[95], 0.5 * (1.6 * 1.6 - 1.3 * 1.3), 1e-12);
    EXPECT_NEAR(V[96], 96.0 - 93.9, 1e-12);

    // Barrier and strike in one cell: live on [95.1, 95.5], paying above 95.3.
    discreteKnockOutPayoff(S, V, 95.3, DornTechOption::Call, 95.1, inf);
    EXPECT_NEAR(V[95], 0.5 * 0.2 * 0.2, 1e-12);

    // Up-and-out put struck above the barrier: live below 104.6 only.
    discreteKnockOutPayoff(S, V, 105.3, DornTechOption::Put, 0.0, 104.6);
    EXPECT_NEAR(V[105], 0.5 * (0.8 * 0.8 - 0.7 * 0.7), 1e-12);
    EXPECT_EQ(V[106], 0.0);
    EXPECT_NEAR(V[104], 105.3 - 104.0, 1e-12);

    // A double knock-out call: the strike's cell is averaged as usual.
    discreteKnockOutPayoff(S, V, 100.25, DornTechOption::Call, 80.0, 120.0);
    EXPECT_NEAR(V[100], 0.5 * 0.25 * 0.25, 1e-12);
    EXPECT_EQ(V[79], 0.0);
    EXPECT_EQ(V[121], 0.0);
    EXPECT_EQ(V[80], 0.0);  // out of the money at the barrier
}

TEST(DiscreteMonitoring, BarrierCellKeepsTheIntegralOfTheLocalQuadratic)
{
    // A stretched grid and a quadratic profile: the barrier's cell holds the
    // exact integral of the profile over its live part.
    std::vector<double> S;
    for (int i = 0; i <= 40; ++i)
        S.push_back(50.0 + 0.05 * i * i);
    auto profile = [](double s) { return 0.01 * s * s - s + 30.0; };
    auto integral = [](double a, double b) {
        auto F = [](double s) { return 0.01 * s * s * s / 3.0 - 0.5 * s * s + 30.0 * s; };
        return F(b) - F(a);
    };
    std::vector<double> V;
    for (double s : S)
        V.push_back(profile(s));

    // The barrier's cell: the node nearest to it, faces halfway to the neighbours.
    const double X = 61.0;
    std::vector<double> down(V);
    applyLowerBarrier(S, down, X);
    size_t i = 0;
    while (S[i] <= X)
        ++i;
    const size_t j = X <= 0.5 * (S[i - 1] + S[i]) ? i - 1 : i;
    const double mL = 0.5 * (S[j - 1] + S[j]);
    const double mR = 0.5 * (S[j] + S[j + 1]);
    EXPECT_NEAR(down[j], integral(X, mR) / (mR - mL), 1e-10);
    for (size_t k = 0; k < j; ++k)
        EXPECT_EQ(down[k], 0.0) << k;
    for (size_t k = j + 1; k < S.size(); ++k)
        EXPECT_EQ(down[k], V[k]) << k;

    std::vector<double> up(V);
    applyUpperBarrier(S, up, X);
    EXPECT_NEAR(up[j], integral(mL, X) / (mR - mL), 1e-10);
    for (size_t k = j + 1; k < S.size(); ++k)
        EXPECT_EQ(up[k], 0.0) << k;
    for (size_t k = 0; k < j; ++k)
        EXPECT_EQ(up[k], V[k]) << k;

    // A lower barrier above the whole grid knocks out everything; an upper
    // one above it leaves everything.
    std::vector<double> all(V);
    applyLowerBarrier(S, all, 1000.0);
    for (double v : all)
        EXPECT_EQ(v, 0.0);
    std::vector<double> none(V);
    applyUpperBarrier(S, none, 1000.0);
    EXPECT_EQ(none, V);
}

TEST(KnockInRecords, LookedUpByTimeToGo)
{
    const std::vector<double> times{0.0, 0.25, 0.5, 1.0};
    const std::vector<double> record{0.0, 1.0, 2.0, 4.0};
    EXPECT_EQ(recordedValueAt(times, record, 0.5), 2.0);
    EXPECT_EQ(recordedValueAt(times, record, 0.5 + 1e-13), 2.0);
    EXPECT_NEAR(recordedValueAt(times, record, 0.75), 3.0, 1e-12);
    EXPECT_EQ(recordedValueAt(times, record, 2.0), 4.0);  // beyond the last level
    EXPECT_EQ(recordedValueAt({}, {}, 0.5), 0.0);
}

// The vanilla option solved on its own gives the value the knock-in's
// barrier node must carry today, whatever time levels the companion took.
struct Companion {
    const char* what;
    int32_t exercise;
    int32_t scheme;
    int32_t solver;
    int32_t periods;
};

std::ostream& operator<<(std::ostream& os, const Companion& c) { return os << c.what; }

class KnockInCompanion : public ::testing::TestWithParam<Companion> {};

TEST_P(KnockInCompanion, BarrierNodeCarriesTheVanillaValueToday)
{
    const Companion c = GetParam();
    const double K = 100.0, T = 0.5, sigma = 0.25, r = 0.08, q = 0.04;

    for (int32_t type : {0, 1}) {
        DornTechOption vanilla(K, 100, T, sigma, r, q, 100, type, c.exercise, c.scheme, c.solver,
                               0.0, true, c.periods, 0, true);
        std::vector<double> g, v, d, ga, th;
        vanilla.price(g, v, d, ga, th);

        std::vector<double> grid, value, delta, gamma, theta;
        if (type == 1) {
            DornTechDIBOption downIn(BarrierContract{0.0, K, 95.0, 0.0, true, 100, T, sigma, r, q,
                                                     100, type, c.exercise, c.scheme, c.solver, 0.0,
                                                     true, c.periods});
            downIn.price(grid, value, delta, gamma, theta);
            EXPECT_EQ(grid.front(), 95.0);
            EXPECT_NEAR(value.front(), vanilla.valueAt(95.0, T), 1e-10) << c.what;
        } else {
            DornTechUIBOption upIn(BarrierContract{0.0, K, 0.0, 105.0, true, 100, T, sigma, r, q,
                                                   100, type, c.exercise, c.scheme, c.solver, 0.0,
                                                   true, c.periods});
            upIn.price(grid, value, delta, gamma, theta);
            EXPECT_EQ(grid.back(), 105.0);
            EXPECT_NEAR(value.back(), vanilla.valueAt(105.0, T), 1e-10) << c.what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllCompanions, KnockInCompanion,
    ::testing::Values(Companion{"European, Rannacher", 0, 2, 2, 1},
                      // With a dividend yield the American companion ends in
                      // quarter steps the knock-in solve does not take.
                      Companion{"American, Rannacher, Brennan-Schwartz", 1, 2, 2, 1},
                      Companion{"American, Rannacher, projected SOR", 1, 2, 0, 1},
                      Companion{"American, implicit", 1, 0, 2, 1},
                      // Quarter-step restarts at every exercise date.
                      Companion{"Bermudan, Rannacher, 4 periods", 2, 2, 2, 4},
                      Companion{"Bermudan, Crank-Nicolson, 4 periods", 2, 1, 2, 4}),
    [](const ::testing::TestParamInfo<Companion>& info) {
        return "Case" + std::to_string(info.index);
    });

TEST(KnockInBarrierRecord, BarrierAboveTheCompanionGridTakesTheFarFieldValue)
{
    // The vanilla grid ends at a few strikes; a barrier at 40 strikes lies
    // far above it. The record there is the far-field value (calls) or 0
    // (puts), on a uniform and on a stretched companion grid alike.
    const double K = 100.0, B = 4000.0, T = 0.5, sigma = 0.25, r = 0.08, q = 0.04;
    for (bool stretched : {false, true}) {
        for (int32_t type : {0, 1}) {
            DornTechUIBOption upIn(BarrierContract{0.0, K, 0.0, B, true, 100, T, sigma, r, q, 100,
                                                   type, 0, 2, 2, 0.0, stretched, 1});
            std::vector<double> grid, value, delta, gamma, theta;
            upIn.price(grid, value, delta, gamma, theta);
            ASSERT_EQ(upIn.upperRecord.size(), upIn.recordTimes.size());
            const double farField = type == 0 ? B * std::exp(-q * T) - K * std::exp(-r * T) : 0.0;
            EXPECT_NEAR(upIn.upperRecord.back(), farField, 1e-9 * B) << stretched << type;
            EXPECT_EQ(grid.back(), B);
            // At the spot the barrier is out of reach: the value is nil.
            const double exact = barrierPrice(100.0, K, r, q, sigma, T, 0.0, B, 0, type);
            size_t i = 0;
            while (grid[i] < 100.0)
                ++i;
            EXPECT_NEAR(value[i], exact, 1e-6) << stretched << type;
        }
    }
}

}  // namespace
