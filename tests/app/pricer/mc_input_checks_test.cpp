// The input checks of a Monte Carlo run without a window: what the boxes
// and the settings dialog hold at Calculate goes in, the library call or
// the first refusal comes out. The checks as the user meets them are
// tested through the window (mc_run_test.cpp); here, what pasted or
// impossible values make of them, and what the call carries.
#include "pricer/mc_input_checks.h"

#include "platform/number_rules.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

using namespace tarvic;

namespace {

// A European vanilla call under the dialog's defaults (Sobol, 2^19 paths,
// every sensitivity by likelihood ratio).
McForm plainForm()
{
    McForm f;
    f.asset = QStringLiteral("100");
    f.strike = QStringLiteral("100");
    f.volatility = QStringLiteral("20");
    f.interestRate = QStringLiteral("5");
    f.dividend = QStringLiteral("1");
    f.expiry = QStringLiteral("1");
    f.periods = QStringLiteral("1");
    f.paths = QStringLiteral("2^19");
    f.regressionPaths = QStringLiteral("2^14");
    f.basisFunctions = QStringLiteral("4");
    f.greeks = {true, true, true, true};
    f.likelihoodRatio = true;
    f.multiThreaded = true;
    f.brownianBridge = true;
    f.settings.gSobol = true;
    f.settings.gTimeMarching = 1;
    f.settings.gFewBlocks = true;
    f.settings.gAntithetic = true;
    f.settings.gBrownianBridge = true;
    return f;
}

void barrier(McForm& f, Payoff p, const char* up, const char* down)
{
    f.payoff = p;
    f.upBarrier = QString::fromLatin1(up);
    f.downBarrier = QString::fromLatin1(down);
    f.upBarrierShown = hasUpBarrier(p);
    f.downBarrierShown = hasDownBarrier(p);
    f.periods = QStringLiteral("4");
}

void asian(McForm& f, Payoff p, const char* fixings, const char* settled, const char* average)
{
    f.payoff = p;
    f.fixings = QString::fromLatin1(fixings);
    f.settledFixings = QString::fromLatin1(settled);
    f.settledAverage = QString::fromLatin1(average);
    if (isFloatingStrike(p))
        f.strike.clear();
}

const QString kNoSpot = QStringLiteral("Please enter a non-zero initial asset level.");
const QString kNoStrike = QStringLiteral("Please enter a non-zero strike.");
const QString kOnePeriod = QStringLiteral(
    "There is at least one monitoring and/or exercising period (from now to maturity). Resetting "
    "to 1.");
const QString kTooManyPeriods = QStringLiteral(
    "The maximum allowed number of monitoring and/or exercising periods is 5000. Resetting to "
    "5000.");
const QString kSettledCount = QStringLiteral(
    "The number of settled fixings (observations) must be less than the total number of "
    "fixings.");
const QString kSpotAsFirstFixing = QStringLiteral(
    "The current asset spot is always taken as the first fixing for Floating Strike Asian "
    "options. Resetting number of settled fixings to 1.");

// A value the user pasted (the key filters never see it) or typed out of
// range: each is refused before anything reaches the library, or sent as
// the rule for it says.
struct PastedCase {
    const char* name;
    std::function<void(McForm&)> setup;
    std::vector<QString> warnings;          // on the way, in order
    std::optional<QString> refusal;         // nullopt: the run goes on
    FormBox focus = FormBox::None;
    std::function<void(const McCheckOutcome&)> more = nullptr;
};

const PastedCase kPasted[] = {
    {"NegativeSpot", [](McForm& f) { f.asset = QStringLiteral("-100"); }, {}, kNoSpot,
     FormBox::Asset},
    {"NonNumericSpot", [](McForm& f) { f.asset = QStringLiteral("x100"); }, {}, kNoSpot,
     FormBox::Asset},
    {"SpotBeyondEveryNumber", [](McForm& f) { f.asset = QStringLiteral("1e999"); }, {}, kNoSpot,
     FormBox::Asset},
    {"NegativeStrike", [](McForm& f) { f.strike = QStringLiteral("-5"); }, {}, kNoStrike,
     FormBox::Strike},
    {"NonNumericStrike", [](McForm& f) { f.strike = QStringLiteral("abc"); }, {}, kNoStrike,
     FormBox::Strike},
    {"NegativeVolatility", [](McForm& f) { f.volatility = QStringLiteral("-20"); }, {},
     QStringLiteral("The volatility cannot be less than 3%."), FormBox::Volatility},
    {"NegativeExpiry", [](McForm& f) { f.expiry = QStringLiteral("-1"); }, {},
     QStringLiteral("Please enter a time to expiry between 0.0001 and 5Y."), FormBox::Expiry},
    {"NegativeDownBarrier", [](McForm& f) { barrier(f, Payoff::DownAndOut, "", "-80"); }, {},
     QStringLiteral("Please enter a non-zero down barrier value."), FormBox::DownBarrier},
    {"NonNumericUpBarrier", [](McForm& f) { barrier(f, Payoff::UpAndIn, "abc", ""); }, {},
     QStringLiteral("Please enter a non-zero up barrier value."), FormBox::UpBarrier},
    {"NegativeUpBarrier", [](McForm& f) { barrier(f, Payoff::UpAndOut, "-120", ""); }, {},
     QStringLiteral("Please enter a non-zero up barrier value."), FormBox::UpBarrier},
    {"NegativeFixings", [](McForm& f) { asian(f, Payoff::AsianFixedStrike, "-12", "0", ""); }, {},
     QStringLiteral("Please enter a positive number of fixings (observations)."),
     FormBox::Fixings},
    {"NegativeSettledFixings",
     [](McForm& f) { asian(f, Payoff::AsianFixedStrike, "12", "-3", "100"); }, {},
     QStringLiteral("The number of settled fixings (observations) cannot be negative."),
     FormBox::SettledFixings},
    // A floating strike takes the spot as its first settled fixing; with
    // one fixing in all none is left to come.
    {"FloatingStrikeWithOneFixing",
     [](McForm& f) { asian(f, Payoff::AsianFloatingStrike, "1", "0", ""); }, {kSpotAsFirstFixing},
     kSettledCount, FormBox::SettledFixings},
    {"FloatingStrikeNegativeSettledTakesTheSpot",
     [](McForm& f) { asian(f, Payoff::AsianFloatingStrike, "12", "-2", ""); },
     {kSpotAsFirstFixing}, std::nullopt, FormBox::None,
     [](const McCheckOutcome& o) {
         EXPECT_EQ(o.request.numSettled, 1);
         EXPECT_EQ(o.request.numFixings, 11);
         EXPECT_EQ(o.request.settledAverage, 100.0);
         EXPECT_EQ(o.request.strikeType, 1);
     }},
    // The time steps of a vanilla European's paths: none or 0 is one step,
    // a negative count is corrected, and any count above that is sent as it
    // stands. Monitoring and exercise dates go from 1 to 5000.
    {"EmptyStepsAreOne", [](McForm& f) { f.periods.clear(); }, {}, std::nullopt, FormBox::None,
     [](const McCheckOutcome& o) { EXPECT_EQ(o.request.numSteps, 1); }},
    {"ZeroStepsAreOne", [](McForm& f) { f.periods = QStringLiteral("0"); }, {}, std::nullopt,
     FormBox::None, [](const McCheckOutcome& o) { EXPECT_EQ(o.request.numSteps, 1); }},
    {"NegativeSteps", [](McForm& f) { f.periods = QStringLiteral("-3"); }, {}, kOnePeriod,
     FormBox::Periods,
     [](const McCheckOutcome& o) { EXPECT_EQ(o.refusal->reset, QStringLiteral("1")); }},
    {"FiveThousandSteps", [](McForm& f) { f.periods = QStringLiteral("5000"); }, {}, std::nullopt,
     FormBox::None, [](const McCheckOutcome& o) { EXPECT_EQ(o.request.numSteps, 5000); }},
    {"EuropeanStepsBeyondFiveThousand", [](McForm& f) { f.periods = QStringLiteral("5001"); }, {},
     std::nullopt, FormBox::None,
     [](const McCheckOutcome& o) { EXPECT_EQ(o.request.numSteps, 5001); }},
    {"EuropeanStepsFarBeyondFiveThousand", [](McForm& f) { f.periods = QStringLiteral("250000"); },
     {}, std::nullopt, FormBox::None,
     [](const McCheckOutcome& o) { EXPECT_EQ(o.request.numSteps, 250000); }},
    {"TooManyExerciseDates",
     [](McForm& f) {
         f.exercise = Exercise::American;
         f.periods = QStringLiteral("5001");
     },
     {}, kTooManyPeriods, FormBox::Periods,
     [](const McCheckOutcome& o) { EXPECT_EQ(o.refusal->reset, QStringLiteral("5000")); }},
    {"TooManyMonitoringDates",
     [](McForm& f) {
         barrier(f, Payoff::UpAndOut, "120", "");
         f.periods = QStringLiteral("5001");
     },
     {}, kTooManyPeriods, FormBox::Periods,
     [](const McCheckOutcome& o) { EXPECT_EQ(o.refusal->reset, QStringLiteral("5000")); }},
    {"NoMonitoringDates",
     [](McForm& f) {
         barrier(f, Payoff::DownAndIn, "", "80");
         f.periods = QStringLiteral("0.4");
     },
     {}, kOnePeriod, FormBox::Periods},
};

class McPastedValues : public ::testing::TestWithParam<PastedCase> {};

TEST_P(McPastedValues, AreRefusedOrReadByTheirRule)
{
    const PastedCase& c = GetParam();
    McForm form = plainForm();
    c.setup(form);
    const McCheckOutcome o = checkMcRun(form);
    std::vector<QString> warnings;
    for (const CheckStep& step : o.steps)
        if (step.message)
            warnings.push_back(step.message->text);
    EXPECT_EQ(warnings, c.warnings);
    EXPECT_FALSE(o.silentStop);
    ASSERT_EQ(o.refusal.has_value(), c.refusal.has_value());
    if (c.refusal) {
        EXPECT_EQ(o.refusal->message.text, *c.refusal);
        EXPECT_EQ(o.refusal->focus, c.focus);
    }
    if (c.more)
        c.more(o);
}

INSTANTIATE_TEST_SUITE_P(Table, McPastedValues, ::testing::ValuesIn(kPasted),
                         [](const ::testing::TestParamInfo<PastedCase>& info) {
                             return std::string(info.param.name);
                         });

// The call carries the contract as read and the settings as the dialog
// shows them: the sensitivities wanted and their method, the paths of the
// generator in use (the other generator's flags kept as they were).
TEST(McInputChecksRequest, CarriesTheContractAndTheSettings)
{
    McForm form = plainForm();
    barrier(form, Payoff::DoubleOut, "130", "80");
    form.optionType = OptionType::Put;
    form.continuousMonitoring = true;
    form.greeks = {false, false, true, false};  // vega only
    form.likelihoodRatio = false;
    form.brownianBridge = false;
    form.warmUp = true;
    form.antithetic = false;  // the pseudo-random box: not read under Sobol
    McCheckOutcome o = checkMcRun(form);
    ASSERT_FALSE(o.refusal);
    const McRequest& q = o.request;
    EXPECT_EQ(q.payoff, Payoff::DoubleOut);
    EXPECT_EQ(q.lowerBarrier, 80.0);
    EXPECT_EQ(q.upperBarrier, 130.0);
    EXPECT_EQ(q.knockOut, 1);
    EXPECT_TRUE(q.contMonitoring);
    EXPECT_EQ(q.optionType, 1);
    EXPECT_EQ(q.numSteps, 4);
    EXPECT_EQ(q.numPaths, 19);
    EXPECT_EQ(q.pathsRun(), 524288);
    EXPECT_EQ(q.greeksCode, 100);
    EXPECT_EQ(q.greeksMethod, 2);
    EXPECT_FALSE(q.brownianBridge);
    EXPECT_TRUE(q.warmUpSobol);
    EXPECT_TRUE(q.antithetic);
    EXPECT_TRUE(q.fewSobolBlocks);
    EXPECT_DOUBLE_EQ(q.divYield, 0.01);

    // Pseudo-random numbers: thousands, and the antithetic box is read.
    form = plainForm();
    form.settings.gSobol = false;
    form.paths = QStringLiteral("20");
    form.antithetic = false;
    form.greeks = {true, false, false, true};  // delta brings gamma
    o = checkMcRun(form);
    ASSERT_FALSE(o.refusal);
    EXPECT_EQ(o.request.numPaths, 20);
    EXPECT_EQ(o.request.pathsRun(), 20000);
    EXPECT_FALSE(o.request.antithetic);
    EXPECT_TRUE(o.request.brownianBridge);  // the Sobol choice, kept
    EXPECT_EQ(o.request.greeksCode, 1010);
    EXPECT_EQ(o.reading.settings.gPaths, 20);
}

// More regression paths than paths would run more paths than the table
// says: the regression takes the run's paths, and the user is told.
TEST(McInputChecksRequest, RegressionPathsAreHeldToThePaths)
{
    struct Case {
        bool sobol;
        const char* paths;
        const char* regression;
        int32_t sent;
        const char* total;
    };
    const Case cases[] = {
        {true, "2^12", "2^14", 12, "4096"},
        {false, "20", "50", 20, "20000"},
    };
    for (const Case& c : cases) {
        McForm form = plainForm();
        form.exercise = Exercise::Bermudan;
        form.periods = QStringLiteral("4");
        form.settings.gSobol = c.sobol;
        form.paths = QString::fromLatin1(c.paths);
        form.regressionPaths = QString::fromLatin1(c.regression);
        const McCheckOutcome o = checkMcRun(form);
        ASSERT_FALSE(o.refusal) << c.paths;
        EXPECT_EQ(o.request.numLSPaths, c.sent) << c.paths;
        EXPECT_EQ(o.request.numPaths, c.sent) << c.paths;
        ASSERT_EQ(o.steps.size(), 1u) << c.paths;
        ASSERT_TRUE(o.steps[0].message);
        EXPECT_EQ(o.steps[0].message->text,
                  QStringLiteral("The number of paths used for the Longstaff-Schwartz regression "
                                 "cannot be more than the total number of simulation paths.\r\n"
                                 "Resetting to ") +
                      QString::fromLatin1(c.total) + QLatin1Char('.'));
        EXPECT_EQ(o.steps[0].message->title, QStringLiteral("Invalid input parameter"));
        ASSERT_EQ(o.steps[0].writes.size(), 1u);
        EXPECT_EQ(o.steps[0].writes[0].box, FormBox::RegressionPaths);
        EXPECT_EQ(o.steps[0].writes[0].text, QString::fromLatin1(c.paths));
    }
    // A European run has no regression to hold.
    McForm form = plainForm();
    form.paths = QStringLiteral("2^12");
    const McCheckOutcome o = checkMcRun(form);
    EXPECT_TRUE(o.steps.empty());
}

// Pseudo-random paths are counted in thousands. A pasted fraction that
// rounds up (more paths than asked) ends the run without a word; one that
// rounds down, or a half that rounds to even below it, runs the rounded
// count. So do the regression paths, which are only rounded.
TEST(McInputChecksRequest, FractionalPseudoRandomPathsRunRoundedDownOrStopSilently)
{
    const struct {
        const char* paths;
        const char* regressionPaths;
        bool silent;
        int32_t numPaths, numLSPaths;
    } cases[] = {
        {"20.4", "5", false, 20, 5},  {"2.5", "2", false, 2, 2},  {"50", "2.5", false, 50, 2},
        {"50", "3.7", false, 50, 4},  {"1.5", "1", true, 0, 0},   {"20.6", "5", true, 0, 0},
        {"0.7", "0", true, 0, 0},
    };
    for (const auto& c : cases) {
        McForm form = plainForm();
        form.exercise = Exercise::Bermudan;
        form.periods = QStringLiteral("4");
        form.settings.gSobol = false;
        form.paths = QString::fromLatin1(c.paths);
        form.regressionPaths = QString::fromLatin1(c.regressionPaths);
        const McCheckOutcome o = checkMcRun(form);
        SCOPED_TRACE(std::string(c.paths) + " / " + c.regressionPaths);
        EXPECT_FALSE(o.refusal);
        EXPECT_EQ(o.silentStop, c.silent);
        if (!c.silent) {
            EXPECT_EQ(o.request.numPaths, c.numPaths);
            EXPECT_EQ(o.request.numLSPaths, c.numLSPaths);
            EXPECT_FALSE(o.request.useSobol);
        }
    }
}

// Beyond what the Sobol generator makes, the run ends without a word.
TEST(McInputChecksRequest, SobolExponentBeyondThirtyStopsSilently)
{
    McForm form = plainForm();
    form.paths = QStringLiteral("2^31");
    const McCheckOutcome o = checkMcRun(form);
    EXPECT_TRUE(o.silentStop);
    EXPECT_FALSE(o.refusal);
}

}  // namespace
