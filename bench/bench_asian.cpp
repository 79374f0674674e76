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
// is the ratio of those differences on 1 and 8 threads.

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

void BM_AsianFixedCall(benchmark::State& state)
{
    const Resolution& r = kResolutions[state.range(0)];
    const int threads = static_cast<int>(state.range(1));
    const bool sweep = state.range(2) != 0;
    omp_set_num_threads(threads);
    Arrays out;
    double value = 0.0;
    for (auto _ : state) {
        value = price(r, threads > 1, sweep, out);
        benchmark::DoNotOptimize(value);
    }
    state.SetLabel(std::string(r.name) + (sweep ? "" : " (last period only)"));
    if (sweep) {
        state.counters["value"] = value;
        state.counters["error"] = std::fabs(value - kKnownValue);
    }
}
BENCHMARK(BM_AsianFixedCall)
    ->ArgNames({"res", "threads", "sweep"})
    ->ArgsProduct({{0, 1, 2}, {1, 8}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);

// Collects the real time per run and prints the sweep's speed-up at the end.
class SweepReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            int res = 0, threads = 0, sweep = 0;
            const std::string name = run.benchmark_name();
            if (std::sscanf(name.c_str(), "BM_AsianFixedCall/res:%d/threads:%d/sweep:%d", &res,
                            &threads, &sweep) == 3)
                seconds_[{res, threads, sweep}] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-8s %12s %12s %12s %12s %9s\n", "", "sweep 1 thr", "sweep 8 thr",
                    "total 1 thr", "total 8 thr", "speed-up");
        for (int res = 0; res < 3; ++res) {
            auto at = [&](int threads, int sweep) {
                const auto it = seconds_.find({res, threads, sweep});
                return it == seconds_.end() ? std::nan("") : it->second * 1e3;
            };
            const double sweep1 = at(1, 1) - at(1, 0);
            const double sweep8 = at(8, 1) - at(8, 0);
            std::printf("%-8s %9.2f ms %9.2f ms %9.2f ms %9.2f ms %8.2fx\n",
                        kResolutions[res].name, sweep1, sweep8, at(1, 1), at(8, 1),
                        sweep1 / sweep8);
        }
    }

private:
    std::map<std::tuple<int, int, int>, double> seconds_;
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
