// Requests beyond memory, through the exports: each is refused before
// anything large is allocated (the peak of resident memory under 100 MB,
// measured in a child process), and its text names the budget that refused
// it: the engine's own 4GB rule, or the memory available to the program,
// with its amount.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/child_peak.h"
#include "tarvic/tarvic.h"

namespace {

constexpr const char* kRuleText = "The requested simulation requires more memory than the program can handle (4GB).";
constexpr const char* kBudgetOpening =
    "The requested simulation requires more memory than is available to the program (";
constexpr const char* kPlanesBudgetOpening =
    "The spatial resolution you have requested requires more memory than is available to the program (";
constexpr const char* kPlanesBudgetClosing =
    "). Try reducing the number of asset steps to strike and/or the A-planes to Asset grid spacing ratio if "
    "possible.";

constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;

std::string textOf(TvString text)
{
    std::string result(text, tvStringByteLen(text));
    tvFreeString(text);
    return result;
}

// VelkOptionPricerMC: a put, American unless exerciseType is 0, pseudo-random
// unless useSobol.
struct VanillaCall {
    int32_t numSteps = 10, numPaths = 10, numLSPaths = 10, useSobol = 0, exerciseType = 1, multiThreaded = 1;

    std::string operator()(std::vector<double>& a, int32_t& rows) const
    {
        return textOf(VelkOptionPricerMC(a.data(), a.data() + 50001, a.data() + 100002, a.data() + 150003,
                                         a.data() + 200004, &rows, 100.0, 100.0, 0.0, 0.0, 1.0, 0.25, 0.05, 0.02,
                                         numSteps, 1, exerciseType, 1, 0, numPaths, numLSPaths, 3, 1110, 2, 1, 0,
                                         useSobol, 0, 1, multiThreaded, 0));
    }
};

// VelkAsianOptionPricerMC: an American fixed-strike put.
struct AsianMcCall {
    int32_t numFixings = 10, numPaths = 10, numLSPaths = 10, useSobol = 0, numBasisFunctions = 15;

    std::string operator()(std::vector<double>& a, int32_t& rows) const
    {
        return textOf(VelkAsianOptionPricerMC(a.data(), a.data() + 50001, a.data() + 100002, a.data() + 150003,
                                              a.data() + 200004, &rows, 100.0, 100.0, 1.0, 0.2, 0.06, 0.03,
                                              numFixings, 0, 0.0, 0.1, 1, 1, 0, numPaths, numLSPaths,
                                              numBasisFunctions, 1110, 2, 1, 0, useSobol, 0, 1, 1, 0));
    }
};

// VelkAsianOptionPricer: a ten-fixing call at the program's defaults.
struct AsianFdCall {
    int32_t assetSteps = 100, planeSpacing = 4;

    std::string operator()(std::vector<double>& a, int32_t& n) const
    {
        n = assetSteps;
        return textOf(VelkAsianOptionPricer(a.data(), a.data() + 50001, a.data() + 100002, a.data() + 150003,
                                            a.data() + 200004, a.data() + 250005, 100.0, 100.0, 100, 1.0, 0.2,
                                            0.06, 0.03, &n, planeSpacing, 10, 0, 0.0, 0.1, 0, 0, 2, 2, 2, 0.0, 0, 0, 65535, 0));
    }
};

// The amount in bytes that a text names after `opening` ("1.7GB", "350MB"); -1 when none.
double namedAmount(const std::string& text, const std::string& opening)
{
    if (text.compare(0, opening.size(), opening) != 0)
        return -1.0;
    const char* start = text.c_str() + opening.size();
    char* end = nullptr;
    const double number = std::strtod(start, &end);
    if (end == start)
        return -1.0;
    const std::string unit(end, 2);
    if (unit == "GB")
        return number * kGiB;
    if (unit == "MB")
        return number * 1024.0 * 1024.0;
    return -1.0;
}

enum class Refusal { Rule, Budget, PlanesBudget };

struct RefusalCase {
    const char* what;
    std::function<std::string(std::vector<double>&, int32_t&)> call;
    double roomGiB;  // 0: the machine as it is
    Refusal refusal;
};

TEST(MemoryRefusals, ComeBeforeTheAllocationAndNameTheBudget)
{
    const RefusalCase cases[] = {
        {"American, 4e8 steps", VanillaCall{400000000}, 0.0, Refusal::Budget},
        {"American, 1.2e9 steps", VanillaCall{1200000000}, 0.0, Refusal::Budget},
        {"American, 2^31 - 1 steps", VanillaCall{2147483647}, 0.0, Refusal::Budget},
        {"American, 1e8 steps in 2 GB", VanillaCall{100000000}, 2.0, Refusal::Budget},
        {"American on 2^20 Sobol points of 300 steps in 2 GB", VanillaCall{300, 20, 20, 1}, 2.0, Refusal::Budget},
        // Point matrices of 490 MB, within the engine's own rule.
        {"European on 2^22 Sobol points of 20000 steps in 0.5 GB", VanillaCall{20000, 22, 22, 1, 0}, 0.5,
         Refusal::Budget},
        {"Asian American, 4e8 fixings", AsianMcCall{400000000}, 0.0, Refusal::Budget},
        {"Asian American, 2^31 - 1 fixings", AsianMcCall{2147483647}, 0.0, Refusal::Budget},
        {"Asian American, 1e8 fixings in 2 GB", AsianMcCall{100000000}, 2.0, Refusal::Budget},
        {"Asian American on 2^20 Sobol points of 100 fixings in 2 GB", AsianMcCall{100, 20, 20, 1, 35}, 2.0,
         Refusal::Budget},
        // Beyond the Sobol engine's own rule: that rule refuses, whatever
        // the room.
        {"Asian American on 2^23 Sobol points of 12 fixings", AsianMcCall{12, 23, 23, 1, 35}, 0.0, Refusal::Rule},
        {"Asian American on 2^23 Sobol points of 12 fixings in 2 GB", AsianMcCall{12, 23, 23, 1, 35}, 2.0,
         Refusal::Rule},
        // Planes within the pricer's 4GB rule, beyond the room.
        {"Asian planes of 6000 asset steps, one per node, in 2 GB", AsianFdCall{6000, 1}, 2.0,
         Refusal::PlanesBudget},
    };
    for (const RefusalCase& k : cases) {
#ifdef TARVIC_ADDRESS_SANITIZER
        if (k.roomGiB > 0.0)
            continue;  // an address-space limit cannot be combined with the address sanitizer
#endif
        std::vector<double> arrays(6 * 50001, -1.0);
        int32_t rows = -7;
        const std::size_t room = static_cast<std::size_t>(k.roomGiB * kGiB);
        const tarvic_test::ChildMeasure m =
            tarvic_test::measureInChild([&] { return k.call(arrays, rows); }, {}, room);
        ASSERT_TRUE(m.finished) << k.what;
        EXPECT_LT(m.peakBytes, 100.0 * 1024 * 1024) << k.what;
        switch (k.refusal) {
        case Refusal::Rule:
            EXPECT_EQ(m.text, kRuleText) << k.what;
            break;
        case Refusal::Budget: {
            const double amount = namedAmount(m.text, kBudgetOpening);
            EXPECT_GT(amount, 0.0) << k.what << ": " << m.text;
            if (k.roomGiB > 0.0) {
                EXPECT_LE(amount, k.roomGiB * kGiB) << k.what << ": " << m.text;
            }
            EXPECT_EQ(m.text.substr(m.text.size() - 3), "B).") << k.what << ": " << m.text;
            break;
        }
        case Refusal::PlanesBudget: {
            const double amount = namedAmount(m.text, kPlanesBudgetOpening);
            EXPECT_GT(amount, 0.0) << k.what << ": " << m.text;
            EXPECT_LE(amount, k.roomGiB * kGiB) << k.what << ": " << m.text;
            const std::string closing = kPlanesBudgetClosing;
            EXPECT_TRUE(m.text.size() > closing.size() &&
                        m.text.compare(m.text.size() - closing.size(), closing.size(), closing) == 0)
                << k.what << ": " << m.text;
            break;
        }
        }
    }
}

// VelkAsianOptionPricer with theta and vega on the library's threads: a
// ten-fixing call, one plane every two nodes.
struct AsianFdGreeksCall {
    int32_t assetSteps = 100;

    std::string operator()(std::vector<double>& a, int32_t& n) const
    {
        n = assetSteps;
        return textOf(VelkAsianOptionPricer(a.data(), a.data() + 50001, a.data() + 100002, a.data() + 150003,
                                            a.data() + 200004, a.data() + 250005, 100.0, 100.0, 100, 1.0, 0.2,
                                            0.06, 0.03, &n, 2, 10, 0, 0.0, 0.1, 0, 0, 2, 2, 2, 0.0, 1, 1, 65535, 1));
    }
};

// Under an address-space limit each team thread that allocates takes an
// allocator arena (64 MB of address space) and has its stack: calls whose
// own memory fits the limit succeed on eight threads all the same.
TEST(MemoryRefusals, TeamThreadsFitUnderAnAddressSpaceLimit)
{
#if defined(TARVIC_ADDRESS_SANITIZER) || defined(TARVIC_THREAD_SANITIZER)
    GTEST_SKIP() << "a sanitizer's shadow memory needs the address space";
#else
    const struct {
        const char* what;
        std::function<std::string(std::vector<double>&, int32_t&)> call;
    } cases[] = {
        // About 270 MB of regression paths and fit.
        {"American put on 300000 paths of 50 steps", VanillaCall{50, 300, 300}},
        // Planes of about 130 and 160 MB, valued three times.
        {"Asian planes of 2200 asset steps with theta and vega", AsianFdGreeksCall{2200}},
        {"Asian planes of 2400 asset steps with theta and vega", AsianFdGreeksCall{2400}},
    };
    for (const auto& k : cases) {
        std::vector<double> arrays(6 * 50001, -1.0);
        int32_t rows = -7;
        const tarvic_test::ChildMeasure m = tarvic_test::measureInChild(
            [&] { return k.call(arrays, rows); }, [] { omp_set_num_threads(8); }, std::size_t{512} << 20);
        ASSERT_TRUE(m.finished) << k.what;
        EXPECT_EQ(m.text, "") << k.what;
    }
#endif
}

}  // namespace
