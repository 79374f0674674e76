// What a pricer window keeps of its last successful run: the contract and
// market data it priced, the solver and the settings it ran with, and what
// came back. The results on show belong to this run and to nothing typed
// since; the closed-form comparison, the error curves, the table's spot row
// and the workbook export read it rather than today's boxes and settings.
#pragma once

#include "pricer/input_check_steps.h"
#include "shared/contract_terms.h"

#include <QString>

#include <cstdint>

namespace tarvic {

struct McRequest;
struct PdeRequest;

// The finite-difference solver as one run used it.
struct PdeRunSettings {
    int32_t assetSteps = 0;  // asset steps to the strike
    int32_t timeSteps = 0;
    int32_t discretization = 0;  // 0 Implicit, 1 Crank-Nicolson, 2 with Rannacher
    int32_t amerSolver = 0;      // 0 Projected SOR, 1 Projected Turbo SOR, 2 Brennan-Schwartz
    double maxAsset = 0.0;       // the user-defined top of the grid (0 = automatic)
    bool nonUniformGrid = false;
    int32_t planeSpacing = 0;    // Asian planes per asset step: 1, 2 or 4
    int32_t planesInterp = 0;    // 0 Linear, 1 Quadratic, 2 Cubic
    bool multiThreaded = false;
};

// The Monte Carlo solver as one run used it.
struct McRunSettings {
    bool sobol = false;
    int32_t paths = 0;        // as sent: the Sobol exponent, or thousands
    int64_t pathsRun = 0;     // 2^paths, or 1000 paths
    int32_t lsPaths = 0;      // regression paths as sent (early exercise)
    int64_t lsPathsRun = 0;
    int32_t basisFunctions = 0;
    int32_t greeksCode = 0;   // 1000 delta and gamma, + 100 vega, + 10 theta
    int32_t greeksMethod = 0; // 1 likelihood ratio, 2 finite differencing
    int32_t timeMarching = 0; // 1 Exact, 2 Euler, 3 Milstein
    bool antithetic = false, brownianBridge = false, warmUp = false;
    bool multiThreaded = false, fewBlocks = false;
};

struct RunSnapshot {
    // 0 until the window's first successful run; then the solver of the
    // run (kSolverPde or kSolverMc).
    int32_t solver = 0;

    // The contract.
    Payoff payoff = Payoff::Vanilla;
    Exercise exercise = Exercise::European;
    OptionType optionType = OptionType::Call;
    bool continuousMonitoring = false;
    // A knock-in at or past its continuously monitored barrier, priced as
    // its vanilla by the finite-difference solver.
    bool knockedIn = false;
    double spot = 0.0;     // the spot the run priced (after any move to the grid)
    double strike = 0.0;
    double expiry = 0.0;   // years
    double volatility = 0.0, intRate = 0.0, divYield = 0.0;  // fractions
    double upBarrier = 0.0, downBarrier = 0.0;               // 0 = none
    // Finite differences: the monitoring or exercise periods sent (0 when
    // the contract has none); Monte Carlo: the time steps of each path.
    int32_t periods = 0;
    int32_t fixings = 0, settledFixings = 0;  // Asian: total and settled
    double settledAverage = 0.0, firstFixingTime = 0.0;

    // The window's boxes and lists as they read when the run started, for
    // what is shown as typed, and the lists' texts.
    ContractForm typed;
    QString payoffText, optionTypeText, exerciseText;

    // The solver's settings; only the block of `solver` is filled.
    PdeRunSettings pde;
    McRunSettings mc;

    // What came back: the last row of the results (the last grid node, or
    // the last checkpoint of the running estimate), the time taken, and
    // the columns that hold figures the run computed.
    int32_t lastIndex = 0;
    double seconds = 0.0;
    QString timeText;  // as the window shows it ("####0.000 sec")
    bool delta = false, gamma = false, theta = false, vega = false;
};

// Whether the run's contract has a closed form to compare with: not an
// Asian, not early exercise, no barrier watched on dates only, and no
// double barrier with the strike outside the corridor.
inline bool hasClosedForm(const RunSnapshot& run)
{
    const Payoff p = run.payoff;
    const bool strikeOutside = isDoubleBarrier(p) &&
                               (run.strike > run.upBarrier || run.strike < run.downBarrier);
    return run.solver != 0 && !isAsian(p) && !isEarlyExercise(run.exercise) &&
           !(isBarrier(p) && !run.continuousMonitoring) && !strikeOutside;
}

// Whether the finite-difference solver's own theta is no theta for the
// run's contract, so that a solve of its own is needed: a barrier watched
// on dates, two exercise periods or more, or an average. The library
// writes zeros in place of the solver's theta for these; a Bermudan of one
// period keeps the solver's theta.
inline bool thetaNeedsItsOwnSolve(const RunSnapshot& run)
{
    return (isBarrier(run.payoff) && !run.continuousMonitoring) ||
           (run.exercise == Exercise::Bermudan && run.periods >= 2) || isAsian(run.payoff);
}

// Whether column `column` of the run's results (0 asset or paths, 1 value,
// 2 delta, 3 gamma, 4 theta, 5 vega) holds figures the run computed. The
// store holds zeros in a column the run did not compute: those are no
// figures, and the table, the clipboard and the workbook show none.
inline bool computedColumn(const RunSnapshot& run, int column)
{
    switch (column) {
    case 2:
        return run.delta;
    case 3:
        return run.gamma;
    case 4:
        return run.theta;
    case 5:
        return run.vega;
    default:
        return column == 0 || column == 1;
    }
}

// The payoff whose values the run's results hold (a knocked-in knock-in's
// are its vanilla's).
inline Payoff pricedPayoff(const RunSnapshot& run)
{
    return run.knockedIn ? Payoff::Vanilla : run.payoff;
}

// The snapshot of a run about to start: the contract as the window shows
// it (its lists and typed boxes), completed with what the checks read and
// the solver settings the request carries. What comes back is filled in
// when the run succeeds.
RunSnapshot pdeRunSnapshot(RunSnapshot contract, const PdeRequest& request);
RunSnapshot mcRunSnapshot(RunSnapshot contract, const McRequest& request);

}  // namespace tarvic
