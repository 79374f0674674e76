#include "pricer/pde_input_checks.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
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
    in.gAsset = Val(form.asset);
    in.gStrike = Val(form.strike);
    in.gVol = Val(form.volatility) / 100.0;
    in.gIntRate = Val(form.interestRate) / 100.0;
    in.gDiv = Val(form.dividend) / 100.0;
    in.gExpiry = Val(form.expiry);
    r.assetSteps = wholeNumber32(Val(form.assetSteps));
    r.timeSteps = wholeNumber32(Val(form.timeSteps));
    in.gSmplPoints = wholeNumber32(Val(form.fixings));
    in.gInitAvg = Val(form.settledAverage);
    in.gSmplStart = Val(form.firstFixing);
    in.gNFixed = wholeNumber32(Val(form.settledFixings));
    r.nonUniformGrid = form.nonUniformGrid;
    in.gUpBar = form.upBarrierShown ? Val(form.upBarrier) : 0.0;
    in.gDownBar = form.downBarrierShown ? Val(form.downBarrier) : 0.0;
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
    bool stop(CheckRefusal r)
    {
        m_outcome.refusal = std::move(r);
        return false;
    }
    // The box focused, emptied first when asked.
    bool refuse(const QString& text, const QString& title, FormBox focus, bool clear)
    {
        CheckRefusal r = refusal(text, title, focus);
        r.clear = clear;
        return stop(r);
    }
    // The box written with the value and focused, the caret after it when
    // asked.
    bool resetAndStop(const QString& text, const QString& title, FormBox box, const QString& value,
                      bool caretAtEnd = true)
    {
        CheckRefusal r = refusal(text, title, box);
        r.reset = value;
        r.caretAtEnd = caretAtEnd;
        return stop(r);
    }
    void warn(const QString& text, const QString& title, std::vector<BoxWrite> writes = {})
    {
        CheckStep step;
        step.message = CheckMessage{text, title};
        step.writes = std::move(writes);
        m_outcome.steps.push_back(std::move(step));
    }
    // The user maximum asset value set to what the grid needs; the run goes
    // on with it (the dialog's box holds the value as written).
    void resetMaximum(const QString& sentence, double value)
    {
        const QString text = numberText(value);
        warn(sentence + kCrLf + QStringLiteral("Resetting to ") + text + QLatin1Char('.'),
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
    // The fixings still to come; a difference beyond 32 bits overflows.
    int32_t fixingsLeft()
    {
        const int64_t left = int64_t{in().gSmplPoints} - int64_t{in().gNFixed};
        if (left > INT32_MAX || left < INT32_MIN)
            RaiseError(kErrOverflow, QStringLiteral("Overflow"));
        return static_cast<int32_t>(left);
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
        return refuse(QStringLiteral("The settled fixings average must be less than 5 times the "
                                     "strike."),
                      QStringLiteral("Unsupported input value"), FormBox::SettledAverage, false);
    if (isFloatingStrike(payoff()) && in().gInitAvg > 5.0 * S)
        return refuse(QStringLiteral("The settled fixings average must be less than 5 times the "
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
        return refuse(QStringLiteral("Please enter a non-zero initial asset level."),
                      QStringLiteral("Invalid input"), FormBox::Asset, true);
    // A strike (a negative one is refused as well); the floating strike has
    // none.
    if (K <= 0.0 && !floating)
        return refuse(QStringLiteral("Please enter a non-zero strike."),
                      QStringLiteral("Invalid input"), FormBox::Strike, true);
    if (in().gIntRate > 0.5)
        return refuse(QStringLiteral("Please enter an interest rate that does not exceed 50%."),
                      QStringLiteral("Invalid input"), FormBox::InterestRate, true);
    if (in().gDiv > 0.5)
        return refuse(QStringLiteral("Please enter a dividend yield that does not exceed 50%."),
                      QStringLiteral("Invalid input"), FormBox::Dividend, true);
    if (K > 10000.0)
        return refuse(QStringLiteral("Please enter an option strike that does not exceed 10000."),
                      QStringLiteral("Invalid input"), FormBox::Strike, true);
    if (in().gExpiry > 2.0 || in().gExpiry < 0.0001)
        return refuse(QStringLiteral("Please enter a time to expiry between 0.0001 and 2Y."),
                      QStringLiteral("Unsupported input value"), FormBox::Expiry, true);
    if (in().gVol > 1.0)
        return refuse(QStringLiteral("The volatility cannot exceed 100%. "),
                      QStringLiteral("Unsupported input value"), FormBox::Volatility, true);
    if (in().gVol < 0.03)
        return refuse(QStringLiteral("The volatility cannot be less than 3%."),
                      QStringLiteral("Unsupported input value"), FormBox::Volatility, true);
    // Enough time steps, or the settings dialog to give them.
    if (Val(m_form.timeSteps) < 10) {
        CheckRefusal r = refusal(QStringLiteral("The number of time steps must be at least 10.") +
                                     kCrLf +
                                     QStringLiteral("Change the numerical resolution setting."),
                                 QStringLiteral("Invalid unput"));
        r.openSettings = true;
        return stop(r);
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
        return refuse(QStringLiteral("The up barrier must be greater than the down barrier."),
                      kInvalidInput, FormBox::UpBarrier, false);
    const double step = perStep(K);
    if (!isDoubleBarrier(p) && !m_outcome.reading.nonUniformGrid &&
        ((K < U && step > U - K) || (K > D && step > K - D))) {
        warn(QStringLiteral("The strike and barrier are too close. The resolution will be "
                            "increased."),
             kInvalidInput);
    } else if (hasDownBarrier(p) && (m_form.downBarrier.isEmpty() || D == 0.0)) {
        return refuse(QStringLiteral("Please enter a non-zero down barrier value."),
                      kInvalidInput, FormBox::DownBarrier, false);
    } else if (hasDownBarrier(p) && (D / K > 5.0 || K / D > 10.0)) {
        return refuse(QStringLiteral("The down barrier value is outside the allowed range for "
                                     "the given strike."),
                      kInvalidInput, FormBox::DownBarrier, false);
    }
    // The exercise periods and the fixings within their limits, for every
    // payoff that has them (down barriers and strikes close to a barrier
    // included).
    const bool exercisePeriods = hasExercisePeriods(p, m_form.exercise);
    if (exercisePeriods && Val(m_form.periods) < 1)
        return resetAndStop(QStringLiteral("There is at least one exercising period (from now to "
                                           "maturity). Resetting to 1."),
                            kInvalidInput, FormBox::Periods, QStringLiteral("1"));
    if (exercisePeriods && Val(m_form.periods) > 5000)
        return resetAndStop(QStringLiteral("The maximum allowed number of exercising periods is "
                                           "5000. Resetting to 5000."),
                            kInvalidInput, FormBox::Periods, QStringLiteral("5000"));
    if (isAsian(p) && Val(m_form.fixings) > 5000)
        return resetAndStop(QStringLiteral("The maximum allowed number of fixings (observations) "
                                           "is 5000. Resetting to 5000."),
                            kInvalidInput, FormBox::Fixings, QStringLiteral("5000"), false);
    // An up barrier present and within its range of the strike.
    if (hasUpBarrier(p) && (m_form.upBarrier.isEmpty() || U == 0.0))
        return refuse(QStringLiteral("Please enter a non-zero up barrier value."), kInvalidInput,
                      FormBox::UpBarrier, false);
    if (hasUpBarrier(p)) {
        const double ratio = U / K;
        const bool outside = m_form.continuousMonitoring ? (ratio < 0.001 || ratio > 40.0)
                                                         : (ratio < 0.1 || ratio > 5.0);
        if (outside)
            return refuse(QStringLiteral("The up barrier value is too small or too large for the "
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
        return stop(refusal(QStringLiteral("The maximum grid asset value must be greater than the "
                                           "down barrier.") +
                                kCrLf +
                                QStringLiteral("Press F2 to enter a larger maximum grid asset value"),
                            QStringLiteral("Cannot create grid")));
    if (userMaximum && singleDown && 3.0 * perStep(K) > m_maxAsset - D)
        return stop(refusal(QStringLiteral("The maximum grid asset value is too close to the down "
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
            return refuse(QStringLiteral("You must provide the current asset price."),
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
            return resetAndStop(QStringLiteral("There is at least one monitoring period (from now "
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
        return refuse(QStringLiteral("Please enter a positive number of fixings (observations)."),
                      kInvalidInput, FormBox::Fixings, false);
    if (fixingsLeft() < 1)
        return refuse(QStringLiteral("The number of settled fixings (observations) must be less "
                                     "than the total number of fixings."),
                      kInvalidInput, FormBox::SettledFixings, false);
    return true;
}

bool PdeChecks::runningAveragePasses()
{
    if (isAsian(payoff()) && in().gSmplPoints * in().gExpiry / fixingsLeft() > 10.0)
        return refuse(QStringLiteral("The program assumes equally spaced observation(fixing)dates "
                                     "with an observation period of: [Time to expiry] / [Total "
                                     "number of fixings - Number of settled fixings]. In this "
                                     "case it implies an average that is running for more than "
                                     "10 years. Please reduce the number of settled fixings."),
                      QStringLiteral("Unsupported input value"), FormBox::SettledFixings, false);
    return true;
}

bool PdeChecks::floatingStrikePasses()
{
    if (!isFloatingStrike(payoff()))
        return true;
    const double S = in().gAsset;
    // The spot is the first fixing of a floating strike.
    const auto spotIsFirstFixing = [&](const QString& text) {
        warn(text, QStringLiteral("Warning"),
             {{FormBox::SettledAverage, m_form.asset}, {FormBox::SettledFixings, QStringLiteral("1")}});
        in().gInitAvg = Val(m_form.asset);
        in().gNFixed = 1;
    };
    if (in().gNFixed < 1) {
        spotIsFirstFixing(QStringLiteral("The current asset spot is always taken as the first "
                                         "fixing for Floating Strike Asian options. Resetting "
                                         "number of settled fixings to 1."));
        // The settled count has grown: the counts must still leave a fixing
        // to come.
        if (!fixingCountsPass() || !runningAveragePasses())
            return false;
    }
    if (in().gNFixed == 1 && in().gInitAvg != S)
        spotIsFirstFixing(QStringLiteral("The current asset spot is always taken as the first "
                                         "fixing for Floating Strike Asian options. Resetting the "
                                         "average of settled fixings to the asset spot."));
    // The settled average within what the model allows.
    if (in().gNFixed > 1) {
        double lower = 0.0, upper = 0.0;
        if (m_limits)
            m_limits(in(), lower, upper);
        else
            settledAverageLimits(in(), lower, upper);
        const auto limitStop = [&](const char* sentence, double limit) {
            return resetAndStop(QString::fromLatin1(sentence) +
                                    formatNumber(limit * 100.0 / S, QStringLiteral("###.##")) +
                                    QStringLiteral("% of the current asset level!"),
                                QStringLiteral("Unsupported input value"), FormBox::SettledAverage,
                                numberText(limit));
        };
        if (in().gInitAvg < lower)
            return limitStop("Based on the undelying GBM model, the average of the settled "
                             "fixings in this case cannot be less than ",
                             lower);
        if (in().gInitAvg > upper)
            return limitStop("Based on the undelying GBM model, the average of the settled "
                             "fixings in this case cannot be more than ",
                             upper);
    }
    return true;
}

void PdeChecks::buildRequest()
{
    const ProductInputs& read = in();
    const PdeSettings& s = m_form.settings;
    PdeRequest& q = m_outcome.request;
    // An empty rate or dividend box shows the 0 it is read as.
    CheckStep zeros;
    if (read.gIntRate == 0.0)
        zeros.writes.push_back({FormBox::InterestRate, QStringLiteral("0")});
    if (read.gDiv == 0.0)
        zeros.writes.push_back({FormBox::Dividend, QStringLiteral("0")});
    if (!zeros.writes.empty())
        m_outcome.steps.push_back(zeros);

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
