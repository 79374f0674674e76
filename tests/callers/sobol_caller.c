/* A caller of libtarvic built and run away from the library's folder: it
 * prices a European call with Sobol points, which needs the direction-number
 * file that ships with the library, and checks the value against
 * Black-Scholes. Exit status 0 when it priced and agreed. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "tarvic/tarvic.h"

static double normCdf(double x) { return 0.5 * erfc(-x / sqrt(2.0)); }

int main(void)
{
    const double S = 100.0, K = 100.0, T = 1.0, sigma = 0.25, r = 0.05, q = 0.02;
    enum { kRows = TV_MAX_NODE_INDEX + 1 };
    double* arrays = (double*)calloc(5u * kRows, sizeof(double));
    if (!arrays)
        return 3;
    int32_t rows = 0;
    /* 2^14 Sobol points, one exact step, no Greeks. */
    TvString text = VelkOptionPricerMC(arrays, arrays + kRows, arrays + 2 * kRows,
                                       arrays + 3 * kRows, arrays + 4 * kRows, &rows, S, K, 0.0,
                                       0.0, T, sigma, r, q, 1, 0, 0, 1, 0, 14, 10, 3, 0, 0, 1, 0,
                                       1, 0, 0, 1, 0);
    const uint32_t length = tvStringByteLen(text);
    if (!text || length > 0) {
        printf("failed: %.*s\n", (int)length, text ? text : "(no text)");
        tvFreeString(text);
        free(arrays);
        return 1;
    }
    tvFreeString(text);

    const double v = sigma * sqrt(T);
    const double d1 = (log(S / K) + (r - q) * T) / v + 0.5 * v;
    const double exact = S * exp(-q * T) * normCdf(d1) - K * exp(-r * T) * normCdf(d1 - v);
    const double value = rows > 0 ? arrays[rows - 1] : NAN;
    printf("Sobol value %.6f, Black-Scholes %.6f, %d rows\n", value, exact, (int)rows);
    free(arrays);
    return rows > 0 && fabs(value - exact) < 0.02 ? 0 : 2;
}
