#pragma once

// Asset grids of the barrier contracts: grids that end on a barrier
// (continuous monitoring, knock-ins), and grids from 0 that run past the
// barriers with the barriers on nodes (discrete monitoring), uniform or
// sinh-stretched around a clustering point.
//
// Every builder returns GridNodes: the nodes, or, for a grid of more than
// maxBuilt nodes (the caller's limit) or beyond the solver, only its node
// count (nothing allocated for it).

#include <cstdint>
#include <vector>

#include "pde/dorn_tech_option.h"

namespace tarvic {

// The one text of every failed barrier grid.
extern const char* const kBarrierGridFailureText;
[[noreturn]] void barrierGridFailure();

// Build limit of the builders when the caller gives none: the solver's.
inline constexpr double kMaxBuiltNodes = static_cast<double>(kMaxGridNodes);

struct GridNodes {
    std::vector<double> nodes;
    double count = 0.0;  // number of nodes; above the build limit the nodes are not built
    double dx = 0.0;
};

// Puts the grid into the option: grid, nodeCount (an oversized count is
// reported up to the largest 32-bit value), dx, gridBuilt.
void installGrid(DornTechOption& option, GridNodes&& g);

// Extent factor of the discretely monitored grids: c0 = 11.4 (sigma^2 T / p)^0.45
// with p the number of monitoring periods (at least 1), and c = max(1.5, c0).
struct ExtentFactor {
    double c0;
    double c;
};
ExtentFactor extentFactor(double volatility, double expiry, int32_t numPeriods);

// The sinh grid through 0: S(x) = P (1 + sinh(alpha (x - xi0)) / sinh(alpha xi0)),
// S(0) = 0, node i at x = i / N.
struct SinhMap {
    double alpha;
    double P;
    double xi0;
    double N;
    double at(double i) const;
};

// xi0 of the sinh grid through 0 with S(x) = X. False when there is none
// (the anchoring fraction u is not positive) or it is not usable.
bool anchorSinh(double alpha, double P, double X, double x, double& xi0);

// Node of the sinh grid nearest to X, by bisection on the index, never 0
// (node 0 is the origin, which no level can be anchored on).
int64_t nearestSinhNode(const SinhMap& map, double X);

// ---- Continuous monitoring: grids that end on the barriers ---------------

// Uniform from L to U, the strike kept near the middle of a cell when it
// lies inside the corridor.
GridNodes doubleBarrierGrid(double L, double U, double K, int32_t assetSteps,
                            double maxBuilt = kMaxBuiltNodes);

// From the barrier B upwards, uniform. m is the grid's multiple of the strike.
GridNodes downBarrierUniformGrid(double B, double K, int32_t assetSteps, int32_t m,
                                 double maxAsset, double maxBuilt = kMaxBuiltNodes);

// From the barrier B upwards, stretched so that cells are finest at the
// barrier and the strike sits mid-cell.
GridNodes downBarrierStretchedGrid(double B, double K, int32_t assetSteps, int32_t m,
                                   double maxAsset, double maxBuilt = kMaxBuiltNodes);

// Uniform from 0 to B, the strike mid-cell when below B. Below the strike
// the barrier gets at least minCellsBelowStrike cells.
GridNodes upBarrierGrid(double B, double K, int32_t assetSteps, int32_t minCellsBelowStrike,
                        double maxBuilt = kMaxBuiltNodes);

// ---- Discrete monitoring: grids from 0 past the barriers -----------------

// Uniform from 0 with both barriers on nodes.
GridNodes discreteDoubleBarrierUniformGrid(double L, double U, double K, int32_t assetSteps,
                                           double c, double maxAsset,
                                           double maxBuilt = kMaxBuiltNodes);

// Sinh grid through 0, clustered at P, the barrier nearer P on a node and the
// other fitted onto one. alpha is the starting clustering strength.
GridNodes discreteDoubleBarrierStretchedGrid(double L, double U, double K, int32_t assetSteps,
                                             double c, double P, double alpha, double maxAsset,
                                             double maxBuilt = kMaxBuiltNodes);

// Uniform from 0 with spacing B / floor(B / h0), so B is a node.
GridNodes discreteSingleBarrierUniformGrid(double B, double K, int32_t assetSteps, double sMax,
                                           double maxAsset, double maxBuilt = kMaxBuiltNodes);

// Sinh grid through 0 clustered at P with B on a node.
GridNodes discreteSingleBarrierStretchedGrid(double B, double K, int32_t assetSteps, double sMax,
                                             double P, double alpha, double maxAsset,
                                             double maxBuilt = kMaxBuiltNodes);

}  // namespace tarvic
