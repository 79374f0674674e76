// The closed-form exports as a caller sees them, through libtarvic.so.

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tarvic/tarvic.h"

namespace {

struct Outputs {
    double value = -7, delta = -7, gamma = -7, theta = -7, vega = -7;
};

struct Market {
    double S, K, r, q, sigma, T;
};

Outputs vanilla(const Market& m, int32_t type)
{
    Outputs o;
    EXPECT_EQ(VanillaBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, m.S, m.K, m.r, m.q,
                        m.sigma, m.T, type),
              1.0);
    return o;
}

double vanillaValue(Market m) { return vanilla(m, 0).value; }

TEST(VanillaBSExport, PublishedValuesAndParity)
{
    EXPECT_NEAR(vanilla({60, 65, 0.08, 0.0, 0.3, 0.25}, 0).value, 2.1334, 5e-5);
    EXPECT_NEAR(vanilla({100, 95, 0.1, 0.05, 0.2, 0.5}, 1).value, 2.4648, 5e-5);
    for (const Market& m : {Market{60, 65, 0.08, 0.0, 0.3, 0.25}, Market{100, 95, 0.1, 0.05, 0.2, 0.5},
                            Market{140, 100, 0.03, 0.07, 0.45, 2.0}}) {
        const Outputs call = vanilla(m, 0), put = vanilla(m, 1);
        EXPECT_NEAR(call.value - put.value, m.S * std::exp(-m.q * m.T) - m.K * std::exp(-m.r * m.T),
                    1e-12);
        EXPECT_NEAR(call.delta - put.delta, std::exp(-m.q * m.T), 1e-15);
        EXPECT_DOUBLE_EQ(call.gamma, put.gamma);
        EXPECT_DOUBLE_EQ(call.vega, put.vega);
    }
}

TEST(VanillaBSExport, GreeksMatchDifferencesOfTheValue)
{
    const Market markets[] = {{60, 65, 0.08, 0.0, 0.3, 0.25},
                              {100, 95, 0.1, 0.05, 0.2, 0.5},
                              {100, 130, 0.02, 0.06, 0.5, 1.5}};
    for (const Market& m : markets)
        for (int32_t type : {0, 1}) {
            auto value = [&](Market x) { return vanilla(x, type).value; };
            const Outputs o = vanilla(m, type);
            const double hS = 1e-3 * m.S, hT = 1e-5, hv = 1e-5;
            Market up = m, down = m;
            up.S += 0.01 * hS, down.S -= 0.01 * hS;
            EXPECT_NEAR(o.delta, (value(up) - value(down)) / (0.02 * hS), 1e-8);
            up = m, down = m;
            up.S += hS, down.S -= hS;
            EXPECT_NEAR(o.gamma, (value(up) - 2 * o.value + value(down)) / (hS * hS), 1e-6);
            up = m, down = m;
            up.T += hT, down.T -= hT;
            // Theta is the change as time passes: minus the change with expiry.
            EXPECT_NEAR(o.theta, -(value(up) - value(down)) / (2 * hT), 1e-6);
            up = m, down = m;
            up.sigma += hv, down.sigma -= hv;
            EXPECT_NEAR(o.vega, (value(up) - value(down)) / (2 * hv), 1e-6);
        }
}

TEST(VanillaBSExport, ZeroVolatilityDeepInTheMoney)
{
    const Market m{100, 80, 0.05, 0.02, 0.0, 1.0};
    EXPECT_NEAR(vanillaValue(m), 100 * std::exp(-0.02) - 80 * std::exp(-0.05), 1e-12);
}

Outputs barrier(const Market& m, double L, double U, int32_t knockOut, int32_t type)
{
    Outputs o;
    EXPECT_EQ(BarrierBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, m.S, m.K, m.r, m.q,
                        m.sigma, m.T, L, U, knockOut, type),
              1.0);
    return o;
}

TEST(BarrierBSExport, ValuesAndDifferencedGreeks)
{
    const Market m{100, 100, 0.1, 0.0, 0.25, 0.25};
    EXPECT_NEAR(barrier(m, 80, 120, 1, 0).value, 2.6387, 5e-5);
    EXPECT_NEAR(barrier(m, 80, 120, 1, 1).value, 2.6866, 5e-5);

    // Independent differences with their own steps agree with the export's.
    const Market classic{100, 100, 0.08, 0.04, 0.25, 0.5};
    for (int32_t knockOut : {0, 1})
        for (int32_t type : {0, 1}) {
            const Outputs o = barrier(classic, 95, 0, knockOut, type);
            auto value = [&](Market x) { return barrier(x, 95, 0, knockOut, type).value; };
            Market up = classic, down = classic;
            up.S += 0.01, down.S -= 0.01;
            EXPECT_NEAR(o.delta, (value(up) - value(down)) / 0.02, 1e-5);
            EXPECT_NEAR(o.gamma, (value(up) - 2 * o.value + value(down)) / 1e-4, 1e-4);
            up = classic, down = classic;
            up.T += 1e-4, down.T -= 1e-4;
            EXPECT_NEAR(o.theta, -(value(up) - value(down)) / 2e-4, 1e-5);
            up = classic, down = classic;
            up.sigma += 1e-4, down.sigma -= 1e-4;
            EXPECT_NEAR(o.vega, (value(up) - value(down)) / 2e-4, 1e-5);
        }
}

TEST(BarrierBSExport, KnockInPastTheBarrierIsTheVanilla)
{
    const Market m{90, 90, 0.08, 0.04, 0.25, 0.5};
    EXPECT_NEAR(barrier(m, 95, 0, 0, 0).value, vanilla(m, 0).value, 1e-12);
    EXPECT_EQ(barrier(m, 95, 0, 1, 0).value, 0.0);
    EXPECT_NEAR(barrier(m, 95, 100, 0, 0).value, vanilla(m, 0).value, 1e-12);
    EXPECT_EQ(barrier(m, 95, 100, 1, 1).value, 0.0);
}

TEST(BarrierBSExport, UnpricedContractIsMarkedButTheCallSucceeds)
{
    const Market m{100, 100, 0.08, 0.04, 0.25, 0.5};
    EXPECT_EQ(barrier(m, 95, 0, 3, 0).value, -1.0);
    const Market lowStrike{100, 70, 0.08, 0.04, 0.25, 0.5};
    EXPECT_EQ(barrier(lowStrike, 80, 120, 1, 0).value, -1.0);
    EXPECT_EQ(barrier(lowStrike, 80, 120, 0, 0).value, -1.0);
}

TEST(ClosedFormExports, NullOutputsAreRefused)
{
    double value = -7;
    EXPECT_EQ(VanillaBS(&value, nullptr, &value, &value, &value, 100, 100, 0.05, 0, 0.2, 1, 0), 0.0);
    EXPECT_EQ(BarrierBS(nullptr, &value, &value, &value, &value, 100, 100, 0.05, 0, 0.2, 1, 90, 0,
                        1, 0),
              0.0);
    EXPECT_EQ(value, -7);
    double grid[2] = {90, 100};
    EXPECT_EQ(VanillaBSGrid(grid, nullptr, 100, 0.05, 0, 0.2, 1, 0, 1), 0.0);
    EXPECT_EQ(BarrierBSGrid(nullptr, grid, 100, 0.05, 0, 0.2, 1, 90, 0, 1, 0, 1), 0.0);
    EXPECT_EQ(grid[0], 90);
}

TEST(ClosedFormExports, NonFiniteInputsAreRefusedAndWriteNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {nan, inf, -inf}) {
        Outputs o;
        EXPECT_EQ(VanillaBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, x, x, x, x, x, x, 0), 0.0);
        EXPECT_EQ(BarrierBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, 100, 100, 0.05, 0,
                            0.2, 1, x, 120, 1, 0),
                  0.0);
        EXPECT_EQ(BarrierBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, x, x, x, x, x, x, 80,
                            120, 0, 1),
                  0.0);
        for (double written : {o.value, o.delta, o.gamma, o.theta, o.vega})
            EXPECT_EQ(written, -7.0);
    }
}

struct CallerArrays {
    static constexpr int kSize = TV_MAX_NODE_INDEX + 1;
    static constexpr int kGuard = 64;
    static constexpr double kUntouched = -12345.0;
    std::vector<double> grid, exact;
    CallerArrays() : grid(kSize + kGuard), exact(kSize + kGuard, kUntouched)
    {
        for (int i = 0; i < kSize + kGuard; ++i)
            grid[i] = 0.005 * i;
    }
    int written() const
    {
        int count = 0;
        for (double x : exact)
            count += x != kUntouched;
        return count;
    }
};

double vanillaGrid(CallerArrays& a, int32_t lastIndex)
{
    return VanillaBSGrid(a.grid.data(), a.exact.data(), 100, 0.05, 0.02, 0.3, 1.0, 0, lastIndex);
}

double barrierGrid(CallerArrays& a, int32_t lastIndex)
{
    return BarrierBSGrid(a.grid.data(), a.exact.data(), 100, 0.05, 0.02, 0.3, 1.0, 80, 0, 1, 1,
                         lastIndex);
}

TEST(GridExports, ValuesAtEachNode)
{
    CallerArrays a;
    ASSERT_EQ(vanillaGrid(a, 40000), 1.0);
    EXPECT_EQ(a.written(), 40001);
    for (int i : {0, 1, 16000, 20000, 40000}) {
        Outputs o;
        VanillaBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, a.grid[i], 100, 0.05, 0.02, 0.3,
                  1.0, 0);
        EXPECT_NEAR(a.exact[i], o.value, 1e-12 * std::max(1.0, o.value)) << i;
    }
    CallerArrays b;
    ASSERT_EQ(barrierGrid(b, 40000), 1.0);
    // Down-and-out put: 0 at and below the barrier, the series value above it.
    for (int i : {0, 8000, 15999})
        EXPECT_EQ(b.exact[i], 0.0) << i;
    Outputs o;
    BarrierBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, b.grid[20000], 100, 0.05, 0.02,
              0.3, 1.0, 80, 0, 1, 1);
    EXPECT_EQ(b.exact[20000], o.value);
    EXPECT_GT(o.value, 0.0);
}

TEST(GridExports, LastIndexBounds)
{
    using GridCall = double (*)(CallerArrays&, int32_t);
    for (GridCall call : {GridCall(vanillaGrid), GridCall(barrierGrid)}) {
        CallerArrays a;
        EXPECT_EQ(call(a, -1), 1.0);
        EXPECT_EQ(call(a, INT32_MIN), 1.0);
        EXPECT_EQ(a.written(), 0);

        EXPECT_EQ(call(a, 50001), 0.0);
        EXPECT_EQ(call(a, INT32_MAX), 0.0);
        EXPECT_EQ(a.written(), 0);

        EXPECT_EQ(call(a, 50000), 1.0);
        EXPECT_EQ(a.written(), 50001);
        EXPECT_EQ(a.exact[50001], CallerArrays::kUntouched);
    }
}

}  // namespace
