// The seams under the windows: the real modal show returns once the window
// hides itself; the scripted message boxes answer in order.
#include "support/qt_printers.h"

#include "platform/dialog_show.h"
#include "platform/message_box.h"
#include "platform/window_placement.h"

#include <QCoreApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

TEST(DialogShowTest, ModalShowReturnsWhenTheWindowHidesItself)
{
    QDialog dialog;
    int hidesSeen = 0;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
        ++hidesSeen;
        dialog.hide();
    });
    tarvic::ShowModal(&dialog);  // the system seam: a local event loop
    EXPECT_EQ(hidesSeen, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.windowModality(), Qt::NonModal);
}

TEST(DialogShowTest, NonBlockingSeamRecordsAndRestoresThePrevious)
{
    QDialog first, second;
    {
        tarvic::NonBlockingDialogs outer;
        {
            tarvic::NonBlockingDialogs inner;
            tarvic::ShowModal(&first);
            tarvic::ShowModeless(&second);
            ASSERT_EQ(inner.modal.size(), 1);
            EXPECT_EQ(inner.modal[0].data(), &first);
            ASSERT_EQ(inner.modeless.size(), 1);
            EXPECT_TRUE(second.isVisible());
        }
        tarvic::ShowModal(&second);
        EXPECT_EQ(outer.modal.size(), 1);
    }
}

TEST(MessageBoxTest, ScriptedBoxesAnswerInOrderThenWithTheFirstButton)
{
    tarvic::ScriptedMessageBoxes boxes;
    boxes.queueAnswer(tarvic::MsgResult::No);
    EXPECT_EQ(tarvic::MsgBox(QStringLiteral("Go on?"), tarvic::MsgIcon::Question,
                             tarvic::MsgButtons::YesNo, QStringLiteral("Warning")),
              tarvic::MsgResult::No);
    EXPECT_EQ(tarvic::MsgBox(QStringLiteral("Again?"), tarvic::MsgIcon::Question,
                             tarvic::MsgButtons::YesNo, QStringLiteral("Warning")),
              tarvic::MsgResult::Yes);
    tarvic::MsgBox(QStringLiteral("Plain"));
    tarvic::Beep();
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(boxes.shown[2].title, QCoreApplication::applicationName());
    EXPECT_EQ(boxes.beeps, 1);
}

TEST(WindowPlacementTest, TwipsAreFifteenPerPixel)
{
    QDialog dialog;
    dialog.resize(200, 100);
    tarvic::moveToTwips(&dialog, 1500, 3000);
    const tarvic::TwipsRect r = tarvic::outerTwips(&dialog);
    EXPECT_EQ(r.left, 1500);
    EXPECT_EQ(r.top, 3000);
    EXPECT_GE(r.width, 200 * 15);
}
