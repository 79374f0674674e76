// The library under German and French number rules (a decimal comma for
// printf and strtod, as a program gets once its toolkit sets the locale
// from the environment): the same figures, bit for bit, and the same texts
// as under C.UTF-8. The data-file reader is among them: the Sobol runs read
// their direction numbers from the file.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "platform/memory_budget.h"
#include "support/child_peak.h"
#include "support/process_locale.h"
#include "tarvic/tarvic.h"

namespace {

#define SET_LOCALE_OR_SKIP(variable, k)                                                           \
    const ProcessLocale variable((k).category, (k).name);                                         \
    if (!variable.set())                                                                           \
        GTEST_SKIP() << "the locale " << (k).name << " is not there (scripts/install-deps "     \
                     << "generates it)";                                                           \
    ASSERT_EQ(ProcessLocale::decimalPoint(), ",") << (k).what

constexpr std::size_t kKiB = 1024u;
constexpr std::size_t kMiB = 1024u * kKiB;
constexpr std::size_t kGiB = 1024u * kMiB;

TEST(NumberLocale, MemoryAmountsAreWrittenWithAPoint)
{
    struct Case {
        std::size_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {kGiB + kGiB / 2, "1.5GB"},
        {kGiB, "1.0GB"},
        {2 * kGiB - 1, "1.9GB"},  // rounded down
        {9 * kGiB + 999 * kMiB, "9.9GB"},
        {10 * kGiB, "10GB"},
        {350 * kMiB + 1, "350MB"},
        {640 * kKiB, "640KB"},
    };
    for (const LocaleCase& k : kLocales) {
        SET_LOCALE_OR_SKIP(locale, k);
        for (const Case& c : cases)
            EXPECT_EQ(tarvic::memoryAmountText(c.bytes), c.text) << k.what << ", " << c.bytes << " bytes";
    }
}

std::string textOf(TvString text)
{
    std::string result(text, tvStringByteLen(text));
    tvFreeString(text);
    return result;
}

// What a call leaves: its text and every array it was given.
struct Outcome {
    std::string text;
    std::vector<double> arrays;
    int32_t count = 0;
};

using Call = std::function<Outcome()>;

constexpr std::size_t kRows = 50001;

// VelkOptionPricerMC on one thread: a put, European or American, on Sobol
// points (2^paths) or pseudo-random ones (thousands of paths), by exact
// marching or another (2 Euler, 3 Milstein) on a number of steps.
Call monteCarlo(int32_t exercise, int32_t paths, int32_t useSobol, double volatility = 0.25,
                int32_t marching = 1, int32_t steps = 10)
{
    return [=] {
        Outcome out;
        out.arrays.assign(5 * kRows, -1.0);
        double* a = out.arrays.data();
        out.text = textOf(VelkOptionPricerMC(a, a + kRows, a + 2 * kRows, a + 3 * kRows, a + 4 * kRows, &out.count,
                                             100.0, 100.0, 0.0, 0.0, 1.0, volatility, 0.05, 0.02, steps, 1, exercise,
                                             1, 0, paths, paths, 3, 1110, 2, marching, 0, useSobol, 1, 1, 0,
                                             0));
        return out;
    };
}

// VelkOptionPricer: an American put with theta and vega.
Call finiteDifferences(double volatility = 0.2)
{
    return [=] {
        Outcome out;
        out.arrays.assign(6 * kRows, -1.0);
        double* a = out.arrays.data();
        out.count = 100;
        out.text = textOf(VelkOptionPricer(a, a + kRows, a + 2 * kRows, a + 3 * kRows, a + 4 * kRows,
                                           a + 5 * kRows, 100.0, 100, 1.0, volatility, 0.05, 0.0, &out.count, 1,
                                           1, 2, 0, 0.0, 1, 1, 0, 0));
        return out;
    };
}

TEST(NumberLocale, PricesAndTextsAreThoseOfTheCLocale)
{
    struct Case {
        const char* what;
        Call call;
    };
    const Case cases[] = {
        {"European put on 2^10 Sobol points", monteCarlo(0, 10, 1)},
        {"American put on 2^8 Sobol points", monteCarlo(1, 8, 1)},
        {"American put on 2000 pseudo-random paths", monteCarlo(1, 2, 0)},
        {"American put by finite differences", finiteDifferences()},
        {"a refused volatility (simulation)", monteCarlo(0, 10, 1, -0.25)},
        {"a refused volatility (finite differences)", finiteDifferences(-0.2)},
        {"more Sobol points than the engine allows", monteCarlo(0, 31, 1)},
        {"Euler steps that go below 0 (the text gives percentages)", monteCarlo(0, 50, 0, 5.0, 2, 1)},
        {"a grid too coarse for the drift (the text gives levels)", finiteDifferences(0.01)},
    };
    std::vector<Outcome> reference;
    {
        const ProcessLocale c(LC_ALL, "C.UTF-8");
        ASSERT_TRUE(c.set()) << "C.UTF-8 is part of every Debian system";
        for (const Case& k : cases)
            reference.push_back(k.call());
    }
    ASSERT_EQ(reference[0].text, "");
    ASSERT_NE(reference[4].text, "");
    ASSERT_NE(reference[7].text.find(" %"), std::string::npos) << reference[7].text;
    ASSERT_NE(reference[8].text.find("near S = "), std::string::npos) << reference[8].text;

    for (const LocaleCase& k : kLocales) {
        SET_LOCALE_OR_SKIP(locale, k);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const Outcome got = cases[i].call();
            const std::string name = std::string(k.what) + ", " + cases[i].what;
            EXPECT_EQ(got.text, reference[i].text) << name;
            EXPECT_EQ(got.count, reference[i].count) << name;
            ASSERT_EQ(got.arrays.size(), reference[i].arrays.size());
            EXPECT_EQ(std::memcmp(got.arrays.data(), reference[i].arrays.data(),
                                  got.arrays.size() * sizeof(double)),
                      0)
                << name << ": the figures differ";
        }
    }
}

// The texts that name the memory available: in a child whose address space
// leaves 2 GB, so that the amount has a decimal ("1.7GB").
TEST(NumberLocale, TheMemoryBudgetIsNamedWithAPoint)
{
#ifdef TARVIC_ADDRESS_SANITIZER
    GTEST_SKIP() << "an address-space limit cannot be combined with the address sanitizer";
#else
    const std::regex budget(
        "The requested simulation requires more memory than is available to the program "
        "\\([0-9]+(\\.[0-9])?[GMK]B\\)\\.");
    const std::regex planes(
        "The spatial resolution you have requested requires more memory than is available to the "
        "program \\([0-9]+(\\.[0-9])?[GMK]B\\)\\. .*");
    for (const LocaleCase& k : kLocales) {
        SET_LOCALE_OR_SKIP(locale, k);
        const tarvic_test::ChildMeasure simulation = tarvic_test::measureInChild(
            [] {
                std::vector<double> a(5 * kRows);
                int32_t rows = 0;
                return textOf(VelkOptionPricerMC(a.data(), a.data() + kRows, a.data() + 2 * kRows,
                                                 a.data() + 3 * kRows, a.data() + 4 * kRows, &rows, 100.0,
                                                 100.0, 0.0, 0.0, 1.0, 0.25, 0.05, 0.02, 100000000, 1, 1, 1, 0,
                                                 10, 10, 3, 1110, 2, 1, 0, 0, 0, 1, 1, 0));
            },
            {}, 2 * kGiB);
        ASSERT_TRUE(simulation.finished) << k.what;
        EXPECT_TRUE(std::regex_match(simulation.text, budget)) << k.what << ": " << simulation.text;

        const tarvic_test::ChildMeasure asian = tarvic_test::measureInChild(
            [] {
                std::vector<double> a(6 * kRows);
                int32_t n = 6000;
                return textOf(VelkAsianOptionPricer(a.data(), a.data() + kRows, a.data() + 2 * kRows,
                                                    a.data() + 3 * kRows, a.data() + 4 * kRows,
                                                    a.data() + 5 * kRows, 100.0, 100.0, 100, 1.0, 0.2, 0.06,
                                                    0.03, &n, 1, 10, 0, 0.0, 0.1, 0, 0, 2, 2, 2, 0.0, 0, 0,
                                                    65535, 0));
            },
            {}, 2 * kGiB);
        ASSERT_TRUE(asian.finished) << k.what;
        EXPECT_TRUE(std::regex_match(asian.text, planes)) << k.what << ": " << asian.text;
    }
#endif
}

}  // namespace
