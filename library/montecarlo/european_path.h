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

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

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
    double logStrike;
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

// Which parts of the path code a run needs. The engines choose one
// FixedPathKind per run (dispatchPathKind), so that the stepping loop of a
// run carries no test of a flag that cannot change within it; RunPathKind
// reads the same choices from the run, for code that is not specialised.
enum class PathBarrier { None, Discrete, Continuous };

template <int32_t Marching, PathBarrier Barrier, bool Greeks>
struct FixedPathKind {
    static constexpr int32_t marching(const EuropeanRun&) { return Marching; }
    static constexpr bool hasBarrier(const EuropeanRun&) { return Barrier != PathBarrier::None; }
    static constexpr bool continuous(const EuropeanRun&) { return Barrier == PathBarrier::Continuous; }
    static constexpr bool greeks(const EuropeanRun&) { return Greeks; }
    static constexpr bool kMayHaveGreeks = Greeks;
    static constexpr int32_t kMarching = Marching;
    static constexpr PathBarrier kBarrier = Barrier;
};

struct RunPathKind {
    static int32_t marching(const EuropeanRun& run) { return run.marching; }
    static bool hasBarrier(const EuropeanRun& run) { return run.hasBarrier; }
    static bool continuous(const EuropeanRun& run) { return run.continuous; }
    static bool greeks(const EuropeanRun& run) { return run.greeks; }
    static constexpr bool kMayHaveGreeks = true;
};

inline PathBarrier pathBarrierOf(const EuropeanRun& run)
{
    if (!run.hasBarrier)
        return PathBarrier::None;
    return run.continuous ? PathBarrier::Continuous : PathBarrier::Discrete;
}

// Calls body(FixedPathKind<...>{}) with the kind of the run's marching
// scheme, barrier monitoring and sensitivities (body is a generic lambda).
template <class Body>
decltype(auto) dispatchPathKind(int32_t marching, PathBarrier barrier, bool greeks, Body&& body)
{
    const auto withBarrier = [&](auto marchingTag) -> decltype(auto) {
        constexpr int32_t m = decltype(marchingTag)::value;
        const auto withGreeks = [&](auto barrierTag) -> decltype(auto) {
            constexpr PathBarrier b = decltype(barrierTag)::value;
            if (greeks)
                return body(FixedPathKind<m, b, true>{});
            return body(FixedPathKind<m, b, false>{});
        };
        switch (barrier) {
        case PathBarrier::Continuous:
            return withGreeks(std::integral_constant<PathBarrier, PathBarrier::Continuous>{});
        case PathBarrier::Discrete:
            return withGreeks(std::integral_constant<PathBarrier, PathBarrier::Discrete>{});
        default:
            return withGreeks(std::integral_constant<PathBarrier, PathBarrier::None>{});
        }
    };
    switch (marching) {
    case kEulerMarching:
        return withBarrier(std::integral_constant<int32_t, kEulerMarching>{});
    case kMilsteinMarching:
        return withBarrier(std::integral_constant<int32_t, kMilsteinMarching>{});
    default:
        return withBarrier(std::integral_constant<int32_t, kExactMarching>{});
    }
}

// The same for paths without barriers (the Asian paths).
template <class Body>
decltype(auto) dispatchPlainPathKind(int32_t marching, bool greeks, Body&& body)
{
    const auto withGreeks = [&](auto marchingTag) -> decltype(auto) {
        constexpr int32_t m = decltype(marchingTag)::value;
        if (greeks)
            return body(FixedPathKind<m, PathBarrier::None, true>{});
        return body(FixedPathKind<m, PathBarrier::None, false>{});
    };
    switch (marching) {
    case kEulerMarching:
        return withGreeks(std::integral_constant<int32_t, kEulerMarching>{});
    case kMilsteinMarching:
        return withGreeks(std::integral_constant<int32_t, kMilsteinMarching>{});
    default:
        return withGreeks(std::integral_constant<int32_t, kExactMarching>{});
    }
}

template <class Body>
decltype(auto) dispatchPathKind(const EuropeanRun& run, Body&& body)
{
    return dispatchPathKind(run.marching, pathBarrierOf(run), run.greeks, std::forward<Body>(body));
}

// What a path carries from step to step. The engines keep it in a local
// variable of the stepping loop (the path object itself is read-only), so
// that it can live in registers.
struct EuropeanPathState {
    double s;
    double logS;
    bool alive;
    bool knockedIn;
    bool touched;
    double survival;
    double wDelta, wGamma, vega, theta;
    double vegaIn, thetaIn;  // knock-in: scores of W
    double gFirst, hFirst;   // knock-in: W'/W and W''/W at the spot
    double stepTouch[2];
};

namespace path_detail {

constexpr double kNegligible = -45.0;
// Log-distance beyond the strike within which the payoff takes the
// exponential: exp and log are both correct to within an ulp or so, far
// inside this margin, so a path further on the worthless side pays 0 for
// certain.
constexpr double kPayoffLogMargin = 1e-6;

// The rare branch of a double-barrier step within reach of a barrier: the
// survival factor, its derivatives and the touch records. Returns false
// when the factor is 0 (the barrier was touched).
bool doubleBarrierFactor(const EuropeanRun& run, EuropeanPathState& st, int32_t j, double sPrev, double logPrev,
                         double eUpper, bool greeks);

// The rare branch of a single-barrier step within reach of the barrier,
// with p = exp(e) < 1: the survival factor and its derivatives.
void singleBarrierFactor(const EuropeanRun& run, EuropeanPathState& st, int32_t j, double e, double p,
                         bool greeks);

// Log-derivatives of one step factor: spot (first step only), sigma, dt.
inline void addFactorScores(const EuropeanRun& run, EuropeanPathState& st, int32_t j, double gS, double gSS,
                            double gSigma, double gT)
{
    if (run.knockOut) {
        if (j == 0) {
            st.wGamma += 2.0 * st.wDelta * gS + gSS;
            st.wDelta += gS;
        }
        st.vega += gSigma;
        st.theta += gT;
    } else {
        if (j == 0) {
            st.gFirst = gS;
            st.hFirst = gSS;
        }
        st.vegaIn += gSigma;
        st.thetaIn += gT;
    }
}

inline void touch(const EuropeanRun& run, EuropeanPathState& st)
{
    st.touched = true;
    st.survival = 0.0;
    if (run.knockOut)
        st.alive = false;
}

}  // namespace path_detail

// The path of the European engines (european_drivers.h) for the kind Kind:
// start(state), finished(state), step(state, j, z), outcome(state); the
// path object holds the run's constants, the state is the caller's.
template <class Kind = RunPathKind>
class EuropeanPath {
public:
    using State = EuropeanPathState;
    static constexpr bool kGreeks = Kind::kMayHaveGreeks;
    // A plain path without weights on the exact scheme: its outcome is the
    // value alone, a function of ln S at expiry (payoffAtLog), 0 unless
    // mayPay; the pseudo-random driver then takes the exponentials of a
    // group of paths together, of those that may pay only.
    static constexpr bool kLogPayoff =
        std::is_same<Kind, FixedPathKind<kExactMarching, PathBarrier::None, false>>::value;

    explicit EuropeanPath(const EuropeanRun& run) : run_(run) {}

    const EuropeanRun& run() const { return run_; }

    // Puts the path back at the spot.
    void start(State& st) const
    {
        st.s = run_.spot;
        st.logS = run_.logSpot;
        st.alive = true;
        st.knockedIn = false;
        st.touched = Kind::continuous(run_) && run_.startsTouched;
        st.survival = st.touched ? 0.0 : 1.0;
        st.wDelta = st.wGamma = st.vega = st.theta = 0.0;
        st.vegaIn = st.thetaIn = 0.0;
        st.gFirst = st.hFirst = 0.0;
        st.stepTouch[0] = st.stepTouch[1] = 0.0;
        if (st.touched && run_.knockOut)
            st.alive = false;
    }

    // A knocked-out path draws no further normals.
    bool finished(const State& st) const { return Kind::hasBarrier(run_) && run_.knockOut && !st.alive; }

    // Step j (0-based) with the standard normal z. The exact scheme moves
    // ln S (S itself is needed only for the payoff); Euler and Milstein move S.
    void step(State& st, int32_t j, double z) const
    {
        const EuropeanRun& run = run_;
        const int32_t marching = Kind::marching(run);
        const bool hasBarrier = Kind::hasBarrier(run);
        const double sPrev = st.s;
        const double logPrev = st.logS;
        bool beyond = false;
        if (marching == kExactMarching) {
            st.logS = logPrev + z * run.h + run.logDrift;
            if (Kind::greeks(run))
                addStepScores(st, j, z);
            if (hasBarrier)
                beyond = (run.hasLower && st.logS < run.logLower) || (run.hasUpper && st.logS > run.logUpper);
        } else {
            if (marching == kEulerMarching)
                st.s = sPrev * (run.eulerFactor + z * run.h);
            else
                st.s = sPrev * (1.0 + (run.mu + (z * z - 1.0) * run.sigma * run.sigma * 0.5) * run.dt + z * run.h);
            // The scores are those of the step's own density, before the floor.
            if (Kind::greeks(run))
                addStepScores(st, j, z);
            // Both factors fall below 0 for a large enough normal (Euler's
            // below z = -(1 + mu dt) / h, Milstein's when sigma^2 dt exceeds
            // about 1), where geometric Brownian motion never goes: its 0 is
            // absorbing, so the asset is held there (0 times any later
            // factor stays 0) and a put pays at most its strike.
            st.s = std::max(st.s, 0.0);
            if (tracksLog())
                st.logS = st.s > 0.0 ? std::log(st.s) : -HUGE_VAL;
            if (hasBarrier)
                beyond = (run.hasLower && st.s < run.lower) || (run.hasUpper && st.s > run.upper);
        }
        if (hasBarrier) {
            if (beyond) {
                if (run.knockOut)
                    st.alive = false;
                else
                    st.knockedIn = true;
            }
            st.stepTouch[0] = st.stepTouch[1] = 0.0;
            if (Kind::continuous(run) && !st.touched)
                applyCrossing(st, j, sPrev, logPrev);
        }
    }

    PathOutcome outcome(const State& st) const
    {
        PathOutcome out;
        const double f0 = payoff(st);
        if (f0 == 0.0)
            return out;
        double f = f0;
        if (Kind::hasBarrier(run_)) {
            if (!Kind::continuous(run_))
                f = (run_.knockOut ? st.alive : st.knockedIn) ? f0 : 0.0;
            else if (run_.knockOut)
                f = f0 * st.survival;
            else
                f = f0 * (1.0 - st.survival);
        }
        out.value = f;
        if (Kind::greeks(run_) && f != 0.0) {
            bool corrected = false;
            const PathWeights w = weights(st, corrected);
            out.delta = f * w.delta;
            out.gamma = f * w.gamma;
            out.vega = f * w.vega;
            out.theta = f * w.theta;
        }
        return out;
    }

    // The call or put payoff at expiry. With the exact scheme a path whose
    // ln S lies beyond the strike's log by more than the margin pays 0
    // without taking the exponential (exactly what the payoff of exp(ln S)
    // gives it).
    double payoff(const State& st) const
    {
        if (Kind::marching(run_) == kExactMarching) {
            if (run_.isCall ? st.logS < run_.logStrike - path_detail::kPayoffLogMargin
                            : st.logS > run_.logStrike + path_detail::kPayoffLogMargin)
                return 0.0;
        }
        return vanillaPayoff(run_, asset(st));
    }

    // Whether exp(logS) may pay: false only beyond the strike's log by
    // more than the margin.
    bool mayPay(double logS) const
    {
        return run_.isCall ? !(logS < run_.logStrike - path_detail::kPayoffLogMargin)
                           : !(logS > run_.logStrike + path_detail::kPayoffLogMargin);
    }

    double payoffAtLog(double logS) const { return vanillaPayoff(run_, std::exp(logS)); }

    // The weights of the path so far. A continuously monitored knock-in that
    // has not knocked in at a date and has not touched a barrier for certain
    // pays in proportion to 1 - W, W the product of the no-touch factors:
    // its weights take the log-derivatives of 1 - W, d ln(1 - W) = -k d ln W
    // with k = W / (1 - W) (corrected is then true).
    PathWeights weights(const State& st, bool& corrected) const
    {
        PathWeights w = scores(st);
        corrected = false;
        if (Kind::continuous(run_) && !run_.knockOut && !st.knockedIn && !st.touched && st.survival < 1.0) {
            const double k = st.survival / (1.0 - st.survival);
            const double c = -st.gFirst * k;
            const double d = st.hFirst * k;
            w.gamma += 2.0 * w.delta * c - d;
            w.delta += c;
            w.vega -= k * st.vegaIn;
            w.theta -= k * st.thetaIn;
            corrected = true;
        }
        return w;
    }

    // The weights and scores accumulated so far, as the steps left them.
    static PathWeights scores(const State& st) { return PathWeights{st.wDelta, st.wGamma, st.vega, st.theta}; }

    double asset(const State& st) const { return Kind::marching(run_) == kExactMarching ? std::exp(st.logS) : st.s; }

private:
    bool tracksLog() const { return Kind::continuous(run_) && Kind::marching(run_) != kEulerMarching; }
    bool eulerForm() const { return Kind::marching(run_) == kEulerMarching; }

    // Scores of the step's density: delta and gamma weights of the first
    // increment, vega and theta scores of every increment.
    void addStepScores(State& st, int32_t j, double z) const
    {
        const EuropeanRun& run = run_;
        const double z2m1 = z * z - 1.0;
        if (Kind::marching(run) != kEulerMarching) {
            if (j == 0) {
                st.wDelta = z / (run.spot * run.h);
                st.wGamma = (z * z - z * run.h - 1.0) / (run.spot * run.spot * run.sigma2Dt);
            }
            st.vega += z2m1 / run.sigma - z * run.sqrtDt;
            st.theta += 0.5 * (z * run.c1 + z2m1 / run.dt) - run.rate;
        } else {
            if (j == 0) {
                const double s0 = run.spot;
                const double ratio = st.s / s0;
                st.wDelta = (z * ratio / run.h - 1.0) / s0;
                st.wGamma = ((2.0 * run.eulerFactor - 3.0 * ratio) * ratio / run.sigma2Dt + 1.0) / (s0 * s0) +
                            st.wDelta * st.wDelta;
            }
            st.vega += z2m1 / run.sigma;
            st.theta += 0.5 * (z * run.c2 + z2m1) / run.dt - run.rate;
        }
    }

    // Exponent e of a single barrier's touch probability.
    double singleExponent(const State& st, double barrier, double logBarrier, double sPrev, double logPrev) const
    {
        if (eulerForm())
            return singleBarrierExponentEuler(sPrev, st.s, barrier, run_.sigma, run_.dt);
        return singleBarrierExponentLog(logPrev - logBarrier, st.logS - logBarrier, run_.sigma, run_.dt);
    }

    // Multiplies the survival weight by the step's probability of not
    // touching the barriers, and adds that factor's log-derivatives to the
    // sensitivity weights. A touch probability below exp(-45) leaves the
    // factor at 1 to double precision (and its derivatives at the same
    // scale), so the exponentials are skipped: the common case is this
    // test alone, the rest lies out of line.
    void applyCrossing(State& st, int32_t j, double sPrev, double logPrev) const
    {
        const EuropeanRun& run = run_;
        if (tracksLog() && Kind::marching(run) != kExactMarching && (!(st.s > 0.0) || !(sPrev > 0.0))) {
            path_detail::touch(run, st);  // the log form is undefined; an asset at 0 has left the corridor
            return;
        }
        if (run.hasLower && run.hasUpper) {
            const bool outside = eulerForm() ? sPrev <= run.lower || st.s <= run.lower || sPrev >= run.upper ||
                                                   st.s >= run.upper
                                             : logPrev <= run.logLower || st.logS <= run.logLower ||
                                                   logPrev >= run.logUpper || st.logS >= run.logUpper;
            if (outside) {
                path_detail::touch(run, st);
                return;
            }
            // Every image term is bounded by one of the two single-barrier terms.
            const double eUpper = singleExponent(st, run.upper, run.logUpper, sPrev, logPrev);
            if (singleExponent(st, run.lower, run.logLower, sPrev, logPrev) < path_detail::kNegligible &&
                eUpper < path_detail::kNegligible)
                return;
            path_detail::doubleBarrierFactor(run, st, j, sPrev, logPrev, eUpper, Kind::greeks(run));
            return;
        }
        const double barrier = run.hasUpper ? run.upper : run.lower;
        const double logBarrier = run.hasUpper ? run.logUpper : run.logLower;
        const double e = singleExponent(st, barrier, logBarrier, sPrev, logPrev);
        if (e < path_detail::kNegligible)
            return;
        const double p = std::exp(e);
        if (!(p < 1.0)) {
            path_detail::touch(run, st);
            return;
        }
        path_detail::singleBarrierFactor(run, st, j, e, p, Kind::greeks(run));
    }

    // A copy: the path object is local to a slot or thread, so the stepping
    // loop reads constants no store can reach.
    const EuropeanRun run_;
};

}  // namespace tarvic
