// Time and error of VelkAsianOptionPricer for a fixed-strike Asian call at
// the Low, Medium and High resolutions of the program, on 1 and 8 threads,
// and the speed-up of the parallel plane sweep.
//
// Contract: S = K = 100, q = 0.03, r = 0.06, sigma = 0.2, T = 1, ten fixings
// at T/10, ..., T, European; the known value 5.5327 (+-1e-4) comes from an
// independent simulation.
//
// The sweep over the planes covers the nine periods before the one from
// now. Its time is the full valuation minus a valuation with the same grid,
// planes and last period but nine fixings settled (no sweep); the speed-up
// is the ratio of those differences on 1 and 8 threads. The sweep solves
// nodes x planes x time levels x periods node-steps; the reference kernel
// (reference_kernels.h) steps as many with eight planes side by side in
// vector lanes, on as many threads, in the same process; the table at the
// end gives both rates and the ratio of the times.
//
// Measured on this 8-core machine, shared with other builds (rates vary by
// a factor of two from run to run; the ratio much less), High on 8 threads:
// 4.31e7 node-steps; solved one plane after another, each plane with its own
// coefficients and factors, the sweep ran at 0.64-0.76 G node-steps per
// second, 14-19 times the reference's time; side by side 4.3-5.1 G/s,
// 2.2-2.6 times (the jump across the planes at each fixing is most of the
// rest).
//
// Busy (busy:1): the same beside two spinning threads of the benchmark's
// own, not pinned; the reference runs on the quiet machine only. Measured
// while other programs kept the machine loaded (load average 55-64; this
// benchmark alone in a scheduling group of high weight), 5 repetitions,
// medians of the whole valuation, 8 threads over 1: busy Low 0.97, Medium
// 0.71, High 0.29 (with the OpenMP loops before, 45, 21 and 2 times slower
// beside one spinning process); quiet High 0.40, the sweep at 3.1 G
// node-steps/s and 2.6 times the reference's time, whose own eight threads
// reached only 3.4 times its one-thread rate on the loaded machine.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>
#include <omp.h>

#include "busy_machine.h"
#include "pde/dorn_tech_asian_option.h"
#include "reference_kernels.h"
#include "tarvic/tarvic.h"

namespace {

constexpr double kKnownValue = 5.5327;

struct Resolution {
    const char* name;
    int32_t steps;    // asset steps to the strike and time steps
    int32_t spacing;  // plane spacing in asset steps
};
constexpr Resolution kResolutions[] = {{"Low", 30, 2}, {"Medium", 100, 4}, {"High", 300, 4}};

struct Arrays {
    std::vector<double> a[6];
    Arrays()
    {
        for (auto& v : a)
            v.assign(50001, 0.0);
    }
};

// Value at S = 100 by quadratic interpolation through the nearest nodes.
double valueAtSpot(const Arrays& out, int32_t n)
{
    const std::vector<double>& S = out.a[0];
    const std::vector<double>& V = out.a[1];
    int i = 0;
    while (i + 2 < n && S[static_cast<size_t>(i + 1)] < 100.0)
        ++i;
    const size_t j = static_cast<size_t>(i > 0 ? i - 1 : 0);
    const double x0 = S[j], x1 = S[j + 1], x2 = S[j + 2];
    const double s = 100.0;
    return V[j] * (s - x1) * (s - x2) / ((x0 - x1) * (x0 - x2)) +
           V[j + 1] * (s - x0) * (s - x2) / ((x1 - x0) * (x1 - x2)) +
           V[j + 2] * (s - x0) * (s - x1) / ((x2 - x0) * (x2 - x1));
}

// One valuation; sweep false settles nine fixings and takes a tenth of the
// time steps, so that only the last period (of the same length in steps)
// is solved.
double price(const Resolution& r, bool parallel, bool sweep, Arrays& out)
{
    int32_t n = r.steps;
    TvString text = VelkAsianOptionPricer(
        out.a[0].data(), out.a[1].data(), out.a[2].data(), out.a[3].data(), out.a[4].data(),
        out.a[5].data(), 100.0, 100.0, sweep ? r.steps : r.steps / 10, 1.0, 0.2, 0.06, 0.03, &n,
        r.spacing, 10, sweep ? 0 : 9, 100.0, 0.1, 0, 0, 2, 2, 2, 0.0, 0, 0, 1, parallel ? 1 : 0);
    const bool ok = text && tvStringByteLen(text) == 0;
    tvFreeString(text);
    return ok ? valueAtSpot(out, n) : std::nan("");
}

// The work of the sweep: its grid, planes and time levels.
struct SweepSize {
    std::vector<double> nodes;
    int32_t planes = 0;
    int32_t periods = 0;
    int32_t levelsPerPeriod = 0;
    double dt = 0.0;
    double nodeSteps() const
    {
        return static_cast<double>(nodes.size()) * planes * periods * levelsPerPeriod;
    }
};

SweepSize sweepSize(const Resolution& r)
{
    tarvic::DornTechAsianOption option(100.0, 100.0, 1.0, 0.2, 0.06, 0.03, 100.0, 0.1, r.steps,
                                       r.steps, r.spacing, 10, 0, 0, 0, 2, 2, 2, 0.0, true,
                                       false);
    std::vector<double> g, v, d, gm, th;
    option.price(g, v, d, gm, th);
    SweepSize s;
    s.nodes = option.assetNodes;
    s.planes = option.numActivePlanes;
    s.periods = 9;
    const int32_t steps = std::max(2, static_cast<int32_t>(std::trunc(r.steps / 10.0 + 0.5)));
    s.levelsPerPeriod = steps >= 5 ? steps + 3 : steps;  // the Rannacher quarter steps
    s.dt = 0.1 / steps;
    return s;
}

void BM_AsianFixedCall(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    const bool sweep = state.range(1) != 0;
    const bool busy = state.range(2) != 0;
    const Resolution& r = kResolutions[state.range(3)];
    omp_set_num_threads(threads);
    Arrays out;
    double value = 0.0;
    const SweepSize size = sweepSize(r);
    const bench::ReferenceSystem system(size.nodes, 0.2, 0.06, 0.03, size.dt, false);
    std::vector<double> start(size.nodes.size());
    for (size_t i = 0; i < start.size(); ++i)
        start[i] = std::max(size.nodes[i] - 100.0, 0.0);
    // The reference runs on the quiet machine only: on the busy one its
    // threads would share the cores with the valuation's.
    bench::AgainstReference reference([&] {
        return sweep && !busy ? bench::laneReferenceSeconds(system, size.levelsPerPeriod * size.periods,
                                                   size.planes, threads, start)
                     : 0.0;
    });
    const bench::SpinningThreads spinning(busy);
    for (auto _ : state) {
        reference.iteration(state, [&] {
            value = price(r, threads > 1, sweep, out);
            benchmark::DoNotOptimize(value);
        });
    }
    if (sweep && !busy)
        reference.report(state, size.nodeSteps());
    state.SetLabel(std::string(r.name) + (sweep ? "" : " (last period only)") + (busy ? ", busy" : ""));
    if (sweep) {
        state.counters["value"] = value;
        state.counters["error"] = std::fabs(value - kKnownValue);
    }
}
BENCHMARK(BM_AsianFixedCall)
    // The first argument varies fastest: 1 and 8 threads run back to back.
    ->ArgNames({"threads", "sweep", "busy", "res"})
    ->ArgsProduct({{1, 8}, {1, 0}, {0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);

// Collects the real time per run (the median of the repetitions) and prints
// the sweep's speed-up and the time on 8 threads over the time on one, on
// the quiet and on the busy machine, at the end.
class SweepReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            int res = 0, busy = 0, sweep = 0, threads = 0;
            const std::string name = run.benchmark_name();
            if (std::sscanf(name.c_str(), "BM_AsianFixedCall/threads:%d/sweep:%d/busy:%d/res:%d", &threads,
                            &sweep, &busy, &res) == 4)
            {
                seconds_[{res, busy, threads, sweep}].push_back(run.real_accumulated_time /
                                                                 static_cast<double>(run.iterations));
                const auto steps = run.counters.find("nodeSteps");
                const auto ns = run.counters.find("refNsPerNodeStep");
                if (!busy && sweep && steps != run.counters.end() && ns != run.counters.end())
                    reference_[{res, threads}] = {steps->second.value,
                                                  ns->second.value * steps->second.value * 1e-9};
            }
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (int busy : {0, 1}) {
            std::printf("\n%-8s %12s %12s %12s %12s %9s %9s\n", busy ? "busy" : "quiet", "sweep 1 thr",
                        "sweep 8 thr", "total 1 thr", "total 8 thr", "speed-up", "8 / 1");
            for (int res = 0; res < 3; ++res) {
                const double sweep1 = sweepSeconds(res, busy, 1) * 1e3;
                const double sweep8 = sweepSeconds(res, busy, 8) * 1e3;
                const double total1 = at(res, busy, 1, 1) * 1e3;
                const double total8 = at(res, busy, 8, 1) * 1e3;
                std::printf("%-8s %9.2f ms %9.2f ms %9.2f ms %9.2f ms %8.2fx %8.2fx\n", kResolutions[res].name,
                            sweep1, sweep8, total1, total8, sweep1 / sweep8, total8 / total1);
            }
        }
        std::printf("\n%-8s %8s %14s %14s %14s %9s\n", "", "threads", "node-steps",
                    "sweep G/s", "reference G/s", "ratio");
        for (int res = 0; res < 3; ++res) {
            for (int threads : {1, 8}) {
                const auto it = reference_.find({res, threads});
                if (it == reference_.end())
                    continue;
                const double nodeSteps = it->second.first;
                const double referenceSeconds = it->second.second;
                const double sweep = sweepSeconds(res, 0, threads);
                std::printf("%-8s %8d %14.4g %14.3f %14.3f %8.2fx\n", kResolutions[res].name,
                            threads, nodeSteps, nodeSteps / sweep * 1e-9,
                            nodeSteps / referenceSeconds * 1e-9, sweep / referenceSeconds);
            }
        }
    }

private:
    double at(int res, int busy, int threads, int sweep) const
    {
        const auto it = seconds_.find({res, busy, threads, sweep});
        if (it == seconds_.end())
            return std::nan("");
        std::vector<double> runs = it->second;
        std::sort(runs.begin(), runs.end());
        return runs[runs.size() / 2];
    }
    double sweepSeconds(int res, int busy, int threads) const
    {
        return at(res, busy, threads, 1) - at(res, busy, threads, 0);
    }

    // Seconds per valuation of each repetition, per resolution, busy, threads and sweep.
    std::map<std::tuple<int, int, int, int>, std::vector<double>> seconds_;
    // Node-steps of the sweep and seconds of the reference, per resolution and threads.
    std::map<std::pair<int, int>, std::pair<double, double>> reference_;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SweepReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
