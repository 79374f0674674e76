#pragma once

// One-dimensional finite-difference pricer under Black–Scholes.
//
// The option value V(S, tau) is stepped back from expiry (tau = 0) to today
// (tau = T) on an asset grid 0 = S_0 < S_1 < ... < S_N. The class holds the
// contract, the market data and the solver settings; it builds the grid,
// places the terminal payoff, supplies the boundary values and the
// tridiagonal coefficients of the Black–Scholes operator, and derives delta
// and gamma on the grid. The time stepper (solvePde) reaches a contract only
// through the virtual operations below, so derived contracts (barriers, the
// planes of an Asian option) change grid, payoff and boundaries without
// touching it.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarvic {

// The five result vectors of a solve, in this order.
struct PdeResults {
    std::vector<double> grid;
    std::vector<double> value;
    std::vector<double> delta;
    std::vector<double> gamma;
    std::vector<double> theta;  // per calendar day
};

// The largest number of nodes the solver accepts in one grid. The exports
// refuse grids beyond their caller's arrays long before this; it guards
// direct users against grids whose working vectors cannot be allocated.
inline constexpr int64_t kMaxGridNodes = 50'000'000;

// The spread of log S at expiry, in units of sigma sqrt(T), that the
// automatic grids cover above the strike: a top at K e^(1.85 sigma sqrt(T))
// leaves an error of the top's condition carried down to the strike (the
// put knocked in at the top, see gridReaches) below 1e-4 of the strike for
// volatilities up to 5, expiries up to 30 years, yields up to 50% and
// rates from -5% up. The fixed extents of gridStdDevs reach that far up to
// sigma^2 T of about 1.8; beyond, the grids are raised (raisedTop).
inline constexpr double kReachSpreads = 1.85;

// A recorded value with its time to go.
using TimedRecord = std::pair<double, double>;

// The refusal of a grid too coarse for the drift against the volatility:
// the cell Peclet number reaches `peclet` at level S; the text asks for
// twice the asset steps that bring it to 1, or, beyond
// kMaxSuggestedAssetSteps, for a higher volatility.
inline constexpr double kMaxSuggestedAssetSteps = 10000.0;
std::string driftUnresolvedText(double peclet, double S, int32_t assetSteps);

class DornTechOption {
public:
    // PlaneCall and PlanePut are the planes of a fixed-strike Asian option:
    // no payoff here (start values come from outside), the strike is a cash
    // amount that is also the exercise value at every node.
    enum OptionType : int32_t { Call = 0, Put = 1, PlaneCall = 2, PlanePut = 3 };
    enum ExerciseType : int32_t { European = 0, American = 1, Bermudan = 2 };
    enum Discretization : int32_t { Implicit = 0, CrankNicolson = 1, Rannacher = 2 };
    enum AmerSolver : int32_t { ProjectedSor = 0, ProjectedTurboSor = 1, BrennanSchwartz = 2 };
    enum UpperBoundary : int32_t { GivenValue = 0, GivenSlope = 1, Linear = 2 };

    DornTechOption(double strike, int32_t timeSteps, double expiry, double volatility,
                   double intRate, double divYield, int32_t assetSteps, int32_t optionType,
                   int32_t exerciseType, int32_t discretization, int32_t amerSolver,
                   double maxAsset, bool nonUniformGrid, int32_t numPeriods,
                   int32_t upperBoundary, bool finalQuarterSteps);

    // A plain DornTechOption with deep copies of the grid and the values and
    // every other field unchanged (the vanilla companion of a knock-in).
    explicit DornTechOption(const DornTechOption& other);
    DornTechOption& operator=(const DornTechOption&) = delete;

    virtual ~DornTechOption();

    // A full copy of the contract as it stands, for a solve on its own
    // thread (a bumped re-solve beside the base solve); nullptr where a
    // contract keeps its solves on one object. A plain contract copies
    // itself; a derived one that does not say how to copy it gets nullptr,
    // never a plain copy of its base.
    virtual std::unique_ptr<DornTechOption> clone() const;
    // Builds what every later solve shares (the grids), so that copies
    // taken afterwards solve on the same grids as the original, and returns
    // how many of a call's `solves` solves may run side by side (at most
    // sideBySide, at least 1) in the memory there is. A contract whose
    // solves cannot fit it even one at a time refuses the call here, before
    // anything large is allocated.
    virtual int32_t prepareSolves(int32_t solves, int32_t sideBySide);

    // Solves and copies grid, value, delta, gamma and theta per day.
    virtual void price(std::vector<double>& gridOut, std::vector<double>& valueOut,
                       std::vector<double>& deltaOut, std::vector<double>& gammaOut,
                       std::vector<double>& thetaOut);
    virtual void init();
    virtual void buildGrid();
    // Top of the automatic grid as a multiple of the strike, from sigma^2 T.
    virtual int32_t gridStdDevs();
    // The level a grid's top must reach for the values at `level` to carry
    // no error of the top's condition worth counting:
    // level e^(kReachSpreads sigma sqrt(T)) (infinite where that overflows).
    double reachTop(double level) const;
    // The top an automatic grid ending at autoTop is raised to: 0 (keep
    // autoTop) where autoTop reaches reachTop(level), otherwise
    // reachTop(level), lowered to what a grid of about the strike's
    // spacing reaches within maxBuiltNodes nodes. level: the value that
    // matters (the strike, or the larger of spot and strike).
    double raisedTop(double autoTop, double level) const;
    virtual void payoff();
    virtual void boundaryValues(double tau, int32_t level);
    virtual void onMonitoringStep() {}

    void copyGrid(std::vector<double>& out);
    int32_t lastNodeIndex();
    double valueAt(double S, double tau) const;
    static double interpolateRecord(const std::vector<TimedRecord>& records, double t);
    // The rows of the theta scheme (mode 0 implicit, 1 Crank–Nicolson) for
    // a step dt. The drift is differenced centrally, and one-sided from
    // upstream at the nodes in valueBand(kBandStdDevs, true) whose cell
    // Peclet number |r - q| h / (sigma^2 S) exceeds 1.
    void setupCoefficients(std::vector<double>& lower, std::vector<double>& diag,
                           std::vector<double>& upper, double dt, int32_t mode) const;

    // The levels of the contract's kinks and barriers, and the time over
    // which the asset spreads about them.
    struct ValueLevels {
        double low;
        double high;
        double expiry;
    };
    virtual ValueLevels valueLevels() const { return {strike, strike, expiry}; }
    // The asset levels between which the solution carries the contract's
    // value: valueLevels widened by stdDevs standard deviations of log S
    // over their time and, when `drift` is set, towards where the drift
    // carries them by today (a kink at K to K e^(-(r - q) T)). Beyond
    // kBandStdDevs the solution is flat or a straight line, on which the
    // drift's central difference cannot oscillate.
    struct ValueBand {
        double low;
        double high;
    };
    ValueBand valueBand(double stdDevs, bool drift) const;
    static constexpr double kBandStdDevs = 5.0;
    // Where the value is decided (valueBand(kCoreStdDevs, true)), the
    // one-sided drift's own diffusion, |r - q| S h / 2 over the option's
    // life, times the solution's curvature may reach kDriftErrorFraction of
    // the contract's size before the call is refused (driftUnresolvedText).
    static constexpr double kCoreStdDevs = 2.0;
    static constexpr double kDriftErrorFraction = 1e-3;
    // Refuses a solution whose one-sided drift, at nodes whose cell Peclet
    // number |r - q| h / (sigma^2 S) passes 1 (h the cell below for r > q,
    // above for r < q), moved the value where it is read beyond
    // kDriftErrorFraction; gamma is the solution's.
    void checkDriftResolved(const std::vector<double>& gamma) const;
    void gridGreeks(std::vector<double>& delta, std::vector<double>& gamma) const;

    // Steps the solution back from expiry to today. With allOutputs only the
    // value vector of results is filled (values at or below 2e-9 as 0). A
    // level > 0 records the solution at that asset level for every time
    // level (entry 0 a placeholder for expiry). recordTimes, when given and a
    // level records, receives the time to go of every recorded entry (0 for
    // the placeholder), so that a solve on other time levels can look the
    // records up by time.
    void solvePde(PdeResults& results, bool allOutputs, double level1,
                  std::vector<double>* record1, double level2, std::vector<double>* record2,
                  std::vector<double>* recordTimes = nullptr);

    // Fields, in the order of the contract.
    std::vector<double> grid;
    std::vector<double> values;
    double dx = 0.0;
    double lowerValue = -1.0;
    double upperValue = -1.0;
    double strike;
    double expiry;
    double volatility;
    double intRate;
    double divYield;
    double maxAsset;
    double upperSlope = 1.0;
    int32_t assetSteps;
    int32_t nodeCount = 0;
    int32_t timeSteps;
    int32_t optionType;
    int32_t discretization;
    int32_t amerSolver;
    int32_t numPeriods;
    int32_t upperBoundary;
    int32_t exerciseType;
    bool american = false;
    bool bermudan = false;
    bool nonUniformGrid;
    bool payoffReady = false;
    bool gridBuilt = false;
    int32_t lowerFixed = -1;
    bool monitoringHook = false;
    bool finalQuarterSteps;
    // Grids of more nodes are counted, not built: lastNodeIndex reports
    // them and a solve refuses them. The exports lower it to what their
    // caller's arrays hold, so that a refused request allocates nothing.
    int64_t maxBuiltNodes = kMaxGridNodes;
    // The node limit an automatic top is raised within (raisedTop); 0: the
    // build limit. A grid counted without being built (a build limit of 0)
    // sets it to the limit of the build it counts for, so that the count
    // sees the same top as the build.
    int64_t raiseNodeLimit = 0;

protected:
    // The asset and cash parts of the top value of a Bermudan call, the
    // value last written there and the time since expiry (bermudanCallTop).
    double topAsset = 0.0;
    double topCash = 0.0;
    double topWritten = 0.0;
    double topTime = 0.0;

    double builtLimit() const { return static_cast<double>(maxBuiltNodes); }
    double raiseLimit() const
    {
        return static_cast<double>(raiseNodeLimit > 0 ? raiseNodeLimit : maxBuiltNodes);
    }
    // Checks the settings a solve depends on; throws with a message naming
    // the argument. Called by the constructor and again before each solve
    // (the exports bump expiry and volatility between solves).
    void checkInputs() const;
    // Checks a grid once built: enough nodes for the stencils, increasing.
    void checkGrid() const;
    // The top value of a Bermudan call with a given top value after a step
    // of dt (level as boundaryValues receives it): the larger of the value
    // the last exercise date left there, decayed as a deep-in-the-money
    // call (W at that date: S_N e^(-q t) - (S_N - W) e^(-r t), t the time
    // since; at expiry W = S_N - K), and the European top
    // S_N e^(-q tau) - K e^(-r tau), tau the time since expiry. So the top
    // is never below the European one.
    double bermudanCallTop(double dt, int32_t level);
    bool putLikeLowerEnd() const { return optionType == Put || optionType == PlanePut; }
    // The grid and the start values were set from outside, not built here.
    bool startsFromOutside() const { return payoffReady && gridBuilt; }
};

}  // namespace tarvic
