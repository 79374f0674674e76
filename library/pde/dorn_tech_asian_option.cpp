// The driver of the Asian planes: grid and planes, the fixing schedule, the
// payoff at expiry and the backward sweep period by period.

#include "pde/dorn_tech_asian_option.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include <omp.h>

#include "common/parallel_loop.h"
#include "common/require.h"
#include "pde/dorn_tech_option_as.h"
#include "pde/plane_group.h"
#include "platform/memory_budget.h"

namespace tarvic {

namespace {

// Node-steps of a period that pay for one more thread solving planes.
constexpr double kNodeStepsPerThread = 50000.0;

// The planes may hold at most this many GiB.
constexpr double kPlanesGiB = 3.6;
// Working vectors of the plane solves: a workspace for each thread, the
// coefficients shared by all, the grids and start values of the plane
// solver, and the last period's solve with its results (its levels,
// coefficients, factors and outputs, and the results the frame keeps of
// the valuation it bumps).
constexpr std::size_t kVectorsPerThread = PlaneGroupSolver::kWorkspaceDoublesPerNode;
constexpr std::size_t kSharedVectors = PlaneGroupSolver::kSharedDoublesPerNode + 16 + 24;
// What a valuation holds whatever its size: the allocator's own blocks and
// the rounding of each block to pages, the stacks and small tables of the
// solves (measured at about 1.5 MiB).
constexpr std::size_t kFixedBytes = std::size_t{4} << 20;
// The longest sweep accepted: periods times steps per period.
constexpr long long kMaxTotalSteps = 100'000'000LL;
// The most fixings the program offers; each is one period of plane solves.
constexpr int32_t kMaxFixings = 5000;

}  // namespace

DornTechAsianOption::DornTechAsianOption(
    double spot_, double strike_, double expiry_, double volatility_, double intRate_,
    double divYield_, double settledAverage_, double firstFixingTime_, int32_t timeSteps_,
    int32_t assetSteps_, int32_t planeSpacing_, int32_t numFixings_, int32_t numSettled_,
    int32_t optionType_, int32_t exerciseType_, int32_t discretization_, int32_t amerSolver_,
    int32_t planesInterp_, double maxAsset_, bool nonUniformGrid_, bool multiThreaded_)
    : strike(strike_),
      expiry(expiry_),
      volatility(volatility_),
      intRate(intRate_),
      divYield(divYield_),
      settledAverage(settledAverage_),
      firstFixingTime(firstFixingTime_),
      maxAsset(maxAsset_),
      assetSteps(assetSteps_),
      numFixings(numFixings_),
      numSettled(numSettled_),
      timeSteps(timeSteps_),
      optionType(optionType_),
      discretization(discretization_),
      amerSolver(amerSolver_),
      planesInterp(planesInterp_),
      exerciseType(exerciseType_),
      planeSpacing(planeSpacing_),
      nonUniformGrid(nonUniformGrid_),
      multiThreaded(multiThreaded_),
      spot(spot_)
{
    requirePositive(spot, "spot");
    requireNonNegative(strike, "strike");
    floatingStrike = strike == 0.0;
    if (floatingStrike)
        strike = spot;
    checkInputs();
    const bool earlyCall = exerciseType != 0 && optionType == 0;
    activeFraction = earlyCall || floatingStrike ? 1.0 : 0.5;
}

DornTechAsianOption::~DornTechAsianOption() = default;

void DornTechAsianOption::checkInputs() const
{
    requirePositive(strike, "strike");
    requirePositive(expiry, "expiry");
    requireNonNegative(volatility, "volatility");
    requireFinite(intRate, "intRate");
    requireFinite(divYield, "divYield");
    requireNonNegative(settledAverage, "settledAverage");
    requireFinite(maxAsset, "maxAsset");
    requireAtLeast(timeSteps, 2, "timeSteps");
    requireAtLeast(assetSteps, 1, "assetSteps");
    requireAtLeast(planeSpacing, 0, "planeSpacing");
    requireAtLeast(numFixings, 1, "numFixings");
    if (numFixings > kMaxFixings)
        fail("Invalid input: numFixings must be at most " + std::to_string(kMaxFixings) + ".");
    requireAtLeast(numSettled, 0, "numSettled");
    if (numSettled >= numFixings)
        fail("Invalid input: numSettled must be smaller than numFixings (at least one fixing "
             "must remain).");
    requireCode(optionType, 0, 1, "optionType");
    requireCode(exerciseType, 0, 2, "exerciseType");
    requireCode(discretization, 0, 2, "discretization");
    if (exerciseType == 1)
        requireCode(amerSolver, 0, 2, "amerSolver");
}

void DornTechAsianOption::setUpPlanes()
{
    planesReady = false;
    usedNodes = 0;
    numPlanes = 0;
    assetNodes.clear();
    averagePlanes.clear();

    DornTechOptionAS standard(strike, timeSteps, expiry, volatility, intRate, divYield,
                              assetSteps, optionType, 0, discretization, amerSolver, maxAsset,
                              nonUniformGrid, true);
    standard.maxBuiltNodes = maxBuiltNodes;
    outputNodes = standard.lastNodeIndex() + 1;
    if (standard.grid.size() != static_cast<std::size_t>(outputNodes))
        return;  // reported, too large to be built
    standard.checkGrid();
    standard.copyGrid(assetNodes);

    if (!floatingStrike && (exerciseType == 0 || !nonUniformGrid || optionType == 1)) {
        usedNodes = outputNodes;
        // The re-pricings with a bumped expiry or volatility keep this
        // extent. A uniform grid counts its nodes as trunc(maxAsset / dx) + 1,
        // so its top is held half a step higher: (i dx) / dx may round below i.
        if (maxAsset == 0.0)
            maxAsset = assetNodes.back() + (nonUniformGrid ? 0.0 : 0.5 * standard.dx);
    } else {
        // A floating strike, or a call with early exercise on a stretched
        // grid: the planes need room far above the reported grid.
        const double v = volatility * volatility * expiry;
        double top = strike * std::pow(9.0 * v + 3.0, 2.4);
        if (floatingStrike && optionType == 1 && v <= 0.1)
            top *= 0.5;
        // A user's top above that keeps the same room above it: the planes'
        // boundary values (a put's 0, a linear top) would otherwise sit on
        // the last reported nodes, which then show the boundary and not the
        // contract (values far below 0 near a top of 1e8).
        if (maxAsset > top) {
            DornTechOptionAS automatic(strike, timeSteps, expiry, volatility, intRate, divYield,
                                       assetSteps, optionType, 0, discretization, amerSolver, 0.0,
                                       nonUniformGrid, true);
            automatic.maxBuiltNodes = maxBuiltNodes;
            const int32_t last = automatic.lastNodeIndex();
            const double reportedTop =
                automatic.grid.size() == static_cast<std::size_t>(last) + 1 ? automatic.grid.back() : 0.0;
            top = reportedTop > 0.0 && reportedTop < top ? maxAsset * (top / reportedTop) : maxAsset;
        }
        if (!std::isfinite(top)) {
            usedNodes = std::numeric_limits<int32_t>::max();  // no grid reaches that far
            assetNodes.clear();
            return;
        }
        DornTechOptionAS wide(strike, timeSteps, expiry, volatility, intRate, divYield,
                              assetSteps, optionType, 0, discretization, amerSolver, top,
                              nonUniformGrid, true);
        const int32_t count = wide.lastNodeIndex() + 1;
        if (wide.grid.size() != static_cast<std::size_t>(count)) {
            usedNodes = count;  // planesReady stays clear: far too large to solve
            assetNodes.clear();
            return;
        }
        wide.checkGrid();
        wide.copyGrid(assetNodes);
        usedNodes = count;
    }
    buildAveragePlanes();
    planesReady = true;
}

void DornTechAsianOption::buildAveragePlanes()
{
    const int32_t p = planeSpacing;
    const double* S = assetNodes.data();
    if (p <= 1) {
        numPlanes = usedNodes;
        averagePlanes.assign(assetNodes.begin(), assetNodes.end());
    } else {
        numPlanes = usedNodes / p + 1;
        if (numPlanes < 2)
            fail("Invalid input: planeSpacing leaves fewer than two average planes on the grid.");
        averagePlanes.resize(static_cast<std::size_t>(numPlanes));
        for (int32_t j = 0; j + 1 < numPlanes; ++j)
            averagePlanes[static_cast<std::size_t>(j)] =
                nonUniformGrid ? S[static_cast<std::size_t>(p) * static_cast<std::size_t>(j)]
                               : p * S[j];
        averagePlanes.back() = assetNodes.back();
    }
    if (!(settledAverage <= averagePlanes.back()))
        throw std::runtime_error(kSettledAverageTooHighText);
}

int32_t DornTechAsianOption::lastOutputIndex()
{
    if (usedNodes == 0)
        setUpPlanes();
    return outputNodes - 1;
}

DornTechAsianOption::Schedule DornTechAsianOption::schedule() const
{
    Schedule s{};
    s.remaining = numFixings - numSettled;
    s.period = expiry / s.remaining;
    int32_t steps = static_cast<int32_t>(
        std::trunc(static_cast<double>(timeSteps) / s.remaining + 0.5));
    steps = std::max(steps, 1);
    if (exerciseType > 0)
        steps = std::max(steps, 5);
    steps = std::max(steps, 2);  // the least the plane solver takes
    if (static_cast<long long>(steps) * s.remaining > kMaxTotalSteps)
        fail("Invalid input: the fixings times the steps per fixing period exceed " +
             std::to_string(kMaxTotalSteps) + " time steps.");
    s.stepsPerPeriod = steps;
    s.lastSteps = std::max(steps, 10);
    return s;
}

int32_t DornTechAsianOption::countActivePlanes() const
{
    double f = activeFraction;
    if (exerciseType == 1 && optionType == 0 && !nonUniformGrid)
        f = 0.5;
    const std::vector<double>& A = averagePlanes;
    // 1 + the first plane at or above a level (the level never exceeds the last plane).
    auto throughFirstAtOrAbove = [&](double level) {
        const auto at = std::lower_bound(A.begin(), A.end(), level);
        return static_cast<int32_t>(std::min(at - A.begin(), static_cast<std::ptrdiff_t>(numPlanes - 1))) + 1;
    };
    int32_t c;
    if (!nonUniformGrid) {
        c = static_cast<int32_t>(numPlanes * f);
        c = std::min(std::max(c, 2), numPlanes);
        if (settledAverage > A[static_cast<std::size_t>(c - 1)])
            c = throughFirstAtOrAbove(settledAverage);
    } else {
        c = throughFirstAtOrAbove(std::max(f * A.back(), settledAverage));
    }
    // The extrapolation above the top plane needs two planes.
    return std::min(std::max(c, 2), numPlanes);
}

int32_t DornTechAsianOption::filledPlanes(const Schedule& s) const
{
    if (s.remaining > 1)
        return numActivePlanes;
    // One fixing left: the last solve reads the payoff at the settled
    // average, or plane 0 when nothing is settled.
    return numSettled == 0 ? 1 : 0;
}

void DornTechAsianOption::checkMemory(const Schedule& s) const
{
    // The program's rule: the planes of the estimate within 3.6 GiB.
    const std::size_t nodes = static_cast<std::size_t>(usedNodes);
    const std::size_t sets = s.remaining > 1 ? 2 : 1;
    std::size_t estimate = 0;
    const bool fits = multiplySizes(nodes, sets, estimate) &&
                      multiplySizes(estimate, static_cast<std::size_t>(numActivePlanes), estimate) &&
                      multiplySizes(estimate, sizeof(double), estimate);
    if (!fits || static_cast<double>(estimate) / (1024.0 * 1024.0 * 1024.0) > kPlanesGiB)
        throw std::runtime_error(kAsianPlanesTooLargeText);

    const std::size_t total = heldBytes(s);
    const std::size_t budget =
        memoryBudget > 0 ? memoryBudget : memoryBudgetFor(static_cast<double>(total));
    if (total > budget)
        throw std::runtime_error(asianPlanesBeyondBudgetText(memoryAmountText(budget)));
}

std::size_t DornTechAsianOption::heldBytes(const Schedule& s) const
{
    // The planes allocated (those of the date reached and those being
    // solved), one workspace per thread solving planes, the shared
    // coefficients, grids and results, and what every valuation holds.
    const std::size_t nodes = static_cast<std::size_t>(usedNodes);
    const std::size_t sets = s.remaining > 1 ? 2 : 1;
    const std::size_t threads =
        multiThreaded ? static_cast<std::size_t>(std::max(1, omp_get_max_threads())) : 1;
    std::size_t planeBytes = 0, workBytes = 0, total = 0;
    const bool counted =
        multiplySizes(nodes, sets * static_cast<std::size_t>(filledPlanes(s)), planeBytes) &&
        multiplySizes(planeBytes, sizeof(double), planeBytes) &&
        multiplySizes(nodes * sizeof(double), kVectorsPerThread * threads + kSharedVectors + 8, workBytes) &&
        !__builtin_add_overflow(planeBytes, workBytes, &total) &&
        !__builtin_add_overflow(total, kFixedBytes, &total);
    return counted ? total : SIZE_MAX;
}

std::size_t DornTechAsianOption::valuationBytes()
{
    checkInputs();
    if (!planesReady)
        setUpPlanes();
    if (!planesReady)
        return SIZE_MAX;
    const Schedule s = schedule();
    numActivePlanes = countActivePlanes();
    return heldBytes(s);
}

std::string asianPlanesBeyondBudgetText(const std::string& budgetText)
{
    return "The spatial resolution you have requested requires more memory than is available to "
           "the program (" + budgetText + "). Try reducing the number of asset steps to strike "
           "and/or the A-planes to Asset grid spacing ratio if possible.";
}

DornTechOption::ValueLevels DornTechAsianOption::valueLevels() const
{
    return {std::min(spot, strike), std::max(spot, strike), expiry};
}

double DornTechAsianOption::payoffAt(double average, double S) const
{
    if (floatingStrike)
        return optionType == 0 ? std::max(S - average, 0.0) : std::max(average - S, 0.0);
    return optionType == 0 ? std::max(average - strike, 0.0) : std::max(strike - average, 0.0);
}

double DornTechAsianOption::exerciseValueAt(double average, double S) const
{
    if (floatingStrike)
        return optionType == 0 ? S - average : average - S;
    return optionType == 0 ? average - strike : strike - average;
}

void DornTechAsianOption::maturityPayoff(int32_t count)
{
    const std::size_t n = static_cast<std::size_t>(usedNodes);
    const double N = numFixings;
    planeValues.resize(static_cast<std::size_t>(count) * n);
    for (int32_t j = 0; j < count; ++j) {
        const double A = averagePlanes[static_cast<std::size_t>(j)];
        double* P = planeValues.data() + static_cast<std::size_t>(j) * n;
        for (std::size_t i = 0; i < n; ++i) {
            const double S = assetNodes[i];
            P[i] = payoffAt(((N - 1.0) * A + S) / N, S);
        }
    }
}

void DornTechAsianOption::price(std::vector<double>& outAsset, std::vector<double>& outValue,
                                std::vector<double>& outDelta, std::vector<double>& outGamma,
                                std::vector<double>& outTheta)
{
    checkInputs();
    if (!planesReady)
        setUpPlanes();
    if (!planesReady) {
        if (assetNodes.empty() && usedNodes == 0)
            throw std::runtime_error("Cannot create grid: the grid has " +
                                     std::to_string(outputNodes) + " nodes, too many to solve.");
        throw std::runtime_error(kAsianPlanesTooLargeText);
    }
    const Schedule s = schedule();
    numActivePlanes = countActivePlanes();
    checkMemory(s);

    const std::size_t n = static_cast<std::size_t>(usedNodes);
    const int32_t planes = numActivePlanes;
    planeValues.assign(n * static_cast<std::size_t>(filledPlanes(s)), 0.0);
    maturityPayoff(filledPlanes(s));

    // Periods before the one from now, from expiry backwards: each plane
    // starts from the values just before its closing fixing and is stepped
    // back over one period.
    if (s.remaining > 1) {
        std::vector<double> next(planeValues.size(), 0.0);
        // The planes of a period differ only in their strike: a floating
        // strike is the plane's average, a fixed one the cash amount.
        const int32_t type = floatingStrike  ? optionType
                             : optionType == 0 ? DornTechOption::PlaneCall
                                               : DornTechOption::PlanePut;
        auto planeStrike = [&](int32_t j) {
            const double A = averagePlanes[static_cast<std::size_t>(j)];
            if (floatingStrike)
                return A;
            return optionType == 0 ? std::max(A - strike, 0.0) : std::max(strike - A, 0.0);
        };
        DornTechOptionAS plane(planeStrike(0), s.stepsPerPeriod, s.period, volatility, intRate,
                               divYield, assetSteps, type, exerciseType == 1 ? 1 : 0,
                               discretization, amerSolver, maxAsset, nonUniformGrid,
                               floatingStrike);
        // A floating-strike put plane is worth its discounted start value at
        // S = 0 (the asset stays at 0 and the strike is the average): the
        // bottom holds that, where an extrapolation from above would cross 0.
        if (floatingStrike && optionType == 1)
            plane.lowerFixed = 1;
        plane.levels = valueLevels();
        plane.setGridAndValues(std::vector<double>(n, 0.0), assetNodes);
        const PlaneGroupSolver groups(plane);
        const int32_t groupCount = (planes + kPlaneLanes - 1) / kPlaneLanes;
        // One workspace for each thread that solves groups.
        // A thread for every kNodeStepsPerThread node-steps of a period
        // (a few tens of microseconds of work).
        const double periodNodeSteps = static_cast<double>(n) * planes * s.stepsPerPeriod;
        const int threads = parallelThreads(groupCount, multiThreaded,
                                            static_cast<int64_t>(periodNodeSteps / kNodeStepsPerThread));
        // Sized here, on the caller's thread: a team thread that allocated
        // would take an allocator arena of its own (64 MB of address space).
        std::vector<PlaneGroupSolver::Workspace> workspaces(static_cast<std::size_t>(threads));
        for (PlaneGroupSolver::Workspace& ws : workspaces)
            groups.prepare(ws);
        for (int32_t k = 0; k + 1 < s.remaining; ++k) {
            forEachPlane(groupCount, threads, [&](int64_t group, int worker) {
                const int32_t g = static_cast<int32_t>(group);
                PlaneGroupSolver::Workspace& ws = workspaces[static_cast<std::size_t>(worker)];
                groups.prepare(ws);
                const int32_t first = g * kPlaneLanes;
                const int count = static_cast<int>(std::min(kPlaneLanes, planes - first));
                double strikes[kPlaneLanes];
                double* out[kPlaneLanes];
                for (int lane = 0; lane < count; ++lane) {
                    const int32_t j = first + lane;
                    interpolatePlanes(ws.start(lane, n), k, j);
                    strikes[lane] = planeStrike(j);
                    out[lane] = next.data() + static_cast<std::size_t>(j) * n;
                }
                groups.solve(count, strikes, out, ws);
            });
            planeValues.swap(next);
        }
    }

    // The period from now to the next fixing.
    std::vector<double> start(n);
    double lastStrike = strike;
    int32_t lastType = optionType;
    int32_t lastExercise = 0;  // none before the first fixing
    if (numSettled == 0) {
        interpolatePlanes(start.data(), numFixings - 1, 0);
    } else {
        interpolatePlanes(start.data(), s.remaining - 1, -1);
        lastExercise = exerciseType == 1 ? 1 : 0;
        if (floatingStrike) {
            lastStrike = settledAverage;
        } else if (optionType == 0) {
            lastStrike = std::max(settledAverage - strike, 0.0);
            lastType = DornTechOption::PlaneCall;
        } else {
            lastStrike = std::max(strike - settledAverage, 0.0);
            lastType = DornTechOption::PlanePut;
        }
    }
    // The planes are read: their memory goes back before the last solve, so
    // that a re-pricing with a bumped expiry or volatility finds the room
    // this valuation was counted in.
    std::vector<double>().swap(planeValues);
    DornTechOptionAS last(lastStrike, s.lastSteps, s.period, volatility, intRate, divYield,
                          assetSteps, lastType, lastExercise, discretization, amerSolver,
                          maxAsset, nonUniformGrid, true);
    if (floatingStrike && optionType == 1)
        last.lowerFixed = 1;  // as on the planes
    // A put far above its strike is worth 0, as the vanilla put's top has
    // it; the straight line through the two nodes below would carry the
    // put's convex tail below 0 there.
    if ((lastType == DornTechOption::Put || lastType == DornTechOption::PlanePut) &&
        exerciseType == 0)
        last.upperBoundary = DornTechOption::GivenValue;
    last.levels = valueLevels();
    last.setGridAndValues(std::move(start), assetNodes);
    last.price(outAsset, outValue, outDelta, outGamma, outTheta);
}

}  // namespace tarvic
