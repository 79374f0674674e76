#include "settings/frmResolMC.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

#include "platform/spin_button.h"
#include "settings/settings_test_support.h"

using namespace tarvic;
using settings_test::SettingsFixture;
using settings_test::StubPricer;

namespace {

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

const QString kTitle = QStringLiteral("Invalid input parameter");
const QString kLsMessage = QStringLiteral(
    "The number of paths used for the Longstaff-Schwartz regression cannot be more than the total "
    "number of simulation paths.");

class FrmResolMCTest : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        dlg = std::make_unique<frmResolMC>(&mc);
    }
    void TearDown() override
    {
        dlg->allowCloseForProgramEnd();
        dlg.reset();
    }
    void show() { dlg->showModalFor(&mc); }
    void pseudo() { dlg->optRNG[1]->setChecked(true); }
    void sobol() { dlg->optRNG[0]->setChecked(true); }

    StubPricer mc{QStringLiteral("European")};
    std::unique_ptr<frmResolMC> dlg;
};

TEST_F(FrmResolMCTest, LoadWritesTheMonteCarloDefaults)
{
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Monte Carlo Solver Options"));
    const McSettings& s = gMcSettings;
    EXPECT_TRUE(s.gSobol);
    EXPECT_EQ(s.gPathsPow, 19);
    EXPECT_EQ(s.gPathsK, 1000);
    EXPECT_EQ(s.gLSPathsPow, 14);
    EXPECT_EQ(s.gLSPathsK, 50);
    EXPECT_EQ(s.gTimeMarching, 1);
    EXPECT_TRUE(s.gBrownianBridge);
    EXPECT_TRUE(s.gAntithetic);
    EXPECT_FALSE(s.gWarmUp);
    EXPECT_TRUE(mc.inputs.gDiscreteMon);

    EXPECT_TRUE(dlg->optRNG[0]->isChecked());
    EXPECT_EQ(dlg->txtPaths->text(), QStringLiteral("2^19"));
    EXPECT_EQ(dlg->txtFinalPaths->text(), QStringLiteral("524,288"));
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("2^14"));
    EXPECT_TRUE(dlg->txtPaths->isReadOnly());
    EXPECT_TRUE(dlg->txtLSPaths->isReadOnly());
    EXPECT_EQ(dlg->UpDownPow->value(), 19);
    EXPECT_EQ(dlg->UpDownPow->minimum(), 10);
    EXPECT_EQ(dlg->UpDownPow->maximum(), 30);
    EXPECT_EQ(dlg->UpDownLSPow->value(), 14);
    EXPECT_EQ(dlg->UpDownLSPow->maximum(), 31);
    EXPECT_TRUE(dlg->chkWarm->isEnabled());
    EXPECT_FALSE(dlg->chkAntithetic->isEnabled());
    EXPECT_TRUE(dlg->chkBB->isEnabled());
    EXPECT_TRUE(dlg->chkBB->isChecked());
    EXPECT_TRUE(dlg->optTM[0]->isChecked());
    for (QCheckBox* c : dlg->chkGreeks)
        EXPECT_TRUE(c->isChecked());
    EXPECT_TRUE(dlg->optGreekMethod[0]->isChecked());
    EXPECT_TRUE(dlg->chkMT->isChecked());
    EXPECT_EQ(items(dlg->cboBasisF), QStringList({"3", "4", "5", "6", "10", "11"}));
    EXPECT_EQ(dlg->cboBasisF->currentIndex(), -1);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(FrmResolMCTest, SobolPathsStepThroughTheSpinButtonsOnly)
{
    mc.exercise = QStringLiteral("Bermudan");
    show();
    dlg->UpDownPow->stepUp();
    EXPECT_EQ(dlg->txtPaths->text(), QStringLiteral("2^20"));
    EXPECT_EQ(dlg->txtFinalPaths->text(), QStringLiteral("1,048,576"));
    EXPECT_EQ(gMcSettings.gPathsPow, 20);
    dlg->UpDownPow->setValue(40);
    EXPECT_EQ(dlg->txtPaths->text(), QStringLiteral("2^30"));
    dlg->UpDownLSPow->setValue(31);
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("2^31"));
    EXPECT_EQ(dlg->txtLSFinalPaths->text(), QStringLiteral("2,147,483,648"));
    EXPECT_EQ(gMcSettings.gLSPathsPow, 31);
    // Locked: typing changes nothing.
    QTest::keyClicks(dlg->txtPaths, QStringLiteral("5"));
    EXPECT_EQ(dlg->txtPaths->text(), QStringLiteral("2^30"));
}

TEST_F(FrmResolMCTest, PseudoRandomGeneratorLaysOutThousands)
{
    mc.exercise = QStringLiteral("Bermudan");
    show();
    pseudo();
    EXPECT_FALSE(gMcSettings.gSobol);
    EXPECT_EQ(dlg->txtPaths->text(), QStringLiteral("1000"));
    EXPECT_EQ(dlg->txtFinalPaths->text(), QStringLiteral("1,000,000"));
    EXPECT_FALSE(dlg->txtPaths->isReadOnly());
    EXPECT_EQ(dlg->txtPaths->width(), 975 / 15);
    EXPECT_TRUE(dlg->UpDownPow->isHidden());
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("50"));
    EXPECT_EQ(dlg->txtLSFinalPaths->text(), QStringLiteral("50,000"));
    EXPECT_EQ(dlg->txtLSPaths->width(), 975 / 15);
    EXPECT_EQ(dlg->txtLSPaths->x(), 1920 / 15);
    EXPECT_FALSE(dlg->txtLSPaths->isReadOnly());
    EXPECT_TRUE(dlg->UpDownLSPow->isHidden());
    EXPECT_EQ(dlg->focusWidget(), dlg->txtPaths);

    sobol();
    EXPECT_EQ(dlg->txtPaths->width(), 745 / 15);
    EXPECT_TRUE(dlg->txtPaths->isReadOnly());
    EXPECT_FALSE(dlg->UpDownPow->isHidden());
    EXPECT_FALSE(dlg->UpDownLSPow->isHidden());
}

TEST_F(FrmResolMCTest, SwitchingBackToSobolRewritesBothPathsBoxes)
{
    // The spin buttons still hold 19 and 14, so setting them changes
    // nothing; the boxes must still show the exponents again.
    mc.exercise = QStringLiteral("Bermudan");
    show();
    pseudo();
    ASSERT_EQ(dlg->txtPaths->text(), QStringLiteral("1000"));
    sobol();
    EXPECT_EQ(dlg->txtPaths->text(), QStringLiteral("2^19"));
    EXPECT_EQ(dlg->txtFinalPaths->text(), QStringLiteral("524,288"));
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("2^14"));
    EXPECT_EQ(dlg->txtLSFinalPaths->text(), QStringLiteral("16,384"));
    EXPECT_EQ(gMcSettings.gPathsPow, 19);
    EXPECT_EQ(gMcSettings.gLSPathsPow, 14);
    EXPECT_EQ(gMcSettings.gPathsK, 1000);
    EXPECT_EQ(gMcSettings.gLSPathsK, 50);
    // And the next OK finds nothing to refuse.
    dlg->Command1->click();
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_TRUE(dlg->isHidden());
}

TEST_F(FrmResolMCTest, GeneratorSwitchRestoresEachGeneratorsChoices)
{
    const struct {
        bool bb;
        bool warm;
        bool antithetic;
        bool bbAfter;
        bool warmAfter;
    } cases[] = {
        {true, false, false, true, false},
        {false, true, true, false, true},  // warm-up survives only without the bridge
        {false, false, false, false, false},
    };
    for (const auto& c : cases) {
        sobol();
        dlg->chkBB->setChecked(c.bb);
        dlg->chkWarm->setChecked(c.warm);
        pseudo();
        EXPECT_FALSE(dlg->chkBB->isEnabled());
        EXPECT_FALSE(dlg->chkBB->isChecked());
        EXPECT_FALSE(dlg->chkWarm->isEnabled());
        EXPECT_FALSE(dlg->chkWarm->isChecked());
        EXPECT_TRUE(dlg->chkAntithetic->isEnabled());
        dlg->chkAntithetic->setChecked(c.antithetic);
        EXPECT_EQ(gMcSettings.gAntithetic, c.antithetic);

        sobol();
        EXPECT_EQ(dlg->chkBB->isChecked(), c.bbAfter);
        EXPECT_EQ(dlg->chkWarm->isChecked(), c.warmAfter);
        EXPECT_EQ(gMcSettings.gBrownianBridge, c.bbAfter);
        EXPECT_EQ(gMcSettings.gWarmUp, c.warmAfter);
        EXPECT_FALSE(dlg->chkAntithetic->isEnabled());
        EXPECT_FALSE(dlg->chkAntithetic->isChecked());
        EXPECT_EQ(gMcSettings.gAntithetic, c.antithetic);  // kept while it does not apply

        pseudo();
        EXPECT_EQ(dlg->chkAntithetic->isChecked(), c.antithetic);
    }
}

TEST_F(FrmResolMCTest, BrownianBridgeUnchecksWarmUpButNotTheOtherWayRound)
{
    dlg->chkBB->setChecked(false);
    dlg->chkWarm->setChecked(true);
    EXPECT_FALSE(dlg->chkBB->isChecked());
    EXPECT_TRUE(gMcSettings.gWarmUp);
    dlg->chkBB->setChecked(true);
    EXPECT_FALSE(dlg->chkWarm->isChecked());
    EXPECT_FALSE(gMcSettings.gWarmUp);
    EXPECT_TRUE(gMcSettings.gBrownianBridge);
    dlg->chkWarm->setChecked(true);
    EXPECT_TRUE(dlg->chkBB->isChecked());
}

TEST_F(FrmResolMCTest, PseudoRandomPathsAreLimitedToTwoBillion)
{
    mc.exercise = QStringLiteral("Bermudan");
    show();
    pseudo();
    for (QLineEdit* box : {dlg->txtPaths, dlg->txtLSPaths}) {
        QLineEdit* final = box == dlg->txtPaths ? dlg->txtFinalPaths : dlg->txtLSFinalPaths;
        int32_t& stored = box == dlg->txtPaths ? gMcSettings.gPathsK : gMcSettings.gLSPathsK;
        box->setText(QStringLiteral("2000000"));
        EXPECT_TRUE(boxes.shown.isEmpty());
        EXPECT_EQ(final->text(), QStringLiteral("2,000,000,000"));
        EXPECT_EQ(stored, 2000000);

        box->setText(QStringLiteral("2000001"));
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text,
                  QStringLiteral("The maximum number of pseudo-random paths allowed is 2 billion"));
        EXPECT_EQ(boxes.shown[0].title, kTitle);
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(box->text(), QStringLiteral("2000000"));
        EXPECT_EQ(stored, 2000000);
        EXPECT_EQ(dlg->focusWidget(), box);
        boxes.shown.clear();
    }
}

// While the message about a count over the limit shows, the count beside
// the box is not that of an earlier text (999,999,000 beside 9999999).
TEST_F(FrmResolMCTest, NoStaleCountBesideAPathCountOverTheLimit)
{
    struct Watch : MessageBoxSeam {
        QLineEdit* beside = nullptr;
        QStringList seen;
        MsgResult show(QWidget*, const MsgBoxRequest&) override
        {
            seen << beside->text();
            return MsgResult::OK;
        }
        void beep() override {}
    };
    mc.exercise = QStringLiteral("Bermudan");
    show();
    pseudo();
    for (QLineEdit* box : {dlg->txtPaths, dlg->txtLSPaths}) {
        Watch watch;
        watch.beside = box == dlg->txtPaths ? dlg->txtFinalPaths : dlg->txtLSFinalPaths;
        MessageBoxSeam* before = setMessageBoxSeam(&watch);
        box->setText(QStringLiteral("999999"));
        EXPECT_EQ(watch.beside->text(), QStringLiteral("999,999,000"));
        box->setText(QStringLiteral("9999999"));
        setMessageBoxSeam(before);
        EXPECT_EQ(watch.seen, QStringList{QString()});
        EXPECT_EQ(box->text(), QStringLiteral("2000000"));
        EXPECT_EQ(watch.beside->text(), QStringLiteral("2,000,000,000"));
    }
}

TEST_F(FrmResolMCTest, OkChecksThePathCounts)
{
    const QString lowPaths = QStringLiteral(
        "The number of simulation paths when using pseudo-random numbers cannot be less than 1000. "
        "Resetting to 1000.");
    const QString lowLs = QStringLiteral(
        "The number of Longstaff-Schwartz paths when using pseudo-random numbers cannot be less than "
        "1000. Resetting to 1000.");
    const QString moreSobol = kLsMessage + QStringLiteral("\r\nResetting to 524288.");
    const QString morePseudo = kLsMessage + QStringLiteral("\r\nResetting to 5000.");
    const struct {
        bool sobolGen;
        const char* exercise;
        const char* paths;  // pseudo-random: the boxes; Sobol: the exponents
        const char* lsPaths;
        const QString* message;  // nullptr: the dialog hides
        bool lsBox;              // the reset box is txtLSPaths (else txtPaths)
        const char* resetText;
    } cases[] = {
        {false, "European", "", "", &lowPaths, false, "1"},
        {false, "European", "0.5", "", &lowPaths, false, "1"},
        {false, "European", "5", "", nullptr, false, ""},  // no regression checks
        {false, "Bermudan", "5", "", &lowLs, true, "1"},
        {false, "Bermudan", "5", "8", &morePseudo, true, "5"},
        {false, "Bermudan", "5", "5", nullptr, false, ""},
        {true, "Bermudan", "19", "20", &moreSobol, true, "2^19"},
        {true, "Bermudan", "19", "19", nullptr, false, ""},
        {true, "European", "19", "25", nullptr, false, ""},
    };
    for (const auto& c : cases) {
        mc.exercise = QLatin1String(c.exercise);
        show();
        if (c.sobolGen) {
            sobol();
            dlg->UpDownPow->setValue(QString::fromLatin1(c.paths).toInt());
            dlg->UpDownLSPow->setValue(QString::fromLatin1(c.lsPaths).toInt());
        } else {
            pseudo();
            dlg->txtPaths->setText(QLatin1String(c.paths));
            dlg->txtLSPaths->setText(QLatin1String(c.lsPaths));
        }
        dlg->Command1->click();

        const std::string at = std::string(c.sobolGen ? "Sobol " : "pseudo ") + c.exercise + " " +
                               c.paths + "/" + c.lsPaths;
        if (!c.message) {
            EXPECT_TRUE(boxes.shown.isEmpty()) << at;
            EXPECT_TRUE(dlg->isHidden()) << at;
            continue;
        }
        ASSERT_EQ(boxes.shown.size(), 1) << at;
        EXPECT_EQ(boxes.shown[0].text, *c.message) << at;
        EXPECT_EQ(boxes.shown[0].title, kTitle) << at;
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Exclamation) << at;
        EXPECT_FALSE(dlg->isHidden()) << at;
        QLineEdit* reset = c.lsBox ? dlg->txtLSPaths : dlg->txtPaths;
        EXPECT_EQ(reset->text(), QLatin1String(c.resetText)) << at;
        boxes.shown.clear();
        // Pressing OK again now passes.
        dlg->Command1->click();
        EXPECT_TRUE(boxes.shown.isEmpty()) << at;
        EXPECT_TRUE(dlg->isHidden()) << at;
    }
}

TEST_F(FrmResolMCTest, RegressionResetAlsoMovesItsSpinButton)
{
    mc.exercise = QStringLiteral("Bermudan");
    show();
    dlg->UpDownLSPow->setValue(20);
    dlg->Command1->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("2^19"));
    EXPECT_EQ(dlg->UpDownLSPow->value(), 19);
    EXPECT_EQ(gMcSettings.gLSPathsPow, 19);
    // One click down now gives 2^18, not 2^19 from the old 20.
    dlg->UpDownLSPow->stepDown();
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("2^18"));
    EXPECT_EQ(gMcSettings.gLSPathsPow, 18);
}

TEST_F(FrmResolMCTest, CloseBoxAndEscActAsOk)
{
    for (const bool useEsc : {false, true}) {
        show();
        pseudo();
        dlg->txtPaths->setText(QString());
        if (useEsc)
            QTest::keyClick(dlg.get(), Qt::Key_Escape);
        else
            dlg->close();
        ASSERT_EQ(boxes.shown.size(), 1) << useEsc;
        EXPECT_TRUE(boxes.shown[0].text.startsWith(
            QStringLiteral("The number of simulation paths when using pseudo-random numbers")));
        EXPECT_FALSE(dlg->isHidden()) << useEsc;
        EXPECT_EQ(dlg->txtPaths->text(), QStringLiteral("1"));

        if (useEsc)
            QTest::keyClick(dlg.get(), Qt::Key_Escape);
        else
            dlg->close();
        EXPECT_TRUE(dlg->isHidden()) << useEsc;
        EXPECT_EQ(boxes.shown.size(), 1);
        boxes.shown.clear();
    }
}

TEST_F(FrmResolMCTest, DeltaAndGammaMoveTogether)
{
    dlg->chkGreeks[0]->setChecked(false);
    EXPECT_FALSE(dlg->chkGreeks[1]->isChecked());
    dlg->chkGreeks[1]->setChecked(true);
    EXPECT_TRUE(dlg->chkGreeks[0]->isChecked());
    dlg->chkGreeks[1]->setChecked(false);
    EXPECT_FALSE(dlg->chkGreeks[0]->isChecked());
    dlg->chkGreeks[2]->setChecked(false);
    EXPECT_TRUE(dlg->chkGreeks[3]->isChecked());
    EXPECT_FALSE(dlg->chkGreeks[0]->isChecked());
}

TEST_F(FrmResolMCTest, TimeMarchingAndMilsteinForBarriers)
{
    dlg->optTM[1]->setChecked(true);
    EXPECT_EQ(gMcSettings.gTimeMarching, 2);
    const struct {
        bool barrier;
        bool discrete;
        bool milsteinEnabled;
        int timeMarching;
    } cases[] = {
        {true, false, false, 1},  // continuous monitoring: back to "Exact"
        {true, true, true, 3},
        {false, false, true, 3},
    };
    for (const auto& c : cases) {
        dlg->optTM[2]->setEnabled(true);
        dlg->optTM[2]->setChecked(true);
        mc.inputs.gBarrier = c.barrier;
        mc.inputs.gDiscreteMon = c.discrete;
        show();
        EXPECT_EQ(dlg->optTM[2]->isEnabled(), c.milsteinEnabled) << c.barrier << c.discrete;
        EXPECT_EQ(gMcSettings.gTimeMarching, c.timeMarching) << c.barrier << c.discrete;
        EXPECT_EQ(dlg->optTM[c.timeMarching - 1]->isChecked(), true);
        dlg->hide();
    }
}

TEST_F(FrmResolMCTest, BasisListFollowsThePayoffGroup)
{
    mc.exercise = QStringLiteral("Bermudan");
    mc.payoff = 7;
    dlg->SetBasisFunctionMenu(&mc);
    EXPECT_EQ(items(dlg->cboBasisF), QStringList({"10", "15", "24", "35"}));
    EXPECT_EQ(dlg->cboBasisF->currentText(), QStringLiteral("15"));
    EXPECT_EQ(gMcSettings.gBasisFunctions, 15);
    dlg->setListIndex(dlg->cboBasisF, 3);
    EXPECT_EQ(gMcSettings.gBasisFunctions, 35);
    EXPECT_EQ(dlg->mBasisIndex, 3);

    mc.payoff = 8;  // within the Asian group: kept
    dlg->SetBasisFunctionMenu();
    EXPECT_EQ(dlg->cboBasisF->currentIndex(), 3);
    mc.payoff = 2;
    dlg->SetBasisFunctionMenu();
    EXPECT_EQ(items(dlg->cboBasisF), QStringList({"3", "4", "5", "6", "10", "11"}));
    EXPECT_EQ(dlg->cboBasisF->currentText(), QStringLiteral("4"));
    EXPECT_EQ(gMcSettings.gBasisFunctions, 4);

    // Under European exercise the choice is shown but not stored.
    mc.exercise = QStringLiteral("European");
    dlg->setListIndex(dlg->cboBasisF, 5);
    EXPECT_EQ(gMcSettings.gBasisFunctions, 4);
}

TEST_F(FrmResolMCTest, ActivationFollowsTheExerciseStyle)
{
    mc.exercise = QStringLiteral("Bermudan");
    show();
    EXPECT_TRUE(dlg->frmLS->isEnabled());
    EXPECT_TRUE(dlg->cboBasisF->isEnabled());
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("2^14"));
    EXPECT_EQ(dlg->txtLSFinalPaths->text(), QStringLiteral("16,384"));
    // First Bermudan activation: the regression defaults, once.
    EXPECT_TRUE(dlg->mDefaultsSet);
    EXPECT_EQ(dlg->cboBasisF->currentIndex(), 1);
    dlg->setListIndex(dlg->cboBasisF, 4);
    dlg->hide();

    mc.exercise = QStringLiteral("European");
    show();
    EXPECT_FALSE(dlg->frmLS->isEnabled());
    EXPECT_FALSE(dlg->txtLSPaths->isEnabled());
    EXPECT_FALSE(dlg->txtLSFinalPaths->isEnabled());
    EXPECT_FALSE(dlg->cboBasisF->isEnabled());
    EXPECT_EQ(dlg->txtLSPaths->text(), QString());
    EXPECT_EQ(dlg->txtLSFinalPaths->text(), QString());
    EXPECT_EQ(dlg->cboBasisF->currentIndex(), -1);
    dlg->hide();

    mc.exercise = QStringLiteral("Bermudan");
    show();
    EXPECT_EQ(dlg->cboBasisF->currentIndex(), 4);  // the last Bermudan choice
    EXPECT_EQ(gMcSettings.gBasisFunctions, 10);
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("2^14"));
}

TEST_F(FrmResolMCTest, LastBasisChoiceMissingFromTheNewListFallsBackToItsDefault)
{
    mc.exercise = QStringLiteral("Bermudan");
    show();
    dlg->setListIndex(dlg->cboBasisF, 5);  // "11"
    dlg->hide();
    // Under European exercise the payoff turns Asian: the list is rebuilt,
    // the Bermudan choice is not touched.
    mc.exercise = QStringLiteral("European");
    mc.payoff = 7;
    dlg->SetBasisFunctionMenu();
    ASSERT_EQ(dlg->mBasisIndex, 5);
    mc.exercise = QStringLiteral("Bermudan");
    show();
    EXPECT_EQ(dlg->cboBasisF->currentText(), QStringLiteral("15"));
    EXPECT_EQ(gMcSettings.gBasisFunctions, 15);
}

TEST_F(FrmResolMCTest, PseudoRandomDefaultsCopyThePathsIntoTheRegressionBox)
{
    pseudo();
    dlg->txtPaths->setText(QStringLiteral("200"));
    mc.exercise = QStringLiteral("Bermudan");
    dlg->initDefaultParameters(&mc);
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("200"));
    EXPECT_EQ(gMcSettings.gLSPathsK, 200);
    EXPECT_EQ(dlg->cboBasisF->currentIndex(), 1);
    EXPECT_TRUE(dlg->mDefaultsSet);

    dlg->txtLSPaths->setText(QStringLiteral("20"));
    dlg->initDefaultParameters();  // applied once only
    EXPECT_EQ(dlg->txtLSPaths->text(), QStringLiteral("20"));
}

TEST_F(FrmResolMCTest, DoubleClickOnTheBackgroundTogglesTheBlockSwitch)
{
    gMcSettings.gFewBlocks = true;
    const QPoint background(dlg->width() - 2, dlg->height() - 2);
    ASSERT_EQ(dlg->childAt(background), nullptr);
    QTest::mouseDClick(dlg.get(), Qt::LeftButton, {}, background);
    EXPECT_FALSE(gMcSettings.gFewBlocks);
    QTest::mouseDClick(dlg.get(), Qt::LeftButton, {}, background);
    EXPECT_TRUE(gMcSettings.gFewBlocks);
    // A double click on a control is not the dialog's.
    QTest::mouseDClick(dlg->lblLSBS, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(gMcSettings.gFewBlocks);
}

TEST_F(FrmResolMCTest, PathsKeyFilterTakesDigitsOnly)
{
    show();
    pseudo();
    dlg->txtPaths->setText(QStringLiteral("12"));
    dlg->txtPaths->setCursorPosition(2);
    QTest::keyClicks(dlg->txtPaths, QStringLiteral("3.x-"));
    EXPECT_EQ(dlg->txtPaths->text(), QStringLiteral("123"));
    EXPECT_EQ(boxes.beeps, 3);
    EXPECT_EQ(gMcSettings.gPathsK, 123);
}

TEST_F(FrmResolMCTest, ReadsTheFlagsOfTheWindowItServes)
{
    // The finite-difference window holds a continuously monitored barrier;
    // the Monte Carlo window it does not serve must not decide Milstein.
    StubPricer pde(QStringLiteral("American"));
    pde.inputs.gBarrier = true;
    pde.inputs.gDiscreteMon = false;
    dlg->optTM[2]->setChecked(true);
    show();
    EXPECT_TRUE(dlg->optTM[2]->isEnabled());
    EXPECT_EQ(gMcSettings.gTimeMarching, 3);
    EXPECT_FALSE(pde.inputs.gDiscreteMon) << "the load set the served window's flag only";

    // A dialog loaded for a window writes that window's monitoring flag.
    StubPricer other;
    frmResolMC second(&other);
    EXPECT_TRUE(other.inputs.gDiscreteMon);
    second.allowCloseForProgramEnd();
}

}  // namespace
