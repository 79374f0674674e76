// The solution store and the value at the spot, filled by hand: the
// clean-up rules of the store, the four-point and linear interpolation, the
// barrier and grid-top cases, and the results table's own events.
#include "pricer/run_support.h"

#include "platform/results_grid.h"
#include "settings/frmResolMC.h"

#include "platform/chart.h"

#include <QChart>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QMenu>
#include <QSignalBlocker>

#include <cmath>

namespace {

class SolutionStore : public PdeWindowFixture {
protected:
    // A solution on nodes x(i), value x^2 / 100, delta x / 50, gamma 0.02,
    // theta -x, vega x / 10.
    void storeGrid(int n, bool uniform)
    {
        for (int i = 0; i <= n; ++i) {
            const double u = static_cast<double>(i) / n;
            const double x = uniform ? 200.0 * u : 200.0 * u * u;
            w->mSolution[static_cast<size_t>(i)] = {x, x * x / 100, x / 50, 0.02, -x, x / 10, 0};
        }
        w->mLastIndex = n;
        w->mGridStep = w->mSolution[2][0] - w->mSolution[1][0];
        w->mResultsNonUniGrid = !uniform;
    }

    void setPayoffQuietly(int index)
    {
        const QSignalBlocker quiet(ui(w).cboPayoff);
        ui(w).cboPayoff->setCurrentIndex(index);
    }

    std::array<double, 5> spot() const
    {
        return {w->mSpotValue, w->mSpotDelta, w->mSpotGamma, w->mSpotTheta, w->mSpotVega};
    }
};

TEST_F(SolutionStore, ResultsCleanTinyNumbersAndLeaveVegaOutWhenNotAsked)
{
    w->mLastIndex = 4;
    w->mAssetGrid[0] = 3e-15;
    w->mAssetGrid[1] = 1;
    w->mOptionValue[1] = 5e-15;
    w->mOptionValue[2] = -5e-15;
    w->mOptionValue[3] = -2e-14;
    w->mGamma[1] = -5e-9;
    w->mGamma[2] = -2e-8;
    w->mVega[1] = 7;
    w->mCalcVega = false;
    w->Results();
    EXPECT_EQ(w->mAssetGrid[0], 0.0);
    EXPECT_EQ(w->mSolution[0][0], 0.0);
    EXPECT_EQ(w->mOptionValue[1], 0.0);
    EXPECT_EQ(w->mSolution[1][1], 0.0);
    EXPECT_EQ(w->mSolution[2][1], 0.0);
    EXPECT_EQ(w->mSolution[3][1], -2e-14);
    EXPECT_EQ(w->mSolution[1][3], 0.0);
    EXPECT_EQ(w->mGamma[1], -5e-9);  // the array keeps it
    EXPECT_EQ(w->mSolution[2][3], -2e-8);
    EXPECT_EQ(w->mSolution[1][5], 0.0);

    w->mAssetGrid[0] = -1e-16;
    w->mCalcVega = true;
    w->Results();
    EXPECT_EQ(w->mAssetGrid[0], 0.0);
    EXPECT_EQ(w->mSolution[1][5], 7.0);
}

TEST_F(SolutionStore, SpotFiguresByCase)
{
    struct Case {
        const char* name;
        int payoff;
        bool barrier, continuous;
        double up, down, spot;
        bool uniform;
        bool knockedInRun;  // the results are the vanilla of a knocked-in knock-in
        std::array<double, 5> expected;
        bool priced;  // the figures stand for the spot
    };
    const double s = 101;
    const std::array<double, 5> exact{s * s / 100, s / 50, 0.02, -s, s / 10};
    const std::array<double, 5> zero{0, 0, 0, 0, 0};
    const Case cases[] = {
        {"interior, four-point exact on a quadratic", 0, false, false, 0, 0, s, true, false, exact, true},
        {"interior, non-uniform nodes", 0, false, false, 0, 0, s, false, false, exact, true},
        {"first interval is linear", 0, false, false, 0, 0, 1, true, false, {0.02, 0.02, 0.02, -1, 0.1}, true},
        {"top node exactly", 0, false, false, 0, 0, 200, true, false, {400, 4, 0.02, -200, 20}, true},
        {"above the grid prices nothing", 0, false, false, 0, 0, 5000, true, false, zero, false},
        {"no spot prices nothing", 0, false, false, 0, 0, 0, true, false, zero, false},
        {"up-and-out crossed is worth nothing", 1, true, true, 100, 0, s, true, false, zero, true},
        {"double knock-out crossed below", 5, true, true, 150, 110, s, true, false, zero, true},
        {"up-and-in crossed is the vanilla, not held here", 3, true, true, 100, 0, s, true, false, zero, false},
        {"down-and-in crossed likewise", 4, true, true, 0, 120, s, true, false, zero, false},
        {"double knock-in crossed above", 6, true, true, 100, 50, s, true, false, zero, false},
        {"knocked-in vanilla, spot still past the barrier", 3, true, true, 90, 0, s, true, true, exact, true},
        {"knocked-in vanilla, spot back inside", 4, true, true, 0, 90, s, true, true, zero, false},
        {"on the barrier is not zeroed", 1, true, true, 101, 0, s, true, false, exact, true},
        {"discrete monitoring is not zeroed", 1, true, false, 100, 0, s, true, false, exact, true},
    };
    for (const Case& c : cases) {
        storeGrid(100, c.uniform);
        setPayoffQuietly(c.payoff);
        tarvic::ProductInputs& in = w->productInputs();
        in.gBarrier = c.barrier;
        w->mContMon = c.continuous;
        in.gUpBar = c.up;
        in.gDownBar = c.down;
        in.gAsset = c.spot;
        w->mResultsKnockedIn = c.knockedInRun;
        w->mSpotValue = w->mSpotDelta = w->mSpotGamma = w->mSpotTheta = w->mSpotVega = -99;
        w->Interpolation();
        const auto got = spot();
        for (size_t k = 0; k < 5; ++k)
            EXPECT_NEAR(got[k], c.expected[k], 1e-9) << c.name << ", figure " << k;
        EXPECT_EQ(w->mSpotOutsideResults, !c.priced) << c.name;
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(SolutionStore, ZeroSpacingOnAUniformGridIsReported)
{
    storeGrid(10, true);
    w->mGridStep = 0;
    w->productInputs().gAsset = 50;
    w->Interpolation();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Error 11(Division by zero) occurred while interpolating"));
}

TEST_F(SolutionStore, TableEventsShowMoreDigitsOfTheSpotRow)
{
    storeGrid(100, true);
    w->productInputs().gAsset = 101;
    w->Interpolation();
    tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
    w->MSFlexGrid1_DblClick();
    EXPECT_EQ(table.TextMatrix(1, 0), QStringLiteral("101.00000000"));
    EXPECT_EQ(table.TextMatrix(1, 1), QStringLiteral("102.010000000"));
    EXPECT_EQ(table.TextMatrix(1, 2), QStringLiteral("2.02000000"));
    EXPECT_FALSE(w->mGridHasFocus);

    // A right click before the table had the focus opens nothing.
    w->MSFlexGrid1_MouseDown(2, 0, 10, 10);
    EXPECT_FALSE(ui(w).mnuCC->isVisible());

    w->MSFlexGrid1_GotFocus();
    EXPECT_TRUE(w->mGridHasFocus);
    EXPECT_EQ(table.TextMatrix(1, 1), QStringLiteral("102.010000"));
    EXPECT_EQ(table.TextMatrix(1, 3), QStringLiteral("0.020000"));
    w->MSFlexGrid1_MouseDown(1, 0, 10, 10);
    EXPECT_FALSE(ui(w).mnuCC->isVisible());
    w->MSFlexGrid1_MouseDown(2, 0, 10, 10);
    EXPECT_TRUE(ui(w).mnuCC->isVisible());
    ui(w).mnuCC->hide();
    w->MSFlexGrid1_LostFocus();
    EXPECT_FALSE(w->mGridHasFocus);
}

TEST_F(SolutionStore, ChartKindsTitlesReferenceLineAndThePointLimit)
{
    storeGrid(100, true);
    for (int i = 0; i <= 100; ++i)
        w->mAssetGrid[static_cast<size_t>(i)] = w->mSolution[static_cast<size_t>(i)][0];
    tarvic::ChartControl& c = *ui(w).chart;

    w->Chart(4, 0.0);
    EXPECT_EQ(c.TitleText(), QStringLiteral("Theta"));
    EXPECT_EQ(c.titleFillColor(), QColor(192, 0, 0));
    EXPECT_EQ(w->mChartToolTip, QStringLiteral("Theta"));
    EXPECT_EQ(c.curvePoints(1)[100], QPointF(200, -200));
    EXPECT_EQ(c.curveCount(), 2);
    EXPECT_TRUE(c.curvePoints(2).isEmpty());  // no reference line

    w->Chart(6, 2.5);
    EXPECT_EQ(c.TitleText(), QStringLiteral("Option error"));
    EXPECT_EQ(w->mChartToolTip, QStringLiteral("Option premium numerical solution error"));
    const QVector<QPointF> line = c.curvePoints(2);
    ASSERT_EQ(line.size(), 101);
    EXPECT_EQ(line[0], QPointF(0, 2.5));
    EXPECT_EQ(line[100], QPointF(200, 2.5));

    // An early-exercise premium has no closed form to compare with.
    ui(w).mnuBSGrid->setVisible(true);
    w->mEarlyExercise = true;
    w->Chart(1, 0.0);
    EXPECT_EQ(w->mChartToolTip, QStringLiteral("Option premium"));
    w->mEarlyExercise = false;

    // A convergence chart, the Monte Carlo window's, counts paths from 0
    // whichever window is in front.
    {
        dorn->mnuMCOptions->trigger();
        dorn->mnuPDEOptions->trigger();
        ASSERT_EQ(tarvic::gSolverMode, tarvic::kSolverPde);
        frmOptions& mc = *dorn->pricerMc();
        mc.mSolution = w->mSolution;
        mc.mAssetGrid = w->mAssetGrid;
        mc.mLastIndex = 100;
        mc.Chart(2, 0.0);
        tarvic::ChartControl& paths = *ui(mc).chart;
        EXPECT_EQ(paths.Axis(0).titleText(), QStringLiteral("Number of paths run"));
        EXPECT_EQ(paths.Axis(0).minimum(), 0.0);
        EXPECT_EQ(paths.Axis(0).maximum(), 200.0);
        EXPECT_NE(paths.Axis(0).majorDivision(), 12);
        EXPECT_EQ(paths.TitleText(), QStringLiteral("Delta"));
    }

    // 32767 points are drawn; one more is refused.
    w->mLastIndex = 32766;
    w->Chart(1, 0.0);
    EXPECT_TRUE(w->mChartDrawn);
    EXPECT_EQ(c.RowCount(), 32767);
    w->mLastIndex = 32767;
    w->Chart(1, 0.0);
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("Too many data points, unable to draw the graph!"));
    EXPECT_EQ(boxes.shown.back().title, QStringLiteral("Invalid graph input"));
    EXPECT_FALSE(w->mChartDrawn);
    EXPECT_EQ(c.RowCount(), 0);
    EXPECT_EQ(c.TitleText(), QString());
    EXPECT_EQ(w->mChartToolTip, QString());
}

// The X labels of a drawn chart as Qt Charts renders them: the visible text
// items below the plot area, the axis title left out.
QStringList renderedLabelsX(tarvic::ChartControl& c)
{
    QChart* chart = c.qtChart();
    const QRectF plot = chart->mapToScene(chart->plotArea()).boundingRect();
    QStringList labels;
    for (QGraphicsItem* item : chart->scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (!text || !text->isVisible() || text->sceneBoundingRect().top() < plot.bottom())
            continue;
        if (text->toPlainText() != c.Axis(0).titleText())
            labels << text->toPlainText();
    }
    return labels;
}

TEST_F(SolutionStore, ChartAxisLabelsAreWholeOverEveryRange)
{
    const struct {
        const char* name;
        double lower, upper;
        int mode;
    } ranges[] = {
        {"double knock-out 80 to 130", 80, 130, tarvic::kSolverPde},
        {"strike 100", 0, 300, tarvic::kSolverPde},
        {"strike 1000", 0, 3000, tarvic::kSolverPde},
        {"strike 10000", 0, 36000, tarvic::kSolverPde},
        {"span of a tenth", 99.95, 100.05, tarvic::kSolverPde},
        {"span of a tenth above 1000", 1999.95, 2000.05, tarvic::kSolverPde},
        {"span of five", 97.5, 102.5, tarvic::kSolverPde},
        {"millions", 0, 5e6, tarvic::kSolverPde},
        {"billions", 0, 4e9, tarvic::kSolverPde},
        {"paths run", 0, 1073741824.0, tarvic::kSolverMc},
    };
    for (const auto& r : ranges) {
        const int n = 200;
        for (int i = 0; i <= n; ++i) {
            const double x = r.lower + (r.upper - r.lower) * i / n;
            w->mSolution[static_cast<size_t>(i)] = {x, std::sin(i / 30.0), 0, 0, 0, 0, 0};
            w->mAssetGrid[static_cast<size_t>(i)] = x;
        }
        w->mLastIndex = n;
        tarvic::gSolverMode = r.mode;
        w->Chart(1, 0.0);
        tarvic::gSolverMode = tarvic::kSolverPde;
        ui(w).chart->refresh();
        for (int turn = 0; turn < 3; ++turn)
            QApplication::processEvents();

        const QStringList labels = renderedLabelsX(*ui(w).chart);
        EXPECT_GE(labels.size(), 2) << r.name;
        for (const QString& label : labels) {
            EXPECT_FALSE(label.contains(QStringLiteral("...")) || label.contains(QChar(0x2026)))
                << r.name << ": " << label.toStdString();
            bool number = false;
            label.toDouble(&number);
            EXPECT_TRUE(number) << r.name << ": " << label.toStdString();
        }
    }
}

}  // namespace

namespace {

// The Monte Carlo store: one row per checkpoint against the paths run.
class MonteCarloStore : public AppFixture {};

TEST_F(MonteCarloStore, RowsAgainstPathsRunWithTheSensitivitiesTicked)
{
    dorn->mnuMCOptions->trigger();
    frmOptions& mc = gFrmMC();
    frmResolMC& settings = gFrmResolMC(&mc);
    struct Case {
        bool sobol;
        int32_t paths;
        bool delta, theta, vega;
        double pathsRun;
    };
    const Case cases[] = {
        {true, 19, true, true, true, 524288.0},
        {false, 50, false, true, false, 50000.0},
    };
    for (const Case& c : cases) {
        tarvic::gMcSettings.gSobol = c.sobol;
        tarvic::gMcSettings.gPaths = c.paths;
        settings.chkGreeks[0]->setChecked(c.delta);
        settings.chkGreeks[3]->setChecked(c.theta);
        settings.chkGreeks[2]->setChecked(c.vega);
        for (size_t i = 0; i < 9; ++i) {
            mc.mOptionValue[i] = 10.0 + static_cast<double>(i);
            mc.mDelta[i] = 0.5;
            mc.mGamma[i] = 0.01;
            mc.mTheta[i] = -0.02;
            mc.mVega[i] = 0.3;
        }
        mc.mLastIndex = 9;  // the row count written by the export
        mc.ResultsMC();
        EXPECT_EQ(tarvic::gMcSettings.gPaths, static_cast<int32_t>(c.pathsRun));
        ASSERT_EQ(mc.mLastIndex, 8);
        EXPECT_NEAR(mc.mSolution[0][0], c.pathsRun / 9, 1e-9);
        EXPECT_EQ(mc.mSolution[8][0], c.pathsRun);
        EXPECT_EQ(mc.mSolution[8][1], 18.0);
        EXPECT_EQ(mc.mSolution[3][2], c.delta ? 0.5 : 0.0);
        EXPECT_EQ(mc.mSolution[3][3], c.delta ? 0.01 : 0.0);
        EXPECT_EQ(mc.mSolution[3][4], c.theta ? -0.02 : 0.0);
        EXPECT_EQ(mc.mSolution[3][5], c.vega ? 0.3 : 0.0);
        EXPECT_EQ(mc.mSpotValue, 18.0);
        EXPECT_EQ(mc.mSpotDelta, c.delta ? 0.5 : 0.0);
        EXPECT_NEAR(mc.mGridStep, c.pathsRun / 9, 1e-6);
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

}  // namespace
