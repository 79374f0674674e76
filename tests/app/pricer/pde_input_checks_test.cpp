// The input checks of a finite-difference run without a window: what the
// boxes and settings hold at Calculate goes in, the library call or the
// first refusal comes out, with the warnings and corrections on the way.
#include "pricer/pde_input_checks.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "pricer/settled_average.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

using namespace tarvic;

namespace {

// A plain European vanilla call as the window and the dialog's defaults
// leave it.
PdeForm plainForm()
{
    PdeForm f;
    f.asset = QStringLiteral("100");
    f.strike = QStringLiteral("100");
    f.volatility = QStringLiteral("20");
    f.interestRate = QStringLiteral("5");
    f.dividend = QStringLiteral("1");
    f.expiry = QStringLiteral("1");
    f.assetSteps = QStringLiteral("100");
    f.timeSteps = QStringLiteral("100");
    f.nonUniformGrid = true;
    f.upBarrierShown = f.downBarrierShown = true;
    f.settings.gDiscretization = 2;
    f.settings.gAmerSolver = 2;
    f.settings.gPlaneSpacing = 4;
    f.settings.gPlanesInterp = -1;
    f.settings.gDefaultPlanesInterp = 2;
    return f;
}

void barrier(PdeForm& f, Payoff p, const char* up, const char* down, bool continuous)
{
    f.payoff = p;
    f.upBarrier = QString::fromLatin1(up);
    f.downBarrier = QString::fromLatin1(down);
    f.upBarrierShown = hasUpBarrier(p);
    f.downBarrierShown = hasDownBarrier(p);
    f.continuousMonitoring = continuous;
    f.periods = QStringLiteral("4");
    f.periodsShown = !continuous;
}

void asian(PdeForm& f, Payoff p, const char* fixings, const char* settled, const char* average)
{
    f.payoff = p;
    f.upBarrierShown = f.downBarrierShown = false;
    f.fixings = QString::fromLatin1(fixings);
    f.settledFixings = QString::fromLatin1(settled);
    f.settledAverage = QString::fromLatin1(average);
    if (isFloatingStrike(p))
        f.strike.clear();
}

QString lines(const char* first, const char* second)
{
    return QString::fromLatin1(first) + QStringLiteral("\r\n") + QString::fromLatin1(second);
}

struct Refused {
    QString text;
    const char* title;
    FormBox focus;
    bool clear;
    std::optional<QString> reset;
    bool caretAtEnd;
    bool openSettings;
};

struct CheckCase {
    const char* name;
    std::function<void(PdeForm&)> setup;
    std::vector<QString> warnings;  // the messages shown on the way, in order
    bool goesOn;
    std::optional<Refused> refused;  // when not checked by `more`
    std::function<void(const PdeCheckOutcome&)> more = nullptr;
};

const QString kSpotAsFirstFixing = QStringLiteral(
    "The current asset spot is always taken as the first fixing for Floating Strike Asian "
    "options. Resetting number of settled fixings to 1.");

const CheckCase kCases[] = {
    {"PlainVanillaGoesThrough", [](PdeForm&) {}, {}, true, std::nullopt,
     [](const PdeCheckOutcome& o) {
         EXPECT_EQ(o.request.payoff, Payoff::Vanilla);
         EXPECT_TRUE(o.steps.empty());  // no empty rate or dividend to show as 0
     }},
    // Pasted text passes the key filters: no number at the start is no spot.
    {"NonNumericSpot", [](PdeForm& f) { f.asset = QStringLiteral("x100"); }, {},
     false, Refused{QStringLiteral("Please enter a non-zero initial asset level."), "Invalid input",
             FormBox::Asset, true, std::nullopt, false, false}},
    {"NegativeStrike", [](PdeForm& f) { f.strike = QStringLiteral("-5"); }, {},
     false, Refused{QStringLiteral("Please enter a non-zero strike."), "Invalid input", FormBox::Strike,
             true, std::nullopt, false, false}},
    // The spot is checked before anything else, even a wrong volatility.
    {"SpotFirst",
     [](PdeForm& f) {
         f.asset.clear();
         f.volatility = QStringLiteral("200");
     },
     {},
     false, Refused{QStringLiteral("Please enter a non-zero initial asset level."), "Invalid input",
             FormBox::Asset, true, std::nullopt, false, false}},
    {"ExpiryBeyondTwoYears", [](PdeForm& f) { f.expiry = QStringLiteral("2.01"); }, {},
     false, Refused{QStringLiteral("Please enter a time to expiry between 0.0001 and 2Y."),
             "Unsupported input value", FormBox::Expiry, true, std::nullopt, false, false}},
    {"TooFewTimeSteps", [](PdeForm& f) { f.timeSteps = QStringLiteral("9.9"); }, {},
     false, Refused{lines("The number of time steps must be at least 10.",
                   "Change the numerical resolution setting."),
             "Invalid unput", FormBox::None, false, std::nullopt, false, true}},
    {"BermudanWithoutPeriods",
     [](PdeForm& f) {
         f.exercise = Exercise::Bermudan;
         f.periodsShown = true;
     },
     {},
     false, Refused{QStringLiteral("There is at least one exercising period (from now to maturity). "
                            "Resetting to 1."),
             "Invalid Input", FormBox::Periods, false, QStringLiteral("1"), true, false}},
    {"TooManyFixings", [](PdeForm& f) { asian(f, Payoff::AsianFixedStrike, "5001", "0", ""); }, {},
     false, Refused{QStringLiteral("The maximum allowed number of fixings (observations) is 5000. "
                            "Resetting to 5000."),
             "Invalid Input", FormBox::Fixings, false, QStringLiteral("5000"), false, false}},
    // A hidden barrier box is no barrier, whatever it holds.
    {"HiddenUpBarrierIsNone",
     [](PdeForm& f) {
         barrier(f, Payoff::UpAndOut, "120", "", true);
         f.upBarrierShown = false;
     },
     {},
     false, Refused{QStringLiteral("Please enter a non-zero up barrier value."), "Invalid Input",
             FormBox::UpBarrier, false, std::nullopt, false, false}},
    // On a uniform grid a strike within one step of a barrier is only a
    // warning, and the down barrier's own checks are skipped.
    {"StrikeCloseToBarrier",
     [](PdeForm& f) {
         barrier(f, Payoff::DownAndOut, "", "99.5", false);
         f.nonUniformGrid = false;
     },
     {QStringLiteral("The strike and barrier are too close. The resolution will be increased.")},
     true, std::nullopt,
     [](const PdeCheckOutcome& o) {
         EXPECT_EQ(o.request.assetSteps, 100);
         EXPECT_FALSE(o.request.nonUniformGrid);
     }},
    {"DownBarrierTooFar", [](PdeForm& f) { barrier(f, Payoff::DownAndIn, "", "9", true); }, {},
     false, Refused{QStringLiteral("The down barrier value is outside the allowed range for the given "
                            "strike."),
             "Invalid Input", FormBox::DownBarrier, false, std::nullopt, false, false}},
    // A user maximum below two strikes is set to two strikes; a later check
    // still refuses the run.
    {"MaximumResetThenNoPeriods",
     [](PdeForm& f) {
         barrier(f, Payoff::UpAndIn, "130", "", false);
         f.continuousMonitoring = false;
         f.periods = QStringLiteral("0");
         f.userMaximum = true;
         f.settings.gMaxS = 150;
     },
     {lines("The maximum grid asset value must be at least 2*Strike.", "Resetting to 200.")},
     false, Refused{QStringLiteral("There is at least one monitoring period (from now to maturity). "
                            "Resetting to 1."),
             "Invalid Input", FormBox::Periods, false, QStringLiteral("1"), true, false},
     [](const PdeCheckOutcome& o) {
         ASSERT_EQ(o.steps.size(), 1u);
         ASSERT_EQ(o.steps[0].writes.size(), 1u);
         EXPECT_EQ(o.steps[0].writes[0].box, FormBox::MaximumAsset);
         EXPECT_EQ(o.steps[0].writes[0].text, QStringLiteral("200"));
     }},
    // The maximum reset by one check is what the next one sees: 200 passes
    // the 1.5 up barriers of a discretely monitored up-and-in at 130.
    {"MaximumResetFeedsTheNextCheck",
     [](PdeForm& f) {
         barrier(f, Payoff::UpAndIn, "130", "", false);
         f.userMaximum = true;
         f.settings.gMaxS = 150;
     },
     {lines("The maximum grid asset value must be at least 2*Strike.", "Resetting to 200.")},
     true, std::nullopt, [](const PdeCheckOutcome& o) { EXPECT_EQ(o.request.maxAsset, 200.0); }},
    {"MaximumBelowDownBarrier",
     [](PdeForm& f) {
         barrier(f, Payoff::DownAndOut, "", "80", false);
         f.userMaximum = true;
         f.settings.gMaxS = 80;
     },
     {},
     false, Refused{lines("The maximum grid asset value must be greater than the down barrier.",
                   "Press F2 to enter a larger maximum grid asset value"),
             "Cannot create grid", FormBox::None, false, std::nullopt, false, false}},
    {"FloatingStrikeWithoutSpot",
     [](PdeForm& f) {
         asian(f, Payoff::AsianFloatingStrike, "12", "1", "100");
         f.asset.clear();
     },
     {},
     false, Refused{QStringLiteral("You must provide the current asset price."), "Invalid Input",
             FormBox::Asset, false, std::nullopt, false, false}},
    // The spot becomes the first settled fixing, and the run goes on with it.
    {"FloatingStrikeTakesTheSpotAsFirstFixing",
     [](PdeForm& f) { asian(f, Payoff::AsianFloatingStrike, "12", "0", ""); },
     {kSpotAsFirstFixing}, true, std::nullopt,
     [](const PdeCheckOutcome& o) {
         ASSERT_EQ(o.steps[0].writes.size(), 2u);
         EXPECT_EQ(o.steps[0].writes[0].box, FormBox::SettledAverage);
         EXPECT_EQ(o.steps[0].writes[0].text, QStringLiteral("100"));
         EXPECT_EQ(o.steps[0].writes[1].box, FormBox::SettledFixings);
         EXPECT_EQ(o.steps[0].writes[1].text, QStringLiteral("1"));
         EXPECT_EQ(o.request.numSettled, 1);
         EXPECT_EQ(o.request.settledAverage, 100.0);
         EXPECT_EQ(o.reading.inputs.gNFixed, 1);
     }},
    // After that correction no fixing would be left to come.
    {"FloatingStrikeWithOneFixing",
     [](PdeForm& f) { asian(f, Payoff::AsianFloatingStrike, "1", "0", ""); },
     {kSpotAsFirstFixing},
     false, Refused{QStringLiteral("The number of settled fixings (observations) must be less than the "
                            "total number of fixings."),
             "Invalid Input", FormBox::SettledFixings, false, std::nullopt, false, false}},
    // A settled average the model cannot reach is set to its bound.
    {"SettledAverageBelowItsBound",
     [](PdeForm& f) { asian(f, Payoff::AsianFloatingStrike, "12", "6", "1"); }, {},
     false, std::nullopt,
     [](const PdeCheckOutcome& o) {
         ASSERT_TRUE(o.refusal);
         double lower = 0, upper = 0;
         settledAverageLimits(o.reading.inputs, lower, upper);
         EXPECT_GT(lower, 1.0);
         EXPECT_EQ(o.refusal->message.text,
                   QStringLiteral("Based on the undelying GBM model, the average of the settled "
                                  "fixings in this case cannot be less than ") +
                       formatNumber(lower, QStringLiteral("###.##")) +
                       QStringLiteral("% of the current asset level!"));
         EXPECT_EQ(o.refusal->reset, numberText(lower));
         EXPECT_EQ(o.refusal->focus, FormBox::SettledAverage);
         EXPECT_TRUE(o.refusal->caretAtEnd);
     }},
    // An American Asian prices on one plane per asset step, quadratic
    // across them when no interpolation was chosen, on the automatic grid.
    {"AmericanAsianTakesOnePlanePerStep",
     [](PdeForm& f) {
         asian(f, Payoff::AsianFixedStrike, "12", "0", "");
         f.exercise = Exercise::American;
         f.userMaximum = true;
         f.settings.gMaxS = 400;
     },
     {}, true, std::nullopt,
     [](const PdeCheckOutcome& o) {
         ASSERT_EQ(o.steps.size(), 1u);
         EXPECT_TRUE(o.steps[0].onePlanePerStep);
         EXPECT_FALSE(o.steps[0].message);
         EXPECT_EQ(o.request.planeSpacing, 1);
         EXPECT_EQ(o.request.planesInterp, 1);
         EXPECT_EQ(o.request.exerciseType, 1);
         EXPECT_TRUE(o.request.holdUserMaximum);
         EXPECT_EQ(o.request.maxAsset, 0.0);
     }},
};

class PdeInputChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PdeInputChecks, DecideTheRunWithoutAWindow)
{
    const CheckCase& c = GetParam();
    PdeForm form = plainForm();
    c.setup(form);
    const PdeCheckOutcome outcome = checkPdeRun(form);
    std::vector<QString> warnings;
    for (const CheckStep& step : outcome.steps)
        if (step.message)
            warnings.push_back(step.message->text);
    EXPECT_EQ(warnings, c.warnings);
    ASSERT_EQ(outcome.refusal.has_value(), !c.goesOn) << c.name;
    if (c.refused) {
        ASSERT_TRUE(outcome.refusal);
        const CheckRefusal& r = *outcome.refusal;
        EXPECT_EQ(r.message.text, c.refused->text);
        EXPECT_EQ(r.message.title, QString::fromLatin1(c.refused->title));
        EXPECT_EQ(r.focus, c.refused->focus);
        EXPECT_EQ(r.clear, c.refused->clear);
        EXPECT_EQ(r.reset, c.refused->reset);
        EXPECT_EQ(r.caretAtEnd, c.refused->caretAtEnd);
        EXPECT_EQ(r.openSettings, c.refused->openSettings);
    }
    if (c.more)
        c.more(outcome);
}

INSTANTIATE_TEST_SUITE_P(Table, PdeInputChecks, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CheckCase>& info) {
                             return std::string(info.param.name);
                         });

// Every value read stays read, also when a check refuses the run.
TEST(PdeInputChecksReading, ReadsTheBoxesTheWayTheWindowDoes)
{
    PdeForm form = plainForm();
    form.volatility = QStringLiteral("25.5abc");
    form.assetSteps = QStringLiteral("40.5");  // halves to even
    form.timeSteps = QStringLiteral("1e99");   // held at the 32-bit maximum
    form.fixings = QStringLiteral("12");
    form.expiry = QStringLiteral("3");
    const PdeCheckOutcome outcome = checkPdeRun(form);
    ASSERT_TRUE(outcome.refusal);
    EXPECT_EQ(outcome.refusal->focus, FormBox::Expiry);
    const PdeReading& r = outcome.reading;
    EXPECT_DOUBLE_EQ(r.inputs.gVol, 0.255);
    EXPECT_DOUBLE_EQ(r.inputs.gIntRate, 0.05);
    EXPECT_EQ(r.inputs.gExpiry, 3.0);
    EXPECT_EQ(r.inputs.gSmplPoints, 12);
    EXPECT_EQ(r.assetSteps, 40);
    EXPECT_EQ(r.timeSteps, INT32_MAX);
}

// Arithmetic that fails raises the runtime's error for the caller's trap.
TEST(PdeInputChecksReading, NoAssetStepsIsADivisionByZero)
{
    PdeForm form = plainForm();
    form.assetSteps = QStringLiteral("0");
    try {
        checkPdeRun(form);
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrDivisionByZero);
    }
}

// The call the checks let through, for each kind of contract.
TEST(PdeInputChecksRequest, CarriesTheContractAndTheSettings)
{
    PdeForm form = plainForm();
    form.optionType = OptionType::Put;
    form.exercise = Exercise::Bermudan;
    form.periods = QStringLiteral("6");
    form.periodsShown = true;
    form.interestRate.clear();
    form.vega = true;
    form.settings.gAmerSolver = 1;
    PdeCheckOutcome o = checkPdeRun(form);
    ASSERT_FALSE(o.refusal);
    EXPECT_EQ(o.request.payoff, Payoff::Vanilla);
    EXPECT_EQ(o.request.optionType, 1);
    EXPECT_EQ(o.request.exerciseType, 2);
    EXPECT_EQ(o.request.numPeriods, 6);
    EXPECT_EQ(o.request.amerSolver, 1);
    EXPECT_TRUE(o.request.calcVega);
    EXPECT_FALSE(o.request.calcTheta);
    EXPECT_EQ(o.request.planesInterp, 2);  // none chosen: the default
    EXPECT_TRUE(o.request.widenToSpot);
    // The empty rate box shows the 0 it was read as.
    ASSERT_EQ(o.steps.size(), 1u);
    ASSERT_EQ(o.steps[0].writes.size(), 1u);
    EXPECT_EQ(o.steps[0].writes[0].box, FormBox::InterestRate);
    EXPECT_EQ(o.steps[0].writes[0].text, QStringLiteral("0"));

    // A continuously monitored up-and-in the spot has crossed is priced as
    // its vanilla; the grid of a continuous up-and-out ends at its barrier.
    form = plainForm();
    barrier(form, Payoff::UpAndIn, "90", "", true);
    o = checkPdeRun(form);
    ASSERT_FALSE(o.refusal);
    EXPECT_TRUE(o.request.knockedIn);
    EXPECT_EQ(o.request.payoff, Payoff::Vanilla);
    EXPECT_TRUE(o.request.widenToSpot);
    form = plainForm();
    barrier(form, Payoff::UpAndOut, "130", "", true);
    o = checkPdeRun(form);
    ASSERT_FALSE(o.refusal);
    EXPECT_EQ(o.request.payoff, Payoff::UpAndOut);
    EXPECT_EQ(o.request.knockOut, 1);
    EXPECT_EQ(o.request.upperBarrier, 130.0);
    EXPECT_EQ(o.request.lowerBarrier, 0.0);
    EXPECT_FALSE(o.request.widenToSpot);

    // A floating strike keeps to the automatic grid and no widening.
    form = plainForm();
    asian(form, Payoff::AsianFloatingStrike, "12", "1", "100");
    form.userMaximum = true;
    form.settings.gMaxS = 600;
    o = checkPdeRun(form);
    ASSERT_FALSE(o.refusal);
    EXPECT_TRUE(o.request.holdUserMaximum);
    EXPECT_EQ(o.request.maxAsset, 0.0);
    EXPECT_FALSE(o.request.widenToSpot);
    EXPECT_EQ(o.request.strike, 0.0);
    EXPECT_EQ(o.request.numFixings, 12);
    EXPECT_EQ(o.request.planeSpacing, 4);
}

}  // namespace
