#pragma once

// The frame shared by the finite-difference exports: report the node count,
// refuse grids beyond the caller's arrays, solve, copy, and obtain theta and
// vega by re-solving with a bumped expiry and volatility. The base solve and
// the re-solves are independent; a contract that can be copied runs them
// side by side on the library's threads, with the same results on any
// number of threads.

#include <cstdint>
#include <vector>

#include "pde/dorn_tech_option.h"
#include "tarvic/tarvic.h"

namespace tarvic {

// The caller's arrays, indices 0..TV_MAX_NODE_INDEX.
struct NodeArrays {
    double* assetGrid;
    double* optionValue;
    double* delta;
    double* gamma;
    double* theta;
    double* vega;
};

struct FrameRules {
    bool calcTheta;
    bool calcVega;
    // The solver's own theta is replaced by zeros (Bermudans with several
    // periods, discretely monitored barriers).
    bool zeroSolverTheta;
    // The size of the contract's values (its strike, or the larger of spot
    // and strike) that round-off is measured against; 0 takes the strike.
    double valueScale = 0.0;
    // The top of the grid is a truncation of a contract that lives above
    // it (a vanilla, a down-and-out, a down-and-in): a top below where the
    // asset still goes by expiry is judged (gridReaches) at reachLevel.
    bool checkReach = false;
    // The level whose value the top's error is judged at (the larger of the
    // spot and the strike); 0 takes the strike.
    double reachLevel = 0.0;
};

// The failure of a grid whose top lies so low that the error of its
// condition there outweighs the resolution's error at the values that
// matter.
constexpr const char* kGridReachText =
    "The grid ends below levels the asset still reaches by expiry, and the error of its top "
    "carries down to the value at the strike (or the spot). Raise maxAsset, or set it to 0 for "
    "a grid that reaches far enough; where that grid would need more than 50001 nodes, lower "
    "assetSteps, the volatility or the expiry.";

// The least error of the values a resolution is held to, as a fraction of
// the strike: the error the automatic grids' reach leaves at the strike
// (kReachSpreads).
constexpr double kReachErrorFloor = 1e-4;

// Whether the top of the option's built grid lies high enough for the
// value at `level`. A top at or above option.reachTop(level) does, with no
// further sum. Below it, the error of the top's condition carried down to
// `level` is weighed against the error the resolution allows there:
//  - a call's top takes the forward S e^(-q tau) - K e^(-r tau) (or the
//    exercise value), a put's 0, and a down-and-out's or down-and-in's the
//    same: each is off by at most the European put on the top level S_N
//    with tau to go. That error travels down the grid as any boundary
//    value does, to each level S by the paths that reach S_N before
//    expiry: what it adds at S is the European put struck at K knocked in
//    at S_N, priced in closed form. For a European vanilla this is the
//    error of the continuous problem exactly; for early exercise and for
//    the knock-outs and knock-ins it bounds it (the obstacle problem moves
//    by no more than its boundary data carried down; a barrier only ends
//    paths);
//  - the resolution's error at the strike is of the order (h / K)^2 of
//    the strike for a second-order scheme over the kink of the payoff,
//    h = K / (assetSteps + 0.5) the uniform spacing (an upper estimate for
//    ordinary contracts: the uniform grid's measured errors are some 1e-2 of
//    it, the stretched grid's less), and never below kReachErrorFloor of
//    the strike.
// False when the carried error exceeds the resolution's; the frame then
// fails the call with kGridReachText (or, for a solution that is not
// finite, with kNonFiniteSolutionText).
bool gridReaches(const DornTechOption& option, double level);

// What a call writes into the caller's arrays, entries 0..n of each; an
// empty vega is not written.
struct NodeColumns {
    std::vector<double> grid;
    std::vector<double> value;
    std::vector<double> delta;
    std::vector<double> gamma;
    std::vector<double> theta;
    std::vector<double> vega;
};

// The failure of a solution with a value that is not a finite number.
constexpr const char* kNonFiniteSolutionText =
    "The solution is not a finite number: the asset, strike or market data lie beyond the "
    "range the solver can represent.";

// The failure of a solution that dips below 0: every contract priced here
// pays a non-negative amount, so the grid does not resolve the contract.
constexpr const char* kNegativeSolutionText =
    "The solution falls below 0, which this option is never worth: the grid cannot resolve "
    "the contract. Increase the volatility, the time steps or the asset steps.";

// Round-off in a solved value, relative to the contract's scale. The
// eliminations keep each level to a few units in the last place of the
// scale and the projected SOR stops at a residual of 1e-11 of the strike,
// so the stepper itself accounts for far less than this (ordinary
// contracts stay within 1e-8 of their scale, the coarsest settings of the
// program included); a value further below 0 is the scheme's own
// undershoot, not rounding. Drift that outruns the diffusion is taken
// one-sided or refused by its own rule (DornTechOption::
// checkDriftResolved), and the known values at the ends are held (a
// knock-in at S = 0, a put's top), so what still dips is an oscillation
// no other rule sees: Crank-Nicolson steps too long for the kink of the
// payoff, a start from planes interpolated below 0.
constexpr double kValueRoundOff = 1e-6;

// Copies the columns into the caller's arrays when every entry is finite
// and no value lies below -kValueRoundOff * valueScale; otherwise throws
// std::runtime_error (kNonFiniteSolutionText, kNegativeSolutionText) and
// writes nothing.
void writeFiniteNodes(const NodeColumns& columns, const NodeArrays& out, double valueScale);

// Throws std::invalid_argument when an array or the node-count reference is null.
void checkNodeArrays(const NodeArrays& out, const int32_t* assetSteps);

// Runs the frame on a built option. Writes the last node index n through
// lastIndexOut first; when n exceeds TV_MAX_NODE_INDEX nothing is solved, no
// grid is built and no array is touched. A solution with a non-finite entry
// in any array to be written fails the call before any array is written.
void runFiniteDifferenceFrame(DornTechOption& option, const NodeArrays& out,
                              int32_t* lastIndexOut, const FrameRules& rules);

// The threads the last runFiniteDifferenceFrame on the calling thread handed
// its solves to: 1 when they ran one after another on that thread (a single
// solve, a contract that cannot be copied, work too small to share, one
// core or one thread allowed), else the size of the loop they ran in side
// by side.
int lastFrameSolveThreads();

// The value at level S of a solution given at `count` increasing nodes, by
// the rule the program uses at the spot: a node's own value on a node; in
// the interval [x_i, x_i+1] the cubic through x_i-1 .. x_i+2 where those
// nodes exist, the straight line through x_i and x_i+1 in the first two and
// last two intervals; beyond the ends the end interval's line. Needs at
// least two nodes.
double solutionAt(const double* grid, const double* values, int32_t count, double S);

// Values of a bumped solution at the first count nodes of the base grid:
// node by node where the two grids agree there, otherwise read off the
// bumped grid with solutionAt (a bump that changed the grid).
void bumpedAtBaseNodes(const std::vector<double>& baseGrid, int32_t count,
                       const std::vector<double>& bumpedGrid,
                       const std::vector<double>& bumpedValue, std::vector<double>& out);

}  // namespace tarvic
