// The tests' way to the controls of a pricer window, which the window keeps
// to itself.
#pragma once

#include "pricer/frm_options.h"

struct PricerWindowTestAccess {
    static frmOptionsUi& ui(frmOptions& window) { return window.ui; }
};

inline frmOptionsUi& ui(frmOptions& window)
{
    return PricerWindowTestAccess::ui(window);
}

inline const frmOptionsUi& ui(const frmOptions& window)
{
    return PricerWindowTestAccess::ui(const_cast<frmOptions&>(window));
}

inline frmOptionsUi& ui(frmOptions* window)
{
    return ui(*window);
}

inline const frmOptionsUi& ui(const frmOptions* window)
{
    return ui(*window);
}
