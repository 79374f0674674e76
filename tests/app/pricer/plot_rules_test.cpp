// Small rules of the pricer window: the X-axis label pattern of its charts
// and what counts as a number typed at the start of a box.
#include "pricer/plot_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(ChartLabelRules, XAxisPatternBySpanMaximumAndSeparator)
{
    struct Case {
        double span, maximum;
        char separator;
        const char* pattern;
    };
    const Case cases[] = {
        {0.1, 999, '.', "###0.000"},  {0.05, 1000, '.', "###0.00"}, {5, 100, '.', "###0.00"},
        {10, 100, '.', "###0.00"},    {50, 100, '.', "###0.0"},    {200, 200, '.', "#,###"},
        {1e9, 1e9, '.', "#,###"},     {2e9, 2e9, '.', "#.#e##"},   {0.1, 5, ',', "###0,000"},
        {50, 100, ',', "###0,0"},     {200, 200, ',', "#.###"},    {2e9, 2e9, ',', "#,#e##"},
        {200, 200, ';', ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarvic::xAxisLabelPattern(c.span, c.maximum, QLatin1Char(c.separator)),
                  QString::fromLatin1(c.pattern))
            << c.span << " " << c.maximum << " " << c.separator;
}

TEST(InputTextRules, StartsWithNumber)
{
    for (const char* yes : {"5", " -5", "+.5", "12abc", "0"})
        EXPECT_TRUE(tarvic::startsWithNumber(QString::fromLatin1(yes))) << yes;
    for (const char* no : {"", "abc", "-", ".", "-.x", "e5"})
        EXPECT_FALSE(tarvic::startsWithNumber(QString::fromLatin1(no))) << no;
}

}  // namespace
