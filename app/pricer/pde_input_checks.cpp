#include "pricer/pde_input_checks.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "pricer/common_checks.h"
#include "pricer/plot_rules.h"
#include "pricer/settled_average.h"

#include <cstdint>
#include <utility>

namespace tarvic {

PdeReading readPdeForm(const PdeForm& form)
{
    PdeReading r;
    ProductInputs& in = r.inputs;
    in = form.inputs;
    readContractBoxes(form, in);
    r.assetSteps = wholeNumber32(Val(form.assetSteps));
    r.timeSteps = wholeNumber32(Val(form.timeSteps));
    r.nonUniformGrid = form.nonUniformGrid;
    return r;
}

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kInvalidInput = QStringLiteral("Invalid Input");

// The checks of one run over one reading. Each check either passes, adds a
// step and goes on, or refuses; the first refusal ends the run.
class PdeChecks {
public:
    PdeChecks(const PdeForm& form, const AverageLimits& limits)
        : m_form(form), m_limits(limits)
    {
        m_outcome.reading = readPdeForm(form);
        m_maxAsset = form.settings.gMaxS;
    }

    PdeCheckOutcome run()
    {
        if (passes())
            buildRequest();
        return std::move(m_outcome);
    }

private:
    ProductInputs& in() { return m_outcome.reading.inputs; }
    Payoff payoff() const { return m_form.payoff; }

    static CheckRefusal refusal(const QString& text, const QString& title,
                                FormBox focus = FormBox::None)
    {
        CheckRefusal r;
        r.message = {text, title};
        r.focus = focus;
        return r;
    }
    // The user maximum asset value set to what the grid needs; the run goes
    // on with it (the dialog's box holds the value as written).
    void resetMaximum(const QString& sentence, double value)
    {
        const QString text = numberText(value);
        m_outcome.warn(sentence + kCrLf + QStringLiteral("Resetting to ") + text + QLatin1Char('.'),
                       kInvalidInput, {{FormBox::MaximumAsset, text}});
        m_maxAsset = Val(text);
    }

    double perStep(double strike) const
    {
        const int32_t n = m_outcome.reading.assetSteps;
        if (n == 0)
            RaiseError(kErrDivisionByZero, QStringLiteral("Division by zero"));
        return strike / n;
    }
    bool passes();
    bool marketPasses();
    bool barriersPass();
    bool maximumAssetPasses();
    bool fixingCountsPass();
    bool runningAveragePasses();
    bool floatingStrikePasses();
    void buildRequest();

    const PdeForm& m_form;
    const AverageLimits& m_limits;
    PdeCheckOutcome m_outcome;
    // The user maximum asset value as the checks leave it.
    double m_maxAsset = 0.0;
    // An American Asian prices on one plane per asset step.
    bool m_planesForAmerican = false;
};

bool PdeChecks::passes()
{
    if (!marketPasses() || !barriersPass() || !maximumAssetPasses())
        return false;

    // The fixings: some to come, and the settled average within five
    // strikes, or five spots for a floating strike.
    if (!fixingCountsPass())
        return false;
    const double K = in().gStrike;
    const double S = in().gAsset;
    if (payoff() == Payoff::AsianFixedStrike && in().gInitAvg > 5.0 * K)
        return m_outcome.refuse(
            QStringLiteral("The settled fixings average must be less than 5 times the "
                           "strike."),
            QStringLiteral("Unsupported input value"), FormBox::SettledAverage, false);
    if (isFloatingStrike(payoff()) && in().gInitAvg > 5.0 * S)
        return m_outcome.refuse(
            QStringLiteral("The settled fixings average must be less than 5 times the "
                           "current asset level."),
            QStringLiteral("Unsupported input value"), FormBox::SettledAverage, false);
    // An American Asian takes one plane per asset step (the user's spacing
    // waits for a European one).
    if (isAsian(payoff()) && m_form.exercise == Exercise::American &&
        m_form.settings.gPlaneSpacing != 1) {
        CheckStep step;
        step.onePlanePerStep = true;
        m_outcome.steps.push_back(step);
        m_planesForAmerican = true;
    }
    if (!runningAveragePasses())
        return false;
    return floatingStrikePasses();
}

bool PdeChecks::marketPasses()
{
    const double K = in().gStrike;
    const double S = in().gAsset;
    const bool floating = isFloatingStrike(payoff());
    // The results are priced at the spot: an empty, zero, negative or
    // non-numeric one (pasted text passes the key filters) is refused. The
    // floating strike asks for a missing spot in its own words later.
    if (S < 0.0 || (!m_form.asset.isEmpty() && !startsWithNumber(m_form.asset)) ||
        (S == 0.0 && !floating))
        return m_outcome.refuse(QStringLiteral("Please enter a non-zero initial asset level."),
                                QStringLiteral("Invalid input"), FormBox::Asset, true);
    // A strike (a negative one is refused as well); the floating strike has
    // none.
    if (K <= 0.0 && !floating)
        return m_outcome.refuse(QStringLiteral("Please enter a non-zero strike."),
                                QStringLiteral("Invalid input"), FormBox::Strike, true);
    if (!ratesAtMostHalf(m_outcome, in()) || !strikeAtMostTenThousand(m_outcome, in()) ||
        !expiryWithin(m_outcome, in(), 2.0) || !volatilityWithinLimits(m_outcome, in()))
        return false;
    // Enough time steps, or the settings dialog to give them.
    if (Val(m_form.timeSteps) < 10) {
        CheckRefusal r = refusal(QStringLiteral("The number of time steps must be at least 10.") +
                                     kCrLf +
                                     QStringLiteral("Change the numerical resolution setting."),
                                 QStringLiteral("Invalid unput"));
        r.openSettings = true;
        return m_outcome.stop(r);
    }
    return true;
}

bool PdeChecks::barriersPass()
{
    const Payoff p = payoff();
    const double K = in().gStrike;
    const double U = in().gUpBar;
    const double D = in().gDownBar;
    // Ordered barriers; a strike close to a barrier on a uniform grid (a
    // warning that ends this chain); a down barrier present and in range.
    if (isDoubleBarrier(p) && D >= U)
        return m_outcome.refuse(
            QStringLiteral("The up barrier must be greater than the down barrier."), kInvalidInput,
            FormBox::UpBarrier, false);
    const double step = perStep(K);
    if (!isDoubleBarrier(p) && !m_outcome.reading.nonUniformGrid &&
        ((K < U && step > U - K) || (K > D && step > K - D))) {
        m_outcome.warn(
            QStringLiteral("The strike and barrier are too close. The resolution will be "
                           "increased."),
            kInvalidInput);
    } else if (hasDownBarrier(p) && (m_form.downBarrier.isEmpty() || D == 0.0)) {
        return m_outcome.refuse(QStringLiteral("Please enter a non-zero down barrier value."),
                                kInvalidInput, FormBox::DownBarrier, false);
    } else if (hasDownBarrier(p) && (D / K > 5.0 || K / D > 10.0)) {
        return m_outcome.refuse(
            QStringLiteral("The down barrier value is outside the allowed range for "
                           "the given strike."),
            kInvalidInput, FormBox::DownBarrier, false);
    }
    // The exercise periods and the fixings within their limits, for every
    // payoff that has them (down barriers and strikes close to a barrier
    // included).
    const bool exercisePeriods = hasExercisePeriods(p, m_form.exercise);
    if (exercisePeriods && Val(m_form.periods) < 1)
        return m_outcome.resetAndStop(
            QStringLiteral("There is at least one exercising period (from now to "
                           "maturity). Resetting to 1."),
            kInvalidInput, FormBox::Periods, QStringLiteral("1"));
    if (exercisePeriods && Val(m_form.periods) > 5000)
        return m_outcome.resetAndStop(
            QStringLiteral("The maximum allowed number of exercising periods is "
                           "5000. Resetting to 5000."),
            kInvalidInput, FormBox::Periods, QStringLiteral("5000"));
    if (isAsian(p) && Val(m_form.fixings) > 5000)
        return m_outcome.resetAndStop(
            QStringLiteral("The maximum allowed number of fixings (observations) "
                           "is 5000. Resetting to 5000."),
            kInvalidInput, FormBox::Fixings, QStringLiteral("5000"), false);
    // An up barrier present and within its range of the strike.
    if (hasUpBarrier(p) && (m_form.upBarrier.isEmpty() || U == 0.0))
        return m_outcome.refuse(QStringLiteral("Please enter a non-zero up barrier value."),
                                kInvalidInput, FormBox::UpBarrier, false);
    if (hasUpBarrier(p)) {
        const double ratio = U / K;
        const bool outside = m_form.continuousMonitoring ? (ratio < 0.001 || ratio > 40.0)
                                                         : (ratio < 0.1 || ratio > 5.0);
        if (outside)
            return m_outcome.refuse(
                QStringLiteral("The up barrier value is too small or too large for the "
                               "given option strike."),
                kInvalidInput, FormBox::UpBarrier, false);
    }
    return true;
}

bool PdeChecks::maximumAssetPasses()
{
    const Payoff p = payoff();
    const double K = in().gStrike;
    const double S = in().gAsset;
    const double U = in().gUpBar;
    const double D = in().gDownBar;
    const bool userMaximum = m_form.userMaximum;
    const bool singleDown = hasDownBarrier(p) && !hasUpBarrier(p);
    // A user maximum asset value clear of a down barrier.
    if (userMaximum && singleDown && m_maxAsset <= D)
        return m_outcome.stop(refusal(
            QStringLiteral("The maximum grid asset value must be greater than the "
                           "down barrier.") +
                kCrLf + QStringLiteral("Press F2 to enter a larger maximum grid asset value"),
            QStringLiteral("Cannot create grid")));
    if (userMaximum && singleDown && 3.0 * perStep(K) > m_maxAsset - D)
        return m_outcome.stop(
            refusal(QStringLiteral("The maximum grid asset value is too close to the down "
                                   "barrier.") +
                        kCrLf +
                        QStringLiteral("Press F2 to enter a larger maximum grid asset "
                                       "value, or increase the grid resolution"),
                    QStringLiteral("Cannot create grid")));
    // A user maximum between 2 and 30 strikes (reset, and the run goes on);
    // the grids of an up-and-out and a double knock-out end at the barrier.
    if (!isFloatingStrike(p) && userMaximum && p != Payoff::UpAndOut && p != Payoff::DoubleOut) {
        if (m_maxAsset / K < 2.0)
            resetMaximum(QStringLiteral("The maximum grid asset value must be at least 2*Strike."),
                         2.0 * K);
        else if (m_maxAsset / K > 30.0)
            resetMaximum(QStringLiteral("The maximum grid asset value must be less than "
                                        "30*Strike."),
                         30.0 * K);
    }
    // The floating strike: a spot, and a user maximum between 3 and 30
    // spots.
    if (isFloatingStrike(p)) {
        if (S <= 0.0)
            return m_outcome.refuse(QStringLiteral("You must provide the current asset price."),
                                    kInvalidInput, FormBox::Asset, false);
        if (userMaximum) {
            if (m_maxAsset / S < 3.0)
                resetMaximum(QStringLiteral("The maximum grid asset value must be at least "
                                            "3*Asset."),
                             3.0 * S);
            else if (m_maxAsset / S > 30.0)
                resetMaximum(QStringLiteral("The maximum grid asset value must be less than "
                                            "30*Asset."),
                             30.0 * S);
        }
    }
    // A discretely monitored barrier: a user maximum at least 1.5 up
    // barriers, and at least one monitoring period.
    if (hasMonitoringPeriods(p, m_form.continuousMonitoring)) {
        if (userMaximum && U > 0.0 && m_maxAsset / U < 1.5)
            resetMaximum(QStringLiteral("The maximum grid asset value must be at least "
                                        "1.5*[Up Barrier]."),
                         1.5 * U);
        if (Val(m_form.periods) < 1)
            return m_outcome.resetAndStop(
                QStringLiteral("There is at least one monitoring period (from now "
                               "to maturity). Resetting to 1."),
                kInvalidInput, FormBox::Periods, QStringLiteral("1"));
    }
    return true;
}

bool PdeChecks::fixingCountsPass()
{
    if (!isAsian(payoff()))
        return true;
    if (in().gSmplPoints == 0)
        return m_outcome.refuse(
            QStringLiteral("Please enter a positive number of fixings (observations)."),
            kInvalidInput, FormBox::Fixings, false);
    return settledFixingsLeaveOneToCome(m_outcome, in());
}

bool PdeChecks::runningAveragePasses()
{
    return !isAsian(payoff()) || averageRunsAtMostTenYears(m_outcome, in());
}

bool PdeChecks::floatingStrikePasses()
{
    return !isFloatingStrike(payoff()) ||
           floatingStrikeFixingsPass(m_outcome, in(), m_form.asset, QStringLiteral("###.##"),
                                     m_limits);
}

void PdeChecks::buildRequest()
{
    const ProductInputs& read = in();
    const PdeSettings& s = m_form.settings;
    PdeRequest& q = m_outcome.request;
    m_outcome.showZeroRates(read);

    const Payoff p = payoff();
    q.contMonitoring = m_form.continuousMonitoring;
    q.knockedIn = q.contMonitoring && spotKnockedIn(p, read.gAsset, read.gUpBar, read.gDownBar);
    q.payoff = q.knockedIn ? Payoff::Vanilla : p;
    q.spot = read.gAsset;
    q.strike = read.gStrike;
    q.expiry = read.gExpiry;
    q.volatility = read.gVol;
    q.intRate = read.gIntRate;
    q.divYield = read.gDiv;
    q.lowerBarrier = read.gDownBar;
    q.upperBarrier = read.gUpBar;
    q.knockOut = isKnockOut(p) ? 1 : 0;
    q.timeSteps = m_outcome.reading.timeSteps;
    q.assetSteps = m_outcome.reading.assetSteps;
    q.optionType = static_cast<int32_t>(m_form.optionType);
    q.exerciseType = exerciseIndex(kSolverPde, m_form.exercise);
    q.discretization = s.gDiscretization;
    q.amerSolver = s.gAmerSolver;
    q.calcTheta = m_form.theta;
    q.calcVega = m_form.vega;
    q.nonUniformGrid = m_outcome.reading.nonUniformGrid;
    q.numPeriods = m_form.periodsShown ? wholeNumber32(Val(m_form.periods)) : 0;
    q.planeSpacing = m_planesForAmerican ? 1 : s.gPlaneSpacing;
    q.planesInterp = s.gPlanesInterp;
    if (m_planesForAmerican && q.planesInterp == -1)
        q.planesInterp = 1;
    if (q.planesInterp == -1)
        q.planesInterp = s.gDefaultPlanesInterp;
    q.numFixings = read.gSmplPoints;
    q.numSettled = read.gNFixed;
    q.settledAverage = read.gInitAvg;
    q.firstFixingTime = read.gSmplStart;
    q.multiThreaded = s.gMultiThreadPDE;
    // Asians with early exercise and floating strikes use the automatic
    // grid extent.
    q.holdUserMaximum = (isAsian(p) && q.exerciseType > 0) || isFloatingStrike(p);
    q.maxAsset = q.holdUserMaximum ? 0.0 : m_maxAsset;
    // A continuously monitored up barrier ends the grid itself: a spot above
    // it has knocked out.
    const bool gridEndsAtBarrier = q.contMonitoring && hasUpBarrier(q.payoff);
    q.widenToSpot = q.maxAsset == 0.0 && !gridEndsAtBarrier && !isFloatingStrike(q.payoff);
}

}  // namespace

PdeCheckOutcome checkPdeRun(const PdeForm& form, const AverageLimits& limits)
{
    return PdeChecks(form, limits).run();
}

}  // namespace tarvic
