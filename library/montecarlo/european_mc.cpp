#include "montecarlo/european_mc.h"

#include <omp.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/require.h"
#include "montecarlo/parallel_errors.h"
#include "montecarlo/simulation_limits.h"
#include "montecarlo/ziggurat_normal.h"

namespace tarvic {

namespace {

constexpr size_t kSums = EstimateSeries::kCount;
constexpr double kPseudoRandomLimitBytes = 3.5 * 1024.0 * 1024.0 * 1024.0;

inline void addOutcome(double* sums, const PathOutcome& o)
{
    sums[0] += o.value;
    sums[1] += o.delta;
    sums[2] += o.gamma;
    sums[3] += o.vega;
    sums[4] += o.theta;
}

inline void closeBlock(double* sums, double*& blockSums)
{
    for (size_t k = 0; k < kSums; ++k) {
        blockSums[k] = sums[k];
        sums[k] = 0.0;
    }
    blockSums += kSums;
}

// Runs one path to expiry (or to its knock-out) on normals from the generator.
inline void runPath(const EuropeanRun& run, EuropeanPath& path, RandomGenerator64& generator)
{
    path.start();
    for (int32_t j = 0; j < run.steps && !path.finished(); ++j) {
        const double z = ZigguratNormal(generator);
        path.step(j, z);
    }
}

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
    if (bytes > kPseudoRandomLimitBytes || bytes > static_cast<double>(availableMemoryBytes()))
        fail(kSimulationMemoryText);
    return layout;
}

void simulateEuropeanPaths(const EuropeanRun& run, RandomGenerator64& generator, size_t draws,
                           size_t drawsPerBlock, double* blockSums)
{
    EuropeanPath path(run);
    double sums[kSums] = {};
    size_t inBlock = 0;
    for (size_t i = 0; i < draws; ++i) {
        runPath(run, path, generator);
        addOutcome(sums, path.outcome());
        if (++inBlock == drawsPerBlock) {
            closeBlock(sums, blockSums);
            inBlock = 0;
        }
    }
}

void simulateEuropeanPathsAntithetic(const EuropeanRun& run, RandomGenerator64& generator, size_t draws,
                                     size_t drawsPerBlock, double* blockSums)
{
    // Two paths per draw, on z and on -z.
    EuropeanPath up(run);
    EuropeanPath down(run);
    double sums[kSums] = {};
    size_t inBlock = 0;
    for (size_t i = 0; i < draws; ++i) {
        up.start();
        down.start();
        for (int32_t j = 0; j < run.steps; ++j) {
            const bool upOn = !up.finished();
            const bool downOn = !down.finished();
            if (!upOn && !downOn)
                break;
            const double z = ZigguratNormal(generator);
            if (upOn)
                up.step(j, z);
            if (downOn)
                down.step(j, -z);
        }
        const PathOutcome a = up.outcome();
        const PathOutcome c = down.outcome();
        // The value averages the pair (one draw); the weighted sums count two paths.
        sums[0] += 0.5 * (a.value + c.value);
        sums[1] += a.delta + c.delta;
        sums[2] += a.gamma + c.gamma;
        sums[3] += a.vega + c.vega;
        sums[4] += a.theta + c.theta;
        if (++inBlock == drawsPerBlock) {
            closeBlock(sums, blockSums);
            inBlock = 0;
        }
    }
}

double priceEuropeanMC(EstimateSeries& result, const EuropeanContract& contract, int64_t pathCount,
                       bool antithetic, bool multiThreaded, int32_t numCheckpoints)
{
    validateEuropeanContract(contract);
    const PseudoRandomLayout layout =
        pseudoRandomLayout(pathCount, numCheckpoints, antithetic, generatorSlotCount());
    const EuropeanRun run(contract);
    std::vector<RandomGenerator64> generators = makeSlotGenerators(kEuropeanSeedOrder, layout.slots);

    const size_t blocks = layout.blocksPerSlot;
    std::vector<double> blockSums(layout.slots * blocks * kSums, 0.0);
    const size_t draws = blocks * layout.drawsPerBlock;

    ParallelErrors errors;
    const int slotCount = static_cast<int>(layout.slots);
    // Slot t runs on generator t whichever thread takes it.
#pragma omp parallel for schedule(static) num_threads(slotCount) if (multiThreaded)
    for (int t = 0; t < slotCount; ++t) {
        if (errors.failed())
            continue;
        try {
            // A private copy: the generators lie side by side in memory, and
            // writing them in place from several threads would share cache lines.
            RandomGenerator64 generator = generators[static_cast<size_t>(t)];
            double* sums = blockSums.data() + static_cast<size_t>(t) * blocks * kSums;
            if (antithetic)
                simulateEuropeanPathsAntithetic(run, generator, draws, layout.drawsPerBlock, sums);
            else
                simulateEuropeanPaths(run, generator, draws, layout.drawsPerBlock, sums);
        } catch (...) {
            errors.capture();
        }
    }
    errors.rethrow();

    // Merge block j of every slot in slot order: row = j x slots + t.
    const size_t rows = layout.rows;
    result.clear();
    result[EstimateSeries::kValue].assign(rows, 0.0);
    if (contract.computeGreeks)
        for (size_t k = 1; k < kSums; ++k)
            result[k].assign(rows, 0.0);
    const double discount = run.discount;
    const double perStep = 1.0 / contract.numSteps;
    double cumulative[kSums] = {};
    size_t row = 0;
    for (size_t j = 0; j < blocks && row < rows; ++j) {
        for (size_t t = 0; t < layout.slots && row < rows; ++t, ++row) {
            const double* s = blockSums.data() + (t * blocks + j) * kSums;
            for (size_t k = 0; k < kSums; ++k)
                cumulative[k] += s[k];
            const double drawsSoFar = static_cast<double>((row + 1) * layout.drawsPerBlock);
            const double pathsSoFar = static_cast<double>((row + 1) * layout.pathsPerBlock);
            result[EstimateSeries::kValue][row] = discount * cumulative[0] / drawsSoFar;
            if (contract.computeGreeks) {
                result[EstimateSeries::kDelta][row] = discount * cumulative[1] / pathsSoFar;
                result[EstimateSeries::kGamma][row] = discount * cumulative[2] / pathsSoFar;
                result[EstimateSeries::kVega][row] = discount * cumulative[3] / pathsSoFar / 100.0;
                result[EstimateSeries::kTheta][row] = discount * cumulative[4] / pathsSoFar * perStep / -365.0;
            }
        }
    }
    return result[EstimateSeries::kValue].back();
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
