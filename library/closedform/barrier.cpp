#include <cmath>

#include "closedform/closed_form.h"

namespace tarvic {

namespace {

// Weight times a difference of probabilities. For a tiny volatility the
// image weight (H/S)^k may overflow while the difference underflows to 0;
// the term is then 0, not inf·0.
double weighted(double weight, double difference)
{
    return difference == 0.0 ? 0.0 : weight * difference;
}

// Value of the vanilla option that a knock-in becomes once the barrier has
// been touched. A spot at or below 0 stays there: the call is worthless and
// the put pays the discounted strike.
double vanillaValue(double S, double K, double r, double q, double sigma, double T, bool call)
{
    if (S > 0.0)
        return blackScholesPrice(S, K, r, q, sigma, T, call ? 0 : 1);
    return call ? 0.0 : K * std::exp(-r * T);
}

// The arguments and weights of the Reiner–Rubinstein single-barrier formulas.
struct SingleBarrierTerms {
    double DS, DK;
    double Pplus, Pminus;  // (H/S)^(k+1), (H/S)^(k-1), k = 2(r-q)/sigma²
    double Na1, Na2, Nb1, Nb2, Nc1, Nc2, Ne1, Ne2;
    double Nmb1, Nmb2, Nme1, Nme2, Nma1, Nma2, Nmc1, Nmc2;  // N(-x)
};

SingleBarrierTerms singleBarrierTerms(double S, double K, double r, double q, double sigma,
                                      double T, double H)
{
    const double v = sigma * std::sqrt(T);
    const double muT = (r - q) * T;
    const double k = 2.0 * (r - q) / (sigma * sigma);
    const double a1 = (std::log(S / K) + muT) / v + 0.5 * v;
    const double b1 = (std::log(S / H) - muT) / v + 0.5 * v;
    const double c1 = (std::log(S / H) + muT) / v + 0.5 * v;
    const double e1 = (std::log(S * K / (H * H)) - muT) / v + 0.5 * v;
    const double a2 = a1 - v, b2 = b1 - v, c2 = c1 - v, e2 = e1 - v;

    SingleBarrierTerms t;
    t.DS = S * std::exp(-q * T);
    t.DK = K * std::exp(-r * T);
    t.Pplus = std::pow(H / S, k + 1.0);
    t.Pminus = std::pow(H / S, k - 1.0);
    t.Na1 = normalCdf(a1), t.Na2 = normalCdf(a2);
    t.Nb1 = normalCdf(b1), t.Nb2 = normalCdf(b2);
    t.Nc1 = normalCdf(c1), t.Nc2 = normalCdf(c2);
    t.Ne1 = normalCdf(e1), t.Ne2 = normalCdf(e2);
    t.Nma1 = normalCdf(-a1), t.Nma2 = normalCdf(-a2);
    t.Nmb1 = normalCdf(-b1), t.Nmb2 = normalCdf(-b2);
    t.Nmc1 = normalCdf(-c1), t.Nmc2 = normalCdf(-c2);
    t.Nme1 = normalCdf(-e1), t.Nme2 = normalCdf(-e2);
    return t;
}

// Up barrier H above the spot, 0 < S < H.
double upBarrier(const SingleBarrierTerms& t, double K, double H, bool knockOut, bool call,
                 double vanilla)
{
    const bool strikeBelow = K < H;
    if (call) {
        if (!strikeBelow)
            return knockOut ? 0.0 : vanilla;
        if (knockOut)
            return t.DS * (t.Na1 - t.Nc1 - weighted(t.Pplus, t.Nb2 - t.Ne2)) -
                   t.DK * (t.Na2 - t.Nc2 - weighted(t.Pminus, t.Nb1 - t.Ne1));
        return t.DS * (t.Nc1 + weighted(t.Pplus, t.Nb2 - t.Ne2)) -
               t.DK * (t.Nc2 + weighted(t.Pminus, t.Nb1 - t.Ne1));
    }
    if (strikeBelow) {
        if (knockOut)
            return t.DK * (t.Nma2 - weighted(t.Pminus, t.Ne1)) -
                   t.DS * (t.Nma1 - weighted(t.Pplus, t.Ne2));
        return t.DK * weighted(t.Pminus, t.Ne1) - t.DS * weighted(t.Pplus, t.Ne2);
    }
    if (knockOut)
        return t.DK * (t.Nmc2 - weighted(t.Pminus, t.Nb1)) -
               t.DS * (t.Nmc1 - weighted(t.Pplus, t.Nb2));
    return t.DK * (t.Nc2 - t.Na2 + weighted(t.Pminus, t.Nb1)) -
           t.DS * (t.Nc1 - t.Na1 + weighted(t.Pplus, t.Nb2));
}

// Down barrier H below the spot, 0 < H < S.
double downBarrier(const SingleBarrierTerms& t, double K, double H, bool knockOut, bool call,
                   double vanilla)
{
    const bool strikeBelow = K < H;
    if (call) {
        if (strikeBelow) {
            if (knockOut)
                return t.DS * (t.Nc1 - weighted(t.Pplus, t.Nmb2)) -
                       t.DK * (t.Nc2 - weighted(t.Pminus, t.Nmb1));
            return t.DS * (t.Na1 - t.Nc1 + weighted(t.Pplus, t.Nmb2)) -
                   t.DK * (t.Na2 - t.Nc2 + weighted(t.Pminus, t.Nmb1));
        }
        if (knockOut)
            return t.DS * (t.Na1 - weighted(t.Pplus, t.Nme2)) -
                   t.DK * (t.Na2 - weighted(t.Pminus, t.Nme1));
        return t.DS * weighted(t.Pplus, t.Nme2) - t.DK * weighted(t.Pminus, t.Nme1);
    }
    if (strikeBelow)
        return knockOut ? 0.0 : vanilla;
    if (knockOut)
        return t.DS * (t.Na1 - t.Nc1 - weighted(t.Pplus, t.Nb2 - t.Ne2)) -
               t.DK * (t.Na2 - t.Nc2 - weighted(t.Pminus, t.Nb1 - t.Ne1));
    return t.DS * (-t.Nmc1 + weighted(t.Pplus, t.Nb2 - t.Ne2)) -
           t.DK * (-t.Nmc2 + weighted(t.Pminus, t.Nb1 - t.Ne1));
}

double singleBarrier(double S, double K, double r, double q, double sigma, double T, double H,
                     bool down, bool knockOut, bool call)
{
    // At or past the barrier the option has been knocked already.
    const bool touched = down ? S <= H : S >= H;
    if (touched)
        return knockOut ? 0.0 : vanillaValue(S, K, r, q, sigma, T, call);
    // Below an up barrier with no asset left: it never reaches the barrier.
    if (S <= 0.0) {
        if (call)
            return 0.0;
        return knockOut ? K * std::exp(-r * T) : 0.0;
    }
    const SingleBarrierTerms terms = singleBarrierTerms(S, K, r, q, sigma, T, H);
    const double vanilla = blackScholesPrice(S, K, r, q, sigma, T, call ? 0 : 1);
    return down ? downBarrier(terms, K, H, knockOut, call, vanilla)
                : upBarrier(terms, K, H, knockOut, call, vanilla);
}

}  // namespace

double barrierPrice(double S, double K, double r, double q, double sigma, double T, double L,
                    double U, int32_t knockOut, int32_t optionType)
{
    if (sigma == 0.0)
        sigma = kZeroVolatility;
    const bool call = optionType == 0;
    const bool lowerOnly = L > 0.0 && U == 0.0;
    const bool upperOnly = L == 0.0 && U > 0.0;
    if (L > 0.0 && U > 0.0 && L < U)
        return doubleBarrierSeries(S, K, L, U, T, r, r - q, sigma, 0.0, 0.0, knockOut,
                                   call ? 0 : 1);
    if (!lowerOnly && !upperOnly)
        return 0.0;
    if (knockOut != 0 && knockOut != 1)
        return kNotPriced;
    return singleBarrier(S, K, r, q, sigma, T, lowerOnly ? L : U, lowerOnly, knockOut == 1, call);
}

SpotSensitivities barrierSensitivities(double S, double K, double r, double q, double sigma,
                                       double T, double L, double U, int32_t knockOut,
                                       int32_t optionType)
{
    auto atSpot = [&](double spot) {
        return barrierPrice(spot, K, r, q, sigma, T, L, U, knockOut, optionType);
    };
    auto atExpiry = [&](double expiry) {
        return barrierPrice(S, K, r, q, sigma, expiry, L, U, knockOut, optionType);
    };
    auto atVolatility = [&](double vol) {
        return barrierPrice(S, K, r, q, vol, T, L, U, knockOut, optionType);
    };

    SpotSensitivities out;
    out.value = atSpot(S);
    out.delta = (atSpot(S + 0.0001) - atSpot(S - 0.0001)) * 0.5 / 0.0001;
    // Five-point second difference with h = 0.005 (12h² = 0.0003).
    out.gamma = (16.0 * atSpot(S + 0.005) - atSpot(S + 0.01) - 30.0 * out.value +
                 16.0 * atSpot(S - 0.005) - atSpot(S - 0.01)) / 0.0003;
    out.theta = (atExpiry(T - 1e-7) - atExpiry(T + 1e-7)) * 0.5 / 1e-7;
    out.vega = (atVolatility(sigma + 1e-6) - atVolatility(sigma - 1e-6)) * 0.5 / 1e-6;
    return out;
}

}  // namespace tarvic
