#include "pricer/pde_call.h"

#include "platform/tarvic_library.h"
#include "pricer/plot_rules.h"

namespace tarvic {
namespace {

constexpr int32_t kMaxNodeIndex = ResultArrays::kRows - 1;

// The export that prices the payoff, once; lastNode goes in as the asset
// steps and comes back as the last node index.
QString priceOnGrid(const PdeRequest& q, double maxAsset, ResultArrays& a, int32_t& lastNode)
{
    TarvicLibrary& library = TarvicLibrary::instance();
    double* grid = a.column(0);
    double* value = a.column(1);
    double* delta = a.column(2);
    double* gamma = a.column(3);
    double* theta = a.column(4);
    double* vega = a.column(5);
    const int32_t calcTheta = flagArgument(q.calcTheta);
    const int32_t calcVega = flagArgument(q.calcVega);
    const int32_t nonUniform = flagArgument(q.nonUniformGrid);
    if (q.payoff == Payoff::Vanilla)
        return library.VelkOptionPricer(grid, value, delta, gamma, theta, vega, q.strike,
                                        q.timeSteps, q.expiry, q.volatility, q.intRate,
                                        q.divYield, lastNode, q.optionType, q.exerciseType,
                                        q.discretization, q.amerSolver, maxAsset, calcTheta,
                                        calcVega, nonUniform, q.numPeriods);
    if (isBarrier(q.payoff))
        return library.VelkBarrierOptionPricer(
            grid, value, delta, gamma, theta, vega, q.spot, q.strike, q.lowerBarrier,
            q.upperBarrier, flagArgument(q.contMonitoring), q.timeSteps, q.expiry, q.volatility,
            q.intRate, q.divYield, lastNode, q.optionType, q.knockOut, q.exerciseType,
            q.discretization, q.amerSolver, maxAsset, calcTheta, calcVega, nonUniform,
            q.numPeriods);
    return library.VelkAsianOptionPricer(
        grid, value, delta, gamma, theta, vega, q.spot, q.strike, q.timeSteps, q.expiry,
        q.volatility, q.intRate, q.divYield, lastNode, q.planeSpacing, q.numFixings, q.numSettled,
        q.settledAverage, q.firstFixingTime, q.optionType, q.exerciseType, q.discretization,
        q.amerSolver, q.planesInterp, maxAsset, calcTheta, calcVega, nonUniform,
        flagArgument(q.multiThreaded));
}

}  // namespace

PdeCallResult callPdeLibrary(const PdeRequest& q, ResultArrays& arrays)
{
    PdeCallResult r;
    r.lastNode = q.assetSteps;
    r.text = priceOnGrid(q, q.maxAsset, arrays, r.lastNode);
    // The automatic grid ends near a few strikes: a spot above its top is
    // priced again on a grid that reaches twice the spot.
    if (r.text.isEmpty() && q.widenToSpot && r.lastNode >= 2 && r.lastNode <= kMaxNodeIndex &&
        q.spot > arrays.column(0)[r.lastNode]) {
        r.lastNode = q.assetSteps;
        r.text = priceOnGrid(q, 2.0 * q.spot, arrays, r.lastNode);
    }
    return r;
}

}  // namespace tarvic
