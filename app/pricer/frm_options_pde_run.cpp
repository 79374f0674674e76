// The finite-difference run of the pricer window: Calculate, the input
// checks, the library call and the display of a successful run.
#include "pricer/frm_options.h"

#include "platform/chart.h"
#include "platform/control_look.h"
#include "platform/dialog_show.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "platform/runtime_error.h"
#include "platform/system_services.h"
#include "platform/tarvic_library.h"
#include "pricer/plot_rules.h"
#include "settings/frmResol.h"
#include "settings/settings_dialogs.h"
#include "shared/pde_settings.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

#include <QApplication>
#include <QPointer>
#include <QSignalBlocker>

#include <algorithm>

using namespace tarvic;

namespace {

constexpr int32_t kMaxNodeIndex = 50000;
const QString kCrLf = QStringLiteral("\r\n");

void caretToEnd(QLineEdit* box)
{
    box->setCursorPosition(static_cast<int>(box->text().size()));
}

}  // namespace

// ---------------------------------------------------------------------------
// Calculate

void frmOptions::cmdCalc_Click()
{
    // A second press while a run lets events through must not start another.
    if (runInProgress())
        return;
    if (gSolverMode == kSolverPde)
        CalculatePDE();
    // The Monte Carlo run is not part of this window yet.
}

void frmOptions::CalculatePDE()
{
    if (runInProgress())
        return;
    RunTrapped(
        [this] {
            if (checkPdeInputs())
                runPdeSolver();
        },
        [this] {
            if (Err().Number == kErrGridInvalidRow)
                return;
            ui.lblProgress->setText(QStringLiteral("Failed"));
            ReportError(QStringLiteral("solving for the option price"));
        });
    // A close that came in while the run let events through happens now.
    const int deferred = m_deferredClose;
    m_deferredClose = 0;
    if (deferred == 2) {
        Unload();
    } else if (deferred == 1) {
        if (QMdiSubWindow* frame = subWindow())
            frame->close();
        else
            close();
    }
}

// ---------------------------------------------------------------------------
// The input checks. Each stop leaves what was read in the shared state.

bool frmOptions::checkPdeInputs()
{
    ProductInputs& in = m_inputs;
    PdeSettings& s = gPdeSettings;

    // Reading, in this order.
    in.gAsset = Val(ui.txtAsset->text());
    in.gStrike = Val(ui.txtStrike->text());
    in.gVol = Val(ui.txtVol->text()) / 100.0;
    in.gIntRate = Val(ui.txtIntRate->text()) / 100.0;
    in.gDiv = Val(ui.txtDiv->text()) / 100.0;
    in.gExpiry = Val(ui.txtExpi->text());
    frmResol& resol = gFrmResol(this);
    s.gGridSize = wholeNumber32(Val(resol.txtNoA->text()));
    s.gTimeSteps = wholeNumber32(Val(resol.txtTS->text()));
    in.gSmplPoints = wholeNumber32(Val(ui.txtSmplPoints->text()));
    in.gInitAvg = Val(ui.txtInitAvg->text());
    in.gSmplStart = Val(ui.txtSmplstart->text());
    in.gNFixed = wholeNumber32(Val(ui.txtNFixed->text()));
    mOptionType = ui.cboOptions->currentIndex();
    mPayoff = payoff();
    s.gNonUniGrid = resol.chkNonUniGrid->isChecked();
    in.gUpBar = ui.TxtUpBar->isHidden() ? 0.0 : Val(ui.TxtUpBar->text());
    in.gDownBar = ui.txtDownBar->isHidden() ? 0.0 : Val(ui.txtDownBar->text());

    if (in.gInputsChanged) {
        mRefValue.assign(2, 0.0);
        mRefAsset.assign(2, 0.0);
    }

    const auto P = [this] { return payoff(); };
    const double K = in.gStrike;
    const double S = in.gAsset;
    const double U = in.gUpBar;
    const double D = in.gDownBar;
    const int32_t N = s.gGridSize;
    const bool maxChecked = resol.ChkOverMaxS->isChecked();

    const auto box = [this](const QString& text, const QString& title) {
        MsgBox(text, MsgIcon::Exclamation, MsgButtons::OKOnly, title, this);
    };
    // Message, then the box emptied (when asked) and focused; the run stops.
    const auto refuse = [&](const QString& text, const QString& title, QLineEdit* field,
                            bool clear) {
        box(text, title);
        if (clear)
            field->clear();
        field->setFocus();
        return false;
    };
    // Message, then the box focused and reset; the run stops.
    const auto resetAndStop = [&](const QString& text, QLineEdit* field, const QString& value,
                                  bool caret) {
        box(text, QStringLiteral("Invalid Input"));
        field->setFocus();
        field->setText(value);
        if (caret)
            caretToEnd(field);
        return false;
    };
    const auto resetMaxS = [&](const QString& sentence, double value) {
        box(sentence + kCrLf + QStringLiteral("Resetting to ") + numberText(value) +
                QStringLiteral("."),
            QStringLiteral("Invalid Input"));
        resol.txtMaxS->setText(numberText(value));
    };
    const auto divide = [](double a, int32_t b) {
        if (b == 0)
            RaiseError(kErrDivisionByZero, QStringLiteral("Division by zero"));
        return a / b;
    };
    // The fixings still to come; a difference beyond 32 bits overflows.
    const auto fixingsLeft = [&in] {
        const int64_t left = int64_t{in.gSmplPoints} - int64_t{in.gNFixed};
        if (left > INT32_MAX || left < INT32_MIN)
            RaiseError(kErrOverflow, QStringLiteral("Overflow"));
        return static_cast<int32_t>(left);
    };

    // The results are priced at the spot: an empty, zero, negative or
    // non-numeric one (pasted text passes the key filters) is refused. The
    // floating strike asks for a missing spot in its own words below.
    if (S < 0.0 || (!ui.txtAsset->text().isEmpty() && !startsWithNumber(ui.txtAsset->text())) ||
        (S == 0.0 && !isFloatingStrike(P())))
        return refuse(QStringLiteral("Please enter a non-zero initial asset level."),
                      QStringLiteral("Invalid input"), ui.txtAsset, true);
    // A strike (a negative one is refused as well); the floating strike
    // has none.
    if (K <= 0.0 && !isFloatingStrike(P()))
        return refuse(QStringLiteral("Please enter a non-zero strike."),
                      QStringLiteral("Invalid input"), ui.txtStrike, true);
    // Rate, dividend, strike, expiry and volatility within their limits.
    if (in.gIntRate > 0.5)
        return refuse(QStringLiteral("Please enter an interest rate that does not exceed 50%."),
                      QStringLiteral("Invalid input"), ui.txtIntRate, true);
    if (in.gDiv > 0.5)
        return refuse(QStringLiteral("Please enter a dividend yield that does not exceed 50%."),
                      QStringLiteral("Invalid input"), ui.txtDiv, true);
    if (K > 10000.0)
        return refuse(QStringLiteral("Please enter an option strike that does not exceed 10000."),
                      QStringLiteral("Invalid input"), ui.txtStrike, true);
    if (in.gExpiry > 2.0 || in.gExpiry < 0.0001)
        return refuse(QStringLiteral("Please enter a time to expiry between 0.0001 and 2Y."),
                      QStringLiteral("Unsupported input value"), ui.txtExpi, true);
    if (in.gVol > 1.0)
        return refuse(QStringLiteral("The volatility cannot exceed 100%. "),
                      QStringLiteral("Unsupported input value"), ui.txtVol, true);
    if (in.gVol < 0.03)
        return refuse(QStringLiteral("The volatility cannot be less than 3%."),
                      QStringLiteral("Unsupported input value"), ui.txtVol, true);
    // Enough time steps, or the settings dialog to give them.
    if (Val(resol.txtTS->text()) < 10) {
        box(QStringLiteral("The number of time steps must be at least 10.") + kCrLf +
                QStringLiteral("Change the numerical resolution setting."),
            QStringLiteral("Invalid unput"));
        resol.showModalFor(this);
        return false;
    }

    // The barriers: ordered, not too close to the strike on a uniform grid
    // (a warning that ends this chain), a down barrier present and in range.
    if (isDoubleBarrier(P()) && D >= U) {
        box(QStringLiteral("The up barrier must be greater than the down barrier."),
            QStringLiteral("Invalid Input"));
        ui.TxtUpBar->setFocus();
        return false;
    }
    const double step = divide(K, N);
    if (!isDoubleBarrier(P()) && !s.gNonUniGrid &&
        ((K < U && step > U - K) || (K > D && step > K - D))) {
        box(QStringLiteral("The strike and barrier are too close. The resolution will be increased."),
            QStringLiteral("Invalid Input"));
    } else if (hasDownBarrier(P()) && (ui.txtDownBar->text().isEmpty() || D == 0.0)) {
        box(QStringLiteral("Please enter a non-zero down barrier value."),
            QStringLiteral("Invalid Input"));
        ui.txtDownBar->setFocus();
        return false;
    } else if (hasDownBarrier(P()) && (D / K > 5.0 || K / D > 10.0)) {
        box(QStringLiteral("The down barrier value is outside the allowed range for the given strike."),
            QStringLiteral("Invalid Input"));
        ui.txtDownBar->setFocus();
        return false;
    }
    // The exercise periods and the fixings within their limits, for every
    // payoff that has them (down barriers and strikes close to a barrier
    // included).
    const bool bermudan = ui.cboExercise->currentText() == QLatin1String("Bermudan");
    if (!isAsian(P()) && bermudan && Val(ui.txtMonPts->text()) < 1)
        return resetAndStop(QStringLiteral("There is at least one exercising period (from now to "
                                           "maturity). Resetting to 1."),
                            ui.txtMonPts, QStringLiteral("1"), true);
    if (!isAsian(P()) && bermudan && Val(ui.txtMonPts->text()) > 5000)
        return resetAndStop(QStringLiteral("The maximum allowed number of exercising periods is "
                                           "5000. Resetting to 5000."),
                            ui.txtMonPts, QStringLiteral("5000"), true);
    if (in.gAsian && Val(ui.txtSmplPoints->text()) > 5000)
        return resetAndStop(QStringLiteral("The maximum allowed number of fixings (observations) "
                                           "is 5000. Resetting to 5000."),
                            ui.txtSmplPoints, QStringLiteral("5000"), false);

    // An up barrier present and within its range of the strike.
    if (hasUpBarrier(P()) && (ui.TxtUpBar->text().isEmpty() || U == 0.0)) {
        box(QStringLiteral("Please enter a non-zero up barrier value."),
            QStringLiteral("Invalid Input"));
        ui.TxtUpBar->setFocus();
        return false;
    }
    if (hasUpBarrier(P())) {
        const double ratio = U / K;
        const bool outside = mContMon ? (ratio < 0.001 || ratio > 40.0)
                                      : (ratio < 0.1 || ratio > 5.0);
        if (outside) {
            box(QStringLiteral("The up barrier value is too small or too large for the given "
                               "option strike."),
                QStringLiteral("Invalid Input"));
            ui.TxtUpBar->setFocus();
            return false;
        }
    }
    // A user maximum asset value clear of a down barrier.
    if (maxChecked && (hasDownBarrier(P()) && !hasUpBarrier(P())) && s.gMaxS <= D) {
        box(QStringLiteral("The maximum grid asset value must be greater than the down barrier.") +
                kCrLf + QStringLiteral("Press F2 to enter a larger maximum grid asset value"),
            QStringLiteral("Cannot create grid"));
        return false;
    }
    if (maxChecked && (hasDownBarrier(P()) && !hasUpBarrier(P())) && 3.0 * step > s.gMaxS - D) {
        box(QStringLiteral("The maximum grid asset value is too close to the down barrier.") +
                kCrLf +
                QStringLiteral("Press F2 to enter a larger maximum grid asset value, or increase "
                               "the grid resolution"),
            QStringLiteral("Cannot create grid"));
        return false;
    }
    // A user maximum asset value between 2 and 30 strikes (reset, and the
    // run goes on).
    if (!isFloatingStrike(P()) && resol.ChkOverMaxS->isChecked() && P() != Payoff::UpAndOut &&
        P() != Payoff::DoubleOut) {
        if (s.gMaxS / K < 2.0)
            resetMaxS(QStringLiteral("The maximum grid asset value must be at least 2*Strike."),
                      2.0 * K);
        else if (s.gMaxS / K > 30.0)
            resetMaxS(QStringLiteral("The maximum grid asset value must be less than 30*Strike."),
                      30.0 * K);
    }
    // The floating strike: a spot, and a user maximum asset value between 3
    // and 30 spots.
    if (isFloatingStrike(P())) {
        if (S <= 0.0) {
            box(QStringLiteral("You must provide the current asset price."),
                QStringLiteral("Invalid Input"));
            ui.txtAsset->setFocus();
            return false;
        }
        if (resol.ChkOverMaxS->isChecked()) {
            if (s.gMaxS / S < 3.0)
                resetMaxS(QStringLiteral("The maximum grid asset value must be at least 3*Asset."),
                          3.0 * S);
            else if (s.gMaxS / S > 30.0)
                resetMaxS(QStringLiteral("The maximum grid asset value must be less than 30*Asset."),
                          30.0 * S);
        }
    }
    // A discretely monitored barrier: a user maximum asset value at least
    // 1.5 up barriers, and at least one monitoring period.
    if (in.gBarrier && !mContMon) {
        if (resol.ChkOverMaxS->isChecked() && U > 0.0 && s.gMaxS / U < 1.5)
            resetMaxS(QStringLiteral("The maximum grid asset value must be at least 1.5*[Up Barrier]."),
                      1.5 * U);
        if (Val(ui.txtMonPts->text()) < 1)
            return resetAndStop(QStringLiteral("There is at least one monitoring period (from now "
                                               "to maturity). Resetting to 1."),
                                ui.txtMonPts, QStringLiteral("1"), true);
    }

    // The fixings: some to come, and an average not running for more than
    // ten years (made again after a reset of the settled fixings below).
    const auto fixingsCountsFail = [&] {
        if (isAsian(P()) && in.gSmplPoints == 0) {
            box(QStringLiteral("Please enter a positive number of fixings (observations)."),
                QStringLiteral("Invalid Input"));
            ui.txtSmplPoints->setFocus();
            return true;
        }
        if (isAsian(P()) && fixingsLeft() < 1) {
            box(QStringLiteral("The number of settled fixings (observations) must be less than "
                               "the total number of fixings."),
                QStringLiteral("Invalid Input"));
            ui.txtNFixed->setFocus();
            return true;
        }
        return false;
    };
    const auto runningAverageFails = [&] {
        if (in.gAsian && in.gSmplPoints * in.gExpiry / fixingsLeft() > 10.0) {
            box(QStringLiteral("The program assumes equally spaced observation(fixing)dates with "
                               "an observation period of: [Time to expiry] / [Total number of "
                               "fixings - Number of settled fixings]. In this case it implies an "
                               "average that is running for more than 10 years. Please reduce "
                               "the number of settled fixings."),
                QStringLiteral("Unsupported input value"));
            ui.txtNFixed->setFocus();
            return true;
        }
        return false;
    };
    if (fixingsCountsFail())
        return false;
    // The settled average within five strikes, or five spots for a
    // floating strike.
    if (P() == Payoff::AsianFixedStrike && in.gInitAvg > 5.0 * K) {
        box(QStringLiteral("The settled fixings average must be less than 5 times the strike."),
            QStringLiteral("Unsupported input value"));
        ui.txtInitAvg->setFocus();
        return false;
    }
    if (isFloatingStrike(P()) && in.gInitAvg > 5.0 * S) {
        box(QStringLiteral("The settled fixings average must be less than 5 times the current "
                           "asset level."),
            QStringLiteral("Unsupported input value"));
        ui.txtInitAvg->setFocus();
        return false;
    }
    // An American Asian takes one plane per asset step (the user's spacing
    // waits for a European one).
    if (in.gAsian && ui.cboExercise->currentText() == QLatin1String("American") &&
        s.gPlaneSpacing != 1) {
        resol.holdPlanes();
        s.gPlaneSpacing = 1;
        if (s.gPlanesInterp == -1)
            s.gPlanesInterp = 1;
    }
    // The average's running time.
    if (runningAverageFails())
        return false;
    // The spot is the first fixing of a floating strike.
    const auto spotIsFirstFixing = [&](const QString& text) {
        box(text, QStringLiteral("Warning"));
        ui.txtInitAvg->setText(ui.txtAsset->text());
        ui.txtNFixed->setText(QStringLiteral("1"));
        in.gInitAvg = Val(ui.txtAsset->text());
        in.gNFixed = 1;
    };
    if (isFloatingStrike(P()) && in.gNFixed < 1) {
        spotIsFirstFixing(QStringLiteral("The current asset spot is always taken as the first "
                                         "fixing for Floating Strike Asian options. Resetting "
                                         "number of settled fixings to 1."));
        // The settled count has grown: the counts must still leave a fixing
        // to come.
        if (fixingsCountsFail() || runningAverageFails())
            return false;
    }
    if (isFloatingStrike(P()) && in.gNFixed == 1 && in.gInitAvg != S)
        spotIsFirstFixing(QStringLiteral("The current asset spot is always taken as the first "
                                         "fixing for Floating Strike Asian options. Resetting the "
                                         "average of settled fixings to the asset spot."));
    // The settled average within what the model allows.
    if (isFloatingStrike(P()) && in.gNFixed > 1) {
        double lower = 0.0, upper = 0.0;
        GetInitAvgLimits(lower, upper);
        const auto limitStop = [&](const char* sentence, double limit) {
            box(QString::fromLatin1(sentence) + formatNumber(limit * 100.0 / S, QStringLiteral("###.##")) +
                    QStringLiteral("% of the current asset level!"),
                QStringLiteral("Unsupported input value"));
            ui.txtInitAvg->setText(numberText(limit));
            ui.txtInitAvg->setFocus();
            caretToEnd(ui.txtInitAvg);
            return false;
        };
        if (in.gInitAvg < lower)
            return limitStop("Based on the undelying GBM model, the average of the settled "
                             "fixings in this case cannot be less than ",
                             lower);
        if (in.gInitAvg > upper)
            return limitStop("Based on the undelying GBM model, the average of the settled "
                             "fixings in this case cannot be more than ",
                             upper);
    }
    return true;
}

// ---------------------------------------------------------------------------
// The library call and the results

namespace {

// Ends the busy state however the run ends.
class RunScope {
public:
    explicit RunScope(std::function<void()> leave) : m_leave(std::move(leave)) {}
    ~RunScope() { m_leave(); }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    std::function<void()> m_leave;
};

}  // namespace

QString frmOptions::priceOnGrid(Payoff payoff, double maxAsset, int32_t& lastNode)
{
    const ProductInputs& in = m_inputs;
    const PdeSettings& s = gPdeSettings;
    // The library writes into scratch arrays; the window's arrays change
    // only when the run succeeds.
    const size_t size = static_cast<size_t>(kStoreRows);
    if (m_scratch.size() != 6 * size)
        m_scratch.assign(6 * size, 0.0);
    double* grid = m_scratch.data();
    double* value = grid + size;
    double* delta = value + size;
    double* gamma = delta + size;
    double* theta = gamma + size;
    double* vega = theta + size;
    TarvicLibrary& library = TarvicLibrary::instance();
    if (payoff == Payoff::Vanilla)
        return library.VelkOptionPricer(grid, value, delta, gamma, theta, vega, in.gStrike,
                                        s.gTimeSteps, in.gExpiry, in.gVol, in.gIntRate, in.gDiv,
                                        lastNode, mOptionType, in.gExercise, s.gDiscretization,
                                        s.gAmerSolver, maxAsset, flagArgument(mCalcTheta),
                                        flagArgument(mCalcVega), flagArgument(s.gNonUniGrid),
                                        in.gMonPts);
    if (isBarrier(payoff)) {
        const int32_t knockOut = isKnockOut(payoff) ? 1 : 0;
        return library.VelkBarrierOptionPricer(
            grid, value, delta, gamma, theta, vega, in.gAsset, in.gStrike, in.gDownBar,
            in.gUpBar, flagArgument(mContMon), s.gTimeSteps, in.gExpiry, in.gVol, in.gIntRate,
            in.gDiv, lastNode, mOptionType, knockOut, in.gExercise, s.gDiscretization,
            s.gAmerSolver, maxAsset, flagArgument(mCalcTheta), flagArgument(mCalcVega),
            flagArgument(s.gNonUniGrid), in.gMonPts);
    }
    return library.VelkAsianOptionPricer(
        grid, value, delta, gamma, theta, vega, in.gAsset, in.gStrike, s.gTimeSteps, in.gExpiry,
        in.gVol, in.gIntRate, in.gDiv, lastNode, s.gPlaneSpacing, in.gSmplPoints, in.gNFixed,
        in.gInitAvg, in.gSmplStart, mOptionType, in.gExercise, s.gDiscretization, s.gAmerSolver,
        s.gPlanesInterp, maxAsset, flagArgument(mCalcTheta), flagArgument(mCalcVega),
        flagArgument(s.gNonUniGrid), flagArgument(s.gMultiThreadPDE));
}

void frmOptions::runPdeSolver()
{
    ProductInputs& in = m_inputs;
    PdeSettings& s = gPdeSettings;
    frmResol& resol = gFrmResol(this);

    beginRun();
    const RunScope scope([this] { endRun(); });

    // Let the window repaint before the work starts; an empty rate or
    // dividend box shows the 0 it is read as.
    DoEvents();
    if (in.gIntRate == 0.0)
        ui.txtIntRate->setText(QStringLiteral("0"));
    if (in.gDiv == 0.0)
        ui.txtDiv->setText(QStringLiteral("0"));
    // Busy from here on, and the clock runs.
    const uint32_t start = GetTickCount();
    ui.lblProgress->setText(QStringLiteral("Please wait"));
    setForeColor(ui.lblProgress, kStatusRed);
    ui.lblProgress->repaint();
    ui.lblCalcTime->clear();
    ui.lblCalcTime->repaint();
    // The last inputs: the Greeks asked for, the exercise style, monitoring
    // and periods, the planes interpolation when none was chosen.
    mCalcVega = ui.mnuVega->isChecked();
    mCalcTheta = ui.mnuTheta->isChecked() && ui.mnuTheta->isVisible();
    in.gExercise = ui.cboExercise->currentIndex();
    mContMon = ui.chkContMon->isChecked();
    in.gMonPts = ui.txtMonPts->isHidden() ? 0 : wholeNumber32(Val(ui.txtMonPts->text()));
    if (s.gPlanesInterp == -1)
        s.gPlanesInterp = s.gDefaultPlanesInterp;
    mLastCalcTheta = false;
    mLastCalcVega = false;
    // Asians with early exercise and floating strikes use the automatic
    // grid extent; a maximum asset value the user set waits for the next
    // contract that uses it.
    if ((in.gAsian && in.gExercise > 0) || isFloatingStrike(mPayoff))
        resol.holdMaxAsset();

    // A knock-in whose spot is at or past its barrier has knocked in: it is
    // the vanilla, priced as one.
    const Payoff p = mPayoff;
    const bool knockedIn = mContMon && spotKnockedIn(p, in.gAsset, in.gUpBar, in.gDownBar);
    const Payoff priced = knockedIn ? Payoff::Vanilla : p;
    int32_t lastNode = s.gGridSize;
    QString text = priceOnGrid(priced, s.gMaxS, lastNode);
    // The automatic grid ends near a few strikes: a spot above its top is
    // priced again on a grid that reaches twice the spot. (A continuously
    // monitored up barrier ends the grid itself; a spot above it has
    // knocked out.)
    const bool gridEndsAtBarrier = mContMon && hasUpBarrier(priced);
    if (text.isEmpty() && lastNode >= 2 && lastNode <= kMaxNodeIndex && s.gMaxS == 0.0 &&
        !gridEndsAtBarrier && !isFloatingStrike(priced) &&
        in.gAsset > m_scratch[static_cast<size_t>(lastNode)]) {
        lastNode = s.gGridSize;
        text = priceOnGrid(priced, 2.0 * in.gAsset, lastNode);
    }

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
    const size_t size = static_cast<size_t>(kStoreRows);
    const double* grid = m_scratch.data();
    const size_t count = static_cast<size_t>(lastNode) + 1;
    std::copy(grid, grid + count, mAssetGrid.begin());
    std::copy(grid + size, grid + size + count, mOptionValue.begin());
    std::copy(grid + 2 * size, grid + 2 * size + count, mDelta.begin());
    std::copy(grid + 3 * size, grid + 3 * size + count, mGamma.begin());
    std::copy(grid + 4 * size, grid + 4 * size + count, mTheta.begin());
    if (mCalcVega)
        std::copy(grid + 5 * size, grid + 5 * size + count, mVega.begin());
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
            s.gMaxS > 0.0
                ? QStringLiteral("The asset level ") + spot +
                      QStringLiteral(" lies above the user-defined maximum asset value of ") +
                      numberText(s.gMaxS) + QLatin1Char('.')
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
    mResultsNonUniGrid = s.gNonUniGrid;
    mResultsKnockedIn = knockedIn;
    Results();

    // The menus that depend on the contract: the closed form where one
    // exists, the reference solution where none does.
    const double K = in.gStrike, U = in.gUpBar, D = in.gDownBar;
    const bool asian = isAsian(p);
    const bool discreteBarrier = in.gBarrier && !mContMon;
    const bool closedForm = !(isDoubleBarrier(p) && (K > U || K < D)) && !asian && !discreteBarrier &&
                            !mEarlyExercise;
    if (closedForm) {
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
    if (discreteBarrier || asian || mEarlyExercise) {
        ui.mnuSaveRefSol->setVisible(true);
        ui.mnuSaveRefSol->setEnabled(true);
        if (mRefValue.size() > 2) {
            ui.mnuBSGrid->setVisible(true);
            ui.mnuBSGrid->setEnabled(true);
        }
        ui.frAnalytic->hide();
    }

    // The premium chart; from here on the results match the inputs.
    Chart(1, 0.0);
    DoEvents();
    in.gInputsChanged = false;

    // The table: the spot row first, then one row per node; wide grids
    // show four decimals of the asset and the value.
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
            table.setText(formatNumber(row[static_cast<size_t>(col)],
                                       wide && col < 2 ? coarse : fine));
        }
        DoEvents();
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

// ---------------------------------------------------------------------------
// The busy state of a run

void frmOptions::beginRun()
{
    if (m_runDepth++ > 0)
        return;
    // The box or button in use gets its focus back after the run; meanwhile
    // the focus stays nowhere rather than wandering into the table.
    QWidget* focused = QApplication::focusWidget();
    m_focusBeforeRun = focused && isAncestorOf(focused) ? focused : nullptr;
    if (m_focusBeforeRun)
        m_focusBeforeRun->clearFocus();
    m_workActions->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{ui.cmdCalc, ui.frmOptType, ui.Frame1, ui.txtAsset,
                                                       ui.Frame5, ui.picAsian, ui.Frame6})
        w->setEnabled(false);
}

void frmOptions::endRun()
{
    if (--m_runDepth > 0)
        return;
    for (QWidget* w : std::initializer_list<QWidget*>{ui.cmdCalc, ui.frmOptType, ui.Frame1, ui.txtAsset,
                                                       ui.Frame5, ui.picAsian, ui.Frame6})
        w->setEnabled(true);
    m_workActions->setEnabled(true);
    if (m_focusBeforeRun && m_focusBeforeRun->isEnabled() && !QApplication::focusWidget())
        m_focusBeforeRun->setFocus();
    m_focusBeforeRun = nullptr;
}

bool frmOptions::deferWhileRunning(bool unload)
{
    if (!runInProgress())
        return false;
    m_deferredClose = std::max(m_deferredClose, unload ? 2 : 1);
    return true;
}
