// Time per call of VelkOptionPricer for the American put K = 40, r = 0.06,
// q = 0 at Low (30/30), Medium (100/100) and High (300/300) resolution with
// each early-exercise solver, and the error at the spot against published
// values (S = 36, sigma = 0.2, T = 1: 4.4867; S = 36, sigma = 0.4, T = 2:
// 8.5142; S = 44, sigma = 0.2, T = 1: 1.1130). Non-uniform grid, Crank–
// Nicolson with Rannacher start. The value at the spot is the quadratic
// interpolation through the three nearest nodes.

#include <cmath>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

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

void BM_AmericanPut(benchmark::State& state)
{
    const int32_t steps = static_cast<int32_t>(state.range(0));
    const int32_t solver = static_cast<int32_t>(state.range(1));
    const PutCase& c = kCases[state.range(2)];
    std::vector<double> a[6];
    for (auto& v : a)
        v.assign(50001, 0.0);
    int32_t n = steps;
    for (auto _ : state) {
        n = steps;
        TvString text = VelkOptionPricer(a[0].data(), a[1].data(), a[2].data(), a[3].data(),
                                         a[4].data(), a[5].data(), 40.0, steps, c.T, c.sigma,
                                         0.06, 0.0, &n, 1, 1, 2, solver, 0.0, 0, 0, 1, 1);
        if (tvStringByteLen(text) != 0)
            state.SkipWithError(text);
        tvFreeString(text);
    }
    const double value = atSpot(a[0], a[1], n, c.S);
    state.counters["nodes"] = n + 1;
    state.counters["value"] = value;
    state.counters["error"] = std::fabs(value - c.published);
}

void americanPutArgs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"steps", "solver", "case"});
    for (int64_t steps : {30, 100, 300})
        for (int64_t solver : {0, 1, 2})
            for (int64_t k : {0, 1, 2})
                b->Args({steps, solver, k});
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_AmericanPut)->Apply(americanPutArgs);

}  // namespace

BENCHMARK_MAIN();
