#include "pricer/common_checks.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "pricer/settled_average.h"

namespace tarvic {

bool ratesAtMostHalf(CheckTrail& trail, const ProductInputs& in)
{
    if (in.gIntRate > 0.5)
        return trail.refuse(QStringLiteral("Please enter an interest rate that does not exceed "
                                           "50%."),
                            QStringLiteral("Invalid input"), FormBox::InterestRate, true);
    if (in.gDiv > 0.5)
        return trail.refuse(QStringLiteral("Please enter a dividend yield that does not exceed "
                                           "50%."),
                            QStringLiteral("Invalid input"), FormBox::Dividend, true);
    return true;
}

bool strikeAtMostTenThousand(CheckTrail& trail, const ProductInputs& in)
{
    if (in.gStrike > 10000.0)
        return trail.refuse(QStringLiteral("Please enter an option strike that does not exceed "
                                           "10000."),
                            QStringLiteral("Invalid input"), FormBox::Strike, true);
    return true;
}

bool expiryWithin(CheckTrail& trail, const ProductInputs& in, double years)
{
    if (in.gExpiry > years || in.gExpiry < 0.0001)
        return trail.refuse(QStringLiteral("Please enter a time to expiry between 0.0001 and ") +
                                numberText(years) + QStringLiteral("Y."),
                            QStringLiteral("Unsupported input value"), FormBox::Expiry, true);
    return true;
}

bool volatilityWithinLimits(CheckTrail& trail, const ProductInputs& in)
{
    if (in.gVol > 1.0)
        return trail.refuse(QStringLiteral("The volatility cannot exceed 100%. "),
                            QStringLiteral("Unsupported input value"), FormBox::Volatility, true);
    if (in.gVol < 0.03)
        return trail.refuse(QStringLiteral("The volatility cannot be less than 3%."),
                            QStringLiteral("Unsupported input value"), FormBox::Volatility, true);
    return true;
}

int32_t fixingsToCome(const ProductInputs& in)
{
    const int64_t left = int64_t{in.gSmplPoints} - int64_t{in.gNFixed};
    if (left > INT32_MAX || left < INT32_MIN)
        RaiseError(kErrOverflow, QStringLiteral("Overflow"));
    return static_cast<int32_t>(left);
}

bool settledFixingsLeaveOneToCome(CheckTrail& trail, const ProductInputs& in)
{
    if (fixingsToCome(in) < 1)
        return trail.refuse(QStringLiteral("The number of settled fixings (observations) must be "
                                           "less than the total number of fixings."),
                            QStringLiteral("Invalid Input"), FormBox::SettledFixings);
    return true;
}

bool averageRunsAtMostTenYears(CheckTrail& trail, const ProductInputs& in)
{
    if (in.gSmplPoints * in.gExpiry / fixingsToCome(in) > 10.0)
        return trail.refuse(
            QStringLiteral("The program assumes equally spaced observation(fixing)dates with an "
                           "observation period of: [Time to expiry] / [Total number of fixings - "
                           "Number of settled fixings]. In this case it implies an average that is "
                           "running for more than 10 years. Please reduce the number of settled "
                           "fixings."),
            QStringLiteral("Unsupported input value"), FormBox::SettledFixings);
    return true;
}

bool floatingStrikeFixingsPass(CheckTrail& trail, ProductInputs& in, const QString& assetText,
                               const QString& percentPattern, const AverageLimits& limits)
{
    const double S = in.gAsset;
    const auto spotIsFirstFixing = [&](const char* sentence) {
        trail.warn(QStringLiteral("The current asset spot is always taken as the first fixing for "
                                  "Floating Strike Asian options. ") +
                       QString::fromLatin1(sentence),
                   QStringLiteral("Warning"),
                   {{FormBox::SettledAverage, assetText},
                    {FormBox::SettledFixings, QStringLiteral("1")}});
        in.gInitAvg = Val(assetText);
        in.gNFixed = 1;
    };
    if (in.gNFixed < 1) {
        spotIsFirstFixing("Resetting number of settled fixings to 1.");
        // The settled count has grown: the counts must still leave a fixing
        // to come, and an average that does not reach back too far.
        if (!settledFixingsLeaveOneToCome(trail, in) || !averageRunsAtMostTenYears(trail, in))
            return false;
    }
    if (in.gNFixed == 1 && in.gInitAvg != S)
        spotIsFirstFixing("Resetting the average of settled fixings to the asset spot.");
    // The settled average within what the model allows.
    if (in.gNFixed > 1) {
        double lower = 0.0, upper = 0.0;
        if (limits)
            limits(in, lower, upper);
        else
            settledAverageLimits(in, lower, upper);
        const auto limitStop = [&](const char* sentence, double limit) {
            return trail.resetAndStop(QString::fromLatin1(sentence) +
                                          formatNumber(limit * 100.0 / S, percentPattern) +
                                          QStringLiteral("% of the current asset level!"),
                                      QStringLiteral("Unsupported input value"),
                                      FormBox::SettledAverage, numberText(limit));
        };
        if (in.gInitAvg < lower)
            return limitStop("Based on the undelying GBM model, the average of the settled "
                             "fixings in this case cannot be less than ",
                             lower);
        if (in.gInitAvg > upper)
            return limitStop("Based on the undelying GBM model, the average of the settled "
                             "fixings in this case cannot be more than ",
                             upper);
    }
    return true;
}

}  // namespace tarvic
