// Closed-form exports: decode the arguments, call the pricers, write the
// caller's outputs. Nothing but the result crosses the boundary.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "closedform/closed_form.h"
#include "common/finite_results.h"
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

// The inputs the formulas are meant for: finite numbers, no negative spot,
// strike, volatility, expiry or barrier. Anything else is refused before a
// formula runs, since the formulas would answer it with NaN or a value that
// looks plausible and means nothing.
bool sensibleLevel(double x) { return std::isfinite(x) && x >= 0.0; }

bool sensibleMarket(double strike, double intRate, double divYield, double volatility,
                    double expiry)
{
    return sensibleLevel(strike) && std::isfinite(intRate) && std::isfinite(divYield) &&
           sensibleLevel(volatility) && sensibleLevel(expiry);
}

bool sensibleBarriers(double lowerBarrier, double upperBarrier)
{
    return sensibleLevel(lowerBarrier) && sensibleLevel(upperBarrier);
}

bool allFinite(const tarvic::SpotSensitivities& s)
{
    return std::isfinite(s.value) && std::isfinite(s.delta) && std::isfinite(s.gamma) &&
           std::isfinite(s.theta) && std::isfinite(s.vega);
}

// Writes the five outputs when every one is finite; otherwise nothing.
double writeSensitivities(const tarvic::SpotSensitivities& s, double* value, double* delta,
                          double* gamma, double* theta, double* vega)
{
    if (!allFinite(s))
        return kRefused;
    *value = s.value;
    *delta = s.delta;
    *gamma = s.gamma;
    *theta = s.theta;
    *vega = s.vega;
    return kWritten;
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

// Prices every node into a buffer and copies it to the caller only when
// every node is a level the formulas accept and every value is finite.
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
    const std::size_t count = static_cast<std::size_t>(lastIndex) + 1;
    if (!std::all_of(assetGrid, assetGrid + count, sensibleLevel))
        return kRefused;
    std::vector<double> values(count);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = price(assetGrid[i]);
    if (!tarvic::allFinite(values))
        return kRefused;
    std::copy(values.begin(), values.end(), exactValue);
    return kWritten;
}

}  // namespace

TARVIC_EXPORT double VanillaBS(double* value, double* delta, double* gamma, double* theta,
                               double* vega, double spot, double strike, double intRate,
                               double divYield, double volatility, double expiry,
                               int32_t optionType)
{
    return guardedClosedForm([&] {
        if (!allPresent(value, delta, gamma, theta, vega) || !sensibleLevel(spot) ||
            !sensibleMarket(strike, intRate, divYield, volatility, expiry))
            return kRefused;
        return writeSensitivities(tarvic::blackScholesSensitivities(spot, strike, intRate,
                                                                    divYield, volatility, expiry,
                                                                    optionType),
                                  value, delta, gamma, theta, vega);
    });
}

TARVIC_EXPORT double BarrierBS(double* value, double* delta, double* gamma, double* theta,
                               double* vega, double spot, double strike, double intRate,
                               double divYield, double volatility, double expiry,
                               double lowerBarrier, double upperBarrier, int32_t knockOut,
                               int32_t optionType)
{
    return guardedClosedForm([&] {
        if (!allPresent(value, delta, gamma, theta, vega) || !sensibleLevel(spot) ||
            !sensibleMarket(strike, intRate, divYield, volatility, expiry) ||
            !sensibleBarriers(lowerBarrier, upperBarrier))
            return kRefused;
        return writeSensitivities(tarvic::barrierSensitivities(spot, strike, intRate, divYield,
                                                               volatility, expiry, lowerBarrier,
                                                               upperBarrier, knockOut, optionType),
                                  value, delta, gamma, theta, vega);
    });
}

TARVIC_EXPORT double VanillaBSGrid(const double* assetGrid, double* exactValue, double strike,
                                   double intRate, double divYield, double volatility,
                                   double expiry, int32_t optionType, int32_t lastIndex)
{
    return guardedClosedForm([&] {
        if (lastIndex >= 0 && !sensibleMarket(strike, intRate, divYield, volatility, expiry))
            return kRefused;
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
        if (lastIndex >= 0 && (!sensibleMarket(strike, intRate, divYield, volatility, expiry) ||
                               !sensibleBarriers(lowerBarrier, upperBarrier)))
            return kRefused;
        return fillGrid(assetGrid, exactValue, lastIndex, [&](double spot) {
            return tarvic::barrierPrice(spot, strike, intRate, divYield, volatility, expiry,
                                        lowerBarrier, upperBarrier, knockOut, optionType);
        });
    });
}
