#pragma once

// The least code a Monte Carlo path-step needs, as a yardstick for the
// European engines' benchmarks: the same normals drawn the same way and
// added up, nothing else (no path, no payoff, no block sums).
//
// Pseudo-random numbers: the engine's slots, slot t on generator t of the
// European seed order, as many draws per slot as the engine's layout gives
// it and one ziggurat normal per path and step, the slots run by the
// library's parallel loop (common/parallel_loop.h) when the benchmark runs
// more than one thread, as the engine's are.
//
// Sobol points: the engine's blocks of points, each generated from its
// recorded start by a generator of its thread, and the inverse normals of
// every point's coordinates added up (one step per coordinate).
//
// A benchmark runs its engine and then the matching reference on the same
// path-steps in the same process and reports the ratio of their rates,
// which the machine's load affects much less than either rate.

#include <omp.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/parallel_loop.h"
#include "montecarlo/dense_matrix.h"
#include "montecarlo/european_mc.h"
#include "montecarlo/european_qmc.h"
#include "montecarlo/inverse_normal_cdf.h"
#include "montecarlo/random_generator64.h"
#include "montecarlo/sobol_generator.h"
#include "montecarlo/ziggurat_normal.h"

namespace bench {

// Seconds of the pseudo-random yardstick for a run of pathCount paths of
// `steps` steps in numCheckpoints blocks on the current thread count.
inline double normalSumSeconds(int64_t pathCount, int32_t steps, int32_t numCheckpoints, bool multiThreaded)
{
    const tarvic::PseudoRandomLayout layout =
        tarvic::pseudoRandomLayout(pathCount, numCheckpoints, false, tarvic::generatorSlotCount());
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<tarvic::RandomGenerator64> generators =
        tarvic::makeSlotGenerators(tarvic::kEuropeanSeedOrder, layout.slots);
    const size_t draws = layout.blocksPerSlot * layout.drawsPerBlock;
    std::vector<double> totals(layout.slots, 0.0);
    const int64_t slots = static_cast<int64_t>(layout.slots);
    tarvic::forEachPlane(slots, tarvic::parallelThreads(slots, multiThreaded), [&](int64_t t) {
        tarvic::RandomGenerator64 generator = generators[static_cast<size_t>(t)];
        double total = 0.0;
        for (size_t i = 0; i < draws; ++i) {
            double sum = 0.0;
            for (int32_t j = 0; j < steps; ++j)
                sum += tarvic::ZigguratNormal(generator);
            total += sum;
        }
        totals[static_cast<size_t>(t)] = total;
    });
    benchmark::DoNotOptimize(totals.data());
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

// Seconds of the Sobol yardstick for 2^exponent points of `steps` steps.
inline double sobolNormalSumSeconds(int32_t exponent, int32_t steps, bool multiThreaded)
{
    const int threads = multiThreaded ? omp_get_max_threads() : 1;
    const tarvic::SobolBlockLayout layout = tarvic::sobolBlockLayout(exponent, steps, false, threads);
    const auto t0 = std::chrono::steady_clock::now();
    const uint32_t blockPoints = static_cast<uint32_t>(layout.blockPoints);
    tarvic::Matrix<uint32_t> startStates;
    std::vector<uint32_t> startIndices;
    tarvic::Matrix<uint32_t> directions;
    {
        tarvic::SobolGenerator master(static_cast<uint32_t>(layout.points), steps,
                                      tarvic::kDirectionNumberFileName);
        master.computeBlockStarts(blockPoints, startStates, startIndices, false);
        master.getDirectionNumbers(directions);
    }
    const int64_t blocks = static_cast<int64_t>(startIndices.size());
    std::vector<double> totals(startIndices.size(), 0.0);
    struct Buffers {
        std::optional<tarvic::SobolGenerator> generator;
        tarvic::Matrix<double> points;
    };
    const int team = tarvic::parallelThreads(blocks, multiThreaded);
    std::vector<Buffers> perThread(static_cast<size_t>(team));
    tarvic::forEachPlane(blocks, team, [&](int64_t b, int worker) {
        Buffers& buffers = perThread[static_cast<size_t>(worker)];
        if (!buffers.generator) {
            buffers.generator.emplace(blockPoints, steps);
            buffers.generator->setDirectionNumbers(directions);
            buffers.points.resize(blockPoints, static_cast<size_t>(steps));
        }
        buffers.generator->generate(startStates, startIndices, static_cast<size_t>(b), buffers.points);
        double total = 0.0;
        for (uint32_t i = 0; i < blockPoints; ++i) {
            const double* point = buffers.points[i];
            double sum = 0.0;
            for (int32_t j = 0; j < steps; ++j)
                sum += tarvic::InverseNormalCdf(point[j]);
            total += sum;
        }
        totals[static_cast<size_t>(b)] = total;
    });
    benchmark::DoNotOptimize(totals.data());
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

// Runs a benchmark's engine and then, with the benchmark's timer paused,
// the reference, each timed on the same clock, and reports the reference's
// rate per core and the ratio of the engine's rate to the reference's.
class AgainstNormalSum {
public:
    explicit AgainstNormalSum(std::function<double()> reference) : reference_(std::move(reference)) {}

    template <class Work>
    void iteration(benchmark::State& state, Work&& work)
    {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const auto t1 = std::chrono::steady_clock::now();
        engineSeconds_ += std::chrono::duration<double>(t1 - t0).count();
        state.PauseTiming();
        referenceSeconds_ += reference_();
        state.ResumeTiming();
    }

    // pathSteps: the path-steps of one iteration.
    void report(benchmark::State& state, double pathSteps, int threads) const
    {
        const double runs = static_cast<double>(state.iterations() > 0 ? state.iterations() : 1);
        state.counters["ref_steps_per_s_per_core"] =
            referenceSeconds_ > 0.0 ? pathSteps * runs / referenceSeconds_ / threads : 0.0;
        state.counters["ratio_to_ref"] = engineSeconds_ > 0.0 ? referenceSeconds_ / engineSeconds_ : 0.0;
    }

private:
    std::function<double()> reference_;
    double engineSeconds_ = 0.0;
    double referenceSeconds_ = 0.0;
};

}  // namespace bench
