// The barrier finite-difference export: chooses one of the six barrier
// contracts from the barrier levels and knockOut, then runs the shared frame.

#include <memory>

#include "tarvic/tarvic.h"

#include "common/require.h"
#include "exports/result_text.h"
#include "pde/fd_frame.h"
#include "pde/knock_in_options.h"
#include "pde/knock_out_options.h"
#include "platform/export.h"

using namespace tarvic;

namespace {

struct CommonArguments {
    int32_t timeSteps;
    double expiry, volatility, intRate, divYield;
    int32_t assetSteps, optionType, exerciseType, discretization, amerSolver;
    double maxAsset;
    bool nonUniformGrid;
    int32_t numPeriods;
};

// A missing barrier is exactly 0; a present one is positive.
void checkBarriers(double lowerBarrier, double upperBarrier)
{
    requireNonNegative(lowerBarrier, "lowerBarrier");
    requireNonNegative(upperBarrier, "upperBarrier");
    if (lowerBarrier == 0.0 && upperBarrier == 0.0)
        fail("Invalid input: at least one of lowerBarrier and upperBarrier must be greater than 0.");
    if (lowerBarrier > 0.0 && upperBarrier > 0.0 && !(upperBarrier > lowerBarrier))
        fail("Invalid input: upperBarrier must be above lowerBarrier.");
}

std::unique_ptr<DornTechOption> makeBarrierOption(double spot, double strike, double L, double U,
                                                  bool contMonitoring, bool knockOut,
                                                  const CommonArguments& a)
{
    if (L == 0.0) {
        if (knockOut)
            return std::make_unique<DornTechUOBOption>(
                spot, strike, U, contMonitoring, a.timeSteps, a.expiry, a.volatility, a.intRate,
                a.divYield, a.assetSteps, a.optionType, a.exerciseType, a.discretization,
                a.amerSolver, a.maxAsset, a.nonUniformGrid, a.numPeriods);
        return std::make_unique<DornTechUIBOption>(
            strike, U, a.timeSteps, a.expiry, a.volatility, a.intRate, a.divYield, a.assetSteps,
            a.optionType, a.exerciseType, a.discretization, a.amerSolver, a.maxAsset,
            a.nonUniformGrid, a.numPeriods);
    }
    if (U == 0.0) {
        if (knockOut)
            return std::make_unique<DornTechDOBOption>(
                spot, strike, L, contMonitoring, a.timeSteps, a.expiry, a.volatility, a.intRate,
                a.divYield, a.assetSteps, a.optionType, a.exerciseType, a.discretization,
                a.amerSolver, a.maxAsset, a.nonUniformGrid, a.numPeriods);
        return std::make_unique<DornTechDIBOption>(
            strike, L, a.timeSteps, a.expiry, a.volatility, a.intRate, a.divYield, a.assetSteps,
            a.optionType, a.exerciseType, a.discretization, a.amerSolver, a.maxAsset,
            a.nonUniformGrid, a.numPeriods);
    }
    if (knockOut)
        return std::make_unique<DornTechDBOOption>(
            spot, strike, L, U, contMonitoring, a.timeSteps, a.expiry, a.volatility, a.intRate,
            a.divYield, a.assetSteps, a.optionType, a.exerciseType, a.discretization,
            a.amerSolver, a.maxAsset, a.nonUniformGrid, a.numPeriods);
    return std::make_unique<DornTechDBIOption>(
        strike, L, U, a.timeSteps, a.expiry, a.volatility, a.intRate, a.divYield, a.assetSteps,
        a.optionType, a.exerciseType, a.discretization, a.amerSolver, a.maxAsset,
        a.nonUniformGrid, a.numPeriods);
}

}  // namespace

TARVIC_EXPORT TvString VelkBarrierOptionPricer(
    double* assetGrid, double* optionValue, double* delta, double* gamma, double* theta,
    double* vega, double spot, double strike, double lowerBarrier, double upperBarrier,
    int32_t contMonitoring, int32_t timeSteps, double expiry, double volatility, double intRate,
    double divYield, int32_t* assetSteps, int32_t optionType, int32_t knockOut,
    int32_t exerciseType, int32_t discretization, int32_t amerSolver, double maxAsset,
    int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid, int32_t numPeriods)
{
    return guardedExport([&] {
        const NodeArrays out{assetGrid, optionValue, delta, gamma, theta, vega};
        checkNodeArrays(out, assetSteps);
        requireNonNegative(spot, "spot");
        checkBarriers(lowerBarrier, upperBarrier);
        requireCode(knockOut, 0, 1, "knockOut");
        requireCode(optionType, 0, 1, "optionType");
        requireCode(exerciseType, 0, 2, "exerciseType");
        const bool continuous = flagSet(contMonitoring);
        const CommonArguments common{timeSteps,     expiry,       volatility,     intRate,
                                     divYield,      *assetSteps,  optionType,     exerciseType,
                                     discretization, amerSolver,  maxAsset,       flagSet(nonUniformGrid),
                                     numPeriods};
        const std::unique_ptr<DornTechOption> option = makeBarrierOption(
            spot, strike, lowerBarrier, upperBarrier, continuous, knockOut == 1, common);
        const FrameRules rules{flagSet(calcTheta), flagSet(calcVega),
                               !continuous || (exerciseType == 2 && numPeriods >= 2)};
        runFiniteDifferenceFrame(*option, out, assetSteps, rules);
    });
}
