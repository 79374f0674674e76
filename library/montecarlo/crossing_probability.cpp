#include "montecarlo/crossing_probability.h"

#include <algorithm>
#include <cmath>

namespace tarvic {

double doubleBarrierSurvivalProbability(double sPrev, double s, double lower, double upper, double sigma,
                                        double dt, double& gS, double& gSS, double& gSigma, double& gT,
                                        int flag)
{
    const double c = sPrev * sPrev * sigma * sigma * dt;
    const double width = upper - lower;
    double q = 0.0;
    double sigmaSum = 0.0;  // sum of e2 E2 - e1 E1: the exponents scale like 1/sigma^2 and 1/dt
    double s1 = 0.0;
    double s2 = 0.0;
    for (int n = -3; n <= 3; ++n) {
        const double a = n * width;
        const double e1 = -2.0 * a * (s + a - sPrev) / c;
        const double e2 = -2.0 * (sPrev + a - upper) * (s + a - upper) / c;
        const double E1 = std::exp(e1);
        const double E2 = std::exp(e2);
        q += E1 - E2;
        sigmaSum += e2 * E2 - e1 * E1;
        if (flag == 0) {
            // First and second derivatives of the exponents with respect to sPrev.
            const double f1 = (1.0 - 2.0 * (s + a) / sPrev) * (-2.0 * a) / c;
            const double f2 = (2.0 * (a - upper) / sPrev + 1.0) * 2.0 * (s + a - upper) / c;
            const double k1 = 4.0 * a / (c * sPrev) - 12.0 * a * (s + a) / (c * sPrev * sPrev);
            const double k2 = -4.0 * (s + a - upper) / (c * sPrev) -
                              12.0 * (s + a - upper) * (a - upper) / (c * sPrev * sPrev);
            s1 += f1 * E1 - f2 * E2;
            s2 += (k1 + f1 * f1) * E1 - (k2 + f2 * f2) * E2;
        }
    }
    gSigma = 2.0 / sigma * sigmaSum / q;
    gT = sigmaSum / q / dt;
    if (flag == 0) {
        gS = s1 / q;
        gSS = s2 / q;
    }
    return q;
}

int doubleBarrierLogTermCount(double spot, double sigma2T, double lower, double upper)
{
    const double reach = spot * (std::exp(std::sqrt(sigma2T)) - 1.0) / (upper - lower);
    // The cap is reached from 10 on; the test also keeps a huge or undefined
    // reach out of the integer conversion.
    const int m = reach < 10.0 ? 2 * static_cast<int>(reach) : 20;
    const int least = sigma2T > 0.5 ? 3 : 2;
    return std::max(m, least);
}

double doubleBarrierSurvivalProbabilityLogTerms(double v, double w, double x2l, double x21, double x1l,
                                                double sigma, double dt, double spot, double& gS,
                                                double& gSS, double& gSigma, double& gT, int flag,
                                                int terms)
{
    double q = 0.0;
    double sigmaSum = 0.0;
    double s1 = 0.0;
    double s2 = 0.0;
    for (int n = -terms; n <= terms; ++n) {
        const double nw = n * w;
        const double e1 = -2.0 * nw * (nw + x21) / v;
        const double e2 = -2.0 * (nw + x1l) * (nw + x2l) / v;
        const double E1 = std::exp(e1);
        const double E2 = std::exp(e2);
        q += E1 - E2;
        sigmaSum += e2 * E2 - e1 * E1;
        if (flag == 0) {
            // d e1 / d ln S_prev and -d e2 / d ln S_prev; both exponents are
            // linear in ln S_prev, so the second derivatives are the squares.
            const double A = 2.0 * nw / v;
            const double B = A + 2.0 * x2l / v;
            s1 += A * E1 + B * E2;
            s2 += A * A * E1 - B * B * E2;
        }
    }
    gSigma = 2.0 / sigma * sigmaSum / q;
    gT = sigmaSum / q / dt;
    if (flag == 0) {
        gS = s1 / q / spot;
        gSS = (s2 - s1) / q / (spot * spot);
    }
    return q;
}

double doubleBarrierSurvivalProbabilityLog(double v, double w, double x2l, double x21, double x1l,
                                           double sigma, double dt, double spot, double& gS, double& gSS,
                                           double& gSigma, double& gT, int flag, double sigma2T,
                                           double lower, double upper)
{
    return doubleBarrierSurvivalProbabilityLogTerms(v, w, x2l, x21, x1l, sigma, dt, spot, gS, gSS, gSigma, gT,
                                                    flag, doubleBarrierLogTermCount(spot, sigma2T, lower, upper));
}

}  // namespace tarvic
