#include "montecarlo/european_mc.h"

#include <string>

#include "common/require.h"
#include "montecarlo/european_drivers.h"
#include "montecarlo/simulation_limits.h"

namespace tarvic {

namespace {

constexpr size_t kSums = EstimateSeries::kCount;
constexpr double kPseudoRandomLimitBytes = 3.5 * 1024.0 * 1024.0 * 1024.0;

}  // namespace

PseudoRandomLayout pseudoRandomLayout(int64_t pathCount, int32_t numCheckpoints, bool antithetic, size_t slots)
{
    requireAtLeast(numCheckpoints, 1, "numCheckpoints");
    const int64_t mult = antithetic ? 2 : 1;
    if (pathCount < static_cast<int64_t>(numCheckpoints) * mult)
        fail("Invalid input: pathCount must be at least " + std::to_string(int64_t(numCheckpoints) * mult) +
             " (" + (antithetic ? std::string("two paths") : std::string("one path")) +
             " per checkpoint).");
    if (slots < 1 || slots > kMaxGeneratorSlots)
        fail("Invalid input: the number of generator slots must be 1 .. 8.");
    PseudoRandomLayout layout;
    layout.slots = slots;
    layout.rows = static_cast<size_t>(numCheckpoints);
    const size_t b = static_cast<size_t>(pathCount) / layout.rows;
    layout.drawsPerBlock = b / static_cast<size_t>(mult);
    layout.pathsPerBlock = layout.drawsPerBlock * static_cast<size_t>(mult);
    // Every checkpoint gets a block: with 6 or 7 slots a rounded share would
    // leave the last rows without one.
    layout.blocksPerSlot = (layout.rows + slots - 1) / slots;
    // The slots' block sums and the five series: refuse before allocating
    // what the machine cannot hold.
    const double bytes = static_cast<double>(slots * layout.blocksPerSlot + layout.rows) * kSums * sizeof(double);
    requireSimulationMemory(bytes, kPseudoRandomLimitBytes);
    return layout;
}

double priceEuropeanMC(EstimateSeries& result, const EuropeanContract& contract, int64_t pathCount,
                       bool antithetic, bool multiThreaded, int32_t numCheckpoints)
{
    validateEuropeanContract(contract);
    const PseudoRandomLayout layout =
        pseudoRandomLayout(pathCount, numCheckpoints, antithetic, generatorSlotCount());
    const EuropeanRun run(contract);
    // One instantiation of the path per marching scheme, monitoring and
    // sensitivities: the run's stepping loop tests none of them.
    return dispatchPathKind(run, [&](auto kind) {
        return runEuropeanMC<EuropeanPath<decltype(kind)>>(result, run, layout, kEuropeanSeedOrder, antithetic,
                                                           multiThreaded, contract.computeGreeks, run.discount);
    });
}

double priceEuropeanMC(EstimateSeries& result, double spot, double strike, double lowerBarrier,
                       double upperBarrier, double intRate, double expiry, double volatility, double divYield,
                       int64_t pathCount, int32_t numSteps, int32_t optionType, int32_t knockOut,
                       bool contMonitoring, int32_t timeMarching, bool computeGreeks, bool antithetic,
                       bool multiThreaded, int32_t numCheckpoints)
{
    const EuropeanContract c{spot,     strike,     lowerBarrier,   upperBarrier, intRate,
                             expiry,   volatility, divYield,       numSteps,     optionType,
                             knockOut, contMonitoring, timeMarching, computeGreeks};
    return priceEuropeanMC(result, c, pathCount, antithetic, multiThreaded, numCheckpoints);
}

}  // namespace tarvic
