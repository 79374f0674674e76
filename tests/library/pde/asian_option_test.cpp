// The pieces of the Asian solver: the plane solver, the layout of the
// average planes, the jump across planes at a fixing, the parallel plane
// loop, the memory guard and the reported tail.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/parallel_loop.h"
#include "pde/asian_frame.h"
#include "pde/dorn_tech_asian_option.h"
#include "pde/dorn_tech_option_as.h"

using tarvic::DornTechAsianOption;
using tarvic::DornTechOption;
using tarvic::DornTechOptionAS;

namespace {

struct AsianContract {
    double spot = 100.0;
    double strike = 100.0;
    int32_t steps = 30;
    int32_t spacing = 2;
    int32_t fixings = 10;
    int32_t settled = 0;
    double settledAverage = 0.0;
    int32_t type = 0;
    int32_t exercise = 0;
    int32_t interp = 2;
    bool nonUniform = false;

    DornTechAsianOption make() const
    {
        return DornTechAsianOption(spot, strike, 1.0, 0.2, 0.06, 0.03, settledAverage, 0.1, steps,
                                   steps, spacing, fixings, settled, type, exercise, 2, 2, interp,
                                   0.0, nonUniform, false);
    }
};

// ---------------------------------------------------------------------------
// The plane solver

std::vector<double> standardGrid()
{
    DornTechOptionAS grid(100.0, 20, 0.1, 0.2, 0.06, 0.03, 50, DornTechOption::Call, 0, 2, 2,
                          0.0, true, true);
    std::vector<double> nodes;
    grid.copyGrid(nodes);
    return nodes;
}

std::vector<double> solvePlane(double cash, int32_t type, int32_t exercise, int32_t solver,
                               const std::vector<double>& start)
{
    DornTechOptionAS plane(cash, 20, 0.1, 0.2, 0.06, 0.03, 50, type, exercise, 2, solver, 0.0,
                           true, false);
    plane.setGridAndValues(start, standardGrid());
    EXPECT_TRUE(plane.payoffReady);
    tarvic::PdeResults results;
    plane.solvePde(results, false, 0.0, nullptr, 0.0, nullptr);
    return results.value;
}

TEST(AsianPlaneSolver, AmericanPlaneExercisesForItsCashAmount)
{
    // A plane that would be worth nothing at its end: held, it stays
    // worthless; exercisable at any time, it is worth its cash amount at
    // every asset level, with every early-exercise solver.
    const std::vector<double> nodes = standardGrid();
    const std::vector<double> zeros(nodes.size(), 0.0);
    for (int32_t type : {DornTechOption::PlaneCall, DornTechOption::PlanePut}) {
        for (int32_t solver : {0, 1, 2}) {
            const std::vector<double> american = solvePlane(7.0, type, 1, solver, zeros);
            for (size_t i = 0; i < nodes.size(); ++i)
                ASSERT_NEAR(american[i], 7.0, 1e-9) << "type " << type << " solver " << solver;
        }
        const std::vector<double> european = solvePlane(7.0, type, 0, 2, zeros);
        for (double v : european)
            ASSERT_EQ(v, 0.0);
    }
    // Only the low byte of the exercise style counts: 256 is European.
    const std::vector<double> european = solvePlane(7.0, DornTechOption::PlaneCall, 256, 2, zeros);
    for (double v : european)
        ASSERT_EQ(v, 0.0);
}

TEST(AsianPlaneSolver, ZeroStrikeOnTheLowestPlaneSolves)
{
    // The lowest plane of a floating strike has average 0: a call struck at
    // 0, whose early-exercise error measure cannot be relative to the strike.
    const std::vector<double> nodes = standardGrid();
    for (int32_t solver : {0, 1, 2}) {
        const std::vector<double> v = solvePlane(0.0, DornTechOption::Call, 1, solver, nodes);
        for (size_t i = 0; i < nodes.size(); ++i) {
            ASSERT_TRUE(std::isfinite(v[i]));
            ASSERT_GE(v[i], nodes[i] - 1e-9) << "solver " << solver;
        }
    }
    // Without start values from outside a strike of 0 builds no grid.
    DornTechOptionAS own(0.0, 20, 0.1, 0.2, 0.06, 0.03, 50, DornTechOption::Call, 0, 2, 2, 0.0,
                         true, true);
    tarvic::PdeResults results;
    EXPECT_THROW(own.solvePde(results, true, 0.0, nullptr, 0.0, nullptr), std::invalid_argument);
}

// ---------------------------------------------------------------------------
// Planes of the average

TEST(AsianPlanes, LayoutFollowsSpacingAndGrid)
{
    for (bool nonUniform : {false, true}) {
        for (int32_t p : {0, 1, 2, 4}) {
            AsianContract c;
            c.nonUniform = nonUniform;
            c.spacing = p;
            DornTechAsianOption option = c.make();
            option.setUpPlanes();
            ASSERT_TRUE(option.planesReady);
            const std::vector<double>& S = option.assetNodes;
            const std::vector<double>& A = option.averagePlanes;
            ASSERT_EQ(static_cast<int32_t>(A.size()), option.numPlanes);
            if (p <= 1) {
                EXPECT_EQ(A, S);
                continue;
            }
            EXPECT_EQ(option.numPlanes, option.usedNodes / p + 1);
            EXPECT_EQ(A.back(), S.back());
            for (size_t j = 0; j + 1 < A.size(); ++j) {
                const double expected = nonUniform ? S[static_cast<size_t>(p) * j] : p * S[j];
                ASSERT_EQ(A[j], expected) << "j " << j;
                ASSERT_LT(A[j], A[j + 1]);
            }
        }
    }
}

TEST(AsianPlanes, FloatingStrikeAndEarlyCallsSolveOnAWiderGrid)
{
    struct Case {
        double strike;
        int32_t type;
        int32_t exercise;
        bool nonUniform;
        bool wider;
    } cases[] = {
        {100.0, 0, 0, true, false}, {100.0, 0, 1, false, false}, {100.0, 1, 1, true, false},
        {100.0, 0, 1, true, true},  {100.0, 0, 2, true, true},   {0.0, 0, 0, false, true},
        {0.0, 1, 0, true, true},
    };
    for (const Case& k : cases) {
        AsianContract c;
        c.strike = k.strike;
        c.type = k.type;
        c.exercise = k.exercise;
        c.nonUniform = k.nonUniform;
        DornTechAsianOption option = c.make();
        option.setUpPlanes();
        EXPECT_EQ(option.usedNodes > option.outputNodes, k.wider)
            << "strike " << k.strike << " type " << k.type << " exercise " << k.exercise;
        if (!k.wider) {
            // The extent is kept for the re-pricings.
            const double top = option.assetNodes.back();
            EXPECT_GE(option.maxAsset, top);
            EXPECT_LT(option.maxAsset, top + 0.5 * (top - option.assetNodes[top > 0 ? 1 : 0]));
        }
    }
}

TEST(AsianPlanes, BumpedRepricingsKeepTheReportedGrid)
{
    // Theta and vega come from re-pricings with T (1 + 1e-5) and sigma +
    // 1e-5; on a grid of the same node count. The uniform grid counts its
    // nodes from the kept extent, which must not round one node away.
    int checked = 0;
    for (bool nonUniform : {false, true}) {
        for (int32_t steps = 10; steps <= 400; ++steps) {
            AsianContract c;
            c.steps = steps;
            c.nonUniform = nonUniform;
            DornTechAsianOption option = c.make();
            const int32_t n = option.lastOutputIndex();
            option.expiry *= 1.00001;
            option.setUpPlanes();
            ASSERT_EQ(option.lastOutputIndex(), n) << "steps " << steps << " " << nonUniform;
            option.expiry = 1.0;
            option.volatility += 1e-5;
            option.setUpPlanes();
            ASSERT_EQ(option.lastOutputIndex(), n) << "steps " << steps << " " << nonUniform;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 2 * 391);
}

TEST(AsianPlanes, ActivePlanesReachHalfTheRangeAndTheSettledAverage)
{
    // Fixed-strike European: the lower half of the planes, on a stretched
    // grid up to the first plane at half the top average; more when the
    // settled average lies above them; at least two.
    struct Case {
        bool nonUniform;
        int32_t spacing;
        double settledFraction;  // of the top plane
    } cases[] = {{false, 2, 0.0}, {false, 2, 0.8}, {true, 2, 0.0}, {true, 4, 0.9},
                 {false, 4, 1.0}, {true, 1, 1.0}};
    for (const Case& k : cases) {
        AsianContract c;
        c.nonUniform = k.nonUniform;
        c.spacing = k.spacing;
        DornTechAsianOption probe = c.make();
        probe.setUpPlanes();
        const std::vector<double> A = probe.averagePlanes;
        c.settled = 2;
        c.settledAverage = k.settledFraction * A.back();
        DornTechAsianOption option = c.make();
        std::vector<double> g, v, d, ga, t;
        option.price(g, v, d, ga, t);
        auto throughFirstAtOrAbove = [&](double level) {
            return static_cast<int32_t>(std::lower_bound(A.begin(), A.end(), level) - A.begin()) + 1;
        };
        int32_t expected = k.nonUniform ? throughFirstAtOrAbove(0.5 * A.back())
                                        : static_cast<int32_t>(A.size() / 2);
        if (c.settledAverage > A[static_cast<size_t>(expected - 1)])
            expected = throughFirstAtOrAbove(c.settledAverage);
        EXPECT_EQ(option.numActivePlanes, expected)
            << "non-uniform " << k.nonUniform << " spacing " << k.spacing << " settled "
            << k.settledFraction;
        EXPECT_GE(option.numActivePlanes, 2);
    }
}

// ---------------------------------------------------------------------------
// The jump across planes

struct PlaneField {
    std::function<double(double)> inAverage;
    int32_t interp;
    int32_t margin;  // planes needed beyond the bracket
};

// Fills the planes with f(A_j) + S_i / 7 and compares the jump with the
// same function at the jumped average.
void expectJumpReproduces(const PlaneField& field, int32_t activePlanes)
{
    AsianContract c;
    c.interp = field.interp;
    DornTechAsianOption option = c.make();
    option.setUpPlanes();
    option.numActivePlanes = activePlanes > 0 ? activePlanes : option.numPlanes;
    const size_t n = static_cast<size_t>(option.usedNodes);
    option.planeValues.assign(n * static_cast<size_t>(option.numActivePlanes), 0.0);
    const std::vector<double>& S = option.assetNodes;
    const std::vector<double>& A = option.averagePlanes;
    for (int32_t j = 0; j < option.numActivePlanes; ++j)
        for (size_t i = 0; i < n; ++i)
            option.planeValues[static_cast<size_t>(j) * n + i] =
                field.inAverage(A[static_cast<size_t>(j)]) + S[i] / 7.0;

    const int32_t k = 3;
    const double fixing = c.fixings - k;
    const int32_t top = option.numActivePlanes - 1;
    std::vector<double> out(n);
    int checked = 0;
    for (int32_t j : {0, 5, 20, 40, top}) {
        if (j > top)
            continue;
        option.interpolatePlanes(out.data(), k, j);
        for (size_t i = 0; i < n; ++i) {
            const double jumped = ((fixing - 1.0) * A[static_cast<size_t>(j)] + S[i]) / fixing;
            const bool inside = jumped >= A[static_cast<size_t>(field.margin)] &&
                                jumped <= A[static_cast<size_t>(top - field.margin)];
            if (field.margin > 0 && !inside)
                continue;
            ASSERT_NEAR(out[i], field.inAverage(jumped) + S[i] / 7.0, 1e-9)
                << "interp " << field.interp << " plane " << j << " node " << i;
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

TEST(AsianJump, EachInterpolationIsExactForItsDegree)
{
    // Linear values in A are reproduced by every interpolation, also when
    // extrapolated above the top active plane; quadratic and cubic values by
    // the interpolations of that degree where their planes exist.
    const auto linear = [](double A) { return 3.0 + 0.5 * A; };
    const auto square = [](double A) { return A * A / 100.0; };
    const auto cube = [](double A) { return A * A * A / 1e4; };
    for (int32_t interp : {0, 1, 2})
        expectJumpReproduces({linear, interp, 0}, 0);
    expectJumpReproduces({linear, 0, 0}, 30);
    expectJumpReproduces({square, 1, 2}, 0);
    expectJumpReproduces({square, 2, 3}, 0);
    expectJumpReproduces({cube, 2, 3}, 0);
}

TEST(AsianJump, FixingDatesOfferExerciseOnlyWhenExercisable)
{
    // Worthless planes: after the jump a Bermudan fixed call is worth its
    // exercise value A' - K where positive, a European one stays worthless.
    for (int32_t exercise : {0, 2}) {
        AsianContract c;
        c.exercise = exercise;
        DornTechAsianOption option = c.make();
        option.setUpPlanes();
        option.numActivePlanes = option.numPlanes;
        const size_t n = static_cast<size_t>(option.usedNodes);
        option.planeValues.assign(n * static_cast<size_t>(option.numPlanes), 0.0);
        std::vector<double> out(n);
        option.interpolatePlanes(out.data(), 4, 30);
        const double A = option.averagePlanes[30];
        for (size_t i = 0; i < n; ++i) {
            const double jumped = (5.0 * A + option.assetNodes[i]) / 6.0;
            ASSERT_NEAR(out[i], exercise == 2 ? std::max(jumped - 100.0, 0.0) : 0.0, 1e-12);
        }
    }
}

TEST(AsianJump, RefusesPeriodsAndPlanesOutsideTheSweep)
{
    AsianContract c;
    DornTechAsianOption option = c.make();
    option.setUpPlanes();
    option.numActivePlanes = 4;
    option.planeValues.assign(static_cast<size_t>(option.usedNodes) * 4, 0.0);
    std::vector<double> out(static_cast<size_t>(option.usedNodes));
    EXPECT_THROW(option.interpolatePlanes(out.data(), 10, 0), std::logic_error);
    EXPECT_THROW(option.interpolatePlanes(out.data(), -1, 0), std::logic_error);
    EXPECT_THROW(option.interpolatePlanes(out.data(), 1, 4), std::logic_error);
    EXPECT_THROW(option.interpolatePlanes(out.data(), 1, -2), std::logic_error);
}

// ---------------------------------------------------------------------------
// Parallel planes, memory, the reported tail

TEST(AsianPlaneSweep, FailureInsideTheParallelLoopIsRethrownAfterIt)
{
    for (int threads : {1, 3, 8}) {
        std::atomic<int> ran{0};
        EXPECT_THROW(tarvic::forEachPlane(64, threads,
                                          [&](int64_t j) {
                                              ++ran;
                                              if (j == 37)
                                                  throw std::bad_alloc();
                                          }),
                     std::bad_alloc);
        EXPECT_GE(ran.load(), 1);
        try {
            tarvic::forEachPlane(8, threads, [](int64_t j) {
                if (j == 3)
                    throw std::runtime_error("plane 3");
            });
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "plane 3");
        }
        std::vector<int> seen(100, 0);
        tarvic::forEachPlane(100, threads, [&](int64_t j) { seen[static_cast<size_t>(j)] += 1; });
        EXPECT_EQ(seen, std::vector<int>(100, 1));
    }
}

TEST(AsianMemory, RequestBeyondTheBudgetIsRefusedBeforeAnyPlaneIsAllocated)
{
    AsianContract c;
    DornTechAsianOption option = c.make();
    option.memoryBudget = 1024;
    std::vector<double> g, v, d, ga, t;
    try {
        option.price(g, v, d, ga, t);
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), tarvic::asianPlanesBeyondBudgetText("1KB"));
    }
    EXPECT_TRUE(option.planeValues.empty());
    EXPECT_TRUE(v.empty());

    option.memoryBudget = 0;  // the machine's: ample for this one
    option.price(g, v, d, ga, t);
    EXPECT_EQ(v.size(), static_cast<size_t>(option.usedNodes));
}

TEST(AsianReportedTail, GrowsWhileTheCurveBendsNeverPastTheLimit)
{
    // A convex, rising curve on a grid of 11 nodes 0..10.
    std::vector<double> grid, delta, gamma;
    for (int i = 0; i <= 10; ++i) {
        grid.push_back(i);
        delta.push_back(1.0);
        gamma.push_back(0.01);
    }
    struct Case {
        const char* what;
        std::function<void(std::vector<double>&, std::vector<double>&)> shape;
        int32_t from, limit, expected;
    } cases[] = {
        {"to the lower half of the grid", [](auto&, auto&) {}, 2, 100, 5},
        {"stopped by the limit", [](auto&, auto&) {}, 2, 3, 3},
        {"already at the limit", [](auto&, auto&) {}, 3, 3, 3},
        {"negative gamma", [](auto&, auto& g) { g[3] = -1e-3; }, 2, 100, 3},
        {"flat", [](auto& d, auto&) { d[2] = 1e-7; }, 2, 100, 2},
        {"hardly bending", [](auto&, auto& g) { g[4] = 1e-6; }, 2, 100, 4},
    };
    for (const Case& k : cases) {
        std::vector<double> d = delta, g = gamma;
        k.shape(d, g);
        EXPECT_EQ(tarvic::reportedLastIndex(grid, d, g, k.from, k.limit), k.expected) << k.what;
    }
    // The limit of the caller's arrays holds even on a grid beyond it.
    std::vector<double> wide(120001), ones(120001, 1.0), bend(120001, 0.01);
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<double>(i);
    EXPECT_EQ(tarvic::reportedLastIndex(wide, ones, bend, 49990, TV_MAX_NODE_INDEX),
              TV_MAX_NODE_INDEX);
}

}  // namespace
