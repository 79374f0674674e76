// What the two runs of the pricer window share: Calculate, the trap of a
// run, what the checks read of the window and how their outcome is shown,
// the contract a run starts on, and the busy state from the start of a run
// to its end.
#include "pricer/frm_options.h"

#include "platform/control_look.h"
#include "platform/message_box.h"
#include "platform/runtime_error.h"
#include "platform/system_services.h"
#include "pricer/run_gate.h"
#include "pricer/settled_average.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

#include <algorithm>
#include <utility>

using namespace tarvic;

// ---------------------------------------------------------------------------
// Calculate

void frmOptions::cmdCalc_Click()
{
    // A second press while a run of either window is out must not start
    // another.
    if (runInProgress() || RunGate::instance().busy())
        return;
    // Each window runs its own solver.
    if (ownSolver() == kSolverPde)
        CalculatePDE();
    else
        CalculateMC();
}

void frmOptions::runCalculation(const std::function<void()>& body)
{
    RunTrapped(body, [this] {
        if (Err().Number == kErrGridInvalidRow)
            return;
        ui.lblProgress->setText(QStringLiteral("Failed"));
        ReportError(QStringLiteral("solving for the option price"));
    });
}

// ---------------------------------------------------------------------------
// The input checks: the window gathers what they read and shows what they
// decide. Each stop leaves what was read in the shared state.

void frmOptions::contractForm(ContractForm& f) const
{
    f.asset = ui.txtAsset->text();
    f.strike = ui.txtStrike->text();
    f.volatility = ui.txtVol->text();
    f.interestRate = ui.txtIntRate->text();
    f.dividend = ui.txtDiv->text();
    f.expiry = ui.txtExpi->text();
    f.upBarrier = ui.TxtUpBar->text();
    f.downBarrier = ui.txtDownBar->text();
    f.periods = ui.txtMonPts->text();
    f.upBarrierShown = !ui.TxtUpBar->isHidden();
    f.downBarrierShown = !ui.txtDownBar->isHidden();
    f.fixings = ui.txtSmplPoints->text();
    f.settledFixings = ui.txtNFixed->text();
    f.settledAverage = ui.txtInitAvg->text();
    f.firstFixing = ui.txtSmplstart->text();
    f.payoff = payoff();
    f.exercise = exercise();
    f.optionType = static_cast<OptionType>(ui.cboOptions->currentIndex());
    f.continuousMonitoring = ui.chkContMon->isChecked();
}

void frmOptions::keepContractReading(const ProductInputs& read)
{
    ProductInputs& in = m_inputs;
    in.gAsset = read.gAsset;
    in.gStrike = read.gStrike;
    in.gVol = read.gVol;
    in.gIntRate = read.gIntRate;
    in.gDiv = read.gDiv;
    in.gExpiry = read.gExpiry;
    in.gSmplPoints = read.gSmplPoints;
    in.gInitAvg = read.gInitAvg;
    in.gSmplStart = read.gSmplStart;
    in.gNFixed = read.gNFixed;
    in.gUpBar = read.gUpBar;
    in.gDownBar = read.gDownBar;
}

QWidget* frmOptions::windowBox(FormBox box) const
{
    switch (box) {
    case FormBox::Asset: return ui.txtAsset;
    case FormBox::Strike: return ui.txtStrike;
    case FormBox::Volatility: return ui.txtVol;
    case FormBox::InterestRate: return ui.txtIntRate;
    case FormBox::Dividend: return ui.txtDiv;
    case FormBox::Expiry: return ui.txtExpi;
    case FormBox::UpBarrier: return ui.TxtUpBar;
    case FormBox::DownBarrier: return ui.txtDownBar;
    case FormBox::Periods: return ui.txtMonPts;
    case FormBox::Fixings: return ui.txtSmplPoints;
    case FormBox::SettledFixings: return ui.txtNFixed;
    case FormBox::SettledAverage: return ui.txtInitAvg;
    case FormBox::ContinuousMonitoring: return ui.chkContMon;
    // The settings dialogs' boxes are the runs' own to find.
    case FormBox::None:
    case FormBox::MaximumAsset:
    case FormBox::Paths:
    case FormBox::RegressionPaths: return nullptr;
    }
    return nullptr;
}

AverageLimits frmOptions::averageLimits()
{
    // A fault in the bounds of the settled average is reported, and the
    // checks go on with the bounds found.
    return [this](const ProductInputs& in, double& lower, double& upper) {
        trapped("checking whether the initial average is within the allowed limits",
                [&] { settledAverageLimits(in, lower, upper); });
    };
}

void frmOptions::showCheckSteps(const CheckTrail& trail,
                                const std::function<void(const BoxWrite&)>& write)
{
    for (const CheckStep& step : trail.steps) {
        if (step.message)
            MsgBox(step.message->text, MsgIcon::Exclamation, MsgButtons::OKOnly,
                   step.message->title, this);
        for (const BoxWrite& w : step.writes)
            write(w);
    }
}

void frmOptions::showRefusal(const CheckRefusal& refusal, QWidget* box,
                             const std::function<void()>& openSettings)
{
    MsgBox(refusal.message.text, MsgIcon::Exclamation, MsgButtons::OKOnly, refusal.message.title,
           this);
    if (refusal.openSettings)
        openSettings();
    if (!box)
        return;
    auto* text = qobject_cast<QLineEdit*>(box);
    if (text && refusal.clear)
        text->clear();
    box->setFocus();
    if (text && refusal.reset)
        text->setText(*refusal.reset);
    if (text && refusal.caretAtEnd)
        text->setCursorPosition(static_cast<int>(text->text().size()));
}

// ---------------------------------------------------------------------------
// The start of a run

RunSnapshot frmOptions::contractAtRun() const
{
    RunSnapshot run;
    contractForm(run.typed);
    run.payoff = run.typed.payoff;
    run.exercise = run.typed.exercise;
    run.optionType = run.typed.optionType;
    run.continuousMonitoring = run.typed.continuousMonitoring;
    run.payoffText = ui.cboPayoff->currentText();
    run.optionTypeText = ui.cboOptions->currentText();
    run.exerciseText = ui.cboExercise->currentText();
    return run;
}

void frmOptions::launchRun(std::function<void()> job,
                           std::function<void(uint32_t, std::exception_ptr)> done)
{
    beginRun();
    try {
        // Busy from here on, and the clock runs.
        const uint32_t start = GetTickCount();
        ui.lblProgress->setText(QStringLiteral("Please wait"));
        setForeColor(ui.lblProgress, kStatusRed);
        ui.lblProgress->repaint();
        ui.lblCalcTime->clear();
        ui.lblCalcTime->repaint();
        m_worker.start(std::move(job), [done = std::move(done), start](std::exception_ptr thrown) {
            done(start, thrown);
        });
    } catch (...) {
        endRun();
        throw;
    }
}

// ---------------------------------------------------------------------------
// The busy state of a run

void frmOptions::beginRun()
{
    m_running = true;
    // The box or button in use gets its focus back after the run; meanwhile
    // the focus stays nowhere rather than wandering into the table.
    QWidget* focused = QApplication::focusWidget();
    m_focusBeforeRun = focused && isAncestorOf(focused) ? focused : nullptr;
    if (m_focusBeforeRun)
        m_focusBeforeRun->clearFocus();
    m_workActions->setEnabled(false);
    for (QWidget* w : inputPanels())
        w->setEnabled(false);
    // The busy pointer over this window only: the window still moves and
    // repaints, and the rest of the program answers.
    setCursor(Qt::BusyCursor);
    RunGate::instance().enter();
}

void frmOptions::endRun()
{
    m_running = false;
    unsetCursor();
    for (QWidget* w : inputPanels())
        w->setEnabled(true);
    m_workActions->setEnabled(true);
    RunGate::instance().leave();
    if (m_focusBeforeRun && m_focusBeforeRun->isEnabled() && !QApplication::focusWidget())
        m_focusBeforeRun->setFocus();
    m_focusBeforeRun = nullptr;
}

std::array<QWidget*, 6> frmOptions::inputPanels() const
{
    return {ui.frmOptType, ui.Frame1, ui.txtAsset, ui.Frame5, ui.picAsian, ui.Frame6};
}

void frmOptions::applyRunGate()
{
    // Calculate and Configure solver wait for a run of either window.
    const bool busy = RunGate::instance().busy();
    ui.cmdCalc->setEnabled(!busy);
    ui.mnuResol->setEnabled(!busy);
}

bool frmOptions::deferWhileRunning(bool unload)
{
    if (!runInProgress())
        return false;
    m_deferredClose = std::max(m_deferredClose, unload ? 2 : 1);
    // Answered at once: the status says what happens to the request.
    ui.lblProgress->setText(kClosesAfterRun);
    return true;
}

void frmOptions::closeIfDeferred()
{
    const int deferred = std::exchange(m_deferredClose, 0);
    if (deferred == 2) {
        Unload();
    } else if (deferred == 1) {
        if (QMdiSubWindow* frame = subWindow())
            frame->close();
        else
            close();
    }
}
