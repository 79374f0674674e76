#pragma once

// Independent reference values for the barrier tests, written from the
// textbook forms and sharing no code with the library:
//  - single barriers: the Reiner–Rubinstein decomposition into the terms
//    A..F, with a cash rebate (paid at expiry for a knock-in that never
//    knocked in, at the hit for a knock-out);
//  - double knock-outs: the eigenfunction (sine) series of the Brownian
//    motion with drift killed at the two barriers, in log space, with the
//    payoff integrated exactly against each eigenfunction.

#include <cmath>

namespace barrier_reference {

inline double cdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

enum class Kind { downIn, upIn, downOut, upOut };

struct SingleBarrierCase {
    double S, K, H, T, r, q, sigma, rebate;
    bool call;
    Kind kind;
};

inline double singleBarrier(const SingleBarrierCase& c)
{
    const double S = c.S, X = c.K, H = c.H, T = c.T, r = c.r, b = c.r - c.q, s = c.sigma;
    const double sT = s * std::sqrt(T);
    const double mu = (b - 0.5 * s * s) / (s * s);
    const double lambda = std::sqrt(mu * mu + 2.0 * r / (s * s));
    const double x1 = std::log(S / X) / sT + (1.0 + mu) * sT;
    const double x2 = std::log(S / H) / sT + (1.0 + mu) * sT;
    const double y1 = std::log(H * H / (S * X)) / sT + (1.0 + mu) * sT;
    const double y2 = std::log(H / S) / sT + (1.0 + mu) * sT;
    const double z = std::log(H / S) / sT + lambda * sT;
    const bool down = c.kind == Kind::downIn || c.kind == Kind::downOut;
    const double eta = down ? 1.0 : -1.0;
    const double phi = c.call ? 1.0 : -1.0;
    const double carry = std::exp((b - r) * T), disc = std::exp(-r * T);
    const double hs = H / S;

    const double A = phi * S * carry * cdf(phi * x1) - phi * X * disc * cdf(phi * x1 - phi * sT);
    const double B = phi * S * carry * cdf(phi * x2) - phi * X * disc * cdf(phi * x2 - phi * sT);
    const double C = phi * S * carry * std::pow(hs, 2.0 * (mu + 1.0)) * cdf(eta * y1) -
                     phi * X * disc * std::pow(hs, 2.0 * mu) * cdf(eta * y1 - eta * sT);
    const double D = phi * S * carry * std::pow(hs, 2.0 * (mu + 1.0)) * cdf(eta * y2) -
                     phi * X * disc * std::pow(hs, 2.0 * mu) * cdf(eta * y2 - eta * sT);
    const double E = c.rebate * disc *
                     (cdf(eta * x2 - eta * sT) - std::pow(hs, 2.0 * mu) * cdf(eta * y2 - eta * sT));
    const double F = c.rebate * (std::pow(hs, mu + lambda) * cdf(eta * z) +
                                 std::pow(hs, mu - lambda) * cdf(eta * z - 2.0 * eta * lambda * sT));

    const bool above = X > H;
    switch (c.kind) {
    case Kind::downIn:
        if (c.call)
            return above ? C + E : A - B + D + E;
        return above ? B - C + D + E : A + E;
    case Kind::upIn:
        if (c.call)
            return above ? A + E : B - C + D + E;
        return above ? A - B + D + E : C + E;
    case Kind::downOut:
        if (c.call)
            return above ? A - C + F : B - D + F;
        return above ? A - B + C - D + F : F;
    case Kind::upOut:
        if (c.call)
            return above ? F : A - B + C - D + F;
        return above ? B - D + F : A - C + F;
    }
    return NAN;
}

struct DoubleBarrierCase {
    double S, K, L, U, T, r, q, sigma;
    bool call;
};

// Double knock-out by the sine series of the killed diffusion. With
// x = ln S_T - ln S, drift nu = r - q - sigma²/2 and corridor (a, a + w),
// the density of survivors is
//   e^(alpha·x - nu²T/(2sigma²)) (2/w) Σ sin(k_n(x0 - a)) sin(k_n(x - a)) e^(-sigma² k_n² T/2)
// with alpha = nu/sigma², k_n = nπ/w, x0 = ln S.
inline double doubleKnockOut(const DoubleBarrierCase& c, int terms = 400)
{
    const double x0 = std::log(c.S), a = std::log(c.L), w = std::log(c.U) - a;
    const double s2 = c.sigma * c.sigma;
    const double nu = c.r - c.q - 0.5 * s2;
    const double alpha = nu / s2;
    const double pi = std::acos(-1.0);
    // Payoff region in x = ln S_T - ln S.
    const double logK = std::log(c.K) - x0;
    const double lo = c.call ? logK : a - x0;
    const double hi = c.call ? std::log(c.U) - x0 : logK;

    // ∫_lo^hi e^(g x) sin(k (x + x0 - a)) dx, exactly.
    auto integral = [&](double g, double k) {
        auto primitive = [&](double x) {
            const double theta = k * (x + x0 - a);
            return std::exp(g * x) * (g * std::sin(theta) - k * std::cos(theta)) / (g * g + k * k);
        };
        return primitive(hi) - primitive(lo);
    };

    double sum = 0.0;
    for (int n = 1; n <= terms; ++n) {
        const double k = n * pi / w;
        const double decay = std::exp(-0.5 * s2 * k * k * c.T);
        // Payoff (S e^x - K) for the call, (K - S e^x) for the put.
        const double payoff = c.S * integral(alpha + 1.0, k) - c.K * integral(alpha, k);
        sum += std::sin(k * (x0 - a)) * decay * (c.call ? payoff : -payoff);
    }
    return std::exp(-c.r * c.T) * std::exp(-nu * nu * c.T / (2.0 * s2)) * (2.0 / w) * sum;
}

}  // namespace barrier_reference
