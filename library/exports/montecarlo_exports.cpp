// The Monte Carlo exports: each unpacks the caller's arguments and hands them to
// the pricer; every failure becomes the result text.

#include "exports/result_text.h"
#include "montecarlo/option_pricer_mc.h"
#include "platform/export.h"
#include "tarvic/tarvic.h"

namespace {

// Arguments 20 .. 31 of both exports.
tarvic::SimulationSettings simulationSettings(int32_t numPaths, int32_t numLSPaths, int32_t numBasisFunctions,
                                              int32_t greeksCode, int32_t greeksMethod, int32_t timeMarching,
                                              int32_t antithetic, int32_t useSobol, int32_t warmUpSobol,
                                              int32_t brownianBridge, int32_t multiThreaded, int32_t fewSobolBlocks)
{
    tarvic::SimulationSettings s;
    s.numPaths = numPaths;
    s.numLSPaths = numLSPaths;
    s.numBasisFunctions = numBasisFunctions;
    s.greeksCode = greeksCode;
    s.greeksMethod = greeksMethod;
    s.timeMarching = timeMarching;
    s.antithetic = tarvic::flagSet(antithetic);
    s.useSobol = tarvic::flagSet(useSobol);
    s.warmUpSobol = tarvic::flagSet(warmUpSobol);
    s.brownianBridge = tarvic::flagSet(brownianBridge);
    s.multiThreaded = tarvic::flagSet(multiThreaded);
    s.fewSobolBlocks = tarvic::flagSet(fewSobolBlocks);
    return s;
}

tarvic::OptionMcOutput outputOf(double* optionValue, double* delta, double* gamma, double* vega, double* theta,
                                int32_t* rowCount)
{
    tarvic::OptionMcOutput output;
    output.optionValue = optionValue;
    output.delta = delta;
    output.gamma = gamma;
    output.vega = vega;
    output.theta = theta;
    output.rowCount = rowCount;
    return output;
}

}  // namespace

TARVIC_EXPORT TvString VelkOptionPricerMC(double* optionValue, double* delta, double* gamma, double* vega,
                                          double* theta, int32_t* rowCount, double spot, double strike,
                                          double lowerBarrier, double upperBarrier, double expiry,
                                          double volatility, double intRate, double divYield, int32_t numSteps,
                                          int32_t optionType, int32_t exerciseType, int32_t knockOut,
                                          int32_t contMonitoring, int32_t numPaths, int32_t numLSPaths,
                                          int32_t numBasisFunctions, int32_t greeksCode, int32_t greeksMethod,
                                          int32_t timeMarching, int32_t antithetic, int32_t useSobol,
                                          int32_t warmUpSobol, int32_t brownianBridge, int32_t multiThreaded,
                                          int32_t fewSobolBlocks)
{
    return tarvic::guardedExport([&] {
        tarvic::OptionMcRequest request;
        request.spot = spot;
        request.strike = strike;
        request.lowerBarrier = lowerBarrier;
        request.upperBarrier = upperBarrier;
        request.expiry = expiry;
        request.volatility = volatility;
        request.intRate = intRate;
        request.divYield = divYield;
        request.numSteps = numSteps;
        request.optionType = optionType;
        request.exerciseType = exerciseType;
        request.knockOut = knockOut;
        request.contMonitoring = tarvic::flagSet(contMonitoring);
        request.simulation = simulationSettings(numPaths, numLSPaths, numBasisFunctions, greeksCode, greeksMethod,
                                                timeMarching, antithetic, useSobol, warmUpSobol, brownianBridge,
                                                multiThreaded, fewSobolBlocks);
        const tarvic::OptionMcOutput output = outputOf(optionValue, delta, gamma, vega, theta, rowCount);
        tarvic::priceOptionMC(request, output);
    });
}

TARVIC_EXPORT TvString VelkAsianOptionPricerMC(double* optionValue, double* delta, double* gamma, double* vega,
                                               double* theta, int32_t* rowCount, double spot, double strike,
                                               double expiry, double volatility, double intRate, double divYield,
                                               int32_t numFixings, int32_t numSettled, double settledAverage,
                                               double firstFixingTime, int32_t optionType, int32_t exerciseType,
                                               int32_t strikeType, int32_t numPaths, int32_t numLSPaths,
                                               int32_t numBasisFunctions, int32_t greeksCode, int32_t greeksMethod,
                                               int32_t timeMarching, int32_t antithetic, int32_t useSobol,
                                               int32_t warmUpSobol, int32_t brownianBridge, int32_t multiThreaded,
                                               int32_t fewSobolBlocks)
{
    return tarvic::guardedExport([&] {
        tarvic::AsianMcRequest request;
        request.spot = spot;
        request.strike = strike;
        request.expiry = expiry;
        request.volatility = volatility;
        request.intRate = intRate;
        request.divYield = divYield;
        request.numFixings = numFixings;
        request.numSettled = numSettled;
        request.settledAverage = settledAverage;
        request.firstFixingTime = firstFixingTime;
        request.optionType = optionType;
        request.exerciseType = exerciseType;
        request.strikeType = strikeType;
        request.simulation = simulationSettings(numPaths, numLSPaths, numBasisFunctions, greeksCode, greeksMethod,
                                                timeMarching, antithetic, useSobol, warmUpSobol, brownianBridge,
                                                multiThreaded, fewSobolBlocks);
        const tarvic::OptionMcOutput output = outputOf(optionValue, delta, gamma, vega, theta, rowCount);
        tarvic::priceAsianOptionMC(request, output);
    });
}
