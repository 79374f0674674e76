#include "montecarlo/european_path.h"

#include <cmath>

#include "common/require.h"

namespace tarvic {

void validateEuropeanContract(const EuropeanContract& c)
{
    requirePositive(c.spot, "spot");
    requirePositive(c.strike, "strike");
    requireFinite(c.lowerBarrier, "lowerBarrier");
    requireFinite(c.upperBarrier, "upperBarrier");
    requireFinite(c.intRate, "intRate");
    requirePositive(c.expiry, "expiry");
    requirePositive(c.volatility, "volatility");
    requireFinite(c.divYield, "divYield");
    requireAtLeast(c.numSteps, 1, "numSteps");
    requireCode(c.timeMarching, kExactMarching, kMilsteinMarching, "timeMarching");
}

EuropeanRun::EuropeanRun(const EuropeanContract& c)
{
    spot = c.spot;
    strike = c.strike;
    lower = c.lowerBarrier;
    upper = c.upperBarrier;
    rate = c.intRate;
    sigma = c.volatility;
    steps = c.numSteps;
    mu = c.intRate - c.divYield;
    dt = c.expiry / c.numSteps;
    sqrtDt = std::sqrt(dt);
    h = sigma * sqrtDt;
    sigma2Dt = sigma * sigma * dt;
    logDrift = (mu - 0.5 * sigma * sigma) * dt;
    eulerFactor = 1.0 + mu * dt;
    c1 = (2.0 * mu - sigma * sigma) / (sigma * sqrtDt);
    c2 = 2.0 * mu * sqrtDt / sigma;
    discount = std::exp(-c.intRate * c.expiry);

    isCall = c.optionType == 0;
    knockOut = c.knockOut == 1;
    hasLower = lower > 0.0;
    hasUpper = upper > 0.0;
    hasBarrier = hasLower || hasUpper;
    continuous = hasBarrier && c.contMonitoring;
    greeks = c.computeGreeks;
    marching = c.timeMarching;
    eulerForm = marching == kEulerMarching;
    tracksLog = continuous && !eulerForm;

    logSpot = std::log(spot);
    logLower = hasLower ? std::log(lower) : 0.0;
    logUpper = hasUpper ? std::log(upper) : 0.0;
    logWidth = hasLower && hasUpper ? logUpper - logLower : 0.0;
    doubleLogTerms =
        hasLower && hasUpper ? doubleBarrierLogTermCount(spot, sigma * sigma * c.expiry, lower, upper) : 0;
    startsTouched = continuous && ((hasLower && spot <= lower) || (hasUpper && spot >= upper));
}

}  // namespace tarvic
