// What the user does with the chart once a run has finished: the plot
// buttons, the plot-options box that sets the axis ranges by hand, the place
// of the exact-value box, and the chart's click, double-click, F4 and data
// tip. Drawing itself is Chart().
#include "pricer/frm_options.h"

#include "platform/chart.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "platform/twips.h"
#include "pricer/plot_rules.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <cmath>

using namespace tarvic;

namespace {

// Gaps between a box over the plot and the plot's right end and top.
constexpr int kBoxGapRight = 70;  // twips
constexpr int kBoxGapTop = 4;     // pixels

void refusePlotRange(QWidget* parent)
{
    MsgBox(QStringLiteral("Please enter a valid plot range"), MsgIcon::Exclamation,
           MsgButtons::OKOnly, QStringLiteral("Invalid graph options"), parent);
}

}  // namespace

void frmOptions::bindChartEvents()
{
    ChartControl* chart = ui.chart;
    connect(chart, &ChartControl::Click, this, [this] { MSChart1_Click(); });
    connect(chart, &ChartControl::DblClick, this, [this] { MSChart1_DblClick(); });
    connect(chart, &ChartControl::KeyDown, this,
            [this](int key, int shift) { MSChart1_KeyDown(key, shift); });
    connect(chart, &ChartControl::MouseMove, this,
            [this](int button, int shift, double x, double y) { MSChart1_MouseMove(button, shift, x, y); });
    // A box on show keeps its place over the plot when the plot moves.
    connect(chart, &ChartControl::PlotAreaChanged, this, [this] {
        for (QGroupBox* box : {ui.frPlotOptions, ui.frMCExact})
            if (!box->isHidden())
                placeOverPlot(box);
    });

    connect(ui.cmdPlotOptions, &QPushButton::clicked, this, [this] { cmdPlotOptions_Click(); });
    connect(ui.cmdCancelPlotOptions, &QPushButton::clicked, this,
            [this] { cmdCancelPlotOptions_Click(); });
    // Enter in a range box is OK.
    for (QLineEdit* box : {ui.txtXmin, ui.txtXmax, ui.txtYmin, ui.txtYmax})
        connect(box, &QLineEdit::returnPressed, this, [this] {
            if (!ui.frPlotOptions->isHidden())
                cmdPlotOptions_Click();
        });
}

// ---------------------------------------------------------------------------
// Plot buttons

void frmOptions::sayNotCalculated(const QString& name)
{
    MsgBox(name + QStringLiteral(" was not calculated by the last run. Tick ") + name +
               QStringLiteral(" under Sensitivities Calculation in Configure solver (F2) and "
                              "press Calculate."),
           MsgIcon::Exclamation, MsgButtons::OKOnly, QString(), this);
}

void frmOptions::cmdGraph_Click(int index)
{
    trapped("selecting the required plot", [this, index] {
        const RunSnapshot& run = m_lastRun;
        if (mGridStep == 0.0 || run.solver == 0)
            return;
        const bool pde = run.solver == kSolverPde;
        // A finite-difference sensitivity that takes a solve of its own:
        // drawn when the run on show made it; otherwise the menu entry that
        // asks for it, or Calculate when it is asked for now.
        const auto ownSolve = [this](bool computed, const QAction* entry, const char* enable,
                                     int kind) {
            if (computed) {
                Chart(kind, 0.0);
            } else if (!entry->isChecked()) {
                MsgBox(QString::fromLatin1(enable), MsgIcon::Exclamation, MsgButtons::OKOnly,
                       QString(), this);
            } else {
                MsgBox(QStringLiteral("Please press calculate!"), MsgIcon::Exclamation,
                       MsgButtons::OKOnly, QStringLiteral("Inputs have changed"), this);
                ui.cmdCalc->setFocus();
            }
        };
        // A Monte Carlo sensitivity is drawn only when the run computed it.
        const auto computedOnly = [this](bool computed, const char* name, int kind) {
            if (computed)
                Chart(kind, 0.0);
            else
                sayNotCalculated(QString::fromLatin1(name));
        };
        switch (index) {
        case 0:
            Chart(1, 0.0);
            break;
        case 1:
            computedOnly(run.delta, "Delta", 2);
            break;
        case 2:
            computedOnly(run.gamma, "Gamma", 3);
            break;
        case 3:
            if (pde && thetaNeedsItsOwnSolve(run))
                ownSolve(run.theta, ui.mnuTheta,
                         "Please enable theta calculation from the Options menu", 4);
            else
                computedOnly(run.theta, "Theta", 4);
            break;
        case 4:
            if (pde)
                ownSolve(run.vega, ui.mnuVega,
                         "Please enable vega calculation from the Options menu", 5);
            else
                computedOnly(run.vega, "Vega", 5);
            break;
        default:
            if (mChartDrawn)
                showPlotOptionsBox();
            break;
        }
    });
}

// ---------------------------------------------------------------------------
// The plot-options box

void frmOptions::PopulatePlotOptions()
{
    trapped("populating the plot options", [this] {
        // The range the chart chose, written so that it reads back as
        // itself.
        const ChartAxis& y = ui.chart->Axis(1);
        ui.txtYmax->setText(exactNumberText(y.maximum()));
        ui.txtYmin->setText(exactNumberText(y.minimum()));
        for (QLineEdit* box : {ui.txtYmax, ui.txtYmin})
            box->setCursorPosition(0);
        mPlotYMax = Val(ui.txtYmax->text());
        mPlotYMin = Val(ui.txtYmin->text());
    });
}

void frmOptions::placeOverPlot(QWidget* box)
{
    // Over the top right of the plot, below the title, inside the chart.
    box->adjustSize();
    const QRectF plot = ui.chart->plotRect();
    const QPoint chartAt = ui.chart->mapTo(ui.MSChart1, QPoint(0, 0));
    const QSize room = ui.MSChart1->size();
    // Before the plot is laid out: the chart's own top right.
    int right = room.width() - px(kBoxGapRight);
    int top = chartAt.y() + kBoxGapTop;
    if (plot.isValid()) {
        right = chartAt.x() + static_cast<int>(plot.right()) - px(kBoxGapRight);
        top = chartAt.y() + static_cast<int>(plot.top()) + kBoxGapTop;
    }
    const int left = std::clamp(right - box->width(), 0, std::max(0, room.width() - box->width()));
    top = std::clamp(top, 0, std::max(0, room.height() - box->height()));
    box->move(left, top);
    box->raise();
}

void frmOptions::DrawPlotOptionsBox()
{
    trapped("drawing the plot options box", [this] {
        if (mPlotBoxPlaced)
            return;
        placeOverPlot(ui.frPlotOptions);
        mPlotBoxPlaced = true;
    });
}

void frmOptions::showPlotOptionsBox()
{
    DrawPlotOptionsBox();
    ui.frPlotOptions->show();
    ui.frPlotOptions->raise();
    ui.cmdPlotOptions->setFocus();
    ui.cmdCalc->setDefault(false);
    ui.cmdPlotOptions->setDefault(true);
}

void frmOptions::putAwayPlotOptionsBox()
{
    // Calculate takes the focus before the box goes, so that it does not
    // pass on through the window.
    ui.cmdCalc->setFocus();
    ui.frPlotOptions->hide();
    ui.cmdPlotOptions->setDefault(false);
    ui.cmdCalc->setDefault(true);
}

void frmOptions::cmdPlotOptions_Click()
{
    const auto apply = [this] {
        ChartControl& c = *ui.chart;
        const int32_t n = mLastIndex;
        if (n < 0 || n >= kStoreRows)
            RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
        PlotRangeLimits limits;
        limits.firstNode = mAssetGrid[0];
        limits.lastNode = mAssetGrid[static_cast<size_t>(n)];
        limits.gridStep = mGridStep;
        limits.shownXMin = mPlotXMin;
        limits.shownXMax = mPlotXMax;
        limits.shownYMin = mPlotYMin;
        limits.shownYMax = mPlotYMax;
        const PlotRangeReading r = readPlotRange(
            {ui.txtXmin->text(), ui.txtXmax->text(), ui.txtYmin->text(), ui.txtYmax->text()},
            limits);
        switch (r.verdict) {
        case PlotRangeReading::Verdict::Refused:
            refusePlotRange(this);
            return;
        case PlotRangeReading::Verdict::Unchanged:
            putAwayPlotOptionsBox();
            return;
        case PlotRangeReading::Verdict::Apply:
            break;
        }
        // The Y range as typed; the X ends that changed.
        ChartAxis& y = c.Axis(1);
        y.setValueScaleAuto(false);
        y.setMaximum(r.yMax);
        y.setMinimum(r.yMin);
        ChartAxis& x = c.Axis(0);
        if (std::fabs(r.xMin - mPlotXMin) > 1e-10)
            x.setMinimum(r.xMin);
        if (std::fabs(r.xMax - mPlotXMax) > 1e-10)
            x.setMaximum(r.xMax);
        mPlotXMax = r.xMax;
        mPlotXMin = r.xMin;
        x.setLabelFormat(appliedXLabelPattern(mPlotXMax - mPlotXMin));
        mPlotYMax = r.yMax;
        mPlotYMin = r.yMin;
        // A gridline on zero where the range straddles it (the Monte Carlo
        // chart keeps its divisions).
        const ZeroGridline line = zeroGridlineDivisions(mPlotYMin, mPlotYMax);
        if (line.outcome == ZeroGridline::Outcome::Overflow)
            RaiseError(kErrOverflow, QStringLiteral("Overflow"));
        if (line.outcome == ZeroGridline::Outcome::ZeroStep)
            RaiseError(kErrDivisionByZero, QStringLiteral("Division by zero"));
        if (line.divisions > 0 && line.divisions < 20 && ownSolver() == kSolverPde)
            y.setMajorDivision(line.divisions);
        mPlotBoxPlaced = false;
        putAwayPlotOptionsBox();
    };
    // A range the gridline rule cannot scale closes the box with what was
    // applied; any other failure keeps it open.
    RunTrapped(apply, [this] {
        if (Err().Number == kErrOverflow)
            putAwayPlotOptionsBox();
        else
            refusePlotRange(this);
    });
}

void frmOptions::cmdCancelPlotOptions_Click()
{
    putAwayPlotOptionsBox();
}

// ---------------------------------------------------------------------------
// The chart's events

void frmOptions::MSChart1_Click()
{
    if (!ui.frMCExact->isHidden())
        ui.frMCExact->hide();
}

void frmOptions::MSChart1_DblClick()
{
    trapped("double-clicking on the plot", [this] {
        if (mChartDrawn)
            showPlotOptionsBox();
    });
}

void frmOptions::MSChart1_KeyDown(int keyCode, int /*shift*/)
{
    // F4 turns the Monte Carlo error plot over: the error, or the estimate
    // with the exact value.
    if (keyCode != Qt::Key_F4 || !mChartDrawn || ownSolver() != kSolverMc)
        return;
    mMCShowValue = !mMCShowValue;
    DrawErrorPlot();
}

void frmOptions::MSChart1_MouseMove(int /*button*/, int /*shift*/, double x, double y)
{
    // Any failure leaves the tip as it was.
    RunTrapped(
        [this, x, y] {
            ChartControl& c = *ui.chart;
            const QString title = c.TitleText();
            const ChartAxis& xAxis = c.Axis(0);
            const ChartAxis& yAxis = c.Axis(1);
            const std::optional<DataTipScale> scale =
                dataTipScale(xAxis.minimum(), xAxis.maximum(), yAxis.minimum(), yAxis.maximum());
            if (!scale)
                return;
            const ChartPart part = c.TwipsToChartPart(static_cast<int>(roundHalfEven(x)),
                                                      static_cast<int>(roundHalfEven(y)));
            if (part.type != ChartPartType::Point) {
                c.setToolTipText(mChartToolTip);
                return;
            }
            // The point of the curve under the mouse, X and Y of that curve.
            const double xv = c.GetData(part.row, 2 * part.curve - 1);
            const double yv = c.GetData(part.row, 2 * part.curve);
            if (const std::optional<QString> tip =
                    dataTipText(*scale, xv, yv, title, ownSolver() == kSolverPde))
                c.setToolTipText(*tip);
        },
        [] {});
}
