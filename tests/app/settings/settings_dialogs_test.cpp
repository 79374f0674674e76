#include "settings/settings_dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>

#include <functional>
#include <utility>

#include "platform/window_placement.h"
#include "settings/frmResol.h"
#include "settings/frmResolMC.h"
#include "settings/settings_test_support.h"

using namespace tarvic;
using settings_test::SettingsFixture;
using settings_test::StubPricer;

namespace {

class SettingsDialogsTest : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        destroySettingsDialogs();
    }
    void TearDown() override { destroySettingsDialogs(); }
};

TEST_F(SettingsDialogsTest, EachDialogLoadsOnceAtItsFirstTouch)
{
    StubPricer pde(QStringLiteral("American"));
    pde.inputs.gFloatingStrike = true;
    EXPECT_EQ(frmResolIfLoaded(), nullptr);
    frmResol& first = gFrmResol(&pde);
    EXPECT_EQ(frmResolIfLoaded(), &first);
    EXPECT_EQ(first.servedWindow(), &pde);
    // The load already read the served window: "Medium" chose " 1:1".
    EXPECT_EQ(gPdeSettings.gPlaneSpacing, 1);
    first.setListIndex(first.cboDiscrete, 0);
    EXPECT_EQ(&gFrmResol(), &first);
    EXPECT_EQ(first.cboDiscrete->currentIndex(), 0) << "touching it again does not reload it";

    EXPECT_EQ(frmResolMCIfLoaded(), nullptr);
    StubPricer mc;
    frmResolMC& mcDialog = gFrmResolMC(&mc);
    EXPECT_EQ(&gFrmResolMC(), &mcDialog);
    EXPECT_TRUE(mc.inputs.gDiscreteMon);
}

TEST_F(SettingsDialogsTest, DialogsStayOverTheMainWindowAndEndWithIt)
{
    auto* main = new QWidget;
    setMainWindowWidget(main);
    frmResol& fd = gFrmResol();
    frmResolMC& mcDialog = gFrmResolMC();
    EXPECT_EQ(fd.parentWidget(), main);
    EXPECT_EQ(mcDialog.parentWidget(), main);
    EXPECT_TRUE(fd.isWindow());
    delete main;
    setMainWindowWidget(nullptr);
    EXPECT_EQ(frmResolIfLoaded(), nullptr);
    EXPECT_EQ(frmResolMCIfLoaded(), nullptr);
    EXPECT_EQ(gFrmResol().parentWidget(), nullptr);  // a later touch loads a new one
}

// Each showing places a dialog over the main window. Where it lands must not
// depend on whether the window manager has framed the dialog yet (before
// its first showing it has not): for main windows of several heights, a
// fresh dialog placed before it has a frame lands where it lands once
// framed, shown again.
TEST_F(SettingsDialogsTest, ADialogOpensAgainWhereItOpenedFirst)
{
    QWidget main;
    setMainWindowWidget(&main);
    main.setGeometry(40, 60, 880, 600);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    StubPricer pricer;
    const std::pair<const char*, std::function<SettingsDialog&()>> dialogs[] = {
        {"finite differences", [&]() -> SettingsDialog& { return gFrmResol(&pricer); }},
        {"Monte Carlo", [&]() -> SettingsDialog& { return gFrmResolMC(&pricer); }},
    };
    for (int height = 600; height < 612; ++height) {
        main.resize(880, height);
        for (const auto& [name, open] : dialogs) {
            destroySettingsDialogs();
            SettingsDialog& dialog = open();
            dialog.Form_Activate();  // placed as its first showing places it
            const QRect unframed = dialog.geometry();
            for (int showing = 0; showing < 2; ++showing) {
                dialog.showModelessFor(&pricer);
                ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
                EXPECT_EQ(dialog.geometry(), unframed) << name << ", main window height " << height
                                                       << ", showing " << showing + 1;
                dialog.hide();
            }
        }
    }
    destroySettingsDialogs();
    setMainWindowWidget(nullptr);
}

TEST_F(SettingsDialogsTest, PricerLoadDefaultsApplyOnlyWhileNoDialogOwnsTheSettings)
{
    applyPricerLoadDefaults(1);
    EXPECT_EQ(gPdeSettings.gDiscretization, 2);
    EXPECT_EQ(gPdeSettings.gAmerSolver, 2);
    EXPECT_TRUE(gPdeSettings.gNonUniGrid);
    EXPECT_EQ(gPdeSettings.gPlanesInterp, -1);
    EXPECT_EQ(gPdeSettings.gDefaultPlanesInterp, 2);
    EXPECT_EQ(gPdeSettings.gPlaneSpacing, 4);
    applyPricerLoadDefaults(2);
    EXPECT_TRUE(gMcSettings.gSobol);
    EXPECT_TRUE(gMcSettings.gFewBlocks);

    // The user changes the dialogs; then a pricer window loads again
    // (Exit and the Tools menu).
    StubPricer pde(QStringLiteral("American"));
    frmResol& fd = gFrmResol(&pde);
    fd.setListIndex(fd.cboDiscrete, 0);
    fd.setListIndex(fd.cboAmerSolver, 1);
    fd.chkNonUniGrid->setChecked(false);
    StubPricer mc;
    frmResolMC& mcDialog = gFrmResolMC(&mc);
    mcDialog.optRNG[1]->setChecked(true);
    gMcSettings.gFewBlocks = false;

    applyPricerLoadDefaults(1);
    applyPricerLoadDefaults(2);
    EXPECT_EQ(gPdeSettings.gDiscretization, fd.cboDiscrete->currentIndex());
    EXPECT_EQ(gPdeSettings.gDiscretization, 0);
    EXPECT_EQ(gPdeSettings.gAmerSolver, 1);
    EXPECT_FALSE(gPdeSettings.gNonUniGrid);
    EXPECT_EQ(gPdeSettings.gNonUniGrid, fd.chkNonUniGrid->isChecked());
    EXPECT_FALSE(gMcSettings.gSobol);
    EXPECT_EQ(gMcSettings.gSobol, mcDialog.optRNG[0]->isChecked());
    // The pricer window's own switches are still written.
    EXPECT_TRUE(gMcSettings.gFewBlocks);
    EXPECT_EQ(gPdeSettings.gPlanesInterp, -1);
}

}  // namespace
