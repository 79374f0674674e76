// The main window: start-up with the cover, the Tools entries, Exit.
#include "support/app_fixture.h"

#include "platform/results_grid.h"
#include "platform/window_placement.h"
#include "support/screenshot_folder.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

namespace {

QStringList menuBarCaptions(QMainWindow& window)
{
    QStringList captions;
    for (const QAction* a : window.menuBar()->actions())
        captions << a->text();
    return captions;
}

}  // namespace

using MainWindowTest = AppFixture;

TEST_F(MainWindowTest, StartsAloneWithCoverAndToolsMenu)
{
    EXPECT_EQ(dorn->windowTitle(), QStringLiteral("Velk Option Pricer (beta)"));
    EXPECT_EQ(mainDorn(), dorn.get());
    EXPECT_EQ(tarvic::mainWindowWidget(), dorn.get());
    EXPECT_FALSE(dorn->PicCover->isHidden());
    EXPECT_EQ(dorn->lblCover->text(), QStringLiteral("Option Pricing"));
    EXPECT_EQ(dorn->lblCompany->text(), QStringLiteral("             by Halvic"));
    EXPECT_EQ(menuBarCaptions(*dorn), QStringList{QStringLiteral("Tools")});
    EXPECT_EQ(visibleEntries(dorn->mnuPricer),
              (QStringList{QStringLiteral("&PDE Solver"), QStringLiteral("&Monte Carlo Solver"),
                           QStringLiteral("E&xit")}));
    // Both pricer windows exist but neither is loaded or on screen.
    ASSERT_NE(dorn->pricerPde(), nullptr);
    ASSERT_NE(dorn->pricerMc(), nullptr);
    EXPECT_NE(dorn->pricerPde(), dorn->pricerMc());
    EXPECT_FALSE(dorn->pricerPde()->isLoaded());
    EXPECT_FALSE(dorn->pricerMc()->isLoaded());
    for (QMdiSubWindow* frame : dorn->mdiArea()->subWindowList())
        EXPECT_TRUE(frame->isHidden());
    EXPECT_EQ(tarvic::gSolverMode, 0);
    // No maximize button and no resizing.
    EXPECT_FALSE(dorn->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dorn->minimumSize(), dorn->maximumSize());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

struct ToolsEntryCase {
    const char* name;
    int mode;
    const char* caption;
    int exerciseStyles;
    const char* switchEntryLeft;  // the one Switch Solver entry still offered
};

class ToolsEntryTest : public AppFixture, public ::testing::WithParamInterface<ToolsEntryCase> {};

TEST_P(ToolsEntryTest, ShowsItsPricerWindowLoadedWithDefaults)
{
    const ToolsEntryCase& c = GetParam();
    QAction* entry = c.mode == 1 ? dorn->mnuPDEOptions : dorn->mnuMCOptions;
    frmOptions* window = c.mode == 1 ? dorn->pricerPde() : dorn->pricerMc();
    frmOptions* other = c.mode == 1 ? dorn->pricerMc() : dorn->pricerPde();

    entry->trigger();

    EXPECT_TRUE(dorn->PicCover->isHidden());
    EXPECT_TRUE(window->isLoaded());
    EXPECT_TRUE(window->Visible());
    EXPECT_FALSE(other->isLoaded());
    EXPECT_EQ(window->Caption(), QString::fromLatin1(c.caption));
    EXPECT_EQ(window->subWindow()->windowTitle(), QString::fromLatin1(c.caption));
    EXPECT_EQ(tarvic::gSolverMode, c.mode);
    EXPECT_EQ(ui(window).cboExercise->count(), c.exerciseStyles);
    EXPECT_EQ(ui(window).cboOptions->currentText(), QStringLiteral("Call"));
    EXPECT_EQ(ui(window).cboPayoff->currentText(), QStringLiteral("Vanilla"));
    EXPECT_EQ(ui(window).cboPayoff->count(), 9);
    EXPECT_EQ(window->exerciseText(), QStringLiteral("European"));
    EXPECT_EQ(visibleEntries(ui(window).mnuSwitch),
              QStringList{QString::fromLatin1(c.switchEntryLeft)});
    // The frame's menu bar shows the active window's menus.
    EXPECT_EQ(menuBarCaptions(*dorn),
              (QStringList{QStringLiteral("&File"), QStringLiteral("&Options"),
                           QStringLiteral("&Switch Solver"), QStringLiteral("About")}));
    // The empty results table.
    EXPECT_EQ(ui(window).MSFlexGrid1->Rows(), 100);
    EXPECT_EQ(ui(window).MSFlexGrid1->TextMatrix(0, 0),
              c.mode == 1 ? QStringLiteral("Asset") : QStringLiteral("Paths"));
    EXPECT_EQ(ui(window).MSFlexGrid1->TextMatrix(99, 5), QStringLiteral("0.0000"));

    // A second choice shows the same window; nothing new is created.
    const int frames = dorn->mdiArea()->subWindowList().size();
    entry->trigger();
    EXPECT_EQ(dorn->mdiArea()->subWindowList().size(), frames);
    EXPECT_TRUE(dorn->PicCover->isHidden());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    BothSolvers, ToolsEntryTest,
    ::testing::Values(ToolsEntryCase{"Pde", 1, "PDE Solver", 3, "Monte Carlo Solver"},
                      ToolsEntryCase{"Mc", 2, "Monte Carlo Solver", 2, "PDE Solver"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ActivatingTheOtherWindowFollowsItsSolver)
{
    dorn->mnuPDEOptions->trigger();
    dorn->mnuMCOptions->trigger();
    EXPECT_EQ(tarvic::gSolverMode, 2);
    dorn->mdiArea()->setActiveSubWindow(dorn->pricerPde()->subWindow());
    EXPECT_EQ(tarvic::gSolverMode, 1);
    EXPECT_TRUE(ui(dorn->pricerPde()).mnuVega->isVisible());
    dorn->mdiArea()->setActiveSubWindow(dorn->pricerMc()->subWindow());
    EXPECT_EQ(tarvic::gSolverMode, 2);
    EXPECT_FALSE(ui(dorn->pricerMc()).mnuVega->isVisible());
    EXPECT_FALSE(ui(dorn->pricerMc()).mnuTheta->isVisible());
}

TEST_F(MainWindowTest, PricerExitUnloadsOnlyThatWindowAndToolsLoadsItAfresh)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& pde = *dorn->pricerPde();
    ui(pde).txtStrike->setText(QStringLiteral("105"));
    pde.setListIndex(ui(pde).cboOptions, 1);
    pde.mnuVega_Click();
    ASSERT_TRUE(ui(pde).mnuVega->isChecked());

    ui(pde).mnuExit->trigger();
    EXPECT_FALSE(pde.isLoaded());
    EXPECT_FALSE(pde.Visible());
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(menuBarCaptions(*dorn), QStringList{QStringLiteral("Tools")});

    dorn->mnuPDEOptions->trigger();
    EXPECT_TRUE(pde.Visible());
    EXPECT_EQ(ui(pde).txtStrike->text(), QString());
    EXPECT_EQ(ui(pde).cboOptions->currentText(), QStringLiteral("Call"));
    EXPECT_EQ(ui(pde).cboExercise->count(), 3);  // not six: the list is filled afresh
    EXPECT_FALSE(ui(pde).mnuVega->isChecked());
    EXPECT_EQ(pde.Caption(), QStringLiteral("PDE Solver"));
}

TEST_F(MainWindowTest, ExitAndTheCloseBoxEndTheProgram)
{
    dorn->mnuExit->trigger();
    EXPECT_EQ(programEnds, 1);

    dorn->mnuMCOptions->trigger();
    dorn->close();
    EXPECT_EQ(programEnds, 2);
    // The child window unloaded on the way out.
    EXPECT_FALSE(dorn->pricerMc()->isLoaded());
}

TEST_F(MainWindowTest, ScreenshotWithTheFiniteDifferenceWindow)
{
    dorn->mnuPDEOptions->trigger();
    QApplication::processEvents();
    const QPixmap shot = dorn->grab();
    ASSERT_FALSE(shot.isNull());
    const QString folder = screenshotFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/main-window.png");
    ASSERT_TRUE(shot.save(file, "PNG"));
    EXPECT_GT(QFileInfo(file).size(), 0);
}
