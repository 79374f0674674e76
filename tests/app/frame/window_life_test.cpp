// The pricer windows' life as a user meets it under a window manager: a
// window closed by its title bar's X comes back whole, a window left alone
// paints nothing and takes no processor time, and closing the main window
// during a run ends the program at once.
#include "pricer/run_support.h"

#include "platform/results_grid.h"
#include "platform/system_services.h"
#include "support/screenshot_folder.h"
#include "support/text_fit.h"

#include <QDir>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <ctime>

#include <unistd.h>

namespace {

using tarvic::kSolverMc;
using tarvic::kSolverPde;

// The controls of a window that are on screen now.
QList<const QWidget*> shownControls(const frmOptions& window)
{
    QList<const QWidget*> shown;
    for (const QWidget* control : window.findChildren<QWidget*>())
        if (control->isVisible())
            shown << control;
    std::sort(shown.begin(), shown.end());
    return shown;
}

QStringList menuBarCaptions(const MDIDorn& dorn)
{
    QStringList captions;
    for (const QAction* a : dorn.menuBar()->actions())
        captions << a->text();
    return captions;
}

// Seconds of processor time the whole process has used.
double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Counts the paint events of every widget of the program.
struct PaintCounter : QObject {
    int paints = 0;
    QStringList painted;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (painted.size() < 10)
                painted << QString::fromLatin1(watched->metaObject()->className());
        }
        return false;
    }
};

// ---------------------------------------------------------------------------
// A window closed by its title bar's X

enum class Reopen { ToolsMenu, SwitchSolver };

struct ReopenCase {
    const char* name;
    int32_t solver;
    Reopen way;
};

class ClosedWindowTest : public PricerRunFixture,
                         public ::testing::WithParamInterface<ReopenCase> {
protected:
    QAction* toolsEntry(int32_t solver) const
    {
        return solver == kSolverPde ? dorn->mnuPDEOptions : dorn->mnuMCOptions;
    }
    static frmOptions& windowOf(MDIDorn& dorn, int32_t solver)
    {
        return solver == kSolverPde ? *dorn.pricerPde() : *dorn.pricerMc();
    }

    // Whether the cover shows over the client area, drawn: its own dark
    // backdrop where the client area's grey would be.
    bool coverDrawn() const
    {
        if (!dorn->PicCover->isVisible())
            return false;
        const QImage shot = dorn->centralWidget()->grab().toImage();
        const QColor corner = shot.pixelColor(4, shot.height() - 4);
        return corner.blue() < 100 && corner.red() < 60;
    }
};

TEST_P(ClosedWindowTest, ComesBackWhole)
{
    const ReopenCase c = GetParam();
    const int32_t other = c.solver == kSolverPde ? kSolverMc : kSolverPde;
    toolsEntry(c.solver)->trigger();
    w = &windowOf(*dorn, c.solver);
    QApplication::processEvents();
    const QList<const QWidget*> first = shownControls(*w);
    ASSERT_TRUE(first.contains(ui(w).cmdCalc));
    ASSERT_TRUE(first.contains(ui(w).txtAsset));
    ASSERT_TRUE(first.contains(static_cast<const QWidget*>(ui(w).MSFlexGrid1)));

    // The title bar's X: the frame's close, which closes the window inside.
    w->subWindow()->close();
    QApplication::processEvents();
    EXPECT_FALSE(w->isLoaded());
    EXPECT_FALSE(w->subWindow()->isVisible());
    EXPECT_EQ(menuBarCaptions(*dorn), QStringList{QStringLiteral("Tools")});
    EXPECT_TRUE(coverDrawn());

    if (c.way == Reopen::ToolsMenu) {
        toolsEntry(c.solver)->trigger();
    } else {
        toolsEntry(other)->trigger();
        frmOptions& from = windowOf(*dorn, other);
        (c.solver == kSolverPde ? ui(from).mnuPDE : ui(from).mnuMC)->trigger();
    }
    QApplication::processEvents();
    ASSERT_TRUE(w->Visible());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(dorn->PicCover->isVisible());
    // The switch brings the window up maximized, with the other window's
    // contract; the same controls show for the default one.
    if (c.way == Reopen::SwitchSolver) {
        EXPECT_TRUE(w->subWindow()->isMaximized());
    }
    const QList<const QWidget*> again = shownControls(*w);
    EXPECT_EQ(again.size(), first.size());
    EXPECT_TRUE(again == first) << "controls shown the first time and now differ";

    // Calculate prices the contract, with the real library.
    typeInputs("100", "100", "20", "5", "0", "1");
    if (c.solver == kSolverPde) {
        frmResol& resol = gFrmResol(w);
        resol.setListIndex(resol.cboResol, 3);
        resol.txtNoA->setText(QStringLiteral("200"));
        resol.txtTS->setText(QStringLiteral("200"));
    } else {
        frmResolMC& resolMC = gFrmResolMC(w);
        resolMC.optRNG[0]->setChecked(true);
        resolMC.UpDownPow->setValue(14);
    }
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready")) << boxes.shown.size();
    double value = 0, delta = 0, gamma = 0, theta = 0, vega = 0;
    tarvic::TarvicLibrary::instance().VanillaBS(value, delta, gamma, theta, vega, 100, 100, 0.05,
                                                0.0, 0.2, 1, 0);
    EXPECT_NEAR(w->mSpotValue, value, c.solver == kSolverPde ? 2e-3 : 0.05);

    // Closed again, both windows: the cover is back.
    for (int32_t solver : {kSolverPde, kSolverMc})
        if (windowOf(*dorn, solver).Visible())
            windowOf(*dorn, solver).subWindow()->close();
    QApplication::processEvents();
    EXPECT_TRUE(coverDrawn());
    EXPECT_EQ(programEnds, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ClosedWindowTest,
    ::testing::Values(ReopenCase{"FiniteDifferencesFromTools", kSolverPde, Reopen::ToolsMenu},
                      ReopenCase{"MonteCarloFromTools", kSolverMc, Reopen::ToolsMenu},
                      ReopenCase{"FiniteDifferencesBySwitch", kSolverPde, Reopen::SwitchSolver},
                      ReopenCase{"MonteCarloBySwitch", kSolverMc, Reopen::SwitchSolver}),
    [](const ::testing::TestParamInfo<ReopenCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// An idle window

template <typename WindowFixture>
class IdleWindow : public WithRecordingLibrary<WindowFixture> {
protected:
    // Lets the window settle, then watches it over a second in which
    // nothing changes, and the process over two.
    void expectIdle(const char* when)
    {
        QTest::qWait(300);
        PaintCounter counter;
        qApp->installEventFilter(&counter);
        QTest::qWait(1000);
        qApp->removeEventFilter(&counter);
        EXPECT_EQ(counter.paints, 0) << when << ": " << counter.painted.join(u' ').toStdString();

        const double before = processSeconds();
        QTest::qWait(2000);
        const double used = processSeconds() - before;
        EXPECT_LT(used, 0.1) << when << ": seconds of processor time over two idle seconds";
    }

    void runOnce()
    {
        this->typeInputs("100");
        this->calculate();
        ASSERT_EQ(ui(this->w).lblProgress->text(), QStringLiteral("Ready"));
    }
};

using IdlePdeWindow = IdleWindow<PdeWindowFixture>;
using IdleMcWindow = IdleWindow<McWindowFixture>;

TEST_F(IdlePdeWindow, PaintsNothingBeforeOrAfterARun)
{
    expectIdle("before a run");
    runOnce();
    expectIdle("after a run");
}

TEST_F(IdleMcWindow, PaintsNothingBeforeOrAfterARun)
{
    expectIdle("before a run");
    runOnce();
    expectIdle("after a run");
}

// ---------------------------------------------------------------------------
// Closing a pricer window during a run

template <typename WindowFixture>
class CloseDuringRun : public WithRecordingLibrary<WindowFixture> {
protected:
    // A close or Exit during a run is answered at once in the status; the
    // window goes when the run ends.
    void expectAnsweredAtOnce(QAction* toolsEntry)
    {
        struct Request {
            const char* name;
            void (*send)(frmOptions&);
        };
        const Request requests[] = {
            {"the title bar's X", [](frmOptions& w) { w.subWindow()->close(); }},
            {"File > Exit", [](frmOptions& w) { ui(w).mnuExit->trigger(); }},
        };
        frmOptions*& w = this->w;
        for (const Request& r : requests) {
            toolsEntry->trigger();
            this->typeInputs("100");
            this->holdCalls();
            ui(w).cmdCalc->click();
            ASSERT_TRUE(this->waitUntilHeld()) << r.name;
            r.send(*w);
            QApplication::processEvents();
            EXPECT_EQ(ui(w).lblProgress->text(), frmOptions::kClosesAfterRun) << r.name;
            EXPECT_EQ(textfit::clippedTexts(this->dorn.get()), QStringList()) << r.name;
            if (r.send == requests[0].send)
                saveScreenshot(*w, QStringLiteral("closes-when-the-run-ends"));
            EXPECT_TRUE(w->isVisible()) << r.name;
            EXPECT_TRUE(w->runInProgress()) << r.name;

            this->holdFn(0);
            this->releaseCalls();
            waitForRunEnd(*w);
            QApplication::processEvents();
            EXPECT_FALSE(w->isLoaded()) << r.name;
            EXPECT_FALSE(w->subWindow()->isVisible()) << r.name;
            EXPECT_TRUE(this->dorn->PicCover->isVisible()) << r.name;
        }
        EXPECT_EQ(this->programEnds, 0);
    }
};

using CloseDuringPdeRun = CloseDuringRun<PdeWindowFixture>;
using CloseDuringMcRun = CloseDuringRun<McWindowFixture>;

TEST_F(CloseDuringPdeRun, IsAnsweredAtOnceAndDoneWhenTheRunEnds)
{
    expectAnsweredAtOnce(dorn->mnuPDEOptions);
}

TEST_F(CloseDuringMcRun, IsAnsweredAtOnceAndDoneWhenTheRunEnds)
{
    expectAnsweredAtOnce(dorn->mnuMCOptions);
}

// ---------------------------------------------------------------------------
// Closing the main window during a run

class ProgramEnd : public RecordingFixture {};

// The program ends as the close arrives, the call still held: the process
// does not wait for it (an alarm ends a child that waits).
TEST_F(ProgramEnd, ClosingTheMainWindowDuringARunEndsTheProgramAtOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    typeInputs("100");
    EXPECT_EXIT(
        {
            tarvic::setEndProgramHook({});
            holdCalls();
            ui(w).cmdCalc->click();
            if (!waitUntilHeld())
                std::_Exit(3);
            alarm(10);
            // As the program runs: its event loop, the close from the
            // window manager, then the main window goes.
            QTimer::singleShot(0, dorn.get(), [this] { dorn->close(); });
            QApplication::exec();
            dorn.reset();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
