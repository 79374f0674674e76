#include "pde/fd_frame.h"

#include <vector>

#include "common/require.h"

namespace tarvic {

void checkNodeArrays(const NodeArrays& out, const int32_t* assetSteps)
{
    if (!out.assetGrid || !out.optionValue || !out.delta || !out.gamma || !out.theta || !out.vega)
        fail("Invalid input: the result arrays must not be null.");
    if (!assetSteps)
        fail("Invalid input: assetSteps must not be null.");
}

namespace {

struct Solution {
    std::vector<double> grid, value, delta, gamma, theta;
};

Solution solve(DornTechOption& option)
{
    Solution s;
    option.price(s.grid, s.value, s.delta, s.gamma, s.theta);
    return s;
}

void copyNodes(const std::vector<double>& from, double* to, int32_t n)
{
    for (int32_t i = 0; i <= n; ++i)
        to[i] = from[static_cast<size_t>(i)];
}

void fillZeros(double* to, int32_t n)
{
    for (int32_t i = 0; i <= n; ++i)
        to[i] = 0.0;
}

}  // namespace

void runFiniteDifferenceFrame(DornTechOption& option, const NodeArrays& out,
                              int32_t* lastIndexOut, const FrameRules& rules)
{
    const int32_t n = option.lastNodeIndex();
    *lastIndexOut = n;
    if (n > kMaxNodeIndex || n < 0)
        return;

    const Solution base = solve(option);
    copyNodes(base.grid, out.assetGrid, n);
    copyNodes(base.value, out.optionValue, n);
    copyNodes(base.delta, out.delta, n);
    copyNodes(base.gamma, out.gamma, n);
    if (rules.zeroSolverTheta)
        fillZeros(out.theta, n);
    else
        copyNodes(base.theta, out.theta, n);

    const double T = option.expiry;
    const double sigma = option.volatility;

    if (rules.calcTheta) {
        option.resolving = true;
        option.expiry = T * 1.00001;
        const Solution bumped = solve(option);
        if (option.lastNodeIndex() == n) {
            const double h = T * 1e-5;
            for (int32_t i = 0; i <= n; ++i)
                out.theta[i] = (base.value[static_cast<size_t>(i)] -
                                bumped.value[static_cast<size_t>(i)]) / h / 365.0;
        } else {
            fillZeros(out.theta, n);
        }
    }

    if (rules.calcVega) {
        option.expiry = T;
        option.resolving = true;
        option.volatility = sigma + 1e-5;
        const Solution bumped = solve(option);
        if (option.lastNodeIndex() == n) {
            for (int32_t i = 0; i <= n; ++i)
                out.vega[i] = (bumped.value[static_cast<size_t>(i)] -
                               base.value[static_cast<size_t>(i)]) / 1e-5 / 100.0;
        } else {
            fillZeros(out.vega, n);
        }
    }
}

}  // namespace tarvic
