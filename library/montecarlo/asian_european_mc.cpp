#include "montecarlo/asian_european_mc.h"

#include <omp.h>

#include "common/require.h"
#include "montecarlo/european_drivers.h"
#include "montecarlo/european_mc.h"
#include "montecarlo/european_qmc.h"
#include "montecarlo/random_generator64.h"

namespace tarvic {

double priceAsianEuropeanMC(EstimateSeries& result, const AsianContract& contract, int64_t pathCount,
                            bool antithetic, bool multiThreaded, int32_t numCheckpoints)
{
    validateAsianContract(contract, false);
    const PseudoRandomLayout layout =
        pseudoRandomLayout(pathCount, numCheckpoints, antithetic, generatorSlotCount());
    const AsianRun run(contract);
    return dispatchPlainPathKind(run.path.marching, run.path.greeks, [&](auto kind) {
        return runEuropeanMC<AsianPath<decltype(kind)>>(result, run, layout, kSeedTable, antithetic,
                                                        multiThreaded, contract.computeGreeks, run.discount);
    });
}

double priceAsianEuropeanQMC(EstimateSeries& result, const AsianContract& contract, int32_t numPaths,
                             bool brownianBridge, bool warmUpSobol, bool multiThreaded, bool fewSobolBlocks,
                             int32_t numCheckpoints)
{
    validateAsianContract(contract, false);
    requireSobolCheckpoints(numCheckpoints);
    requireSobolFixings(contract.numFixings);
    const int threads = multiThreaded ? omp_get_max_threads() : 1;
    const SobolBlockLayout layout = sobolBlockLayout(numPaths, contract.numFixings, fewSobolBlocks, threads);
    const AsianRun run(contract);
    return dispatchPlainPathKind(run.path.marching, run.path.greeks, [&](auto kind) {
        return runEuropeanQMC<AsianPath<decltype(kind)>>(result, run, layout, contract.computeGreeks,
                                                         brownianBridge, warmUpSobol, multiThreaded,
                                                         numCheckpoints, run.discount);
    });
}

AsianContract asianContractOf(double spot, double strike, double intRate, double expiry, double volatility,
                              double divYield, int32_t numFixings, int32_t optionType, int32_t numSettled,
                              double settledAverage, int32_t strikeType, int32_t timeMarching,
                              bool computeGreeks)
{
    AsianContract c;
    c.spot = spot;
    c.strike = strike;
    c.intRate = intRate;
    c.expiry = expiry;
    c.volatility = volatility;
    c.divYield = divYield;
    c.numFixings = numFixings;
    c.optionType = optionType;
    c.numSettled = numSettled;
    c.settledAverage = settledAverage;
    c.strikeType = strikeType;
    c.timeMarching = timeMarching;
    c.computeGreeks = computeGreeks;
    return c;
}

double priceAsianEuropeanMC(EstimateSeries& result, double spot, double strike, double intRate, double expiry,
                            double volatility, double divYield, int64_t pathCount, int32_t numFixings,
                            int32_t optionType, int32_t numSettled, double settledAverage, int32_t strikeType,
                            int32_t timeMarching, bool computeGreeks, bool antithetic, bool multiThreaded,
                            int32_t numCheckpoints)
{
    return priceAsianEuropeanMC(result,
                                asianContractOf(spot, strike, intRate, expiry, volatility, divYield, numFixings,
                                                optionType, numSettled, settledAverage, strikeType, timeMarching,
                                                computeGreeks),
                                pathCount, antithetic, multiThreaded, numCheckpoints);
}

double priceAsianEuropeanQMC(EstimateSeries& result, double spot, double strike, double intRate, double expiry,
                             double volatility, double divYield, int32_t numPaths, int32_t numFixings,
                             int32_t optionType, int32_t numSettled, double settledAverage, int32_t strikeType,
                             int32_t timeMarching, bool computeGreeks, bool brownianBridge, bool warmUpSobol,
                             bool multiThreaded, bool fewSobolBlocks, int32_t numCheckpoints)
{
    return priceAsianEuropeanQMC(result,
                                 asianContractOf(spot, strike, intRate, expiry, volatility, divYield, numFixings,
                                                 optionType, numSettled, settledAverage, strikeType, timeMarching,
                                                 computeGreeks),
                                 numPaths, brownianBridge, warmUpSobol, multiThreaded, fewSobolBlocks,
                                 numCheckpoints);
}

}  // namespace tarvic
