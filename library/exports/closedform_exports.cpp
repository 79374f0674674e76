// Closed-form exports: decode the arguments, call the pricers, write the
// caller's outputs. Nothing but the result crosses the boundary.

#include <cstdint>

#include "closedform/closed_form.h"
#include "platform/export.h"
#include "tarvic/tarvic.h"

namespace {

constexpr double kWritten = 1.0;
constexpr double kRefused = 0.0;

// Runs body() and returns its result; any exception becomes kRefused.
template <class Body>
double guardedClosedForm(Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return kRefused;
    }
}

void writeSensitivities(const tarvic::SpotSensitivities& s, double* value, double* delta,
                        double* gamma, double* theta, double* vega)
{
    *value = s.value;
    *delta = s.delta;
    *gamma = s.gamma;
    *theta = s.theta;
    *vega = s.vega;
}

bool allPresent(const double* a, const double* b, const double* c, const double* d,
                const double* e)
{
    return a && b && c && d && e;
}

// Whether a grid export may run: nothing to do below 0, refused past the
// caller's arrays or without them.
enum class GridRange { empty, refused, valid };

GridRange gridRange(const double* assetGrid, const double* exactValue, int32_t lastIndex)
{
    if (lastIndex < 0)
        return GridRange::empty;
    if (lastIndex > TV_MAX_NODE_INDEX || !assetGrid || !exactValue)
        return GridRange::refused;
    return GridRange::valid;
}

template <class Price>
double fillGrid(const double* assetGrid, double* exactValue, int32_t lastIndex, Price&& price)
{
    switch (gridRange(assetGrid, exactValue, lastIndex)) {
    case GridRange::empty:
        return kWritten;
    case GridRange::refused:
        return kRefused;
    case GridRange::valid:
        break;
    }
    for (int32_t i = 0; i <= lastIndex; ++i)
        exactValue[i] = price(assetGrid[i]);
    return kWritten;
}

}  // namespace

TARVIC_EXPORT double VanillaBS(double* value, double* delta, double* gamma, double* theta,
                               double* vega, double spot, double strike, double intRate,
                               double divYield, double volatility, double expiry,
                               int32_t optionType)
{
    return guardedClosedForm([&] {
        if (!allPresent(value, delta, gamma, theta, vega))
            return kRefused;
        writeSensitivities(tarvic::blackScholesSensitivities(spot, strike, intRate, divYield,
                                                             volatility, expiry, optionType),
                           value, delta, gamma, theta, vega);
        return kWritten;
    });
}

TARVIC_EXPORT double BarrierBS(double* value, double* delta, double* gamma, double* theta,
                               double* vega, double spot, double strike, double intRate,
                               double divYield, double volatility, double expiry,
                               double lowerBarrier, double upperBarrier, int32_t knockOut,
                               int32_t optionType)
{
    return guardedClosedForm([&] {
        if (!allPresent(value, delta, gamma, theta, vega))
            return kRefused;
        writeSensitivities(tarvic::barrierSensitivities(spot, strike, intRate, divYield,
                                                        volatility, expiry, lowerBarrier,
                                                        upperBarrier, knockOut, optionType),
                           value, delta, gamma, theta, vega);
        return kWritten;
    });
}

TARVIC_EXPORT double VanillaBSGrid(const double* assetGrid, double* exactValue, double strike,
                                   double intRate, double divYield, double volatility,
                                   double expiry, int32_t optionType, int32_t lastIndex)
{
    return guardedClosedForm([&] {
        return fillGrid(assetGrid, exactValue, lastIndex, [&](double spot) {
            return tarvic::blackScholesPrice(spot, strike, intRate, divYield, volatility, expiry,
                                             optionType);
        });
    });
}

TARVIC_EXPORT double BarrierBSGrid(const double* assetGrid, double* exactValue, double strike,
                                   double intRate, double divYield, double volatility,
                                   double expiry, double lowerBarrier, double upperBarrier,
                                   int32_t knockOut, int32_t optionType, int32_t lastIndex)
{
    return guardedClosedForm([&] {
        return fillGrid(assetGrid, exactValue, lastIndex, [&](double spot) {
            return tarvic::barrierPrice(spot, strike, intRate, divYield, volatility, expiry,
                                        lowerBarrier, upperBarrier, knockOut, optionType);
        });
    });
}
