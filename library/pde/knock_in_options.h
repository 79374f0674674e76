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

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pde/barrier_option.h"

namespace tarvic {

// A recording of a companion solve: value at a barrier per time level, and
// the time to go of each level (entry 0: expiry).
double recordedValueAt(const std::vector<double>& times, const std::vector<double>& record,
                       double tau);

// The two solves shared by the three knock-ins. Both grids are built once,
// by the first count or solve: a solve again after the expiry or the
// volatility was bumped runs on the same grids, so its values differ from
// the first by the bump alone and not by a change of grid (the extent of
// the grids follows sigma^2 T in steps).
class DornTechKnockInOption : public DornTechBarrierOption {
public:
    // Refuses a knock-in grid beyond the solver before the companion runs.
    void price(std::vector<double>& gridOut, std::vector<double>& valueOut,
               std::vector<double>& deltaOut, std::vector<double>& gammaOut,
               std::vector<double>& thetaOut) override;
    // Counts the memory of the call's solves (solveBytes) before anything
    // large is allocated and refuses the call (knockInBeyondBudgetText)
    // when one solve at a time does not fit the memory available; then
    // builds the knock-in grid and the companion's grid, so that copies
    // solve on both. A companion grid that cannot be built here is left to
    // the solve, which fails with its own text.
    int32_t prepareSolves(int32_t solves, int32_t sideBySide) override;

    // The bytes `solves` solves of the contract hold at their peak with
    // sideBySide of them running at once: each keeps the companion's grid
    // and its records (a value per time level at each barrier, and the
    // level's time to go); each running one the companion's working
    // vectors and those of the knock-in solve. The team threads' address
    // space is not among them (teamAddressSpaceBytes). SIZE_MAX when the
    // count overflows.
    std::size_t solveBytes(int32_t solves, int32_t sideBySide);

    // The companion's values at the lower and upper recording levels (empty
    // where the contract has no such barrier), and their times to go.
    std::vector<double> lowerRecord;
    std::vector<double> upperRecord;
    std::vector<double> recordTimes;

protected:
    // Levels 0 record nothing. A lower level also fixes the value at the
    // bottom of the knock-in grid.
    DornTechKnockInOption(const BarrierContract& c, double lowerLevel, double upperLevel);

private:
    void recordBarrierValues();
    // A plain copy without the knock-in's grid and values, its grid still
    // to be built.
    DornTechOption bareCompanion();
    // The nodes of the companion's grid, counted without building it.
    double companionNodes();
    // At least the time levels a solve records (the placeholder of expiry
    // included): a level per step, three more for every start in quarter
    // steps.
    double recordedLevels() const;
    // Refuses the call when `solves` solves, one at a time, do not fit the
    // memory available; returns how many of them may run side by side.
    int32_t checkMemory(int32_t solves, int32_t sideBySide);

    double lowerLevel_;
    double upperLevel_;
    std::vector<double> companionGrid_;
    double companionDx_ = 0.0;
    double companionNodeCount_ = -1.0;  // companionNodes before the grid is built; -1: not counted
    bool memoryCounted_ = false;
};

// The refusal of a knock-in whose solves need more memory than is available
// (budgetText: "1.7GB").
std::string knockInBeyondBudgetText(const std::string& budgetText);

// Double knock-in between lowerBarrier L and upperBarrier U.
class DornTechDBIOption : public DornTechKnockInOption {
public:
    explicit DornTechDBIOption(const BarrierContract& c);
    std::unique_ptr<DornTechOption> clone() const override
    {
        return std::make_unique<DornTechDBIOption>(*this);
    }

    void buildGrid() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;

    double lowerBarrier;
    double upperBarrier;
};

// Down-and-in with barrier below the start.
class DornTechDIBOption : public DornTechKnockInOption {
public:
    explicit DornTechDIBOption(const BarrierContract& c);
    std::unique_ptr<DornTechOption> clone() const override
    {
        return std::make_unique<DornTechDIBOption>(*this);
    }

    void buildGrid() override;
    // Its own extents: a down-and-in lives on the far side of the barrier
    // and needs less room above the strike.
    int32_t gridStdDevs() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;

    double barrier;
};

// Up-and-in with barrier above the start.
class DornTechUIBOption : public DornTechKnockInOption {
public:
    explicit DornTechUIBOption(const BarrierContract& c);
    std::unique_ptr<DornTechOption> clone() const override
    {
        return std::make_unique<DornTechUIBOption>(*this);
    }

    void buildGrid() override;
    void payoff() override;
    void boundaryValues(double tau, int32_t level) override;

    double barrier;
};

}  // namespace tarvic
