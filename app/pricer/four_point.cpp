#include "pricer/four_point.h"

#include "platform/runtime_error.h"

namespace tarvic {

namespace {

[[noreturn]] void divisionByZero()
{
    RaiseError(kErrDivisionByZero, QStringLiteral("Division by zero"));
}

}  // namespace

double fourPointValue(double x, const double xs[4], const double fs[4])
{
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
        double term = fs[k];
        for (int m = 0; m < 4; ++m) {
            if (m == k)
                continue;
            const double gap = xs[k] - xs[m];
            if (gap == 0.0)
                divisionByZero();
            term *= (x - xs[m]) / gap;
        }
        sum += term;
    }
    return sum;
}

double twoPointValue(double x, double x0, double x1, double f0, double f1)
{
    if (x1 == x0)
        divisionByZero();
    const double w = (x - x0) / (x1 - x0);
    return (1.0 - w) * f0 + w * f1;
}

}  // namespace tarvic
