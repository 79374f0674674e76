#include "pde/knock_out_options.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/require.h"
#include "pde/barrier_grids.h"

namespace tarvic {

namespace {

constexpr double kNoUpperBarrier = std::numeric_limits<double>::infinity();

// Node whose cell [mL, mR] (faces halfway to the neighbours) holds level X,
// found from the first node above X; -1 when no node lies above X.
int64_t cellOf(const std::vector<double>& S, double X)
{
    const auto it = std::upper_bound(S.begin(), S.end(), X);
    if (it == S.end())
        return -1;
    const int64_t i = it - S.begin();
    if (i == 0)
        return 0;
    return X <= 0.5 * (S[static_cast<size_t>(i - 1)] + S[static_cast<size_t>(i)]) ? i - 1 : i;
}

struct Cell {
    double left;
    double right;
};

Cell cellFaces(const std::vector<double>& S, int64_t j)
{
    const int64_t N = static_cast<int64_t>(S.size()) - 1;
    const auto at = [&](int64_t k) { return S[static_cast<size_t>(k)]; };
    return {j > 0 ? 0.5 * (at(j - 1) + at(j)) : at(j), j < N ? 0.5 * (at(j) + at(j + 1)) : at(j)};
}

// Integral of the call or put payoff over [a, b].
double payoffIntegral(double a, double b, double K, int32_t optionType)
{
    if (!(b > a))
        return 0.0;
    if (optionType == DornTechOption::Call) {
        const double lo = std::max(a, K);
        return b > lo ? 0.5 * ((b - K) * (b - K) - (lo - K) * (lo - K)) : 0.0;
    }
    if (optionType == DornTechOption::Put) {
        const double hi = std::min(b, K);
        return hi > a ? 0.5 * ((K - a) * (K - a) - (K - hi) * (K - hi)) : 0.0;
    }
    return 0.0;
}

// Average over the cell of node j of the payoff alive on [lower, upper].
void averageCell(const std::vector<double>& S, std::vector<double>& V, int64_t j, double K,
                 int32_t optionType, double lower, double upper)
{
    if (j < 0)
        return;
    const Cell cell = cellFaces(S, j);
    if (!(cell.right > cell.left))
        return;
    const double a = std::max(cell.left, lower);
    const double b = std::min(cell.right, upper);
    V[static_cast<size_t>(j)] = payoffIntegral(a, b, K, optionType) / (cell.right - cell.left);
}

// Integral over [a, b] of the quadratic through the values W at node j and
// its two neighbours (the nearest interior triple at the ends of the grid).
double quadraticIntegral(const std::vector<double>& S, const std::vector<double>& W, int64_t j,
                         double a, double b)
{
    const int64_t N = static_cast<int64_t>(S.size()) - 1;
    const auto c = static_cast<size_t>(std::min(std::max<int64_t>(j, 1), N - 1));
    const double hm = S[c] - S[c - 1];
    const double hp = S[c + 1] - S[c];
    const double dm = W[c - 1] - W[c];
    const double dp = W[c + 1] - W[c];
    // q(y) = W_c + beta y + alpha y^2 with y = S - S_c.
    const double alpha = (dp / hp + dm / hm) / (hp + hm);
    const double beta = dp / hp - alpha * hp;
    const double y0 = a - S[c];
    const double y1 = b - S[c];
    return W[c] * (y1 - y0) + beta * (y1 * y1 - y0 * y0) / 2.0 +
           alpha * (y1 * y1 * y1 - y0 * y0 * y0) / 3.0;
}

// The stretching rule shared by the single barriers: 3.5 when the clustering
// point is further than d from the barrier, rising towards 3.5 + a at it.
double strengthNear(double barrier, double point, double d, double a)
{
    return std::max(3.5, (1.0 - std::fabs(barrier - point) / d) * a + 3.5);
}

void requireSpot(double spot)
{
    requireNonNegative(spot, "spot");
}

}  // namespace

void discreteKnockOutPayoff(const std::vector<double>& S, std::vector<double>& V, double K,
                            int32_t optionType, double lower, double upper)
{
    V.assign(S.size(), 0.0);
    for (size_t i = 0; i < S.size(); ++i) {
        if (S[i] < lower || S[i] > upper)
            continue;
        if (optionType == DornTechOption::Call && S[i] > K)
            V[i] = S[i] - K;
        else if (optionType == DornTechOption::Put && S[i] < K)
            V[i] = K - S[i];
    }
    if (S.size() < 2)
        return;
    // The cells of the barriers and of the strike take the exact cell
    // average of the live payoff: the payoff is not smooth there.
    if (lower > 0.0)
        averageCell(S, V, cellOf(S, lower), K, optionType, lower, upper);
    if (upper < kNoUpperBarrier)
        averageCell(S, V, cellOf(S, upper), K, optionType, lower, upper);
    if (K >= lower && K <= upper)
        averageCell(S, V, cellOf(S, K), K, optionType, lower, upper);
}

void applyLowerBarrier(const std::vector<double>& S, std::vector<double>& V, double X)
{
    if (S.size() < 3)
        return;
    const int64_t j = cellOf(S, X);
    if (j < 0) {
        std::fill(V.begin(), V.end(), 0.0);
        return;
    }
    // The quadratic is fitted to the values before any is knocked out.
    const Cell cell = cellFaces(S, j);
    if (cell.right > cell.left)
        V[static_cast<size_t>(j)] =
            cell.right > X ? quadraticIntegral(S, V, j, std::max(X, cell.left), cell.right) /
                                 (cell.right - cell.left)
                           : 0.0;
    for (int64_t k = 0; k < j; ++k)
        V[static_cast<size_t>(k)] = 0.0;
}

void applyUpperBarrier(const std::vector<double>& S, std::vector<double>& V, double X)
{
    if (S.size() < 3)
        return;
    const int64_t j = cellOf(S, X);
    if (j < 0)
        return;
    const Cell cell = cellFaces(S, j);
    if (cell.right > cell.left)
        V[static_cast<size_t>(j)] =
            X > cell.left ? quadraticIntegral(S, V, j, cell.left, std::min(X, cell.right)) /
                                (cell.right - cell.left)
                          : 0.0;
    for (size_t k = static_cast<size_t>(j) + 1; k < V.size(); ++k)
        V[k] = 0.0;
}

// ---- Double knock-out ---------------------------------------------------------

DornTechDBOOption::DornTechDBOOption(const BarrierContract& c)
    : DornTechBarrierOption(c),
      lowerBarrier(c.lowerBarrier),
      upperBarrier(c.upperBarrier),
      contMonitoring(c.contMonitoring)
{
    const double spot = c.spot;
    requireSpot(spot);
    requirePositive(lowerBarrier, "lowerBarrier");
    requirePositive(upperBarrier, "upperBarrier");
    if (!(upperBarrier > lowerBarrier))
        fail("Invalid input: upperBarrier must be above lowerBarrier.");
    if (contMonitoring) {
        upperBoundary = GivenValue;
        lowerValue = 0.0;
        upperValue = 0.0;
    } else {
        monitoringHook = numPeriods > 1;
        clusteringPoint = std::min(upperBarrier, std::max(spot, lowerBarrier));
        if (optionType == Call && exerciseType == American)
            upperBoundary = Linear;
    }
}

double DornTechDBOOption::clusteringStrength() const
{
    return clusteringStrength(optionType != Call);
}

double DornTechDBOOption::clusteringStrength(bool put) const
{
    const ExtentFactor e = extentFactor(volatility, expiry, numPeriods);
    const double L = lowerBarrier;
    const double U = upperBarrier;
    const double P = clusteringPoint;
    const double d = put ? (1.2 * e.c - 1.0) * L : (e.c - 1.0) * U;
    if (L + d < P && P < U - d)
        return 3.5;
    const double dist = put ? std::fabs(L - P) : std::min(std::fabs(P - L), std::fabs(U - P));
    const double a = e.c0 <= 1.3 ? 5.0 : e.c0 <= 3.0 ? 5.0 - (e.c0 - 1.3) * 5.0 / 1.7 : 0.0;
    return std::max(3.5, (1.0 - dist / d) * a + 3.5);
}

void DornTechDBOOption::buildGrid()
{
    if (gridBuilt)
        return;
    const double L = lowerBarrier;
    const double U = upperBarrier;
    if (contMonitoring) {
        installGrid(*this, doubleBarrierGrid(L, U, strike, assetSteps, builtLimit()));
        return;
    }
    const ExtentFactor e = extentFactor(volatility, expiry, numPeriods);
    // The uniform grid puts at least three cells between the barriers at
    // one spacing over the whole grid: a corridor narrower than one asset
    // step would refine every cell up to the top by more than three times
    // (some 150 times for a corridor of 0.02 at 100 steps to a strike of
    // 100), and projected SOR, whose sweeps grow with the square of the
    // nodes, would run for hours.
    if (!nonUniformGrid && U - L < strike / assetSteps)
        fail("Invalid input: the corridor between lowerBarrier and upperBarrier is narrower "
             "than one asset step (strike / assetSteps) on the uniform grid; widen the corridor, "
             "raise assetSteps or use the non-uniform grid.");
    if (!nonUniformGrid)
        installGrid(*this, discreteDoubleBarrierUniformGrid(L, U, strike, assetSteps, e.c,
                                                            maxAsset, builtLimit()));
    else
        installGrid(*this, stretchedGrid(e));
}

GridNodes DornTechDBOOption::stretchedGrid(const ExtentFactor& e) const
{
    const auto build = [&](double strength) {
        return discreteDoubleBarrierStretchedGrid(lowerBarrier, upperBarrier, strike, assetSteps,
                                                  e.c, clusteringPoint, strength, maxAsset,
                                                  builtLimit());
    };
    // A put clusters about the lower barrier, a call about both; where no
    // grid settles from the option's own strength, it takes the grid the
    // other type builds at the same inputs.
    const bool put = optionType != Call;
    try {
        return build(clusteringStrength(put));
    } catch (const std::runtime_error&) {
        return build(clusteringStrength(!put));
    }
}

void DornTechDBOOption::payoff()
{
    if (contMonitoring) {
        DornTechOption::payoff();
        return;
    }
    if (payoffReady)
        return;
    discreteKnockOutPayoff(grid, values, strike, optionType, lowerBarrier, upperBarrier);
}

void DornTechDBOOption::boundaryValues(double /*tau*/, int32_t /*level*/)
{
    values.front() = 0.0;
    values.back() = 0.0;
}

void DornTechDBOOption::onMonitoringStep()
{
    applyLowerBarrier(grid, values, lowerBarrier);
    applyUpperBarrier(grid, values, upperBarrier);
}

// ---- Down-and-out -------------------------------------------------------------

DornTechDOBOption::DornTechDOBOption(const BarrierContract& c)
    : DornTechBarrierOption(c),
      barrier(c.lowerBarrier),
      contMonitoring(c.contMonitoring),
      spot(c.spot)
{
    requireSpot(spot);
    requirePositive(barrier, "lowerBarrier");
    const double K = strike;
    const double B = barrier;
    if (contMonitoring) {
        lowerValue = 0.0;
    } else {
        monitoringHook = numPeriods > 1;
        clusteringPoint = optionType == Call
                              ? std::min(1.5 * std::max(1.5 * B, K), std::max(spot, std::min(B, K)))
                              : std::max(B, std::min(spot, K));
    }
}

double DornTechDOBOption::clusteringStrength() const
{
    const ExtentFactor e = extentFactor(volatility, expiry, numPeriods);
    const double d = (1.2 * e.c - 1.0) * barrier;
    if (barrier + d < clusteringPoint)
        return 3.5;
    return strengthNear(barrier, clusteringPoint, d, 5.0);
}

void DornTechDOBOption::buildGrid()
{
    if (gridBuilt)
        return;
    const double K = strike;
    const double B = barrier;
    const int32_t m = gridStdDevs();
    if (contMonitoring) {
        // An automatic top short of where the asset still goes is raised as
        // a caller's maximum asset would raise it.
        const double autoTop = m * std::max(K, B);
        const double raised = maxAsset > 0.0 ? 0.0 : raisedTop(autoTop, std::max(K, spot));
        const double top = raised > 0.0 ? raised : maxAsset;
        installGrid(*this,
                    nonUniformGrid
                        ? downBarrierStretchedGrid(B, K, assetSteps, m, top, builtLimit())
                        : downBarrierUniformGrid(B, K, assetSteps, m, top, builtLimit()));
        return;
    }
    // The extent follows the whole life of the option, not one period; a
    // high barrier with a long, volatile life needs more room above it.
    const double v = volatility * volatility * expiry;
    const double c1 = std::max(1.5, 11.4 * std::pow(v, 0.45));
    double mTop = m;
    if (v > 0.5 && B / K > 1.3)
        mTop *= std::min(5.0, 5.0 * (v - 0.5) + 1.0);
    const double sMax = std::max(c1 * B, mTop * K + B);
    clusteringPoint = std::min(clusteringPoint, sMax);
    // An automatic top short of where the asset still goes is raised as a
    // caller's maximum asset would raise it.
    const double raised = maxAsset > 0.0 ? 0.0 : raisedTop(sMax, std::max(K, spot));
    const double top = raised > 0.0 ? raised : maxAsset;
    if (!nonUniformGrid)
        installGrid(*this, discreteSingleBarrierUniformGrid(B, K, assetSteps, sMax, top,
                                                            builtLimit()));
    else
        installGrid(*this, discreteSingleBarrierStretchedGrid(B, K, assetSteps, sMax,
                                                              clusteringPoint,
                                                              clusteringStrength(), top,
                                                              builtLimit()));
}

void DornTechDOBOption::payoff()
{
    if (contMonitoring) {
        DornTechOption::payoff();
        return;
    }
    if (payoffReady)
        return;
    discreteKnockOutPayoff(grid, values, strike, optionType, barrier, kNoUpperBarrier);
}

void DornTechDOBOption::boundaryValues(double t, int32_t level)
{
    double& V0 = values.front();
    double& VN = values.back();
    if (optionType == Call) {
        V0 = 0.0;
        // The top of the barrier's grids is a given value: a Bermudan's
        // never falls below the European one (bermudanCallTop).
        if (bermudan)
            VN = bermudanCallTop(t, level);
        else
            VN = grid.back() * std::exp(-divYield * t) - strike * std::exp(-intRate * t);
    } else if (optionType == Put) {
        V0 = 0.0;
        VN = 0.0;
    }
}

void DornTechDOBOption::onMonitoringStep() { applyLowerBarrier(grid, values, barrier); }

// ---- Up-and-out ---------------------------------------------------------------

DornTechUOBOption::DornTechUOBOption(const BarrierContract& c)
    : DornTechBarrierOption(c), barrier(c.upperBarrier), contMonitoring(c.contMonitoring)
{
    const double spot = c.spot;
    requireSpot(spot);
    requirePositive(barrier, "upperBarrier");
    const double K = strike;
    const double B = barrier;
    if (contMonitoring) {
        upperBoundary = GivenValue;
        upperValue = 0.0;
    } else {
        monitoringHook = numPeriods > 1;
        const double S = spot == 0.0 ? K : spot;
        const double c = extentFactor(volatility, expiry, numPeriods).c;
        clusteringPoint = optionType == Call
                              ? std::min(B, std::max(S, K))
                              : std::min(std::min(K, c * B), std::max(S, 0.5 * std::min(K, 0.5 * B)));
        if (optionType == Call && exerciseType == American)
            upperBoundary = Linear;
    }
}

double DornTechUOBOption::clusteringStrength() const
{
    const double c = extentFactor(volatility, expiry, numPeriods).c;
    const double d = (c - 1.0) * barrier;
    if (barrier - d > clusteringPoint)
        return 3.5;
    const double a = c > 3.0 ? 0.0 : 5.0 - (c - 1.3) * 5.0 / 1.7;
    return strengthNear(barrier, clusteringPoint, d, a);
}

void DornTechUOBOption::buildGrid()
{
    if (gridBuilt)
        return;
    const double K = strike;
    const double B = barrier;
    if (contMonitoring) {
        installGrid(*this, upBarrierGrid(B, K, assetSteps, 10, builtLimit()));
        return;
    }
    const double sMax =
        optionType == Call ? extentFactor(volatility, expiry, numPeriods).c * B : K * gridStdDevs();
    clusteringPoint = std::min(clusteringPoint, sMax);
    if (!nonUniformGrid)
        installGrid(*this, discreteSingleBarrierUniformGrid(B, K, assetSteps, sMax, maxAsset,
                                                            builtLimit()));
    else
        installGrid(*this, discreteSingleBarrierStretchedGrid(B, K, assetSteps, sMax,
                                                              clusteringPoint,
                                                              clusteringStrength(), maxAsset,
                                                              builtLimit()));
}

void DornTechUOBOption::payoff()
{
    if (contMonitoring) {
        DornTechOption::payoff();
        return;
    }
    if (payoffReady)
        return;
    discreteKnockOutPayoff(grid, values, strike, optionType, 0.0, barrier);
}

void DornTechUOBOption::boundaryValues(double t, int32_t /*level*/)
{
    double& V0 = values.front();
    double& VN = values.back();
    if (bermudan) {
        V0 *= std::exp(-intRate * t);
        VN = 0.0;
    } else if (optionType == Call) {
        V0 = 0.0;
        VN = 0.0;
    } else if (optionType == Put) {
        V0 = strike * std::exp(-intRate * t);
        VN = 0.0;
    }
}

void DornTechUOBOption::onMonitoringStep() { applyUpperBarrier(grid, values, barrier); }

}  // namespace tarvic
