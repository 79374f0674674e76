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
    logStrike = std::log(strike);
    logLower = hasLower ? std::log(lower) : 0.0;
    logUpper = hasUpper ? std::log(upper) : 0.0;
    logWidth = hasLower && hasUpper ? logUpper - logLower : 0.0;
    doubleLogTerms =
        hasLower && hasUpper ? doubleBarrierLogTermCount(spot, sigma * sigma * c.expiry, lower, upper) : 0;
    startsTouched = continuous && ((hasLower && spot <= lower) || (hasUpper && spot >= upper));
}

namespace path_detail {

namespace {

// First and second derivatives of a single barrier's exponent with respect
// to the spot, on the first step.
void singleExponentSpotDerivatives(const EuropeanRun& run, const EuropeanPathState& st, double barrier,
                                   double logBarrier, double& e1, double& e2)
{
    const double s0 = run.spot;
    if (run.eulerForm) {
        // e = K (B - S0) / S0^2 with K = -2 (B - S1) / (sigma^2 dt).
        const double k = -2.0 * (barrier - st.s) / run.sigma2Dt;
        e1 = k * (s0 - 2.0 * barrier) / (s0 * s0 * s0);
        e2 = -2.0 * k * (s0 - 3.0 * barrier) / (s0 * s0 * s0 * s0);
    } else {
        // e = K ln(S0 / B) with K = -2 ln(S1 / B) / (sigma^2 dt).
        const double k = -2.0 * (st.logS - logBarrier) / run.sigma2Dt;
        e1 = k / s0;
        e2 = -k / (s0 * s0);
    }
}

}  // namespace

bool doubleBarrierFactor(const EuropeanRun& run, EuropeanPathState& st, int32_t j, double sPrev, double logPrev,
                         double eUpper, bool greeks)
{
    double gS = 0.0, gSS = 0.0, gSigma = 0.0, gT = 0.0;
    const int flag = greeks ? j : 1;
    double q;
    if (run.eulerForm)
        q = doubleBarrierSurvivalProbability(sPrev, st.s, run.lower, run.upper, run.sigma, run.dt, gS, gSS, gSigma,
                                             gT, flag);
    else
        q = doubleBarrierSurvivalProbabilityLogTerms(run.sigma2Dt, run.logWidth, st.logS - run.logLower,
                                                     st.logS - logPrev, logPrev - run.logLower, run.sigma, run.dt,
                                                     run.spot, gS, gSS, gSigma, gT, flag, run.doubleLogTerms);
    if (!(q > 0.0)) {
        touch(run, st);
        return false;
    }
    if (run.recordsTouch) {
        const double pUpper = eUpper < kNegligible ? 0.0 : std::exp(eUpper);
        st.stepTouch[0] = pUpper;
        st.stepTouch[1] = 1.0 - q / (1.0 - pUpper);
    }
    st.survival *= q;
    if (greeks)
        addFactorScores(run, st, j, gS, gSS, gSigma, gT);
    return true;
}

void singleBarrierFactor(const EuropeanRun& run, EuropeanPathState& st, int32_t j, double e, double p, bool greeks)
{
    const double factor = 1.0 - p;
    st.stepTouch[0] = p;
    st.survival *= factor;
    if (greeks) {
        // ln(1 - p) with p = exp(e): e scales like 1/sigma^2 and like 1/dt.
        const double r = p * e / factor;
        double gS = 0.0, gSS = 0.0;
        if (j == 0) {
            const double barrier = run.hasUpper ? run.upper : run.lower;
            const double logBarrier = run.hasUpper ? run.logUpper : run.logLower;
            double e1, e2;
            singleExponentSpotDerivatives(run, st, barrier, logBarrier, e1, e2);
            gS = -p * e1 / factor;
            gSS = -p * (e1 * e1 + e2) / factor;
        }
        addFactorScores(run, st, j, gS, gSS, 2.0 * r / run.sigma, r / run.dt);
    }
}

}  // namespace path_detail

}  // namespace tarvic
