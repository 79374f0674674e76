#include <cmath>

#include "closedform/closed_form.h"

namespace tarvic {

namespace {

// Terms n = -5..5 of the image series; the omitted terms are far below
// double precision for any corridor the callers use.
constexpr int32_t kSeriesTerms = 5;

double weighted(double weight, double difference)
{
    return difference == 0.0 ? 0.0 : weight * difference;
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

    double assetSum = 0.0;   // terms multiplying S·e^((b-r)T)
    double strikeSum = 0.0;  // terms multiplying K·e^(-rT)
    for (int32_t n = -kSeriesTerms; n <= kSeriesTerms; ++n) {
        const double mu1 = 2.0 * (b - curvatureLower - n * curvatureSpread) / variance + 1.0;
        const double mu2 = 2.0 * n * curvatureSpread / variance;
        const double mu3 = 2.0 * (b - curvatureLower + n * curvatureSpread) / variance + 1.0;

        const double corridor = intPow(U / L, n);          // U^n / L^n
        const double corridor2 = corridor * corridor;      // U^2n / L^2n
        const double image = (L / S) / corridor;           // L^(n+1) / (U^n·S)
        const double curvatureWeight = std::pow(L / S, mu2);

        const double A = std::pow(corridor, mu1) * curvatureWeight;
        const double B = std::pow(image, mu3);
        const double Ak = std::pow(corridor, mu1 - 2.0) * curvatureWeight;
        const double Bk = std::pow(image, mu3 - 2.0);

        // ln(S·U^2n/(X·L^2n)) and ln(L^(2n+2)/(X·S·U^2n)) for X = low, high.
        const double d1 = (std::log(S / low * corridor2) + m) / v;
        const double d2 = (std::log(S / high * corridor2) + m) / v;
        const double d3 = (std::log(L / low * (L / S) / corridor2) + m) / v;
        const double d4 = (std::log(L / high * (L / S) / corridor2) + m) / v;

        assetSum += weighted(A, normalCdf(d1) - normalCdf(d2)) -
                    weighted(B, normalCdf(d3) - normalCdf(d4));
        strikeSum += weighted(Ak, normalCdf(d1 - v) - normalCdf(d2 - v)) -
                     weighted(Bk, normalCdf(d3 - v) - normalCdf(d4 - v));
    }
    const double assetPart = S * std::exp((b - r) * T) * assetSum;
    const double strikePart = K * std::exp(-r * T) * strikeSum;
    return call ? assetPart - strikePart : strikePart - assetPart;
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
