#pragma once

// Knock-in barrier options, continuously monitored.
//
// A knock-in is worth the vanilla option once a barrier is touched, so each
// contract works in two solves: a vanilla companion (a plain DornTechOption
// on its own grid from 0, with the contract's exercise style) records the
// vanilla value at the barrier level(s) for every time level; then a
// European solve on a grid that ends at the barrier(s) takes those values as
// its boundary values, with the vanilla payoff only on the barrier nodes.
//
// The records are looked up by time to go, not by level count: an American
// companion may end in quarter steps, a Bermudan one may restart them, and
// the knock-in solve has neither.

#include <cstdint>
#include <vector>

#include "pde/dorn_tech_option.h"

namespace tarvic {

// A recording of a companion solve: value at a barrier per time level, and
// the time to go of each level (entry 0: expiry).
double recordedValueAt(const std::vector<double>& times, const std::vector<double>& record,
                       double tau);

// Double knock-in between lowerBarrier L and upperBarrier U.
class DornTechDBIOption : public DornTechOption {
public:
    DornTechDBIOption(double strike, double lowerBarrier, double upperBarrier, int32_t timeSteps,
                      double expiry, double volatility, double intRate, double divYield,
                      int32_t assetSteps, int32_t optionType, int32_t exerciseType,
                      int32_t discretization, int32_t amerSolver, double maxAsset,
                      bool nonUniformGrid, int32_t numPeriods);

    void price(std::vector<double>& gridOut, std::vector<double>& valueOut,
               std::vector<double>& deltaOut, std::vector<double>& gammaOut,
               std::vector<double>& thetaOut) override;
    void buildGrid() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;

    double lowerBarrier;
    double upperBarrier;
    std::vector<double> lowerRecord;
    std::vector<double> upperRecord;
    std::vector<double> recordTimes;

private:
    void recordBarrierValues();
};

// Down-and-in with barrier below the start.
class DornTechDIBOption : public DornTechOption {
public:
    DornTechDIBOption(double strike, double lowerBarrier, int32_t timeSteps, double expiry,
                      double volatility, double intRate, double divYield, int32_t assetSteps,
                      int32_t optionType, int32_t exerciseType, int32_t discretization,
                      int32_t amerSolver, double maxAsset, bool nonUniformGrid,
                      int32_t numPeriods);

    void price(std::vector<double>& gridOut, std::vector<double>& valueOut,
               std::vector<double>& deltaOut, std::vector<double>& gammaOut,
               std::vector<double>& thetaOut) override;
    void buildGrid() override;
    // Its own extents: a down-and-in lives on the far side of the barrier
    // and needs less room above the strike.
    int32_t gridStdDevs() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;

    double barrier;
    std::vector<double> lowerRecord;
    std::vector<double> recordTimes;

private:
    void recordBarrierValues();
};

// Up-and-in with barrier above the start.
class DornTechUIBOption : public DornTechOption {
public:
    DornTechUIBOption(double strike, double upperBarrier, int32_t timeSteps, double expiry,
                      double volatility, double intRate, double divYield, int32_t assetSteps,
                      int32_t optionType, int32_t exerciseType, int32_t discretization,
                      int32_t amerSolver, double maxAsset, bool nonUniformGrid,
                      int32_t numPeriods);

    void price(std::vector<double>& gridOut, std::vector<double>& valueOut,
               std::vector<double>& deltaOut, std::vector<double>& gammaOut,
               std::vector<double>& thetaOut) override;
    void buildGrid() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;

    double barrier;
    std::vector<double> upperRecord;
    std::vector<double> recordTimes;

private:
    void recordBarrierValues();
};

}  // namespace tarvic
