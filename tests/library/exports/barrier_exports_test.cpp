// VelkBarrierOptionPricer as its callers see it: the six contracts against
// the closed forms, parities, discrete monitoring, the theta and vega rules,
// the node-count limit and failures.

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "closedform/closed_form.h"
#include "pde/fd_frame.h"
#include "pde/knock_in_options.h"
#include "pde/knock_out_options.h"
#include "support/caller_arrays.h"
#include "support/reference_pricing.h"
#include "support/side_by_side_solves.h"
#include "tarvic/tarvic.h"

namespace {

using tarvic_test::CallerArrays;
using tarvic_test::kSentinel;
using tarvic_test::kGrid;
using tarvic_test::kValue;
using tarvic_test::kDelta;
using tarvic_test::kGamma;
using tarvic_test::kTheta;
using tarvic_test::kVega;

// The classic grid: S = 100, T = 0.5, r = 0.08, q = 0.04, sigma = 0.25, at
// the default settings (100 asset and time steps, stretched grid,
// Crank-Nicolson with Rannacher start, Brennan-Schwartz).
struct BarrierCall {
    double spot = 100.0;
    double strike = 100.0;
    double lowerBarrier = 0.0;
    double upperBarrier = 0.0;
    int32_t contMonitoring = 65535;
    int32_t timeSteps = 100;
    double expiry = 0.5;
    double volatility = 0.25;
    double intRate = 0.08;
    double divYield = 0.04;
    int32_t assetSteps = 100;
    int32_t optionType = 0;
    int32_t knockOut = 1;
    int32_t exerciseType = 0;
    int32_t discretization = 2;
    int32_t amerSolver = 2;
    double maxAsset = 0.0;
    int32_t calcTheta = 0;
    int32_t calcVega = 0;
    int32_t nonUniformGrid = 65535;
    int32_t numPeriods = 1;

    int32_t lastIndex = -1;

    std::string run(CallerArrays& out)
    {
        int32_t steps = assetSteps;
        TvString text = VelkBarrierOptionPricer(
            out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma), out.p(kTheta),
            out.p(kVega), spot, strike, lowerBarrier, upperBarrier, contMonitoring, timeSteps,
            expiry, volatility, intRate, divYield, &steps, optionType, knockOut, exerciseType,
            discretization, amerSolver, maxAsset, calcTheta, calcVega, nonUniformGrid,
            numPeriods);
        lastIndex = steps;
        EXPECT_NE(text, nullptr);
        std::string result(text, tvStringByteLen(text));
        tvFreeString(text);
        return result;
    }

    // Value (or another array) at the spot, quadratic through the nearest nodes.
    double at(const CallerArrays& out, int k = kValue, double s = -1.0) const
    {
        const std::vector<double> g(out.a[kGrid].begin(), out.a[kGrid].begin() + lastIndex + 1);
        const std::vector<double> v(out.a[k].begin(), out.a[k].begin() + lastIndex + 1);
        return tarvic_test::interpolateNodes(g, v, lastIndex, s < 0.0 ? spot : s);
    }

    double solve(int k = kValue)
    {
        CallerArrays out;
        const std::string text = run(out);
        EXPECT_EQ(text, "");
        return text.empty() ? at(out, k) : std::nan("");
    }

    double exact() const
    {
        return tarvic::barrierPrice(spot, strike, intRate, divYield, volatility, expiry,
                                    lowerBarrier, upperBarrier, knockOut, optionType);
    }

    tarvic::SpotSensitivities exactSensitivities() const
    {
        return tarvic::barrierSensitivities(spot, strike, intRate, divYield, volatility, expiry,
                                            lowerBarrier, upperBarrier, knockOut, optionType);
    }

    // The threads the frame hands this call's solves to: the contract and
    // rules built as the export builds them, run through the library's
    // archive.
    int frameSolveThreads() const
    {
        const bool continuous = (contMonitoring & 0xFF) != 0;
        const tarvic::BarrierContract c{spot, strike, lowerBarrier, upperBarrier, continuous,
                                        timeSteps, expiry, volatility, intRate, divYield,
                                        assetSteps, optionType, exerciseType, discretization,
                                        amerSolver, maxAsset, (nonUniformGrid & 0xFF) != 0,
                                        numPeriods};
        const auto make = [&]() -> std::unique_ptr<tarvic::DornTechOption> {
            const bool out = knockOut == 1;
            if (lowerBarrier == 0.0) {
                if (out)
                    return std::make_unique<tarvic::DornTechUOBOption>(c);
                return std::make_unique<tarvic::DornTechUIBOption>(c);
            }
            if (upperBarrier == 0.0) {
                if (out)
                    return std::make_unique<tarvic::DornTechDOBOption>(c);
                return std::make_unique<tarvic::DornTechDIBOption>(c);
            }
            if (out)
                return std::make_unique<tarvic::DornTechDBOOption>(c);
            return std::make_unique<tarvic::DornTechDBIOption>(c);
        };
        const std::unique_ptr<tarvic::DornTechOption> option = make();
        CallerArrays out;
        const tarvic::NodeArrays arrays{out.p(kGrid), out.p(kValue), out.p(kDelta),
                                        out.p(kGamma), out.p(kTheta), out.p(kVega)};
        int32_t n = 0;
        tarvic::runFiniteDifferenceFrame(*option, arrays, &n,
                                         {(calcTheta & 0xFF) != 0, (calcVega & 0xFF) != 0,
                                          !continuous || (exerciseType == 2 && numPeriods >= 2)});
        return tarvic::lastFrameSolveThreads();
    }
};

BarrierCall withBarriers(double L, double U, int32_t knockOut, int32_t type = 0)
{
    BarrierCall c;
    c.lowerBarrier = L;
    c.upperBarrier = U;
    c.knockOut = knockOut;
    c.optionType = type;
    return c;
}

// ---- The six contracts -------------------------------------------------------

TEST(VelkBarrierOptionPricer, EachBarrierRowPricesItsContract)
{
    struct Row {
        const char* what;
        double L, U;
        int32_t knockOut;
        bool startsOnL, endsOnU;
    } rows[] = {
        {"up-and-out", 0.0, 105.0, 1, false, true},
        {"up-and-in", 0.0, 105.0, 0, false, true},
        {"down-and-out", 95.0, 0.0, 1, true, false},
        {"down-and-in", 95.0, 0.0, 0, true, false},
        {"double knock-out", 80.0, 120.0, 1, true, true},
        {"double knock-in", 80.0, 120.0, 0, true, true},
    };
    for (const Row& row : rows) {
        for (int32_t type : {0, 1}) {
            BarrierCall c = withBarriers(row.L, row.U, row.knockOut, type);
            CallerArrays out;
            ASSERT_EQ(c.run(out), "") << row.what;
            const int n = c.lastIndex;
            if (row.startsOnL) {
                EXPECT_EQ(out.a[kGrid][0], row.L) << row.what;
            } else {
                EXPECT_EQ(out.a[kGrid][0], 0.0) << row.what;
            }
            if (row.endsOnU) {
                EXPECT_EQ(out.a[kGrid][static_cast<size_t>(n)], row.U) << row.what;
            }
            EXPECT_NEAR(c.at(out), c.exact(), 5e-3) << row.what << " type " << type;
            EXPECT_TRUE(out.untouched(kValue, static_cast<size_t>(n) + 1)) << row.what;
        }
    }
    // Knock-ins are always monitored continuously and take no spot: the
    // monitoring flag and the spot change nothing in their node values.
    for (const Row& row : rows) {
        if (row.knockOut != 0)
            continue;
        BarrierCall c = withBarriers(row.L, row.U, 0);
        CallerArrays a, b;
        ASSERT_EQ(c.run(a), "");
        c.contMonitoring = 0;
        c.spot = 37.0;
        ASSERT_EQ(c.run(b), "");
        for (int i = 0; i <= c.lastIndex; ++i)
            ASSERT_EQ(a.a[kValue][static_cast<size_t>(i)], b.a[kValue][static_cast<size_t>(i)])
                << row.what << " node " << i;
    }
}

TEST(VelkBarrierOptionPricer, ContinuousSingleBarriersMatchTheClosedFormAtSecondOrder)
{
    for (int32_t knockOut : {1, 0}) {
        for (int32_t type : {0, 1}) {
            for (double H : {95.0, 105.0}) {
                for (double K : {90.0, 100.0, 110.0}) {
                    for (double sigma : {0.25, 0.30}) {
                        BarrierCall c = withBarriers(H < 100.0 ? H : 0.0, H > 100.0 ? H : 0.0,
                                                     knockOut, type);
                        c.strike = K;
                        c.volatility = sigma;
                        CallerArrays out;
                        ASSERT_EQ(c.run(out), "");
                        const int n = c.lastIndex;
                        std::vector<double> exact(static_cast<size_t>(n) + 1);
                        ASSERT_EQ(BarrierBSGrid(out.p(kGrid), exact.data(), K, c.intRate,
                                                c.divYield, sigma, c.expiry, c.lowerBarrier,
                                                c.upperBarrier, knockOut, type, n),
                                  1.0);
                        double worst = 0.0;
                        for (int i = 0; i <= n; ++i) {
                            const double S = out.a[kGrid][static_cast<size_t>(i)];
                            if (S >= 80.0 && S <= 130.0)
                                worst = std::max(worst,
                                                 std::fabs(out.a[kValue][static_cast<size_t>(i)] -
                                                           exact[static_cast<size_t>(i)]));
                        }
                        const std::string label = std::string(knockOut ? "out" : "in") +
                                                  " type " + std::to_string(type) + " H " +
                                                  std::to_string(H) + " K " + std::to_string(K) +
                                                  " sigma " + std::to_string(sigma);
                        EXPECT_LE(worst, 2e-3) << label;
                        if (K != 100.0)
                            continue;
                        const double error = std::fabs(c.at(out) - c.exact());
                        EXPECT_LE(error, 2e-3) << label;
                        // Doubling both step counts cuts the error about four times.
                        BarrierCall fine = c;
                        fine.assetSteps = 200;
                        fine.timeSteps = 200;
                        const double fineError = std::fabs(fine.solve() - c.exact());
                        if (error > 2e-5) {
                            EXPECT_GT(error / fineError, 2.5) << label;
                        }
                    }
                }
            }
        }
    }
}

TEST(VelkBarrierOptionPricer, DoubleBarriersMatchTheSeries)
{
    // S = K = 100, barriers 80 and 120, T = 0.25, r = 0.1, q = 0, sigma = 0.25.
    for (int32_t knockOut : {1, 0}) {
        for (int32_t type : {0, 1}) {
            BarrierCall c = withBarriers(80.0, 120.0, knockOut, type);
            c.expiry = 0.25;
            c.intRate = 0.1;
            c.divYield = 0.0;
            const double exact = c.exact();
            const double error = std::fabs(c.solve() - exact);
            EXPECT_LE(error, 5e-3) << knockOut << type;
            BarrierCall fine = c;
            fine.assetSteps = 200;
            fine.timeSteps = 200;
            EXPECT_GT(error / std::fabs(fine.solve() - exact), 3.0) << knockOut << type;
        }
    }
}

TEST(VelkBarrierOptionPricer, KnockInPlusKnockOutIsTheVanilla)
{
    struct Barriers {
        double L, U;
    } barriers[] = {{95.0, 0.0}, {0.0, 105.0}, {80.0, 120.0}};
    for (const Barriers& b : barriers) {
        for (int32_t type : {0, 1}) {
            for (double K : {90.0, 100.0, 110.0}) {
                BarrierCall out = withBarriers(b.L, b.U, 1, type);
                out.strike = K;
                BarrierCall in = out;
                in.knockOut = 0;
                const double vanilla = tarvic_test::blackScholes(type == 0, 100.0, K, 0.5, 0.08,
                                                                 0.04, 0.25);
                EXPECT_NEAR(out.solve() + in.solve(), vanilla, 2e-3)
                    << b.L << "/" << b.U << " type " << type << " K " << K;
            }
        }
    }
}

TEST(VelkBarrierOptionPricer, EarlyExerciseIsWorthAtLeastTheEuropeanAndAtMostTheVanilla)
{
    struct Barriers {
        double L, U;
    } barriers[] = {{95.0, 0.0}, {0.0, 105.0}, {80.0, 120.0}};
    for (const Barriers& b : barriers) {
        for (int32_t type : {0, 1}) {
            BarrierCall european = withBarriers(b.L, b.U, 1, type);
            BarrierCall american = european;
            american.exerciseType = 1;
            const double eu = european.solve();
            const double am = american.solve();

            CallerArrays v;
            int32_t steps = 100;
            TvString text = VelkOptionPricer(v.p(kGrid), v.p(kValue), v.p(kDelta), v.p(kGamma),
                                             v.p(kTheta), v.p(kVega), 100.0, 100, 0.5, 0.25, 0.08,
                                             0.04, &steps, type, 1, 2, 2, 0.0, 0, 0, 65535, 1);
            ASSERT_EQ(tvStringByteLen(text), 0u);
            tvFreeString(text);
            BarrierCall grid = european;
            grid.lastIndex = steps;
            const double vanilla = grid.at(v);

            // Where early exercise never pays the two differ only by the
            // American solve's closing quarter steps.
            EXPECT_LE(eu, am + 1e-4) << b.L << "/" << b.U << " type " << type;
            EXPECT_LE(am, vanilla + 1e-3) << b.L << "/" << b.U << " type " << type;
        }
    }
}

TEST(VelkBarrierOptionPricer, BarrierOnTheStrikeNodeIsHonoured)
{
    // The barrier grid ends on the barrier, here also the strike: the end
    // node is the barrier, and the values beside it match the closed form.
    struct Case {
        const char* what;
        double L, U;
        int32_t knockOut, type, nonUniform;
        double probe;
    } cases[] = {
        {"down-and-out call, stretched", 100.0, 0.0, 1, 0, 65535, 105.0},
        {"down-and-out call, uniform", 100.0, 0.0, 1, 0, 0, 105.0},
        {"down-and-in call", 100.0, 0.0, 0, 0, 65535, 105.0},
        {"up-and-out put", 0.0, 100.0, 1, 1, 65535, 95.0},
        {"up-and-in put", 0.0, 100.0, 0, 1, 65535, 95.0},
    };
    for (const Case& k : cases) {
        BarrierCall c = withBarriers(k.L, k.U, k.knockOut, k.type);
        c.nonUniformGrid = k.nonUniform;
        CallerArrays out;
        ASSERT_EQ(c.run(out), "") << k.what;
        const double B = k.L > 0.0 ? k.L : k.U;
        const double end = k.L > 0.0 ? out.a[kGrid][0] : out.a[kGrid][static_cast<size_t>(c.lastIndex)];
        EXPECT_EQ(end, B) << k.what;
        if (k.knockOut == 1) {
            EXPECT_EQ(out.a[kValue][k.L > 0.0 ? 0 : static_cast<size_t>(c.lastIndex)], 0.0) << k.what;
        }
        BarrierCall probe = c;
        probe.spot = k.probe;
        EXPECT_NEAR(c.at(out, kValue, k.probe), probe.exact(), 1e-3) << k.what;
    }
}

// ---- Discrete monitoring -----------------------------------------------------

double callPrice(double S, double K, double T, double r, double q, double sigma)
{
    return tarvic_test::blackScholes(true, S, K, T, r, q, sigma);
}

TEST(VelkBarrierOptionPricer, OneMonitoringDateMatchesItsClosedForm)
{
    // Only expiry is watched: the payoff is cut at the barrier(s).
    const double S = 100.0, T = 0.5, r = 0.08, q = 0.04, sigma = 0.25;
    const double v = sigma * std::sqrt(T);
    auto d2 = [&](double X) { return (std::log(S / X) + (r - q) * T) / v - 0.5 * v; };
    auto digitalAbove = [&](double X) { return std::exp(-r * T) * tarvic_test::normCdf(d2(X)); };
    struct Case {
        const char* what;
        double L, U, K;
        int32_t type;
        double exact;
    } cases[] = {
        // Down-and-out call struck below the barrier: C(B) + (B - K) e^(-rT) N(d2(B)).
        {"down-and-out call", 95.0, 0.0, 90.0, 0,
         callPrice(S, 95.0, T, r, q, sigma) + 5.0 * digitalAbove(95.0)},
        // Up-and-out put struck above the barrier: P(B) + (K - B) e^(-rT) N(-d2(B)).
        {"up-and-out put", 0.0, 105.0, 110.0, 1,
         tarvic_test::blackScholes(false, S, 105.0, T, r, q, sigma) +
             5.0 * (std::exp(-r * T) - digitalAbove(105.0))},
        // Double knock-out call: C(K) - C(U) - (U - K) e^(-rT) N(d2(U)).
        {"double knock-out call", 80.0, 120.0, 100.0, 0,
         callPrice(S, 100.0, T, r, q, sigma) - callPrice(S, 120.0, T, r, q, sigma) -
             20.0 * digitalAbove(120.0)},
    };
    for (const Case& k : cases) {
        for (int32_t nonUniform : {0, 65535}) {
            BarrierCall c = withBarriers(k.L, k.U, 1, k.type);
            c.strike = k.K;
            c.contMonitoring = 0;
            c.nonUniformGrid = nonUniform;
            CallerArrays out;
            ASSERT_EQ(c.run(out), "") << k.what;
            EXPECT_NEAR(c.at(out), k.exact, 1e-3) << k.what << " stretched " << nonUniform;
            // On the uniform grid the barriers are nodes; the stretched grid
            // may leave the second barrier of a double off its nodes, where
            // the cell average cuts the payoff just as well.
            for (double B : {k.L, k.U}) {
                if (B == 0.0 || nonUniform)
                    continue;
                const auto first = out.a[kGrid].begin();
                const auto it = std::lower_bound(first, first + c.lastIndex + 1, B - 1e-9);
                EXPECT_NEAR(*it, B, 1e-9) << k.what << " barrier " << B;
            }
        }
    }
}

TEST(VelkBarrierOptionPricer, MoreMonitoringDatesApproachTheContinuousBarrier)
{
    // With m dates a knock-out is worth about the continuous one with the
    // barrier moved away from the spot by exp(0.5826 sigma sqrt(T / m)).
    for (int32_t type : {0, 1}) {
        for (double H : {95.0, 105.0}) {
            BarrierCall c = withBarriers(H < 100.0 ? H : 0.0, H > 100.0 ? H : 0.0, 1, type);
            c.contMonitoring = 0;
            const double continuous = c.exact();
            double previous = std::numeric_limits<double>::infinity();
            for (int32_t m : {1, 2, 5, 10, 25, 50}) {
                c.numPeriods = m;
                const double value = c.solve();
                EXPECT_LT(value, previous) << "type " << type << " H " << H << " m " << m;
                EXPECT_GT(value, continuous) << "type " << type << " H " << H << " m " << m;
                previous = value;
            }
            const double shift = std::exp(0.5826 * 0.25 * std::sqrt(0.5 / 50));
            BarrierCall shifted = c;
            if (H < 100.0)
                shifted.lowerBarrier = H / shift;
            else
                shifted.upperBarrier = H * shift;
            EXPECT_NEAR(previous, shifted.exact(), 0.02) << "type " << type << " H " << H;
        }
    }
}

// ---- Theta and vega ----------------------------------------------------------

TEST(VelkBarrierOptionPricer, ThetaRules)
{
    auto allZero = [](const CallerArrays& out, int n) {
        for (int i = 0; i <= n; ++i)
            if (out.a[kTheta][static_cast<size_t>(i)] != 0.0)
                return false;
        return true;
    };
    // Continuous European: the solver's theta, per day.
    BarrierCall cont = withBarriers(95.0, 0.0, 1);
    CallerArrays a;
    ASSERT_EQ(cont.run(a), "");
    EXPECT_NEAR(cont.at(a, kTheta), cont.exactSensitivities().theta / 365.0, 5e-5);

    // Discrete monitoring, flag clear by its low byte too: zeros.
    for (int32_t flag : {0, 256}) {
        BarrierCall discrete = cont;
        discrete.contMonitoring = flag;
        discrete.numPeriods = 5;
        CallerArrays b;
        ASSERT_EQ(discrete.run(b), "");
        EXPECT_TRUE(allZero(b, discrete.lastIndex)) << flag;
        // The re-solved theta replaces them: a call loses value with time.
        discrete.calcTheta = 1;
        CallerArrays c;
        ASSERT_EQ(discrete.run(c), "");
        EXPECT_LT(discrete.at(c, kTheta), -1e-3) << flag;
    }

    // Bermudan with several periods: zeros; with one period: the solver's.
    BarrierCall bermudan = cont;
    bermudan.exerciseType = 2;
    bermudan.numPeriods = 4;
    CallerArrays d;
    ASSERT_EQ(bermudan.run(d), "");
    EXPECT_TRUE(allZero(d, bermudan.lastIndex));
    bermudan.numPeriods = 1;
    CallerArrays e;
    ASSERT_EQ(bermudan.run(e), "");
    EXPECT_FALSE(allZero(e, bermudan.lastIndex));
}

TEST(VelkBarrierOptionPricer, BumpedThetaAndVegaMatchTheClosedForm)
{
    // The knock-ins re-solve their vanilla companion with the bumped data.
    const BarrierCall contracts[] = {withBarriers(95.0, 0.0, 1), withBarriers(95.0, 0.0, 0, 1),
                                     withBarriers(0.0, 105.0, 0), withBarriers(0.0, 105.0, 1, 1),
                                     withBarriers(80.0, 120.0, 0)};
    for (BarrierCall c : contracts) {
        c.calcTheta = 1;
        c.calcVega = 65535;
        CallerArrays out;
        ASSERT_EQ(c.run(out), "");
        const tarvic::SpotSensitivities exact = c.exactSensitivities();
        EXPECT_NEAR(c.at(out, kTheta), exact.theta / 365.0, 1e-4)
            << c.lowerBarrier << "/" << c.upperBarrier << " ko " << c.knockOut;
        EXPECT_NEAR(c.at(out, kVega), exact.vega / 100.0, 1e-3)
            << c.lowerBarrier << "/" << c.upperBarrier << " ko " << c.knockOut;
    }
    // Without calcVega the vega array is left alone.
    BarrierCall plain = withBarriers(95.0, 0.0, 0);
    CallerArrays out;
    ASSERT_EQ(plain.run(out), "");
    EXPECT_TRUE(out.untouched(kVega));
}

// The grids of a knock-in reach further in steps of sigma^2 T (its own grid
// at 0.1007 for a down-and-in, the vanilla companion's at 0.1507): a bump
// across a step must not change the grid the bumped values come from.
// Reference: central differences of two independent runs whose bumps are
// too small to cross the step.
TEST(VelkBarrierOptionPricer, BumpsAcrossAGridStepMatchCentralDifferences)
{
    BarrierCall downIn = withBarriers(90.0, 0.0, 0, 1);
    downIn.expiry = 1.0;
    downIn.intRate = 0.05;
    downIn.divYield = 0.0;
    BarrierCall upIn = withBarriers(0.0, 110.0, 0, 0);
    upIn.expiry = 1.0;
    upIn.intRate = 0.05;
    upIn.divYield = 0.0;

    struct Scan {
        const char* what;
        BarrierCall contract;
        std::vector<double> sigmas;
    };
    // Half-way between points 3e-7 apart: no point lies within 1e-7 of the step.
    const auto around = [](double step) {
        std::vector<double> sigmas;
        for (int k = -3; k < 3; ++k)
            sigmas.push_back(std::sqrt(step) + k * 3e-7 + 1.5e-7);
        return sigmas;
    };
    const Scan scans[] = {
        {"reported down-and-in put", downIn, {0.31733063}},
        {"down-and-in put, its own step", downIn, around(0.1007)},
        {"down-and-in put, the companion's step", downIn, around(0.1507)},
        {"up-and-in call, the companion's step", upIn, around(0.1507)},
    };
    constexpr double d = 1e-7;
    for (const Scan& scan : scans) {
        for (double sigma : scan.sigmas) {
            BarrierCall c = scan.contract;
            c.volatility = sigma;
            c.calcTheta = 1;
            c.calcVega = 1;
            CallerArrays bumped;
            ASSERT_EQ(c.run(bumped), "");
            const int32_t n = c.lastIndex;

            // value(sigma + ds, T + dT) at the nodes, from a run of its own
            // on the same grid.
            const auto valuesAt = [&](double ds, double dT) {
                BarrierCall r = scan.contract;
                r.volatility = sigma + ds;
                r.expiry += dT;
                CallerArrays out;
                EXPECT_EQ(r.run(out), "");
                EXPECT_EQ(r.lastIndex, n) << scan.what;
                return out;
            };
            const CallerArrays up = valuesAt(d, 0.0), down = valuesAt(-d, 0.0);
            const CallerArrays later = valuesAt(0.0, d), sooner = valuesAt(0.0, -d);
            double worstVega = 0.0, worstTheta = 0.0;
            for (int32_t i = 0; i <= n; ++i) {
                const size_t k = static_cast<size_t>(i);
                const double vega = (up.a[kValue][k] - down.a[kValue][k]) / (2.0 * d) / 100.0;
                const double theta =
                    -(later.a[kValue][k] - sooner.a[kValue][k]) / (2.0 * d) / 365.0;
                worstVega = std::max(worstVega, std::fabs(bumped.a[kVega][k] - vega));
                worstTheta = std::max(worstTheta, std::fabs(bumped.a[kTheta][k] - theta));
            }
            EXPECT_LT(worstVega, 1e-3) << scan.what << ", sigma " << sigma;
            EXPECT_LT(worstTheta, 1e-4) << scan.what << ", sigma " << sigma;
            // Not the zeros of a lost bump: the put's vega at the spot.
            EXPECT_GT(c.at(bumped, kVega), 0.1) << scan.what << ", sigma " << sigma;
        }
    }
}

// The base solve and the bumped re-solves run side by side on copies of the
// contract: each copy solves exactly as a call of its own at the bumped
// data (the grids do not follow these bumps), on any number of threads.
TEST(VelkBarrierOptionPricer, SideBySideReSolvesKeepTheirBitsOnAnyThreadCount)
{
    BarrierCall downOut = withBarriers(95.0, 0.0, 1);
    BarrierCall doubleOut = withBarriers(80.0, 120.0, 1);
    BarrierCall downIn = withBarriers(95.0, 0.0, 0, 1);
    downIn.exerciseType = 1;
    BarrierCall doubleIn = withBarriers(80.0, 125.0, 0, 1);
    BarrierCall upIn = withBarriers(0.0, 120.0, 0);
    struct Case {
        const char* what;
        BarrierCall call;
    } cases[] = {{"down-and-out call", downOut},
                 {"double knock-out call", doubleOut},
                 {"American down-and-in put", downIn},
                 {"double knock-in put", doubleIn},
                 {"up-and-in call", upIn}};
    for (Case& c : cases) {
        // Large enough that the three solves are handed to several threads.
        c.call.assetSteps = 300;
        c.call.timeSteps = 300;
        tarvic_test::expectSideBySideReSolvesKeepTheirBits(
            c.call, c.what, [](const BarrierCall& run) { return run.lastIndex; });
    }
}

// ---- Limits and failures -----------------------------------------------------

TEST(VelkBarrierOptionPricer, GridBeyondTheArraysWritesOnlyTheNodeCount)
{
    // Discrete monitoring runs the grid far past the barrier.
    BarrierCall c = withBarriers(95.0, 0.0, 1);
    c.contMonitoring = 0;
    c.assetSteps = 20000;
    c.nonUniformGrid = 0;
    CallerArrays out;
    EXPECT_EQ(c.run(out), "");
    EXPECT_GT(c.lastIndex, 50000);
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(out.untouched(k)) << k;

    // Levels far beyond any grid: the count is reported, nothing built.
    for (BarrierCall far : {withBarriers(0.0, 1e300, 1), withBarriers(1.0, 1e300, 0)}) {
        CallerArrays none;
        EXPECT_EQ(far.run(none), "");
        EXPECT_GT(far.lastIndex, 50000);
        for (int k = 0; k < 6; ++k)
            EXPECT_TRUE(none.untouched(k)) << k;
    }
}

TEST(VelkBarrierOptionPricer, ExtremeButValidInputsEndWithinTheArrays)
{
    // Each either prices or fails with a text; none writes past its nodes.
    std::vector<BarrierCall> calls;
    {
        BarrierCall c = withBarriers(1e-300, 0.0, 1);
        c.contMonitoring = 0;
        calls.push_back(c);
    }
    {
        BarrierCall c = withBarriers(95.0, 0.0, 1);
        c.contMonitoring = 0;
        c.maxAsset = 1e300;
        calls.push_back(c);
    }
    {
        BarrierCall c = withBarriers(80.0, 120.0, 1);
        c.contMonitoring = 0;
        c.numPeriods = 1000;
        calls.push_back(c);
    }
    {
        BarrierCall c = withBarriers(0.0, 4000.0, 0);
        c.assetSteps = 1;
        calls.push_back(c);
    }
    {
        BarrierCall c = withBarriers(99.999, 100.001, 0, 1);
        c.volatility = 0.0;
        calls.push_back(c);
    }
    for (BarrierCall& c : calls) {
        CallerArrays out;
        const std::string text = c.run(out);
        if (!text.empty())
            continue;
        if (c.lastIndex > 50000) {
            for (int k = 0; k < 6; ++k)
                EXPECT_TRUE(out.untouched(k)) << k;
            continue;
        }
        for (int k = 0; k < 5; ++k)
            EXPECT_TRUE(out.untouched(k, static_cast<size_t>(c.lastIndex) + 1)) << k;
        for (int i = 0; i <= c.lastIndex; ++i)
            ASSERT_TRUE(std::isfinite(out.a[kValue][static_cast<size_t>(i)])) << i;
    }
}

TEST(VelkBarrierOptionPricer, HostileInputsFailWithATextAndTouchNoArray)
{
    struct Case {
        const char* what;
        std::function<void(BarrierCall&)> spoil;
        const char* text;  // the expected text, or nullptr for any text
    } cases[] = {
        {"knockOut 2", [](BarrierCall& c) { c.knockOut = 2; },
         "Invalid input: knockOut must be one of 0..1."},
        {"knockOut -1", [](BarrierCall& c) { c.knockOut = -1; }, nullptr},
        {"no barrier", [](BarrierCall& c) { c.lowerBarrier = c.upperBarrier = 0.0; },
         "Invalid input: at least one of lowerBarrier and upperBarrier must be greater than 0."},
        {"lower above upper", [](BarrierCall& c) { c.lowerBarrier = 120.0; c.upperBarrier = 80.0; },
         "Invalid input: upperBarrier must be above lowerBarrier."},
        {"lower equal to upper", [](BarrierCall& c) { c.lowerBarrier = c.upperBarrier = 100.0; },
         "Invalid input: upperBarrier must be above lowerBarrier."},
        {"negative lower barrier", [](BarrierCall& c) { c.lowerBarrier = -95.0; },
         "Invalid input: lowerBarrier must not be negative."},
        {"negative upper barrier", [](BarrierCall& c) { c.upperBarrier = -1.0; }, nullptr},
        {"NaN upper barrier", [](BarrierCall& c) { c.upperBarrier = std::nan(""); },
         "Invalid input: upperBarrier must be a finite number."},
        {"infinite lower barrier", [](BarrierCall& c) { c.lowerBarrier = INFINITY; }, nullptr},
        {"NaN spot", [](BarrierCall& c) { c.spot = std::nan(""); },
         "Invalid input: spot must be a finite number."},
        {"negative spot", [](BarrierCall& c) { c.spot = -100.0; },
         "Invalid input: spot must not be negative."},
        {"infinite spot of a knock-in", [](BarrierCall& c) { c.spot = INFINITY; c.knockOut = 0; },
         nullptr},
        {"optionType 2", [](BarrierCall& c) { c.optionType = 2; },
         "Invalid input: optionType must be one of 0..1."},
        {"exerciseType 3", [](BarrierCall& c) { c.exerciseType = 3; },
         "Invalid input: exerciseType must be one of 0..2."},
        {"exerciseType -1", [](BarrierCall& c) { c.exerciseType = -1; }, nullptr},
        {"discretization 3", [](BarrierCall& c) { c.discretization = 3; },
         "Invalid input: discretization must be one of 0..2."},
        {"American knock-in, amerSolver 3",
         [](BarrierCall& c) { c.knockOut = 0; c.exerciseType = 1; c.amerSolver = 3; },
         "Invalid input: amerSolver must be one of 0..2."},
        {"timeSteps 0", [](BarrierCall& c) { c.timeSteps = 0; },
         "Invalid input: timeSteps must be at least 2."},
        {"timeSteps -5 knock-in", [](BarrierCall& c) { c.timeSteps = -5; c.knockOut = 0; }, nullptr},
        {"assetSteps 0", [](BarrierCall& c) { c.assetSteps = 0; },
         "Invalid input: assetSteps must be at least 1."},
        {"assetSteps -1 knock-in", [](BarrierCall& c) { c.assetSteps = -1; c.knockOut = 0; },
         nullptr},
        {"expiry 0", [](BarrierCall& c) { c.expiry = 0.0; }, nullptr},
        {"NaN volatility", [](BarrierCall& c) { c.volatility = std::nan(""); }, nullptr},
        {"negative strike", [](BarrierCall& c) { c.strike = -100.0; }, nullptr},
        {"infinite rate", [](BarrierCall& c) { c.intRate = INFINITY; }, nullptr},
        {"NaN maxAsset", [](BarrierCall& c) { c.maxAsset = std::nan(""); }, nullptr},
        {"Bermudan periods overflow",
         [](BarrierCall& c) { c.exerciseType = 2; c.numPeriods = 1 << 30; }, nullptr},
    };
    for (const Case& k : cases) {
        for (bool doubleBarrier : {false, true}) {
            BarrierCall c = doubleBarrier ? withBarriers(80.0, 120.0, 1) : withBarriers(95.0, 0.0, 1);
            k.spoil(c);
            CallerArrays out;
            const std::string text = c.run(out);
            EXPECT_FALSE(text.empty()) << k.what;
            if (k.text && !doubleBarrier) {
                EXPECT_EQ(text, k.text) << k.what;
            }
            for (int a = 0; a < 6; ++a)
                EXPECT_TRUE(out.untouched(a)) << k.what << " array " << a;
        }
    }
}

TEST(VelkBarrierOptionPricer, NullArgumentsFail)
{
    std::vector<double> a(50001);
    int32_t steps = 100;
    TvString text = VelkBarrierOptionPricer(a.data(), a.data(), a.data(), a.data(), a.data(),
                                            a.data(), 100, 100, 95, 0, 1, 100, 0.5, 0.25, 0.08,
                                            0.04, nullptr, 0, 1, 0, 2, 2, 0, 0, 0, 1, 1);
    EXPECT_STREQ(text, "Invalid input: assetSteps must not be null.");
    tvFreeString(text);
    text = VelkBarrierOptionPricer(a.data(), nullptr, a.data(), a.data(), a.data(), a.data(), 100,
                                   100, 95, 0, 1, 100, 0.5, 0.25, 0.08, 0.04, &steps, 0, 1, 0, 2,
                                   2, 0, 0, 0, 1, 1);
    EXPECT_GT(tvStringByteLen(text), 0u);
    tvFreeString(text);
}

}  // namespace
