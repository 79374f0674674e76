// Numbers in the workbook's own form: the read-back check of a worksheet's
// cell values, and the scope that gives the writer's thread the "C" number
// rules under a locale with a decimal comma.
#include "../library/support/process_locale.h"  // shared with the library tests

#include "platform/workbook_numbers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

TEST(SheetNumber, TakesTheXmlSchemaFormOfAFiniteNumberOnly)
{
    struct Case {
        const char* text;
        bool number;
    };
    const Case cases[] = {
        {"0", true},
        {"10.013", true},
        {"-95.12294532432429", true},
        {"+3", true},
        {".5", true},
        {"5.", true},
        {"1.5E-07", true},
        {"2e+300", true},
        {"4.940656458412465E-324", true},  // the smallest subnormal
        {"1.797693134862316E+308", false},  // 16 digits round past the largest double
        {"1E400", false},
        {"95,12294532432429", false},  // a German or French printf
        {"10,013", false},
        {"1 000", false},
        {"", false},
        {"-", false},
        {".", false},
        {"1e", false},
        {"1e+", false},
        {"1.2.3", false},
        {" 1", false},
        {"1 ", false},
        {"INF", false},
        {"-INF", false},
        {"NaN", false},
        {"0x10", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarvic::isSheetNumber(QByteArrayView(c.text)), c.number) << '"' << c.text << '"';
}

// A sheet as libxlsxwriter writes it, with the given cells in row 1.
QByteArray sheet(const char* cells)
{
    return QByteArray(
               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
               "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
               "<cols><col min=\"1\" max=\"1\" width=\"10.5\" customWidth=\"1\"/></cols>"
               "<sheetData><row r=\"1\" spans=\"1:3\">") +
           cells + "</row></sheetData></worksheet>";
}

TEST(SheetValues, EachCellOfAWrittenSheetIsChecked)
{
    struct Case {
        const char* what;
        const char* cells;
        const char* fault;  // empty: none
    };
    const Case cases[] = {
        {"numbers, texts and looks", "<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\"><v>10.013</v></c>"
                                     "<c r=\"C1\" s=\"2\"><v>-1.5E-07</v></c><c r=\"D1\" s=\"1\"/>",
         ""},
        {"a number typed as one", "<c r=\"A1\" t=\"n\"><v>3</v></c>", ""},
        {"a formula's text and an error", "<c r=\"A1\" t=\"str\"><f>A2</f><v>1,5</v></c>"
                                          "<c r=\"B1\" t=\"e\"><v>#N/A</v></c>",
         ""},
        {"an inline text", "<c r=\"A1\" t=\"inlineStr\"><is><t>1,5</t></is></c>", ""},
        {"true and false", "<c r=\"A1\" t=\"b\"><v>1</v></c><c r=\"B1\" t=\"b\"><v>0</v></c>", ""},
        {"a decimal comma", "<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\"><v>95,12294532432429</v></c>",
         "cell B1 holds \"95,12294532432429\", which is not a number"},
        {"a decimal comma after good numbers",
         "<c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2.5</v></c><c r=\"C1\" s=\"1\"><v>0,6237</v></c>",
         "cell C1 holds \"0,6237\", which is not a number"},
        {"an empty number", "<c r=\"A1\"><v></v></c>", "cell A1 holds \"\", which is not a number"},
        {"infinity", "<c r=\"A1\"><v>INF</v></c>", "cell A1 holds \"INF\", which is not a number"},
        {"a text index that is no index", "<c r=\"A1\" t=\"s\"><v>1.5</v></c>",
         "cell A1 holds \"1.5\", which is not the index of a text"},
        {"a true/false cell holding 2", "<c r=\"A1\" t=\"b\"><v>2</v></c>",
         "cell A1 holds \"2\", which is neither true (1) nor false (0)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarvic::sheetValuesFault(sheet(c.cells)).toStdString(), c.fault) << c.what;

    // XML that does not parse is a fault, whatever its cells hold.
    QByteArray broken = sheet("<c r=\"A1\"><v>1</v></c>");
    broken.replace("</row>", "</rows>");
    const std::string fault = tarvic::sheetValuesFault(broken).toStdString();
    EXPECT_EQ(fault.rfind("its XML does not parse (line ", 0), 0u) << fault;
}

std::string printed(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

// Under German rules printf writes "2,5000" on every thread; in the scope
// the scope's thread writes "2.5000" and the others keep the comma.
TEST(CNumbersOnThisThread, GivesTheCNumberRulesToItsThreadOnly)
{
    const ProcessLocale german(LC_ALL, "de_DE.UTF-8");
    if (!german.set())
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not there (scripts/install-deps generates it)";
    ASSERT_EQ(printed(2.5), "2,5000");
    {
        const tarvic::CNumbersOnThisThread cNumbers;
        EXPECT_EQ(printed(2.5), "2.5000");
        std::string elsewhere;
        std::thread other([&] { elsewhere = printed(2.5); });
        other.join();
        EXPECT_EQ(elsewhere, "2,5000");
        {
            const tarvic::CNumbersOnThisThread nested;
            EXPECT_EQ(printed(-0.125), "-0.1250");
        }
        EXPECT_EQ(printed(2.5), "2.5000");
    }
    EXPECT_EQ(printed(2.5), "2,5000");
}

}  // namespace
