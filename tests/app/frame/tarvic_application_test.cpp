// The program's application object: an error that no handler trapped and
// that reaches the event loop is reported, and the program goes on.
#include "frame/tarvic_application.h"

#include "platform/message_box.h"
#include "shared/solver_mode.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A widget whose handling of one event kind throws something that is no
// exception class at all.
class FaultyWidget : public QWidget {
public:
    static constexpr QEvent::Type kFaulty = QEvent::User;
    static constexpr QEvent::Type kPlain = static_cast<QEvent::Type>(QEvent::User + 1);
    int plainEvents = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == kFaulty)
            throw 7;
        if (e->type() == kPlain) {
            ++plainEvents;
            return true;
        }
        return QWidget::event(e);
    }
};

}  // namespace

TEST(TarvicApplicationTest, AnErrorReachingTheEventLoopIsReportedAndEventsGoOn)
{
    ASSERT_NE(qobject_cast<tarvic::TarvicApplication*>(QCoreApplication::instance()), nullptr);
    tarvic::ScriptedMessageBoxes boxes;
    tarvic::gSolverMode = tarvic::kSolverPde;
    FaultyWidget widget;

    QEvent faulty(FaultyWidget::kFaulty);
    EXPECT_FALSE(QCoreApplication::sendEvent(&widget, &faulty));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Error 51(Internal error) occurred while handling a window event"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("PDE Solver - ERROR"));
    EXPECT_EQ(boxes.shown[0].icon, tarvic::MsgIcon::Exclamation);

    QEvent plain(FaultyWidget::kPlain);
    EXPECT_TRUE(QCoreApplication::sendEvent(&widget, &plain));
    EXPECT_EQ(widget.plainEvents, 1);

    // A standard exception out of a timer's slot: its own text, and the
    // event loop keeps running (the later timer fires).
    bool later = false;
    QTimer::singleShot(0, &widget, [] { throw std::runtime_error("Lost the plot"); });
    QTimer::singleShot(20, &widget, [&] { later = true; });
    QTest::qWait(100);
    EXPECT_TRUE(later);
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].text,
              QStringLiteral("Error 51(Lost the plot) occurred while handling a window event"));
    tarvic::gSolverMode = 0;
}
