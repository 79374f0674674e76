// What the input checks of a run hand the pricer window to show: the boxes
// they name, the warnings and corrections on the way, and the check that
// stops the run. The finite-difference and the Monte Carlo checks share
// them; the window only shows them.
#pragma once

#include "shared/contract_terms.h"
#include "shared/product_inputs.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tarvic {

// What the checks of both runs read of the pricer window: its boxes as
// typed, whether the barrier boxes are shown (a hidden barrier box counts
// as no barrier), the lists and the monitoring box.
struct ContractForm {
    QString asset, strike, volatility, interestRate, dividend, expiry;
    QString upBarrier, downBarrier, periods;
    bool upBarrierShown = false, downBarrierShown = false;
    QString fixings, settledFixings, settledAverage, firstFixing;
    Payoff payoff = Payoff::Vanilla;
    Exercise exercise = Exercise::European;
    OptionType optionType = OptionType::Call;
    bool continuousMonitoring = false;
};

// The market data, barriers and fixings of the boxes, read the way the
// window reads numbers (volatility, rate and dividend from percent).
void readContractBoxes(const ContractForm& form, ProductInputs& in);

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

// The steps a chain of checks collects on its way, and the refusal that
// ends it. Each way to refuse returns false, so that a check reads
// `return refuse(...)`.
struct CheckTrail {
    std::vector<CheckStep> steps;  // in order, before the refusal if any
    std::optional<CheckRefusal> refusal;

    bool stop(CheckRefusal r);
    // The message, then the box focused (emptied first when asked).
    bool refuse(const QString& text, const QString& title, FormBox focus, bool clear = false);
    // The message, then the box written with the value and focused, the
    // caret after it when asked.
    bool resetAndStop(const QString& text, const QString& title, FormBox box, const QString& value,
                      bool caretAtEnd = true);
    // A warning, then the boxes written; the run goes on.
    void warn(const QString& text, const QString& title, std::vector<BoxWrite> writes = {});
    // An empty rate or dividend box is shown as the 0 it is read as.
    void showZeroRates(const ProductInputs& read);
};

// The bounds of the settled fixings' average for the inputs read (the
// window traps and reports a fault in them and goes on with what was found).
using AverageLimits = std::function<void(const ProductInputs&, double& lower, double& upper)>;

}  // namespace tarvic
