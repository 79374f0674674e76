#pragma once

// Asian options on the arithmetic average of discrete fixings, fixed or
// floating strike, European, American or Bermudan, by finite differences on
// planes of the running average.
//
// The running average A is a second state variable, discretised into planes
// A_0 < A_1 < ...; plane j holds the value as a function of the asset level S
// for A = A_j. Between fixings A does not move, so every plane is a
// one-dimensional Black–Scholes problem over one fixing period
// (DornTechOptionAS). At the n-th fixing the planes are coupled by the jump
// A' = ((n - 1) A + S) / n, read off the planes by interpolation across them.
// The planes of one period are independent and may be solved in parallel.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pde/dorn_tech_option.h"

namespace tarvic {

// The text of a request whose planes would not fit the program's memory.
inline constexpr const char* kAsianPlanesTooLargeText =
    "The spatial resolution you have requested requires more memory than the program can "
    "handle (4GB). Try reducing the number of asset steps to strike and/or the A-planes to "
    "Asset grid spacing ratio if possible.";

// The text of a request whose planes would fit the program's memory but
// not the memory available to it now (budgetText: "1.7GB").
std::string asianPlanesBeyondBudgetText(const std::string& budgetText);

inline constexpr const char* kSettledAverageTooHighText =
    "The average of settled fixings is too high and outside the calculation grid";

class DornTechAsianOption {
public:
    enum Interpolation : int32_t { Linear = 0, Quadratic = 1, Cubic = 2 };

    // A strike of exactly 0 selects the floating strike; the grid is then
    // centred on the spot.
    DornTechAsianOption(double spot, double strike, double expiry, double volatility,
                        double intRate, double divYield, double settledAverage,
                        double firstFixingTime, int32_t timeSteps, int32_t assetSteps,
                        int32_t planeSpacing, int32_t numFixings, int32_t numSettled,
                        int32_t optionType, int32_t exerciseType, int32_t discretization,
                        int32_t amerSolver, int32_t planesInterp, double maxAsset,
                        bool nonUniformGrid, bool multiThreaded);
    virtual ~DornTechAsianOption();

    DornTechAsianOption(const DornTechAsianOption&) = delete;
    DornTechAsianOption& operator=(const DornTechAsianOption&) = delete;

    // Asset grid, average planes and their counts. Leaves usedNodes 0 when
    // the reported grid is too large to be built. Once set up, the planes
    // stay: a valuation again after the expiry or the volatility was bumped
    // runs on the same grid.
    void setUpPlanes();
    void buildAveragePlanes();
    // Index of the last node of the reported grid (sets the planes up first
    // when they are not).
    int32_t lastOutputIndex();
    // The asset level today.
    double spotLevel() const { return spot; }
    // The first count planes := the payoff at expiry, the last fixing applied.
    void maturityPayoff(int32_t count);
    // Start values of one plane solve of period periodIndex (0 = the period
    // ending at expiry): the values just before that period's closing fixing,
    // read across the planes at the jumped average; planeIndex -1 stands for
    // the settled average. Writes usedNodes entries.
    void interpolatePlanes(double* out, int32_t periodIndex, int32_t planeIndex) const;
    // The whole valuation: grid, value, delta, gamma and theta per day at
    // the valuation date, one entry per solved node.
    void price(std::vector<double>& outAsset, std::vector<double>& outValue,
               std::vector<double>& outDelta, std::vector<double>& outGamma,
               std::vector<double>& outTheta);

    // The bytes a valuation holds at its peak, as the memory check counts
    // them (sets the planes up first when they are not; SIZE_MAX when they
    // cannot be).
    std::size_t valuationBytes();

    // Plane j's values at the current date of the backward sweep, at
    // planeValues[j * usedNodes + i].
    std::vector<double> planeValues;
    std::vector<double> assetNodes;
    std::vector<double> averagePlanes;
    double strike;  // the spot for a floating strike
    double expiry;
    double volatility;
    double intRate;
    double divYield;
    double settledAverage;
    double firstFixingTime;  // accepted, not read: fixings fall at equal intervals
    double maxAsset;
    double activeFraction;
    int32_t assetSteps;
    int32_t usedNodes = 0;
    int32_t outputNodes = 0;
    int32_t numPlanes = 0;
    int32_t numFixings;
    int32_t numSettled;
    int32_t timeSteps;
    int32_t optionType;
    int32_t discretization;
    int32_t amerSolver;
    int32_t planesInterp;
    int32_t exerciseType;
    int32_t planeSpacing;
    bool nonUniformGrid;
    bool multiThreaded;
    bool planesReady = false;
    bool floatingStrike;

    // Planes solved (the lowest ones; the top one bounds the interpolation).
    int32_t numActivePlanes = 0;
    // Bytes a valuation may claim; 0 asks the machine what it has available.
    std::size_t memoryBudget = 0;
    // A reported grid of more nodes is counted, not built (the export's
    // limit is what its caller's arrays hold).
    int64_t maxBuiltNodes = kMaxGridNodes;

private:
    struct Schedule {
        int32_t remaining;       // fixings still to come, the last at expiry
        double period;           // time between them
        int32_t stepsPerPeriod;  // time steps of each period before the last
        int32_t lastSteps;       // time steps of the period from now
    };

    void checkInputs() const;
    Schedule schedule() const;
    int32_t countActivePlanes() const;
    // Planes holding values in the sweep (all active ones, fewer when one
    // fixing is left).
    int32_t filledPlanes(const Schedule& s) const;
    void checkMemory(const Schedule& s) const;
    std::size_t heldBytes(const Schedule& s) const;
    // Payoff at expiry for an average A' after the last fixing and asset S.
    double payoffAt(double average, double S) const;
    double exerciseValueAt(double average, double S) const;
    // The levels that carry the value on every plane (DornTechOption::
    // valueLevels): the spot and the strike, over the time to expiry.
    DornTechOption::ValueLevels valueLevels() const;
    // The value at node i just before a fixing that moves the average to
    // `average`. hi: the upper plane of the bracket of the node before (1 at
    // the first node); averages must not fall from one call to the next.
    double acrossPlanes(double average, int32_t i, int32_t& hi) const;
    double shiftedLinear(int32_t lo, int32_t hi, double w, int32_t i) const;
    double planeAt(int32_t j, double S) const;
    const double* plane(int32_t j) const
    {
        return planeValues.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(usedNodes);
    }

    double spot;
};

}  // namespace tarvic
