// What the input checks of a run hand the pricer window to show: the boxes
// they name, the warnings and corrections on the way, and the check that
// stops the run. The finite-difference and the Monte Carlo checks share
// them; the window only shows them.
#pragma once

#include "shared/product_inputs.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tarvic {

// The boxes a check names. MaximumAsset is the finite-difference settings
// dialog's; Paths and RegressionPaths are the Monte Carlo settings
// dialog's; ContinuousMonitoring is the window's check box.
enum class FormBox {
    None,
    Asset,
    Strike,
    Volatility,
    InterestRate,
    Dividend,
    Expiry,
    UpBarrier,
    DownBarrier,
    Periods,
    Fixings,
    SettledFixings,
    SettledAverage,
    MaximumAsset,
    Paths,
    RegressionPaths,
    ContinuousMonitoring,
};

struct BoxWrite {
    FormBox box = FormBox::None;
    QString text;
};

struct CheckMessage {
    QString text;
    QString title;
};

// What the run does on its way and goes on: a warning, then the boxes it
// writes; or, for an American Asian, one plane per asset step.
struct CheckStep {
    std::optional<CheckMessage> message;
    std::vector<BoxWrite> writes;
    bool onePlanePerStep = false;
};

// The check that stops the run: its message, then the box emptied or
// written, focused, the caret after its text; or the settings dialog
// shown.
struct CheckRefusal {
    CheckMessage message;
    FormBox focus = FormBox::None;
    bool clear = false;
    std::optional<QString> reset;
    bool caretAtEnd = false;
    bool openSettings = false;
};

// The bounds of the settled fixings' average for the inputs read (the
// window traps and reports a fault in them and goes on with what was found).
using AverageLimits = std::function<void(const ProductInputs&, double& lower, double& upper)>;

}  // namespace tarvic
