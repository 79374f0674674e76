#include "pricer/mc_input_checks.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "pricer/common_checks.h"
#include "pricer/plot_rules.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace tarvic {

namespace {

int64_t pathCount(bool sobol, int32_t sent)
{
    if (sobol)
        return sent >= 0 && sent < 63 ? int64_t{1} << sent : 0;
    return int64_t{1000} * sent;
}

}  // namespace

int64_t McRequest::pathsRun() const
{
    return pathCount(useSobol, numPaths);
}

int64_t McRequest::lsPathsRun() const
{
    return pathCount(useSobol, numLSPaths);
}

McReading readMcForm(const McForm& form)
{
    McReading r;
    ProductInputs& in = r.inputs;
    McSettings& s = r.settings;
    in = form.inputs;
    s = form.settings;
    readContractBoxes(form, in);
    // Sobol paths are "2^" and the exponent; pseudo-random ones thousands.
    // The flags of the generator not in use keep their values.
    if (s.gSobol) {
        s.gPaths = wholeNumber32(Val(rightChars(form.paths, 2)));
        s.gLSPaths = wholeNumber32(Val(rightChars(form.regressionPaths, 2)));
        s.gBrownianBridge = form.brownianBridge;
        s.gWarmUp = form.warmUp;
    } else {
        s.gPaths = wholeNumber32(Val(form.paths));
        s.gLSPaths = wholeNumber32(Val(form.regressionPaths));
        s.gAntithetic = form.antithetic;
    }
    s.gBasisFunctions = wholeNumber32(Val(form.basisFunctions));
    s.gGreekMethod = form.likelihoodRatio ? 1 : 2;
    s.gMultiThreadMC = form.multiThreaded;
    // Delta and gamma come together; then vega and theta.
    s.gGreeksCode = (form.greeks[0] || form.greeks[1] ? 1000 : 0) + (form.greeks[2] ? 100 : 0) +
                    (form.greeks[3] ? 10 : 0);
    return r;
}

namespace {

const QString kInvalidInput = QStringLiteral("Invalid Input");
const QString kPathsTitle = QStringLiteral("Invalid input parameter");

// The checks of one run over one reading. Each check either passes, adds a
// step and goes on, or refuses; the first refusal ends the run.
class McChecks {
public:
    McChecks(const McForm& form, const AverageLimits& limits) : m_form(form), m_limits(limits)
    {
        m_outcome.reading = readMcForm(form);
    }

    McCheckOutcome run()
    {
        if (contractPasses() && pathsPass())
            buildRequest();
        return std::move(m_outcome);
    }

private:
    ProductInputs& in() { return m_outcome.reading.inputs; }
    McSettings& settings() { return m_outcome.reading.settings; }
    Payoff payoff() const { return m_form.payoff; }
    bool earlyExercise() const { return isEarlyExercise(m_form.exercise); }

    // The spot at or beyond a barrier the contract has.
    bool spotBreached()
    {
        const double S = in().gAsset, U = in().gUpBar, D = in().gDownBar;
        return (D > 0.0 && S <= D) || (U > 0.0 && S >= U);
    }

    bool contractPasses();
    bool marketPasses();
    bool barriersAndPeriodsPass();
    bool settledCountsPass();
    bool runningAveragePasses();
    bool floatingStrikePasses();
    bool pathsPass();
    void buildRequest();

    const McForm& m_form;
    const AverageLimits& m_limits;
    McCheckOutcome m_outcome;
};

bool McChecks::contractPasses()
{
    if (!marketPasses() || !barriersAndPeriodsPass())
        return false;
    const Payoff p = payoff();
    // Fixings: some in all, none settled below zero, some to come.
    if (isAsian(p) && in().gSmplPoints <= 0)
        return m_outcome.refuse(
            QStringLiteral("Please enter a positive number of fixings (observations)."),
            kInvalidInput, FormBox::Fixings);
    if (p == Payoff::AsianFixedStrike && in().gNFixed < 0)
        return m_outcome.refuse(
            QStringLiteral("The number of settled fixings (observations) cannot be "
                           "negative."),
            kInvalidInput, FormBox::SettledFixings);
    if (!settledCountsPass())
        return false;
    if (hasDownBarrier(p) && in().gDownBar / in().gStrike > 10.0)
        return m_outcome.refuse(
            QStringLiteral("The down barrier value is outside the allowed range for "
                           "the given strike."),
            kInvalidInput, FormBox::DownBarrier);
    // A continuously watched barrier the spot has reached: a knock-out is
    // worth nothing, a knock-in is alive and priced as its vanilla.
    if (m_form.continuousMonitoring && spotBreached()) {
        if (isKnockOut(p))
            return m_outcome.refuse(
                QStringLiteral("This option is knocked-out at valuation time and "
                               "continuous monitoring is specified so it has zero "
                               "value."),
                kInvalidInput, FormBox::ContinuousMonitoring);
        if (isKnockIn(p))
            m_outcome.warn(
                QStringLiteral("This knock-in option is alive at valuation time and continuous "
                               "monitoring is specified so it will be priced as a vanilla."),
                QStringLiteral("Warning"));
    }
    if (!runningAveragePasses())
        return false;
    return floatingStrikePasses();
}

bool McChecks::marketPasses()
{
    const double S = in().gAsset;
    const double K = in().gStrike;
    // Pasted text passes the key filters: a spot that is negative, not a
    // number or not finite is no spot; a negative strike is no strike.
    if (S <= 0.0 || !std::isfinite(S) ||
        (!m_form.asset.isEmpty() && !startsWithNumber(m_form.asset)))
        return m_outcome.refuse(QStringLiteral("Please enter a non-zero initial asset level."),
                                QStringLiteral("Invalid input"), FormBox::Asset, true);
    if (!ratesAtMostHalf(m_outcome, in()) || !strikeAtMostTenThousand(m_outcome, in()))
        return false;
    if (K <= 0.0 && !isFloatingStrike(payoff()))
        return m_outcome.refuse(QStringLiteral("Please enter a non-zero strike."),
                                QStringLiteral("Invalid input"), FormBox::Strike, true);
    if (!expiryWithin(m_outcome, in(), 5.0) || !volatilityWithinLimits(m_outcome, in()))
        return false;
    return true;
}

bool McChecks::barriersAndPeriodsPass()
{
    const Payoff p = payoff();
    const double K = in().gStrike;
    const double U = in().gUpBar;
    const double D = in().gDownBar;
    if (isDoubleBarrier(p) && D >= U)
        return m_outcome.refuse(
            QStringLiteral("The up barrier must be greater than the down barrier."), kInvalidInput,
            FormBox::UpBarrier);
    if (hasDownBarrier(p) && (m_form.downBarrier.isEmpty() || D <= 0.0))
        return m_outcome.refuse(QStringLiteral("Please enter a non-zero down barrier value."),
                                kInvalidInput, FormBox::DownBarrier);
    // The periods are the monitoring or exercise dates, and the time steps
    // of each path: one to 5000 for a barrier or an early exercise. A
    // vanilla European's steps are only its path steps, as many as asked:
    // it takes an empty box or 0 as one step, and refuses a negative count.
    if (!isAsian(p)) {
        const double periods = Val(m_form.periods);
        const bool dated = isBarrier(p) || earlyExercise();
        if (periods < 1.0 && (dated || periods < 0.0))
            return m_outcome.resetAndStop(
                QStringLiteral("There is at least one monitoring and/or "
                               "exercising period (from now to maturity). "
                               "Resetting to 1."),
                kInvalidInput, FormBox::Periods, QStringLiteral("1"));
        if (dated && periods > 5000.0)
            return m_outcome.resetAndStop(
                QStringLiteral("The maximum allowed number of monitoring and/or "
                               "exercising periods is 5000. Resetting to 5000."),
                kInvalidInput, FormBox::Periods, QStringLiteral("5000"));
    }
    if (hasUpBarrier(p) && (m_form.upBarrier.isEmpty() || U <= 0.0))
        return m_outcome.refuse(QStringLiteral("Please enter a non-zero up barrier value."),
                                kInvalidInput, FormBox::UpBarrier);
    if (hasUpBarrier(p) && !(U / K >= 1e-6 && U / K <= 40.0))
        return m_outcome.refuse(
            QStringLiteral("The up barrier value is too small or too large for the "
                           "given option strike."),
            kInvalidInput, FormBox::UpBarrier);
    return true;
}

bool McChecks::settledCountsPass()
{
    return !isAsian(payoff()) || settledFixingsLeaveOneToCome(m_outcome, in());
}

bool McChecks::runningAveragePasses()
{
    return !isAsian(payoff()) || averageRunsAtMostTenYears(m_outcome, in());
}

bool McChecks::floatingStrikePasses()
{
    return !isFloatingStrike(payoff()) ||
           floatingStrikeFixingsPass(m_outcome, in(), m_form.asset, QStringLiteral("###"),
                                     m_limits);
}

bool McChecks::pathsPass()
{
    m_outcome.showZeroRates(in());

    McSettings& s = settings();
    if (s.gSobol) {
        // Beyond what the generator makes: no run, nothing said.
        if (s.gPaths > 30) {
            m_outcome.silentStop = true;
            return false;
        }
    } else if (Val(m_form.paths) < s.gPaths) {
        // A fraction of a thousand paths that rounds up would run more
        // paths than asked: no run, nothing said. One that rounds down runs
        // the rounded count.
        m_outcome.silentStop = true;
        return false;
    }
    // The regression takes no more paths than the run has.
    if (earlyExercise() && s.gLSPaths > s.gPaths) {
        const double total = s.gSobol ? std::ldexp(1.0, s.gPaths) : 1000.0 * s.gPaths;
        m_outcome.warn(
            QStringLiteral("The number of paths used for the Longstaff-Schwartz regression "
                           "cannot be more than the total number of simulation paths.\r\n"
                           "Resetting to ") +
                numberText(total) + QLatin1Char('.'),
            kPathsTitle, {{FormBox::RegressionPaths, m_form.paths}});
        s.gLSPaths = s.gPaths;
    }
    return true;
}

void McChecks::buildRequest()
{
    const ProductInputs& read = in();
    const McSettings& s = settings();
    McRequest& q = m_outcome.request;
    const Payoff p = payoff();
    q.payoff = p;
    q.spot = read.gAsset;
    q.strike = read.gStrike;
    q.expiry = read.gExpiry;
    q.volatility = read.gVol;
    q.intRate = read.gIntRate;
    q.divYield = read.gDiv;
    q.lowerBarrier = read.gDownBar;
    q.upperBarrier = read.gUpBar;
    const int32_t steps = wholeNumber32(Val(m_form.periods));
    q.numSteps = steps == 0 ? 1 : steps;
    q.optionType = static_cast<int32_t>(m_form.optionType);
    q.exerciseType = earlyExercise() ? 1 : 0;
    q.knockOut = isKnockOut(p) ? 1 : 0;
    q.contMonitoring = m_form.continuousMonitoring;
    q.numSettled = read.gNFixed;
    q.numFixings = isAsian(p) ? read.gSmplPoints - read.gNFixed : 0;
    q.settledAverage = read.gInitAvg;
    q.firstFixingTime = read.gSmplStart;
    q.strikeType = isFloatingStrike(p) ? 1 : 0;
    q.numPaths = s.gPaths;
    q.numLSPaths = s.gLSPaths;
    q.numBasisFunctions = s.gBasisFunctions;
    q.greeksCode = s.gGreeksCode;
    q.greeksMethod = s.gGreekMethod;
    q.timeMarching = s.gTimeMarching;
    q.antithetic = s.gAntithetic;
    q.useSobol = s.gSobol;
    q.warmUpSobol = s.gWarmUp;
    q.brownianBridge = s.gBrownianBridge;
    q.multiThreaded = s.gMultiThreadMC;
    q.fewSobolBlocks = s.gFewBlocks;
}

}  // namespace

McCheckOutcome checkMcRun(const McForm& form, const AverageLimits& limits)
{
    return McChecks(form, limits).run();
}

}  // namespace tarvic
