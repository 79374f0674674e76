// The input checks of a finite-difference run, as a pure function: from
// what the pricer window and the settings dialog show at Calculate to either
// the arguments of the library call or the first check that refuses the run,
// with the warnings and corrections met on the way. The window only shows
// the outcome: the messages in order, the boxes written, the box focused.
#pragma once

#include "pricer/input_check_steps.h"
#include "shared/contract_terms.h"
#include "shared/pde_settings.h"
#include "shared/product_inputs.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tarvic {

// What Calculate reads: the pricer window's boxes and lists (the
// monitoring box as its handler last stored it), whether the periods box is
// shown, and the settings.
struct PdeForm : ContractForm {
    bool periodsShown = false;
    // The Greeks the Options menu asks for (theta only while offered).
    bool vega = false, theta = false;
    // The settings dialog: the step boxes as typed, its grid kind, whether
    // the user-defined maximum asset value is ticked; the settings it keeps
    // (gMaxS, the planes, the scheme) as they stand.
    QString assetSteps, timeSteps;
    bool nonUniformGrid = false;
    bool userMaximum = false;
    PdeSettings settings;
    // The window's contract block before the run (its flags).
    ProductInputs inputs;
};

// The values read, in the window's contract block and the settings.
struct PdeReading {
    ProductInputs inputs;  // the form's inputs with the boxes read in
    int32_t assetSteps = 0;
    int32_t timeSteps = 0;
    bool nonUniformGrid = false;
};

PdeReading readPdeForm(const PdeForm& form);

// The finite-difference call the checks let through.
struct PdeRequest {
    // The payoff priced: a knock-in whose continuously monitored barrier the
    // spot has already crossed is its vanilla.
    Payoff payoff = Payoff::Vanilla;
    bool knockedIn = false;
    double spot = 0.0, strike = 0.0, expiry = 0.0, volatility = 0.0;
    double intRate = 0.0, divYield = 0.0;
    double lowerBarrier = 0.0, upperBarrier = 0.0;
    bool contMonitoring = false;
    int32_t knockOut = 0;
    int32_t timeSteps = 0, assetSteps = 0;
    int32_t optionType = 0;
    int32_t exerciseType = 0;  // 0 European, 1 American, 2 Bermudan
    int32_t discretization = 0, amerSolver = 0;
    double maxAsset = 0.0;
    bool calcTheta = false, calcVega = false, nonUniformGrid = false;
    int32_t numPeriods = 0;
    int32_t planeSpacing = 0, planesInterp = 0;
    int32_t numFixings = 0, numSettled = 0;
    double settledAverage = 0.0, firstFixingTime = 0.0;
    bool multiThreaded = false;
    // An Asian with early exercise and a floating strike take the automatic
    // grid extent: the user's maximum waits for the next contract.
    bool holdUserMaximum = false;
    // The automatic grid may end below the spot: price again on a grid that
    // reaches twice the spot when it does.
    bool widenToSpot = false;
};

// The steps on the way and the refusal if any (CheckTrail), with what was
// read and the call the checks let through.
struct PdeCheckOutcome : CheckTrail {
    PdeReading reading;  // what was read, with the corrections made
    PdeRequest request;  // the call, when nothing refused it
};

// The checks, in their order. Raises the runtime's errors where the
// arithmetic of a check fails (no asset steps: division by zero; counts
// beyond 32 bits: overflow). limits defaults to settledAverageLimits.
PdeCheckOutcome checkPdeRun(const PdeForm& form, const AverageLimits& limits = {});

}  // namespace tarvic
