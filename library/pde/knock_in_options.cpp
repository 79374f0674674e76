#include "pde/knock_in_options.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "common/require.h"
#include "pde/barrier_grids.h"
#include "platform/memory_budget.h"

namespace tarvic {

double recordedValueAt(const std::vector<double>& times, const std::vector<double>& record,
                       double tau)
{
    const size_t n = std::min(times.size(), record.size());
    if (n == 0)
        return 0.0;
    const auto first = times.begin();
    const auto last = times.begin() + static_cast<std::ptrdiff_t>(n);
    const auto it = std::lower_bound(first, last, tau);
    if (it == last)
        return record[n - 1];
    const auto hi = static_cast<size_t>(it - first);
    // The time levels of two solves agree up to rounding of the sums of steps.
    const double tolerance = 1e-9 * std::max(1.0, std::fabs(tau));
    if (std::fabs(times[hi] - tau) <= tolerance || hi == 0)
        return record[hi];
    const size_t lo = hi - 1;
    if (std::fabs(tau - times[lo]) <= tolerance)
        return record[lo];
    const double w = (tau - times[lo]) / (times[hi] - times[lo]);
    return (1.0 - w) * record[lo] + w * record[hi];
}

namespace {

void vanillaPayoff(DornTechOption& o)
{
    o.values.assign(static_cast<size_t>(o.nodeCount), 0.0);
    for (size_t i = 0; i < o.values.size(); ++i) {
        const double S = o.grid[i];
        if (o.optionType == DornTechOption::Call && S > o.strike)
            o.values[i] = S - o.strike;
        else if (o.optionType == DornTechOption::Put && S < o.strike)
            o.values[i] = o.strike - S;
    }
}

}  // namespace

// ---- The two solves -------------------------------------------------------------

DornTechKnockInOption::DornTechKnockInOption(const BarrierContract& c, double lowerLevel,
                                             double upperLevel)
    : DornTechBarrierOption(c), lowerLevel_(lowerLevel), upperLevel_(upperLevel)
{
}

// ---- The memory of the solves -------------------------------------------------

namespace {

constexpr double kDouble = sizeof(double);
// Vectors of the companion's nodes a companion solve holds: its grid, the
// start values, three older levels, the exercise values, the three
// diagonals and the right-hand side, four of factors, and its result.
constexpr double kCompanionVectors = 15.0;
// Vectors of the knock-in's nodes: those of its own solve with the five
// results, the copies a companion takes of its grid and values, and what
// the frame keeps of every solve.
constexpr double kKnockInRunningVectors = 24.0;
constexpr double kKnockInHeldVectors = 8.0;
// The objects, the frame's columns, the pages of code a solve touches
// and what the vectors leave out.
constexpr double kFixedBytes = 4.0 * 1024.0 * 1024.0;
// The solver refuses more time steps than this in one solve.
constexpr double kMaxSolveSteps = 100'000'000.0;

}  // namespace

DornTechOption DornTechKnockInOption::bareCompanion()
{
    // The knock-in's grid and values are set aside while the copy is taken.
    struct SetAside {
        DornTechOption& option;
        std::vector<double> grid = std::move(option.grid);
        std::vector<double> values = std::move(option.values);
        int32_t nodeCount = std::exchange(option.nodeCount, 0);
        bool gridBuilt = std::exchange(option.gridBuilt, false);
        ~SetAside()
        {
            option.grid = std::move(grid);
            option.values = std::move(values);
            option.nodeCount = nodeCount;
            option.gridBuilt = gridBuilt;
        }
    } const aside{*this};
    return DornTechOption(*this);
}

double DornTechKnockInOption::companionNodes()
{
    if (!companionGrid_.empty())
        return static_cast<double>(companionGrid_.size());
    if (companionNodeCount_ >= 0.0)
        return companionNodeCount_;
    // The node count alone: a build limit of 0 keeps the builder from
    // allocating the nodes. Counted once: the grid is fixed by the first
    // count or solve.
    try {
        DornTechOption companion = bareCompanion();
        companion.maxBuiltNodes = 0;
        companion.raiseNodeLimit = kMaxGridNodes;  // the limit of the build below
        companion.buildGrid();
        companionNodeCount_ = std::max(static_cast<double>(companion.nodeCount),
                                       static_cast<double>(companion.grid.size()));
    } catch (...) {
        companionNodeCount_ = 0.0;  // the solve fails with the grid's own text
    }
    return companionNodeCount_;
}

double DornTechKnockInOption::recordedLevels() const
{
    double steps = timeSteps;
    double periods = 1.0;
    if (numPeriods > 1) {
        const double perPeriod =
            std::max(5.0, std::trunc(static_cast<double>(timeSteps) / numPeriods + 0.5));
        steps = numPeriods * perPeriod;
        periods = numPeriods;
    }
    // The first quarter steps, one restart a period, the final quarter steps.
    return 1.0 + steps + 3.0 * (periods + 1.0);
}

std::size_t DornTechKnockInOption::solveBytes(int32_t solves, int32_t sideBySide)
{
    const double held = std::max(solves, 1);
    const double running = std::min(std::max(sideBySide, 1), std::max(solves, 1));
    const double levels = recordedLevels();
    const double records = (lowerLevel_ > 0.0 ? 1.0 : 0.0) + (upperLevel_ > 0.0 ? 1.0 : 0.0);
    const double companion = companionNodes();
    const double knockIn = std::max(static_cast<double>(nodeCount), static_cast<double>(grid.size()));

    // Kept by every solve: the companion's grid, the records and their
    // times (reserved at their length).
    double perSolve = companion * kDouble + (records + 1.0) * levels * kDouble +
                      kKnockInHeldVectors * knockIn * kDouble;
    // While a solve runs: the companion's working vectors (a grid beyond
    // the solver is refused before they exist), timed records grown by
    // doubling (a Bermudan with quarter-step restarts), the knock-in solve.
    double perRunning = kKnockInRunningVectors * knockIn * kDouble;
    if (companion <= static_cast<double>(kMaxGridNodes))
        perRunning += kCompanionVectors * companion * kDouble;
    if (exerciseType == Bermudan && discretization == Rannacher)
        perRunning += 3.0 * records * levels * sizeof(TimedRecord);
    const double bytes = held * perSolve + running * perRunning + kFixedBytes;
    return bytes < static_cast<double>(SIZE_MAX) ? static_cast<std::size_t>(bytes) : SIZE_MAX;
}

int32_t DornTechKnockInOption::checkMemory(int32_t solves, int32_t sideBySide)
{
    // The most the solves could take: all of them side by side, with the
    // team threads still to start.
    const int32_t most = std::max(sideBySide, 1);
    const std::size_t budget = memoryBudgetFor(static_cast<double>(solveBytes(solves, most)) +
                                               static_cast<double>(teamAddressSpaceBytes(most)));
    if (solveBytes(solves, 1) > budget)
        throw std::runtime_error(knockInBeyondBudgetText(memoryAmountText(budget)));
    // Fewer solves side by side where the budget holds fewer of them, or
    // not the address space of their threads.
    int32_t threads = std::max(sideBySide, 1);
    for (; threads > 1; --threads) {
        const std::size_t bytes = solveBytes(solves, threads);
        const std::size_t team = teamAddressSpaceBytes(threads);
        if (bytes <= budget && team <= budget - bytes)
            break;
    }
    memoryCounted_ = true;
    return threads;
}

std::string knockInBeyondBudgetText(const std::string& budgetText)
{
    return "The knock-in solve you have requested requires more memory than is available to the "
           "program (" + budgetText + "). Try reducing the number of asset steps and/or time steps.";
}

// ---- The two solves -------------------------------------------------------------

int32_t DornTechKnockInOption::prepareSolves(int32_t solves, int32_t sideBySide)
{
    lastNodeIndex();
    const int32_t threads = checkMemory(solves, sideBySide);
    if (!companionGrid_.empty())
        return threads;
    // The grid the companion of the first solve builds for itself.
    try {
        DornTechOption companion = bareCompanion();
        companion.maxBuiltNodes = kMaxGridNodes;
        companion.buildGrid();
        if (companion.grid.size() == static_cast<size_t>(companion.nodeCount)) {
            companionGrid_ = std::move(companion.grid);
            companionDx_ = companion.dx;
        }
    } catch (...) {
    }
    return threads;
}

void DornTechKnockInOption::recordBarrierValues()
{
    // The companion is a plain copy: the contract's exercise style and
    // vanilla boundaries, on the vanilla grid of the first solve (built
    // here the first time, whatever the caller's node limit).
    DornTechOption companion = bareCompanion();
    companion.maxBuiltNodes = kMaxGridNodes;
    companion.grid = companionGrid_;
    companion.dx = companionDx_;
    companion.nodeCount = static_cast<int32_t>(companionGrid_.size());
    companion.gridBuilt = !companionGrid_.empty();
    // The records at their length, as the memory count has them (beyond
    // the levels of 10^8 steps of at least five a period the solve refuses
    // the steps itself).
    const double levels = recordedLevels();
    if (levels <= 1.0 + kMaxSolveSteps + 3.0 * (kMaxSolveSteps / 5.0 + 1.0)) {
        const auto length = static_cast<size_t>(levels);
        if (lowerLevel_ > 0.0)
            lowerRecord.reserve(length);
        if (upperLevel_ > 0.0)
            upperRecord.reserve(length);
        recordTimes.reserve(length);
    }
    PdeResults results;
    companion.solvePde(results, false, lowerLevel_, lowerLevel_ > 0.0 ? &lowerRecord : nullptr,
                       upperLevel_, upperLevel_ > 0.0 ? &upperRecord : nullptr, &recordTimes);
    if (companionGrid_.empty()) {
        companionGrid_ = std::move(companion.grid);
        companionDx_ = companion.dx;
    }

    // The knock-in solve itself is European on a grid that ends at the
    // barrier, whatever the contract's exercise.
    american = false;
    bermudan = false;
    upperBoundary = GivenValue;
    // Without a lower barrier the grid starts at 0, where the asset stays
    // and never reaches the barrier above: the knock-in is worth 0 there
    // (a put's bottom taken from the slope above would dip below it).
    lowerValue = lowerLevel_ > 0.0 ? lowerRecord.front() : 0.0;
}

void DornTechKnockInOption::price(std::vector<double>& gridOut, std::vector<double>& valueOut,
                                  std::vector<double>& deltaOut, std::vector<double>& gammaOut,
                                  std::vector<double>& thetaOut)
{
    checkInputs();
    if (!gridBuilt)
        buildGrid();
    checkGrid();
    // Back to the contract's own settings for the companion (an earlier
    // solve left the European ones of the knock-in solve), keeping the grid.
    std::vector<double> kept = std::move(grid);
    const int32_t keptCount = nodeCount;
    const double keptDx = dx;
    init();
    grid = std::move(kept);
    nodeCount = keptCount;
    dx = keptDx;
    gridBuilt = true;
    // A solve not counted by prepareSolves counts itself.
    if (!memoryCounted_)
        checkMemory(1, 1);

    recordBarrierValues();
    DornTechOption::price(gridOut, valueOut, deltaOut, gammaOut, thetaOut);
}

// ---- Double knock-in ----------------------------------------------------------

DornTechDBIOption::DornTechDBIOption(const BarrierContract& c)
    : DornTechKnockInOption(c, c.lowerBarrier, c.upperBarrier),
      lowerBarrier(c.lowerBarrier),
      upperBarrier(c.upperBarrier)
{
    requirePositive(lowerBarrier, "lowerBarrier");
    requirePositive(upperBarrier, "upperBarrier");
    if (!(upperBarrier > lowerBarrier))
        fail("Invalid input: upperBarrier must be above lowerBarrier.");
}

void DornTechDBIOption::buildGrid()
{
    if (gridBuilt)
        return;
    installGrid(*this,
                doubleBarrierGrid(lowerBarrier, upperBarrier, strike, assetSteps, builtLimit()));
}

void DornTechDBIOption::payoff()
{
    vanillaPayoff(*this);
    for (size_t i = 0; i < values.size(); ++i)
        if (grid[i] > lowerBarrier && grid[i] < upperBarrier)
            values[i] = 0.0;
}

void DornTechDBIOption::boundaryValues(double tau, int32_t /*level*/)
{
    values.front() = recordedValueAt(recordTimes, lowerRecord, tau);
    values.back() = recordedValueAt(recordTimes, upperRecord, tau);
}

// ---- Down-and-in --------------------------------------------------------------

DornTechDIBOption::DornTechDIBOption(const BarrierContract& c)
    : DornTechKnockInOption(c, c.lowerBarrier, 0.0), barrier(c.lowerBarrier)
{
    requirePositive(barrier, "lowerBarrier");
}

int32_t DornTechDIBOption::gridStdDevs()
{
    const double v = volatility * volatility * expiry;
    if (v <= 0.0507) return 3;
    if (v <= 0.1007) return 4;
    if (v <= 0.2507) return 5;
    if (v <= 0.4007) return 6;
    if (v <= 0.7507) return 9;
    return 12;
}

void DornTechDIBOption::buildGrid()
{
    if (gridBuilt)
        return;
    const int32_t m = gridStdDevs();
    const double B = barrier;
    const double limit = builtLimit();
    // An automatic top short of where the asset still goes is raised as a
    // caller's maximum asset would raise it.
    const double raised = maxAsset > 0.0 ? 0.0 : raisedTop(m * std::max(strike, B), strike);
    const double top = raised > 0.0 ? raised : maxAsset;
    installGrid(*this, nonUniformGrid
                           ? downBarrierStretchedGrid(B, strike, assetSteps, m, top, limit)
                           : downBarrierUniformGrid(B, strike, assetSteps, m, top, limit));
}

void DornTechDIBOption::payoff()
{
    vanillaPayoff(*this);
    for (size_t i = 0; i < values.size(); ++i)
        if (grid[i] > barrier)
            values[i] = 0.0;
}

void DornTechDIBOption::boundaryValues(double tau, int32_t /*level*/)
{
    if (optionType != Call && optionType != Put)
        return;
    values.front() = recordedValueAt(recordTimes, lowerRecord, tau);
    values.back() = 0.0;
}

// ---- Up-and-in ----------------------------------------------------------------

DornTechUIBOption::DornTechUIBOption(const BarrierContract& c)
    : DornTechKnockInOption(c, 0.0, c.upperBarrier), barrier(c.upperBarrier)
{
    requirePositive(barrier, "upperBarrier");
}

void DornTechUIBOption::buildGrid()
{
    if (gridBuilt)
        return;
    // At least as many cells below the barrier as the up-and-out grid: the
    // stencils, the grid Greeks and the extrapolated bottom need them.
    installGrid(*this, upBarrierGrid(barrier, strike, assetSteps, 10, builtLimit()));
}

void DornTechUIBOption::payoff()
{
    vanillaPayoff(*this);
    for (size_t i = 0; i < values.size(); ++i)
        if (grid[i] < barrier)
            values[i] = 0.0;
}

void DornTechUIBOption::boundaryValues(double tau, int32_t /*level*/)
{
    if (optionType != Call && optionType != Put)
        return;
    values.front() = 0.0;
    values.back() = recordedValueAt(recordTimes, upperRecord, tau);
}

}  // namespace tarvic
