// The solution store of the pricer window, the value at the spot and the
// results table's own events.
#include "pricer/frm_options.h"

#include "platform/chart.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "pricer/four_point.h"
#include "pricer/plot_rules.h"
#include "pricer/run_gate.h"
#include "settings/frmResolMC.h"
#include "settings/settings_dialogs.h"
#include "platform/runtime_error.h"
#include "shared/mc_settings.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QCheckBox>
#include <QVBoxLayout>

#include <cmath>
#include <cstdint>

using namespace tarvic;

// ---------------------------------------------------------------------------
// Construction of the calculation parts

void frmOptions::buildCalculationParts()
{
    mSolution.assign(kStoreRows, {});

    auto* layout = new QVBoxLayout(ui.MSChart1);
    layout->setContentsMargins(0, 0, 0, 0);
    ui.chart = new ChartControl(ui.MSChart1);
    layout->addWidget(ui.chart);
    ui.chart->setAutoLayout(false);
    ui.chart->setLocationRectMinY(0.0);
    bindChartEvents();

    connect(ui.cmdCalc, &QPushButton::clicked, this, [this] { cmdCalc_Click(); });
    connect(ui.MSFlexGrid1, &ResultsGrid::DblClick, this, [this] { MSFlexGrid1_DblClick(); });
    connect(ui.MSFlexGrid1, &ResultsGrid::GotFocus, this, [this] { MSFlexGrid1_GotFocus(); });
    connect(ui.MSFlexGrid1, &ResultsGrid::LostFocus, this, [this] { MSFlexGrid1_LostFocus(); });
    connect(ui.MSFlexGrid1, &ResultsGrid::CopyKeys, this, [this] { mnuCopy_Click(); });
    connect(ui.MSFlexGrid1, &ResultsGrid::MouseDown, this,
            [this](int button, int shift, double x, double y) {
                MSFlexGrid1_MouseDown(button, shift, x, y);
            });

    // The closed-form box and the exact-value box of the error plot; Enter
    // in the exact-value box is its OK.
    connect(ui.cmdExact, &QPushButton::clicked, this, [this] { cmdExact_Click(); });
    connect(ui.cmdMCExact, &QPushButton::clicked, this, [this] { cmdMCExact_Click(); });
    connect(ui.txtMCExact, &QLineEdit::returnPressed, this, [this] {
        if (!ui.frMCExact->isHidden())
            cmdMCExact_Click();
    });
    connect(ui.Command1, &QPushButton::clicked, this, [this] {
        ui.cmdCalc->setFocus();
        ui.frMCExact->hide();
    });
    // The table passes the closed-form shortcuts on to the menus.
    ui.MSFlexGrid1->installEventFilter(this);

    // The menu entries (and F3) that start or change work; a run disables
    // them as one group, which keeps each entry's own state for afterwards.
    // Calculate and Configure solver follow the runs of both windows.
    m_workActions = new QActionGroup(this);
    m_workActions->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (QAction* a : {ui.mnuExcel, ui.mnuVega, ui.mnuTheta, ui.mnuBS, ui.mnuSaveRefSol, ui.mnuBSGrid,
                       ui.mnuPDE, ui.mnuMC})
        m_workActions->addAction(a);
    for (QAction* a : actions())
        if (a->shortcut() == QKeySequence(Qt::Key_F3))
            m_workActions->addAction(a);
    connect(&RunGate::instance(), &RunGate::busyChanged, this, [this] { applyRunGate(); });
    applyRunGate();
}

void frmOptions::resetCalculationState()
{
    // A window loaded afresh shows no results.
    if (mSolution.size() == static_cast<size_t>(kStoreRows))
        std::fill(mSolution.begin(), mSolution.end(), std::array<double, kStoreColumns>{});
    mLastIndex = 0;
    mGridStep = 0.0;
    mResultsNonUniGrid = false;
    mResultsKnockedIn = false;
    mSpotOutsideResults = false;
    mSpotValue = mSpotDelta = mSpotGamma = mSpotTheta = mSpotVega = 0.0;
    mGridHasFocus = false;
    mCalcVega = mCalcTheta = false;
    mOptionType = 0;
    mPayoff = Payoff::Vanilla;
    mPlotKind = 0;
    mChartDrawn = false;
    mChartToolTip.clear();
    mPlotXMax = mPlotXMin = 0.0;
    mPlotYMax = mPlotYMin = 0.0;
    mPlotBoxPlaced = mExactBoxPlaced = false;
    m_lastRun = RunSnapshot{};
    mMCExactValue = 0.0;
    mMCShowValue = false;
    mLastSobolPaths = 0;
    if (ui.chart) {
        // No axes, title or curves of an earlier load; the plot's own
        // layout off, as at the window's load.
        ui.chart->reset();
        ui.chart->setAutoLayout(false);
        ui.chart->setLocationRectMinY(0.0);
    }
}

// ---------------------------------------------------------------------------
// Store

void frmOptions::Results()
{
    trapped("preparing to show the PDE results", [this] {
        const int32_t n = mLastIndex;
        if (n < 0 || n >= kStoreRows)
            RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
        if (mAssetGrid[0] < 1e-14)
            mAssetGrid[0] = 0.0;
        for (int32_t i = 0; i <= n; ++i) {
            const size_t k = static_cast<size_t>(i);
            auto& row = mSolution[k];
            row[0] = mAssetGrid[k];
            if (mOptionValue[k] > -1e-14 && mOptionValue[k] < 1e-14)
                mOptionValue[k] = 0.0;
            row[1] = mOptionValue[k];
            row[2] = mDelta[k];
            row[3] = (mGamma[k] > -1e-8 && mGamma[k] < 0.0) ? 0.0 : mGamma[k];
            row[4] = mTheta[k];
            row[5] = mCalcVega ? mVega[k] : 0.0;
        }
        Interpolation();
    });
}

void frmOptions::ResultsMC()
{
    trapped("preparing to show the MC results", [this] {
        McSettings& mc = gMcSettings;
        // The paths run, from the exponent or the thousands sent.
        const double paths = mc.gSobol ? std::pow(2.0, mc.gPaths) : 1000.0 * mc.gPaths;
        if (paths > INT32_MAX || paths < INT32_MIN)
            RaiseError(kErrOverflow, QStringLiteral("Overflow"));
        mc.gPaths = static_cast<int32_t>(paths);

        mLastIndex = mLastIndex - 1;
        const int32_t n = mLastIndex;
        if (n >= kStoreRows)
            RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
        const frmResolMC& settings = gFrmResolMC(this);
        for (int32_t i = 0; i <= n; ++i) {
            const size_t k = static_cast<size_t>(i);
            mAssetGrid[k] = static_cast<double>(i + 1) * mc.gPaths / (n + 1);
            auto& row = mSolution[k];
            row[0] = mAssetGrid[k];
            row[1] = mOptionValue[k];
            // The boxes as they stand now, row by row.
            const bool deltas = settings.chkGreeks[0]->isChecked();
            row[2] = deltas ? mDelta[k] : 0.0;
            row[3] = deltas ? mGamma[k] : 0.0;
            row[4] = settings.chkGreeks[3]->isChecked() ? mTheta[k] : 0.0;
            row[5] = settings.chkGreeks[2]->isChecked() ? mVega[k] : 0.0;
        }
        if (n < 0)
            RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
        const auto& last = mSolution[static_cast<size_t>(n)];
        mSpotValue = last[1];
        mSpotDelta = last[2];
        mSpotGamma = last[3];
        mSpotTheta = last[4];
        mSpotVega = last[5];
        // The step between checkpoints (from 0 when there are fewer than
        // three).
        mGridStep = n >= 2 ? mAssetGrid[2] - mAssetGrid[1] : mAssetGrid[0];
    });
}

// ---------------------------------------------------------------------------
// Value at the spot

void frmOptions::Interpolation()
{
    trapped("interpolating", [this] {
        const ProductInputs& in = m_inputs;
        const double S = in.gAsset;
        const int32_t N = mLastIndex;  // the results on show, never the typed steps
        const bool contBarrier = in.gBarrier && mContMon;
        const double U = contBarrier ? in.gUpBar : 0.0;
        const double D = contBarrier ? in.gDownBar : 0.0;
        double* spot[5] = {&mSpotValue, &mSpotDelta, &mSpotGamma, &mSpotTheta, &mSpotVega};

        // Rows of the results on show only.
        const auto row = [this, N](int32_t i) -> const std::array<double, kStoreColumns>& {
            if (i < 0 || i > N)
                RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
            return mSolution[static_cast<size_t>(i)];
        };
        const auto x = [&row](int32_t i) { return row(i)[0]; };

        const Payoff payoff = this->payoff();
        const bool knockIn = isKnockIn(payoff);
        const auto noFigures = [&] {
            for (double* f : spot)
                *f = 0.0;
        };
        // The figures stand for the spot only where the results price it.
        const auto outside = [&] {
            mSpotOutsideResults = true;
            noFigures();
        };
        mSpotOutsideResults = false;
        if (!(S > 0.0))
            return outside();  // no spot
        if (mResultsKnockedIn) {
            // The vanilla a knock-in became: it prices the spots that are
            // still knocked in.
            if (!contBarrier || !spotKnockedIn(payoff, S, U, D))
                return outside();
        } else if ((S > U && U > 0.0) || (S < D && D > 0.0)) {
            // A continuously monitored barrier crossed: a knock-out is worth
            // nothing, a knock-in is the vanilla, which these results do
            // not hold.
            if (knockIn)
                return outside();
            return noFigures();
        }
        // Beyond the grid the results say nothing.
        if (S < x(0) || S > x(N))
            return outside();
        // The interval that holds the spot, on the grid kind of the run
        // that made the results.
        const bool uniform = !mResultsNonUniGrid;
        const double h = mGridStep;
        int32_t i = 0;
        if (uniform) {
            if (h == 0.0)
                RaiseError(kErrDivisionByZero, QStringLiteral("Division by zero"));
            const double guess = roundHalfEven((S - D) / h) - 1.0;
            i = guess < 0.0 ? 0 : static_cast<int32_t>(std::min(guess, double{kStoreRows}));
            if (x(i) > S)
                --i;
            else if (x(i + 1) < S && x(i + 1) > 0.0)
                ++i;
        } else {
            i = 0;
            while (i <= N && x(i) < S)
                ++i;
            if (i > 0)
                --i;
        }
        // Each figure in turn: four points inside, two near the ends.
        for (int c = 0; c < 5; ++c) {
            const size_t col = static_cast<size_t>(c + 1);
            if (i < 2 || i > N - 2) {
                const double w = uniform ? (S - x(i)) / h : (S - x(i)) / (x(i + 1) - x(i));
                *spot[c] = (1.0 - w) * row(i)[col] + w * row(i + 1)[col];
            } else {
                const double fs[4] = {row(i - 1)[col], row(i)[col], row(i + 1)[col],
                                      row(i + 2)[col]};
                double result = 0.0;
                if (uniform) {
                    const double xs[4] = {x(i) - h, x(i), x(i + 1), x(i + 1) + h};
                    trapped("performing cubic interpolation",
                            [&] { result = fourPointValue(S, xs, fs); });
                } else {
                    const double xs[4] = {x(i - 1), x(i), x(i + 1), x(i + 2)};
                    trapped("performing cubic interpolation2",
                            [&] { result = fourPointValue(S, xs, fs); });
                }
                *spot[c] = result;
            }
        }
    });
}

// ---------------------------------------------------------------------------
// Results table events

QString frmOptions::resultCellText(int col, double figure, const QString& pattern) const
{
    if (m_lastRun.solver != 0 && !computedColumn(m_lastRun, col))
        return QString();
    return formatNumber(figure, pattern);
}

void frmOptions::writeSpotRow(const QString& pattern)
{
    ResultsGrid& grid = *ui.MSFlexGrid1;
    const double figures[6] = {m_inputs.gAsset, mSpotValue, mSpotDelta,
                               mSpotGamma,      mSpotTheta, mSpotVega};
    grid.setRow(1);
    for (int col = 0; col < 6; ++col) {
        grid.setCol(col);
        grid.setText(col > 0 && mSpotOutsideResults ? QString()
                                                     : resultCellText(col, figures[col], pattern));
    }
}

void frmOptions::MSFlexGrid1_DblClick()
{
    trapped("double-clicking on the grid", [this] {
        ResultsGrid& grid = *ui.MSFlexGrid1;
        const QString eight = QStringLiteral("#####0.00000000");
        grid.setRow(1);
        grid.setCol(0);
        grid.setText(ownSolver() == kSolverPde ? formatNumber(m_inputs.gAsset, eight)
                                               : QString::number(m_lastRun.mc.pathsRun));
        // No figures where the results do not price the spot, nor in a
        // column the run did not compute.
        const auto figure = [this](int col, double value, const QString& pattern) {
            return mSpotOutsideResults ? QString() : resultCellText(col, value, pattern);
        };
        const double figures[4] = {mSpotDelta, mSpotGamma, mSpotTheta, mSpotVega};
        for (int c = 0; c < 4; ++c) {
            grid.setRow(1);
            grid.setCol(c + 2);
            grid.setText(figure(c + 2, figures[c], eight));
        }
        grid.setRow(1);
        grid.setCol(1);
        grid.setText(figure(1, mSpotValue, QStringLiteral("#####0.000000000")));
    });
}

void frmOptions::MSFlexGrid1_GotFocus()
{
    trapped("focusing on the grid", [this] {
        mGridHasFocus = true;
        ResultsGrid& grid = *ui.MSFlexGrid1;
        const QString six = QStringLiteral("#####0.000000");
        const double figures[6] = {m_inputs.gAsset, mSpotValue, mSpotDelta,
                                   mSpotGamma,      mSpotTheta, mSpotVega};
        for (int c = 0; c < 6; ++c) {
            grid.setRow(1);
            grid.setCol(c);
            if (c == 0 && ownSolver() != kSolverPde)
                grid.setText(QString::number(m_lastRun.mc.pathsRun));
            else if (c > 0 && mSpotOutsideResults)
                grid.setText(QString());
            else
                grid.setText(resultCellText(c, figures[c], six));
        }
    });
}

void frmOptions::MSFlexGrid1_LostFocus()
{
    mGridHasFocus = false;
}

void frmOptions::MSFlexGrid1_MouseDown(int button, int /*shift*/, double /*x*/, double /*y*/)
{
    if (button == 2 && mGridHasFocus)
        ui.mnuCC->popup(QCursor::pos());
}
