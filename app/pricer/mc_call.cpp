#include "pricer/mc_call.h"

#include "platform/tarvic_library.h"
#include "pricer/plot_rules.h"

namespace tarvic {

McCallResult callMcLibrary(const McRequest& q, ResultArrays& a)
{
    TarvicLibrary& library = TarvicLibrary::instance();
    double* value = a.column(1);
    double* delta = a.column(2);
    double* gamma = a.column(3);
    double* theta = a.column(4);
    double* vega = a.column(5);
    McCallResult r;
    // The library's count goes to a local first; the window decides what
    // to believe.
    int32_t rows = 0;
    if (isAsian(q.payoff))
        r.text = library.VelkAsianOptionPricerMC(
            value, delta, gamma, vega, theta, rows, q.spot, q.strike, q.expiry, q.volatility,
            q.intRate, q.divYield, q.numFixings, q.numSettled, q.settledAverage,
            q.firstFixingTime, q.optionType, q.exerciseType, q.strikeType, q.numPaths,
            q.numLSPaths, q.numBasisFunctions, q.greeksCode, q.greeksMethod, q.timeMarching,
            flagArgument(q.antithetic), flagArgument(q.useSobol), flagArgument(q.warmUpSobol),
            flagArgument(q.brownianBridge), flagArgument(q.multiThreaded),
            flagArgument(q.fewSobolBlocks));
    else
        r.text = library.VelkOptionPricerMC(
            value, delta, gamma, vega, theta, rows, q.spot, q.strike, q.lowerBarrier,
            q.upperBarrier, q.expiry, q.volatility, q.intRate, q.divYield, q.numSteps,
            q.optionType, q.exerciseType, q.knockOut, flagArgument(q.contMonitoring), q.numPaths,
            q.numLSPaths, q.numBasisFunctions, q.greeksCode, q.greeksMethod, q.timeMarching,
            flagArgument(q.antithetic), flagArgument(q.useSobol), flagArgument(q.warmUpSobol),
            flagArgument(q.brownianBridge), flagArgument(q.multiThreaded),
            flagArgument(q.fewSobolBlocks));
    r.rowCount = rows;
    return r;
}

}  // namespace tarvic
