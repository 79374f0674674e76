#include "montecarlo/early_exercise.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "common/require.h"

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

double fitMemoryBytes(size_t paths, int32_t numSteps, int32_t stateSize, int32_t basisCount, int32_t basisDims)
{
    const double n = static_cast<double>(paths);
    const double states = n * numSteps * stateSize * sizeof(double);
    const double ranges = n * 2.0 * sizeof(int32_t);
    // Cash flow, exercise step, exercise value and path index per path;
    // basis values, response and deviation per in-the-money path (at most
    // every path), and the coordinates of one point.
    const double cashFlows = n * (2.0 * sizeof(double) + sizeof(int32_t) + sizeof(size_t));
    const double lists = n * (basisCount + 2.0) * sizeof(double) + basisDims * sizeof(double);
    // The fit's copy of the design matrix with its right-hand side, column by column.
    const double design = n * (basisCount + 1.0) * sizeof(double);
    return states + ranges + cashFlows + lists + design;
}

}  // namespace tarvic
