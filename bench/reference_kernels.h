#pragma once

// The least code a time step of the finite-difference solver needs, as a
// yardstick for the benchmarks: Crank–Nicolson on a given grid with the
// factors computed once, the right-hand side built inside the forward
// sweep, one multiply-add per node in each elimination chain, the levels
// swapped by pointer and nothing else (no boundary values, no recording, no
// checks). One version steps a single solution, optionally projected on an
// exercise value as Brennan–Schwartz does; the other steps eight solutions
// side by side in vector lanes on shared factors, as the planes of an Asian
// option can be. Both are compiled for x86-64-v3 and run so where the
// processor has it, the baseline otherwise.
//
// A benchmark runs its solver and the matching reference on the same number
// of node-steps in the same process and reports the ratio of their times,
// which the machine's load affects much less than either time.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/parallel_loop.h"
#include "pde/lanes.h"

namespace bench {

enum class Projection { None, Downward, Upward };

// The coefficients and factors of one Crank–Nicolson step of the
// Black–Scholes operator on a grid.
struct ReferenceSystem {
    int m = 0;  // rows 1..m are solved, nodes 0 and m + 1 are the ends
    std::vector<double> lower, centre, upper;  // right-hand side stencil
    std::vector<double> mult, recip, scaled;   // factors of the chosen direction

    ReferenceSystem(const std::vector<double>& S, double sigma, double r, double q, double dt,
                    bool upward)
    {
        const int n = static_cast<int>(S.size());
        m = n - 2;
        lower.assign(n, 0.0), centre.assign(n, 0.0), upper.assign(n, 0.0);
        std::vector<double> diag(n, 0.0);
        for (int i = 1; i <= m; ++i) {
            const double hm = S[i] - S[i - 1], hp = S[i + 1] - S[i], H = hm + hp;
            const double S2 = sigma * sigma * S[i] * S[i];
            const double alpha = S2 / (H * hm) - (r - q) * S[i] / H;
            const double beta = S2 / (H * hp) + (r - q) * S[i] / H;
            lower[i] = 0.5 * dt * alpha;
            upper[i] = 0.5 * dt * beta;
            diag[i] = -1.0 - 0.5 * dt * (r + alpha + beta);
            centre[i] = diag[i] + 2.0;
        }
        mult.assign(n, 0.0), recip.assign(n, 0.0), scaled.assign(n, 0.0);
        if (!upward) {
            double d = diag[1];
            recip[1] = 1.0 / d, scaled[1] = upper[1] / d;
            for (int i = 2; i <= m; ++i) {
                mult[i] = lower[i] / d;
                d = diag[i] - mult[i] * upper[i - 1];
                recip[i] = 1.0 / d, scaled[i] = upper[i] / d;
            }
        } else {
            double d = diag[m];
            recip[m] = 1.0 / d, scaled[m] = lower[m] / d;
            for (int i = m - 1; i >= 1; --i) {
                mult[i] = upper[i] / d;
                d = diag[i] - mult[i] * lower[i + 1];
                recip[i] = 1.0 / d, scaled[i] = lower[i] / d;
            }
        }
    }
};

namespace detail {

constexpr int kLanes = tarvic::kPlaneLanes;
using tarvic::LaneBlock;

// `levels` steps from a to b and back; T is double or a lane type.
template <class T, Projection P>
inline __attribute__((always_inline)) void steps(const ReferenceSystem& s, int levels,
                                                 const T* floor, T* a, T* b, T* z)
{
    const int m = s.m;
    const double *lo = s.lower.data(), *ce = s.centre.data(), *up = s.upper.data();
    const double *mu = s.mult.data(), *rc = s.recip.data(), *sc = s.scaled.data();
    constexpr bool down = P != Projection::Upward;
    for (int t = 0; t < levels; ++t) {
        b[0] = a[0], b[m + 1] = a[m + 1];
        T w{};
        for (int k = 1; k <= m; ++k) {
            const int i = down ? k : m + 1 - k;
            const T rhs = -(lo[i] * a[i - 1] + ce[i] * a[i] + up[i] * a[i + 1]);
            w = rhs - mu[i] * w;
            z[i] = w * rc[i];
        }
        T v = down ? b[m + 1] : b[0];
        for (int k = 1; k <= m; ++k) {
            const int i = down ? m + 1 - k : k;
            v = z[i] - sc[i] * v;
            if constexpr (P != Projection::None)
                v = tarvic::atLeast(v, floor[i]);
            b[i] = v;
        }
        T* swap = a;
        a = b, b = swap;
    }
}

#define TARVIC_REFERENCE_KERNELS(suffix, target, Lanes)                                         \
    template <Projection P>                                                                    \
    target void scalarSteps##suffix(const ReferenceSystem& s, int levels, const double* floor, \
                                    double* a, double* b, double* z)                           \
    {                                                                                          \
        steps<double, P>(s, levels, floor, a, b, z);                                           \
    }                                                                                          \
    target void laneSteps##suffix(const ReferenceSystem& s, int levels, double* a, double* b,  \
                                  double* z)                                                   \
    {                                                                                          \
        steps<Lanes, Projection::None>(s, levels, nullptr, tarvic::asLanes<Lanes>(a),          \
                                       tarvic::asLanes<Lanes>(b), tarvic::asLanes<Lanes>(z));  \
    }

TARVIC_REFERENCE_KERNELS(V3, __attribute__((target("arch=x86-64-v3"))), tarvic::WideLanes)
TARVIC_REFERENCE_KERNELS(Baseline, , tarvic::BaselineLanes)
#undef TARVIC_REFERENCE_KERNELS

inline bool hasV3()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("x86-64-v3");
}

}  // namespace detail

inline const char* referenceTarget() { return detail::hasV3() ? "x86-64-v3" : "x86-64"; }

// Seconds the scalar reference takes for `levels` steps on the grid S,
// starting from start (with floor as the exercise value when projected).
inline double referenceSeconds(const ReferenceSystem& s, int levels,
                               const std::vector<double>& start,
                               const std::vector<double>& floor, Projection p)
{
    using Kernel = void (*)(const ReferenceSystem&, int, const double*, double*, double*,
                            double*);
    const bool v3 = detail::hasV3();
    const Kernel kernel =
        p == Projection::None
            ? (v3 ? detail::scalarStepsV3<Projection::None>
                  : detail::scalarStepsBaseline<Projection::None>)
        : p == Projection::Downward
            ? (v3 ? detail::scalarStepsV3<Projection::Downward>
                  : detail::scalarStepsBaseline<Projection::Downward>)
            : (v3 ? detail::scalarStepsV3<Projection::Upward>
                  : detail::scalarStepsBaseline<Projection::Upward>);
    std::vector<double> a(start), b(start), z(start.size(), 0.0);
    const auto t0 = std::chrono::steady_clock::now();
    kernel(s, levels, floor.data(), a.data(), b.data(), z.data());
    const auto t1 = std::chrono::steady_clock::now();
    volatile double sink = a[start.size() / 2] + b[start.size() / 2];
    (void)sink;
    return std::chrono::duration<double>(t1 - t0).count();
}

// Seconds the lane reference takes for `planes` solutions (rounded up to
// whole groups of eight) of `levels` steps each, the groups shared out over
// `threads` threads by the library's parallel loop (common/parallel_loop.h).
inline double laneReferenceSeconds(const ReferenceSystem& s, int levels, int planes, int threads,
                                   const std::vector<double>& start)
{
    const int groups = (planes + detail::kLanes - 1) / detail::kLanes;
    const size_t n = start.size();
    const bool v3 = detail::hasV3();
    const auto t0 = std::chrono::steady_clock::now();
    tarvic::forEachPlane(groups, threads < groups ? threads : groups, [&](int64_t g) {
        std::vector<detail::LaneBlock> a(n), b(n), z(n);
        for (size_t i = 0; i < n; ++i)
            for (int k = 0; k < detail::kLanes; ++k)
                a[i].lane[k] = b[i].lane[k] = start[i] * (1.0 + 0.01 * (static_cast<double>(g) * detail::kLanes + k));
        auto lanes = [](std::vector<detail::LaneBlock>& v) { return v.data()->lane; };
        (v3 ? detail::laneStepsV3 : detail::laneStepsBaseline)(s, levels, lanes(a), lanes(b),
                                                               lanes(z));
        volatile double sink = a[n / 2].lane[0] + b[n / 2].lane[1];
        (void)sink;
    });
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

// The scalar reference for a solve reported on `grid`: `levels` steps of
// T / levels from a vanilla payoff struck at K, projected on it as given.
inline std::function<double()> referenceOnGrid(std::vector<double> grid, double sigma, double r,
                                               double q, double T, int levels, double K,
                                               bool put, Projection p)
{
    std::vector<double> payoff(grid.size());
    for (size_t i = 0; i < grid.size(); ++i)
        payoff[i] = std::max(put ? K - grid[i] : grid[i] - K, 0.0);
    auto system = std::make_shared<const ReferenceSystem>(grid, sigma, r, q, T / levels,
                                                          p == Projection::Upward);
    return [system, payoff, levels, p] {
        return referenceSeconds(*system, levels, payoff, payoff, p);
    };
}

// Runs a benchmark's work and then, with the benchmark's timer paused, the
// reference, each timed on the same clock, and reports both per node-step
// and their ratio (the work's time over the reference's).
class AgainstReference {
public:
    explicit AgainstReference(std::function<double()> reference)
        : reference_(std::move(reference))
    {
    }

    template <class Work>
    void iteration(benchmark::State& state, Work&& work)
    {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const auto t1 = std::chrono::steady_clock::now();
        workSeconds_ += std::chrono::duration<double>(t1 - t0).count();
        state.PauseTiming();
        referenceSeconds_ += reference_();
        state.ResumeTiming();
    }

    // nodeSteps: the node-steps of one iteration.
    void report(benchmark::State& state, double nodeSteps) const
    {
        state.counters["nodeSteps"] = nodeSteps;
        state.counters["nsPerNodeStep"] = nsPerNodeStep(workSeconds_, state, nodeSteps);
        state.counters["refNsPerNodeStep"] = nsPerNodeStep(referenceSeconds_, state, nodeSteps);
        state.counters["ratio"] = referenceSeconds_ > 0.0 ? workSeconds_ / referenceSeconds_ : 0.0;
    }

private:
    static double nsPerNodeStep(double seconds, const benchmark::State& state, double nodeSteps)
    {
        const double runs = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
        return seconds / runs / nodeSteps * 1e9;
    }

    std::function<double()> reference_;
    double workSeconds_ = 0.0;
    double referenceSeconds_ = 0.0;
};

}  // namespace bench
