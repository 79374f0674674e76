// The finite-difference run against a stand-in library that records its
// arguments: the input checks, the argument order of each export, what a
// run shows, and the faults of a run that is refused, fails, or is still out
// while the window goes on.
#include "pricer/run_support.h"

#include "platform/chart.h"
#include "platform/results_grid.h"
#include "platform/system_services.h"
#include "platform/control_look.h"
#include "pricer/plot_rules.h"

#include <QActionGroup>
#include <QGroupBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

using tarvic::gPdeSettings;

namespace {

QString lines(const char* first, const char* second)
{
    return QString::fromLatin1(first) + QStringLiteral("\r\n") + QString::fromLatin1(second);
}

// ---------------------------------------------------------------------------
// The input checks: message, title, focus, and whether the run goes on.

struct CheckCase {
    const char* name;
    std::function<void(RecordingFixture&)> setup;  // after the plain inputs
    QString message;
    const char* title;
    std::function<QWidget*(frmOptions&)> focus;  // nullptr: not checked
    bool goesOn;
    std::function<void(RecordingFixture&)> after;  // further expectations
};

class InputChecks : public RecordingFixture, public ::testing::WithParamInterface<CheckCase> {
public:
    // Exposes the fixture to the case tables.
    frmOptions& window() { return *w; }
    frmResol& dialog() { return *resol; }
    tarvic::ScriptedMessageBoxes& scripted() { return boxes; }
    tarvic::NonBlockingDialogs& shownDialogs() { return dialogs; }
    TvRecord& recorded() { return *record; }
    void payoff(int index) { choosePayoff(index); }
    void exercise(int index) { chooseExercise(index); }
    void steps(const char* a, const char* t) { setSteps(a, t); }
};

using F = InputChecks;

QWidget* strikeBox(frmOptions& w) { return ui(w).txtStrike; }
QWidget* spotBox(frmOptions& w) { return ui(w).txtAsset; }
QWidget* volBox(frmOptions& w) { return ui(w).txtVol; }
QWidget* expiryBox(frmOptions& w) { return ui(w).txtExpi; }
QWidget* periodsBox(frmOptions& w) { return ui(w).txtMonPts; }
QWidget* upBox(frmOptions& w) { return ui(w).TxtUpBar; }
QWidget* downBox(frmOptions& w) { return ui(w).txtDownBar; }
QWidget* settledBox(frmOptions& w) { return ui(w).txtNFixed; }

void text(QLineEdit* box, const char* t)
{
    box->setText(QString::fromLatin1(t));
}

const CheckCase kChecks[] = {
    {"ZeroStrike", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtStrike, "0"); },
     QStringLiteral("Please enter a non-zero strike."), "Invalid input", strikeBox, false,
     [](RecordingFixture& f) { EXPECT_EQ(ui(static_cast<F&>(f).window()).txtStrike->text(), QString()); }},
    // Pasted text passes the key filters.
    {"NegativeStrike", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtStrike, "-100"); },
     QStringLiteral("Please enter a non-zero strike."), "Invalid input", strikeBox, false, nullptr},
    {"NegativeSpot", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtAsset, "-100"); },
     QStringLiteral("Please enter a non-zero initial asset level."), "Invalid input", spotBox,
     false,
     [](RecordingFixture& f) { EXPECT_EQ(ui(static_cast<F&>(f).window()).txtAsset->text(), QString()); }},
    {"NonNumericSpot", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtAsset, "abc"); },
     QStringLiteral("Please enter a non-zero initial asset level."), "Invalid input", spotBox,
     false, nullptr},
    // No spot to price at: nothing reaches the library.
    {"EmptySpot", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtAsset, ""); },
     QStringLiteral("Please enter a non-zero initial asset level."), "Invalid input", spotBox,
     false, [](RecordingFixture& f) { EXPECT_EQ(static_cast<F&>(f).recorded().calls, 0); }},
    {"ZeroSpot", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtAsset, "0"); },
     QStringLiteral("Please enter a non-zero initial asset level."), "Invalid input", spotBox,
     false, [](RecordingFixture& f) { EXPECT_EQ(static_cast<F&>(f).recorded().calls, 0); }},
    {"NegativeVolatility", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtVol, "-20"); },
     QStringLiteral("The volatility cannot be less than 3%."), "Unsupported input value", volBox,
     false, nullptr},
    {"NegativeExpiry", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtExpi, "-1"); },
     QStringLiteral("Please enter a time to expiry between 0.0001 and 2Y."),
     "Unsupported input value", expiryBox, false, nullptr},
    {"RateAbove50", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtIntRate, "50.5"); },
     QStringLiteral("Please enter an interest rate that does not exceed 50%."), "Invalid input",
     [](frmOptions& w) -> QWidget* { return ui(w).txtIntRate; }, false, nullptr},
    {"DividendAbove50", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtDiv, "51"); },
     QStringLiteral("Please enter a dividend yield that does not exceed 50%."), "Invalid input",
     [](frmOptions& w) -> QWidget* { return ui(w).txtDiv; }, false, nullptr},
    {"StrikeAbove10000", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtStrike, "10001"); },
     QStringLiteral("Please enter an option strike that does not exceed 10000."), "Invalid input",
     strikeBox, false, nullptr},
    {"VolatilityAbove100", [](RecordingFixture& f) { text(ui(static_cast<F&>(f).window()).txtVol, "100.01"); },
     QStringLiteral("The volatility cannot exceed 100%. "), "Unsupported input value", volBox,
     false, nullptr},
    // The limits themselves pass.
    {"LimitsPass",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         text(ui(t.window()).txtVol, "100");
         text(ui(t.window()).txtExpi, "2");
         text(ui(t.window()).txtStrike, "10000");
         text(ui(t.window()).txtIntRate, "50");
     },
     QString(), "", nullptr, true, nullptr},
    {"NineTimeSteps", [](RecordingFixture& f) { static_cast<F&>(f).steps("100", "9"); },
     lines("The number of time steps must be at least 10.", "Change the numerical resolution setting."),
     "Invalid unput", nullptr, false,
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         ASSERT_FALSE(t.shownDialogs().modal.isEmpty());
         EXPECT_EQ(t.shownDialogs().modal.back(), &t.dialog());
     }},
    {"DoubleBarrierCrossed",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(5);
         text(ui(t.window()).TxtUpBar, "90");
         text(ui(t.window()).txtDownBar, "90");
     },
     QStringLiteral("The up barrier must be greater than the down barrier."), "Invalid Input",
     upBox, false, nullptr},
    {"EmptyDownBarrier", [](RecordingFixture& f) { static_cast<F&>(f).payoff(2); },
     QStringLiteral("Please enter a non-zero down barrier value."), "Invalid Input", downBox,
     false, nullptr},
    {"DownBarrierOutOfRange",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(2);
         text(ui(t.window()).txtDownBar, "5");
     },
     QStringLiteral("The down barrier value is outside the allowed range for the given strike."),
     "Invalid Input", downBox, false, nullptr},
    {"BermudanWithoutPeriods",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.exercise(2);
         text(ui(t.window()).txtMonPts, "");
     },
     QStringLiteral("There is at least one exercising period (from now to maturity). Resetting to 1."),
     "Invalid Input", periodsBox, false,
     [](RecordingFixture& f) { EXPECT_EQ(ui(static_cast<F&>(f).window()).txtMonPts->text(), QStringLiteral("1")); }},
    // The periods are checked for down barriers too.
    {"BermudanDownAndOutTooManyPeriods",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(2);
         t.exercise(2);
         text(ui(t.window()).txtDownBar, "80");
         text(ui(t.window()).txtMonPts, "6000");
     },
     QStringLiteral("The maximum allowed number of exercising periods is 5000. Resetting to 5000."),
     "Invalid Input", periodsBox, false,
     [](RecordingFixture& f) { EXPECT_EQ(ui(static_cast<F&>(f).window()).txtMonPts->text(), QStringLiteral("5000")); }},
    {"EmptyUpBarrier", [](RecordingFixture& f) { static_cast<F&>(f).payoff(1); },
     QStringLiteral("Please enter a non-zero up barrier value."), "Invalid Input", upBox, false,
     nullptr},
    {"UpBarrierTooSmallForDiscreteMonitoring",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(1);
         text(ui(t.window()).TxtUpBar, "5");
         text(ui(t.window()).txtMonPts, "1");
     },
     QStringLiteral("The up barrier value is too small or too large for the given option strike."),
     "Invalid Input", upBox, false, nullptr},
    {"DiscreteBarrierWithoutPeriods",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(2);
         text(ui(t.window()).txtDownBar, "80");
         text(ui(t.window()).txtMonPts, "0");
     },
     QStringLiteral("There is at least one monitoring period (from now to maturity). Resetting to 1."),
     "Invalid Input", periodsBox, false,
     [](RecordingFixture& f) { EXPECT_EQ(ui(static_cast<F&>(f).window()).txtMonPts->text(), QStringLiteral("1")); }},
    // Near the strike: the message, then the run goes on unchanged.
    {"StrikeCloseToBarrier",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.dialog().chkNonUniGrid->setChecked(false);
         t.payoff(2);
         text(ui(t.window()).txtDownBar, "99.5");
         text(ui(t.window()).txtMonPts, "4");
     },
     QStringLiteral("The strike and barrier are too close. The resolution will be increased."),
     "Invalid Input", nullptr, true,
     [](RecordingFixture& f) { EXPECT_EQ(static_cast<F&>(f).recorded().args[10], 100.0); }},
    // A user maximum below twice the strike is reset and the run goes on.
    {"MaximumAssetReset",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.dialog().ChkOverMaxS->setChecked(true);
         text(t.dialog().txtMaxS, "150");
     },
     lines("The maximum grid asset value must be at least 2*Strike.", "Resetting to 200."),
     "Invalid Input", nullptr, true,
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         EXPECT_EQ(t.dialog().txtMaxS->text(), QStringLiteral("200"));
         EXPECT_EQ(t.recorded().args[11], 200.0);  // maxAsset
     }},
    {"MaximumBelowDownBarrier",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(2);
         text(ui(t.window()).txtDownBar, "80");
         text(ui(t.window()).txtMonPts, "4");
         t.dialog().ChkOverMaxS->setChecked(true);
         text(t.dialog().txtMaxS, "80");
     },
     lines("The maximum grid asset value must be greater than the down barrier.",
           "Press F2 to enter a larger maximum grid asset value"),
     "Cannot create grid", nullptr, false, nullptr},
    {"NoFixings",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(7);
         text(ui(t.window()).txtSmplPoints, "0");
     },
     QStringLiteral("Please enter a positive number of fixings (observations)."), "Invalid Input",
     [](frmOptions& w) -> QWidget* { return ui(w).txtSmplPoints; }, false, nullptr},
    {"AllFixingsSettled",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(7);
         text(ui(t.window()).txtSmplPoints, "4");
         text(ui(t.window()).txtNFixed, "4");
     },
     QStringLiteral("The number of settled fixings (observations) must be less than the total "
                    "number of fixings."),
     "Invalid Input", settledBox, false, nullptr},
    // A floating strike takes the spot as its first settled fixing; with one
    // fixing in all none would be left to come.
    {"FloatingStrikeWithOneFixing",
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         t.payoff(8);
         text(ui(t.window()).txtSmplPoints, "1");
         text(ui(t.window()).txtNFixed, "0");
     },
     QStringLiteral("The number of settled fixings (observations) must be less than the total "
                    "number of fixings."),
     "Invalid Input", settledBox, false,
     [](RecordingFixture& f) {
         F& t = static_cast<F&>(f);
         ASSERT_EQ(t.scripted().shown.size(), 2);
         EXPECT_EQ(t.scripted().shown[0].title, QStringLiteral("Warning"));
         EXPECT_EQ(ui(t.window()).txtNFixed->text(), QStringLiteral("1"));
     }},
};

TEST_P(InputChecks, MessageTitleFocusAndOutcome)
{
    const CheckCase& c = GetParam();
    typeInputs();
    const int before = boxes.shown.size();
    c.setup(*this);
    calculate();
    if (c.message.isEmpty()) {
        EXPECT_EQ(boxes.shown.size(), before);
    } else {
        ASSERT_GT(boxes.shown.size(), before);
        // A run that stops shows one box, its last; one that goes on, its first.
        const tarvic::MsgBoxRequest& box = c.goesOn ? boxes.shown[before] : boxes.shown.back();
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.title, QString::fromLatin1(c.title));
        EXPECT_EQ(box.icon, tarvic::MsgIcon::Exclamation);
    }
    if (c.focus) {
        EXPECT_EQ(w->focusWidget(), c.focus(*w));
    }
    EXPECT_EQ(record->calls, c.goesOn ? 1 : 0);
    EXPECT_EQ(ui(w).lblProgress->text(), c.goesOn ? QStringLiteral("Ready") : QString());
    if (c.after)
        c.after(*this);
}

INSTANTIATE_TEST_SUITE_P(Table, InputChecks, ::testing::ValuesIn(kChecks),
                         [](const ::testing::TestParamInfo<CheckCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// Argument order

class PdeRun : public RecordingFixture {};

TEST_F(PdeRun, VanillaArgumentsInOrder)
{
    typeInputs("100", "95", "25", "4", "1.5", "0.75");
    setSteps("40", "60");
    w->setListIndex(ui(w).cboOptions, 1);
    chooseExercise(1);
    ui(w).mnuVega->trigger();
    ui(w).mnuTheta->setChecked(true);  // checked but hidden: no theta
    ASSERT_FALSE(ui(w).mnuTheta->isVisible());
    calculate();
    ASSERT_EQ(record->calls, 1);
    EXPECT_STREQ(record->name, "VelkOptionPricer");
    EXPECT_TRUE(w->mLastCalcVega);
    EXPECT_FALSE(w->mLastCalcTheta);
    const std::vector<double> args(record->args, record->args + record->count);
    // strike, timeSteps, expiry, vol, rate, div, assetSteps, type, exercise,
    // scheme, American solver, maxAsset, theta, vega, non-uniform, periods
    const std::vector<double> expected{95, 60, 0.75, 0.25, 0.04, 0.015, 40, 1,
                                       1,  2,  2,    0,    0,    65535, 65535, 0};
    ASSERT_EQ(args.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_DOUBLE_EQ(args[i], expected[i]) << "argument " << i;
}

TEST_F(PdeRun, BarrierArgumentsInOrder)
{
    typeInputs("100", "100", "30", "2", "1", "0.5");
    setSteps("50", "70");
    choosePayoff(2);  // Down & Out
    ui(w).txtDownBar->setText(QStringLiteral("85"));
    ui(w).chkContMon->setChecked(true);
    calculate();
    ASSERT_EQ(record->calls, 1);
    EXPECT_STREQ(record->name, "VelkBarrierOptionPricer");
    const std::vector<double> args(record->args, record->args + record->count);
    // spot, strike, lower, upper, continuous, timeSteps, expiry, vol, rate,
    // div, assetSteps, type, knockOut, exercise, scheme, solver, maxAsset,
    // theta, vega, non-uniform, periods
    const std::vector<double> expected{100, 100, 85, 0, 65535, 70, 0.5, 0.3, 0.02, 0.01, 50,
                                       0,   1,   0,  2, 2,     0,  0,   0,   65535, 0};
    ASSERT_EQ(args.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_DOUBLE_EQ(args[i], expected[i]) << "argument " << i;
}

TEST_F(PdeRun, AsianArgumentsInOrder)
{
    typeInputs("100", "105", "20", "3", "0", "1");
    setSteps("30", "40");
    choosePayoff(7);  // fixed strike
    ui(w).txtSmplPoints->setText(QStringLiteral("12"));
    ui(w).txtNFixed->setText(QStringLiteral("2"));
    ui(w).txtInitAvg->setText(QStringLiteral("98"));
    ui(w).txtSmplstart->setText(QStringLiteral("-0.25"));
    calculate();
    ASSERT_EQ(record->calls, 1);
    EXPECT_STREQ(record->name, "VelkAsianOptionPricer");
    const std::vector<double> args(record->args, record->args + record->count);
    ASSERT_EQ(args.size(), 23u);
    const double fixed[] = {100, 105, 40, 1, 0.2, 0.03, 0, 30};  // spot .. assetSteps
    for (size_t i = 0; i < 8; ++i)
        EXPECT_DOUBLE_EQ(args[i], fixed[i]) << "argument " << i;
    EXPECT_EQ(args[8], gPdeSettings.gPlaneSpacing);
    EXPECT_EQ(args[9], 12);     // total fixings
    EXPECT_EQ(args[10], 2);     // settled
    EXPECT_EQ(args[11], 98);    // their average
    EXPECT_EQ(args[12], -0.25); // first fixing
    EXPECT_EQ(args[13], 0);     // call
    EXPECT_EQ(args[14], 0);     // European
    EXPECT_EQ(args[17], gPdeSettings.gPlanesInterp);
    EXPECT_NE(args[17], -1);    // a chosen interpolation
    EXPECT_EQ(args[22], gPdeSettings.gMultiThreadPDE ? 65535 : 0);
}

TEST_F(PdeRun, AsianEarlyExerciseUsesTheAutomaticGridExtent)
{
    typeInputs("100", "100");
    choosePayoff(7);
    chooseExercise(1);
    ui(w).txtSmplPoints->setText(QStringLiteral("12"));
    ui(w).txtNFixed->setText(QStringLiteral("0"));
    resol->ChkOverMaxS->setEnabled(true);
    resol->ChkOverMaxS->setChecked(true);
    resol->txtMaxS->setText(QStringLiteral("300"));
    calculate();
    ASSERT_EQ(record->calls, 1);
    EXPECT_EQ(record->args[18], 0.0);  // maxAsset
    EXPECT_FALSE(resol->ChkOverMaxS->isChecked());
    EXPECT_EQ(record->args[8], 1.0);   // American: one plane per node
}

// The menu entries that depend on the contract, after a run.
TEST_F(PdeRun, MenusAfterARunFollowTheContract)
{
    struct Case {
        const char* name;
        int payoff;
        const char* up;
        const char* down;
        bool continuous;
        bool closedForm, saveReference;
    };
    const Case cases[] = {
        {"vanilla", 0, "", "", false, true, false},
        {"discrete down-and-out", 2, "", "80", false, false, true},
        {"continuous down-and-out", 2, "", "80", true, true, false},
        {"double barrier, strike outside", 5, "130", "105", true, false, false},
    };
    for (const Case& c : cases) {
        typeInputs("110");
        choosePayoff(c.payoff);
        ui(w).TxtUpBar->setText(QString::fromLatin1(c.up));
        ui(w).txtDownBar->setText(QString::fromLatin1(c.down));
        ui(w).txtMonPts->setText(QStringLiteral("4"));
        ui(w).chkContMon->setChecked(c.continuous);
        boxes.shown.clear();
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        EXPECT_EQ(ui(w).mnuBS->isVisible(), c.closedForm) << c.name;
        EXPECT_EQ(ui(w).mnuBSGrid->isVisible(), c.closedForm) << c.name;
        EXPECT_EQ(ui(w).mnuBS->isEnabled(), c.closedForm) << c.name;
        EXPECT_EQ(ui(w).mnuSaveRefSol->isVisible(), c.saveReference) << c.name;
        EXPECT_EQ(ui(w).MSFlexGrid1->ToolTipText().isEmpty(), !c.closedForm) << c.name;
    }
}

// ---------------------------------------------------------------------------
// A successful run

TEST_F(PdeRun, ShowsStatusTimeTableSpotRowAndChart)
{
    std::vector<uint32_t> ticks{1000, 2500};
    size_t tick = 0;
    tarvic::setTickSource([&] { return ticks[std::min(tick++, ticks.size() - 1)]; });
    typeInputs("101");
    calculate();
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_EQ(tarvic::foreColor(ui(w).lblProgress), 0xC000u);
    EXPECT_EQ(ui(w).lblCalcTime->text(), QStringLiteral("1.500 sec"));

    const int n = 100;  // the stand-in writes back the asset steps
    ASSERT_EQ(w->mLastIndex, n);
    tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
    EXPECT_EQ(table.Rows(), n + 3);
    // The value at the spot: x^2 / 100 is exact under the four-point rule.
    EXPECT_NEAR(w->mSpotValue, 101.0 * 101.0 / 100.0, 1e-9);
    EXPECT_EQ(table.TextMatrix(1, 0), QStringLiteral("101.00000"));
    EXPECT_EQ(table.TextMatrix(1, 1), QStringLiteral("102.01000"));
    EXPECT_EQ(table.TextMatrix(1, 2), QStringLiteral("2.02000"));
    // Node rows: asset 2 i, value (2 i)^2 / 100; vega not requested.
    EXPECT_EQ(table.TextMatrix(2 + 10, 0), QStringLiteral("20.00000"));
    EXPECT_EQ(table.TextMatrix(2 + 10, 1), QStringLiteral("4.00000"));
    EXPECT_EQ(table.TextMatrix(2 + 10, 5), QString());  // no figures
    EXPECT_EQ(table.TextMatrix(n + 2, 0), QStringLiteral("200.00000"));
    EXPECT_TRUE(ui(w).mnuExcel->isEnabled());
    EXPECT_TRUE(ui(w).mnuBS->isVisible() && ui(w).mnuBS->isEnabled());
    EXPECT_FALSE(w->productInputs().gInputsChanged);

    // The premium chart over the grid.
    tarvic::ChartControl& c = *ui(w).chart;
    EXPECT_TRUE(w->mChartDrawn);
    EXPECT_EQ(c.TitleText(), QStringLiteral("Premium"));
    EXPECT_EQ(c.titleFillColor(), QColor(255, 224, 192));
    const QVector<QPointF> curve = c.curvePoints(1);
    ASSERT_EQ(curve.size(), n + 1);
    EXPECT_EQ(curve[50], QPointF(100.0, 100.0));
    EXPECT_EQ(c.Axis(0).titleText(), QStringLiteral("Asset"));
    EXPECT_EQ(c.Axis(0).minimum(), 0.0);
    EXPECT_EQ(c.Axis(0).maximum(), 200.0);
    EXPECT_EQ(c.Axis(0).majorDivision(), 12);
    EXPECT_EQ(c.Axis(0).labelFormat(), QStringLiteral("#,###"));
    // The Y range is the control's own choice, readable back, around the data.
    EXPECT_TRUE(c.Axis(1).valueScaleAuto());
    EXPECT_LE(c.Axis(1).minimum(), 0.0);
    EXPECT_GE(c.Axis(1).maximum(), 400.0);
    EXPECT_EQ(w->mChartToolTip,
              QStringLiteral("Option premium. Press Ctrl+X to plot the numerical solution error."));
    EXPECT_EQ(ui(w).txtXmax->text(), QStringLiteral("200"));
    EXPECT_EQ(ui(w).txtXmin->text(), QStringLiteral("0"));
}

// A sensitivity the run did not compute shows no figures, where a zero
// would read as a value: theta of a contract whose solver's own theta is
// none (dates to watch, two exercise dates or more, an average) unless the
// theta entry asked for it, and vega unless its entry asked. Not in the
// node rows, not in the spot row (after the run, a double-click, the
// focus), not in a copy; its plot button says why instead of drawing. What
// the run computed shows as before.
TEST_F(PdeRun, ASensitivityNotComputedShowsNoFigures)
{
    struct Case {
        const char* name;
        int payoff, exercise;
        const char* periods;
        bool continuous;
        bool askTheta, askVega;
        bool theta, vega;  // the columns that hold figures
    };
    const Case cases[] = {
        {"European vanilla", 0, 0, "", false, false, false, true, false},
        {"European vanilla, vega asked", 0, 0, "", false, false, true, true, true},
        {"Bermudan vanilla of four periods", 0, 2, "4", false, false, false, false, false},
        {"Bermudan vanilla of four periods, theta asked", 0, 2, "4", false, true, false, true, false},
        {"Bermudan vanilla of one period", 0, 2, "1", false, false, false, true, false},
        {"down-and-out watched on dates", 2, 0, "4", false, false, false, false, false},
        {"down-and-out watched on dates, both asked", 2, 0, "4", false, true, true, true, true},
        {"down-and-out watched continuously", 2, 0, "4", true, false, false, true, false},
        {"fixed-strike Asian", 7, 0, "", false, false, true, false, true},
        {"fixed-strike Asian, theta asked", 7, 0, "", false, true, false, true, false},
    };
    tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
    for (const Case& c : cases) {
        typeInputs("100");
        choosePayoff(c.payoff);
        chooseExercise(c.exercise);
        ui(w).txtDownBar->setText(QStringLiteral("80"));
        ui(w).txtMonPts->setText(QString::fromLatin1(c.periods));
        ui(w).chkContMon->setChecked(c.continuous);
        ui(w).txtSmplPoints->setText(QStringLiteral("12"));
        ui(w).txtNFixed->setText(QStringLiteral("0"));
        if (c.askTheta) {
            ASSERT_TRUE(ui(w).mnuTheta->isVisible()) << c.name;
        }
        ui(w).mnuTheta->setChecked(c.askTheta);
        ui(w).mnuVega->setChecked(c.askVega);
        boxes.shown.clear();
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;

        // Empty exactly in the columns not computed, in every row shown.
        const auto expectRow = [&](int row, const char* where) {
            for (int col = 0; col < 6; ++col) {
                const bool figures = col == 4 ? c.theta : col == 5 ? c.vega : true;
                EXPECT_EQ(table.TextMatrix(row, col).isEmpty(), !figures)
                    << c.name << ", " << where << ", column " << col << ": "
                    << table.TextMatrix(row, col).toStdString();
            }
        };
        expectRow(1, "spot row");
        expectRow(2 + 10, "node row");
        expectRow(table.Rows() - 1, "last node row");
        w->MSFlexGrid1_DblClick();
        expectRow(1, "spot row after a double-click");
        w->MSFlexGrid1_GotFocus();
        expectRow(1, "spot row with the focus");
        w->MSFlexGrid1_LostFocus();

        // A copy of Gamma to Vega over two node rows: the same gaps.
        tarvic::Clipboard::Clear();
        table.setRow(11);
        table.setCol(3);
        table.selectBlock(12, 5);
        ui(w).mnuCopy->trigger();
        const QStringList copied = tarvic::Clipboard::GetText().split(QLatin1Char('\n'));
        ASSERT_EQ(copied.size(), 2) << c.name;
        for (const QString& line : copied) {
            const QStringList cells = line.split(QLatin1Char('\t'));
            ASSERT_EQ(cells.size(), 3) << c.name;
            EXPECT_FALSE(cells[0].isEmpty()) << c.name;
            EXPECT_EQ(cells[1].isEmpty(), !c.theta) << c.name << ": " << line.toStdString();
            EXPECT_EQ(cells[2].isEmpty(), !c.vega) << c.name << ": " << line.toStdString();
        }

        // The plot buttons draw what is there and say why for the rest.
        for (const int button : {3, 4}) {
            const bool figures = button == 3 ? c.theta : c.vega;
            boxes.shown.clear();
            ui(w).cmdGraph[button]->click();
            EXPECT_EQ(ui(w).chart->TitleText(),
                      figures ? QString::fromLatin1(button == 3 ? "Theta" : "Vega")
                              : QStringLiteral("Premium"))
                << c.name;
            EXPECT_EQ(boxes.shown.size(), figures ? 0 : 1) << c.name;
            w->Chart(1, 0.0);
        }
    }
    ui(w).mnuTheta->setChecked(false);
    ui(w).mnuVega->setChecked(false);
}

TEST_F(PdeRun, LargeGridsShowFourDecimalsInTheNodeRows)
{
    script(-1, 20000.0, nullptr);
    typeInputs("100");
    calculate();
    tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
    EXPECT_EQ(table.TextMatrix(2 + 100, 0), QStringLiteral("20000.0000"));
    EXPECT_EQ(table.TextMatrix(2 + 100, 2), QStringLiteral("400.00000"));
    EXPECT_EQ(table.TextMatrix(1, 0), QStringLiteral("100.00000"));
}

// A spot above the grid is priced again on a grid that reaches twice the
// spot; a grid that still ends below it (this stand-in keeps its top) moves
// the spot to the top node, and says so.
TEST_F(PdeRun, ASpotAboveTheGridIsPricedOnAWiderGrid)
{
    script(-1, 150.0, nullptr);
    typeInputs("180");
    calculate();
    EXPECT_EQ(record->calls, 2);
    EXPECT_EQ(record->args[11], 360.0);  // maxAsset of the second call
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(boxes.shown[0].text,
              lines("The asset level 180 lies above the top of the grid.",
                    "Resetting the asset level to the top of the grid, 150."));
    EXPECT_EQ(w->productInputs().gAsset, 150.0);
    EXPECT_EQ(ui(w).txtAsset->text(), QStringLiteral("150"));
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 1), QStringLiteral("225.00000"));

    // With a maximum asset value the user set below the spot, no second
    // call: the message names both levels.
    resol->ChkOverMaxS->setChecked(true);
    resol->txtMaxS->setText(QStringLiteral("250"));
    boxes.shown.clear();
    script(-1, 250.0, nullptr);
    typeInputs("400");
    calculate();
    EXPECT_EQ(record->calls, 1);
    EXPECT_EQ(record->args[11], 250.0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text,
              lines("The asset level 400 lies above the user-defined maximum asset value of 250.",
                    "Resetting the asset level to the top of the grid, 250."));
    EXPECT_EQ(ui(w).txtAsset->text(), QStringLiteral("250"));
}

// ---------------------------------------------------------------------------
// Faults of a refused, failed or interrupted run

// A grid beyond the arrays is refused; the last index of the results on
// show stays, and later spot edits read within the results.
TEST_F(PdeRun, RefusedGridKeepsTheLastResultsAndTheirIndex)
{
    typeInputs("100");
    calculate();
    ASSERT_EQ(w->mLastIndex, 100);

    script(50001, 200.0, nullptr);
    boxes.shown.clear();
    calculate();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Grid is too large."));
    EXPECT_EQ(boxes.shown[0].text,
              lines("The resolution you've entered requires a grid size of 50001 for this pricing "
                    "problem, which exceeds the maximum allowed size of 50000.",
                    "Please reduce the number of Asset Steps to Strike!"));
    EXPECT_EQ(ui(w).lblProgress->text(), QString());
    EXPECT_EQ(ui(w).lblCalcTime->text(), QString());
    ASSERT_FALSE(dialogs.modeless.isEmpty());
    EXPECT_EQ(dialogs.modeless.back(), resol);
    EXPECT_EQ(w->mLastIndex, 100);
    EXPECT_EQ(gPdeSettings.gGridSize, 100);  // the typed steps, not the refused index
    EXPECT_EQ(ui(w).MSFlexGrid1->Rows(), 103);

    // Editing the spot afterwards interpolates the results on show.
    boxes.shown.clear();
    ui(w).txtAsset->setText(QStringLiteral("150"));
    w->Interpolation();
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_NEAR(w->mSpotValue, 225.0, 1e-9);
    w->Chart(1, 0.0);
    EXPECT_EQ(ui(w).chart->curvePoints(1).size(), 101);
}

// A failing library may leave its arrays half written: the window's arrays
// and store keep the last good run.
TEST_F(PdeRun, FailureLeavesTheResultsOfTheLastGoodRun)
{
    typeInputs("100");
    calculate();
    ASSERT_EQ(w->mOptionValue[50], 100.0);
    EXPECT_NE(record->arrays[1], w->mOptionValue.data());  // the library writes scratch arrays

    script(-1, 200.0, "Solver diverged");
    boxes.shown.clear();
    ui(w).txtStrike->setText(QStringLiteral("90"));
    calculate();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Solver diverged"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("MC Option Pricer - ERROR"));
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Failed"));
    EXPECT_EQ(tarvic::foreColor(ui(w).lblProgress), 0xC0u);
    for (const std::vector<double>* a :
         {&w->mAssetGrid, &w->mOptionValue, &w->mDelta, &w->mGamma, &w->mTheta, &w->mVega})
        for (int i = 0; i <= 100; ++i)
            ASSERT_NE((*a)[static_cast<size_t>(i)], 777.0) << "entry " << i;
    EXPECT_EQ(w->mOptionValue[50], 100.0);
    EXPECT_EQ(w->mSolution[50][1], 100.0);
}

// The value at the spot uses the grid kind of the run that made the results,
// not the setting as the dialog shows it now.
TEST_F(PdeRun, SpotValueUsesTheGridKindOfTheRun)
{
    script(-1, -200.0, nullptr);  // nodes 200 (i / n)^2
    ASSERT_TRUE(resol->chkNonUniGrid->isChecked());
    typeInputs("101");
    calculate();
    EXPECT_NEAR(w->mSpotValue, 101.0 * 101.0 / 100.0, 1e-9);

    resol->chkNonUniGrid->setChecked(false);
    ASSERT_FALSE(gPdeSettings.gNonUniGrid);
    w->Interpolation();
    EXPECT_NEAR(w->mSpotValue, 101.0 * 101.0 / 100.0, 1e-9);
}

// While the library works, nothing can start or change work, and a close
// waits for the end of the run.
TEST_F(PdeRun, RunInProgressBlocksWorkAndDefersTheClose)
{
    typeInputs("100");
    calculate();
    ASSERT_TRUE(ui(w).mnuBS->isEnabled());
    QAction* f3 = nullptr;
    for (QAction* a : w->actions())
        if (a->shortcut() == QKeySequence(Qt::Key_F3))
            f3 = a;
    ASSERT_NE(f3, nullptr);

    holdCalls();
    ui(w).cmdCalc->click();
    ASSERT_TRUE(waitUntilHeld());
    EXPECT_TRUE(w->runInProgress());
    EXPECT_FALSE(ui(w).cmdCalc->isEnabled());
    EXPECT_FALSE(ui(w).Frame1->isEnabled());
    EXPECT_FALSE(ui(w).frmOptType->isEnabled());
    EXPECT_FALSE(ui(w).txtAsset->isEnabled());
    EXPECT_FALSE(ui(w).txtMonPts->isEnabled());
    for (QAction* a : {ui(w).mnuResol, ui(w).mnuVega, ui(w).mnuBS, ui(w).mnuBSGrid, ui(w).mnuExcel, f3})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    // A second Calculate and a close arrive meanwhile.
    w->cmdCalc_Click();
    w->subWindow()->close();
    EXPECT_TRUE(w->isLoaded());
    releaseCalls();
    waitForRunEnd(*w);
    EXPECT_EQ(record->calls, 2);  // the first run and this one, not the press meanwhile
    // The run ended, then the close it held back happened.
    EXPECT_FALSE(w->runInProgress());
    EXPECT_FALSE(w->isLoaded());
    EXPECT_TRUE(ui(w).cmdCalc->isEnabled());
    EXPECT_TRUE(ui(w).Frame1->isEnabled());
    EXPECT_TRUE(ui(w).mnuBS->isEnabled());
    EXPECT_TRUE(ui(w).mnuResol->isEnabled());
}

// The library call runs off the window's thread: the window repaints, its
// timers fire and it can be moved while the call is out.
TEST_F(PdeRun, TheWindowPaintsWhileTheLibraryWorks)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    typeInputs("100");
    holdCalls();
    ui(w).cmdCalc->click();
    ASSERT_TRUE(waitUntilHeld());
    ui(w).lblProgress->installEventFilter(&counter);
    bool timerFired = false;
    QTimer::singleShot(10, w, [&] { timerFired = true; });
    ui(w).lblProgress->update();
    const QPoint before = w->subWindow()->pos();
    w->subWindow()->showNormal();
    w->subWindow()->move(before + QPoint(7, 5));
    QTest::qWait(100);
    EXPECT_TRUE(callHeld());
    EXPECT_TRUE(w->runInProgress());
    EXPECT_GT(counter.paints, 0);
    EXPECT_TRUE(timerFired);
    EXPECT_EQ(w->subWindow()->pos(), before + QPoint(7, 5));
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Please wait"));
    EXPECT_EQ(tarvic::foreColor(ui(w).lblProgress), 0xC0u);
    EXPECT_EQ(ui(w).lblCalcTime->text(), QString());
    EXPECT_EQ(ui(w).lblProgress->cursor().shape(), Qt::BusyCursor);

    releaseCalls();
    waitForRunEnd(*w);
    EXPECT_EQ(ui(w).lblProgress->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_NEAR(w->mSpotValue, 100.0, 1e-9);
}

// What goes wrong in the call reaches the window as before: the library's
// text in its own box, a fault of the call through the error reporter; the
// window is ready for the next run.
TEST_F(PdeRun, FailuresOfTheCallReachTheErrorBoxes)
{
    struct Case {
        const char* failure;
        const char* text;
        const char* title;
    };
    const Case cases[] = {
        {"Solver diverged", "Solver diverged", "MC Option Pricer - ERROR"},
        {"(null)", "Error 7(Out of memory) occurred while solving for the option price",
         "PDE Solver - ERROR"},
    };
    typeInputs("100");
    for (const Case& c : cases) {
        script(-1, 200.0, c.failure);
        boxes.shown.clear();
        calculate();
        ASSERT_EQ(boxes.shown.size(), 1) << c.failure;
        EXPECT_EQ(boxes.shown[0].text, QString::fromLatin1(c.text));
        EXPECT_EQ(boxes.shown[0].title, QString::fromLatin1(c.title));
        EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Failed"));
        EXPECT_EQ(tarvic::foreColor(ui(w).lblProgress), 0xC0u);
        EXPECT_FALSE(w->runInProgress());
        EXPECT_TRUE(ui(w).cmdCalc->isEnabled());
    }
    script(-1, 200.0, nullptr);
    calculate();
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
}

// The Monte Carlo window brought to the front while the finite-difference
// run is out: the run still ends as a finite-difference run (its chart over
// the asset), and the window in front keeps its solver mode.
TEST_F(PdeRun, ARunEndsAsItsOwnSolverWhenTheOtherWindowIsInFront)
{
    dorn->mnuMCOptions->trigger();
    dorn->mnuPDEOptions->trigger();
    ASSERT_EQ(tarvic::gSolverMode, tarvic::kSolverPde);
    typeInputs("100");
    holdCalls();
    ui(w).cmdCalc->click();
    ASSERT_TRUE(waitUntilHeld());
    frmOptions& mc = *dorn->pricerMc();
    dorn->mdiArea()->setActiveSubWindow(mc.subWindow());
    QApplication::processEvents();
    ASSERT_EQ(tarvic::gSolverMode, tarvic::kSolverMc);
    releaseCalls();
    waitForRunEnd(*w);
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_EQ(ui(w).chart->Axis(0).titleText(), QStringLiteral("Asset"));
    EXPECT_EQ(ui(w).chart->Axis(0).minimum(), 0.0);
    EXPECT_EQ(ui(w).chart->Axis(0).maximum(), 200.0);
    EXPECT_EQ(tarvic::gSolverMode, tarvic::kSolverMc);
}

TEST_F(PdeRun, FocusStaysOutOfTheTableDuringARunAndComesBack)
{
    typeInputs("100");
    dorn->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    ui(w).cmdCalc->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), ui(w).cmdCalc);
    holdCalls();
    ui(w).cmdCalc->click();
    ASSERT_TRUE(waitUntilHeld());
    QTest::qWait(20);
    EXPECT_FALSE(ui(w).MSFlexGrid1->hasFocus());
    EXPECT_FALSE(w->mGridHasFocus);
    releaseCalls();
    waitForRunEnd(*w);
    EXPECT_FALSE(w->mGridHasFocus);
    EXPECT_EQ(QApplication::focusWidget(), ui(w).cmdCalc);
}

TEST_F(PdeRun, ExitDuringARunUnloadsAfterIt)
{
    typeInputs("100");
    holdCalls();
    ui(w).cmdCalc->click();
    ASSERT_TRUE(waitUntilHeld());
    ui(w).mnuExit->trigger();
    EXPECT_TRUE(w->isLoaded());
    releaseCalls();
    waitForRunEnd(*w);
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_FALSE(w->isLoaded());
}

// The program ends while a call is out: the window waits for the call
// before the arrays it writes go.
TEST_F(PdeRun, EndingTheProgramDuringARunWaitsForTheCall)
{
    typeInputs("100");
    holdCalls();
    ui(w).cmdCalc->click();
    ASSERT_TRUE(waitUntilHeld());
    dorn->close();
    EXPECT_EQ(programEnds, 1);
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        releaseCalls();
    });
    dorn.reset();  // the windows go with the main window
    releaser.join();
    EXPECT_FALSE(callHeld());
    EXPECT_EQ(record->calls, 1);
}

TEST_F(PdeRun, AsianExportMissingIsReported)
{
    tarvic::TarvicLibrary::instance().setLibraryPath(QStringLiteral(TARVIC_FAKE_LIBRARY));
    typeInputs("100");
    choosePayoff(7);
    ui(w).txtSmplPoints->setText(QStringLiteral("12"));
    ui(w).txtNFixed->setText(QStringLiteral("0"));
    calculate();
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.back().text,
              QStringLiteral("Error 453(Can't find DLL entry point VelkAsianOptionPricer in "
                             "libfake_tarvic.so) occurred while solving for the option price"));
    EXPECT_EQ(boxes.shown.back().title, QStringLiteral("PDE Solver - ERROR"));
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Failed"));
    EXPECT_FALSE(w->runInProgress());
    EXPECT_TRUE(ui(w).cmdCalc->isEnabled());
}

TEST_F(PdeRun, ZeroAssetStepsIsADivisionByZero)
{
    typeInputs("100");
    setSteps("0", "100");
    calculate();
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.back().text,
              QStringLiteral("Error 11(Division by zero) occurred while solving for the option price"));
    EXPECT_EQ(record->calls, 0);
}

}  // namespace
