// Window positions in twips, the unit the program's dialogs use to place
// themselves over the main window.
#pragma once

#include "platform/twips.h"

class QWidget;

namespace tarvic {

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The outer frame of a window (frame included where the platform has one).
TwipsRect outerTwips(const QWidget* window);
// Moves a window so that its outer frame's top-left corner is at (left, top).
void moveToTwips(QWidget* window, double left, double top);

// The program's main window; registered by the main window itself. The
// outer frame of the main window, all zero when there is none.
void setMainWindowWidget(QWidget* window);
QWidget* mainWindowWidget();
TwipsRect mainWindowTwips();

}  // namespace tarvic
