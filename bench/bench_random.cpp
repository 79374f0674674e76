// Throughput of the Monte Carlo random sources.

#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "montecarlo/brownian_bridge.h"
#include "montecarlo/inverse_normal_cdf.h"
#include "montecarlo/random_generator64.h"
#include "montecarlo/sobol_generator.h"
#include "montecarlo/ziggurat_normal.h"

namespace tarvic {
namespace {

void BM_Uniform(benchmark::State& state)
{
    RandomGenerator64 generator(17);
    double sum = 0.0;
    for (auto _ : state)
        sum += generator.uniform();
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Uniform);

void BM_ZigguratNormal(benchmark::State& state)
{
    RandomGenerator64 generator(17);
    double sum = 0.0;
    for (auto _ : state)
        sum += ZigguratNormal(generator);
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ZigguratNormal);

void BM_InverseNormalCdf(benchmark::State& state)
{
    std::vector<double> p(4096);
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = (i + 0.5) / p.size();
    double sum = 0.0;
    for (auto _ : state) {
        for (double x : p)
            sum += InverseNormalCdf(x);
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(p.size()));
}
BENCHMARK(BM_InverseNormalCdf);

// One block of Sobol points: block length x dimensions coordinates.
void BM_SobolBlock(benchmark::State& state)
{
    const uint32_t block = static_cast<uint32_t>(state.range(0));
    const int32_t dims = static_cast<int32_t>(state.range(1));
    SobolGenerator master(1u << 20, dims, kDirectionNumberFileName);
    Matrix<uint32_t> directions;
    master.getDirectionNumbers(directions);
    std::vector<uint32_t> startState(static_cast<size_t>(dims));
    SobolGenerator worker(block, dims);
    worker.setDirectionNumbers(directions);
    Matrix<double> points;
    uint32_t start = block;
    for (auto _ : state) {
        worker.generate(start, startState.data(), points);
        benchmark::DoNotOptimize(points.data());
    }
    state.SetItemsProcessed(state.iterations() * block * dims);
}
BENCHMARK(BM_SobolBlock)->Args({1024, 1})->Args({1024, 64})->Args({4096, 365})->Args({256, 5000});

// Recording the starts of 2048 blocks of 2^22 points.
void BM_SobolBlockStarts(benchmark::State& state)
{
    const int32_t dims = static_cast<int32_t>(state.range(0));
    SobolGenerator master(1u << 22, dims, kDirectionNumberFileName);
    Matrix<uint32_t> startStates;
    std::vector<uint32_t> startIndices;
    for (auto _ : state) {
        master.computeBlockStarts(2048, startStates, startIndices, true);
        benchmark::DoNotOptimize(startStates.data());
    }
}
BENCHMARK(BM_SobolBlockStarts)->Arg(64)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_BrownianBridgePath(benchmark::State& state)
{
    const int32_t steps = static_cast<int32_t>(state.range(0));
    const BrownianBridge bridge(steps);
    std::vector<double> z(static_cast<size_t>(steps), 0.3), path(static_cast<size_t>(steps));
    for (auto _ : state) {
        bridge.buildPath(path.data(), z.data());
        benchmark::DoNotOptimize(path.data());
    }
    state.SetItemsProcessed(state.iterations() * steps);
}
BENCHMARK(BM_BrownianBridgePath)->Arg(64)->Arg(1024);

}  // namespace
}  // namespace tarvic

BENCHMARK_MAIN();
