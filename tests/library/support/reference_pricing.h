#pragma once

// Independent references for the tests: Black–Scholes with a continuous
// dividend yield through std::erfc, and interpolation in node values.

#include <cmath>
#include <vector>

namespace tarvic_test {

inline double normCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// European call (isCall) or put.
inline double blackScholes(bool isCall, double S, double K, double T, double r, double q,
                           double sigma)
{
    const double v = sigma * std::sqrt(T);
    const double d1 = (std::log(S / K) + (r - q) * T) / v + 0.5 * v;
    const double d2 = d1 - v;
    const double ds = S * std::exp(-q * T);
    const double dk = K * std::exp(-r * T);
    return isCall ? ds * normCdf(d1) - dk * normCdf(d2) : dk * normCdf(-d2) - ds * normCdf(-d1);
}

// Quadratic interpolation through the three nodes nearest to s.
inline double interpolateNodes(const std::vector<double>& grid, const std::vector<double>& value,
                               int lastIndex, double s)
{
    int i = 0;
    while (i + 1 < lastIndex && grid[static_cast<size_t>(i + 1)] < s)
        ++i;
    int j = i;
    if (j > 0 && s - grid[static_cast<size_t>(i)] < grid[static_cast<size_t>(i + 1)] - s)
        j = i - 1;
    if (j + 2 > lastIndex)
        j = lastIndex - 2;
    const double x0 = grid[static_cast<size_t>(j)], x1 = grid[static_cast<size_t>(j + 1)],
                 x2 = grid[static_cast<size_t>(j + 2)];
    return value[static_cast<size_t>(j)] * (s - x1) * (s - x2) / ((x0 - x1) * (x0 - x2)) +
           value[static_cast<size_t>(j + 1)] * (s - x0) * (s - x2) / ((x1 - x0) * (x1 - x2)) +
           value[static_cast<size_t>(j + 2)] * (s - x0) * (s - x1) / ((x2 - x0) * (x2 - x1));
}

}  // namespace tarvic_test
