// Prices of the three finite-difference exports across contracts, schemes,
// early-exercise solvers and grids, against values recorded from the scalar
// stepper that divided by the pivots and copied its time levels. A faster
// step may change a price only by rounding: 1e-12 relative.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pde/dorn_tech_option.h"
#include "support/caller_arrays.h"
#include "tarvic/tarvic.h"

namespace {

using tarvic_test::CallerArrays;
using tarvic_test::kDelta;
using tarvic_test::kGamma;
using tarvic_test::kGrid;
using tarvic_test::kTheta;
using tarvic_test::kValue;
using tarvic_test::kVega;

// Direct: a DornTechOption with the top boundary upperBoundary, which the
// exports do not choose.
enum Kind { Vanilla, Barrier, Asian, Direct };

// One request; fields a kind does not read stay at their defaults.
struct Request {
    const char* name;
    Kind kind;
    int32_t optionType;
    int32_t exerciseType;
    int32_t discretization;
    int32_t amerSolver;
    int32_t nonUniformGrid;
    int32_t numPeriods = 1;  // vanilla, barrier: exercise or monitoring periods
    double lowerBarrier = 0.0;
    double upperBarrier = 0.0;
    int32_t knockOut = 1;
    int32_t contMonitoring = 1;
    double strike = 100.0;  // Asian: 0 selects the floating strike
    int32_t planeSpacing = 2;
    int32_t planesInterp = 2;
    int32_t numFixings = 4;
    int32_t numSettled = 0;
    double settledAverage = 0.0;
    int32_t steps = 60;  // asset steps to the strike and time steps
    double divYield = 0.04;
    int32_t upperBoundary = 0;
};

// Values at the nodes nearest 90, 100 and 110, in that order.
struct Recorded {
    Request request;
    double value[3];
};

// Values at the nodes nearest 90, 100 and 110.
std::vector<double> atLevels(const std::vector<double>& grid, const std::vector<double>& value,
                             int32_t n)
{
    std::vector<double> values;
    for (double level : {90.0, 100.0, 110.0}) {
        size_t best = 0;
        for (size_t i = 0; i <= static_cast<size_t>(n); ++i)
            if (std::fabs(grid[i] - level) < std::fabs(grid[best] - level))
                best = i;
        values.push_back(value[best]);
    }
    return values;
}

std::vector<double> solveByExport(const Request& q)
{
    CallerArrays out;
    int32_t n = q.steps;
    const double S = 100.0, T = 0.5, sigma = 0.25, r = 0.08;
    TvString text = nullptr;
    switch (q.kind) {
    case Vanilla:
        text = VelkOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma),
                                out.p(kTheta), out.p(kVega), q.strike, q.steps, T, sigma, r,
                                q.divYield, &n, q.optionType, q.exerciseType, q.discretization,
                                q.amerSolver, 0.0, 0, 0, q.nonUniformGrid, q.numPeriods);
        break;
    case Barrier:
        text = VelkBarrierOptionPricer(
            out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma), out.p(kTheta),
            out.p(kVega), S, q.strike, q.lowerBarrier, q.upperBarrier, q.contMonitoring, q.steps,
            T, sigma, r, q.divYield, &n, q.optionType, q.knockOut, q.exerciseType,
            q.discretization, q.amerSolver, 0.0, 0, 0, q.nonUniformGrid, q.numPeriods);
        break;
    case Direct:
        break;
    case Asian:
        text = VelkAsianOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma),
                                     out.p(kTheta), out.p(kVega), S, q.strike, q.steps, T, sigma,
                                     r, q.divYield, &n, q.planeSpacing, q.numFixings,
                                     q.numSettled, q.settledAverage, 0.1, q.optionType,
                                     q.exerciseType, q.discretization, q.amerSolver,
                                     q.planesInterp, 0.0, 0, 0, q.nonUniformGrid, 1);
        break;
    }
    const std::string failure = text ? std::string(text, tvStringByteLen(text)) : "no text";
    tvFreeString(text);
    EXPECT_EQ(failure, "") << q.name;
    if (!failure.empty())
        return {};
    return atLevels(out.a[kGrid], out.a[kValue], n);
}

std::vector<double> solve(const Request& q)
{
    if (q.kind != Direct)
        return solveByExport(q);
    tarvic::DornTechOption option(q.strike, q.steps, 0.5, 0.25, 0.08, q.divYield, q.steps,
                                  q.optionType, q.exerciseType, q.discretization, q.amerSolver,
                                  0.0, q.nonUniformGrid != 0, q.numPeriods, q.upperBoundary,
                                  true);
    std::vector<double> grid, value, delta, gamma, theta;
    option.price(grid, value, delta, gamma, theta);
    return atLevels(grid, value, static_cast<int32_t>(grid.size()) - 1);
}

const Recorded kRecorded[] = {
    {{"EuropeanCallCrankNicolsonUniform", Vanilla, 0, 0, 1, 2, 0}, {3.0534837386371518, 7.3871360710639262, 15.088747740569193}},
    {{"EuropeanPutImplicitStretched", Vanilla, 1, 0, 0, 2, 1}, {11.111673853424344, 6.055977523370812, 2.7824904850170533}},
    {{"EuropeanCallRannacherStretched", Vanilla, 0, 0, 2, 2, 1}, {3.3214718161550572, 7.6283342227751048, 14.472398491522746}},
    {{"AmericanPutSorRannacherStretched", Vanilla, 1, 1, 2, 0, 1}, {11.685619064049774, 6.2949065310271024, 2.8698315871832492}},
    {{"AmericanPutTurboSorCrankNicolsonUniform", Vanilla, 1, 1, 1, 1, 0}, {12.252765708535264, 6.4883252156673219, 2.685856786900481}},
    {{"AmericanPutBrennanSchwartzRannacherStretched", Vanilla, 1, 1, 2, 2, 1}, {11.685619060636855, 6.2949065282309249, 2.8698315902807989}},
    {{"AmericanPutBrennanSchwartzImplicitUniform", Vanilla, 1, 1, 0, 2, 0}, {12.239922939119795, 6.4684263698616959, 2.6733966630706223}},
    {{"AmericanCallBrennanSchwartzCrankNicolsonUniform", Vanilla, 0, 1, 1, 2, 0}, {3.0534837666243617, 7.3871365906284687, 15.088755994904437}},
    {{"AmericanCallSorRannacherStretched", Vanilla, 0, 1, 2, 0, 1}, {3.3214389888495877, 7.6282668281269927, 14.472354664985897}},
    {{"BermudanPutFourPeriodsRannacherStretched", Vanilla, 1, 2, 2, 2, 1, 4}, {11.577719170843999, 6.2289322437342252, 2.8375135853616418}},
    {{"BermudanCallThreePeriodsCrankNicolsonUniform", Vanilla, 0, 2, 1, 2, 0, 3}, {3.0534837393769392, 7.3871361046706632, 15.088748937063224}},
    {{"DownOutCallRannacherStretched", Barrier, 0, 0, 2, 2, 1, 1, 85.0}, {2.3059574709904713, 7.3656491452845847, 14.287782276636545}},
    {{"UpOutPutFiveDatesCrankNicolsonUniform", Barrier, 1, 0, 1, 2, 0, 5, 0.0, 125.0, 1, 0},
     {11.160254694294219, 5.9027402343347548, 2.7463598721053319}},
    {{"DoubleOutCallRannacherStretched", Barrier, 0, 0, 2, 2, 1, 1, 75.0, 130.0}, {2.0375646871736528, 3.512713595845367, 3.8402552395445344}},
    {{"AmericanDownOutPutSorRannacherStretched", Barrier, 1, 1, 2, 0, 1, 1, 80.0}, {11.588954318434455, 6.3024371814443203, 2.7666588623404547}},
    {{"AmericanDownInPutBrennanSchwartzRannacherStretched", Barrier, 1, 1, 2, 2, 1, 1, 85.0,
      0.0, 0},
     {11.292668608283165, 5.3769552633708244, 2.0972738975009837}},
    {{"UpInCallCrankNicolsonUniform", Barrier, 0, 0, 1, 2, 0, 1, 0.0, 120.0, 0}, {2.0644834438779607, 5.9588975926597492, 13.874879951502336}},
    {{"DoubleInPutRannacherStretched", Barrier, 1, 0, 2, 2, 1, 1, 80.0, 125.0, 0}, {9.5508945275014501, 4.0650091377059656, 1.3448702499470466}},
    {{"AsianFixedCallEuropeanCubicStretched", Asian, 0, 0, 2, 2, 1}, {1.4459940166032199, 5.0865641657037495, 12.126070388929238}},
    {{"AsianFixedPutAmericanBrennanSchwartzLinearUniform", Asian, 1, 1, 2, 2, 0, 1, 0, 0, 1, 1,
      100.0, 1, 0, 5},
     {13.107965569447067, 5.5423692081817535, 1.2335581272973919}},
    {{"AsianFixedCallAmericanBrennanSchwartzStretched", Asian, 0, 1, 2, 2, 1}, {1.6817056539542179, 6.2047119123086683, 14.673586721956815}},
    {{"AsianFixedPutAmericanTurboSorUniform", Asian, 1, 1, 1, 1, 0}, {12.937426199253661, 5.6088964614037993, 1.3437938346427027}},
    {{"AsianFixedCallBermudanSettledImplicitStretched", Asian, 0, 2, 0, 2, 1, 1, 0, 0, 1, 1,
      100.0, 2, 1, 6, 2, 95.0},
     {0.6815849180486846, 2.6513021149331166, 6.8854564336859907}},
    {{"AsianFloatingCallEuropeanQuadraticCrankNicolsonStretched", Asian, 0, 0, 1, 2, 1, 1, 0,
      0, 1, 1, 0.0, 4, 1},
     {3.2296297854418494, 3.5733685255041583, 3.9443894106324313}},
    {{"AsianFloatingPutAmericanSorRannacherStretched", Asian, 1, 1, 2, 0, 1, 1, 0, 0, 1, 1, 0.0},
     {4.9662276051703458, 5.4933501893523209, 6.0633018214048393}},
    {{"AsianFloatingCallAmericanBrennanSchwartzUniform", Asian, 0, 1, 2, 2, 0, 1, 0, 0, 1, 1,
      0.0},
     {5.6135558424408218, 6.2404409287602416, 6.9710013450826693}},
    {{"DirectCallSlopeTopCrankNicolsonUniform", Direct, 0, 0, 1, 2, 0, 0, 0, 0, 1, 1, 100.0, 2,
      2, 4, 0, 0.0, 60, 0.04, 1},
     {3.053483738637274, 7.3871360710701888, 15.088747740870364}},
    {{"DirectCallSlopeTopRannacherStretched", Direct, 0, 0, 2, 2, 1, 0, 0, 0, 1, 1, 100.0, 2, 2,
      4, 0, 0.0, 60, 0.04, 1},
     {3.3214718161552903, 7.6283342227853224, 14.472398491848372}},
    {{"DirectPutLinearTopImplicitUniform", Direct, 1, 0, 0, 2, 0, 0, 0, 0, 1, 1, 100.0, 2, 2, 4,
      0, 0.0, 60, 0.04, 2},
     {11.63795125604155, 6.2412054427546995, 2.6063438321388084}},
};

class RecordedPrices : public ::testing::TestWithParam<Recorded> {};

// The kernels are those this processor runs; ctest runs these cases once
// more with TARVIC_KERNELS=baseline, the kernels of any x86-64.
TEST_P(RecordedPrices, AgreeToRounding)
{
    const Recorded& c = GetParam();
    const std::vector<double> v = solve(c.request);
    ASSERT_EQ(v.size(), 3u);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(v[static_cast<size_t>(k)], c.value[k], 1e-12 * std::fabs(c.value[k]))
            << c.request.name << " node " << k;
}

INSTANTIATE_TEST_SUITE_P(FiniteDifferenceExports, RecordedPrices, ::testing::ValuesIn(kRecorded),
                         [](const auto& info) { return std::string(info.param.request.name); });

}  // namespace
