#pragma once

// The solver of one average plane of an Asian option: a DornTechOption whose
// grid and start values are set from outside. Between two fixings the
// running average does not move, so each plane is a one-dimensional
// Black–Scholes problem over one fixing period.

#include <cstdint>
#include <vector>

#include "pde/dorn_tech_option.h"

namespace tarvic {

class DornTechOptionAS : public DornTechOption {
public:
    // No exercise periods, a linear top (zero second derivative) and the
    // flag as the final quarter steps. Only the low byte of exerciseStyle
    // counts. For plane types the strike is a cash amount; it may be 0, as
    // may a floating strike's average on the lowest plane, once the grid and
    // start values are set.
    DornTechOptionAS(double strike, int32_t timeSteps, double expiry, double volatility,
                     double intRate, double divYield, int32_t assetSteps, int32_t optionType,
                     int32_t exerciseStyle, int32_t discretization, int32_t amerSolver,
                     double maxAsset, bool nonUniformGrid, bool finalQuarterSteps);
    ~DornTechOptionAS() override;

    // A non-empty grid becomes the option's grid (its step the distance of
    // the first two nodes); an empty one makes the option build its own.
    // Start values of the grid's length become the values at the start of
    // the solve; otherwise the payoff applies.
    void setGridAndValues(std::vector<double> startValues, const std::vector<double>& newGrid);

    // Throws when the grid breaks the solver's rules (node count, order,
    // extent against the strike).
    using DornTechOption::checkGrid;

    // The levels that carry the value of the whole Asian option and its
    // time to expiry, which the plane's own strike (a cash amount) and
    // period do not tell; while levels.high is 0 the plane takes its strike
    // and period.
    ValueLevels levels{0.0, 0.0, 0.0};
    ValueLevels valueLevels() const override
    {
        return levels.high > 0.0 ? levels : DornTechOption::valueLevels();
    }
};

}  // namespace tarvic
