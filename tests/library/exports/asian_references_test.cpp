// The reference values of the Monte Carlo Asian tests (support/asian_cases.h)
// from two independent solvers: the finite-difference pricer
// VelkAsianOptionPricer (exerciseType 2: exercisable at the fixings; its
// numFixings counts the settled fixings too) and a lattice of the states at
// the fixings written here.
//
// The lattice steps from fixing to fixing with the exact distribution of the
// log-return, X ~ N((r - q - sigma^2/2) dt, sigma^2 dt), on nodes j dx of a
// grid in ln S (trapezoid weights, spectrally accurate for the smooth
// continuation values; across the kink of max(exercise, continuation) the
// positive part is integrated exactly for its linear interpolant, with the
// Euler-Maclaurin end term of the rest).
//  - Floating strike: the value is S h_k(A / S), a function of one
//    variable; under the share measure (X drifting by +sigma^2/2 dt)
//    h_k(y) = max(exercise, e^(-q dt) E[h_(k+1)((c_k y e^(-X) + 1) / (c_k + 1))])
//    with c_k = m + k fixings in the average.
//  - Fixed strike: the value V_k(ln S, A) on a grid in ln S and a cubic
//    interpolation in A of the (smooth) continuation, with the new average
//    A' = (c_k A + S e^X) / (c_k + 1); the last step is the closed form of
//    a vanilla struck at (c + 1) K - c A over c + 1.

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/asian_cases.h"
#include "support/caller_arrays.h"
#include "support/reference_pricing.h"
#include "tarvic/tarvic.h"

namespace {

using tarvic_test::AsianCase;
using tarvic_test::kAsianCases;

struct Market {
    double spot = tarvic_test::kAsianSpot;
    double strike = tarvic_test::kAsianStrike;
    double rate = tarvic_test::kAsianRate;
    double dividend = tarvic_test::kAsianDividend;
    double volatility = tarvic_test::kAsianVolatility;
};

// A uniform grid of n nodes from lo, step h.
struct UniformGrid {
    double lo = 0.0, h = 1.0;
    int n = 0;
    double at(int i) const { return lo + i * h; }
};

// Cubic Lagrange interpolation through the four nodes around x; linear
// beyond the ends.
double interpolate(const double* v, const UniformGrid& g, double x)
{
    const double t = (x - g.lo) / g.h;
    if (t <= 0.0)
        return v[0] + (v[1] - v[0]) * t;
    if (t >= g.n - 1)
        return v[g.n - 1] + (v[g.n - 1] - v[g.n - 2]) * (t - (g.n - 1));
    const int i = std::clamp(static_cast<int>(t), 1, g.n - 3);
    const double u = t - i;
    const double a = u + 1.0, b = u, c = u - 1.0, d = u - 2.0;
    return -v[i - 1] * b * c * d / 6.0 + v[i] * a * c * d / 2.0 - v[i + 1] * a * b * d / 2.0 +
           v[i + 2] * a * b * c / 6.0;
}

// Normalised trapezoid weights of N(mean, s^2) on the nodes j dx, j = -n .. n.
std::vector<double> gaussianWeights(double mean, double s, double dx, int n)
{
    std::vector<double> w(static_cast<size_t>(2 * n + 1));
    double total = 0.0;
    for (int j = -n; j <= n; ++j) {
        const double z = (j * dx - mean) / s;
        w[static_cast<size_t>(j + n)] = std::exp(-0.5 * z * z) * (j == -n || j == n ? 0.5 : 1.0);
        total += w[static_cast<size_t>(j + n)];
    }
    for (double& x : w)
        x /= total;
    return w;
}

// Sum of w_j (c_j + max(d_j, 0)): the expectation of max(c + d, c) with the
// kink of the positive part integrated as described above.
class KinkedExpectation {
public:
    explicit KinkedExpectation(const std::vector<double>& w) : w_(w) {}

    void add(double c, double d)
    {
        const double w = w_[j_];
        sum_ += w * (c + std::max(d, 0.0));
        if (j_ > 0 && (d > 0.0) != (previous_ > 0.0)) {
            const bool here = d > 0.0;
            const double wp = here ? w : w_[j_ - 1];
            const double dp = here ? d : previous_;
            const double dn = here ? previous_ : d;
            const double theta = dp / (dp - dn);
            sum_ += 0.5 * wp * dp * (theta - 1.0) + wp * (dp - dn) / 12.0;
        }
        previous_ = d;
        ++j_;
    }
    double sum() const { return sum_; }

private:
    const std::vector<double>& w_;
    size_t j_ = 0;
    double previous_ = 0.0;
    double sum_ = 0.0;
};

constexpr double kNoExercise = -1.0;  // d of a European option: never exercised

double floatingLattice(const AsianCase& k, const Market& mk, bool exercisable)
{
    const int N = k.numFixings, m = k.numSettled;
    const double dt = k.expiry / N, s = mk.volatility * std::sqrt(dt);
    const int nodes = 400;
    const double width = 10.0 * s, dX = 2.0 * width / nodes;
    const double shareDrift = (mk.rate - mk.dividend + 0.5 * mk.volatility * mk.volatility) * dt;
    const std::vector<double> w = gaussianWeights(0.0, s, dX, nodes / 2);
    const double sign = k.call ? 1.0 : -1.0;
    const auto exercise = [&](double y) { return std::max(sign * (1.0 - y), 0.0); };
    const UniformGrid g{0.0, 6.0 / 1200, 1201};
    std::vector<double> next(static_cast<size_t>(g.n)), cont(static_cast<size_t>(g.n));
    const double carry = std::exp(-mk.dividend * dt);
    // E[h_(k+1)(y')] from the state y at fixing `fixing` (c fixings in the average).
    const auto expectation = [&](int fixing, double c, double y) {
        KinkedExpectation e(w);
        for (int j = -nodes / 2; j <= nodes / 2; ++j) {
            const double X = shareDrift + j * dX;
            const double yNext = (c * y * std::exp(-X) + 1.0) / (c + 1.0);
            if (fixing + 1 == N) {
                e.add(0.0, sign * (1.0 - yNext));  // the payoff, its kink integrated as any other
            } else {
                const double held = interpolate(next.data(), g, yNext);
                e.add(held, exercisable ? exercise(yNext) - held : kNoExercise);
            }
        }
        return carry * e.sum();
    };
    for (int fixing = N - 1; fixing >= 1; --fixing) {
        for (int i = 0; i < g.n; ++i)
            cont[static_cast<size_t>(i)] = expectation(fixing, m + fixing, g.at(i));
        next.swap(cont);
    }
    const double y0 = m > 0 ? k.settledAverage / mk.spot : 0.0;
    return mk.spot * expectation(0, m, y0);
}

double fixedLattice(const AsianCase& k, const Market& mk, bool exercisable)
{
    const int N = k.numFixings, m = k.numSettled;
    const double dt = k.expiry / N, s = mk.volatility * std::sqrt(dt);
    const double drift = (mk.rate - mk.dividend - 0.5 * mk.volatility * mk.volatility) * dt;
    const double discount = std::exp(-mk.rate * dt);
    const double sign = k.call ? 1.0 : -1.0;
    const double K = mk.strike, x0 = std::log(mk.spot);
    const auto exercise = [&](double a) { return std::max(sign * (a - K), 0.0); };
    // The continuation after fixing N - 1 with c fixings in the average.
    const auto lastStep = [&](double S, double a) {
        const double c = m + N - 1;
        const double X = (c + 1.0) * K - c * a;
        double v;
        if (X > 0.0)
            v = tarvic_test::blackScholes(k.call, S, X, dt, mk.rate, mk.dividend, mk.volatility);
        else
            v = k.call ? S * std::exp(-mk.dividend * dt) - X * std::exp(-mk.rate * dt) : 0.0;
        return v / (c + 1.0);
    };
    if (N == 1)
        return lastStep(mk.spot, k.settledAverage);

    const double spread = 8.0;  // standard deviations of ln S and A covered
    const double dx = s / 4.0;
    const int reach = static_cast<int>(std::ceil(spread * s / dx));
    const std::vector<double> w = gaussianWeights(drift, s, dx, reach);
    const int na = 250;
    // The continuation at fixing k on nodes x0 + i dx, i = first .. first + nx - 1.
    struct Level {
        int first = 0, nx = 0;
        UniformGrid a;
        std::vector<double> held;
        const double* row(int i) const { return held.data() + static_cast<size_t>(std::clamp(i - first, 0, nx - 1)) * a.n; }
    };
    std::vector<Level> levels(static_cast<size_t>(N));
    for (int fixing = 1; fixing < N; ++fixing) {
        Level& L = levels[static_cast<size_t>(fixing)];
        const int half = static_cast<int>(std::ceil((spread * mk.volatility * std::sqrt(fixing * dt) +
                                                     std::fabs(drift) * fixing) / dx));
        L.first = -half;
        L.nx = 2 * half + 1;
        // The average's mean and spread: A = (m Abar + S_1 + ... + S_k) / (m + k).
        const double c = m + fixing;
        double mean = m * k.settledAverage, cov = 0.0;
        for (int i = 1; i <= fixing; ++i) {
            mean += mk.spot * std::exp((mk.rate - mk.dividend) * i * dt);
            for (int j = 1; j <= fixing; ++j)
                cov += std::min(i, j) * dt;
        }
        mean /= c;
        const double sd = mk.spot * mk.volatility * std::sqrt(cov) / c;
        const double lo = std::max(1e-9, mean - spread * sd), hi = mean + 1.6 * spread * sd;
        L.a = UniformGrid{lo, (hi - lo) / (na - 1), na};
        L.held.assign(static_cast<size_t>(L.nx) * na, 0.0);
    }
    {
        Level& L = levels[static_cast<size_t>(N - 1)];
        for (int r = 0; r < L.nx; ++r) {
            const double S = std::exp(x0 + (L.first + r) * dx);
            for (int q = 0; q < na; ++q)
                L.held[static_cast<size_t>(r) * na + q] = lastStep(S, L.a.at(q));
        }
    }
    // The discounted expectation of the value at fixing + 1 from (x0 + i dx, a).
    const auto expectation = [&](int fixing, int i, double a) {
        const Level& next = levels[static_cast<size_t>(fixing + 1)];
        const double c = m + fixing;
        KinkedExpectation e(w);
        for (int j = -reach; j <= reach; ++j) {
            const double aNext = (c * a + std::exp(x0 + (i + j) * dx)) / (c + 1.0);
            const double held = interpolate(next.row(i + j), next.a, aNext);
            e.add(held, exercisable ? exercise(aNext) - held : kNoExercise);
        }
        return discount * e.sum();
    };
    for (int fixing = N - 2; fixing >= 1; --fixing) {
        Level& L = levels[static_cast<size_t>(fixing)];
        for (int r = 0; r < L.nx; ++r)
            for (int q = 0; q < na; ++q)
                L.held[static_cast<size_t>(r) * na + q] = expectation(fixing, L.first + r, L.a.at(q));
    }
    return expectation(0, 0, k.settledAverage);
}

double lattice(const AsianCase& k, bool exercisable)
{
    const Market market;
    return k.floating ? floatingLattice(k, market, exercisable) : fixedLattice(k, market, exercisable);
}

double finiteDifferenceValue(const AsianCase& k)
{
    tarvic_test::CallerArrays out;
    const int32_t steps = 200;
    int32_t n = steps;
    TvString text = VelkAsianOptionPricer(
        out.p(tarvic_test::kGrid), out.p(tarvic_test::kValue), out.p(tarvic_test::kDelta),
        out.p(tarvic_test::kGamma), out.p(tarvic_test::kTheta), out.p(tarvic_test::kVega), tarvic_test::kAsianSpot,
        k.floating ? 0.0 : tarvic_test::kAsianStrike, steps, k.expiry, tarvic_test::kAsianVolatility,
        tarvic_test::kAsianRate, tarvic_test::kAsianDividend, &n, 1, k.numFixings + k.numSettled, k.numSettled,
        k.settledAverage, 0.0, k.call ? 0 : 1, 2, 2, 2, 2, 0.0, 0, 0, 1, 1);
    const std::string message(text, tvStringByteLen(text));
    tvFreeString(text);
    EXPECT_EQ(message, "") << k.name;
    return tarvic_test::interpolateNodes(out.a[tarvic_test::kGrid], out.a[tarvic_test::kValue], n,
                                         tarvic_test::kAsianSpot);
}

TEST(AsianReferences, LatticeGivesTheEuropeanValues)
{
    for (const AsianCase& k : kAsianCases)
        EXPECT_NEAR(lattice(k, false), k.european, 3e-4) << k.name;
}

// One case a test, so that the slower finite-difference runs go side by side.
class AsianExercisableReferences : public ::testing::TestWithParam<size_t> {};

TEST_P(AsianExercisableReferences, LatticeAndFiniteDifferencesGiveTheValue)
{
    const AsianCase& k = kAsianCases[GetParam()];
    const double tree = lattice(k, true);
    const double fd = finiteDifferenceValue(k);
    EXPECT_NEAR(tree, k.exercisable, 3e-4) << k.name;
    EXPECT_NEAR(fd, k.exercisable, 3e-4) << k.name;
    EXPECT_NEAR(fd, tree, 3e-4) << k.name;
}

INSTANTIATE_TEST_SUITE_P(AsianReferences, AsianExercisableReferences,
                         ::testing::Range(size_t(0), std::size(kAsianCases)));

TEST(AsianReferences, LatticeOfOneFixingIsTheVanilla)
{
    // The lattice's own check: one fixing to come, nothing settled, is the
    // vanilla whatever the exercise; one settled at A0 halves the vanilla
    // struck at A0 (floating).
    AsianCase fixed{"fixed call, one fixing", true, false, 1, 0, 0.0, 1.0, 0.0, 0.0};
    const double vanilla = tarvic_test::blackScholes(true, 100.0, 100.0, 1.0, 0.06, 0.03, 0.2);
    EXPECT_NEAR(lattice(fixed, true), vanilla, 1e-12);
    AsianCase floating{"floating put, one settled", false, true, 1, 1, 96.0, 1.0, 0.0, 0.0};
    EXPECT_NEAR(lattice(floating, false), 0.5 * tarvic_test::blackScholes(false, 100.0, 96.0, 1.0, 0.06, 0.03, 0.2),
                2e-5);
}

}  // namespace
