// fd_sweep: every finite-difference contract of libtarvic over the desktop
// program's input ranges, at its resolution presets, on both grids, each
// call's value at the spot set against an independent value.
//
// The library is reached only through its C interface, loaded with dlopen
// from a path on the command line, so one build of this program measures any
// build of the library:
//
//   fd_sweep [--lib PATH] [--threads N] [--quick] [--csv FILE]
//            [--only vanilla|barrier|asian] [--preset Low|Medium|High]
//            [--max-asset X] [--no-greeks] [--full-asian]
//
// --quick takes every fifth contract and references at half resolution;
// --full-asian also prices the uniform floating-strike Asians that take
// seconds to minutes a call; --max-asset prices on a user maximum asset
// value (the program's limits applied to it) instead of the automatic extent.
//
// Independent values, each with its own error:
//  - European vanilla: Black–Scholes (this file's own formula);
//  - American and Bermudan vanilla: a binomial tree with a Black–Scholes last
//    step and Richardson extrapolation, checked against the log-space solver
//    below (the error stated is their difference);
//  - barriers of every kind, continuous and discrete monitoring, each
//    exercise: a Crank–Nicolson solver of this file's own on a uniform grid
//    in log S with the barriers on nodes (continuous) or halfway between
//    nodes (discrete), knock-ins solved against a vanilla solved beside them;
//    its error is the change from half its resolution. European continuous
//    contracts are also priced by the library's closed form BarrierBS, and
//    the two must agree;
//  - Asians: the library's Monte Carlo pricer (pseudo-random, antithetic,
//    exact marching), its standard error from its 500 block estimates; early
//    exercise by Longstaff–Schwartz at the fixings, a lower bound.
//
// Each call is classified: within 1 % (plus the reference's error), off by
// 1–10 %, off by more than 10 %, refused (with its text), or past the node
// limit. A refusal of a contract inside the program's limits whose
// independent value is sound is flagged "refused at an ordinary value".

#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pde/solution_at.h"
#include "tarvic/tarvic.h"

namespace {

// ---- The library, loaded at run time --------------------------------------------

struct Library {
    decltype(&VelkOptionPricer) vanilla = nullptr;
    decltype(&VelkBarrierOptionPricer) barrier = nullptr;
    decltype(&VelkAsianOptionPricer) asian = nullptr;
    decltype(&VelkAsianOptionPricerMC) asianMC = nullptr;
    decltype(&BarrierBS) barrierBS = nullptr;
    decltype(&tvStringByteLen) textLength = nullptr;
    decltype(&tvFreeString) freeText = nullptr;
};

template <typename F>
void bind(void* handle, F& f, const char* name)
{
    f = reinterpret_cast<F>(dlsym(handle, name));
    if (!f) {
        std::fprintf(stderr, "fd_sweep: the library has no export %s\n", name);
        std::exit(2);
    }
}

Library loadLibrary(const std::string& path)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "fd_sweep: cannot load %s: %s\n", path.c_str(), dlerror());
        std::exit(2);
    }
    Library lib;
    bind(handle, lib.vanilla, "VelkOptionPricer");
    bind(handle, lib.barrier, "VelkBarrierOptionPricer");
    bind(handle, lib.asian, "VelkAsianOptionPricer");
    bind(handle, lib.asianMC, "VelkAsianOptionPricerMC");
    bind(handle, lib.barrierBS, "BarrierBS");
    bind(handle, lib.textLength, "tvStringByteLen");
    bind(handle, lib.freeText, "tvFreeString");
    return lib;
}

const Library* gLib = nullptr;

// The text of a call's result; empty on success.
std::string takeText(TvString t)
{
    std::string s;
    if (t == nullptr) {
        s = "(null text)";
    } else if (gLib->textLength(t) != 0) {
        s.assign(t, gLib->textLength(t));
    }
    gLib->freeText(t);
    for (char& c : s)
        if (c == '\r' || c == '\n' || c == ',')
            c = c == ',' ? ';' : ' ';
    return s;
}

// ---- Closed forms of this file ------------------------------------------------

double normCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

double blackScholes(bool call, double S, double K, double T, double vol, double r, double q)
{
    if (T <= 0.0)
        return std::max(call ? S - K : K - S, 0.0);
    const double sd = vol * std::sqrt(T);
    const double d1 = (std::log(S / K) + (r - q) * T) / sd + 0.5 * sd;
    const double d2 = d1 - sd;
    const double fS = S * std::exp(-q * T), fK = K * std::exp(-r * T);
    return call ? fS * normCdf(d1) - fK * normCdf(d2) : fK * normCdf(-d2) - fS * normCdf(-d1);
}

// ---- Contracts -----------------------------------------------------------------

enum class Family { Vanilla, Barrier, Asian };
enum Exercise { European = 0, American = 1, Bermudan = 2 };

struct Contract {
    Family family = Family::Vanilla;
    bool call = true;
    int exercise = European;
    double spot = 100, strike = 100, expiry = 1, vol = 0.2, r = 0, q = 0;
    // Barriers (0 = none), knock-out or in, monitoring.
    double lower = 0, upper = 0;
    bool knockOut = true;
    bool continuous = true;
    int periods = 0;  // numPeriods: exercise and monitoring dates
    // Asians.
    bool floating = false;
    int fixings = 12;

    std::string kind() const
    {
        std::string k;
        if (family == Family::Vanilla) {
            k = "vanilla";
        } else if (family == Family::Barrier) {
            k = lower > 0 && upper > 0 ? "double" : lower > 0 ? "down" : "up";
            k += knockOut ? "-out" : "-in";
            k += continuous ? "" : " discrete";
        } else {
            k = floating ? "asian floating" : "asian fixed";
        }
        k += call ? " call" : " put";
        k += exercise == European ? " Eur" : exercise == American ? " Amer" : " Berm";
        return k;
    }

    std::string describe() const
    {
        char b[320];
        std::snprintf(b, sizeof b, "S %g K %g T %g vol %g r %g q %g", spot,
                      floating ? 0.0 : strike, expiry, vol, r, q);
        std::string s = b;
        if (family == Family::Barrier) {
            std::snprintf(b, sizeof b, " L %g U %g", lower, upper);
            s += b;
        }
        if (periods > 0 || !continuous) {
            std::snprintf(b, sizeof b, " periods %d", periods);
            s += b;
        }
        if (family == Family::Asian) {
            std::snprintf(b, sizeof b, " fixings %d", fixings);
            s += b;
        }
        return s;
    }

    // Inside the desktop program's limits for a finite-difference run.
    bool insideProgramLimits() const
    {
        if (vol < 0.03 || vol > 1.0 || r > 0.5 || q > 0.5 || expiry > 2.0 || expiry < 1e-4 ||
            strike > 10000.0)
            return false;
        if (family == Family::Barrier) {
            if (lower > 0 && upper == 0 && (lower / strike > 5.0 || strike / lower > 10.0))
                return false;
            if (upper > 0) {
                const double ratio = upper / strike;
                if (continuous ? (ratio < 0.001 || ratio > 40.0) : (ratio < 0.1 || ratio > 5.0))
                    return false;
            }
        }
        return true;
    }
};

// A resolution preset of the program, or a finer one of the library.
struct Preset {
    const char* name;
    int steps;       // time steps and asset steps to the strike
    int planeSpacing;  // European fixed-strike Asians
};

const Preset kPresets[] = {{"Low", 30, 2}, {"Medium", 100, 4}, {"High", 300, 4}};

// ---- Reading a grid at the spot -------------------------------------------------

// The value at S the way the program reads it.
double valueAt(const double* x, const double* f, int count, double S)
{
    return tarvic::cubicSolutionAt(x, f, count, S);
}

// ---- An independent solver: Crank–Nicolson in log S -----------------------------

// Solves vanilla and barrier contracts (every kind, continuous and discrete
// monitoring, each exercise) on a uniform grid in x = ln S. Continuous
// barriers are grid nodes with the knock-out value 0 (a knock-in takes the
// vanilla solved beside it there); discretely monitored barriers lie halfway
// between nodes and kill the value beyond them at each monitoring date.
// Crank–Nicolson with two implicit half steps after expiry and after every
// date; early exercise by projection after each step (at the dates only for
// Bermudan); the payoff averaged over each node's cell.
class LogSolver {
public:
    LogSolver(const Contract& c, int nodes, int steps) : c_(c), nodes_(nodes), steps_(steps) {}

    double price();

private:
    struct Segment {
        int lo, hi;  // index range solved; the end nodes are boundary values
    };

    double payoffAt(double x) const
    {
        const double S = std::exp(x);
        return std::max(c_.call ? S - c_.strike : c_.strike - S, 0.0);
    }
    double cellPayoff(double x) const;
    bool alive(double x) const
    {
        return !(lowerLog_ > -1e300 && x < lowerLog_) && !(upperLog_ < 1e300 && x > upperLog_);
    }
    double farValue(double x, double tau, bool early) const;
    void step(std::vector<double>& V, Segment seg, double dt, double theta, double loValue,
              double hiValue);

    const Contract& c_;
    int nodes_, steps_;
    double x0_ = 0, dx_ = 0;
    int count_ = 0;
    double lowerLog_ = -1e308, upperLog_ = 1e308;
    std::vector<double> rhs_, cp_, dp_;
};

double LogSolver::cellPayoff(double x) const
{
    const double u = x - 0.5 * dx_, v = x + 0.5 * dx_, k = std::log(c_.strike);
    double integral = 0.0;
    if (c_.call) {
        const double a = std::max(u, k);
        if (v > a)
            integral = std::exp(v) - std::exp(a) - c_.strike * (v - a);
    } else {
        const double b = std::min(v, k);
        if (b > u)
            integral = c_.strike * (b - u) - (std::exp(b) - std::exp(u));
    }
    return integral / dx_;
}

// Far from the spot: the European (or exercise, when larger) value of the
// vanilla on the side where it is deep in the money, 0 on the other.
double LogSolver::farValue(double x, double tau, bool early) const
{
    const double S = std::exp(x);
    double v = c_.call ? S * std::exp(-c_.q * tau) - c_.strike * std::exp(-c_.r * tau)
                       : c_.strike * std::exp(-c_.r * tau) - S * std::exp(-c_.q * tau);
    if (early)
        v = std::max(v, c_.call ? S - c_.strike : c_.strike - S);
    return std::max(v, 0.0);
}

void LogSolver::step(std::vector<double>& V, Segment seg, double dt, double theta, double loValue,
                     double hiValue)
{
    const double s2 = c_.vol * c_.vol;
    const double mu = c_.r - c_.q - 0.5 * s2;
    const double a = 0.5 * s2 / (dx_ * dx_) - 0.5 * mu / dx_;
    const double cc = 0.5 * s2 / (dx_ * dx_) + 0.5 * mu / dx_;
    const double b = -s2 / (dx_ * dx_) - c_.r;
    const double lower = -theta * dt * a, diag = 1.0 - theta * dt * b, upper = -theta * dt * cc;
    const double e = (1.0 - theta) * dt;
    const int n = seg.hi - seg.lo - 1;  // interior unknowns
    if (n <= 0) {
        V[seg.lo] = loValue;
        V[seg.hi] = hiValue;
        return;
    }
    for (int j = 0; j < n; ++j) {
        const int i = seg.lo + 1 + j;
        rhs_[j] = V[i] + e * (a * V[i - 1] + b * V[i] + cc * V[i + 1]);
    }
    rhs_[0] -= lower * loValue;
    rhs_[n - 1] -= upper * hiValue;
    // Thomas algorithm.
    cp_[0] = upper / diag;
    dp_[0] = rhs_[0] / diag;
    for (int j = 1; j < n; ++j) {
        const double m = diag - lower * cp_[j - 1];
        cp_[j] = upper / m;
        dp_[j] = (rhs_[j] - lower * dp_[j - 1]) / m;
    }
    V[seg.lo + n] = dp_[n - 1];
    for (int j = n - 2; j >= 0; --j)
        V[seg.lo + 1 + j] = dp_[j] - cp_[j] * V[seg.lo + 2 + j];
    V[seg.lo] = loValue;
    V[seg.hi] = hiValue;
}

double LogSolver::price()
{
    const Contract& c = c_;
    const double sd = c.vol * std::sqrt(c.expiry);
    const double mu = c.r - c.q - 0.5 * c.vol * c.vol;
    const double w = 7.0 * sd + std::fabs(mu) * c.expiry + 0.05;
    const double xs = std::log(c.spot), xk = std::log(c.strike);
    double lo = std::min(xs, xk) - w, hi = std::max(xs, xk) + w;
    const bool hasL = c.lower > 0, hasU = c.upper > 0;
    const double lnL = hasL ? std::log(c.lower) : 0, lnU = hasU ? std::log(c.upper) : 0;
    const bool barrier = c.family == Family::Barrier;
    const bool contKO = barrier && c.continuous && c.knockOut;
    const bool knockIn = barrier && !c.knockOut;
    const bool discrete = barrier && !c.continuous;
    if (hasL) {
        lo = std::min(lo, lnL - 0.05);
        hi = std::max(hi, lnL + 0.05);
    }
    if (hasU) {
        lo = std::min(lo, lnU - 0.05);
        hi = std::max(hi, lnU + 0.05);
    }
    if (contKO && hasL)
        lo = lnL;
    if (contKO && hasU)
        hi = lnU;

    // The lattice: nodes anchor + i dx, barriers on nodes (continuous) or
    // halfway between them (discrete).
    double anchor = lo;
    dx_ = (hi - lo) / nodes_;
    const double shift = discrete ? 0.5 : 0.0;
    if (barrier && hasL && hasU) {
        const double k = std::max(8.0, std::ceil((lnU - lnL) / dx_));
        dx_ = (lnU - lnL) / k;
        anchor = lnL + shift * dx_;
    } else if (barrier && hasL) {
        anchor = lnL + shift * dx_;
    } else if (barrier && hasU) {
        anchor = lnU + shift * dx_;
    }
    const int first = static_cast<int>(std::floor((lo - anchor) / dx_ + 1e-9));
    const int last = static_cast<int>(std::ceil((hi - anchor) / dx_ - 1e-9));
    count_ = last - first + 1;
    x0_ = anchor + first * dx_;
    auto node = [&](int i) { return x0_ + i * dx_; };
    auto indexOf = [&](double x) { return static_cast<int>(std::lround((x - x0_) / dx_)); };
    if (discrete) {
        lowerLog_ = hasL ? lnL : -1e308;
        upperLog_ = hasU ? lnU : 1e308;
    }

    const int N = count_ - 1;
    rhs_.assign(static_cast<size_t>(count_), 0.0);
    cp_.assign(static_cast<size_t>(count_), 0.0);
    dp_.assign(static_cast<size_t>(count_), 0.0);

    // The contract's own values V and, for a knock-in, the vanilla W.
    std::vector<double> V(static_cast<size_t>(count_)), W, intrinsic(static_cast<size_t>(count_));
    for (int i = 0; i <= N; ++i) {
        intrinsic[i] = payoffAt(node(i));
        V[i] = cellPayoff(node(i));
        if (discrete && !alive(node(i)))
            V[i] = 0.0;
    }
    Segment seg{0, N};
    Segment vanillaSeg{0, N};
    int iL = -1, iU = -1;
    if (barrier && c.continuous) {
        if (hasL)
            iL = indexOf(lnL);
        if (hasU)
            iU = indexOf(lnU);
        seg = {hasL ? iL : 0, hasU ? iU : N};
    }
    if (knockIn) {
        W = V;
        for (int i = seg.lo; i <= seg.hi; ++i)
            V[i] = 0.0;
        if (hasL)
            V[iL] = W[iL];
        if (hasU)
            V[iU] = W[iU];
    } else if (contKO) {
        if (hasL)
            V[iL] = c.exercise == American ? intrinsic[iL] : 0.0;
        if (hasU)
            V[iU] = c.exercise == American ? intrinsic[iU] : 0.0;
    }

    const int periods = c.periods > 1 && (c.exercise == Bermudan || discrete) ? c.periods : 1;
    const int perPeriod = std::max(4, (steps_ + periods - 1) / periods);
    const double dt = c.expiry / (static_cast<double>(perPeriod) * periods);
    const bool americanEarly = c.exercise == American;
    const bool early = c.exercise != European;
    double tau = 0.0;
    bool fresh = true;
    auto advance = [&](std::vector<double>& U, Segment s, double t0, bool vanillaEnds,
                       const std::vector<double>* source) {
        // Boundary values at the new level t0 + dt.
        auto ends = [&](double t, double& lv, double& hv) {
            if (source) {  // a knock-in: the vanilla at the barriers, 0 far off
                lv = hasL ? (*source)[s.lo] : 0.0;
                hv = hasU ? (*source)[s.hi] : 0.0;
                return;
            }
            lv = farValue(node(s.lo), t, early);
            hv = farValue(node(s.hi), t, early);
            // A knock-out is worth 0 at a barrier (or beyond a discrete one),
            // but where it may be exercised at any time the holder takes the
            // exercise value just before the barrier is touched.
            const double atLower = americanEarly && c.continuous ? intrinsic[s.lo] : 0.0;
            const double atUpper = americanEarly && c.continuous ? intrinsic[s.hi] : 0.0;
            if (!vanillaEnds && barrier && hasL)
                lv = atLower;
            if (!vanillaEnds && barrier && hasU)
                hv = atUpper;
        };
        double lv, hv;
        if (fresh) {
            ends(t0 + 0.5 * dt, lv, hv);
            step(U, s, 0.5 * dt, 1.0, lv, hv);
            ends(t0 + dt, lv, hv);
            step(U, s, 0.5 * dt, 1.0, lv, hv);
        } else {
            ends(t0 + dt, lv, hv);
            step(U, s, dt, 0.5, lv, hv);
        }
    };
    for (int p = 0; p < periods; ++p) {
        for (int k = 0; k < perPeriod; ++k) {
            if (knockIn) {
                advance(W, vanillaSeg, tau, true, nullptr);
                if (americanEarly)
                    for (int i = 0; i <= N; ++i)
                        W[i] = std::max(W[i], intrinsic[i]);
                advance(V, seg, tau, false, &W);
            } else {
                advance(V, seg, tau, c.family == Family::Vanilla, nullptr);
                if (americanEarly)
                    for (int i = seg.lo + 1; i < seg.hi; ++i)
                        V[i] = std::max(V[i], intrinsic[i]);
            }
            fresh = false;
            tau += dt;
        }
        if (p + 1 < periods) {  // a date before expiry
            if (c.exercise == Bermudan) {
                std::vector<double>& E = knockIn ? W : V;
                const Segment s = knockIn ? vanillaSeg : seg;
                for (int i = s.lo + 1; i < s.hi; ++i)
                    E[i] = std::max(E[i], intrinsic[i]);
                if (knockIn) {
                    if (hasL)
                        V[iL] = W[iL];
                    if (hasU)
                        V[iU] = W[iU];
                }
            }
            if (discrete)
                for (int i = 0; i <= N; ++i)
                    if (!alive(node(i)))
                        V[i] = 0.0;
            fresh = true;
        }
    }
    // The value at the spot: the cubic in x through the four nearest nodes.
    const double pos = (xs - x0_) / dx_;
    int i = static_cast<int>(std::floor(pos));
    i = std::min(std::max(i, seg.lo + 1), seg.hi - 2);
    if (seg.hi - seg.lo < 3)
        return V[static_cast<size_t>(std::lround(pos))];
    double sum = 0.0;
    for (int k = i - 1; k <= i + 2; ++k) {
        double term = V[k];
        for (int m = i - 1; m <= i + 2; ++m)
            if (m != k)
                term *= (pos - m) / static_cast<double>(k - m);
        sum += term;
    }
    return sum;
}

// ---- An independent tree for early exercise -------------------------------------

// Binomial (Cox–Ross–Rubinstein) value with Black–Scholes values one step
// before expiry; Bermudan exercise at the period ends before expiry.
double treeValue(const Contract& c, int steps)
{
    const int m = c.exercise == Bermudan && c.periods > 1 ? c.periods : 1;
    const int N = m * ((steps + m - 1) / m);
    const double dt = c.expiry / N;
    const double u = std::exp(c.vol * std::sqrt(dt)), d = 1.0 / u;
    const double p = (std::exp((c.r - c.q) * dt) - d) / (u - d);
    if (!(p > 0.0 && p < 1.0))
        return NAN;
    const double disc = std::exp(-c.r * dt);
    auto exercisable = [&](int j) {
        if (c.exercise == American)
            return true;
        if (c.exercise == Bermudan)
            return j > 0 && j < N && (static_cast<long long>(j) * m) % N == 0;
        return false;
    };
    auto intrinsic = [&](double S) { return std::max(c.call ? S - c.strike : c.strike - S, 0.0); };
    // u^(i - N), i = 0..2N: the asset at step j, node k is spot u^(2k - j).
    std::vector<double> power(static_cast<size_t>(2 * N + 1));
    for (int i = 0; i <= 2 * N; ++i)
        power[i] = std::pow(u, i - N);
    auto asset = [&](int j, int k) { return c.spot * power[2 * k - j + N]; };
    std::vector<double> V(static_cast<size_t>(N));
    for (int k = 0; k < N; ++k) {
        const double S = asset(N - 1, k);
        V[k] = blackScholes(c.call, S, c.strike, dt, c.vol, c.r, c.q);
        if (exercisable(N - 1))
            V[k] = std::max(V[k], intrinsic(S));
    }
    for (int j = N - 2; j >= 0; --j) {
        for (int k = 0; k <= j; ++k) {
            V[k] = disc * (p * V[k + 1] + (1.0 - p) * V[k]);
            if (exercisable(j))
                V[k] = std::max(V[k], intrinsic(asset(j, k)));
        }
    }
    return V[0];
}

// ---- The reference value of a contract ------------------------------------------

struct Reference {
    double value = NAN;
    double error = NAN;     // its own error (an estimate)
    bool lowerBound = false;  // Monte Carlo early exercise: a lower bound
    std::string method;
    double closedForm = NAN;  // a closed form the independent solver contradicts
};

bool gQuick = false;

Reference logSolverReference(const Contract& c)
{
    // Projection after each step is first order in time: American contracts
    // take more steps.
    const int n = gQuick ? 600 : 1200;
    const int t = c.exercise == American ? 2 * n : c.exercise == Bermudan ? n : n / 2;
    const double fine = LogSolver(c, n, t).price();
    const double coarse = LogSolver(c, n / 2, t / 2).price();
    Reference ref;
    ref.value = fine;
    ref.error = std::fabs(fine - coarse);
    ref.method = "log-grid CN";
    return ref;
}

Reference asianReference(const Contract& c)
{
    std::vector<double> value(600), delta(600), gamma(600), vega(600), theta(600);
    int32_t rows = 0;
    const bool early = c.exercise != European;
    const int32_t thousands = early ? (gQuick ? 50 : 200) : (gQuick ? 200 : 1000);
    const std::string text = takeText(gLib->asianMC(
        value.data(), delta.data(), gamma.data(), vega.data(), theta.data(), &rows, c.spot,
        c.floating ? 0.0 : c.strike, c.expiry, c.vol, c.r, c.q, /*numFixings*/ c.fixings,
        /*numSettled*/ 0, /*settledAverage*/ 0.0, /*firstFixingTime*/ 0.0, c.call ? 0 : 1,
        early ? 1 : 0, /*strikeType*/ c.floating ? 1 : 0, thousands, /*numLSPaths*/ early ? 50 : 0,
        /*numBasisFunctions*/ 15, /*greeksCode*/ 0, /*greeksMethod*/ 0, /*timeMarching*/ 1,
        /*antithetic*/ 1, /*useSobol*/ 0, /*warmUpSobol*/ 0, /*brownianBridge*/ 0,
        /*multiThreaded*/ 0, /*fewSobolBlocks*/ 0));
    Reference ref;
    ref.method = early ? "MC LS (lower bound)" : "MC";
    ref.lowerBound = early;
    if (!text.empty() || rows < 10)
        return ref;
    // The block estimates behind the running means, and their spread.
    double sum = 0.0, sum2 = 0.0;
    for (int i = 0; i < rows; ++i) {
        const double b = (i + 1) * value[i] - (i > 0 ? i * value[i - 1] : 0.0);
        sum += b;
        sum2 += b * b;
    }
    const double mean = sum / rows;
    const double var = std::max(sum2 / rows - mean * mean, 0.0);
    ref.value = value[rows - 1];
    ref.error = std::sqrt(var / (rows - 1.0));
    return ref;
}

Reference referenceFor(const Contract& c)
{
    Reference ref;
    if (c.family == Family::Vanilla) {
        if (c.exercise == European) {
            ref.value = blackScholes(c.call, c.spot, c.strike, c.expiry, c.vol, c.r, c.q);
            ref.error = 1e-12 * c.strike;
            ref.method = "Black-Scholes";
            return ref;
        }
        // American: the tree extrapolated (its error falls as 1/N); Bermudan:
        // the grid (the tree oscillates with the exercise dates' kinks), the
        // mean of two trees as its check.
        const int n = gQuick ? 600 : 1200;
        const double a = treeValue(c, n), b = treeValue(c, 2 * n);
        const Reference grid = logSolverReference(c);
        if (!std::isfinite(a) || !std::isfinite(b))
            return grid;
        if (c.exercise == American) {
            ref.value = 2.0 * b - a;
            ref.error = std::max(std::fabs(ref.value - grid.value), std::fabs(b - a) / 3.0);
            ref.method = "tree+log-grid";
        } else {
            ref.value = grid.value;
            ref.error = std::max(grid.error, std::fabs(0.5 * (a + b) - grid.value));
            ref.method = "log-grid+tree";
        }
        return ref;
    }
    if (c.family == Family::Asian)
        return asianReference(c);
    ref = logSolverReference(c);
    if (c.continuous && c.exercise == European) {
        double v = 0, d = 0, g = 0, t = 0, vg = 0;
        const double written = gLib->barrierBS(&v, &d, &g, &t, &vg, c.spot, c.strike, c.r, c.q,
                                               c.vol, c.expiry, c.lower, c.upper,
                                               c.knockOut ? 1 : 0, c.call ? 0 : 1);
        // The closed form where the grid confirms it; otherwise the grid,
        // and the disagreement is reported.
        if (written == 1.0 && std::isfinite(v)) {
            const double gap = std::fabs(v - ref.value);
            if (v >= 0.0 && gap <= 3.0 * ref.error + 1e-6 * c.strike) {
                ref.error = std::max(ref.error, gap);
                ref.value = v;
                ref.method = "BarrierBS+log-grid";
            } else {
                ref.closedForm = v;
            }
        }
    }
    return ref;
}

// ---- One call of the library -----------------------------------------------------

struct Arrays {
    std::vector<double> a[6];
    Arrays()
    {
        for (auto& v : a)
            v.assign(TV_MAX_NODE_INDEX + 1, 0.0);
    }
};

struct CallResult {
    std::string text;
    int32_t nodes = 0;
    double value = NAN;
    double seconds = 0;
};

bool gGreeks = true;
double gMaxAsset = 0.0;  // --max-asset: the user maximum asset value, 0 automatic

// The maximum asset value the program hands the library for the user's
// value: between 2 and 30 strikes (the grids that end at an up barrier take
// it as given), at least 1.5 up barriers when monitored discretely; the
// automatic extent for early-exercise and floating-strike Asians.
double userMaximum(const Contract& c)
{
    if (gMaxAsset <= 0.0)
        return 0.0;
    if (c.family == Family::Asian && (c.exercise != European || c.floating))
        return 0.0;
    double m = gMaxAsset;
    const bool endsAtUpper = c.family == Family::Barrier && c.knockOut && c.upper > 0;
    if (!endsAtUpper)
        m = std::min(std::max(m, 2.0 * c.strike), 30.0 * c.strike);
    if (c.family == Family::Barrier && !c.continuous && c.upper > 0)
        m = std::max(m, 1.5 * c.upper);
    return m;
}

CallResult callLibrary(const Contract& c, const Preset& p, bool stretched, Arrays& arr)
{
    CallResult r;
    double* g = arr.a[0].data();
    double* v = arr.a[1].data();
    auto run = [&](double maxAsset) {
        int32_t steps = p.steps;
        TvString t = nullptr;
        // Asians without the re-solves: they would triple the sweep's longest
        // calls.
        const bool greeks = gGreeks && c.family != Family::Asian;
        const int32_t theta = greeks ? 1 : 0, vega = greeks ? 1 : 0;
        if (c.family == Family::Vanilla) {
            t = gLib->vanilla(g, v, arr.a[2].data(), arr.a[3].data(), arr.a[4].data(),
                              arr.a[5].data(), c.strike, p.steps, c.expiry, c.vol, c.r, c.q,
                              &steps, c.call ? 0 : 1, c.exercise, /*discretization*/ 2,
                              /*amerSolver*/ 2, maxAsset, theta, vega, stretched ? 1 : 0,
                              c.periods);
        } else if (c.family == Family::Barrier) {
            t = gLib->barrier(g, v, arr.a[2].data(), arr.a[3].data(), arr.a[4].data(),
                              arr.a[5].data(), c.spot, c.strike, c.lower, c.upper,
                              c.continuous ? 1 : 0, p.steps, c.expiry, c.vol, c.r, c.q, &steps,
                              c.call ? 0 : 1, c.knockOut ? 1 : 0, c.exercise, 2, 2, maxAsset,
                              theta, vega, stretched ? 1 : 0, c.periods);
        } else {
            // The program: early exercise and floating strikes on one plane per
            // asset step, quadratic across planes; otherwise the preset's
            // spacing, cubic.
            const bool onePlane = c.exercise != European || c.floating;
            t = gLib->asian(g, v, arr.a[2].data(), arr.a[3].data(), arr.a[4].data(),
                            arr.a[5].data(), c.spot, c.floating ? 0.0 : c.strike, p.steps,
                            c.expiry, c.vol, c.r, c.q, &steps, onePlane ? 1 : p.planeSpacing,
                            c.fixings, /*numSettled*/ 0, /*settledAverage*/ 0.0,
                            /*firstFixingTime*/ 0.0, c.call ? 0 : 1, c.exercise, 2, 2,
                            onePlane ? 1 : 2, maxAsset, theta, vega, stretched ? 1 : 0,
                            /*multiThreaded*/ 0);
        }
        r.text = takeText(t);
        r.nodes = steps;
    };
    const auto start = std::chrono::steady_clock::now();
    const double maxAsset = userMaximum(c);
    run(maxAsset);
    // The program prices a spot above the automatic grid's top again on a
    // grid reaching twice the spot (not where a continuous up barrier ends it).
    const bool endsAtBarrier = c.family == Family::Barrier && c.continuous && c.upper > 0;
    if (r.text.empty() && maxAsset == 0.0 && r.nodes >= 2 && r.nodes <= TV_MAX_NODE_INDEX && !endsAtBarrier &&
        !c.floating && c.spot > g[r.nodes])
        run(2.0 * c.spot);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r.text.empty() && r.nodes >= 1 && r.nodes <= TV_MAX_NODE_INDEX && c.spot >= g[0] &&
        c.spot <= g[r.nodes])
        r.value = valueAt(g, v, r.nodes + 1, c.spot);
    return r;
}

// ---- Classification ----------------------------------------------------------------

enum Outcome { Within, Off1, Off10, Refused, NodeLimit, NoValue, kOutcomes };
const char* kOutcomeNames[] = {"within", "off 1-10%", "off >10%", "refused", "node limit",
                               "no value"};

double gFloor = 1e-4;  // relative errors are taken against max(|ref|, floor * scale)

struct Row {
    const Contract* contract;
    const Reference* ref;
    const Preset* preset;
    bool stretched;
    CallResult call;
    Outcome outcome;
    double relError;  // (value - ref) / max(|ref|, floor)
    bool ordinary;    // inside the program's limits with a sound reference
    bool sound;       // the reference is good to 0.2 %
    const char* note() const
    {
        return ordinary ? ""
               : contract->insideProgramLimits() ? " [reference not sound]"
                                                 : " [outside limits]";
    }
};

void classify(Row& row)
{
    const Contract& c = *row.contract;
    const Reference& ref = *row.ref;
    const double scale = c.floating ? c.spot : c.strike;
    const double denom = std::max(std::fabs(ref.value), gFloor * scale);
    const bool sound = std::isfinite(ref.value) && std::isfinite(ref.error) &&
                       ref.error <= 0.002 * denom + 1e-5 * scale;
    row.sound = sound;
    row.ordinary = c.insideProgramLimits() && sound;
    row.relError = NAN;
    if (!row.call.text.empty()) {
        row.outcome = Refused;
        return;
    }
    if (row.call.nodes > TV_MAX_NODE_INDEX) {
        row.outcome = NodeLimit;
        return;
    }
    if (!std::isfinite(row.call.value) || !std::isfinite(ref.value)) {
        row.outcome = NoValue;
        return;
    }
    double diff = row.call.value - ref.value;
    // An early-exercise Monte Carlo value (exercise at the fixings) bounds
    // the Asian from below only: an American one may lie anywhere above it,
    // a Bermudan one a little above (the regression's low bias).
    if (ref.lowerBound && diff > 0.0)
        diff = c.exercise == American ? 0.0 : std::max(0.0, diff - 0.02 * denom);
    const double allowance = 2.0 * (std::isfinite(ref.error) ? ref.error : 0.0);
    const double beyond = std::max(0.0, std::fabs(diff) - allowance);
    row.relError = diff / denom;
    const double rel = beyond / denom;
    row.outcome = rel <= 0.01 ? Within : rel <= 0.10 ? Off1 : Off10;
}

// ---- The sweep ------------------------------------------------------------------------

struct Job {
    Contract contract;
    Reference ref;
    std::vector<Row> rows;
    std::vector<const Preset*> presets;
};

template <typename F>
void each(std::initializer_list<double> xs, F f)
{
    for (double x : xs)
        f(x);
}

struct RatePair {
    double r, q;
};

void addVanillas(std::vector<Job>& jobs)
{
    const RatePair rates[] = {{0, 0}, {0.05, 0}, {0.05, 0.1}, {0.15, 0.03}, {0, 0.1}, {0.15, 0.15}};
    for (int type = 0; type < 2; ++type)
        for (int ex = 0; ex < 4; ++ex)
            for (double spot : {80.0, 100.0, 120.0})
                for (double vol : {0.05, 0.2, 0.5, 0.8, 1.0})
                    for (double T : {0.1, 0.5, 1.0, 2.0, 5.0, 10.0})
                        for (const RatePair& rq : rates) {
                            Job j;
                            Contract& c = j.contract;
                            c.family = Family::Vanilla;
                            c.call = type == 0;
                            c.exercise = ex == 3 ? Bermudan : ex;
                            c.periods = ex == 2 ? 4 : ex == 3 ? 12 : 0;
                            c.spot = spot;
                            c.vol = vol;
                            c.expiry = T;
                            c.r = rq.r;
                            c.q = rq.q;
                            jobs.push_back(j);
                        }
}

void addBarriers(std::vector<Job>& jobs)
{
    const RatePair rates[] = {{0, 0}, {0.05, 0}, {0.15, 0.03}, {0, 0.1}};
    struct Levels {
        double lower, upper;
    };
    const Levels levels[] = {{80, 0},  {90, 0},   {95, 0},   {0, 110},  {0, 120},
                             {0, 140}, {80, 120}, {90, 110}, {60, 140}};
    for (const Levels& lv : levels)
        for (int ko = 0; ko < 2; ++ko)
            for (int cont = 0; cont < 2; ++cont) {
                if (!ko && !cont)
                    continue;  // knock-ins are monitored continuously
                for (int type = 0; type < 2; ++type)
                    for (int ex = 0; ex < 3; ++ex)
                        for (double vol : {0.05, 0.2, 0.5, 0.8, 1.0})
                            for (double T : {0.1, 1.0, 2.0, 5.0})
                                for (const RatePair& rq : rates) {
                                    Job j;
                                    Contract& c = j.contract;
                                    c.family = Family::Barrier;
                                    c.lower = lv.lower;
                                    c.upper = lv.upper;
                                    c.knockOut = ko == 1;
                                    c.continuous = cont == 1;
                                    c.call = type == 0;
                                    c.exercise = ex;
                                    c.periods = (ex == Bermudan || !c.continuous) ? 12 : 0;
                                    c.vol = vol;
                                    c.expiry = T;
                                    c.r = rq.r;
                                    c.q = rq.q;
                                    jobs.push_back(j);
                                }
            }
}

void addAsians(std::vector<Job>& jobs)
{
    const RatePair rates[] = {{0, 0}, {0.05, 0}, {0.05, 0.1}, {0.15, 0.03}};
    for (int floating = 0; floating < 2; ++floating)
        for (int type = 0; type < 2; ++type)
            for (int ex = 0; ex < 3; ++ex)
                for (double vol : {0.05, 0.2, 0.5, 0.8, 1.0})
                    for (double T : {0.1, 1.0, 2.0})
                        for (const RatePair& rq : rates) {
                            Job j;
                            Contract& c = j.contract;
                            c.family = Family::Asian;
                            c.floating = floating == 1;
                            c.call = type == 0;
                            c.exercise = ex;
                            c.vol = vol;
                            c.expiry = T;
                            c.r = rq.r;
                            c.q = rq.q;
                            jobs.push_back(j);
                        }
}

// The presets a contract is priced at. Asians stop at Medium: one plane per
// asset step costs the square of the nodes at every time step. The uniform
// floating-strike grid where volatility^2 expiry passes 0.3 at Low or 0.1 at
// Medium is left to --full-asian (a single call takes seconds to minutes).
bool gFullAsian = false;
std::atomic<long> gSkipped{0};
std::string gOnlyPreset;  // --preset: one preset only

void choosePresets(Job& j)
{
    for (const Preset& p : kPresets) {
        if (j.contract.family == Family::Asian && p.steps > 100)
            continue;
        if (!gOnlyPreset.empty() && gOnlyPreset != p.name)
            continue;
        j.presets.push_back(&p);
    }
}

void runJob(Job& j, Arrays& arr)
{
    j.ref = referenceFor(j.contract);
    for (const Preset* p : j.presets)
        for (int stretched = 0; stretched < 2; ++stretched) {
            const Contract& c = j.contract;
            if (!gFullAsian && c.family == Family::Asian && c.floating && !stretched &&
                c.vol * c.vol * c.expiry > (p->steps >= 100 ? 0.1 : 0.3)) {
                ++gSkipped;
                continue;
            }
            Row row{&j.contract, &j.ref, p, stretched == 1, {}, Within, NAN, false, false};
            row.call = callLibrary(c, *p, stretched == 1, arr);
            classify(row);
            j.rows.push_back(row);
        }
}

// ---- The report ----------------------------------------------------------------------

std::string groupKey(const Row& r)
{
    const Contract& c = *r.contract;
    std::string k;
    if (c.family == Family::Vanilla)
        k = "vanilla";
    else if (c.family == Family::Barrier)
        k = c.kind().substr(0, c.kind().find(' ', c.kind().find('-'))) +
            (c.continuous ? "" : " discrete");
    else
        k = c.floating ? "asian floating" : "asian fixed";
    return k;
}

// A refusal text with its figures replaced, to count texts of one kind together.
std::string textPattern(const std::string& t)
{
    std::string s;
    bool inNumber = false;
    for (char ch : t) {
        const bool digit = (ch >= '0' && ch <= '9') || (inNumber && (ch == '.' || ch == 'e'));
        if (digit) {
            if (!inNumber)
                s += '#';
            inNumber = true;
        } else {
            inNumber = false;
            s += ch;
        }
    }
    if (s.size() > 150)
        s = s.substr(0, 150) + "...";
    return s;
}

std::string rowInputs(const Row& r)
{
    char b[96];
    std::snprintf(b, sizeof b, " [%s, %s grid, nodes %d]", r.preset->name,
                  r.stretched ? "stretched" : "uniform", r.call.nodes);
    return r.contract->kind() + ": " + r.contract->describe() + b;
}

struct Tally {
    long counts[kOutcomes] = {};
    long ordinaryRefusals = 0;
    long calls = 0;
    double seconds = 0;
};

double processorSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

void report(const std::vector<Job>& jobs, FILE* out, double wallSeconds, const std::string& lib)
{
    std::map<std::string, std::map<std::string, Tally>> tallies;
    std::vector<const Row*> all;
    for (const Job& j : jobs)
        for (const Row& r : j.rows)
            all.push_back(&r);
    Tally total;
    for (const Row* r : all) {
        for (Tally* t : {&tallies[groupKey(*r)][r->preset->name], &total}) {
            ++t->calls;
            ++t->counts[r->outcome];
            if (r->outcome == Refused && r->ordinary)
                ++t->ordinaryRefusals;
            t->seconds += r->call.seconds;
        }
    }
    std::fprintf(out, "fd_sweep against %s\n", lib.c_str());
    std::fprintf(out,
                 "%ld calls of %zu contracts in %.0f s (%.0f s of processor time). Tolerance: 1%% of max(|reference|, %g x "
                 "strike) beyond twice the reference's own error. \"ordinary\": inside the "
                 "program's limits (vol 3..100%%, r and q <= 50%%, expiry <= 2 y, barrier "
                 "ratios) with a reference good to 0.2%% (+1e-5 x strike).\n",
                 total.calls, jobs.size(), wallSeconds, processorSeconds(), gFloor);
    std::fprintf(out, "Calls: discretization 2 (Rannacher), amerSolver 2, maxAsset %g (0: the "
                      "program's default), theta and vega %s (Asians without); "
                      "%ld uniform floating-strike Asian calls skipped for cost.\n\n",
                 gMaxAsset, gGreeks ? "on" : "off", gSkipped.load());
    std::fprintf(out, "%-26s %-7s %7s %7s %9s %8s %8s %9s %8s %8s %9s\n", "contract", "preset",
                 "calls", "within", "off1-10%", "off>10%", "refused", "ordinary", "nodelim",
                 "novalue", "call s");
    for (const auto& [kind, byPreset] : tallies)
        for (const Preset& p : kPresets) {
            auto it = byPreset.find(p.name);
            if (it == byPreset.end())
                continue;
            const Tally& t = it->second;
            std::fprintf(out, "%-26s %-7s %7ld %7ld %9ld %8ld %8ld %9ld %8ld %8ld %9.1f\n",
                         kind.c_str(), p.name, t.calls, t.counts[Within], t.counts[Off1],
                         t.counts[Off10], t.counts[Refused], t.ordinaryRefusals,
                         t.counts[NodeLimit], t.counts[NoValue], t.seconds);
        }
    std::map<std::string, Tally> perPreset;
    for (const auto& [kind, byPreset] : tallies)
        for (const auto& [preset, t] : byPreset) {
            Tally& p = perPreset[preset];
            p.calls += t.calls;
            for (int k = 0; k < kOutcomes; ++k)
                p.counts[k] += t.counts[k];
            p.ordinaryRefusals += t.ordinaryRefusals;
            p.seconds += t.seconds;
        }
    for (const Preset& pr : kPresets) {
        const Tally& t = perPreset[pr.name];
        std::fprintf(out, "%-26s %-7s %7ld %7ld %9ld %8ld %8ld %9ld %8ld %8ld %9.1f\n", "all",
                     pr.name, t.calls, t.counts[Within], t.counts[Off1], t.counts[Off10],
                     t.counts[Refused], t.ordinaryRefusals, t.counts[NodeLimit],
                     t.counts[NoValue], t.seconds);
    }
    std::fprintf(out, "%-26s %-7s %7ld %7ld %9ld %8ld %8ld %9ld %8ld %8ld %9.1f\n", "all", "",
                 total.calls, total.counts[Within], total.counts[Off1], total.counts[Off10],
                 total.counts[Refused], total.ordinaryRefusals, total.counts[NodeLimit],
                 total.counts[NoValue], total.seconds);

    // Ordinary refusals and off-by-more-than-10% successes inside the limits,
    // per contract kind and preset.
    std::fprintf(out, "\nInside the program's limits: ordinary refusals / successes off by "
                      ">10%% / calls\n");
    struct Cell {
        long refused = 0, off = 0, calls = 0;
    };
    std::map<std::string, std::map<std::string, Cell>> inside;
    std::map<std::string, Cell> insideTotal;
    for (const Row* r : all) {
        if (!r->contract->insideProgramLimits())
            continue;
        for (Cell* cell : {&inside[r->contract->kind()][r->preset->name],
                           &insideTotal[r->preset->name]}) {
            ++cell->calls;
            if (r->outcome == Refused && r->ordinary)
                ++cell->refused;
            if (r->outcome == Off10)
                ++cell->off;
        }
    }
    {
        std::string line;
        for (const Preset& p : kPresets) {
            const Cell& t = insideTotal[p.name];
            char b[80];
            std::snprintf(b, sizeof b, "  %s %ld/%ld/%ld", p.name, t.refused, t.off, t.calls);
            line += b;
        }
        std::fprintf(out, "%-30s%s\n", "all", line.c_str());
        long soundOutside = 0;
        for (const Row* r : all)
            if (r->outcome == Refused && r->sound && !r->contract->insideProgramLimits())
                ++soundOutside;
        std::fprintf(out, "Outside the program's limits (library callers): %ld refusals of "
                          "contracts with a sound reference\n",
                     soundOutside);
    }
    for (const auto& [kind, byPreset] : inside) {
        std::string line;
        long any = 0;
        for (const Preset& p : kPresets) {
            auto it = byPreset.find(p.name);
            if (it == byPreset.end())
                continue;
            char b[80];
            std::snprintf(b, sizeof b, "  %s %ld/%ld/%ld", p.name, it->second.refused,
                          it->second.off, it->second.calls);
            line += b;
            any += it->second.refused + it->second.off;
        }
        if (any)
            std::fprintf(out, "%-30s%s\n", kind.c_str(), line.c_str());
    }

    // Worst successes per group.
    std::fprintf(out, "\nWorst successes per contract kind (relative error against the "
                      "reference, value, reference +- its error)\n");
    std::map<std::string, std::vector<const Row*>> byGroup;
    for (const Row* r : all)
        if (std::isfinite(r->relError))
            byGroup[groupKey(*r)].push_back(r);
    for (auto& [kind, rows] : byGroup) {
        std::sort(rows.begin(), rows.end(), [](const Row* a, const Row* b) {
            return std::fabs(a->relError) > std::fabs(b->relError);
        });
        std::fprintf(out, "%s:\n", kind.c_str());
        for (size_t i = 0; i < rows.size() && i < 6; ++i) {
            const Row& r = *rows[i];
            std::fprintf(out, "  %+9.3f%%  %.6g vs %.6g +- %.2g (%s)%s  %s\n",
                         100.0 * r.relError, r.call.value, r.ref->value, r.ref->error,
                         r.ref->method.c_str(), r.note(),
                         rowInputs(r).c_str());
        }
    }

    // Refusal texts, grouped, with an example each.
    std::fprintf(out, "\nRefusals by text (ordinary / all), one example each\n");
    struct TextTally {
        long all = 0, ordinary = 0;
        const Row* example = nullptr;
        std::map<std::string, long> kinds;
    };
    std::map<std::string, TextTally> texts;
    for (const Row* r : all) {
        if (r->outcome != Refused)
            continue;
        TextTally& t = texts[textPattern(r->call.text)];
        ++t.all;
        ++t.kinds[r->contract->kind()];
        // The example: an ordinary refusal of the largest value, the one a
        // user misses most.
        if (r->ordinary) {
            ++t.ordinary;
            if (!t.example || !t.example->ordinary || r->ref->value > t.example->ref->value)
                t.example = r;
        } else if (!t.example) {
            t.example = r;
        }
    }
    for (const auto& [pattern, t] : texts) {
        std::fprintf(out, "%6ld / %6ld  \"%s\"\n", t.ordinary, t.all, pattern.c_str());
        std::fprintf(out, "                 e.g. %s (reference %.6g)\n",
                     rowInputs(*t.example).c_str(), t.example->ref->value);
        std::string kinds;
        for (const auto& [k, n] : t.kinds)
            kinds += "  " + k + " " + std::to_string(n);
        std::fprintf(out, "                 by kind:%s\n", kinds.c_str());
    }

    // The references' own agreement: the largest disagreement of the two
    // independent solvers behind each family.
    std::fprintf(out, "\nReference errors (largest stated, relative to max(|ref|, floor))\n");
    std::map<std::string, std::pair<double, const Job*>> refWorst;
    for (const Job& j : jobs) {
        const Contract& c = j.contract;
        const double denom = std::max(std::fabs(j.ref.value),
                                      gFloor * (c.floating ? c.spot : c.strike));
        const double e = j.ref.error / denom;
        auto& w = refWorst[j.ref.method];
        if (std::isfinite(e) && e >= w.first)
            w = {e, &j};
    }
    std::vector<const Job*> contradicted;
    for (const Job& j : jobs)
        if (std::isfinite(j.ref.closedForm))
            contradicted.push_back(&j);
    std::sort(contradicted.begin(), contradicted.end(), [](const Job* a, const Job* b) {
        return std::fabs(a->ref.closedForm - a->ref.value) >
               std::fabs(b->ref.closedForm - b->ref.value);
    });
    std::fprintf(out, "  BarrierBS contradicted by the log-grid solver beyond its error: %zu "
                      "contracts (the grid's value used)\n",
                 contradicted.size());
    for (size_t i = 0; i < contradicted.size() && i < 8; ++i)
        std::fprintf(out, "    BarrierBS %.6g, grid %.6g +- %.2g  %s: %s\n",
                     contradicted[i]->ref.closedForm, contradicted[i]->ref.value,
                     contradicted[i]->ref.error, contradicted[i]->contract.kind().c_str(),
                     contradicted[i]->contract.describe().c_str());
    for (const auto& [method, w] : refWorst)
        if (w.second)
            std::fprintf(out, "  %-22s %.3g%%  %s: %s\n", method.c_str(), 100.0 * w.first,
                         w.second->contract.kind().c_str(),
                         w.second->contract.describe().c_str());
}

void writeCsv(const std::vector<Job>& jobs, const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "fd_sweep: cannot write %s\n", path.c_str());
        return;
    }
    std::fprintf(f, "kind,spot,strike,lower,upper,periods,expiry,vol,r,q,preset,grid,nodes,"
                    "value,reference,ref_error,ref_method,rel_error,outcome,ordinary,inside,"
                    "seconds,text,sound\n");
    for (const Job& j : jobs)
        for (const Row& r : j.rows) {
            const Contract& c = j.contract;
            std::fprintf(f, "%s,%g,%g,%g,%g,%d,%g,%g,%g,%g,%s,%s,%d,%.10g,%.10g,%.3g,%s,%.6g,%s,%d,%d,"
                            "%.4g,%s,%d\n",
                         c.kind().c_str(), c.spot, c.floating ? 0.0 : c.strike, c.lower, c.upper,
                         c.periods, c.expiry, c.vol, c.r, c.q, r.preset->name,
                         r.stretched ? "stretched" : "uniform", r.call.nodes, r.call.value,
                         j.ref.value, j.ref.error, j.ref.method.c_str(), r.relError,
                         kOutcomeNames[r.outcome], r.ordinary ? 1 : 0,
                         c.insideProgramLimits() ? 1 : 0, r.call.seconds, r.call.text.c_str(),
                         r.sound ? 1 : 0);
        }
    std::fclose(f);
}

std::string besideExecutable(const char* name)
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return name;
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

}  // namespace

int main(int argc, char** argv)
{
    // One thread for each library call: the sweep runs calls side by side.
    setenv("OMP_NUM_THREADS", "1", 1);
    std::string libPath = besideExecutable("libtarvic.so");
    std::string csvPath, only;
    int threads = 4;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "fd_sweep: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--lib")
            libPath = next();
        else if (a == "--threads")
            threads = std::max(1, std::atoi(next().c_str()));
        else if (a == "--csv")
            csvPath = next();
        else if (a == "--only")
            only = next();
        else if (a == "--max-asset")
            gMaxAsset = std::atof(next().c_str());
        else if (a == "--preset")
            gOnlyPreset = next();
        else if (a == "--quick")
            gQuick = true;
        else if (a == "--no-greeks")
            gGreeks = false;
        else if (a == "--full-asian")
            gFullAsian = true;
        else {
            std::fprintf(stderr,
                         "usage: fd_sweep [--lib PATH] [--threads N] [--quick] [--csv FILE] "
                         "[--only vanilla|barrier|asian] [--preset Low|Medium|High] "
                         "[--max-asset X] [--no-greeks] [--full-asian]\n");
            return 2;
        }
    }
    static const Library lib = loadLibrary(libPath);
    gLib = &lib;

    std::vector<Job> jobs;
    if (only.empty() || only == "vanilla")
        addVanillas(jobs);
    if (only.empty() || only == "barrier")
        addBarriers(jobs);
    if (only.empty() || only == "asian")
        addAsians(jobs);
    if (gQuick) {  // every fifth contract
        std::vector<Job> some;
        for (size_t i = 0; i < jobs.size(); i += 5)
            some.push_back(jobs[i]);
        jobs.swap(some);
    }
    for (Job& j : jobs)
        choosePresets(j);

    // The most expensive contracts first, so that no thread is left with a
    // long one at the end.
    std::vector<size_t> order(jobs.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        auto cost = [&](const Contract& c) {
            return (c.family == Family::Asian ? 100.0 : 1.0) * c.vol * c.vol * c.expiry;
        };
        return cost(jobs[a].contract) > cost(jobs[b].contract);
    });

    const auto start = std::chrono::steady_clock::now();
    std::atomic<size_t> nextJob{0}, done{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            Arrays arr;
            for (;;) {
                const size_t k = nextJob++;
                if (k >= order.size())
                    return;
                runJob(jobs[order[k]], arr);
                const size_t d = ++done;
                if (d % 500 == 0)
                    std::fprintf(stderr, "fd_sweep: %zu of %zu contracts, %.0f s\n", d,
                                 jobs.size(),
                                 std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                               start)
                                     .count());
            }
        });
    for (auto& t : pool)
        t.join();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report(jobs, stdout, wall, libPath);
    if (!csvPath.empty())
        writeCsv(jobs, csvPath);
    return 0;
}
