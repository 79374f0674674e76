// Time and error of the Monte Carlo engines, each on 1 and 8 threads.
// European: the default Sobol run (2^19 points, 1 step, likelihood-ratio
// Greeks), one million pseudo-random paths of one step, of 250 steps, and a
// continuously monitored barrier with 250 steps; counters: the error against
// the closed form, path steps per second per core, and beside them the rate
// of the reference kernel (reference_mc_kernels.h: the same normals drawn
// and added up, nothing else) on the same path steps, and ratio_to_ref, the
// engine's rate over the reference's.
// Early exercise: the Bermudan put of Longstaff and Schwartz (S = 36,
// K = 40, r = 0.06, sigma = 0.2, T = 1, 50 dates; 4.4778 by finite
// differences) on 10^5 pseudo-random paths of which 5 10^4 regress, with 5
// basis functions, without and with likelihood-ratio Greeks; the Sobol
// default (2^19 points, 2^14 regressing, Brownian bridge); and 10^6 paths
// with Greeks, whose counter peak_MB is the peak resident memory of the run.
// The European benchmarks run on a quiet machine (busy:0) and beside two
// spinning threads of their own (busy:1); the reference runs on the quiet
// machine only. Measured while other programs kept the machine loaded (load
// average about 60; this benchmark alone in a scheduling group of high
// weight), medians of 3, 8 threads over 1: 250 steps quiet 0.13, busy 0.23,
// the engine at 1.2 times the reference's rate on 8 threads; default Sobol
// busy 0.30; one step busy 0.34; continuous barrier busy 0.25.
// The pseudo-random early-exercise runs have the Longstaff-Schwartz
// reference kernel beside them (reference_ls_kernel.h: the same paths, dates
// and basis with the leanest fit): ratio_to_ref is the reference's time over
// the engine's, ref_error the reference's value against the finite-difference
// one.

#include <omp.h>

#include <cmath>

#include <benchmark/benchmark.h>

#include "../tests/library/montecarlo/option_reference.h"
#include "busy_machine.h"
#include "montecarlo/early_exercise_mc.h"
#include "montecarlo/estimate_series.h"
#include "montecarlo/european_mc.h"
#include "montecarlo/european_qmc.h"
#include "montecarlo/regression_basis.h"
#include "peak_memory.h"
#include "reference_ls_kernel.h"
#include "reference_mc_kernels.h"

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

// Each European benchmark on a quiet machine and on one made busy by two
// spinning threads of the benchmark's own (busy_machine.h), on 1 and 8
// threads back to back.
void busyAndThreads(benchmark::internal::Benchmark* b)
{
    // The first argument varies fastest: 1 and 8 threads run back to back.
    b->ArgNames({"threads", "busy"})
        ->ArgsProduct({{1, 8}, {0, 1}})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void BM_DefaultSobol(benchmark::State& state)
{
    const bench::SpinningThreads spinning(state.range(1) != 0);
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    EuropeanContract c = contract(1);
    c.computeGreeks = true;
    EstimateSeries r;
    const bool busy = state.range(1) != 0;
    bench::AgainstNormalSum reference(
        [&] { return busy ? 0.0 : bench::sobolNormalSumSeconds(19, 1, threads > 1); });
    for (auto _ : state)
        reference.iteration(state, [&] { priceEuropeanQMC(r, c, 19, true, false, threads > 1, false, 9); });
    report(state, r, tarvic_test::bsPrice(true, kMarket), double(1 << 19), threads);
    reference.report(state, double(1 << 19), threads);
    state.counters["delta_error"] = r[EstimateSeries::kDelta].back() - tarvic_test::bsGreeks(true, kMarket).delta;
}
BENCHMARK(BM_DefaultSobol)->Apply(busyAndThreads);

// One million pseudo-random paths in 500 blocks beside the reference on the
// same path steps.
void runPseudoRandom(benchmark::State& state, const EuropeanContract& c, double truth)
{
    const bench::SpinningThreads spinning(state.range(1) != 0);
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    constexpr int64_t kPaths = 1000000;
    constexpr int32_t kBlocks = 500;
    EstimateSeries r;
    const bool busy = state.range(1) != 0;
    bench::AgainstNormalSum reference(
        [&] { return busy ? 0.0 : bench::normalSumSeconds(kPaths, c.numSteps, kBlocks, threads > 1); });
    for (auto _ : state)
        reference.iteration(state, [&] { priceEuropeanMC(r, c, kPaths, false, threads > 1, kBlocks); });
    const double pathSteps = double(kPaths) * c.numSteps;
    report(state, r, truth, pathSteps, threads);
    reference.report(state, pathSteps, threads);
}

void BM_PseudoRandomOneStep(benchmark::State& state)
{
    runPseudoRandom(state, contract(1), tarvic_test::bsPrice(true, kMarket));
}
BENCHMARK(BM_PseudoRandomOneStep)->Apply(busyAndThreads);

void BM_PseudoRandom250Steps(benchmark::State& state)
{
    runPseudoRandom(state, contract(250), tarvic_test::bsPrice(true, kMarket));
}
BENCHMARK(BM_PseudoRandom250Steps)->Apply(busyAndThreads);

void BM_ContinuousBarrier250Steps(benchmark::State& state)
{
    EuropeanContract c = contract(250);
    c.upperBarrier = kUpperBarrier;
    c.contMonitoring = true;
    runPseudoRandom(state, c, tarvic_test::singleKnockOut(true, kMarket, 0.0, kUpperBarrier));
}
BENCHMARK(BM_ContinuousBarrier250Steps)->Apply(busyAndThreads);

// ---- Early exercise ----------------------------------------------------------------

constexpr double kBermudanPut = 4.4778;

EuropeanContract bermudanPut(bool greeks)
{
    EuropeanContract c;
    c.spot = 36.0;
    c.strike = 40.0;
    c.intRate = 0.06;
    c.expiry = 1.0;
    c.volatility = 0.2;
    c.numSteps = 50;
    c.optionType = 1;
    c.computeGreeks = greeks;
    return c;
}

void reportBermudan(benchmark::State& state, const EstimateSeries& r)
{
    state.counters["error"] = r.value().back() - kBermudanPut;
    state.counters["std_error"] = tarvic_test::blockStandardError(r.value());
}

// A pseudo-random Bermudan put of pathCount paths (50000 regressing)
// beside the Longstaff-Schwartz reference kernel on the same paths, dates
// and basis: ratio_to_ref is the reference's time over the engine's,
// ref_error the reference's value less the finite-difference one.
void runBermudanAgainstReference(benchmark::State& state, int64_t pathCount, bool greeks)
{
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    const EuropeanContract c = bermudanPut(greeks);
    constexpr int64_t kRegressionPaths = 50000;
    constexpr int32_t kBasisCount = 5;
    EstimateSeries r;
    double referenceValue = 0.0;
    bench::AgainstNormalSum reference([&] {
        const bench::LongstaffSchwartzReference ref = bench::longstaffSchwartzSeconds(
            c, pathCount, kRegressionPaths, exerciseBasisFor(kBasisCount, c.optionType), threads > 1);
        referenceValue = ref.value;
        return ref.seconds;
    });
    for (auto _ : state)
        reference.iteration(state, [&] {
            ExerciseRule rule;
            priceEarlyExerciseMC(r, rule, c, pathCount, kRegressionPaths, kBasisCount, false, threads > 1, 500);
        });
    reportBermudan(state, r);
    reference.report(state, double(pathCount) * c.numSteps, threads);
    state.counters["ref_error"] = referenceValue - kBermudanPut;
}

void BM_BermudanPut(benchmark::State& state) { runBermudanAgainstReference(state, 100000, state.range(1) != 0); }
BENCHMARK(BM_BermudanPut)
    ->ArgNames({"threads", "greeks"})
    ->Args({1, 0})
    ->Args({8, 0})
    ->Args({1, 1})
    ->Args({8, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BermudanPutSobolDefault(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    omp_set_num_threads(threads);
    const EuropeanContract c = bermudanPut(false);
    EstimateSeries r;
    for (auto _ : state) {
        ExerciseRule rule;
        priceEarlyExerciseQMC(r, rule, c, 19, 14, 5, true, false, threads > 1, 9);
    }
    reportBermudan(state, r);
}
BENCHMARK(BM_BermudanPutSobolDefault)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();


// peak_MB is the process's peak: run this benchmark alone
// (--benchmark_filter=MillionPaths) to read the run's own.
void BM_BermudanPutMillionPathsWithGreeks(benchmark::State& state)
{
    runBermudanAgainstReference(state, 1000000, true);
    state.counters["peak_MB"] = tarvic_bench::peakResidentMB();
}
BENCHMARK(BM_BermudanPutMillionPathsWithGreeks)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tarvic

BENCHMARK_MAIN();
