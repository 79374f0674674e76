#pragma once

// One path of a European option, plain or with one or two barriers, under
// geometric Brownian motion: the time step, the discrete barrier test, the
// continuous crossing weight, the payoff, and the likelihood-ratio weights of
// the sensitivities. The pseudo-random and the Sobol engines drive the same
// path with their own normals.
//
// Likelihood-ratio sensitivities: the path carries a delta and a gamma weight
// from its first step (the score of the first increment's density with respect
// to the spot, and its second-order counterpart) and vega and theta scores
// summed over its steps; an estimate is the mean of weight x discounted payoff.
// With continuous monitoring the survival weight W = prod(step factors) is part
// of the payoff, so its log-derivatives are added to the weights: directly for
// a knock-out (payoff f0 W), through k = W / (1 - W) for a knock-in
// (payoff f0 (1 - W)).

#include <cmath>
#include <cstdint>

#include "montecarlo/crossing_probability.h"

namespace tarvic {

enum TimeMarching : int32_t { kExactMarching = 1, kEulerMarching = 2, kMilsteinMarching = 3 };

// Contract, market and path settings of a European engine run.
struct EuropeanContract {
    double spot = 0.0;
    double strike = 0.0;
    double lowerBarrier = 0.0;  // 0 (or below) = none
    double upperBarrier = 0.0;  // 0 (or below) = none
    double intRate = 0.0;
    double expiry = 0.0;
    double volatility = 0.0;
    double divYield = 0.0;
    int32_t numSteps = 1;
    int32_t optionType = 0;  // 0 call, anything else put
    int32_t knockOut = 1;    // 1 knock-out, otherwise knock-in
    bool contMonitoring = false;
    int32_t timeMarching = kExactMarching;
    bool computeGreeks = false;
};

// Checks the contract at the door of an engine; the messages name the argument.
void validateEuropeanContract(const EuropeanContract& contract);

// Constants of one run, shared read-only by every path.
struct EuropeanRun {
    explicit EuropeanRun(const EuropeanContract& contract);

    double spot, strike, lower, upper, rate, sigma;
    int32_t steps;
    double dt, sqrtDt, h;      // h = sigma sqrt(dt)
    double sigma2Dt;           // sigma^2 dt
    double logDrift;           // (mu - sigma^2/2) dt, the exact step's drift of ln S
    double eulerFactor;        // 1 + mu dt
    double mu;
    double c1, c2;             // theta score constants of the exact and the Euler step
    double discount;           // exp(-r T)
    double logSpot, logLower, logUpper, logWidth;  // logWidth = ln(U/L)
    int doubleLogTerms;        // image terms of the log-form double barrier
    bool isCall, knockOut, hasLower, hasUpper, hasBarrier, continuous, greeks;
    bool eulerForm;            // Euler crossing probabilities (Euler marching)
    bool tracksLog;            // the log form needs ln S at every step
    int32_t marching;
    // Continuous monitoring with the spot on or beyond a barrier: the path
    // has touched it before the first step.
    bool startsTouched;
    // Record the touch probabilities of every step for crossings decided by
    // uniform draws (the early-exercise engines); the European engines only
    // weight the payoff by the no-touch probability.
    bool recordsTouch = false;
};

// Likelihood-ratio weights of a path: delta and gamma weights, vega and theta
// scores (cumulative over the steps taken).
struct PathWeights {
    double delta = 0.0;
    double gamma = 0.0;
    double vega = 0.0;
    double theta = 0.0;
};

// The call or put payoff of the asset value s, without barriers.
inline double vanillaPayoff(const EuropeanRun& run, double s)
{
    const double x = run.isCall ? s - run.strike : run.strike - s;
    return x > 0.0 ? x : 0.0;
}

// What a path adds to the block sums: its payoff and payoff x weight for the
// four sensitivities (undiscounted).
struct PathOutcome {
    double value = 0.0;
    double delta = 0.0;
    double gamma = 0.0;
    double vega = 0.0;
    double theta = 0.0;
};

class EuropeanPath {
public:
    explicit EuropeanPath(const EuropeanRun& run) : run_(run) {}

    // Puts the path back at the spot.
    void start()
    {
        s_ = run_.spot;
        logS_ = run_.logSpot;
        alive_ = true;
        knockedIn_ = false;
        touched_ = run_.startsTouched;
        survival_ = touched_ ? 0.0 : 1.0;
        wDelta_ = wGamma_ = vega_ = theta_ = 0.0;
        vegaIn_ = thetaIn_ = 0.0;
        gFirst_ = hFirst_ = 0.0;
        stepTouch_[0] = stepTouch_[1] = 0.0;
        if (touched_ && run_.knockOut)
            alive_ = false;
    }

    // A knocked-out path draws no further normals.
    bool finished() const { return run_.hasBarrier && run_.knockOut && !alive_; }

    // Step j (0-based) with the standard normal z. The exact scheme moves
    // ln S (S itself is needed only for the payoff); Euler and Milstein move S.
    void step(int32_t j, double z)
    {
        const double sPrev = s_;
        const double logPrev = logS_;
        bool beyond;
        if (run_.marching == kExactMarching) {
            logS_ = logPrev + z * run_.h + run_.logDrift;
            beyond = (run_.hasLower && logS_ < run_.logLower) || (run_.hasUpper && logS_ > run_.logUpper);
        } else {
            if (run_.marching == kEulerMarching)
                s_ = sPrev * (run_.eulerFactor + z * run_.h);
            else
                s_ = sPrev * (1.0 + (run_.mu + (z * z - 1.0) * run_.sigma * run_.sigma * 0.5) * run_.dt + z * run_.h);
            if (run_.tracksLog)
                logS_ = s_ > 0.0 ? std::log(s_) : -HUGE_VAL;
            beyond = (run_.hasLower && s_ < run_.lower) || (run_.hasUpper && s_ > run_.upper);
        }
        if (run_.greeks)
            addStepScores(j, z);
        if (run_.hasBarrier) {
            if (beyond) {
                if (run_.knockOut)
                    alive_ = false;
                else
                    knockedIn_ = true;
            }
            stepTouch_[0] = stepTouch_[1] = 0.0;
            if (run_.continuous && !touched_)
                applyCrossing(j, sPrev, logPrev);
        }
    }

    PathOutcome outcome() const
    {
        const double f0 = vanillaPayoff(run_, asset());
        double f = f0;
        if (run_.hasBarrier) {
            if (!run_.continuous)
                f = (run_.knockOut ? alive_ : knockedIn_) ? f0 : 0.0;
            else if (run_.knockOut)
                f = f0 * survival_;
            else
                f = f0 * (1.0 - survival_);
        }
        PathOutcome out;
        out.value = f;
        if (run_.greeks && f != 0.0) {
            bool corrected = false;
            const PathWeights w = weights(corrected);
            out.delta = f * w.delta;
            out.gamma = f * w.gamma;
            out.vega = f * w.vega;
            out.theta = f * w.theta;
        }
        return out;
    }

    // The weights and scores accumulated so far, as the steps left them.
    PathWeights scores() const { return PathWeights{wDelta_, wGamma_, vega_, theta_}; }

    // The weights of the path so far. A continuously monitored knock-in that
    // has not knocked in at a date and has not touched a barrier for certain
    // pays in proportion to 1 - W, W the product of the no-touch factors:
    // its weights take the log-derivatives of 1 - W, d ln(1 - W) = -k d ln W
    // with k = W / (1 - W) (corrected is then true).
    PathWeights weights(bool& corrected) const
    {
        PathWeights w = scores();
        corrected = false;
        if (run_.hasBarrier && run_.continuous && !run_.knockOut && !knockedIn_ && !touched_ &&
            survival_ < 1.0) {
            const double k = survival_ / (1.0 - survival_);
            const double c = -gFirst_ * k;
            const double d = hFirst_ * k;
            w.gamma += 2.0 * w.delta * c - d;
            w.delta += c;
            w.vega -= k * vegaIn_;
            w.theta -= k * thetaIn_;
            corrected = true;
        }
        return w;
    }

    double asset() const { return run_.marching == kExactMarching ? std::exp(logS_) : s_; }
    double survival() const { return survival_; }
    // Knock-out: no step point has been beyond a barrier and no certain touch.
    bool alive() const { return alive_; }
    // Knock-in: a step point has been beyond a barrier.
    bool knockedIn() const { return knockedIn_; }
    // Continuous monitoring: a barrier was touched for certain (a step ending
    // on or beyond it, or the spot itself).
    bool touched() const { return touched_; }
    // With run.recordsTouch, the probabilities of the last step's crossing
    // draws: [0] of the single barrier, or of the upper one of two; [1] of the
    // lower one of two given no touch of the upper, so that the two no-touch
    // factors multiply to the double-barrier no-touch probability Q. Both are
    // 0 when the step was certain or did not reach the crossing test.
    double stepTouch(int i) const { return stepTouch_[i]; }

private:
    // Scores of the step's density: delta and gamma weights of the first
    // increment, vega and theta scores of every increment.
    void addStepScores(int32_t j, double z)
    {
        const double z2m1 = z * z - 1.0;
        if (run_.marching != kEulerMarching) {
            if (j == 0) {
                wDelta_ = z / (run_.spot * run_.h);
                wGamma_ = (z * z - z * run_.h - 1.0) / (run_.spot * run_.spot * run_.sigma2Dt);
            }
            vega_ += z2m1 / run_.sigma - z * run_.sqrtDt;
            theta_ += 0.5 * (z * run_.c1 + z2m1 / run_.dt) - run_.rate;
        } else {
            if (j == 0) {
                const double s0 = run_.spot;
                const double ratio = s_ / s0;
                wDelta_ = (z * ratio / run_.h - 1.0) / s0;
                wGamma_ = ((2.0 * run_.eulerFactor - 3.0 * ratio) * ratio / run_.sigma2Dt + 1.0) / (s0 * s0) +
                          wDelta_ * wDelta_;
            }
            vega_ += z2m1 / run_.sigma;
            theta_ += 0.5 * (z * run_.c2 + z2m1) / run_.dt - run_.rate;
        }
    }

    // Exponent e of a single barrier's touch probability, and on the first
    // step its first and second derivatives with respect to the spot.
    double singleExponent(double barrier, double logBarrier, double sPrev, double logPrev) const
    {
        if (run_.eulerForm)
            return singleBarrierExponentEuler(sPrev, s_, barrier, run_.sigma, run_.dt);
        return singleBarrierExponentLog(logPrev - logBarrier, logS_ - logBarrier, run_.sigma, run_.dt);
    }

    void singleExponentSpotDerivatives(double barrier, double logBarrier, double& e1, double& e2) const
    {
        const double s0 = run_.spot;
        if (run_.eulerForm) {
            // e = K (B - S0) / S0^2 with K = -2 (B - S1) / (sigma^2 dt).
            const double k = -2.0 * (barrier - s_) / run_.sigma2Dt;
            e1 = k * (s0 - 2.0 * barrier) / (s0 * s0 * s0);
            e2 = -2.0 * k * (s0 - 3.0 * barrier) / (s0 * s0 * s0 * s0);
        } else {
            // e = K ln(S0 / B) with K = -2 ln(S1 / B) / (sigma^2 dt).
            const double k = -2.0 * (logS_ - logBarrier) / run_.sigma2Dt;
            e1 = k / s0;
            e2 = -k / (s0 * s0);
        }
    }

    void touch()
    {
        touched_ = true;
        survival_ = 0.0;
        if (run_.knockOut)
            alive_ = false;
    }

    // Multiplies the survival weight by the step's probability of not
    // touching the barriers, and adds that factor's log-derivatives to the
    // sensitivity weights. A touch probability below exp(-45) leaves the
    // factor at 1 to double precision (and its derivatives at the same
    // scale), so the exponentials are skipped.
    void applyCrossing(int32_t j, double sPrev, double logPrev)
    {
        constexpr double kNegligible = -45.0;
        if (run_.tracksLog && (!(s_ > 0.0) || !(sPrev > 0.0)) && run_.marching != kExactMarching) {
            touch();  // the log form is undefined; an asset at 0 has left the corridor
            return;
        }
        if (run_.hasLower && run_.hasUpper) {
            const bool outside = run_.eulerForm
                                     ? sPrev <= run_.lower || s_ <= run_.lower || sPrev >= run_.upper ||
                                           s_ >= run_.upper
                                     : logPrev <= run_.logLower || logS_ <= run_.logLower ||
                                           logPrev >= run_.logUpper || logS_ >= run_.logUpper;
            if (outside) {
                touch();
                return;
            }
            // Every image term is bounded by one of the two single-barrier terms.
            const double eUpper = singleExponent(run_.upper, run_.logUpper, sPrev, logPrev);
            if (singleExponent(run_.lower, run_.logLower, sPrev, logPrev) < kNegligible && eUpper < kNegligible)
                return;
            double gS = 0.0, gSS = 0.0, gSigma = 0.0, gT = 0.0;
            const int flag = run_.greeks ? j : 1;
            double q;
            if (run_.eulerForm)
                q = doubleBarrierSurvivalProbability(sPrev, s_, run_.lower, run_.upper, run_.sigma, run_.dt, gS,
                                                     gSS, gSigma, gT, flag);
            else
                q = doubleBarrierSurvivalProbabilityLogTerms(
                    run_.sigma2Dt, run_.logWidth, logS_ - run_.logLower, logS_ - logPrev, logPrev - run_.logLower,
                    run_.sigma, run_.dt, run_.spot, gS, gSS, gSigma, gT, flag, run_.doubleLogTerms);
            if (!(q > 0.0)) {
                touch();
                return;
            }
            if (run_.recordsTouch) {
                const double pUpper = eUpper < kNegligible ? 0.0 : std::exp(eUpper);
                stepTouch_[0] = pUpper;
                stepTouch_[1] = 1.0 - q / (1.0 - pUpper);
            }
            survival_ *= q;
            if (run_.greeks)
                addFactorScores(j, gS, gSS, gSigma, gT);
            return;
        }
        const double barrier = run_.hasUpper ? run_.upper : run_.lower;
        const double logBarrier = run_.hasUpper ? run_.logUpper : run_.logLower;
        const double e = singleExponent(barrier, logBarrier, sPrev, logPrev);
        if (e < kNegligible)
            return;
        const double p = std::exp(e);
        if (!(p < 1.0)) {
            touch();
            return;
        }
        const double factor = 1.0 - p;
        stepTouch_[0] = p;
        survival_ *= factor;
        if (run_.greeks) {
            // ln(1 - p) with p = exp(e): e scales like 1/sigma^2 and like 1/dt.
            const double r = p * e / factor;
            double gS = 0.0, gSS = 0.0;
            if (j == 0) {
                double e1, e2;
                singleExponentSpotDerivatives(barrier, logBarrier, e1, e2);
                gS = -p * e1 / factor;
                gSS = -p * (e1 * e1 + e2) / factor;
            }
            addFactorScores(j, gS, gSS, 2.0 * r / run_.sigma, r / run_.dt);
        }
    }

    // Log-derivatives of one step factor: spot (first step only), sigma, dt.
    void addFactorScores(int32_t j, double gS, double gSS, double gSigma, double gT)
    {
        if (run_.knockOut) {
            if (j == 0) {
                wGamma_ += 2.0 * wDelta_ * gS + gSS;
                wDelta_ += gS;
            }
            vega_ += gSigma;
            theta_ += gT;
        } else {
            if (j == 0) {
                gFirst_ = gS;
                hFirst_ = gSS;
            }
            vegaIn_ += gSigma;
            thetaIn_ += gT;
        }
    }

    const EuropeanRun& run_;
    double s_ = 0.0;
    double logS_ = 0.0;
    bool alive_ = true;
    bool knockedIn_ = false;
    bool touched_ = false;
    double survival_ = 1.0;
    double wDelta_ = 0.0, wGamma_ = 0.0, vega_ = 0.0, theta_ = 0.0;
    double vegaIn_ = 0.0, thetaIn_ = 0.0;  // knock-in: scores of W
    double gFirst_ = 0.0, hFirst_ = 0.0;   // knock-in: W'/W and W''/W at the spot
    double stepTouch_[2] = {0.0, 0.0};
};

}  // namespace tarvic
