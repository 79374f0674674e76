// The finite-difference step on its own: the put K = 40, S = 36, r = 0.06,
// q = 0, sigma = 0.2, T = 1 on a uniform grid of 1001 nodes (333 steps to
// the strike, top 120) with 1000 Crank–Nicolson steps, one core, European
// (error against Black–Scholes) and American by Brennan–Schwartz (against
// the published 4.4867), beside the reference kernel (reference_kernels.h)
// on the same grid and steps.
//
// Time per call of VelkOptionPricer for the American put K = 40, r = 0.06,
// q = 0 at Low (30/30), Medium (100/100) and High (300/300) resolution with
// each early-exercise solver, and the error at the spot against published
// values (S = 36, sigma = 0.2, T = 1: 4.4867; S = 36, sigma = 0.4, T = 2:
// 8.5142; S = 44, sigma = 0.2, T = 1: 1.1130). Non-uniform grid, Crank–
// Nicolson with Rannacher start. The value at the spot is the quadratic
// interpolation through the three nearest nodes. The reference beside each
// is the Brennan–Schwartz kernel on the same grid and time levels, so the
// ratio shows what the solver costs beyond that (projected SOR sweeps many
// times a step).
//
// The same put by Brennan–Schwartz with theta and vega asked for, on 1 and
// 8 threads (BM_AmericanPutWithGreeks): the base solve and its two re-solves
// run side by side at High. Measured on the 8-core machine, quiet, medians
// of 3: High 2.52 ms on one thread, 0.97 ms on eight (0.38); Low and Medium
// stay on the caller's thread (0.04 and 0.31 ms either way).

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <omp.h>

#include "closedform/closed_form.h"
#include "pde/dorn_tech_option.h"
#include "pde/step_kernels.h"
#include "reference_kernels.h"
#include "tarvic/tarvic.h"

namespace {

struct PutCase {
    double S, sigma, T, published;
};
const PutCase kCases[] = {{36.0, 0.2, 1.0, 4.4867}, {36.0, 0.4, 2.0, 8.5142}, {44.0, 0.2, 1.0, 1.1130}};

double atSpot(const std::vector<double>& g, const std::vector<double>& v, int n, double s)
{
    int i = 0;
    while (i + 1 < n && g[static_cast<size_t>(i + 1)] < s)
        ++i;
    int j = (i > 0 && s - g[static_cast<size_t>(i)] < g[static_cast<size_t>(i + 1)] - s) ? i - 1 : i;
    if (j + 2 > n)
        j = n - 2;
    const double x0 = g[static_cast<size_t>(j)], x1 = g[static_cast<size_t>(j + 1)], x2 = g[static_cast<size_t>(j + 2)];
    return v[static_cast<size_t>(j)] * (s - x1) * (s - x2) / ((x0 - x1) * (x0 - x2)) +
           v[static_cast<size_t>(j + 1)] * (s - x0) * (s - x2) / ((x1 - x0) * (x1 - x2)) +
           v[static_cast<size_t>(j + 2)] * (s - x0) * (s - x1) / ((x2 - x0) * (x2 - x1));
}

void BM_FiniteDifferenceStep(benchmark::State& state)
{
    const bool american = state.range(0) != 0;
    const PutCase& c = kCases[0];
    constexpr int32_t kTimeSteps = 1000;
    auto make = [&] {
        return tarvic::DornTechOption(40.0, kTimeSteps, c.T, c.sigma, 0.06, 0.0, 333, 1,
                                      american ? 1 : 0, 1, 2, 120.0, false, 1, 0, true);
    };
    tarvic::DornTechOption probe = make();
    probe.lastNodeIndex();
    const std::vector<double> grid = probe.grid;
    std::vector<double> payoff(grid.size());
    for (size_t i = 0; i < grid.size(); ++i)
        payoff[i] = std::max(40.0 - grid[i], 0.0);
    const bench::ReferenceSystem system(grid, c.sigma, 0.06, 0.0, c.T / kTimeSteps, american);
    bench::AgainstReference reference([&] {
        return bench::referenceSeconds(system, kTimeSteps, payoff, payoff,
                                       american ? bench::Projection::Upward
                                                : bench::Projection::None);
    });

    std::vector<double> g, v, d, gm, th;
    for (auto _ : state) {
        reference.iteration(state, [&] {
            tarvic::DornTechOption option = make();
            option.price(g, v, d, gm, th);
            benchmark::DoNotOptimize(v.data());
        });
    }
    const int n = static_cast<int>(g.size()) - 1;
    const double value = atSpot(g, v, n, c.S);
    const double known = american ? c.published
                                  : tarvic::blackScholesPrice(c.S, 40.0, 0.06, 0.0, c.sigma,
                                                              c.T, 1);
    reference.report(state, static_cast<double>(g.size()) * kTimeSteps);
    state.counters["value"] = value;
    state.counters["error"] = std::fabs(value - known);
    state.SetLabel(std::string(american ? "American Brennan-Schwartz" : "European") + ", " +
                   tarvic::stepKernels().target + " (reference " + bench::referenceTarget() +
                   ")");
}
BENCHMARK(BM_FiniteDifferenceStep)
    ->ArgName("american")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);

// greeks: theta and vega asked for, three solves a call (the base and its
// re-solves at a later expiry and a higher volatility).
void americanPut(benchmark::State& state, int32_t steps, int32_t solver, const PutCase& c,
                 int32_t greeks)
{
    std::vector<double> a[6];
    for (auto& v : a)
        v.assign(50001, 0.0);
    int32_t n = steps;
    auto solve = [&] {
        n = steps;
        TvString text = VelkOptionPricer(a[0].data(), a[1].data(), a[2].data(), a[3].data(),
                                         a[4].data(), a[5].data(), 40.0, steps, c.T, c.sigma,
                                         0.06, 0.0, &n, 1, 1, 2, solver, 0.0, greeks, greeks, 1, 1);
        if (tvStringByteLen(text) != 0)
            state.SkipWithError(text);
        tvFreeString(text);
    };
    solve();
    // Crank–Nicolson with a Rannacher start: three more levels than steps.
    const int levels = steps + 3;
    bench::AgainstReference reference(bench::referenceOnGrid(
        std::vector<double>(a[0].begin(), a[0].begin() + n + 1), c.sigma, 0.06, 0.0, c.T, levels,
        40.0, true, bench::Projection::Upward));
    for (auto _ : state)
        reference.iteration(state, solve);
    const double value = atSpot(a[0], a[1], n, c.S);
    reference.report(state, static_cast<double>(n + 1) * levels);
    state.counters["value"] = value;
    state.counters["error"] = std::fabs(value - c.published);
}

void BM_AmericanPut(benchmark::State& state)
{
    americanPut(state, static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
                kCases[state.range(2)], 0);
}

// With theta and vega, on 1 and 8 threads back to back: the three solves of
// a call run side by side where their work pays for the hand-over (High),
// on the caller's thread otherwise.
void BM_AmericanPutWithGreeks(benchmark::State& state)
{
    omp_set_num_threads(static_cast<int>(state.range(0)));
    americanPut(state, static_cast<int32_t>(state.range(1)), 2, kCases[0], 1);
}
BENCHMARK(BM_AmericanPutWithGreeks)
    ->ArgNames({"threads", "steps"})
    ->ArgsProduct({{1, 8}, {30, 100, 300}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void americanPutArgs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"steps", "solver", "case"});
    for (int64_t steps : {30, 100, 300})
        for (int64_t solver : {0, 1, 2})
            for (int64_t k : {0, 1, 2})
                b->Args({steps, solver, k});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_AmericanPut)->Apply(americanPutArgs);

}  // namespace

BENCHMARK_MAIN();
