// What a pricer window asks of the main window that holds it. The main
// window gives itself to each pricer window it creates; a pricer window
// without one (no main window) keeps to itself.
#pragma once

#include <cstdint>

class frmOptions;

namespace tarvic {

class PricerHost {
public:
    virtual ~PricerHost() = default;
    // The pricer window of a solver (kSolverPde or kSolverMc), loaded.
    virtual frmOptions& pricerWindow(int32_t solver) = 0;
    // Shows a pricer window modelessly; one on screen comes to the front.
    virtual void showPricerWindow(frmOptions& window) = 0;
    // Shows the menus of the window in front, after one came or went.
    virtual void refreshMenus() = 0;
};

}  // namespace tarvic
