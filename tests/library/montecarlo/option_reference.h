#pragma once

// Closed-form Black-Scholes prices that the Monte Carlo tests measure the
// engines against: vanilla options with their Greeks, single barriers
// (Reiner and Rubinstein), double knock-outs (Ikeda and Kunitomo, flat
// barriers), knock-ins by in-out parity. Kept in the tests as an independent
// truth; no rebates.

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "montecarlo/european_path.h"
#include "../support/reference_pricing.h"

namespace tarvic_test {

struct Market {
    double spot;
    double strike;
    double rate;
    double div;
    double vol;
    double expiry;
};

inline double normPdf(double x) { return std::exp(-0.5 * x * x) / std::sqrt(2.0 * M_PI); }

inline double bsPrice(bool call, const Market& m)
{
    const double sq = m.vol * std::sqrt(m.expiry);
    const double d1 = (std::log(m.spot / m.strike) + (m.rate - m.div + 0.5 * m.vol * m.vol) * m.expiry) / sq;
    const double d2 = d1 - sq;
    const double fs = m.spot * std::exp(-m.div * m.expiry);
    const double fk = m.strike * std::exp(-m.rate * m.expiry);
    return call ? fs * normCdf(d1) - fk * normCdf(d2) : fk * normCdf(-d2) - fs * normCdf(-d1);
}

struct Greeks {
    double delta, gamma, vega, theta;  // vega per volatility point, theta per calendar day
};

inline Greeks bsGreeks(bool call, const Market& m)
{
    const double sqT = std::sqrt(m.expiry);
    const double sq = m.vol * sqT;
    const double d1 = (std::log(m.spot / m.strike) + (m.rate - m.div + 0.5 * m.vol * m.vol) * m.expiry) / sq;
    const double d2 = d1 - sq;
    const double eq = std::exp(-m.div * m.expiry);
    const double er = std::exp(-m.rate * m.expiry);
    Greeks g;
    g.delta = call ? eq * normCdf(d1) : -eq * normCdf(-d1);
    g.gamma = eq * normPdf(d1) / (m.spot * sq);
    g.vega = m.spot * eq * normPdf(d1) * sqT / 100.0;
    const double common = -m.spot * eq * normPdf(d1) * m.vol / (2.0 * sqT);
    const double thetaYear = call ? common - m.rate * m.strike * er * normCdf(d2) + m.div * m.spot * eq * normCdf(d1)
                                  : common + m.rate * m.strike * er * normCdf(-d2) - m.div * m.spot * eq * normCdf(-d1);
    g.theta = thetaYear / 365.0;
    return g;
}

// Knock-out with one barrier, monitored continuously; lower or upper is 0.
inline double singleKnockOut(bool call, const Market& m, double lower, double upper)
{
    const bool down = lower > 0.0;
    const double H = down ? lower : upper;
    if (down ? m.spot <= H : m.spot >= H)
        return 0.0;
    const double eta = down ? 1.0 : -1.0;
    const double phi = call ? 1.0 : -1.0;
    const double b = m.rate - m.div;
    const double s2 = m.vol * m.vol;
    const double sq = m.vol * std::sqrt(m.expiry);
    const double mu = (b - 0.5 * s2) / s2;
    const double S = m.spot, K = m.strike, T = m.expiry, r = m.rate;
    const double x1 = std::log(S / K) / sq + (1.0 + mu) * sq;
    const double x2 = std::log(S / H) / sq + (1.0 + mu) * sq;
    const double y1 = std::log(H * H / (S * K)) / sq + (1.0 + mu) * sq;
    const double y2 = std::log(H / S) / sq + (1.0 + mu) * sq;
    const double fs = S * std::exp((b - r) * T);
    const double fk = K * std::exp(-r * T);
    const double hs = H / S;
    const double A = phi * fs * normCdf(phi * x1) - phi * fk * normCdf(phi * x1 - phi * sq);
    const double B = phi * fs * normCdf(phi * x2) - phi * fk * normCdf(phi * x2 - phi * sq);
    const double C = phi * fs * std::pow(hs, 2.0 * (mu + 1.0)) * normCdf(eta * y1) -
                     phi * fk * std::pow(hs, 2.0 * mu) * normCdf(eta * y1 - eta * sq);
    const double D = phi * fs * std::pow(hs, 2.0 * (mu + 1.0)) * normCdf(eta * y2) -
                     phi * fk * std::pow(hs, 2.0 * mu) * normCdf(eta * y2 - eta * sq);
    if (call && down)
        return K > H ? A - C : B - D;
    if (call && !down)
        return K > H ? 0.0 : A - B + C - D;
    if (!call && down)
        return K > H ? A - B + C - D : 0.0;
    return K > H ? B - D : A - C;
}

// Double knock-out between lower and upper, monitored continuously.
inline double doubleKnockOut(bool call, const Market& m, double L, double U)
{
    const double S = m.spot, K = m.strike, T = m.expiry, r = m.rate;
    if (S <= L || S >= U)
        return 0.0;
    const double b = r - m.div;
    const double sq = m.vol * std::sqrt(T);
    const double mu1 = 2.0 * b / (m.vol * m.vol) + 1.0;
    const double mu3 = mu1;
    const double drift = (b + 0.5 * m.vol * m.vol) * T;
    double first = 0.0, second = 0.0;
    for (int n = -10; n <= 10; ++n) {
        const double u2n = std::pow(U, 2.0 * n), l2n = std::pow(L, 2.0 * n);
        const double l2n2 = std::pow(L, 2.0 * n + 2.0);
        const double ratio1 = std::pow(U / L, static_cast<double>(n));
        const double ratio3 = std::pow(L, n + 1.0) / (std::pow(U, static_cast<double>(n)) * S);
        if (call) {
            const double F = U;
            const double d1 = (std::log(S * u2n / (K * l2n)) + drift) / sq;
            const double d2 = (std::log(S * u2n / (F * l2n)) + drift) / sq;
            const double d3 = (std::log(l2n2 / (K * S * u2n)) + drift) / sq;
            const double d4 = (std::log(l2n2 / (F * S * u2n)) + drift) / sq;
            first += std::pow(ratio1, mu1) * (normCdf(d1) - normCdf(d2)) -
                     std::pow(ratio3, mu3) * (normCdf(d3) - normCdf(d4));
            second += std::pow(ratio1, mu1 - 2.0) * (normCdf(d1 - sq) - normCdf(d2 - sq)) -
                      std::pow(ratio3, mu3 - 2.0) * (normCdf(d3 - sq) - normCdf(d4 - sq));
        } else {
            const double E = L;
            const double y1 = (std::log(S * u2n / (E * l2n)) + drift) / sq;
            const double y2 = (std::log(S * u2n / (K * l2n)) + drift) / sq;
            const double y3 = (std::log(l2n2 / (E * S * u2n)) + drift) / sq;
            const double y4 = (std::log(l2n2 / (K * S * u2n)) + drift) / sq;
            first += std::pow(ratio1, mu1 - 2.0) * (normCdf(y1 - sq) - normCdf(y2 - sq)) -
                     std::pow(ratio3, mu3 - 2.0) * (normCdf(y3 - sq) - normCdf(y4 - sq));
            second += std::pow(ratio1, mu1) * (normCdf(y1) - normCdf(y2)) -
                      std::pow(ratio3, mu3) * (normCdf(y3) - normCdf(y4));
        }
    }
    const double fs = S * std::exp((b - r) * T);
    const double fk = K * std::exp(-r * T);
    return call ? fs * first - fk * second : fk * first - fs * second;
}

// Any knock-out (one or two barriers); 0 = no barrier on that side.
inline double knockOut(bool call, const Market& m, double lower, double upper)
{
    if (lower > 0.0 && upper > 0.0)
        return doubleKnockOut(call, m, lower, upper);
    if (lower > 0.0 || upper > 0.0)
        return singleKnockOut(call, m, lower, upper);
    return bsPrice(call, m);
}

// Knock-in by in-out parity.
inline double knockIn(bool call, const Market& m, double lower, double upper)
{
    return bsPrice(call, m) - knockOut(call, m, lower, upper);
}

// Central differences of a price function of the market, for Greeks of the
// barrier prices: delta and gamma in the spot, vega per point, theta per day.
template <class Price>
Greeks numericGreeks(const Market& m, Price price)
{
    const double hs = 1e-3 * m.spot;
    Market up = m, down = m;
    up.spot += hs;
    down.spot -= hs;
    const double v0 = price(m), vu = price(up), vd = price(down);
    Market vUp = m, vDown = m;
    vUp.vol += 1e-4;
    vDown.vol -= 1e-4;
    Market tUp = m, tDown = m;
    tUp.expiry += 1e-5;
    tDown.expiry -= 1e-5;
    Greeks g;
    g.delta = (vu - vd) / (2.0 * hs);
    g.gamma = (vu - 2.0 * v0 + vd) / (hs * hs);
    g.vega = (price(vUp) - price(vDown)) / 2e-4 / 100.0;
    g.theta = -(price(tUp) - price(tDown)) / 2e-5 / 365.0;
    return g;
}

// Standard error of a running-estimate series made of equal blocks: the
// spread of the block means recovered from the running means.
inline double blockStandardError(const std::vector<double>& running)
{
    const size_t n = running.size();
    std::vector<double> blocks(n);
    for (size_t i = 0; i < n; ++i)
        blocks[i] = (i + 1) * running[i] - (i > 0 ? i * running[i - 1] : 0.0);
    double mean = 0.0;
    for (double b : blocks)
        mean += b;
    mean /= n;
    double var = 0.0;
    for (double b : blocks)
        var += (b - mean) * (b - mean);
    var /= (n - 1);
    return std::sqrt(var / n);
}

// Pins the OpenMP thread count for one test and restores it afterwards.
class ThreadCount {
public:
    explicit ThreadCount(int threads) : saved_(omp_get_max_threads()) { omp_set_num_threads(threads); }
    ~ThreadCount() { omp_set_num_threads(saved_); }
    ThreadCount(const ThreadCount&) = delete;
    ThreadCount& operator=(const ThreadCount&) = delete;

private:
    int saved_;
};

// The engines' contract for a plain option on the market m.
inline tarvic::EuropeanContract contractFor(const Market& m, bool call, int32_t steps)
{
    tarvic::EuropeanContract c;
    c.spot = m.spot;
    c.strike = m.strike;
    c.intRate = m.rate;
    c.divYield = m.div;
    c.volatility = m.vol;
    c.expiry = m.expiry;
    c.numSteps = steps;
    c.optionType = call ? 0 : 1;
    return c;
}

// The engines' contract for a barrier option on the market m (0 = no barrier).
inline tarvic::EuropeanContract barrierContract(const Market& m, bool call, int32_t steps, double lower,
                                                double upper, bool out, bool continuous)
{
    tarvic::EuropeanContract c = contractFor(m, call, steps);
    c.lowerBarrier = lower;
    c.upperBarrier = upper;
    c.knockOut = out ? 1 : 0;
    c.contMonitoring = continuous;
    return c;
}

}  // namespace tarvic_test
