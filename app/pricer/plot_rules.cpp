#include "pricer/plot_rules.h"

namespace tarvic {

QString xAxisLabelPattern(double span, double maximum, QChar separator)
{
    const bool point = separator == QLatin1Char('.');
    const bool comma = separator == QLatin1Char(',');
    if (!point && !comma)
        return QString();
    const auto pick = [point](const char* dot, const char* com) {
        return QString::fromLatin1(point ? dot : com);
    };
    if (span <= 0.1)
        return maximum < 1000.0 ? pick("###0.000", "###0,000") : pick("###0.00", "###0,00");
    if (span <= 10.0)
        return pick("###0.00", "###0,00");
    if (span <= 100.0)
        return pick("###0.0", "###0,0");
    if (span <= 1e9)
        return pick("#,###", "#.###");
    return pick("#.#e##", "#,#e##");
}

bool spotKnockedIn(Payoff payoff, double spot, double upBarrier, double downBarrier)
{
    if (!isKnockIn(payoff))
        return false;
    const bool up = hasUpBarrier(payoff) && upBarrier > 0.0 && spot >= upBarrier;
    const bool down = hasDownBarrier(payoff) && downBarrier > 0.0 && spot <= downBarrier;
    return up || down;
}

bool startsWithNumber(const QString& text)
{
    const auto digit = [&text](qsizetype i) {
        return i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9');
    };
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    if (digit(i))
        return true;
    return i < text.size() && text[i] == QLatin1Char('.') && digit(i + 1);
}

}  // namespace tarvic
