#include "montecarlo/european_qmc.h"

#include <omp.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "common/require.h"
#include "montecarlo/brownian_bridge.h"
#include "montecarlo/dense_matrix.h"
#include "montecarlo/parallel_errors.h"
#include "montecarlo/simulation_limits.h"
#include "montecarlo/sobol_generator.h"
#include "montecarlo/sobol_paths.h"

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

// Buffers of one thread, allocated inside the parallel region.
struct SobolThreadBuffers {
    std::optional<SobolGenerator> generator;
    Matrix<double> points;
    std::vector<double> normals;
    std::vector<double> bridgePath;
};

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
    if (estimate > kLimitGB || estimate * kBytesPerGB > static_cast<double>(availableMemoryBytes()))
        fail(kSimulationMemoryText);
    layout.blocks = blocks;
    layout.blockPoints = layout.points / blocks;
    layout.memoryGB = estimate;
    return layout;
}

double priceEuropeanQMC(EstimateSeries& result, const EuropeanContract& contract, int32_t exponent,
                        bool brownianBridge, bool warmUpSobol, bool multiThreaded, bool fewSobolBlocks,
                        int32_t numCheckpoints)
{
    validateEuropeanContract(contract);
    if (numCheckpoints < 0 || numCheckpoints > kMaxSobolExponent)
        fail("Invalid input: numCheckpoints must be 0 .. 30 with Sobol points (at most 2^numCheckpoints rows).");
    const int threads = multiThreaded ? omp_get_max_threads() : 1;
    const SobolBlockLayout layout = sobolBlockLayout(exponent, contract.numSteps, fewSobolBlocks, threads);

    const EuropeanRun run(contract);
    const int32_t steps = contract.numSteps;
    const BrownianBridge bridge(steps);

    const uint32_t blockPoints = static_cast<uint32_t>(layout.blockPoints);
    Matrix<uint32_t> startStates;
    std::vector<uint32_t> startIndices;
    Matrix<uint32_t> directions;
    {
        SobolGenerator master(static_cast<uint32_t>(layout.points), steps, kDirectionNumberFileName);
        master.computeBlockStarts(blockPoints, startStates, startIndices, warmUpSobol);
        master.getDirectionNumbers(directions);
    }
    const size_t blocks = startIndices.size();
    if (blocks == 0)
        fail("Invalid input: numPaths gives no block of Sobol points.");

    result.clear();
    const size_t filled = contract.computeGreeks ? EstimateSeries::kCount : 1;
    for (size_t k = 0; k < filled; ++k)
        result[k].assign(blocks, 0.0);

    const double discount = run.discount;
    ParallelErrors errors;
    const long blockCount = static_cast<long>(blocks);
#pragma omp parallel if (multiThreaded)
    {
        SobolThreadBuffers buffers;
        bool ready = false;
        try {
            buffers.generator.emplace(blockPoints, steps);
            buffers.generator->setDirectionNumbers(directions);
            buffers.points.resize(blockPoints, static_cast<size_t>(steps));
            buffers.normals.assign(static_cast<size_t>(steps), 0.0);
            buffers.bridgePath.assign(static_cast<size_t>(steps), 0.0);
            ready = true;
        } catch (...) {
            errors.capture();
        }
        EuropeanPath path(run);
        // Every thread meets the loop, ready or not.
#pragma omp for schedule(static)
        for (long b = 0; b < blockCount; ++b) {
            if (!ready || errors.failed())
                continue;
            try {
                buffers.generator->generate(startStates, startIndices, static_cast<size_t>(b), buffers.points);
                double sums[EstimateSeries::kCount] = {};
                double* z = buffers.normals.data();
                for (uint32_t i = 0; i < blockPoints; ++i) {
                    sobolStepNormals(buffers.points[i], steps, brownianBridge ? &bridge : nullptr, z,
                                     buffers.bridgePath.data());
                    path.start();
                    for (int32_t j = 0; j < steps && !path.finished(); ++j)
                        path.step(j, z[j]);
                    const PathOutcome o = path.outcome();
                    sums[0] += o.value;
                    sums[1] += o.delta;
                    sums[2] += o.gamma;
                    sums[3] += o.vega;
                    sums[4] += o.theta;
                }
                result[EstimateSeries::kValue][b] = discount * sums[0];
                if (contract.computeGreeks) {
                    result[EstimateSeries::kDelta][b] = discount * sums[1];
                    result[EstimateSeries::kGamma][b] = discount * sums[2];
                    result[EstimateSeries::kVega][b] = discount * sums[3] / 100.0;
                    result[EstimateSeries::kTheta][b] = discount * sums[4] / steps / -365.0;
                }
            } catch (...) {
                errors.capture();
            }
        }
    }
    errors.rethrow();

    // Running estimates, then every step-th of them when there are more
    // blocks than 2^numCheckpoints.
    for (size_t k = 0; k < filled; ++k) {
        std::vector<double>& s = result[k];
        double cumulative = 0.0;
        for (size_t b = 0; b < blocks; ++b) {
            cumulative += s[b];
            s[b] = cumulative / (static_cast<double>(blockPoints) * static_cast<double>(b + 1));
        }
    }
    thinSeries(result, size_t(1) << numCheckpoints);
    return result[EstimateSeries::kValue].back();
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
