// The forms runtime's number rules, as small pure functions: how a text box
// is read as a number, how whole-number settings round, and the display
// formats the windows use.
#pragma once

#include <QString>

#include <cstdint>

namespace tarvic {

// The leading number of a text: leading blanks skipped, an optional sign,
// digits with at most one "." (the decimal point in every locale) and an
// optional exponent (E or D, optional sign, digits). The longest prefix that
// forms a number counts; an empty or non-numeric text gives 0.
double Val(const QString& text);

// The plain reading of a number: as Val, without an exponent part ("2e3"
// reads 2).
double plainNumber(const QString& text);

// Rounds to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// A whole-number setting: the value rounded halves to even and held in a
// 32-bit integer; values beyond the 32-bit range are held at its ends
// (NaN gives 0).
int32_t wholeNumber32(double value);

// The last n characters of a text (all of it when shorter).
QString rightChars(const QString& text, int n);

// A number written as text the plain way: up to 15 significant digits, no
// exponent for magnitudes from 1e-5 up to 1e15 ("1E-07", "1E+15" beyond),
// no trailing zeros, "." as the decimal point ("250", "1.5", "524288",
// "-0.25").
QString numberText(double value);

// The plain text of a number when it reads back (Val) as the same number;
// otherwise the shortest text that does ("199.99999999999997"). Boxes that
// are read back and compared with what filled them use it.
QString exactNumberText(double value);

// Formats a number with a display pattern of digit placeholders:
// "0" always prints a digit, "#" prints one only when significant, "." is
// the decimal point and "," in the whole-number part groups thousands.
// Characters before the first and after the last placeholder are printed as
// they stand ("2^##", "####0.000 sec"). Rounding is half away from zero on
// the value's 15-digit decimal form. A pattern of "#" only prints nothing for
// 0; "###.##" leaves a bare "." on whole numbers ("5.").
QString formatNumber(double value, const QString& pattern);

}  // namespace tarvic
