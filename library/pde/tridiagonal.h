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

#include <vector>

namespace tarvic {

struct TridiagonalFactors {
    std::vector<double> multiplier;  // l_i (downward) or u_i (upward)
    std::vector<double> pivot;       // d'_i
    bool upward = false;

    void resize(size_t nodes)
    {
        multiplier.assign(nodes, 0.0);
        pivot.assign(nodes, 0.0);
    }
};

// Downward form: d'_1 = diag_1; l_i = lower_i / d'_(i-1), d'_i = diag_i - l_i upper_(i-1).
inline void factorizeDownward(int m, const double* lower, const double* diag, const double* upper,
                              TridiagonalFactors& f)
{
    f.upward = false;
    double* l = f.multiplier.data();
    double* d = f.pivot.data();
    d[1] = diag[1];
    for (int i = 2; i <= m; ++i) {
        l[i] = lower[i] / d[i - 1];
        d[i] = diag[i] - l[i] * upper[i - 1];
    }
}

// Upward form: d'_m = diag_m; u_i = upper_i / d'_(i+1), d'_i = diag_i - u_i lower_(i+1).
inline void factorizeUpward(int m, const double* lower, const double* diag, const double* upper,
                            TridiagonalFactors& f)
{
    f.upward = true;
    double* u = f.multiplier.data();
    double* d = f.pivot.data();
    d[m] = diag[m];
    for (int i = m - 1; i >= 1; --i) {
        u[i] = upper[i] / d[i + 1];
        d[i] = diag[i] - u[i] * lower[i + 1];
    }
}

// Solves with the downward factors; rhs is used as the forward sweep's
// scratch and V receives rows 1..m.
inline void solveDownward(int m, const TridiagonalFactors& f, const double* upper, double* rhs,
                          double* V)
{
    const double* l = f.multiplier.data();
    const double* d = f.pivot.data();
    for (int i = 2; i <= m; ++i)
        rhs[i] -= l[i] * rhs[i - 1];
    V[m] = rhs[m] / d[m];
    for (int i = m - 1; i >= 1; --i)
        V[i] = (rhs[i] - upper[i] * V[i + 1]) / d[i];
}

// Brennan–Schwartz with the downward factors: projection from the top down.
inline void solveProjectedDownward(int m, const TridiagonalFactors& f, const double* upper,
                                   double* rhs, const double* intrinsic, double* V)
{
    const double* l = f.multiplier.data();
    const double* d = f.pivot.data();
    for (int i = 2; i <= m; ++i)
        rhs[i] -= l[i] * rhs[i - 1];
    double v = rhs[m] / d[m];
    V[m] = v > intrinsic[m] ? v : intrinsic[m];
    for (int i = m - 1; i >= 1; --i) {
        v = (rhs[i] - upper[i] * V[i + 1]) / d[i];
        V[i] = v > intrinsic[i] ? v : intrinsic[i];
    }
}

// Brennan–Schwartz with the upward factors: projection from the bottom up.
inline void solveProjectedUpward(int m, const TridiagonalFactors& f, const double* lower,
                                 double* rhs, const double* intrinsic, double* V)
{
    const double* u = f.multiplier.data();
    const double* d = f.pivot.data();
    for (int i = m - 1; i >= 1; --i)
        rhs[i] -= u[i] * rhs[i + 1];
    double v = rhs[1] / d[1];
    V[1] = v > intrinsic[1] ? v : intrinsic[1];
    for (int i = 2; i <= m; ++i) {
        v = (rhs[i] - lower[i] * V[i - 1]) / d[i];
        V[i] = v > intrinsic[i] ? v : intrinsic[i];
    }
}

}  // namespace tarvic
