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
    // it (a vanilla, a down-and-out): its reach is checked with the solution.
    bool checkReach = false;
};

// The failure of a grid whose top lies where the asset still has weight at
// expiry.
constexpr const char* kGridReachText =
    "The grid ends below levels the asset still reaches by expiry: its value there is not to "
    "be trusted. Raise maxAsset, or lower the volatility or the expiry.";

// The most the condition at the top of the grid may be off, as a fraction
// of the strike. A call's top takes the forward S e^(-qT) - K e^(-rT) and a
// put's takes 0: both are off by the European put on the top level, and
// that error, carried down the grid, is what reaches the spot. Ordinary
// grids keep it well below 1e-3 of the strike (a few 1e-3 at sigma^2 T
// near 1, where the solution is still right to 1e-4); by 0.1 the error at
// the strike has grown to tenths of a percent (sigma 2 over a year), and
// it grows fast beyond (3% at sigma 3, 7% at sigma 5).
constexpr double kMaxTopError = 0.1;

// False when the European put on the top node S_N over the option's life
// is worth more than kMaxTopError of the strike; the frame then fails the
// call with kGridReachText (or, for a solution that is not finite, with
// kNonFiniteSolutionText).
bool gridReaches(const DornTechOption& option);

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
