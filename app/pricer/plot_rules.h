// Small rules of the pricer window's runs and charts, as pure functions.
#pragma once

#include "shared/contract_terms.h"

#include <QChar>
#include <QString>

namespace tarvic {

// The label pattern of a chart's X axis by the span and the maximum of the
// scale and the decimal separator ("." or ","); empty for any other
// separator (no format is set then).
QString xAxisLabelPattern(double span, double maximum, QChar separator);

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
