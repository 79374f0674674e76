#include "pde/fd_frame.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <memory>
#include <stdexcept>
#include <utility>

#include "closedform/closed_form.h"
#include "common/finite_results.h"
#include "common/parallel_loop.h"
#include "common/require.h"
#include "pde/solution_at.h"

namespace tarvic {

void checkNodeArrays(const NodeArrays& out, const int32_t* assetSteps)
{
    if (!out.assetGrid || !out.optionValue || !out.delta || !out.gamma || !out.theta || !out.vega)
        fail("Invalid input: the result arrays must not be null.");
    if (!assetSteps)
        fail("Invalid input: assetSteps must not be null.");
}

double solutionAt(const double* x, const double* f, int32_t count, double S)
{
    if (count < 2)
        throw std::logic_error("Interpolation needs at least two nodes.");
    return cubicSolutionAt(x, f, count, S);
}

void bumpedAtBaseNodes(const std::vector<double>& baseGrid, int32_t count,
                       const std::vector<double>& bumpedGrid,
                       const std::vector<double>& bumpedValue, std::vector<double>& out)
{
    const std::size_t n = static_cast<std::size_t>(count);
    const std::size_t bumpedCount = std::min(bumpedGrid.size(), bumpedValue.size());
    out.resize(n);
    if (bumpedCount >= n && std::equal(baseGrid.begin(), baseGrid.begin() + count,
                                       bumpedGrid.begin())) {
        std::copy(bumpedValue.begin(), bumpedValue.begin() + count, out.begin());
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        out[i] = solutionAt(bumpedGrid.data(), bumpedValue.data(),
                            static_cast<int32_t>(bumpedCount), baseGrid[i]);
}

namespace {

PdeResults solve(DornTechOption& option)
{
    PdeResults s;
    option.price(s.grid, s.value, s.delta, s.gamma, s.theta);
    return s;
}

// The expiry and volatility of one solve of a call.
struct SolveSettings {
    double expiry;
    double volatility;
};

// The threads the last frame run on this thread handed its solves to.
thread_local int lastSolveThreads = 1;

// A thread for every kNodeStepsPerThread node-steps of the solves of a call
// (a few tens of microseconds of work): below that a solve is not worth
// handing to another thread.
constexpr double kNodeStepsPerThread = 50000.0;

// The threads the solves of a call pay for: one for every
// kNodeStepsPerThread node-steps, at most one a solve.
int sideBySideThreads(const DornTechOption& option, std::size_t count)
{
    const double work = static_cast<double>(option.nodeCount) * option.timeSteps *
                        static_cast<double>(count);
    return parallelThreads(static_cast<int64_t>(count), true,
                           static_cast<int64_t>(work / kNodeStepsPerThread));
}

// Solves the option at each of the settings, result k from settings k, on
// up to `threads` threads.
// Where the option can be copied, each solve runs on its own copy (the first
// on the option itself), side by side on the library's threads when the
// work pays for it; a copy solves exactly as the option would, so the
// results do not depend on the thread count. A failure is reported as the
// first failing solve in the order of the settings would report it alone.
std::vector<PdeResults> solveAll(DornTechOption& option, const std::vector<SolveSettings>& settings,
                                 int threads)
{
    const std::size_t count = settings.size();
    std::vector<PdeResults> solved(count);
    std::vector<std::unique_ptr<DornTechOption>> copies(count);
    bool apart = count > 1;
    for (std::size_t k = 1; k < count && apart; ++k) {
        copies[k] = option.clone();
        apart = copies[k] != nullptr;
    }
    if (!apart) {
        for (std::size_t k = 0; k < count; ++k) {
            option.expiry = settings[k].expiry;
            option.volatility = settings[k].volatility;
            solved[k] = solve(option);
        }
        return solved;
    }

    lastSolveThreads = threads;
    std::vector<std::exception_ptr> failures(count);
    forEachPlane(static_cast<int64_t>(count), threads, [&](int64_t piece) {
        const auto k = static_cast<std::size_t>(piece);
        DornTechOption& o = k == 0 ? option : *copies[k];
        try {
            o.expiry = settings[k].expiry;
            o.volatility = settings[k].volatility;
            solved[k] = solve(o);
        } catch (...) {
            failures[k] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    return solved;
}

}  // namespace

void runFiniteDifferenceFrame(DornTechOption& option, const NodeArrays& out,
                              int32_t* lastIndexOut, const FrameRules& rules)
{
    lastSolveThreads = 1;
    option.maxBuiltNodes = TV_MAX_NODE_INDEX + 1;
    const int32_t n = option.lastNodeIndex();
    *lastIndexOut = n;
    if (n > TV_MAX_NODE_INDEX || n < 0)
        return;

    // The base solve, and the re-solves with a later expiry (theta) and a
    // higher volatility (vega); independent of each other.
    const double T = option.expiry;
    const double sigma = option.volatility;
    std::vector<SolveSettings> settings{{T, sigma}};
    const std::size_t later = rules.calcTheta ? settings.size() : 0;
    if (rules.calcTheta)
        settings.push_back({T * 1.00001, sigma});
    const std::size_t wider = rules.calcVega ? settings.size() : 0;
    if (rules.calcVega)
        settings.push_back({T, sigma + 1e-5});
    const int threads = option.prepareSolves(static_cast<int32_t>(settings.size()),
                                             sideBySideThreads(option, settings.size()));
    const bool shortOfReach =
        rules.checkReach &&
        !gridReaches(option, rules.reachLevel > 0.0 ? rules.reachLevel : option.strike);
    const std::vector<PdeResults> solved = solveAll(option, settings, threads);

    const PdeResults& base = solved.front();
    // A solution that is not finite says more about the inputs than the reach.
    if (shortOfReach && allFinite(base.value))
        throw std::runtime_error(kGridReachText);
    if (base.value.size() != static_cast<std::size_t>(n) + 1)
        throw std::logic_error("The solution does not match the reported grid.");
    const std::size_t count = static_cast<std::size_t>(n) + 1;
    const auto firstNodes = [count](const std::vector<double>& from) {
        return std::vector<double>(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(count));
    };
    std::vector<double> theta = rules.zeroSolverTheta ? std::vector<double>(count, 0.0) : firstNodes(base.theta);
    std::vector<double> vega;
    std::vector<double> bumped;

    if (rules.calcTheta) {
        const PdeResults& s = solved[later];
        bumpedAtBaseNodes(base.grid, n + 1, s.grid, s.value, bumped);
        const double h = T * 1e-5;
        for (std::size_t i = 0; i < count; ++i)
            theta[i] = (base.value[i] - bumped[i]) / h / 365.0;
    }

    if (rules.calcVega) {
        const PdeResults& s = solved[wider];
        bumpedAtBaseNodes(base.grid, n + 1, s.grid, s.value, bumped);
        vega.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            vega[i] = (bumped[i] - base.value[i]) / 1e-5 / 100.0;
    }

    const NodeColumns columns{firstNodes(base.grid), firstNodes(base.value), firstNodes(base.delta),
                              firstNodes(base.gamma), std::move(theta), std::move(vega)};
    writeFiniteNodes(columns, out, rules.valueScale > 0.0 ? rules.valueScale : option.strike);
}

int lastFrameSolveThreads()
{
    return lastSolveThreads;
}

bool gridReaches(const DornTechOption& option, double level)
{
    if (option.grid.empty())
        return true;
    const double top = option.grid.back();
    if (top >= option.reachTop(level))
        return true;
    const double K = option.strike;
    const double carried = barrierPrice(level, K, option.intRate, option.divYield,
                                        option.volatility, option.expiry, 0.0, top, 0, 1);
    const double h = 1.0 / (option.assetSteps + 0.5);
    const double resolution = std::max(h * h, kReachErrorFloor) * K;
    return !(carried > resolution);
}

void writeFiniteNodes(const NodeColumns& c, const NodeArrays& out, double valueScale)
{
    requireFiniteResults({&c.grid, &c.value, &c.delta, &c.gamma, &c.theta, &c.vega}, kNonFiniteSolutionText);
    if (lowestOf(c.value) < -kValueRoundOff * valueScale)
        throw std::runtime_error(kNegativeSolutionText);
    const auto write = [](const std::vector<double>& from, double* to) {
        if (!from.empty())
            std::copy(from.begin(), from.end(), to);
    };
    write(c.grid, out.assetGrid);
    write(c.value, out.optionValue);
    write(c.delta, out.delta);
    write(c.gamma, out.gamma);
    write(c.theta, out.theta);
    write(c.vega, out.vega);
}

}  // namespace tarvic
