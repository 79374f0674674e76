#pragma once

#include <cstdint>

namespace tarvic {

// Finite-difference settings. The settings dialog frmResol writes them as its
// controls change; the finite-difference driver reads them (and, at
// Calculate, the step-count boxes of the dialog).
struct PdeSettings {
    int32_t gDiscretization = 0;   // 0 Implicit, 1 Crank-Nicolson, 2 Crank-Nicolson with Rannacher
    int32_t gAmerSolver = 0;       // 0 Projected SOR, 1 Projected Turbo SOR, 2 Brennan-Schwartz
    int32_t gPlanesInterp = 0;     // 0 Linear, 1 Quadratic, 2 Cubic; -1 = not chosen
    int32_t gDefaultPlanesInterp = 0;  // used while gPlanesInterp is -1
    int32_t gPlaneSpacing = 0;     // 1, 2 or 4
    double gMaxS = 0.0;            // user-defined maximum asset value; 0 = automatic
    bool gNonUniGrid = false;
    bool gMultiThreadPDE = false;
    int32_t gUserNoA = 0;          // asset steps typed under "User-defined"
    int32_t gUserTS = 0;           // time steps typed under "User-defined"

    // Written by the finite-difference driver at Calculate.
    int32_t gGridSize = 0;         // in: asset steps to the strike; out: last node index
    int32_t gTimeSteps = 0;
};

extern PdeSettings gPdeSettings;

}  // namespace tarvic
