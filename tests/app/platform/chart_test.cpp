// The chart control: the data grid drawn as XY curves, automatic scales
// readable back, and the printf form of its label patterns.
#include "platform/chart.h"
#include "platform/number_rules.h"
#include "platform/runtime_error.h"

#include <QApplication>
#include <QTest>
#include <QLineSeries>
#include <QChart>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

using tarvic::ChartControl;

namespace {

void fill(ChartControl& c, const std::vector<QPointF>& points)
{
    c.setRowCount(static_cast<int>(points.size()));
    c.setColumnCount(2);
    for (size_t i = 0; i < points.size(); ++i) {
        c.SetData(static_cast<int>(i) + 1, 1, points[i].x(), 0);
        c.SetData(static_cast<int>(i) + 1, 2, points[i].y(), 0);
    }
}

TEST(ChartControlTest, DrawsColumnPairsAsCurves)
{
    ChartControl c;
    c.setChartType(16);
    c.setRowCount(3);
    c.setColumnCount(4);
    for (int r = 1; r <= 3; ++r) {
        c.SetData(r, 1, r, 0);
        c.SetData(r, 2, r * r, 0);
        c.SetData(r, 3, r, 0);
        c.SetData(r, 4, 5.0, 0);
    }
    c.SetData(2, 4, 99.0, 1);  // a null point is left out
    c.refresh();
    EXPECT_EQ(c.curveCount(), 2);
    EXPECT_EQ(c.curvePoints(1), (QVector<QPointF>{{1, 1}, {2, 4}, {3, 9}}));
    EXPECT_EQ(c.curvePoints(2), (QVector<QPointF>{{1, 5}, {3, 5}}));
    const auto series = c.qtChart()->series();
    ASSERT_EQ(series.size(), 2);
    EXPECT_EQ(static_cast<QLineSeries*>(series[0])->count(), 3);

    // A new row count empties the grid.
    c.setRowCount(0);
    c.refresh();
    EXPECT_TRUE(c.curvePoints(1).isEmpty());
}

// The automatic limits are round decimals, exactly: the steps of the
// nice-number rule worked out in binary miss them by a hair.
TEST(ChartControlTest, AutomaticLimitsAreTheRoundDecimals)
{
    const struct {
        double low, high;
        double minimum, maximum;
    } cases[] = {
        {-0.0243, -0.0183, -0.026, -0.018},
        {0.0, 0.1225, 0.0, 0.15},
        {-0.0003, 0.0, -0.0003, 0.0},
        {-0.3, 17.9, -5.0, 20.0},
    };
    for (const auto& c : cases) {
        ChartControl chart;
        fill(chart, {{0, c.low}, {1, (c.low + c.high) / 2}, {2, c.high}});
        const tarvic::ChartAxis& y = chart.Axis(1);
        EXPECT_EQ(y.minimum(), c.minimum) << c.low << " to " << c.high;
        EXPECT_EQ(y.maximum(), c.maximum) << c.low << " to " << c.high;
        EXPECT_EQ(tarvic::exactNumberText(y.maximum()), tarvic::numberText(c.maximum));
    }
}

TEST(ChartControlTest, AutomaticScaleIsReadBackAndASetLimitEndsIt)
{
    ChartControl c;
    fill(c, {{0, -0.3}, {50, 4.2}, {200, 17.9}});
    tarvic::ChartAxis& y = c.Axis(1);
    EXPECT_TRUE(y.valueScaleAuto());
    // Nice limits around the data, on whole steps of the divisions.
    EXPECT_LE(y.minimum(), -0.3);
    EXPECT_GE(y.maximum(), 17.9);
    EXPECT_LT(y.maximum() - y.minimum(), 2 * 18.2);
    const double step = (y.maximum() - y.minimum()) / y.majorDivision();
    EXPECT_NEAR(std::remainder(y.maximum(), step), 0.0, 1e-9);

    tarvic::ChartAxis& x = c.Axis(0);
    x.setMinimum(10);
    EXPECT_FALSE(x.valueScaleAuto());
    EXPECT_EQ(x.minimum(), 10.0);
    x.setValueScaleAuto(true);
    EXPECT_EQ(x.minimum(), 0.0);
    EXPECT_EQ(x.maximum(), 200.0);
}

TEST(ChartControlTest, OutOfRangeCallsRaiseInvalidPropertyValue)
{
    ChartControl c;
    c.setRowCount(2);
    c.setColumnCount(2);
    const std::function<void()> calls[] = {
        [&] { c.SetData(3, 1, 0, 0); },
        [&] { c.SetData(1, 0, 0, 0); },
        [&] { c.setRowCount(32768); },
        [&] { c.Axis(2); },
    };
    for (const auto& call : calls) {
        int number = 0;
        tarvic::RunTrapped(call, [&] { number = tarvic::Err().Number; });
        EXPECT_EQ(number, 380);
    }
    c.setRowCount(32767);  // a signed 16-bit count
    EXPECT_EQ(c.RowCount(), 32767);
}

// What lies at a position: the nearest point of any curve within reach,
// else an axis beside the plot, else the plot; cells read back with their
// null flags.
TEST(ChartControlTest, HitTestNamesPointsAndAxesAndCellsReadBack)
{
    ChartControl c;
    c.resize(600, 400);
    c.setRowCount(3);
    c.setColumnCount(4);
    for (int r = 1; r <= 3; ++r) {
        c.SetData(r, 1, 100.0 * r, 0);
        c.SetData(r, 2, r, 0);
        c.SetData(r, 3, 100.0 * r, 0);
        c.SetData(r, 4, 2.5, 0);
    }
    c.SetData(3, 4, 0.0, 1);
    c.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&c));
    c.refresh();
    QApplication::processEvents();
    const QRectF plot = c.plotRect();
    ASSERT_TRUE(plot.isValid());
    ASSERT_TRUE(QRectF(c.rect()).contains(plot));

    const QPointF second = c.pointPosition(1, 2);
    tarvic::ChartPart part = c.partAt(second + QPointF(2, -2));
    EXPECT_EQ(part.type, tarvic::ChartPartType::Point);
    EXPECT_EQ(part.curve, 1);
    EXPECT_EQ(part.row, 2);
    part = c.TwipsToChartPart(static_cast<int>(c.pointPosition(2, 1).x() * 15),
                              static_cast<int>(c.pointPosition(2, 1).y() * 15));
    EXPECT_EQ(part.type, tarvic::ChartPartType::Point);
    EXPECT_EQ(part.curve, 2);
    EXPECT_EQ(part.row, 1);
    // The point left out is not there to hit.
    EXPECT_NE(c.partAt(c.pointPosition(2, 3)).curve, 2);

    const auto partAt = [&c](double x, double y) { return c.partAt(QPointF(x, y)); };
    EXPECT_EQ(partAt(plot.center().x(), plot.bottom() + 8).type, tarvic::ChartPartType::Axis);
    EXPECT_EQ(partAt(plot.center().x(), plot.bottom() + 8).axis, 0);
    EXPECT_EQ(partAt(plot.left() - 8, plot.center().y()).axis, 1);
    EXPECT_EQ(partAt(plot.left() + 0.3 * plot.width(), plot.top() + 5).type,
              tarvic::ChartPartType::Plot);

    int null = -1;
    EXPECT_EQ(c.GetData(2, 1, &null), 200.0);
    EXPECT_EQ(null, 0);
    c.GetData(3, 4, &null);
    EXPECT_EQ(null, 1);
    int number = 0;
    tarvic::RunTrapped([&] { c.GetData(4, 1); }, [&] { number = tarvic::Err().Number; });
    EXPECT_EQ(number, 380);
}

TEST(ChartLabelRules, AutomaticValueLabelsShowTheStepWhole)
{
    EXPECT_EQ(tarvic::valueLabelFormat(1.2 / 6, 1.0), QStringLiteral("%.1f"));
    EXPECT_EQ(tarvic::valueLabelFormat(0.25, 2.0), QStringLiteral("%.2f"));
    EXPECT_EQ(tarvic::valueLabelFormat(50.0, 400.0), QStringLiteral("%.0f"));
    EXPECT_EQ(tarvic::valueLabelFormat(2e-4, 1e-3), QStringLiteral("%.4f"));
    EXPECT_EQ(tarvic::valueLabelFormat(1.0 / 3.0, 1.0), QStringLiteral("%g"));
    EXPECT_EQ(tarvic::valueLabelFormat(5e5, 2e6), QStringLiteral("%g"));
    EXPECT_EQ(tarvic::valueLabelFormat(2e-8, 1e-7), QStringLiteral("%g"));
}

// A tick that stands for 0 prints as 0: not as a hair below it in fixed
// decimals, nor as a hair above it where the labels take the %g form
// (a range of hundreds of millions).
struct ZeroTickCase {
    const char* name;
    std::vector<QPointF> points;
};

class ZeroTickTest : public ::testing::TestWithParam<ZeroTickCase> {};

TEST_P(ZeroTickTest, PrintsAsZero)
{
    ChartControl c;
    fill(c, GetParam().points);
    c.refresh();
    tarvic::ChartAxis& y = c.Axis(1);
    const double step = (y.maximum() - y.minimum()) / y.majorDivision();
    ASSERT_LE(y.minimum(), 0.0);
    const auto* axis = static_cast<QValueAxis*>(c.qtChart()->axes(Qt::Vertical).front());
    const QByteArray format = axis->labelFormat().toLatin1();
    bool zeroSeen = false;
    for (int i = 0; i <= y.majorDivision(); ++i) {
        const double value = axis->min() + i * (axis->max() - axis->min()) / (axis->tickCount() - 1);
        const QString label = QString::asprintf(format.constData(), value);
        EXPECT_FALSE(label.startsWith(QStringLiteral("-0")) && label.toDouble() == 0.0) << label.toStdString();
        zeroSeen = zeroSeen || label.toDouble() == 0.0;
    }
    EXPECT_TRUE(zeroSeen);
    EXPECT_LT(std::fabs(axis->min() - y.minimum()), 1e-6 * step);
}

INSTANTIATE_TEST_SUITE_P(ChartLabelRules, ZeroTickTest,
                         ::testing::Values(ZeroTickCase{"FixedDecimals", {{0, -0.2}, {300, 1.0}}},
                                           ZeroTickCase{"HundredsOfMillions", {{0, 0.0}, {300, 2e8}}},
                                           ZeroTickCase{"BothSidesOfZeroInMillions", {{0, -3e6}, {300, 7e6}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChartLabelRules, PrintfFormOfDisplayPatterns)
{
    EXPECT_EQ(tarvic::chartLabelFormat(QStringLiteral("###0.000")), QStringLiteral("%.3f"));
    EXPECT_EQ(tarvic::chartLabelFormat(QStringLiteral("#,###")), QStringLiteral("%.0f"));
    EXPECT_EQ(tarvic::chartLabelFormat(QStringLiteral("#.#e##")), QStringLiteral("%.1e"));
}

}  // namespace
