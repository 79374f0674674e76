// The jump condition of the Asian planes: at the n-th fixing the average
// moves from A to A' = ((n - 1) A + S) / n, so the value just before the
// fixing on plane A is the value just after it at (A', S), read across the
// planes by linear, quadratic or cubic interpolation in A (linear
// extrapolation above the top plane), floored by the exercise value when
// the option may be exercised at the fixing.

#include <algorithm>
#include <cstddef>
#include <stdexcept>

#include "pde/dorn_tech_asian_option.h"

namespace tarvic {

namespace {

// Lagrange polynomial through (x[k], y[k]), k < count, at x0.
double lagrangeAt(const double* x, const double* y, int count, double x0)
{
    double sum = 0.0;
    for (int k = 0; k < count; ++k) {
        double numerator = 1.0;
        double denominator = 1.0;
        for (int l = 0; l < count; ++l) {
            if (l != k) {
                numerator *= x0 - x[l];
                denominator *= x[k] - x[l];
            }
        }
        sum += y[k] * numerator / denominator;
    }
    return sum;
}

bool strictlyBetween(double x, double a, double b)
{
    return std::min(a, b) < x && x < std::max(a, b);
}

}  // namespace

double DornTechAsianOption::planeAt(int32_t j, double x) const
{
    // Linear between the first node at or above x and the node before it;
    // levels outside the grid take the end node's value.
    const double* P = plane(j);
    const auto at = std::lower_bound(assetNodes.begin(), assetNodes.end(), x);
    if (at == assetNodes.begin())
        return P[0];
    if (at == assetNodes.end())
        return P[usedNodes - 1];
    const std::size_t hi = static_cast<std::size_t>(at - assetNodes.begin());
    const double S0 = assetNodes[hi - 1];
    const double S1 = assetNodes[hi];
    const double w = (x - S0) / (S1 - S0);
    return (1.0 - w) * P[hi - 1] + w * P[hi];
}

double DornTechAsianOption::shiftedLinear(int32_t lo, int32_t hi, double w, int32_t i) const
{
    // Early exercise bends the planes sharply where exercise sets in; where
    // the lower plane is much steeper than the upper one, the two are read
    // at asset levels shifted along the exercise boundary, which moves by
    // about one plane spacing in S from one plane to the next.
    const double* S = assetNodes.data();
    const double* Plo = plane(lo);
    const double* Phi = plane(hi);
    const double linear = (1.0 - w) * Plo[i] + w * Phi[i];
    if (exerciseType != 1 || i < 1 || i >= usedNodes - planeSpacing)
        return linear;
    const double dS = S[i] - S[i - 1];
    const double dLo = (Plo[i] - Plo[i - 1]) / dS;
    const double dHi = (Phi[i] - Phi[i - 1]) / dS;
    if (dLo == 0.0 || dHi == 0.0 || !(dLo / dHi > 1.05))
        return linear;
    const double h = S[i + planeSpacing] - S[i];
    return (1.0 - w) * planeAt(lo, S[i] - w * h) + w * planeAt(hi, S[i] + (1.0 - w) * h);
}

double DornTechAsianOption::acrossPlanes(double average, int32_t i, int32_t& hi) const
{
    const double* A = averagePlanes.data();
    const int32_t top = numActivePlanes - 1;
    if (average > A[top]) {
        const double Ptop = plane(top)[i];
        const double Pbelow = plane(top - 1)[i];
        return Ptop + (Ptop - Pbelow) * (average - A[top]) / (A[top] - A[top - 1]);
    }
    // The planes lo = hi - 1 and hi, hi the first plane at or above A' (at
    // least 1). The jumped average rises with the asset level, so the
    // search goes on from the bracket of the node before.
    while (A[hi] < average)
        ++hi;
    const int32_t lo = hi - 1;
    const double w = (average - A[lo]) / (A[hi] - A[lo]);
    const double Plo = plane(lo)[i];
    const double Phi = plane(hi)[i];

    if (planesInterp == Linear)
        return shiftedLinear(lo, hi, w, i);

    const double linear = (1.0 - w) * Plo + w * Phi;
    // Further planes on the side towards which the fixing pulls the average.
    const double S = assetNodes[static_cast<std::size_t>(i)];
    const bool upwards = S > average;
    const int32_t p2 = upwards ? hi + 1 : lo - 1;
    const int32_t p3 = upwards ? hi + 2 : lo - 2;
    const int count = planesInterp == Quadratic ? 3 : 4;
    const int32_t outermost = count == 3 ? p2 : p3;
    if (outermost < 0 || outermost > top)
        return linear;
    if (planeSpacing == 1 && strictlyBetween(S, average, A[p2]))
        return linear;
    const int32_t which[4] = {lo, hi, p2, p3};
    double x[4], y[4];
    for (int k = 0; k < count; ++k) {
        x[k] = A[which[k]];
        y[k] = plane(which[k])[i];
    }
    const double curved = lagrangeAt(x, y, count, average);
    return std::min(std::max(curved, std::min(Plo, Phi)), std::max(Plo, Phi));
}

void DornTechAsianOption::interpolatePlanes(double* out, int32_t periodIndex,
                                            int32_t planeIndex) const
{
    if (periodIndex < 0 || periodIndex >= numFixings || planeIndex < -1 ||
        planeIndex >= numActivePlanes)
        throw std::logic_error("interpolatePlanes: period or plane outside the sweep.");
    const std::size_t n = static_cast<std::size_t>(usedNodes);
    const std::size_t planesRead =
        periodIndex > 0 ? static_cast<std::size_t>(numActivePlanes)
                        : static_cast<std::size_t>(planeIndex + 1);
    if (planeValues.size() < planesRead * n || assetNodes.size() != n)
        throw std::logic_error("interpolatePlanes: the planes do not hold the values read.");
    const double* S = assetNodes.data();
    const double N = numFixings;

    if (periodIndex == 0) {
        // The planes hold the payoff with the last fixing already applied.
        if (planeIndex >= 0) {
            std::copy(plane(planeIndex), plane(planeIndex) + n, out);
            return;
        }
        for (std::size_t i = 0; i < n; ++i)
            out[i] = payoffAt(((N - 1.0) * settledAverage + S[i]) / N, S[i]);
        return;
    }

    const double source =
        planeIndex < 0 ? settledAverage : averagePlanes[static_cast<std::size_t>(planeIndex)];
    const double fixing = numFixings - periodIndex;  // the fixing that closes the period
    const bool exercisable = exerciseType == 1 || exerciseType == 2;
    int32_t bracket = 1;
    for (std::size_t i = 0; i < n; ++i) {
        const double jumped = ((fixing - 1.0) * source + S[i]) / fixing;
        double v = acrossPlanes(jumped, static_cast<int32_t>(i), bracket);
        if (exercisable)
            v = std::max(v, exerciseValueAt(jumped, S[i]));
        out[i] = v;
    }
}

}  // namespace tarvic
