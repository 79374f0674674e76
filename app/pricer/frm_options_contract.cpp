// The pricer window's contract choice: the payoff, exercise-style and
// option-type lists, the monitoring check box and the additional-parameters
// button. cboPayoff_Click is the one place that lays out the input panels;
// the exercise and monitoring handlers run it after their own changes.
#include "pricer/frm_options.h"

#include "platform/number_rules.h"
#include "platform/twips.h"
#include "platform/results_grid.h"
#include "pricer/click_label.h"
#include "settings/frmResol.h"
#include "settings/frmResolMC.h"
#include "settings/settings_dialogs.h"
#include "shared/pde_settings.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

using namespace tarvic;

namespace {

// The monitoring / exercise panel's height when shown: 2750 twips.
constexpr int kBarPanelHeight = px(2750);

const QString kPathStepsTip =
    QStringLiteral("This will also be the number of time steps used for the paths construction");
const QString kMoreDigitsTip = QStringLiteral("Click or double-click to see more digits");

// The wordings of the periods caption, each on two lines.
const char* const kPeriodsCaptions[][2] = {
    {"Num of monitoring/exer-", "cising periods"},
    {"Num of monitoring", "periods"},
    {"Num of exercising", "periods"},
    {"Number of time", "steps"},
};

void setPeriodsCaption(frmOptionsUi& w, const char* top, const char* bottom)
{
    w.lblMonPts->setText(QString::fromLatin1(top));
    w.lblMonPts2->setText(QString::fromLatin1(bottom));
}

void showPeriodsBox(frmOptionsUi& w, bool shown)
{
    w.txtMonPts->setHidden(!shown);
    w.lblMonPts->setHidden(!shown);
    w.lblMonPts2->setHidden(!shown);
}

void showBarPanel(frmOptionsUi& w)
{
    w.picBar->setFixedHeight(kBarPanelHeight);
    w.picBar->show();
}

void showUpBarrier(frmOptionsUi& w, bool shown)
{
    w.lblUpBar->setHidden(!shown);
    w.TxtUpBar->setHidden(!shown);
}

void showDownBarrier(frmOptionsUi& w, bool shown)
{
    w.lblDownBar->setHidden(!shown);
    w.txtDownBar->setHidden(!shown);
}

void caretToEnd(QLineEdit* box)
{
    box->setCursorPosition(static_cast<int>(box->text().size()));
}

// The finite-difference window lays out and sets up the finite-difference
// contract, whichever window is in front.
bool pdeWindow(const frmOptions& w)
{
    return w.ownSolver() == kSolverPde;
}

}  // namespace

int frmOptions::periodsCaptionWidth(const QFontMetrics& metrics)
{
    int widest = 0;
    for (const auto& caption : kPeriodsCaptions)
        for (const char* line : caption)
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(line)));
    return widest;
}

bool frmOptions::shownInWindow(const QWidget* control) const
{
    // Shown as far as the window's own layout goes: the control and every
    // panel around it, whether or not the window itself is on screen yet.
    return control->isVisibleTo(this);
}

void frmOptions::focusBox(QLineEdit* box, bool caretAtEnd)
{
    // Only a window on screen hands out the focus; a window that is still
    // loading or hidden leaves it where it is.
    if (!Visible() || !shownInWindow(box) || !box->isEnabled())
        return;
    box->setFocus();
    if (caretAtEnd)
        caretToEnd(box);
}

// ---------------------------------------------------------------------------
// Payoff

void frmOptions::cboPayoff_Click()
{
    trapped("changing the payoff", [this] {
        ProductInputs& in = m_inputs;
        PdeSettings& pde = gPdeSettings;
        const bool fd = pdeWindow(*this);
        const Payoff p = payoff();
        const bool barrier = isBarrier(p);
        const bool asian = isAsian(p);

        // Barrier flags.
        if (barrier) {
            in.gBarrier = true;
            if (isKnockOut(p)) {
                mKnockOut = 1;
                ui.chkContMon->setEnabled(true);
            } else {
                mKnockOut = 0;
                if (fd) {
                    // Knock-in barriers are priced under continuous
                    // monitoring by finite differences.
                    ui.chkContMon->setEnabled(false);
                    setCheckValue(ui.chkContMon, true);
                } else {
                    ui.chkContMon->setEnabled(true);
                }
            }
        } else {
            in.gBarrier = false;
        }

        const bool barPanel = barrier || (!fd && p == Payoff::Vanilla && mEarlyExercise);
        if (barPanel) {
            ui.picAsian->hide();
            showBarPanel(ui);
            ui.lblMonPts->show();
            if (!fd) {
                // The paths take their step count from the periods box.
                ui.lblMonPts2->show();
                ui.txtMonPts->show();
            }
            if (p == Payoff::Vanilla) {
                ui.chkContMon->hide();
                showUpBarrier(ui, false);
                showDownBarrier(ui, false);
                if (in.gMonPts > 0)
                    ui.txtMonPts->setText(QString::number(in.gMonPts));
                if (shownInWindow(ui.txtMonPts))
                    focusBox(ui.txtMonPts, true);
            } else {
                ui.chkContMon->show();
                showUpBarrier(ui, true);
                showDownBarrier(ui, true);
                setPeriodsCaption(ui, "Num of monitoring/exer-", "cising periods");
                if (in.gMonPts > 0)
                    ui.txtMonPts->setText(QString::number(in.gMonPts));
            }
            if (hasUpBarrier(p) && !hasDownBarrier(p)) {
                showDownBarrier(ui, false);
                in.gDownBar = 0.0;
                if (in.gUpBar == 0.0 && shownInWindow(ui.TxtUpBar))
                    focusBox(ui.TxtUpBar, false);
            } else if (hasDownBarrier(p) && !hasUpBarrier(p)) {
                showUpBarrier(ui, false);
                in.gUpBar = 0.0;
                if (in.gDownBar == 0.0 && shownInWindow(ui.txtDownBar))
                    focusBox(ui.txtDownBar, false);
            } else if (isDoubleBarrier(p)) {
                if (in.gUpBar == 0.0 && shownInWindow(ui.TxtUpBar))
                    focusBox(ui.TxtUpBar, false);
                if (in.gDownBar == 0.0 && shownInWindow(ui.txtDownBar))
                    focusBox(ui.txtDownBar, false);
            }
        } else if (asian) {
            ui.picAsian->show();
            ui.picBar->hide();
            if (!isFloatingStrike(p)) {
                in.gAsianStrikeType = 0;
                ui.txtStrike->setEnabled(true);
                ui.lblStrike->setEnabled(true);
                if (Val(ui.txtStrike->text()) == 0.0 && !ui.txtAsset->text().isEmpty() &&
                    ui.txtStrike->isEnabled() && shownInWindow(ui.txtStrike))
                    focusBox(ui.txtStrike, false);
            } else {
                in.gAsianStrikeType = 1;
                // The floating strike has none: the strike typed waits for
                // the next payoff that has one.
                if (!m_heldStrike)
                    m_heldStrike = ui.txtStrike->text();
                ui.txtStrike->setEnabled(false);
                ui.txtStrike->setText(QString());
                ui.lblStrike->setEnabled(false);
                if (in.gNFixed < 2) {
                    // The spot is the first fixing of a floating strike.
                    ui.txtNFixed->setText(QStringLiteral("1"));
                    if (Val(ui.txtAsset->text()) > 0.0)
                        ui.txtInitAvg->setText(ui.txtAsset->text());
                } else {
                    ui.txtNFixed->setText(QString::number(in.gNFixed));
                }
            }
            if (shownInWindow(ui.txtSmplPoints)) {
                ui.txtSmplPoints->setToolTip(fd ? QString() : kPathStepsTip);
                if (Val(ui.txtSmplPoints->text()) == 0.0)
                    focusBox(ui.txtSmplPoints, false);
            }
            in.gUpBar = 0.0;
            in.gDownBar = 0.0;
        } else {
            // Vanilla without the panel.
            if (fd) {
                if (exercise() == Exercise::Bermudan)
                    showBarPanel(ui);
                else
                    ui.picBar->hide();
            }
            showUpBarrier(ui, false);
            showDownBarrier(ui, false);
            ui.picAsian->hide();
        }

        // Finite-difference settings that the new contract rules out wait,
        // disabled, for a contract that allows them again. A continuously
        // monitored up-and-out or double knock-out is priced on a uniform
        // grid between its barriers; an early-exercise fixed strike and a
        // floating strike on the non-uniform grid over its automatic extent.
        if (fd) {
            frmResol& resol = gFrmResol(this);
            const bool betweenBarriers = isKnockOut(p) && hasUpBarrier(p) && mContMon;
            const bool automaticExtent =
                isFloatingStrike(p) || (p == Payoff::AsianFixedStrike && mEarlyExercise);
            if (betweenBarriers)
                resol.holdNonUniGrid(false);
            else if (automaticExtent)
                resol.holdNonUniGrid(true);
            else
                resol.releaseNonUniGrid();
            if (betweenBarriers || automaticExtent)
                resol.holdMaxAsset();
            else
                resol.releaseMaxAsset();
        }

        if (asian) {
            in.gAsian = true;
            in.gFloatingStrike = isFloatingStrike(p);
            if (fd) {
                frmResol& resol = gFrmResol(this);
                // The floating strike takes one plane per asset step and
                // quadratic interpolation across them; the fixed strike
                // gets the user's choice back.
                if (isFloatingStrike(p)) {
                    resol.holdPlanes();
                    pde.gPlaneSpacing = 1;
                    pde.gPlanesInterp = 1;
                } else {
                    resol.releasePlanes();
                }
                resol.cboPlanes->setEnabled(true);
                resol.lblPlanes->setEnabled(true);
                resol.setListIndex(resol.cboPlanes, pde.gPlanesInterp);
                resol.releaseMultiThreading();
                resol.cboPlaneSpc->setEnabled(true);
                resol.lblPlaneSpc->setEnabled(true);
                resol.cboAmerSolver->setEnabled(false);
                resol.setListIndex(resol.cboAmerSolver, -1);
                const int spacing = pde.gPlaneSpacing == 1 ? 0 : pde.gPlaneSpacing == 2 ? 1 : 2;
                resol.setListIndex(resol.cboPlaneSpc, spacing);
                ui.mnuBS->setVisible(false);
                ui.mnuBSGrid->setVisible(false);
                ui.mnuSaveRefSol->setVisible(true);
                ui.mnuSaveRefSol->setEnabled(false);
                ui.mnuTheta->setVisible(true);
            }
        } else {
            in.gAsian = false;
            in.gFloatingStrike = false;
            if (fd) {
                frmResol& resol = gFrmResol(this);
                resol.releasePlanes();
                resol.cboPlanes->setEnabled(false);
                resol.lblPlanes->setEnabled(false);
                resol.setListIndex(resol.cboPlanes, -1);
                resol.cboAmerSolver->setEnabled(true);
                resol.setListIndex(resol.cboAmerSolver, pde.gAmerSolver);
                resol.holdMultiThreading();
                resol.cboPlaneSpc->setEnabled(false);
                resol.lblPlaneSpc->setEnabled(false);
                resol.setListIndex(resol.cboPlaneSpc, -1);

                const bool discreteBarrier = in.gBarrier && !mContMon;
                ui.mnuBS->setVisible(!discreteBarrier);
                ui.mnuBSGrid->setVisible(!discreteBarrier);
                ui.mnuTheta->setVisible(discreteBarrier);
                ui.mnuBS->setEnabled(false);  // until the next successful run
                ui.mnuBSGrid->setEnabled(false);

                // Rebuild the exercise list, keeping an early-exercise style.
                const QString style = ui.cboExercise->currentText();
                fillList(ui.cboExercise, {QStringLiteral("European"), QStringLiteral("American"),
                                       QStringLiteral("Bermudan")});
                gRebuildingExercise = true;
                int index = 0;
                if (style == QLatin1String("Bermudan"))
                    index = 2;
                else if (style == QLatin1String("American"))
                    index = 1;
                // The flag must not outlive a failing reselection.
                struct Reset {
                    bool& flag;
                    ~Reset() { flag = false; }
                } reset{gRebuildingExercise};
                setListIndex(ui.cboExercise, index);
            }
        }

        if (fd && exercise() == Exercise::Bermudan)
            ui.mnuTheta->setVisible(true);
        if (!isFloatingStrike(p)) {
            ui.txtStrike->setEnabled(true);
            ui.lblStrike->setEnabled(true);
            if (m_heldStrike) {
                if (ui.txtStrike->text().isEmpty())
                    ui.txtStrike->setText(*m_heldStrike);
                m_heldStrike.reset();
            }
        }
        if (!fd) {
            if (frmResolMC* resolMC = frmResolMCIfLoaded())
                resolMC->SetBasisFunctionMenu(this);
            // A dialog created later fills its list for this payoff itself.
        }
        if (!fd && p == Payoff::Vanilla) {
            if (mEarlyExercise) {
                setPeriodsCaption(ui, "Num of exercising", "periods");
                ui.txtMonPts->setToolTip(kPathStepsTip);
            } else {
                setPeriodsCaption(ui, "Number of time", "steps");
                ui.txtMonPts->setToolTip(QString());
            }
            if (Val(ui.txtMonPts->text()) > 1.0)
                showBarPanel(ui);
            ui.chkContMon->hide();
        }
        if (!fd && ui.lblMonPts->text() != QLatin1String("Number of time"))
            ui.txtMonPts->setToolTip(kPathStepsTip);
        if (shownInWindow(ui.txtMonPts) && ui.txtMonPts->text().isEmpty())
            focusBox(ui.txtMonPts, false);

        in.gInputsChanged = true;
        ui.lblProgress->clear();
    });
}

// ---------------------------------------------------------------------------
// Exercise style

void frmOptions::cboExercise_Click()
{
    trapped("changing the exercise style", [this] {
        ProductInputs& in = m_inputs;
        const bool fd = pdeWindow(*this);
        const bool asianPayoff = isAsian(payoff());
        const QString style = ui.cboExercise->currentText();
        const Exercise chosen = exercise();

        in.gInputsChanged = true;
        ui.lblProgress->clear();

        if (style == QLatin1String("Bermudan") || style == QLatin1String("American")) {
            mEarlyExercise = true;
            ui.MSFlexGrid1->setToolTipText(kMoreDigitsTip);
            if (fd && !asianPayoff) {
                ui.mnuBS->setEnabled(false);
                ui.mnuBSGrid->setEnabled(false);
            }
            if (fd && chosen == Exercise::Bermudan) {
                showBarPanel(ui);
                showPeriodsBox(ui, true);
                if (in.gBarrier) {
                    ui.chkContMon->show();
                    if (mContMon)
                        setPeriodsCaption(ui, "Num of exercising", "periods");
                    else
                        setPeriodsCaption(ui, "Num of monitoring/exer-", "cising periods");
                } else {
                    ui.chkContMon->hide();
                    setPeriodsCaption(ui, "Num of exercising", "periods");
                }
                if (in.gMonPts > 0)
                    ui.txtMonPts->setText(QString::number(in.gMonPts));
                if (ui.txtMonPts->text().isEmpty() && shownInWindow(ui.cboExercise))
                    focusBox(ui.txtMonPts, true);
            } else if (!in.gBarrier || mContMon) {
                // No monitoring dates to enter for American exercise. The
                // Monte Carlo paths always need their step count, so the box
                // stays there; the payoff handler lays it out.
                if (fd)
                    showPeriodsBox(ui, false);
            } else {
                showPeriodsBox(ui, true);
                setPeriodsCaption(ui, "Num of monitoring", "periods");
            }
        } else {
            mEarlyExercise = false;
            ui.MSFlexGrid1->setToolTipText(kMoreDigitsTip + QLatin1Char('.'));
            if (ui.lblProgress->text() == QLatin1String("Ready")) {
                ui.mnuBS->setEnabled(true);
                ui.mnuBSGrid->setEnabled(true);
            }
            if (fd && !asianPayoff) {
                if (in.gBarrier && mContMon) {
                    showPeriodsBox(ui, false);
                } else {
                    showPeriodsBox(ui, true);
                    setPeriodsCaption(ui, "Num of monitoring", "periods");
                }
            }
        }

        if (!gRebuildingExercise) {
            cboPayoff_Click();
            if (ui.cboExercise->currentText() == QLatin1String("Bermudan") &&
                shownInWindow(ui.txtMonPts) && ui.txtMonPts->text().isEmpty())
                focusBox(ui.txtMonPts, false);
        }
    });
}

// ---------------------------------------------------------------------------
// Option type

void frmOptions::cboOptions_Click()
{
    // The option type itself is read from the list at Calculate.
    m_inputs.gInputsChanged = true;
    ui.lblProgress->clear();
}

// ---------------------------------------------------------------------------
// Monitoring

void frmOptions::chkContMon_Click()
{
    trapped("specifying the continuous monitoring correction", [this] {
        ProductInputs& in = m_inputs;
        const bool checked = ui.chkContMon->isChecked();
        in.gInputsChanged = checked != mContMon;
        ui.lblProgress->clear();
        in.gDiscreteMon = !checked;
        mContMon = checked;

        if (!pdeWindow(*this))
            return;
        cboPayoff_Click();
        const bool bermudan = ui.cboExercise->currentText() == QLatin1String("Bermudan");
        if (checked) {
            if (bermudan) {
                showPeriodsBox(ui, true);
                setPeriodsCaption(ui, "Num of exercising", "periods");
                ui.mnuTheta->setVisible(true);
            } else {
                ui.mnuTheta->setVisible(false);
                showPeriodsBox(ui, false);
            }
        } else {
            showPeriodsBox(ui, true);
            if (bermudan)
                setPeriodsCaption(ui, "Num of monitoring/exer-", "cising periods");
            else
                setPeriodsCaption(ui, "Num of monitoring", "periods");
            ui.mnuTheta->setVisible(true);
        }
    });
}

// ---------------------------------------------------------------------------
// Additional parameters: the Monte Carlo time steps of a vanilla European

void frmOptions::lblAdditionalParams_Click()
{
    trapped("clicking on the additional parameters button", [this] {
        if (pdeWindow(*this) || payoff() != Payoff::Vanilla || mEarlyExercise)
            return;
        if (ui.picBar->isHidden()) {
            showBarPanel(ui);
            setPeriodsCaption(ui, "Number of time", "steps");
            ui.chkContMon->hide();
            if (ui.txtMonPts->text().isEmpty())
                ui.txtMonPts->setText(QStringLiteral("1"));
            focusBox(ui.txtMonPts, true);
        } else {
            ui.picBar->hide();
        }
    });
}
