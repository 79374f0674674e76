#pragma once

// The value of a finite-difference solution at a level S, read the way the
// program and the library's header read it: a node's own value on a node;
// in [x_i, x_i+1] the cubic through x_i-1 .. x_i+2, a straight line in the
// first two and last two intervals; beyond the ends the end interval's
// line. Header-only, so that programs that load the library by path and
// see only its C interface (the benchmarks) read a solution as it does.

#include <algorithm>

namespace tarvic {

inline double cubicSolutionAt(const double* x, const double* f, int count, double S)
{
    const int N = count - 1;
    const double* above = std::upper_bound(x, x + count, S);
    int i = static_cast<int>(above - x) - 1;
    if (i >= 0 && x[i] == S)
        return f[i];
    i = std::min(std::max(i, 0), N - 1);
    if (i < 2 || i > N - 2) {
        const double w = (S - x[i]) / (x[i + 1] - x[i]);
        return (1.0 - w) * f[i] + w * f[i + 1];
    }
    double sum = 0.0;
    for (int k = i - 1; k <= i + 2; ++k) {
        double term = f[k];
        for (int m = i - 1; m <= i + 2; ++m)
            if (m != k)
                term *= (S - x[m]) / (x[k] - x[m]);
        sum += term;
    }
    return sum;
}

}  // namespace tarvic
