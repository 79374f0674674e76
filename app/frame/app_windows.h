// The program's windows, reached the way the old forms were: by name.
//
// gFrmPDE() and gFrmMC() return the two pricer windows and load the one
// touched at its first use (its load runs under the current solver mode), as
// reading any control of an unloaded form does.
#pragma once

class MDIDorn;
class frmOptions;

// The main window, nullptr before it exists.
MDIDorn* mainDorn();

// The finite-difference and the Monte Carlo pricer window, loaded.
frmOptions& gFrmPDE();
frmOptions& gFrmMC();

// Called by the main window as it is created (and with nullptr as it goes).
void registerMainDorn(MDIDorn* dorn);
