// Time and error of the Asian Monte Carlo engines, each on 1 and 8 threads,
// in the market S = K = 100, r = 0.06, q = 0.03, sigma = 0.2, T = 1 with ten
// fixings to come: the European fixed call (5.5328) on 10^6 pseudo-random
// paths and on 2^19 Sobol points with the Brownian bridge; the fixed put
// exercisable at the fixings (4.4210) on 10^6 pseudo-random paths of which
// 5 10^4 regress, with 16 and with 36 basis functions, and the Sobol default
// (2^19 points, 2^14 regressing). Counters: the error against the reference
// value, the standard error of the block estimates, and peak_MB, the peak
// resident memory of the process (run one benchmark alone with
// --benchmark_filter to read its own).

#include <omp.h>

#include <benchmark/benchmark.h>

#include "../tests/library/montecarlo/option_reference.h"
#include "montecarlo/asian_early_exercise_mc.h"
#include "montecarlo/asian_european_mc.h"
#include "montecarlo/estimate_series.h"
#include "peak_memory.h"

namespace tarvic {
namespace {

constexpr double kFixedCall = 5.5328;
constexpr double kExercisableFixedPut = 4.4210;

AsianContract contract(int32_t optionType)
{
    AsianContract c;
    c.spot = 100.0;
    c.strike = 100.0;
    c.intRate = 0.06;
    c.divYield = 0.03;
    c.volatility = 0.2;
    c.expiry = 1.0;
    c.numFixings = 10;
    c.optionType = optionType;
    return c;
}


void report(benchmark::State& state, const EstimateSeries& r, double truth)
{
    state.counters["error"] = r.value().back() - truth;
    state.counters["std_error"] = tarvic_test::blockStandardError(r.value());
    state.counters["peak_MB"] = tarvic_bench::peakResidentMB();
}

void BM_AsianEuropeanPseudoRandom(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    const AsianContract c = contract(0);
    EstimateSeries r;
    for (auto _ : state)
        priceAsianEuropeanMC(r, c, 1000000, false, threads > 1, 500);
    report(state, r, kFixedCall);
}
BENCHMARK(BM_AsianEuropeanPseudoRandom)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AsianEuropeanSobol(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    const AsianContract c = contract(0);
    EstimateSeries r;
    for (auto _ : state)
        priceAsianEuropeanQMC(r, c, 19, true, false, threads > 1, false, 9);
    report(state, r, kFixedCall);
}
BENCHMARK(BM_AsianEuropeanSobol)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AsianExercisablePseudoRandom(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    const int32_t basisCount = static_cast<int32_t>(state.range(1));
    omp_set_num_threads(threads);
    const AsianContract c = contract(1);
    EstimateSeries r;
    for (auto _ : state) {
        ExerciseRule rule;
        priceAsianEarlyExerciseMC(r, rule, c, 1000000, 50000, basisCount, false, threads > 1, 500);
    }
    report(state, r, kExercisableFixedPut);
}
BENCHMARK(BM_AsianExercisablePseudoRandom)
    ->ArgNames({"threads", "functions"})
    ->Args({1, 16})
    ->Args({8, 16})
    ->Args({1, 36})
    ->Args({8, 36})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_AsianExercisableSobolDefault(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    const AsianContract c = contract(1);
    EstimateSeries r;
    for (auto _ : state) {
        ExerciseRule rule;
        priceAsianEarlyExerciseQMC(r, rule, c, 19, 14, 16, true, false, threads > 1, 9);
    }
    report(state, r, kExercisableFixedPut);
}
BENCHMARK(BM_AsianExercisableSobolDefault)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tarvic

BENCHMARK_MAIN();
