// Sizes taken from the fonts the platform has, not from the design's
// measures: a window keeps its arrangement and each control grows to hold
// its text.
#pragma once

#include <QString>

class QFontMetrics;
class QLabel;
class QLineEdit;
class QWidget;

namespace tarvic {

// A caption whose runs of two or more blanks mark where its lines break
// ("Calculation     time :"): the width of its widest line.
int brokenCaptionWidth(const QFontMetrics& metrics, const QString& caption);

// Lays such a caption out on the lines its blanks mark: word-wrapped, as
// wide as its widest line.
void breakCaptionAtBlanks(QLabel* label);

// The width a text box needs to show the text whole, frame and margins
// included.
int boxWidthFor(const QLineEdit* box, const QString& text);

// A text box of the design's width, or wider when its widest text needs it.
void fitBoxWidth(QLineEdit* box, int designPixels, const QString& widestText);

// A control placed by absolute geometry, widened to its size hint about the
// centre of its design place (and made tall enough for it).
void widenAboutCentre(QWidget* control);

}  // namespace tarvic
