#include "pde/dorn_tech_option.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "common/require.h"
#include "pde/grid_stretching.h"
#include "platform/memory_budget.h"

namespace tarvic {

DornTechOption::DornTechOption(double strike_, int32_t timeSteps_, double expiry_,
                               double volatility_, double intRate_, double divYield_,
                               int32_t assetSteps_, int32_t optionType_, int32_t exerciseType_,
                               int32_t discretization_, int32_t amerSolver_, double maxAsset_,
                               bool nonUniformGrid_, int32_t numPeriods_, int32_t upperBoundary_,
                               bool finalQuarterSteps_)
    : strike(strike_),
      expiry(expiry_),
      volatility(volatility_),
      intRate(intRate_),
      divYield(divYield_),
      maxAsset(maxAsset_),
      assetSteps(assetSteps_),
      timeSteps(timeSteps_),
      optionType(optionType_),
      discretization(discretization_),
      amerSolver(amerSolver_),
      numPeriods(numPeriods_),
      upperBoundary(upperBoundary_),
      exerciseType(exerciseType_),
      nonUniformGrid(nonUniformGrid_),
      finalQuarterSteps(finalQuarterSteps_)
{
    requireAtLeast(assetSteps, 1, "assetSteps");
    requireFinite(maxAsset, "maxAsset");
    requireCode(optionType, Call, PlanePut, "optionType");
    requireCode(upperBoundary, GivenValue, Linear, "upperBoundary");
    init();
    checkInputs();
}

DornTechOption::DornTechOption(const DornTechOption& other)
    : grid(other.grid),
      values(other.values),
      dx(other.dx),
      lowerValue(other.lowerValue),
      upperValue(other.upperValue),
      strike(other.strike),
      expiry(other.expiry),
      volatility(other.volatility),
      intRate(other.intRate),
      divYield(other.divYield),
      maxAsset(other.maxAsset),
      upperSlope(other.upperSlope),
      assetSteps(other.assetSteps),
      nodeCount(other.nodeCount),
      timeSteps(other.timeSteps),
      optionType(other.optionType),
      discretization(other.discretization),
      amerSolver(other.amerSolver),
      numPeriods(other.numPeriods),
      upperBoundary(other.upperBoundary),
      exerciseType(other.exerciseType),
      american(other.american),
      bermudan(other.bermudan),
      nonUniformGrid(other.nonUniformGrid),
      payoffReady(other.payoffReady),
      gridBuilt(other.gridBuilt),
      lowerFixed(other.lowerFixed),
      monitoringHook(other.monitoringHook),
      finalQuarterSteps(other.finalQuarterSteps),
      maxBuiltNodes(other.maxBuiltNodes),
      raiseNodeLimit(other.raiseNodeLimit),
      topAsset(other.topAsset),
      topCash(other.topCash),
      topWritten(other.topWritten),
      topTime(other.topTime)
{
}

DornTechOption::~DornTechOption() = default;

std::unique_ptr<DornTechOption> DornTechOption::clone() const
{
    if (typeid(*this) != typeid(DornTechOption))
        return nullptr;
    return std::make_unique<DornTechOption>(*this);
}

void DornTechOption::checkInputs() const
{
    // With a grid and start values from outside (the planes of an Asian
    // option) the strike is only the exercise level, which may be 0.
    if (startsFromOutside())
        requireNonNegative(strike, "strike");
    else
        requirePositive(strike, "strike");
    requirePositive(expiry, "expiry");
    requireNonNegative(volatility, "volatility");
    requireFinite(intRate, "intRate");
    requireFinite(divYield, "divYield");
    requireAtLeast(timeSteps, 2, "timeSteps");
    requireCode(discretization, Implicit, Rannacher, "discretization");
    if (american)
        requireCode(amerSolver, ProjectedSor, BrennanSchwartz, "amerSolver");
}

void DornTechOption::init()
{
    upperSlope = 1.0;
    nodeCount = 0;
    payoffReady = false;
    gridBuilt = false;
    lowerValue = -1.0;
    upperValue = -1.0;
    american = exerciseType == American;
    bermudan = exerciseType == Bermudan;
    monitoringHook = false;
    lowerFixed = -1;
}

int32_t DornTechOption::gridStdDevs()
{
    const double v = volatility * volatility * expiry;
    if (v <= 0.0907) return 3;
    if (v <= 0.1507) return 4;
    if (v <= 0.2507) return 5;
    if (v <= 0.4007) return 6;
    if (v <= 0.7507) return 9;
    return 12;
}

double DornTechOption::reachTop(double level) const
{
    return level * std::exp(kReachSpreads * volatility * std::sqrt(expiry));
}

namespace {

// The highest top an automatic grid is raised to, as a multiple of the
// strike: beyond it the coefficients sigma^2 S^2 of the top cells lose the
// strike's precision long before the grid's nodes run out.
constexpr double kMaxRaisedMultiple = 1e4;

}  // namespace

double DornTechOption::raisedTop(double autoTop, double level) const
{
    const double reach = reachTop(level);
    if (!(reach > autoTop))
        return 0.0;
    // Cells of about K / (assetSteps + 0.5), the spacing of the uniform
    // grids at the strike, within the node limit.
    const double withinNodes = strike * (raiseLimit() - 2.0) / (assetSteps + 0.5);
    const double top = std::min({reach, withinNodes, kMaxRaisedMultiple * strike});
    return top > autoTop ? top : 0.0;
}

namespace {

[[noreturn]] void gridFailure(const std::string& why)
{
    throw std::runtime_error("Cannot create grid: " + why);
}

}  // namespace

void DornTechOption::buildGrid()
{
    if (gridBuilt)
        return;
    const double K = strike;
    dx = K / (assetSteps + 0.5);
    grid.clear();

    if (!nonUniformGrid) {
        double n = maxAsset < 2.0 * K ? gridStdDevs() * K / dx : maxAsset / dx;
        // An automatic top short of where the asset still goes is raised.
        const double raised = maxAsset < 2.0 * K ? raisedTop(gridStdDevs() * K, K) : 0.0;
        if (raised > 0.0)
            n = raised / dx;
        const double count = std::trunc(n) + 1.0;
        if (!(count <= builtLimit())) {
            // Beyond what the caller accepts: report the size, keep no grid.
            nodeCount = count < std::numeric_limits<int32_t>::max()
                            ? static_cast<int32_t>(count)
                            : std::numeric_limits<int32_t>::max();
            gridBuilt = true;
            return;
        }
        nodeCount = static_cast<int32_t>(count);
        grid.resize(static_cast<size_t>(nodeCount));
        for (int32_t i = 0; i < nodeCount; ++i)
            grid[static_cast<size_t>(i)] = i * dx;
    } else {
        const int32_t m = gridStdDevs();
        const double sMax = m * K;
        const double M = std::trunc(sMax / dx);
        const double x = 1.0 / m;
        const double xi = (std::trunc(M * strikePosition(x)) + 0.5) / M;
        const double a = sinhStretching(xi, m);
        if (!std::isfinite(a) || !(a > 0.0))
            gridFailure("the stretching of the non-uniform grid did not settle.");
        double limit = maxAsset > 0.0 ? maxAsset : sMax;
        const double sinhAXi = std::sinh(a * xi);
        auto node = [&](double i) { return K * (1.0 + std::sinh(a * (i / M - xi)) / sinhAXi); };
        // An automatic top short of where the asset still goes is raised:
        // the same map continues above m K, its cells growing by e^(a / M)
        // a node, up to the node limit.
        if (!(maxAsset > 0.0) && reachTop(K) > sMax) {
            const double withinNodes = node(raiseLimit() - 2.0);  // may be +inf
            limit = std::max(sMax, std::min({reachTop(K), kMaxRaisedMultiple * K, withinNodes}));
        }
        // Index of the first node at or above the limit.
        double last = 0.0;
        if (limit > 0.0) {
            last = std::ceil(M * (xi + std::asinh((limit / K - 1.0) * sinhAXi) / a));
            if (!(last >= 0.0))
                last = 0.0;
            // The count from the inverse map may be one off the nodes the loop
            // below would make, so a count of one over the limit is built.
            if (last > builtLimit()) {
                nodeCount = last + 1.0 < std::numeric_limits<int32_t>::max()
                                ? static_cast<int32_t>(last + 1.0)
                                : std::numeric_limits<int32_t>::max();
                gridBuilt = true;
                return;
            }
        }
        // Nodes are appended while the last one is below the limit; the
        // first node at or above it closes the grid.
        grid.reserve(static_cast<size_t>(last) + 2);
        grid.push_back(0.0);
        for (double i = 1.0; grid.back() < limit; i += 1.0) {
            if (i > static_cast<double>(kMaxGridNodes))
                gridFailure("too many nodes.");
            grid.push_back(node(i));
        }
        nodeCount = static_cast<int32_t>(grid.size());
    }
    gridBuilt = true;
}

void DornTechOption::checkGrid() const
{
    if (grid.size() != static_cast<size_t>(nodeCount))
        gridFailure("the grid has " + std::to_string(nodeCount) + " nodes, too many to solve.");
    if (nodeCount < 5)
        gridFailure("the grid needs at least 5 nodes; increase the asset steps.");
    for (int32_t i = 1; i < nodeCount; ++i) {
        if (!(grid[static_cast<size_t>(i)] > grid[static_cast<size_t>(i - 1)]))
            gridFailure("the nodes are not increasing.");
    }
    // Beyond this the coefficients sigma^2 S^2 lose all precision. A grid
    // from outside was checked against its own strike where it was built.
    if (!startsFromOutside() && !(grid.back() <= 1e12 * strike))
        gridFailure("the maximum asset value is too large for the strike.");
}

void DornTechOption::copyGrid(std::vector<double>& out)
{
    if (nodeCount == 0)
        buildGrid();
    out.assign(grid.begin(), grid.end());
    out.resize(static_cast<size_t>(nodeCount), 0.0);
}

int32_t DornTechOption::prepareSolves(int32_t /*solves*/, int32_t sideBySide)
{
    lastNodeIndex();
    // A solve holds a few tens of vectors of at most the caller's nodes;
    // under an address-space limit the arenas and stacks of team threads
    // still to start are what may not fit. Without them there is nothing
    // to ask the system.
    int32_t threads = std::max(sideBySide, 1);
    const std::size_t team = teamAddressSpaceBytes(threads);
    if (team == 0)
        return threads;
    const std::size_t budget = memoryBudgetFor(static_cast<double>(team));
    while (threads > 1 && teamAddressSpaceBytes(threads) > budget)
        --threads;
    return threads;
}

int32_t DornTechOption::lastNodeIndex()
{
    if (nodeCount == 0)
        buildGrid();
    return nodeCount - 1;
}

void DornTechOption::payoff()
{
    if (payoffReady)
        return;
    values.assign(static_cast<size_t>(nodeCount), 0.0);
    const double K = strike;
    if (optionType == Call) {
        for (int32_t i = 0; i < nodeCount; ++i) {
            const double S = grid[static_cast<size_t>(i)];
            if (S > K)
                values[static_cast<size_t>(i)] = S - K;
        }
    } else if (optionType == Put) {
        for (int32_t i = 0; i < nodeCount; ++i) {
            const double S = grid[static_cast<size_t>(i)];
            if (K > S)
                values[static_cast<size_t>(i)] = K - S;
        }
    }
    if (upperValue > -1.0)
        values.back() = upperValue;
    if (lowerValue > -1.0)
        values.front() = lowerValue;
}

double DornTechOption::bermudanCallTop(double dt, int32_t level)
{
    const double SN = grid.back();
    const double VN = values.back();
    // Deep in the money a call is worth the asset, which pays the dividend
    // yield, less a cash amount discounted at the interest rate: each part
    // decays at its own rate from expiry, or from the exercise date that
    // last raised the top (a value the decay did not write).
    if (level == 1)
        topTime = 0.0;
    if (level == 1 || VN != topWritten) {
        topAsset = SN;
        topCash = SN - VN;
    }
    topTime += dt;
    topAsset *= std::exp(-divYield * dt);
    topCash *= std::exp(-intRate * dt);
    const double european = SN * std::exp(-divYield * topTime) - strike * std::exp(-intRate * topTime);
    topWritten = std::max(topAsset - topCash, european);
    return topWritten;
}

void DornTechOption::boundaryValues(double tau, int32_t level)
{
    double& V0 = values.front();
    double& VN = values.back();
    if (lowerValue == -1.0)
        lowerValue = V0;
    if (bermudan) {
        // tau is the length of the step just taken: the boundary values
        // decay from those set at the last exercise date.
        const double decay = std::exp(-intRate * tau);
        V0 *= decay;
        VN = optionType == Call && upperBoundary == GivenValue ? bermudanCallTop(tau, level)
                                                               : VN * decay;
        return;
    }
    const double discount = std::exp(-intRate * tau);
    V0 = discount * lowerValue;
    if (optionType == Call) {
        if (upperBoundary == GivenValue)
            VN = grid.back() * std::exp(-divYield * tau) - strike * discount;
    } else if (optionType == Put || optionType == PlanePut) {
        VN = 0.0;
    }
}

double DornTechOption::valueAt(double S, double tau) const
{
    const int32_t N = nodeCount - 1;
    int32_t lo = 0;
    int32_t hi = N;
    if (nonUniformGrid) {
        while (hi - lo > 1) {
            const int32_t mid = (lo + hi) / 2;
            const double Smid = grid[static_cast<size_t>(mid)];
            if (Smid > S)
                hi = mid;
            else if (S > Smid)
                lo = mid;
            else
                return values[static_cast<size_t>(mid)];
        }
    } else {
        // Levels beyond the grid fall into its last cell, below it into the first.
        const double cell = std::trunc(S / dx);
        lo = !(cell >= 0.0) ? 0 : cell >= N - 1 ? N - 1 : static_cast<int32_t>(cell);
        hi = lo + 1;
    }
    const double Slo = grid[static_cast<size_t>(lo)];
    const double Shi = grid[static_cast<size_t>(hi)];
    if (std::fabs(Slo - S) < 1e-9)
        return values[static_cast<size_t>(lo)];
    if (std::fabs(Shi - S) < 1e-9)
        return values[static_cast<size_t>(hi)];
    if (hi >= N) {
        if (optionType == Call)
            return S * std::exp(-divYield * tau) - strike * std::exp(-intRate * tau);
        if (optionType == Put)
            return 0.0;
    }
    const double w = (S - Slo) / (Shi - Slo);
    return (1.0 - w) * values[static_cast<size_t>(lo)] + w * values[static_cast<size_t>(hi)];
}

double DornTechOption::interpolateRecord(const std::vector<TimedRecord>& records, double t)
{
    const int n = static_cast<int>(records.size());
    if (n == 0)
        return 0.0;
    if (n == 1)
        return records[0].second;
    int lo = 0;
    int hi = n - 1;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        const double tm = records[static_cast<size_t>(mid)].first;
        if (tm > t)
            hi = mid;
        else if (t > tm)
            lo = mid;
        else
            return records[static_cast<size_t>(mid)].second;
    }
    if (std::fabs(records[static_cast<size_t>(lo)].first - t) < 1e-9)
        return records[static_cast<size_t>(lo)].second;
    if (std::fabs(records[static_cast<size_t>(hi)].first - t) < 1e-9)
        return records[static_cast<size_t>(hi)].second;
    if (lo >= n - 1 || hi >= n - 1)
        return records.back().second;
    const double t0 = records[static_cast<size_t>(lo)].first;
    const double t1 = records[static_cast<size_t>(hi)].first;
    const double w = (t - t0) / (t1 - t0);
    return (1.0 - w) * records[static_cast<size_t>(lo)].second +
           w * records[static_cast<size_t>(hi)].second;
}

void DornTechOption::setupCoefficients(std::vector<double>& lowerV, std::vector<double>& diagV,
                                       std::vector<double>& upperV, double dt,
                                       int32_t mode) const
{
    if (mode != 0 && mode != 1)
        return;
    const double theta = mode == 0 ? 1.0 : 0.5;
    const int32_t N = nodeCount - 1;
    const double* S = grid.data();
    double* lower = lowerV.data();
    double* diag = diagV.data();
    double* upper = upperV.data();
    const double s2 = volatility * volatility;
    const double r = intRate;
    const double mu = intRate - divYield;
    // The drift is differenced centrally, except at the nodes that carry
    // the value where the cell Peclet number |mu| h / (sigma^2 S) passes 1
    // (h the cell below for r > q, above for r < q): there a central
    // difference gives that neighbour a negative weight and the solution
    // oscillates, so the drift is taken one-sided from upstream.
    const ValueBand band = valueBand(kBandStdDevs, true);
    const auto carriesValue = [&](int32_t i) {
        return S[i + 1] > band.low && S[i - 1] < band.high;
    };

    if (nonUniformGrid) {
        for (int32_t i = 1; i < N; ++i) {
            const double hm = S[i] - S[i - 1];
            const double hp = S[i + 1] - S[i];
            const double H = hm + hp;
            const double S2 = s2 * S[i] * S[i];
            if ((mu * hm > s2 * S[i] || -mu * hp > s2 * S[i]) && carriesValue(i)) {
                const double alpha = S2 / (H * hm) + (mu < 0.0 ? -mu * S[i] / hm : 0.0);
                const double beta = S2 / (H * hp) + (mu > 0.0 ? mu * S[i] / hp : 0.0);
                lower[i] = theta * dt * alpha;
                upper[i] = theta * dt * beta;
                diag[i] = -1.0 - theta * dt * (r + alpha + beta);
                continue;
            }
            const double alpha = S2 / (H * hm) - mu * S[i] / H;
            const double beta = S2 / (H * hp) + mu * S[i] / H;
            lower[i] = theta * dt * alpha;
            upper[i] = theta * dt * beta;
            diag[i] = mode == 0 ? -1.0 - dt * (r + S2 / (hm * hp))
                                : -1.0 - theta * dt * (r + alpha + beta);
        }
    } else {
        for (int32_t i = 1; i < N; ++i) {
            const double j = S[i] / dx;
            const double j2 = s2 * j * j;
            if (std::fabs(mu) > s2 * j && carriesValue(i)) {
                const double drift = std::fabs(mu) * j;
                lower[i] = theta * dt * (j2 / 2.0 + (mu < 0.0 ? drift : 0.0));
                upper[i] = theta * dt * (j2 / 2.0 + (mu > 0.0 ? drift : 0.0));
                diag[i] = -1.0 - theta * dt * (j2 + drift + r);
                continue;
            }
            lower[i] = theta * dt * (j2 - mu * j) / 2.0;
            upper[i] = theta * dt * (j2 + mu * j) / 2.0;
            diag[i] = -1.0 - theta * dt * (j2 + r);
        }
        if ((S[1] - S[0]) - dx > 1e-6) {
            // Row 1 takes its lower neighbour at x* = S_1 - dx, interpolated
            // quadratically through S_0, S_1, S_2.
            const double xs = S[1] - dx;
            const double w0 = (xs - S[1]) * (xs - S[2]) / ((S[0] - S[1]) * (S[0] - S[2]));
            const double w1 = (xs - S[0]) * (xs - S[2]) / ((S[1] - S[2]) * (S[1] - S[0]));
            const double w2 = (xs - S[0]) * (xs - S[1]) / ((S[2] - S[0]) * (S[2] - S[1]));
            const double L1 = lower[1];
            lower[1] += L1 * (w0 - 1.0);
            diag[1] += L1 * w1;
            upper[1] += L1 * w2;
        }
    }

    if (upperBoundary == GivenSlope) {
        lower[N - 1] += upper[N - 1];
    } else if (upperBoundary == Linear) {
        const double h1 = S[N] - S[N - 1];
        const double h0 = S[N - 1] - S[N - 2];
        lower[N - 1] -= (h1 / h0) * upper[N - 1];
        diag[N - 1] += ((h0 + h1) / h0) * upper[N - 1];
        upper[N - 1] = 0.0;
    }

    if (lowerFixed == 0 && putLikeLowerEnd()) {
        const double h0 = S[1] - S[0];
        const double h1 = S[2] - S[1];
        diag[1] += ((h0 + h1) / h1) * lower[1];
        upper[1] -= (h0 / h1) * lower[1];
        lower[1] = 0.0;
    }
}

DornTechOption::ValueBand DornTechOption::valueBand(double stdDevs, bool drift) const
{
    // The drift carries a kink at K to K e^(-(r - q) T) in today's values.
    const ValueLevels v = valueLevels();
    const double spread = stdDevs * volatility * std::sqrt(v.expiry);
    const double shift = drift ? -(intRate - divYield) * v.expiry : 0.0;
    return {v.low * std::exp(std::min(shift, 0.0) - spread),
            v.high * std::exp(std::max(shift, 0.0) + spread)};
}

void DornTechOption::checkDriftResolved(const std::vector<double>& gamma) const
{
    const ValueLevels levels = valueLevels();
    const ValueBand core = valueBand(kCoreStdDevs, true);
    const int32_t N = nodeCount - 1;
    const double* S = grid.data();
    const double s2 = volatility * volatility;
    const double mu = intRate - divYield;
    const double tolerance = kDriftErrorFraction * std::max(strike, levels.high);
    double worstPeclet = 0.0;
    int32_t worstNode = -1;
    for (int32_t i = 1; i < N; ++i) {
        if (!(S[i + 1] > core.low && S[i - 1] < core.high))
            continue;
        const double h = !nonUniformGrid ? dx : mu > 0.0 ? S[i] - S[i - 1] : S[i + 1] - S[i];
        const double peclet = std::fabs(mu) * h / (s2 * S[i]);
        if (!(peclet > 1.0))
            continue;
        const double curvature = std::fabs(gamma[static_cast<size_t>(i)]);
        const double smear = 0.5 * std::fabs(mu) * S[i] * h * curvature * levels.expiry;
        if (smear > tolerance && peclet > worstPeclet) {
            worstPeclet = peclet;
            worstNode = i;
        }
    }
    if (worstNode >= 0)
        throw std::runtime_error(driftUnresolvedText(worstPeclet, S[worstNode], assetSteps));
}

std::string driftUnresolvedText(double peclet, double S, int32_t assetSteps)
{
    // "." as the decimal point whatever the locale.
    const auto number = [](std::chars_format format, int precision, double x) {
        char digits[64];
        const auto end = std::to_chars(digits, digits + sizeof digits, x, format, precision).ptr;
        return std::string(digits, end);
    };
    const double steps = std::ceil(2.0 * peclet * assetSteps);
    std::string text = "The drift r - q outruns the volatility on this grid: near S = " +
                       number(std::chars_format::general, 4, S) + " one asset step spans " + number(std::chars_format::general, 3, peclet) +
                       " times the distance over which the volatility evens out the drift "
                       "(|r - q| dS / (sigma^2 S) above 1), and the finite differences cannot "
                       "resolve the contract. ";
    if (steps <= kMaxSuggestedAssetSteps)
        text += "Raise assetSteps to at least " + number(std::chars_format::fixed, 0, steps) +
                ", or raise the volatility.";
    else
        text += "No grid within the program's limits resolves it: raise the volatility, or bring "
                "intRate and divYield closer together.";
    return text;
}

void DornTechOption::gridGreeks(std::vector<double>& deltaV, std::vector<double>& gammaV) const
{
    const int32_t N = nodeCount - 1;
    const double* S = grid.data();
    const double* V = values.data();
    double* delta = deltaV.data();
    double* gamma = gammaV.data();

    if (nonUniformGrid) {
        for (int32_t i = 1; i < N; ++i) {
            const double hm = S[i] - S[i - 1];
            const double hp = S[i + 1] - S[i];
            const double H = hm + hp;
            delta[i] = -hp / (H * hm) * V[i - 1] + (hp / (H * hm) - hm / (H * hp)) * V[i] +
                       hm / (H * hp) * V[i + 1];
            gamma[i] = 2.0 / (H * hm) * V[i - 1] - (2.0 / (H * hp) + 2.0 / (H * hm)) * V[i] +
                       2.0 / (H * hp) * V[i + 1];
        }
        double h0 = S[1] - S[0];
        double h1 = S[2] - S[1];
        delta[0] = -(2.0 * h0 + h1) / ((h0 + h1) * h0) * V[0] + (h0 + h1) / (h0 * h1) * V[1] -
                   h0 / ((h0 + h1) * h1) * V[2];
        h0 = S[N - 1] - S[N - 2];
        h1 = S[N] - S[N - 1];
        delta[N] = h1 / ((h0 + h1) * h0) * V[N - 2] - (h0 + h1) / (h0 * h1) * V[N - 1] +
                   (2.0 * h1 + h0) / ((h0 + h1) * h1) * V[N];
        gamma[0] = 3.0 * gamma[1] - 3.0 * gamma[2] + gamma[3];
        gamma[N] = 3.0 * gamma[N - 1] - 3.0 * gamma[N - 2] + gamma[N - 3];
        return;
    }

    const double h = dx;
    for (int32_t i = 1; i < N; ++i) {
        delta[i] = (V[i + 1] - V[i - 1]) / (2.0 * h);
        gamma[i] = (V[i + 1] - 2.0 * V[i] + V[i - 1]) / (h * h);
    }
    delta[0] = (4.0 * V[1] - 3.0 * V[0] - V[2]) / (2.0 * h);
    delta[N] = (3.0 * V[N] - 4.0 * V[N - 1] + V[N - 2]) / (2.0 * h);
    gamma[0] = (2.0 * V[0] - 5.0 * V[1] + 4.0 * V[2] - V[3]) / (h * h);
    gamma[N] = (2.0 * V[N] - 5.0 * V[N - 1] + 4.0 * V[N - 2] - V[N - 3]) / (h * h);

    if ((S[1] - S[0]) - h > 1e-6) {
        // Longer first cell: one-sided forms at node 1, and node 0 through the
        // virtual point x* = S_1 - dx, then shifted from x* back to S_0.
        delta[1] = (4.0 * V[2] - 3.0 * V[1] - V[3]) / (2.0 * h);
        gamma[1] = (2.0 * V[1] - 5.0 * V[2] + 4.0 * V[3] - V[4]) / (h * h);
        const double xs = S[1] - h;
        const double w0 = (xs - S[1]) * (xs - S[2]) / ((S[0] - S[1]) * (S[0] - S[2]));
        const double w1 = (xs - S[0]) * (xs - S[2]) / ((S[1] - S[2]) * (S[1] - S[0]));
        const double w2 = (xs - S[0]) * (xs - S[1]) / ((S[2] - S[0]) * (S[2] - S[1]));
        const double Vs = w0 * V[0] + w1 * V[1] + w2 * V[2];
        delta[0] = (4.0 * V[1] - 3.0 * Vs - V[2]) / (2.0 * h);
        gamma[0] = (2.0 * Vs - 5.0 * V[1] + 4.0 * V[2] - V[3]) / (h * h);
        const double e = S[1] - S[0] - h;
        delta[0] -= e * gamma[0];
        gamma[0] -= e * (gamma[2] - gamma[1]) / h;
    }
}

void DornTechOption::price(std::vector<double>& gridOut, std::vector<double>& valueOut,
                           std::vector<double>& deltaOut, std::vector<double>& gammaOut,
                           std::vector<double>& thetaOut)
{
    PdeResults results;
    solvePde(results, true, 0.0, nullptr, 0.0, nullptr);
    gridOut = std::move(results.grid);
    valueOut = std::move(results.value);
    deltaOut = std::move(results.delta);
    gammaOut = std::move(results.gamma);
    thetaOut = std::move(results.theta);
}

}  // namespace tarvic
