// The solver switch of the pricer windows: F3 and the Switch Solver menu
// bring the other solver's window up, captioned and maximized, and copy the
// contract into it the first time it comes up after its load.
#include "pricer/frm_options.h"

#include "platform/runtime_error.h"
#include "pricer/pricer_host.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>

using namespace tarvic;

namespace {

void copyText(const QLineEdit* from, QLineEdit* to)
{
    to->setText(from->text());
}

}  // namespace

tarvic::PricerHost& frmOptions::host() const
{
    if (!m_host)
        RaiseError(91, QStringLiteral("Object variable or With block variable not set"));
    return *m_host;
}

void frmOptions::takeOwnCaption()
{
    const bool pde = ownSolver() == kSolverPde;
    setCaption(pde ? QStringLiteral("PDE Solver") : QStringLiteral("Monte Carlo Solver"));
    // The entry that would switch to this window itself goes for good.
    QAction* self = pde ? ui.mnuPDE : ui.mnuMC;
    self->setEnabled(false);
    self->setVisible(false);
}

void frmOptions::PrepareMCSolverForm()
{
    trapped("preparing the MC Solver form", [this] { switchSolver(kSolverMc); });
}

void frmOptions::PreparePDESolverForm()
{
    trapped("preparing the PDE Solver form", [this] { switchSolver(kSolverPde); });
}

void frmOptions::switchSolver(int32_t to)
{
    const int32_t from = to == kSolverPde ? kSolverMc : kSolverPde;
    PricerHost& windows = host();
    gSolverMode = to;
    frmOptions& source = windows.pricerWindow(from);
    source.setWindowState(1);
    frmOptions& target = windows.pricerWindow(to);
    target.takeOwnCaption();
    target.setWindowState(2);
    // Only a window coming up for the first time since its load takes the
    // contract of the other.
    if (!target.Visible())
        copyContract(source, target);
    windows.showPricerWindow(target);
}

void frmOptions::copyContract(const frmOptions& from, frmOptions& to)
{
    // The market and contract boxes; each raises its change handler.
    QLineEdit* frmOptionsUi::*const boxes[] = {
        &frmOptionsUi::txtAsset,      &frmOptionsUi::txtStrike, &frmOptionsUi::txtExpi,
        &frmOptionsUi::txtVol,        &frmOptionsUi::txtIntRate, &frmOptionsUi::txtDiv,
        &frmOptionsUi::txtSmplPoints, &frmOptionsUi::txtNFixed, &frmOptionsUi::txtInitAvg,
    };
    for (QLineEdit* frmOptionsUi::*box : boxes)
        copyText(from.ui.*box, to.ui.*box);
    // The option type and the exercise style (American becomes the Monte
    // Carlo window's Bermudan); towards Monte Carlo the type goes first.
    const int32_t toSolver = to.ownSolver();
    const auto copyType = [&] { to.setListIndex(to.ui.cboOptions, from.ui.cboOptions->currentIndex()); };
    const auto copyStyle = [&] {
        to.setListIndex(to.ui.cboExercise, exerciseIndex(toSolver, from.exercise()));
    };
    if (toSolver == kSolverPde) {
        copyStyle();
        copyType();
    } else {
        copyType();
        copyStyle();
    }
    // The payoff lays the target's panels out; then the barriers, which an
    // empty box leaves at 0.
    to.setListIndex(to.ui.cboPayoff, from.ui.cboPayoff->currentIndex());
    to.m_inputs.gUpBar = 0.0;
    to.m_inputs.gDownBar = 0.0;
    copyText(from.ui.txtDownBar, to.ui.txtDownBar);
    copyText(from.ui.TxtUpBar, to.ui.TxtUpBar);
}
