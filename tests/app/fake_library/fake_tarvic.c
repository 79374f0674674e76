/* A stand-in pricing library for the binding tests: two pricers with known
 * answers and the text functions (stand_in_text.c), the other pricers
 * missing. */
#include "stand_in_text.h"

__attribute__((visibility("default"))) double VanillaBS(double* value, double* delta,
                                                        double* gamma, double* theta,
                                                        double* vega, double spot, double strike,
                                                        double intRate, double divYield,
                                                        double volatility, double expiry,
                                                        int32_t optionType)
{
    *value = spot - strike;
    *delta = intRate + divYield;
    *gamma = volatility;
    *theta = expiry;
    *vega = (double)optionType;
    return 1.0;
}

/* Writes n = assetSteps + 1 and fills entries 0..n of the grid; fails with
 * an 8-bit message when the strike is negative. */
__attribute__((visibility("default"))) TvString VelkOptionPricer(
    double* assetGrid, double* optionValue, double* delta, double* gamma, double* theta,
    double* vega, double strike, int32_t timeSteps, double expiry, double volatility,
    double intRate, double divYield, int32_t* assetSteps, int32_t optionType,
    int32_t exerciseType, int32_t discretization, int32_t amerSolver, double maxAsset,
    int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid, int32_t numPeriods)
{
    (void)optionValue; (void)delta; (void)gamma; (void)theta; (void)vega; (void)timeSteps;
    (void)expiry; (void)volatility; (void)intRate; (void)divYield; (void)optionType;
    (void)exerciseType; (void)discretization; (void)amerSolver; (void)maxAsset;
    (void)calcTheta; (void)calcVega; (void)nonUniformGrid; (void)numPeriods;
    if (strike < 0.0) {
        static const char message[] = "Pr\xe9" "cision lost";
        return standInText(message, (uint32_t)(sizeof message - 1));
    }
    int32_t n = *assetSteps + 1;
    *assetSteps = n;
    for (int32_t i = 0; i <= n; ++i)
        assetGrid[i] = strike * i / n;
    return standInText(0, 0);
}
