// The finite-difference run with the real pricing library: typed inputs,
// Calculate, and what the window shows, checked against the closed forms.
#include "pricer/run_support.h"

#include "platform/chart.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "support/screenshot_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QPixmap>

#include <QRegularExpression>
#include <QChart>
#include <QAbstractAxis>
#include <QScrollBar>
#include <QItemSelectionModel>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

class RealLibraryRun : public PdeWindowFixture {
protected:
    // The closed form of the library itself, at one spot.
    static double closedForm(double spot, double strike, double rate, double div, double vol,
                             double expiry, int type)
    {
        double value = 0, delta = 0, gamma = 0, theta = 0, vega = 0;
        tarvic::TarvicLibrary::instance().VanillaBS(value, delta, gamma, theta, vega, spot,
                                                    strike, rate, div, vol, expiry, type);
        return value;
    }
};

TEST_F(RealLibraryRun, EuropeanVanillaPutMatchesTheClosedFormAtTheSpot)
{
    typeInputs("103", "100", "25", "5", "1", "1");
    w->setListIndex(ui(w).cboOptions, 1);
    setSteps("200", "200");
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << boxes.shown.size();
    const double exact = closedForm(103, 100, 0.05, 0.01, 0.25, 1, 1);
    EXPECT_NEAR(w->mSpotValue, exact, 1e-3);
    EXPECT_EQ(ui(w).MSFlexGrid1->Rows(), w->mLastIndex + 3);
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 1),
              tarvic::formatNumber(w->mSpotValue, QStringLiteral("#####0.00000")));
    EXPECT_TRUE(ui(w).lblCalcTime->text().endsWith(QStringLiteral(" sec")));
    // The curve follows the closed form along the grid away from its ends.
    const QVector<QPointF> curve = ui(w).chart->curvePoints(1);
    ASSERT_EQ(curve.size(), w->mLastIndex + 1);
    for (const QPointF& p : curve) {
        if (p.x() > 60 && p.x() < 160) {
            EXPECT_NEAR(p.y(), closedForm(p.x(), 100, 0.05, 0.01, 0.25, 1, 1), 5e-3) << p.x();
        }
    }
}

TEST_F(RealLibraryRun, OversizedGridIsRefused)
{
    typeInputs("100");
    setSteps("60000", "10");
    calculate();
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.back().title, QStringLiteral("Grid is too large."));
    EXPECT_TRUE(boxes.shown.back().text.startsWith(
        QStringLiteral("The resolution you've entered requires a grid size of ")));
    EXPECT_EQ(ui(w).lblProgress->text(), QString());
    EXPECT_EQ(w->mLastIndex, 0);
    EXPECT_EQ(w->mGridStep, 0.0);
}

// Four-point Lagrange value through nodes i-1 .. i+2 of the store.
double fourPoint(const frmOptions& w, int i, int column, double x)
{
    double sum = 0;
    for (int k = i - 1; k <= i + 2; ++k) {
        double term = w.mSolution[static_cast<size_t>(k)][static_cast<size_t>(column)];
        for (int m = i - 1; m <= i + 2; ++m)
            if (m != k)
                term *= (x - w.mSolution[static_cast<size_t>(m)][0]) /
                        (w.mSolution[static_cast<size_t>(k)][0] - w.mSolution[static_cast<size_t>(m)][0]);
        sum += term;
    }
    return sum;
}

TEST_F(RealLibraryRun, DownAndOutPutPricedAndShownWithItsChart)
{
    typeInputs("100", "100", "25", "5", "0", "1");
    w->setListIndex(ui(w).cboOptions, 1);
    choosePayoff(2);
    ASSERT_EQ(ui(w).cboPayoff->currentText(), QStringLiteral("Barrier - Down & Out"));
    ui(w).txtDownBar->setText(QStringLiteral("80"));
    ui(w).chkContMon->setChecked(true);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+\\.[0-9]{3} sec$"))
                    .match(ui(w).lblCalcTime->text())
                    .hasMatch())
        << ui(w).lblCalcTime->text().toStdString();
    const int n = w->mLastIndex;
    ASSERT_GT(n, 10);
    EXPECT_EQ(ui(w).MSFlexGrid1->Rows(), n + 3);

    // The spot row holds the four-point value through the nodes around the
    // spot (the grid is non-uniform by default).
    int i = 0;
    while (i <= n && w->mSolution[static_cast<size_t>(i)][0] < 100.0)
        ++i;
    --i;
    ASSERT_GE(i, 2);
    ASSERT_LE(i, n - 2);
    const double interpolated = fourPoint(*w, i, 1, 100.0);
    EXPECT_NEAR(w->mSpotValue, interpolated, 1e-12);
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 1),
              tarvic::formatNumber(interpolated, QStringLiteral("#####0.00000")));
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 0), QStringLiteral("100.00000"));

    // Against the closed form of the continuously monitored barrier.
    double value = 0, delta = 0, gamma = 0, theta = 0, vega = 0;
    tarvic::TarvicLibrary::instance().BarrierBS(value, delta, gamma, theta, vega, 100, 100, 0.05,
                                                0, 0.25, 1, 80, 0, 1, 1);
    EXPECT_NEAR(w->mSpotValue, value, 2e-2);

    // The premium chart over the grid, starting at the barrier.
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Premium"));
    EXPECT_EQ(ui(w).chart->curvePoints(1).size(), n + 1);
    EXPECT_EQ(ui(w).chart->Axis(0).minimum(), w->mAssetGrid[0]);
    EXPECT_NEAR(w->mAssetGrid[0], 80.0, 1e-9);
    EXPECT_EQ(ui(w).chart->Axis(0).maximum(), w->mAssetGrid[static_cast<size_t>(n)]);
    EXPECT_TRUE(ui(w).mnuBS->isVisible());  // a continuous barrier has a closed form
}

// An average of fixings moves less than the asset: the fixed-strike Asian
// call is worth less than the vanilla call, and more than nothing.
TEST_F(RealLibraryRun, FixedStrikeAsianCallLiesBelowTheVanilla)
{
    typeInputs("100", "100", "25", "5", "0", "1");
    choosePayoff(7);
    ui(w).txtSmplPoints->setText(QStringLiteral("12"));
    ui(w).txtNFixed->setText(QStringLiteral("0"));
    ui(w).txtSmplstart->setText(QStringLiteral("0.0833333"));
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"))
        << (boxes.shown.isEmpty() ? std::string() : boxes.shown.back().text.toStdString());
    EXPECT_EQ(ui(w).MSFlexGrid1->Rows(), w->mLastIndex + 3);
    const double vanilla = closedForm(100, 100, 0.05, 0, 0.25, 1, 0);
    EXPECT_GT(w->mSpotValue, 0.3 * vanilla);
    EXPECT_LT(w->mSpotValue, vanilla);
}

// The spot as the table's spot row shows it.
QStringList spotRow(const frmOptions& w)
{
    QStringList row;
    for (int col = 0; col < 6; ++col)
        row << ui(w).MSFlexGrid1->TextMatrix(1, col);
    return row;
}

// A spot above the automatic grid (which ends a few strikes up) is priced
// on a grid that covers it, and stays as typed.
TEST_F(RealLibraryRun, DeepInTheMoneySpotsArePricedWhereTheyAre)
{
    const struct {
        const char* name;
        const char* spot;
        const char* strike;  // as typed or pasted
        double K;
        int type;
        bool uniform;
    } cases[] = {
        {"call four strikes up", "400", "100", 100, 0, false},
        {"put four strikes up", "400", "100", 100, 1, false},
        {"pasted strike", "100", "9x5abc", 9, 0, false},
        {"uniform grid", "400", "100", 100, 0, true},
    };
    for (const auto& c : cases) {
        resol->chkNonUniGrid->setChecked(!c.uniform);
        typeInputs(c.spot, c.strike, "20", "5", "0", "1");
        w->setListIndex(ui(w).cboOptions, c.type);
        boxes.shown.clear();
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        EXPECT_TRUE(boxes.shown.isEmpty()) << c.name;
        const double S = QString::fromLatin1(c.spot).toDouble();
        EXPECT_EQ(ui(w).txtAsset->text(), QString::fromLatin1(c.spot)) << c.name;
        EXPECT_GE(w->mAssetGrid[static_cast<size_t>(w->mLastIndex)], 1.5 * S) << c.name;
        EXPECT_NEAR(w->mSpotValue, closedForm(S, c.K, 0.05, 0, 0.2, 1, c.type), 1e-3) << c.name;
        EXPECT_EQ(spotRow(*w)[0], tarvic::formatNumber(S, QStringLiteral("#####0.00000")));
    }

    // A down-and-out call far above its barrier and strike, against the
    // closed form of the continuously monitored barrier.
    resol->chkNonUniGrid->setChecked(true);
    w->setListIndex(ui(w).cboOptions, 0);
    choosePayoff(2);
    ui(w).txtDownBar->setText(QStringLiteral("90"));
    ui(w).chkContMon->setChecked(true);
    typeInputs("400", "100", "20", "5", "0", "1");
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    double value = 0, delta = 0, gamma = 0, theta = 0, vega = 0;
    tarvic::TarvicLibrary::instance().BarrierBS(value, delta, gamma, theta, vega, 400, 100, 0.05,
                                                0, 0.2, 1, 90, 0, 1, 0);
    EXPECT_NEAR(w->mSpotValue, value, 1e-3);
    EXPECT_EQ(ui(w).txtAsset->text(), QStringLiteral("400"));
}

// A uniform grid that reaches twice the spot needs more nodes than the
// arrays hold: the run says so and changes nothing typed.
TEST_F(RealLibraryRun, ASpotTooFarUpForTheArraysIsRefused)
{
    resol->chkNonUniGrid->setChecked(false);
    typeInputs("5000", "1", "20", "5", "0", "1");
    calculate();
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.back().title, QStringLiteral("Grid is too large."));
    EXPECT_EQ(ui(w).lblProgress->text(), QString());
    EXPECT_EQ(ui(w).txtAsset->text(), QStringLiteral("5000"));
    EXPECT_EQ(w->mLastIndex, 0);
}

// A knock-in whose spot is at or past its barrier has knocked in: the
// window shows what a vanilla run shows.
TEST_F(RealLibraryRun, KnockInsPastTheirBarrierShowTheVanilla)
{
    const struct {
        const char* name;
        int payoff;
        const char* up;
        const char* down;
        int type;
    } cases[] = {
        {"up-and-in call below its spot", 3, "90", nullptr, 0},
        {"up-and-in call on its barrier", 3, "100", nullptr, 0},
        {"down-and-in put above its spot", 4, nullptr, "110", 1},
        {"down-and-in call above its spot", 4, nullptr, "110", 0},
        {"double knock-in put above the corridor", 6, "95", "80", 1},
    };
    for (const auto& c : cases) {
        choosePayoff(0);
        w->setListIndex(ui(w).cboOptions, c.type);
        typeInputs("100", "100", "20", "5", "0", "1");
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        const QStringList vanilla = spotRow(*w);
        const double vanillaValue = w->mSpotValue;

        choosePayoff(c.payoff);
        if (c.up)
            ui(w).TxtUpBar->setText(QString::fromLatin1(c.up));
        if (c.down)
            ui(w).txtDownBar->setText(QString::fromLatin1(c.down));
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        EXPECT_EQ(ui(w).txtAsset->text(), QStringLiteral("100")) << c.name;
        EXPECT_EQ(spotRow(*w), vanilla) << c.name;
        EXPECT_EQ(w->mSpotValue, vanillaValue) << c.name;
        EXPECT_NEAR(w->mSpotValue, closedForm(100, 100, 0.05, 0, 0.2, 1, c.type), 1e-3) << c.name;
    }
}

// The maximum asset value set after a floating strike holds through the run
// and prices the spot it covers.
TEST_F(RealLibraryRun, UserMaximumAssetSetAfterAFloatingStrikeHoldsThroughTheRun)
{
    choosePayoff(8);
    choosePayoff(0);
    resol->ChkOverMaxS->setChecked(true);
    resol->txtMaxS->setText(QStringLiteral("1000"));
    resol->Command1->click();
    typeInputs("400", "100", "20", "5", "0", "1");
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_TRUE(resol->ChkOverMaxS->isChecked());
    EXPECT_EQ(resol->txtMaxS->text(), QStringLiteral("1000"));
    EXPECT_EQ(ui(w).txtAsset->text(), QStringLiteral("400"));
    EXPECT_GE(w->mAssetGrid[static_cast<size_t>(w->mLastIndex)], 1000.0);
    EXPECT_NEAR(w->mSpotValue, closedForm(400, 100, 0.05, 0, 0.2, 1, 0), 1e-3);
}

// What a pricer window keeps of its past: the chart's axes, title and
// curves, the table's selection, widths, scroll and spot row, the status
// and the contract state.
QStringList windowState(frmOptions& w)
{
    for (int turn = 0; turn < 3; ++turn)
        QApplication::processEvents();
    ui(w).chart->refresh();
    const auto num = [](double v) { return QString::number(v, 'g', 12); };
    QStringList state;
    tarvic::ChartControl& c = *ui(w).chart;
    for (int id = 0; id < 2; ++id) {
        tarvic::ChartAxis& a = c.Axis(id);
        state << a.titleText() << num(a.minimum()) << num(a.maximum()) << num(a.majorDivision())
              << a.labelFormat() << num(a.valueScaleAuto());
    }
    state << c.TitleText() << num(c.RowCount()) << num(c.ColumnCount()) << num(c.curveCount());
    for (QAbstractAxis* axis : c.qtChart()->axes())
        state << axis->titleText();
    tarvic::ResultsGrid& g = *ui(w).MSFlexGrid1;
    state << num(g.selectionModel()->hasSelection()) << num(g.currentIndex().isValid())
          << num(g.verticalScrollBar()->value()) << num(g.Rows());
    for (int col = 0; col < 6; ++col)
        state << num(g.columnWidth(col)) << g.TextMatrix(1, col);
    const tarvic::ProductInputs& in = w.productInputs();
    state << ui(w).lblProgress->text() << ui(w).lblCalcTime->text() << ui(w).txtAsset->text()
          << num(w.mContMon) << num(w.mKnockOut) << num(in.gUpBar) << num(in.gDownBar)
          << num(in.gBarrier) << num(w.mLastIndex) << num(w.mGridStep);
    return state;
}

TEST_F(RealLibraryRun, AReopenedWindowStartsAsTheFirstOneDid)
{
    const QStringList fresh = windowState(*w);
    typeInputs("100", "100", "25", "5", "0", "1");
    choosePayoff(5);
    ui(w).TxtUpBar->setText(QStringLiteral("130"));
    ui(w).txtDownBar->setText(QStringLiteral("80"));
    ui(w).chkContMon->setChecked(true);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    w->Chart(2, 0.0);
    tarvic::ResultsGrid& grid = *ui(w).MSFlexGrid1;
    grid.setRow(5);
    grid.setCol(1);
    grid.selectBlock(9, 3);
    grid.scrollToBottom();
    ASSERT_NE(windowState(*w), fresh);

    ui(w).mnuExit->trigger();
    dorn->mnuPDEOptions->trigger();
    ASSERT_TRUE(w->Visible());
    EXPECT_EQ(windowState(*w), fresh);
}

// The error curve of a European vanilla is its value less the grid closed
// form, node by node.
TEST_F(RealLibraryRun, ErrorCurveIsTheValueLessTheGridClosedForm)
{
    typeInputs("100", "100", "25", "5", "1", "1");
    w->setListIndex(ui(w).cboOptions, 1);
    setSteps("80", "80");
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ui(w).mnuBSGrid->trigger();
    const int n = w->mLastIndex;
    std::vector<double> exact(50001, 0.0);
    ASSERT_EQ(tarvic::TarvicLibrary::instance().VanillaBSGrid(w->mAssetGrid.data(), exact.data(),
                                                              100, 0.05, 0.01, 0.25, 1, 1, n),
              1.0);
    const QVector<QPointF> curve = ui(w).chart->curvePoints(1);
    ASSERT_EQ(curve.size(), n + 1);
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Option error"));
    double largest = 0.0;
    for (int i = 0; i <= n; ++i) {
        const size_t k = static_cast<size_t>(i);
        ASSERT_EQ(curve[i].y(), w->mOptionValue[k] - exact[k]) << i;
        if (w->mAssetGrid[k] > 50 && w->mAssetGrid[k] < 200)
            largest = std::max(largest, std::fabs(curve[i].y()));
    }
    EXPECT_LT(largest, 2e-2);  // a coarse grid, near the strike
}

// A reference saved from a grid that ends lower stops the error curve of a
// later run at the reference's last node.
TEST_F(RealLibraryRun, ACoarserReferenceStopsTheErrorCurveAtItsLastNode)
{
    typeInputs("100", "100", "25", "5", "0", "1");
    choosePayoff(2);
    ui(w).txtDownBar->setText(QStringLiteral("80"));
    ui(w).txtMonPts->setText(QStringLiteral("4"));
    ui(w).chkContMon->setChecked(false);
    resol->ChkOverMaxS->setChecked(true);
    resol->txtMaxS->setText(QStringLiteral("200"));
    setSteps("40", "40");
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ui(w).mnuSaveRefSol->trigger();
    const double referenceTop = w->mReference.asset.back();
    ASSERT_LT(referenceTop, 250.0);  // about the maximum asked for

    // A finer run on the automatic grid, which reaches further up.
    resol->ChkOverMaxS->setChecked(false);
    setSteps("120", "120");
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ASSERT_GT(w->mAssetGrid[static_cast<size_t>(w->mLastIndex)], referenceTop);
    ASSERT_TRUE(ui(w).mnuBSGrid->isVisible());
    ui(w).mnuBSGrid->trigger();
    const QVector<QPointF> curve = ui(w).chart->curvePoints(1);
    ASSERT_FALSE(curve.isEmpty());
    const size_t last = static_cast<size_t>(curve.size() - 1);
    EXPECT_LE(curve.back().x(), referenceTop);
    EXPECT_GT(w->mAssetGrid[last + 1], referenceTop);
    EXPECT_EQ(ui(w).chart->Axis(0).maximum(), curve.back().x());
    // The two solutions of the same contract agree closely near the spot.
    for (const QPointF& p : curve)
        if (p.x() > 90 && p.x() < 150) {
            EXPECT_LT(std::fabs(p.y()), 0.05) << p.x();
        }
}

// The table leaves theta empty exactly where the library wrote zeros in
// place of a theta (and vega where none was asked for); a Bermudan of one
// period keeps the solver's theta, and the theta entry brings it back.
TEST_F(RealLibraryRun, TheColumnsLeftEmptyAreTheOnesTheLibraryDidNotCompute)
{
    const struct {
        const char* name;
        int payoff, exercise;
        const char* periods;
        bool askTheta;
        bool theta;  // computed
    } cases[] = {
        {"European vanilla", 0, 0, "", false, true},
        {"Bermudan of four periods", 0, 2, "4", false, false},
        {"Bermudan of four periods, theta asked", 0, 2, "4", true, true},
        {"Bermudan of one period", 0, 2, "1", false, true},
        {"down-and-out watched on four dates", 2, 0, "4", false, false},
        {"fixed-strike Asian", 7, 0, "", false, false},
    };
    setSteps("40", "40");
    for (const auto& c : cases) {
        typeInputs("100", "100", "25", "5", "0", "1");
        choosePayoff(c.payoff);
        chooseExercise(c.exercise);
        ui(w).txtDownBar->setText(QStringLiteral("80"));
        ui(w).txtMonPts->setText(QString::fromLatin1(c.periods));
        ui(w).chkContMon->setChecked(false);
        ui(w).txtSmplPoints->setText(QStringLiteral("12"));
        ui(w).txtNFixed->setText(QStringLiteral("0"));
        ui(w).mnuTheta->setChecked(c.askTheta);
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        const int n = w->mLastIndex;
        const bool zeros = std::all_of(w->mTheta.begin(), w->mTheta.begin() + n + 1,
                                       [](double t) { return t == 0.0; });
        EXPECT_EQ(zeros, !c.theta) << c.name;
        const tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
        for (const int row : {1, 2 + n / 2}) {
            EXPECT_EQ(table.TextMatrix(row, 4).isEmpty(), !c.theta) << c.name << ", row " << row;
            EXPECT_TRUE(table.TextMatrix(row, 5).isEmpty()) << c.name << ", row " << row;
            EXPECT_FALSE(table.TextMatrix(row, 3).isEmpty()) << c.name << ", row " << row;
        }
    }
    ui(w).mnuTheta->setChecked(false);
}

// A picture of a priced down-and-out put with its chart for the
// documentation.
TEST_F(RealLibraryRun, ScreenshotOfAPricedDownAndOutPut)
{
    typeInputs("100", "100", "25", "5", "0", "1");
    w->setListIndex(ui(w).cboOptions, 1);
    choosePayoff(2);
    ui(w).txtDownBar->setText(QStringLiteral("80"));
    ui(w).chkContMon->setChecked(true);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    QApplication::processEvents();
    ui(w).chart->refresh();
    QApplication::processEvents();
    saveScreenshot(*dorn, QStringLiteral("priced-down-and-out-put"));
}

}  // namespace

namespace {

// Spot and strike at their largest: the asset column needs more than a
// sixth of the table, and the columns still fit it, Vega whole in view.
TEST_F(RealLibraryRun, AtTheLargestStrikeTheColumnsFitTheTable)
{
    typeInputs("10000", "10000", "20", "5", "0", "1");
    w->mnuVega_Click();
    w->mnuTheta_Click();
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    QApplication::processEvents();
    tarvic::ResultsGrid& grid = *ui(w).MSFlexGrid1;
    const QFontMetrics metrics(grid.font());
    int total = 0;
    for (int col = 0; col < 6; ++col) {
        total += grid.columnWidth(col);
        EXPECT_GT(grid.columnWidth(col), metrics.horizontalAdvance(grid.TextMatrix(1, col)))
            << grid.TextMatrix(1, col).toStdString();
    }
    EXPECT_GT(grid.columnWidth(0), grid.viewport()->width() / 6);
    EXPECT_LE(total, grid.viewport()->width());
    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
    EXPECT_LE(grid.columnViewportPosition(5) + grid.columnWidth(5), grid.viewport()->width());
    saveScreenshot(*w, QStringLiteral("pde-window-largest-strike"));
}

}  // namespace
