#pragma once

// Probabilities that a continuously monitored barrier was touched within one
// time step, given the asset at both ends of the step (a Brownian bridge
// between the two points).
//
// Euler form: the step is a Brownian motion of the asset itself with variance
// S_prev^2 sigma^2 dt. Log form: a Brownian motion of ln S with variance
// sigma^2 dt. The engines use the Euler form with Euler time marching and the
// log form with every other scheme.
//
// Single barrier B, both points on the same side:
//   p = exp(e),  e = -2 (B - S_prev)(B - S) / (S_prev^2 sigma^2 dt)   (Euler)
//                e = -2 ln(S_prev/B) ln(S/B) / (sigma^2 dt)             (log)
// A step that ends on or beyond B gives e >= 0, p >= 1: a certain touch.
//
// Double barrier L < U, both points strictly inside: the probability Q of
// staying inside is the image series sum_n (E1_n - E2_n), truncated. Both
// functions can also hand back the log-derivatives of Q that the
// likelihood-ratio sensitivities need:
//   gS  = (dQ/dS_prev)/Q,  gSS = (d2Q/dS_prev^2)/Q   (only when flag == 0;
//         the engines pass the 0-based step index, so the first step only),
//   gSigma = (dQ/dsigma)/Q, gT = (dQ/ddt)/Q           (always written).

#include <cmath>

namespace tarvic {

// Exponent e of the single-barrier touch probability p = exp(e), Euler form.
inline double singleBarrierExponentEuler(double sPrev, double s, double barrier, double sigma, double dt)
{
    return -2.0 * (barrier - sPrev) * (barrier - s) / (sPrev * sPrev * sigma * sigma * dt);
}

// The same, log form, from the log distances of both points to the barrier.
inline double singleBarrierExponentLog(double logPrevOverBarrier, double logOverBarrier, double sigma, double dt)
{
    return -2.0 * logPrevOverBarrier * logOverBarrier / (sigma * sigma * dt);
}

// Probability of touching a single barrier within the step, Euler form.
inline double singleBarrierHitProbability(double sPrev, double s, double barrier, double sigma, double dt)
{
    return std::exp(singleBarrierExponentEuler(sPrev, s, barrier, sigma, dt));
}

// Probability of touching a single barrier within the step, log form.
inline double singleBarrierHitProbabilityLog(double sPrev, double s, double barrier, double sigma, double dt)
{
    return std::exp(singleBarrierExponentLog(std::log(sPrev / barrier), std::log(s / barrier), sigma, dt));
}

// Probability of staying strictly between lower and upper during a step from
// sPrev to s, Euler form (7 image terms).
double doubleBarrierSurvivalProbability(double sPrev, double s, double lower, double upper, double sigma,
                                        double dt, double& gS, double& gSS, double& gSigma, double& gT,
                                        int flag);

// Number of image terms on each side of n = 0 used by the log form:
// 2 trunc(S0 (exp(sqrt(sigma^2 T)) - 1) / (U - L)), at most 20, at least 3
// when sigma^2 T > 0.5 and 2 otherwise.
int doubleBarrierLogTermCount(double spot, double sigma2T, double lower, double upper);

// Probability of staying strictly between L and U, log form, with
// v = sigma^2 dt, w = ln(U/L), x2l = ln S - ln L, x21 = ln S - ln S_prev,
// x1l = ln S_prev - ln L. spot, sigma2T, lower and upper choose the number of
// terms; spot also scales the derivatives (which are taken at S_prev = spot).
double doubleBarrierSurvivalProbabilityLog(double v, double w, double x2l, double x21, double x1l,
                                           double sigma, double dt, double spot, double& gS, double& gSS,
                                           double& gSigma, double& gT, int flag, double sigma2T,
                                           double lower, double upper);

// The log form with the number of terms fixed by the caller (once per run).
double doubleBarrierSurvivalProbabilityLogTerms(double v, double w, double x2l, double x21, double x1l,
                                                double sigma, double dt, double spot, double& gS,
                                                double& gSS, double& gSigma, double& gT, int flag,
                                                int terms);

}  // namespace tarvic
