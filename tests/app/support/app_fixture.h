// A running program for window tests: the main window shown off screen,
// message boxes answered, dialogs shown without blocking, the program's end
// counted instead of done, fresh shared settings and settings dialogs.
#pragma once

#include "support/qt_printers.h"

#include "frame/app_windows.h"
#include "frame/mdi_dorn.h"
#include "platform/dialog_show.h"
#include "platform/message_box.h"
#include "platform/system_services.h"
#include "pricer/frm_options.h"
#include "support/pricer_access.h"
#include "settings/settings_dialogs.h"
#include "shared/mc_settings.h"
#include "shared/pde_settings.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        tarvic::gSolverMode = 0;
        tarvic::gPdeSettings = tarvic::PdeSettings();
        tarvic::gMcSettings = tarvic::McSettings();
        tarvic::setEndProgramHook([this] { ++programEnds; });
        dorn = std::make_unique<MDIDorn>();
        dorn->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dorn.get()));
    }

    void TearDown() override
    {
        destroySettingsDialogs();
        dorn.reset();
        tarvic::setEndProgramHook({});
        QApplication::processEvents();
    }

    // The captions of the visible entries of a menu, separators left out.
    static QStringList visibleEntries(const QMenu* menu);

    tarvic::ScriptedMessageBoxes boxes;
    tarvic::NonBlockingDialogs dialogs;
    std::unique_ptr<MDIDorn> dorn;
    int programEnds = 0;
};

// Lets events run until the window's run (if one is out) has ended, at most
// two minutes.
inline void waitForRunEnd(frmOptions& window)
{
    if (!window.runInProgress())
        return;
    QEventLoop loop;
    QObject::connect(&window, &frmOptions::runEnded, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(window.runInProgress()) << "the run did not end";
}

inline QStringList AppFixture::visibleEntries(const QMenu* menu)
{
    QStringList captions;
    for (const QAction* a : menu->actions())
        if (!a->isSeparator() && a->isVisible())
            captions << a->text();
    return captions;
}
