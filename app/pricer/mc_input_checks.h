// The input checks of a Monte Carlo run, as a pure function: from what the
// pricer window and the Monte Carlo settings dialog show at Calculate to
// either the arguments of the library call or the first check that refuses
// the run, with the warnings and corrections met on the way. The window only
// shows the outcome.
#pragma once

#include "pricer/input_check_steps.h"
#include "shared/contract_terms.h"
#include "shared/mc_settings.h"
#include "shared/product_inputs.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tarvic {

// What Calculate reads: the pricer window's boxes and lists, and the
// settings.
struct McForm : ContractForm {
    // The settings dialog's boxes as typed: the paths ("2^" and an exponent
    // under Sobol numbers, thousands otherwise), the regression paths and
    // the basis functions chosen.
    QString paths, regressionPaths, basisFunctions;
    // Its check boxes: Delta, Gamma, Vega, Theta; the likelihood-ratio
    // method; all cores; warm-up, Brownian bridge, antithetic variables.
    std::array<bool, 4> greeks{};
    bool likelihoodRatio = true;
    bool multiThreaded = false;
    bool warmUp = false, brownianBridge = false, antithetic = false;
    // The settings it keeps (the number generator, time marching, the
    // block switch and the flags of the generator not in use).
    McSettings settings;
    // The window's contract block before the run (its flags).
    ProductInputs inputs;
};

// The values read: the window's contract block and the settings the run
// writes (gPaths and gLSPaths as sent, the flags of the generator in use,
// the basis functions, the sensitivities and their method).
struct McReading {
    ProductInputs inputs;
    McSettings settings;
};

McReading readMcForm(const McForm& form);

// The Monte Carlo call the checks let through: VelkOptionPricerMC for the
// vanilla and barrier payoffs, VelkAsianOptionPricerMC for the Asian ones.
struct McRequest {
    Payoff payoff = Payoff::Vanilla;
    double spot = 0.0, strike = 0.0, expiry = 0.0, volatility = 0.0;
    double intRate = 0.0, divYield = 0.0;
    double lowerBarrier = 0.0, upperBarrier = 0.0;
    int32_t numSteps = 0;      // time steps of each path (vanilla and barrier)
    int32_t optionType = 0;
    int32_t exerciseType = 0;  // 0 European, 1 early exercise
    int32_t knockOut = 0;
    bool contMonitoring = false;
    // Asian: the fixings still to come, those settled and their average,
    // the time of the first fixing; 0 fixed, 1 floating strike.
    int32_t numFixings = 0, numSettled = 0;
    double settledAverage = 0.0, firstFixingTime = 0.0;
    int32_t strikeType = 0;
    // Paths as the library takes them: the Sobol exponent, or thousands.
    int32_t numPaths = 0, numLSPaths = 0;
    int32_t numBasisFunctions = 0;
    int32_t greeksCode = 0, greeksMethod = 0, timeMarching = 0;
    bool antithetic = false, useSobol = false, warmUpSobol = false, brownianBridge = false;
    bool multiThreaded = false, fewSobolBlocks = false;

    // The paths the run is made of: 2^numPaths, or 1000 numPaths.
    int64_t pathsRun() const;
    int64_t lsPathsRun() const;
};

// The steps on the way and the refusal if any (CheckTrail), with what was
// read and the call the checks let through.
struct McCheckOutcome : CheckTrail {
    McReading reading;  // what was read, with the corrections made
    // The run ends without a word (a Sobol exponent beyond the generator).
    bool silentStop = false;
    McRequest request;  // the call, when nothing stopped it
};

// The checks, in their order. Raises the runtime's errors where the
// arithmetic of a check fails (counts beyond 32 bits: overflow). limits
// defaults to settledAverageLimits.
McCheckOutcome checkMcRun(const McForm& form, const AverageLimits& limits = {});

}  // namespace tarvic
