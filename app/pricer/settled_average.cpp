#include "pricer/settled_average.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "shared/product_inputs.h"

#include <cmath>
#include <cstdint>

namespace tarvic {
namespace {

// Floating-point faults raise the runtime's errors rather than giving
// infinities: 0 / 0 and overflow are error 6, x / 0 error 11.
double finiteOrRaise(double value)
{
    if (!std::isfinite(value))
        RaiseError(kErrOverflow, QStringLiteral("Overflow"));
    return value;
}

double divide(double a, double b)
{
    if (b == 0.0) {
        if (a == 0.0)
            RaiseError(kErrOverflow, QStringLiteral("Overflow"));
        RaiseError(kErrDivisionByZero, QStringLiteral("Division by zero"));
    }
    return finiteOrRaise(a / b);
}

double squareRoot(double value)
{
    if (value < 0.0)
        RaiseError(5, QStringLiteral("Invalid procedure call or argument"));
    return std::sqrt(value);
}

}  // namespace

void settledAverageLimits(const ProductInputs& in, double& lower, double& upper)
{
    const double s = in.gAsset;
    const double sigma = in.gVol;
    const double drift = in.gIntRate - sigma * sigma / 2.0;
    const int64_t remaining = static_cast<int64_t>(in.gSmplPoints) - in.gNFixed;
    if (remaining < INT32_MIN || remaining > INT32_MAX)
        RaiseError(kErrOverflow, QStringLiteral("Overflow"));
    const int32_t n = in.gNFixed;
    // The fixings are counted with a 16-bit index.
    if (n - 1 >= 32767)
        RaiseError(kErrOverflow, QStringLiteral("Overflow"));
    const double dt = divide(in.gExpiry, static_cast<double>(remaining));

    // The spot times the lognormal factor at each settled fixing's distance
    // back from today, spread standard deviations out.
    const auto sum = [&](double spread) {
        double total = s;
        for (int i = 1; i <= n - 1; ++i) {
            const double t = i * dt;
            total = finiteOrRaise(
                total + finiteOrRaise(s * std::exp(-drift * t + spread * sigma * squareRoot(t))));
        }
        return total;
    };
    const double lowerSum = sum(-5.0);
    lower = divide(lowerSum, n);
    lower = roundHalfEven(finiteOrRaise((divide(lower, s) + 0.0001) * 10000.0)) * s / 10000.0;
    const double upperSum = sum(5.0);
    upper = roundHalfEven(finiteOrRaise((divide(divide(upperSum, n), s) + 0.0001) * 10000.0)) * s /
            10000.0;
}

}  // namespace tarvic
