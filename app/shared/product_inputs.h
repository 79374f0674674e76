#pragma once

#include <cstdint>

namespace tarvic {

// Contract and market data of one pricer window. Each pricer window owns one
// block; the drivers read the text boxes into it at Calculate, the contract
// handlers keep the flags up to date, and the settings dialogs read the flags
// of the window they serve (never those of the other window).
struct ProductInputs {
    double gAsset = 0.0;
    double gStrike = 0.0;
    double gExpiry = 0.0;        // years
    double gVol = 0.0;           // fraction (entered in percent)
    double gIntRate = 0.0;       // fraction (entered in percent)
    double gDiv = 0.0;           // fraction (entered in percent)
    double gUpBar = 0.0;         // 0 = none
    double gDownBar = 0.0;       // 0 = none
    int32_t gMonPts = 0;         // monitoring or exercise periods
    int32_t gSmplPoints = 0;     // total fixings
    int32_t gNFixed = 0;         // settled fixings
    double gInitAvg = 0.0;       // average of the settled fixings
    double gSmplStart = 0.0;     // time of the first fixing, years
    int32_t gExercise = 0;       // exercise code sent to the library
    int32_t gAsianStrikeType = 0;  // 0 fixed, 1 floating

    bool gBarrier = false;        // a barrier payoff (list indices 1 to 6)
    bool gAsian = false;          // an Asian payoff (indices 7 and 8)
    bool gFloatingStrike = false; // "Asian - Floating Strike"
    bool gDiscreteMon = false;    // barrier monitored on dates only
    bool gInputsChanged = false;  // an input changed since the last run
};

}  // namespace tarvic
