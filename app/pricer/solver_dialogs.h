// The pricer window's way to the two settings dialogs.
#pragma once

class frmOptions;

// Whether the finite-difference / Monte Carlo settings dialog has been
// created (it then owns the settings it shows).
bool pdeSettingsDialogExists();
bool mcSettingsDialogExists();

// Shows the settings dialog of the solver mode modally for the window.
void showSettingsDialogModal(int solverMode, frmOptions& window);
