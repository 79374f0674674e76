#include "settings/frmResol.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <limits>
#include <memory>

#include "platform/colors.h"
#include "platform/window_placement.h"
#include "settings/settings_test_support.h"

using namespace tarvic;
using settings_test::SettingsFixture;
using settings_test::StubPricer;

namespace {

uint32_t background(const QWidget* box)
{
    return toBgr(box->palette().color(QPalette::Base));
}

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

class FrmResolTest : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        dlg = std::make_unique<frmResol>(&pde);
    }
    void TearDown() override
    {
        dlg->allowCloseForProgramEnd();
        dlg.reset();
    }
    // Shown modally through the non-blocking seam; the show runs the
    // activation as the forms runtime does.
    void show() { dlg->showModalFor(&pde); }
    void chooseUserDefined() { dlg->setListIndex(dlg->cboResol, 3); }

    StubPricer pde{QStringLiteral("European")};
    std::unique_ptr<frmResol> dlg;
};

TEST_F(FrmResolTest, LoadShowsEverySettingWithItsDefault)
{
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("PDE Solver Options"));
    EXPECT_EQ(items(dlg->cboDiscrete), QStringList({"Implicit", "Crank-Nicolson",
                                                    "Crank-Nicolson with Rannacher"}));
    EXPECT_EQ(items(dlg->cboAmerSolver),
              QStringList({"Projected SOR", "Projected Turbo SOR", "Brennan-Schwartz"}));
    EXPECT_EQ(items(dlg->cboPlanes), QStringList({"Linear", "Quadratic", "Cubic"}));
    EXPECT_EQ(items(dlg->cboPlaneSpc), QStringList({" 1:1", " 2:1", " 4:1"}));
    EXPECT_EQ(items(dlg->cboResol), QStringList({"Low", "Medium", "High", "User-defined"}));

    EXPECT_EQ(dlg->cboResol->currentIndex(), 1);
    EXPECT_EQ(dlg->txtNoA->text(), QStringLiteral("100"));
    EXPECT_EQ(dlg->txtTS->text(), QStringLiteral("100"));
    EXPECT_FALSE(dlg->txtNoA->isEnabled());
    EXPECT_FALSE(dlg->txtTS->isEnabled());
    EXPECT_EQ(background(dlg->txtNoA), 0xE0E0E0u);
    EXPECT_EQ(background(dlg->txtTS), 0xE0E0E0u);
    EXPECT_FALSE(dlg->ChkOverMaxS->isChecked());
    EXPECT_TRUE(dlg->txtMaxS->isHidden());
    EXPECT_EQ(background(dlg->txtMaxS), 0xC0FFFFu);
    EXPECT_TRUE(dlg->chkNonUniGrid->isChecked());
    EXPECT_FALSE(dlg->chkMT->isChecked());
    EXPECT_EQ(dlg->chkMT->text(), QStringLiteral("Use all available CPU cores "));
    EXPECT_TRUE(dlg->Command1->isDefault());

    const PdeSettings& s = gPdeSettings;
    EXPECT_EQ(s.gDiscretization, 2);
    EXPECT_EQ(s.gAmerSolver, 2);
    EXPECT_EQ(s.gPlanesInterp, 1);
    EXPECT_EQ(s.gPlaneSpacing, 4);  // "Medium" chose " 4:1"
    EXPECT_EQ(dlg->cboPlaneSpc->currentIndex(), 2);
    EXPECT_TRUE(s.gNonUniGrid);
    EXPECT_FALSE(s.gMultiThreadPDE);
    EXPECT_EQ(s.gUserNoA, 0);
    EXPECT_EQ(s.gUserTS, 0);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(FrmResolTest, ResolutionPresets)
{
    // 250 typed under "User-defined" is remembered across the presets.
    chooseUserDefined();
    dlg->txtNoA->setText(QStringLiteral("250"));
    ASSERT_EQ(gPdeSettings.gUserNoA, 250);

    const struct {
        int preset;
        const char* noA;
        const char* ts;
        bool editable;
        uint32_t colour;
        int spacingIndex;  // from " 1:1"
    } cases[] = {
        {0, "30", "30", false, 0xE0E0E0, 1},
        {1, "100", "100", false, 0xE0E0E0, 2},
        {2, "300", "300", false, 0xE0E0E0, 0},
        {3, "250", "300", true, 0xFFFFFF, 0},  // nothing typed for the time steps: kept
    };
    for (const auto& c : cases) {
        dlg->setListIndex(dlg->cboPlaneSpc, 0);
        dlg->setListIndex(dlg->cboResol, c.preset);
        EXPECT_EQ(dlg->txtNoA->text(), QLatin1String(c.noA)) << c.preset;
        EXPECT_EQ(dlg->txtTS->text(), QLatin1String(c.ts)) << c.preset;
        EXPECT_EQ(dlg->txtNoA->isEnabled(), c.editable) << c.preset;
        EXPECT_EQ(dlg->txtTS->isEnabled(), c.editable) << c.preset;
        EXPECT_EQ(background(dlg->txtNoA), c.colour) << c.preset;
        EXPECT_EQ(background(dlg->txtTS), c.colour) << c.preset;
        EXPECT_EQ(dlg->cboPlaneSpc->currentIndex(), c.spacingIndex) << c.preset;
    }
    EXPECT_EQ(dlg->focusWidget(), dlg->txtNoA);
    EXPECT_EQ(dlg->txtNoA->cursorPosition(), 3);
    EXPECT_EQ(gPdeSettings.gUserNoA, 250);
    EXPECT_EQ(gPdeSettings.gUserTS, 0);
}

TEST_F(FrmResolTest, PresetSpacingFollowsTheFloatingStrikeAndASingleItemList)
{
    pde.inputs.gFloatingStrike = true;
    dlg->setListIndex(dlg->cboPlaneSpc, 2);
    dlg->setListIndex(dlg->cboResol, 0);  // "Low" would choose " 2:1"
    EXPECT_EQ(dlg->cboPlaneSpc->currentIndex(), 0);
    EXPECT_EQ(gPdeSettings.gPlaneSpacing, 1);

    // With the planes list disabled the spacing is left alone.
    dlg->cboPlanes->setEnabled(false);
    pde.inputs.gFloatingStrike = false;
    dlg->setListIndex(dlg->cboResol, 1);
    EXPECT_EQ(dlg->cboPlaneSpc->currentIndex(), 0);
}

TEST_F(FrmResolTest, UserDefinedKeepsTheLastPresetUntilSomethingIsTyped)
{
    show();
    chooseUserDefined();
    EXPECT_EQ(dlg->txtNoA->text(), QStringLiteral("100"));
    EXPECT_EQ(dlg->txtTS->text(), QStringLiteral("100"));
    EXPECT_TRUE(dlg->txtNoA->isEnabled());

    dlg->txtNoA->clear();
    QTest::keyClicks(dlg->txtNoA, QStringLiteral("250"));
    dlg->txtTS->clear();
    QTest::keyClicks(dlg->txtTS, QStringLiteral("120"));
    dlg->setListIndex(dlg->cboResol, 0);
    EXPECT_EQ(dlg->txtNoA->text(), QStringLiteral("30"));
    EXPECT_EQ(gPdeSettings.gUserNoA, 250);  // a preset does not overwrite what was typed
    chooseUserDefined();
    EXPECT_EQ(dlg->txtNoA->text(), QStringLiteral("250"));
    EXPECT_EQ(dlg->txtTS->text(), QStringLiteral("120"));
    EXPECT_EQ(boxes.beeps, 0);
}

TEST_F(FrmResolTest, OkChecksTheStepCounts)
{
    const QString assetMsg = QStringLiteral("The number of asset steps must be at least 10");
    const QString timeMsg = QStringLiteral("The number of time steps must be at least 10");
    const struct {
        const char* noA;
        const char* ts;
        const QString* message;  // nullptr: the dialog hides
        bool assetBox;           // the refused box is txtNoA (else txtTS)
    } cases[] = {
        {"", "100", &assetMsg, true},
        {"9", "5", &assetMsg, true},  // the first failing check decides
        {"9.99", "100", &assetMsg, true},
        {"abc", "100", &assetMsg, true},
        {"10", "9", &timeMsg, false},
        {"10", "", &timeMsg, false},
        {"10", "10", nullptr, false},
        {"12abc", "10.5", nullptr, false},  // read by the leading number
    };
    for (const auto& c : cases) {
        show();
        chooseUserDefined();
        dlg->txtNoA->setText(QLatin1String(c.noA));
        dlg->txtTS->setText(QLatin1String(c.ts));
        dlg->Command1->click();

        const std::string at = std::string(c.noA) + " / " + c.ts;
        if (!c.message) {
            EXPECT_TRUE(dlg->isHidden()) << at;
            EXPECT_TRUE(boxes.shown.isEmpty()) << at;
            continue;
        }
        ASSERT_EQ(boxes.shown.size(), 1) << at;
        EXPECT_EQ(boxes.shown[0].text, *c.message) << at;
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Invalid parameter")) << at;
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Exclamation) << at;
        EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::OKOnly) << at;
        EXPECT_FALSE(dlg->isHidden()) << at;
        QLineEdit* refused = c.assetBox ? dlg->txtNoA : dlg->txtTS;
        QLineEdit* other = c.assetBox ? dlg->txtTS : dlg->txtNoA;
        EXPECT_EQ(refused->text(), QString()) << at;
        EXPECT_EQ(other->text(), QLatin1String(c.assetBox ? c.ts : c.noA)) << at;
        EXPECT_EQ(dlg->focusWidget(), refused) << at;
        boxes.shown.clear();
        dlg->hide();
    }
}

TEST_F(FrmResolTest, CloseBoxAndEscActAsOk)
{
    for (const bool useEsc : {false, true}) {
        show();
        chooseUserDefined();
        dlg->txtNoA->setText(QStringLiteral("5"));
        if (useEsc)
            QTest::keyClick(dlg.get(), Qt::Key_Escape);
        else
            dlg->close();
        ASSERT_EQ(boxes.shown.size(), 1) << useEsc;
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("The number of asset steps must be at least 10"));
        EXPECT_FALSE(dlg->isHidden()) << "a refused count keeps the dialog open";
        EXPECT_EQ(dlg->result(), 0);

        dlg->txtNoA->setText(QStringLiteral("50"));
        if (useEsc)
            QTest::keyClick(dlg.get(), Qt::Key_Escape);
        else
            dlg->close();
        EXPECT_TRUE(dlg->isHidden()) << useEsc;
        EXPECT_EQ(boxes.shown.size(), 1);
        boxes.shown.clear();
    }
    // The dialog keeps its state between showings.
    show();
    EXPECT_EQ(dlg->txtNoA->text(), QStringLiteral("50"));
}

TEST_F(FrmResolTest, EnterPressesOk)
{
    show();
    chooseUserDefined();
    dlg->txtTS->setText(QStringLiteral("7"));
    QTest::keyClick(dlg->txtNoA, Qt::Key_Return);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("The number of time steps must be at least 10"));
    dlg->txtTS->setText(QStringLiteral("70"));
    QTest::keyClick(dlg->txtTS, Qt::Key_Return);
    EXPECT_TRUE(dlg->isHidden());
}

TEST_F(FrmResolTest, TabbingIntoTheTimeStepsPutsTheCaretAtTheEnd)
{
    show();
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    chooseUserDefined();
    dlg->txtTS->setText(QStringLiteral("450"));
    ASSERT_TRUE(dlg->txtNoA->hasFocus());
    QTest::keyClick(dlg->txtNoA, Qt::Key_Tab);
    ASSERT_TRUE(dlg->txtTS->hasFocus());
    EXPECT_FALSE(dlg->txtTS->hasSelectedText());
    EXPECT_EQ(dlg->txtTS->cursorPosition(), 3);
}

TEST_F(FrmResolTest, QueryUnloadCancelsOnlyTheUsersClose)
{
    chooseUserDefined();
    dlg->txtNoA->setText(QStringLiteral("5"));
    int16_t cancel = 0;
    dlg->Form_QueryUnload(cancel, 0);
    EXPECT_NE(cancel, 0);
    EXPECT_EQ(boxes.shown.size(), 1);
    cancel = 0;
    dlg->Form_QueryUnload(cancel, 1);  // unloaded by code: goes ahead, no checks
    EXPECT_EQ(cancel, 0);
    EXPECT_EQ(boxes.shown.size(), 1);

    // At program end the close goes ahead without the checks.
    show();
    dlg->allowCloseForProgramEnd();
    dlg->close();
    EXPECT_TRUE(dlg->isHidden());
    EXPECT_EQ(boxes.shown.size(), 1);
}

TEST_F(FrmResolTest, AmericanSolverFollowsTheServedExerciseStyle)
{
    pde.exercise = QStringLiteral("American");
    show();
    EXPECT_TRUE(dlg->cboAmerSolver->isEnabled());
    EXPECT_TRUE(dlg->lblAmerSolver->isEnabled());
    dlg->setListIndex(dlg->cboAmerSolver, 0);
    EXPECT_EQ(gPdeSettings.gAmerSolver, 0);
    dlg->hide();

    pde.exercise = QStringLiteral("Bermudan");
    show();
    EXPECT_FALSE(dlg->cboAmerSolver->isEnabled());
    EXPECT_FALSE(dlg->lblAmerSolver->isEnabled());
    EXPECT_EQ(dlg->cboAmerSolver->currentIndex(), -1);
    EXPECT_EQ(gPdeSettings.gAmerSolver, 0);  // kept while the list does not apply
    dlg->hide();

    pde.exercise = QStringLiteral("American");
    show();
    EXPECT_EQ(dlg->cboAmerSolver->currentIndex(), 0);
}

TEST_F(FrmResolTest, ActivationSetsThePlaneControlsForAsianPayoffs)
{
    const struct {
        const char* exercise;
        bool asian;
        bool floating;
        QStringList spacingItems;
        int spacingIndex;
        int planesIndex;
        int planeSpacing;
        bool maxSEnabled;
    } cases[] = {
        {"European", true, false, {" 1:1", " 2:1", " 4:1"}, 2, 2, 4, true},
        {"American", true, false, {"1:1"}, 0, 1, 1, false},
        {"Bermudan", true, false, {"1:1"}, 0, 1, 1, false},
        {"European", true, true, {"1:1"}, 0, 1, 1, false},
    };
    for (const auto& c : cases) {
        // As the pricer window leaves it: planes not chosen, spacing 4,
        // the planes list enabled for an Asian payoff, a maximum asset set.
        gPdeSettings.gPlanesInterp = -1;
        gPdeSettings.gDefaultPlanesInterp = 2;
        gPdeSettings.gPlaneSpacing = 4;
        dlg->cboPlanes->setEnabled(true);
        dlg->ChkOverMaxS->setEnabled(true);
        dlg->ChkOverMaxS->setChecked(true);
        dlg->txtMaxS->setText(QStringLiteral("400"));
        pde.exercise = QLatin1String(c.exercise);
        pde.inputs.gAsian = c.asian;
        pde.inputs.gFloatingStrike = c.floating;

        show();
        const std::string at = std::string(c.exercise) + (c.floating ? " floating" : " fixed");
        EXPECT_EQ(items(dlg->cboPlaneSpc), c.spacingItems) << at;
        EXPECT_EQ(dlg->cboPlaneSpc->currentIndex(), c.spacingIndex) << at;
        EXPECT_EQ(dlg->cboPlanes->currentIndex(), c.planesIndex) << at;
        EXPECT_EQ(gPdeSettings.gPlanesInterp, c.planesIndex) << at;
        EXPECT_EQ(gPdeSettings.gPlaneSpacing, c.planeSpacing) << at;
        EXPECT_EQ(dlg->ChkOverMaxS->isEnabled(), c.maxSEnabled) << at;
        EXPECT_EQ(dlg->ChkOverMaxS->isChecked(), c.maxSEnabled) << at;
        EXPECT_DOUBLE_EQ(gPdeSettings.gMaxS, c.maxSEnabled ? 400.0 : 0.0) << at;
        dlg->hide();
    }
}

TEST_F(FrmResolTest, ActivationClearsThePlaneSelectionsWhenTheyDoNotApply)
{
    dlg->cboPlanes->setEnabled(false);
    show();
    EXPECT_EQ(dlg->cboPlanes->currentIndex(), -1);
    EXPECT_EQ(dlg->cboPlaneSpc->currentIndex(), -1);
    EXPECT_EQ(dlg->cboPlaneSpc->count(), 3);
    EXPECT_EQ(gPdeSettings.gPlanesInterp, 1);
    EXPECT_EQ(gPdeSettings.gPlaneSpacing, 4);
}

TEST_F(FrmResolTest, OneToOneSpacingTurnsCubicIntoQuadratic)
{
    dlg->setListIndex(dlg->cboPlanes, 2);
    dlg->setListIndex(dlg->cboPlaneSpc, 1);
    EXPECT_EQ(gPdeSettings.gPlaneSpacing, 2);
    EXPECT_EQ(dlg->cboPlanes->currentIndex(), 2);
    dlg->setListIndex(dlg->cboPlaneSpc, 2);
    EXPECT_EQ(gPdeSettings.gPlaneSpacing, 4);
    EXPECT_EQ(gPdeSettings.gPlanesInterp, 2);
    dlg->setListIndex(dlg->cboPlaneSpc, 0);
    EXPECT_EQ(gPdeSettings.gPlaneSpacing, 1);
    EXPECT_EQ(dlg->cboPlanes->currentIndex(), 1);
    EXPECT_EQ(gPdeSettings.gPlanesInterp, 1);
}

TEST_F(FrmResolTest, ListsStoreTheirIndexAtOnce)
{
    dlg->setListIndex(dlg->cboDiscrete, 0);
    EXPECT_EQ(gPdeSettings.gDiscretization, 0);
    dlg->setListIndex(dlg->cboDiscrete, -1);
    EXPECT_EQ(gPdeSettings.gDiscretization, -1);
    dlg->setListIndex(dlg->cboAmerSolver, 1);
    dlg->setListIndex(dlg->cboAmerSolver, -1);
    EXPECT_EQ(gPdeSettings.gAmerSolver, 1);
    dlg->setListIndex(dlg->cboPlanes, 0);
    dlg->setListIndex(dlg->cboPlanes, -1);
    EXPECT_EQ(gPdeSettings.gPlanesInterp, 0);
    dlg->chkMT->setChecked(true);
    EXPECT_TRUE(gPdeSettings.gMultiThreadPDE);
    dlg->chkNonUniGrid->setChecked(false);
    EXPECT_FALSE(gPdeSettings.gNonUniGrid);

    // Choosing the item already shown runs the handler too, as a user's
    // choice would: " 1:1" again still turns "Cubic" into "Quadratic".
    dlg->setListIndex(dlg->cboPlaneSpc, 0);
    dlg->cboPlanes->setCurrentIndex(2);
    dlg->setListIndex(dlg->cboPlaneSpc, 0);
    EXPECT_EQ(dlg->cboPlanes->currentIndex(), 1);
}

TEST_F(FrmResolTest, UserMaximumAssetValue)
{
    show();
    dlg->ChkOverMaxS->setChecked(true);
    EXPECT_FALSE(dlg->txtMaxS->isHidden());
    EXPECT_EQ(dlg->focusWidget(), dlg->txtMaxS);
    QTest::keyClicks(dlg->txtMaxS, QStringLiteral("1.5"));
    EXPECT_DOUBLE_EQ(gPdeSettings.gMaxS, 1.5);
    QTest::keyClick(dlg->txtMaxS, Qt::Key_A);
    EXPECT_EQ(dlg->txtMaxS->text(), QStringLiteral("1.5"));
    EXPECT_EQ(boxes.beeps, 1);

    dlg->ChkOverMaxS->setChecked(false);
    EXPECT_TRUE(dlg->txtMaxS->isHidden());
    EXPECT_EQ(dlg->txtMaxS->text(), QString());
    EXPECT_DOUBLE_EQ(gPdeSettings.gMaxS, 0.0);
    dlg->ChkOverMaxS->setChecked(true);
    EXPECT_EQ(dlg->txtMaxS->text(), QString());

    // A value set elsewhere (the driver's reset) comes back into the box.
    dlg->ChkOverMaxS->setChecked(false);
    gPdeSettings.gMaxS = 250.0;
    dlg->ChkOverMaxS->setChecked(true);
    EXPECT_EQ(dlg->txtMaxS->text(), QStringLiteral("250"));
}

TEST_F(FrmResolTest, ForcedNonUniformGridHoldsTheUserMaximum)
{
    dlg->ChkOverMaxS->setChecked(true);
    dlg->txtMaxS->setText(QStringLiteral("300"));
    // The payoff handler's way: uncheck, disable, check.
    dlg->chkNonUniGrid->setChecked(false);
    EXPECT_TRUE(dlg->ChkOverMaxS->isChecked()) << "an enabled box changes nothing else";
    dlg->chkNonUniGrid->setEnabled(false);
    dlg->chkNonUniGrid->setChecked(true);
    EXPECT_TRUE(gPdeSettings.gNonUniGrid);
    EXPECT_FALSE(dlg->ChkOverMaxS->isChecked());
    EXPECT_FALSE(dlg->ChkOverMaxS->isEnabled());
    EXPECT_TRUE(dlg->txtMaxS->isHidden());
    EXPECT_EQ(dlg->txtMaxS->text(), QString());
    EXPECT_DOUBLE_EQ(gPdeSettings.gMaxS, 0.0);
    // A contract that allows it again brings the user's value back.
    dlg->releaseNonUniGrid();
    dlg->releaseMaxAsset();
    EXPECT_TRUE(dlg->ChkOverMaxS->isChecked());
    EXPECT_EQ(dlg->txtMaxS->text(), QStringLiteral("300"));
    EXPECT_DOUBLE_EQ(gPdeSettings.gMaxS, 300.0);
}

TEST_F(FrmResolTest, KeyFiltersDropWhatTheBoxesDoNotTake)
{
    show();
    chooseUserDefined();
    dlg->ChkOverMaxS->setChecked(true);
    const struct {
        QLineEdit* box;
        char key;
        bool taken;
    } cases[] = {
        {dlg->txtNoA, '7', true},  {dlg->txtNoA, 'a', false}, {dlg->txtNoA, '.', false},
        {dlg->txtNoA, '-', false}, {dlg->txtTS, '0', true},   {dlg->txtTS, ' ', false},
        {dlg->txtTS, '.', false},  {dlg->txtMaxS, '.', true}, {dlg->txtMaxS, '9', true},
        {dlg->txtMaxS, 'e', false}, {dlg->txtMaxS, '-', false},
    };
    for (const auto& c : cases) {
        c.box->setText(QStringLiteral("12"));
        c.box->setCursorPosition(2);
        const int beeps = boxes.beeps;
        QTest::keyClicks(c.box, QString(QLatin1Char(c.key)));
        const QString expected = c.taken ? QStringLiteral("12") + QLatin1Char(c.key) : QStringLiteral("12");
        EXPECT_EQ(c.box->text(), expected) << c.box->objectName().toStdString() << " " << c.key;
        EXPECT_EQ(boxes.beeps - beeps, c.taken ? 0 : 1) << c.key;
    }
    QTest::keyClick(dlg->txtNoA, Qt::Key_Backspace);
    EXPECT_EQ(dlg->txtNoA->text(), QStringLiteral("1"));
}

TEST_F(FrmResolTest, StepCountsTakeAtMostNineDigits)
{
    show();
    chooseUserDefined();
    dlg->txtNoA->clear();
    QTest::keyClicks(dlg->txtNoA, QStringLiteral("12345678901"));
    EXPECT_EQ(dlg->txtNoA->text(), QStringLiteral("123456789"));
    EXPECT_EQ(gPdeSettings.gUserNoA, 123456789);
    dlg->txtTS->setText(QStringLiteral("99999999999999"));  // pasted
    EXPECT_EQ(dlg->txtTS->text(), QStringLiteral("999999999"));
    EXPECT_EQ(gPdeSettings.gUserTS, 999999999);
    // A pasted exponent cannot overflow the count either.
    dlg->txtTS->setText(QStringLiteral("1e99"));
    EXPECT_EQ(gPdeSettings.gUserTS, std::numeric_limits<int32_t>::max());
}

TEST_F(FrmResolTest, ShowingAnOpenDialogBringsItToTheFront)
{
    dlg->showModelessFor(&pde);
    ASSERT_EQ(shows.modeless.size(), 1);
    dlg->showModalFor(&pde);  // F2 while the grid check's modeless dialog is open
    dlg->showModelessFor(&pde);
    EXPECT_TRUE(shows.modal.isEmpty());
    EXPECT_EQ(shows.modeless.size(), 1);
    EXPECT_FALSE(dlg->isHidden());

    dlg->Command1->click();
    ASSERT_TRUE(dlg->isHidden());
    dlg->showModalFor(&pde);
    EXPECT_EQ(shows.modal.size(), 1);
}

TEST_F(FrmResolTest, ReadsTheFlagsOfTheWindowItServes)
{
    // The other pricer window last chose a floating-strike Asian payoff.
    StubPricer other(QStringLiteral("American"));
    other.inputs.gAsian = true;
    other.inputs.gFloatingStrike = true;
    dlg->cboPlanes->setEnabled(true);
    show();
    EXPECT_EQ(dlg->cboPlaneSpc->count(), 3);
    EXPECT_EQ(dlg->cboAmerSolver->currentIndex(), -1);
    dlg->hide();

    dlg->showModalFor(&other);
    EXPECT_EQ(items(dlg->cboPlaneSpc), QStringList({"1:1"}));
    EXPECT_TRUE(dlg->cboAmerSolver->isEnabled());
}

TEST_F(FrmResolTest, ForgetsAWindowThatGoesAway)
{
    {
        StubPricer gone(QStringLiteral("American"));
        gone.inputs.gFloatingStrike = true;
        dlg->setServedWindow(&gone);
        EXPECT_EQ(dlg->servedWindow(), &gone);
    }
    EXPECT_EQ(dlg->servedWindow(), nullptr);
    dlg->cboPlanes->setEnabled(true);
    dlg->Form_Activate();  // reads cleared flags, not a dead window
    EXPECT_FALSE(dlg->cboAmerSolver->isEnabled());
    EXPECT_EQ(dlg->cboPlaneSpc->count(), 3);
}

TEST_F(FrmResolTest, EveryActivationPlacesTheDialogOverTheMainWindow)
{
    QWidget main;
    main.setGeometry(100, 50, 800, 600);
    setMainWindowWidget(&main);
    show();
    const QRect frame = dlg->frameGeometry();
    const int left = static_cast<int>(std::lround((100 * 15 + (800 - frame.width()) * 15 * 0.5) / 15.0));
    const int top = static_cast<int>(std::lround((50 * 15 + (600 - frame.height()) * 15 * 0.54) / 15.0));
    EXPECT_EQ(frame.topLeft(), QPoint(left, top));

    dlg->move(0, 0);
    dlg->Form_Activate();
    EXPECT_EQ(dlg->frameGeometry().topLeft(), QPoint(left, top));
    setMainWindowWidget(nullptr);
}

}  // namespace
