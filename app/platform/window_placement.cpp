#include "platform/window_placement.h"

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

}  // namespace tarvic
