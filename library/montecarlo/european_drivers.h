#pragma once

// The drivers of the European engines, for any path that steps on one
// normal per step and pays at expiry: the vanilla and barrier path
// (european_path.h) and the Asian path (asian_path.h).
//
// A path class P provides P(const Run&), a state type P::State that the
// drivers keep in a local variable of the stepping loop, and the const
// members start(State&), finished(const State&) (no further normals are
// drawn once it is true), step(State&, int32_t j, double z) and PathOutcome
// outcome(const State&) (payoff and payoff x weight, undiscounted); the run
// has a member `steps`. The engines choose P per run (dispatchPathKind), so
// that the loops below carry no test of a flag fixed for the run.
//
// Pseudo-random numbers: pseudoRandomLayout's slots, slot t drawing from
// generator t of the given seed order whichever thread runs it; each slot
// simulates blocksPerSlot blocks and the blocks are merged block by block,
// slot by slot, into one running estimate per checkpoint, so the series do
// not depend on multiThreaded.
//
// Sobol points: sobolBlockLayout's blocks, each generated on its own from
// its recorded start and summed into its own entry; the running means and
// the thinning follow in block order, so the series do not depend on the
// number of threads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/parallel_loop.h"
#include "common/require.h"
#include "montecarlo/brownian_bridge.h"
#include "montecarlo/dense_matrix.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/european_mc.h"
#include "montecarlo/european_path.h"
#include "montecarlo/european_qmc.h"
#include "montecarlo/random_generator64.h"
#include "montecarlo/simulation_limits.h"
#include "montecarlo/sobol_generator.h"
#include "montecarlo/sobol_paths.h"
#include "montecarlo/ziggurat_normal.h"

namespace tarvic {

namespace european_detail {

constexpr size_t kSums = EstimateSeries::kCount;

// Path-steps of a run that pay for one more thread (some tens of
// microseconds of work).
constexpr double kPathStepsPerThread = 16384.0;

template <bool Greeks>
inline void addOutcome(double* sums, const PathOutcome& o)
{
    sums[0] += o.value;
    if (Greeks) {
        sums[1] += o.delta;
        sums[2] += o.gamma;
        sums[3] += o.vega;
        sums[4] += o.theta;
    }
}

// Whether a path type computes the likelihood-ratio weights; without them
// the four weighted sums stay 0 and are not written to the results.
template <class Path>
constexpr bool pathGreeks()
{
    return Path::kGreeks;
}

inline void closeBlock(double* sums, double*& blockSums)
{
    for (size_t k = 0; k < kSums; ++k) {
        blockSums[k] = sums[k];
        sums[k] = 0.0;
    }
    blockSums += kSums;
}

}  // namespace european_detail

// One slot's paths: `draws` paths on normals from `generator`; the five
// block sums are stored into blockSums after every drawsPerBlock paths.
// The paths of a block of a plain path kind whose value is a function of
// ln S at expiry (Path::kLogPayoff): groups of paths are stepped first, the
// indices of those that may pay gathered without a branch, and only their
// payoffs computed, in path order. A path left out pays exactly 0, and a
// non-negative sum plus 0 is the same sum, so the value sums keep their bits.
template <class Path>
void simulateLogPayoffPaths(const Path& path, int32_t steps, RandomGenerator64& generator, size_t count,
                            double& valueSum)
{
    constexpr size_t kGroup = 64;
    double logS[kGroup];
    uint32_t paying[kGroup];
    for (size_t begin = 0; begin < count; begin += kGroup) {
        const size_t n = count - begin < kGroup ? count - begin : kGroup;
        size_t m = 0;
        for (size_t k = 0; k < n; ++k) {
            typename Path::State st;
            path.start(st);
            for (int32_t j = 0; j < steps; ++j)
                path.step(st, j, ZigguratNormal(generator));
            logS[k] = st.logS;
            paying[m] = static_cast<uint32_t>(k);
            m += path.mayPay(st.logS) ? 1 : 0;
        }
        for (size_t q = 0; q < m; ++q)
            valueSum += path.payoffAtLog(logS[paying[q]]);
    }
}

template <class Path, class Run>
void simulateSlotPaths(const Run& run, RandomGenerator64& generator, size_t draws, size_t drawsPerBlock,
                       double* blockSums)
{
    using namespace european_detail;
    const Path path(run);
    if constexpr (Path::kLogPayoff) {
        double sums[kSums] = {};
        for (size_t done = 0; done < draws; done += drawsPerBlock) {
            simulateLogPayoffPaths(path, run.steps, generator, drawsPerBlock, sums[0]);
            closeBlock(sums, blockSums);
        }
        return;
    }
    const int32_t steps = run.steps;
    double sums[kSums] = {};
    size_t inBlock = 0;
    for (size_t i = 0; i < draws; ++i) {
        typename Path::State st;
        path.start(st);
        for (int32_t j = 0; j < steps && !path.finished(st); ++j)
            path.step(st, j, ZigguratNormal(generator));
        addOutcome<pathGreeks<Path>()>(sums, path.outcome(st));
        if (++inBlock == drawsPerBlock) {
            closeBlock(sums, blockSums);
            inBlock = 0;
        }
    }
}

// The same with two paths per draw, on z and on -z: the value sum averages
// the pair (one draw), the weighted sums count two paths.
template <class Path, class Run>
void simulateSlotPathsAntithetic(const Run& run, RandomGenerator64& generator, size_t draws,
                                 size_t drawsPerBlock, double* blockSums)
{
    using namespace european_detail;
    const Path path(run);
    const int32_t steps = run.steps;
    double sums[kSums] = {};
    size_t inBlock = 0;
    for (size_t i = 0; i < draws; ++i) {
        typename Path::State up, down;
        path.start(up);
        path.start(down);
        for (int32_t j = 0; j < steps; ++j) {
            const bool upOn = !path.finished(up);
            const bool downOn = !path.finished(down);
            if (!upOn && !downOn)
                break;
            const double z = ZigguratNormal(generator);
            if (upOn)
                path.step(up, j, z);
            if (downOn)
                path.step(down, j, -z);
        }
        const PathOutcome a = path.outcome(up);
        const PathOutcome c = path.outcome(down);
        sums[0] += 0.5 * (a.value + c.value);
        if (pathGreeks<Path>()) {
            sums[1] += a.delta + c.delta;
            sums[2] += a.gamma + c.gamma;
            sums[3] += a.vega + c.vega;
            sums[4] += a.theta + c.theta;
        }
        if (++inBlock == drawsPerBlock) {
            closeBlock(sums, blockSums);
            inBlock = 0;
        }
    }
}

// The pseudo-random engine: fills `result` with layout.rows running
// estimates (the value; with greeks the four likelihood-ratio series,
// theta divided by the number of steps) discounted by `discount`, and
// returns the last value estimate.
template <class Path, class Run>
double runEuropeanMC(EstimateSeries& result, const Run& run, const PseudoRandomLayout& layout,
                     const std::array<int32_t, kMaxGeneratorSlots>& seeds, bool antithetic, bool multiThreaded,
                     bool greeks, double discount)
{
    using namespace european_detail;
    std::vector<RandomGenerator64> generators = makeSlotGenerators(seeds, layout.slots);

    const size_t blocks = layout.blocksPerSlot;
    std::vector<double> blockSums(layout.slots * blocks * kSums, 0.0);
    const size_t draws = blocks * layout.drawsPerBlock;
    multiThreaded = teamFits(static_cast<double>(blockSums.size() * sizeof(double)), multiThreaded);

    // Slot t runs on generator t whichever thread takes it; a thread for
    // every kPathStepsPerThread path-steps.
    const int64_t slots = static_cast<int64_t>(layout.slots);
    const double pathSteps = static_cast<double>(draws) * (antithetic ? 2 : 1) * run.steps * slots;
    const double worthwhile = pathSteps / kPathStepsPerThread;
    forEachPlane(slots, parallelThreads(slots, multiThreaded, worthwhile < slots ? static_cast<int64_t>(worthwhile) : slots),
                 [&](int64_t t) {
                     // A private copy: the generators lie side by side in memory, and
                     // writing them in place from several threads would share cache lines.
                     RandomGenerator64 generator = generators[static_cast<size_t>(t)];
                     double* sums = blockSums.data() + static_cast<size_t>(t) * blocks * kSums;
                     if (antithetic)
                         simulateSlotPathsAntithetic<Path>(run, generator, draws, layout.drawsPerBlock, sums);
                     else
                         simulateSlotPaths<Path>(run, generator, draws, layout.drawsPerBlock, sums);
                 });

    // Merge block j of every slot in slot order: row = j x slots + t.
    const size_t rows = layout.rows;
    result.clear();
    result[EstimateSeries::kValue].assign(rows, 0.0);
    if (greeks)
        for (size_t k = 1; k < kSums; ++k)
            result[k].assign(rows, 0.0);
    const double perStep = 1.0 / run.steps;
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
            if (greeks) {
                result[EstimateSeries::kDelta][row] = discount * cumulative[1] / pathsSoFar;
                result[EstimateSeries::kGamma][row] = discount * cumulative[2] / pathsSoFar;
                result[EstimateSeries::kVega][row] = discount * cumulative[3] / pathsSoFar / 100.0;
                result[EstimateSeries::kTheta][row] = discount * cumulative[4] / pathsSoFar * perStep / -365.0;
            }
        }
    }
    return result[EstimateSeries::kValue].back();
}

namespace european_detail {

// Buffers of one thread of the Sobol engine, allocated by the thread that uses them.
struct SobolThreadBuffers {
    std::optional<SobolGenerator> generator;
    Matrix<double> points;
    std::vector<double> normals;
    std::vector<double> bridgePath;
};

}  // namespace european_detail

// The Sobol engine: one path per point of the layout's blocks, its normals
// the inverse normals of the point's coordinates (arranged by a Brownian
// bridge when brownianBridge is set); fills `result` with one running
// estimate per block, thinned to at most 2^numCheckpoints rows, and returns
// the last value estimate.
template <class Path, class Run>
double runEuropeanQMC(EstimateSeries& result, const Run& run, const SobolBlockLayout& layout, bool greeks,
                      bool brownianBridge, bool warmUpSobol, bool multiThreaded, int32_t numCheckpoints,
                      double discount)
{
    using namespace european_detail;
    const int32_t steps = run.steps;
    const BrownianBridge bridge(steps);
    multiThreaded = teamFits(layout.memoryGB * 1024.0 * 1024.0 * 1024.0, multiThreaded);

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
    const size_t filled = greeks ? EstimateSeries::kCount : 1;
    for (size_t k = 0; k < filled; ++k)
        result[k].assign(blocks, 0.0);

    // Buffers for each thread, made by its first block; a thread for every
    // kPathStepsPerThread path-steps.
    const double pathSteps = static_cast<double>(layout.points) * steps;
    const double worthwhile = pathSteps / kPathStepsPerThread;
    const int threads = parallelThreads(static_cast<int64_t>(blocks), multiThreaded,
                                        worthwhile < static_cast<double>(blocks) ? static_cast<int64_t>(worthwhile)
                                                                                  : static_cast<int64_t>(blocks));
    std::vector<SobolThreadBuffers> perThread(static_cast<size_t>(threads));
    const Path path(run);
    forEachPlane(static_cast<int64_t>(blocks), threads, [&](int64_t b, int worker) {
        SobolThreadBuffers& buffers = perThread[static_cast<size_t>(worker)];
        if (!buffers.generator) {
            buffers.points.resize(blockPoints, static_cast<size_t>(steps));
            buffers.normals.assign(static_cast<size_t>(steps), 0.0);
            buffers.bridgePath.assign(static_cast<size_t>(steps), 0.0);
            buffers.generator.emplace(blockPoints, steps);
            buffers.generator->setDirectionNumbers(directions);
        }
        buffers.generator->generate(startStates, startIndices, static_cast<size_t>(b), buffers.points);
        double sums[kSums] = {};
        double* z = buffers.normals.data();
        for (uint32_t i = 0; i < blockPoints; ++i) {
            sobolStepNormals(buffers.points[i], steps, brownianBridge ? &bridge : nullptr, z,
                             buffers.bridgePath.data());
            typename Path::State st;
            path.start(st);
            for (int32_t j = 0; j < steps && !path.finished(st); ++j)
                path.step(st, j, z[j]);
            addOutcome<pathGreeks<Path>()>(sums, path.outcome(st));
        }
        result[EstimateSeries::kValue][b] = discount * sums[0];
        if (greeks) {
            result[EstimateSeries::kDelta][b] = discount * sums[1];
            result[EstimateSeries::kGamma][b] = discount * sums[2];
            result[EstimateSeries::kVega][b] = discount * sums[3] / 100.0;
            result[EstimateSeries::kTheta][b] = discount * sums[4] / steps / -365.0;
        }
    });

    // Running estimates, then every stride-th of them when there are more
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

}  // namespace tarvic
