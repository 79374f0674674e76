// The error reporter: one warning box built from the pending error and a
// phrase naming what was being done when it was raised.
#pragma once

#include <QString>

class QWidget;

namespace tarvic {

struct ErrObject;

// "Automation error" at the start of the description keeps the reporter
// quiet (the exact, case-sensitive leading 16 characters).
bool isSilentError(const ErrObject& error);

// "Error <number>(<description>) occurred while <phrase>".
QString errorReportText(const ErrObject& error, const QString& phrase);

// "PDE Solver - ERROR" in solver mode 1, "Monte Carlo Solver - ERROR" in any
// other mode.
QString errorReportTitle(int solverMode);

// Shows the pending error with the phrase in a warning box over parent,
// titled by the solver mode given (by default the current one); nothing for
// a silent error.
void reportPendingError(const QString& phrase, QWidget* parent);
void reportPendingError(const QString& phrase, QWidget* parent, int solverMode);

}  // namespace tarvic
