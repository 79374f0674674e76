#pragma once

// The description every barrier contract is built from, and the base class
// that turns it into the market, grid and solver settings of DornTechOption.

#include <algorithm>
#include <cstdint>

#include "pde/dorn_tech_option.h"

namespace tarvic {

// A barrier contract as the barrier export receives it. A missing barrier
// is 0. The knock-ins are monitored continuously and read neither spot nor
// contMonitoring.
struct BarrierContract {
    double spot;
    double strike;
    double lowerBarrier;
    double upperBarrier;
    bool contMonitoring;
    int32_t timeSteps;
    double expiry;
    double volatility;
    double intRate;
    double divYield;
    int32_t assetSteps;
    int32_t optionType;
    int32_t exerciseType;
    int32_t discretization;
    int32_t amerSolver;
    double maxAsset;
    bool nonUniformGrid;
    int32_t numPeriods;
};

class DornTechBarrierOption : public DornTechOption {
protected:
    explicit DornTechBarrierOption(const BarrierContract& c)
        : DornTechOption(c.strike, c.timeSteps, c.expiry, c.volatility, c.intRate, c.divYield,
                         c.assetSteps, c.optionType, c.exerciseType, c.discretization,
                         c.amerSolver, c.maxAsset, c.nonUniformGrid, c.numPeriods, GivenValue,
                         true),
          featureLow_(lowestLevel(c)),
          featureHigh_(highestLevel(c))
    {
    }

    // The strike and the barriers carry the value.
    ValueLevels valueLevels() const override { return {featureLow_, featureHigh_, expiry}; }

private:
    static double lowestLevel(const BarrierContract& c)
    {
        return c.lowerBarrier > 0.0 ? std::min(c.strike, c.lowerBarrier) : c.strike;
    }
    static double highestLevel(const BarrierContract& c)
    {
        return std::max(c.strike, c.upperBarrier);
    }

    double featureLow_;
    double featureHigh_;
};

}  // namespace tarvic
