#include "montecarlo/asian_early_exercise_mc.h"

#include "montecarlo/asian_european_mc.h"
#include "montecarlo/asian_exercise_path.h"
#include "montecarlo/early_exercise_phases.h"
#include "montecarlo/regression_basis.h"

namespace tarvic {

namespace {

constexpr double kBytesPerGB = 1024.0 * 1024.0 * 1024.0;

// The models of a run: the priced paths, and the same paths without
// sensitivities for the fit, each on its own path kind.
template <class PriceKind, class FitKind>
struct AsianExerciseModels {
    AsianExerciseModelOf<PriceKind> price;
    AsianExerciseModelOf<FitKind> fit;

    AsianExerciseModels(const AsianContract& contract, const BasisFunctions& basis)
        : price(contract, basis), fit(withoutGreeks(contract), basis)
    {
    }

    static AsianContract withoutGreeks(const AsianContract& contract)
    {
        AsianContract c = contract;
        c.computeGreeks = false;
        return c;
    }
};

// Checks the contract, then calls body(models) with the models on the
// path kinds of its marching scheme and sensitivities.
template <class Body>
double withAsianExerciseModels(const AsianContract& contract, int32_t basisCount, Body&& body)
{
    validateAsianContract(contract, true);
    const BasisFunctions& basis = asianBasisFor(basisCount);
    return dispatchPlainPathKind(contract.timeMarching, contract.computeGreeks, [&](auto kind) {
        using Kind = decltype(kind);
        using FitKind = FixedPathKind<Kind::kMarching, PathBarrier::None, false>;
        return body(AsianExerciseModels<Kind, FitKind>(contract, basis));
    });
}

}  // namespace

double priceAsianEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, const AsianContract& contract,
                                 int64_t pathCount, int64_t regressionPathCount, int32_t basisCount,
                                 bool antithetic, bool multiThreaded, int32_t numCheckpoints)
{
    return withAsianExerciseModels(contract, basisCount, [&](const auto& models) {
        return runEarlyExerciseMC(result, rule, models.price, models.fit, true, pathCount, regressionPathCount,
                                  antithetic, multiThreaded, numCheckpoints);
    });
}

double priceAsianEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, const AsianContract& contract,
                                  int32_t numPaths, int32_t numLSPaths, int32_t basisCount, bool brownianBridge,
                                  bool warmUpSobol, bool multiThreaded, int32_t numCheckpoints)
{
    return withAsianExerciseModels(contract, basisCount, [&](const auto& models) {
        requireSobolFixings(contract.numFixings);
        return runEarlyExerciseQMC(result, rule, models.price, models.fit, true, numPaths, numLSPaths,
                                   brownianBridge, warmUpSobol, multiThreaded, numCheckpoints,
                                   (kAsianSobolMemoryLimitGB - kAsianSobolOverheadGB) * kBytesPerGB);
    });
}

double priceAsianEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, double spot, double strike,
                                 double intRate, double expiry, double volatility, double divYield,
                                 int64_t pathCount, int64_t regressionPathCount, int32_t numFixings,
                                 int32_t optionType, int32_t numSettled, double settledAverage, int32_t strikeType,
                                 int32_t timeMarching, int32_t basisCount, bool computeGreeks, bool antithetic,
                                 bool multiThreaded, int32_t numCheckpoints)
{
    return priceAsianEarlyExerciseMC(result, rule,
                                     asianContractOf(spot, strike, intRate, expiry, volatility, divYield,
                                                     numFixings, optionType, numSettled, settledAverage,
                                                     strikeType, timeMarching, computeGreeks),
                                     pathCount, regressionPathCount, basisCount, antithetic, multiThreaded,
                                     numCheckpoints);
}

double priceAsianEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, double spot, double strike,
                                  double intRate, double expiry, double volatility, double divYield,
                                  int32_t numPaths, int32_t numLSPaths, int32_t numFixings, int32_t optionType,
                                  int32_t numSettled, double settledAverage, int32_t strikeType,
                                  int32_t timeMarching, int32_t basisCount, bool computeGreeks,
                                  bool brownianBridge, bool warmUpSobol, bool multiThreaded,
                                  int32_t numCheckpoints)
{
    return priceAsianEarlyExerciseQMC(result, rule,
                                      asianContractOf(spot, strike, intRate, expiry, volatility, divYield,
                                                      numFixings, optionType, numSettled, settledAverage,
                                                      strikeType, timeMarching, computeGreeks),
                                      numPaths, numLSPaths, basisCount, brownianBridge, warmUpSobol,
                                      multiThreaded, numCheckpoints);
}

}  // namespace tarvic
