// The memory of VelkAsianOptionPricer's planes against what its runs take,
// in a child process: a run with theta and vega re-prices on the room the
// first valuation was counted in (its planes are given back, not counted
// against the re-pricings), and the peak of resident memory of a run lies
// within the budget it was let through on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pde/dorn_tech_asian_option.h"
#include "support/child_peak.h"
#include "tarvic/tarvic.h"

namespace {

[[maybe_unused]] constexpr double kMiB = 1024.0 * 1024.0;

// A ten-fixing fixed-strike call, one plane every two nodes.
[[maybe_unused]] std::string run(int32_t assetSteps, bool greeks)
{
    std::vector<double> a(6 * 50001, 0.0);
    int32_t n = assetSteps;
    TvString text = VelkAsianOptionPricer(a.data(), a.data() + 50001, a.data() + 100002, a.data() + 150003,
                                          a.data() + 200004, a.data() + 250005, 100.0, 100.0, 100, 1.0, 0.2, 0.06,
                                          0.03, &n, 2, 10, 0, 0.0, 0.1, 0, 0, 2, 2, 2, 0.0, greeks, greeks, 65535, 0);
    std::string result(text, tvStringByteLen(text));
    tvFreeString(text);
    return result;
}

TEST(AsianPlanesMemory, BumpedRepricingsRunInTheRoomOfTheFirstValuation)
{
#if defined(TARVIC_ADDRESS_SANITIZER) || defined(TARVIC_THREAD_SANITIZER)
    GTEST_SKIP() << "a sanitizer's shadow memory inflates the resident memory and needs the address space";
#else
    // 1000 asset steps: planes of about 50 MB at their peak.
    const tarvic_test::ChildMeasure free = tarvic_test::measureInChild([] { return run(1000, false); });
    ASSERT_TRUE(free.finished);
    ASSERT_EQ(free.text, "");
    ASSERT_GT(free.peakBytes, 20.0 * kMiB);
    // A room that holds the valuation with 30% to spare: the first
    // valuation and both re-pricings fit it, one after the other, and take
    // no more than one valuation does.
    const std::size_t room = static_cast<std::size_t>(1.3 * free.peakBytes);
    const tarvic_test::ChildMeasure bumped =
        tarvic_test::measureInChild([] { return run(1000, true); }, {}, room);
    ASSERT_TRUE(bumped.finished);
    EXPECT_EQ(bumped.text, "");
    EXPECT_LE(bumped.peakBytes, 1.1 * free.peakBytes);
    // A room below the valuation is refused before the planes are taken.
    const tarvic_test::ChildMeasure tight =
        tarvic_test::measureInChild([] { return run(1000, true); }, {}, static_cast<std::size_t>(0.8 * free.peakBytes));
    ASSERT_TRUE(tight.finished);
    EXPECT_EQ(tight.text.rfind("The spatial resolution you have requested requires more memory than is available", 0), 0u)
        << tight.text;
    EXPECT_LT(tight.peakBytes, 0.2 * free.peakBytes);
#endif
}

// The same call as the solver sees it, serial.
[[maybe_unused]] tarvic::DornTechAsianOption option(int32_t assetSteps)
{
    return tarvic::DornTechAsianOption(100.0, 100.0, 1.0, 0.2, 0.06, 0.03, 0.0, 0.1, 100, assetSteps, 2, 10, 0, 0,
                                       0, 2, 2, 2, 0.0, true, false);
}

TEST(AsianPlanesMemory, CountHoldsThePeakOfTheValuation)
{
#if defined(TARVIC_ADDRESS_SANITIZER) || defined(TARVIC_THREAD_SANITIZER)
    GTEST_SKIP() << "a sanitizer's shadow memory inflates the resident memory";
#else
    for (int32_t steps : {800, 1600}) {
        const double counted = static_cast<double>(option(steps).valuationBytes());
        const tarvic_test::ChildMeasure m = tarvic_test::measureInChild([steps] {
            tarvic::DornTechAsianOption o = option(steps);
            std::vector<double> g, v, d, ga, t;
            try {
                o.price(g, v, d, ga, t);
            } catch (const std::exception& e) {
                return std::string(e.what());
            }
            return std::string();
        });
        ASSERT_TRUE(m.finished) << steps;
        ASSERT_EQ(m.text, "") << steps;
        EXPECT_GE(counted, m.peakBytes) << steps;
        EXPECT_LE(counted, 1.25 * m.peakBytes) << steps;
    }
#endif
}

}  // namespace
