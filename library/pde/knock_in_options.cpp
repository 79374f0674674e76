#include "pde/knock_in_options.h"

#include <algorithm>
#include <cmath>

#include "common/require.h"
#include "pde/barrier_grids.h"

namespace tarvic {

double recordedValueAt(const std::vector<double>& times, const std::vector<double>& record,
                       double tau)
{
    const size_t n = std::min(times.size(), record.size());
    if (n == 0)
        return 0.0;
    const auto first = times.begin();
    const auto last = times.begin() + static_cast<std::ptrdiff_t>(n);
    const auto it = std::lower_bound(first, last, tau);
    if (it == last)
        return record[n - 1];
    const auto hi = static_cast<size_t>(it - first);
    // The time levels of two solves agree up to rounding of the sums of steps.
    const double tolerance = 1e-9 * std::max(1.0, std::fabs(tau));
    if (std::fabs(times[hi] - tau) <= tolerance || hi == 0)
        return record[hi];
    const size_t lo = hi - 1;
    if (std::fabs(tau - times[lo]) <= tolerance)
        return record[lo];
    const double w = (tau - times[lo]) / (times[hi] - times[lo]);
    return (1.0 - w) * record[lo] + w * record[hi];
}

namespace {

// Solves the vanilla companion of a knock-in (a plain copy with the base's
// grid and the contract's exercise style) and records its values at the
// given levels, with the time to go of each record.
void solveCompanion(const DornTechOption& contract, double level1, std::vector<double>* record1,
                    double level2, std::vector<double>* record2, std::vector<double>& times)
{
    DornTechOption companion(contract);
    PdeResults results;
    companion.solvePde(results, false, level1, record1, level2, record2, &times);
}

// After the companion: the knock-in solve itself is European on a grid that
// ends at the barrier, whatever the contract's exercise.
void makeEuropeanOnBarrierGrid(DornTechOption& option)
{
    option.american = false;
    option.bermudan = false;
    option.upperBoundary = DornTechOption::GivenValue;
}

void vanillaPayoff(DornTechOption& o)
{
    o.values.assign(static_cast<size_t>(o.nodeCount), 0.0);
    for (size_t i = 0; i < o.values.size(); ++i) {
        const double S = o.grid[i];
        if (o.optionType == DornTechOption::Call && S > o.strike)
            o.values[i] = S - o.strike;
        else if (o.optionType == DornTechOption::Put && S < o.strike)
            o.values[i] = o.strike - S;
    }
}

void solveKnockIn(DornTechOption& o, std::vector<double>& gridOut, std::vector<double>& valueOut,
                  std::vector<double>& deltaOut, std::vector<double>& gammaOut,
                  std::vector<double>& thetaOut)
{
    PdeResults results;
    o.solvePde(results, true, 0.0, nullptr, 0.0, nullptr);
    gridOut = std::move(results.grid);
    valueOut = std::move(results.value);
    deltaOut = std::move(results.delta);
    gammaOut = std::move(results.gamma);
    thetaOut = std::move(results.theta);
}

}  // namespace

// ---- Double knock-in ----------------------------------------------------------

DornTechDBIOption::DornTechDBIOption(double strike_, double lowerBarrier_, double upperBarrier_,
                                     int32_t timeSteps_, double expiry_, double volatility_,
                                     double intRate_, double divYield_, int32_t assetSteps_,
                                     int32_t optionType_, int32_t exerciseType_,
                                     int32_t discretization_, int32_t amerSolver_,
                                     double maxAsset_, bool nonUniformGrid_, int32_t numPeriods_)
    : DornTechOption(strike_, timeSteps_, expiry_, volatility_, intRate_, divYield_, assetSteps_,
                     optionType_, exerciseType_, discretization_, amerSolver_, maxAsset_,
                     nonUniformGrid_, numPeriods_, 0, true),
      lowerBarrier(lowerBarrier_),
      upperBarrier(upperBarrier_)
{
    requirePositive(lowerBarrier, "lowerBarrier");
    requirePositive(upperBarrier, "upperBarrier");
    if (!(upperBarrier > lowerBarrier))
        fail("Invalid input: upperBarrier must be above lowerBarrier.");
    recordBarrierValues();
    resolving = false;
}

void DornTechDBIOption::recordBarrierValues()
{
    solveCompanion(*this, lowerBarrier, &lowerRecord, upperBarrier, &upperRecord, recordTimes);
    makeEuropeanOnBarrierGrid(*this);
    lowerValue = lowerRecord.front();
}

void DornTechDBIOption::price(std::vector<double>& gridOut, std::vector<double>& valueOut,
                              std::vector<double>& deltaOut, std::vector<double>& gammaOut,
                              std::vector<double>& thetaOut)
{
    if (resolving) {
        init();
        recordBarrierValues();
    }
    solveKnockIn(*this, gridOut, valueOut, deltaOut, gammaOut, thetaOut);
}

void DornTechDBIOption::buildGrid()
{
    installGrid(*this, doubleBarrierGrid(lowerBarrier, upperBarrier, strike, assetSteps));
}

void DornTechDBIOption::payoff()
{
    vanillaPayoff(*this);
    for (size_t i = 0; i < values.size(); ++i)
        if (grid[i] > lowerBarrier && grid[i] < upperBarrier)
            values[i] = 0.0;
}

void DornTechDBIOption::boundaryValues(double tau, int32_t /*level*/)
{
    values.front() = recordedValueAt(recordTimes, lowerRecord, tau);
    values.back() = recordedValueAt(recordTimes, upperRecord, tau);
}

// ---- Down-and-in --------------------------------------------------------------

DornTechDIBOption::DornTechDIBOption(double strike_, double lowerBarrier_, int32_t timeSteps_,
                                     double expiry_, double volatility_, double intRate_,
                                     double divYield_, int32_t assetSteps_, int32_t optionType_,
                                     int32_t exerciseType_, int32_t discretization_,
                                     int32_t amerSolver_, double maxAsset_, bool nonUniformGrid_,
                                     int32_t numPeriods_)
    : DornTechOption(strike_, timeSteps_, expiry_, volatility_, intRate_, divYield_, assetSteps_,
                     optionType_, exerciseType_, discretization_, amerSolver_, maxAsset_,
                     nonUniformGrid_, numPeriods_, 0, true),
      barrier(lowerBarrier_)
{
    requirePositive(barrier, "lowerBarrier");
    recordBarrierValues();
    resolving = false;
}

void DornTechDIBOption::recordBarrierValues()
{
    solveCompanion(*this, barrier, &lowerRecord, 0.0, nullptr, recordTimes);
    makeEuropeanOnBarrierGrid(*this);
    lowerValue = lowerRecord.front();
}

void DornTechDIBOption::price(std::vector<double>& gridOut, std::vector<double>& valueOut,
                              std::vector<double>& deltaOut, std::vector<double>& gammaOut,
                              std::vector<double>& thetaOut)
{
    if (resolving) {
        init();
        recordBarrierValues();
    }
    solveKnockIn(*this, gridOut, valueOut, deltaOut, gammaOut, thetaOut);
}

int32_t DornTechDIBOption::gridStdDevs()
{
    const double v = volatility * volatility * expiry;
    if (v <= 0.0507) return 3;
    if (v <= 0.1007) return 4;
    if (v <= 0.2507) return 5;
    if (v <= 0.4007) return 6;
    if (v <= 0.7507) return 9;
    return 12;
}

void DornTechDIBOption::buildGrid()
{
    const int32_t m = gridStdDevs();
    installGrid(*this, nonUniformGrid
                           ? downBarrierStretchedGrid(barrier, strike, assetSteps, m, maxAsset)
                           : downBarrierUniformGrid(barrier, strike, assetSteps, m, maxAsset));
}

void DornTechDIBOption::payoff()
{
    vanillaPayoff(*this);
    for (size_t i = 0; i < values.size(); ++i)
        if (grid[i] > barrier)
            values[i] = 0.0;
}

void DornTechDIBOption::boundaryValues(double tau, int32_t /*level*/)
{
    if (optionType != Call && optionType != Put)
        return;
    values.front() = recordedValueAt(recordTimes, lowerRecord, tau);
    values.back() = 0.0;
}

// ---- Up-and-in ----------------------------------------------------------------

DornTechUIBOption::DornTechUIBOption(double strike_, double upperBarrier_, int32_t timeSteps_,
                                     double expiry_, double volatility_, double intRate_,
                                     double divYield_, int32_t assetSteps_, int32_t optionType_,
                                     int32_t exerciseType_, int32_t discretization_,
                                     int32_t amerSolver_, double maxAsset_, bool nonUniformGrid_,
                                     int32_t numPeriods_)
    : DornTechOption(strike_, timeSteps_, expiry_, volatility_, intRate_, divYield_, assetSteps_,
                     optionType_, exerciseType_, discretization_, amerSolver_, maxAsset_,
                     nonUniformGrid_, numPeriods_, 0, true),
      barrier(upperBarrier_)
{
    requirePositive(barrier, "upperBarrier");
    recordBarrierValues();
    resolving = false;
}

void DornTechUIBOption::recordBarrierValues()
{
    solveCompanion(*this, barrier, &upperRecord, 0.0, nullptr, recordTimes);
    makeEuropeanOnBarrierGrid(*this);
}

void DornTechUIBOption::price(std::vector<double>& gridOut, std::vector<double>& valueOut,
                              std::vector<double>& deltaOut, std::vector<double>& gammaOut,
                              std::vector<double>& thetaOut)
{
    if (resolving) {
        init();
        recordBarrierValues();
    }
    solveKnockIn(*this, gridOut, valueOut, deltaOut, gammaOut, thetaOut);
}

void DornTechUIBOption::buildGrid()
{
    // At least as many cells below the barrier as the up-and-out grid: the
    // stencils, the grid Greeks and the extrapolated bottom need them.
    installGrid(*this, upBarrierGrid(barrier, strike, assetSteps, 10));
}

void DornTechUIBOption::payoff()
{
    vanillaPayoff(*this);
    for (size_t i = 0; i < values.size(); ++i)
        if (grid[i] < barrier)
            values[i] = 0.0;
}

void DornTechUIBOption::boundaryValues(double tau, int32_t /*level*/)
{
    if (optionType != Call && optionType != Put)
        return;
    values.front() = 0.0;
    values.back() = recordedValueAt(recordTimes, upperRecord, tau);
}

}  // namespace tarvic
