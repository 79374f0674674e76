// The barrier finite-difference export: chooses one of the six barrier
// contracts from the barrier levels and knockOut, then runs the shared frame.

#include <algorithm>
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

// The contract the barriers given and knockOut name.
std::unique_ptr<DornTechOption> makeBarrierOption(const BarrierContract& c, bool knockOut)
{
    if (c.lowerBarrier == 0.0) {
        if (knockOut)
            return std::make_unique<DornTechUOBOption>(c);
        return std::make_unique<DornTechUIBOption>(c);
    }
    if (c.upperBarrier == 0.0) {
        if (knockOut)
            return std::make_unique<DornTechDOBOption>(c);
        return std::make_unique<DornTechDIBOption>(c);
    }
    if (knockOut)
        return std::make_unique<DornTechDBOOption>(c);
    return std::make_unique<DornTechDBIOption>(c);
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
        // As for the vanilla: without diffusion the solution oscillates.
        requirePositive(volatility, "volatility");
        const bool continuous = flagSet(contMonitoring);
        const BarrierContract contract{spot, strike, lowerBarrier, upperBarrier, continuous,
                                       timeSteps, expiry, volatility, intRate, divYield,
                                       *assetSteps, optionType, exerciseType, discretization,
                                       amerSolver, maxAsset, flagSet(nonUniformGrid),
                                       numPeriods};
        const std::unique_ptr<DornTechOption> option = makeBarrierOption(contract, knockOut == 1);
        // A down-and-out or down-and-in lives above the grid's top as a
        // vanilla does.
        const bool downOnly = upperBarrier == 0.0;
        const FrameRules rules{flagSet(calcTheta), flagSet(calcVega),
                               !continuous || (exerciseType == 2 && numPeriods >= 2),
                               std::max(spot, strike), downOnly, std::max(spot, strike)};
        runFiniteDifferenceFrame(*option, out, assetSteps, rules);
    });
}
