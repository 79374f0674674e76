// The two solver-settings dialogs, one instance each for the program's
// lifetime, loaded at the first touch.
//
// gFrmResol() and gFrmResolMC() load their dialog (hidden) the first time
// any code touches it, exactly as reading a control of an unloaded form
// does; the window passed, when not nullptr, becomes the pricer window the
// dialog serves (before the load, so that the load already reads its
// flags). The finite-difference dialog serves the finite-difference pricer
// window, the Monte Carlo dialog the Monte Carlo one.
#pragma once

#include <cstdint>

class frmResol;
class frmResolMC;

namespace tarvic {
class PricerLink;
}

frmResol& gFrmResol(tarvic::PricerLink* served = nullptr);
frmResolMC& gFrmResolMC(tarvic::PricerLink* served = nullptr);

// The dialog when it is loaded, else nullptr (touches nothing).
frmResol* frmResolIfLoaded();
frmResolMC* frmResolMCIfLoaded();

// The solver-setting defaults a pricer window writes when it loads, under
// the given solver mode. The settings a loaded dialog owns (scheme,
// American solver, grid kind, number generator) are left as its controls
// show them; the others are written as a pricer window's load writes them:
// mode 1 sets gPlanesInterp -1, gDefaultPlanesInterp 2 and gPlaneSpacing 4,
// mode 2 sets gFewBlocks; both set gDiscretization 2, gAmerSolver 2 and
// gNonUniGrid while the finite-difference dialog is not loaded, and mode 2
// sets gSobol while the Monte Carlo dialog is not loaded.
void applyPricerLoadDefaults(int32_t solverMode);

// Ends both dialogs (program end, and tests that want fresh ones).
void destroySettingsDialogs();
