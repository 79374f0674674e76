#pragma once

// Tridiagonal elimination for rows 1..m of the finite-difference system
//     lower_i V_(i-1) + diag_i V_i + upper_i V_(i+1) = rhs_i.
// Vectors are indexed by grid node; entry 0 and entries past m are unused.
//
// Two factorisations: the downward form eliminates the lower diagonal from
// row 1 up, the upward form eliminates the upper diagonal from row m down.
// Brennan–Schwartz projects each value the moment back substitution makes
// it, so the elimination must run from the exercise region outwards: the
// downward form suits calls (exercise at the top), the upward form puts.
//
// The factors are made once per step size and used for many steps, so they
// hold what makes a step cheap: the reciprocal of each pivot d'_i, and the
// off-diagonal entry that back substitution meets already divided by its
// pivot, so that back substitution is one multiply-add a node,
//     V_i = w_i / d'_i - (upper_i / d'_i) V_(i+1)     (downward form),
// and the centre of the Crank–Nicolson right-hand side, diag_i + 2.

#include <cstddef>
#include <vector>

namespace tarvic {

struct TridiagonalFactors {
    std::vector<double> multiplier;  // l_i (downward) or u_i (upward)
    std::vector<double> recipPivot;  // 1 / d'_i
    std::vector<double> scaledOff;   // upper_i / d'_i (downward) or lower_i / d'_i (upward)
    std::vector<double> centre;      // diag_i + 2
    bool upward = false;

    void resize(size_t nodes)
    {
        multiplier.assign(nodes, 0.0);
        recipPivot.assign(nodes, 0.0);
        scaledOff.assign(nodes, 0.0);
        centre.assign(nodes, 0.0);
    }
};

// Downward form: d'_1 = diag_1; l_i = lower_i / d'_(i-1), d'_i = diag_i - l_i upper_(i-1).
inline void factorizeDownward(int m, const double* lower, const double* diag, const double* upper,
                              TridiagonalFactors& f)
{
    f.upward = false;
    double* l = f.multiplier.data();
    double* r = f.recipPivot.data();
    double* s = f.scaledOff.data();
    double d = diag[1];
    r[1] = 1.0 / d;
    s[1] = upper[1] / d;
    for (int i = 2; i <= m; ++i) {
        l[i] = lower[i] / d;
        d = diag[i] - l[i] * upper[i - 1];
        r[i] = 1.0 / d;
        s[i] = upper[i] / d;
    }
    for (int i = 1; i <= m; ++i)
        f.centre[static_cast<size_t>(i)] = diag[i] + 2.0;
}

// Upward form: d'_m = diag_m; u_i = upper_i / d'_(i+1), d'_i = diag_i - u_i lower_(i+1).
inline void factorizeUpward(int m, const double* lower, const double* diag, const double* upper,
                            TridiagonalFactors& f)
{
    f.upward = true;
    double* u = f.multiplier.data();
    double* r = f.recipPivot.data();
    double* s = f.scaledOff.data();
    double d = diag[m];
    r[m] = 1.0 / d;
    s[m] = lower[m] / d;
    for (int i = m - 1; i >= 1; --i) {
        u[i] = upper[i] / d;
        d = diag[i] - u[i] * lower[i + 1];
        r[i] = 1.0 / d;
        s[i] = lower[i] / d;
    }
    for (int i = 1; i <= m; ++i)
        f.centre[static_cast<size_t>(i)] = diag[i] + 2.0;
}

}  // namespace tarvic
