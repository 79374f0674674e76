// The Monte Carlo run of the pricer window: Calculate, the input checks
// shown as their outcome says, the library call on a worker thread, and the
// display of the running estimate once the call has returned.
#include "pricer/frm_options.h"

#include "platform/control_look.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "platform/runtime_error.h"
#include "platform/system_services.h"
#include "pricer/mc_call.h"
#include "pricer/mc_input_checks.h"
#include "pricer/run_gate.h"
#include "pricer/settled_average.h"
#include "settings/frmResolMC.h"
#include "settings/settings_dialogs.h"
#include "shared/mc_settings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>

using namespace tarvic;

namespace {

constexpr int32_t kMostRows = ResultArrays::kRows;  // rows 0 to 50000
// The spot row's sensitivities of a knock-in priced by likelihood ratio
// with early exercise and continuous monitoring are shown in red.
constexpr uint32_t kDoubtfulRed = 0x0000C8;  // red 200

}  // namespace

void frmOptions::CalculateMC()
{
    if (runInProgress() || RunGate::instance().busy())
        return;
    runCalculation([this] {
        if (const std::optional<McRequest> request = checkMcInputs())
            startMcRun(*request);
    });
}

// ---------------------------------------------------------------------------
// The input checks: the window gathers what they read and shows what they
// decide.

McForm frmOptions::mcForm(const frmResolMC& d) const
{
    McForm f;
    contractForm(f);
    f.paths = d.txtPaths->text();
    f.regressionPaths = d.txtLSPaths->text();
    f.basisFunctions = d.cboBasisF->currentText();
    for (size_t i = 0; i < f.greeks.size(); ++i)
        f.greeks[i] = d.chkGreeks[i]->isChecked();
    f.likelihoodRatio = d.optGreekMethod[0]->isChecked();
    f.multiThreaded = d.chkMT->isChecked();
    f.warmUp = d.chkWarm->isChecked();
    f.brownianBridge = d.chkBB->isChecked();
    f.antithetic = d.chkAntithetic->isChecked();
    f.settings = gMcSettings;
    f.inputs = m_inputs;
    return f;
}

void frmOptions::keepReading(const McReading& r)
{
    keepContractReading(r.inputs);
    McSettings& s = gMcSettings;
    s.gPaths = r.settings.gPaths;
    s.gLSPaths = r.settings.gLSPaths;
    s.gBrownianBridge = r.settings.gBrownianBridge;
    s.gWarmUp = r.settings.gWarmUp;
    s.gAntithetic = r.settings.gAntithetic;
    s.gBasisFunctions = r.settings.gBasisFunctions;
    s.gGreekMethod = r.settings.gGreekMethod;
    s.gMultiThreadMC = r.settings.gMultiThreadMC;
    s.gGreeksCode = r.settings.gGreeksCode;
}

std::optional<McRequest> frmOptions::checkMcInputs()
{
    // The settings dialog exists from the first run on; its regression
    // defaults are in place before its boxes are read, and an early-exercise
    // run reads the regression choices it keeps, whatever a European
    // showing of the dialog left in the boxes.
    frmResolMC& d = gFrmResolMC(this);
    d.initDefaultParameters(this);
    if (isEarlyExercise(exercise()))
        d.restoreRegressionChoices();
    const McForm form = mcForm(d);
    keepReading(readMcForm(form));
    mOptionType = static_cast<int32_t>(form.optionType);
    mPayoff = form.payoff;
    mContMon = form.continuousMonitoring;

    const McCheckOutcome outcome = checkMcRun(form, averageLimits());
    const auto boxOf = [&](FormBox box) -> QWidget* {
        if (box == FormBox::Paths)
            return d.txtPaths;
        if (box == FormBox::RegressionPaths)
            return d.txtLSPaths;
        return windowBox(box);
    };
    showCheckSteps(outcome, [&](const BoxWrite& write) {
        if (write.box == FormBox::RegressionPaths)
            d.setRegressionPaths(write.text);
        else if (auto* box = qobject_cast<QLineEdit*>(boxOf(write.box)))
            box->setText(write.text);
    });
    keepReading(outcome.reading);
    if (outcome.refusal) {
        showRefusal(*outcome.refusal, boxOf(outcome.refusal->focus),
                    [&] { d.showModalFor(this); });
        return std::nullopt;
    }
    if (outcome.silentStop)
        return std::nullopt;
    return outcome.request;
}

// ---------------------------------------------------------------------------
// The library call and the results

void frmOptions::startMcRun(const McRequest& q)
{
    m_inputs.gExercise = q.exerciseType;
    m_runOut = mcRunSnapshot(contractAtRun(), q);
    // The library works on the scratch arrays alone until it reports back.
    launchRun([q, arrays = &m_scratch, result = &m_mcCallResult] {
        *result = callMcLibrary(q, *arrays);
    },
              [this, q](uint32_t start, std::exception_ptr thrown) { finishMcRun(q, start, thrown); });
}

void frmOptions::finishMcRun(const McRequest& q, uint32_t start, std::exception_ptr thrown)
{
    runCalculation([&] {
        if (thrown)
            std::rethrow_exception(thrown);
        showMcResults(q, start);
    });
    endRun();
    // A close that came in during the run happens now.
    closeIfDeferred();
    emit runEnded();
}

void frmOptions::showMcResults(const McRequest& q, uint32_t start)
{
    ProductInputs& in = m_inputs;
    const QString& text = m_mcCallResult.text;
    if (!text.isEmpty()) {
        ui.lblProgress->setText(QStringLiteral("Failed"));
        MsgBox(text, MsgIcon::Exclamation, MsgButtons::OKOnly,
               QStringLiteral("MC Option Pricer - ERROR"), this);
        return;
    }
    // The rows the library says it wrote must fit the arrays, and there
    // must be one at least; the paths run must fit the table's counts.
    const int32_t rows = m_mcCallResult.rowCount;
    if (rows < 1 || rows > kMostRows)
        RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
    if (q.pathsRun() > INT32_MAX)
        RaiseError(kErrOverflow, QStringLiteral("Overflow"));

    // Success: the rows move into the window's arrays; a sensitivity not
    // asked for keeps what its array held.
    const McRunSettings& run = m_runOut.mc;
    const size_t count = static_cast<size_t>(rows);
    const auto take = [&](int column, std::vector<double>& into) {
        const double* from = m_scratch.column(column);
        std::copy(from, from + count, into.begin());
    };
    take(1, mOptionValue);
    if (m_runOut.delta) {
        take(2, mDelta);
        take(3, mGamma);
    }
    if (m_runOut.theta)
        take(4, mTheta);
    if (m_runOut.vega)
        take(5, mVega);

    const double seconds = static_cast<double>(GetTickCount() - start) / 1000.0;
    ui.lblCalcTime->setText(formatNumber(seconds, QStringLiteral("####0.000 sec")));
    ui.lblProgress->setText(QStringLiteral("Ready"));
    setForeColor(ui.lblProgress, kStatusGreen);

    // The store: one row per checkpoint against the paths run so far.
    gMcSettings.gPaths = q.numPaths;
    mLastIndex = rows;
    ResultsMC();
    mMCExactValue = 0.0;
    in.gInputsChanged = false;
    m_runOut.lastIndex = mLastIndex;
    m_runOut.seconds = seconds;
    m_runOut.timeText = ui.lblCalcTime->text();
    m_lastRun = m_runOut;

    // The error plot works against a closed form or a typed value, so it is
    // offered after every run; the closed form only where one exists, and
    // the Exact solution box on show follows the new results.
    ui.mnuBSGrid->setVisible(true);
    ui.mnuBSGrid->setEnabled(true);
    ui.frMCExact->hide();
    if (hasClosedForm(m_lastRun)) {
        ui.MSFlexGrid1->setToolTipText(
            QStringLiteral("Press Ctrl+A to show exact analytical solution."));
        ui.mnuBS->setVisible(true);
        ui.mnuBS->setEnabled(true);
        if (!ui.frAnalytic->isHidden())
            mnuBS_Click();
    } else {
        ui.MSFlexGrid1->setToolTipText(QString());
        ui.mnuBS->setVisible(false);
        ui.frAnalytic->hide();
    }
    if (Val(ui.txtAsset->text()) != in.gAsset)
        ui.txtAsset->setText(numberText(in.gAsset));

    // The table: the final estimate first, then one row per checkpoint; a
    // sensitivity the run did not compute shows no figures.
    const int32_t n = mLastIndex;
    ResultsGrid& table = *ui.MSFlexGrid1;
    table.setRows(n + 3);
    table.setRow(1);
    table.setCol(0);
    table.setText(QString::number(run.pathsRun));
    const bool doubtful = isKnockIn(m_lastRun.payoff) && q.exerciseType != 0 && q.greeksCode > 0 &&
                          q.greeksMethod == 1 && q.contMonitoring;
    const auto& last = mSolution[static_cast<size_t>(n)];
    for (int col = 1; col < 6; ++col) {
        table.setCol(col);
        table.setText(resultCellText(col, last[static_cast<size_t>(col)],
                                     QStringLiteral("#####0.00000")));
        if (col > 1)
            table.setCellForeColor(doubtful ? kDoubtfulRed : kBlack);
    }
    for (int32_t i = 0; i <= n; ++i) {
        const auto& row = mSolution[static_cast<size_t>(i)];
        table.setRow(i + 2);
        table.setCol(0);
        table.setText(formatNumber(row[0], QStringLiteral("####0")));
        for (int col = 1; col < 6; ++col) {
            table.setCol(col);
            table.setText(resultCellText(col, row[static_cast<size_t>(col)],
                                         QStringLiteral("####0.00000")));
        }
    }
    // There are results to export now.
    ui.mnuExcel->setEnabled(true);

    // The convergence chart; after a run of 2^30 Sobol paths the premium is
    // drawn once more, as its plot button does.
    Chart(1, 0.0);
    if (q.useSobol) {
        if (mLastSobolPaths == (int64_t{1} << 30))
            Chart(1, 0.0);
        mLastSobolPaths = run.pathsRun;
    }
}
