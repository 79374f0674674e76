// Crossing probabilities of one step: limits, agreement between the single
// and the double barrier, and the log-derivatives against differences.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "montecarlo/crossing_probability.h"

namespace tarvic {
namespace {

struct Step {
    double sPrev, s, lower, upper, sigma, dt;
};

// Q of the log form at a step, with the term count chosen from the step.
double logQ(const Step& k, double& gS, double& gSS, double& gSigma, double& gT, int flag)
{
    const double sigma2T = 0.1;
    const double lnL = std::log(k.lower);
    return doubleBarrierSurvivalProbabilityLog(k.sigma * k.sigma * k.dt, std::log(k.upper / k.lower),
                                               std::log(k.s) - lnL, std::log(k.s) - std::log(k.sPrev),
                                               std::log(k.sPrev) - lnL, k.sigma, k.dt, k.sPrev, gS, gSS, gSigma,
                                               gT, flag, sigma2T, k.lower, k.upper);
}

double eulerQ(const Step& k, double& gS, double& gSS, double& gSigma, double& gT, int flag)
{
    return doubleBarrierSurvivalProbability(k.sPrev, k.s, k.lower, k.upper, k.sigma, k.dt, gS, gSS, gSigma, gT,
                                            flag);
}

using QFunction = std::function<double(const Step&, double&, double&, double&, double&, int)>;

double qOnly(const QFunction& q, const Step& k)
{
    double a, b, c, d;
    return q(k, a, b, c, d, 1);
}

TEST(CrossingProbability, SingleBarrierTouchIsCertainOnOrBeyondTheBarrier)
{
    EXPECT_EQ(singleBarrierHitProbabilityLog(100.0, 120.0, 120.0, 0.2, 0.1), 1.0);
    EXPECT_GT(singleBarrierHitProbabilityLog(100.0, 125.0, 120.0, 0.2, 0.1), 1.0);
    EXPECT_EQ(singleBarrierHitProbability(100.0, 120.0, 120.0, 0.2, 0.1), 1.0);
    EXPECT_GT(singleBarrierHitProbability(100.0, 80.0, 90.0, 0.2, 0.1), 1.0);
    // The log form is the exact no-touch law of a Brownian bridge of ln S:
    // P = exp(-2 ln(S0/B) ln(S1/B) / (sigma^2 dt)).
    EXPECT_DOUBLE_EQ(singleBarrierHitProbabilityLog(100.0, 110.0, 120.0, 0.2, 0.25),
                     std::exp(-2.0 * std::log(100.0 / 120.0) * std::log(110.0 / 120.0) / (0.04 * 0.25)));
}

TEST(CrossingProbability, DoubleBarrierWithOneFarSideIsTheSingleBarrier)
{
    const Step k{100.0, 104.0, 1.0, 115.0, 0.3, 0.2};
    const double pLog = singleBarrierHitProbabilityLog(k.sPrev, k.s, k.upper, k.sigma, k.dt);
    const double pEuler = singleBarrierHitProbability(k.sPrev, k.s, k.upper, k.sigma, k.dt);
    EXPECT_NEAR(qOnly(logQ, k), 1.0 - pLog, 1e-12);
    // With a lower barrier near 0 the Euler form's images are far away too.
    EXPECT_NEAR(qOnly(eulerQ, k), 1.0 - pEuler, 1e-12);
    // A short step far inside hardly ever touches.
    const Step inside{100.0, 101.0, 80.0, 120.0, 0.2, 1.0 / 365.0};
    EXPECT_NEAR(qOnly(logQ, inside), 1.0, 1e-12);
    EXPECT_NEAR(qOnly(eulerQ, inside), 1.0, 1e-12);
    EXPECT_LT(qOnly(logQ, inside), 1.0 + 1e-15);
}

TEST(CrossingProbability, DoubleBarrierIsBelowEachSingleBarrier)
{
    // Staying inside two barriers is less likely than avoiding either one.
    const Step k{100.0, 98.0, 90.0, 110.0, 0.3, 0.25};
    const double q = qOnly(logQ, k);
    const double pU = singleBarrierHitProbabilityLog(k.sPrev, k.s, k.upper, k.sigma, k.dt);
    const double pL = singleBarrierHitProbabilityLog(k.sPrev, k.s, k.lower, k.sigma, k.dt);
    EXPECT_LT(q, 1.0 - pU);
    EXPECT_LT(q, 1.0 - pL);
    EXPECT_GT(q, 1.0 - pU - pL);  // inclusion-exclusion: the paths touching both are counted twice
}

TEST(CrossingProbability, LogFormTermCount)
{
    EXPECT_EQ(doubleBarrierLogTermCount(100.0, 0.04, 80.0, 120.0), 2);   // 5 terms
    EXPECT_EQ(doubleBarrierLogTermCount(100.0, 0.6, 40.0, 300.0), 3);    // 7 terms
    EXPECT_EQ(doubleBarrierLogTermCount(100.0, 1.0, 99.0, 101.0), 20);   // 41 terms, capped
    EXPECT_EQ(doubleBarrierLogTermCount(100.0, 0.25, 95.0, 105.0), 12);  // 2 trunc(100 (e^0.5 - 1) / 10)
}

struct DerivativeCase {
    const char* form;
    QFunction q;
};

TEST(CrossingProbability, LogDerivativesMatchDifferences)
{
    const DerivativeCase forms[] = {{"log", logQ}, {"Euler", eulerQ}};
    const Step steps[] = {
        {100.0, 103.0, 90.0, 112.0, 0.3, 0.1},
        {95.0, 92.0, 85.0, 120.0, 0.25, 0.25},
        {101.0, 108.0, 97.0, 110.0, 0.2, 0.05},
    };
    for (const DerivativeCase& form : forms)
        for (const Step& k : steps) {
            double gS = 0, gSS = 0, gSigma = 0, gT = 0;
            const double q = form.q(k, gS, gSS, gSigma, gT, 0);
            const double hs = 1e-4 * k.sPrev;
            Step up = k, down = k;
            up.sPrev += hs;
            down.sPrev -= hs;
            const double qu = qOnly(form.q, up), qd = qOnly(form.q, down);
            EXPECT_NEAR(gS, (qu - qd) / (2 * hs) / q, 1e-6 * (1 + std::fabs(gS))) << form.form;
            EXPECT_NEAR(gSS, (qu - 2 * q + qd) / (hs * hs) / q, 1e-4 * (1 + std::fabs(gSS))) << form.form;
            Step vu = k, vd = k;
            vu.sigma += 1e-6;
            vd.sigma -= 1e-6;
            EXPECT_NEAR(gSigma, (qOnly(form.q, vu) - qOnly(form.q, vd)) / 2e-6 / q, 1e-5 * (1 + std::fabs(gSigma)))
                << form.form;
            Step tu = k, td = k;
            tu.dt += 1e-7;
            td.dt -= 1e-7;
            EXPECT_NEAR(gT, (qOnly(form.q, tu) - qOnly(form.q, td)) / 2e-7 / q, 1e-4 * (1 + std::fabs(gT)))
                << form.form;
        }
}

TEST(CrossingProbability, SpotDerivativesOnlyWithFlagZero)
{
    const Step k{100.0, 103.0, 90.0, 112.0, 0.3, 0.1};
    for (int form = 0; form < 2; ++form) {
        double gS = 7.0, gSS = 8.0, gSigma = 0.0, gT = 0.0;
        if (form == 0)
            logQ(k, gS, gSS, gSigma, gT, 3);
        else
            eulerQ(k, gS, gSS, gSigma, gT, 3);
        EXPECT_EQ(gS, 7.0);
        EXPECT_EQ(gSS, 8.0);
        EXPECT_NE(gSigma, 0.0);
        EXPECT_NE(gT, 0.0);
    }
}

}  // namespace
}  // namespace tarvic
