#include "montecarlo/asian_path.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "common/require.h"
#include "montecarlo/sobol_generator.h"

namespace tarvic {

namespace {

EuropeanContract pathContract(const AsianContract& c)
{
    EuropeanContract e;
    e.spot = c.spot;
    e.strike = c.strikeType == 0 ? c.strike : 0.0;
    e.intRate = c.intRate;
    e.expiry = c.expiry;
    e.volatility = c.volatility;
    e.divYield = c.divYield;
    e.numSteps = c.numFixings;
    e.optionType = c.optionType;
    e.timeMarching = c.timeMarching;
    e.computeGreeks = c.computeGreeks;
    return e;
}

}  // namespace

void validateAsianContract(const AsianContract& c, bool earlyExercise)
{
    requirePositive(c.spot, "spot");
    if (c.strikeType == 0) {
        requireFinite(c.strike, "strike");
        if (earlyExercise && !(c.strike > 0.0))
            fail("Invalid input: strike must be greater than 0 with a fixed strike and early exercise (the "
                 "exercise rule is fitted in units of the strike).");
    }
    requireFinite(c.intRate, "intRate");
    requirePositive(c.expiry, "expiry");
    requirePositive(c.volatility, "volatility");
    requireFinite(c.divYield, "divYield");
    requireAtLeast(c.numFixings, 1, "numFixings");
    requireAtLeast(c.numSettled, 0, "numSettled");
    if (static_cast<int64_t>(c.numSettled) + c.numFixings > std::numeric_limits<int32_t>::max())
        fail("Invalid input: numSettled + numFixings must be at most " +
             std::to_string(std::numeric_limits<int32_t>::max()) + ".");
    requireNonNegative(c.settledAverage, "settledAverage");
    requireCode(c.timeMarching, kExactMarching, kMilsteinMarching, "timeMarching");
}

void requireSobolFixings(int32_t numFixings)
{
    if (numFixings > kMaxSobolDimensions)
        fail("Invalid input: numFixings must be at most " + std::to_string(kMaxSobolDimensions) +
             " with Sobol points (one dimension per fixing).");
}

AsianRun::AsianRun(const AsianContract& c) : path(pathContract(c))
{
    steps = c.numFixings;
    discount = path.discount;
    settled = c.numSettled;
    settledSum = static_cast<double>(c.numSettled) * c.settledAverage;
    strike = c.strikeType == 0 ? c.strike : 0.0;
    isCall = c.optionType == 0;
    floating = c.strikeType != 0;
}

}  // namespace tarvic
