#include "montecarlo/early_exercise_mc.h"

#include "common/require.h"
#include "montecarlo/early_exercise_path.h"
#include "montecarlo/early_exercise_phases.h"
#include "montecarlo/regression_basis.h"

namespace tarvic {

namespace {

// Checks the contract and chooses the basis set.
const BasisFunctions& basisFor(const EuropeanContract& contract, int32_t basisCount)
{
    validateEuropeanContract(contract);
    if (contract.lowerBarrier > 0.0 || contract.upperBarrier > 0.0)
        requireCode(contract.knockOut, 0, 1, "knockOut");
    return exerciseBasisFor(basisCount, contract.optionType);
}

bool isKnockIn(const EuropeanContract& c)
{
    return (c.lowerBarrier > 0.0 || c.upperBarrier > 0.0) && c.knockOut == 0;
}

EuropeanContract fitContract(const EuropeanContract& contract)
{
    EuropeanContract c = contract;
    c.computeGreeks = false;
    if (isKnockIn(contract))
        c.lowerBarrier = c.upperBarrier = 0.0;
    return c;
}

// The models of a run: the priced paths, and the paths the rule is fitted
// on (without sensitivities; barrier-free for a knock-in), each on its own
// path kind.
template <class PriceKind, class FitKind>
struct ExerciseModels {
    bool inSample;
    BarrierExerciseModelOf<PriceKind> price;
    BarrierExerciseModelOf<FitKind> fit;

    ExerciseModels(const EuropeanContract& contract, const BasisFunctions& basis)
        : inSample(!isKnockIn(contract)), price(contract, basis), fit(fitContract(contract), basis)
    {
    }
};

// Calls body(models) with the models of the contract on the path kinds of
// its run: one instantiation of the engine per marching scheme, monitoring
// and sensitivities.
template <class Body>
double withExerciseModels(const EuropeanContract& contract, int32_t basisCount, Body&& body)
{
    const BasisFunctions& basis = basisFor(contract, basisCount);
    const EuropeanRun run(contract);
    const bool knockIn = isKnockIn(contract);
    return dispatchPathKind(run, [&](auto kind) {
        using Kind = decltype(kind);
        using FitKind = FixedPathKind<Kind::kMarching, Kind::kBarrier, false>;
        using FreeFitKind = FixedPathKind<Kind::kMarching, PathBarrier::None, false>;
        if (Kind::kBarrier != PathBarrier::None && knockIn)
            return body(ExerciseModels<Kind, FreeFitKind>(contract, basis));
        return body(ExerciseModels<Kind, FitKind>(contract, basis));
    });
}

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
    return withExerciseModels(contract, basisCount, [&](const auto& models) {
        return runEarlyExerciseMC(result, rule, models.price, models.fit, models.inSample, pathCount,
                                  regressionPathCount, antithetic, multiThreaded, numCheckpoints);
    });
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
    return withExerciseModels(contract, basisCount, [&](const auto& models) {
        return runEarlyExerciseQMC(result, rule, models.price, models.fit, models.inSample, numPaths, numLSPaths,
                                   brownianBridge, warmUpSobol, multiThreaded, numCheckpoints);
    });
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
