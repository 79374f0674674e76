#include "pricer/plot_rules.h"

#include "platform/number_rules.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace tarvic {

namespace {

// Ranges within this are the same range.
constexpr double kSameRange = 1e-10;
// How far past the last node the X range may end (the box's text of it).
constexpr double kPastLastNode = 1e-11;

bool finite(double a, double b, double c, double d)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// A value rounded halves to even into 32 bits, or none when it does not fit.
std::optional<int32_t> whole32(double value)
{
    const double r = roundHalfEven(value);
    if (!(r >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
          r <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        return std::nullopt;
    return static_cast<int32_t>(r);
}

// 10 to the power 11 less the magnitude of the larger end of an axis, or
// none for an axis without one.
std::optional<double> tipScale(double lower, double upper)
{
    const double m = std::fabs(upper) >= std::fabs(lower) ? std::fabs(upper) : std::fabs(lower);
    if (!(m > 0.0) || !std::isfinite(m))
        return std::nullopt;
    const double magnitude = roundHalfEven(std::log10(m));
    return std::pow(10.0, 11.0 - magnitude);
}

}  // namespace

PlotRangeReading readPlotRange(const PlotRangeTexts& t, const PlotRangeLimits& l)
{
    using Verdict = PlotRangeReading::Verdict;
    PlotRangeReading r;
    if (t.xMin.isEmpty() || t.xMax.isEmpty() || t.yMin.isEmpty() || t.yMax.isEmpty())
        return r;
    r.xMin = Val(t.xMin);
    r.xMax = Val(t.xMax);
    r.yMin = Val(t.yMin);
    r.yMax = Val(t.yMax);
    if (!finite(r.xMin, r.xMax, r.yMin, r.yMax))
        return r;
    // Y must rise; X must span a step at least and stay within the results
    // (the top a hair's breadth over, as its own text may read).
    if (r.yMin >= r.yMax || r.xMin + l.gridStep > r.xMax || r.xMin < l.firstNode ||
        r.xMax - l.lastNode > kPastLastNode)
        return r;
    const bool changed = std::fabs(r.yMax - l.shownYMax) > kSameRange ||
                         std::fabs(r.yMin - l.shownYMin) > kSameRange ||
                         std::fabs(r.xMax - l.shownXMax) > kSameRange ||
                         std::fabs(r.xMin - l.shownXMin) > kSameRange;
    const bool aZero = r.xMin == 0.0 || r.xMax == 0.0 || r.yMin == 0.0 || r.yMax == 0.0;
    r.verdict = changed || aZero ? Verdict::Apply : Verdict::Unchanged;
    return r;
}

QString appliedXLabelPattern(double span)
{
    if (span <= 1.2)
        return QStringLiteral("###0.00");
    if (span <= 12.0)
        return QStringLiteral("###0.0");
    return QStringLiteral("###0");
}

ZeroGridline zeroGridlineDivisions(double yMin, double yMax)
{
    using Outcome = ZeroGridline::Outcome;
    ZeroGridline g;
    if (!(yMin < 0.0 && yMax > 0.0))
        return g;
    const std::optional<int32_t> top = whole32(yMax * 1e9);
    int k = 5;
    for (; k <= 22; ++k) {
        const std::optional<int32_t> step = whole32((yMax - yMin) / k * 1e9);
        if (!top || !step) {
            g.outcome = Outcome::Overflow;
            return g;
        }
        if (*step == 0) {
            g.outcome = Outcome::ZeroStep;
            return g;
        }
        if (*top % *step == 0)
            break;
    }
    g.divisions = k > 22 ? 22 : k;
    return g;
}

std::optional<DataTipScale> dataTipScale(double xMin, double xMax, double yMin, double yMax)
{
    const std::optional<double> fx = tipScale(xMin, xMax);
    const std::optional<double> fy = tipScale(yMin, yMax);
    if (!fx || !fy)
        return std::nullopt;
    return DataTipScale{*fx, *fy};
}

std::optional<QString> dataTipText(const DataTipScale& scale, double x, double y,
                                   const QString& title, bool finiteDifference)
{
    const double xv = std::floor(scale.x * x) / scale.x;
    const double yv = std::floor(scale.y * y) / scale.y;
    if (!std::isfinite(xv) || !std::isfinite(yv))
        return std::nullopt;
    const QString prefix =
        finiteDifference ? QStringLiteral("Asset = ") : QStringLiteral("Number of paths run= ");
    return prefix + numberText(xv) + QStringLiteral("  ") + title + QStringLiteral(" = ") +
           numberText(yv);
}

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
