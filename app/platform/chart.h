// The chart control of the pricer window, on Qt Charts.
//
// It keeps a data grid (rows 1..RowCount, columns 1..ColumnCount) and draws
// it as a two-dimensional XY chart (chart type 16): columns 1 and 2 are the
// X and Y of the first curve, columns 3 and 4 those of the second, and so
// on. Series are numbered by column, so series 2k-1 and 2k both name curve k.
//
// An axis scale is automatic until a minimum or maximum is set, or until
// automatic is switched off; while it is automatic the control chooses
// "nice" limits and the number of major divisions over the data, and
// minimum(), maximum() and majorDivision() read that choice back.
//
// Coordinates of the title rectangle are twips (15 per pixel) from the
// bottom-left corner of the control; pen widths are twips as well.
//
// The control takes the focus when clicked (and by Tab), and reports its
// user's actions as signals: Click (a left button released over it),
// DblClick, KeyDown while it has the focus, and MouseMove with the position
// in twips from its top-left corner. TwipsToChartPart names what lies at
// such a position: a data point (curve and row), an axis, the title, the
// plot area or the rest of the chart. ToolTipText is the tip shown while the
// mouse rests over the chart; a tip on show follows a new text at once.
#pragma once

#include <QColor>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QVector>
#include <QWidget>

#include <array>
#include <vector>

class QChart;
class QFontMetricsF;
class QChartView;
class QLabel;
class QLineSeries;
class QValueAxis;

namespace tarvic {

class ChartControl;

// What lies at a position of the chart.
enum class ChartPartType { Chart, Title, Plot, Point, Axis };

struct ChartPart {
    ChartPartType type = ChartPartType::Chart;
    int curve = 0;  // Point: the curve (1-based; columns 2k-1 and 2k)
    int row = 0;    // Point: the row of the data grid (1-based)
    int axis = -1;  // Axis: 0 the X axis, 1 the Y axis
};

class ChartAxis {
public:
    // Axis title
    void setTitleText(const QString& text);
    QString titleText() const { return m_titleText; }
    void setTitleFontSize(double points);
    double titleFontSize() const { return m_titleFontSize; }
    void setTitleFontStyle(int style);  // 0 normal, 1 bold, 2 italic, 3 both
    int titleFontStyle() const { return m_titleFontStyle; }

    // Category scale (the X axis of an XY chart): automatic means the same
    // as an automatic value scale.
    void setCategoryScaleAuto(bool automatic) { setValueScaleAuto(automatic); }
    bool categoryScaleAuto() const { return m_auto; }
    void setLabelTick(bool onTicks);
    bool labelTick() const { return m_labelTick; }

    // Value scale
    void setValueScaleAuto(bool automatic);
    bool valueScaleAuto() const { return m_auto; }
    void setMinimum(double value);  // switches automatic off
    void setMaximum(double value);  // switches automatic off
    double minimum() const;
    double maximum() const;
    void setMajorDivision(int divisions);
    int majorDivision() const;
    void setMinorDivision(int divisions);
    int minorDivision() const { return m_minorDivision; }

    // Where the axis crosses the other one
    void setIntersectionAuto(bool automatic);
    bool intersectionAuto() const { return m_intersectionAuto; }
    void setLabelsInsidePlot(bool inside);
    bool labelsInsidePlot() const { return m_labelsInside; }

    void setTickStyle(int style);  // 0 none, 1 centre, 2 inside, 3 outside
    int tickStyle() const { return m_tickStyle; }

    // Label 1
    void setLabelAuto(bool automatic);
    bool labelAuto() const { return m_labelAuto; }
    // A display pattern ("###0.00", "#,###", "#.#e##"); empty = automatic.
    void setLabelFormat(const QString& pattern);
    QString labelFormat() const { return m_labelFormat; }
    void setLabelOrientation(int orientation);  // 0 horizontal, 1 vertical
    int labelOrientation() const { return m_orientation; }

private:
    friend class ChartControl;
    explicit ChartAxis(ChartControl* owner, int id) : m_owner(owner), m_id(id) {}
    // The automatic choice over the data: lower, upper, divisions.
    void chosenScale(double& lower, double& upper, int& divisions) const;
    void changed();

    ChartControl* m_owner;
    int m_id;
    QString m_titleText;
    double m_titleFontSize = 8.0;
    int m_titleFontStyle = 0;
    bool m_labelTick = false;
    bool m_auto = true;
    bool m_minSet = false, m_maxSet = false, m_divisionSet = false;
    double m_min = 0.0, m_max = 0.0;
    int m_majorDivision = 0;
    int m_minorDivision = 1;
    bool m_intersectionAuto = true;
    bool m_labelsInside = false;
    int m_tickStyle = 3;
    bool m_labelAuto = true;
    QString m_labelFormat;
    int m_orientation = 0;
};

class ChartControl : public QWidget {
    Q_OBJECT
public:
    explicit ChartControl(QWidget* parent = nullptr);
    ~ChartControl() override;

    // ---- chart ----
    void setChartType(int type);  // 16 = two-dimensional XY
    int ChartType() const { return m_chartType; }
    // Rows of the data grid, 0 to 32767 (a signed 16-bit count); setting it
    // clears the grid. Anything else raises "Invalid property value".
    void setRowCount(int rows);
    int RowCount() const { return m_rows; }
    void setColumnCount(int columns);  // clears the grid
    int ColumnCount() const { return m_columns; }
    void setTitleText(const QString& text);
    QString TitleText() const { return m_titleText; }

    // ---- data grid ----
    // Row 1..RowCount, column 1..ColumnCount; nullFlag 0 stores the value,
    // any other value leaves the point out.
    void SetData(int row, int column, double value, int nullFlag);
    // The value of a cell; *nullFlag (when given) is 1 for a cell left out
    // or never set, 0 otherwise. Outside the grid: "Invalid property value".
    double GetData(int row, int column, int* nullFlag = nullptr) const;

    // ---- title ----
    void setTitleLocationType(int type);  // 8 = custom rectangle
    int titleLocationType() const { return m_titleLocation; }
    void setTitleRect(const QPoint& min, const QPoint& max);  // twips
    QRect titleRect() const { return m_titleRect; }
    void setTitleBrushStyle(int style);  // 0 none, 1 solid
    int titleBrushStyle() const { return m_titleBrushStyle; }
    void setTitleFillColorAuto(bool automatic);
    bool titleFillColorAuto() const { return m_titleFillAuto; }
    void setTitleFillColor(int red, int green, int blue);
    QColor titleFillColor() const { return m_titleFill; }

    // ---- plot ----
    void setUniformAxis(bool uniform);
    bool uniformAxis() const { return m_uniformAxis; }
    void setAutoLayout(bool automatic);
    bool autoLayout() const { return m_autoLayout; }
    void setLocationRectMinY(double y);
    double locationRectMinY() const { return m_locationMinY; }
    void setSeriesPenWidth(int series, double width);  // series 1..ColumnCount
    double seriesPenWidth(int series) const;
    // Axis 0 is the X axis, 1 the Y axis; others raise "Invalid property value".
    ChartAxis& Axis(int id);

    // Back to the state the control was created in: no data, no title,
    // automatic scales, default axes and pens.
    void reset();

    // ---- the user's side ----
    // What lies at (x, y), twips from the control's top-left corner: the
    // nearest data point of any curve within a few pixels, else an axis
    // (its line, ticks and labels), the title, the plot area or the chart.
    ChartPart TwipsToChartPart(int x, int y) const;
    ChartPart partAt(const QPointF& pixel) const;
    void setToolTipText(const QString& text);
    QString ToolTipText() const { return m_toolTipText; }
    // The plot area, and where a data point is drawn, in the control's
    // pixels (the latest drawing is applied first).
    QRectF plotRect() const;
    QPointF pointPosition(int curve, int row) const;

    // ---- what is drawn (for the window's tests and data tips) ----
    // The points of curve k (1-based): X from column 2k-1, Y from column 2k.
    QVector<QPointF> curvePoints(int curve) const;
    int curveCount() const;
    // Applies every pending change to the Qt chart now (otherwise done at
    // the next turn of the event loop).
    void refresh();
    QChart* qtChart() const { return m_chart; }

signals:
    void Click();
    void DblClick();
    // keyCode is a Qt::Key; shift the modifiers (1 Shift, 2 Ctrl, 4 Alt).
    void KeyDown(int keyCode, int shift);
    // button: the buttons held (1 left, 2 right, 4 middle); x and y in
    // twips from the control's top-left corner.
    void MouseMove(int button, int shift, double x, double y);
    // The plot area moved or changed its size (a new range, labels of
    // another width, the control resized).
    void PlotAreaChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class ChartAxis;
    void scheduleRefresh();
    void placeTitle();
    // Sets the X axis's ticks and label format so that every label fits its
    // share of the axis: the divisions asked for, or fewer.
    void fitLabelsX();
    double cell(int row, int column) const;
    QPointF toPixel(const QRectF& plot, double x, double y) const;
    bool cellSet(int row, int column) const;
    // Lowest and highest value of the X (axis 0) or Y (axis 1) columns.
    bool dataRange(int axis, double& low, double& high) const;

    int m_chartType = 16;
    int m_rows = 0;
    int m_columns = 0;
    std::vector<double> m_data;
    std::vector<char> m_set;
    QString m_titleText;
    int m_titleLocation = 0;
    QRect m_titleRect;
    int m_titleBrushStyle = 0;
    bool m_titleFillAuto = true;
    QColor m_titleFill;
    bool m_uniformAxis = false;
    bool m_autoLayout = true;
    double m_locationMinY = 0.0;
    std::vector<double> m_penWidths;
    std::array<ChartAxis*, 2> m_axes{};
    bool m_refreshPending = false;
    int m_wantedTicksX = 2;
    QString m_wantedFormatX = QStringLiteral("%g");
    QString m_toolTipText;
    bool m_leftPressed = false;

    QChartView* m_view = nullptr;
    QChart* m_chart = nullptr;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    QVector<QLineSeries*> m_series;
    QLabel* m_title = nullptr;
};

// The printf form of a display pattern, as the chart's labels use it.
QString chartLabelFormat(const QString& pattern);

// The printf form of automatic value labels on ticks `step` apart on an
// axis whose ends reach `magnitude`: the fewest fixed decimals that show
// the step whole ("%.1f" for 0.2, "%.2f" for 0.25), "%g" for steps that
// need more than six or for magnitudes of a million and more.
QString valueLabelFormat(double step, double magnitude);

// The most ticks, up to `ticks`, whose labels (printf `format`, evenly spaced
// from lower to upper) each fit their share of a horizontal axis
// `axisWidth` pixels wide; 0 when not even the two ends fit.
int fittingTickCount(double lower, double upper, int ticks, const QString& format,
                     const QFontMetricsF& metrics, double axisWidth);

}  // namespace tarvic
