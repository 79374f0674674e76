// The Monte Carlo run against a stand-in library that records its
// arguments: the input checks as the user meets them, the argument order of
// both exports, what a run shows, and the faults of a run that is refused,
// fails, or is still out while the other window goes on.
#include "pricer/run_support.h"

#include "platform/chart.h"
#include "platform/control_look.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "platform/system_services.h"

#include <QGroupBox>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <cmath>
#include <functional>
#include <vector>

namespace {

using tarvic::gMcSettings;

void text(QLineEdit* box, const char* t)
{
    box->setText(QString::fromLatin1(t));
}

std::vector<double> recordedArgs(const TvRecord& r)
{
    return std::vector<double>(r.args, r.args + r.count);
}

// ---------------------------------------------------------------------------
// The 24 input checks: message, title, focus, and whether the run goes on.

struct CheckCase {
    const char* name;
    std::function<void(frmOptions&)> setup;  // after the plain inputs
    QString message;
    const char* title;
    QWidget* (*focus)(frmOptions&);  // nullptr: not checked
    bool goesOn;
    std::function<void(frmOptions&, const TvRecord&)> after = nullptr;
};

QWidget* spotBox(frmOptions& w) { return ui(w).txtAsset; }
QWidget* strikeBox(frmOptions& w) { return ui(w).txtStrike; }
QWidget* rateBox(frmOptions& w) { return ui(w).txtIntRate; }
QWidget* dividendBox(frmOptions& w) { return ui(w).txtDiv; }
QWidget* expiryBox(frmOptions& w) { return ui(w).txtExpi; }
QWidget* volBox(frmOptions& w) { return ui(w).txtVol; }
QWidget* upBox(frmOptions& w) { return ui(w).TxtUpBar; }
QWidget* downBox(frmOptions& w) { return ui(w).txtDownBar; }
QWidget* periodsBox(frmOptions& w) { return ui(w).txtMonPts; }
QWidget* fixingsBox(frmOptions& w) { return ui(w).txtSmplPoints; }
QWidget* settledBox(frmOptions& w) { return ui(w).txtNFixed; }
QWidget* averageBox(frmOptions& w) { return ui(w).txtInitAvg; }
QWidget* monitoringBox(frmOptions& w) { return ui(w).chkContMon; }

void payoff(frmOptions& w, int index) { w.setListIndex(ui(w).cboPayoff, index); }

void barrierContract(frmOptions& w, int index, const char* up, const char* down, bool continuous)
{
    payoff(w, index);
    text(ui(w).TxtUpBar, up);
    text(ui(w).txtDownBar, down);
    text(ui(w).txtMonPts, "4");
    ui(w).chkContMon->setChecked(continuous);
}

void asianContract(frmOptions& w, int index, const char* fixings, const char* settled,
                   const char* average)
{
    payoff(w, index);
    text(ui(w).txtSmplPoints, fixings);
    text(ui(w).txtNFixed, settled);
    text(ui(w).txtInitAvg, average);
}

const QString kFirstFixing = QStringLiteral(
    "The current asset spot is always taken as the first fixing for Floating Strike Asian "
    "options. ");

const CheckCase kChecks[] = {
    {"EmptySpot", [](frmOptions& w) { text(ui(w).txtAsset, ""); },
     QStringLiteral("Please enter a non-zero initial asset level."), "Invalid input", spotBox,
     false, [](frmOptions& w, const TvRecord&) { EXPECT_TRUE(ui(w).txtAsset->text().isEmpty()); }},
    {"RateAbove50", [](frmOptions& w) { text(ui(w).txtIntRate, "50.5"); },
     QStringLiteral("Please enter an interest rate that does not exceed 50%."), "Invalid input",
     rateBox, false},
    {"DividendAbove50", [](frmOptions& w) { text(ui(w).txtDiv, "51"); },
     QStringLiteral("Please enter a dividend yield that does not exceed 50%."), "Invalid input",
     dividendBox, false},
    {"StrikeAbove10000", [](frmOptions& w) { text(ui(w).txtStrike, "10001"); },
     QStringLiteral("Please enter an option strike that does not exceed 10000."), "Invalid input",
     strikeBox, false},
    {"ZeroStrike", [](frmOptions& w) { text(ui(w).txtStrike, "0"); },
     QStringLiteral("Please enter a non-zero strike."), "Invalid input", strikeBox, false},
    {"ExpiryBeyondFiveYears", [](frmOptions& w) { text(ui(w).txtExpi, "5.01"); },
     QStringLiteral("Please enter a time to expiry between 0.0001 and 5Y."),
     "Unsupported input value", expiryBox, false},
    {"VolatilityAbove100", [](frmOptions& w) { text(ui(w).txtVol, "100.01"); },
     QStringLiteral("The volatility cannot exceed 100%. "), "Unsupported input value", volBox,
     false},
    {"VolatilityBelow3", [](frmOptions& w) { text(ui(w).txtVol, "2.99"); },
     QStringLiteral("The volatility cannot be less than 3%."), "Unsupported input value", volBox,
     false},
    {"EqualDoubleBarriers", [](frmOptions& w) { barrierContract(w, 5, "90", "90", false); },
     QStringLiteral("The up barrier must be greater than the down barrier."), "Invalid Input",
     upBox, false},
    {"EmptyDownBarrier", [](frmOptions& w) { barrierContract(w, 2, "", "", false); },
     QStringLiteral("Please enter a non-zero down barrier value."), "Invalid Input", downBox,
     false},
    {"BarrierWithoutPeriods",
     [](frmOptions& w) {
         barrierContract(w, 2, "", "80", false);
         text(ui(w).txtMonPts, "0");
     },
     QStringLiteral("There is at least one monitoring and/or exercising period (from now to "
                    "maturity). Resetting to 1."),
     "Invalid Input", periodsBox, false,
     [](frmOptions& w, const TvRecord&) { EXPECT_EQ(ui(w).txtMonPts->text(), QStringLiteral("1")); }},
    {"TooManyExercisePeriods",
     [](frmOptions& w) {
         w.setListIndex(ui(w).cboExercise, 1);
         text(ui(w).txtMonPts, "5001");
     },
     QStringLiteral("The maximum allowed number of monitoring and/or exercising periods is 5000. "
                    "Resetting to 5000."),
     "Invalid Input", periodsBox, false,
     [](frmOptions& w, const TvRecord&) {
         EXPECT_EQ(ui(w).txtMonPts->text(), QStringLiteral("5000"));
         EXPECT_EQ(ui(w).txtMonPts->cursorPosition(), 4);
     }},
    {"EmptyUpBarrier", [](frmOptions& w) { barrierContract(w, 1, "", "", false); },
     QStringLiteral("Please enter a non-zero up barrier value."), "Invalid Input", upBox, false},
    {"UpBarrierTooFar", [](frmOptions& w) { barrierContract(w, 3, "4000.5", "", false); },
     QStringLiteral("The up barrier value is too small or too large for the given option "
                    "strike."),
     "Invalid Input", upBox, false},
    {"NoFixings", [](frmOptions& w) { asianContract(w, 7, "0", "0", ""); },
     QStringLiteral("Please enter a positive number of fixings (observations)."), "Invalid Input",
     fixingsBox, false},
    {"AllFixingsSettled", [](frmOptions& w) { asianContract(w, 7, "4", "4", "100"); },
     QStringLiteral("The number of settled fixings (observations) must be less than the total "
                    "number of fixings."),
     "Invalid Input", settledBox, false},
    {"DownBarrierTooFar", [](frmOptions& w) { barrierContract(w, 4, "", "1000.5", false); },
     QStringLiteral("The down barrier value is outside the allowed range for the given strike."),
     "Invalid Input", downBox, false},
    {"KnockedOutAtTheSpot", [](frmOptions& w) { barrierContract(w, 1, "100", "", true); },
     QStringLiteral("This option is knocked-out at valuation time and continuous monitoring is "
                    "specified so it has zero value."),
     "Invalid Input", monitoringBox, false},
    // A knock-in past its barrier is alive: priced, as its vanilla, by the
    // library, with the barrier passed as it stands.
    {"KnockInAliveAtTheSpot", [](frmOptions& w) { barrierContract(w, 4, "", "110", true); },
     QStringLiteral("This knock-in option is alive at valuation time and continuous monitoring "
                    "is specified so it will be priced as a vanilla."),
     "Warning", nullptr, true,
     [](frmOptions&, const TvRecord& r) {
         EXPECT_STREQ(r.name, "VelkOptionPricerMC");
         EXPECT_EQ(r.args[2], 110.0);  // lower barrier
         EXPECT_EQ(r.args[11], 0.0);   // knock-in
     }},
    {"AverageRunningTooLong", [](frmOptions& w) { asianContract(w, 7, "12", "11", "100"); },
     QStringLiteral("The program assumes equally spaced observation(fixing)dates with an "
                    "observation period of: [Time to expiry] / [Total number of fixings - Number "
                    "of settled fixings]. In this case it implies an average that is running for "
                    "more than 10 years. Please reduce the number of settled fixings."),
     "Unsupported input value", settledBox, false},
    {"FloatingStrikeTakesTheSpotAsItsFirstFixing",
     [](frmOptions& w) { asianContract(w, 8, "12", "0", ""); },
     kFirstFixing + QStringLiteral("Resetting number of settled fixings to 1."), "Warning", nullptr,
     true,
     [](frmOptions& w, const TvRecord& r) {
         EXPECT_EQ(ui(w).txtNFixed->text(), QStringLiteral("1"));
         EXPECT_EQ(ui(w).txtInitAvg->text(), QStringLiteral("100"));
         EXPECT_STREQ(r.name, "VelkAsianOptionPricerMC");
         EXPECT_EQ(r.args[6], 11.0);  // fixings to come
         EXPECT_EQ(r.args[7], 1.0);   // settled
         EXPECT_EQ(r.args[8], 100.0); // their average
     }},
    {"FloatingStrikeAverageIsTheSpot", [](frmOptions& w) { asianContract(w, 8, "12", "1", "90"); },
     kFirstFixing + QStringLiteral("Resetting the average of settled fixings to the asset spot."),
     "Warning", nullptr, true,
     [](frmOptions& w, const TvRecord& r) {
         EXPECT_EQ(ui(w).txtInitAvg->text(), QStringLiteral("100"));
         EXPECT_EQ(r.args[8], 100.0);
     }},
    {"SettledAverageTooLow", [](frmOptions& w) { asianContract(w, 8, "12", "6", "1"); },
     QString(), "Unsupported input value", averageBox, false,
     [](frmOptions& w, const TvRecord&) {
         double lower = 0, upper = 0;
         w.GetInitAvgLimits(lower, upper);
         EXPECT_EQ(ui(w).txtInitAvg->text(), tarvic::numberText(lower));
     }},
    {"SettledAverageTooHigh", [](frmOptions& w) { asianContract(w, 8, "12", "6", "1000"); },
     QString(), "Unsupported input value", averageBox, false,
     [](frmOptions& w, const TvRecord&) {
         double lower = 0, upper = 0;
         w.GetInitAvgLimits(lower, upper);
         EXPECT_EQ(ui(w).txtInitAvg->text(), tarvic::numberText(upper));
     }},
};

class McInputChecks : public McRecordingFixture, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(McInputChecks, MessageTitleFocusAndOutcome)
{
    const CheckCase& c = GetParam();
    typeInputs();
    c.setup(*w);
    const int before = boxes.shown.size();
    calculate();
    ASSERT_GT(boxes.shown.size(), before) << "no message";
    // A run that stops shows its message last; one that goes on, first.
    const tarvic::MsgBoxRequest& box = c.goesOn ? boxes.shown[before] : boxes.shown.back();
    if (!c.message.isEmpty()) {
        EXPECT_EQ(box.text, c.message);
    } else {
        // The settled average's bounds, in whole percent of the spot.
        EXPECT_TRUE(box.text.startsWith(QStringLiteral("Based on the undelying GBM model, the "
                                                       "average of the settled fixings in this "
                                                       "case cannot be ")));
        EXPECT_TRUE(box.text.endsWith(QStringLiteral("% of the current asset level!")));
    }
    EXPECT_EQ(box.title, QString::fromLatin1(c.title));
    EXPECT_EQ(box.icon, tarvic::MsgIcon::Exclamation);
    if (c.focus) {
        EXPECT_EQ(w->focusWidget(), c.focus(*w));
    }
    EXPECT_EQ(record->calls, c.goesOn ? 1 : 0);
    EXPECT_EQ(ui(w).lblProgress->text(), c.goesOn ? QStringLiteral("Ready") : QString());
    if (c.after)
        c.after(*w, *record);
}

INSTANTIATE_TEST_SUITE_P(Table, McInputChecks, ::testing::ValuesIn(kChecks),
                         [](const ::testing::TestParamInfo<CheckCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// Argument order

class McRun : public McRecordingFixture {};

TEST_F(McRun, VanillaAndBarrierArgumentsInOrder)
{
    typeInputs("100", "95", "25", "4", "1.5", "0.75");
    w->setListIndex(ui(w).cboOptions, 1);
    barrierContract(*w, 2, "", "85", true);
    text(ui(w).txtMonPts, "12");
    chooseExercise(1);
    sobolPaths(16);
    resolMC->chkGreeks[2]->setChecked(false);  // no vega
    resolMC->optGreekMethod[1]->setChecked(true);
    resolMC->optTM[1]->setChecked(true);       // Euler
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ASSERT_EQ(record->calls, 1);
    EXPECT_STREQ(record->name, "VelkOptionPricerMC");
    // spot, strike, lower, upper, expiry, vol, rate, div, steps, type,
    // exercise, knock-out, continuous, paths, regression paths, basis,
    // Greeks, method, marching, antithetic, Sobol, warm-up, bridge, cores,
    // few blocks
    const std::vector<double> expected{100,  95, 85, 0, 0.75,  0.25,  0.04,  0.015, 12,
                                       1,    1,  1,  65535, 16, 14,   4,     1010,  2,
                                       2,    65535, 65535, 0,  65535, 65535, 65535};
    const std::vector<double> args = recordedArgs(*record);
    ASSERT_EQ(args.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_DOUBLE_EQ(args[i], expected[i]) << "argument " << i;
}

// A vanilla European has no monitoring or exercise dates: its time steps
// are the steps of each path, as many as asked, with no message; a
// Bermudan's dates stop at 5000.
TEST_F(McRun, AVanillaEuropeanTakesMoreThanFiveThousandTimeSteps)
{
    typeInputs();
    w->setListIndex(ui(w).cboExercise, 0);
    w->setListIndex(ui(w).cboPayoff, 0);
    text(ui(w).txtMonPts, "20000");
    calculate();
    EXPECT_TRUE(boxes.shown.isEmpty());
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ASSERT_EQ(record->calls, 1);
    EXPECT_EQ(record->args[8], 20000.0);  // path steps
    EXPECT_EQ(record->args[10], 0.0);     // European

    chooseExercise(1);
    text(ui(w).txtMonPts, "20000");
    calculate();
    EXPECT_EQ(record->calls, 1);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(ui(w).txtMonPts->text(), QStringLiteral("5000"));
}

TEST_F(McRun, AsianArgumentsInOrder)
{
    typeInputs("100", "105", "20", "3", "0", "1");
    asianContract(*w, 7, "12", "2", "98");
    text(ui(w).txtSmplstart, "-0.25");
    pseudoRandomPaths("20");
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ASSERT_EQ(record->calls, 1);
    EXPECT_STREQ(record->name, "VelkAsianOptionPricerMC");
    const std::vector<double> args = recordedArgs(*record);
    ASSERT_EQ(args.size(), 25u);
    // spot, strike, expiry, vol, rate, div, fixings to come, settled, their
    // average, first fixing, type, exercise, strike type, paths
    const double contract[] = {100, 105, 1, 0.2, 0.03, 0, 10, 2, 98, -0.25, 0, 0, 0, 20};
    for (size_t i = 0; i < 14; ++i)
        EXPECT_DOUBLE_EQ(args[i], contract[i]) << "argument " << i;
    // Greeks, method, marching, antithetic, Sobol, warm-up, bridge, cores,
    // few blocks (the regression arguments mean nothing for a European)
    const double settings[] = {1110, 1, 1, 65535, 0, 0, 65535, 65535, 65535};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_DOUBLE_EQ(args[16 + i], settings[i]) << "argument " << 16 + i;
}

// ---------------------------------------------------------------------------
// A successful run

TEST_F(McRun, ShowsStatusTimeTableAndConvergenceChart)
{
    std::vector<uint32_t> ticks{1000, 2500};
    size_t tick = 0;
    tarvic::setTickSource([&] { return ticks[std::min(tick++, ticks.size() - 1)]; });
    typeInputs();
    sobolPaths(12);
    calculate();
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_EQ(tarvic::foreColor(ui(w).lblProgress), 0xC000u);
    EXPECT_EQ(ui(w).lblCalcTime->text(), QStringLiteral("1.500 sec"));

    // Nine checkpoints: the final estimate first, then one row each.
    ASSERT_EQ(w->mLastIndex, 8);
    tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
    EXPECT_EQ(table.Rows(), 9 + 2);
    EXPECT_EQ(table.TextMatrix(0, 0), QStringLiteral("Paths"));
    const QStringList spotRow{"4096", "10.11111", "0.50000", "0.01000", "-0.02000", "0.30000"};
    for (int col = 0; col < 6; ++col)
        EXPECT_EQ(table.TextMatrix(1, col), spotRow[col]) << col;
    EXPECT_EQ(table.TextMatrix(2, 0), QStringLiteral("455"));  // 4096 / 9
    EXPECT_EQ(table.TextMatrix(2, 1), QStringLiteral("11.00000"));
    EXPECT_EQ(table.TextMatrix(10, 0), QStringLiteral("4096"));
    EXPECT_EQ(table.TextMatrix(10, 1), QStringLiteral("10.11111"));
    EXPECT_TRUE(ui(w).mnuExcel->isEnabled());
    EXPECT_FALSE(w->productInputs().gInputsChanged);

    // The convergence chart against the paths run, from 0.
    tarvic::ChartControl& c = *ui(w).chart;
    EXPECT_EQ(c.TitleText(), QStringLiteral("Premium"));
    const QVector<QPointF> curve = c.curvePoints(1);
    ASSERT_EQ(curve.size(), 9);
    EXPECT_EQ(curve.back(), QPointF(4096.0, 10.0 + 1.0 / 9.0));
    EXPECT_EQ(c.Axis(0).titleText(), QStringLiteral("Number of paths run"));
    EXPECT_EQ(c.Axis(0).minimum(), 0.0);
    EXPECT_EQ(c.Axis(0).maximum(), 4096.0);

    // What the run keeps of itself.
    const tarvic::RunSnapshot& run = w->lastRun();
    EXPECT_EQ(run.solver, tarvic::kSolverMc);
    EXPECT_EQ(run.mc.pathsRun, 4096);
    EXPECT_EQ(run.mc.paths, 12);
    EXPECT_EQ(run.lastIndex, 8);
    EXPECT_EQ(run.timeText, QStringLiteral("1.500 sec"));
    EXPECT_EQ(run.typed.asset, QStringLiteral("100"));
    EXPECT_EQ(run.payoffText, QStringLiteral("Vanilla"));
    EXPECT_TRUE(run.delta && run.gamma && run.theta && run.vega);

    // Pseudo-random numbers: 500 checkpoints.
    pseudoRandomPaths("20");
    calculate();
    EXPECT_EQ(table.Rows(), 500 + 2);
    EXPECT_EQ(table.TextMatrix(1, 0), QStringLiteral("20000"));
    EXPECT_EQ(table.TextMatrix(501, 0), QStringLiteral("20000"));
}

// The menu entries that depend on the contract, after a run: the error
// plot always (against a closed form or a value typed), the closed form
// where one exists.
TEST_F(McRun, MenusAfterARunFollowTheContract)
{
    struct Case {
        const char* name;
        int payoff;
        const char* up;
        const char* down;
        bool continuous;
        int exercise;
        bool closedForm;
    };
    const Case cases[] = {
        {"vanilla", 0, "", "", false, 0, true},
        {"discrete down-and-out", 2, "", "80", false, 0, false},
        {"continuous down-and-out", 2, "", "80", true, 0, true},
        {"double barrier, strike below it", 5, "130", "105", true, 0, false},
        {"Bermudan vanilla", 0, "", "", false, 1, false},
    };
    sobolPaths(12);
    for (const Case& c : cases) {
        // The spot inside any corridor; the strike below one of 105 to 130.
        typeInputs("120", "100");
        barrierContract(*w, c.payoff, c.up, c.down, c.continuous);
        chooseExercise(c.exercise);
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        EXPECT_EQ(ui(w).mnuBS->isVisible(), c.closedForm) << c.name;
        EXPECT_TRUE(ui(w).mnuBSGrid->isVisible() && ui(w).mnuBSGrid->isEnabled()) << c.name;
        EXPECT_EQ(ui(w).MSFlexGrid1->ToolTipText(),
                  c.closedForm ? QStringLiteral("Press Ctrl+A to show exact analytical solution.")
                               : QString())
            << c.name;
    }
}

// A sensitivity not ticked in the settings is not computed: its columns
// show no figures (final estimate, checkpoint rows, the table's own
// events, a copy), where the library's arrays still hold an earlier run's.
TEST_F(McRun, ASensitivityNotComputedShowsNoFigures)
{
    typeInputs();
    sobolPaths(12);
    calculate();  // every sensitivity: the arrays hold them
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    struct Case {
        const char* name;
        bool delta, vega, theta;  // ticked
    };
    const Case cases[] = {
        {"theta alone", false, false, true},
        {"delta and gamma, vega", true, true, false},
        {"none", false, false, false},
    };
    tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
    for (const Case& c : cases) {
        resolMC->chkGreeks[0]->setChecked(c.delta);
        resolMC->chkGreeks[2]->setChecked(c.vega);
        resolMC->chkGreeks[3]->setChecked(c.theta);
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        const bool figures[6] = {true, true, c.delta, c.delta, c.theta, c.vega};
        const auto expectRow = [&](int row, const char* where) {
            for (int col = 0; col < 6; ++col)
                EXPECT_EQ(table.TextMatrix(row, col).isEmpty(), !figures[col])
                    << c.name << ", " << where << ", column " << col << ": "
                    << table.TextMatrix(row, col).toStdString();
        };
        expectRow(1, "final estimate");
        expectRow(2, "first checkpoint");
        expectRow(10, "last checkpoint");
        w->MSFlexGrid1_DblClick();
        expectRow(1, "final estimate after a double-click");
        w->MSFlexGrid1_GotFocus();
        expectRow(1, "final estimate with the focus");
        w->MSFlexGrid1_LostFocus();

        tarvic::Clipboard::Clear();
        table.setRow(1);
        table.setCol(0);
        table.selectBlock(1, 5);
        ui(w).mnuCopy->trigger();
        const QStringList cells = tarvic::Clipboard::GetText().split(QLatin1Char('\t'));
        ASSERT_EQ(cells.size(), 6) << c.name;
        for (int col = 0; col < 6; ++col)
            EXPECT_EQ(cells[col].isEmpty(), !figures[col]) << c.name << ", copied column " << col;
    }
    for (QCheckBox* box : resolMC->chkGreeks)
        box->setChecked(true);
}

// The sensitivities of a knock-in priced with early exercise by likelihood
// ratio under continuous monitoring are shown in red in the spot row.
TEST_F(McRun, DoubtfulKnockInSensitivitiesAreShownInRed)
{
    typeInputs();
    sobolPaths(12);
    barrierContract(*w, 4, "", "80", true);
    tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
    for (const int exercise : {1, 0}) {
        chooseExercise(exercise);
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << exercise;
        const QColor wanted = exercise == 1 ? QColor(200, 0, 0) : QColor(0, 0, 0);
        for (int col = 2; col < 6; ++col) {
            table.setRow(1);
            table.setCol(col);
            EXPECT_EQ(table.CellForeColor(), wanted) << exercise << " column " << col;
        }
    }
}

// ---------------------------------------------------------------------------
// Refusals and failures keep what was on show

TEST_F(McRun, RefusalsAndFailuresKeepThePreviousResults)
{
    struct Case {
        const char* name;
        const char* failure;  // the stand-in's text; nullptr: the export is missing
        const char* text;
        const char* title;
    };
    const Case cases[] = {
        {"the library's refusal", "Early exercise is not available.", "Early exercise is not available.",
         "MC Option Pricer - ERROR"},
        {"no text at all", "(null)", "Error 7(Out of memory) occurred while solving for the option price",
         "Monte Carlo Solver - ERROR"},
        {"a missing export", nullptr,
         "Error 453(Can't find DLL entry point VelkAsianOptionPricerMC in libfake_tarvic.so) "
         "occurred while solving for the option price",
         "Monte Carlo Solver - ERROR"},
    };
    for (const Case& c : cases) {
        tarvic::TarvicLibrary::instance().setLibraryPath(QStringLiteral(TARVIC_RECORDING_LIBRARY));
        script(-1, 200.0, nullptr);
        choosePayoff(0);
        typeInputs();
        sobolPaths(12);
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        const QStringList lastRow{ui(w).MSFlexGrid1->TextMatrix(1, 0), ui(w).MSFlexGrid1->TextMatrix(1, 1)};

        if (c.failure) {
            script(-1, 200.0, c.failure);
        } else {
            tarvic::TarvicLibrary::instance().setLibraryPath(QStringLiteral(TARVIC_FAKE_LIBRARY));
            asianContract(*w, 7, "12", "0", "");
        }
        text(ui(w).txtStrike, "90");
        boxes.shown.clear();
        calculate();
        ASSERT_EQ(boxes.shown.size(), 1) << c.name;
        EXPECT_EQ(boxes.shown[0].text, QString::fromLatin1(c.text)) << c.name;
        EXPECT_EQ(boxes.shown[0].title, QString::fromLatin1(c.title)) << c.name;
        EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Failed")) << c.name;
        EXPECT_EQ(tarvic::foreColor(ui(w).lblProgress), 0xC0u) << c.name;
        // The window's arrays, store, table and chart are the last good
        // run's; a stand-in that scribbled over its rows reached none.
        EXPECT_EQ(w->mLastIndex, 8) << c.name;
        for (int i = 0; i <= 8; ++i)
            ASSERT_EQ(w->mOptionValue[static_cast<size_t>(i)], 10.0 + 1.0 / (i + 1)) << c.name;
        EXPECT_EQ(ui(w).MSFlexGrid1->Rows(), 11) << c.name;
        EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 0), lastRow[0]) << c.name;
        EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 1), lastRow[1]) << c.name;
        EXPECT_EQ(ui(w).chart->curvePoints(1).size(), 9) << c.name;
        EXPECT_EQ(w->lastRun().strike, 100.0) << c.name;
        EXPECT_FALSE(w->runInProgress());
        EXPECT_TRUE(ui(w).cmdCalc->isEnabled());
    }
}

// The library's row count is trusted only within the arrays: none, a
// negative count or more rows than the arrays hold refuse the run; the
// results on show stay.
TEST_F(McRun, RowCountsOutsideTheArraysAreRefused)
{
    typeInputs();
    sobolPaths(12);
    calculate();
    ASSERT_EQ(w->mLastIndex, 8);
    for (const int32_t rows : {0, -2, 50002, INT32_MAX}) {
        script(rows, 200.0, nullptr);
        boxes.shown.clear();
        calculate();
        ASSERT_EQ(boxes.shown.size(), 1) << rows;
        EXPECT_EQ(boxes.shown[0].text,
                  QStringLiteral("Error 9(Subscript out of range) occurred while solving for the "
                                 "option price"))
            << rows;
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Monte Carlo Solver - ERROR"));
        EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Failed")) << rows;
        EXPECT_EQ(w->mLastIndex, 8) << rows;
        EXPECT_EQ(ui(w).MSFlexGrid1->Rows(), 11) << rows;
        EXPECT_EQ(w->lastRun().lastIndex, 8) << rows;
    }
    // One row, and as many as the arrays hold, are results.
    script(1, 200.0, nullptr);
    boxes.shown.clear();
    calculate();
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(w->mLastIndex, 0);
    EXPECT_EQ(ui(w).MSFlexGrid1->Rows(), 3);
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 0), QStringLiteral("4096"));
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(2, 0), QStringLiteral("4096"));
    EXPECT_EQ(w->mGridStep, 4096.0);
    script(50001, 200.0, nullptr);
    calculate();
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_EQ(w->mLastIndex, 50000);
    EXPECT_EQ(ui(w).MSFlexGrid1->Rows(), 50003);
    ASSERT_EQ(boxes.shown.size(), 1);  // more points than the chart takes
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Invalid graph input"));
}

// ---------------------------------------------------------------------------
// The regression choices of an early-exercise run

// A European showing of the settings dialog empties its regression boxes;
// the next early-exercise run still sends the regression paths and basis
// functions the user chose, and shows them again.
TEST_F(McRun, EarlyExerciseRunsTakeTheStoredRegressionChoices)
{
    typeInputs();
    chooseExercise(1);
    text(ui(w).txtMonPts, "4");
    w->mnuResol_Click();
    resolMC->setListIndex(resolMC->cboBasisF, 2);  // "5"
    resolMC->Command1_Click();
    chooseExercise(0);
    w->mnuResol_Click();
    resolMC->Command1_Click();
    ASSERT_TRUE(resolMC->txtLSPaths->text().isEmpty());
    ASSERT_EQ(resolMC->cboBasisF->currentIndex(), -1);

    chooseExercise(1);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_EQ(record->args[14], 14.0);  // regression paths: 2^14
    EXPECT_EQ(record->args[15], 5.0);   // basis functions
    EXPECT_EQ(resolMC->txtLSPaths->text(), QStringLiteral("2^14"));
    EXPECT_EQ(resolMC->cboBasisF->currentText(), QStringLiteral("5"));
    EXPECT_TRUE(resolMC->txtLSPaths->isEnabled());

    // Fewer paths than regression paths (set while European): the
    // regression takes the paths, the user is told, and the paths column
    // counts what ran.
    chooseExercise(0);
    sobolPaths(12);
    chooseExercise(1);
    boxes.shown.clear();
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Invalid input parameter"));
    EXPECT_TRUE(boxes.shown[0].text.endsWith(QStringLiteral("Resetting to 4096.")));
    EXPECT_EQ(record->args[13], 12.0);
    EXPECT_EQ(record->args[14], 12.0);
    EXPECT_EQ(resolMC->txtLSPaths->text(), QStringLiteral("2^12"));
    EXPECT_EQ(resolMC->UpDownLSPow->value(), 12);
    EXPECT_EQ(gMcSettings.gLSPathsPow, 12);
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 0), QStringLiteral("4096"));
}

// ---------------------------------------------------------------------------
// Results paired with the inputs that made them

// Every edit of the user's, typed or pasted, marks the inputs changed; the
// finite-difference spot picks another spot of the same results.
TEST_F(McRun, EveryEditOfTheUsersMarksTheInputsChanged)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& pde = *dorn->pricerPde();
    frmOptions& mc = *w;
    struct Case {
        const char* name;
        frmOptions* window;
        QLineEdit* box;
        bool paste;
        bool marks;
    };
    const Case cases[] = {
        {"Monte Carlo spot typed", &mc, ui(mc).txtAsset, false, true},
        {"Monte Carlo spot pasted", &mc, ui(mc).txtAsset, true, true},
        {"Monte Carlo barrier pasted", &mc, ui(mc).TxtUpBar, true, true},
        {"finite-difference strike pasted", &pde, ui(pde).txtStrike, true, true},
        {"finite-difference settled fixings typed", &pde, ui(pde).txtNFixed, false, true},
        {"finite-difference spot typed", &pde, ui(pde).txtAsset, false, false},
    };
    for (const Case& c : cases) {
        tarvic::ProductInputs& in = c.window->productInputs();
        in.gInputsChanged = false;
        ui(*c.window).lblProgress->setText(QStringLiteral("Ready"));
        if (c.paste) {
            tarvic::Clipboard::SetText(QStringLiteral("105"));
            c.box->selectAll();
            c.box->paste();
        } else {
            QTest::keyClicks(c.box, QStringLiteral("5"));
        }
        EXPECT_EQ(in.gInputsChanged, c.marks) << c.name;
        EXPECT_EQ(ui(*c.window).lblProgress->text().isEmpty(), c.marks) << c.name;
    }
}

// A Monte Carlo estimate prices the spot of its run: after the spot is
// edited, the closed form asks for a run first.
TEST_F(McRun, TheClosedFormAfterASpotEditAsksForARun)
{
    typeInputs();
    sobolPaths(12);
    calculate();
    ui(w).mnuBS->trigger();
    ASSERT_FALSE(ui(w).frAnalytic->isHidden());
    EXPECT_EQ(record->closedCalls, 1);
    EXPECT_EQ(ui(w).lblAsset->text(), QStringLiteral("100"));

    ui(w).frAnalytic->hide();
    QTest::keyClicks(ui(w).txtAsset, QStringLiteral("5"));
    ASSERT_EQ(ui(w).txtAsset->text(), QStringLiteral("1005"));
    boxes.shown.clear();
    ui(w).mnuBS->trigger();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Please press Calculate"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Inputs have changed!"));
    EXPECT_EQ(record->closedCalls, 1);
    EXPECT_TRUE(ui(w).frAnalytic->isHidden());
}

// A Calculate that a check stops changes nothing of the results on show:
// the spot row's paths are those the last good run ran, whatever the
// shared setting holds now.
TEST_F(McRun, AStoppedRunLeavesTheResultsWithTheirOwnRun)
{
    typeInputs();
    sobolPaths(12);
    calculate();
    text(ui(w).txtStrike, "0");
    boxes.shown.clear();
    calculate();
    ASSERT_EQ(boxes.shown.size(), 1);
    ASSERT_EQ(boxes.shown[0].text, QStringLiteral("Please enter a non-zero strike."));
    EXPECT_EQ(gMcSettings.gPaths, 12);  // what the stopped run read
    w->MSFlexGrid1_DblClick();
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 0), QStringLiteral("4096"));
    w->MSFlexGrid1_GotFocus();
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 0), QStringLiteral("4096"));
    EXPECT_EQ(w->lastRun().strike, 100.0);
    EXPECT_EQ(w->lastRun().typed.strike, QStringLiteral("100"));
}

// ---------------------------------------------------------------------------
// The closed form and the error plot follow the contract of the results

TEST_F(McRun, WithoutAClosedFormTheErrorPlotAsksForAnExactValue)
{
    typeInputs();
    sobolPaths(12);
    calculate();
    ui(w).mnuBS->trigger();
    ASSERT_FALSE(ui(w).frAnalytic->isHidden());
    ASSERT_EQ(record->closedCalls, 1);

    // A double knock-out call struck below its corridor has no closed form:
    // the box goes, nothing is asked of the library.
    barrierContract(*w, 5, "130", "105", true);
    text(ui(w).txtAsset, "120");
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_TRUE(ui(w).frAnalytic->isHidden());
    EXPECT_FALSE(ui(w).mnuBS->isVisible());
    EXPECT_EQ(record->closedCalls, 1);

    // The error plot asks for the exact value, then draws against it.
    ui(w).mnuBSGrid->trigger();
    EXPECT_EQ(record->closedCalls, 1);
    EXPECT_FALSE(ui(w).frMCExact->isHidden());
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Premium"));
    ui(w).txtMCExact->setText(QStringLiteral("5"));
    ui(w).cmdMCExact->click();
    EXPECT_TRUE(ui(w).frMCExact->isHidden());
    EXPECT_EQ(w->mMCExactValue, 5.0);
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Option error"));
    const QVector<QPointF> curve = ui(w).chart->curvePoints(1);
    ASSERT_EQ(curve.size(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_DOUBLE_EQ(curve[i].y(), 10.0 + 1.0 / (i + 1) - 5.0) << i;

    // A closed form that answers "not priced" is no exact value either.
    choosePayoff(0);
    calculate();
    scriptClosedForm(-1.0);
    ui(w).mnuBSGrid->trigger();
    EXPECT_EQ(record->closedCalls, 2);
    EXPECT_EQ(w->mMCExactValue, 0.0);
    EXPECT_FALSE(ui(w).frMCExact->isHidden());
    // With a value it draws the estimate less the closed form.
    scriptClosedForm(9.5);
    ui(w).mnuBSGrid->trigger();
    EXPECT_EQ(w->mMCExactValue, 9.5);
    EXPECT_TRUE(ui(w).frMCExact->isHidden());
    EXPECT_DOUBLE_EQ(ui(w).chart->curvePoints(1)[0].y(), 11.0 - 9.5);
}

// ---------------------------------------------------------------------------
// Two windows, one set of settings

// While either window runs, neither window starts a run or opens a
// settings dialog; each run ends as its own solver, whichever window is in
// front.
TEST_F(McRun, ARunOfEitherWindowHoldsBackTheOther)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& pde = *dorn->pricerPde();
    dorn->mdiArea()->setActiveSubWindow(w->subWindow());
    QApplication::processEvents();
    ui(pde).txtAsset->setText(QStringLiteral("100"));
    ui(pde).txtStrike->setText(QStringLiteral("100"));
    ui(pde).txtVol->setText(QStringLiteral("20"));
    ui(pde).txtIntRate->setText(QStringLiteral("5"));
    ui(pde).txtExpi->setText(QStringLiteral("1"));
    typeInputs();
    sobolPaths(12);

    for (frmOptions* running : {w, &pde}) {
        frmOptions& other = running == w ? pde : *w;
        const int calls = record->calls;
        const int shown = static_cast<int>(dialogs.modal.size());
        holdCalls();
        ui(*running).cmdCalc->click();
        ASSERT_TRUE(waitUntilHeld());
        for (frmOptions* window : {running, &other}) {
            EXPECT_FALSE(ui(*window).cmdCalc->isEnabled());
            EXPECT_FALSE(ui(*window).mnuResol->isEnabled());
        }
        other.cmdCalc_Click();
        other.mnuResol_Click();
        EXPECT_EQ(static_cast<int>(dialogs.modal.size()), shown);
        // The other window comes to the front meanwhile.
        dorn->mdiArea()->setActiveSubWindow(other.subWindow());
        QApplication::processEvents();
        releaseCalls();
        waitForRunEnd(*running);
        EXPECT_EQ(record->calls, calls + 1);
        EXPECT_EQ(ui(*running).lblProgress->text(), QStringLiteral("Ready"));
        EXPECT_EQ(ui(*running).chart->Axis(0).titleText(),
                  running == w ? QStringLiteral("Number of paths run") : QStringLiteral("Asset"));
        EXPECT_EQ(tarvic::gSolverMode, other.ownSolver());
        for (frmOptions* window : {running, &other}) {
            EXPECT_TRUE(ui(*window).cmdCalc->isEnabled());
            EXPECT_TRUE(ui(*window).mnuResol->isEnabled());
        }
    }

    // A Monte Carlo failure reported while the other window is in front is
    // titled as a Monte Carlo one.
    dorn->mdiArea()->setActiveSubWindow(pde.subWindow());
    QApplication::processEvents();
    ASSERT_EQ(tarvic::gSolverMode, tarvic::kSolverPde);
    script(-1, 200.0, "(null)");
    boxes.shown.clear();
    w->cmdCalc_Click();
    waitForRunEnd(*w);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Monte Carlo Solver - ERROR"));
}

// The closed-form shortcuts reach the menus from the results table too.
TEST_F(McRun, ShortcutsFireFromTheResultsTable)
{
    dorn->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    typeInputs();
    sobolPaths(12);
    calculate();
    int closedForm = 0, errorPlot = 0;
    QObject::connect(ui(w).mnuBS, &QAction::triggered, [&] { ++closedForm; });
    QObject::connect(ui(w).mnuBSGrid, &QAction::triggered, [&] { ++errorPlot; });
    ui(w).MSFlexGrid1->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(ui(w).MSFlexGrid1->hasFocus());
    QTest::keyClick(ui(w).MSFlexGrid1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(closedForm, 1);
    QTest::keyClick(ui(w).MSFlexGrid1, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(errorPlot, 1);
}

}  // namespace
