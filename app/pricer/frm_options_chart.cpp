// The pricer window's one drawing routine.
#include "pricer/frm_options.h"

#include "platform/chart.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "platform/system_services.h"
#include "pricer/plot_rules.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

using namespace tarvic;

namespace {

constexpr int32_t kMaxChartIndex = 32766;

struct PlotLook {
    const char* title;
    int red, green, blue;
};

const PlotLook kLooks[7] = {
    {"Option error", 255, 224, 192},  // any other kind
    {"Premium", 255, 224, 192},       {"Delta", 255, 192, 128}, {"Gamma", 255, 128, 128},
    {"Theta", 192, 0, 0},             {"Vega", 255, 255, 192},  {"Option error", 255, 224, 192},
};

}  // namespace

void frmOptions::Chart(int kind, double referenceValue, int32_t lastRow)
{
    trapped("creating the chart", [this, kind, referenceValue, lastRow] {
        ChartControl& c = *ui.chart;
        // A curve may stop short of the results (an error curve against a
        // reference that ends below the grid's top).
        const int32_t n = lastRow < 0 ? mLastIndex : std::min(lastRow, mLastIndex);
        // An empty chart; more points than the control takes are refused.
        c.setRowCount(0);
        if (n > kMaxChartIndex) {
            MsgBox(QStringLiteral("Too many data points, unable to draw the graph!"),
                   MsgIcon::Exclamation, MsgButtons::OKOnly,
                   QStringLiteral("Invalid graph input"), this);
            c.setRowCount(0);
            mChartDrawn = false;
            mChartToolTip.clear();
            c.setTitleText(QString());
            return;
        }
        if (n < 0 || kind < 0 || kind >= kStoreColumns)
            RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
        // The curve over the asset grid, and the reference line when asked.
        mPlotKind = kind;
        c.setRowCount(n + 1);
        c.setColumnCount(4);
        for (int32_t i = 1; i <= n + 1; ++i) {
            const size_t k = static_cast<size_t>(i - 1);
            c.SetData(i, 1, mAssetGrid[k], 0);
            c.SetData(i, 2, mSolution[k][static_cast<size_t>(kind)], 0);
        }
        if (referenceValue > 0.0) {
            for (int32_t i = 1; i <= n + 1; ++i) {
                c.SetData(i, 3, mAssetGrid[static_cast<size_t>(i - 1)], 0);
                c.SetData(i, 4, referenceValue, 0);
            }
            c.setSeriesPenWidth(3, 30);
        }
        // A two-dimensional XY chart.
        c.setChartType(16);
        c.setUniformAxis(false);
        // The X axis: its title, divisions, range, ticks and label format.
        const bool mc = ownSolver() == kSolverMc;
        ChartAxis& xAxis = c.Axis(0);
        xAxis.setTitleText(mc ? QStringLiteral("Number of paths run") : QStringLiteral("Asset"));
        xAxis.setTitleFontSize(8);
        xAxis.setTitleFontStyle(1);
        xAxis.setCategoryScaleAuto(true);
        DoEvents();
        xAxis.setMinorDivision(1);
        int chosenDivision = 0;
        if (mc) {
            chosenDivision = xAxis.majorDivision();
            xAxis.setMajorDivision(chosenDivision);
            if (chosenDivision < 7)
                xAxis.setMinorDivision(2);
        } else {
            xAxis.setMajorDivision(12);
        }
        xAxis.setCategoryScaleAuto(false);
        xAxis.setMinimum(mc ? 0.0 : mAssetGrid[0]);
        xAxis.setMaximum(mAssetGrid[static_cast<size_t>(n)]);
        xAxis.setLabelTick(true);
        xAxis.setIntersectionAuto(false);
        xAxis.setLabelsInsidePlot(false);
        xAxis.setTickStyle(0);
        const double span = xAxis.maximum() - xAxis.minimum();
        const QChar separator = numberText(1.1).at(1);
        const QString pattern = xAxisLabelPattern(span, xAxis.maximum(), separator);
        if (!pattern.isEmpty())
            xAxis.setLabelFormat(pattern);
        if (xAxis.maximum() > 1e6 && xAxis.maximum() <= 1e7)
            xAxis.setMajorDivision(mc ? chosenDivision + 2 : 2);
        xAxis.setLabelAuto(false);
        xAxis.setLabelOrientation(0);
        // The title and the tooltip by kind.
        c.setTitleLocationType(8);
        c.setTitleRect(QPoint(3870, 5005), QPoint(5260, 5320));
        c.setTitleFillColorAuto(false);
        c.setTitleBrushStyle(1);
        const PlotLook& look = kLooks[kind >= 1 && kind <= 5 ? kind : 0];
        c.setTitleText(QString::fromLatin1(look.title));
        c.setTitleFillColor(look.red, look.green, look.blue);
        switch (kind) {
        case 1: {
            // The contract of the results drawn (before the first run, the
            // one on show).
            const RunSnapshot& run = m_lastRun;
            const bool ran = run.solver != 0;
            const Payoff p = ran ? run.payoff : payoff();
            const bool early = ran ? isEarlyExercise(run.exercise) : mEarlyExercise;
            const double K = ran ? run.strike : m_inputs.gStrike;
            const double U = ran ? run.upBarrier : m_inputs.gUpBar;
            const double D = ran ? run.downBarrier : m_inputs.gDownBar;
            const bool noClosedForm = isAsian(p) || early || (isDoubleBarrier(p) && (K > U || K < D));
            mChartToolTip = !noClosedForm && ui.mnuBSGrid->isVisible()
                                ? QStringLiteral("Option premium. Press Ctrl+X to plot the "
                                                 "numerical solution error.")
                                : QStringLiteral("Option premium");
            break;
        }
        case 2:
            mChartToolTip = QStringLiteral("Delta");
            break;
        case 3:
            mChartToolTip = QStringLiteral("Gamma");
            break;
        case 4:
            mChartToolTip = QStringLiteral("Theta");
            break;
        case 5:
            mChartToolTip = QStringLiteral("Vega");
            break;
        default:
            mChartToolTip = QStringLiteral("Option premium numerical solution error");
            break;
        }
        // The Y axis is left to the control.
        c.setLocationRectMinY(0.0);
        c.setAutoLayout(false);
        c.Axis(1).setValueScaleAuto(true);
        // The ranges shown, for the plot options (written so that an
        // unchanged box reads back as what it shows).
        ui.txtXmax->setText(exactNumberText(mAssetGrid[static_cast<size_t>(n)]));
        ui.txtXmin->setText(exactNumberText(mAssetGrid[0]));
        // A number longer than its box shows its leading digits.
        for (QLineEdit* box : {ui.txtXmax, ui.txtXmin})
            box->setCursorPosition(0);
        mPlotXMax = mAssetGrid[static_cast<size_t>(n)];
        mPlotXMin = mAssetGrid[0];
        PopulatePlotOptions();
        // A chart is on show; the option boxes are placed afresh.
        mChartDrawn = true;
        mPlotBoxPlaced = false;
        mExactBoxPlaced = false;
    });
}
