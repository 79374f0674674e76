#include "platform/chart.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "platform/twips.h"

#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QLineSeries>
#include <QPen>
#include <QRegularExpression>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tarvic {
namespace {

constexpr int kMaxRows = 32767;
// How near the mouse must be to a data point to name it, in pixels.
constexpr double kPointReach = 5.0;
// How far beside its line an axis still counts, in pixels.
constexpr double kAxisReach = 3.0;

[[noreturn]] void invalidProperty()
{
    RaiseError(380, QStringLiteral("Invalid property value"));
}

}  // namespace

QString chartLabelFormat(const QString& pattern)
{
    if (pattern.isEmpty())
        return QStringLiteral("%g");
    if (pattern.contains(QLatin1Char('e'), Qt::CaseInsensitive)) {
        const qsizetype point = pattern.indexOf(QLatin1Char('.'));
        const qsizetype e = pattern.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
        const int decimals = point >= 0 && point < e ? static_cast<int>(e - point - 1) : 0;
        return QStringLiteral("%.%1e").arg(decimals);
    }
    const qsizetype point = pattern.indexOf(QLatin1Char('.'));
    int decimals = 0;
    if (point >= 0)
        for (qsizetype i = point + 1; i < pattern.size(); ++i)
            if (pattern[i] == QLatin1Char('0') || pattern[i] == QLatin1Char('#'))
                ++decimals;
    return QStringLiteral("%.%1f").arg(decimals);
}

QString valueLabelFormat(double step, double magnitude)
{
    // Fixed decimals read best while the numbers stay short; the fewest
    // that show the step whole.
    if (std::isfinite(step) && step > 0.0 && magnitude < 1e6) {
        for (int decimals = 0; decimals <= 6; ++decimals) {
            const double scaled = step * std::pow(10.0, decimals);
            if (scaled >= 1.0 - 1e-6 && std::fabs(scaled - std::round(scaled)) <= 1e-6)
                return QStringLiteral("%.%1f").arg(decimals);
        }
    }
    return QStringLiteral("%g");
}

// ---------------------------------------------------------------------------
// Axis

void ChartAxis::changed()
{
    m_owner->scheduleRefresh();
}

void ChartAxis::setTitleText(const QString& text)
{
    m_titleText = text;
    changed();
}

void ChartAxis::setTitleFontSize(double points)
{
    m_titleFontSize = points;
    changed();
}

void ChartAxis::setTitleFontStyle(int style)
{
    m_titleFontStyle = style;
    changed();
}

void ChartAxis::setLabelTick(bool onTicks)
{
    m_labelTick = onTicks;
    changed();
}

void ChartAxis::setValueScaleAuto(bool automatic)
{
    if (automatic && !m_auto) {
        m_minSet = m_maxSet = false;
        m_divisionSet = false;
    }
    if (!automatic && m_auto) {
        // The scale stays where the automatic choice put it until it is set.
        double lower = 0.0, upper = 0.0;
        int divisions = 0;
        chosenScale(lower, upper, divisions);
        if (!m_minSet)
            m_min = lower;
        if (!m_maxSet)
            m_max = upper;
        if (!m_divisionSet)
            m_majorDivision = divisions;
        m_minSet = m_maxSet = m_divisionSet = true;
    }
    m_auto = automatic;
    changed();
}

void ChartAxis::setMinimum(double value)
{
    if (m_auto)
        setValueScaleAuto(false);
    m_min = value;
    m_minSet = true;
    changed();
}

void ChartAxis::setMaximum(double value)
{
    if (m_auto)
        setValueScaleAuto(false);
    m_max = value;
    m_maxSet = true;
    changed();
}

double ChartAxis::minimum() const
{
    if (!m_auto)
        return m_min;
    double lower = 0.0, upper = 0.0;
    int divisions = 0;
    chosenScale(lower, upper, divisions);
    return lower;
}

double ChartAxis::maximum() const
{
    if (!m_auto)
        return m_max;
    double lower = 0.0, upper = 0.0;
    int divisions = 0;
    chosenScale(lower, upper, divisions);
    return upper;
}

void ChartAxis::setMajorDivision(int divisions)
{
    if (divisions < 1)
        invalidProperty();
    m_majorDivision = divisions;
    m_divisionSet = true;
    changed();
}

int ChartAxis::majorDivision() const
{
    if (m_divisionSet)
        return m_majorDivision;
    double lower = 0.0, upper = 0.0;
    int divisions = 0;
    chosenScale(lower, upper, divisions);
    return divisions;
}

void ChartAxis::setMinorDivision(int divisions)
{
    if (divisions < 1)
        invalidProperty();
    m_minorDivision = divisions;
    changed();
}

void ChartAxis::setIntersectionAuto(bool automatic)
{
    m_intersectionAuto = automatic;
    changed();
}

void ChartAxis::setLabelsInsidePlot(bool inside)
{
    m_labelsInside = inside;
    changed();
}

void ChartAxis::setTickStyle(int style)
{
    m_tickStyle = style;
    changed();
}

void ChartAxis::setLabelAuto(bool automatic)
{
    m_labelAuto = automatic;
    changed();
}

void ChartAxis::setLabelFormat(const QString& pattern)
{
    m_labelFormat = pattern;
    changed();
}

void ChartAxis::setLabelOrientation(int orientation)
{
    m_orientation = orientation;
    changed();
}

void ChartAxis::chosenScale(double& lower, double& upper, int& divisions) const
{
    double low = 0.0, high = 0.0;
    if (!m_owner->dataRange(m_id, low, high)) {
        low = 0.0;
        high = 1.0;
    }
    if (!(high > low)) {
        const double pad = low == 0.0 ? 1.0 : std::fabs(low) * 0.1;
        low -= pad;
        high += pad;
    }
    // The nice-number rule of the Qt axis: loose limits on round steps.
    QValueAxis probe;
    probe.setTickCount(6);
    probe.setRange(low, high);
    probe.applyNiceNumbers();
    // The nice limits are round decimals worked out in binary, a hair off
    // at times (-18 x 0.001 is -0.018000000000000002): the axis ends on the
    // decimals themselves, and a box that shows them reads "-0.018".
    lower = Val(numberText(probe.min()));
    upper = Val(numberText(probe.max()));
    divisions = std::max(1, probe.tickCount() - 1);
}

// ---------------------------------------------------------------------------
// Chart

ChartControl::ChartControl(QWidget* parent)
    : QWidget(parent)
{
    m_axes[0] = new ChartAxis(this, 0);
    m_axes[1] = new ChartAxis(this, 1);

    m_chart = new QChart;
    m_chart->legend()->hide();
    m_chart->setBackgroundRoundness(0);
    m_axisX = new QValueAxis(m_chart);
    m_axisY = new QValueAxis(m_chart);
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);

    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        fitLabelsX();
        emit PlotAreaChanged();
    });

    // The control itself takes the focus and the keys; the view inside
    // reports the mouse.
    setFocusPolicy(Qt::StrongFocus);
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setMouseTracking(true);
    m_view->viewport()->setMouseTracking(true);
    m_view->viewport()->installEventFilter(this);

    m_title = new QLabel(this);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setAutoFillBackground(true);
    m_title->hide();
    refresh();
}

void ChartControl::reset()
{
    for (int id = 0; id < 2; ++id)
        *m_axes[static_cast<size_t>(id)] = ChartAxis(this, id);
    m_chartType = 16;
    m_rows = 0;
    m_columns = 0;
    m_data.clear();
    m_set.clear();
    m_titleText.clear();
    m_titleLocation = 0;
    m_titleRect = QRect();
    m_titleBrushStyle = 0;
    m_titleFillAuto = true;
    m_titleFill = QColor();
    m_uniformAxis = false;
    m_autoLayout = true;
    m_locationMinY = 0.0;
    m_penWidths.clear();
    setToolTipText(QString());
    refresh();
}

ChartControl::~ChartControl()
{
    delete m_axes[0];
    delete m_axes[1];
}

void ChartControl::setChartType(int type)
{
    m_chartType = type;
    scheduleRefresh();
}

void ChartControl::setRowCount(int rows)
{
    if (rows < 0 || rows > kMaxRows)
        invalidProperty();
    m_rows = rows;
    m_data.assign(static_cast<size_t>(m_rows) * static_cast<size_t>(m_columns), 0.0);
    m_set.assign(m_data.size(), 0);
    scheduleRefresh();
}

void ChartControl::setColumnCount(int columns)
{
    if (columns < 0 || columns > 64)
        invalidProperty();
    m_columns = columns;
    m_data.assign(static_cast<size_t>(m_rows) * static_cast<size_t>(m_columns), 0.0);
    m_set.assign(m_data.size(), 0);
    m_penWidths.resize(static_cast<size_t>(m_columns), 0.0);
    scheduleRefresh();
}

void ChartControl::setTitleText(const QString& text)
{
    m_titleText = text;
    scheduleRefresh();
}

void ChartControl::SetData(int row, int column, double value, int nullFlag)
{
    if (row < 1 || row > m_rows || column < 1 || column > m_columns)
        invalidProperty();
    const size_t at = static_cast<size_t>(row - 1) * static_cast<size_t>(m_columns) +
                      static_cast<size_t>(column - 1);
    m_data[at] = value;
    m_set[at] = nullFlag == 0 ? 1 : 0;
    scheduleRefresh();
}

double ChartControl::GetData(int row, int column, int* nullFlag) const
{
    if (row < 1 || row > m_rows || column < 1 || column > m_columns)
        invalidProperty();
    if (nullFlag)
        *nullFlag = cellSet(row, column) ? 0 : 1;
    return cell(row, column);
}

double ChartControl::cell(int row, int column) const
{
    return m_data[static_cast<size_t>(row - 1) * static_cast<size_t>(m_columns) +
                  static_cast<size_t>(column - 1)];
}

bool ChartControl::cellSet(int row, int column) const
{
    return m_set[static_cast<size_t>(row - 1) * static_cast<size_t>(m_columns) +
                 static_cast<size_t>(column - 1)] != 0;
}

void ChartControl::setTitleLocationType(int type)
{
    m_titleLocation = type;
    scheduleRefresh();
}

void ChartControl::setTitleRect(const QPoint& min, const QPoint& max)
{
    m_titleRect = QRect(min, max);
    scheduleRefresh();
}

void ChartControl::setTitleBrushStyle(int style)
{
    m_titleBrushStyle = style;
    scheduleRefresh();
}

void ChartControl::setTitleFillColorAuto(bool automatic)
{
    m_titleFillAuto = automatic;
    scheduleRefresh();
}

void ChartControl::setTitleFillColor(int red, int green, int blue)
{
    m_titleFill = QColor(red, green, blue);
    scheduleRefresh();
}

void ChartControl::setUniformAxis(bool uniform)
{
    m_uniformAxis = uniform;
}

void ChartControl::setAutoLayout(bool automatic)
{
    m_autoLayout = automatic;
}

void ChartControl::setLocationRectMinY(double y)
{
    m_locationMinY = y;
}

void ChartControl::setSeriesPenWidth(int series, double width)
{
    if (series < 1 || series > m_columns)
        invalidProperty();
    m_penWidths[static_cast<size_t>(series - 1)] = width;
    scheduleRefresh();
}

double ChartControl::seriesPenWidth(int series) const
{
    if (series < 1 || series > m_columns)
        return 0.0;
    return m_penWidths[static_cast<size_t>(series - 1)];
}

ChartAxis& ChartControl::Axis(int id)
{
    if (id < 0 || id > 1)
        invalidProperty();
    return *m_axes[static_cast<size_t>(id)];
}

int ChartControl::curveCount() const
{
    return m_chartType == 16 ? m_columns / 2 : 0;
}

QVector<QPointF> ChartControl::curvePoints(int curve) const
{
    QVector<QPointF> points;
    if (curve < 1 || curve > curveCount())
        return points;
    const int xc = 2 * curve - 1;
    const int yc = 2 * curve;
    points.reserve(m_rows);
    for (int r = 1; r <= m_rows; ++r)
        if (cellSet(r, xc) && cellSet(r, yc))
            points.append(QPointF(cell(r, xc), cell(r, yc)));
    return points;
}

bool ChartControl::dataRange(int axis, double& low, double& high) const
{
    bool any = false;
    for (int k = 1; k <= curveCount(); ++k) {
        const int column = axis == 0 ? 2 * k - 1 : 2 * k;
        for (int r = 1; r <= m_rows; ++r) {
            if (!cellSet(r, 2 * k - 1) || !cellSet(r, 2 * k))
                continue;
            const double v = cell(r, column);
            if (!std::isfinite(v))
                continue;
            if (!any) {
                low = high = v;
                any = true;
            } else {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    return any;
}

void ChartControl::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_refreshPending)
            refresh();
    });
}

void ChartControl::refresh()
{
    m_refreshPending = false;

    // Curves
    const int curves = curveCount();
    while (m_series.size() > curves) {
        QLineSeries* s = m_series.takeLast();
        m_chart->removeSeries(s);
        delete s;
    }
    while (m_series.size() < curves) {
        auto* s = new QLineSeries;
        m_chart->addSeries(s);
        s->attachAxis(m_axisX);
        s->attachAxis(m_axisY);
        m_series.append(s);
    }
    static const QColor kCurveColours[] = {QColor(0, 0, 160), QColor(200, 0, 0),
                                           QColor(0, 130, 0), QColor(120, 0, 120)};
    for (int k = 1; k <= curves; ++k) {
        QLineSeries* s = m_series[k - 1];
        s->replace(curvePoints(k));
        const double twips = std::max(seriesPenWidth(2 * k - 1), seriesPenWidth(2 * k));
        QPen pen(kCurveColours[(k - 1) % 4]);
        pen.setWidthF(std::max(1.0, twips / kTwipsPerPixel));
        s->setPen(pen);
    }

    // Axes
    QValueAxis* qtAxes[2] = {m_axisX, m_axisY};
    for (int id = 0; id < 2; ++id) {
        const ChartAxis& a = *m_axes[static_cast<size_t>(id)];
        QValueAxis* q = qtAxes[id];
        double lower = a.minimum();
        double upper = a.maximum();
        if (!(upper > lower))
            upper = lower + 1.0;
        const int ticks = std::clamp(a.majorDivision() + 1, 2, 60);
        QString format = chartLabelFormat(a.labelAuto() ? QString() : a.labelFormat());
        if (id == 1 && (a.labelAuto() || a.labelFormat().isEmpty())) {
            // Labels with the decimals of the step between ticks. The axis
            // computes tick i as lower + i * step, so a tick that stands for
            // 0 may come out a hair below it and print as "-0.0" in fixed
            // decimals: there the range is lifted by far less than a pixel
            // so that it comes out above. The %g form prints any hair at
            // all ("0.02" on an axis of hundreds of millions), so its range
            // stays as it is: ticks that are whole multiples of a round step
            // come out exact.
            const double step = (upper - lower) / (ticks - 1);
            format = valueLabelFormat(step, std::max(std::fabs(lower), std::fabs(upper)));
            if (format.endsWith(QLatin1Char('f'))) {
                lower += step * 1e-9;
                upper += step * 1e-9;
            }
        }
        q->setRange(lower, upper);
        if (id == 0) {
            // The X labels share the axis's width: fitted below, and again
            // whenever the plot area changes.
            m_wantedTicksX = ticks;
            m_wantedFormatX = format;
        } else {
            q->setTickCount(ticks);
            q->setLabelFormat(format);
        }
        q->setMinorTickCount(std::max(0, a.minorDivision() - 1));
        q->setLabelsAngle(a.labelOrientation() == 1 ? -90 : 0);
        q->setTitleText(a.titleText());
        QFont font = q->titleFont();
        font.setPointSizeF(std::max(1.0, a.titleFontSize()));
        font.setBold((a.titleFontStyle() & 1) != 0);
        font.setItalic((a.titleFontStyle() & 2) != 0);
        q->setTitleFont(font);
    }

    fitLabelsX();

    // Title
    m_title->setText(m_titleText);
    QPalette palette = m_title->palette();
    const bool filled = m_titleBrushStyle == 1 && !m_titleFillAuto && m_titleFill.isValid();
    palette.setColor(QPalette::Window, filled ? m_titleFill : palette.color(QPalette::Base));
    m_title->setPalette(palette);
    m_title->setVisible(!m_titleText.isEmpty());
    placeTitle();
}

namespace {

// The printf form with one decimal fewer ("%.2f" gives "%.1f"); the same
// form when it has none to give.
QString fewerDecimals(const QString& format)
{
    static const QRegularExpression precision(QStringLiteral("%\\.(\\d+)([fe])"));
    const QRegularExpressionMatch m = precision.match(format);
    if (!m.hasMatch() || m.captured(1).toInt() == 0)
        return format;
    return QStringLiteral("%.%1%2").arg(m.captured(1).toInt() - 1).arg(m.captured(2));
}

}  // namespace

int fittingTickCount(double lower, double upper, int ticks, const QString& format,
                     const QFontMetricsF& metrics, double axisWidth)
{
    // Qt Charts gives each of n labels axisWidth / n less a padding of 4
    // either side, and elides a label (with its text item's margin of 4
    // either side) that needs more.
    const auto fits = [&](int count) {
        const double room = axisWidth / count - 2 * 4.0;
        for (int i = 0; i < count; ++i) {
            const double value = lower + (upper - lower) * i / (count - 1);
            const QString text = QString::asprintf(format.toLatin1().constData(), value);
            if (metrics.horizontalAdvance(text) + 2 * 4.0 + 1.0 > room)
                return false;
        }
        return true;
    };
    while (ticks > 2 && !fits(ticks))
        --ticks;
    return fits(ticks) ? ticks : 0;
}

void ChartControl::fitLabelsX()
{
    const double width = m_chart->plotArea().width();
    QString format = m_wantedFormatX;
    int ticks = m_wantedTicksX;
    if (width > 0.0) {
        // Fewer divisions first; when even the two ends do not fit, fewer
        // decimals.
        const QFontMetricsF metrics(m_axisX->labelsFont());
        int fitting = 0;
        while ((fitting = fittingTickCount(m_axisX->min(), m_axisX->max(), m_wantedTicksX, format,
                                           metrics, width)) == 0) {
            const QString shorter = fewerDecimals(format);
            if (shorter == format)
                break;
            format = shorter;
        }
        ticks = fitting > 0 ? fitting : 2;
    }
    if (m_axisX->tickCount() != ticks)
        m_axisX->setTickCount(ticks);
    if (m_axisX->labelFormat() != format)
        m_axisX->setLabelFormat(format);
}

void ChartControl::placeTitle()
{
    const QSize hint = m_title->sizeHint();
    int width = hint.width() + 12;
    int height = hint.height() + 4;
    int left = (this->width() - width) / 2;
    int top = 2;
    if (m_titleLocation == 8 && m_titleRect.isValid()) {
        width = std::max(width, static_cast<int>(m_titleRect.width() / kTwipsPerPixel));
        height = std::max(height, static_cast<int>(m_titleRect.height() / kTwipsPerPixel));
        left = static_cast<int>(m_titleRect.left() / kTwipsPerPixel);
        top = this->height() - static_cast<int>(m_titleRect.bottom() / kTwipsPerPixel);
    }
    left = std::clamp(left, 0, std::max(0, this->width() - width));
    top = std::clamp(top, 0, std::max(0, this->height() - height));
    m_title->setGeometry(left, top, width, height);
    m_title->raise();
    m_chart->setMargins(QMargins(6, m_title->isVisible() ? height + 2 : 6, 10, 6));
}

void ChartControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeTitle();
}

// ---------------------------------------------------------------------------
// The user's side: positions, parts, events and the tip

namespace {

int shiftState(Qt::KeyboardModifiers modifiers)
{
    return ((modifiers & Qt::ShiftModifier) ? 1 : 0) | ((modifiers & Qt::ControlModifier) ? 2 : 0) |
           ((modifiers & Qt::AltModifier) ? 4 : 0);
}

int buttonState(Qt::MouseButtons buttons)
{
    return ((buttons & Qt::LeftButton) ? 1 : 0) | ((buttons & Qt::RightButton) ? 2 : 0) |
           ((buttons & Qt::MiddleButton) ? 4 : 0);
}

}  // namespace

QRectF ChartControl::plotRect() const
{
    if (m_refreshPending)
        const_cast<ChartControl*>(this)->refresh();
    // The chart item's coordinates are the scene's; the scene is shown
    // unscrolled from the viewport's corner.
    const QPointF origin = m_view->viewport()->mapTo(this, QPoint(0, 0));
    return m_chart->mapRectToScene(m_chart->plotArea()).translated(origin);
}

QPointF ChartControl::pointPosition(int curve, int row) const
{
    if (curve < 1 || curve > curveCount() || row < 1 || row > m_rows)
        invalidProperty();
    return toPixel(plotRect(), cell(row, 2 * curve - 1), cell(row, 2 * curve));
}

QPointF ChartControl::toPixel(const QRectF& plot, double x, double y) const
{
    // The axes map their ranges linearly onto the plot area, Y upwards.
    const double x0 = m_axisX->min(), x1 = m_axisX->max();
    const double y0 = m_axisY->min(), y1 = m_axisY->max();
    return {plot.left() + (x - x0) / (x1 - x0) * plot.width(),
            plot.bottom() - (y - y0) / (y1 - y0) * plot.height()};
}

ChartPart ChartControl::TwipsToChartPart(int x, int y) const
{
    return partAt(QPointF(static_cast<double>(x) / kTwipsPerPixel,
                          static_cast<double>(y) / kTwipsPerPixel));
}

ChartPart ChartControl::partAt(const QPointF& pixel) const
{
    ChartPart part;
    const QRectF plot = plotRect();
    if (!plot.isValid())
        return part;
    // The nearest drawn point within reach, of any curve (the first curve
    // where two are as near).
    const QRectF shown = plot.adjusted(-1.0, -1.0, 1.0, 1.0);
    double best = kPointReach * kPointReach;
    for (int k = 1; k <= curveCount(); ++k) {
        for (int r = 1; r <= m_rows; ++r) {
            if (!cellSet(r, 2 * k - 1) || !cellSet(r, 2 * k))
                continue;
            const QPointF at = toPixel(plot, cell(r, 2 * k - 1), cell(r, 2 * k));
            if (!std::isfinite(at.x()) || !std::isfinite(at.y()) || !shown.contains(at))
                continue;
            const double dx = at.x() - pixel.x(), dy = at.y() - pixel.y();
            const double distance = dx * dx + dy * dy;
            if (distance <= best && !(part.type == ChartPartType::Point && distance == best)) {
                best = distance;
                part.type = ChartPartType::Point;
                part.curve = k;
                part.row = r;
            }
        }
    }
    if (part.type == ChartPartType::Point)
        return part;
    // The X axis runs along the plot's foot with its labels and title
    // below; the Y axis along its left side with its labels beside it.
    const bool besideX = pixel.x() >= plot.left() - kAxisReach && pixel.x() <= plot.right() + kAxisReach;
    const bool besideY = pixel.y() >= plot.top() - kAxisReach && pixel.y() <= plot.bottom() + kAxisReach;
    if (besideX && pixel.y() >= plot.bottom() - kAxisReach && pixel.y() <= height()) {
        part.type = ChartPartType::Axis;
        part.axis = 0;
    } else if (besideY && pixel.x() >= 0.0 && pixel.x() <= plot.left() + kAxisReach) {
        part.type = ChartPartType::Axis;
        part.axis = 1;
    } else if (m_title->isVisible() && m_title->geometry().contains(pixel.toPoint())) {
        part.type = ChartPartType::Title;
    } else if (plot.contains(pixel)) {
        part.type = ChartPartType::Plot;
    }
    return part;
}

void ChartControl::setToolTipText(const QString& text)
{
    if (text == m_toolTipText)
        return;
    m_toolTipText = text;
    // A tip on show follows the text; an empty one goes.
    QWidget* viewport = m_view->viewport();
    if (QToolTip::isVisible() && viewport->underMouse()) {
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), text, viewport);
    }
}

void ChartControl::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key(), shiftState(event->modifiers()));
    QWidget::keyPressEvent(event);
}

bool ChartControl::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* viewport = m_view->viewport();
    if (watched != viewport)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        setFocus(Qt::MouseFocusReason);
        if (mouse->button() == Qt::LeftButton)
            m_leftPressed = true;
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_leftPressed) {
            m_leftPressed = false;
            if (viewport->rect().contains(mouse->position().toPoint()))
                emit Click();
        }
        break;
    }
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        setFocus(Qt::MouseFocusReason);
        if (mouse->button() == Qt::LeftButton)
            emit DblClick();
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF at = viewport->mapTo(this, mouse->position().toPoint());
        emit MouseMove(buttonState(mouse->buttons()), shiftState(mouse->modifiers()),
                       at.x() * kTwipsPerPixel, at.y() * kTwipsPerPixel);
        break;
    }
    case QEvent::ToolTip: {
        auto* help = static_cast<QHelpEvent*>(event);
        if (m_toolTipText.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), m_toolTipText, viewport);
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tarvic
