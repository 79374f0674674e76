#include "montecarlo/option_pricer_mc.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "common/finite_results.h"
#include "common/require.h"
#include "montecarlo/asian_early_exercise_mc.h"
#include "montecarlo/asian_european_mc.h"
#include "montecarlo/asian_path.h"
#include "montecarlo/early_exercise.h"
#include "montecarlo/early_exercise_mc.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/european_mc.h"
#include "montecarlo/european_path.h"
#include "montecarlo/european_qmc.h"
#include "montecarlo/marching_floor.h"

namespace tarvic {

namespace {

constexpr int32_t kSobolCheckpoints = 9;  // read by the Sobol engine as an exponent: at most 512 rows
constexpr int32_t kPseudoRandomCheckpoints = 500;
constexpr int32_t kMaxThousandsOfPaths = std::numeric_limits<int32_t>::max() / 1000;

struct GreekWishes {
    bool deltaGamma = false;
    bool vega = false;
    bool theta = false;
};

// The decimal code read by subtraction: 1000 delta and gamma, 100 vega, 10 theta.
GreekWishes decodeGreeks(int32_t code)
{
    GreekWishes wishes;
    if (code >= 1000) {
        wishes.deltaGamma = true;
        code -= 1000;
    }
    if (code >= 100) {
        wishes.vega = true;
        code -= 100;
    }
    if (code >= 10)
        wishes.theta = true;
    return wishes;
}

void requireArray(const void* array, const char* name)
{
    if (!array)
        fail(std::string("Invalid input: ") + name + " must not be a null pointer.");
}

// The request as both exports decode it.
struct FrameSettings {
    int32_t numCheckpoints = kPseudoRandomCheckpoints;
    bool computeGreeks = false;      // the engines' likelihood-ratio estimators
    bool finiteDifferences = false;  // bumped runs
    GreekWishes wishes;
    BumpSteps bumps{0.0, 0.0, 0.0};
    bool spotRunsReuseRule = false;  // else the rule is emptied before every bumped run
};

FrameSettings decodeSettings(const SimulationSettings& settings)
{
    FrameSettings s;
    s.numCheckpoints = settings.useSobol ? kSobolCheckpoints : kPseudoRandomCheckpoints;
    s.computeGreeks = settings.greeksMethod == 1 && settings.greeksCode >= 1;
    s.finiteDifferences = settings.greeksMethod == 2;
    s.wishes = decodeGreeks(settings.greeksCode);
    return s;
}

// The caller's arrays and the path counts, before anything runs. With early
// exercise the engines raise low counts (the regression paths to at least
// 1000 or 2^10, all paths to at least the regression paths), so only counts
// above the limits are refused there.
void checkRequest(const SimulationSettings& request, bool earlyExercise, const OptionMcOutput& output)
{
    requireArray(output.optionValue, "optionValue");
    requireArray(output.rowCount, "rowCount");
    if (request.useSobol) {
        if ((request.numPaths < 0 && !earlyExercise) || request.numPaths > 30)
            fail("Invalid input: numPaths must be 0 .. 30 with Sobol points (2^numPaths paths).");
    } else {
        if (!earlyExercise)
            requireAtLeast(request.numPaths, 1, "numPaths");
        if (request.numPaths > kMaxThousandsOfPaths)
            fail("Invalid input: numPaths must be at most " + std::to_string(kMaxThousandsOfPaths) +
                 " (thousands of paths).");
    }
    if (earlyExercise) {
        if (request.useSobol) {
            if (request.numLSPaths > 30)
                fail("Invalid input: numLSPaths must be at most 30 with Sobol points (2^numLSPaths regression "
                     "paths).");
        } else if (request.numLSPaths > kMaxThousandsOfPaths) {
            fail("Invalid input: numLSPaths must be at most " + std::to_string(kMaxThousandsOfPaths) +
                 " (thousands of regression paths).");
        }
        if (request.numBasisFunctions == std::numeric_limits<int32_t>::max())
            fail("Invalid input: numBasisFunctions must be below " +
                 std::to_string(std::numeric_limits<int32_t>::max()) + ".");
    }
}

// The paths of the estimate as the engines count them: with early exercise
// the regression paths are raised to 1000 (2^10), all paths to the
// regression paths.
double estimatePaths(const SimulationSettings& r, bool earlyExercise)
{
    if (r.useSobol) {
        int32_t exponent = std::max(r.numPaths, 0);
        if (earlyExercise)
            exponent = std::max({exponent, r.numLSPaths, 10});
        return std::ldexp(1.0, exponent);
    }
    double paths = 1000.0 * std::max(r.numPaths, 1);
    if (earlyExercise)
        paths = std::max({paths, 1000.0 * r.numLSPaths, 1000.0});
    return paths;
}

// The base run and the bumped runs of finite differencing, then the rows:
// run(result, contract, rule) runs the chosen engine (the rule is read and
// written by the early-exercise engines only); a run with a non-finite row
// fails, and so does a non-finite entry in any row to be written. The
// caller's arrays are written once every run has succeeded and only those
// asked for: with either method, greeksCode names the sensitivities written.
template <class Contract, class Run>
void runFrame(const Contract& contract, const FrameSettings& s, Run&& run, const OptionMcOutput& output)
{
    const BumpSteps& bumps = s.bumps;
    ExerciseRule rule;
    EstimateSeries base, spotUp, spotDown, volUp, expiryUp;
    // A run whose values are not finite ends the call at once; the rows
    // written are checked as a whole below.
    const auto runChecked = [&](EstimateSeries& result, const Contract& c) {
        run(result, c, rule);
        requireFiniteResults({&result.value()}, kNonFiniteResultText);
    };
    runChecked(base, contract);
    if (s.finiteDifferences) {
        if (s.wishes.deltaGamma) {
            Contract bumped = contract;
            bumped.spot = contract.spot * (1.0 + bumps.spot);
            if (!s.spotRunsReuseRule)
                rule.clear();
            runChecked(spotUp, bumped);
            bumped.spot = contract.spot * (1.0 - bumps.spot);
            if (!s.spotRunsReuseRule)
                rule.clear();
            runChecked(spotDown, bumped);
        }
        if (s.wishes.vega) {
            Contract bumped = contract;
            bumped.volatility = contract.volatility * (1.0 + bumps.volatility);
            rule.clear();
            runChecked(volUp, bumped);
        }
        if (s.wishes.theta) {
            Contract bumped = contract;
            bumped.expiry = contract.expiry * (1.0 + bumps.expiry);
            rule.clear();
            runChecked(expiryUp, bumped);
        }
    }

    // Every run has succeeded: the rows of the arrays asked for, each from
    // the bumped runs (finite differencing) or from the base run's own
    // estimators (likelihood ratio).
    const std::vector<double>& value = base[EstimateSeries::kValue];
    const size_t rows = value.size();
    const GreekWishes& wishes = s.wishes;
    const auto fromBase = [&](size_t k) {
        return s.computeGreeks && base[k].size() == rows ? base[k] : std::vector<double>();
    };
    std::vector<double> delta, gamma, vega, theta;
    if (s.finiteDifferences) {
        const double h = bumps.spot * contract.spot;
        if (!spotUp.value().empty()) {
            delta.resize(rows);
            gamma.resize(rows);
            for (size_t i = 0; i < rows; ++i) {
                const double up = spotUp.value()[i];
                const double down = spotDown.value()[i];
                delta[i] = (up - down) * 0.5 / h;
                gamma[i] = (up - 2.0 * value[i] + down) / (h * h);
            }
        }
        if (!volUp.value().empty()) {
            vega.resize(rows);
            for (size_t i = 0; i < rows; ++i)
                vega[i] = (volUp.value()[i] - value[i]) / (bumps.volatility * contract.volatility) / 100.0;
        }
        if (!expiryUp.value().empty()) {
            theta.resize(rows);
            for (size_t i = 0; i < rows; ++i)
                theta[i] = (expiryUp.value()[i] - value[i]) / (bumps.expiry * contract.expiry) / -365.0;
        }
    } else if (s.computeGreeks) {
        if (wishes.deltaGamma) {
            delta = fromBase(EstimateSeries::kDelta);
            gamma = fromBase(EstimateSeries::kGamma);
        }
        if (wishes.vega)
            vega = fromBase(EstimateSeries::kVega);
        if (wishes.theta)
            theta = fromBase(EstimateSeries::kTheta);
    }
    requireFiniteResults({&value, &delta, &gamma, &vega, &theta}, kNonFiniteResultText);
    if (!delta.empty() || !gamma.empty()) {
        requireArray(output.delta, "delta");
        requireArray(output.gamma, "gamma");
    }
    if (!vega.empty())
        requireArray(output.vega, "vega");
    if (!theta.empty())
        requireArray(output.theta, "theta");

    *output.rowCount = static_cast<int32_t>(rows);
    const auto write = [](const std::vector<double>& rowsOf, double* to) {
        if (!rowsOf.empty())
            std::copy(rowsOf.begin(), rowsOf.end(), to);
    };
    write(value, output.optionValue);
    write(delta, output.delta);
    write(gamma, output.gamma);
    write(vega, output.vega);
    write(theta, output.theta);
}

}  // namespace

BumpSteps europeanBumpSteps(bool hasBarrier, bool contMonitoring)
{
    if (!hasBarrier)
        return {0.0001, 0.0001, 0.0001};
    return {contMonitoring ? 0.002 : 0.01, 0.0001, 0.0001};
}

BumpSteps earlyExerciseBumpSteps(bool contMonitoring) { return {0.01, contMonitoring ? 0.002 : 0.01, 0.01}; }

void priceOptionMC(const OptionMcRequest& request, const OptionMcOutput& output)
{
    const bool earlyExercise = request.exerciseType != 0;
    const SimulationSettings& r = request.simulation;
    checkRequest(r, earlyExercise, output);
    FrameSettings settings = decodeSettings(r);

    EuropeanContract contract;
    contract.spot = request.spot;
    contract.strike = request.strike;
    contract.lowerBarrier = request.lowerBarrier;
    contract.upperBarrier = request.upperBarrier;
    contract.intRate = request.intRate;
    contract.expiry = request.expiry;
    contract.volatility = request.volatility;
    contract.divYield = request.divYield;
    contract.numSteps = request.numSteps;
    contract.optionType = request.optionType;
    contract.knockOut = request.knockOut;
    contract.contMonitoring = request.contMonitoring;
    contract.timeMarching = r.timeMarching;
    contract.computeGreeks = settings.computeGreeks;
    validateEuropeanContract(contract);
    // Barriers or not: the mass a step puts below 0 is what lets an estimate
    // exceed what the option can be worth (a down-and-out call on one Euler
    // step is the vanilla's value on the paths above the barrier).
    requireMarchingFloorWithinError(r.timeMarching, request.intRate - request.divYield, request.volatility,
                                    request.expiry, request.numSteps, estimatePaths(r, earlyExercise), "numSteps",
                                    true);

    // A continuously monitored knock-in whose spot is already on or beyond a
    // barrier has knocked in: it is the vanilla option.
    if (request.knockOut == 0 && request.contMonitoring &&
        ((request.lowerBarrier > 0.0 && request.spot <= request.lowerBarrier) ||
         (request.upperBarrier > 0.0 && request.spot >= request.upperBarrier))) {
        contract.lowerBarrier = 0.0;
        contract.upperBarrier = 0.0;
    }
    const bool hasBarrier = contract.lowerBarrier > 0.0 || contract.upperBarrier > 0.0;
    if (hasBarrier)
        requireCode(request.knockOut, 0, 1, "knockOut");
    settings.bumps =
        earlyExercise ? earlyExerciseBumpSteps(request.contMonitoring) : europeanBumpSteps(hasBarrier, request.contMonitoring);
    // The spot-bumped runs apply the base run's exercise rule; the
    // volatility and expiry runs fit their own.
    settings.spotRunsReuseRule = true;

    const int32_t numCheckpoints = settings.numCheckpoints;
    runFrame(contract, settings, [&](EstimateSeries& result, const EuropeanContract& c, ExerciseRule& rule) {
        if (!earlyExercise) {
            if (r.useSobol)
                priceEuropeanQMC(result, c, r.numPaths, r.brownianBridge, r.warmUpSobol, r.multiThreaded,
                                 r.fewSobolBlocks, numCheckpoints);
            else
                priceEuropeanMC(result, c, static_cast<int64_t>(r.numPaths) * 1000, r.antithetic, r.multiThreaded,
                                numCheckpoints);
        } else {
            const int32_t basisCount = r.numBasisFunctions + 1;
            if (r.useSobol)
                priceEarlyExerciseQMC(result, rule, c, r.numPaths, r.numLSPaths, basisCount, r.brownianBridge,
                                      r.warmUpSobol, r.multiThreaded, numCheckpoints);
            else
                priceEarlyExerciseMC(result, rule, c, static_cast<int64_t>(r.numPaths) * 1000,
                                     static_cast<int64_t>(r.numLSPaths) * 1000, basisCount, r.antithetic,
                                     r.multiThreaded, numCheckpoints);
        }
    }, output);
}

BumpSteps asianBumpSteps(bool earlyExercise)
{
    return earlyExercise ? BumpSteps{0.01, 0.001, 0.001} : BumpSteps{0.001, 0.0001, 0.0001};
}

void priceAsianOptionMC(const AsianMcRequest& request, const OptionMcOutput& output)
{
    const bool earlyExercise = request.exerciseType != 0;
    const SimulationSettings& r = request.simulation;
    checkRequest(r, earlyExercise, output);
    FrameSettings settings = decodeSettings(r);
    settings.bumps = asianBumpSteps(earlyExercise);
    // Every bumped run fits its own exercise rule, the spot runs included.
    settings.spotRunsReuseRule = false;

    // firstFixingTime is not read: the fixings to come lie at T/N, 2T/N, ..., T.
    AsianContract contract;
    contract.spot = request.spot;
    contract.strike = request.strike;
    contract.intRate = request.intRate;
    contract.expiry = request.expiry;
    contract.volatility = request.volatility;
    contract.divYield = request.divYield;
    contract.numFixings = request.numFixings;
    contract.optionType = request.optionType;
    contract.numSettled = request.numSettled;
    contract.settledAverage = request.settledAverage;
    contract.strikeType = request.strikeType;
    contract.timeMarching = r.timeMarching;
    contract.computeGreeks = settings.computeGreeks;
    validateAsianContract(contract, earlyExercise);
    requireMarchingFloorWithinError(r.timeMarching, request.intRate - request.divYield, request.volatility,
                                    request.expiry, request.numFixings, estimatePaths(r, earlyExercise),
                                    "numFixings", false);
    if (r.useSobol)
        requireSobolFixings(request.numFixings);

    const int32_t numCheckpoints = settings.numCheckpoints;
    runFrame(contract, settings, [&](EstimateSeries& result, const AsianContract& c, ExerciseRule& rule) {
        if (!earlyExercise) {
            if (r.useSobol)
                priceAsianEuropeanQMC(result, c, r.numPaths, r.brownianBridge, r.warmUpSobol, r.multiThreaded,
                                      r.fewSobolBlocks, numCheckpoints);
            else
                priceAsianEuropeanMC(result, c, static_cast<int64_t>(r.numPaths) * 1000, r.antithetic,
                                     r.multiThreaded, numCheckpoints);
        } else {
            const int32_t basisCount = r.numBasisFunctions + 1;
            if (r.useSobol)
                priceAsianEarlyExerciseQMC(result, rule, c, r.numPaths, r.numLSPaths, basisCount, r.brownianBridge,
                                           r.warmUpSobol, r.multiThreaded, numCheckpoints);
            else
                priceAsianEarlyExerciseMC(result, rule, c, static_cast<int64_t>(r.numPaths) * 1000,
                                          static_cast<int64_t>(r.numLSPaths) * 1000, basisCount, r.antithetic,
                                          r.multiThreaded, numCheckpoints);
        }
    }, output);
}

}  // namespace tarvic
