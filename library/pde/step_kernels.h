#pragma once

// The time step of the finite-difference solver by elimination, for one
// solution or for eight side by side (lanes.h), compiled twice: for
// x86-64-v3 (AVX2 and fused multiply-add) and for the baseline x86-64. The
// first call picks the version the processor runs, so the library runs on
// any x86-64 and at full speed where it can. TARVIC_KERNELS=baseline in the
// environment, read at that first call, keeps the baseline version, as
// does useBaselineKernels for tests.
//
// One step, rows 1..m, from the old level to the new one:
//   forward sweep   w_i = rhs_i - l_i w_(i-1), z_i = w_i / d'_i, with rhs_i
//                   built on the spot from the old level (implicit: -V_i;
//                   Crank–Nicolson: -(lower_i V_(i-1) + centre_i V_i +
//                   upper_i V_(i+1)));
//   back chain      V_i = z_i - (upper_i / d'_i) V_(i+1),
// with the upward form running both the other way. The right-hand sides of
// rows 1 and m, which take the boundary values, come from the caller. With
// a projection each value is raised to the exercise value the moment it is
// made (Brennan–Schwartz).

#include <cstdint>

namespace tarvic {

enum class Projection : int32_t { None = 0, Downward = 1, Upward = 2 };

// Pointers to one double per node (a single solution) or to one LaneBlock
// per node (eight lanes); the coefficient and factor vectors are shared.
struct EliminationStep {
    int32_t m;
    const double* lower;
    const double* upper;
    const double* centre;
    const double* multiplier;
    const double* recipPivot;
    const double* scaledOff;
    const double* old;     // the old level
    const double* floor;   // exercise values (projection only)
    const double* first;   // right-hand side of row 1
    const double* last;    // right-hand side of row m
    double* scratch;       // z
    double* out;           // the new level, rows 1..m
};

using EliminationKernel = void (*)(const EliminationStep&);

struct StepKernels {
    const char* target;
    // [lanes][Crank–Nicolson][projection]
    EliminationKernel eliminate[2][2][3];

    EliminationKernel pick(bool lanes, bool crankNicolson, Projection p) const
    {
        return eliminate[lanes ? 1 : 0][crankNicolson ? 1 : 0][static_cast<int>(p)];
    }
};

// The version in use: chosen at the first call from the processor and the
// environment.
// Whether this processor runs code built for x86-64-v3.
bool machineRunsX86_64_v3();

const StepKernels& stepKernels();

// Test hook: true keeps the baseline version from now on, false goes back
// to the processor's choice.
void useBaselineKernels(bool baseline);

}  // namespace tarvic
