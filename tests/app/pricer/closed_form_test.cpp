// The closed-form comparison of the finite-difference window against the
// recording stand-in library: the Exact solution box, the error curve
// against the closed form and against a saved reference solution, each for
// the results on show; the shortcut that saves the reference.
#include "pricer/run_support.h"

#include "platform/chart.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"

#include <QGroupBox>

#include <cmath>

namespace {

class ClosedForm : public RecordingFixture {
protected:
    QStringList exactBox() const
    {
        return {ui(w).lblAValue->text(), ui(w).lblADelta->text(), ui(w).lblAGamma->text(),
                ui(w).lblATheta->text(), ui(w).lblAVega->text(), ui(w).lblAsset->text()};
    }
    // The stand-in's results of a discretely monitored down-and-out put.
    void discreteDownAndOut()
    {
        choosePayoff(2);
        ui(w).txtDownBar->setText(QStringLiteral("80"));
        ui(w).txtMonPts->setText(QStringLiteral("4"));
        ui(w).chkContMon->setChecked(false);
    }
};

// Nine decimals, theta per day and vega per volatility point; "N/A" for a
// value the library does not price; the spot of the box follows the spot
// edited after a finite-difference run.
TEST_F(ClosedForm, ExactSolutionBoxAtTheSpot)
{
    typeInputs("101");
    calculate();
    ASSERT_TRUE(ui(w).mnuBS->isVisible() && ui(w).mnuBS->isEnabled());
    const QString nine = QStringLiteral("#####0.000000000");
    struct Case {
        const char* name;
        double scripted;  // NaN: the stand-in's spot / 10
        QStringList shown;
    };
    const Case cases[] = {
        {"a value", std::nan(""),
         {"10.100000000", "0.500000000", "0.020000000", "0.100000000", "0.250000000", "101"}},
        {"a tiny negative value", -5e-11,
         {tarvic::formatNumber(-5e-11, nine), "0.500000000", "0.020000000", "0.100000000",
          "0.250000000", "101"}},
        {"not priced", -2e-10, {"N/A", "N/A", "N/A", "N/A", "N/A", "101"}},
    };
    for (const Case& c : cases) {
        scriptClosedForm(c.scripted);
        ui(w).frAnalytic->hide();
        ui(w).mnuBS->trigger();
        EXPECT_FALSE(ui(w).frAnalytic->isHidden()) << c.name;
        EXPECT_EQ(exactBox(), c.shown) << c.name;
    }
    EXPECT_STREQ(record->closedName, "VanillaBS");
    const std::vector<double> args(record->closedArgs, record->closedArgs + record->closedCount);
    EXPECT_EQ(args, (std::vector<double>{101, 100, 0.05, 0, 0.2, 1, 0}));

    // The box on show follows a spot edited afterwards.
    scriptClosedForm(std::nan(""));
    ui(w).txtAsset->setText(QStringLiteral("110"));
    EXPECT_EQ(record->closedArgs[0], 110.0);
    EXPECT_EQ(exactBox()[0], QStringLiteral("11.000000000"));
    EXPECT_EQ(exactBox()[5], QStringLiteral("110"));
    ui(w).cmdExact->click();
    EXPECT_TRUE(ui(w).frAnalytic->isHidden());

    // A barrier asks for its own closed form, with the barriers of the run.
    choosePayoff(2);
    ui(w).txtDownBar->setText(QStringLiteral("85"));
    ui(w).chkContMon->setChecked(true);
    w->setListIndex(ui(w).cboOptions, 1);
    calculate();
    ui(w).mnuBS->trigger();
    EXPECT_STREQ(record->closedName, "BarrierBS");
    const std::vector<double> barrier(record->closedArgs, record->closedArgs + record->closedCount);
    EXPECT_EQ(barrier, (std::vector<double>{110, 100, 0.05, 0, 0.2, 1, 85, 0, 1, 1}));
}

// The grid closed form covers the nodes of the results on show, not a grid
// size refused since or typed in the settings dialog.
TEST_F(ClosedForm, ErrorCurveAgainstTheClosedFormCoversTheResultsOnShow)
{
    typeInputs();
    calculate();
    ASSERT_EQ(w->mLastIndex, 100);
    const auto errorCurve = [&] {
        ui(w).mnuBSGrid->trigger();
        EXPECT_STREQ(record->closedName, "VanillaBSGrid");
        EXPECT_EQ(record->closedArgs[6], 100.0);  // the last node
        EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Option error"));
        const QVector<QPointF> curve = ui(w).chart->curvePoints(1);
        EXPECT_EQ(curve.size(), 101);
        for (const QPointF& p : curve)
            EXPECT_NEAR(p.y(), 1.0, 1e-12) << p.x();  // x^2 / 100 less x^2 / 100 - 1
    };
    errorCurve();

    // More asset steps typed, and the grid they make refused.
    setSteps("300", "100");
    script(50001, 200.0, nullptr);
    calculate();
    ASSERT_EQ(boxes.shown.back().title, QStringLiteral("Grid is too large."));
    ASSERT_EQ(tarvic::gPdeSettings.gGridSize, 300);
    errorCurve();
}

// A saved reference solution: the curve stops at the reference's last
// node; without a reference the window says so and draws nothing; the
// reference goes, and the menu with it, when the inputs change; the
// comparison follows the contract of the results, not of the boxes.
TEST_F(ClosedForm, ErrorCurveAgainstASavedReference)
{
    typeInputs();
    discreteDownAndOut();
    script(-1, 150.0, nullptr);  // a grid up to 150 only
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    EXPECT_FALSE(ui(w).mnuBS->isVisible());
    EXPECT_FALSE(ui(w).mnuBSGrid->isVisible());
    ASSERT_TRUE(ui(w).mnuSaveRefSol->isVisible() && ui(w).mnuSaveRefSol->isEnabled());

    // Nothing to compare with yet.
    boxes.shown.clear();
    w->mnuBSGrid_Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("No reference solution"));
    EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Premium"));

    ui(w).mnuSaveRefSol->trigger();
    EXPECT_FALSE(ui(w).mnuSaveRefSol->isEnabled());
    ASSERT_EQ(w->mReference.asset.size(), 101u);
    // A refused grid later changes nothing of what a save takes.
    script(50001, 200.0, nullptr);
    calculate();
    w->mnuSaveRefSol_Click();
    EXPECT_EQ(w->mReference.asset.size(), 101u);
    EXPECT_EQ(w->mReference.asset.back(), 150.0);

    // A finer run up to 200 against the reference up to 150.
    script(-1, 200.0, nullptr);
    boxes.shown.clear();
    calculate();
    ASSERT_TRUE(ui(w).mnuBSGrid->isVisible() && ui(w).mnuBSGrid->isEnabled());
    const int closedCalls = record->closedCalls;
    const auto referenceCurve = [&] {
        EXPECT_EQ(ui(w).chart->TitleText(), QStringLiteral("Option error"));
        const QVector<QPointF> curve = ui(w).chart->curvePoints(1);
        EXPECT_EQ(curve.size(), 76);  // nodes 0, 2, ..., 150
        EXPECT_EQ(ui(w).chart->Axis(0).maximum(), 150.0);
        for (const QPointF& p : curve) {
            // Reference nodes 1.5 apart: lines within two nodes of its ends,
            // the cubic (exact for x^2 / 100) inside.
            int j = static_cast<int>(p.x() / 1.5);
            if (p.x() == 1.5 * j && j > 0)
                --j;
            const double a = 1.5 * j, b = a + 1.5;
            const bool linear = j < 2 || j > 100 - 2;
            EXPECT_NEAR(p.y(), linear ? -(p.x() - a) * (b - p.x()) / 100.0 : 0.0, 1e-12) << p.x();
        }
        EXPECT_EQ(record->closedCalls, closedCalls);
        EXPECT_TRUE(boxes.shown.isEmpty());
    };
    ui(w).mnuBSGrid->trigger();
    referenceCurve();

    // Continuous monitoring ticked since: the results on show are still the
    // discretely monitored ones, compared with their reference.
    ui(w).chkContMon->setChecked(true);
    ASSERT_TRUE(w->productInputs().gInputsChanged);
    w->Chart(1, 0.0);
    w->mnuBSGrid_Click();
    referenceCurve();

    // A run on changed inputs drops the reference, even one a check stops.
    ui(w).chkContMon->setChecked(false);
    ui(w).txtStrike->setText(QStringLiteral("0"));
    calculate();
    ASSERT_EQ(boxes.shown.back().text, QStringLiteral("Please enter a non-zero strike."));
    EXPECT_FALSE(w->mReference.stored());
    EXPECT_FALSE(ui(w).mnuBSGrid->isVisible());
    boxes.shown.clear();
    w->mnuBSGrid_Click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("No reference solution"));
}

// Ctrl+R saves the reference from the results table and from a focused
// box, as the menu entry does: the results on show, node by node.
TEST_F(ClosedForm, TheReferenceShortcutFiresFromTheTableAndTheBoxes)
{
    dorn->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    typeInputs();
    discreteDownAndOut();
    struct Case {
        const char* name;
        QWidget* focus;
        double top;  // of the stand-in's grid
    };
    const Case cases[] = {
        {"the results table", ui(w).MSFlexGrid1, 150.0},
        {"the strike box", ui(w).txtStrike, 180.0},
    };
    for (const Case& c : cases) {
        script(-1, c.top, nullptr);
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << c.name;
        ASSERT_TRUE(ui(w).mnuSaveRefSol->isVisible() && ui(w).mnuSaveRefSol->isEnabled())
            << c.name;
        c.focus->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(c.focus->hasFocus()) << c.name;
        QTest::keyClick(c.focus, Qt::Key_R, Qt::ControlModifier);
        EXPECT_FALSE(ui(w).mnuSaveRefSol->isEnabled()) << c.name;
        ASSERT_EQ(w->mReference.asset.size(), 101u) << c.name;
        EXPECT_EQ(w->mReference.asset.back(), c.top) << c.name;
        EXPECT_EQ(w->mReference.value.back(), c.top * c.top / 100.0) << c.name;
    }
    EXPECT_EQ(ui(w).txtStrike->text(), QStringLiteral("100"));
}

}  // namespace
