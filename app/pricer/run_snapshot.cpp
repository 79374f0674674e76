#include "pricer/run_snapshot.h"

#include "pricer/mc_input_checks.h"
#include "pricer/pde_input_checks.h"
#include "shared/solver_mode.h"

namespace tarvic {
namespace {

// The market data and barriers the call carries (both requests name them
// alike).
template <typename Request>
void takeMarket(RunSnapshot& run, const Request& q)
{
    run.spot = q.spot;
    run.strike = q.strike;
    run.expiry = q.expiry;
    run.volatility = q.volatility;
    run.intRate = q.intRate;
    run.divYield = q.divYield;
    run.upBarrier = q.upperBarrier;
    run.downBarrier = q.lowerBarrier;
    run.settledFixings = q.numSettled;
    run.settledAverage = q.settledAverage;
    run.firstFixingTime = q.firstFixingTime;
}

}  // namespace

RunSnapshot pdeRunSnapshot(RunSnapshot run, const PdeRequest& q)
{
    run.solver = kSolverPde;
    run.knockedIn = q.knockedIn;
    takeMarket(run, q);
    run.periods = q.numPeriods;
    run.fixings = q.numFixings;
    PdeRunSettings& s = run.pde;
    s.assetSteps = q.assetSteps;
    s.timeSteps = q.timeSteps;
    s.discretization = q.discretization;
    s.amerSolver = q.amerSolver;
    s.maxAsset = q.maxAsset;
    s.nonUniformGrid = q.nonUniformGrid;
    s.planeSpacing = q.planeSpacing;
    s.planesInterp = q.planesInterp;
    s.multiThreaded = q.multiThreaded;
    // The solver's own theta stands unless the contract needs a solve of
    // its own for it.
    run.delta = run.gamma = true;
    run.theta = q.calcTheta || !thetaNeedsItsOwnSolve(run);
    run.vega = q.calcVega;
    return run;
}

RunSnapshot mcRunSnapshot(RunSnapshot run, const McRequest& q)
{
    run.solver = kSolverMc;
    takeMarket(run, q);
    run.periods = isAsian(q.payoff) ? 0 : q.numSteps;
    run.fixings = isAsian(q.payoff) ? q.numFixings + q.numSettled : 0;
    McRunSettings& s = run.mc;
    s.sobol = q.useSobol;
    s.paths = q.numPaths;
    s.pathsRun = q.pathsRun();
    s.lsPaths = q.numLSPaths;
    s.lsPathsRun = q.lsPathsRun();
    s.basisFunctions = q.numBasisFunctions;
    s.greeksCode = q.greeksCode;
    s.greeksMethod = q.greeksMethod;
    s.timeMarching = q.timeMarching;
    s.antithetic = q.antithetic;
    s.brownianBridge = q.brownianBridge;
    s.warmUp = q.warmUpSobol;
    s.multiThreaded = q.multiThreaded;
    s.fewBlocks = q.fewSobolBlocks;
    // 1000 delta and gamma, 100 vega, 10 theta.
    run.delta = run.gamma = q.greeksCode >= 1000;
    run.vega = q.greeksCode % 1000 >= 100;
    run.theta = q.greeksCode % 100 >= 10;
    return run;
}

}  // namespace tarvic
