/* Prices the European call S = K = 100, volatility 0.2, r 0.05, q 0, T 1
 * year by a closed form, by finite differences and by Monte Carlo, and
 * checks each against Black-Scholes (10.4506). Build against an install:
 *
 *   cc price_call.c -I PREFIX/include -L PREFIX/lib -Wl,-rpath,PREFIX/lib -ltarvic -lm
 *
 * Exit status 0 when all three priced and agreed. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "tarvic/tarvic.h"

/* Prints a failure text; returns 1 for a failure, 0 for success (an empty
 * text). Every text is freed with tvFreeString, success or not. */
static int failed(const char* what, TvString text)
{
    const uint32_t length = tvStringByteLen(text);
    if (length > 0)
        printf("%s failed: %.*s\n", what, (int)length, text);
    tvFreeString(text);
    return length > 0;
}

/* The value at x read off the nodes grid[0..n] as the header describes: in
 * the interval [grid[i], grid[i+1]] that holds x, the cubic through the
 * nodes i-1 .. i+2, or the straight line in the first two and the last two
 * intervals. x must lie in [grid[0], grid[n]]. */
static double valueAt(const double* grid, const double* value, int32_t n, double x)
{
    int32_t i = 0;
    while (i + 1 < n && grid[i + 1] < x)
        ++i;
    if (i < 2 || i > n - 3) {
        const double w = (x - grid[i]) / (grid[i + 1] - grid[i]);
        return (1.0 - w) * value[i] + w * value[i + 1];
    }
    double sum = 0.0;
    for (int32_t j = i - 1; j <= i + 2; ++j) {
        double weight = 1.0;
        for (int32_t m = i - 1; m <= i + 2; ++m)
            if (m != j)
                weight *= (x - grid[m]) / (grid[j] - grid[m]);
        sum += weight * value[j];
    }
    return sum;
}

int main(void)
{
    const double S = 100.0, K = 100.0, sigma = 0.2, r = 0.05, q = 0.0, T = 1.0;
    const double exact = 10.450584;
    enum { kEntries = TV_MAX_NODE_INDEX + 1 };
    /* Six arrays of 50001 entries each, for the solvers to write into: the
     * finite-difference solver writes entries 0..n of each, n the node
     * count it writes back (at most 50000), and the Monte Carlo solver one
     * entry per row (at most 512). */
    double* a = (double*)calloc(6u * kEntries, sizeof(double));
    if (!a)
        return 3;
    double* grid = a;
    double* value = a + kEntries;
    double* delta = a + 2 * kEntries;
    double* gamma = a + 3 * kEntries;
    double* theta = a + 4 * kEntries;
    double* vega = a + 5 * kEntries;
    int bad = 0;

    /* Closed form: note the order intRate, divYield, volatility, expiry. */
    double v = 0.0, d = 0.0, g = 0.0, th = 0.0, ve = 0.0;
    VanillaBS(&v, &d, &g, &th, &ve, S, K, r, q, sigma, T, 0);
    printf("closed form        %.5f\n", v);
    bad |= fabs(v - exact) > 1e-4;

    /* Finite differences: here expiry, volatility, intRate, divYield. The
     * grid has no spot: the value at S is read off the nodes around it. */
    int32_t steps = 200; /* in: asset steps to the strike; out: last node */
    TvString text = VelkOptionPricer(grid, value, delta, gamma, theta, vega, K, 200, T, sigma, r, q,
                                     &steps, /*optionType*/ 0, /*exerciseType*/ 0,
                                     /*discretization*/ 2, /*amerSolver*/ 0, /*maxAsset*/ 0.0,
                                     /*calcTheta*/ 0, /*calcVega*/ 0, /*nonUniformGrid*/ 0,
                                     /*numPeriods*/ 1);
    if (steps > TV_MAX_NODE_INDEX) {
        printf("finite differences: %d nodes is more than the arrays hold\n", (int)steps + 1);
        bad = 1;
        tvFreeString(text);
    } else if (failed("finite differences", text)) {
        bad = 1;
    } else {
        const double fd = valueAt(grid, value, steps, S);
        printf("finite differences %.5f\n", fd);
        bad |= fabs(fd - exact) > 2e-4;
    }

    /* Monte Carlo on 2^16 Sobol points, one exact step: the last row is the
     * estimate after all paths. */
    int32_t rows = 0;
    text = VelkOptionPricerMC(value, NULL, NULL, NULL, NULL, &rows, S, K, /*lowerBarrier*/ 0.0,
                              /*upperBarrier*/ 0.0, T, sigma, r, q, /*numSteps*/ 1,
                              /*optionType*/ 0, /*exerciseType*/ 0, /*knockOut*/ 1,
                              /*contMonitoring*/ 0, /*numPaths: 2^16*/ 16, /*numLSPaths*/ 10,
                              /*numBasisFunctions*/ 3, /*greeksCode*/ 0, /*greeksMethod*/ 0,
                              /*timeMarching: exact*/ 1, /*antithetic*/ 0, /*useSobol*/ 1,
                              /*warmUpSobol*/ 0, /*brownianBridge*/ 0, /*multiThreaded*/ 1,
                              /*fewSobolBlocks*/ 0);
    if (failed("Monte Carlo", text) || rows < 1) {
        bad = 1;
    } else {
        printf("Monte Carlo        %.5f\n", value[rows - 1]);
        bad |= fabs(value[rows - 1] - exact) > 0.05;
    }

    free(a);
    return bad ? 1 : 0;
}
