// The vanilla finite-difference export.

#include "tarvic/tarvic.h"

#include "common/require.h"
#include "pde/fd_frame.h"
#include "exports/result_text.h"
#include "platform/export.h"

using namespace tarvic;

TARVIC_EXPORT TvString VelkOptionPricer(double* assetGrid, double* optionValue, double* delta,
                                        double* gamma, double* theta, double* vega, double strike,
                                        int32_t timeSteps, double expiry, double volatility,
                                        double intRate, double divYield, int32_t* assetSteps,
                                        int32_t optionType, int32_t exerciseType,
                                        int32_t discretization, int32_t amerSolver,
                                        double maxAsset, int32_t calcTheta, int32_t calcVega,
                                        int32_t nonUniformGrid, int32_t numPeriods)
{
    return guardedExport([&] {
        const NodeArrays out{assetGrid, optionValue, delta, gamma, theta, vega};
        checkNodeArrays(out, assetSteps);
        requireCode(optionType, 0, 1, "optionType");
        requireCode(exerciseType, 0, 2, "exerciseType");
        // Without diffusion the central differences of the drift term make
        // the solution oscillate (a European put dips below 0 past the
        // strike): the solver needs a positive volatility.
        requirePositive(volatility, "volatility");
        DornTechOption option(strike, timeSteps, expiry, volatility, intRate, divYield,
                              *assetSteps, optionType, exerciseType, discretization, amerSolver,
                              maxAsset, flagSet(nonUniformGrid), numPeriods, 0, true);
        const FrameRules rules{flagSet(calcTheta), flagSet(calcVega),
                               exerciseType == 2 && numPeriods >= 2, 0.0, true};
        runFiniteDifferenceFrame(option, out, assetSteps, rules);
    });
}
