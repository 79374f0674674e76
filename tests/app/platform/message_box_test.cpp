// The message boxes the program shows: each as wide as its title bar needs,
// so that a short message under a long title does not show the title cut
// off by the window manager.
#include "platform/message_box.h"

#include "support/screenshot_folder.h"

#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(MessageBoxes, AreAsWideAsTheirTitleBarNeeds)
{
    const struct {
        const char* title;
        const char* text;
        tarvic::MsgButtons buttons;
    } cases[] = {
        {"Inputs have changed!", "Please press Calculate", tarvic::MsgButtons::OKOnly},
        {"Invalid input parameter", "OK?", tarvic::MsgButtons::OKOnly},
        {"MC Option Pricer - ERROR", "Out of memory.", tarvic::MsgButtons::YesNo},
        {"Unsupported input value",
         "The program assumes equally spaced observation(fixing)dates with an observation "
         "period of: [Time to expiry] / [Total number of fixings - Number of settled fixings].",
         tarvic::MsgButtons::OKOnly},
    };
    for (const auto& c : cases) {
        tarvic::MsgBoxRequest request;
        request.title = QString::fromLatin1(c.title);
        request.text = QString::fromLatin1(c.text);
        request.icon = tarvic::MsgIcon::Exclamation;
        request.buttons = c.buttons;
        const std::unique_ptr<QMessageBox> box = tarvic::makeMessageBox(nullptr, request);
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        QApplication::processEvents();
        SCOPED_TRACE(c.title);
        EXPECT_EQ(box->windowTitle(), request.title);
        EXPECT_EQ(box->text(), request.text);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        // The title bar's width is the floor; a long text may make the box
        // wider still.
        EXPECT_GE(box->width(), tarvic::titleBarWidth(request.title));
        if (!qEnvironmentVariableIsEmpty("TARVIC_FIT_SHOTS"))
            saveScreenshot(*box, QStringLiteral("message-box-") +
                                     QString::fromLatin1(c.title).section(QLatin1Char(' '), 0, 0));
        box->hide();
    }
}

}  // namespace
