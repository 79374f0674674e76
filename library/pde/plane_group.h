#pragma once

// The average planes of one fixing period of an Asian option, solved eight
// at a time side by side in vector lanes (lanes.h). Within a period every
// plane has the same grid, market data, scheme and time levels, so the
// coefficients and their factorisations are made once and shared; a plane
// differs only in its start values and its strike (the exercise level and,
// for a floating strike, the payoff side). Each lane steps exactly as
// DornTechOption::solvePde steps one plane: the same boundary values,
// extrapolated ends, early exercise (its own projected SOR sweeps and
// relaxation factor, or Brennan–Schwartz) and the same final values.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pde/dorn_tech_option_as.h"
#include "pde/lanes.h"
#include "pde/step_clock.h"
#include "pde/tridiagonal.h"

namespace tarvic {

class PlaneGroupSolver {
public:
    // plane: a plane solver with its grid and start values set; every
    // setting but the strike is shared by the planes solved here. Only what
    // a plane of an Asian option uses is supported (no exercise periods, no
    // monitoring, a linear top, ends set by boundaryValues); anything else
    // is refused.
    explicit PlaneGroupSolver(DornTechOptionAS& plane);

    // Working memory of one group, reused group after group by one thread.
    struct Workspace {
        std::vector<LaneBlock> level[4];  // the new level and one, two, three back
        std::vector<LaneBlock> scratch, floor, rhs;
        std::vector<double> starts;  // the start values of lane k at k * nodes
        double* start(int lane, std::size_t nodes)
        {
            return starts.data() + static_cast<std::size_t>(lane) * nodes;
        }
    };
    // Doubles per grid node of a Workspace, and of what the solver itself
    // shares between all groups (coefficients and factors of each step size).
    static constexpr std::size_t kWorkspaceDoublesPerNode = 8 * kPlaneLanes;
    static constexpr std::size_t kSharedDoublesPerNode = 3 * 7;

    std::size_t nodes() const { return nodes_; }

    // Sizes ws for this grid (a no-op when it fits already).
    void prepare(Workspace& ws) const;

    // Solves `count` planes (1..8): lane k starts from ws.start(k), is
    // exercised at strikes[k] and leaves its values at the start of the
    // period in out[k], as solvePde without all outputs does (values at or
    // below 2e-9 as 0).
    void solve(int count, const double* strikes, double* const* out, Workspace& ws) const;

private:
    struct StepCoefficients {
        std::vector<double> lower, diag, upper;
        TridiagonalFactors factors;
    };

    StepClock makeClock() const;

    std::vector<StepCoefficients> sets_;  // in the order the steps take them
    std::vector<double> grid_;
    std::size_t nodes_;
    int32_t optionType_;
    int32_t discretization_;
    int32_t timeSteps_;
    int32_t assetSteps_;
    double dt_;
    double intRate_;
    bool american_;
    bool sor_;
    bool turbo_;
    bool finalQuarter_;
    bool putLikeLowerEnd_;
    long sweepCap_;
};

}  // namespace tarvic
