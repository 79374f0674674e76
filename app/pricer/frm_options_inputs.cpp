// The pricer window's input boxes: which keys each box takes, what each box
// stores while it is edited, the focus rules that repair empty or impossible
// entries, the live spot row after a finite-difference run, and the bounds
// of the settled fixings' average.
#include "pricer/frm_options.h"

#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "pricer/settled_average.h"
#include "platform/runtime_error.h"
#include "shared/solver_mode.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <cmath>
#include <cstdint>
#include <functional>

using namespace tarvic;

namespace {

constexpr int kBackspace = 8;

// The key, got-focus and lost-focus handlers of one box. Each typed
// character (and Backspace) goes to the key handler first; a handler that
// sets the code to 0 drops the key, which beeps. Keys with no printable
// character (Enter, Esc, Tab) and Ctrl combinations pass untouched. Pasted
// text does not come through here: the runs check the values again.
class BoxEvents : public QObject {
public:
    BoxEvents(QLineEdit* box, std::function<void(int&)> keyPress)
        : QObject(box), m_keyPress(std::move(keyPress))
    {
        box->installEventFilter(this);
    }
    std::function<void()> gotFocus;
    std::function<void()> lostFocus;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            if (!m_keyPress || text.isEmpty())
                break;
            // Ctrl combinations are commands (select all, copy, paste), not
            // typing; Ctrl with Alt is AltGr typing a character.
            const Qt::KeyboardModifiers mods = key->modifiers();
            if ((mods & (Qt::ControlModifier | Qt::MetaModifier)) && !(mods & Qt::AltModifier))
                break;
            const int code = text.at(0).unicode();
            if (code != kBackspace && (code < 32 || code == 127))
                break;
            int typed = code;
            m_keyPress(typed);
            if (typed == 0) {
                Beep();
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            const std::function<void()>& handler =
                event->type() == QEvent::FocusIn ? gotFocus : lostFocus;
            if (!handler || m_dispatching)
                break;
            // Switching to another program, or a context menu over the
            // box, takes the focus only for a while: no handler runs.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                break;
            // The box takes or gives up the focus first (a tabbed-to box
            // selects its text), then the handler runs.
            const std::function<void()> run = handler;
            m_dispatching = true;
            QCoreApplication::sendEvent(watched, event);
            m_dispatching = false;
            run();
            return true;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int&)> m_keyPress;
    bool m_dispatching = false;
};

// The shared key rule: digits and Backspace, plus "." and "-" where allowed.
bool acceptKey(int& keyAscii, bool point, bool minus)
{
    const bool ok = (keyAscii >= '0' && keyAscii <= '9') || keyAscii == kBackspace ||
                    (point && keyAscii == '.') || (minus && keyAscii == '-');
    if (!ok)
        keyAscii = 0;
    return ok;
}

void caretToStart(QLineEdit* box)
{
    box->setCursorPosition(0);
}

void caretToEnd(QLineEdit* box)
{
    box->setCursorPosition(static_cast<int>(box->text().size()));
}

}  // namespace

// ---------------------------------------------------------------------------
// Binding, at construction

void frmOptions::bindInputFields()
{
    struct Box {
        QLineEdit* box;
        void (frmOptions::*keyPress)(int&);
    };
    const Box boxes[] = {
        {ui.txtAsset, &frmOptions::txtAsset_KeyPress},
        {ui.txtStrike, &frmOptions::txtStrike_KeyPress},
        {ui.txtVol, &frmOptions::txtVol_KeyPress},
        {ui.txtIntRate, &frmOptions::txtIntRate_KeyPress},
        {ui.txtDiv, &frmOptions::txtDiv_KeyPress},
        {ui.txtExpi, &frmOptions::txtExpi_KeyPress},
        {ui.TxtUpBar, &frmOptions::TxtUpBar_KeyPress},
        {ui.txtDownBar, &frmOptions::txtDownBar_KeyPress},
        {ui.txtMonPts, &frmOptions::txtMonPts_KeyPress},
        {ui.txtSmplstart, &frmOptions::txtSmplstart_KeyPress},
        {ui.txtNFixed, &frmOptions::txtNFixed_KeyPress},
        {ui.txtSmplPoints, &frmOptions::txtSmplPoints_KeyPress},
        {ui.txtInitAvg, &frmOptions::txtInitAvg_KeyPress},
        {ui.txtMCExact, &frmOptions::txtMCExact_KeyPress},
        {ui.txtXmin, &frmOptions::txtXmin_KeyPress},
        {ui.txtXmax, &frmOptions::txtXmax_KeyPress},
        {ui.txtYmin, &frmOptions::txtYmin_KeyPress},
        {ui.txtYmax, &frmOptions::txtYmax_KeyPress},
    };
    QHash<QLineEdit*, BoxEvents*> events;
    for (const Box& b : boxes) {
        const auto handler = b.keyPress;
        events.insert(b.box, new BoxEvents(b.box, [this, handler](int& k) { (this->*handler)(k); }));
    }

    const std::pair<QLineEdit*, void (frmOptions::*)()> changes[] = {
        {ui.txtAsset, &frmOptions::txtAsset_Change},
        {ui.txtDiv, &frmOptions::txtDiv_Change},
        {ui.TxtUpBar, &frmOptions::TxtUpBar_Change},
        {ui.txtDownBar, &frmOptions::txtDownBar_Change},
        {ui.txtMonPts, &frmOptions::txtMonPts_Change},
        {ui.txtNFixed, &frmOptions::txtNFixed_Change},
        {ui.txtSmplPoints, &frmOptions::txtSmplPoints_Change},
        {ui.txtInitAvg, &frmOptions::txtInitAvg_Change},
    };
    for (const auto& c : changes) {
        const auto handler = c.second;
        connect(c.first, &QLineEdit::textChanged, this, [this, handler] { (this->*handler)(); });
    }
    // Every edit of the user's, typed or pasted, leaves the results on show
    // behind the inputs; only a finite-difference spot edit picks another
    // spot of the same results.
    for (QLineEdit* box : {ui.txtAsset, ui.txtStrike, ui.txtVol, ui.txtIntRate, ui.txtDiv,
                           ui.txtExpi, ui.TxtUpBar, ui.txtDownBar, ui.txtMonPts, ui.txtSmplstart,
                           ui.txtNFixed, ui.txtSmplPoints, ui.txtInitAvg}) {
        connect(box, &QLineEdit::textEdited, this, [this, box] {
            if (box != ui.txtAsset || ownSolver() != kSolverPde)
                markInputsChanged();
        });
    }

    const std::pair<QLineEdit*, void (frmOptions::*)()> gotFocus[] = {
        {ui.txtNFixed, &frmOptions::txtNFixed_GotFocus},
        {ui.txtInitAvg, &frmOptions::txtInitAvg_GotFocus},
    };
    for (const auto& g : gotFocus) {
        const auto handler = g.second;
        events.value(g.first)->gotFocus = [this, handler] { (this->*handler)(); };
    }

    const std::pair<QLineEdit*, void (frmOptions::*)()> lostFocus[] = {
        {ui.txtAsset, &frmOptions::txtAsset_LostFocus},
        {ui.txtStrike, &frmOptions::txtStrike_LostFocus},
        {ui.txtVol, &frmOptions::txtVol_LostFocus},
        {ui.txtIntRate, &frmOptions::txtIntRate_LostFocus},
        {ui.txtDiv, &frmOptions::txtDiv_LostFocus},
        {ui.txtExpi, &frmOptions::txtExpi_LostFocus},
        {ui.TxtUpBar, &frmOptions::TxtUpBar_LostFocus},
        {ui.txtDownBar, &frmOptions::txtDownBar_LostFocus},
        {ui.txtMonPts, &frmOptions::txtMonPts_LostFocus},
        {ui.txtNFixed, &frmOptions::txtNFixed_LostFocus},
        {ui.txtInitAvg, &frmOptions::txtInitAvg_LostFocus},
    };
    for (const auto& l : lostFocus) {
        const auto handler = l.second;
        events.value(l.first)->lostFocus = [this, handler] { (this->*handler)(); };
    }
}

// ---------------------------------------------------------------------------
// Key filters

void frmOptions::markInputsChanged()
{
    m_inputs.gInputsChanged = true;
    ui.lblProgress->clear();
}

void frmOptions::txtAsset_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, false);
}

void frmOptions::txtStrike_KeyPress(int& keyAscii)
{
    if (acceptKey(keyAscii, true, false))
        markInputsChanged();
}

void frmOptions::txtVol_KeyPress(int& keyAscii)
{
    if (acceptKey(keyAscii, true, false))
        markInputsChanged();
}

void frmOptions::txtIntRate_KeyPress(int& keyAscii)
{
    if (acceptKey(keyAscii, true, false))
        markInputsChanged();
}

void frmOptions::txtDiv_KeyPress(int& keyAscii)
{
    if (acceptKey(keyAscii, true, true))
        markInputsChanged();
}

void frmOptions::txtExpi_KeyPress(int& keyAscii)
{
    if (acceptKey(keyAscii, true, false))
        markInputsChanged();
}

void frmOptions::TxtUpBar_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, false);
}

void frmOptions::txtDownBar_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, false);
}

void frmOptions::txtInitAvg_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, false);
}

void frmOptions::txtSmplstart_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, true);
}

void frmOptions::txtMonPts_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, false, false);
}

void frmOptions::txtNFixed_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, false, false);
}

void frmOptions::txtSmplPoints_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, false, false);
}

void frmOptions::txtMCExact_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, false);
}

void frmOptions::txtXmin_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, false);
}

void frmOptions::txtXmax_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, false);
}

void frmOptions::txtYmin_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, true);
}

void frmOptions::txtYmax_KeyPress(int& keyAscii)
{
    acceptKey(keyAscii, true, true);
}

// ---------------------------------------------------------------------------
// Change handlers

void frmOptions::txtAsset_Change()
{
    trapped("changing the asset", [this] {
        ProductInputs& in = m_inputs;
        in.gAsset = Val(ui.txtAsset->text());
        // Finite-difference results price every spot of their grid: while
        // they still match the inputs, the spot row and an Exact solution
        // box on show follow the new spot. (A Monte Carlo estimate prices
        // one spot: the user's edit marks the inputs changed.)
        if (mGridStep == 0.0 || in.gInputsChanged || ownSolver() != kSolverPde)
            return;
        // A spot the results do not price (beyond the grid, past a
        // knock-in's barrier, an emptied box) shows no figures.
        Interpolation();
        ui.MSFlexGrid1->setRows(mLastIndex + 3);
        writeSpotRow(QStringLiteral("#####0.00000"));
        if (!ui.frAnalytic->isHidden())
            mnuBS_Click();
        if (Val(ui.txtAsset->text()) != in.gAsset)
            ui.txtAsset->setText(numberText(in.gAsset));
    });
}

void frmOptions::txtDiv_Change()
{
    markInputsChanged();
}

void frmOptions::TxtUpBar_Change()
{
    // An emptied box leaves the barrier as it was.
    if (ui.TxtUpBar->text().isEmpty())
        return;
    m_inputs.gUpBar = Val(ui.TxtUpBar->text());
    markInputsChanged();
}

void frmOptions::txtDownBar_Change()
{
    if (ui.txtDownBar->text().isEmpty())
        return;
    m_inputs.gDownBar = Val(ui.txtDownBar->text());
    markInputsChanged();
}

void frmOptions::txtMonPts_Change()
{
    m_inputs.gMonPts = wholeNumber32(Val(ui.txtMonPts->text()));
    markInputsChanged();
}

void frmOptions::txtNFixed_Change()
{
    m_inputs.gNFixed = wholeNumber32(Val(ui.txtNFixed->text()));
}

void frmOptions::txtSmplPoints_Change()
{
    m_inputs.gSmplPoints = wholeNumber32(Val(ui.txtSmplPoints->text()));
}

void frmOptions::txtInitAvg_Change()
{
    m_inputs.gInitAvg = Val(ui.txtInitAvg->text());
}

// ---------------------------------------------------------------------------
// Focus rules

void frmOptions::txtNFixed_GotFocus()
{
    caretToEnd(ui.txtNFixed);
}

void frmOptions::txtInitAvg_GotFocus()
{
    caretToEnd(ui.txtInitAvg);
}

void frmOptions::txtAsset_LostFocus()
{
    // The spot stays as typed: one beyond the grid is priced by the next
    // run, not moved to the top node.
    caretToStart(ui.txtAsset);
}

void frmOptions::txtStrike_LostFocus()
{
    caretToStart(ui.txtStrike);
}

void frmOptions::txtVol_LostFocus()
{
    caretToStart(ui.txtVol);
}

void frmOptions::txtIntRate_LostFocus()
{
    caretToStart(ui.txtIntRate);
}

void frmOptions::txtDiv_LostFocus()
{
    caretToStart(ui.txtDiv);
}

void frmOptions::txtExpi_LostFocus()
{
    caretToStart(ui.txtExpi);
}

void frmOptions::TxtUpBar_LostFocus()
{
    caretToStart(ui.TxtUpBar);
}

void frmOptions::txtDownBar_LostFocus()
{
    caretToStart(ui.txtDownBar);
}

void frmOptions::txtMonPts_LostFocus()
{
    // There is at least one period from now to expiry.
    if (ui.txtMonPts->text().isEmpty() || Val(ui.txtMonPts->text()) == 0.0)
        ui.txtMonPts->setText(QStringLiteral("1"));
}

void frmOptions::txtNFixed_LostFocus()
{
    ProductInputs& in = m_inputs;
    const double value = Val(ui.txtNFixed->text());
    if (value != in.gNFixed) {
        in.gNFixed = wholeNumber32(value);
        markInputsChanged();
    }
    if (in.gNFixed < 1 && isFloatingStrike(payoff())) {
        // The spot is always the first fixing of a floating strike.
        in.gNFixed = 1;
        ui.txtNFixed->setText(QStringLiteral("1"));
        in.gInitAvg = Val(ui.txtAsset->text());
        ui.txtInitAvg->setText(ui.txtAsset->text());
    }
}

void frmOptions::txtInitAvg_LostFocus()
{
    caretToStart(ui.txtInitAvg);
    ProductInputs& in = m_inputs;
    const double value = Val(ui.txtInitAvg->text());
    if (in.gNFixed >= 1 && value != in.gInitAvg) {
        in.gInitAvg = value;
        markInputsChanged();
    }
}

// ---------------------------------------------------------------------------
// Bounds of the settled fixings' average

void frmOptions::GetInitAvgLimits(double& lower, double& upper)
{
    trapped("checking whether the initial average is within the allowed limits",
            [&] { settledAverageLimits(m_inputs, lower, upper); });
}
