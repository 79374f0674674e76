#pragma once

// The two phases of the early-exercise engines, for any path model
// (early_exercise_engine.h):
//   1. the regression paths: simulated and stored to fit the exercise rule
//      backwards (when the caller's rule is empty), then, with in-sample
//      rows, priced under that rule block by block (without sensitivities
//      a fitted run reads their values from the walk back, which gives each
//      path the cash flow the pricing would);
//   2. fresh paths in blocks, priced under the rule.
// Every block gives one row, the running mean over all paths summed so far.
//
// Pseudo-random numbers: min(threads, 8) slots, slot t drawing from
// generator t (seeded from the fixed table on every call); every batch is
// cut into even chunks, chunk t on slot t, and the slots run all blocks of a
// phase in one parallel region, chunk t of block j after chunk t of block
// j - 1, so the generators run through the same numbers as block-by-block
// batches would. Phase 2 continues the streams where phase 1 left them; a
// run with a filled rule draws the regression paths' numbers all the same.
// The block sums are added chunk by chunk in a fixed order, so the rows do
// not depend on multiThreaded.
//
// Sobol points: block r of the sequence is row r; every block is generated
// from its recorded start, priced on its own, and the sums are added in
// block order: the rows do not depend on the number of threads.
//
// Everything a run holds is counted before any of it is allocated
// (pseudoRandomExerciseBytes, sobolExerciseBytes) and the run refused
// above its budget (requireSimulationMemory).

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/parallel_loop.h"
#include "common/require.h"
#include "montecarlo/brownian_bridge.h"
#include "montecarlo/early_exercise.h"
#include "montecarlo/early_exercise_engine.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/random_generator64.h"
#include "montecarlo/simulation_limits.h"
#include "montecarlo/sobol_generator.h"

namespace tarvic {

// The sizes of a model that the memory of its run depends on.
template <class Model>
ExerciseModelSizes exerciseModelSizes(const Model& model)
{
    ExerciseModelSizes sizes;
    sizes.steps = model.steps();
    sizes.uniformsPerStep = model.uniformsPerStep();
    sizes.stateSize = model.stateSize();
    sizes.basisCount = model.basis().count;
    sizes.basisDims = model.basis().dims;
    return sizes;
}

// Sizes an empty rule to the model's steps (fit) or checks a filled one
// against them and the basis; returns whether the run fits.
template <class Model>
bool prepareExerciseRule(const Model& model, ExerciseRule& rule)
{
    const size_t steps = static_cast<size_t>(model.steps());
    if (rule.empty()) {
        rule.assign(steps, std::vector<double>());
        return true;
    }
    if (rule.size() != steps)
        fail("Invalid input: exerciseRule holds " + std::to_string(rule.size()) + " steps, the run has " +
             std::to_string(steps) + ".");
    for (const std::vector<double>& entry : rule)
        if (!entry.empty() && entry.size() != static_cast<size_t>(model.basis().count))
            fail("Invalid input: exerciseRule holds coefficients for another basis than " +
                 std::string(model.basis().name) + ".");
    return false;
}

// Runs work(t, generator) for every slot t, in a parallel loop over the
// slots when multiThreaded, on a private copy of generator t (the generators
// lie side by side in memory) that replaces it afterwards; the first
// exception of any slot is rethrown once the loop is over.
template <class Work>
void forEachSlot(std::vector<RandomGenerator64>& generators, bool multiThreaded, Work&& work)
{
    const int64_t slots = static_cast<int64_t>(generators.size());
    forEachPlane(slots, parallelThreads(slots, multiThreaded), [&](int64_t t) {
        RandomGenerator64 generator = generators[static_cast<size_t>(t)];
        work(static_cast<size_t>(t), generator);
        generators[static_cast<size_t>(t)] = generator;
    });
}

// The regression paths of the pseudo-random engine: `paths` paths in even
// chunks, chunk t on generators[t], each path stored for the fit; with
// antithetic, pairs on z and -z within each chunk (a lone last path plain).
template <class Model>
StoredPaths simulateRegressionPaths(const Model& model, size_t paths, std::vector<RandomGenerator64>& generators,
                                    bool antithetic, bool multiThreaded)
{
    StoredPaths batch(paths, model.steps(), model.stateSize());
    const ChunkLayout chunks = evenChunks(paths, generators.size());
    forEachSlot(generators, multiThreaded, [&](size_t t, RandomGenerator64& generator) {
        ExerciseScratch scratch(model);
        typename Model::Path path(model);
        runGeneratorChunk(model, generator, chunks.begin(t), chunks.end(t), antithetic, scratch,
                          [&](size_t p, const double* z, double sign, const double* u) {
                              storeExercisePath(model, path, z, sign, u, batch, p);
                          });
    });
    return batch;
}

// Pseudo-random engine: fills `result` and returns the last value row.
// fitModel simulates the regression paths of the fit (for a knock-in the
// barrier-free contract, without in-sample rows); priceModel prices. With
// inSample both must draw alike.
template <class Model, class FitModel>
double runEarlyExerciseMC(EstimateSeries& result, ExerciseRule& rule, const Model& priceModel,
                          const FitModel& fitModel, bool inSample, int64_t pathCount, int64_t regressionPathCount,
                          bool antithetic, bool multiThreaded, int32_t numCheckpoints)
{
    if (inSample && priceModel.uniformsPerStep() != fitModel.uniformsPerStep())
        fail("Invalid input: in-sample rows need regression paths that draw like the priced ones.");
    const PseudoRandomExerciseLayout layout =
        pseudoRandomExerciseLayout(pathCount, regressionPathCount, numCheckpoints, inSample);
    const size_t slots = generatorSlotCount();
    const size_t inSampleSegments = inSample ? layout.inSampleBlocks + 1 : 0;
    const size_t pricingBlocks = layout.pricingBlockPaths.size();
    const double bytes = pseudoRandomExerciseBytes(layout, slots, exerciseModelSizes(priceModel),
                                                   exerciseModelSizes(fitModel), rule.empty(), inSample);
    requireSimulationMemory(bytes);
    multiThreaded = teamFits(bytes, multiThreaded);
    const bool fitting = prepareExerciseRule(priceModel, rule);

    const int32_t steps = priceModel.steps();
    const std::vector<double> discounts = stepDiscounts(priceModel.rate(), priceModel.dt(), steps);
    std::vector<RandomGenerator64> generators = makeSlotGenerators(kSeedTable, slots);

    // Phase 1: the regression paths.
    std::vector<EstimatorSums> inSampleSums(inSampleSegments * slots);
    const size_t regressionPaths = layout.regressionPaths;
    if (!inSample) {
        if (fitting) {
            const StoredPaths batch =
                simulateRegressionPaths(fitModel, regressionPaths, generators, antithetic, multiThreaded);
            fitExerciseRule(fitModel, batch, discounts.data(), rule, multiThreaded);
        } else {
            // No fit: the regression paths' numbers are drawn all the same.
            const ChunkLayout chunks = evenChunks(regressionPaths, slots);
            forEachSlot(generators, multiThreaded, [&](size_t t, RandomGenerator64& generator) {
                ExerciseScratch scratch(fitModel);
                runGeneratorChunk(fitModel, generator, chunks.begin(t), chunks.end(t), antithetic, scratch,
                                  [](size_t, const double*, double, const double*) {});
            });
        }
    } else if (fitting && !priceModel.greeks()) {
        // The in-sample rows without sensitivities are the cash flows the
        // walk back leaves, summed chunk by chunk as a pricing pass would.
        std::vector<double> pathValues;
        {
            const StoredPaths batch =
                simulateRegressionPaths(fitModel, regressionPaths, generators, antithetic, multiThreaded);
            fitExerciseRule(fitModel, batch, discounts.data(), rule, multiThreaded, &pathValues);
        }
        const ChunkLayout chunks = evenChunks(regressionPaths, slots);
        const size_t blockSize = layout.blockSize;
        const size_t lastSegment = layout.inSampleBlocks;
        for (size_t t = 0; t < slots; ++t)
            for (size_t p = chunks.begin(t); p < chunks.end(t); ++p) {
                PathOutcome outcome;
                outcome.value = pathValues[p];
                inSampleSums[std::min(p / blockSize, lastSegment) * slots + t].add(outcome);
            }
    } else {
        if (fitting) {
            std::vector<RandomGenerator64> replay = generators;
            const StoredPaths batch =
                simulateRegressionPaths(fitModel, regressionPaths, replay, antithetic, multiThreaded);
            fitExerciseRule(fitModel, batch, discounts.data(), rule, multiThreaded);
        }
        // The same paths again, priced under the rule: the in-sample rows.
        const ChunkLayout chunks = evenChunks(regressionPaths, slots);
        const size_t blockSize = layout.blockSize;
        const size_t lastSegment = layout.inSampleBlocks;
        forEachSlot(generators, multiThreaded, [&](size_t t, RandomGenerator64& generator) {
            ExerciseScratch scratch(priceModel);
            typename Model::Path path(priceModel);
            runGeneratorChunk(priceModel, generator, chunks.begin(t), chunks.end(t), antithetic, scratch,
                              [&](size_t p, const double* z, double sign, const double* u) {
                                  const size_t segment = std::min(p / blockSize, lastSegment);
                                  inSampleSums[segment * slots + t].add(
                                      priceExercisePath(priceModel, path, rule, discounts.data(), z, sign, u, scratch));
                              });
        });
    }

    // Phase 2: fresh paths, block after block on every slot.
    std::vector<EstimatorSums> pricingSums(pricingBlocks * slots);
    forEachSlot(generators, multiThreaded, [&](size_t t, RandomGenerator64& generator) {
        ExerciseScratch scratch(priceModel);
        typename Model::Path path(priceModel);
        for (size_t j = 0; j < pricingBlocks; ++j) {
            const ChunkLayout chunks = evenChunks(layout.pricingBlockPaths[j], slots);
            EstimatorSums& sums = pricingSums[j * slots + t];
            runGeneratorChunk(priceModel, generator, chunks.begin(t), chunks.end(t), antithetic, scratch,
                              [&](size_t, const double* z, double sign, const double* u) {
                                  sums.add(
                                      priceExercisePath(priceModel, path, rule, discounts.data(), z, sign, u, scratch));
                              });
        }
    });

    // Rows: the block sums chunk by chunk, the running means block by block.
    std::vector<EstimatorSums> blockSums;
    std::vector<size_t> blockPaths;
    std::vector<bool> hasRow;
    for (size_t i = 0; i < inSampleSegments; ++i) {
        EstimatorSums sums;
        for (size_t t = 0; t < slots; ++t)
            sums.add(inSampleSums[i * slots + t]);
        blockSums.push_back(sums);
        const bool full = i < layout.inSampleBlocks;
        blockPaths.push_back(full ? layout.blockSize : layout.inSampleRemainder);
        hasRow.push_back(full);
    }
    for (size_t j = 0; j < pricingBlocks; ++j) {
        EstimatorSums sums;
        for (size_t t = 0; t < slots; ++t)
            sums.add(pricingSums[j * slots + t]);
        blockSums.push_back(sums);
        blockPaths.push_back(layout.pricingBlockPaths[j]);
        hasRow.push_back(true);
    }
    writeRunningRows(result, blockSums, blockPaths, hasRow, priceModel.greeks(), steps);
    thinSeries(result, static_cast<size_t>(numCheckpoints));
    requireFiniteSeries(result);
    return result.value().back();
}

// Buffers of one thread of the Sobol engine.
template <class Model>
struct SobolExerciseBuffers {
    SobolGenerator generator;
    Matrix<double> points;
    ExerciseScratch scratch;
    typename Model::Path path;

    SobolExerciseBuffers(const Model& model, uint32_t blockSize, int32_t dimensions,
                         const Matrix<uint32_t>& directions)
        : generator(blockSize, dimensions), points(blockSize, static_cast<size_t>(dimensions)), scratch(model),
          path(model)
    {
        generator.setDirectionNumbers(directions);
    }
};

// Recorded block starts of one Sobol generator for a run.
struct SobolBlockStarts {
    int32_t dimensions = 0;
    Matrix<uint32_t> states;
    std::vector<uint32_t> indices;
    Matrix<uint32_t> directions;
};

inline SobolBlockStarts recordSobolBlocks(uint32_t points, int32_t dimensions, uint32_t blockSize, bool warmUp)
{
    SobolBlockStarts starts;
    starts.dimensions = dimensions;
    SobolGenerator master(points, dimensions, kDirectionNumberFileName);
    master.computeBlockStarts(blockSize, starts.states, starts.indices, warmUp);
    master.getDirectionNumbers(starts.directions);
    return starts;
}

// Runs onPath(p, z, sign, u) for every point of Sobol blocks 0 .. blocks-1
// of `starts`, block by block in a parallel loop (when multiThreaded);
// p = b blockSize + r for row r of block b.
template <class Model, class OnPath>
void runSobolBlocks(const Model& model, const SobolBlockStarts& starts, uint32_t blockSize, size_t blocks,
                    const BrownianBridge* bridge, bool multiThreaded, OnPath&& onPath)
{
    const int32_t steps = model.steps();
    if (starts.dimensions != steps * (1 + model.uniformsPerStep()))
        fail("Invalid input: the Sobol blocks do not have the dimensions of the paths drawn from them.");
    // Buffers for each thread, made by its first block.
    const int threads = parallelThreads(static_cast<int64_t>(blocks), multiThreaded);
    std::vector<std::optional<SobolExerciseBuffers<Model>>> perThread(static_cast<size_t>(threads));
    forEachPlane(static_cast<int64_t>(blocks), threads, [&](int64_t b, int worker) {
        std::optional<SobolExerciseBuffers<Model>>& buffers = perThread[static_cast<size_t>(worker)];
        if (!buffers)
            buffers.emplace(model, blockSize, starts.dimensions, starts.directions);
        buffers->generator.generate(starts.states, starts.indices, static_cast<size_t>(b), buffers->points);
        ExerciseScratch& scratch = buffers->scratch;
        for (uint32_t r = 0; r < blockSize; ++r) {
            const double* point = buffers->points[r];
            sobolStepNormals(point, steps, bridge, scratch.z.data(), scratch.bridgePath.data());
            onPath(buffers->path, scratch, static_cast<size_t>(b) * blockSize + r, scratch.z.data(), point + steps,
                   static_cast<size_t>(b));
        }
    });
}

// The regression paths of the Sobol engine: the points of blocks 0 ..
// blocks-1, one path each, stored for the fit.
template <class Model>
StoredPaths simulateRegressionPathsQMC(const Model& model, const SobolBlockStarts& starts, uint32_t blockSize,
                                       size_t blocks, const BrownianBridge* bridge, bool multiThreaded)
{
    StoredPaths batch(blocks * blockSize, model.steps(), model.stateSize());
    runSobolBlocks(model, starts, blockSize, blocks, bridge, multiThreaded,
                   [&](typename Model::Path& path, ExerciseScratch&, size_t p, const double* z, const double* u,
                       size_t) { storeExercisePath(model, path, z, 1.0, u, batch, p); });
    return batch;
}

// Sobol engine: fills `result` and returns the last value row. The fit
// draws its paths from a generator of fitModel's dimensions, the pricing
// from one of priceModel's (the same when they draw alike). A run whose
// count exceeds memoryCapBytes is refused with kSimulationMemoryText, one
// beyond the available memory with the text of that budget.
template <class Model, class FitModel>
double runEarlyExerciseQMC(EstimateSeries& result, ExerciseRule& rule, const Model& priceModel,
                           const FitModel& fitModel, bool inSample, int32_t numPaths, int32_t numLSPaths,
                           bool brownianBridge, bool warmUpSobol, bool multiThreaded, int32_t numCheckpoints,
                           double memoryCapBytes = HUGE_VAL)
{
    if (numCheckpoints < 0 || numCheckpoints > 30)
        fail("Invalid input: numCheckpoints must be 0 .. 30 with Sobol points (at most 2^numCheckpoints rows).");
    const SobolExerciseLayout layout = sobolExerciseLayout(numPaths, numLSPaths, inSample);
    const int32_t steps = priceModel.steps();
    const int32_t fitDimensions = steps * (1 + fitModel.uniformsPerStep());
    const int32_t priceDimensions = steps * (1 + priceModel.uniformsPerStep());
    if (priceDimensions > kMaxSobolDimensions || fitDimensions > kMaxSobolDimensions)
        fail("Invalid input: numSteps needs " + std::to_string(priceDimensions) +
             " Sobol dimensions (one per step and one per continuously monitored barrier and step); at most " +
             std::to_string(kMaxSobolDimensions) + " are available.");
    const uint32_t blockSize = layout.blockSize;
    const size_t rows = layout.rows();
    const size_t threads = multiThreaded ? static_cast<size_t>(std::max(1, omp_get_max_threads())) : 1;
    const double bytes = sobolExerciseBytes(layout, threads, exerciseModelSizes(priceModel),
                                            exerciseModelSizes(fitModel), rule.empty());
    requireSimulationMemory(bytes, memoryCapBytes);
    multiThreaded = teamFits(bytes, multiThreaded);
    const bool fitting = prepareExerciseRule(priceModel, rule);

    const std::vector<double> discounts = stepDiscounts(priceModel.rate(), priceModel.dt(), steps);
    const BrownianBridge bridgeTables(steps);
    const BrownianBridge* bridge = brownianBridge && steps > 1 ? &bridgeTables : nullptr;

    std::optional<SobolBlockStarts> fitStarts;
    if (fitting) {
        fitStarts.emplace(recordSobolBlocks(layout.points, fitDimensions, blockSize, warmUpSobol));
        const StoredPaths batch =
            simulateRegressionPathsQMC(fitModel, *fitStarts, blockSize, layout.fitBlocks, bridge, multiThreaded);
        fitExerciseRule(fitModel, batch, discounts.data(), rule, multiThreaded);
        if (fitDimensions != priceDimensions)
            fitStarts.reset();
    }
    const SobolBlockStarts starts =
        fitStarts ? std::move(*fitStarts) : recordSobolBlocks(layout.points, priceDimensions, blockSize, warmUpSobol);
    fitStarts.reset();

    std::vector<EstimatorSums> blockSums(rows);
    runSobolBlocks(priceModel, starts, blockSize, rows, bridge, multiThreaded,
                   [&](typename Model::Path& path, ExerciseScratch& scratch, size_t, const double* z,
                       const double* u, size_t block) {
                       blockSums[block].add(
                           priceExercisePath(priceModel, path, rule, discounts.data(), z, 1.0, u, scratch));
                   });

    writeRunningRows(result, blockSums, std::vector<size_t>(rows, blockSize), std::vector<bool>(rows, true),
                     priceModel.greeks(), steps);
    thinSeries(result, size_t(1) << numCheckpoints);
    requireFiniteSeries(result);
    return result.value().back();
}

}  // namespace tarvic
