#include <cmath>

#include "closedform/closed_form.h"

namespace tarvic {

namespace {

double effectiveVolatility(double sigma) { return sigma == 0.0 ? kZeroVolatility : sigma; }

// The two arguments of N in the Black–Scholes formula.
struct Moneyness {
    double d1;
    double d2;
};

Moneyness moneyness(double S, double K, double r, double q, double sigma, double T)
{
    const double v = sigma * std::sqrt(T);
    const double d1 = (std::log(S / K) + (r - q) * T) / v + 0.5 * v;
    return {d1, d1 - v};
}

}  // namespace

double blackScholesPrice(double S, double K, double r, double q, double sigma, double T,
                         int32_t optionType)
{
    sigma = effectiveVolatility(sigma);
    const Moneyness d = moneyness(S, K, r, q, sigma, T);
    const double DS = S * std::exp(-q * T);
    const double DK = K * std::exp(-r * T);
    if (optionType == 0)
        return DS * normalCdf(d.d1) - DK * normalCdf(d.d2);
    return DK * normalCdf(-d.d2) - DS * normalCdf(-d.d1);
}

SpotSensitivities blackScholesSensitivities(double S, double K, double r, double q, double sigma,
                                            double T, int32_t optionType)
{
    sigma = effectiveVolatility(sigma);
    const Moneyness d = moneyness(S, K, r, q, sigma, T);
    const double rootT = std::sqrt(T);
    const double dividendDiscount = std::exp(-q * T);
    const double rateDiscount = std::exp(-r * T);
    const double DS = S * dividendDiscount;
    const double DK = K * rateDiscount;
    const double density = normalPdf(d.d1);

    SpotSensitivities out;
    out.gamma = S > 0.0 ? density * dividendDiscount / (S * sigma * rootT) : 0.0;
    out.vega = rootT * DS * density;
    // Time decay of the volatility part, common to calls and puts.
    const double volatilityDecay = -S * sigma * dividendDiscount * density / (2.0 * rootT);
    if (optionType == 0) {
        const double Nd1 = normalCdf(d.d1);
        const double Nd2 = normalCdf(d.d2);
        out.value = DS * Nd1 - DK * Nd2;
        out.delta = dividendDiscount * Nd1;
        out.theta = S * q * dividendDiscount * Nd1 + volatilityDecay - K * r * rateDiscount * Nd2;
    } else {
        const double Nmd1 = normalCdf(-d.d1);
        const double Nmd2 = normalCdf(-d.d2);
        out.value = DK * Nmd2 - DS * Nmd1;
        out.delta = (normalCdf(d.d1) - 1.0) * dividendDiscount;
        out.theta = K * r * rateDiscount * Nmd2 + volatilityDecay - S * q * dividendDiscount * Nmd1;
    }
    return out;
}

}  // namespace tarvic
