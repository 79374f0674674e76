// The finite-difference run of the pricer window: Calculate, the input
// checks shown as their outcome says, the library call on a worker thread,
// and the display of a successful run once the call has returned.
#include "pricer/frm_options.h"

#include "platform/chart.h"
#include "platform/control_look.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "platform/runtime_error.h"
#include "platform/system_services.h"
#include "pricer/pde_call.h"
#include "pricer/pde_input_checks.h"
#include "pricer/run_gate.h"
#include "pricer/settled_average.h"
#include "settings/frmResol.h"
#include "settings/settings_dialogs.h"
#include "shared/pde_settings.h"
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
#include <QSignalBlocker>

#include <algorithm>
#include <utility>

using namespace tarvic;

namespace {

constexpr int32_t kMaxNodeIndex = ResultArrays::kRows - 1;
const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

// ---------------------------------------------------------------------------
// Calculate

void frmOptions::CalculatePDE()
{
    if (runInProgress() || RunGate::instance().busy())
        return;
    runCalculation([this] {
        if (const std::optional<PdeRequest> request = checkPdeInputs())
            startPdeRun(*request);
    });
}

// ---------------------------------------------------------------------------
// The input checks: the window gathers what they read and shows what they
// decide. Each stop leaves what was read in the shared state.

PdeForm frmOptions::pdeForm(const frmResol& resol) const
{
    PdeForm f;
    contractForm(f);
    f.continuousMonitoring = mContMon;
    f.periodsShown = !ui.txtMonPts->isHidden();
    f.vega = ui.mnuVega->isChecked();
    f.theta = ui.mnuTheta->isChecked() && ui.mnuTheta->isVisible();
    f.assetSteps = resol.txtNoA->text();
    f.timeSteps = resol.txtTS->text();
    f.nonUniformGrid = resol.chkNonUniGrid->isChecked();
    f.userMaximum = resol.ChkOverMaxS->isChecked();
    f.settings = gPdeSettings;
    f.inputs = m_inputs;
    return f;
}

void frmOptions::keepReading(const PdeReading& r)
{
    keepContractReading(r.inputs);
    gPdeSettings.gGridSize = r.assetSteps;
    gPdeSettings.gTimeSteps = r.timeSteps;
    gPdeSettings.gNonUniGrid = r.nonUniformGrid;
}

std::optional<PdeRequest> frmOptions::checkPdeInputs()
{
    // The settings dialog exists from the first run on (its defaults apply
    // when the user never opened it).
    frmResol& resol = gFrmResol(this);
    const PdeForm form = pdeForm(resol);
    keepReading(readPdeForm(form));
    mOptionType = static_cast<int32_t>(form.optionType);
    mPayoff = form.payoff;
    // Inputs changed since the last run: the saved reference solution is
    // dropped, and results without a closed form have nothing left to plot
    // their error against.
    if (m_inputs.gInputsChanged) {
        mReference.drop();
        if (!hasClosedForm(m_lastRun))
            ui.mnuBSGrid->setVisible(false);
    }

    const PdeCheckOutcome outcome = checkPdeRun(form, averageLimits());
    const auto boxOf = [&](FormBox box) -> QWidget* {
        return box == FormBox::MaximumAsset ? resol.txtMaxS : windowBox(box);
    };
    showCheckSteps(outcome, [&](const BoxWrite& write) {
        if (auto* box = qobject_cast<QLineEdit*>(boxOf(write.box)))
            box->setText(write.text);
    });
    // An American Asian prices on one plane per asset step.
    for (const CheckStep& step : outcome.steps) {
        if (step.onePlanePerStep) {
            resol.holdPlanes();
            gPdeSettings.gPlaneSpacing = 1;
            if (gPdeSettings.gPlanesInterp == -1)
                gPdeSettings.gPlanesInterp = 1;
        }
    }
    keepReading(outcome.reading);
    if (outcome.refusal) {
        showRefusal(*outcome.refusal, boxOf(outcome.refusal->focus),
                    [&] { resol.showModalFor(this); });
        return std::nullopt;
    }
    return outcome.request;
}

// ---------------------------------------------------------------------------
// The library call and the results

void frmOptions::startPdeRun(const PdeRequest& q)
{
    // What the run takes from the window: the Greeks asked for, the
    // exercise style, monitoring and periods, the planes interpolation.
    mCalcVega = q.calcVega;
    mCalcTheta = q.calcTheta;
    m_inputs.gExercise = q.exerciseType;
    mContMon = q.contMonitoring;
    m_inputs.gMonPts = q.numPeriods;
    gPdeSettings.gPlanesInterp = q.planesInterp;
    mLastCalcTheta = false;
    mLastCalcVega = false;
    // A maximum asset value the user set waits for the next contract that
    // uses it.
    if (q.holdUserMaximum)
        gFrmResol(this).holdMaxAsset();
    m_runOut = pdeRunSnapshot(contractAtRun(), q);

    // The library works on the scratch arrays alone until it reports back.
    launchRun([q, arrays = &m_scratch, result = &m_callResult] {
        *result = callPdeLibrary(q, *arrays);
    },
              [this, q](uint32_t start, std::exception_ptr thrown) { finishPdeRun(q, start, thrown); });
}

void frmOptions::finishPdeRun(const PdeRequest& q, uint32_t start, std::exception_ptr thrown)
{
    runCalculation([&] {
        if (thrown)
            std::rethrow_exception(thrown);
        showPdeResults(q, start);
    });
    endRun();
    // A close that came in during the run happens now.
    closeIfDeferred();
    emit runEnded();
}

void frmOptions::showPdeResults(const PdeRequest& q, uint32_t start)
{
    ProductInputs& in = m_inputs;
    const int32_t lastNode = m_callResult.lastNode;
    const QString& text = m_callResult.text;

    // A grid beyond the arrays, or the library's failure text, ends the run.
    if (!CheckGridSize(lastNode))
        return;
    if (!text.isEmpty()) {
        ui.lblProgress->setText(QStringLiteral("Failed"));
        MsgBox(text, MsgIcon::Exclamation, MsgButtons::OKOnly,
               QStringLiteral("MC Option Pricer - ERROR"), this);
        return;
    }
    if (lastNode < 0)
        RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));

    // Success: the results move into the window's arrays.
    const size_t count = static_cast<size_t>(lastNode) + 1;
    std::vector<double>* targets[6] = {&mAssetGrid, &mOptionValue, &mDelta,
                                       &mGamma,     &mTheta,       &mVega};
    for (int c = 0; c < 6; ++c) {
        if (c == 5 && !mCalcVega)
            break;  // vega keeps what it held
        const double* from = m_scratch.column(c);
        std::copy(from, from + count, targets[c]->begin());
    }
    mLastCalcTheta = mCalcTheta;
    mLastCalcVega = mCalcVega;
    const double seconds = static_cast<double>(GetTickCount() - start) / 1000.0;
    ui.lblCalcTime->setText(formatNumber(seconds, QStringLiteral("####0.000 sec")));
    ui.lblProgress->setText(QStringLiteral("Ready"));
    setForeColor(ui.lblProgress, kStatusGreen);

    // A spot the grid still does not reach (a maximum asset value the user
    // set below it) moves to the top node, and the user is told.
    const double top = mAssetGrid[static_cast<size_t>(lastNode)];
    if (in.gAsset > top) {
        const QString spot = numberText(in.gAsset);
        const QString reason =
            q.maxAsset > 0.0
                ? QStringLiteral("The asset level ") + spot +
                      QStringLiteral(" lies above the user-defined maximum asset value of ") +
                      numberText(q.maxAsset) + QLatin1Char('.')
                : QStringLiteral("The asset level ") + spot +
                      QStringLiteral(" lies above the top of the grid.");
        MsgBox(reason + kCrLf + QStringLiteral("Resetting the asset level to the top of the grid, ") +
                   numberText(top) + QLatin1Char('.'),
               MsgIcon::Exclamation, MsgButtons::OKOnly, QStringLiteral("Warning"), this);
        in.gAsset = top;
        const QSignalBlocker quiet(ui.txtAsset);  // the run writes the spot row itself
        ui.txtAsset->setText(numberText(top));
    }

    // The store, and the figures at the spot.
    mGridStep = mAssetGrid[2] - mAssetGrid[1];
    mLastIndex = lastNode;
    mResultsNonUniGrid = q.nonUniformGrid;
    mResultsKnockedIn = q.knockedIn;
    Results();
    // The results on show are this run's from here on.
    m_runOut.spot = in.gAsset;
    m_runOut.lastIndex = lastNode;
    m_runOut.seconds = seconds;
    m_runOut.timeText = ui.lblCalcTime->text();
    m_lastRun = m_runOut;

    // The menus that depend on the contract: the closed form where one
    // exists, the reference solution where none does.
    const Payoff p = m_lastRun.payoff;
    const bool asian = isAsian(p);
    const bool discreteBarrier = isBarrier(p) && !m_lastRun.continuousMonitoring;
    const bool earlyExercise = isEarlyExercise(m_lastRun.exercise);
    if (hasClosedForm(m_lastRun)) {
        ui.MSFlexGrid1->setToolTipText(QStringLiteral("Click or double-click to see more digits. "
                                                      "Press Ctrl+A to show exact analytical "
                                                      "solution."));
        for (QAction* a : {ui.mnuBS, ui.mnuBSGrid}) {
            a->setVisible(true);
            a->setEnabled(true);
        }
    } else {
        ui.MSFlexGrid1->setToolTipText(QString());
        ui.mnuBS->setVisible(false);
        ui.mnuBSGrid->setVisible(false);
        ui.frAnalytic->hide();
    }
    ui.mnuSaveRefSol->setVisible(false);
    if (discreteBarrier || asian || earlyExercise) {
        ui.mnuSaveRefSol->setVisible(true);
        ui.mnuSaveRefSol->setEnabled(true);
        if (mReference.stored()) {
            ui.mnuBSGrid->setVisible(true);
            ui.mnuBSGrid->setEnabled(true);
        }
        ui.frAnalytic->hide();
    }

    // The premium chart; from here on the results match the inputs, and an
    // Exact solution box on show follows them.
    Chart(1, 0.0);
    in.gInputsChanged = false;
    if (!ui.frAnalytic->isHidden())
        mnuBS_Click();

    // The table: the spot row first, then one row per node; wide grids
    // show four decimals of the asset and the value. A sensitivity the run
    // did not compute shows no figures.
    const int32_t n = mLastIndex;
    ResultsGrid& table = *ui.MSFlexGrid1;
    table.setRows(n + 3);
    writeSpotRow(QStringLiteral("#####0.00000"));
    const bool wide = mAssetGrid[static_cast<size_t>(n)] >= 10000.0;
    const QString fine = QStringLiteral("####0.00000");
    const QString coarse = QStringLiteral("####0.0000");
    for (int32_t i = 0; i <= n; ++i) {
        const auto& row = mSolution[static_cast<size_t>(i)];
        table.setRow(i + 2);
        for (int col = 0; col < 6; ++col) {
            table.setCol(col);
            table.setText(resultCellText(col, row[static_cast<size_t>(col)],
                                         wide && col < 2 ? coarse : fine));
        }
    }
    // There are results to export now.
    ui.mnuExcel->setEnabled(true);
}

bool frmOptions::CheckGridSize(int32_t lastNode)
{
    if (lastNode <= kMaxNodeIndex)
        return true;
    ui.lblProgress->clear();
    setForeColor(ui.lblProgress, kStatusGreen);
    MsgBox(QStringLiteral("The resolution you've entered requires a grid size of ") +
               QString::number(lastNode) +
               QStringLiteral(" for this pricing problem, which exceeds the maximum allowed size "
                              "of 50000.") +
               kCrLf + QStringLiteral("Please reduce the number of Asset Steps to Strike!"),
           MsgIcon::Exclamation, MsgButtons::OKOnly, QStringLiteral("Grid is too large."), this);
    frmResol& resol = gFrmResol(this);
    resol.showModelessFor(this);
    if (resol.txtNoA->isEnabled())
        resol.txtNoA->setFocus();
    return false;
}

