#include <algorithm>
#include <cmath>

#include "closedform/closed_form.h"

namespace tarvic {

namespace {

// The image series is summed over n = 0, ±1, ±2, ... . Terms n = -5..5 are
// always taken; beyond them pairs ±n are added until they fall below
// kNegligible of the largest term seen. Their size falls like
// exp(-2 n² ln(U/L)² / (sigma² T)), so a corridor narrow against sigma·√T
// needs many of them; kMaxSeriesTerms bounds the work.
constexpr int32_t kSeriesTerms = 5;
constexpr int32_t kMaxSeriesTerms = 2000;
constexpr double kNegligible = 1e-18;

// ln N(x), without underflow far in the lower tail.
double logNormalCdf(double x)
{
    if (x > -7.0)
        return x > 0.0 ? std::log1p(-normalCdf(-x)) : std::log(normalCdf(x));
    // Mills' ratio by its continued fraction: N(x) = φ(x) / (a + 1/(a + 2/(a + ...))), a = -x.
    const double a = -x;
    const double mills = a + 1.0 / (a + 2.0 / (a + 3.0 / (a + 4.0 / (a + 5.0 / (a + 6.0 / (a + 0.65))))));
    return -0.5 * a * a - std::log(2.5066282746310002 * mills);
}

// ln(N(hi) - N(lo)) for hi >= lo, taken in the tail where both values are
// small, so that neither difference of numbers near 1 nor underflow loses it.
// Gives -infinity when the difference is 0.
double logNormalCdfDifference(double hi, double lo)
{
    if (!(hi > lo))
        return -HUGE_VAL;
    if (lo >= 0.0) {  // N(hi) - N(lo) = N(-lo) - N(-hi)
        const double upper = -lo;
        lo = -hi;
        hi = upper;
    }
    if (hi <= 0.0) {
        const double logHi = logNormalCdf(hi);
        return logHi + std::log1p(-std::exp(logNormalCdf(lo) - logHi));
    }
    // lo < 0 < hi: both tails below one half, nothing cancels.
    return std::log1p(-(normalCdf(-hi) + normalCdf(lo)));
}

// weight · (N(hi) - N(lo)) with weight = e^logWeight, formed in logarithms
// so that a huge weight on a tiny difference neither overflows nor cancels.
double weighted(double logWeight, double hi, double lo)
{
    const double logDifference = logNormalCdfDifference(hi, lo);
    return logDifference == -HUGE_VAL ? 0.0 : std::exp(logWeight + logDifference);
}

// Knock-out value by the Ikeda–Kunitomo series, spot strictly inside the
// corridor and strike inside [L, U].
double knockOutSeries(double S, double K, double L, double U, double T, double r, double b,
                      double sigma, double curvatureUpper, double curvatureLower, bool call)
{
    const double F = U * std::exp(curvatureUpper * T);  // upper barrier at expiry
    const double E = L * std::exp(curvatureLower * T);  // lower barrier at expiry
    const double v = sigma * std::sqrt(T);
    const double variance = sigma * sigma;
    const double m = (b + 0.5 * variance) * T;
    const double curvatureSpread = curvatureUpper - curvatureLower;
    // The payoff is paid between these two terminal levels.
    const double low = call ? K : E;
    const double high = call ? F : K;

    const double logCorridor = std::log(U / L);  // ln(U/L)
    const double logLowerToSpot = std::log(L / S);
    const double logSpotToLow = std::log(S / low);
    const double logSpotToHigh = std::log(S / high);
    const double logLowerToLow = std::log(L / low);
    const double logLowerToHigh = std::log(L / high);

    double assetSum = 0.0;   // terms multiplying S·e^((b-r)T)
    double strikeSum = 0.0;  // terms multiplying K·e^(-rT)
    double largest = 0.0;    // largest term so far
    // Adds term n to both sums; returns its largest part.
    auto addTerm = [&](int32_t n) {
        const double mu1 = 2.0 * (b - curvatureLower - n * curvatureSpread) / variance + 1.0;
        const double mu2 = 2.0 * n * curvatureSpread / variance;
        const double mu3 = 2.0 * (b - curvatureLower + n * curvatureSpread) / variance + 1.0;

        const double logPower = n * logCorridor;                 // ln(U^n / L^n)
        const double logImage = logLowerToSpot - logPower;       // ln(L^(n+1) / (U^n·S))
        const double logCurvatureWeight = mu2 * logLowerToSpot;  // ln((L/S)^mu2)

        const double logA = mu1 * logPower + logCurvatureWeight;
        const double logB = mu3 * logImage;
        const double logAk = (mu1 - 2.0) * logPower + logCurvatureWeight;
        const double logBk = (mu3 - 2.0) * logImage;

        // ln(S·U^2n/(X·L^2n)) and ln(L^(2n+2)/(X·S·U^2n)) for X = low, high.
        const double d1 = (logSpotToLow + 2.0 * logPower + m) / v;
        const double d2 = (logSpotToHigh + 2.0 * logPower + m) / v;
        const double d3 = (logLowerToLow + logLowerToSpot - 2.0 * logPower + m) / v;
        const double d4 = (logLowerToHigh + logLowerToSpot - 2.0 * logPower + m) / v;

        const double a1 = weighted(logA, d1, d2);
        const double a2 = weighted(logB, d3, d4);
        const double k1 = weighted(logAk, d1 - v, d2 - v);
        const double k2 = weighted(logBk, d3 - v, d4 - v);
        assetSum += a1 - a2;
        strikeSum += k1 - k2;
        const double part = std::max(std::max(a1, a2), std::max(k1, k2));
        largest = std::max(largest, part);
        return part;
    };
    for (int32_t n = -kSeriesTerms; n <= kSeriesTerms; ++n)
        addTerm(n);
    for (int32_t n = kSeriesTerms + 1; n <= kMaxSeriesTerms; ++n) {
        const double part = std::max(addTerm(-n), addTerm(n));
        if (!(part > kNegligible * largest))
            break;
    }
    const double assetPart = S * std::exp((b - r) * T) * assetSum;
    const double strikePart = K * std::exp(-r * T) * strikeSum;
    // Rounding of terms that cancel to nearly nothing may leave a value just
    // below 0; a knock-out is worth at least nothing.
    const double value = call ? assetPart - strikePart : strikePart - assetPart;
    return std::max(value, 0.0);
}

}  // namespace

double doubleBarrierSeries(double S, double K, double L, double U, double T, double r, double b,
                           double sigma, double curvatureUpper, double curvatureLower,
                           int32_t knockOut, int32_t optionType)
{
    if ((optionType != 0 && optionType != 1) || (knockOut != 0 && knockOut != 1))
        return kNotPriced;
    if (sigma == 0.0)
        sigma = kZeroVolatility;
    const bool call = optionType == 0;
    const bool out = knockOut == 1;
    auto vanilla = [&] {
        if (S > 0.0)
            return blackScholesPrice(S, K, r, r - b, sigma, T, optionType);
        return call ? 0.0 : K * std::exp(-r * T);
    };

    // A spot at or outside the corridor has touched a barrier already.
    if (S <= L || S >= U)
        return out ? 0.0 : vanilla();

    // A call struck at or above the final upper barrier, or a put struck at or
    // below the final lower barrier, cannot end in the money inside the corridor.
    const double F = U * std::exp(curvatureUpper * T);
    const double E = L * std::exp(curvatureLower * T);
    if ((call && K >= F) || (!call && K <= E))
        return out ? 0.0 : vanilla();
    if (K < L || K > U)
        return kNotPriced;

    const double knockOutValue =
        knockOutSeries(S, K, L, U, T, r, b, sigma, curvatureUpper, curvatureLower, call);
    return out ? knockOutValue : vanilla() - knockOutValue;
}

}  // namespace tarvic
