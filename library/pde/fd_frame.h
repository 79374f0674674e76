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
};

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

// Copies the columns into the caller's arrays when every entry is finite;
// otherwise throws std::runtime_error(kNonFiniteSolutionText) and writes
// nothing.
void writeFiniteNodes(const NodeColumns& columns, const NodeArrays& out);

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
