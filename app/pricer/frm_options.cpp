#include "pricer/frm_options.h"

#include "platform/colors.h"
#include "platform/control_fit.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "platform/runtime_error.h"
#include "platform/system_services.h"
#include "pricer/click_label.h"
#include "pricer/error_reporter.h"
#include "platform/control_look.h"
#include "pricer/pricer_host.h"
#include "pricer/solver_dialogs.h"
#include "settings/settings_dialogs.h"
#include "shared/mc_settings.h"
#include "shared/pde_settings.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace tarvic;

namespace {

constexpr int kArraySize = 50001;  // indices 0 to 50000

const char* const kPayoffs[] = {
    "Vanilla",
    "Barrier - Up & Out",
    "Barrier - Down & Out",
    "Barrier - Up & In",
    "Barrier - Down & In",
    "Barrier - Double & Out",
    "Barrier - Double & In",
    "Asian - Fixed Strike",
    "Asian - Floating Strike",
};

QLineEdit* makeBox(QWidget* parent, QList<QLineEdit*>& boxes)
{
    auto* box = new QLineEdit(parent);
    box->setMaximumWidth(90);
    boxes.append(box);
    return box;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction: the controls and menus exist from here on; nothing is loaded.

frmOptions::frmOptions(QWidget* parent)
    : QWidget(parent)
{
    mAssetGrid.assign(kArraySize, 0.0);
    mOptionValue.assign(kArraySize, 0.0);
    mDelta.assign(kArraySize, 0.0);
    mGamma.assign(kArraySize, 0.0);
    mTheta.assign(kArraySize, 0.0);
    mVega.assign(kArraySize, 0.0);
    mExactValue.assign(kArraySize, 0.0);
    buildControls();
    buildMenus();
    buildCalculationParts();
    applyLayout();
}

frmOptions::~frmOptions() = default;

void frmOptions::buildControls()
{
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(8);

    // ---- left column: contract and market data ----
    m_leftColumn = new QWidget(this);
    auto* left = new QVBoxLayout(m_leftColumn);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(4);
    root->addWidget(m_leftColumn, 0);

    frmOptType = new QGroupBox(this);
    {
        auto* grid = new QGridLayout(frmOptType);
        grid->setContentsMargins(6, 6, 6, 6);
        Label3 = new QLabel(QStringLiteral("Payoff"), frmOptType);
        cboPayoff = new QComboBox(frmOptType);
        Label2 = new QLabel(QStringLiteral("Exercise style"), frmOptType);
        cboExercise = new QComboBox(frmOptType);
        Label1 = new QLabel(QStringLiteral("Option type"), frmOptType);
        cboOptions = new QComboBox(frmOptType);
        cboPayoff->setMinimumWidth(170);
        grid->addWidget(Label3, 0, 0);
        grid->addWidget(cboPayoff, 0, 1);
        grid->addWidget(Label2, 1, 0);
        grid->addWidget(cboExercise, 1, 1);
        grid->addWidget(Label1, 2, 0);
        grid->addWidget(cboOptions, 2, 1);
    }
    left->addWidget(frmOptType);

    Frame1 = new QGroupBox(QStringLiteral("Option Parameters"), this);
    {
        auto* grid = new QGridLayout(Frame1);
        grid->setContentsMargins(6, 6, 6, 6);
        grid->setVerticalSpacing(2);
        lblStrike = new QLabel(QStringLiteral("Strike"), Frame1);
        txtStrike = makeBox(Frame1, m_textBoxes);
        Label6 = new QLabel(QStringLiteral("Volatility"), Frame1);
        txtVol = makeBox(Frame1, m_textBoxes);
        Label9 = new QLabel(QStringLiteral("% p.a."), Frame1);
        Label7 = new QLabel(QStringLiteral("Interest rate"), Frame1);
        txtIntRate = makeBox(Frame1, m_textBoxes);
        Label10 = new QLabel(QStringLiteral("% p.a."), Frame1);
        Label8 = new QLabel(QStringLiteral("Dividend yield"), Frame1);
        txtDiv = makeBox(Frame1, m_textBoxes);
        Lbldivp = new QLabel(QStringLiteral("% p.a."), Frame1);
        Label4 = new QLabel(QStringLiteral("Time to expiry"), Frame1);
        txtExpi = makeBox(Frame1, m_textBoxes);
        Label12 = new QLabel(QStringLiteral("yrs"), Frame1);
        grid->addWidget(lblStrike, 0, 0);
        grid->addWidget(txtStrike, 0, 1);
        grid->addWidget(Label6, 1, 0);
        grid->addWidget(txtVol, 1, 1);
        grid->addWidget(Label9, 1, 2);
        grid->addWidget(Label7, 2, 0);
        grid->addWidget(txtIntRate, 2, 1);
        grid->addWidget(Label10, 2, 2);
        grid->addWidget(Label8, 3, 0);
        grid->addWidget(txtDiv, 3, 1);
        grid->addWidget(Lbldivp, 3, 2);
        grid->addWidget(Label4, 4, 0);
        grid->addWidget(txtExpi, 4, 1);
        grid->addWidget(Label12, 4, 2);
    }
    left->addWidget(Frame1);

    {
        auto* row = new QHBoxLayout;
        Label4Asset = new QLabel(QStringLiteral("Asset"), this);
        txtAsset = makeBox(this, m_textBoxes);
        row->addWidget(Label4Asset);
        row->addWidget(txtAsset);
        row->addStretch(1);
        left->addLayout(row);
    }

    Frame6 = new QFrame(this);
    Frame6->setFrameShape(QFrame::StyledPanel);
    {
        auto* lay = new QVBoxLayout(Frame6);
        lay->setContentsMargins(2, 2, 2, 2);
        Picture1 = new QFrame(Frame6);
        auto* inner = new QVBoxLayout(Picture1);
        inner->setContentsMargins(4, 2, 4, 2);
        lblAdditionalParams = new ClickLabel(QStringLiteral("Additional Parameters"), Picture1);
        lblAdditionalParams->setAlignment(Qt::AlignCenter);
        inner->addWidget(lblAdditionalParams);
        lay->addWidget(Picture1);
    }
    left->addWidget(Frame6);

    Frame5 = new QFrame(this);
    {
        auto* lay = new QVBoxLayout(Frame5);
        lay->setContentsMargins(0, 0, 0, 0);
        picBar = new QFrame(Frame5);
        picBar->setFrameShape(QFrame::StyledPanel);
        auto* grid = new QGridLayout(picBar);
        grid->setContentsMargins(6, 4, 6, 4);
        grid->setVerticalSpacing(2);
        chkContMon = new QCheckBox(QStringLiteral("Continuous monitoring"), picBar);
        lblMonPts = new QLabel(QStringLiteral("Num of time"), picBar);
        lblMonPts2 = new QLabel(QStringLiteral("steps"), picBar);
        // The caption's column holds the longest of its wordings.
        lblMonPts->setMinimumWidth(periodsCaptionWidth(lblMonPts->fontMetrics()));
        txtMonPts = makeBox(picBar, m_textBoxes);
        lblUpBar = new QLabel(QStringLiteral("Up Barrier"), picBar);
        TxtUpBar = makeBox(picBar, m_textBoxes);
        lblDownBar = new QLabel(QStringLiteral("Down Barrier"), picBar);
        txtDownBar = makeBox(picBar, m_textBoxes);
        grid->addWidget(chkContMon, 0, 0, 1, 2);
        // The periods caption's two lines stay together beside their box.
        auto* periods = new QVBoxLayout;
        periods->setSpacing(0);
        periods->addWidget(lblMonPts);
        periods->addWidget(lblMonPts2);
        grid->addLayout(periods, 1, 0);
        grid->addWidget(txtMonPts, 1, 1, Qt::AlignVCenter);
        grid->addWidget(lblUpBar, 2, 0);
        grid->addWidget(TxtUpBar, 2, 1);
        grid->addWidget(lblDownBar, 3, 0);
        grid->addWidget(txtDownBar, 3, 1);
        // The panel's spare height stays below its boxes.
        grid->setRowStretch(4, 1);
        lay->addWidget(picBar);
    }
    left->addWidget(Frame5);

    picAsian = new QFrame(this);
    picAsian->setFrameShape(QFrame::StyledPanel);
    {
        auto* grid = new QGridLayout(picAsian);
        grid->setContentsMargins(6, 4, 6, 4);
        grid->setVerticalSpacing(2);
        lblSmplStart = new QLabel(QStringLiteral("Time of first fixing"), picAsian);
        txtSmplstart = makeBox(picAsian, m_textBoxes);
        lblNFixed = new QLabel(QStringLiteral("Number of settled fixings"), picAsian);
        txtNFixed = makeBox(picAsian, m_textBoxes);
        lblSmplPeriods = new QLabel(QStringLiteral("Total number of fixings"), picAsian);
        txtSmplPoints = makeBox(picAsian, m_textBoxes);
        lblInitAvg = new QLabel(QStringLiteral("Average of settled fixings"), picAsian);
        txtInitAvg = makeBox(picAsian, m_textBoxes);
        grid->addWidget(lblSmplStart, 0, 0);
        grid->addWidget(txtSmplstart, 0, 1);
        grid->addWidget(lblNFixed, 1, 0);
        grid->addWidget(txtNFixed, 1, 1);
        grid->addWidget(lblSmplPeriods, 2, 0);
        grid->addWidget(txtSmplPoints, 2, 1);
        grid->addWidget(lblInitAvg, 3, 0);
        grid->addWidget(txtInitAvg, 3, 1);
    }
    left->addWidget(picAsian);

    cmdCalc = new QPushButton(QStringLiteral("&Calculate"), this);
    left->addWidget(cmdCalc);

    {
        auto* row = new QHBoxLayout;
        Frame3 = new QGroupBox(this);
        auto* l3 = new QHBoxLayout(Frame3);
        l3->setContentsMargins(4, 2, 4, 2);
        Label17 = new QLabel(QStringLiteral("Status :"), Frame3);
        lblProgress = new QLabel(Frame3);
        // Room for the longest status and the longest time ("####0.000 sec").
        lblProgress->setMinimumWidth(lblProgress->fontMetrics().horizontalAdvance(QStringLiteral("Please wait")));
        l3->addWidget(Label17);
        l3->addWidget(lblProgress, 1);
        Frame4 = new QGroupBox(this);
        auto* l4 = new QHBoxLayout(Frame4);
        l4->setContentsMargins(4, 2, 4, 2);
        Label13 = new QLabel(QStringLiteral("Calculation     time :"), Frame4);
        breakCaptionAtBlanks(Label13);
        lblCalcTime = new QLabel(Frame4);
        lblCalcTime->setMinimumWidth(
            lblCalcTime->fontMetrics().horizontalAdvance(QStringLiteral("99999.999 sec")));
        l4->addWidget(Label13);
        l4->addWidget(lblCalcTime, 1);
        row->addWidget(Frame3);
        row->addWidget(Frame4);
        left->addLayout(row);
    }
    left->addStretch(1);

    // ---- right column: plot buttons, chart, results ----
    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    root->addLayout(right, 1);

    Frame2 = new QGroupBox(this);
    {
        auto* lay = new QHBoxLayout(Frame2);
        lay->setContentsMargins(4, 2, 4, 2);
        static const char* const tips[6] = {
            "Display current option premium", "Display current option delta",
            "Display current option gamma",   "Display current option theta",
            "Display current option vega",    "Customize graph",
        };
        static const char* const faces[6] = {"V", "\u0394", "\u0393", "\u0398", "\u03BD", "\u2026"};
        for (int i = 0; i < 6; ++i) {
            cmdGraph[i] = new QToolButton(Frame2);
            cmdGraph[i]->setText(QString::fromUtf8(faces[i]));
            cmdGraph[i]->setToolTip(QString::fromLatin1(tips[i]));
            cmdGraph[i]->setMinimumSize(28, 24);
            lay->addWidget(cmdGraph[i]);
        }
        lay->addStretch(1);
    }
    right->addWidget(Frame2);

    frAnalytic = new QGroupBox(this);
    {
        auto* grid = new QGridLayout(frAnalytic);
        grid->setContentsMargins(4, 2, 4, 2);
        Label16 = new QLabel(QStringLiteral("Exact solution"), frAnalytic);
        cmdExact = new QPushButton(QStringLiteral("x"), frAnalytic);
        cmdExact->setMaximumWidth(24);
        grid->addWidget(Label16, 0, 0, 1, 3);
        grid->addWidget(cmdExact, 0, 5);
        QFont fixed(QStringLiteral("Monospace"));
        fixed.setStyleHint(QFont::TypeWriter);
        const char* const captions[6] = {"Value :", "Delta :", "Gamma :", "Theta :", "Vega :", "Asset :"};
        QLabel** values[6] = {&lblAValue, &lblADelta, &lblAGamma, &lblATheta, &lblAVega, &lblAsset};
        for (int i = 0; i < 6; ++i) {
            grid->addWidget(new QLabel(QString::fromLatin1(captions[i]), frAnalytic), 1 + i / 3,
                            (i % 3) * 2);
            *values[i] = new QLabel(frAnalytic);
            (*values[i])->setFont(fixed);
            grid->addWidget(*values[i], 1 + i / 3, (i % 3) * 2 + 1);
        }
    }
    right->addWidget(frAnalytic);

    frMCExact = new QGroupBox(this);
    {
        auto* lay = new QHBoxLayout(frMCExact);
        lay->setContentsMargins(4, 2, 4, 2);
        Label23 = new QLabel(QStringLiteral("Please enter  the exact price:"), frMCExact);
        txtMCExact = makeBox(frMCExact, m_textBoxes);
        cmdMCExact = new QPushButton(QStringLiteral("OK"), frMCExact);
        Command1 = new QPushButton(QStringLiteral("Cancel"), frMCExact);
        lay->addWidget(Label23);
        lay->addWidget(txtMCExact);
        lay->addWidget(cmdMCExact);
        lay->addWidget(Command1);
    }
    right->addWidget(frMCExact);

    frPlotOptions = new QGroupBox(this);
    {
        auto* grid = new QGridLayout(frPlotOptions);
        grid->setContentsMargins(4, 2, 4, 2);
        Label11 = new QLabel(QStringLiteral("X Axis min"), frPlotOptions);
        Label14 = new QLabel(QStringLiteral("X Axis max"), frPlotOptions);
        Label18 = new QLabel(QStringLiteral("Y axis min"), frPlotOptions);
        Label19 = new QLabel(QStringLiteral("Y axis max"), frPlotOptions);
        txtXmin = makeBox(frPlotOptions, m_textBoxes);
        txtXmax = makeBox(frPlotOptions, m_textBoxes);
        txtYmin = makeBox(frPlotOptions, m_textBoxes);
        txtYmax = makeBox(frPlotOptions, m_textBoxes);
        cmdPlotOptions = new QPushButton(QStringLiteral("OK"), frPlotOptions);
        cmdCancelPlotOptions = new QPushButton(QStringLiteral("Cancel"), frPlotOptions);
        grid->addWidget(Label11, 0, 0);
        grid->addWidget(txtXmin, 0, 1);
        grid->addWidget(Label14, 0, 2);
        grid->addWidget(txtXmax, 0, 3);
        grid->addWidget(Label18, 1, 0);
        grid->addWidget(txtYmin, 1, 1);
        grid->addWidget(Label19, 1, 2);
        grid->addWidget(txtYmax, 1, 3);
        grid->addWidget(cmdPlotOptions, 0, 4);
        grid->addWidget(cmdCancelPlotOptions, 1, 4);
    }
    right->addWidget(frPlotOptions);

    MSChart1 = new QFrame(this);
    MSChart1->setFrameShape(QFrame::StyledPanel);
    MSChart1->setMinimumHeight(200);
    MSChart1->setAutoFillBackground(true);
    {
        QPalette p = MSChart1->palette();
        p.setColor(QPalette::Window, Qt::white);
        MSChart1->setPalette(p);
    }
    right->addWidget(MSChart1, 3);

    MSFlexGrid1 = new ResultsGrid(this);
    MSFlexGrid1->setMinimumHeight(150);
    right->addWidget(MSFlexGrid1, 2);

    for (QLineEdit* box : m_textBoxes)
        box->installEventFilter(this);

    // Handlers of the lists and boxes.
    bindList(cboPayoff, [this] { cboPayoff_Click(); });
    bindList(cboExercise, [this] { cboExercise_Click(); });
    bindList(cboOptions, [this] { cboOptions_Click(); });
    connect(chkContMon, &QCheckBox::toggled, this, [this] { chkContMon_Click(); });
    connect(lblAdditionalParams, &ClickLabel::clicked, this, [this] { lblAdditionalParams_Click(); });
    bindInputFields();
}

void frmOptions::buildMenus()
{
    mnuFile = new QMenu(QStringLiteral("&File"), this);
    mnuExcel = mnuFile->addAction(QStringLiteral("&Export"));
    mnuSep = mnuFile->addSeparator();
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"));

    mnuAdvanced = new QMenu(QStringLiteral("&Options"), this);
    mnuResol = mnuAdvanced->addAction(QStringLiteral("&Configure solver"));
    mnuResol->setShortcut(QKeySequence(Qt::Key_F2));
    mnuVega = mnuAdvanced->addAction(QStringLiteral("Enable &vega calculation"));
    mnuVega->setCheckable(true);
    mnuTheta = mnuAdvanced->addAction(QStringLiteral("Enable &theta calculation"));
    mnuTheta->setCheckable(true);
    mnuBS = mnuAdvanced->addAction(QStringLiteral("Show analytical solution"));
    mnuBS->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuSaveRefSol = mnuAdvanced->addAction(QStringLiteral("Save as reference solution"));
    mnuSaveRefSol->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuBSGrid = mnuAdvanced->addAction(QStringLiteral("Plot numerical solution error"));
    mnuBSGrid->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    mnuSwitch = new QMenu(QStringLiteral("&Switch Solver"), this);
    mnuPDE = mnuSwitch->addAction(QStringLiteral("PDE Solver"));
    mnuMC = mnuSwitch->addAction(QStringLiteral("Monte Carlo Solver"));

    mnuCC = new QMenu(QStringLiteral("Copycat"), this);
    mnuCopy = mnuCC->addAction(QStringLiteral("&Copy"));

    mnuAbout = new QAction(QStringLiteral("About"), this);

    // The check marks are toggled by their handlers, not by the menu itself.
    for (QAction* a : {mnuVega, mnuTheta}) {
        connect(a, &QAction::triggered, this, [this, a](bool) {
            a->setChecked(!a->isChecked());  // undo the menu's own toggle
            if (a == mnuVega)
                mnuVega_Click();
            else
                mnuTheta_Click();
        });
    }
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(mnuResol, &QAction::triggered, this, [this] { mnuResol_Click(); });
    connect(mnuPDE, &QAction::triggered, this, [this] { mnuPDE_Click(); });
    connect(mnuMC, &QAction::triggered, this, [this] { mnuMC_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
    connect(mnuCopy, &QAction::triggered, this, [this] { mnuCopy_Click(); });

    // F3 switches solver from anywhere in the window.
    auto* f3 = new QAction(this);
    f3->setShortcut(QKeySequence(Qt::Key_F3));
    f3->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(f3, &QAction::triggered, this, [this] { Form_KeyDown(Qt::Key_F3, 0); });
    addAction(f3);
}

QList<QAction*> frmOptions::menuBarActions() const
{
    return {mnuFile->menuAction(), mnuAdvanced->menuAction(), mnuSwitch->menuAction(), mnuAbout};
}

void frmOptions::applyLayout()
{
    const bool wasLoading = m_loading;
    m_loading = true;
    setWindowTitle(QString());
    // The contract state of a window loaded afresh.
    m_inputs = ProductInputs{};
    mContMon = false;
    mEarlyExercise = false;
    mKnockOut = 0;
    gRebuildingExercise = false;
    m_heldStrike.reset();
    for (QComboBox* box : {cboPayoff, cboExercise, cboOptions})
        fillList(box, {});
    for (QLineEdit* box : m_textBoxes) {
        const QSignalBlocker quiet(box);
        box->clear();
        box->setEnabled(true);
        box->setToolTip(QString());
    }
    txtSmplPoints->setToolTip(
        QStringLiteral("This will also be the number of time steps used for the path construction"));
    {
        const QSignalBlocker quiet(chkContMon);
        chkContMon->setChecked(false);
        chkContMon->setEnabled(true);
    }
    lblMonPts->setText(QStringLiteral("Num of time"));
    lblMonPts2->setText(QStringLiteral("steps"));
    lblStrike->setEnabled(true);
    lblProgress->clear();
    lblCalcTime->clear();
    setForeColor(lblProgress, kBlack);

    // Visible as designed, except the three frames and the two panels.
    for (QWidget* w : std::initializer_list<QWidget*>{
             chkContMon, lblMonPts, lblMonPts2, txtMonPts, lblUpBar, TxtUpBar, lblDownBar,
             txtDownBar, lblStrike, txtStrike})
        w->setHidden(false);
    frAnalytic->hide();
    frMCExact->hide();
    frPlotOptions->hide();
    picBar->hide();
    picAsian->hide();

    // Menus as designed.
    mnuExcel->setEnabled(false);
    mnuExit->setVisible(true);
    mnuResol->setVisible(true);
    mnuVega->setVisible(true);
    mnuVega->setEnabled(true);
    mnuVega->setChecked(false);
    mnuTheta->setVisible(true);
    mnuTheta->setEnabled(true);
    mnuTheta->setChecked(false);
    mnuBS->setVisible(false);
    mnuBS->setEnabled(false);
    mnuSaveRefSol->setVisible(false);
    mnuSaveRefSol->setEnabled(true);
    mnuBSGrid->setVisible(false);
    mnuBSGrid->setEnabled(false);
    mnuPDE->setVisible(true);
    mnuPDE->setEnabled(true);
    mnuMC->setVisible(true);
    mnuMC->setEnabled(true);
    mnuCopy->setEnabled(true);

    // The results table as designed: 100 rows, 6 columns, 2 fixed rows,
    // nothing selected and no column widened.
    MSFlexGrid1->reset();
    MSFlexGrid1->setCols(6);
    MSFlexGrid1->setRows(100);
    MSFlexGrid1->setFixedRows(2);
    MSFlexGrid1->setFixedBackColor(0xDDE8FF);
    MSFlexGrid1->setToolTipText(QString());
    resetCalculationState();
    m_loading = wasLoading;
}

// ---------------------------------------------------------------------------
// Form life

void frmOptions::Load()
{
    if (m_loaded || m_loading)
        return;
    m_loading = true;
    applyLayout();
    m_loaded = true;
    m_loading = false;
    // Every path that shows a window sets the solver mode first, so the
    // load normally runs under the window's own mode. A window first
    // touched while the other one is in front (a settings dialog reading
    // its exercise style) must still get its own lists: the list index is
    // what crosses to the library.
    const int32_t frontMode = gSolverMode;
    const bool ownMode = m_solverKind != 0 && m_solverKind != gSolverMode;
    if (ownMode)
        gSolverMode = m_solverKind;
    Form_Load();
    if (ownMode)
        gSolverMode = frontMode;
}

void frmOptions::Unload()
{
    if (!m_loaded)
        return;
    if (deferWhileRunning(true))
        return;  // the run unloads the window when it ends
    int cancel = 0;
    Form_Unload(cancel);
    if (cancel != 0)
        return;
    m_loaded = false;
    m_shown = false;
    m_state = 0;
    if (QMdiSubWindow* frame = subWindow())
        frame->hide();
    else
        hide();
    if (m_host)
        m_host->refreshMenus();
}

QString frmOptions::Caption() const
{
    const_cast<frmOptions*>(this)->Load();
    return windowTitle();
}

void frmOptions::setCaption(const QString& caption)
{
    Load();
    setWindowTitle(caption);
    if (QMdiSubWindow* frame = subWindow())
        frame->setWindowTitle(caption);
}

QMdiSubWindow* frmOptions::subWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

bool frmOptions::Visible() const
{
    return m_loaded && m_shown;
}

namespace {
Qt::WindowStates qtState(int state)
{
    if (state == 1)
        return Qt::WindowMinimized;
    if (state == 2)
        return Qt::WindowMaximized;
    return Qt::WindowNoState;
}
}  // namespace

void frmOptions::setWindowState(int state)
{
    Load();
    m_state = state;
    // A window not on screen keeps the state for its showing.
    if (Visible()) {
        QWidget* target = subWindow() ? static_cast<QWidget*>(subWindow()) : this;
        target->setWindowState(qtState(state));
    }
}

int frmOptions::WindowState() const
{
    return m_state;
}

void frmOptions::markShown()
{
    m_shown = true;
    QWidget* target = subWindow() ? static_cast<QWidget*>(subWindow()) : this;
    const Qt::WindowStates kinds = Qt::WindowMinimized | Qt::WindowMaximized;
    if ((target->windowState() & kinds) != qtState(m_state))
        target->setWindowState(qtState(m_state));
}

void frmOptions::closeEvent(QCloseEvent* event)
{
    // A close during a run waits for the run to end.
    if (deferWhileRunning(false)) {
        event->ignore();
        return;
    }
    // Closing unloads; the instance stays for a later load.
    if (m_loaded) {
        int cancel = 0;
        Form_Unload(cancel);
        if (cancel != 0) {
            event->ignore();
            return;
        }
        m_loaded = false;
        m_shown = false;
        m_state = 0;
        // The frame hides after this returns; then the menus follow.
        QTimer::singleShot(0, this, [this] {
            if (m_host)
                m_host->refreshMenus();
        });
    }
    event->accept();
}

// ---------------------------------------------------------------------------
// Handlers of the form

void frmOptions::Form_Load()
{
    trapped("loading the pricer form", [this] {
        fillList(cboOptions, {QStringLiteral("Call"), QStringLiteral("Put")});
        setListIndex(cboOptions, 0);

        QStringList styles{QStringLiteral("European")};
        if (gSolverMode == kSolverPde)
            styles << QStringLiteral("American") << QStringLiteral("Bermudan");
        else
            styles << QStringLiteral("Bermudan");
        fillList(cboExercise, styles);

        QStringList payoffs;
        for (const char* p : kPayoffs)
            payoffs << QString::fromLatin1(p);
        fillList(cboPayoff, payoffs);
        setListIndex(cboPayoff, 0);

        setListIndex(cboExercise, 0);

        InitResultsTable();

        // The chart's own layout is set up by the chart itself.

        m_inputs.gInputsChanged = true;
        writeSolverDefaults();

        mLastCalcVega = false;
        mLastCalcTheta = false;

        mRefAsset.assign(2, 0.0);
        mRefValue.assign(2, 0.0);

        holdLeftColumnWidth();
    });
}

void frmOptions::holdLeftColumnWidth()
{
    // The contract panels come and go with the payoff and the exercise
    // style; the column keeps the width of the widest of them, so that the
    // chart and the table beside it stay where they are.
    int widest = 0;
    QLayout* column = m_leftColumn->layout();
    for (int i = 0; i < column->count(); ++i) {
        QLayoutItem* item = column->itemAt(i);
        QWidget* panel = item->widget() == Frame5 ? picBar : item->widget();
        widest = std::max(widest, panel ? panel->sizeHint().width() : item->sizeHint().width());
    }
    m_leftColumn->setFixedWidth(widest);
}

void frmOptions::writeSolverDefaults()
{
    // The settings dialogs own what they show: once a dialog exists, a
    // window that loads (again) leaves the settings as its controls show
    // them, so that the runs use what the user sees.
    applyPricerLoadDefaults(gSolverMode);
}

void frmOptions::Form_Activate()
{
    trapped("activating the pricer form", [this] {
        const QString caption = windowTitle();
        if (caption == QLatin1String("PDE Solver")) {
            gSolverMode = kSolverPde;
            mnuVega->setVisible(true);
        } else {
            gSolverMode = kSolverMc;
            mnuVega->setVisible(false);
            mnuTheta->setVisible(false);
        }
    });
}

void frmOptions::Form_KeyDown(int keyCode, int /*shift*/)
{
    if (keyCode != Qt::Key_F3)
        return;
    if (gSolverMode == kSolverPde)
        PrepareMCSolverForm();
    else
        PreparePDESolverForm();
}

void frmOptions::Form_Unload(int& /*cancel*/)
{
    // Nothing to keep: the close goes ahead.
}

// ---------------------------------------------------------------------------
// Menus

void frmOptions::mnuResol_Click()
{
    trapped("configuring the solver", [this] {
        // Each dialog serves the pricer window of its own solver.
        const int32_t solver = gSolverMode == kSolverPde ? kSolverPde : kSolverMc;
        showSettingsDialogModal(solver, host().pricerWindow(solver));
    });
}

void frmOptions::mnuVega_Click()
{
    mnuVega->setChecked(!mnuVega->isChecked());
}

void frmOptions::mnuTheta_Click()
{
    mnuTheta->setChecked(!mnuTheta->isChecked());
}

void frmOptions::mnuExit_Click()
{
    Unload();
}

void frmOptions::mnuPDE_Click()
{
    PreparePDESolverForm();
}

void frmOptions::mnuMC_Click()
{
    PrepareMCSolverForm();
}

void frmOptions::mnuAbout_Click()
{
    // The About window is not part of this program yet.
}

void frmOptions::mnuCopy_Click()
{
    trapped("copying the results", [this] {
        Clipboard::Clear();
        Clipboard::SetText(MSFlexGrid1->Clip());
    });
}

// ---------------------------------------------------------------------------
// Results table

void frmOptions::InitResultsTable()
{
    trapped("initializing the solution grid", [this] {
        ResultsGrid& grid = *MSFlexGrid1;
        grid.Clear();
        grid.setRowHeight(0, 370);
        const QString headers[6] = {
            gSolverMode == kSolverPde ? QStringLiteral("Asset") : QStringLiteral("Paths"),
            QStringLiteral("Option"), QStringLiteral("Delta"), QStringLiteral("Gamma"),
            QStringLiteral("Theta"),  QStringLiteral("Vega"),
        };
        for (int col = 0; col < 6; ++col) {
            grid.setRow(0);
            grid.setCol(col);
            grid.setCellFontBold(true);
            grid.setCellFontSize(13);
            grid.setCellAlignment(7);
            grid.setCellBackColor(0x80C0FF);
            grid.setText(headers[col]);
        }
        const QString zero = formatNumber(0.0, QStringLiteral("####0.0000"));
        for (int row = 1; row <= 99; ++row) {
            grid.setRow(row);
            for (int col = 0; col < 6; ++col) {
                grid.setCol(col);
                grid.setText(zero);
            }
        }
    });
}

// ---------------------------------------------------------------------------
// Error reporter

void frmOptions::ReportError(const QString& phrase)
{
    if (isSilentError(Err()))
        return;
    // A failed calculation turns the status red before the box shows.
    if (phrase == QLatin1String("solving for the option price"))
        setForeColor(lblProgress, kStatusRed);
    reportPendingError(phrase, this);
}

void frmOptions::trapped(const char* phrase, const std::function<void()>& body)
{
    RunTrapped(body, [this, phrase] { ReportError(QString::fromLatin1(phrase)); });
}

// ---------------------------------------------------------------------------
// Lists and check boxes, as the forms runtime drives them

void frmOptions::fillList(QComboBox* box, const QStringList& items)
{
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
}

void frmOptions::bindList(QComboBox* box, std::function<void()> handler)
{
    m_listHandlers.append({box, handler});
    connect(box, &QComboBox::currentIndexChanged, this, [this, box](int) {
        if (!m_loading)
            runListHandler(box);
    });
}

void frmOptions::runListHandler(QComboBox* box)
{
    for (const auto& entry : m_listHandlers)
        if (entry.first == box) {
            entry.second();
            return;
        }
}

void frmOptions::setListIndex(QComboBox* box, int index)
{
    if (index < -1 || index >= box->count())
        RaiseError(380, QStringLiteral("Invalid property value"));
    if (box->currentIndex() == index)
        runListHandler(box);
    else
        box->setCurrentIndex(index);  // its handler runs from the change
}

void frmOptions::setCheckValue(QCheckBox* box, bool checked)
{
    box->setChecked(checked);
}

QString frmOptions::exerciseText() const
{
    const_cast<frmOptions*>(this)->Load();
    return cboExercise->currentText();
}

int32_t frmOptions::ownSolver() const
{
    return m_solverKind != 0 ? m_solverKind : gSolverMode;
}

Payoff frmOptions::payoff() const
{
    return payoffAt(cboPayoff->currentIndex());
}

Exercise frmOptions::exercise() const
{
    return exerciseAt(ownSolver(), cboExercise->currentIndex());
}

int frmOptions::payoffIndex() const
{
    const_cast<frmOptions*>(this)->Load();
    return cboPayoff->currentIndex();
}

// ---------------------------------------------------------------------------
// Keys: menu shortcuts that a text box would otherwise take for itself.

bool frmOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && qobject_cast<QLineEdit*>(watched)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeyCombination combo = key->keyCombination();
        const std::pair<QKeyCombination, QAction*> shortcuts[] = {
            {QKeyCombination(Qt::ControlModifier, Qt::Key_A), mnuBS},
            {QKeyCombination(Qt::ControlModifier, Qt::Key_X), mnuBSGrid},
            {QKeyCombination(Qt::ControlModifier, Qt::Key_R), mnuSaveRefSol},
        };
        for (const auto& s : shortcuts)
            if (combo == s.first && s.second->isVisible() && s.second->isEnabled()) {
                event->ignore();  // let the menu entry have the key
                return true;
            }
    }
    return QWidget::eventFilter(watched, event);
}
