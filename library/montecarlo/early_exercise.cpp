#include "montecarlo/early_exercise.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "common/require.h"
#include "montecarlo/sobol_generator.h"

namespace tarvic {

ChunkLayout evenChunks(size_t paths, size_t chunks)
{
    if (chunks < 1)
        fail("Invalid input: a batch of paths needs at least one chunk.");
    ChunkLayout layout;
    layout.paths = paths;
    layout.chunks = chunks;
    layout.chunkSize = (paths / chunks) & ~size_t(1);
    return layout;
}

std::vector<double> stepDiscounts(double rate, double dt, int32_t steps)
{
    std::vector<double> d(static_cast<size_t>(steps) + 1);
    for (int32_t k = 0; k <= steps; ++k)
        d[static_cast<size_t>(k)] = std::exp(-(k * rate) * dt);
    return d;
}

void writeRunningRows(EstimateSeries& result, const std::vector<EstimatorSums>& blockSums,
                      const std::vector<size_t>& blockPaths, const std::vector<bool>& hasRow, bool greeks,
                      int32_t numSteps)
{
    size_t rows = 0;
    for (bool r : hasRow)
        rows += r ? 1 : 0;
    result.clear();
    const size_t filled = greeks ? EstimateSeries::kCount : 1;
    for (size_t k = 0; k < filled; ++k)
        result[k].resize(rows);
    EstimatorSums running;
    size_t paths = 0, row = 0;
    for (size_t b = 0; b < blockSums.size(); ++b) {
        running.add(blockSums[b]);
        paths += blockPaths[b];
        if (!hasRow[b])
            continue;
        const double n = static_cast<double>(paths);
        result[EstimateSeries::kValue][row] = running.s[0] / n;
        if (greeks) {
            result[EstimateSeries::kDelta][row] = running.s[1] / n;
            result[EstimateSeries::kGamma][row] = running.s[2] / n;
            result[EstimateSeries::kVega][row] = running.s[3] / n / 100.0;
            result[EstimateSeries::kTheta][row] = running.s[4] / n / numSteps / -365.0;
        }
        ++row;
    }
}

void requireFiniteSeries(const EstimateSeries& result)
{
    for (size_t k = 0; k < EstimateSeries::kCount; ++k)
        for (double v : result[k])
            if (!std::isfinite(v))
                fail(kNonFiniteResultText);
}

PseudoRandomExerciseLayout pseudoRandomExerciseLayout(int64_t pathCount, int64_t regressionPathCount,
                                                      int32_t numCheckpoints, bool inSample)
{
    requireAtLeast(numCheckpoints, 1, "numCheckpoints");
    constexpr int64_t kMost = std::numeric_limits<int32_t>::max();
    if (pathCount > kMost)
        fail("Invalid input: pathCount must be at most " + std::to_string(kMost) + ".");
    if (regressionPathCount > kMost)
        fail("Invalid input: regressionPathCount must be at most " + std::to_string(kMost) + ".");
    PseudoRandomExerciseLayout layout;
    const int64_t nLS = std::max<int64_t>(regressionPathCount, 1000);
    const int64_t total = std::max<int64_t>(pathCount, nLS);
    const int64_t blockSize =
        static_cast<int64_t>(std::max(100.0, static_cast<double>(total) / static_cast<double>(numCheckpoints)));
    const int64_t blocks = total / blockSize;
    const int64_t pricingPaths = inSample ? total - nLS : total;
    int64_t inSampleBlocks = 0;
    if (inSample)
        inSampleBlocks = total == nLS ? blocks
                                      : static_cast<int64_t>(static_cast<double>(nLS) * static_cast<double>(blocks) /
                                                             static_cast<double>(total));
    const int64_t pricingBlocks = blocks - inSampleBlocks;
    const int64_t remainder = inSample ? nLS - inSampleBlocks * blockSize : 0;
    const int64_t overflow = pricingBlocks * blockSize - pricingPaths;

    layout.regressionPaths = static_cast<size_t>(nLS);
    layout.totalPaths = static_cast<size_t>(total);
    layout.blockSize = static_cast<size_t>(blockSize);
    layout.inSampleBlocks = static_cast<size_t>(inSampleBlocks);
    layout.inSampleRemainder = static_cast<size_t>(std::max<int64_t>(remainder, 0));
    layout.pricingBlockPaths.assign(static_cast<size_t>(pricingBlocks), static_cast<size_t>(blockSize));
    if (pricingBlocks > 0 && overflow > 0)
        layout.pricingBlockPaths[0] = static_cast<size_t>(std::max<int64_t>(blockSize - overflow, 0));
    return layout;
}

SobolExerciseLayout sobolExerciseLayout(int32_t numPaths, int32_t numLSPaths, bool inSample)
{
    constexpr int32_t kMostExponent = 30;
    if (numPaths > kMostExponent)
        fail("Invalid input: numPaths must be at most 30 with Sobol points (2^numPaths paths).");
    if (numLSPaths > kMostExponent)
        fail("Invalid input: numLSPaths must be at most 30 with Sobol points (2^numLSPaths regression paths).");
    const int32_t m = std::max(numLSPaths, 10);
    const int32_t k = std::max(numPaths, m);
    SobolExerciseLayout layout;
    layout.points = uint32_t(1) << k;
    layout.regressionPoints = uint32_t(1) << m;
    const uint32_t P = layout.points, L = layout.regressionPoints;
    if (k == m && inSample) {
        layout.blockSize = static_cast<uint32_t>(std::min(L * 0.125, 1024.0));
        layout.regressionBlocks = L / layout.blockSize;
        layout.pricingBlocks = 0;
    } else {
        const uint32_t pricingPoints = inSample ? P - L : P;
        layout.blockSize = static_cast<uint32_t>(std::min(pricingPoints * 0.125, 1024.0));
        layout.pricingBlocks = pricingPoints / layout.blockSize;
        layout.regressionBlocks =
            inSample ? static_cast<size_t>(std::max(static_cast<double>(L) / layout.blockSize, 1.0)) : 0;
    }
    layout.fitBlocks = L / layout.blockSize;
    return layout;
}

namespace {

constexpr double kDouble = sizeof(double);
// What the allocator keeps with every block it hands out (glibc: a header
// word, rounded to 16 bytes).
constexpr double kBlockOverhead = 16.0;
// The small allocations of a run counted nowhere else: the models, the
// team's bookkeeping, the allocator's arenas of the threads.
constexpr double kRunAllowance = 1024.0 * 1024.0;

// Bytes of a vector of n elements of `element` bytes.
double arrayBytes(double n, double element) { return n > 0.0 ? n * element + kBlockOverhead : 0.0; }

// The block sums and the rows of a run of `rows` rows summed in `segments`
// segments of `slots` sums each: the sums, the running rows before and
// after thinning.
double rowBytes(double segments, double slots, double rows)
{
    const double sums = arrayBytes(segments * slots, sizeof(EstimatorSums));
    const double merged = arrayBytes(segments, sizeof(EstimatorSums) + sizeof(size_t) + 1.0);
    const double series = 2.0 * EstimateSeries::kCount * arrayBytes(rows, kDouble);
    return sums + merged + series;
}

}  // namespace

double exerciseRuleBytes(const ExerciseModelSizes& sizes)
{
    const double steps = sizes.steps;
    return arrayBytes(steps, sizeof(std::vector<double>)) + steps * arrayBytes(sizes.basisCount, kDouble);
}

double exerciseScratchBytes(const ExerciseModelSizes& sizes)
{
    const double steps = sizes.steps;
    return arrayBytes(steps, kDouble) * 2.0 + arrayBytes(steps * sizes.uniformsPerStep + 1.0, kDouble) +
           arrayBytes(sizes.stateSize, kDouble) + arrayBytes(sizes.basisDims, kDouble) +
           arrayBytes(sizes.basisCount, kDouble);
}

double fitMemoryBytes(size_t paths, const ExerciseModelSizes& fit)
{
    const double n = static_cast<double>(paths);
    const double steps = fit.steps;
    const double count = fit.basisCount;
    const double states = arrayBytes(n * steps * fit.stateSize, kDouble);
    const double ranges = 2.0 * arrayBytes(n, sizeof(int32_t));
    const double cashFlows = arrayBytes(n, kDouble) + arrayBytes(n, sizeof(int32_t));
    const double inMoney = arrayBytes(n, sizeof(size_t)) + arrayBytes(n, kDouble) + arrayBytes(n * count, kDouble) +
                           2.0 * arrayBytes(n, kDouble) + arrayBytes(fit.basisDims, kDouble);
    const double design = arrayBytes(n * (count + 1.0), kDouble);
    // The decomposition of the reduced count x count factor.
    const double factor = 6.0 * arrayBytes(count * (count + 1.0), kDouble);
    return states + ranges + cashFlows + inMoney + design + factor;
}

double pseudoRandomExerciseBytes(const PseudoRandomExerciseLayout& layout, size_t slots,
                                 const ExerciseModelSizes& price, const ExerciseModelSizes& fit, bool fitting,
                                 bool inSample)
{
    const double steps = price.steps;
    const double segments =
        static_cast<double>((inSample ? layout.inSampleBlocks + 1 : 0) + layout.pricingBlockPaths.size());
    double bytes = kRunAllowance + exerciseRuleBytes(price) + arrayBytes(steps + 1.0, kDouble);
    // The generators, twice while the fit replays the regression paths.
    bytes += 2.0 * arrayBytes(static_cast<double>(slots), 64.0);
    bytes += static_cast<double>(slots) * std::max(exerciseScratchBytes(price), exerciseScratchBytes(fit));
    bytes += rowBytes(segments, static_cast<double>(slots), static_cast<double>(layout.rows()));
    if (fitting)
        bytes += fitMemoryBytes(layout.regressionPaths, fit);
    return bytes;
}

double sobolExerciseBytes(const SobolExerciseLayout& layout, size_t threads, const ExerciseModelSizes& price,
                          const ExerciseModelSizes& fit, bool fitting)
{
    const double steps = price.steps;
    const double dimensions =
        steps * (1.0 + std::max(price.uniformsPerStep, fitting ? fit.uniformsPerStep : 0));
    const double blockSize = layout.blockSize;
    const double startBlocks = static_cast<double>(layout.points / layout.blockSize);
    const double rows = static_cast<double>(layout.rows());
    double bytes = kRunAllowance + exerciseRuleBytes(price) + arrayBytes(steps + 1.0, kDouble);
    // The bridge: three indices and three weights per step.
    bytes += 3.0 * arrayBytes(steps, sizeof(uint32_t)) + 3.0 * arrayBytes(steps, kDouble);
    // A generator: its state and direction numbers; the master's read of the
    // direction-number file keeps one line of text per dimension.
    const double generator = arrayBytes(dimensions, sizeof(uint32_t)) +
                             arrayBytes(dimensions * kDirectionColumns, sizeof(uint32_t));
    bytes += generator + dimensions * 128.0;
    // The run's block starts (two sets while the fit's and the pricing's
    // dimensions differ) and its copy of the direction numbers.
    const double starts = arrayBytes(startBlocks * dimensions, sizeof(uint32_t)) +
                          arrayBytes(startBlocks, sizeof(uint32_t)) +
                          arrayBytes(dimensions * kDirectionColumns, sizeof(uint32_t));
    bytes += (fitting && fit.uniformsPerStep != price.uniformsPerStep ? 2.0 : 1.0) * starts;
    // Every thread: a generator, a block of points and the path buffers.
    bytes += static_cast<double>(threads) *
             (generator + arrayBytes(blockSize * dimensions, kDouble) +
              std::max(exerciseScratchBytes(price), exerciseScratchBytes(fit)));
    bytes += rowBytes(rows, 1.0, rows);
    if (fitting)
        bytes += fitMemoryBytes(static_cast<size_t>(layout.fitBlocks) * layout.blockSize, fit);
    return bytes;
}

}  // namespace tarvic
