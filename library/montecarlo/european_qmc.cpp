#include "montecarlo/european_qmc.h"

#include <omp.h>

#include <string>

#include "common/require.h"
#include "montecarlo/european_drivers.h"
#include "montecarlo/simulation_limits.h"
#include "montecarlo/sobol_generator.h"

namespace tarvic {

namespace {

constexpr int32_t kMaxSobolExponent = 30;
constexpr double kBytesPerGB = 1024.0 * 1024.0 * 1024.0;
constexpr double kTargetGB = 2.0;
constexpr double kLimitGB = 3.5;

// Bytes of the threads' B x S point matrices (8-byte doubles) and the blocks'
// S-word start states (4 bytes).
uint64_t layoutBytes(uint64_t points, uint64_t blocks, uint64_t steps, uint64_t threads)
{
    const uint64_t blockPoints = points / blocks;
    return 4u * steps * (2u * blockPoints * threads + blocks);
}

}  // namespace

SobolBlockLayout sobolBlockLayout(int32_t exponent, int32_t numSteps, bool fewSobolBlocks, int threads)
{
    if (exponent < 0 || exponent > kMaxSobolExponent)
        fail("Invalid input: numPaths must be 0 .. 30 with Sobol points (2^numPaths paths).");
    requireAtLeast(numSteps, 1, "numSteps");
    if (numSteps > kMaxSobolDimensions)
        fail("Invalid input: numSteps must be at most 20000 with Sobol points (one dimension per step).");
    if (threads < 1)
        threads = 1;

    SobolBlockLayout layout;
    layout.points = uint64_t(1) << exponent;
    const uint64_t least = fewSobolBlocks ? 8u : 128u;
    const uint64_t byExponent = exponent >= 11 ? uint64_t(1) << (exponent - 11) : 0u;
    uint64_t blocks = byExponent > least ? byExponent : least;
    if (layout.points < blocks) {
        const int needed = fewSobolBlocks ? 3 : 7;
        fail("Invalid input: numPaths must be at least " + std::to_string(needed) + " with Sobol points, so that each of the " +
             std::to_string(blocks) + " blocks has a point.");
    }

    const uint64_t steps = static_cast<uint64_t>(numSteps);
    const uint64_t team = static_cast<uint64_t>(threads);
    double estimate = layoutBytes(layout.points, blocks, steps, team) / kBytesPerGB;
    while (estimate > kTargetGB && blocks > 1) {
        const uint64_t halved = blocks / 2;
        const double halvedEstimate = layoutBytes(layout.points, halved, steps, team) / kBytesPerGB;
        if (halvedEstimate > estimate)
            break;
        blocks = halved;
        estimate = halvedEstimate;
    }
    if (estimate > kLimitGB)
        fail(kSimulationMemoryText);
    const std::size_t budget = memoryBudgetFor(estimate * kBytesPerGB);
    if (estimate * kBytesPerGB > static_cast<double>(budget))
        fail(simulationBudgetText(budget));
    layout.blocks = blocks;
    layout.blockPoints = layout.points / blocks;
    layout.memoryGB = estimate;
    return layout;
}

void requireSobolCheckpoints(int32_t numCheckpoints)
{
    if (numCheckpoints < 0 || numCheckpoints > kMaxSobolExponent)
        fail("Invalid input: numCheckpoints must be 0 .. 30 with Sobol points (at most 2^numCheckpoints rows).");
}

double priceEuropeanQMC(EstimateSeries& result, const EuropeanContract& contract, int32_t exponent,
                        bool brownianBridge, bool warmUpSobol, bool multiThreaded, bool fewSobolBlocks,
                        int32_t numCheckpoints)
{
    validateEuropeanContract(contract);
    requireSobolCheckpoints(numCheckpoints);
    const int threads = multiThreaded ? omp_get_max_threads() : 1;
    const SobolBlockLayout layout = sobolBlockLayout(exponent, contract.numSteps, fewSobolBlocks, threads);

    const EuropeanRun run(contract);
    return dispatchPathKind(run, [&](auto kind) {
        return runEuropeanQMC<EuropeanPath<decltype(kind)>>(result, run, layout, contract.computeGreeks,
                                                            brownianBridge, warmUpSobol, multiThreaded,
                                                            numCheckpoints, run.discount);
    });
}

double priceEuropeanQMC(EstimateSeries& result, double spot, double strike, double lowerBarrier,
                        double upperBarrier, double intRate, double expiry, double volatility, double divYield,
                        int32_t numPaths, int32_t numSteps, int32_t optionType, int32_t knockOut,
                        bool contMonitoring, int32_t timeMarching, bool computeGreeks, bool brownianBridge,
                        bool warmUpSobol, bool multiThreaded, bool fewSobolBlocks, int32_t numCheckpoints)
{
    const EuropeanContract c{spot,     strike,     lowerBarrier,   upperBarrier, intRate,
                             expiry,   volatility, divYield,       numSteps,     optionType,
                             knockOut, contMonitoring, timeMarching, computeGreeks};
    return priceEuropeanQMC(result, c, numPaths, brownianBridge, warmUpSobol, multiThreaded, fewSobolBlocks,
                            numCheckpoints);
}

}  // namespace tarvic
