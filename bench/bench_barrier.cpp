// Time per call of VelkBarrierOptionPricer at Low (30/30), Medium (100/100)
// and High (300/300) resolution (asset steps to the strike / time steps),
// default settings otherwise (stretched grid, Crank-Nicolson with Rannacher
// start, Brennan-Schwartz), with the error of the value at the spot:
//  - continuous down-and-out call, S = K = 100, B = 95, T = 0.5, r = 0.08,
//    q = 0.04, sigma = 0.25: against the closed form;
//  - continuous double knock-out call, S = K = 100, barriers 80 and 120,
//    T = 0.25, r = 0.1, q = 0, sigma = 0.25: against the closed-form series;
//  - American down-and-in put, S = K = 100, B = 95, T = 0.5, r = 0.08,
//    q = 0.04, sigma = 0.25: against a fine-grid solution (2000 asset and
//    2000 time steps) of the same method; the counter solverGap is the
//    difference between that fine solution and one with projected SOR.
// Beside each, the reference elimination kernel (reference_kernels.h) on
// the reported grid and time levels; a knock-in solves its vanilla
// companion too, so its ratio counts two solves against one, and with theta
// and vega (greeks:1) a call makes three times the solves of one without.
//
// Each runs without and with theta and vega, on a quiet machine and beside
// two spinning threads of its own (busy:1), with 1 and 8 threads asked for
// (threads). Without greeks a call is one chain of time steps (a knock-in
// two, the second taking its barrier values from the first): nothing to run
// beside it, and it must not slow down when more threads are asked for.
// With greeks the base solve and its re-solves at a later expiry and a
// higher volatility are independent: they run side by side on the
// library's threads where their work pays for the hand-over (High), on the
// caller's thread otherwise (Low, Medium).
//
// Measured on the 8-core machine, quiet apart from the benchmark's own
// spinning threads (load average about 2; the benchmark in its own
// autogroup at high weight), medians of 5, real time of 8 threads over 1:
//   without greeks, quiet and busy:1: 0.89-1.01 at every resolution (High:
//     down-and-out 0.47 ms, double knock-out 0.096 ms, American down-and-in
//     1.33 ms on one thread);
//   with greeks, busy:1: Low and Medium 0.99-1.03; High 0.43 (down-and-out,
//     1.39 ms on one thread), 0.71 (double knock-out, 0.285 ms) and 0.36
//     (American down-and-in, 3.99 ms); quiet: 0.41, 0.71 and 0.36.
// A call without greeks cannot take less than one thread's time: at High
// each of its ~300 time steps takes about 1.5 microseconds (the double
// knock-out 0.3), while one spin barrier across 4 threads costs 0.5-0.6
// microseconds here and across 8 threads 1.2-1.3, so a step shared between
// threads would cost more than the step. With greeks three solves take at
// best a third; what remains is the time an idle core of this machine takes
// to start a woken thread (about 45 microseconds after 1 ms idle, up to
// milliseconds after 20 ms idle), which a 0.1 ms solve cannot hide.

#include <cmath>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>
#include <omp.h>

#include "busy_machine.h"
#include "closedform/closed_form.h"
#include "reference_kernels.h"
#include "tarvic/tarvic.h"

namespace {

struct Contract {
    double spot, strike, lower, upper, expiry, volatility, intRate, divYield;
    int32_t optionType, knockOut, exerciseType;
};

const Contract kDownOutCall{100, 100, 95, 0, 0.5, 0.25, 0.08, 0.04, 0, 1, 0};
const Contract kDoubleOutCall{100, 100, 80, 120, 0.25, 0.25, 0.1, 0.0, 0, 1, 0};
const Contract kAmericanDownInPut{100, 100, 95, 0, 0.5, 0.25, 0.08, 0.04, 1, 0, 1};

struct Arrays {
    std::vector<double> a[6];
    int32_t last = 0;  // the index of the last node of the last call
    Arrays()
    {
        for (auto& v : a)
            v.assign(50001, 0.0);
    }
};

// Value at the spot, quadratic through the three nearest nodes.
double atSpot(const std::vector<double>& g, const std::vector<double>& v, int n, double s)
{
    int i = 0;
    while (i + 1 < n && g[static_cast<size_t>(i + 1)] < s)
        ++i;
    int j = i;
    if (j > 0 && s - g[static_cast<size_t>(i)] < g[static_cast<size_t>(i + 1)] - s)
        j = i - 1;
    if (j + 2 > n)
        j = n - 2;
    const double x0 = g[static_cast<size_t>(j)], x1 = g[static_cast<size_t>(j + 1)],
                 x2 = g[static_cast<size_t>(j + 2)];
    return v[static_cast<size_t>(j)] * (s - x1) * (s - x2) / ((x0 - x1) * (x0 - x2)) +
           v[static_cast<size_t>(j + 1)] * (s - x0) * (s - x2) / ((x1 - x0) * (x1 - x2)) +
           v[static_cast<size_t>(j + 2)] * (s - x0) * (s - x1) / ((x2 - x0) * (x2 - x1));
}

// One call of the export; returns the value at the spot (NaN on failure).
double price(const Contract& c, int32_t assetSteps, int32_t timeSteps, Arrays& out,
             int32_t amerSolver = 2, int32_t greeks = 0)
{
    int32_t n = assetSteps;
    TvString text = VelkBarrierOptionPricer(
        out.a[0].data(), out.a[1].data(), out.a[2].data(), out.a[3].data(), out.a[4].data(),
        out.a[5].data(), c.spot, c.strike, c.lower, c.upper, 1, timeSteps, c.expiry,
        c.volatility, c.intRate, c.divYield, &n, c.optionType, c.knockOut, c.exerciseType, 2,
        amerSolver, 0.0, greeks, greeks, 1, 1);
    const bool ok = tvStringByteLen(text) == 0 && n <= 50000;
    out.last = ok ? n : 0;
    tvFreeString(text);
    return ok ? atSpot(out.a[0], out.a[1], n, c.spot) : std::nan("");
}

double closedForm(const Contract& c)
{
    return tarvic::barrierPrice(c.spot, c.strike, c.intRate, c.divYield, c.volatility, c.expiry,
                                c.lower, c.upper, c.knockOut, c.optionType);
}

void runAgainst(benchmark::State& state, const Contract& c, double known)
{
    const auto steps = static_cast<int32_t>(state.range(2));
    const auto greeks = static_cast<int32_t>(state.range(3));
    omp_set_num_threads(static_cast<int>(state.range(0)));
    Arrays out;
    double value = price(c, steps, steps, out);
    // The reference: the elimination kernel on the reported grid and time
    // levels (Rannacher: three more than steps), projected for an American.
    const int32_t n = out.last;
    const bool american = c.exerciseType == 1;
    bench::AgainstReference reference(bench::referenceOnGrid(
        std::vector<double>(out.a[0].begin(), out.a[0].begin() + n + 1), c.volatility,
        c.intRate, c.divYield, c.expiry, steps + 3, c.strike, c.optionType == 1,
        american ? (c.optionType == 1 ? bench::Projection::Upward : bench::Projection::Downward)
                 : bench::Projection::None));
    const bench::SpinningThreads spinning(state.range(1) != 0);
    for (auto _ : state) {
        reference.iteration(state, [&] {
            value = price(c, steps, steps, out, 2, greeks);
            benchmark::DoNotOptimize(value);
        });
    }
    reference.report(state, static_cast<double>(n + 1) * (steps + 3));
    state.counters["value"] = value;
    state.counters["error"] = std::fabs(value - known);
}

// Low, Medium and High; without and with theta and vega (greeks); on a quiet machine and beside two spinning threads
// of the benchmark's own (busy_machine.h); with 1 and 8 threads asked for,
// back to back.
void resolutionsBusyAndThreads(benchmark::internal::Benchmark* b)
{
    // The first argument varies fastest: 1 and 8 threads run back to back.
    b->ArgNames({"threads", "busy", "steps", "greeks"})
        ->ArgsProduct({{1, 8}, {0, 1}, {30, 100, 300}, {0, 1}})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void BM_DownOutCall(benchmark::State& state)
{
    runAgainst(state, kDownOutCall, closedForm(kDownOutCall));
}
BENCHMARK(BM_DownOutCall)->Apply(resolutionsBusyAndThreads);

void BM_DoubleKnockOutCall(benchmark::State& state)
{
    runAgainst(state, kDoubleOutCall, closedForm(kDoubleOutCall));
}
BENCHMARK(BM_DoubleKnockOutCall)->Apply(resolutionsBusyAndThreads);

struct FineAmerican {
    double value;
    double solverGap;
};

const FineAmerican& fineAmericanDownInPut()
{
    static const FineAmerican fine = [] {
        Arrays out;
        const double bs = price(kAmericanDownInPut, 2000, 2000, out, 2);
        const double sor = price(kAmericanDownInPut, 2000, 2000, out, 0);
        return FineAmerican{bs, sor - bs};
    }();
    return fine;
}

void BM_AmericanDownInPut(benchmark::State& state)
{
    const FineAmerican& fine = fineAmericanDownInPut();
    runAgainst(state, kAmericanDownInPut, fine.value);
    state.counters["fineValue"] = fine.value;
    state.counters["solverGap"] = fine.solverGap;
}
BENCHMARK(BM_AmericanDownInPut)->Apply(resolutionsBusyAndThreads);

}  // namespace

BENCHMARK_MAIN();
