#include "platform/number_rules.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <clocale>
#include <cmath>
#include <string>
#include <limits>

using namespace tarvic;

namespace {

struct ValCase {
    const char* text;
    double expected;
};

TEST(NumberRules, ValReadsTheLeadingNumber)
{
    const ValCase cases[] = {
        {"", 0.0},          {"abc", 0.0},     {"12abc", 12.0},  {"  3.5", 3.5},
        {"1.2.3", 1.2},     {"-4", -4.0},     {"+7", 7.0},      {".5", 0.5},
        {"5.", 5.0},        {"1e3", 1000.0},  {"1E-2", 0.01},   {"1e", 1.0},
        {"1e+", 1.0},       {"2D2", 200.0},   {"1,5", 1.0},     {"-", 0.0},
        {".", 0.0},         {"2^19", 2.0},    {"0019", 19.0},   {"250x1", 250.0},
        {"1.5abc", 1.5},    {"--3", 0.0},     {"12 34", 12.0},
    };
    for (const ValCase& c : cases)
        EXPECT_DOUBLE_EQ(Val(QString::fromLatin1(c.text)), c.expected) << '"' << c.text << '"';
}

TEST(NumberRules, ValIgnoresTheLocaleDecimalComma)
{
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const QLocale qtBefore;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const bool cLocale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("1.5")), 1.5);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("1,5")), 1.0);
    std::setlocale(LC_NUMERIC, before.c_str());
    QLocale::setDefault(qtBefore);
    if (!cLocale)
        GTEST_LOG_(INFO) << "de_DE.UTF-8 is not installed: only the Qt locale was changed";
}

TEST(NumberRules, WholeNumbersRoundHalvesToEven)
{
    const struct {
        double value;
        double expected;
    } cases[] = {
        {0.5, 0.0},  {1.5, 2.0},  {2.5, 2.0},  {3.5, 4.0},      {-0.5, 0.0},
        {-1.5, -2.0}, {-2.5, -2.0}, {2.4999, 2.0}, {2.5000001, 3.0}, {7.0, 7.0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(c.value), c.expected) << c.value;
}

TEST(NumberRules, WholeNumber32HoldsTheRangeEnds)
{
    constexpr int32_t maxLong = std::numeric_limits<int32_t>::max();
    constexpr int32_t minLong = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(wholeNumber32(250.0), 250);
    EXPECT_EQ(wholeNumber32(12.5), 12);
    EXPECT_EQ(wholeNumber32(999999999.0), 999999999);
    EXPECT_EQ(wholeNumber32(1e20), maxLong);
    EXPECT_EQ(wholeNumber32(9999999999.0), maxLong);
    EXPECT_EQ(wholeNumber32(-1e20), minLong);
    EXPECT_EQ(wholeNumber32(std::nan("")), 0);
}

TEST(NumberRules, NumberTextIsThePlainForm)
{
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {250.0, "250"},       {1.5, "1.5"},           {524288.0, "524288"},
        {0.25, "0.25"},       {-0.25, "-0.25"},       {0.0, "0"},
        {2e9, "2000000000"},  {1.0 / 3.0, "0.333333333333333"},
        {1e-7, "1E-07"},      {1e15, "1E+15"},        {123456789012345.0, "123456789012345"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numberText(c.value).toStdString(), c.expected) << c.value;
}

// A box filled with a number reads back as that number: the plain form
// where it is exact, the shortest exact form where its 15 digits are not.
TEST(NumberRules, ExactNumberTextReadsBackAsTheSameNumber)
{
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {200.0, "200"},
        {1e-7, "1E-07"},
        {200.0 - 2.842170943040401e-14, "199.99999999999997"},
        {23456.789012345678, "23456.78901234568"},
        {1.0 / 3.0, "0.3333333333333333"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exactNumberText(c.value).toStdString(), c.expected) << c.value;
        EXPECT_EQ(Val(exactNumberText(c.value)), c.value) << c.value;
    }
}

TEST(NumberRules, FormatPatterns)
{
    const struct {
        double value;
        const char* pattern;
        const char* expected;
    } cases[] = {
        // Thousands grouping; an all-# pattern prints nothing for 0.
        {0.0, "#,###,###", ""},
        {524288.0, "#,###,###", "524,288"},
        {1000000.0, "#,###,###", "1,000,000"},
        {2147483648.0, "#,###,###", "2,147,483,648"},
        {2e9, "#,###,###", "2,000,000,000"},
        {999.5, "#,###,###", "1,000"},
        {1024.0, "#,###,###", "1,024"},
        {12.0, "#,###,###", "12"},
        // Literal text around the placeholders.
        {19.0, "2^##", "2^19"},
        {10.0, "2^##", "2^10"},
        {0.0, "2^##", "2^"},
        {12.345, "####0.000 sec", "12.345 sec"},
        {0.0, "####0.000 sec", "0.000 sec"},
        // Forced digits; rounding half away from zero on 15 digits.
        {1.234567, "#####0.00000", "1.23457"},
        {0.0, "#####0.00000", "0.00000"},
        {123456.5, "#####0.00000", "123456.50000"},
        {1234567.0, "#####0.00000", "1234567.00000"},
        {-2.5, "#####0.00000", "-2.50000"},
        {-0.000001, "#####0.00000", "0.00000"},
        {0.0625, "####0.000", "0.063"},
        {1.0005, "####0.000", "1.001"},
        {0.9999996, "####0.000", "1.000"},
        {3.0, "####0.000", "3.000"},
        // Optional fraction digits; whole numbers keep a bare point.
        {3.25, "###.##", "3.25"},
        {3.2, "###.##", "3.2"},
        {5.0, "###.##", "5."},
        {0.0, "###.##", "."},
        {0.5, "###.##", ".5"},
        {2.999, "###.##", "3."},
        {1234.5, "###.##", "1234.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatNumber(c.value, QString::fromLatin1(c.pattern)).toStdString(), c.expected)
            << c.value << " with " << c.pattern;
}

TEST(NumberRules, RightChars)
{
    EXPECT_EQ(rightChars(QStringLiteral("2^19"), 2), QStringLiteral("19"));
    EXPECT_EQ(rightChars(QStringLiteral("7"), 2), QStringLiteral("7"));
    EXPECT_EQ(rightChars(QString(), 2), QString());
}

}  // namespace
