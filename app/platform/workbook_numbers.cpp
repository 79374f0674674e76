#include "platform/workbook_numbers.h"

#include <QXmlStreamReader>

#include <charconv>
#include <cmath>
#include <system_error>

namespace tarvic {

CNumbersOnThisThread::CNumbersOnThisThread()
{
    // A copy of the process's locale with its number rules replaced by
    // "C". Should either step fail, the thread keeps its locale, and the
    // save's read-back check refuses what that writes.
    const locale_t process = ::duplocale(LC_GLOBAL_LOCALE);
    if (process == locale_t(0))
        return;
    m_scope = ::newlocale(LC_NUMERIC_MASK, "C", process);
    if (m_scope == locale_t(0)) {
        ::freelocale(process);
        return;
    }
    m_previous = ::uselocale(m_scope);
}

CNumbersOnThisThread::~CNumbersOnThisThread()
{
    if (m_scope == locale_t(0))
        return;
    ::uselocale(m_previous);
    ::freelocale(m_scope);
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The number of digits from text[at] on.
qsizetype digitsFrom(QByteArrayView text, qsizetype at)
{
    qsizetype n = 0;
    while (at + n < text.size() && isDigit(text[at + n]))
        ++n;
    return n;
}

// A non-negative whole number written with digits only: a shared-text index.
bool isIndex(QByteArrayView text)
{
    return !text.isEmpty() && digitsFrom(text, 0) == text.size();
}

QString cellFault(const QString& cell, const QString& what, const QByteArray& value)
{
    return QStringLiteral("cell ") + cell + QStringLiteral(" holds \"") +
           QString::fromUtf8(value.left(40)) + QStringLiteral("\", ") + what;
}

}  // namespace

bool isSheetNumber(QByteArrayView text)
{
    qsizetype at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const qsizetype whole = digitsFrom(text, at);
    at += whole;
    qsizetype fraction = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        fraction = digitsFrom(text, at);
        at += fraction;
    }
    if (whole + fraction == 0)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        const qsizetype exponent = digitsFrom(text, at);
        if (exponent == 0)
            return false;
        at += exponent;
    }
    if (at != text.size())
        return false;
    // The form is right; the value must also be a double (not beyond its
    // range). from_chars reads by the "C" rules whatever the locale; it
    // takes no "+", so a leading one is left out.
    const char* begin = text.data() + (text.startsWith('+') ? 1 : 0);
    const char* end = text.data() + text.size();
    double value = 0.0;
    const std::from_chars_result read = std::from_chars(begin, end, value);
    return read.ec == std::errc() && read.ptr == end && std::isfinite(value);
}

QString sheetValuesFault(const QByteArray& sheetXml)
{
    QXmlStreamReader xml(sheetXml);
    QString cell;
    QString type;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("c")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            cell = attributes.value(QLatin1String("r")).toString();
            type = attributes.value(QLatin1String("t")).toString();
            if (cell.isEmpty())
                cell = QStringLiteral("without a reference");
            continue;
        }
        if (xml.name() != QLatin1String("v"))
            continue;
        // Formula results and error values are texts; inline texts have
        // no <v>. Everything else is checked.
        const QByteArray value = xml.readElementText().toUtf8();
        if (xml.hasError())
            break;
        if ((type.isEmpty() || type == QLatin1String("n")) && !isSheetNumber(value))
            return cellFault(cell, QStringLiteral("which is not a number"), value);
        if (type == QLatin1String("s") && !isIndex(value))
            return cellFault(cell, QStringLiteral("which is not the index of a text"), value);
        if (type == QLatin1String("b") && value != "0" && value != "1")
            return cellFault(cell, QStringLiteral("which is neither true (1) nor false (0)"), value);
    }
    if (xml.hasError())
        return QStringLiteral("its XML does not parse (line ") +
               QString::number(xml.lineNumber()) + QStringLiteral(": ") + xml.errorString() +
               QStringLiteral(")");
    return QString();
}

}  // namespace tarvic
