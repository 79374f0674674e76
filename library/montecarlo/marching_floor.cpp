#include "montecarlo/marching_floor.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <limits>
#include <string>

#include "common/require.h"
#include "montecarlo/european_path.h"

namespace tarvic {

namespace {

double normalDensity(double x) { return 0.3989422804014327 * std::exp(-0.5 * x * x); }

// Phi(x) by the complementary error function: accurate far into both tails.
double normalCdf(double x) { return 0.5 * std::erfc(-x * 0.7071067811865476); }

struct StepFactor {
    double belowZero = 0.0;  // P(f < 0)
    double gain = 0.0;       // g = E[f+] - E[f]
    double variance = 0.0;   // Var f
};

// Euler: f = c + h z.
StepFactor eulerFactor(double c, double h)
{
    StepFactor f;
    const double a = c / h;
    f.belowZero = normalCdf(-a);
    f.gain = h * normalDensity(a) - c * f.belowZero;
    f.variance = h * h;
    return f;
}

// Milstein: f = (h^2 / 2) z^2 + h z + c - h^2 / 2, below 0 between the roots
// z1,2 = (-1 -+ sqrt(h^2 + 1 - 2 c)) / h. With the truncated moments
// M0 = P(z1 < z < z2), M1 = E[z; ..] = phi(z1) - phi(z2) and
// M2 = E[z^2; ..] = M0 + z1 phi(z1) - z2 phi(z2), g = -(h^2/2 M2 + h M1 + (c - h^2/2) M0).
StepFactor milsteinFactor(double c, double h)
{
    StepFactor f;
    const double h2 = h * h;
    f.variance = h2 + 0.5 * h2 * h2;
    const double disc = h2 + 1.0 - 2.0 * c;
    if (!(disc > 0.0))
        return f;
    const double root = std::sqrt(disc);
    const double z1 = (-1.0 - root) / h;
    const double z2 = (-1.0 + root) / h;
    const double m0 = normalCdf(z2) - normalCdf(z1);
    const double p1 = normalDensity(z1), p2 = normalDensity(z2);
    const double m1 = p1 - p2;
    const double m2 = m0 + z1 * p1 - z2 * p2;
    f.belowZero = m0;
    f.gain = std::max(0.0, -(0.5 * h2 * m2 + h * m1 + (c - 0.5 * h2) * m0));
    return f;
}

}  // namespace

MarchingFloorEffect marchingFloorEffect(int32_t marching, double mu, double sigma, double expiry, int32_t steps,
                                        double paths)
{
    MarchingFloorEffect effect;
    if (marching != kEulerMarching && marching != kMilsteinMarching)
        return effect;
    const double dt = expiry / steps;
    const double c = 1.0 + mu * dt;
    const double h = sigma * std::sqrt(dt);
    const StepFactor f = marching == kEulerMarching ? eulerFactor(c, h) : milsteinFactor(c, h);
    effect.belowZero = f.belowZero;
    if (!(c > 0.0)) {
        effect.lift = std::numeric_limits<double>::infinity();
        return effect;
    }
    // ((c + g) / c)^N - 1 and ((c^2 + v) / c^2)^N - 1 without losing the small ones.
    effect.lift = std::expm1(steps * std::log1p(f.gain / c));
    effect.error = std::sqrt(std::expm1(steps * std::log1p(f.variance / (c * c)))) / std::sqrt(paths);
    return effect;
}

bool marchingFloorWithinError(int32_t marching, double mu, double sigma, double expiry, int32_t steps,
                              double paths)
{
    const MarchingFloorEffect e = marchingFloorEffect(marching, mu, sigma, expiry, steps, paths);
    return e.lift <= kFloorStandardErrors * e.error;
}

namespace {

// The fewest steps (from `steps` up, within int32) whose floor stays within
// the error; 0 when none does. The lift falls and the error grows with the
// step count, so the steps that pass lie above one count: doubling finds a
// count that passes, bisection the first.
int32_t fewestStepsWithinError(int32_t marching, double mu, double sigma, double expiry, int32_t steps,
                               double paths)
{
    const auto passes = [&](int64_t n) {
        return marchingFloorWithinError(marching, mu, sigma, expiry, static_cast<int32_t>(n), paths);
    };
    constexpr int64_t kMost = std::numeric_limits<int32_t>::max();
    int64_t fails = steps, ok = steps;
    while (!passes(ok)) {
        if (ok == kMost)
            return 0;
        fails = ok;
        ok = std::min<int64_t>(2 * ok, kMost);
    }
    while (ok - fails > 1) {
        const int64_t mid = fails + (ok - fails) / 2;
        (passes(mid) ? ok : fails) = mid;
    }
    return static_cast<int32_t>(ok);
}

// Three significant digits, "." as the decimal point whatever the locale.
std::string percentText(double p)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text - 1, 100.0 * p, std::chars_format::general, 3).ptr;
    return std::string(text, end) + " %";
}

}  // namespace

void requireMarchingFloorWithinError(int32_t marching, double mu, double sigma, double expiry, int32_t steps,
                                     double paths, const char* stepsName, bool stepsMayBeRaised)
{
    const MarchingFloorEffect e = marchingFloorEffect(marching, mu, sigma, expiry, steps, paths);
    if (e.lift <= kFloorStandardErrors * e.error)
        return;
    const char* scheme = marching == kEulerMarching ? "Euler" : "Milstein";
    std::string text = std::string("Invalid input: with ") + scheme + " time marching a time step takes the asset below 0 " +
                       "with a chance of " + percentText(e.belowZero) + "; holding it at 0 lifts the asset's mean by " +
                       (std::isfinite(e.lift) ? percentText(e.lift) : std::string("more than it is worth")) +
                       ", beyond the estimate's error (three standard errors, " +
                       percentText(kFloorStandardErrors * e.error) + "). Choose exact time marching (" +
                       "timeMarching 1)";
    if (stepsMayBeRaised) {
        const int32_t fewest = fewestStepsWithinError(marching, mu, sigma, expiry, steps, paths);
        if (fewest > 0)
            text += std::string(" or at least ") + std::to_string(fewest) + " time steps (" + stepsName + ")";
    } else {
        text += std::string(": the path's steps are the contract's fixings (") + stepsName + ")";
    }
    fail(text + ".");
}

}  // namespace tarvic
