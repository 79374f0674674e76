#pragma once

// Exact Black–Scholes values: vanilla European options with a continuous
// dividend yield, continuously monitored single-barrier knock-ins and
// knock-outs, and double-barrier options by an image series.
//
// Nothing here throws or allocates. Inputs that make no sense give NaN or
// one of the documented markers, never a fault.

#include <cstdint>

namespace tarvic {

// Value a barrier pricer returns for a contract it does not price.
inline constexpr double kNotPriced = -1.0;

// Volatility used in place of an exact zero, so that the formulas stay finite.
inline constexpr double kZeroVolatility = 1e-10;

// Standard normal distribution function (Hart's double-precision rational
// approximation, with a continued fraction for the far tail).
double normalCdf(double x);

// Standard normal density.
double normalPdf(double x);

// x to an integer power by repeated squaring; a negative n gives 1/x^|n|.
double intPow(double x, int32_t n);

// Black–Scholes value of a European option. optionType 0 is a call, any
// other value a put.
double blackScholesPrice(double S, double K, double r, double q, double sigma, double T,
                         int32_t optionType);

// A value with its first sensitivities: theta per year (the change of the
// value as calendar time passes, -dV/dT) and vega per unit of volatility.
struct SpotSensitivities {
    double value = 0.0;
    double delta = 0.0;
    double gamma = 0.0;
    double theta = 0.0;
    double vega = 0.0;
};

// Black–Scholes value and analytic sensitivities of a European option.
SpotSensitivities blackScholesSensitivities(double S, double K, double r, double q, double sigma,
                                            double T, int32_t optionType);

// Continuously monitored barrier option. L is the lower and U the upper
// barrier (0 = none): only L gives a down barrier, only U an up barrier, and
// 0 < L < U a double barrier; any other combination is worth 0. knockOut 1
// is a knock-out, 0 a knock-in, anything else gives kNotPriced. A spot at or
// past a barrier has already touched it: a knock-out is worth 0 and a
// knock-in the vanilla value.
double barrierPrice(double S, double K, double r, double q, double sigma, double T, double L,
                    double U, int32_t knockOut, int32_t optionType);

// Barrier value and sensitivities by central differences of barrierPrice.
SpotSensitivities barrierSensitivities(double S, double K, double r, double q, double sigma,
                                       double T, double L, double U, int32_t knockOut,
                                       int32_t optionType);

// Double-barrier option between L and U (Ikeda–Kunitomo series, n = -5..5),
// with exponential barrier curvatures: the upper barrier is U·e^(δ1·t), the
// lower L·e^(δ2·t). b = r - q is the cost of carry. optionType 0 call, 1 put;
// knockOut 1 knock-out, 0 knock-in; other codes give kNotPriced. A spot at or
// outside the corridor has been knocked: knock-out 0, knock-in vanilla.
// A strike outside [L, U] is priced where the value is plain (a call struck
// at or above the final upper barrier or a put struck at or below the final
// lower barrier can never pay inside the corridor); otherwise kNotPriced.
double doubleBarrierSeries(double S, double K, double L, double U, double T, double r, double b,
                           double sigma, double curvatureUpper, double curvatureLower,
                           int32_t knockOut, int32_t optionType);

}  // namespace tarvic
