// The pricer window's form life: load, defaults, activation, F3, menus,
// and the settings the dialogs own.
#include "support/app_fixture.h"

#include <functional>

#include "about/frm_about.h"
#include "controls/hyperlink.h"
#include "platform/results_grid.h"
#include "platform/system_services.h"
#include "settings/frmResol.h"
#include "settings/frmResolMC.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>

namespace {

QStringList items(const QComboBox* box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

}  // namespace

using PricerWindowTest = AppFixture;

TEST_F(PricerWindowTest, LoadFillsTheListsInTheirFixedOrder)
{
    dorn->mnuPDEOptions->trigger();
    dorn->mnuMCOptions->trigger();
    const frmOptions& pde = *dorn->pricerPde();
    const frmOptions& mc = *dorn->pricerMc();
    const QStringList payoffs{
        "Vanilla",           "Barrier - Up & Out",     "Barrier - Down & Out",
        "Barrier - Up & In", "Barrier - Down & In",    "Barrier - Double & Out",
        "Barrier - Double & In", "Asian - Fixed Strike", "Asian - Floating Strike"};
    for (const frmOptions* w : {&pde, &mc}) {
        EXPECT_EQ(items(ui(w).cboPayoff), payoffs);
        EXPECT_EQ(items(ui(w).cboOptions), (QStringList{"Call", "Put"}));
        EXPECT_EQ(ui(w).cboPayoff->currentIndex(), 0);
        EXPECT_EQ(ui(w).cboExercise->currentIndex(), 0);
        EXPECT_EQ(ui(w).cboOptions->currentIndex(), 0);
    }
    EXPECT_EQ(items(ui(pde).cboExercise), (QStringList{"European", "American", "Bermudan"}));
    EXPECT_EQ(items(ui(mc).cboExercise), (QStringList{"European", "Bermudan"}));
}

TEST_F(PricerWindowTest, LoadLeavesTheDesignedLayoutAndMenus)
{
    dorn->mnuPDEOptions->trigger();
    const frmOptions& w = *dorn->pricerPde();
    // Hidden frames and panels; the rest is there.
    for (const QWidget* hidden : std::initializer_list<const QWidget*>{
             ui(w).frAnalytic, ui(w).frMCExact, ui(w).frPlotOptions, ui(w).picBar, ui(w).picAsian})
        EXPECT_TRUE(hidden->isHidden());
    for (const QWidget* shown : std::initializer_list<const QWidget*>{
             ui(w).frmOptType, ui(w).Frame1, ui(w).txtAsset, ui(w).cmdCalc, ui(w).MSFlexGrid1, ui(w).Frame2, ui(w).Frame5})
        EXPECT_FALSE(shown->isHidden());
    EXPECT_EQ(ui(w).cmdCalc->text(), QStringLiteral("&Calculate"));
    EXPECT_EQ(ui(w).Frame1->title(), QStringLiteral("Option Parameters"));
    EXPECT_EQ(ui(w).cmdGraph[5]->toolTip(), QStringLiteral("Customize graph"));

    EXPECT_FALSE(ui(w).mnuExcel->isEnabled());
    EXPECT_EQ(ui(w).mnuResol->shortcut(), QKeySequence(Qt::Key_F2));
    // A vanilla option has a closed form: its entries are offered, but only
    // a run enables them.
    EXPECT_TRUE(ui(w).mnuBS->isVisible());
    EXPECT_FALSE(ui(w).mnuBS->isEnabled());
    EXPECT_EQ(ui(w).mnuBS->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_FALSE(ui(w).mnuSaveRefSol->isVisible());
    EXPECT_TRUE(ui(w).mnuBSGrid->isVisible());
    EXPECT_FALSE(ui(w).mnuBSGrid->isEnabled());
    EXPECT_TRUE(ui(w).mnuVega->isVisible());
    EXPECT_FALSE(ui(w).mnuVega->isChecked());
    EXPECT_FALSE(ui(w).mnuTheta->isChecked());
    EXPECT_EQ(visibleEntries(ui(w).mnuFile), (QStringList{"&Export", "E&xit"}));
    EXPECT_EQ(visibleEntries(ui(w).mnuCC), QStringList{"&Copy"});

    // Header row of the results table.
    tarvic::ResultsGrid& grid = *ui(w).MSFlexGrid1;
    EXPECT_EQ(grid.Cols(), 6);
    EXPECT_EQ(grid.FixedRows(), 2);
    const QStringList header{"Asset", "Option", "Delta", "Gamma", "Theta", "Vega"};
    for (int col = 0; col < 6; ++col) {
        EXPECT_EQ(grid.TextMatrix(0, col), header[col]);
        grid.setRow(0);
        grid.setCol(col);
        EXPECT_TRUE(grid.CellFontBold());
        EXPECT_EQ(grid.CellAlignment(), 7);
        EXPECT_EQ(grid.CellBackColor(), QColor(255, 192, 128));
    }
    EXPECT_EQ(grid.TextMatrix(1, 0), QStringLiteral("0.0000"));
    EXPECT_EQ(grid.RowHeight(0), 375);  // 370 twips on a 15-twip pixel raster
}

TEST_F(PricerWindowTest, LoadWritesTheSolverDefaultsWhileNoDialogExists)
{
    tarvic::gPdeSettings.gDiscretization = 0;
    tarvic::gPdeSettings.gAmerSolver = 0;
    tarvic::gPdeSettings.gPlaneSpacing = 1;
    tarvic::gPdeSettings.gPlanesInterp = 0;
    dorn->mnuPDEOptions->trigger();
    EXPECT_EQ(tarvic::gPdeSettings.gDiscretization, 2);
    EXPECT_EQ(tarvic::gPdeSettings.gAmerSolver, 2);
    EXPECT_TRUE(tarvic::gPdeSettings.gNonUniGrid);
    EXPECT_EQ(tarvic::gPdeSettings.gPlanesInterp, -1);
    EXPECT_EQ(tarvic::gPdeSettings.gDefaultPlanesInterp, 2);
    EXPECT_EQ(tarvic::gPdeSettings.gPlaneSpacing, 4);
    EXPECT_TRUE(dorn->pricerPde()->productInputs().gInputsChanged);

    tarvic::gMcSettings.gSobol = false;
    tarvic::gMcSettings.gFewBlocks = false;
    dorn->mnuMCOptions->trigger();
    EXPECT_TRUE(tarvic::gMcSettings.gSobol);
    EXPECT_TRUE(tarvic::gMcSettings.gFewBlocks);

    // A second load of the Monte Carlo window writes them again.
    dorn->pricerMc()->mnuExit_Click();
    tarvic::gMcSettings.gSobol = false;
    tarvic::gMcSettings.gFewBlocks = false;
    dorn->mnuMCOptions->trigger();
    EXPECT_TRUE(tarvic::gMcSettings.gSobol);
    EXPECT_TRUE(tarvic::gMcSettings.gFewBlocks);
}

// Once a settings dialog exists it owns what it shows: loading a pricer
// window (the first switch of solver, or a reload after Exit) must not
// change the scheme, the American solver, the grid kind or the generator
// behind the dialog's back.
TEST_F(PricerWindowTest, LoadLeavesTheSettingsThatALoadedDialogShows)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& pde = *dorn->pricerPde();
    pde.mnuResol_Click();
    frmResol* resol = frmResolIfLoaded();
    ASSERT_NE(resol, nullptr);
    resol->setListIndex(resol->cboDiscrete, 0);  // Implicit
    resol->chkNonUniGrid->setChecked(false);
    ASSERT_EQ(tarvic::gPdeSettings.gDiscretization, 0);
    ASSERT_FALSE(tarvic::gPdeSettings.gNonUniGrid);
    resol->hide();

    pde.Form_KeyDown(Qt::Key_F3, 0);  // the Monte Carlo window loads
    ASSERT_TRUE(dorn->pricerMc()->isLoaded());
    EXPECT_EQ(tarvic::gPdeSettings.gDiscretization, 0);
    EXPECT_EQ(resol->cboDiscrete->currentIndex(), 0);
    EXPECT_FALSE(tarvic::gPdeSettings.gNonUniGrid);
    EXPECT_FALSE(resol->chkNonUniGrid->isChecked());

    // The Monte Carlo dialog: pseudo-random numbers survive a reload.
    frmOptions& mc = *dorn->pricerMc();
    mc.mnuResol_Click();
    frmResolMC* resolMC = frmResolMCIfLoaded();
    ASSERT_NE(resolMC, nullptr);
    resolMC->optRNG[1]->setChecked(true);
    ASSERT_FALSE(tarvic::gMcSettings.gSobol);
    resolMC->hide();
    mc.mnuExit_Click();
    dorn->mnuMCOptions->trigger();
    ASSERT_TRUE(mc.isLoaded());
    EXPECT_FALSE(tarvic::gMcSettings.gSobol);
    EXPECT_TRUE(resolMC->optRNG[1]->isChecked());
    EXPECT_EQ(tarvic::gPdeSettings.gDiscretization, 0);
}

TEST_F(PricerWindowTest, ConfigureSolverOpensTheDialogOfTheCurrentSolverModally)
{
    dorn->mnuPDEOptions->trigger();
    ui(dorn->pricerPde()).mnuResol->trigger();
    ASSERT_EQ(dialogs.modal.size(), 1);
    EXPECT_EQ(dialogs.modal[0].data(), frmResolIfLoaded());
    EXPECT_EQ(frmResolIfLoaded()->servedWindow(), dorn->pricerPde());
    frmResolIfLoaded()->hide();

    dorn->mnuMCOptions->trigger();
    ui(dorn->pricerMc()).mnuResol->trigger();
    ASSERT_EQ(dialogs.modal.size(), 2);
    EXPECT_EQ(dialogs.modal[1].data(), frmResolMCIfLoaded());
    EXPECT_EQ(frmResolMCIfLoaded()->servedWindow(), dorn->pricerMc());
}

TEST_F(PricerWindowTest, CheckMarksToggleAndBelongToTheirWindow)
{
    dorn->mnuPDEOptions->trigger();
    dorn->mnuMCOptions->trigger();
    frmOptions& pde = *dorn->pricerPde();
    frmOptions& mc = *dorn->pricerMc();
    ui(pde).mnuVega->trigger();
    EXPECT_TRUE(ui(pde).mnuVega->isChecked());
    EXPECT_FALSE(ui(mc).mnuVega->isChecked());
    ui(pde).mnuVega->trigger();
    EXPECT_FALSE(ui(pde).mnuVega->isChecked());
    mc.mnuTheta_Click();
    EXPECT_TRUE(ui(mc).mnuTheta->isChecked());
    EXPECT_FALSE(ui(pde).mnuTheta->isChecked());
}

TEST_F(PricerWindowTest, F3SwitchesAndCopiesTheInputsOnlyTheFirstTime)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& pde = *dorn->pricerPde();
    ui(pde).txtAsset->setText(QStringLiteral("100"));
    ui(pde).txtStrike->setText(QStringLiteral("95"));
    ui(pde).txtVol->setText(QStringLiteral("20"));
    ui(pde).txtDownBar->setText(QStringLiteral("80"));
    ui(pde).txtMonPts->setText(QStringLiteral("12"));
    pde.setListIndex(ui(pde).cboOptions, 1);
    pde.setListIndex(ui(pde).cboExercise, 1);  // American

    pde.Form_KeyDown(Qt::Key_F2, 0);  // not the form's key
    EXPECT_FALSE(dorn->pricerMc()->isLoaded());

    pde.Form_KeyDown(Qt::Key_F3, 0);
    frmOptions& mc = *dorn->pricerMc();
    EXPECT_EQ(tarvic::gSolverMode, 2);
    EXPECT_TRUE(mc.Visible());
    EXPECT_EQ(mc.Caption(), QStringLiteral("Monte Carlo Solver"));
    EXPECT_EQ(mc.WindowState(), 2);
    EXPECT_EQ(pde.WindowState(), 1);
    EXPECT_EQ(ui(mc).txtAsset->text(), QStringLiteral("100"));
    EXPECT_EQ(ui(mc).txtStrike->text(), QStringLiteral("95"));
    EXPECT_EQ(ui(mc).txtVol->text(), QStringLiteral("20"));
    EXPECT_EQ(ui(mc).txtDownBar->text(), QStringLiteral("80"));
    EXPECT_EQ(ui(mc).txtMonPts->text(), QString());  // not copied
    EXPECT_EQ(ui(mc).cboOptions->currentText(), QStringLiteral("Put"));
    EXPECT_EQ(ui(mc).cboExercise->currentText(), QStringLiteral("Bermudan"));
    EXPECT_EQ(visibleEntries(ui(mc).mnuSwitch), QStringList{"PDE Solver"});

    // Back and forth again: both windows are on screen, nothing is copied.
    ui(mc).txtStrike->setText(QStringLiteral("120"));
    mc.Form_KeyDown(Qt::Key_F3, 0);
    EXPECT_EQ(tarvic::gSolverMode, 1);
    EXPECT_EQ(pde.WindowState(), 2);
    EXPECT_EQ(mc.WindowState(), 1);
    EXPECT_EQ(ui(pde).txtStrike->text(), QStringLiteral("95"));
    EXPECT_EQ(ui(pde).cboExercise->currentText(), QStringLiteral("American"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(PricerWindowTest, SwitchFromMonteCarloMapsBermudanAndLoadsTheOtherWindow)
{
    dorn->mnuMCOptions->trigger();
    frmOptions& mc = *dorn->pricerMc();
    mc.setListIndex(ui(mc).cboExercise, 1);  // Bermudan
    mc.setListIndex(ui(mc).cboPayoff, 2);
    mc.mnuPDE_Click();
    frmOptions& pde = *dorn->pricerPde();
    EXPECT_TRUE(pde.Visible());
    EXPECT_EQ(pde.Caption(), QStringLiteral("PDE Solver"));
    EXPECT_EQ(ui(pde).cboExercise->count(), 3);
    EXPECT_EQ(ui(pde).cboExercise->currentText(), QStringLiteral("Bermudan"));
    EXPECT_EQ(ui(pde).cboPayoff->currentIndex(), 2);
    EXPECT_EQ(visibleEntries(ui(pde).mnuSwitch), QStringList{"Monte Carlo Solver"});
}

// The menu's Copy and the copy keys put the selected block on the
// clipboard, rows ended the way the platform ends lines.
TEST_F(PricerWindowTest, CopyPutsTheSelectedBlockOnTheClipboard)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& w = *dorn->pricerPde();
    tarvic::ResultsGrid& grid = *ui(w).MSFlexGrid1;
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"menu", [&] { ui(w).mnuCopy->trigger(); }},
        {"Ctrl+C", [&] { QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier); }},
    };
    for (const auto& way : ways) {
        tarvic::Clipboard::Clear();
        grid.setRow(0);
        grid.setCol(1);
        grid.selectBlock(2, 2);
        way.second();
        EXPECT_EQ(tarvic::Clipboard::GetText(),
                  QStringLiteral("Option\tDelta\n0.0000\t0.0000\n0.0000\t0.0000"))
            << way.first;
    }
    // The grid's own text of the block keeps its carriage returns.
    EXPECT_EQ(grid.Clip(), QStringLiteral("Option\tDelta\r0.0000\t0.0000\r0.0000\t0.0000"));
}

TEST_F(PricerWindowTest, MenuShortcutsAndF3ReachTheWindowFromAFocusedBox)
{
    dorn->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    dorn->mnuPDEOptions->trigger();
    frmOptions& w = *dorn->pricerPde();
    int closedForm = 0;
    QObject::connect(ui(w).mnuBS, &QAction::triggered, [&] { ++closedForm; });
    ui(w).txtStrike->setText(QStringLiteral("100"));
    ui(w).txtStrike->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(ui(w).txtStrike->hasFocus());

    // Hidden entry: the box keeps Ctrl+A for itself.
    QTest::keyClick(ui(w).txtStrike, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(closedForm, 0);
    EXPECT_EQ(ui(w).txtStrike->selectedText(), QStringLiteral("100"));

    ui(w).mnuBS->setVisible(true);
    ui(w).mnuBS->setEnabled(true);
    QTest::keyClick(ui(w).txtStrike, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(closedForm, 1);

    // F3 from the box switches solver.
    QTest::keyClick(ui(w).txtStrike, Qt::Key_F3);
    EXPECT_TRUE(dorn->pricerMc()->Visible());
    EXPECT_EQ(tarvic::gSolverMode, 2);
}

TEST_F(PricerWindowTest, AWindowFirstTouchedBehindTheOtherStillGetsItsOwnLists)
{
    dorn->mnuMCOptions->trigger();
    ASSERT_EQ(tarvic::gSolverMode, 2);
    // The finite-difference settings dialog reads the exercise style of the
    // finite-difference window, which loads at that touch.
    tarvic::PricerLink& pdeLink = *dorn->pricerPde();
    EXPECT_EQ(pdeLink.exerciseText(), QStringLiteral("European"));
    const frmOptions& pde = *dorn->pricerPde();
    EXPECT_TRUE(pde.isLoaded());
    EXPECT_FALSE(pde.Visible());
    EXPECT_EQ(items(ui(pde).cboExercise), (QStringList{"European", "American", "Bermudan"}));
    EXPECT_EQ(ui(pde).MSFlexGrid1->TextMatrix(0, 0), QStringLiteral("Asset"));
    EXPECT_EQ(tarvic::gSolverMode, 2);  // the window in front keeps its mode
}

// The About entry shows the one About window without holding the pricer
// window back; a second choice brings the same window up.
TEST_F(PricerWindowTest, AboutShowsOneAboutWindowModelessly)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& w = *dorn->pricerPde();
    ui(w).mnuAbout->trigger();
    frmAbout* about = AboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowModality(), Qt::NonModal);
    EXPECT_TRUE(dialogs.modal.isEmpty());
    EXPECT_EQ(dialogs.modeless.size(), 1);
    ui(w).mnuAbout->trigger();
    EXPECT_EQ(AboutWindow(), about);
    EXPECT_EQ(about->parentWidget(), dorn.get());
    // The pricer window still takes input meanwhile.
    ui(w).txtStrike->setText(QStringLiteral("95"));
    EXPECT_EQ(ui(w).txtStrike->text(), QStringLiteral("95"));
    about->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(AboutWindow(), nullptr);
}

// The maker's link: its caption, colours and fonts, and a click that opens
// the project's web page through the desktop (a refusal says so).
TEST_F(PricerWindowTest, TheMakersLinkOpensItsWebPage)
{
    QList<QUrl> opened;
    bool answer = true;
    tarvic::setShellOpenHandler([&](const QUrl& url) {
        opened << url;
        return answer;
    });
    dorn->mnuPDEOptions->trigger();
    frmOptions& w = *dorn->pricerPde();
    tarvic::Hyperlink& link = *ui(w).HyperlinkOrsk;
    EXPECT_EQ(link.Caption(), QStringLiteral("Halvic"));
    EXPECT_FALSE(link.isHidden());
    EXPECT_EQ(link.BackColor(), QColor(255, 255, 255));
    EXPECT_EQ(link.ColorNormal(), QColor(255, 224, 192));
    EXPECT_EQ(link.ColorUsed(), QColor(255, 224, 192));
    EXPECT_EQ(link.ColorHover(), QColor(255, 128, 0));
    for (const QFont& font : {link.FontNormal(), link.FontHover()}) {
        EXPECT_EQ(font.family(), QStringLiteral("Copperplate Gothic Light"));
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 11.25);
        EXPECT_TRUE(font.underline());
    }
    // The whole caption shows.
    const QFontMetrics metrics(link.FontHover());
    EXPECT_GE(link.captionLabel()->width(), metrics.horizontalAdvance(link.Caption()));

    const QPoint caption = link.captionLabel()->geometry().center();
    QTest::mouseClick(&link, Qt::LeftButton, {}, caption);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl(frmAbout::kWebAddress));
    EXPECT_TRUE(link.isVisited());
    EXPECT_TRUE(boxes.shown.isEmpty());

    answer = false;
    QTest::mouseClick(&link, Qt::LeftButton, {}, caption);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(frmAbout::kWebAddress));
    tarvic::setShellOpenHandler({});
}
