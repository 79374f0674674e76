// Time and error of the European Monte Carlo engines: the default Sobol run
// (2^19 points, 1 step, likelihood-ratio Greeks), one million pseudo-random
// paths of one step, and a continuously monitored barrier with 250 steps,
// each on 1 and 8 threads. Counters: the error against the closed form, and
// path steps per second per core.

#include <omp.h>

#include <cmath>

#include <benchmark/benchmark.h>

#include "../tests/library/montecarlo/option_reference.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/european_mc.h"
#include "montecarlo/european_qmc.h"

namespace tarvic {
namespace {

const tarvic_test::Market kMarket{100.0, 100.0, 0.05, 0.02, 0.25, 1.0};
constexpr double kUpperBarrier = 135.0;

EuropeanContract contract(int32_t steps)
{
    EuropeanContract c;
    c.spot = kMarket.spot;
    c.strike = kMarket.strike;
    c.intRate = kMarket.rate;
    c.divYield = kMarket.div;
    c.volatility = kMarket.vol;
    c.expiry = kMarket.expiry;
    c.numSteps = steps;
    return c;
}

void report(benchmark::State& state, const EstimateSeries& r, double truth, double pathSteps, int threads)
{
    state.counters["error"] = r.value().back() - truth;
    state.counters["std_error"] = tarvic_test::blockStandardError(r.value());
    state.counters["steps_per_s_per_core"] =
        benchmark::Counter(pathSteps / threads, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DefaultSobol(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    EuropeanContract c = contract(1);
    c.computeGreeks = true;
    EstimateSeries r;
    for (auto _ : state)
        priceEuropeanQMC(r, c, 19, true, false, threads > 1, false, 9);
    report(state, r, tarvic_test::bsPrice(true, kMarket), double(1 << 19), threads);
    state.counters["delta_error"] = r[EstimateSeries::kDelta].back() - tarvic_test::bsGreeks(true, kMarket).delta;
}
BENCHMARK(BM_DefaultSobol)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PseudoRandomOneStep(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    const EuropeanContract c = contract(1);
    EstimateSeries r;
    for (auto _ : state)
        priceEuropeanMC(r, c, 1000000, false, threads > 1, 500);
    report(state, r, tarvic_test::bsPrice(true, kMarket), 1e6, threads);
}
BENCHMARK(BM_PseudoRandomOneStep)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ContinuousBarrier250Steps(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    EuropeanContract c = contract(250);
    c.upperBarrier = kUpperBarrier;
    c.contMonitoring = true;
    EstimateSeries r;
    for (auto _ : state)
        priceEuropeanMC(r, c, 1000000, false, threads > 1, 500);
    report(state, r, tarvic_test::singleKnockOut(true, kMarket, 0.0, kUpperBarrier), 1e6 * 250, threads);
}
BENCHMARK(BM_ContinuousBarrier250Steps)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tarvic

BENCHMARK_MAIN();
