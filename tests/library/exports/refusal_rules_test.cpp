// The refusal rules of the finite-difference exports refuse only wrong
// answers: a right value is not refused for a dip of its curve below 0, and
// a grid too coarse for the drift against the volatility is refused by that
// measure, with a text that names the asset steps that resolve it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "closedform/closed_form.h"
#include "pde/fd_frame.h"
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

// One finite-difference call as the program sends it: spot and strike 100,
// the Medium preset (100 time and asset steps), Rannacher steps, theta and
// vega on. kind picks the export; fields a kind does not read are ignored.
enum Kind { Vanilla, Barrier, Asian };

struct Request {
    Kind kind = Vanilla;
    int32_t optionType = 0;
    double expiry = 1.0;
    double volatility = 0.2;
    double intRate = 0.05;
    double divYield = 0.0;
    int32_t steps = 100;  // time and asset steps
    int32_t nonUniformGrid = 1;
    double lowerBarrier = 0.0;
    double upperBarrier = 0.0;
    int32_t knockOut = 1;
    int32_t contMonitoring = 1;
    int32_t numPeriods = 1;
    int32_t planeSpacing = 4;
    int32_t numFixings = 12;
    int32_t numSettled = 0;
    double settledAverage = 0.0;
    int32_t assetSteps = 0;  // 0: steps
};

struct Answer {
    std::string text;
    double atSpot = 0.0;
    double lowest = 0.0;
    bool untouched = false;
};

Answer price(const Request& q)
{
    CallerArrays out;
    const double S = 100.0, K = 100.0;
    int32_t n = q.assetSteps > 0 ? q.assetSteps : q.steps;
    TvString text = nullptr;
    switch (q.kind) {
    case Vanilla:
        text = VelkOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma),
                                out.p(kTheta), out.p(kVega), K, q.steps, q.expiry, q.volatility,
                                q.intRate, q.divYield, &n, q.optionType, 0, 2, 2, 0.0, 1, 1,
                                q.nonUniformGrid, 1);
        break;
    case Barrier:
        text = VelkBarrierOptionPricer(
            out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma), out.p(kTheta),
            out.p(kVega), S, K, q.lowerBarrier, q.upperBarrier, q.contMonitoring, q.steps,
            q.expiry, q.volatility, q.intRate, q.divYield, &n, q.optionType, q.knockOut, 0, 2, 2,
            0.0, 1, 1, q.nonUniformGrid, q.numPeriods);
        break;
    case Asian:
        text = VelkAsianOptionPricer(out.p(kGrid), out.p(kValue), out.p(kDelta), out.p(kGamma),
                                     out.p(kTheta), out.p(kVega), S, K, q.steps, q.expiry,
                                     q.volatility, q.intRate, q.divYield, &n, q.planeSpacing,
                                     q.numFixings, q.numSettled, q.settledAverage, 0.0, q.optionType, 0, 2, 2, 2, 0.0, 1,
                                     1, q.nonUniformGrid, 0);
        break;
    }
    Answer a;
    a.text = text ? std::string(text, tvStringByteLen(text)) : "no text";
    tvFreeString(text);
    a.untouched = out.untouched(kValue);
    if (a.text.empty()) {
        a.atSpot = tarvic::solutionAt(out.a[kGrid].data(), out.a[kValue].data(), n + 1, S);
        a.lowest = *std::min_element(out.a[kValue].begin(), out.a[kValue].begin() + n + 1);
    }
    return a;
}

double barrierReference(const Request& q)
{
    return tarvic::barrierPrice(100.0, 100.0, q.intRate, q.divYield, q.volatility, q.expiry,
                                q.lowerBarrier, q.upperBarrier, q.knockOut, q.optionType);
}

// The fixed-strike Asian put by parity from the call: C - P is the
// discounted expected average less the strike, the fixings to come at equal
// intervals of the expiry.
double asianPutByParity(const Request& put)
{
    Request call = put;
    call.optionType = 0;
    const Answer c = price(call);
    EXPECT_EQ(c.text, "");
    const int32_t remaining = put.numFixings - put.numSettled;
    double sum = put.numSettled * put.settledAverage;
    for (int32_t k = 1; k <= remaining; ++k)
        sum += 100.0 * std::exp((put.intRate - put.divYield) * put.expiry * k / remaining);
    const double average = sum / put.numFixings;
    return c.atSpot - std::exp(-put.intRate * put.expiry) * (average - 100.0);
}

Request upAndInPut(double volatility, double expiry, double barrier, int32_t steps)
{
    Request q;
    q.kind = Barrier, q.optionType = 1, q.knockOut = 0, q.upperBarrier = barrier;
    q.volatility = volatility, q.expiry = expiry, q.steps = steps;
    return q;
}

// An up-and-in put is worth 0 at S = 0, where the asset stays and never
// reaches the barrier; the European Asian put's top lies where it is worth
// almost nothing; a discretely monitored double knock-out whose own
// clustering does not settle takes the grid of the other type at its inputs.
// Each is priced right and its curve stays at or above 0.
TEST(RefusalRules, RightAnswersAreNotRefusedForTheirSign)
{
    Request corner;  // the program's corner of the Asian inputs
    corner.kind = Asian, corner.optionType = 1, corner.volatility = 1.0, corner.expiry = 2.0;
    Request cornerSettled = corner;
    cornerSettled.numSettled = 6, cornerSettled.settledAverage = 90.0;

    Request doubleOutPut;  // monitored monthly, the Low preset
    doubleOutPut.kind = Barrier, doubleOutPut.optionType = 1, doubleOutPut.lowerBarrier = 60.0;
    doubleOutPut.upperBarrier = 140.0, doubleOutPut.contMonitoring = 0;
    doubleOutPut.numPeriods = 12, doubleOutPut.steps = 30, doubleOutPut.divYield = 0.03;
    // The call monitored quarterly at 31 steps, whose own clustering did
    // not settle either.
    Request doubleOutCall = doubleOutPut;
    doubleOutCall.optionType = 0, doubleOutCall.numPeriods = 4, doubleOutCall.steps = 31;
    const auto finer = [](Request q) {
        q.steps = 600;
        const Answer a = price(q);
        EXPECT_EQ(a.text, "");
        return a.atSpot;
    };

    struct Case {
        const char* what;
        Request request;
        double reference;
        double tolerance;  // relative
    };
    const Case cases[] = {
        {"up-and-in put 110, volatility 0.8, expiry 2", upAndInPut(0.8, 2.0, 110.0, 100),
         barrierReference(upAndInPut(0.8, 2.0, 110.0, 100)), 1e-3},
        {"up-and-in put 110, volatility 1, expiry 1", upAndInPut(1.0, 1.0, 110.0, 100),
         barrierReference(upAndInPut(1.0, 1.0, 110.0, 100)), 1e-3},
        {"up-and-in put 110, volatility 1, expiry 2", upAndInPut(1.0, 2.0, 110.0, 100),
         barrierReference(upAndInPut(1.0, 2.0, 110.0, 100)), 1e-3},
        {"up-and-in put 140, volatility 0.8, expiry 2", upAndInPut(0.8, 2.0, 140.0, 100),
         barrierReference(upAndInPut(0.8, 2.0, 140.0, 100)), 1e-3},
        {"up-and-in put 110, volatility 0.6, expiry 2, Low preset", upAndInPut(0.6, 2.0, 110.0, 30),
         barrierReference(upAndInPut(0.6, 2.0, 110.0, 30)), 5e-3},
        // Monte Carlo: 28.435.
        {"fixed European Asian put, volatility 1, expiry 2", corner, 28.435, 5e-3},
        {"fixed European Asian put, volatility 1, 6 of 12 fixings settled at 90", cornerSettled,
         asianPutByParity(cornerSettled), 5e-3},
        {"double knock-out put 60/140, 12 dates, Low preset", doubleOutPut, finer(doubleOutPut),
         1e-2},
        {"double knock-out call 60/140, 4 dates, 31 steps", doubleOutCall, finer(doubleOutCall),
         1e-2},
    };
    for (const Case& c : cases) {
        const Answer a = price(c.request);
        EXPECT_EQ(a.text, "") << c.what;
        if (!a.text.empty())
            continue;
        EXPECT_NEAR(a.atSpot, c.reference, c.tolerance * c.reference) << c.what;
        EXPECT_GE(a.lowest, -1e-9 * c.reference) << c.what;
    }
}

// Where a cell spans more than the distance over which the volatility
// evens out the drift (|r - q| dS / (sigma^2 S) above 1) near the strike,
// central drift oscillates and one-sided drift smears the value: the call
// is refused with the asset steps that resolve it, and priced with them.
TEST(RefusalRules, AGridThatCannotResolveTheDriftIsRefusedNamingTheAssetSteps)
{
    const std::string opening = "The drift r - q outruns the volatility on this grid";
    const std::string advice = "Raise assetSteps to at least ";
    const auto lowVolatility = [](Kind kind, int32_t type, double sigma, double T, double r,
                                  double q, int32_t uniform) {
        Request k;
        k.kind = kind, k.optionType = type, k.volatility = sigma, k.expiry = T, k.intRate = r;
        k.divYield = q, k.steps = 30, k.nonUniformGrid = uniform ? 0 : 1;
        return k;
    };
    Request doubleOutCall = lowVolatility(Barrier, 0, 0.05, 1.0, 0.15, 0.03, 0);
    doubleOutCall.lowerBarrier = 90.0, doubleOutCall.upperBarrier = 110.0;
    Request doubleOutCallHigherRate = doubleOutCall;
    doubleOutCallHigherRate.intRate = 0.2;

    struct Case {
        const char* what;
        Request request;
        double reference;
    };
    const auto bs = [](const Request& k) {
        return tarvic::blackScholesPrice(100.0, 100.0, k.intRate, k.divYield, k.volatility,
                                         k.expiry, k.optionType);
    };
    const Request callYield = lowVolatility(Vanilla, 0, 0.05, 0.1, 0.0, 0.1, 1);
    const Request callLower = lowVolatility(Vanilla, 0, 0.04, 0.1, 0.0, 0.1, 1);
    const Request putRate = lowVolatility(Vanilla, 1, 0.05, 1.0, 0.15, 0.0, 0);
    const Request putLonger = lowVolatility(Vanilla, 1, 0.05, 2.0, 0.15, 0.0, 0);
    const Case cases[] = {
        {"European call, volatility 0.05, yield 0.1, expiry 0.1, uniform", callYield,
         bs(callYield)},
        {"European call, volatility 0.04, yield 0.1, expiry 0.1, uniform", callLower,
         bs(callLower)},
        {"European put, volatility 0.05, rate 0.15, stretched", putRate, bs(putRate)},
        {"European put, volatility 0.05, rate 0.15, expiry 2, stretched", putLonger, bs(putLonger)},
        {"double knock-out call 90/110, volatility 0.05, rate 0.15", doubleOutCall,
         barrierReference(doubleOutCall)},
        {"double knock-out call 90/110, volatility 0.05, rate 0.2", doubleOutCallHigherRate,
         barrierReference(doubleOutCallHigherRate)},
    };
    for (const Case& c : cases) {
        const Answer a = price(c.request);
        EXPECT_EQ(a.text.substr(0, opening.size()), opening) << c.what << ": " << a.text;
        EXPECT_TRUE(a.untouched) << c.what;
        const std::size_t at = a.text.find(advice);
        EXPECT_NE(at, std::string::npos) << c.what << ": " << a.text;
        if (at == std::string::npos)
            continue;
        const long steps = std::strtol(a.text.c_str() + at + advice.size(), nullptr, 10);
        ASSERT_GT(steps, c.request.steps) << c.what;

        // The steps named resolve the drift; what remains is the grid's
        // resolution of the payoff's kink at this volatility.
        Request resolved = c.request;
        resolved.assetSteps = static_cast<int32_t>(steps);
        const Answer b = price(resolved);
        EXPECT_EQ(b.text, "") << c.what;
        if (!b.text.empty())
            continue;
        EXPECT_NEAR(b.atSpot, c.reference, 0.1 * c.reference + 1e-3) << c.what;
        EXPECT_GE(b.lowest, -1e-9) << c.what;
    }
}

}  // namespace
