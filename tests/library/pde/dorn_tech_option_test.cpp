// The finite-difference base: grids, coefficients, solves against closed
// forms and published American values.

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "pde/dorn_tech_option.h"
#include "support/reference_pricing.h"

using tarvic::DornTechOption;
using tarvic_test::blackScholes;
using tarvic_test::interpolateNodes;

namespace {

struct Contract {
    double K = 100.0;
    int32_t timeSteps = 100;
    double T = 0.5;
    double sigma = 0.25;
    double r = 0.08;
    double q = 0.04;
    int32_t assetSteps = 100;
    int32_t type = 0;
    int32_t exercise = 0;
    int32_t scheme = 2;
    int32_t solver = 2;
    double maxAsset = 0.0;
    bool nonUniform = true;
    int32_t periods = 1;

    DornTechOption make() const
    {
        return DornTechOption(K, timeSteps, T, sigma, r, q, assetSteps, type, exercise, scheme,
                              solver, maxAsset, nonUniform, periods, 0, true);
    }
};

struct Solved {
    std::vector<double> grid, value, delta, gamma, theta;
    int last() const { return static_cast<int>(grid.size()) - 1; }
    double at(double s) const { return interpolateNodes(grid, value, last(), s); }
};

Solved solve(const Contract& c)
{
    DornTechOption option = c.make();
    Solved s;
    option.price(s.grid, s.value, s.delta, s.gamma, s.theta);
    return s;
}

// Largest error against Black–Scholes on the nodes in [K/2, 3K/2].
double europeanError(const Contract& c)
{
    const Solved s = solve(c);
    double worst = 0.0;
    for (size_t i = 0; i < s.grid.size(); ++i) {
        const double S = s.grid[i];
        if (S < c.K / 2 || S > 1.5 * c.K)
            continue;
        const double exact = blackScholes(c.type == 0, S, c.K, c.T, c.r, c.q, c.sigma);
        worst = std::max(worst, std::fabs(s.value[i] - exact));
    }
    return worst;
}

TEST(FiniteDifferenceGrid, UniformGridPutsTheStrikeHalfAStepAboveANode)
{
    Contract c;
    c.nonUniform = false;
    DornTechOption option = c.make();
    std::vector<double> grid;
    option.copyGrid(grid);
    EXPECT_DOUBLE_EQ(option.dx, 100.0 / 100.5);
    EXPECT_NEAR(c.K - grid[100], 0.5 * option.dx, 1e-12);
    EXPECT_NEAR(grid[101] - c.K, 0.5 * option.dx, 1e-12);
    // sigma^2 T = 0.03125 gives a grid to 3 K.
    EXPECT_EQ(option.lastNodeIndex(), static_cast<int>(std::trunc(300.0 / option.dx)));
}

TEST(FiniteDifferenceGrid, ExtentFollowsVarianceAndUserMaximum)
{
    struct Case {
        double sigma, T, maxAsset;
        int expectedMultiple;
    } cases[] = {
        {std::sqrt(0.0907), 1.0, 0.0, 3},   {std::sqrt(0.0908), 1.0, 0.0, 4},
        {std::sqrt(0.2507), 1.0, 0.0, 5},   {std::sqrt(0.4007), 1.0, 0.0, 6},
        {std::sqrt(0.7507), 1.0, 0.0, 9},   {std::sqrt(0.7508), 1.0, 0.0, 12},
        {0.25, 0.5, 150.0, 3},  // below 2K: ignored by the uniform grid
        {0.25, 0.5, 200.0, 2},  // at 2K: used
    };
    for (const Case& k : cases) {
        Contract c;
        c.nonUniform = false;
        c.sigma = k.sigma;
        c.T = k.T;
        c.maxAsset = k.maxAsset;
        DornTechOption option = c.make();
        const int nodes = option.lastNodeIndex() + 1;
        const double top = k.expectedMultiple * c.K;
        EXPECT_EQ(nodes, static_cast<int>(std::trunc(top / option.dx)) + 1)
            << "sigma^2 T = " << k.sigma * k.sigma * k.T << ", maxAsset " << k.maxAsset;
    }
}

TEST(FiniteDifferenceGrid, NonUniformGridClustersAtTheStrike)
{
    Contract c;
    DornTechOption option = c.make();
    std::vector<double> grid;
    option.copyGrid(grid);
    ASSERT_GT(grid.size(), 10u);
    EXPECT_EQ(grid.front(), 0.0);
    EXPECT_GE(grid.back(), 3.0 * c.K);
    EXPECT_LT(grid[grid.size() - 2], 3.0 * c.K);
    const auto above = std::upper_bound(grid.begin(), grid.end(), c.K);
    ASSERT_NE(above, grid.begin());
    const double hAtStrike = *above - *(above - 1);
    EXPECT_LT(hAtStrike, grid[1] - grid[0]);
    EXPECT_LT(hAtStrike, grid.back() - grid[grid.size() - 2]);
    // A user maximum of any positive size closes the non-uniform grid.
    c.maxAsset = 150.0;
    DornTechOption limited = c.make();
    limited.copyGrid(grid);
    EXPECT_GE(grid.back(), 150.0);
    EXPECT_LT(grid[grid.size() - 2], 150.0);
}

TEST(FiniteDifferenceEuropean, MatchesBlackScholesAtTheDefaults)
{
    for (int type : {0, 1}) {
        for (double sigma : {0.2, 0.4}) {
            for (double q : {0.0, 0.04}) {
                Contract c;
                c.type = type;
                c.sigma = sigma;
                c.q = q;
                EXPECT_LE(europeanError(c), 1e-3) << "type " << type << " sigma " << sigma
                                                  << " q " << q;
            }
        }
    }
}

TEST(FiniteDifferenceEuropean, ConvergesAtSecondOrder)
{
    struct Setting {
        bool nonUniform;
        int32_t scheme;
    } settings[] = {{true, 2}, {false, 2}, {true, 1}};
    for (const Setting& setting : settings) {
        Contract c;
        c.type = 1;
        c.nonUniform = setting.nonUniform;
        c.scheme = setting.scheme;
        c.assetSteps = 50;
        c.timeSteps = 50;
        const double coarse = europeanError(c);
        c.assetSteps = 100;
        c.timeSteps = 100;
        const double medium = europeanError(c);
        c.assetSteps = 200;
        c.timeSteps = 200;
        const double fine = europeanError(c);
        EXPECT_GT(coarse / medium, 3.0) << "non-uniform " << setting.nonUniform;
        EXPECT_GT(medium / fine, 3.0) << "non-uniform " << setting.nonUniform;
    }
    // The implicit scheme is first order in time.
    Contract c;
    c.scheme = 0;
    c.assetSteps = 400;
    c.timeSteps = 25;
    const double e25 = europeanError(c);
    c.timeSteps = 50;
    const double e50 = europeanError(c);
    EXPECT_GT(e25 / e50, 1.6);
    EXPECT_LT(e25 / e50, 2.6);
}

TEST(FiniteDifferenceEuropean, GreeksMatchBlackScholes)
{
    Contract c;
    c.type = 0;
    c.assetSteps = 200;
    c.timeSteps = 200;
    const Solved s = solve(c);
    const double h = 1e-4;
    for (double S : {80.0, 100.0, 120.0}) {
        const auto bs = [&](double x, double T) { return blackScholes(true, x, c.K, T, c.r, c.q, c.sigma); };
        const double delta = (bs(S + h, c.T) - bs(S - h, c.T)) / (2 * h);
        const double gamma = (bs(S + 1e-2, c.T) - 2 * bs(S, c.T) + bs(S - 1e-2, c.T)) / 1e-4;
        const double thetaPerDay = -(bs(S, c.T + 1e-5) - bs(S, c.T - 1e-5)) / 2e-5 / 365.0;
        EXPECT_NEAR(interpolateNodes(s.grid, s.delta, s.last(), S), delta, 2e-4) << S;
        EXPECT_NEAR(interpolateNodes(s.grid, s.gamma, s.last(), S), gamma, 2e-4) << S;
        EXPECT_NEAR(interpolateNodes(s.grid, s.theta, s.last(), S), thetaPerDay, 2e-4) << S;
    }
}

// Published values of the American put, K = 40, r = 0.06, q = 0.
struct AmericanPutCase {
    double S, sigma, T, value;
};
const AmericanPutCase kAmericanPuts[] = {
    {36.0, 0.2, 1.0, 4.4867}, {36.0, 0.4, 2.0, 8.5142}, {44.0, 0.2, 1.0, 1.1130}};

Contract americanPut(const AmericanPutCase& k, int32_t solver)
{
    Contract c;
    c.K = 40.0;
    c.r = 0.06;
    c.q = 0.0;
    c.sigma = k.sigma;
    c.T = k.T;
    c.type = 1;
    c.exercise = 1;
    c.solver = solver;
    return c;
}

TEST(FiniteDifferenceAmerican, PutsMatchPublishedValuesWithEverySolver)
{
    for (const AmericanPutCase& k : kAmericanPuts) {
        std::vector<double> bySolver;
        for (int32_t solver : {0, 1, 2}) {
            const Solved s = solve(americanPut(k, solver));
            bySolver.push_back(s.at(k.S));
            EXPECT_NEAR(bySolver.back(), k.value, 2e-3) << "S " << k.S << " solver " << solver;
        }
        // The three solvers solve the same problem on the same grid.
        EXPECT_NEAR(bySolver[0], bySolver[2], 1e-6);
        EXPECT_NEAR(bySolver[1], bySolver[2], 1e-6);
    }
}

TEST(FiniteDifferenceAmerican, PutConvergesToThePublishedValue)
{
    const AmericanPutCase& k = kAmericanPuts[0];
    double previous = 1.0;
    for (int32_t steps : {50, 100, 200, 400}) {
        Contract c = americanPut(k, 2);
        c.assetSteps = steps;
        c.timeSteps = steps;
        const double error = std::fabs(solve(c).at(k.S) - k.value);
        EXPECT_LT(error, previous) << steps;
        previous = error;
    }
    EXPECT_LT(previous, 2e-4);
}

TEST(FiniteDifferenceAmerican, EuropeanBelowBermudanBelowAmerican)
{
    for (int32_t type : {0, 1}) {
        Contract c;
        c.type = type;
        c.q = 0.06;  // early exercise pays for calls too
        c.periods = 4;
        c.timeSteps = 100;
        c.exercise = 0;
        const Solved european = solve(c);
        c.exercise = 2;
        const Solved bermudan = solve(c);
        c.exercise = 1;
        c.periods = 1;
        const Solved american = solve(c);
        // The European and Bermudan solves share their time levels.
        ASSERT_EQ(european.grid.size(), bermudan.grid.size());
        for (double S : {70.0, 90.0, 100.0, 110.0, 130.0}) {
            EXPECT_LE(european.at(S), bermudan.at(S) + 1e-9) << "type " << type << " S " << S;
            EXPECT_LE(bermudan.at(S), american.at(S) + 1e-4) << "type " << type << " S " << S;
        }
        EXPECT_GT(bermudan.at(100.0) - european.at(100.0), 1e-3) << "type " << type;
    }
}

TEST(FiniteDifferenceAmerican, CallWithoutDividendsIsEuropean)
{
    for (int32_t solver : {0, 1, 2}) {
        Contract c;
        c.q = 0.0;
        c.type = 0;
        c.solver = solver;
        const Solved european = solve(c);
        c.exercise = 1;
        const Solved american = solve(c);
        ASSERT_EQ(european.grid.size(), american.grid.size());
        // Brennan–Schwartz is exact elimination; SOR stops at its tolerance.
        const double tolerance = solver == 2 ? 1e-10 : 1e-6;
        for (size_t i = 0; i < european.grid.size(); ++i)
            ASSERT_NEAR(american.value[i], european.value[i], tolerance) << "node " << i << " solver " << solver;
    }
}

TEST(FiniteDifferenceTimeSteps, PeriodsAdjustTheStepCount)
{
    struct Case {
        int32_t steps, periods, scheme, expectedSteps, expectedScheme;
    } cases[] = {
        {100, 3, 2, 99, 2},  // 33 steps of (T/3)/33
        {100, 1, 2, 100, 2},
        {10, 4, 2, 20, 2},   // at least 5 steps a period
        {4, 1, 2, 4, 1},     // too few steps for the Rannacher start
    };
    for (const Case& k : cases) {
        Contract c;
        c.timeSteps = k.steps;
        c.periods = k.periods;
        c.scheme = k.scheme;
        DornTechOption option = c.make();
        Solved s;
        option.price(s.grid, s.value, s.delta, s.gamma, s.theta);
        EXPECT_EQ(option.timeSteps, k.expectedSteps) << k.steps << "/" << k.periods;
        EXPECT_EQ(option.discretization, k.expectedScheme) << k.steps << "/" << k.periods;
    }
}

TEST(FiniteDifferenceTimeSteps, BermudanCallWithPeriodsKeepsTheGivenTop)
{
    // Its top takes the larger of the exercise value carried from the last
    // exercise date and the European top, with one period or many.
    Contract c;
    c.exercise = 2;
    c.periods = 1;
    EXPECT_EQ(c.make().upperBoundary, 0);
    c.periods = 2;
    EXPECT_EQ(c.make().upperBoundary, 0);
}

TEST(FiniteDifferenceTimeSteps, FinalQuarterStepsEndAtExpiry)
{
    // American with a dividend yield takes its last step as four quarter
    // steps. With few steps these must not restart the scheme: the value
    // stays that of the same contract solved finely.
    Contract fine;
    fine.type = 1;
    fine.exercise = 1;
    fine.T = 1.0;
    fine.q = 0.05;
    fine.timeSteps = 400;
    const double reference = solve(fine).at(100.0);
    for (int32_t steps : {6, 7, 8, 9, 12}) {
        Contract c = fine;
        c.timeSteps = steps;
        EXPECT_NEAR(solve(c).at(100.0), reference, 0.03) << steps << " steps";
    }
}

TEST(FiniteDifferenceRecording, RecordsOneValuePerTimeLevel)
{
    // Rannacher start: 4 quarter steps then 9 full steps, plus the expiry placeholder.
    Contract c;
    c.timeSteps = 10;
    DornTechOption option = c.make();
    tarvic::PdeResults results;
    std::vector<double> record;
    option.solvePde(results, false, 95.0, &record, 0.0, nullptr);
    ASSERT_EQ(record.size(), 14u);
    EXPECT_EQ(record[0], 0.0);
    EXPECT_NEAR(record.back(), interpolateNodes(option.grid, option.values, option.nodeCount - 1, 95.0), 0.05);

    // A Bermudan with quarter restarts is resampled onto the same levels.
    Contract b;
    b.exercise = 2;
    b.type = 1;
    b.periods = 2;
    b.timeSteps = 10;
    DornTechOption bermudan = b.make();
    bermudan.solvePde(results, false, 95.0, &record, 0.0, nullptr);
    EXPECT_EQ(record.size(), 1u + 10u + 3u);
}

TEST(FiniteDifferenceValueAt, NodesExactCellsLinearTopFarField)
{
    Contract c;
    c.nonUniform = false;
    DornTechOption option = c.make();
    Solved s;
    option.price(s.grid, s.value, s.delta, s.gamma, s.theta);
    EXPECT_EQ(option.valueAt(s.grid[37] + 5e-10, c.T), s.value[37]);
    const double mid = 0.5 * (s.grid[50] + s.grid[51]);
    EXPECT_NEAR(option.valueAt(mid, c.T), 0.5 * (s.value[50] + s.value[51]), 1e-15);
    // Beyond the top node a call takes its far-field value.
    const double S = 10 * c.K;
    EXPECT_DOUBLE_EQ(option.valueAt(S, c.T), S * std::exp(-c.q * c.T) - c.K * std::exp(-c.r * c.T));
}

TEST(FiniteDifferenceInputs, RefusesWhatWouldBreakTheSolve)
{
    struct Case {
        const char* name;
        void (*spoil)(Contract&);
    } cases[] = {
        {"timeSteps 1", [](Contract& c) { c.timeSteps = 1; }},
        {"timeSteps 0", [](Contract& c) { c.timeSteps = 0; }},
        {"assetSteps 0", [](Contract& c) { c.assetSteps = 0; }},
        {"expiry 0", [](Contract& c) { c.T = 0.0; }},
        {"expiry NaN", [](Contract& c) { c.T = std::nan(""); }},
        {"strike -1", [](Contract& c) { c.K = -1.0; }},
        {"volatility inf", [](Contract& c) { c.sigma = INFINITY; }},
        {"discretization 3", [](Contract& c) { c.scheme = 3; }},
        {"amerSolver 3", [](Contract& c) { c.exercise = 1; c.solver = 3; }},
        {"periods overflow", [](Contract& c) { c.periods = 2000000000; }},
    };
    for (const Case& k : cases) {
        Contract c;
        k.spoil(c);
        EXPECT_THROW(solve(c), std::exception) << k.name;
    }
    // An amerSolver code means nothing to a European solve.
    Contract european;
    european.solver = 7;
    EXPECT_NO_THROW(solve(european));
}

}  // namespace

namespace {

// Start values that poison the sweeps must end the solve with a failure,
// not leave the sweep loop spinning or return garbage.
TEST(FiniteDifferenceAmerican, DivergingSorFails)
{
    DornTechOption option(100.0, 10, 0.5, 0.25, 0.08, 0.04, 20, DornTechOption::PlanePut, 1, 1, 0,
                          0.0, false, 1, 0, false);
    option.buildGrid();
    option.values.assign(static_cast<size_t>(option.nodeCount), 1.0);
    option.values[5] = std::nan("");
    option.payoffReady = true;
    tarvic::PdeResults results;
    try {
        option.solvePde(results, true, 0.0, nullptr, 0.0, nullptr);
        FAIL() << "expected a failure";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Projected SOR diverged in one time step.");
    }
}

}  // namespace
