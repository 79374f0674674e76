// Floating-strike Asian puts through VelkAsianOptionPricer: a put is never
// worth less than 0, at any node, and at S = 0 it is worth the discounted
// average already fixed (nothing when none is settled); the value at the
// spot agrees with a grid twice as fine.

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tarvic/tarvic.h"

namespace {

struct FloatingPut {
    const char* what;
    int32_t exerciseType;  // 0 European, 1 American
    int32_t numFixings, numSettled;
    double settledAverage;
    double expiry, volatility;
    int32_t planeSpacing;
    int32_t nonUniformGrid;
};

struct Solved {
    std::string text;
    std::vector<double> grid, value;
};

Solved solve(const FloatingPut& k, int32_t steps)
{
    std::vector<double> a(6 * 50001, 0.0);
    int32_t n = steps;
    TvString text = VelkAsianOptionPricer(a.data(), a.data() + 50001, a.data() + 100002, a.data() + 150003,
                                          a.data() + 200004, a.data() + 250005, 100.0, 0.0, steps, k.expiry,
                                          k.volatility, 0.06, 0.03, &n, k.planeSpacing, k.numFixings,
                                          k.numSettled, k.settledAverage, 0.1, 1, k.exerciseType, 2, 2, 2, 0.0,
                                          0, 0, k.nonUniformGrid, 0);
    Solved s;
    s.text.assign(text, tvStringByteLen(text));
    tvFreeString(text);
    if (s.text.empty() && n >= 1) {
        s.grid.assign(a.begin(), a.begin() + n + 1);
        s.value.assign(a.begin() + 50001, a.begin() + 50001 + n + 1);
    }
    return s;
}

double valueAt(const Solved& s, double S)
{
    for (size_t i = 0; i + 1 < s.grid.size(); ++i)
        if (s.grid[i] <= S && S <= s.grid[i + 1]) {
            const double w = (S - s.grid[i]) / (s.grid[i + 1] - s.grid[i]);
            return (1.0 - w) * s.value[i] + w * s.value[i + 1];
        }
    return NAN;
}

TEST(FloatingStrikeAsianPut, NeverBelowZeroAndTheSpotValueConverges)
{
    const FloatingPut cases[] = {
        {"European, none settled, sigma 0.4, one plane a node", 0, 5, 0, 0.0, 1.0, 0.4, 1, 65535},
        {"European, none settled, sigma 0.2, T 3", 0, 10, 0, 0.0, 3.0, 0.2, 1, 65535},
        {"European, none settled, uniform grid", 0, 5, 0, 0.0, 1.0, 0.4, 1, 0},
        {"European, none settled, spacing 4", 0, 10, 0, 0.0, 1.0, 0.4, 4, 65535},
        {"European, 2 of 5 settled at 98", 0, 5, 2, 98.0, 1.0, 0.4, 1, 65535},
        {"American, none settled, sigma 0.4", 1, 5, 0, 0.0, 1.0, 0.4, 1, 65535},
        {"American, none settled, uniform grid", 1, 10, 0, 0.0, 1.0, 0.4, 2, 0},
        {"American, 3 of 10 settled at 105", 1, 10, 3, 105.0, 1.0, 0.4, 1, 65535},
    };
    for (const FloatingPut& k : cases) {
        const Solved coarse = solve(k, 60);
        const Solved fine = solve(k, 120);
        ASSERT_EQ(coarse.text, "") << k.what;
        ASSERT_EQ(fine.text, "") << k.what;
        for (const Solved* s : {&coarse, &fine})
            for (size_t i = 0; i < s->value.size(); ++i)
                EXPECT_GE(s->value[i], 0.0) << k.what << ": node " << i << " at S = " << s->grid[i];
        // At S = 0 the asset stays at 0: a European is worth the settled
        // part of the average, discounted.
        if (k.exerciseType == 0) {
            const double atZero = std::exp(-0.06 * k.expiry) * k.numSettled * k.settledAverage / k.numFixings;
            EXPECT_NEAR(coarse.value[0], atZero, 1e-9 + 1e-9 * atZero) << k.what;
        }
        const double spotCoarse = valueAt(coarse, 100.0);
        const double spotFine = valueAt(fine, 100.0);
        EXPECT_NEAR(spotCoarse, spotFine, 0.01 * spotFine) << k.what;
    }
}

}  // namespace
