#pragma once

// Projected successive over-relaxation for the early-exercise problem
// V >= exercise value, one solution (T = double) or eight side by side
// (T a lane type of lanes.h, each lane with its own relaxation factor and
// its own sweep count). Both do the same operations in the same order, so a
// lane gives exactly what a single solve gives.

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "pde/lanes.h"

namespace tarvic {

// Sweeps one step of projected SOR may take before it is declared stuck.
// The sweeps a step needs grow about linearly with the nodes (some 2.5 per
// node on a fine stretched grid), so the cap grows with them.
inline long maxSorSweeps(int32_t nodeCount) { return std::max(20000L, 20L * nodeCount); }

[[noreturn]] inline void sorStuck(long cap)
{
    throw std::runtime_error("Projected SOR did not converge within " + std::to_string(cap) +
                             " sweeps in one time step. Try the Brennan-Schwartz solver or fewer "
                             "asset steps.");
}

[[noreturn]] inline void sorDiverged()
{
    throw std::runtime_error("Projected SOR diverged in one time step.");
}

// The relaxation factor, adapted after each step (but the last) to the
// sweeps it took: it keeps moving while the sweeps fall and turns back when
// they rise; at 1.95 it stays.
struct Relaxation {
    double omega = 1.25;
    double omegaStep = 0.05;
    long previousSweeps = 100000;

    void adapt(long sweeps)
    {
        constexpr double kOmegaMin = 1.0;
        constexpr double kOmegaMax = 1.95;
        if (sweeps < previousSweeps && omega < kOmegaMax) {
            omega += omegaStep;
        } else if (sweeps > previousSweeps && omega < kOmegaMax) {
            omegaStep = -omegaStep;
            omega += omegaStep;
        }
        omega = std::min(std::max(omega, kOmegaMin), kOmegaMax);
        previousSweeps = sweeps;
    }
};

// The new level before it is solved: projected SOR starts from the old one,
// or with the turbo variant from its extrapolation along the levels before
// (V2 two back, V3 three back) from the second step on; elimination needs
// only the ends, which the boundary values may build on.
template <class T>
inline void startNewLevel(int32_t N, int32_t step, bool sor, bool turbo, const T* old,
                          const T* V2, const T* V3, T* V)
{
    if (turbo && step == 2) {
        for (int32_t i = 0; i <= N; ++i)
            V[i] = 2.0 * old[i] - V2[i];
    } else if (turbo && step > 2) {
        for (int32_t i = 0; i <= N; ++i)
            V[i] = 3.0 * old[i] - 3.0 * V2[i] + V3[i];
    } else if (sor) {
        std::copy(old, old + N + 1, V);
    } else {
        V[0] = old[0];
        V[N] = old[N];
    }
}

// rhs_i for rows 1..N-1 from the old level: implicit -V_i, Crank–Nicolson
// -(lower_i V_(i-1) + (diag_i + 2) V_i + upper_i V_(i+1)).
template <class T>
inline void stencilRightHandSide(int32_t N, bool implicitStep, const double* lower,
                                 const double* diag, const double* upper, const T* old, T* rhs)
{
    if (implicitStep) {
        for (int32_t i = 1; i < N; ++i)
            rhs[i] = -old[i];
    } else {
        for (int32_t i = 1; i < N; ++i)
            rhs[i] = -(lower[i] * old[i - 1] + (diag[i] + 2.0) * old[i] + upper[i] * old[i + 1]);
    }
}

// One sweep over rows 1..N-1 in increasing order, with the values already
// updated in this sweep; lanes whose `active` is 0 keep their values.
// Returns the sum of the squared changes.
template <class T>
inline T sorSweep(int32_t N, const double* lower, const double* diag, const double* upper,
                  const T* rhs, const T* intrinsic, const T& omega, const T& active, T* V)
{
    T sum{};
    for (int32_t i = 1; i < N; ++i) {
        T y = (rhs[i] - lower[i] * V[i - 1] - upper[i] * V[i + 1]) / diag[i];
        y = maxKeepingNaN(y, intrinsic[i]);
        const T e = y - V[i];
        V[i] = select(active, V[i] + omega * e, V[i]);
        sum = sum + e * e;
    }
    return sum;
}

}  // namespace tarvic
