// Barrier grids: where the barriers and the strike land, extents, minimum
// cell counts, oversized grids, and grid fits that fail instead of hanging.

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pde/barrier_grids.h"
#include "pde/knock_in_options.h"
#include "pde/knock_out_options.h"

using namespace tarvic;

namespace {

bool increasing(const std::vector<double>& g)
{
    for (size_t i = 1; i < g.size(); ++i)
        if (!(g[i] > g[i - 1]))
            return false;
    return true;
}

double distanceToNearestNode(const std::vector<double>& g, double level)
{
    double best = std::numeric_limits<double>::infinity();
    for (double s : g)
        best = std::min(best, std::fabs(s - level));
    return best;
}

// Position of the strike inside its cell, 0 at the lower node, 1 at the upper.
double strikeFraction(const std::vector<double>& g, double K)
{
    size_t j = 0;
    while (j + 2 < g.size() && g[j + 1] < K)
        ++j;
    return (K - g[j]) / (g[j + 1] - g[j]);
}

TEST(BarrierGrids, ExtentFactorFollowsOnePeriodAndNeverDividesByZero)
{
    // c0 = 11.4 (sigma^2 T / p)^0.45, c = max(1.5, c0).
    const ExtentFactor one = extentFactor(0.25, 0.5, 1);
    EXPECT_NEAR(one.c0, 11.4 * std::pow(0.03125, 0.45), 1e-12);
    EXPECT_DOUBLE_EQ(one.c, one.c0);
    const ExtentFactor many = extentFactor(0.25, 0.5, 50);
    EXPECT_NEAR(many.c0, 11.4 * std::pow(0.03125 / 50, 0.45), 1e-12);
    EXPECT_DOUBLE_EQ(many.c, 1.5);
    // No monitoring dates before expiry counts as one period.
    for (int32_t p : {0, -3}) {
        EXPECT_DOUBLE_EQ(extentFactor(0.25, 0.5, p).c0, one.c0) << p;
    }
}

TEST(BarrierGrids, DoubleBarrierGridEndsOnBothBarriersWithTheStrikeMidCell)
{
    const GridNodes g = doubleBarrierGrid(80.0, 120.0, 100.0, 100);
    ASSERT_GE(g.nodes.size(), 5u);
    EXPECT_EQ(g.nodes.front(), 80.0);
    EXPECT_EQ(g.nodes.back(), 120.0);
    EXPECT_TRUE(increasing(g.nodes));
    const double f = strikeFraction(g.nodes, 100.0);
    EXPECT_GT(f, 0.4);
    EXPECT_LT(f, 0.6);

    // A strike outside the corridor: floor(W / h0) cells, no centring.
    const GridNodes outside = doubleBarrierGrid(80.0, 120.0, 130.0, 13);
    EXPECT_EQ(outside.nodes.size(), 5u);  // floor(40 / 10) = 4 cells
    const GridNodes narrow = doubleBarrierGrid(99.0, 101.0, 130.0, 100);
    EXPECT_EQ(narrow.nodes.size(), 4u);  // at least 3 cells
}

TEST(BarrierGrids, UpBarrierGridEndsOnTheBarrierWithEnoughCells)
{
    // Above the strike: the last node is B and the strike is mid-cell.
    const GridNodes above = upBarrierGrid(105.0, 100.0, 100, 10);
    EXPECT_EQ(above.nodes.front(), 0.0);
    EXPECT_EQ(above.nodes.back(), 105.0);
    EXPECT_NEAR(strikeFraction(above.nodes, 100.0), 0.5, 1e-9);
    EXPECT_TRUE(increasing(above.nodes));

    // Below the strike, even below one asset step, the barrier gets at least
    // ten cells: an up-and-in grid must carry the stencils, the grid Greeks
    // and the extrapolated bottom node like the up-and-out grid.
    struct Case {
        double B;
        int32_t steps;
        size_t cells;
    } cases[] = {{50.0, 100, 50}, {2.0, 30, 10}, {0.5, 100, 10}, {1e-6, 30, 10}};
    for (const Case& c : cases) {
        const GridNodes g = upBarrierGrid(c.B, 100.0, c.steps, 10);
        EXPECT_EQ(g.nodes.size(), c.cells + 1) << c.B;
        EXPECT_EQ(g.nodes.back(), c.B) << c.B;
        EXPECT_TRUE(increasing(g.nodes)) << c.B;
    }
}

TEST(BarrierGrids, UpAndInBarrierFarBelowTheStrikePricesAtLowResolution)
{
    // Up-and-in put struck at 100 with the barrier at 2, 30 asset steps: the
    // barrier lies below one asset step (100 / 30).
    DornTechUIBOption option(BarrierContract{0.0, 100.0, 0.0, 2.0, true, 30, 0.5, 0.25, 0.08, 0.04,
                                             30, 1, 0, 2, 2, 0.0, true, 1});
    EXPECT_EQ(option.lastNodeIndex(), 10);
    std::vector<double> grid, value, delta, gamma, theta;
    ASSERT_NO_THROW(option.price(grid, value, delta, gamma, theta));
    for (double v : value)
        EXPECT_TRUE(std::isfinite(v));
    // At the barrier the put is deep in the money and already knocked in.
    EXPECT_NEAR(value.back(), 100.0 * std::exp(-0.08 * 0.5) - 2.0 * std::exp(-0.04 * 0.5), 1e-3);
}

TEST(BarrierGrids, DownBarrierGridsStartOnTheBarrier)
{
    // Uniform: the strike is mid-cell.
    const GridNodes uniform = downBarrierUniformGrid(95.0, 100.0, 100, 3, 0.0);
    EXPECT_EQ(uniform.nodes.front(), 95.0);
    EXPECT_NEAR(strikeFraction(uniform.nodes, 100.0), 0.5, 1e-9);
    EXPECT_GE(uniform.nodes.back(), 300.0 - 1.0);

    // Stretched, in its three forms (barrier far below the strike, close
    // below it, just below it, above it): start on B, reach the top, the
    // strike near the middle of its cell.
    struct Case {
        double B;
        bool strikeInside;
    } cases[] = {{10.0, true}, {95.0, true}, {99.5, true}, {110.0, false}};
    for (const Case& c : cases) {
        const GridNodes g = downBarrierStretchedGrid(c.B, 100.0, 100, 3, 0.0);
        ASSERT_GE(g.nodes.size(), 5u) << c.B;
        EXPECT_EQ(g.nodes.front(), c.B) << c.B;
        EXPECT_TRUE(increasing(g.nodes)) << c.B;
        const double top = c.B <= 100.0 ? 300.0 : 330.0;
        EXPECT_NEAR(g.nodes.back(), top, 0.02 * top) << c.B;
        if (c.strikeInside) {
            EXPECT_NEAR(strikeFraction(g.nodes, 100.0), 0.5, 0.05) << c.B;
        }
        // A user maximum extends the grid until a node reaches it.
        const GridNodes wide = downBarrierStretchedGrid(c.B, 100.0, 100, 3, 500.0);
        EXPECT_GE(wide.nodes.back(), 500.0) << c.B;
        EXPECT_LT(wide.nodes[wide.nodes.size() - 2], 500.0) << c.B;
        EXPECT_TRUE(increasing(wide.nodes)) << c.B;
    }
}

TEST(BarrierGrids, DiscreteGridsPutTheBarriersOnNodes)
{
    // Single barrier, uniform and stretched.
    const GridNodes uniform = discreteSingleBarrierUniformGrid(95.0, 100.0, 100, 400.0, 0.0);
    EXPECT_LT(distanceToNearestNode(uniform.nodes, 95.0), 1e-9);
    const GridNodes stretched =
        discreteSingleBarrierStretchedGrid(95.0, 100.0, 100, 400.0, 100.0, 5.0, 0.0);
    EXPECT_LT(distanceToNearestNode(stretched.nodes, 95.0), 1e-9);
    EXPECT_GE(stretched.nodes.back(), 400.0);
    EXPECT_TRUE(increasing(stretched.nodes));
    // A user maximum below the extent stops the stretched grid there.
    const GridNodes capped =
        discreteSingleBarrierStretchedGrid(95.0, 100.0, 100, 400.0, 100.0, 5.0, 250.0);
    EXPECT_GE(capped.nodes.back(), 250.0);
    EXPECT_LT(capped.nodes[capped.nodes.size() - 2], 250.0);

    // Double barrier: uniform with both on nodes; stretched with the nearer
    // barrier on a node and the other fitted to within 0.0005 K.
    const double c = extentFactor(0.25, 0.25, 5).c;
    const GridNodes du = discreteDoubleBarrierUniformGrid(80.0, 120.0, 100.0, 100, c, 0.0);
    EXPECT_LT(distanceToNearestNode(du.nodes, 80.0), 1e-9);
    EXPECT_LT(distanceToNearestNode(du.nodes, 120.0), 1e-9);
    EXPECT_EQ(du.nodes.front(), 0.0);
    DornTechDBOOption dbo(BarrierContract{100.0, 100.0, 80.0, 120.0, false, 50, 0.25, 0.25, 0.1,
                                          0.0, 100, 0, 0, 2, 2, 0.0, true, 5});
    ASSERT_GT(dbo.lastNodeIndex(), 100);
    EXPECT_TRUE(increasing(dbo.grid));
    EXPECT_LT(distanceToNearestNode(dbo.grid, 80.0), 1e-9);
    EXPECT_LT(distanceToNearestNode(dbo.grid, 120.0), 0.0005 * 100.0);
}

TEST(BarrierGrids, ClusteringStrengthRisesNearTheBarrier)
{
    // Far from the barrier the grid is lightly stretched; at the barrier it
    // is stretched hardest (5 more for a down barrier).
    DornTechDOBOption far(BarrierContract{200.0, 100.0, 95.0, 0.0, false, 50, 0.5, 0.25, 0.08, 0.04,
                                          100, 0, 0, 2, 2, 0.0, true, 5});
    DornTechDOBOption near(BarrierContract{95.0, 100.0, 95.0, 0.0, false, 50, 0.5, 0.25, 0.08, 0.04,
                                           100, 1, 0, 2, 2, 0.0, true, 5});
    EXPECT_EQ(far.clusteringStrength(), 3.5);
    EXPECT_DOUBLE_EQ(near.clusteringStrength(), 8.5);
    // An up-and-out put with spot 0 clusters as if the spot were the strike.
    DornTechUOBOption zero(BarrierContract{0.0, 100.0, 0.0, 130.0, false, 50, 0.5, 0.25, 0.08, 0.04,
                                           100, 1, 0, 2, 2, 0.0, true, 5});
    EXPECT_EQ(zero.clusteringPoint, 100.0);
    // A double knock-out with the spot outside the corridor clusters at the
    // nearer barrier.
    DornTechDBOOption below(BarrierContract{50.0, 100.0, 80.0, 120.0, false, 50, 0.25, 0.25, 0.1,
                                            0.0, 100, 0, 0, 2, 2, 0.0, true, 5});
    EXPECT_EQ(below.clusteringPoint, 80.0);
}

TEST(BarrierGrids, AFitThatDoesNotSettleFailsWithTheGridText)
{
    // A double knock-out put whose second barrier the strength walk cannot
    // bring onto a node: the walk is cut off and the grid fails.
    DornTechDBOOption option(BarrierContract{38.0, 100.0, 34.0, 122.0, false, 50, 1.53, 0.78, 0.05,
                                             0.0, 48, 1, 0, 2, 2, 0.0, true, 28});
    try {
        option.lastNodeIndex();
        FAIL() << "the grid was built";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), kBarrierGridFailureText);
    }
}

TEST(BarrierGrids, OversizedGridsAreCountedNotBuilt)
{
    // Node counts beyond the solver's reach are reported without building.
    DornTechDOBOption wide(BarrierContract{100.0, 100.0, 95.0, 0.0, false, 50, 0.5, 0.25, 0.08,
                                           0.04, 100, 0, 0, 2, 2, 1e12, false, 5});
    EXPECT_GT(wide.lastNodeIndex(), 50'000'000);
    EXPECT_TRUE(wide.grid.empty());
    DornTechUOBOption high(BarrierContract{100.0, 100.0, 0.0, 1e300, true, 50, 0.5, 0.25, 0.08,
                                           0.04, 100, 0, 0, 2, 2, 0.0, true, 1});
    EXPECT_EQ(high.lastNodeIndex(), std::numeric_limits<int32_t>::max() - 1);
    EXPECT_TRUE(high.grid.empty());
    DornTechDBOOption corridor(BarrierContract{100.0, 100.0, 1.0, 1e300, true, 50, 0.5, 0.25, 0.08,
                                               0.04, 100, 0, 0, 2, 2, 0.0, true, 1});
    EXPECT_GT(corridor.lastNodeIndex(), 50'000'000);
    EXPECT_TRUE(corridor.grid.empty());
}

}  // namespace

namespace {

TEST(BarrierGrids, CountsBelowOneNodeFailWithTheGridText)
{
    // A top below zero leaves no node to write: the grid fails instead of
    // writing its first node into an empty vector.
    const auto failsWithTheGridText = [](auto build) {
        try {
            build();
            return false;
        } catch (const std::runtime_error& e) {
            return std::string(e.what()) == kBarrierGridFailureText;
        }
    };
    EXPECT_TRUE(failsWithTheGridText(
        [] { discreteSingleBarrierUniformGrid(95.0, 100.0, 100, -400.0, -1.0); }));
    EXPECT_TRUE(failsWithTheGridText(
        [] { discreteDoubleBarrierUniformGrid(80.0, 120.0, 100.0, 100, -2.0, -1.0); }));
}

TEST(BarrierGrids, BuildLimitCountsWithoutBuilding)
{
    // Beyond the limit only the count comes back, for each kind of builder;
    // at the limit the nodes are built. An up barrier on the strike used to
    // set the last node of the empty vector of a grid counted only.
    const struct {
        const char* what;
        std::function<GridNodes(double)> build;
    } builders[] = {
        {"up barrier on the strike",
         [](double limit) { return upBarrierGrid(100.0, 100.0, 200, 10, limit); }},
        {"down barrier, uniform",
         [](double limit) { return downBarrierUniformGrid(95.0, 100.0, 200, 3, 0.0, limit); }},
        {"down barrier, stretched",
         [](double limit) { return downBarrierStretchedGrid(95.0, 100.0, 200, 3, 0.0, limit); }},
        {"discrete single barrier, stretched", [](double limit) {
             return discreteSingleBarrierStretchedGrid(95.0, 100.0, 200, 400.0, 100.0, 5.0, 0.0,
                                                       limit);
         }},
    };
    for (const auto& b : builders) {
        const GridNodes full = b.build(kMaxBuiltNodes);
        ASSERT_GT(full.nodes.size(), 10u) << b.what;
        const GridNodes counted = b.build(static_cast<double>(full.nodes.size()) - 2.0);
        EXPECT_TRUE(counted.nodes.empty()) << b.what;
        EXPECT_NEAR(counted.count, full.count, 1.0) << b.what;
        const GridNodes atLimit = b.build(static_cast<double>(full.nodes.size()));
        EXPECT_EQ(atLimit.nodes, full.nodes) << b.what;
    }
}

}  // namespace
