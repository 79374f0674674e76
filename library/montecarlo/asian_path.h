#pragma once

// One path of an Asian option on the arithmetic average of equally spaced
// fixings, fixed or floating strike, under geometric Brownian motion.
//
// The numFixings fixings still to come lie at T/N, 2T/N, ..., T, one path
// step each; with m fixings settled at the average Abar the average at
// fixing k is A_k = (m Abar + S_1 + ... + S_k) / (m + k). The payoff at
// expiry: fixed call A - K, put K - A; floating call S_N - A, put A - S_N
// (floored at 0). The asset steps and the likelihood-ratio weights are the
// vanilla path's (european_path.h): the delta and gamma weights of the
// first step, the vega and theta scores summed over all steps.

#include <cstdint>

#include "montecarlo/european_path.h"

namespace tarvic {

struct AsianContract {
    double spot = 0.0;
    double strike = 0.0;  // read with a fixed strike only
    double intRate = 0.0;
    double expiry = 0.0;
    double volatility = 0.0;
    double divYield = 0.0;
    int32_t numFixings = 1;  // fixings still to come
    int32_t optionType = 0;  // 0 call, anything else put
    int32_t numSettled = 0;
    double settledAverage = 0.0;
    int32_t strikeType = 0;  // 0 fixed, anything else floating
    int32_t timeMarching = kExactMarching;
    bool computeGreeks = false;
};

// Checks the contract at the door of an engine; the messages name the
// argument. With early exercise a fixed strike must be positive: the
// exercise rule is fitted in units of it.
void validateAsianContract(const AsianContract& contract, bool earlyExercise);

// Fails with a message naming numFixings when the Sobol engines cannot give
// every fixing a dimension of its own.
void requireSobolFixings(int32_t numFixings);

// Constants of one run, shared read-only by every path.
struct AsianRun {
    explicit AsianRun(const AsianContract& contract);

    EuropeanRun path;     // the asset's steps and scores, without barriers
    int32_t steps;        // numFixings
    double discount;      // exp(-r T)
    double settledSum;    // m Abar
    int32_t settled;      // m
    double strike;
    bool isCall, floating;
};

// The payoff (or exercise value) at a fixing with asset s and average a. A
// path whose asset has overflowed (inf - inf) keeps its NaN, so that the
// estimate shows it rather than counting it as worthless.
inline double asianPayoff(const AsianRun& run, double s, double a)
{
    double x;
    if (run.floating)
        x = run.isCall ? s - a : a - s;
    else
        x = run.isCall ? a - run.strike : run.strike - a;
    return x <= 0.0 ? 0.0 : x;
}

// The running average after fixing `fixing` (1-based) of a running sum;
// the divisor in double precision, so that m + k never overflows.
inline double runningAverage(const AsianRun& run, double sum, int32_t fixing)
{
    return sum / (static_cast<double>(run.settled) + static_cast<double>(fixing));
}

// The path of the European engines (european_drivers.h), on the asset
// path of the kind Kind (no barrier).
template <class Kind = RunPathKind>
class AsianPath {
public:
    struct State {
        EuropeanPathState path;
        double sum;
    };
    static constexpr bool kGreeks = Kind::kMayHaveGreeks;
    static constexpr bool kLogPayoff = false;

    explicit AsianPath(const AsianRun& run) : run_(run), path_(run.path) {}

    void start(State& st) const
    {
        path_.start(st.path);
        st.sum = run_.settledSum;
    }

    bool finished(const State&) const { return false; }

    void step(State& st, int32_t j, double z) const
    {
        path_.step(st.path, j, z);
        st.sum += path_.asset(st.path);
    }

    PathOutcome outcome(const State& st) const
    {
        PathOutcome out;
        out.value = asianPayoff(run_, path_.asset(st.path), runningAverage(run_, st.sum, run_.steps));
        if (Kind::greeks(run_.path) && out.value != 0.0) {
            const PathWeights w = path_.scores(st.path);
            out.delta = out.value * w.delta;
            out.gamma = out.value * w.gamma;
            out.vega = out.value * w.vega;
            out.theta = out.value * w.theta;
        }
        return out;
    }

    // Asset, running sum and scores, for the early-exercise path.
    double asset(const State& st) const { return path_.asset(st.path); }
    static double sum(const State& st) { return st.sum; }
    static PathWeights scores(const State& st) { return EuropeanPath<Kind>::scores(st.path); }

private:
    const AsianRun run_;
    EuropeanPath<Kind> path_;
};

}  // namespace tarvic
