#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "closedform/barrier_reference.h"
#include "closedform/closed_form.h"

namespace {

using barrier_reference::Kind;
using barrier_reference::SingleBarrierCase;
using tarvic::barrierPrice;
using tarvic::blackScholesPrice;

constexpr double kS = 100.0, kT = 0.5, kR = 0.08, kQ = 0.04;

struct PublishedRow {
    Kind kind;
    bool call;
    double K;
    double at25;  // sigma 0.25
    double at30;  // sigma 0.30
};

// The classic single-barrier table: S = 100, T = 0.5, r = 0.08, q = 0.04,
// H = 95 for down and 105 for up barriers, cash rebate 3, to 4 decimals.
// Six σ = 0.30 entries carry the last digit of a six-figure polynomial
// approximation of N (they are reproduced with it); the exact values lie
// within one unit of the last place (at most 6.3e-5 away).
const std::vector<PublishedRow>& publishedRebateTable()
{
    static const std::vector<PublishedRow> rows = {
        {Kind::downOut, true, 90, 9.0246, 8.8334},  {Kind::downOut, true, 100, 6.7924, 7.0285},
        {Kind::downOut, true, 110, 4.8759, 5.4137}, {Kind::upOut, true, 90, 2.6789, 2.6341},
        {Kind::upOut, true, 100, 2.3580, 2.4389},   {Kind::upOut, true, 110, 2.3453, 2.4315},
        {Kind::downIn, true, 90, 7.7627, 9.0093},   {Kind::downIn, true, 100, 4.0109, 5.1370},
        {Kind::downIn, true, 110, 2.0576, 2.8517},  {Kind::upIn, true, 90, 14.1112, 15.2098},
        {Kind::upIn, true, 100, 8.4482, 9.7278},    {Kind::upIn, true, 110, 4.5910, 5.8350},
        {Kind::downIn, false, 90, 2.9586, 3.8769},  {Kind::downIn, false, 100, 6.5677, 7.7989},
        {Kind::downIn, false, 110, 11.9752, 13.3078}, {Kind::upIn, false, 90, 1.4653, 2.0658},
        {Kind::upIn, false, 100, 3.3721, 4.4226},   {Kind::upIn, false, 110, 7.0846, 8.3686},
        {Kind::downOut, false, 90, 2.2798, 2.4170}, {Kind::downOut, false, 100, 2.2947, 2.4258},
        {Kind::downOut, false, 110, 2.6252, 2.6246}, {Kind::upOut, false, 90, 3.7760, 4.2293},
        {Kind::upOut, false, 100, 5.4932, 5.8032},  {Kind::upOut, false, 110, 7.5187, 7.5649},
    };
    return rows;
}

bool isDown(Kind kind) { return kind == Kind::downIn || kind == Kind::downOut; }
bool isOut(Kind kind) { return kind == Kind::downOut || kind == Kind::upOut; }

SingleBarrierCase classicCase(const PublishedRow& row, double sigma, double rebate)
{
    return {kS, row.K, isDown(row.kind) ? 95.0 : 105.0, kT, kR, kQ, sigma, rebate, row.call, row.kind};
}

double libraryValue(const SingleBarrierCase& c)
{
    const double L = isDown(c.kind) ? c.H : 0.0;
    const double U = isDown(c.kind) ? 0.0 : c.H;
    return barrierPrice(c.S, c.K, c.r, c.q, c.sigma, c.T, L, U, isOut(c.kind) ? 1 : 0,
                        c.call ? 0 : 1);
}

TEST(BarrierReference, ReproducesThePublishedRebateTable)
{
    for (const PublishedRow& row : publishedRebateTable()) {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(row.kind) << " call "
                                        << row.call << " K " << row.K);
        EXPECT_NEAR(barrier_reference::singleBarrier(classicCase(row, 0.25, 3.0)), row.at25, 1e-4);
        EXPECT_NEAR(barrier_reference::singleBarrier(classicCase(row, 0.30, 3.0)), row.at30, 1e-4);
    }
}

TEST(BarrierPrice, AgreesWithTheReferenceWithoutRebateOnTheClassicGrid)
{
    for (const PublishedRow& row : publishedRebateTable()) {
        for (double sigma : {0.25, 0.30}) {
            const SingleBarrierCase c = classicCase(row, sigma, 0.0);
            SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(row.kind) << " call "
                                            << row.call << " K " << row.K << " sigma " << sigma);
            const double reference = barrier_reference::singleBarrier(c);
            EXPECT_NEAR(libraryValue(c), reference, 1e-12 * std::max(1.0, std::fabs(reference)));
        }
    }
}

TEST(BarrierPrice, InPlusOutIsTheVanillaValue)
{
    // Spots on both sides of the strike and near the barriers, both kinds of carry.
    for (double S : {96.0, 99.0, 100.0, 104.0})
        for (double K : {80.0, 95.0, 100.0, 105.0, 120.0})
            for (double q : {0.0, 0.04, 0.12})
                for (int type : {0, 1})
                    for (bool down : {true, false}) {
                        const double L = down ? 95.0 : 0.0, U = down ? 0.0 : 105.0;
                        const double in = barrierPrice(S, K, kR, q, 0.3, kT, L, U, 0, type);
                        const double out = barrierPrice(S, K, kR, q, 0.3, kT, L, U, 1, type);
                        const double vanilla = blackScholesPrice(S, K, kR, q, 0.3, kT, type);
                        EXPECT_NEAR(in + out, vanilla, 1e-12 * std::max(1.0, vanilla))
                            << "S " << S << " K " << K << " q " << q << " type " << type
                            << " down " << down;
                        EXPECT_GE(in, -1e-12);
                        EXPECT_GE(out, -1e-12);
                    }
}

TEST(BarrierPrice, SpotAtOrPastTheBarrierHasKnocked)
{
    struct Case {
        double S, L, U;
    };
    // At and past a down barrier, an up barrier, and either side of a corridor.
    const Case cases[] = {{95, 95, 0},   {90, 95, 0},   {1e-3, 95, 0},  {105, 0, 105},
                          {130, 0, 105}, {80, 80, 120}, {70, 80, 120},  {120, 80, 120},
                          {150, 80, 120}};
    for (const Case& c : cases)
        for (double K : {70.0, 90.0, 100.0, 110.0, 130.0})
            for (int type : {0, 1}) {
                const double vanilla = blackScholesPrice(c.S, K, kR, kQ, 0.25, kT, type);
                SCOPED_TRACE(testing::Message() << "S " << c.S << " L " << c.L << " U " << c.U
                                                << " K " << K << " type " << type);
                EXPECT_EQ(barrierPrice(c.S, K, kR, kQ, 0.25, kT, c.L, c.U, 1, type), 0.0);
                EXPECT_DOUBLE_EQ(barrierPrice(c.S, K, kR, kQ, 0.25, kT, c.L, c.U, 0, type), vanilla);
            }
    // The formulas applied as they stand would give 14.28 here.
    EXPECT_NEAR(barrierPrice(90, 90, kR, kQ, 0.25, kT, 95, 0, 0, 0), 7.0645, 5e-5);
}

TEST(BarrierPrice, SpotAtZero)
{
    const double DK = 100.0 * std::exp(-kR * kT);
    // Below an up barrier the asset stays at 0: the put pays DK if it is a knock-out.
    EXPECT_EQ(barrierPrice(0, 100, kR, kQ, 0.25, kT, 0, 105, 1, 0), 0.0);
    EXPECT_EQ(barrierPrice(0, 100, kR, kQ, 0.25, kT, 0, 105, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(barrierPrice(0, 100, kR, kQ, 0.25, kT, 0, 105, 1, 1), DK);
    EXPECT_EQ(barrierPrice(0, 100, kR, kQ, 0.25, kT, 0, 105, 0, 1), 0.0);
    // Past a down barrier: knocked out, or knocked in to the vanilla value.
    EXPECT_EQ(barrierPrice(0, 100, kR, kQ, 0.25, kT, 95, 0, 1, 1), 0.0);
    EXPECT_DOUBLE_EQ(barrierPrice(0, 100, kR, kQ, 0.25, kT, 95, 0, 0, 1), DK);
    EXPECT_EQ(barrierPrice(0, 100, kR, kQ, 0.25, kT, 95, 0, 0, 0), 0.0);
}

TEST(BarrierPrice, DispatchAndPlainCases)
{
    const double vanillaCall = blackScholesPrice(100, 110, kR, kQ, 0.25, kT, 0);
    const double vanillaPut = blackScholesPrice(100, 90, kR, kQ, 0.25, kT, 1);
    const double vanillaCallHigh = blackScholesPrice(100, 130, kR, kQ, 0.25, kT, 0);
    const double vanillaPutLow = blackScholesPrice(100, 70, kR, kQ, 0.25, kT, 1);
    struct Case {
        const char* what;
        double K, L, U;
        int knockOut, type;
        double expected;
    };
    const Case cases[] = {
        {"no barrier", 100, 0, 0, 1, 0, 0.0},
        {"no barrier, knock-in", 100, 0, 0, 0, 1, 0.0},
        {"equal barriers", 100, 95, 95, 1, 0, 0.0},
        {"equal barriers, knock-in", 100, 95, 95, 0, 1, 0.0},
        {"lower above upper", 100, 110, 90, 1, 0, 0.0},
        {"negative lower", 100, -5, 0, 1, 0, 0.0},
        {"up-and-out call, K at U", 105, 0, 105, 1, 0, 0.0},
        {"up-and-out call, K above U", 110, 0, 105, 1, 0, 0.0},
        {"up-and-in call, K above U", 110, 0, 105, 0, 0, vanillaCall},
        {"down-and-out put, K below L", 90, 95, 0, 1, 1, 0.0},
        {"down-and-in put, K below L", 90, 95, 0, 0, 1, vanillaPut},
        {"knockOut 2, single", 100, 95, 0, 2, 0, -1.0},
        {"knockOut -1, double", 100, 80, 120, -1, 0, -1.0},
        {"double knock-out call, K above U", 130, 80, 120, 1, 0, 0.0},
        {"double knock-in call, K above U", 130, 80, 120, 0, 0, vanillaCallHigh},
        {"double knock-out put, K below L", 70, 80, 120, 1, 1, 0.0},
        {"double knock-in put, K below L", 70, 80, 120, 0, 1, vanillaPutLow},
        {"double knock-out call, K below L", 70, 80, 120, 1, 0, -1.0},
        {"double knock-in call, K below L", 70, 80, 120, 0, 0, -1.0},
        {"double knock-out put, K above U", 130, 80, 120, 1, 1, -1.0},
        {"double knock-in put, K above U", 130, 80, 120, 0, 1, -1.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(barrierPrice(100, c.K, kR, kQ, 0.25, kT, c.L, c.U, c.knockOut, c.type),
                         c.expected)
            << c.what;
}

TEST(BarrierPrice, AnyOtherOptionTypeIsAPut)
{
    for (double L : {95.0, 0.0})
        for (int knockOut : {0, 1}) {
            const double U = L > 0 ? 0.0 : 105.0;
            EXPECT_EQ(barrierPrice(100, 100, kR, kQ, 0.25, kT, L, U, knockOut, 7),
                      barrierPrice(100, 100, kR, kQ, 0.25, kT, L, U, knockOut, 1));
        }
    EXPECT_EQ(barrierPrice(100, 100, kR, kQ, 0.25, kT, 80, 120, 1, -3),
              barrierPrice(100, 100, kR, kQ, 0.25, kT, 80, 120, 1, 1));
}

TEST(BarrierPrice, ZeroVolatilityFollowsTheForwardPath)
{
    // The forward path 100·e^(0.02) ≈ 102.02 stays between 95 and 105.
    const double DS = kS * std::exp(-kQ * kT);
    const double DK = 90.0 * std::exp(-kR * kT);
    EXPECT_NEAR(barrierPrice(kS, 90, kR, kQ, 0.0, kT, 0, 105, 1, 0), DS - DK, 1e-12);
    EXPECT_NEAR(barrierPrice(kS, 90, kR, kQ, 0.0, kT, 95, 0, 1, 0), DS - DK, 1e-12);
    EXPECT_NEAR(barrierPrice(kS, 90, kR, kQ, 0.0, kT, 0, 105, 0, 0), 0.0, 1e-12);
    EXPECT_NEAR(barrierPrice(kS, 90, kR, kQ, 0.0, kT, 80, 120, 1, 0), DS - DK, 1e-9);
}

TEST(BarrierPrice, NonFiniteInputsGiveNoFault)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {nan, inf, -inf, 0.0, -1.0, 1e300};
    for (double x : values) {
        // Each argument in turn, single and double barriers; only no crash or hang matters.
        for (int which = 0; which < 8; ++which) {
            double a[8] = {100, 100, kR, kQ, 0.25, kT, 80, 120};
            a[which] = x;
            for (int knockOut : {0, 1}) {
                (void)barrierPrice(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], knockOut, 0);
                (void)barrierPrice(a[0], a[1], a[2], a[3], a[4], a[5], a[6], 0, knockOut, 1);
                (void)barrierPrice(a[0], a[1], a[2], a[3], a[4], a[5], 0, a[7], knockOut, 0);
                (void)tarvic::doubleBarrierSeries(a[0], a[1], a[6], a[7], a[5], a[2], a[2] - a[3],
                                                  a[4], x, -x, knockOut, 1);
            }
        }
    }
    EXPECT_TRUE(std::isnan(barrierPrice(nan, 100, kR, kQ, 0.25, kT, 95, 0, 1, 0)));
}

TEST(BarrierSensitivities, FarBarrierMatchesTheVanillaGreeks)
{
    // A down barrier far below the spot leaves the vanilla contract, so the
    // differenced Greeks must match the analytic ones.
    for (int type : {0, 1}) {
        const tarvic::SpotSensitivities b =
            tarvic::barrierSensitivities(100, 100, kR, kQ, 0.25, kT, 1.0, 0, 1, type);
        const tarvic::SpotSensitivities v =
            tarvic::blackScholesSensitivities(100, 100, kR, kQ, 0.25, kT, type);
        EXPECT_NEAR(b.value, v.value, 1e-12);
        EXPECT_NEAR(b.delta, v.delta, 1e-8);
        EXPECT_NEAR(b.gamma, v.gamma, 1e-6);
        EXPECT_NEAR(b.theta, v.theta, 1e-6);
        EXPECT_NEAR(b.vega, v.vega, 1e-6);
    }
}

}  // namespace
