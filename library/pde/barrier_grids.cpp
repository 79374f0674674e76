#include "pde/barrier_grids.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "pde/grid_stretching.h"

namespace tarvic {

const char* const kBarrierGridFailureText =
    "There was a problem while generating the PDE grid for this double knock-out option. Try "
    "changing the clustering point by changing the asset spot.";

void barrierGridFailure() { throw std::runtime_error(kBarrierGridFailureText); }

namespace {

constexpr double kMaxNodes = static_cast<double>(kMaxGridNodes);

// Steps of the walk that fits the second barrier of a double barrier onto a
// node: the step halves every time, so after this many it no longer moves.
constexpr int kMaxFitSteps = 100;

GridNodes oversized(double count)
{
    GridNodes g;
    g.count = count;
    return g;
}

// Nodes S_0 = origin, S_1 = first, S_i = first + (i - 1) dx for i < count;
// only counted beyond maxBuilt nodes.
GridNodes offsetUniformNodes(double origin, double first, double dx, double count,
                             double maxBuilt)
{
    if (!(count >= 1.0))
        barrierGridFailure();
    if (!(count <= std::min(maxBuilt, kMaxNodes)))
        return oversized(count);
    GridNodes g;
    g.count = count;
    g.dx = dx;
    const auto n = static_cast<size_t>(count);
    g.nodes.resize(n);
    g.nodes[0] = origin;
    for (size_t i = 1; i < n; ++i)
        g.nodes[i] = first + static_cast<double>(i - 1) * dx;
    return g;
}

// Nodes S_i = origin + i dx for i < count.
GridNodes uniformNodes(double origin, double dx, double count, double maxBuilt)
{
    return offsetUniformNodes(origin, origin + dx, dx, count, maxBuilt);
}

// Appends the points a generator emits, in order, and stops after the first
// point at or above top or after limit points. The points are counted
// before any is stored, so an emission beyond maxBuilt points (or the
// solver's reach) allocates nothing; points that stop increasing (or are
// not finite) fail the grid.
template <class Generator>
GridNodes emitNodes(Generator generator, double top, double limit, double dx, double maxBuilt)
{
    const double cap = std::min(limit, kMaxNodes + 1.0);
    double count = 0.0;
    {
        Generator probe = generator;
        double previous = -std::numeric_limits<double>::infinity();
        for (;;) {
            const double s = probe.next();
            if (!std::isfinite(s) || !(s > previous))
                barrierGridFailure();
            previous = s;
            count += 1.0;
            if (s >= top || count >= cap)
                break;
        }
    }
    if (count > std::min(maxBuilt, kMaxNodes))
        return oversized(count);
    GridNodes g;
    g.count = count;
    g.dx = dx;
    g.nodes.resize(static_cast<size_t>(count));
    for (double& s : g.nodes)
        s = generator.next();
    return g;
}

struct SinhGenerator {
    SinhMap map;
    double i = 0.0;
    double next() { return map.at(i++); }
};

// The vanilla sinh construction moved to start at B: finest at the strike.
struct ShiftedSinhGenerator {
    double B, K, a, xK, N;
    double i = 0.0;
    double next()
    {
        const double x = i++ / N;
        if (x == 0.0)
            return B;
        return B + (K - B) * (1.0 + std::sinh(a * (x - xK)) / std::sinh(a * xK));
    }
};

// Cell widths w(xi) = a xi^3 + b xi^2 + c xi + w0, the cell i centred at
// (i - 0.5) / N, from the first node B. Past the top the widths were laid
// out for (xi > 1: a top raised above it), they keep at least the width at
// xi = 1, where the cubic would turn down.
struct CubicWidthGenerator {
    double a, b, c, w0, N;
    double S;
    double i = 0.0;
    double width(double xi) const { return ((a * xi + b) * xi + c) * xi + w0; }
    double next()
    {
        if (i == 0.0) {
            i = 1.0;
            return S;
        }
        const double xi = (i - 0.5) / N;
        i += 1.0;
        S += xi > 1.0 ? std::max(width(xi), width(1.0)) : width(xi);
        return S;
    }
};

// A few fine cells of width h from B, then cells w(xi) = A xi^3 + E xi^2 + w0
// centred at (k + 0.5) / M; past xi = 1 at least the width there, as above.
struct FineThenCubicGenerator {
    double B, h;
    int64_t fine;  // nodes B, B + h, ..., B + (fine - 1) h
    double A, E, w0, M;
    int64_t i = 0;
    double S = 0.0;
    double next()
    {
        if (i < fine) {
            S = B + static_cast<double>(i) * h;
            ++i;
            return S;
        }
        const double xi = (static_cast<double>(i - fine) + 0.5) / M;
        ++i;
        const auto width = [this](double x) { return (A * x + E) * x * x + w0; };
        S += xi > 1.0 ? std::max(width(xi), width(1.0)) : width(xi);
        return S;
    }
};

GridNodes emitSinh(const SinhMap& map, double top, double dx, double maxBuilt)
{
    // The index of the first node at or above top, from the inverse map: a
    // grid well beyond the build limit is counted without a walk over its
    // nodes (the inverse may be one off the walk, which matters only near
    // the limit).
    const double last =
        std::ceil(map.N * (map.xi0 + std::asinh((top / map.P - 1.0) *
                                                std::sinh(map.alpha * map.xi0)) / map.alpha));
    if (std::isfinite(last) && last > maxBuilt + 1.0)
        return oversized(last + 1.0);
    return emitNodes(SinhGenerator{map}, top, std::numeric_limits<double>::infinity(), dx,
                     maxBuilt);
}

}  // namespace

void installGrid(DornTechOption& option, GridNodes&& g)
{
    if (!(g.count >= 1.0))
        barrierGridFailure();
    if (g.nodes.empty()) {
        option.grid.clear();
        option.nodeCount = g.count < static_cast<double>(std::numeric_limits<int32_t>::max())
                               ? static_cast<int32_t>(g.count)
                               : std::numeric_limits<int32_t>::max();
    } else {
        option.grid = std::move(g.nodes);
        option.nodeCount = static_cast<int32_t>(option.grid.size());
    }
    option.dx = g.dx;
    option.gridBuilt = true;
}

ExtentFactor extentFactor(double volatility, double expiry, int32_t numPeriods)
{
    const double periods = numPeriods > 1 ? static_cast<double>(numPeriods) : 1.0;
    const double c0 = 11.4 * std::pow(volatility * volatility * expiry / periods, 0.45);
    return {c0, std::max(1.5, c0)};
}

double SinhMap::at(double i) const
{
    if (i == 0.0)
        return 0.0;
    return P * (1.0 + std::sinh(alpha * (i / N - xi0)) / std::sinh(alpha * xi0));
}

bool anchorSinh(double alpha, double P, double X, double x, double& xi0)
{
    const double k = X / P - 1.0;
    const double u = (std::exp(alpha * x) + k) / (std::exp(-alpha * x) + k);
    if (!(u > 0.0) || !std::isfinite(u))
        return false;
    const double xi = std::log(u) / (2.0 * alpha);
    if (!(xi > 0.0) || !std::isfinite(xi))
        return false;
    xi0 = xi;
    return true;
}

int64_t nearestSinhNode(const SinhMap& map, double X)
{
    int64_t lo = 0;
    int64_t hi = static_cast<int64_t>(map.N);
    while (hi - lo > 1) {
        const int64_t mid = (lo + hi) / 2;
        if (map.at(static_cast<double>(mid)) < X)
            lo = mid;
        else
            hi = mid;
    }
    const double sLo = map.at(static_cast<double>(lo));
    const double sHi = map.at(static_cast<double>(hi));
    const int64_t node = sHi - X < X - sLo ? hi : lo;
    return std::max<int64_t>(1, node);
}

// ---- Continuous monitoring ------------------------------------------------

GridNodes doubleBarrierGrid(double L, double U, double K, int32_t assetSteps, double maxBuilt)
{
    const double h0 = K / assetSteps;
    const double W = U - L;
    const double base = std::floor(W / h0);
    double n = std::max(3.0, base);
    if (L < K && K < U) {
        // Look for a cell count that leaves the strike near the middle of a cell.
        for (int j = 0; j < 20; ++j) {
            n = std::max(3.0, base + j);
            const double dS = W / n;
            const double f = ((K - L) - std::floor((K - L) / dS) * dS) / dS;
            if (f > 0.4 && f < 0.6)
                break;
        }
    }
    GridNodes g = uniformNodes(L, W / n, n + 1.0, maxBuilt);
    if (!g.nodes.empty())
        g.nodes.back() = U;
    return g;
}

GridNodes downBarrierUniformGrid(double B, double K, int32_t assetSteps, int32_t m,
                                 double maxAsset, double maxBuilt)
{
    const double h0 = K / assetSteps;
    if (B < K) {
        const double n = std::max(1.0, std::floor((K - B) / h0));
        const double dx = (K - B) / (n + 0.5);
        const double span = maxAsset >= 2.0 * K ? maxAsset - K : (m - 1.0) * K;
        return uniformNodes(B, dx, n + std::floor(span / dx) + 2.0, maxBuilt);
    }
    double W, n;
    if (maxAsset >= 2.0 * K && maxAsset > B) {
        W = maxAsset - K;
        n = std::max(3.0, std::floor(W / h0));
    } else {
        W = (m - 1.0) * B;
        n = std::max(1.0, std::floor(W / h0));
    }
    return uniformNodes(B, W / n, n + 1.0, maxBuilt);
}

GridNodes downBarrierStretchedGrid(double B, double K, int32_t assetSteps, int32_t m,
                                   double maxAsset, double maxBuilt)
{
    const double h0 = K / assetSteps;
    double top, N;
    if (B <= K) {
        top = m * K;
        N = std::floor((m * K - B) / h0);
    } else {
        top = m * B;
        N = std::floor(m * B / h0);
    }
    N = std::max(1.0, N);
    if (maxAsset <= 0.0 && N + 1.0 > kMaxNodes)
        return oversized(N + 1.0);
    const double W = top - B;
    const double du = W / N;
    const double rho = (K - B) / W;
    const double top2 = maxAsset > 0.0 ? maxAsset : top;
    // Without a user maximum the grid is the first N + 1 points (fewer when
    // the points reach the top sooner).
    const double limit = maxAsset > 0.0 ? std::numeric_limits<double>::infinity() : N + 1.0;

    if (rho > 0.3) {
        const double xK = (std::floor(N * strikePosition(rho)) + 0.5) / N;
        const double a = sinhStretching(xK, W / (K - B));
        if (!std::isfinite(a) || !(a > 0.0))
            barrierGridFailure();
        return emitNodes(ShiftedSinhGenerator{B, K, a, xK, N}, top2, limit, h0, maxBuilt);
    }
    if (rho > 0.01) {
        const double q = (((-53.527 * rho + 12.695) * rho - 4.6445) * rho + 2.8035) * rho + 0.0099;
        const double xK = (std::floor(N * q) + 0.5) / N;
        // Widths with w(0) = 0.2 du, w(1) = 3.5 du, mean du, and the cells
        // below x_K adding up to K - B.
        const double Na = (2.0 * du - 0.2 * du - 3.5 * du) * xK * xK * xK +
                          (0.4 * du + 3.5 * du - 3.0 * du) * xK * xK - 0.2 * du * xK + du * rho;
        const double a = Na / ((xK * xK / 4.0) * (1.0 - xK) * (1.0 - xK));
        const double b = 3.0 * (3.5 * du + 0.2 * du - 2.0 * du - a / 2.0);
        const double c = 2.0 * (du - 0.2 * du - a / 4.0 - b / 3.0);
        return emitNodes(CubicWidthGenerator{a, b, c, 0.2 * du, N, B}, top2, limit, h0,
                         maxBuilt);
    }
    // Strike at or below the barrier's first cells: fine cells of 0.2 du up
    // to the strike (rho >= 0), then widths growing from 0.2 du to 0.65 x 3.5 du.
    int64_t fine = 1;
    double Wrest = W - 0.2 * du;
    if (rho >= 0.0) {
        fine = std::max<int64_t>(1, static_cast<int64_t>(std::floor((K - B) / (0.2 * du))));
        Wrest = W - (K - B);
    }
    const double M = std::max(1.0, N - static_cast<double>(fine));
    const double A = 4.0 * (0.65 * 3.5 * du) - 12.0 * Wrest / M + 8.0 * (0.2 * du);
    const double E = 0.65 * 3.5 * du - A - 0.2 * du;
    return emitNodes(FineThenCubicGenerator{B, 0.2 * du, fine, A, E, 0.2 * du, M}, top2, limit,
                     h0, maxBuilt);
}

GridNodes upBarrierGrid(double B, double K, int32_t assetSteps, int32_t minCellsBelowStrike,
                        double maxBuilt)
{
    const double h0 = K / assetSteps;
    if (B > K) {
        const double n = std::max(1.0, std::floor((B - K) / h0));
        const double dx = (B - K) / (n + 0.5);
        const double j = std::floor(B / dx);
        GridNodes g = offsetUniformNodes(0.0, B - (j - 1.0) * dx, dx, j + 1.0, maxBuilt);
        if (!g.nodes.empty())
            g.nodes.back() = B;
        return g;
    }
    if (B == K) {
        GridNodes g = uniformNodes(0.0, h0, assetSteps + 1.0, maxBuilt);
        if (!g.nodes.empty())
            g.nodes.back() = B;
        return g;
    }
    const double n = std::max(static_cast<double>(minCellsBelowStrike), std::floor(B / h0));
    GridNodes g = uniformNodes(0.0, B / n, n + 1.0, maxBuilt);
    if (!g.nodes.empty())
        g.nodes.back() = B;
    return g;
}

// ---- Discrete monitoring ----------------------------------------------------

GridNodes discreteDoubleBarrierUniformGrid(double L, double U, double K, int32_t assetSteps,
                                           double c, double maxAsset, double maxBuilt)
{
    const double h0 = K / assetSteps;
    const double sMax = c * U;
    const double W = U - L;
    const double n = std::max(3.0, std::floor(W / h0 + 0.5));
    const double dx = W / n;
    double first = L - (std::floor(L / dx) - 1.0) * dx;
    const double top = std::max(maxAsset, sMax);
    double count = std::floor(top / dx) + 1.0;
    if (first > 1.5 * dx) {
        first -= dx;
        count = std::floor(top / dx) + 2.0;
    }
    return offsetUniformNodes(0.0, first, dx, count, maxBuilt);
}

GridNodes discreteDoubleBarrierStretchedGrid(double L, double U, double K, int32_t assetSteps,
                                             double c, double P, double alpha, double maxAsset,
                                             double maxBuilt)
{
    const double h0 = K / assetSteps;
    const double sMax = c * U;
    const double N = std::floor(sMax / h0);
    // Node indices are whole numbers below N: a grid of that many cells is
    // beyond the solver whatever a user maximum would cut off.
    if (N + 1.0 > kMaxNodes)
        return oversized(N + 1.0);
    if (!(N >= 2.0))
        barrierGridFailure();

    // Anchor the far end at x = 1, then the barrier nearer P on its nearest
    // node; a strength that moves the grid too much is relaxed.
    SinhMap map{alpha, P, 0.0, N};
    const bool lowerNearer = std::fabs(P - L) <= std::fabs(U - P);
    const double X = lowerNearer ? L : U;
    const double Y = lowerNearer ? U : L;
    int64_t iX = 0;
    int64_t iY = 0;
    for (;;) {
        double xi0 = 0.0;
        if (!anchorSinh(map.alpha, P, sMax, 1.0, xi0))
            barrierGridFailure();
        map.xi0 = xi0;
        const int64_t iL = nearestSinhNode(map, L);
        const int64_t iU = nearestSinhNode(map, U);
        iX = lowerNearer ? iL : iU;
        iY = lowerNearer ? iU : iL;
        double xiX = 0.0;
        if (anchorSinh(map.alpha, P, X, iX / N, xiX) && std::fabs(xiX - xi0) < 0.02) {
            map.xi0 = xiX;
            break;
        }
        map.alpha -= 0.5;
        if (map.alpha < 3.0)
            barrierGridFailure();
    }

    // The node of the other barrier on the re-anchored grid.
    {
        double previous = 0.0;
        for (int64_t i = iY - 10; i <= iY + 9; ++i) {
            const double s = i > 0 ? map.at(static_cast<double>(i)) : 0.0;
            if (s > Y) {
                iY = Y - previous <= s - Y ? i - 1 : i;
                break;
            }
            previous = s;
        }
        iY = std::max<int64_t>(1, iY);
    }

    // Fit the strength so that node iY lands on Y with X kept on iX.
    const double xX = static_cast<double>(iX) / N;
    auto miss = [&](double a, double& xi) {
        if (!anchorSinh(a, P, X, xX, xi))
            barrierGridFailure();
        return SinhMap{a, P, xi, N}.at(static_cast<double>(iY)) - Y;
    };
    double xi = map.xi0;
    double xiProbe = 0.0;
    double D = miss(map.alpha, xi);
    const double D1 = miss(map.alpha + 0.01, xiProbe);
    double delta = 0.01 * D / (D - D1);
    if (std::fabs(delta) < 0.2 * map.alpha) {
        int steps = 0;
        while (std::fabs(D) > 0.0005 * K) {
            if (++steps > kMaxFitSteps)
                barrierGridFailure();
            map.alpha += delta;
            const double previousD = D;
            D = miss(map.alpha, xi);
            delta = (D > 0.0) == (previousD > 0.0) ? 0.5 * delta : -0.5 * delta;
        }
        map.xi0 = xi;
    }

    // The nodes of the fitted map up to the top.
    return emitSinh(map, maxAsset > 0.0 ? maxAsset : sMax, h0, maxBuilt);
}

GridNodes discreteSingleBarrierUniformGrid(double B, double K, int32_t assetSteps, double sMax,
                                           double maxAsset, double maxBuilt)
{
    const double h0 = K / assetSteps;
    const double dx = B / std::max(1.0, std::floor(B / h0));
    const double top = std::max(maxAsset, sMax);
    return uniformNodes(0.0, dx, std::floor(top / dx) + 1.0, maxBuilt);
}

GridNodes discreteSingleBarrierStretchedGrid(double B, double K, int32_t assetSteps, double sMax,
                                             double P, double alpha, double maxAsset,
                                             double maxBuilt)
{
    const double h0 = K / assetSteps;
    const double dx = B / std::max(1.0, std::floor(B / h0));
    const double N = std::floor(sMax / dx);
    if (N + 1.0 > kMaxNodes)
        return oversized(N + 1.0);
    if (!(N >= 2.0))
        barrierGridFailure();

    SinhMap map{alpha, P, 0.0, N};
    double xi0 = 0.0;
    if (!anchorSinh(alpha, P, sMax, 1.0, xi0))
        barrierGridFailure();
    map.xi0 = xi0;
    const int64_t iB = nearestSinhNode(map, B);
    double xiB = 0.0;
    if (anchorSinh(alpha, P, B, static_cast<double>(iB) / N, xiB)) {
        map.xi0 = xiB;
    } else {
        // Keep xi0 and move the strength instead until node iB lands on B.
        auto f = [&](double a) { return SinhMap{a, P, xi0, N}.at(static_cast<double>(iB)) - B; };
        double a1 = alpha / 1.02;
        double a2 = 1.02 * alpha;
        bool settled = false;
        for (int k = 0; k < 20; ++k) {
            const double f1 = f(a1);
            const double f2 = f(a2);
            const double delta = (a2 - a1) * f2 / (f2 - f1);
            if (!std::isfinite(delta))
                break;
            if (std::fabs(delta) < 1e-7) {
                settled = true;
                break;
            }
            a1 = a2;
            a2 -= delta;
        }
        if (!settled)
            barrierGridFailure();
        map.alpha = a2;
    }
    return emitSinh(map, maxAsset > 0.0 ? maxAsset : sMax, dx, maxBuilt);
}

}  // namespace tarvic
