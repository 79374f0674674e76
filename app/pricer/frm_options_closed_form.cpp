// The pricer window's checks of a result: the closed form at the spot in
// the Exact solution box, the numerical error along the grid against the
// closed form or a saved reference solution, and the Monte Carlo error plot
// against an exact value. Each reads the results on show and the contract
// of the run that made them, never the boxes as they stand.
#include "pricer/frm_options.h"

#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "platform/tarvic_library.h"
#include "pricer/reference_error.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

using namespace tarvic;

namespace {

// A closed form below this is the library's "not priced" mark.
constexpr double kNotPriced = -1e-10;
// Errors of the reference comparison this small are rounding.
constexpr double kRoundingError = 4e-13;

}  // namespace

void frmOptions::refusePressCalculate()
{
    MsgBox(QStringLiteral("Please press Calculate"), MsgIcon::Exclamation, MsgButtons::OKOnly,
           QStringLiteral("Inputs have changed!"), this);
    ui.cmdCalc->setFocus();
}

// ---------------------------------------------------------------------------
// The closed form at the spot

void frmOptions::mnuBS_Click()
{
    showAnalyticSolution(false);
}

void frmOptions::showAnalyticSolution(bool silent)
{
    trapped("calculating the analytical solution", [this, silent] {
        const RunSnapshot& run = m_lastRun;
        if (!hasClosedForm(run))
            return;
        if (m_inputs.gInputsChanged) {
            refusePressCalculate();
            return;
        }
        // Finite-difference results price every spot of their grid, so the
        // closed form follows the spot in the box; a Monte Carlo estimate
        // prices the spot of its run.
        const double spot = run.solver == kSolverPde ? m_inputs.gAsset : run.spot;
        double value = -1.0, delta = 0.0, gamma = 0.0, theta = 0.0, vega = 0.0;
        if (spot > 0.0 && std::isfinite(spot)) {
            TarvicLibrary& library = TarvicLibrary::instance();
            const int32_t type = static_cast<int32_t>(run.optionType);
            const double done =
                run.payoff == Payoff::Vanilla
                    ? library.VanillaBS(value, delta, gamma, theta, vega, spot, run.strike,
                                        run.intRate, run.divYield, run.volatility, run.expiry,
                                        type)
                    : library.BarrierBS(value, delta, gamma, theta, vega, spot, run.strike,
                                        run.intRate, run.divYield, run.volatility, run.expiry,
                                        run.downBarrier, run.upBarrier,
                                        isKnockOut(run.payoff) ? 1 : 0, type);
            if (done != 1.0)
                return;
        }
        ui.lblAsset->setText(numberText(spot));
        // No value: "N/A" in every figure, and no exact value to plot
        // against.
        const bool priced = value >= kNotPriced;
        const QString nine = QStringLiteral("#####0.000000000");
        const auto figure = [&](double x) {
            return priced ? formatNumber(x, nine) : QStringLiteral("N/A");
        };
        ui.lblAValue->setText(figure(value));
        ui.lblADelta->setText(figure(delta));
        ui.lblAGamma->setText(figure(gamma));
        ui.lblATheta->setText(figure(theta / 365.0));
        ui.lblAVega->setText(figure(vega / 100.0));
        if (!silent && ui.frAnalytic->isHidden()) {
            ui.frAnalytic->show();
            ui.cmdExact->setFocus();
        } else {
            mMCExactValue = priced ? value : 0.0;
        }
    });
}

void frmOptions::cmdExact_Click()
{
    // The focus goes back to Calculate, not on through the results table.
    if (ui.frAnalytic->isAncestorOf(QApplication::focusWidget()))
        ui.cmdCalc->setFocus();
    ui.frAnalytic->hide();
}

// ---------------------------------------------------------------------------
// Error curves

void frmOptions::mnuBSGrid_Click()
{
    trapped("plotting the difference from the analytical solution", [this] {
        const RunSnapshot& run = m_lastRun;
        if (run.solver == 0)
            return;
        if (run.solver == kSolverPde) {
            plotPdeError();
            return;
        }
        if (m_inputs.gInputsChanged) {
            refusePressCalculate();
            return;
        }
        // The exact value is the closed form where there is one; otherwise
        // the error plot asks for one.
        mMCExactValue = 0.0;
        if (hasClosedForm(run))
            showAnalyticSolution(true);
        DrawErrorPlot();
    });
}

void frmOptions::plotPdeError()
{
    const RunSnapshot& run = m_lastRun;
    const int32_t n = run.lastIndex;
    if (n < 0 || n > mLastIndex)
        RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
    if (hasClosedForm(run)) {
        if (m_inputs.gInputsChanged) {
            refusePressCalculate();
            return;
        }
        TarvicLibrary& library = TarvicLibrary::instance();
        const int32_t type = static_cast<int32_t>(run.optionType);
        double done = 0.0;
        if (pricedPayoff(run) == Payoff::Vanilla) {
            if (mAssetGrid[0] < 0.0)
                mAssetGrid[0] = 0.0;
            done = library.VanillaBSGrid(mAssetGrid.data(), mExactValue.data(), run.strike,
                                         run.intRate, run.divYield, run.volatility, run.expiry,
                                         type, n);
        } else {
            done = library.BarrierBSGrid(mAssetGrid.data(), mExactValue.data(), run.strike,
                                         run.intRate, run.divYield, run.volatility, run.expiry,
                                         run.downBarrier, run.upBarrier,
                                         isKnockOut(run.payoff) ? 1 : 0, type, n);
        }
        if (done != 1.0)
            return;
        for (int32_t i = 0; i <= n; ++i) {
            const size_t k = static_cast<size_t>(i);
            mSolution[k][6] = mOptionValue[k] - mExactValue[k];
        }
        Chart(6, 0.0);
    } else {
        // No closed form: the reference solution saved from another run.
        if (!mReference.stored()) {
            MsgBox(QStringLiteral("There is no reference solution to compare with. Save the "
                                  "results of a finer run of this contract with \"Save as "
                                  "reference solution\" (Ctrl+R) first."),
                   MsgIcon::Exclamation, MsgButtons::OKOnly,
                   QStringLiteral("No reference solution"), this);
            return;
        }
        std::vector<double> err;
        const bool computed = RunTrapped(
            [&] { err = referenceError(mAssetGrid.data(), mOptionValue.data(), n, mReference); },
            [this] { ReportError(QStringLiteral("calculating the solution error")); });
        if (!computed)
            return;
        if (err.empty()) {
            MsgBox(QStringLiteral("The reference solution does not reach the asset levels of "
                                  "these results."),
                   MsgIcon::Exclamation, MsgButtons::OKOnly,
                   QStringLiteral("No reference solution"), this);
            return;
        }
        for (size_t i = 0; i < err.size(); ++i)
            mSolution[i][6] = std::fabs(err[i]) < kRoundingError ? 0.0 : err[i];
        // The curve stops where the reference does.
        Chart(6, 0.0, static_cast<int32_t>(err.size()) - 1);
    }
}

void frmOptions::mnuSaveRefSol_Click()
{
    // The finite-difference results on show, node by node.
    const RunSnapshot& run = m_lastRun;
    if (run.solver != kSolverPde)
        return;
    const size_t count = static_cast<size_t>(run.lastIndex) + 1;
    mReference.asset.assign(mAssetGrid.begin(), mAssetGrid.begin() + static_cast<long>(count));
    mReference.value.assign(mOptionValue.begin(), mOptionValue.begin() + static_cast<long>(count));
    ui.mnuSaveRefSol->setEnabled(false);
}

// ---------------------------------------------------------------------------
// The Monte Carlo error plot

void frmOptions::DrawErrorPlot()
{
    trapped("drawing the error plot", [this] {
        if (m_inputs.gInputsChanged) {
            refusePressCalculate();
            return;
        }
        // No exact value known: the user is asked for one.
        if (mMCExactValue == 0.0 && mChartDrawn) {
            DrawExactEntryBox();
            ui.frMCExact->show();
            ui.frMCExact->raise();
            ui.txtMCExact->setFocus();
            ui.cmdMCExact->setDefault(true);
            return;
        }
        // An exact value is known: a box still asking for one goes.
        ui.frMCExact->hide();
        const int32_t n = mLastIndex;
        for (int32_t i = 0; i <= n; ++i) {
            const size_t k = static_cast<size_t>(i);
            mSolution[k][6] = mOptionValue[k] - mMCExactValue;
        }
        if (mMCShowValue) {
            Chart(1, mMCExactValue);
            mChartToolTip = QStringLiteral("Option value. Select the chart and press F4 on graph "
                                           "to see numerical solution error");
        } else {
            Chart(6, 0.0);
            mChartToolTip = QStringLiteral("Option value numerical solution error. Select the "
                                           "chart and press F4 to see option value convergenge "
                                           "and exact value");
        }
    });
}

void frmOptions::DrawExactEntryBox()
{
    trapped("drawing the exact entry box", [this] {
        // Over the plot, placed once between two drawings.
        if (mExactBoxPlaced)
            return;
        placeOverPlot(ui.frMCExact);
        mExactBoxPlaced = true;
    });
}

void frmOptions::cmdMCExact_Click()
{
    trapped("entering the exact value for the MC solver plot", [this] {
        // A price of 0 or less is no price: the box stays for another.
        const double typed = plainNumber(ui.txtMCExact->text());
        if (!(typed > 0.0) || !std::isfinite(typed)) {
            Beep();
            ui.txtMCExact->setFocus();
            ui.txtMCExact->selectAll();
            return;
        }
        mMCExactValue = typed;
        // Calculate takes the focus before the box goes, so that it does
        // not pass through the results table on its way.
        ui.cmdCalc->setFocus();
        ui.frMCExact->hide();
        ui.cmdMCExact->setDefault(false);
        ui.cmdCalc->setDefault(true);
        DrawErrorPlot();
    });
}
