#include "montecarlo/early_exercise_mc.h"

#include "common/require.h"
#include "montecarlo/early_exercise_path.h"
#include "montecarlo/early_exercise_phases.h"
#include "montecarlo/regression_basis.h"

namespace tarvic {

namespace {

// The models of a run: the priced paths, and the paths the rule is fitted
// on (without sensitivities; barrier-free for a knock-in).
struct ExerciseModels {
    bool inSample;
    BarrierExerciseModel price;
    BarrierExerciseModel fit;

    ExerciseModels(const EuropeanContract& contract, int32_t basisCount)
        : inSample(!isKnockIn(contract)), price(contract, basisFor(contract, basisCount)),
          fit(fitContract(contract), basisFor(contract, basisCount))
    {
    }

    static const BasisFunctions& basisFor(const EuropeanContract& contract, int32_t basisCount)
    {
        validateEuropeanContract(contract);
        if (contract.lowerBarrier > 0.0 || contract.upperBarrier > 0.0)
            requireCode(contract.knockOut, 0, 1, "knockOut");
        return exerciseBasisFor(basisCount, contract.optionType);
    }
    static bool isKnockIn(const EuropeanContract& c)
    {
        return (c.lowerBarrier > 0.0 || c.upperBarrier > 0.0) && c.knockOut == 0;
    }
    static EuropeanContract fitContract(const EuropeanContract& contract)
    {
        EuropeanContract c = contract;
        c.computeGreeks = false;
        if (isKnockIn(contract))
            c.lowerBarrier = c.upperBarrier = 0.0;
        return c;
    }
};

EuropeanContract contractOf(double spot, double strike, double lowerBarrier, double upperBarrier, double intRate,
                            double expiry, double volatility, double divYield, int32_t numSteps, int32_t optionType,
                            int32_t knockOut, bool contMonitoring, int32_t timeMarching, bool computeGreeks)
{
    return EuropeanContract{spot,     strike,     lowerBarrier,   upperBarrier, intRate,
                            expiry,   volatility, divYield,       numSteps,     optionType,
                            knockOut, contMonitoring, timeMarching, computeGreeks};
}

}  // namespace

double priceEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, const EuropeanContract& contract,
                            int64_t pathCount, int64_t regressionPathCount, int32_t basisCount, bool antithetic,
                            bool multiThreaded, int32_t numCheckpoints)
{
    const ExerciseModels models(contract, basisCount);
    return runEarlyExerciseMC(result, rule, models.price, models.fit, models.inSample, pathCount,
                              regressionPathCount, antithetic, multiThreaded, numCheckpoints);
}

double priceEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, double spot, double strike,
                            double lowerBarrier, double upperBarrier, double intRate, double expiry,
                            double volatility, double divYield, int64_t pathCount, int64_t regressionPathCount,
                            int32_t numSteps, int32_t optionType, int32_t knockOut, bool contMonitoring,
                            int32_t timeMarching, int32_t basisCount, bool computeGreeks, bool antithetic,
                            bool multiThreaded, int32_t numCheckpoints)
{
    return priceEarlyExerciseMC(result, rule,
                                contractOf(spot, strike, lowerBarrier, upperBarrier, intRate, expiry, volatility,
                                           divYield, numSteps, optionType, knockOut, contMonitoring, timeMarching,
                                           computeGreeks),
                                pathCount, regressionPathCount, basisCount, antithetic, multiThreaded,
                                numCheckpoints);
}

double priceEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, const EuropeanContract& contract,
                             int32_t numPaths, int32_t numLSPaths, int32_t basisCount, bool brownianBridge,
                             bool warmUpSobol, bool multiThreaded, int32_t numCheckpoints)
{
    const ExerciseModels models(contract, basisCount);
    return runEarlyExerciseQMC(result, rule, models.price, models.fit, models.inSample, numPaths, numLSPaths,
                               brownianBridge, warmUpSobol, multiThreaded, numCheckpoints);
}

double priceEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, double spot, double strike,
                             double lowerBarrier, double upperBarrier, double intRate, double expiry,
                             double volatility, double divYield, int32_t numPaths, int32_t numLSPaths,
                             int32_t numSteps, int32_t optionType, int32_t knockOut, bool contMonitoring,
                             int32_t timeMarching, int32_t basisCount, bool computeGreeks, bool brownianBridge,
                             bool warmUpSobol, bool multiThreaded, int32_t numCheckpoints)
{
    return priceEarlyExerciseQMC(result, rule,
                                 contractOf(spot, strike, lowerBarrier, upperBarrier, intRate, expiry, volatility,
                                            divYield, numSteps, optionType, knockOut, contMonitoring, timeMarching,
                                            computeGreeks),
                                 numPaths, numLSPaths, basisCount, brownianBridge, warmUpSobol, multiThreaded,
                                 numCheckpoints);
}

}  // namespace tarvic
