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

// Moves a window over the main window: the left of its outer frame at
// leftShare of the difference of the two outer widths, its top at topShare
// of the difference of the heights. The window's frame is taken to be as
// large as the main window's (the same window manager decorates both):
// before the window manager has framed a window its frame is not known,
// and a placement from it would put the window elsewhere the first time.
// A main window without a frame leaves it to the window's own. Nothing
// happens without a main window.
void placeOverMainWindow(QWidget* window, double leftShare, double topShare);

}  // namespace tarvic
