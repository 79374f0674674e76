// The reference values of the early-exercise Monte Carlo tests, Bermudan
// options with 50 exercise (and monitoring) dates a year, from the
// finite-difference pricers: VelkOptionPricer and VelkBarrierOptionPricer
// with exerciseType 2 and numPeriods the number of dates. The puts are those
// of Longstaff and Schwartz (2001), Table 1, whose finite-difference column
// they also match.

#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/caller_arrays.h"
#include "support/reference_pricing.h"
#include "tarvic/tarvic.h"

namespace {

using tarvic_test::CallerArrays;
using tarvic_test::kDelta;
using tarvic_test::kGamma;
using tarvic_test::kGrid;
using tarvic_test::kTheta;
using tarvic_test::kValue;
using tarvic_test::kVega;

constexpr int32_t kFineSteps = 1000;

struct Bermudan {
    const char* name;
    double spot, strike, lower, upper;
    int32_t contMonitoring;
    double expiry, volatility, intRate, divYield;
    int32_t optionType, knockOut, periods;
    double reference;
};

const Bermudan kReferences[] = {
    {"put S=36, vol 0.2, T=1", 36.0, 40.0, 0.0, 0.0, 0, 1.0, 0.2, 0.06, 0.0, 1, 1, 50, 4.4778},
    {"put S=36, vol 0.4, T=2", 36.0, 40.0, 0.0, 0.0, 0, 2.0, 0.4, 0.06, 0.0, 1, 1, 100, 8.5068},
    {"put S=40, vol 0.2, T=1", 40.0, 40.0, 0.0, 0.0, 0, 1.0, 0.2, 0.06, 0.0, 1, 1, 50, 2.3141},
    {"put S=44, vol 0.4, T=1", 44.0, 40.0, 0.0, 0.0, 0, 1.0, 0.4, 0.06, 0.0, 1, 1, 50, 3.9477},
    {"up-and-out put, discrete", 100.0, 100.0, 0.0, 120.0, 0, 1.0, 0.25, 0.05, 0.02, 1, 1, 50, 8.0690},
    {"up-and-out put, continuous", 100.0, 100.0, 0.0, 120.0, 1, 1.0, 0.25, 0.05, 0.02, 1, 1, 50, 7.8453},
    {"down-and-in put, continuous", 100.0, 100.0, 90.0, 0.0, 1, 1.0, 0.25, 0.05, 0.02, 1, 0, 50, 8.4697},
    {"call without dividends", 100.0, 100.0, 0.0, 0.0, 0, 1.0, 0.25, 0.05, 0.0, 0, 1, 50, 12.3360},
    {"down-and-out call, discrete", 100.0, 100.0, 90.0, 0.0, 0, 1.0, 0.25, 0.03, 0.05, 0, 1, 50, 7.0264},
    {"down-and-out call, continuous", 100.0, 100.0, 90.0, 0.0, 1, 1.0, 0.25, 0.03, 0.05, 0, 1, 50, 6.3730},
};

double finiteDifferenceValue(const Bermudan& b)
{
    CallerArrays out;
    int32_t n = kFineSteps;
    const bool barrier = b.lower > 0.0 || b.upper > 0.0;
    TvString text =
        barrier ? VelkBarrierOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma), out.p(kTheta),
                                          out.p(kVega), b.spot, b.strike, b.lower, b.upper, b.contMonitoring,
                                          kFineSteps, b.expiry, b.volatility, b.intRate, b.divYield, &n,
                                          b.optionType, b.knockOut, 2, 2, 2, 0.0, 0, 0, 1, b.periods)
                : VelkOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma), out.p(kTheta),
                                   out.p(kVega), b.strike, kFineSteps, b.expiry, b.volatility, b.intRate,
                                   b.divYield, &n, b.optionType, 2, 2, 2, 0.0, 0, 0, 1, b.periods);
    const std::string message(text, tvStringByteLen(text));
    tvFreeString(text);
    EXPECT_EQ(message, "") << b.name;
    return tarvic_test::interpolateNodes(out.a[kGrid], out.a[kValue], n, b.spot);
}

TEST(EarlyExerciseReferences, FiniteDifferencePricersGiveTheReferenceValues)
{
    for (const Bermudan& b : kReferences)
        EXPECT_NEAR(finiteDifferenceValue(b), b.reference, 1e-4) << b.name;
}

// The finite-difference column of Longstaff and Schwartz (2001), Table 1,
// for the four puts above, to the three decimals published.
TEST(EarlyExerciseReferences, PutsAgreeWithThePublishedFiniteDifferenceValues)
{
    const double published[] = {4.478, 8.508, 2.314, 3.948};
    for (size_t i = 0; i < std::size(published); ++i)
        EXPECT_NEAR(kReferences[i].reference, published[i], 0.006) << kReferences[i].name;
}

}  // namespace
