// Small rules of the pricer window's runs and charts, as pure functions.
#pragma once

#include "shared/contract_terms.h"

#include <QChar>
#include <QString>

#include <optional>

namespace tarvic {

// The label pattern of a chart's X axis by the span and the maximum of the
// scale and the decimal separator ("." or ","); empty for any other
// separator (no format is set then).
QString xAxisLabelPattern(double span, double maximum, QChar separator);

// ---- the plot-options box ----

// The four boxes as typed.
struct PlotRangeTexts {
    QString xMin, xMax, yMin, yMax;
};

// What a range typed is checked against: the first and last node of the
// results on show and the step between nodes, and the range last shown or
// applied.
struct PlotRangeLimits {
    double firstNode = 0.0, lastNode = 0.0, gridStep = 0.0;
    double shownXMin = 0.0, shownXMax = 0.0, shownYMin = 0.0, shownYMax = 0.0;
};

// The range read with the program's number rules, and what to do with it:
// refuse it (a box empty, a value not finite, Y not rising, X narrower than
// a step or beyond the results), close the box as it is (nothing changed),
// or apply it.
struct PlotRangeReading {
    enum class Verdict { Refused, Unchanged, Apply };
    Verdict verdict = Verdict::Refused;
    double xMin = 0.0, xMax = 0.0, yMin = 0.0, yMax = 0.0;
};

PlotRangeReading readPlotRange(const PlotRangeTexts& texts, const PlotRangeLimits& limits);

// The X label pattern of a range the user set, by its span.
QString appliedXLabelPattern(double span);

// The Y divisions that put a gridline on zero for a range from yMin < 0 to
// yMax > 0: the first k from 5 to 22 whose step (yMax - yMin) / k divides
// yMax in whole billionths (both rounded halves to even to 32-bit
// integers), else 22. Overflow when a scaled value does not fit 32 bits,
// ZeroStep when the step rounds to nothing. A range that does not straddle
// zero has no gridline (Divisions with 0).
struct ZeroGridline {
    enum class Outcome { Divisions, Overflow, ZeroStep };
    Outcome outcome = Outcome::Divisions;
    int divisions = 0;
};

ZeroGridline zeroGridlineDivisions(double yMin, double yMax);

// The data tip's rounding: each value is rounded down to 11 significant
// digits of the magnitude of its axis (the larger end of its range, 10 to
// the power of its rounded log10). None for an axis without magnitude
// (both ends 0, or an end not finite).
struct DataTipScale {
    double x = 0.0, y = 0.0;  // the factors values are floored at
};

std::optional<DataTipScale> dataTipScale(double xMin, double xMax, double yMin, double yMax);

// The tip over the point (x, y): "Asset = " (finite differences) or
// "Number of paths run= " (Monte Carlo), the X value, two blanks, the
// chart's title, " = " and the Y value, each rounded down on its scale.
// None when a value is not finite.
std::optional<QString> dataTipText(const DataTipScale& scale, double x, double y,
                                   const QString& title, bool finiteDifference);

// Whether a knock-in has knocked in at the spot: the spot at or past a
// barrier it has (a barrier of 0 is none). Any other payoff has not.
bool spotKnockedIn(Payoff payoff, double spot, double upBarrier, double downBarrier);

// Whether a text holds a number at its start (after blanks and a sign); an
// empty text does not.
bool startsWithNumber(const QString& text);

// A flag as the window passes it to the library: the low 16 bits set for
// True.
inline int flagArgument(bool value)
{
    return value ? 0xFFFF : 0;
}

}  // namespace tarvic
