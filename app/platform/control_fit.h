// Sizes taken from the fonts the platform has, not from the design's
// measures: a window keeps its arrangement and each control grows to hold
// its text.
#pragma once

#include <QFont>
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

// A word-wrapped label of a fixed width made at least as tall as its lines
// need at that width.
void holdWrappedText(QLabel* label);

// The width a text box needs to show the text whole, frame and margins
// included.
int boxWidthFor(const QLineEdit* box, const QString& text);

// A text box of the design's width, or wider when its widest text needs it.
void fitBoxWidth(QLineEdit* box, int designPixels, const QString& widestText);

// Whether the face the platform gives for a font prints the text: a face
// for text (not one of symbols, as a dingbat face is, whatever characters
// it claims) that has every character of it.
bool printsText(const QFont& font, const QString& text);

// The font for a text: the one asked for when the face it resolves to
// prints the text, else the same size and weight in the platform's general
// text face. A named face that is missing falls to its style hint's
// generic family, which may be a face of symbols.
QFont textFaceFor(const QFont& wanted, const QString& text);

// A control placed by absolute geometry, widened to its size hint about the
// centre of its design place (and made tall enough for it).
void widenAboutCentre(QWidget* control);

}  // namespace tarvic
