#include "platform/window_placement.h"

#include <QMargins>
#include <QPointer>
#include <QWidget>

#include <cmath>

namespace tarvic {
namespace {
QPointer<QWidget> g_mainWindow;
}

TwipsRect outerTwips(const QWidget* window)
{
    TwipsRect r;
    if (!window)
        return r;
    const QRect frame = window->frameGeometry();
    r.left = frame.x() * kTwipsPerPixel;
    r.top = frame.y() * kTwipsPerPixel;
    r.width = frame.width() * kTwipsPerPixel;
    r.height = frame.height() * kTwipsPerPixel;
    return r;
}

void moveToTwips(QWidget* window, double left, double top)
{
    if (!window)
        return;
    window->move(static_cast<int>(std::lround(left / kTwipsPerPixel)),
                 static_cast<int>(std::lround(top / kTwipsPerPixel)));
}

void setMainWindowWidget(QWidget* window)
{
    g_mainWindow = window;
}

QWidget* mainWindowWidget()
{
    return g_mainWindow.data();
}

TwipsRect mainWindowTwips()
{
    return outerTwips(g_mainWindow.data());
}

void placeOverMainWindow(QWidget* window, double leftShare, double topShare)
{
    const QWidget* main = g_mainWindow.data();
    if (!window || !main)
        return;
    const QRect mainFrame = main->frameGeometry();
    if (mainFrame.width() <= 0 || mainFrame.height() <= 0)
        return;
    const auto marginsOf = [](const QWidget* w) {
        const QRect outer = w->frameGeometry();
        const QRect inner = w->geometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                        outer.right() - inner.right(), outer.bottom() - inner.bottom());
    };
    // The main window's frame stands for the window's own, which is not
    // known until the window manager has framed the window: every showing
    // then lands at the same spot. Only a main window without a frame
    // leaves it to the window's own.
    const QMargins mainFrameMargins = marginsOf(main);
    const QMargins frame = mainFrameMargins.isNull() ? marginsOf(window) : mainFrameMargins;
    const QSize outer = window->size().grownBy(frame);
    const auto at = [](int start, int room, int size, double share) {
        return start + static_cast<int>(std::lround((room - size) * share));
    };
    const QPoint frameAt(at(mainFrame.left(), mainFrame.width(), outer.width(), leftShare),
                         at(mainFrame.top(), mainFrame.height(), outer.height(), topShare));
    // The window's own area is placed: where a window manager puts it does
    // not depend on whether the frame was known.
    window->setGeometry(QRect(frameAt + QPoint(frame.left(), frame.top()), window->size()));
}

}  // namespace tarvic
