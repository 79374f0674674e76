#pragma once

// Knock-out barrier options on the one-dimensional grid.
//
// Continuous monitoring: the grid ends on the barrier(s) and the value there
// is 0 at every time level. Discrete monitoring: the grid runs past the
// barriers; the barrier is applied at expiry by the payoff and at every
// period end before expiry (numPeriods > 1) by onMonitoringStep. The cell
// that holds a barrier gets the average of the value over its live part, so
// the barrier acts where it lies, not at the nearest node.

#include <cstdint>

#include "pde/barrier_grids.h"
#include "pde/barrier_option.h"

namespace tarvic {

// Double knock-out between lowerBarrier L and upperBarrier U.
class DornTechDBOOption : public DornTechBarrierOption {
public:
    explicit DornTechDBOOption(const BarrierContract& c);
    std::unique_ptr<DornTechOption> clone() const override
    {
        return std::make_unique<DornTechDBOOption>(*this);
    }

    void buildGrid() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;
    void onMonitoringStep() override;
    // Stretching of the discretely monitored sinh grid, from 3.5 (clustering
    // point well inside the corridor) up to 8.5 (close to a barrier), by
    // the rule of the option's type or, with `put`, of a put or a call.
    double clusteringStrength() const;
    double clusteringStrength(bool put) const;

    double lowerBarrier;
    double upperBarrier;
    double clusteringPoint = 0.0;
    bool contMonitoring;

private:
    // The discretely monitored stretched grid.
    GridNodes stretchedGrid(const ExtentFactor& e) const;
};

// Down-and-out with barrier below the start.
class DornTechDOBOption : public DornTechBarrierOption {
public:
    explicit DornTechDOBOption(const BarrierContract& c);
    std::unique_ptr<DornTechOption> clone() const override
    {
        return std::make_unique<DornTechDOBOption>(*this);
    }

    void buildGrid() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;
    void onMonitoringStep() override;
    double clusteringStrength() const;

    double barrier;
    double clusteringPoint = 0.0;
    bool contMonitoring;
    // The asset level today: the grid reaches far enough for its value.
    double spot;
};

// Up-and-out with barrier above the start.
class DornTechUOBOption : public DornTechBarrierOption {
public:
    explicit DornTechUOBOption(const BarrierContract& c);
    std::unique_ptr<DornTechOption> clone() const override
    {
        return std::make_unique<DornTechUOBOption>(*this);
    }

    void buildGrid() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;
    void onMonitoringStep() override;
    double clusteringStrength() const;

    double barrier;
    double clusteringPoint = 0.0;
    bool contMonitoring;
};

// Payoff of a discretely monitored knock-out alive on [lower, upper]
// (lower 0 and upper +inf for none): the vanilla payoff inside, 0 outside,
// and in the cells of the barriers and of the strike the cell average of
// the live payoff.
void discreteKnockOutPayoff(const std::vector<double>& grid, std::vector<double>& values,
                            double strike, int32_t optionType, double lower, double upper);

// A monitoring date: nodes below a lower barrier (above an upper one) are
// knocked out; the barrier's cell keeps the integral, over its live part, of
// the quadratic through the cell and its neighbours.
void applyLowerBarrier(const std::vector<double>& grid, std::vector<double>& values,
                       double barrier);
void applyUpperBarrier(const std::vector<double>& grid, std::vector<double>& values,
                       double barrier);

}  // namespace tarvic
