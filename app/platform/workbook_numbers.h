// Numbers in a workbook's own form, whatever the process's locale.
//
// Office Open XML writes a number as an XML Schema double: "." for the
// point, no grouping ("10.013", "-1.5E-07"). libxlsxwriter formats numbers
// with the C library's printf, which follows LC_NUMERIC, and Qt sets the
// process's locale from the environment at start-up: under German or French
// rules printf writes "10,013", which no reader takes for a number.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <locale.h>

namespace tarvic {

// While alive, the C library formats and reads numbers on the calling
// thread by the "C" rules; everything else (the messages' language) stays
// as the process's locale has it, and other threads are not touched.
class CNumbersOnThisThread {
public:
    CNumbersOnThisThread();
    ~CNumbersOnThisThread();
    CNumbersOnThisThread(const CNumbersOnThisThread&) = delete;
    CNumbersOnThisThread& operator=(const CNumbersOnThisThread&) = delete;

private:
    locale_t m_scope = locale_t(0);
    locale_t m_previous = locale_t(0);
};

// Whether text is a finite number in the XML Schema double form: an
// optional sign, digits with at most one ".", an optional exponent
// ("E" or "e", optional sign, digits). "INF" and "NaN" are refused: a cell
// cannot hold them.
bool isSheetNumber(QByteArrayView text);

// What is wrong with the cell values of a worksheet part, empty when
// nothing is: XML that does not parse, a number cell whose value is not a
// finite number of that form, a shared-text cell whose value is not an
// index, a true/false cell that is neither 0 nor 1. The first fault found
// names its cell.
QString sheetValuesFault(const QByteArray& sheetXml);

}  // namespace tarvic
