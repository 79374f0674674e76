// The contract lists, the monitoring box and the additional-parameters
// button: which panels, boxes and captions each contract shows, the
// contract flags, the menus, and the finite-difference settings that a
// contract rules out.
#include "support/app_fixture.h"

#include "platform/results_grid.h"
#include "pricer/click_label.h"
#include "settings/frmResol.h"
#include "settings/frmResolMC.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include <functional>
#include <vector>

namespace {

const QString kPathStepsTip =
    QStringLiteral("This will also be the number of time steps used for the paths construction");

// Shown as the window lays it out (the control and all its panels).
bool shown(const frmOptions& w, const QWidget* control)
{
    return control->isVisibleTo(&w);
}

QString caption(const frmOptions& w)
{
    return ui(w).lblMonPts->text() + QLatin1Char('|') + ui(w).lblMonPts2->text();
}

// Monitoring as the user leaves it: untouched, ticked, or ticked and cleared.
enum class Mon { Untouched, Ticked, TickedThenCleared };

void setMonitoring(frmOptions& w, Mon mon)
{
    if (mon == Mon::Untouched)
        return;
    w.setCheckValue(ui(w).chkContMon, true);
    if (mon == Mon::TickedThenCleared)
        w.setCheckValue(ui(w).chkContMon, false);
}

}  // namespace

class ContractChoiceTest : public AppFixture {
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
};

// ---------------------------------------------------------------------------
// Payoff panels of the finite-difference window (European, monitoring box
// left alone).

struct FdPayoffCase {
    const char* name;
    int payoff;
    bool barPanel, asianPanel;
    bool contMonShown, contMonEnabled, contMonChecked;
    bool upShown, downShown, periodsShown;
    int knockOut;
    bool barrier, asian;
    bool bsMenus, thetaMenu, saveRefSolMenu;
    bool strikeEnabled;
};

const FdPayoffCase kFdPayoffCases[] = {
    // name         P  bar    asian  chk: shown  enab   ticked up     down   periods KO barr   asian  BS     theta  ref    strike
    {"Vanilla",     0, false, false, false, true, false, false, false, false, 0, false, false, true, false, false, true},
    {"UpOut",       1, true, false, true, true, false, true, false, true, 1, true, false, false, true, false, true},
    {"DownOut",     2, true, false, true, true, false, false, true, true, 1, true, false, false, true, false, true},
    {"UpIn",        3, true, false, true, false, true, true, false, false, 0, true, false, true, false, false, true},
    {"DownIn",      4, true, false, true, false, true, false, true, false, 0, true, false, true, false, false, true},
    {"DoubleOut",   5, true, false, true, true, false, true, true, true, 1, true, false, false, true, false, true},
    {"DoubleIn",    6, true, false, true, false, true, true, true, false, 0, true, false, true, false, false, true},
    {"AsianFixed",  7, false, true, false, true, false, false, false, false, 0, false, true, false, true, true, true},
    {"AsianFloat",  8, false, true, false, true, false, false, false, false, 0, false, true, false, true, true, false},
};

class FdPayoffPanelsTest : public ContractChoiceTest,
                           public ::testing::WithParamInterface<FdPayoffCase> {};

TEST_P(FdPayoffPanelsTest, ShowsThePanelsFlagsAndMenusOfThePayoff)
{
    const FdPayoffCase& c = GetParam();
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboPayoff, c.payoff);
    const tarvic::ProductInputs& in = w.productInputs();

    EXPECT_EQ(shown(w, ui(w).picBar), c.barPanel);
    EXPECT_EQ(shown(w, ui(w).picAsian), c.asianPanel);
    EXPECT_EQ(shown(w, ui(w).chkContMon), c.contMonShown);
    EXPECT_EQ(ui(w).chkContMon->isEnabled(), c.contMonEnabled);
    EXPECT_EQ(ui(w).chkContMon->isChecked(), c.contMonChecked);
    EXPECT_EQ(w.mContMon, c.contMonChecked);
    EXPECT_FALSE(in.gDiscreteMon);  // only the box's own handler writes it
    EXPECT_EQ(shown(w, ui(w).TxtUpBar), c.upShown);
    EXPECT_EQ(shown(w, ui(w).lblUpBar), c.upShown);
    EXPECT_EQ(shown(w, ui(w).txtDownBar), c.downShown);
    EXPECT_EQ(shown(w, ui(w).lblDownBar), c.downShown);
    EXPECT_EQ(shown(w, ui(w).txtMonPts), c.periodsShown);
    EXPECT_EQ(shown(w, ui(w).lblMonPts2), c.periodsShown);
    if (c.periodsShown) {
        EXPECT_EQ(caption(w), QStringLiteral("Num of monitoring|periods"));
    }
    EXPECT_EQ(w.mKnockOut, c.knockOut);
    EXPECT_EQ(in.gBarrier, c.barrier);
    EXPECT_EQ(in.gAsian, c.asian);
    EXPECT_EQ(ui(w).mnuBS->isVisible(), c.bsMenus);
    EXPECT_EQ(ui(w).mnuBSGrid->isVisible(), c.bsMenus);
    EXPECT_FALSE(ui(w).mnuBS->isEnabled());
    EXPECT_FALSE(ui(w).mnuBSGrid->isEnabled());
    EXPECT_EQ(ui(w).mnuTheta->isVisible(), c.thetaMenu);
    EXPECT_EQ(ui(w).mnuSaveRefSol->isVisible(), c.saveRefSolMenu);
    if (c.saveRefSolMenu) {
        EXPECT_FALSE(ui(w).mnuSaveRefSol->isEnabled());
    }
    EXPECT_EQ(ui(w).txtStrike->isEnabled(), c.strikeEnabled);
    EXPECT_EQ(ui(w).lblStrike->isEnabled(), c.strikeEnabled);
    if (c.barPanel) {
        EXPECT_EQ(ui(w).picBar->maximumHeight(), 2750 / 15);
    }
    EXPECT_TRUE(in.gInputsChanged);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Payoffs, FdPayoffPanelsTest, ::testing::ValuesIn(kFdPayoffCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The periods box of the finite-difference window: exercise style ×
// monitoring, for a barrier and for a vanilla option.

struct FdPeriodsCase {
    const char* name;
    int payoff;
    int exercise;  // 0 European, 1 American, 2 Bermudan
    Mon mon;
    bool periodsShown;
    const char* caption;  // "" when hidden
    bool contMonShown;
    bool thetaMenu;
    bool bsMenus;
};

const FdPeriodsCase kFdPeriodsCases[] = {
    {"DownOutEuropeanDiscrete", 2, 0, Mon::Untouched, true, "Num of monitoring|periods", true, true, false},
    {"DownOutEuropeanContinuous", 2, 0, Mon::Ticked, false, "", true, false, true},
    {"DownOutEuropeanBackToDiscrete", 2, 0, Mon::TickedThenCleared, true, "Num of monitoring|periods", true, true, false},
    {"DownOutAmericanDiscrete", 2, 1, Mon::Untouched, true, "Num of monitoring|periods", true, true, false},
    {"DownOutAmericanContinuous", 2, 1, Mon::Ticked, false, "", true, false, true},
    {"DownOutBermudanDiscrete", 2, 2, Mon::Untouched, true, "Num of monitoring/exer-|cising periods", true, true, false},
    {"DownOutBermudanContinuous", 2, 2, Mon::Ticked, true, "Num of exercising|periods", true, true, true},
    {"DownOutBermudanBackToDiscrete", 2, 2, Mon::TickedThenCleared, true, "Num of monitoring/exer-|cising periods", true, true, false},
    {"VanillaAmerican", 0, 1, Mon::Untouched, false, "", false, false, true},
    {"VanillaBermudan", 0, 2, Mon::Untouched, true, "Num of exercising|periods", false, true, true},
};

class FdPeriodsTest : public ContractChoiceTest,
                      public ::testing::WithParamInterface<FdPeriodsCase> {};

TEST_P(FdPeriodsTest, LaysOutThePeriodsBoxForTheExerciseAndMonitoring)
{
    const FdPeriodsCase& c = GetParam();
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboPayoff, c.payoff);
    w.setListIndex(ui(w).cboExercise, c.exercise);
    setMonitoring(w, c.mon);

    EXPECT_EQ(w.mEarlyExercise, c.exercise != 0);
    EXPECT_TRUE(shown(w, ui(w).picBar) || !c.periodsShown);
    EXPECT_EQ(shown(w, ui(w).txtMonPts), c.periodsShown);
    EXPECT_EQ(shown(w, ui(w).lblMonPts), c.periodsShown);
    EXPECT_EQ(shown(w, ui(w).lblMonPts2), c.periodsShown);
    if (c.periodsShown) {
        EXPECT_EQ(caption(w), QString::fromLatin1(c.caption));
    }
    EXPECT_EQ(shown(w, ui(w).chkContMon), c.contMonShown);
    EXPECT_EQ(ui(w).mnuTheta->isVisible(), c.thetaMenu);
    EXPECT_EQ(ui(w).mnuBS->isVisible(), c.bsMenus);
    EXPECT_FALSE(ui(w).mnuBS->isEnabled());
    EXPECT_EQ(ui(w).cboExercise->currentIndex(), c.exercise);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Contracts, FdPeriodsTest, ::testing::ValuesIn(kFdPeriodsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContractChoiceTest, VanillaEuropeanAndAmericanHaveNoPanelOnTheFiniteDifferenceWindow)
{
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboExercise, 2);
    ASSERT_TRUE(shown(w, ui(w).picBar));
    w.setListIndex(ui(w).cboExercise, 1);
    EXPECT_FALSE(shown(w, ui(w).picBar));
    w.setListIndex(ui(w).cboExercise, 2);
    w.setListIndex(ui(w).cboExercise, 0);
    EXPECT_FALSE(shown(w, ui(w).picBar));
    EXPECT_FALSE(w.mEarlyExercise);
}

// ---------------------------------------------------------------------------
// Settings of the finite-difference dialog that the contract rules out.

struct FdSettingsCase {
    const char* name;
    int payoff;
    int exercise;
    Mon mon;
    bool nonUniEnabled, nonUniChecked;
    bool maxSEnabled;
    bool planesEnabled;
    int planes;       // cboPlanes index
    int planeSpacing; // cboPlaneSpc index
    bool mtEnabled, mtChecked;
    bool amerEnabled;
    int amer;         // cboAmerSolver index
};

const FdSettingsCase kFdSettingsCases[] = {
    // name                P  ex mon             nonUni e/c     maxS   planes idx spc  MT e/c        amer e/idx
    {"Vanilla",            0, 0, Mon::Untouched, true, true,    true,  false, -1, -1,  false, false, true, 2},
    {"UpOutDiscrete",      1, 0, Mon::Untouched, true, true,    true,  false, -1, -1,  false, false, true, 2},
    {"UpOutContinuous",    1, 0, Mon::Ticked,    false, false,  false, false, -1, -1,  false, false, true, 2},
    {"DoubleOutContinuous", 5, 0, Mon::Ticked,   false, false,  false, false, -1, -1,  false, false, true, 2},
    {"DownOutContinuous",  2, 0, Mon::Ticked,    true, true,    true,  false, -1, -1,  false, false, true, 2},
    {"UpInForcedContinuous", 3, 0, Mon::Untouched, true, true,  true,  false, -1, -1,  false, false, true, 2},
    {"AsianFixedEuropean", 7, 0, Mon::Untouched, true, true,    true,  true,  -1, 2,   true, true,   false, -1},
    {"AsianFixedAmerican", 7, 1, Mon::Untouched, false, true,   false, true,  -1, 2,   true, true,   false, -1},
    {"AsianFloating",      8, 0, Mon::Untouched, false, true,   false, true,  1, 0,    true, true,   false, -1},
};

class FdSettingsTest : public ContractChoiceTest,
                       public ::testing::WithParamInterface<FdSettingsCase> {};

TEST_P(FdSettingsTest, SetsTheDialogControlsThatTheContractRulesOut)
{
    const FdSettingsCase& c = GetParam();
    frmOptions& w = openPde();
    frmResol* resol = frmResolIfLoaded();
    ASSERT_NE(resol, nullptr);  // the window's load sets it up
    w.setListIndex(ui(w).cboExercise, c.exercise);
    w.setListIndex(ui(w).cboPayoff, c.payoff);
    setMonitoring(w, c.mon);

    EXPECT_EQ(resol->chkNonUniGrid->isEnabled(), c.nonUniEnabled);
    EXPECT_EQ(resol->chkNonUniGrid->isChecked(), c.nonUniChecked);
    EXPECT_EQ(tarvic::gPdeSettings.gNonUniGrid, c.nonUniChecked);
    EXPECT_EQ(resol->ChkOverMaxS->isEnabled(), c.maxSEnabled);
    EXPECT_EQ(resol->cboPlanes->isEnabled(), c.planesEnabled);
    EXPECT_EQ(resol->lblPlanes->isEnabled(), c.planesEnabled);
    EXPECT_EQ(resol->cboPlanes->currentIndex(), c.planes);
    EXPECT_EQ(resol->cboPlaneSpc->isEnabled(), c.planesEnabled);
    EXPECT_EQ(resol->lblPlaneSpc->isEnabled(), c.planesEnabled);
    EXPECT_EQ(resol->cboPlaneSpc->currentIndex(), c.planeSpacing);
    EXPECT_EQ(resol->chkMT->isEnabled(), c.mtEnabled);
    EXPECT_EQ(resol->chkMT->isChecked(), c.mtChecked);
    EXPECT_EQ(tarvic::gPdeSettings.gMultiThreadPDE, c.mtChecked);
    EXPECT_EQ(resol->cboAmerSolver->isEnabled(), c.amerEnabled);
    EXPECT_EQ(resol->cboAmerSolver->currentIndex(), c.amer);
    EXPECT_EQ(tarvic::gPdeSettings.gAmerSolver, 2);  // a cleared list keeps the choice
}

INSTANTIATE_TEST_SUITE_P(Contracts, FdSettingsTest, ::testing::ValuesIn(kFdSettingsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContractChoiceTest, FloatingStrikeSetsOneToOneQuadraticAndVanillaRestoresTheSolver)
{
    frmOptions& w = openPde();
    frmResol& resol = *frmResolIfLoaded();
    resol.setListIndex(resol.cboAmerSolver, 0);  // Projected SOR
    w.setListIndex(ui(w).cboPayoff, 8);
    EXPECT_EQ(tarvic::gPdeSettings.gPlaneSpacing, 1);
    EXPECT_EQ(tarvic::gPdeSettings.gPlanesInterp, 1);
    EXPECT_EQ(resol.cboPlaneSpc->currentText(), QStringLiteral(" 1:1"));
    EXPECT_EQ(resol.cboPlanes->currentText(), QStringLiteral("Quadratic"));
    EXPECT_TRUE(w.productInputs().gFloatingStrike);
    EXPECT_EQ(w.productInputs().gAsianStrikeType, 1);

    w.setListIndex(ui(w).cboPayoff, 0);
    EXPECT_EQ(resol.cboPlanes->currentIndex(), -1);
    EXPECT_EQ(resol.cboPlaneSpc->currentIndex(), -1);
    EXPECT_EQ(resol.cboAmerSolver->currentText(), QStringLiteral("Projected SOR"));
    EXPECT_TRUE(resol.cboAmerSolver->isEnabled());
    // A payoff that is not Asian has no floating strike; the strike type
    // stays as the last Asian payoff left it.
    EXPECT_FALSE(w.productInputs().gFloatingStrike);
    EXPECT_EQ(w.productInputs().gAsianStrikeType, 1);
    EXPECT_FALSE(w.productInputs().gAsian);

    w.setListIndex(ui(w).cboPayoff, 7);
    EXPECT_FALSE(w.productInputs().gFloatingStrike);
    EXPECT_EQ(w.productInputs().gAsianStrikeType, 0);
}

// A setting the user made holds while a contract rules it out, and comes
// back with the next contract that allows it.
struct RoundTripCase {
    const char* name;
    std::function<void(frmOptions&, frmResol&)> set;      // the user's setting, on a vanilla
    std::vector<std::function<void(frmOptions&)>> visit;  // contracts on the way
    std::function<void(frmOptions&, frmResol&)> check;    // after coming back
};

void payoff(frmOptions& w, int index) { w.setListIndex(ui(w).cboPayoff, index); }
void exercise(frmOptions& w, int index) { w.setListIndex(ui(w).cboExercise, index); }
void continuous(frmOptions& w, bool on) { w.setCheckValue(ui(w).chkContMon, on); }

void tickMaxAsset(frmOptions&, frmResol& r)
{
    r.ChkOverMaxS->setChecked(true);
    r.txtMaxS->setText(QStringLiteral("1000"));
}
void maxAssetBack(frmOptions&, frmResol& r)
{
    EXPECT_TRUE(r.ChkOverMaxS->isEnabled());
    EXPECT_TRUE(r.ChkOverMaxS->isChecked());
    EXPECT_FALSE(r.txtMaxS->isHidden());
    EXPECT_EQ(r.txtMaxS->text(), QStringLiteral("1000"));
    EXPECT_EQ(tarvic::gPdeSettings.gMaxS, 1000.0);
}

const RoundTripCase kRoundTrips[] = {
    {"MaxAssetAcrossFloatingStrike", tickMaxAsset, {[](frmOptions& w) { payoff(w, 8); }},
     maxAssetBack},
    {"MaxAssetAcrossAmericanAsian", tickMaxAsset,
     {[](frmOptions& w) { exercise(w, 1); payoff(w, 7); },
      [](frmOptions& w) { exercise(w, 0); payoff(w, 0); }},
     maxAssetBack},
    {"MaxAssetAcrossContinuousUpAndOut", tickMaxAsset,
     {[](frmOptions& w) { payoff(w, 1); continuous(w, true); },
      [](frmOptions& w) { payoff(w, 5); }},
     maxAssetBack},
    {"MaxAssetKeptByDiscreteUpAndOut", tickMaxAsset,
     {[](frmOptions& w) {
         payoff(w, 1);
         continuous(w, false);
         EXPECT_TRUE(frmResolIfLoaded()->ChkOverMaxS->isChecked());
     }},
     maxAssetBack},
    {"StrikeAcrossFloatingStrike",
     [](frmOptions& w, frmResol&) { ui(w).txtStrike->setText(QStringLiteral("105")); },
     {[](frmOptions& w) {
         payoff(w, 8);
         EXPECT_EQ(ui(w).txtStrike->text(), QString());
     },
      [](frmOptions& w) { payoff(w, 7); }},
     [](frmOptions& w, frmResol&) {
         EXPECT_TRUE(ui(w).txtStrike->isEnabled());
         EXPECT_EQ(ui(w).txtStrike->text(), QStringLiteral("105"));
     }},
    {"NonUniformGridAcrossContinuousDoubleKnockOut",
     [](frmOptions&, frmResol& r) { ASSERT_TRUE(r.chkNonUniGrid->isChecked()); },
     {[](frmOptions& w) {
         payoff(w, 5);
         continuous(w, true);
         EXPECT_FALSE(frmResolIfLoaded()->chkNonUniGrid->isChecked());
     }},
     [](frmOptions&, frmResol& r) {
         EXPECT_TRUE(r.chkNonUniGrid->isEnabled());
         EXPECT_TRUE(r.chkNonUniGrid->isChecked());
         EXPECT_TRUE(tarvic::gPdeSettings.gNonUniGrid);
     }},
    {"UniformGridAcrossFloatingStrike",
     [](frmOptions&, frmResol& r) { r.chkNonUniGrid->setChecked(false); },
     {[](frmOptions& w) { payoff(w, 8); }},
     [](frmOptions&, frmResol& r) {
         EXPECT_FALSE(r.chkNonUniGrid->isChecked());
         EXPECT_FALSE(tarvic::gPdeSettings.gNonUniGrid);
     }},
    {"CoresAndPlanesOfAFixedStrikeAcrossOtherPayoffs",
     [](frmOptions& w, frmResol& r) {
         payoff(w, 7);
         ASSERT_TRUE(r.chkMT->isChecked());  // the first Asian uses all cores
         r.chkMT->setChecked(false);
         r.setListIndex(r.cboPlanes, 2);     // cubic
         r.setListIndex(r.cboPlaneSpc, 2);   // 4:1
     },
     {[](frmOptions& w) { payoff(w, 8); }, [](frmOptions& w) { payoff(w, 0); }},
     [](frmOptions& w, frmResol& r) {
         payoff(w, 7);
         EXPECT_TRUE(r.chkMT->isEnabled());
         EXPECT_FALSE(r.chkMT->isChecked());
         EXPECT_FALSE(tarvic::gPdeSettings.gMultiThreadPDE);
         EXPECT_EQ(r.cboPlanes->currentText(), QStringLiteral("Cubic"));
         EXPECT_EQ(tarvic::gPdeSettings.gPlanesInterp, 2);
         EXPECT_EQ(tarvic::gPdeSettings.gPlaneSpacing, 4);
     }},
};

class RoundTripTest : public ContractChoiceTest,
                      public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTripTest, AUserSettingComesBackAfterContractsThatRuleItOut)
{
    const RoundTripCase& c = GetParam();
    frmOptions& w = openPde();
    frmResol& resol = *frmResolIfLoaded();
    c.set(w, resol);
    for (const auto& step : c.visit)
        step(w);
    // Back on a European vanilla, the setting is the user's again.
    exercise(w, 0);
    payoff(w, 0);
    c.check(w, resol);
}

INSTANTIATE_TEST_SUITE_P(Settings, RoundTripTest, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Contract flags and boxes across payoff changes

TEST_F(ContractChoiceTest, ASingleBarrierClearsTheOtherBarrierButNotItsBox)
{
    for (frmOptions* w : {&openPde(), &openMc()}) {
        w->setListIndex(ui(w).cboPayoff, 5);
        ui(w).TxtUpBar->setText(QStringLiteral("120"));
        ui(w).txtDownBar->setText(QStringLiteral("80"));
        ASSERT_EQ(w->productInputs().gUpBar, 120.0);
        w->setListIndex(ui(w).cboPayoff, 2);  // Down & Out
        EXPECT_EQ(w->productInputs().gUpBar, 0.0);
        EXPECT_EQ(w->productInputs().gDownBar, 80.0);
        EXPECT_EQ(ui(w).TxtUpBar->text(), QStringLiteral("120"));
        EXPECT_FALSE(shown(*w, ui(w).TxtUpBar));
        w->setListIndex(ui(w).cboPayoff, 1);  // Up & Out: the box is back, its value not
        EXPECT_EQ(w->productInputs().gDownBar, 0.0);
        EXPECT_EQ(w->productInputs().gUpBar, 0.0);
        ui(w).TxtUpBar->setText(QStringLiteral("125"));
        ui(w).txtDownBar->setText(QStringLiteral("75"));
        w->setListIndex(ui(w).cboPayoff, 7);  // Asian: no barriers at all
        EXPECT_EQ(w->productInputs().gUpBar, 0.0);
        EXPECT_EQ(w->productInputs().gDownBar, 0.0);
        ui(w).TxtUpBar->setText(QStringLiteral("130"));
        ui(w).txtDownBar->setText(QStringLiteral("70"));
        w->setListIndex(ui(w).cboPayoff, 0);  // Vanilla leaves both
        EXPECT_EQ(w->productInputs().gUpBar, 130.0);
        EXPECT_EQ(w->productInputs().gDownBar, 70.0);
    }
}

TEST_F(ContractChoiceTest, KnockOutFlagStaysForPayoffsWithoutABarrier)
{
    frmOptions& w = openPde();
    w.setListIndex(ui(w).cboPayoff, 2);
    ASSERT_EQ(w.mKnockOut, 1);
    for (int payoff : {0, 7, 8}) {
        w.setListIndex(ui(w).cboPayoff, payoff);
        EXPECT_EQ(w.mKnockOut, 1) << payoff;
    }
    w.setListIndex(ui(w).cboPayoff, 6);
    EXPECT_EQ(w.mKnockOut, 0);
    w.setListIndex(ui(w).cboPayoff, 0);
    EXPECT_EQ(w.mKnockOut, 0);
}

TEST_F(ContractChoiceTest, PayoffChangeKeepsAnEarlyExerciseStyleAcrossTheRebuiltList)
{
    frmOptions& w = openPde();
    for (int style : {0, 1, 2}) {
        w.setListIndex(ui(w).cboExercise, style);
        for (int payoff : {2, 0, 5, 7, 1}) {
            w.setListIndex(ui(w).cboPayoff, payoff);
            EXPECT_EQ(ui(w).cboExercise->currentIndex(), style) << payoff;
            EXPECT_EQ(ui(w).cboExercise->count(), 3);
            EXPECT_EQ(w.mEarlyExercise, style != 0);
        }
    }
    EXPECT_FALSE(w.gRebuildingExercise);
}

TEST_F(ContractChoiceTest, KnockInIsForcedToContinuousMonitoringOnlyByFiniteDifferences)
{
    frmOptions& pde = openPde();
    frmOptions& mc = openMc();
    for (int payoff : {3, 4, 6}) {
        pde.setListIndex(ui(pde).cboPayoff, 0);
        pde.setCheckValue(ui(pde).chkContMon, false);
        pde.setListIndex(ui(pde).cboPayoff, payoff);
        EXPECT_TRUE(ui(pde).chkContMon->isChecked()) << payoff;
        EXPECT_FALSE(ui(pde).chkContMon->isEnabled()) << payoff;
        EXPECT_TRUE(pde.mContMon);
        EXPECT_FALSE(pde.productInputs().gDiscreteMon);

        mc.setListIndex(ui(mc).cboPayoff, payoff);
        EXPECT_FALSE(ui(mc).chkContMon->isChecked()) << payoff;
        EXPECT_TRUE(ui(mc).chkContMon->isEnabled()) << payoff;
    }
    // A knock-out frees the box again (it stays ticked).
    pde.setListIndex(ui(pde).cboPayoff, 2);
    EXPECT_TRUE(ui(pde).chkContMon->isEnabled());
    EXPECT_TRUE(ui(pde).chkContMon->isChecked());
}

TEST_F(ContractChoiceTest, MonitoringBoxRecordsItsStateAndWhetherItChanged)
{
    frmOptions& mc = openMc();
    mc.setListIndex(ui(mc).cboPayoff, 2);
    tarvic::ProductInputs& in = mc.productInputs();
    in.gInputsChanged = false;
    ui(mc).lblProgress->setText(QStringLiteral("Ready"));
    mc.setCheckValue(ui(mc).chkContMon, true);
    EXPECT_TRUE(in.gInputsChanged);
    EXPECT_TRUE(mc.mContMon);
    EXPECT_FALSE(in.gDiscreteMon);
    EXPECT_EQ(ui(mc).lblProgress->text(), QString());

    // Raised again in the state last recorded: nothing changed.
    in.gInputsChanged = true;
    mc.chkContMon_Click();
    EXPECT_FALSE(in.gInputsChanged);

    mc.setCheckValue(ui(mc).chkContMon, false);
    EXPECT_TRUE(in.gInputsChanged);
    EXPECT_FALSE(mc.mContMon);
    EXPECT_TRUE(in.gDiscreteMon);
}

TEST_F(ContractChoiceTest, FloatingStrikeTakesTheSpotAsTheFirstSettledFixing)
{
    frmOptions& w = openPde();
    ui(w).txtStrike->setText(QStringLiteral("95"));
    ui(w).txtAsset->setText(QStringLiteral("101.5"));
    ui(w).txtInitAvg->setText(QStringLiteral("90"));
    w.setListIndex(ui(w).cboPayoff, 8);
    EXPECT_EQ(ui(w).txtStrike->text(), QString());
    EXPECT_FALSE(ui(w).txtStrike->isEnabled());
    EXPECT_EQ(ui(w).txtNFixed->text(), QStringLiteral("1"));
    EXPECT_EQ(w.productInputs().gNFixed, 1);
    EXPECT_EQ(ui(w).txtInitAvg->text(), QStringLiteral("101.5"));
    EXPECT_EQ(w.productInputs().gInitAvg, 101.5);

    // Without a positive spot the average is left alone.
    w.setListIndex(ui(w).cboPayoff, 7);
    EXPECT_TRUE(ui(w).txtStrike->isEnabled());
    ui(w).txtAsset->setText(QString());
    ui(w).txtInitAvg->setText(QStringLiteral("90"));
    ui(w).txtNFixed->setText(QStringLiteral("0"));
    w.setListIndex(ui(w).cboPayoff, 8);
    EXPECT_EQ(ui(w).txtNFixed->text(), QStringLiteral("1"));
    EXPECT_EQ(ui(w).txtInitAvg->text(), QStringLiteral("90"));

    // Two or more settled fixings stay.
    w.setListIndex(ui(w).cboPayoff, 7);
    ui(w).txtNFixed->setText(QStringLiteral("3"));
    w.setListIndex(ui(w).cboPayoff, 8);
    EXPECT_EQ(ui(w).txtNFixed->text(), QStringLiteral("3"));
}

TEST_F(ContractChoiceTest, FixingsToolTipTellsOfPathStepsOnlyOnMonteCarlo)
{
    frmOptions& pde = openPde();
    pde.setListIndex(ui(pde).cboPayoff, 7);
    EXPECT_EQ(ui(pde).txtSmplPoints->toolTip(), QString());
    frmOptions& mc = openMc();
    mc.setListIndex(ui(mc).cboPayoff, 8);
    EXPECT_EQ(ui(mc).txtSmplPoints->toolTip(), kPathStepsTip);
    EXPECT_TRUE(shown(mc, ui(mc).picAsian));
    EXPECT_FALSE(shown(mc, ui(mc).picBar));
}

TEST_F(ContractChoiceTest, ExerciseStyleSetsTheResultsToolTipAndStatus)
{
    for (frmOptions* w : {&openPde(), &openMc()}) {
        ui(w).lblProgress->setText(QStringLiteral("Ready"));
        w->productInputs().gInputsChanged = false;
        w->setListIndex(ui(w).cboExercise, 1);
        EXPECT_EQ(ui(w).MSFlexGrid1->ToolTipText(),
                  QStringLiteral("Click or double-click to see more digits"));
        EXPECT_TRUE(w->mEarlyExercise);
        EXPECT_TRUE(w->productInputs().gInputsChanged);
        EXPECT_EQ(ui(w).lblProgress->text(), QString());
        w->setListIndex(ui(w).cboExercise, 0);
        EXPECT_EQ(ui(w).MSFlexGrid1->ToolTipText(),
                  QStringLiteral("Click or double-click to see more digits."));
        EXPECT_FALSE(w->mEarlyExercise);
    }
}

TEST_F(ContractChoiceTest, OptionTypeMarksTheInputsChanged)
{
    frmOptions& w = openPde();
    w.productInputs().gInputsChanged = false;
    ui(w).lblProgress->setText(QStringLiteral("Ready"));
    w.setListIndex(ui(w).cboOptions, 1);
    EXPECT_TRUE(w.productInputs().gInputsChanged);
    EXPECT_EQ(ui(w).lblProgress->text(), QString());
}

// ---------------------------------------------------------------------------
// Monte Carlo window

struct McPanelCase {
    const char* name;
    int payoff;
    Mon mon;        // set before the exercise style
    int exercise;   // 0 European, 1 Bermudan
    bool barPanel;
    bool contMonShown, contMonEnabled;
    bool upShown, downShown;
    bool periodsShown;
    const char* caption;
    bool pathStepsTip;
};

const McPanelCase kMcPanelCases[] = {
    {"VanillaEuropean", 0, Mon::Untouched, 0, false, false, true, false, false, true, "Number of time|steps", false},
    {"VanillaBermudan", 0, Mon::Untouched, 1, true, false, true, false, false, true, "Num of exercising|periods", true},
    {"UpOutEuropean", 1, Mon::Untouched, 0, true, true, true, true, false, true, "Num of monitoring/exer-|cising periods", true},
    {"DownInEuropean", 4, Mon::Untouched, 0, true, true, true, false, true, true, "Num of monitoring/exer-|cising periods", true},
    {"DownInBermudan", 4, Mon::Untouched, 1, true, true, true, false, true, true, "Num of monitoring/exer-|cising periods", true},
    {"DoubleOutContinuousBermudan", 5, Mon::Ticked, 1, true, true, true, true, true, true, "Num of monitoring/exer-|cising periods", true},
};

class McPanelsTest : public ContractChoiceTest,
                     public ::testing::WithParamInterface<McPanelCase> {};

TEST_P(McPanelsTest, ShowsTheTimeStepsOrPeriodsBoxOfTheContract)
{
    const McPanelCase& c = GetParam();
    frmOptions& w = openMc();
    w.setListIndex(ui(w).cboPayoff, c.payoff);
    setMonitoring(w, c.mon);
    w.setListIndex(ui(w).cboExercise, c.exercise);

    EXPECT_EQ(shown(w, ui(w).picBar), c.barPanel);
    EXPECT_FALSE(shown(w, ui(w).picAsian));
    EXPECT_EQ(shown(w, ui(w).chkContMon), c.contMonShown);
    EXPECT_EQ(ui(w).chkContMon->isEnabled(), c.contMonEnabled);
    EXPECT_EQ(shown(w, ui(w).TxtUpBar), c.upShown);
    EXPECT_EQ(shown(w, ui(w).txtDownBar), c.downShown);
    // The paths take their step count from this box: whenever the panel
    // is up, the box and both caption lines are there with it.
    if (c.barPanel) {
        EXPECT_EQ(shown(w, ui(w).txtMonPts), c.periodsShown);
        EXPECT_EQ(shown(w, ui(w).lblMonPts), c.periodsShown);
        EXPECT_EQ(shown(w, ui(w).lblMonPts2), c.periodsShown);
    }
    EXPECT_EQ(caption(w), QString::fromLatin1(c.caption));
    EXPECT_EQ(ui(w).txtMonPts->toolTip(), c.pathStepsTip ? kPathStepsTip : QString());
    EXPECT_EQ(ui(w).cboExercise->count(), 2);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Contracts, McPanelsTest, ::testing::ValuesIn(kMcPanelCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContractChoiceTest, MonteCarloVanillaShowsItsTimeStepsWhenMoreThanOne)
{
    frmOptions& w = openMc();
    ui(w).txtMonPts->setText(QStringLiteral("1"));
    w.setListIndex(ui(w).cboPayoff, 0);
    EXPECT_FALSE(shown(w, ui(w).picBar));
    ui(w).txtMonPts->setText(QStringLiteral("12"));
    w.setListIndex(ui(w).cboPayoff, 0);
    EXPECT_TRUE(shown(w, ui(w).picBar));
    EXPECT_FALSE(shown(w, ui(w).chkContMon));
    EXPECT_EQ(caption(w), QStringLiteral("Number of time|steps"));
}

TEST_F(ContractChoiceTest, MonteCarloPayoffRefillsALoadedBasisFunctionList)
{
    frmOptions& w = openMc();
    w.mnuResol_Click();  // the dialog exists from here on
    frmResolMC& dialog = *frmResolMCIfLoaded();
    dialog.hide();
    ASSERT_EQ(dialog.cboBasisF->count(), 6);
    w.setListIndex(ui(w).cboPayoff, 7);
    EXPECT_EQ(dialog.cboBasisF->count(), 4);
    EXPECT_EQ(dialog.cboBasisF->currentIndex(), 1);
    w.setListIndex(ui(w).cboPayoff, 3);
    EXPECT_EQ(dialog.cboBasisF->count(), 6);
}

TEST_F(ContractChoiceTest, AdditionalParametersTogglesTheTimeStepsOfAVanillaEuropean)
{
    frmOptions& w = openMc();
    activate(w);
    ASSERT_FALSE(shown(w, ui(w).picBar));
    QTest::mouseClick(ui(w).lblAdditionalParams, Qt::LeftButton);
    EXPECT_TRUE(shown(w, ui(w).picBar));
    EXPECT_FALSE(shown(w, ui(w).chkContMon));
    EXPECT_EQ(caption(w), QStringLiteral("Number of time|steps"));
    EXPECT_EQ(ui(w).txtMonPts->text(), QStringLiteral("1"));
    EXPECT_TRUE(ui(w).txtMonPts->hasFocus());
    EXPECT_EQ(ui(w).txtMonPts->cursorPosition(), 1);
    QTest::mouseClick(ui(w).lblAdditionalParams, Qt::LeftButton);
    EXPECT_FALSE(shown(w, ui(w).picBar));
    // A typed count stays.
    ui(w).txtMonPts->setText(QStringLiteral("24"));
    w.lblAdditionalParams_Click();
    EXPECT_EQ(ui(w).txtMonPts->text(), QStringLiteral("24"));
}

TEST_F(ContractChoiceTest, AdditionalParametersDoNothingOutsideAMonteCarloVanillaEuropean)
{
    frmOptions& pde = openPde();
    pde.lblAdditionalParams_Click();
    EXPECT_FALSE(shown(pde, ui(pde).picBar));

    frmOptions& mc = openMc();
    mc.setListIndex(ui(mc).cboPayoff, 7);
    mc.lblAdditionalParams_Click();
    EXPECT_FALSE(shown(mc, ui(mc).picBar));
    EXPECT_TRUE(shown(mc, ui(mc).picAsian));

    mc.setListIndex(ui(mc).cboPayoff, 2);
    mc.lblAdditionalParams_Click();
    EXPECT_TRUE(shown(mc, ui(mc).picBar));

    mc.setListIndex(ui(mc).cboPayoff, 0);
    mc.setListIndex(ui(mc).cboExercise, 1);
    ASSERT_TRUE(shown(mc, ui(mc).picBar));
    mc.lblAdditionalParams_Click();
    EXPECT_TRUE(shown(mc, ui(mc).picBar));
    EXPECT_EQ(caption(mc), QStringLiteral("Num of exercising|periods"));
}

// ---------------------------------------------------------------------------
// Where the focus goes (window on screen and active)

TEST_F(ContractChoiceTest, FocusGoesToTheFirstMissingBarrier)
{
    frmOptions& w = openPde();
    activate(w);
    // An empty periods box takes the focus last.
    w.setListIndex(ui(w).cboPayoff, 1);
    EXPECT_TRUE(ui(w).txtMonPts->hasFocus());

    ui(w).txtMonPts->setText(QStringLiteral("4"));
    w.setListIndex(ui(w).cboPayoff, 1);
    EXPECT_TRUE(ui(w).TxtUpBar->hasFocus());
    w.setListIndex(ui(w).cboPayoff, 2);
    EXPECT_TRUE(ui(w).txtDownBar->hasFocus());

    // Both missing: the down box is focused last.
    w.setListIndex(ui(w).cboPayoff, 5);
    EXPECT_TRUE(ui(w).txtDownBar->hasFocus());

    // Down barrier typed, up missing: the up box.
    ui(w).txtDownBar->setText(QStringLiteral("80"));
    ui(w).cboOptions->setFocus();
    w.setListIndex(ui(w).cboPayoff, 6);
    EXPECT_TRUE(ui(w).TxtUpBar->hasFocus());

    // Both typed: the focus stays.
    ui(w).TxtUpBar->setText(QStringLiteral("120"));
    ui(w).cboOptions->setFocus();
    w.setListIndex(ui(w).cboPayoff, 5);
    EXPECT_TRUE(ui(w).cboOptions->hasFocus());
}

TEST_F(ContractChoiceTest, FocusGoesToAnEmptyPeriodsBoxOrStrike)
{
    frmOptions& w = openPde();
    activate(w);
    ui(w).cboOptions->setFocus();
    w.setListIndex(ui(w).cboExercise, 2);  // Bermudan vanilla, no periods yet
    EXPECT_TRUE(ui(w).txtMonPts->hasFocus());

    ui(w).txtAsset->setText(QStringLiteral("100"));
    w.setListIndex(ui(w).cboExercise, 0);
    ui(w).cboOptions->setFocus();
    w.setListIndex(ui(w).cboPayoff, 7);  // fixed strike, none typed
    // The fixings box, empty as well, is focused after the strike.
    EXPECT_TRUE(ui(w).txtSmplPoints->hasFocus());

    ui(w).txtSmplPoints->setText(QStringLiteral("12"));
    ui(w).cboOptions->setFocus();
    w.setListIndex(ui(w).cboPayoff, 7);
    EXPECT_TRUE(ui(w).txtStrike->hasFocus());
}

TEST_F(ContractChoiceTest, AWindowNotOnScreenKeepsTheFocusWhereItIs)
{
    // The Monte Carlo window loads and takes its lists behind the other.
    frmOptions& pde = openPde();
    activate(pde);
    ui(pde).txtStrike->setFocus();
    frmOptions& mc = *dorn->pricerMc();
    mc.Load();
    ASSERT_FALSE(mc.Visible());
    mc.setListIndex(ui(mc).cboExercise, 1);
    mc.setListIndex(ui(mc).cboPayoff, 6);  // knock-in: forced only by finite differences
    EXPECT_TRUE(ui(pde).txtStrike->hasFocus());
    EXPECT_EQ(ui(mc).txtMonPts->text(), QString());
    // It lays out as the Monte Carlo window it is, whatever is in front.
    EXPECT_EQ(ui(mc).cboExercise->count(), 2);
    EXPECT_EQ(ui(mc).cboExercise->currentText(), QStringLiteral("Bermudan"));
    EXPECT_TRUE(ui(mc).chkContMon->isEnabled());
}
