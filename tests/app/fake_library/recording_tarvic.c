/* A stand-in pricing library for the pricer window's run tests: the three
 * finite-difference exports and the two Monte Carlo exports record their
 * arguments and answer as scripted; the four closed forms record theirs
 * apart and answer with known figures.
 *
 * Script (tvScript): the last node index to write back (-1: the asset steps
 * passed in), the top of a uniform grid from 0, and an optional failure
 * text. On success entries 0..n get x = top * i / n (a negative top: the
 * non-uniform grid x = |top| * (i / n)^2), value x^2 / 100, delta
 * x / 50, gamma 0.02, theta -x / 365, vega x / 10 (vega only with calcVega).
 * A failure first scribbles 777 over entries 0..n, as a solver that stopped
 * half way would, then returns the text; the failure text "(null)" returns
 * no text at all, as a library out of memory would.
 *
 * Monte Carlo: the row count written back is the scripted last node unless
 * that is -1 (any count, however wrong; at most 50001 rows are written),
 * else 9 rows with Sobol points and 500 otherwise. Row i holds
 * value 10 + 1 / (i + 1) and, where asked for (greeksCode), delta 0.5,
 * gamma 0.01, vega 0.3 and theta -0.02. A failure scribbles 777 over the
 * rows first.
 *
 * Closed forms: VanillaBS and BarrierBS give the scripted value
 * (tvScriptClosedForm; NaN: spot / 10) with delta 0.5, gamma 0.02, theta
 * 36.5 per year and vega 25 per unit of volatility; VanillaBSGrid gives
 * x^2 / 100 - 1 at each node x, BarrierBSGrid x^2 / 100 - 2, so the error of
 * a scripted finite-difference solution is 1 or 2 at every node.
 *
 * Slow calls (tvHold): while held, each call waits (on the caller's thread,
 * at most a minute) until tvRelease; tvHeld tells whether a call is waiting
 * now. The record is written before the wait and must be read only after
 * the call has returned. */
#include "stand_in_text.h"
#include "tv_record.h"

#include <string.h>
#include <time.h>

#define EXPORT __attribute__((visibility("default")))


static TvRecord record;
static double scriptClosed = __builtin_nan("");
static int32_t scriptNode = -1;
static double scriptTop = 200.0;
static char scriptFailure[256];

static int holding;
static int released;
static int waiting;

EXPORT void tvHold(int32_t on)
{
    __atomic_store_n(&released, 0, __ATOMIC_SEQ_CST);
    __atomic_store_n(&holding, on, __ATOMIC_SEQ_CST);
}

EXPORT void tvRelease(void)
{
    __atomic_store_n(&released, 1, __ATOMIC_SEQ_CST);
}

EXPORT int32_t tvHeld(void)
{
    return __atomic_load_n(&waiting, __ATOMIC_SEQ_CST);
}

static void waitWhileHeld(void)
{
    if (!__atomic_load_n(&holding, __ATOMIC_SEQ_CST))
        return;
    __atomic_store_n(&waiting, 1, __ATOMIC_SEQ_CST);
    const struct timespec tick = {0, 1000000};
    for (int i = 0; i < 60000 && !__atomic_load_n(&released, __ATOMIC_SEQ_CST); ++i)
        nanosleep(&tick, 0);
    __atomic_store_n(&waiting, 0, __ATOMIC_SEQ_CST);
}

EXPORT TvRecord* tvRecorded(void)
{
    return &record;
}

EXPORT void tvScript(int32_t lastNode, double top, const char* failure)
{
    scriptNode = lastNode;
    scriptTop = top;
    scriptFailure[0] = 0;
    if (failure)
        strncpy(scriptFailure, failure, sizeof scriptFailure - 1);
    memset(&record, 0, sizeof record);
}

EXPORT void tvScriptClosedForm(double value)
{
    scriptClosed = value;
}

static void begin(const char* name, double* a, double* v, double* d, double* g, double* t,
                  double* ve)
{
    int calls = record.calls;
    memset(record.name, 0, sizeof record.name);
    memset(record.args, 0, sizeof record.args);
    record.count = 0;
    record.calls = calls + 1;
    strncpy(record.name, name, sizeof record.name - 1);
    record.arrays[0] = a;
    record.arrays[1] = v;
    record.arrays[2] = d;
    record.arrays[3] = g;
    record.arrays[4] = t;
    record.arrays[5] = ve;
}

static void put(double x)
{
    if (record.count < 40)
        record.args[record.count++] = x;
}

static TvString answer(double* a, double* v, double* d, double* g, double* t, double* ve,
                       int32_t* assetSteps, int32_t calcVega)
{
    waitWhileHeld();
    int32_t n = scriptNode >= 0 ? scriptNode : *assetSteps;
    *assetSteps = n;
    if (n > 50000)
        return standInText(0, 0);
    if (scriptFailure[0]) {
        for (int32_t i = 0; i <= n; ++i)
            a[i] = v[i] = d[i] = g[i] = t[i] = ve[i] = 777.0;
        if (strcmp(scriptFailure, "(null)") == 0)
            return 0;
        return standInText(scriptFailure, (uint32_t)strlen(scriptFailure));
    }
    for (int32_t i = 0; i <= n; ++i) {
        double u = n > 0 ? (double)i / n : 0.0;
        double x = scriptTop >= 0.0 ? scriptTop * u : -scriptTop * u * u;
        a[i] = x;
        v[i] = x * x / 100.0;
        d[i] = x / 50.0;
        g[i] = 0.02;
        t[i] = -x / 365.0;
        if (calcVega)
            ve[i] = x / 10.0;
    }
    return standInText(0, 0);
}

EXPORT TvString VelkOptionPricer(double* a, double* v, double* d, double* g, double* t,
                                 double* ve, double strike, int32_t timeSteps, double expiry,
                                 double volatility, double intRate, double divYield,
                                 int32_t* assetSteps, int32_t optionType, int32_t exerciseType,
                                 int32_t discretization, int32_t amerSolver, double maxAsset,
                                 int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid,
                                 int32_t numPeriods)
{
    begin("VelkOptionPricer", a, v, d, g, t, ve);
    put(strike); put(timeSteps); put(expiry); put(volatility); put(intRate); put(divYield);
    put(*assetSteps); put(optionType); put(exerciseType); put(discretization); put(amerSolver);
    put(maxAsset); put(calcTheta); put(calcVega); put(nonUniformGrid); put(numPeriods);
    return answer(a, v, d, g, t, ve, assetSteps, calcVega);
}

EXPORT TvString VelkBarrierOptionPricer(double* a, double* v, double* d, double* g, double* t,
                                        double* ve, double spot, double strike,
                                        double lowerBarrier, double upperBarrier,
                                        int32_t contMonitoring, int32_t timeSteps, double expiry,
                                        double volatility, double intRate, double divYield,
                                        int32_t* assetSteps, int32_t optionType,
                                        int32_t knockOut, int32_t exerciseType,
                                        int32_t discretization, int32_t amerSolver,
                                        double maxAsset, int32_t calcTheta, int32_t calcVega,
                                        int32_t nonUniformGrid, int32_t numPeriods)
{
    begin("VelkBarrierOptionPricer", a, v, d, g, t, ve);
    put(spot); put(strike); put(lowerBarrier); put(upperBarrier); put(contMonitoring);
    put(timeSteps); put(expiry); put(volatility); put(intRate); put(divYield); put(*assetSteps);
    put(optionType); put(knockOut); put(exerciseType); put(discretization); put(amerSolver);
    put(maxAsset); put(calcTheta); put(calcVega); put(nonUniformGrid); put(numPeriods);
    return answer(a, v, d, g, t, ve, assetSteps, calcVega);
}

EXPORT TvString VelkAsianOptionPricer(double* a, double* v, double* d, double* g, double* t,
                                      double* ve, double spot, double strike, int32_t timeSteps,
                                      double expiry, double volatility, double intRate,
                                      double divYield, int32_t* assetSteps, int32_t planeSpacing,
                                      int32_t numFixings, int32_t numSettled,
                                      double settledAverage, double firstFixingTime,
                                      int32_t optionType, int32_t exerciseType,
                                      int32_t discretization, int32_t amerSolver,
                                      int32_t planesInterp, double maxAsset, int32_t calcTheta,
                                      int32_t calcVega, int32_t nonUniformGrid,
                                      int32_t multiThreaded)
{
    begin("VelkAsianOptionPricer", a, v, d, g, t, ve);
    put(spot); put(strike); put(timeSteps); put(expiry); put(volatility); put(intRate);
    put(divYield); put(*assetSteps); put(planeSpacing); put(numFixings); put(numSettled);
    put(settledAverage); put(firstFixingTime); put(optionType); put(exerciseType);
    put(discretization); put(amerSolver); put(planesInterp); put(maxAsset); put(calcTheta);
    put(calcVega); put(nonUniformGrid); put(multiThreaded);
    return answer(a, v, d, g, t, ve, assetSteps, calcVega);
}

/* ---- Monte Carlo ---- */

static TvString answerMC(double* v, double* d, double* g, double* ve, double* t,
                         int32_t* rowCount, int32_t useSobol, int32_t greeksCode)
{
    waitWhileHeld();
    int32_t rows = scriptNode != -1 ? scriptNode : ((useSobol & 0xFF) ? 9 : 500);
    int32_t written = rows < 0 ? 0 : (rows > 50001 ? 50001 : rows);
    if (scriptFailure[0]) {
        for (int32_t i = 0; i < written; ++i)
            v[i] = d[i] = g[i] = ve[i] = t[i] = 777.0;
        if (strcmp(scriptFailure, "(null)") == 0)
            return 0;
        return standInText(scriptFailure, (uint32_t)strlen(scriptFailure));
    }
    for (int32_t i = 0; i < written; ++i) {
        v[i] = 10.0 + 1.0 / (i + 1);
        if (greeksCode >= 1000) {
            d[i] = 0.5;
            g[i] = 0.01;
        }
        if (greeksCode % 1000 >= 100)
            ve[i] = 0.3;
        if (greeksCode % 100 >= 10)
            t[i] = -0.02;
    }
    *rowCount = rows;
    return standInText(0, 0);
}

EXPORT TvString VelkOptionPricerMC(double* v, double* d, double* g, double* ve, double* t,
                                   int32_t* rowCount, double spot, double strike,
                                   double lowerBarrier, double upperBarrier, double expiry,
                                   double volatility, double intRate, double divYield,
                                   int32_t numSteps, int32_t optionType, int32_t exerciseType,
                                   int32_t knockOut, int32_t contMonitoring, int32_t numPaths,
                                   int32_t numLSPaths, int32_t numBasisFunctions,
                                   int32_t greeksCode, int32_t greeksMethod, int32_t timeMarching,
                                   int32_t antithetic, int32_t useSobol, int32_t warmUpSobol,
                                   int32_t brownianBridge, int32_t multiThreaded,
                                   int32_t fewSobolBlocks)
{
    begin("VelkOptionPricerMC", 0, v, d, g, t, ve);
    put(spot); put(strike); put(lowerBarrier); put(upperBarrier); put(expiry); put(volatility);
    put(intRate); put(divYield); put(numSteps); put(optionType); put(exerciseType);
    put(knockOut); put(contMonitoring); put(numPaths); put(numLSPaths); put(numBasisFunctions);
    put(greeksCode); put(greeksMethod); put(timeMarching); put(antithetic); put(useSobol);
    put(warmUpSobol); put(brownianBridge); put(multiThreaded); put(fewSobolBlocks);
    return answerMC(v, d, g, ve, t, rowCount, useSobol, greeksCode);
}

EXPORT TvString VelkAsianOptionPricerMC(double* v, double* d, double* g, double* ve, double* t,
                                        int32_t* rowCount, double spot, double strike,
                                        double expiry, double volatility, double intRate,
                                        double divYield, int32_t numFixings, int32_t numSettled,
                                        double settledAverage, double firstFixingTime,
                                        int32_t optionType, int32_t exerciseType,
                                        int32_t strikeType, int32_t numPaths, int32_t numLSPaths,
                                        int32_t numBasisFunctions, int32_t greeksCode,
                                        int32_t greeksMethod, int32_t timeMarching,
                                        int32_t antithetic, int32_t useSobol,
                                        int32_t warmUpSobol, int32_t brownianBridge,
                                        int32_t multiThreaded, int32_t fewSobolBlocks)
{
    begin("VelkAsianOptionPricerMC", 0, v, d, g, t, ve);
    put(spot); put(strike); put(expiry); put(volatility); put(intRate); put(divYield);
    put(numFixings); put(numSettled); put(settledAverage); put(firstFixingTime);
    put(optionType); put(exerciseType); put(strikeType); put(numPaths); put(numLSPaths);
    put(numBasisFunctions); put(greeksCode); put(greeksMethod); put(timeMarching);
    put(antithetic); put(useSobol); put(warmUpSobol); put(brownianBridge); put(multiThreaded);
    put(fewSobolBlocks);
    return answerMC(v, d, g, ve, t, rowCount, useSobol, greeksCode);
}

/* ---- Closed forms ---- */

static void closedCall(const char* name)
{
    memset(record.closedName, 0, sizeof record.closedName);
    strncpy(record.closedName, name, sizeof record.closedName - 1);
    record.closedCount = 0;
    ++record.closedCalls;
}

static void closedPut(double x)
{
    if (record.closedCount < 16)
        record.closedArgs[record.closedCount++] = x;
}

static void closedFigures(double* value, double* delta, double* gamma, double* theta,
                          double* vega, double spot)
{
    *value = scriptClosed == scriptClosed ? scriptClosed : spot / 10.0;
    *delta = 0.5;
    *gamma = 0.02;
    *theta = 36.5;
    *vega = 25.0;
}

EXPORT double VanillaBS(double* value, double* delta, double* gamma, double* theta, double* vega,
                        double spot, double strike, double intRate, double divYield,
                        double volatility, double expiry, int32_t optionType)
{
    closedCall("VanillaBS");
    closedPut(spot); closedPut(strike); closedPut(intRate); closedPut(divYield);
    closedPut(volatility); closedPut(expiry); closedPut(optionType);
    closedFigures(value, delta, gamma, theta, vega, spot);
    return 1.0;
}

EXPORT double BarrierBS(double* value, double* delta, double* gamma, double* theta, double* vega,
                        double spot, double strike, double intRate, double divYield,
                        double volatility, double expiry, double lowerBarrier,
                        double upperBarrier, int32_t knockOut, int32_t optionType)
{
    closedCall("BarrierBS");
    closedPut(spot); closedPut(strike); closedPut(intRate); closedPut(divYield);
    closedPut(volatility); closedPut(expiry); closedPut(lowerBarrier); closedPut(upperBarrier);
    closedPut(knockOut); closedPut(optionType);
    closedFigures(value, delta, gamma, theta, vega, spot);
    return 1.0;
}

static double grid(const double* assetGrid, double* exactValue, int32_t lastIndex, double less)
{
    if (lastIndex > 50000)
        return 0.0;
    for (int32_t i = 0; i <= lastIndex; ++i)
        exactValue[i] = assetGrid[i] * assetGrid[i] / 100.0 - less;
    return 1.0;
}

EXPORT double VanillaBSGrid(const double* assetGrid, double* exactValue, double strike,
                            double intRate, double divYield, double volatility, double expiry,
                            int32_t optionType, int32_t lastIndex)
{
    closedCall("VanillaBSGrid");
    closedPut(strike); closedPut(intRate); closedPut(divYield); closedPut(volatility);
    closedPut(expiry); closedPut(optionType); closedPut(lastIndex);
    return grid(assetGrid, exactValue, lastIndex, 1.0);
}

EXPORT double BarrierBSGrid(const double* assetGrid, double* exactValue, double strike,
                            double intRate, double divYield, double volatility, double expiry,
                            double lowerBarrier, double upperBarrier, int32_t knockOut,
                            int32_t optionType, int32_t lastIndex)
{
    closedCall("BarrierBSGrid");
    closedPut(strike); closedPut(intRate); closedPut(divYield); closedPut(volatility);
    closedPut(expiry); closedPut(lowerBarrier); closedPut(upperBarrier); closedPut(knockOut);
    closedPut(optionType); closedPut(lastIndex);
    return grid(assetGrid, exactValue, lastIndex, 2.0);
}
