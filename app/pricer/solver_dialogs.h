// The pricer window's way to the two settings dialogs.
#pragma once

class frmOptions;

// Shows the settings dialog of the solver (kSolverPde or kSolverMc)
// modally for the pricer window it serves.
void showSettingsDialogModal(int solver, frmOptions& served);
