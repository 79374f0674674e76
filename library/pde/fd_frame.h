#pragma once

// The frame shared by the finite-difference exports: report the node count,
// refuse grids beyond the caller's arrays, solve, copy, and obtain theta and
// vega by re-solving with a bumped expiry and volatility.

#include <cstdint>

#include "pde/dorn_tech_option.h"

namespace tarvic {

// The caller's arrays, indices 0..kMaxNodeIndex.
struct NodeArrays {
    double* assetGrid;
    double* optionValue;
    double* delta;
    double* gamma;
    double* theta;
    double* vega;
};

inline constexpr int32_t kMaxNodeIndex = 50000;

struct FrameRules {
    bool calcTheta;
    bool calcVega;
    // The solver's own theta is replaced by zeros (Bermudans with several
    // periods, discretely monitored barriers).
    bool zeroSolverTheta;
};

// Throws std::invalid_argument when an array or the node-count reference is null.
void checkNodeArrays(const NodeArrays& out, const int32_t* assetSteps);

// Runs the frame on a built option. Writes the last node index n through
// lastIndexOut first; when n exceeds kMaxNodeIndex nothing is solved and no
// array is touched.
void runFiniteDifferenceFrame(DornTechOption& option, const NodeArrays& out,
                              int32_t* lastIndexOut, const FrameRules& rules);

}  // namespace tarvic
