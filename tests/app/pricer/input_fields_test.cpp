// The pricer window's input boxes: key filters, what each box stores as it
// changes, the focus rules, the live spot after a finite-difference run and
// the bounds of the settled fixings' average.
#include "support/app_fixture.h"

#include "platform/results_grid.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

using Box = QLineEdit* frmOptionsUi::*;

}  // namespace

class InputFieldsTest : public AppFixture {
protected:
    frmOptions& openPde()
    {
        dorn->mnuPDEOptions->trigger();
        return *dorn->pricerPde();
    }
    frmOptions& openMc()
    {
        dorn->mnuMCOptions->trigger();
        return *dorn->pricerMc();
    }
    void activate(frmOptions& w)
    {
        dorn->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
        w.activateWindow();
        QApplication::processEvents();
    }
    // Moves the focus from the box to another control of the window.
    static void leave(frmOptions& w)
    {
        ui(w).cboOptions->setFocus();
        QApplication::processEvents();
    }
};

// ---------------------------------------------------------------------------
// Key filters

struct KeyCase {
    const char* name;
    Box box;
    bool point;
    bool minus;
    bool keyMarksChanged;  // an accepted key marks the inputs changed
};

const KeyCase kKeyCases[] = {
    {"Asset", &frmOptionsUi::txtAsset, true, false, false},
    {"Strike", &frmOptionsUi::txtStrike, true, false, true},
    {"Vol", &frmOptionsUi::txtVol, true, false, true},
    {"IntRate", &frmOptionsUi::txtIntRate, true, false, true},
    {"Div", &frmOptionsUi::txtDiv, true, true, true},
    {"Expiry", &frmOptionsUi::txtExpi, true, false, true},
    {"UpBar", &frmOptionsUi::TxtUpBar, true, false, false},
    {"DownBar", &frmOptionsUi::txtDownBar, true, false, false},
    {"InitAvg", &frmOptionsUi::txtInitAvg, true, false, false},
    {"SmplStart", &frmOptionsUi::txtSmplstart, true, true, false},
    {"MonPts", &frmOptionsUi::txtMonPts, false, false, false},
    {"NFixed", &frmOptionsUi::txtNFixed, false, false, false},
    {"SmplPoints", &frmOptionsUi::txtSmplPoints, false, false, false},
    {"MCExact", &frmOptionsUi::txtMCExact, true, false, false},
    {"Xmin", &frmOptionsUi::txtXmin, true, false, false},
    {"Xmax", &frmOptionsUi::txtXmax, true, false, false},
    {"Ymin", &frmOptionsUi::txtYmin, true, true, false},
    {"Ymax", &frmOptionsUi::txtYmax, true, true, false},
};

class KeyFilterTest : public InputFieldsTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyFilterTest, TakesDigitsBackspaceAndOnlyTheMarksTheBoxAllows)
{
    const KeyCase& c = GetParam();
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboPayoff, 5);  // every box enabled
    QLineEdit* box = ui(w).*c.box;
    box->clear();
    tarvic::ProductInputs& in = w.productInputs();

    // Dropped keys beep and change nothing, flags included.
    in.gInputsChanged = false;
    ui(w).lblProgress->setText(QStringLiteral("Ready"));
    int beeps = boxes.beeps;
    for (char key : {'a', 'E', ' ', '+', ',', '/', '%'}) {
        QTest::keyClick(box, key);
        EXPECT_EQ(box->text(), QString()) << key;
        EXPECT_EQ(boxes.beeps, ++beeps) << key;
    }
    EXPECT_FALSE(in.gInputsChanged);
    EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));

    QTest::keyClicks(box, QStringLiteral("0123456789"));
    EXPECT_EQ(box->text(), QStringLiteral("0123456789"));
    EXPECT_EQ(boxes.beeps, beeps);

    QTest::keyClick(box, '.');
    QTest::keyClick(box, '-');
    QString expected = QStringLiteral("0123456789");
    if (c.point)
        expected += QLatin1Char('.');
    if (c.minus)
        expected += QLatin1Char('-');
    EXPECT_EQ(box->text(), expected);
    EXPECT_EQ(boxes.beeps, beeps + (c.point ? 0 : 1) + (c.minus ? 0 : 1));

    // Backspace passes, and counts as typing where typing marks a change.
    beeps = boxes.beeps;
    in.gInputsChanged = false;
    ui(w).lblProgress->setText(QStringLiteral("Ready"));
    box->blockSignals(true);  // the change handlers are not under test here
    QTest::keyClick(box, Qt::Key_Backspace);
    box->blockSignals(false);
    EXPECT_EQ(box->text(), expected.chopped(1));
    EXPECT_EQ(boxes.beeps, beeps);
    EXPECT_EQ(in.gInputsChanged, c.keyMarksChanged);
    EXPECT_EQ(ui(w).lblProgress->text().isEmpty(), c.keyMarksChanged);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Boxes, KeyFilterTest, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputFieldsTest, KeyFilterLeavesCommandKeysToTheBox)
{
    frmOptions& w = openPde();
    activate(w);
    ui(w).txtMonPts->setText(QStringLiteral("12"));
    w.setListIndex(ui(w).cboExercise, 2);
    ui(w).txtMonPts->setFocus();
    QTest::keyClick(ui(w).txtMonPts, Qt::Key_A, Qt::ControlModifier);  // select all
    EXPECT_EQ(ui(w).txtMonPts->selectedText(), QStringLiteral("12"));
    QTest::keyClick(ui(w).txtMonPts, Qt::Key_Return);
    EXPECT_EQ(boxes.beeps, 0);
}

// ---------------------------------------------------------------------------
// What the boxes store as they change (typed or pasted)

struct ChangeCase {
    const char* name;
    Box box;
    const char* text;
    double tarvic::ProductInputs::*real;
    int32_t tarvic::ProductInputs::*whole;
    double expected;
    bool marksChanged;
};

const ChangeCase kChangeCases[] = {
    {"AssetPasted", &frmOptionsUi::txtAsset, "101.5x", &tarvic::ProductInputs::gAsset, nullptr, 101.5, false},
    {"AssetEmpty", &frmOptionsUi::txtAsset, "", &tarvic::ProductInputs::gAsset, nullptr, 0.0, false},
    {"UpBar", &frmOptionsUi::TxtUpBar, "120abc", &tarvic::ProductInputs::gUpBar, nullptr, 120.0, true},
    {"UpBarZero", &frmOptionsUi::TxtUpBar, "0", &tarvic::ProductInputs::gUpBar, nullptr, 0.0, true},
    {"DownBar", &frmOptionsUi::txtDownBar, "80.25", &tarvic::ProductInputs::gDownBar, nullptr, 80.25, true},
    {"MonPtsHalfDown", &frmOptionsUi::txtMonPts, "12.5", nullptr, &tarvic::ProductInputs::gMonPts, 12, true},
    {"MonPtsHalfUp", &frmOptionsUi::txtMonPts, "13.5", nullptr, &tarvic::ProductInputs::gMonPts, 14, true},
    {"MonPtsLetters", &frmOptionsUi::txtMonPts, "x7", nullptr, &tarvic::ProductInputs::gMonPts, 0, true},
    {"NFixed", &frmOptionsUi::txtNFixed, "2.5", nullptr, &tarvic::ProductInputs::gNFixed, 2, false},
    {"SmplPoints", &frmOptionsUi::txtSmplPoints, "52", nullptr, &tarvic::ProductInputs::gSmplPoints, 52, false},
    {"InitAvg", &frmOptionsUi::txtInitAvg, "99.5", &tarvic::ProductInputs::gInitAvg, nullptr, 99.5, false},
    // Read at Calculate only.
    {"Strike", &frmOptionsUi::txtStrike, "95", &tarvic::ProductInputs::gStrike, nullptr, 0.0, false},
    {"Div", &frmOptionsUi::txtDiv, "-1", &tarvic::ProductInputs::gDiv, nullptr, 0.0, true},
};

class ChangeTest : public InputFieldsTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeTest, StoresTheLeadingNumberOfTheText)
{
    const ChangeCase& c = GetParam();
    frmOptions& w = openPde();
    tarvic::ProductInputs& in = w.productInputs();
    QLineEdit* box = ui(w).*c.box;
    box->setText(QStringLiteral("3"));  // so that an empty text is a change
    in.gInputsChanged = false;
    ui(w).lblProgress->setText(QStringLiteral("Ready"));
    box->setText(QString::fromLatin1(c.text));
    if (c.real) {
        EXPECT_EQ(in.*c.real, c.expected);
    } else {
        EXPECT_EQ(in.*c.whole, static_cast<int32_t>(c.expected));
    }
    EXPECT_EQ(in.gInputsChanged, c.marksChanged);
    EXPECT_EQ(ui(w).lblProgress->text().isEmpty(), c.marksChanged);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ChangeTest, ::testing::ValuesIn(kChangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputFieldsTest, AnEmptiedBarrierBoxKeepsItsBarrier)
{
    frmOptions& w = openMc();
    tarvic::ProductInputs& in = w.productInputs();
    ui(w).TxtUpBar->setText(QStringLiteral("120"));
    ui(w).txtDownBar->setText(QStringLiteral("80"));
    in.gInputsChanged = false;
    ui(w).TxtUpBar->clear();
    ui(w).txtDownBar->clear();
    EXPECT_EQ(in.gUpBar, 120.0);
    EXPECT_EQ(in.gDownBar, 80.0);
    EXPECT_FALSE(in.gInputsChanged);
}

// ---------------------------------------------------------------------------
// Focus rules

TEST_F(InputFieldsTest, LeavingABoxPutsTheCaretBackAtTheStart)
{
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboPayoff, 5);
    activate(w);
    for (QLineEdit* box : {ui(w).txtAsset, ui(w).txtStrike, ui(w).txtVol, ui(w).txtIntRate, ui(w).txtDiv, ui(w).txtExpi,
                           ui(w).TxtUpBar, ui(w).txtDownBar}) {
        box->setText(QStringLiteral("12345"));
        box->setFocus();
        box->setCursorPosition(3);
        leave(w);
        EXPECT_EQ(box->cursorPosition(), 0) << box->text().toStdString();
    }
    // A box without the rule keeps its caret.
    ui(w).txtSmplstart->setText(QStringLiteral("0.25"));
    w.setListIndex(ui(w).cboPayoff, 7);
    ui(w).txtSmplstart->setFocus();
    ui(w).txtSmplstart->setCursorPosition(2);
    leave(w);
    EXPECT_EQ(ui(w).txtSmplstart->cursorPosition(), 2);
}

TEST_F(InputFieldsTest, TabbingIntoTheFixingsBoxesPutsTheCaretAtTheEnd)
{
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboPayoff, 7);
    activate(w);
    ui(w).txtNFixed->setText(QStringLiteral("3"));
    ui(w).txtSmplPoints->setText(QStringLiteral("12"));
    ui(w).txtInitAvg->setText(QStringLiteral("98.5"));
    for (QLineEdit* box : {ui(w).txtNFixed, ui(w).txtInitAvg}) {
        leave(w);
        ui(w).txtSmplPoints->setFocus();  // before either box
        box->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(box->hasFocus());
        EXPECT_FALSE(box->hasSelectedText());
        EXPECT_EQ(box->cursorPosition(), box->text().size());
    }
}

TEST_F(InputFieldsTest, LeavingThePeriodsBoxEmptyOrZeroRestoresOne)
{
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboExercise, 2);
    activate(w);
    tarvic::ProductInputs& in = w.productInputs();
    for (const char* text : {"", "0", "00"}) {
        ui(w).txtMonPts->setText(QStringLiteral("7"));
        ui(w).txtMonPts->setFocus();
        ui(w).txtMonPts->setText(QString::fromLatin1(text));
        in.gInputsChanged = false;
        leave(w);
        EXPECT_EQ(ui(w).txtMonPts->text(), QStringLiteral("1")) << text;
        EXPECT_EQ(in.gMonPts, 1);
        EXPECT_TRUE(in.gInputsChanged);
    }
    ui(w).txtMonPts->setFocus();
    ui(w).txtMonPts->setText(QStringLiteral("6"));
    leave(w);
    EXPECT_EQ(ui(w).txtMonPts->text(), QStringLiteral("6"));

    // A context menu over the box (to paste, say) is no leaving.
    ui(w).txtMonPts->setFocus();
    ui(w).txtMonPts->clear();
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(ui(w).txtMonPts, &popup);
    EXPECT_EQ(ui(w).txtMonPts->text(), QString());
}

TEST_F(InputFieldsTest, LeavingTheSettledFixingsBoxMarksAChangeAndKeepsOneForAFloatingStrike)
{
    frmOptions& w = openMc();
    w.setListIndex(ui(w).cboPayoff, 7);
    activate(w);
    tarvic::ProductInputs& in = w.productInputs();
    ui(w).txtAsset->setText(QStringLiteral("104.25"));

    // A fraction: the box's value differs from the count stored.
    ui(w).txtNFixed->setFocus();
    ui(w).txtNFixed->setText(QStringLiteral("2.4"));
    ASSERT_EQ(in.gNFixed, 2);
    in.gInputsChanged = false;
    leave(w);
    EXPECT_TRUE(in.gInputsChanged);
    EXPECT_EQ(in.gNFixed, 2);

    // Fixed strike: none settled is fine.
    ui(w).txtNFixed->setFocus();
    ui(w).txtNFixed->setText(QStringLiteral("0"));
    in.gInputsChanged = false;
    leave(w);
    EXPECT_EQ(ui(w).txtNFixed->text(), QStringLiteral("0"));
    EXPECT_FALSE(in.gInputsChanged);

    // Floating strike: the spot is always the first fixing.
    w.setListIndex(ui(w).cboPayoff, 8);
    ui(w).txtInitAvg->setText(QStringLiteral("90"));
    ui(w).txtNFixed->setFocus();
    ui(w).txtNFixed->setText(QStringLiteral("0"));
    leave(w);
    EXPECT_EQ(ui(w).txtNFixed->text(), QStringLiteral("1"));
    EXPECT_EQ(in.gNFixed, 1);
    EXPECT_EQ(ui(w).txtInitAvg->text(), QStringLiteral("104.25"));
    EXPECT_EQ(in.gInitAvg, 104.25);
}

TEST_F(InputFieldsTest, LeavingTheAverageBoxTakesItsValueOnceAFixingIsSettled)
{
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboPayoff, 7);
    activate(w);
    tarvic::ProductInputs& in = w.productInputs();
    ui(w).txtInitAvg->setText(QStringLiteral("97.5"));
    for (int settled : {0, 2}) {
        ui(w).txtNFixed->setText(QString::number(settled));
        ui(w).txtInitAvg->setFocus();
        in.gInitAvg = 50.0;  // as a run's check may leave it
        in.gInputsChanged = false;
        leave(w);
        EXPECT_EQ(in.gInitAvg, settled >= 1 ? 97.5 : 50.0) << settled;
        EXPECT_EQ(in.gInputsChanged, settled >= 1) << settled;
    }
}

// ---------------------------------------------------------------------------
// The spot after a finite-difference run

class SpotAfterRunTest : public InputFieldsTest {
protected:
    // A stored run: nodes 0, 10, ..., 200, value = asset / 2 and the
    // sensitivities fixed per node.
    void storeRun(frmOptions& w)
    {
        const int n = 20;
        w.mSolution.assign(frmOptions::kStoreRows, {});
        for (int i = 0; i <= n; ++i)
            w.mSolution[i] = {10.0 * i, 5.0 * i, 0.5, 0.01 * i, -0.02, 0.3, 0.0};
        w.mLastIndex = n;
        w.mGridStep = 10.0;
        w.productInputs().gInputsChanged = false;
    }
};

TEST_F(SpotAfterRunTest, EditingTheSpotRewritesTheSpotRowWithoutMarkingAChange)
{
    frmOptions& w = openPde();
    storeRun(w);
    tarvic::ResultsGrid& grid = *ui(w).MSFlexGrid1;
    ui(w).txtAsset->setText(QStringLiteral("105"));
    EXPECT_FALSE(w.productInputs().gInputsChanged);
    EXPECT_EQ(grid.Rows(), 23);
    // Straight-line data: every interpolation gives the line.
    const QStringList inside{"105.00000", "52.50000", "0.50000", "0.10500", "-0.02000", "0.30000"};
    for (int col = 0; col < 6; ++col)
        EXPECT_EQ(grid.TextMatrix(1, col), inside[col]) << col;

    // Beyond the grid, or with the box emptied, the results price no spot:
    // the row shows the spot and no figures.
    for (const char* typed : {"250", ""}) {
        ui(w).txtAsset->setText(QString::fromLatin1(typed));
        EXPECT_EQ(grid.TextMatrix(1, 0),
                  QString::fromLatin1(*typed ? "250.00000" : "0.00000")) << typed;
        for (int col = 1; col < 6; ++col)
            EXPECT_EQ(grid.TextMatrix(1, col), QString()) << typed << col;
        EXPECT_EQ(ui(w).txtAsset->text(), QString::fromLatin1(typed));
        // More digits on demand are no figures either.
        w.MSFlexGrid1_DblClick();
        EXPECT_EQ(grid.TextMatrix(1, 1), QString()) << typed;
    }
    EXPECT_EQ(w.productInputs().gAsset, 0.0);
    // Back inside, the figures return.
    ui(w).txtAsset->setText(QStringLiteral("105"));
    EXPECT_EQ(grid.TextMatrix(1, 1), QStringLiteral("52.50000"));

    // Once an input changed, the row stays as it is.
    w.productInputs().gInputsChanged = true;
    ui(w).txtAsset->setText(QStringLiteral("150"));
    EXPECT_EQ(grid.TextMatrix(1, 0), QStringLiteral("105.00000"));
    EXPECT_EQ(w.productInputs().gAsset, 150.0);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(SpotAfterRunTest, MonteCarloWindowHasNoLiveSpotRow)
{
    frmOptions& w = openMc();
    storeRun(w);
    const QString before = ui(w).MSFlexGrid1->TextMatrix(1, 0);
    ui(w).txtAsset->setText(QStringLiteral("105"));
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 0), before);
    EXPECT_EQ(w.productInputs().gAsset, 105.0);
}

// Leaving the box keeps the spot typed: nothing moves it to the top node
// or takes the top node's figures for it.
TEST_F(SpotAfterRunTest, LeavingASpotAboveTheGridKeepsIt)
{
    frmOptions& w = openPde();
    activate(w);
    storeRun(w);
    ui(w).txtAsset->setFocus();
    ui(w).txtAsset->setText(QStringLiteral("250"));
    leave(w);
    EXPECT_EQ(w.productInputs().gAsset, 250.0);
    EXPECT_EQ(ui(w).txtAsset->text(), QStringLiteral("250"));
    EXPECT_TRUE(w.mSpotOutsideResults);
    EXPECT_EQ(w.mSpotValue, 0.0);
    EXPECT_EQ(ui(w).MSFlexGrid1->TextMatrix(1, 1), QString());
}

TEST_F(SpotAfterRunTest, MonteCarloSpotIsNeverMovedToAGrid)
{
    frmOptions& w = openMc();
    activate(w);
    ui(w).txtAsset->setFocus();
    ui(w).txtAsset->setText(QStringLiteral("250"));
    leave(w);
    EXPECT_EQ(w.productInputs().gAsset, 250.0);
}

// ---------------------------------------------------------------------------
// Bounds of the settled fixings' average

struct LimitsCase {
    const char* name;
    int32_t total, settled;
    double expiry, vol, rate, spot;
    double lower, upper;  // worked out independently
};

const LimitsCase kLimitsCases[] = {
    {"OneSettledIsTheSpot", 12, 1, 1.0, 0.2, 0.05, 100.0, 100.01, 100.01},
    {"FourOfTwelve", 12, 4, 1.0, 0.2, 0.05, 100.0, 70.95, 146.99},
    {"TenOfFiftyTwo", 52, 10, 0.5, 0.35, 0.03, 80.0, 56.248, 117.448},
};

class InitAvgLimitsTest : public InputFieldsTest,
                          public ::testing::WithParamInterface<LimitsCase> {};

TEST_P(InitAvgLimitsTest, BoundsTheAverageFiveDeviationsEitherWay)
{
    const LimitsCase& c = GetParam();
    frmOptions& w = openPde();
    tarvic::ProductInputs& in = w.productInputs();
    in.gSmplPoints = c.total;
    in.gNFixed = c.settled;
    in.gExpiry = c.expiry;
    in.gVol = c.vol;
    in.gIntRate = c.rate;
    in.gAsset = c.spot;
    double lower = -1.0, upper = -1.0;
    w.GetInitAvgLimits(lower, upper);
    EXPECT_DOUBLE_EQ(lower, c.lower);
    EXPECT_DOUBLE_EQ(upper, c.upper);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, InitAvgLimitsTest, ::testing::ValuesIn(kLimitsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputFieldsTest, InitAvgLimitsReportAFaultAndKeepWhatWasWrittenBeforeIt)
{
    frmOptions& w = openPde();
    tarvic::ProductInputs& in = w.productInputs();
    in.gExpiry = 1.0;
    in.gVol = 0.2;
    in.gIntRate = 0.05;
    in.gAsset = 100.0;

    // Every fixing settled: no spacing.
    in.gSmplPoints = 4;
    in.gNFixed = 4;
    double lower = -1.0, upper = -1.0;
    w.GetInitAvgLimits(lower, upper);
    EXPECT_EQ(lower, -1.0);
    EXPECT_EQ(upper, -1.0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("PDE Solver - ERROR"));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("Division by zero")));
    EXPECT_TRUE(boxes.shown[0].text.endsWith(QStringLiteral(
        "occurred while checking whether the initial average is within the allowed limits")));

    // A zero spot: the average is written, its ratio to the spot is not.
    in.gSmplPoints = 12;
    in.gAsset = 0.0;
    w.GetInitAvgLimits(lower, upper);
    EXPECT_EQ(lower, 0.0);
    EXPECT_EQ(upper, -1.0);
    EXPECT_EQ(boxes.shown.size(), 2);
}
