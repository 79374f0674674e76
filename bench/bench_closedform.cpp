// Time per call of the closed-form exports, with the error of the value
// against a known value as a counter.
//  - vanilla: published 4-decimal values (call 2.1334, put 2.4648);
//  - single barriers: the textbook Reiner–Rubinstein terms without rebate,
//    S = 100, T = 0.5, r = 0.08, q = 0.04, sigma = 0.25, K = 100;
//  - double knock-outs: a sine series of the killed diffusion, S = K = 100,
//    T = 0.25, r = 0.1, q = 0, barriers 80 and 120, sigma = 0.25
//    (published to 4 decimals as call 2.6387, put 2.6866).

#include <cmath>
#include <cstdint>

#include <benchmark/benchmark.h>

#include "tarvic/tarvic.h"

namespace {

struct Outputs {
    double value, delta, gamma, theta, vega;
};

void reportError(benchmark::State& state, double value, double known)
{
    state.counters["value"] = value;
    state.counters["error"] = std::fabs(value - known);
}

void BM_VanillaBS(benchmark::State& state)
{
    const int32_t type = static_cast<int32_t>(state.range(0));
    Outputs o{};
    double spot = type == 0 ? 60.0 : 100.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(spot);
        if (type == 0)
            VanillaBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, spot, 65, 0.08, 0.0, 0.3,
                      0.25, 0);
        else
            VanillaBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, spot, 95, 0.1, 0.05, 0.2,
                      0.5, 1);
        benchmark::DoNotOptimize(o);
    }
    reportError(state, o.value, type == 0 ? 2.1334 : 2.4648);
}
BENCHMARK(BM_VanillaBS)->Arg(0)->Arg(1)->ArgName("put");

// Down-and-out call (arg 0) and up-and-in put (arg 1), value and five-point
// differenced Greeks: eleven barrier values per call.
void BM_BarrierBS_Single(benchmark::State& state)
{
    const bool downOutCall = state.range(0) == 0;
    Outputs o{};
    double spot = 100.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(spot);
        BarrierBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, spot, 100, 0.08, 0.04, 0.25,
                  0.5, downOutCall ? 95.0 : 0.0, downOutCall ? 0.0 : 105.0, downOutCall ? 1 : 0,
                  downOutCall ? 0 : 1);
        benchmark::DoNotOptimize(o);
    }
    reportError(state, o.value, downOutCall ? 4.512598607823680 : 2.760625481019602);
}
BENCHMARK(BM_BarrierBS_Single)->Arg(0)->Arg(1)->ArgName("upInPut");

void BM_BarrierBS_Double(benchmark::State& state)
{
    const int32_t type = static_cast<int32_t>(state.range(0));
    Outputs o{};
    double spot = 100.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(spot);
        BarrierBS(&o.value, &o.delta, &o.gamma, &o.theta, &o.vega, spot, 100, 0.1, 0.0, 0.25, 0.25,
                  80, 120, 1, type);
        benchmark::DoNotOptimize(o);
    }
    reportError(state, o.value, type == 0 ? 2.638712882539701 : 2.686631629863289);
    state.counters["errorPublished"] = std::fabs(o.value - (type == 0 ? 2.6387 : 2.6866));
}
BENCHMARK(BM_BarrierBS_Double)->Arg(0)->Arg(1)->ArgName("put");

// A whole grid of 5001 nodes through the barrier grid export.
void BM_BarrierBSGrid_Double(benchmark::State& state)
{
    static double grid[5001], exact[5001];
    for (int i = 0; i <= 5000; ++i)
        grid[i] = 0.04 * i;
    for (auto _ : state) {
        BarrierBSGrid(grid, exact, 100, 0.1, 0.0, 0.25, 0.25, 80, 120, 1, 0, 5000);
        benchmark::DoNotOptimize(exact);
    }
    reportError(state, exact[2500], 2.638712882539701);
    state.SetItemsProcessed(state.iterations() * 5001);
}
BENCHMARK(BM_BarrierBSGrid_Double);

}  // namespace

BENCHMARK_MAIN();
