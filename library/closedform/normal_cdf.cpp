#include <cmath>
#include <cstdint>

#include "closedform/closed_form.h"

namespace tarvic {

namespace {

// Beyond this |x| the tail is below the smallest normal double's neighbourhood
// that matters here and is taken as 0.
constexpr double kTailCutoff = 37.0;
// Below this |x| the rational approximation holds; above it the continued fraction.
constexpr double kRationalLimit = 7.07106781186547;

// Upper tail 1 - N(a) for a >= 0 by Hart's rational approximation.
double rationalTail(double a, double gauss)
{
    const double p = ((((((0.0352624965998911 * a + 0.700383064443688) * a + 6.37396220353165) * a +
                         33.912866078383) * a + 112.079291497871) * a + 221.213596169931) * a +
                      220.206867912376);
    const double q = (((((((0.0883883476483184 * a + 1.75566716318264) * a + 16.064177579207) * a +
                          86.7807322029461) * a + 296.564248779674) * a + 637.333633378831) * a +
                       793.826512519948) * a + 440.413735824752);
    return gauss * p / q;
}

// Upper tail for large a by a continued fraction of Mills' ratio.
double continuedFractionTail(double a, double gauss)
{
    return gauss / (2.506628274631 * (a + 1.0 / (a + 2.0 / (a + 3.0 / (a + 4.0 / (a + 0.65))))));
}

}  // namespace

double normalCdf(double x)
{
    const double a = std::fabs(x);
    double tail = 0.0;
    if (!(a > kTailCutoff)) {
        const double gauss = std::exp(-0.5 * a * a);
        tail = a < kRationalLimit ? rationalTail(a, gauss) : continuedFractionTail(a, gauss);
    }
    return x > 0.0 ? 1.0 - tail : tail;
}

double normalPdf(double x)
{
    return std::exp(-0.5 * x * x) / std::sqrt(6.283185307179586);
}

double intPow(double x, int32_t n)
{
    // |n| as unsigned, so that the most negative n does not overflow.
    uint32_t bits = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
    double result = 1.0;
    double square = x;
    while (bits != 0u) {
        if (bits & 1u)
            result *= square;
        square *= square;
        bits >>= 1;
    }
    return n < 0 ? 1.0 / result : result;
}

}  // namespace tarvic
