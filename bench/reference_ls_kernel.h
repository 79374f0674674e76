#pragma once

// The least code a Longstaff-Schwartz run of a vanilla put or call needs, as
// a yardstick for the early-exercise benchmarks: the engine's generator slots
// (slot t on generator t of the engine's seed table, one ziggurat normal per
// path and step), the same exact log-normal steps, dates and basis
// functions, and the leanest correct fit.
//
//   1. The regression paths, in even chunks one per slot, store ln S at every
//      date (date by date).
//   2. Walking back, each date's in-the-money paths are regressed in one
//      pass per slot that also applies the later date's exercise decision:
//      the sums of the normal equations (A^T A and A^T y) per slot, added
//      in slot order, solved by a Cholesky factorisation of nf x nf numbers.
//   3. The in-sample values are read from the cash flows the walk leaves
//      (with sensitivities, the scores at each path's exercise are rebuilt
//      from its stored logarithms); the fresh paths are priced forward under
//      the rule, the slots side by side.
// Its loops over the slots run on the library's own threads (parallel_loop.h).
//
// It writes no rows and keeps no block sums: only the totals.

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/parallel_loop.h"
#include "montecarlo/dense_matrix.h"
#include "montecarlo/early_exercise.h"
#include "montecarlo/european_path.h"
#include "montecarlo/random_generator64.h"
#include "montecarlo/svd.h"
#include "montecarlo/ziggurat_normal.h"

namespace bench {

struct LongstaffSchwartzReference {
    double seconds = 0.0;
    double value = 0.0;
    double delta = 0.0;
};

namespace detail {

constexpr int kMaxBasis = 16;

// Solves the normal equations g a = r (g symmetric, upper triangle used) by
// Cholesky; a pivot at or below 1e-13 of the largest diagonal drops its
// function (coefficient 0), as a rank-revealing solve would.
inline void solveNormalEquations(int nf, const double* g, const double* r, double* a)
{
    double l[kMaxBasis * kMaxBasis] = {};
    double largest = 0.0;
    for (int i = 0; i < nf; ++i)
        largest = std::fmax(largest, g[i * nf + i]);
    bool dropped[kMaxBasis] = {};
    for (int j = 0; j < nf; ++j) {
        double d = g[j * nf + j];
        for (int k = 0; k < j; ++k)
            d -= l[j * nf + k] * l[j * nf + k];
        if (!(d > 1e-13 * largest)) {
            dropped[j] = true;
            continue;
        }
        const double ljj = std::sqrt(d);
        l[j * nf + j] = ljj;
        for (int i = j + 1; i < nf; ++i) {
            double s = g[j * nf + i];
            for (int k = 0; k < j; ++k)
                s -= l[i * nf + k] * l[j * nf + k];
            l[i * nf + j] = s / ljj;
        }
    }
    double y[kMaxBasis];
    for (int i = 0; i < nf; ++i) {
        double s = r[i];
        for (int k = 0; k < i; ++k)
            s -= l[i * nf + k] * y[k];
        y[i] = dropped[i] ? 0.0 : s / l[i * nf + i];
    }
    for (int i = nf - 1; i >= 0; --i) {
        double s = y[i];
        for (int k = i + 1; k < nf; ++k)
            s -= l[k * nf + i] * a[k];
        a[i] = dropped[i] ? 0.0 : s / l[i * nf + i];
    }
}

}  // namespace detail

// pathCount paths in all, regressionPathCount of them regressing (the
// engine's counts after raising: at least 1000 regressing, at least as many
// in all); greeks adds the likelihood-ratio delta.
inline LongstaffSchwartzReference longstaffSchwartzSeconds(const tarvic::EuropeanContract& contract,
                                                           int64_t pathCount, int64_t regressionPathCount,
                                                           const tarvic::BasisFunctions& basis, bool multiThreaded)
{
    const auto t0 = std::chrono::steady_clock::now();
    const tarvic::EuropeanRun run(contract);
    const int32_t steps = run.steps;
    const int nf = basis.count;
    const size_t nLS = static_cast<size_t>(regressionPathCount < 1000 ? 1000 : regressionPathCount);
    const size_t total = static_cast<size_t>(pathCount) > nLS ? static_cast<size_t>(pathCount) : nLS;
    const size_t slots = tarvic::generatorSlotCount();
    const int64_t slotCount = static_cast<int64_t>(slots);
    // The slots side by side on the library's own threads, as the engine runs them.
    const int threads = tarvic::parallelThreads(slotCount, multiThreaded);
    std::vector<tarvic::RandomGenerator64> generators = tarvic::makeSlotGenerators(tarvic::kSeedTable, slots);
    const std::vector<double> disc = tarvic::stepDiscounts(run.rate, run.dt, steps);
    const double strike = run.strike;
    const bool call = run.isCall;
    const auto payoff = [&](double s) {
        const double x = call ? s - strike : strike - s;
        return x > 0.0 ? x : 0.0;
    };

    // 1. Regression paths: ln S at dates 1 .. steps, date-major.
    tarvic::Matrix<double> logS(static_cast<size_t>(steps), nLS);
    const tarvic::ChunkLayout chunks = tarvic::evenChunks(nLS, slots);
    tarvic::forEachPlane(slotCount, threads, [&](int64_t slot) {
        const int t = static_cast<int>(slot);
        tarvic::RandomGenerator64 g = generators[static_cast<size_t>(t)];
        for (size_t p = chunks.begin(static_cast<size_t>(t)); p < chunks.end(static_cast<size_t>(t)); ++p) {
            double x = run.logSpot;
            for (int32_t j = 0; j < steps; ++j) {
                x += run.logDrift + run.h * tarvic::ZigguratNormal(g);
                logS[static_cast<size_t>(j)][p] = x;
            }
        }
        generators[static_cast<size_t>(t)] = g;
    });

    // 2. The walk back: cash flow and its date per path.
    std::vector<double> cash(nLS);
    std::vector<int32_t> cashStep(nLS, steps);
    for (size_t p = 0; p < nLS; ++p)
        cash[p] = payoff(std::exp(logS[static_cast<size_t>(steps - 1)][p]));
    std::vector<std::vector<double>> rule(static_cast<size_t>(steps));
    const size_t width = static_cast<size_t>(nf * (nf + 1) + 1);  // A^T A, A^T y, the count
    std::vector<double> sums(slots * width);
    for (int32_t k = steps - 1; k >= 1; --k) {
        const std::vector<double>& later = rule[static_cast<size_t>(k + 1 < steps ? k + 1 : 0)];
        const bool decide = k + 1 < steps && !later.empty();
        const double* row = logS[static_cast<size_t>(k - 1)];
        const double* laterRow = logS[static_cast<size_t>(k)];
        tarvic::forEachPlane(slotCount, threads, [&](int64_t slot) {
            const int t = static_cast<int>(slot);
            double* s = sums.data() + static_cast<size_t>(t) * width;
            for (size_t i = 0; i < width; ++i)
                s[i] = 0.0;
            double v[detail::kMaxBasis];
            for (size_t p = chunks.begin(static_cast<size_t>(t)); p < chunks.end(static_cast<size_t>(t)); ++p) {
                if (decide) {
                    const double sk = std::exp(laterRow[p]);
                    const double e = payoff(sk);
                    if (e > 0.0) {
                        const double x = sk / strike;
                        basis.evaluate(&x, v);
                        double c = 0.0;
                        for (int i = 0; i < nf; ++i)
                            c += later[static_cast<size_t>(i)] * v[i];
                        if (e > strike * c) {
                            cash[p] = e;
                            cashStep[p] = k + 1;
                        }
                    }
                }
                const double sk = std::exp(row[p]);
                if (!(payoff(sk) > 0.0))
                    continue;
                const double x = sk / strike;
                basis.evaluate(&x, v);
                const double y = cash[p] > 0.0 ? cash[p] * disc[static_cast<size_t>(cashStep[p] - k)] / strike : 0.0;
                for (int i = 0; i < nf; ++i) {
                    for (int j = i; j < nf; ++j)
                        s[i * nf + j] += v[i] * v[j];
                    s[nf * nf + i] += v[i] * y;
                }
                s[width - 1] += 1.0;
            }
        });
        std::vector<double> g(width, 0.0);
        for (size_t t = 0; t < slots; ++t)
            for (size_t i = 0; i < width; ++i)
                g[i] += sums[t * width + i];
        if (g[width - 1] > nf + 1.0) {  // more in-the-money paths than functions + 1
            std::vector<double>& a = rule[static_cast<size_t>(k)];
            a.assign(static_cast<size_t>(nf), 0.0);
            detail::solveNormalEquations(nf, g.data(), g.data() + nf * nf, a.data());
        }
    }
    // The decision of date 1.
    if (steps > 1 && !rule[1].empty())
        for (size_t p = 0; p < nLS; ++p) {
            const double sk = std::exp(logS[0][p]);
            const double e = payoff(sk);
            if (!(e > 0.0))
                continue;
            const double x = sk / strike;
            double v[detail::kMaxBasis];
            basis.evaluate(&x, v);
            double c = 0.0;
            for (int i = 0; i < nf; ++i)
                c += rule[1][static_cast<size_t>(i)] * v[i];
            if (e > strike * c) {
                cash[p] = e;
                cashStep[p] = 1;
            }
        }

    // 3. In-sample totals from the walk, then fresh paths under the rule.
    std::vector<double> value(slots, 0.0), delta(slots, 0.0);
    for (size_t p = 0; p < nLS; ++p) {
        const double d = cash[p] * disc[static_cast<size_t>(cashStep[p])];
        value[0] += d;
        if (run.greeks) {
            const double z = (logS[0][p] - run.logSpot - run.logDrift) / run.h;
            delta[0] += d * z / (run.spot * run.h);
        }
    }
    const tarvic::ChunkLayout fresh = tarvic::evenChunks(total - nLS, slots);
    tarvic::forEachPlane(slotCount, threads, [&](int64_t slot) {
        const int t = static_cast<int>(slot);
        tarvic::RandomGenerator64 g = generators[static_cast<size_t>(t)];
        double sumValue = 0.0, sumDelta = 0.0;
        double v[detail::kMaxBasis];
        const size_t count = fresh.end(static_cast<size_t>(t)) - fresh.begin(static_cast<size_t>(t));
        for (size_t p = 0; p < count; ++p) {
            double x = run.logSpot, z0 = 0.0, flow = 0.0;
            int32_t at = steps;
            for (int32_t j = 0; j < steps; ++j) {
                const double z = tarvic::ZigguratNormal(g);
                if (j == 0)
                    z0 = z;
                x += run.logDrift + run.h * z;
                if (at < steps)
                    continue;  // the draws of the path are taken all the same
                const int32_t date = j + 1;
                const double s = std::exp(x);
                const double e = payoff(s);
                if (date == steps) {
                    flow = e;
                    break;
                }
                const std::vector<double>& a = rule[static_cast<size_t>(date)];
                if (e > 0.0 && !a.empty()) {
                    const double u = s / strike;
                    basis.evaluate(&u, v);
                    double c = 0.0;
                    for (int i = 0; i < nf; ++i)
                        c += a[static_cast<size_t>(i)] * v[i];
                    if (e > strike * c) {
                        flow = e;
                        at = date;
                    }
                }
            }
            const double d = flow * disc[static_cast<size_t>(at)];
            sumValue += d;
            if (run.greeks)
                sumDelta += d * z0 / (run.spot * run.h);
        }
        value[static_cast<size_t>(t)] += sumValue;
        delta[static_cast<size_t>(t)] += sumDelta;
    });
    LongstaffSchwartzReference out;
    for (size_t t = 0; t < slots; ++t) {
        out.value += value[t];
        out.delta += delta[t];
    }
    out.value /= static_cast<double>(total);
    out.delta /= static_cast<double>(total);
    benchmark::DoNotOptimize(out.value);
    const auto t1 = std::chrono::steady_clock::now();
    out.seconds = std::chrono::duration<double>(t1 - t0).count();
    return out;
}

}  // namespace bench
