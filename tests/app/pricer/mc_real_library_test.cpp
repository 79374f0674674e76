// The Monte Carlo run with the real pricing library, at small path counts:
// typed inputs, Calculate, and what the window shows, checked against the
// closed forms and the finite-difference solvers within the run's own
// statistical error.
#include "pricer/run_support.h"

#include "platform/chart.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "support/screenshot_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QPixmap>

#include <cmath>
#include <functional>
#include <vector>

namespace {

struct Exact {
    double value = 0, delta = 0, gamma = 0, theta = 0, vega = 0;
};

Exact vanillaBS(double spot, double strike, double rate, double div, double vol, double expiry,
                int type)
{
    Exact e;
    tarvic::TarvicLibrary::instance().VanillaBS(e.value, e.delta, e.gamma, e.theta, e.vega, spot,
                                                strike, rate, div, vol, expiry, type);
    return e;
}

// Whether the library in use has an export of this name.
bool libraryExports(const char* name)
{
    const QByteArray path = QFile::encodeName(tarvic::TarvicLibrary::instance().libraryPath());
    void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return false;
    const bool found = dlsym(handle, name) != nullptr;
    dlclose(handle);
    return found;
}

// The finite-difference value at the spot on a fine uniform grid: a
// Bermudan vanilla, or an Asian on the average of its fixings.
double finiteDifferenceAt(double spot, const std::function<QString(double*, int32_t&)>& solve)
{
    std::vector<double> a(6 * 50001, 0.0);
    int32_t n = 400;  // asset steps to the strike in, last node out
    const QString text = solve(a.data(), n);
    EXPECT_TRUE(text.isEmpty()) << text.toStdString();
    const double* grid = a.data();
    const double* value = a.data() + 50001;
    int32_t i = 0;
    while (i < n - 1 && grid[i + 1] < spot)
        ++i;
    const double w = (spot - grid[i]) / (grid[i + 1] - grid[i]);
    return (1.0 - w) * value[i] + w * value[i + 1];
}

class McRealLibrary : public McWindowFixture {
protected:
    // The standard error of the final estimate, from the block means that
    // the running estimates imply (row i: the estimate over the first
    // paths(i) paths).
    double standardError() const
    {
        const int32_t n = w->mLastIndex;
        std::vector<double> means;
        double paths = 0.0, sum = 0.0;
        for (int32_t i = 0; i <= n; ++i) {
            const auto& row = w->mSolution[static_cast<size_t>(i)];
            const double blockSum = row[0] * row[1] - sum;
            means.push_back(blockSum / (row[0] - paths));
            paths = row[0];
            sum = row[0] * row[1];
        }
        double mean = 0.0;
        for (double m : means)
            mean += m;
        mean /= static_cast<double>(means.size());
        double squares = 0.0;
        for (double m : means)
            squares += (m - mean) * (m - mean);
        const double k = static_cast<double>(means.size());
        return std::sqrt(squares / (k - 1.0) / k);
    }
    double estimate() const { return w->mSpotValue; }

    // Calculate, then the run's state: "Ready", or the library's refusal.
    QString runOrRefusal()
    {
        boxes.shown.clear();
        calculate();
        if (ui(w).lblProgress->text() == QLatin1String("Ready"))
            return QString();
        return boxes.shown.isEmpty() ? ui(w).lblProgress->text() : boxes.shown.back().text;
    }
};

// A European vanilla call at small pseudo-random and Sobol path counts,
// and a continuously monitored knock-out, against their closed forms.
TEST_F(McRealLibrary, EuropeanRunsConvergeToTheClosedForms)
{
    struct Case {
        const char* name;
        bool sobol;
        const char* paths;  // thousands, or the Sobol exponent
        int payoff;
    };
    const Case cases[] = {
        {"pseudo-random vanilla call", false, "20", 0},
        {"Sobol vanilla call", true, "12", 0},
        {"pseudo-random down-and-out call", false, "20", 2},
    };
    for (const Case& c : cases) {
        typeInputs("100", "100", "20", "5", "0", "1");
        choosePayoff(c.payoff);
        if (c.payoff == 2) {
            ui(w).txtDownBar->setText(QStringLiteral("90"));
            ui(w).txtMonPts->setText(QStringLiteral("4"));
            ui(w).chkContMon->setChecked(true);
        }
        if (c.sobol)
            sobolPaths(QString::fromLatin1(c.paths).toInt());
        else
            pseudoRandomPaths(c.paths);
        ASSERT_EQ(runOrRefusal(), QString()) << c.name;

        // The table: the final estimate first, as the last checkpoint shows it.
        const int32_t rows = w->mLastIndex + 1;
        tarvic::ResultsGrid& table = *ui(w).MSFlexGrid1;
        ASSERT_EQ(table.Rows(), rows + 2) << c.name;
        for (int col = 0; col < 6; ++col)
            EXPECT_EQ(table.TextMatrix(1, col), table.TextMatrix(rows + 1, col)) << c.name;
        const int64_t pathsRun = w->lastRun().mc.pathsRun;
        EXPECT_EQ(pathsRun, c.sobol ? 4096 : 20000) << c.name;
        EXPECT_EQ(table.TextMatrix(1, 0), QString::number(pathsRun)) << c.name;
        // The chart counts the paths run from 0.
        EXPECT_EQ(ui(w).chart->Axis(0).minimum(), 0.0) << c.name;
        EXPECT_EQ(ui(w).chart->Axis(0).maximum(), static_cast<double>(pathsRun)) << c.name;
        EXPECT_EQ(ui(w).chart->curvePoints(1).size(), rows) << c.name;

        Exact exact;
        if (c.payoff == 0)
            exact = vanillaBS(100, 100, 0.05, 0, 0.2, 1, 0);
        else
            tarvic::TarvicLibrary::instance().BarrierBS(exact.value, exact.delta, exact.gamma,
                                                        exact.theta, exact.vega, 100, 100, 0.05,
                                                        0, 0.2, 1, 90, 0, 1, 0);
        const double se = standardError();
        EXPECT_GT(se, 0.0) << c.name;
        EXPECT_LT(se, 0.2) << c.name;
        EXPECT_NEAR(estimate(), exact.value, 4.0 * se) << c.name;
    }
}

// The Exact solution box: nine decimals, theta per day, vega per
// volatility point, at the spot of the run.
TEST_F(McRealLibrary, ExactSolutionBoxShowsTheClosedFormOfTheRun)
{
    typeInputs("103", "100", "25", "4", "1", "0.5");
    sobolPaths(12);
    ASSERT_EQ(runOrRefusal(), QString());
    ui(w).mnuBS->trigger();
    ASSERT_FALSE(ui(w).frAnalytic->isHidden());
    const Exact e = vanillaBS(103, 100, 0.04, 0.01, 0.25, 0.5, 0);
    const QString nine = QStringLiteral("#####0.000000000");
    EXPECT_EQ(ui(w).lblAValue->text(), tarvic::formatNumber(e.value, nine));
    EXPECT_EQ(ui(w).lblADelta->text(), tarvic::formatNumber(e.delta, nine));
    EXPECT_EQ(ui(w).lblAGamma->text(), tarvic::formatNumber(e.gamma, nine));
    EXPECT_EQ(ui(w).lblATheta->text(), tarvic::formatNumber(e.theta / 365.0, nine));
    EXPECT_EQ(ui(w).lblAVega->text(), tarvic::formatNumber(e.vega / 100.0, nine));
    EXPECT_EQ(ui(w).lblAsset->text(), QStringLiteral("103"));
}

// The box left open follows each run: the closed form of the contract and
// spot run last, with no click in between.
TEST_F(McRealLibrary, TheOpenExactSolutionBoxFollowsEachRun)
{
    typeInputs("100", "100", "20", "5", "0", "1");
    sobolPaths(12);
    ASSERT_EQ(runOrRefusal(), QString());
    ui(w).mnuBS->trigger();
    ASSERT_FALSE(ui(w).frAnalytic->isHidden());
    const auto barrierBS = [](double spot, double strike, double lower, int type) {
        Exact e;
        tarvic::TarvicLibrary::instance().BarrierBS(e.value, e.delta, e.gamma, e.theta, e.vega,
                                                    spot, strike, 0.05, 0, 0.2, 1, lower, 0, 1,
                                                    type);
        return e;
    };
    struct Case {
        const char* name;
        std::function<void()> change;
        Exact exact;
        const char* spot;
    };
    const Case cases[] = {
        {"a lower strike", [&] { ui(w).txtStrike->setText(QStringLiteral("90")); },
         vanillaBS(100, 90, 0.05, 0, 0.2, 1, 0), "100"},
        {"a put", [&] { w->setListIndex(ui(w).cboOptions, 1); },
         vanillaBS(100, 90, 0.05, 0, 0.2, 1, 1), "100"},
        {"a higher spot", [&] { ui(w).txtAsset->setText(QStringLiteral("104")); },
         vanillaBS(104, 90, 0.05, 0, 0.2, 1, 1), "104"},
        {"a continuously watched down-and-out put",
         [&] {
             choosePayoff(2);
             ui(w).txtDownBar->setText(QStringLiteral("80"));
             ui(w).txtMonPts->setText(QStringLiteral("4"));
             ui(w).chkContMon->setChecked(true);
         },
         barrierBS(104, 90, 80, 1), "104"},
    };
    const QString nine = QStringLiteral("#####0.000000000");
    QString before = ui(w).lblAValue->text();
    for (const Case& c : cases) {
        c.change();
        ASSERT_EQ(runOrRefusal(), QString()) << c.name;
        ASSERT_FALSE(ui(w).frAnalytic->isHidden()) << c.name;
        EXPECT_EQ(ui(w).lblAValue->text(), tarvic::formatNumber(c.exact.value, nine)) << c.name;
        EXPECT_NE(ui(w).lblAValue->text(), before) << c.name;
        EXPECT_EQ(ui(w).lblADelta->text(), tarvic::formatNumber(c.exact.delta, nine)) << c.name;
        EXPECT_EQ(ui(w).lblAVega->text(), tarvic::formatNumber(c.exact.vega / 100.0, nine))
            << c.name;
        EXPECT_EQ(ui(w).lblAsset->text(), QString::fromLatin1(c.spot)) << c.name;
        before = ui(w).lblAValue->text();
    }
}

// The error plot subtracts the closed form row by row, or the value typed
// where there is no closed form.
TEST_F(McRealLibrary, ErrorCurvesAreTheEstimateLessTheExactValue)
{
    typeInputs("100", "100", "20", "5", "0", "1");
    pseudoRandomPaths("20");
    ASSERT_EQ(runOrRefusal(), QString());
    ui(w).mnuBSGrid->trigger();
    const double exact = vanillaBS(100, 100, 0.05, 0, 0.2, 1, 0).value;
    EXPECT_EQ(w->mMCExactValue, exact);
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Option error"));
    QVector<QPointF> curve = ui(w).chart->curvePoints(1);
    ASSERT_EQ(curve.size(), w->mLastIndex + 1);
    for (int i = 0; i < curve.size(); ++i)
        ASSERT_EQ(curve[i].y(), w->mOptionValue[static_cast<size_t>(i)] - exact) << i;

    // A discretely monitored barrier: the value typed.
    choosePayoff(2);
    ui(w).txtDownBar->setText(QStringLiteral("90"));
    ui(w).txtMonPts->setText(QStringLiteral("12"));
    ui(w).chkContMon->setChecked(false);
    ASSERT_EQ(runOrRefusal(), QString());
    ui(w).mnuBSGrid->trigger();
    ASSERT_FALSE(ui(w).frMCExact->isHidden());
    ui(w).txtMCExact->setText(QStringLiteral("5.5"));
    ui(w).cmdMCExact->click();
    curve = ui(w).chart->curvePoints(1);
    ASSERT_EQ(curve.size(), w->mLastIndex + 1);
    for (int i = 0; i < curve.size(); ++i)
        ASSERT_EQ(curve[i].y(), w->mOptionValue[static_cast<size_t>(i)] - 5.5) << i;
}

// Early exercise by regression: a Bermudan put is worth at least its
// European and at most the finite-difference Bermudan, within the run's
// statistical error.
TEST_F(McRealLibrary, BermudanPutLiesBetweenTheEuropeanAndTheFiniteDifferenceBermudan)
{
    typeInputs("100", "100", "20", "5", "0", "1");
    w->setListIndex(ui(w).cboOptions, 1);
    chooseExercise(1);
    ui(w).txtMonPts->setText(QStringLiteral("4"));
    pseudoRandomPaths("50");
    ASSERT_EQ(runOrRefusal(), QString());
    const double se = standardError();
    const double european = vanillaBS(100, 100, 0.05, 0, 0.2, 1, 1).value;
    const double bermudan = finiteDifferenceAt(100.0, [](double* a, int32_t& n) {
        const size_t m = 50001;
        return tarvic::TarvicLibrary::instance().VelkOptionPricer(
            a, a + m, a + 2 * m, a + 3 * m, a + 4 * m, a + 5 * m, 100, 400, 1, 0.2, 0.05, 0, n, 1,
            2, 2, 2, 0, 0, 0, 0, 4);
    });
    ASSERT_GT(bermudan, european + 0.05);  // the early exercise is worth something here
    EXPECT_GT(estimate(), european - 4.0 * se);
    EXPECT_LT(estimate(), bermudan + 4.0 * se);
}

// An Asian call by simulation against the finite-difference Asian: within
// the run's statistical error and 1%.
TEST_F(McRealLibrary, AsianCallAgreesWithTheFiniteDifferenceAsian)
{
    ASSERT_TRUE(libraryExports("VelkAsianOptionPricerMC"));
    typeInputs("100", "100", "20", "5", "0", "1");
    choosePayoff(7);
    ui(w).txtSmplPoints->setText(QStringLiteral("12"));
    ui(w).txtNFixed->setText(QStringLiteral("0"));
    ui(w).txtSmplstart->setText(QStringLiteral("0.0833333"));
    pseudoRandomPaths("50");
    ASSERT_EQ(runOrRefusal(), QString());
    const double se = standardError();
    const double fd = finiteDifferenceAt(100.0, [](double* a, int32_t& n) {
        const size_t m = 50001;
        n = 100;
        return tarvic::TarvicLibrary::instance().VelkAsianOptionPricer(
            a, a + m, a + 2 * m, a + 3 * m, a + 4 * m, a + 5 * m, 100, 100, 200, 1, 0.2, 0.05, 0,
            n, 1, 12, 0, 0, 0.0833333, 0, 0, 2, 2, 2, 0, 0, 0, 0, 1);
    });
    EXPECT_NEAR(estimate(), fd, 4.0 * se + 0.01 * fd);
}

// A picture of a Monte Carlo convergence chart with the closed form beside
// it, for the documentation.
TEST_F(McRealLibrary, ScreenshotOfAConvergenceChart)
{
    typeInputs("100", "100", "20", "5", "0", "1");
    pseudoRandomPaths("100");
    ASSERT_EQ(runOrRefusal(), QString());
    ui(w).mnuBS->trigger();
    ASSERT_FALSE(ui(w).frAnalytic->isHidden());
    QApplication::processEvents();
    ui(w).chart->refresh();
    QApplication::processEvents();
    saveScreenshot(*dorn, QStringLiteral("monte-carlo-convergence"));
}

}  // namespace
