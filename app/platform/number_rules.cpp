#include "platform/number_rules.h"

#include <cmath>
#include <cstdlib>

#include <QByteArray>
#include <QLocale>
#include <limits>
#include <string>

namespace tarvic {

namespace {

// The leading number of a text, with or without an exponent part.
double leadingNumber(const QString& text, bool exponentAllowed)
{
    const int n = static_cast<int>(text.size());
    int i = 0;
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t') ||
                     text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')))
        ++i;

    std::string number;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        number += static_cast<char>(text[i].unicode());
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            number += static_cast<char>(c.unicode());
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            number += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;

    // An exponent counts only when at least one digit follows it.
    if (exponentAllowed && i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E') ||
                  text[i] == QLatin1Char('d') || text[i] == QLatin1Char('D'))) {
        int j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            exponent += static_cast<char>(text[j].unicode());
            ++j;
        }
        bool expDigits = false;
        while (j < n && text[j] >= QLatin1Char('0') && text[j] <= QLatin1Char('9')) {
            exponent += static_cast<char>(text[j].unicode());
            expDigits = true;
            ++j;
        }
        if (expDigits)
            number += exponent;
    }
    // Read with the "C" rules whatever the process locale (Qt sets it from
    // the environment, so strtod could take "," for the point).
    return QByteArray::fromStdString(number).toDouble();
}

}  // namespace

double Val(const QString& text)
{
    return leadingNumber(text, true);
}

double plainNumber(const QString& text)
{
    return leadingNumber(text, false);
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff < 0.5)
        return lower;
    if (diff > 0.5)
        return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

int32_t wholeNumber32(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = roundHalfEven(value);
    if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

QString rightChars(const QString& text, int n)
{
    if (n <= 0)
        return QString();
    return text.size() <= n ? text : text.right(n);
}

namespace {

// The decimal digits of |value| to 15 significant digits and the power of
// ten of the first digit: value = 0.d1d2...d15 * 10^(exp10 + 1).
void decimalDigits(double value, std::string& digits, int& exp10)
{
    const QString e = QString::number(std::fabs(value), 'e', 14);  // d.dddddddddddddde+XX
    const int ePos = static_cast<int>(e.indexOf(QLatin1Char('e')));
    digits.clear();
    for (int k = 0; k < ePos; ++k)
        if (e[k] != QLatin1Char('.'))
            digits += static_cast<char>(e[k].unicode());
    exp10 = e.mid(ePos + 1).toInt();
}

}  // namespace

QString numberText(double value)
{
    if (value == 0.0 || !std::isfinite(value))
        return value == 0.0 ? QStringLiteral("0") : QString::number(value);
    std::string digits;
    int exp10 = 0;
    decimalDigits(value, digits, exp10);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    QString out = value < 0 ? QStringLiteral("-") : QString();
    if (exp10 >= 15 || exp10 < -5) {
        out += QLatin1Char(digits[0]);
        if (digits.size() > 1)
            out += QLatin1Char('.') + QString::fromStdString(digits.substr(1));
        out += QStringLiteral("E") + QLatin1Char(exp10 < 0 ? '-' : '+') +
               QStringLiteral("%1").arg(std::abs(exp10), 2, 10, QLatin1Char('0'));
        return out;
    }
    if (exp10 < 0) {
        out += QStringLiteral("0.") + QString(-exp10 - 1, QLatin1Char('0')) +
               QString::fromStdString(digits);
        return out;
    }
    const int whole = exp10 + 1;
    std::string intPart;
    std::string fracPart;
    for (int k = 0; k < whole; ++k)
        intPart += k < static_cast<int>(digits.size()) ? digits[k] : '0';
    if (static_cast<int>(digits.size()) > whole)
        fracPart = digits.substr(whole);
    out += QString::fromStdString(intPart);
    if (!fracPart.empty())
        out += QLatin1Char('.') + QString::fromStdString(fracPart);
    return out;
}

QString exactNumberText(double value)
{
    const QString plain = numberText(value);
    if (!std::isfinite(value) || Val(plain) == value)
        return plain;
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString formatNumber(double value, const QString& pattern)
{
    auto isPlaceholder = [](QChar c) {
        return c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('.') ||
               c == QLatin1Char(',');
    };
    int first = -1;
    int last = -1;
    for (int k = 0; k < pattern.size(); ++k) {
        const QChar c = pattern[k];
        if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            if (first < 0)
                first = k;
            last = k;
        }
    }
    if (first < 0)
        return pattern;  // no digit placeholder: the pattern is literal text
    // A decimal point or separator right next to the placeholders belongs to them.
    while (first > 0 && isPlaceholder(pattern[first - 1]))
        --first;
    while (last + 1 < pattern.size() && isPlaceholder(pattern[last + 1]))
        ++last;
    const QString prefix = pattern.left(first);
    const QString suffix = pattern.mid(last + 1);
    const QString body = pattern.mid(first, last - first + 1);

    const int pointPos = static_cast<int>(body.indexOf(QLatin1Char('.')));
    const QString intPat = pointPos < 0 ? body : body.left(pointPos);
    const QString fracPat = pointPos < 0 ? QString() : body.mid(pointPos + 1);
    int intZeros = 0;
    bool grouping = false;
    {
        bool seenZero = false;
        for (const QChar c : intPat) {
            if (c == QLatin1Char('0'))
                seenZero = true;
            if (seenZero && (c == QLatin1Char('0') || c == QLatin1Char('#')))
                ++intZeros;
            if (c == QLatin1Char(','))
                grouping = true;
        }
    }
    int fracDigits = 0;
    int fracZeros = 0;
    for (const QChar c : fracPat) {
        if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            ++fracDigits;
            if (c == QLatin1Char('0'))
                fracZeros = fracDigits;  // a "0" forces every digit up to it
        }
    }

    // Whole and fraction digits of |value| rounded to fracDigits decimals,
    // half away from zero on the 15-digit decimal form.
    std::string intDigits;
    std::string fracStr(static_cast<size_t>(fracDigits), '0');
    if (value != 0.0 && std::isfinite(value)) {
        std::string digits;
        int exp10 = 0;
        decimalDigits(value, digits, exp10);
        // Digit at position p (0 = first) has weight 10^(exp10 - p); keep
        // those with weight >= 10^-fracDigits.
        const int keep = exp10 + 1 + fracDigits;
        std::string kept;
        if (keep >= 0) {
            for (int p = 0; p < keep; ++p)
                kept += p < static_cast<int>(digits.size()) ? digits[p] : '0';
            const bool roundUp = keep < static_cast<int>(digits.size()) && digits[keep] >= '5';
            if (roundUp) {
                int p = static_cast<int>(kept.size()) - 1;
                while (p >= 0 && kept[p] == '9') {
                    kept[p] = '0';
                    --p;
                }
                if (p >= 0)
                    ++kept[p];
                else
                    kept.insert(kept.begin(), '1');
            }
        } else {
            kept.clear();
        }
        // kept holds the value times 10^fracDigits as a whole number.
        if (static_cast<int>(kept.size()) < fracDigits)
            kept.insert(kept.begin(), static_cast<size_t>(fracDigits) - kept.size(), '0');
        intDigits = kept.substr(0, kept.size() - static_cast<size_t>(fracDigits));
        fracStr = kept.substr(kept.size() - static_cast<size_t>(fracDigits));
        size_t lead = 0;
        while (lead < intDigits.size() && intDigits[lead] == '0')
            ++lead;
        intDigits = intDigits.substr(lead);
    }
    if (static_cast<int>(intDigits.size()) < intZeros)
        intDigits.insert(intDigits.begin(), static_cast<size_t>(intZeros) - intDigits.size(), '0');
    // Optional trailing fraction digits are dropped when zero.
    while (static_cast<int>(fracStr.size()) > fracZeros && !fracStr.empty() && fracStr.back() == '0')
        fracStr.pop_back();

    QString intText;
    if (grouping) {
        const int len = static_cast<int>(intDigits.size());
        for (int k = 0; k < len; ++k) {
            if (k > 0 && (len - k) % 3 == 0)
                intText += QLatin1Char(',');
            intText += QLatin1Char(intDigits[static_cast<size_t>(k)]);
        }
    } else {
        intText = QString::fromStdString(intDigits);
    }
    const bool nonZero = intDigits.find_first_not_of('0') != std::string::npos ||
                         fracStr.find_first_not_of('0') != std::string::npos;
    QString out = prefix;
    if (value < 0 && nonZero)
        out += QLatin1Char('-');
    out += intText;
    if (pointPos >= 0)
        out += QLatin1Char('.') + QString::fromStdString(fracStr);
    out += suffix;
    return out;
}

}  // namespace tarvic
