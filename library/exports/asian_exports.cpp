// The Asian finite-difference export.

#include <exception>
#include <new>

#include "tarvic/tarvic.h"

#include "common/require.h"
#include "exports/result_text.h"
#include "pde/asian_frame.h"
#include "pde/dorn_tech_asian_option.h"
#include "platform/export.h"

using namespace tarvic;

namespace {

// Running out of memory has its own text; what() allocates nothing.
class AsianOutOfMemory : public std::exception {
public:
    const char* what() const noexcept override
    {
        return "The application attempted to use more memory than it can afford to and lost "
               "it. Please restart and choose lower spatial resolution";
    }
};

}  // namespace

TARVIC_EXPORT TvString VelkAsianOptionPricer(
    double* assetGrid, double* optionValue, double* delta, double* gamma, double* theta,
    double* vega, double spot, double strike, int32_t timeSteps, double expiry,
    double volatility, double intRate, double divYield, int32_t* assetSteps,
    int32_t planeSpacing, int32_t numFixings, int32_t numSettled, double settledAverage,
    double firstFixingTime, int32_t optionType, int32_t exerciseType, int32_t discretization,
    int32_t amerSolver, int32_t planesInterp, double maxAsset, int32_t calcTheta,
    int32_t calcVega, int32_t nonUniformGrid, int32_t multiThreaded)
{
    return guardedExport([&] {
        try {
            const NodeArrays out{assetGrid, optionValue, delta, gamma, theta, vega};
            checkNodeArrays(out, assetSteps);
            // As for the vanilla: without diffusion the planes oscillate.
            requirePositive(volatility, "volatility");
            DornTechAsianOption option(spot, strike, expiry, volatility, intRate, divYield,
                                       settledAverage, firstFixingTime, timeSteps, *assetSteps,
                                       planeSpacing, numFixings, numSettled, optionType,
                                       exerciseType, discretization, amerSolver, planesInterp,
                                       maxAsset, flagSet(nonUniformGrid), flagSet(multiThreaded));
            runAsianFrame(option, out, assetSteps, flagSet(calcTheta), flagSet(calcVega));
        } catch (const std::bad_alloc&) {
            throw AsianOutOfMemory();
        }
    });
}
