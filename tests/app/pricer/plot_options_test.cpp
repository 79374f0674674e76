// What the user does with the chart after a run, against the recording
// stand-in library: the plot buttons and their refusals, the plot-options
// box (its filling, the ranges it applies or refuses, Cancel), the
// exact-value box of the Monte Carlo error plot, and the chart's click,
// double-click, F4 and data tip.
#include "pricer/run_support.h"

#include "platform/chart.h"
#include "platform/number_rules.h"
#include "pricer/plot_rules.h"
#include "support/screenshot_folder.h"
#include "support/text_fit.h"

#include <QChartView>
#include <QGroupBox>
#include <QToolButton>

#include <cmath>
#include <limits>
#include <optional>

namespace {

using tarvic::ChartControl;

// The view inside the chart that takes the mouse.
QWidget* chartViewport(ChartControl& chart)
{
    return chart.findChild<QChartView*>()->viewport();
}

// The mouse over the point of a curve, as the chart draws it.
void hoverPoint(ChartControl& chart, int curve, int row)
{
    const QPointF at = chart.pointPosition(curve, row);
    QWidget* viewport = chartViewport(chart);
    QTest::mouseMove(viewport, viewport->mapFrom(&chart, at.toPoint()));
}

// A place in the plot away from every point.
QPoint emptyPlace(ChartControl& chart)
{
    const QRectF plot = chart.plotRect();
    return chartViewport(chart)->mapFrom(&chart, QPoint(static_cast<int>(plot.right()) - 3,
                                                        static_cast<int>(plot.bottom()) - 3));
}

// ---------------------------------------------------------------------------
// Rules of the box and the tip

// A gridline on zero: the first k from 5 whose step divides the top in
// whole billionths; scaled values beyond 32 bits overflow.
TEST(PlotRules, ZeroGridlineDivisions)
{
    using Outcome = tarvic::ZeroGridline::Outcome;
    const struct {
        double yMin, yMax;
        Outcome outcome;
        int divisions;
    } cases[] = {
        {-1.0, 2.0, Outcome::Divisions, 6},     // steps of 0.5
        {-0.5, 2.0, Outcome::Divisions, 5},     // steps of 0.5
        {-1.0, 1.0, Outcome::Divisions, 8},     // steps of 0.25 (0.4 and 1/3 do not divide 1)
        {-0.3, 0.7, Outcome::Divisions, 10},    // steps of 0.1
        {-30.0, 70.0, Outcome::Overflow, 0},    // 70e9 does not fit 32 bits
        {-1.0, 2.2, Outcome::Overflow, 0},      // nor does 2.2e9
        {-1e-11, 1e-11, Outcome::ZeroStep, 0},  // a step of nothing
        {0.0, 5.0, Outcome::Divisions, 0},      // no zero inside: no gridline
        {-5.0, -1.0, Outcome::Divisions, 0},
    };
    for (const auto& c : cases) {
        const tarvic::ZeroGridline g = tarvic::zeroGridlineDivisions(c.yMin, c.yMax);
        EXPECT_EQ(g.outcome, c.outcome) << c.yMin << " to " << c.yMax;
        EXPECT_EQ(g.divisions, c.divisions) << c.yMin << " to " << c.yMax;
    }
}

// The tip rounds down to eleven digits of its axis's magnitude; an axis
// without one gives no tip.
TEST(PlotRules, DataTipRoundsDownOnTheAxisScale)
{
    const auto scale = tarvic::dataTipScale(0.0, 200.0, -0.5, 20.0);
    ASSERT_TRUE(scale.has_value());
    // Up to 200: nine decimals; up to 20: ten.
    EXPECT_EQ(*tarvic::dataTipText(*scale, 1.0 / 3.0, 2.0 / 3.0, QStringLiteral("Delta"), true),
              QStringLiteral("Asset = 0.333333333  Delta = 0.6666666666"));
    EXPECT_EQ(*tarvic::dataTipText(*scale, 4096.0, -0.25, QStringLiteral("Premium"), false),
              QStringLiteral("Number of paths run= 4096  Premium = -0.25"));
    EXPECT_FALSE(tarvic::dataTipScale(0.0, 200.0, 0.0, 0.0).has_value());
    EXPECT_FALSE(tarvic::dataTipScale(0.0, 0.0, -1.0, 1.0).has_value());
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(tarvic::dataTipScale(0.0, inf, -1.0, 1.0).has_value());
    EXPECT_FALSE(tarvic::dataTipText(*scale, std::nan(""), 1.0, QString(), true).has_value());
}

// ---------------------------------------------------------------------------
// The finite-difference window: a grid from 0 to 200 in steps of 2, value
// x^2 / 100, delta x / 50, theta -x / 365.

class PlotOptions : public RecordingFixture {
protected:
    void SetUp() override
    {
        RecordingFixture::SetUp();
        typeInputs();
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
        ASSERT_EQ(w->mLastIndex, 100);
        settle();
    }

    static void settle()
    {
        for (int turn = 0; turn < 4; ++turn)
            QApplication::processEvents();
    }

    void customize() { ui(w).cmdGraph[5]->click(); }

    void typeRange(const char* xMin, const char* xMax, const char* yMin, const char* yMax)
    {
        ui(w).txtXmin->setText(QString::fromLatin1(xMin));
        ui(w).txtXmax->setText(QString::fromLatin1(xMax));
        ui(w).txtYmin->setText(QString::fromLatin1(yMin));
        ui(w).txtYmax->setText(QString::fromLatin1(yMax));
    }

    bool boxOpen() const { return !ui(w).frPlotOptions->isHidden(); }
    tarvic::ChartAxis& axis(int id) { return ui(w).chart->Axis(id); }
};

// After every drawing the boxes hold the ranges the chart shows, so an
// unchanged OK changes nothing; the box opens over the top right of the
// plot with OK as its default.
TEST_F(PlotOptions, TheBoxHoldsTheChartsRangesAfterEveryDrawing)
{
    const auto expectBoxesShowTheChart = [&](const char* drawing) {
        EXPECT_EQ(tarvic::Val(ui(w).txtXmin->text()), axis(0).minimum()) << drawing;
        EXPECT_EQ(tarvic::Val(ui(w).txtXmax->text()), axis(0).maximum()) << drawing;
        EXPECT_EQ(tarvic::Val(ui(w).txtYmin->text()), axis(1).minimum()) << drawing;
        EXPECT_EQ(tarvic::Val(ui(w).txtYmax->text()), axis(1).maximum()) << drawing;
    };
    EXPECT_EQ(ui(w).txtXmin->text(), QStringLiteral("0"));
    EXPECT_EQ(ui(w).txtXmax->text(), QStringLiteral("200"));
    EXPECT_GE(axis(1).maximum(), 400.0);
    expectBoxesShowTheChart("premium");
    ui(w).cmdGraph[1]->click();
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Delta"));
    EXPECT_LT(axis(1).maximum(), 10.0);
    expectBoxesShowTheChart("delta");

    customize();
    ASSERT_TRUE(boxOpen());
    EXPECT_TRUE(ui(w).cmdPlotOptions->hasFocus());
    EXPECT_TRUE(ui(w).cmdPlotOptions->isDefault());
    // Over the plot, near its right end, below its top, whole in the chart.
    const QRect box = ui(w).frPlotOptions->geometry();
    const QRectF plot = ui(w).chart->plotRect().translated(
        ui(w).chart->mapTo(ui(w).MSChart1, QPoint(0, 0)));
    EXPECT_TRUE(ui(w).MSChart1->rect().contains(box));
    EXPECT_NEAR(box.right(), plot.right(), 10.0);
    EXPECT_GT(box.top(), plot.top());
    EXPECT_TRUE(w->mPlotBoxPlaced);
}

// Each range typed: what the box and the chart do with it.
TEST_F(PlotOptions, RangesAppliedAndRefused)
{
    struct Case {
        const char* name;
        const char* xMin;
        const char* xMax;
        const char* yMin;
        const char* yMax;
        bool refused;
        std::optional<int> divisions;  // the Y divisions after OK (none: as before)
    };
    const Case cases[] = {
        {"X up to the last node", "0", "200", "0", "500", false, {}},
        {"X beyond the last node by 1e-11", "0", "200.00000000001", "0", "500", true, {}},
        {"X from one step below its top", "198", "200", "0", "500", false, {}},
        {"X narrower than a step", "198.5", "200", "0", "500", true, {}},
        {"X below the first node", "-1", "200", "0", "500", true, {}},
        {"Y not rising", "0", "200", "5", "5", true, {}},
        {"an empty box", "0", "200", "", "500", true, {}},
        {"a number beyond doubles", "0", "200", "0", "1e999", true, {}},
        {"Y from -1 to 2: a gridline on zero", "0", "200", "-1", "2", false, 6},
        {"Y from -30 to 70: too large for the gridline rule", "0", "200", "-30", "70", false, {}},
    };
    for (const Case& c : cases) {
        ui(w).cmdGraph[0]->click();  // a fresh drawing
        const int divisionsBefore = axis(1).majorDivision();
        customize();
        ASSERT_TRUE(boxOpen()) << c.name;
        typeRange(c.xMin, c.xMax, c.yMin, c.yMax);
        boxes.shown.clear();
        ui(w).cmdPlotOptions->click();
        if (c.refused) {
            EXPECT_TRUE(boxOpen()) << c.name;
            ASSERT_EQ(boxes.shown.size(), 1) << c.name;
            EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Please enter a valid plot range"));
            EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Invalid graph options"));
            EXPECT_TRUE(axis(1).valueScaleAuto()) << c.name;
            continue;
        }
        EXPECT_FALSE(boxOpen()) << c.name;
        EXPECT_TRUE(boxes.shown.isEmpty()) << c.name;
        EXPECT_TRUE(ui(w).cmdCalc->hasFocus()) << c.name;
        EXPECT_EQ(axis(0).minimum(), tarvic::Val(QString::fromLatin1(c.xMin))) << c.name;
        EXPECT_EQ(axis(0).maximum(), tarvic::Val(QString::fromLatin1(c.xMax))) << c.name;
        EXPECT_EQ(axis(1).minimum(), tarvic::Val(QString::fromLatin1(c.yMin))) << c.name;
        EXPECT_EQ(axis(1).maximum(), tarvic::Val(QString::fromLatin1(c.yMax))) << c.name;
        EXPECT_EQ(axis(1).majorDivision(), c.divisions.value_or(divisionsBefore)) << c.name;
    }
    // Labels by the span of X set: whole numbers over 200, tenths over 2.
    EXPECT_EQ(axis(0).labelFormat(), QStringLiteral("###0"));
    ui(w).cmdGraph[0]->click();
    customize();
    typeRange("198", "200", "0", "500");
    ui(w).cmdPlotOptions->click();
    EXPECT_EQ(axis(0).labelFormat(), QStringLiteral("###0.0"));
}

// A grid top whose fifteen-digit text would read above it (and be refused
// as beyond the results) is filled so that it reads back as itself: OK
// unchanged closes the box.
TEST_F(PlotOptions, AGridTopOfSeventeenDigitsReadsBackAsItself)
{
    const double top = 123456.78901234567;
    ASSERT_GT(tarvic::Val(tarvic::numberText(top)) - top, 1e-11);
    script(-1, top, nullptr);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ASSERT_EQ(axis(0).maximum(), top);
    EXPECT_EQ(tarvic::Val(ui(w).txtXmax->text()), top);
    customize();
    boxes.shown.clear();
    ui(w).cmdPlotOptions->click();
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_FALSE(boxOpen());
}

// The automatic range ends on round decimals, which binary arithmetic
// misses by a hair (3 x 0.05 is 0.15000000000000002): the chart ends on the
// decimal itself and the box shows it short and whole.
TEST_F(PlotOptions, TheYBoxesShowTheAutomaticRangeShortAndWhole)
{
    script(-1, 3.5, nullptr);  // premiums from 0 to 0.1225
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_EQ(axis(1).maximum(), 0.15);
    EXPECT_EQ(ui(w).txtYmax->text(), QStringLiteral("0.15"));
    EXPECT_EQ(ui(w).txtYmin->text(), QStringLiteral("0"));
    customize();
    ASSERT_TRUE(boxOpen());
    settle();
    for (const QLineEdit* box : {ui(w).txtYmin, ui(w).txtYmax})
        EXPECT_EQ(textfit::ownTextProblems(box), QStringList()) << box->text().toStdString();
    if (!qEnvironmentVariableIsEmpty("TARVIC_FIT_SHOTS"))
        saveScreenshot(*ui(w).MSChart1, QStringLiteral("plot-options-box"));
}

// A grid top that takes seventeen digits to read back as itself is longer
// than its box: the box shows its leading digits, not its last ones.
TEST_F(PlotOptions, ALongRangeEndShowsItsLeadingDigits)
{
    script(-1, 123456.78901234567, nullptr);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    customize();
    ASSERT_TRUE(boxOpen());
    settle();
    for (const QLineEdit* box : {ui(w).txtXmin, ui(w).txtXmax, ui(w).txtYmin, ui(w).txtYmax})
        EXPECT_EQ(box->cursorPosition(), 0) << box->text().toStdString();
    if (!qEnvironmentVariableIsEmpty("TARVIC_FIT_SHOTS"))
        saveScreenshot(*ui(w).MSChart1, QStringLiteral("plot-options-box-long"));
}

// The boxes are filled, checked and applied with the program's number
// rules, "." for the point whatever the locale.
TEST_F(PlotOptions, RangesReadTheSameUnderACommaLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ui(w).cmdGraph[1]->click();  // delta, from 0 to 4
    customize();
    typeRange("0", "200", "0.5", "3.5");
    ui(w).cmdPlotOptions->click();
    EXPECT_FALSE(boxOpen());
    EXPECT_EQ(axis(1).minimum(), 0.5);
    EXPECT_EQ(axis(1).maximum(), 3.5);
    // Filled from a range with a fraction (theta, from -0.55 to 0): read
    // back as shown.
    ui(w).cmdGraph[3]->click();
    ASSERT_NE(axis(1).minimum(), std::round(axis(1).minimum()));
    EXPECT_TRUE(ui(w).txtYmin->text().contains(QLatin1Char('.')));
    EXPECT_EQ(tarvic::Val(ui(w).txtYmin->text()), axis(1).minimum());
    QLocale::setDefault(before);
}

// OK without a change closes the box and leaves the chart and the box's
// place as they were (a range with an end at 0 is applied afresh, to the
// same effect); Cancel applies nothing; a new drawing fills the box afresh.
TEST_F(PlotOptions, AnUnchangedOkAndCancelLeaveTheChart)
{
    const double yMax = axis(1).maximum();
    customize();
    ui(w).cmdPlotOptions->click();
    EXPECT_FALSE(boxOpen());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(axis(0).minimum(), 0.0);
    EXPECT_EQ(axis(0).maximum(), 200.0);
    EXPECT_EQ(axis(1).maximum(), yMax);

    // A range without a 0: OK unchanged keeps the box where it stood.
    customize();
    typeRange("50", "150", "10", "300");
    ui(w).cmdPlotOptions->click();
    ASSERT_FALSE(boxOpen());
    customize();
    ASSERT_TRUE(w->mPlotBoxPlaced);
    ui(w).frPlotOptions->move(0, 0);
    ui(w).cmdPlotOptions->click();
    EXPECT_FALSE(boxOpen());
    EXPECT_TRUE(w->mPlotBoxPlaced);
    customize();
    EXPECT_EQ(ui(w).frPlotOptions->pos(), QPoint(0, 0));  // not placed again
    EXPECT_EQ(axis(1).minimum(), 10.0);

    // Cancel: nothing typed is applied.
    typeRange("60", "140", "-1", "2");
    ui(w).cmdCancelPlotOptions->click();
    EXPECT_FALSE(boxOpen());
    EXPECT_TRUE(ui(w).cmdCalc->hasFocus());
    EXPECT_EQ(axis(0).minimum(), 50.0);
    EXPECT_EQ(axis(1).minimum(), 10.0);

    // Enter in a box is OK; a new range places the box again next time.
    customize();
    typeRange("60", "140", "20", "300");
    QTest::keyClick(ui(w).txtYmax, Qt::Key_Return);
    EXPECT_FALSE(boxOpen());
    EXPECT_EQ(axis(0).minimum(), 60.0);
    EXPECT_FALSE(w->mPlotBoxPlaced);
    // A new drawing: the chart's own ranges again.
    ui(w).cmdGraph[0]->click();
    EXPECT_EQ(ui(w).txtXmin->text(), QStringLiteral("0"));
    EXPECT_TRUE(axis(1).valueScaleAuto());
    EXPECT_EQ(axis(1).maximum(), yMax);
}

// A click gives the chart the focus, a double-click opens the box; F4
// does nothing in the finite-difference window.
TEST_F(PlotOptions, DoubleClickOpensTheBox)
{
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    ChartControl& chart = *ui(w).chart;
    QWidget* viewport = chartViewport(chart);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, emptyPlace(chart));
    EXPECT_TRUE(chart.hasFocus());
    EXPECT_FALSE(boxOpen());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, emptyPlace(chart));
    EXPECT_TRUE(boxOpen());
    ui(w).cmdCancelPlotOptions->click();

    chart.setFocus();
    QTest::keyClick(&chart, Qt::Key_F4);
    EXPECT_EQ(chart.TitleText(), QStringLiteral("Premium"));
    EXPECT_FALSE(w->mMCShowValue);
}

// The tip under the mouse names the point of the curve there; elsewhere it
// is the chart's own tip.
TEST_F(PlotOptions, DataTipUnderTheMouse)
{
    ChartControl& chart = *ui(w).chart;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    hoverPoint(chart, 1, 51);  // x = 100
    EXPECT_EQ(chart.ToolTipText(), QStringLiteral("Asset = 100  Premium = 100"));
    hoverPoint(chart, 1, 12);  // x = 22
    EXPECT_EQ(chart.ToolTipText(), QStringLiteral("Asset = 22  Premium = 4.84"));
    QTest::mouseMove(chartViewport(chart), emptyPlace(chart));
    EXPECT_EQ(chart.ToolTipText(), w->mChartToolTip);
    EXPECT_EQ(chart.ToolTipText(),
              QStringLiteral("Option premium. Press Ctrl+X to plot the numerical solution error."));

    ui(w).cmdGraph[3]->click();  // theta
    hoverPoint(chart, 1, 101);   // x = 200
    EXPECT_EQ(chart.ToolTipText(), QStringLiteral("Asset = 200  Theta = ") +
                                       tarvic::numberText(std::floor(-200.0 / 365.0 * 1e11) / 1e11));
}

// An axis that gives no scale gives no tip: over a grid of nothing (X from
// 0 to 0), or a Y axis from 0 to 0, the mouse leaves the tip as it was,
// over a point as over the plot. (The chart refuses an infinite range, so
// there is no drawn point to be over; the rule of the scale covers it.)
TEST_F(PlotOptions, WithoutAScaleTheTipStaysAsItWas)
{
    ChartControl& chart = *ui(w).chart;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    const auto expectTipKept = [&](const QString& kept, int row, const char* name) {
        ASSERT_TRUE(chart.plotRect().contains(chart.pointPosition(1, row))) << name;
        hoverPoint(chart, 1, row);
        EXPECT_EQ(chart.ToolTipText(), kept) << name;
        QTest::mouseMove(chartViewport(chart), emptyPlace(chart));
        EXPECT_EQ(chart.ToolTipText(), kept) << name;
    };

    hoverPoint(chart, 1, 51);
    const QString first = QStringLiteral("Asset = 100  Premium = 100");
    ASSERT_EQ(chart.ToolTipText(), first);
    script(-1, 0.0, nullptr);  // every node at 0
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    settle();
    ASSERT_EQ(axis(0).minimum(), 0.0);
    ASSERT_EQ(axis(0).maximum(), 0.0);
    expectTipKept(first, 1, "X from 0 to 0");

    // A grid again: the tip names the point under the mouse, until the Y
    // axis is set from 0 to 0.
    script(-1, 200.0, nullptr);
    typeInputs();  // the spot went down to the top of the grid of nothing
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    settle();
    hoverPoint(chart, 1, 12);
    const QString second = QStringLiteral("Asset = 22  Premium = 4.84");
    ASSERT_EQ(chart.ToolTipText(), second);
    axis(1).setMinimum(0.0);
    axis(1).setMaximum(0.0);
    settle();
    expectTipKept(second, 2, "Y from 0 to 0");
}

// The plot buttons draw what the run on show computed, and say what it
// did not: the contract and menus of the run decide, not today's.
TEST_F(PlotOptions, PlotButtonsFollowTheRunOnShow)
{
    // A European vanilla: the solver's own theta; vega only when asked.
    ui(w).cmdGraph[3]->click();
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Theta"));
    boxes.shown.clear();
    ui(w).cmdGraph[4]->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Please enable vega calculation from the Options menu"));
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Theta"));
    ui(w).mnuVega->trigger();
    boxes.shown.clear();
    ui(w).cmdGraph[4]->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Please press calculate!"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Inputs have changed"));
    EXPECT_TRUE(ui(w).cmdCalc->hasFocus());
    calculate();
    ui(w).cmdGraph[4]->click();
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Vega"));
    EXPECT_DOUBLE_EQ(ui(w).chart->curvePoints(1)[50].y(), 10.0);  // x / 10 at 100

    // A Bermudan chosen since: the results on show still have their theta.
    chooseExercise(2);
    ui(w).cmdGraph[3]->click();
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Theta"));

    // A Bermudan run: its theta takes a solve of its own.
    ui(w).txtMonPts->setText(QStringLiteral("4"));
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    boxes.shown.clear();
    ui(w).cmdGraph[3]->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Please enable theta calculation from the Options menu"));
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Premium"));
}

// Before a run no button draws; after a drawing refused for too many
// points neither the box, nor a double-click, opens.
TEST_F(RecordingFixture, NothingToPlotBeforeARunOrAfterARefusedDrawing)
{
    for (QToolButton* button : ui(w).cmdGraph)
        button->click();
    EXPECT_EQ(ui(w).chart->TitleText(), QString());
    EXPECT_TRUE(ui(w).frPlotOptions->isHidden());
    EXPECT_TRUE(boxes.shown.isEmpty());

    typeInputs();
    script(40000, 200.0, nullptr);
    calculate();
    ASSERT_EQ(boxes.shown.back().text, QStringLiteral("Too many data points, unable to draw the graph!"));
    ui(w).cmdGraph[5]->click();
    w->MSChart1_DblClick();
    EXPECT_TRUE(ui(w).frPlotOptions->isHidden());
}

// ---------------------------------------------------------------------------
// The Monte Carlo window: nine Sobol rows of 10 + 1 / (i + 1) over 4096
// paths.

class McPlot : public McRecordingFixture {
protected:
    void SetUp() override
    {
        McRecordingFixture::SetUp();
        typeInputs();
        sobolPaths(12);
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    }
};

// F4 on the chart turns the error plot over: the error, then the estimate
// with the exact value, and back. Over the exact value's line the tip
// names that line's point.
TEST_F(McPlot, F4AlternatesTheViewsOfTheErrorPlot)
{
    scriptClosedForm(10.5);
    ui(w).mnuBSGrid->trigger();
    ChartControl& chart = *ui(w).chart;
    ASSERT_EQ(chart.TitleText(), QStringLiteral("Option error"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    QTest::mouseClick(chartViewport(chart), Qt::LeftButton, {}, emptyPlace(chart));
    ASSERT_TRUE(chart.hasFocus());
    const char* const views[] = {"Premium", "Option error", "Premium"};
    for (const char* view : views) {
        QTest::keyClick(&chart, Qt::Key_F4);
        EXPECT_EQ(chart.TitleText(), QString::fromLatin1(view));
        // The estimate with the exact value's line, or the error alone.
        EXPECT_EQ(chart.curvePoints(2).size(), QString::fromLatin1(view) == QLatin1String("Premium") ? 9 : 0);
    }
    EXPECT_EQ(w->mChartToolTip, QStringLiteral("Option value. Select the chart and press F4 on graph "
                                               "to see numerical solution error"));
    QApplication::processEvents();
    hoverPoint(chart, 2, 9);
    EXPECT_EQ(chart.ToolTipText(), QStringLiteral("Number of paths run= 4096  Premium = 10.5"));
    hoverPoint(chart, 1, 9);
    EXPECT_EQ(chart.ToolTipText(), QStringLiteral("Number of paths run= 4096  Premium = ") +
                                       tarvic::numberText(std::floor((10.0 + 1.0 / 9.0) * 1e10) / 1e10));
}

// Without a closed form the exact-value box opens over the plot; a price
// of 0 or less keeps it open; a click on the chart puts it away.
TEST_F(McPlot, TheExactValueBoxTakesOnlyAPrice)
{
    choosePayoff(2);
    ui(w).txtDownBar->setText(QStringLiteral("80"));
    ui(w).txtMonPts->setText(QStringLiteral("4"));
    ui(w).chkContMon->setChecked(false);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ui(w).mnuBSGrid->trigger();
    QGroupBox& box = *ui(w).frMCExact;
    ASSERT_FALSE(box.isHidden());
    EXPECT_TRUE(ui(w).MSChart1->rect().contains(box.geometry()));
    EXPECT_TRUE(w->mExactBoxPlaced);

    for (const char* typed : {"0", "", "-3", "0.0"}) {
        ui(w).txtMCExact->setText(QString::fromLatin1(typed));
        const int beeps = boxes.beeps;
        ui(w).cmdMCExact->click();
        EXPECT_FALSE(box.isHidden()) << typed;
        EXPECT_EQ(boxes.beeps, beeps + 1) << typed;
        EXPECT_EQ(w->mMCExactValue, 0.0) << typed;
        EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Premium")) << typed;
    }
    // A click on the chart puts the box away; asking again brings it back.
    w->MSChart1_Click();
    EXPECT_TRUE(box.isHidden());
    ui(w).mnuBSGrid->trigger();
    ASSERT_FALSE(box.isHidden());
    ui(w).txtMCExact->setText(QStringLiteral("10.25"));
    ui(w).cmdMCExact->click();
    EXPECT_TRUE(box.isHidden());
    EXPECT_EQ(w->mMCExactValue, 10.25);
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Option error"));
}

// A Monte Carlo sensitivity that the run did not compute is not drawn as
// zeros: the window says so.
TEST_F(McPlot, ASensitivityNotComputedIsNotDrawn)
{
    resolMC->chkGreeks[3]->setChecked(false);  // no theta
    calculate();
    ui(w).cmdGraph[1]->click();
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Delta"));
    boxes.shown.clear();
    ui(w).cmdGraph[3]->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("Theta was not calculated by the last run.")));
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Delta"));
    // Ticked again: still the run on show's answer until Calculate.
    resolMC->chkGreeks[3]->setChecked(true);
    ui(w).cmdGraph[3]->click();
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Delta"));
    calculate();
    ui(w).cmdGraph[3]->click();
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Theta"));
    // The X axis of a convergence chart starts at 0; the box holds the
    // first and last checkpoints.
    EXPECT_EQ(ui(w).chart->Axis(0).minimum(), 0.0);
    EXPECT_EQ(tarvic::Val(ui(w).txtXmin->text()), 4096.0 / 9.0);
    EXPECT_EQ(ui(w).txtXmax->text(), QStringLiteral("4096"));
}

}  // namespace
