// The memory of a knock-in: the companion's grid and the barrier values it
// records at every time level are counted before they are taken. Requests
// beyond the memory there is are refused with the memory text before
// anything large is allocated, in a child process under an address-space
// limit as on the machine as it is, never by a failed allocation; and the
// count holds the peak of resident memory of a solve.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pde/knock_in_options.h"
#include "support/caller_arrays.h"
#include "support/child_peak.h"
#include "tarvic/tarvic.h"

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr const char* kBudgetOpening =
    "The knock-in solve you have requested requires more memory than is available to the program (";

// An up-and-in call, S = K = 100, T = 0.5, r = 0.08, q = 0.04, sigma = 0.25,
// stretched grid, Crank-Nicolson with a Rannacher start.
struct UpAndIn {
    double spot = 100.0;
    double barrier = 105.0;
    int32_t timeSteps = 100;
    int32_t assetSteps = 100;
    int32_t greeks = 0;

    std::string operator()() const
    {
        tarvic_test::CallerArrays out;
        int32_t steps = assetSteps;
        TvString text = VelkBarrierOptionPricer(
            out.p(tarvic_test::kGrid), out.p(tarvic_test::kValue), out.p(tarvic_test::kDelta),
            out.p(tarvic_test::kGamma), out.p(tarvic_test::kTheta), out.p(tarvic_test::kVega), spot, 100.0,
            0.0, barrier, 65535, timeSteps, 0.5, 0.25, 0.08, 0.04, &steps, 0, 0, 0, 2, 2, 0.0, greeks, greeks,
            65535, 1);
        std::string result(text, tvStringByteLen(text));
        tvFreeString(text);
        return result;
    }
};

bool startsWith(const std::string& text, const std::string& opening)
{
    return text.compare(0, opening.size(), opening) == 0;
}

TEST(KnockInMemory, RequestsBeyondMemoryAreRefusedBeforeTheyAreTaken)
{
    struct Case {
        const char* what;
        UpAndIn call;
        double roomMiB;  // 0: the machine as it is
        bool refused;
    } cases[] = {
        // A companion grid of 1.5e7 nodes behind a knock-in grid of 49000.
        {"4.9e6 asset steps below a barrier at 1, with theta and vega, in 512 MB", {0.5, 1.0, 100, 4900000, 1},
         512.0, true},
        // 800 MB of recorded values and their times.
        {"5e7 time steps in 512 MB", {100.0, 105.0, 50000000, 20, 0}, 512.0, true},
        {"2^31 - 1 time steps", {100.0, 105.0, 2147483647, 20, 0}, 0.0, true},
        // 160 MB of records: within the room, solved.
        {"1e7 time steps in 512 MB", {100.0, 105.0, 10000000, 20, 0}, 512.0, false},
    };
    for (const Case& k : cases) {
#ifdef TARVIC_ADDRESS_SANITIZER
        if (k.roomMiB > 0.0)
            continue;  // an address-space limit cannot be combined with the address sanitizer
#endif
        const tarvic_test::ChildMeasure m = tarvic_test::measureInChild(
            [&] { return k.call(); }, {}, static_cast<std::size_t>(k.roomMiB * kMiB));
        ASSERT_TRUE(m.finished) << k.what;
        if (k.refused) {
            EXPECT_TRUE(startsWith(m.text, kBudgetOpening)) << k.what << ": " << m.text;
            EXPECT_LT(m.peakBytes, 50.0 * kMiB) << k.what;
        } else {
            EXPECT_EQ(m.text, "") << k.what;
        }
    }
}

// The knock-in as the solver sees it, serial.
[[maybe_unused]] tarvic::DornTechUIBOption upAndIn(int32_t timeSteps, int32_t assetSteps, int32_t exerciseType)
{
    const tarvic::BarrierContract c{100.0, 100.0, 0.0, 105.0, true, timeSteps, 0.5, 0.25, 0.08, 0.04,
                                    assetSteps, 0, exerciseType, 2, 2, 0.0, true, 1};
    return tarvic::DornTechUIBOption(c);
}

TEST(KnockInMemory, CountHoldsThePeakOfASolve)
{
#if defined(TARVIC_ADDRESS_SANITIZER) || defined(TARVIC_THREAD_SANITIZER)
    GTEST_SKIP() << "a sanitizer's shadow memory inflates the resident memory";
#else
    struct Case {
        const char* what;
        int32_t timeSteps, assetSteps, exerciseType;
    } cases[] = {
        {"records of 2e6 time steps", 2000000, 20, 0},
        {"records of 4e6 time steps", 4000000, 20, 0},
        {"a companion of 1.2e6 nodes", 100, 400000, 0},
        {"a companion of 2.4e6 nodes", 100, 800000, 0},
        {"an American companion of 1.2e6 nodes", 100, 400000, 1},
    };
    for (const Case& k : cases) {
        const double counted = static_cast<double>(upAndIn(k.timeSteps, k.assetSteps, k.exerciseType).solveBytes(1, 1));
        const tarvic_test::ChildMeasure m = tarvic_test::measureInChild([&] {
            tarvic::DornTechUIBOption o = upAndIn(k.timeSteps, k.assetSteps, k.exerciseType);
            std::vector<double> g, v, d, ga, t;
            try {
                o.price(g, v, d, ga, t);
            } catch (const std::exception& e) {
                return std::string(e.what());
            }
            return std::string();
        });
        ASSERT_TRUE(m.finished) << k.what;
        ASSERT_EQ(m.text, "") << k.what;
        EXPECT_GE(counted, m.peakBytes) << k.what;
        EXPECT_LE(counted, 1.25 * m.peakBytes) << k.what;
    }
#endif
}

}  // namespace

namespace {

// The companion's nodes are counted before its grid exists; where the
// automatic top is raised for a long, volatile contract the count must see
// the raised grid, or the memory check counts too few nodes (a node or
// two of the stretched map's rounding aside).
TEST(KnockInMemory, TheCountSeesTheGridTheSolveBuilds)
{
    struct Case {
        const char* what;
        double volatility, expiry;
        bool nonUniformGrid;
    } cases[] = {
        {"an ordinary grid", 0.25, 0.5, true},
        {"a raised uniform grid", 1.5, 2.0, false},
        {"a raised stretched grid", 1.5, 2.0, true},
    };
    for (const Case& k : cases) {
        const tarvic::BarrierContract c{100.0, 100.0, 0.0, 105.0, true, 50, k.expiry, k.volatility, 0.05, 0.0,
                                        50, 1, 0, 2, 2, 0.0, k.nonUniformGrid, 1};
        tarvic::DornTechUIBOption counted(c);
        counted.lastNodeIndex();  // the knock-in's own grid, not the companion's
        const std::size_t before = counted.solveBytes(1, 1);
        tarvic::DornTechUIBOption built(c);
        built.prepareSolves(1, 1);  // builds both grids
        // Within a node or two of the grid the solve builds.
        const double after = static_cast<double>(built.solveBytes(1, 1));
        EXPECT_NEAR(static_cast<double>(before), after, 1e-3 * after) << k.what;
    }
}

}  // namespace
