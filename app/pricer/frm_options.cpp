#include "pricer/frm_options.h"

#include "platform/colors.h"
#include "platform/control_fit.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/results_grid.h"
#include "platform/runtime_error.h"
#include "platform/system_services.h"
#include "about/frm_about.h"
#include "controls/hyperlink.h"
#include "pricer/click_label.h"
#include "pricer/error_reporter.h"
#include "platform/control_look.h"
#include "pricer/pricer_host.h"
#include "pricer/run_gate.h"
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
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
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

// The picture of the customize button: axes and a curve.
QIcon customizeGraphIcon()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.2));
    painter.drawLine(QPointF(2.5, 1.5), QPointF(2.5, 13.5));
    painter.drawLine(QPointF(2.5, 13.5), QPointF(14.5, 13.5));
    painter.setPen(QPen(QColor(0, 0, 160), 1.6));
    const QPointF curve[] = {{3.5, 11.0}, {6.5, 8.5}, {9.0, 9.5}, {11.5, 5.0}, {14.0, 3.0}};
    painter.drawPolyline(curve, 5);
    return QIcon(picture);
}

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

frmOptions::~frmOptions()
{
    // A window that goes with a call still out (the program ends) no longer
    // holds the other window's Calculate back.
    if (m_running)
        RunGate::instance().leave();
}

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

    ui.frmOptType = new QGroupBox(this);
    {
        auto* grid = new QGridLayout(ui.frmOptType);
        grid->setContentsMargins(6, 6, 6, 6);
        ui.Label3 = new QLabel(QStringLiteral("Payoff"), ui.frmOptType);
        ui.cboPayoff = new QComboBox(ui.frmOptType);
        ui.Label2 = new QLabel(QStringLiteral("Exercise style"), ui.frmOptType);
        ui.cboExercise = new QComboBox(ui.frmOptType);
        ui.Label1 = new QLabel(QStringLiteral("Option type"), ui.frmOptType);
        ui.cboOptions = new QComboBox(ui.frmOptType);
        ui.cboPayoff->setMinimumWidth(170);
        grid->addWidget(ui.Label3, 0, 0);
        grid->addWidget(ui.cboPayoff, 0, 1);
        grid->addWidget(ui.Label2, 1, 0);
        grid->addWidget(ui.cboExercise, 1, 1);
        grid->addWidget(ui.Label1, 2, 0);
        grid->addWidget(ui.cboOptions, 2, 1);
    }
    left->addWidget(ui.frmOptType);

    ui.Frame1 = new QGroupBox(QStringLiteral("Option Parameters"), this);
    {
        auto* grid = new QGridLayout(ui.Frame1);
        grid->setContentsMargins(6, 6, 6, 6);
        grid->setVerticalSpacing(2);
        ui.lblStrike = new QLabel(QStringLiteral("Strike"), ui.Frame1);
        ui.txtStrike = makeBox(ui.Frame1, m_textBoxes);
        ui.Label6 = new QLabel(QStringLiteral("Volatility"), ui.Frame1);
        ui.txtVol = makeBox(ui.Frame1, m_textBoxes);
        ui.Label9 = new QLabel(QStringLiteral("% p.a."), ui.Frame1);
        ui.Label7 = new QLabel(QStringLiteral("Interest rate"), ui.Frame1);
        ui.txtIntRate = makeBox(ui.Frame1, m_textBoxes);
        ui.Label10 = new QLabel(QStringLiteral("% p.a."), ui.Frame1);
        ui.Label8 = new QLabel(QStringLiteral("Dividend yield"), ui.Frame1);
        ui.txtDiv = makeBox(ui.Frame1, m_textBoxes);
        ui.Lbldivp = new QLabel(QStringLiteral("% p.a."), ui.Frame1);
        ui.Label4 = new QLabel(QStringLiteral("Time to expiry"), ui.Frame1);
        ui.txtExpi = makeBox(ui.Frame1, m_textBoxes);
        ui.Label12 = new QLabel(QStringLiteral("yrs"), ui.Frame1);
        grid->addWidget(ui.lblStrike, 0, 0);
        grid->addWidget(ui.txtStrike, 0, 1);
        grid->addWidget(ui.Label6, 1, 0);
        grid->addWidget(ui.txtVol, 1, 1);
        grid->addWidget(ui.Label9, 1, 2);
        grid->addWidget(ui.Label7, 2, 0);
        grid->addWidget(ui.txtIntRate, 2, 1);
        grid->addWidget(ui.Label10, 2, 2);
        grid->addWidget(ui.Label8, 3, 0);
        grid->addWidget(ui.txtDiv, 3, 1);
        grid->addWidget(ui.Lbldivp, 3, 2);
        grid->addWidget(ui.Label4, 4, 0);
        grid->addWidget(ui.txtExpi, 4, 1);
        grid->addWidget(ui.Label12, 4, 2);
    }
    left->addWidget(ui.Frame1);

    {
        auto* row = new QHBoxLayout;
        ui.Label4Asset = new QLabel(QStringLiteral("Asset"), this);
        ui.txtAsset = makeBox(this, m_textBoxes);
        row->addWidget(ui.Label4Asset);
        row->addWidget(ui.txtAsset);
        row->addStretch(1);
        left->addLayout(row);
    }

    ui.Frame6 = new QFrame(this);
    ui.Frame6->setFrameShape(QFrame::StyledPanel);
    {
        auto* lay = new QVBoxLayout(ui.Frame6);
        lay->setContentsMargins(2, 2, 2, 2);
        ui.Picture1 = new QFrame(ui.Frame6);
        auto* inner = new QVBoxLayout(ui.Picture1);
        inner->setContentsMargins(4, 2, 4, 2);
        ui.lblAdditionalParams = new ClickLabel(QStringLiteral("Additional Parameters"), ui.Picture1);
        ui.lblAdditionalParams->setAlignment(Qt::AlignCenter);
        inner->addWidget(ui.lblAdditionalParams);
        lay->addWidget(ui.Picture1);
    }
    left->addWidget(ui.Frame6);

    ui.Frame5 = new QFrame(this);
    {
        auto* lay = new QVBoxLayout(ui.Frame5);
        lay->setContentsMargins(0, 0, 0, 0);
        ui.picBar = new QFrame(ui.Frame5);
        ui.picBar->setFrameShape(QFrame::StyledPanel);
        auto* grid = new QGridLayout(ui.picBar);
        grid->setContentsMargins(6, 4, 6, 4);
        grid->setVerticalSpacing(2);
        ui.chkContMon = new QCheckBox(QStringLiteral("Continuous monitoring"), ui.picBar);
        ui.lblMonPts = new QLabel(QStringLiteral("Num of time"), ui.picBar);
        ui.lblMonPts2 = new QLabel(QStringLiteral("steps"), ui.picBar);
        // The caption's column holds the longest of its wordings.
        ui.lblMonPts->setMinimumWidth(periodsCaptionWidth(ui.lblMonPts->fontMetrics()));
        ui.txtMonPts = makeBox(ui.picBar, m_textBoxes);
        ui.lblUpBar = new QLabel(QStringLiteral("Up Barrier"), ui.picBar);
        ui.TxtUpBar = makeBox(ui.picBar, m_textBoxes);
        ui.lblDownBar = new QLabel(QStringLiteral("Down Barrier"), ui.picBar);
        ui.txtDownBar = makeBox(ui.picBar, m_textBoxes);
        grid->addWidget(ui.chkContMon, 0, 0, 1, 2);
        // The periods caption's two lines stay together beside their box.
        auto* periods = new QVBoxLayout;
        periods->setSpacing(0);
        periods->addWidget(ui.lblMonPts);
        periods->addWidget(ui.lblMonPts2);
        grid->addLayout(periods, 1, 0);
        grid->addWidget(ui.txtMonPts, 1, 1, Qt::AlignVCenter);
        grid->addWidget(ui.lblUpBar, 2, 0);
        grid->addWidget(ui.TxtUpBar, 2, 1);
        grid->addWidget(ui.lblDownBar, 3, 0);
        grid->addWidget(ui.txtDownBar, 3, 1);
        // The panel's spare height stays below its boxes.
        grid->setRowStretch(4, 1);
        lay->addWidget(ui.picBar);
    }
    left->addWidget(ui.Frame5);

    ui.picAsian = new QFrame(this);
    ui.picAsian->setFrameShape(QFrame::StyledPanel);
    {
        auto* grid = new QGridLayout(ui.picAsian);
        grid->setContentsMargins(6, 4, 6, 4);
        grid->setVerticalSpacing(2);
        ui.lblSmplStart = new QLabel(QStringLiteral("Time of first fixing"), ui.picAsian);
        ui.txtSmplstart = makeBox(ui.picAsian, m_textBoxes);
        ui.lblNFixed = new QLabel(QStringLiteral("Number of settled fixings"), ui.picAsian);
        ui.txtNFixed = makeBox(ui.picAsian, m_textBoxes);
        ui.lblSmplPeriods = new QLabel(QStringLiteral("Total number of fixings"), ui.picAsian);
        ui.txtSmplPoints = makeBox(ui.picAsian, m_textBoxes);
        ui.lblInitAvg = new QLabel(QStringLiteral("Average of settled fixings"), ui.picAsian);
        ui.txtInitAvg = makeBox(ui.picAsian, m_textBoxes);
        grid->addWidget(ui.lblSmplStart, 0, 0);
        grid->addWidget(ui.txtSmplstart, 0, 1);
        grid->addWidget(ui.lblNFixed, 1, 0);
        grid->addWidget(ui.txtNFixed, 1, 1);
        grid->addWidget(ui.lblSmplPeriods, 2, 0);
        grid->addWidget(ui.txtSmplPoints, 2, 1);
        grid->addWidget(ui.lblInitAvg, 3, 0);
        grid->addWidget(ui.txtInitAvg, 3, 1);
    }
    left->addWidget(ui.picAsian);

    ui.cmdCalc = new QPushButton(QStringLiteral("&Calculate"), this);
    left->addWidget(ui.cmdCalc);

    {
        auto* row = new QHBoxLayout;
        ui.Frame3 = new QGroupBox(this);
        auto* l3 = new QHBoxLayout(ui.Frame3);
        l3->setContentsMargins(4, 2, 4, 2);
        ui.Label17 = new QLabel(QStringLiteral("Status :"), ui.Frame3);
        ui.lblProgress = new QLabel(ui.Frame3);
        // Room for the longest status and the longest time ("####0.000 sec").
        ui.lblProgress->setMinimumWidth(ui.lblProgress->fontMetrics().horizontalAdvance(QStringLiteral("Please wait")));
        l3->addWidget(ui.Label17);
        l3->addWidget(ui.lblProgress, 1);
        ui.Frame4 = new QGroupBox(this);
        auto* l4 = new QHBoxLayout(ui.Frame4);
        l4->setContentsMargins(4, 2, 4, 2);
        ui.Label13 = new QLabel(QStringLiteral("Calculation     time :"), ui.Frame4);
        breakCaptionAtBlanks(ui.Label13);
        ui.lblCalcTime = new QLabel(ui.Frame4);
        ui.lblCalcTime->setMinimumWidth(
            ui.lblCalcTime->fontMetrics().horizontalAdvance(QStringLiteral("99999.999 sec")));
        l4->addWidget(ui.Label13);
        l4->addWidget(ui.lblCalcTime, 1);
        row->addWidget(ui.Frame3);
        row->addWidget(ui.Frame4);
        left->addLayout(row);
    }
    left->addStretch(1);

    // The maker's link, in its own colours on white.
    ui.HyperlinkOrsk = new Hyperlink(QStringLiteral("Halvic"), this);
    ui.HyperlinkOrsk->setObjectName(QStringLiteral("HyperlinkOrsk"));
    {
        Hyperlink& link = *ui.HyperlinkOrsk;
        link.setBackColor(fromBgr(0xFFFFFF));
        link.setColorNormal(fromBgr(0xC0E0FF));
        link.setColorUsed(fromBgr(0xC0E0FF));
        link.setColorHover(fromBgr(0x0080FF));
        QFont face(QStringLiteral("Copperplate Gothic Light"));
        face.setStyleHint(QFont::SansSerif);
        face.setPointSizeF(11.25);
        face.setUnderline(true);
        link.setFontNormal(face);
        link.setFontHover(face);
        link.setAutoSize(true);
        connect(&link, &Hyperlink::Jump, this, [this] { HyperlinkOrsk_Jump(); });
    }
    left->addWidget(ui.HyperlinkOrsk, 0, Qt::AlignLeft);

    // ---- right column: plot buttons, chart, results ----
    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    root->addLayout(right, 1);

    ui.Frame2 = new QGroupBox(this);
    {
        auto* lay = new QHBoxLayout(ui.Frame2);
        lay->setContentsMargins(4, 2, 4, 2);
        // Each button wears the title colour of the curve it draws; the
        // Greek capitals stand for delta, gamma and theta.
        struct Face {
            const char* text;
            uint32_t back;  // &HBBGGRR
            const char* tip;
        };
        static const Face faces[6] = {
            {"P", 0xC0E0FF, "Display current option premium"},
            {"\u0394", 0x80C0FF, "Display current option delta"},
            {"\u0393", 0x8080FF, "Display current option gamma"},
            {"\u0398", 0x0000C0, "Display current option theta"},
            {"V", 0xC0FFFF, "Display current option vega"},
            {"", 0xC0FFFF, "Customize graph"},
        };
        QFont serif(QStringLiteral("Times New Roman"));
        serif.setStyleHint(QFont::Serif);
        serif.setBold(true);
        for (int i = 0; i < 6; ++i) {
            QToolButton* button = new QToolButton(ui.Frame2);
            ui.cmdGraph[i] = button;
            button->setText(QString::fromUtf8(faces[i].text));
            button->setFont(serif);
            button->setToolTip(QString::fromLatin1(faces[i].tip));
            QPalette look = button->palette();
            look.setColor(QPalette::Button, fromBgr(faces[i].back));
            // White on the dark red of theta, black on the light colours.
            look.setColor(QPalette::ButtonText, faces[i].back == 0x0000C0 ? Qt::white : Qt::black);
            button->setPalette(look);
            button->setAutoFillBackground(true);
            const QFontMetrics metrics(serif);
            button->setMinimumSize(std::max(28, metrics.horizontalAdvance(QStringLiteral("W")) + 14),
                                   std::max(24, metrics.height() + 8));
            connect(button, &QToolButton::clicked, this, [this, i] { cmdGraph_Click(i); });
            lay->addWidget(button);
        }
        ui.cmdGraph[5]->setIcon(customizeGraphIcon());
        lay->addStretch(1);
    }
    right->addWidget(ui.Frame2);

    ui.frAnalytic = new QGroupBox(this);
    {
        auto* grid = new QGridLayout(ui.frAnalytic);
        grid->setContentsMargins(4, 2, 4, 2);
        ui.Label16 = new QLabel(QStringLiteral("Exact solution"), ui.frAnalytic);
        ui.cmdExact = new QPushButton(QStringLiteral("x"), ui.frAnalytic);
        ui.cmdExact->setMaximumWidth(24);
        grid->addWidget(ui.Label16, 0, 0, 1, 3);
        grid->addWidget(ui.cmdExact, 0, 5);
        QFont fixed(QStringLiteral("Monospace"));
        fixed.setStyleHint(QFont::TypeWriter);
        const char* const captions[6] = {"Value :", "Delta :", "Gamma :", "Theta :", "Vega :", "Asset :"};
        QLabel** values[6] = {&ui.lblAValue, &ui.lblADelta, &ui.lblAGamma, &ui.lblATheta, &ui.lblAVega, &ui.lblAsset};
        for (int i = 0; i < 6; ++i) {
            grid->addWidget(new QLabel(QString::fromLatin1(captions[i]), ui.frAnalytic), 1 + i / 3,
                            (i % 3) * 2);
            *values[i] = new QLabel(ui.frAnalytic);
            (*values[i])->setFont(fixed);
            grid->addWidget(*values[i], 1 + i / 3, (i % 3) * 2 + 1);
        }
    }
    right->addWidget(ui.frAnalytic);

    // The exact-value box and the plot-options box float over the chart's
    // plot, placed when they are shown.
    ui.frMCExact = new QGroupBox(this);
    {
        auto* lay = new QHBoxLayout(ui.frMCExact);
        lay->setContentsMargins(4, 2, 4, 2);
        ui.Label23 = new QLabel(QStringLiteral("Please enter  the exact price:"), ui.frMCExact);
        ui.txtMCExact = makeBox(ui.frMCExact, m_textBoxes);
        ui.cmdMCExact = new QPushButton(QStringLiteral("OK"), ui.frMCExact);
        ui.Command1 = new QPushButton(QStringLiteral("Cancel"), ui.frMCExact);
        lay->addWidget(ui.Label23);
        lay->addWidget(ui.txtMCExact);
        lay->addWidget(ui.cmdMCExact);
        lay->addWidget(ui.Command1);
    }

    ui.frPlotOptions = new QGroupBox(this);
    {
        auto* grid = new QGridLayout(ui.frPlotOptions);
        grid->setContentsMargins(4, 2, 4, 2);
        ui.Label11 = new QLabel(QStringLiteral("X Axis min"), ui.frPlotOptions);
        ui.Label14 = new QLabel(QStringLiteral("X Axis max"), ui.frPlotOptions);
        ui.Label18 = new QLabel(QStringLiteral("Y axis min"), ui.frPlotOptions);
        ui.Label19 = new QLabel(QStringLiteral("Y axis max"), ui.frPlotOptions);
        ui.txtXmin = makeBox(ui.frPlotOptions, m_textBoxes);
        ui.txtXmax = makeBox(ui.frPlotOptions, m_textBoxes);
        ui.txtYmin = makeBox(ui.frPlotOptions, m_textBoxes);
        ui.txtYmax = makeBox(ui.frPlotOptions, m_textBoxes);
        ui.cmdPlotOptions = new QPushButton(QStringLiteral("OK"), ui.frPlotOptions);
        ui.cmdCancelPlotOptions = new QPushButton(QStringLiteral("Cancel"), ui.frPlotOptions);
        grid->addWidget(ui.Label11, 0, 0);
        grid->addWidget(ui.txtXmin, 0, 1);
        grid->addWidget(ui.Label14, 0, 2);
        grid->addWidget(ui.txtXmax, 0, 3);
        grid->addWidget(ui.Label18, 1, 0);
        grid->addWidget(ui.txtYmin, 1, 1);
        grid->addWidget(ui.Label19, 1, 2);
        grid->addWidget(ui.txtYmax, 1, 3);
        grid->addWidget(ui.cmdPlotOptions, 0, 4);
        grid->addWidget(ui.cmdCancelPlotOptions, 1, 4);
    }

    ui.MSChart1 = new QFrame(this);
    ui.MSChart1->setFrameShape(QFrame::StyledPanel);
    ui.MSChart1->setMinimumHeight(200);
    ui.MSChart1->setAutoFillBackground(true);
    {
        QPalette p = ui.MSChart1->palette();
        p.setColor(QPalette::Window, Qt::white);
        ui.MSChart1->setPalette(p);
    }
    right->addWidget(ui.MSChart1, 3);
    for (QGroupBox* box : {ui.frMCExact, ui.frPlotOptions}) {
        box->setParent(ui.MSChart1);
        box->setAutoFillBackground(true);
        box->adjustSize();
    }

    ui.MSFlexGrid1 = new ResultsGrid(this);
    ui.MSFlexGrid1->setMinimumHeight(150);
    right->addWidget(ui.MSFlexGrid1, 2);

    for (QLineEdit* box : m_textBoxes)
        box->installEventFilter(this);

    // Handlers of the lists and boxes.
    bindList(ui.cboPayoff, [this] { cboPayoff_Click(); });
    bindList(ui.cboExercise, [this] { cboExercise_Click(); });
    bindList(ui.cboOptions, [this] { cboOptions_Click(); });
    connect(ui.chkContMon, &QCheckBox::toggled, this, [this] { chkContMon_Click(); });
    connect(ui.lblAdditionalParams, &ClickLabel::clicked, this, [this] { lblAdditionalParams_Click(); });
    bindInputFields();
}

void frmOptions::buildMenus()
{
    ui.mnuFile = new QMenu(QStringLiteral("&File"), this);
    ui.mnuExcel = ui.mnuFile->addAction(QStringLiteral("&Export"));
    ui.mnuSep = ui.mnuFile->addSeparator();
    ui.mnuExit = ui.mnuFile->addAction(QStringLiteral("E&xit"));

    ui.mnuAdvanced = new QMenu(QStringLiteral("&Options"), this);
    ui.mnuResol = ui.mnuAdvanced->addAction(QStringLiteral("&Configure solver"));
    ui.mnuResol->setShortcut(QKeySequence(Qt::Key_F2));
    ui.mnuVega = ui.mnuAdvanced->addAction(QStringLiteral("Enable &vega calculation"));
    ui.mnuVega->setCheckable(true);
    ui.mnuTheta = ui.mnuAdvanced->addAction(QStringLiteral("Enable &theta calculation"));
    ui.mnuTheta->setCheckable(true);
    ui.mnuBS = ui.mnuAdvanced->addAction(QStringLiteral("Show analytical solution"));
    ui.mnuBS->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    ui.mnuSaveRefSol = ui.mnuAdvanced->addAction(QStringLiteral("Save as reference solution"));
    ui.mnuSaveRefSol->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    ui.mnuBSGrid = ui.mnuAdvanced->addAction(QStringLiteral("Plot numerical solution error"));
    ui.mnuBSGrid->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    ui.mnuSwitch = new QMenu(QStringLiteral("&Switch Solver"), this);
    ui.mnuPDE = ui.mnuSwitch->addAction(QStringLiteral("PDE Solver"));
    ui.mnuMC = ui.mnuSwitch->addAction(QStringLiteral("Monte Carlo Solver"));

    ui.mnuCC = new QMenu(QStringLiteral("Copycat"), this);
    ui.mnuCopy = ui.mnuCC->addAction(QStringLiteral("&Copy"));

    ui.mnuAbout = new QAction(QStringLiteral("About"), this);

    // The check marks are toggled by their handlers, not by the menu itself.
    for (QAction* a : {ui.mnuVega, ui.mnuTheta}) {
        connect(a, &QAction::triggered, this, [this, a](bool) {
            a->setChecked(!a->isChecked());  // undo the menu's own toggle
            if (a == ui.mnuVega)
                mnuVega_Click();
            else
                mnuTheta_Click();
        });
    }
    connect(ui.mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(ui.mnuResol, &QAction::triggered, this, [this] { mnuResol_Click(); });
    connect(ui.mnuPDE, &QAction::triggered, this, [this] { mnuPDE_Click(); });
    connect(ui.mnuMC, &QAction::triggered, this, [this] { mnuMC_Click(); });
    connect(ui.mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
    connect(ui.mnuCopy, &QAction::triggered, this, [this] { mnuCopy_Click(); });
    connect(ui.mnuExcel, &QAction::triggered, this, [this] { mnuExcel_Click(); });
    connect(ui.mnuBS, &QAction::triggered, this, [this] { mnuBS_Click(); });
    connect(ui.mnuBSGrid, &QAction::triggered, this, [this] { mnuBSGrid_Click(); });
    connect(ui.mnuSaveRefSol, &QAction::triggered, this, [this] { mnuSaveRefSol_Click(); });

    // F3 switches solver from anywhere in the window.
    auto* f3 = new QAction(this);
    f3->setShortcut(QKeySequence(Qt::Key_F3));
    f3->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(f3, &QAction::triggered, this, [this] { Form_KeyDown(Qt::Key_F3, 0); });
    addAction(f3);
}

QList<QAction*> frmOptions::menuBarActions() const
{
    return {ui.mnuFile->menuAction(), ui.mnuAdvanced->menuAction(), ui.mnuSwitch->menuAction(), ui.mnuAbout};
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
    for (QComboBox* box : {ui.cboPayoff, ui.cboExercise, ui.cboOptions})
        fillList(box, {});
    for (QLineEdit* box : m_textBoxes) {
        const QSignalBlocker quiet(box);
        box->clear();
        box->setEnabled(true);
        box->setToolTip(QString());
    }
    ui.txtSmplPoints->setToolTip(
        QStringLiteral("This will also be the number of time steps used for the path construction"));
    {
        const QSignalBlocker quiet(ui.chkContMon);
        ui.chkContMon->setChecked(false);
        ui.chkContMon->setEnabled(true);
    }
    ui.lblMonPts->setText(QStringLiteral("Num of time"));
    ui.lblMonPts2->setText(QStringLiteral("steps"));
    ui.lblStrike->setEnabled(true);
    ui.lblProgress->clear();
    ui.lblCalcTime->clear();
    setForeColor(ui.lblProgress, kBlack);

    // Visible as designed, except the three frames and the two panels.
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui.chkContMon, ui.lblMonPts, ui.lblMonPts2, ui.txtMonPts, ui.lblUpBar, ui.TxtUpBar, ui.lblDownBar,
             ui.txtDownBar, ui.lblStrike, ui.txtStrike})
        w->setHidden(false);
    ui.frAnalytic->hide();
    ui.frMCExact->hide();
    ui.frPlotOptions->hide();
    ui.picBar->hide();
    ui.picAsian->hide();

    // Menus as designed.
    ui.mnuExcel->setEnabled(false);
    ui.mnuExit->setVisible(true);
    ui.mnuResol->setVisible(true);
    ui.mnuVega->setVisible(true);
    ui.mnuVega->setEnabled(true);
    ui.mnuVega->setChecked(false);
    ui.mnuTheta->setVisible(true);
    ui.mnuTheta->setEnabled(true);
    ui.mnuTheta->setChecked(false);
    ui.mnuBS->setVisible(false);
    ui.mnuBS->setEnabled(false);
    ui.mnuSaveRefSol->setVisible(false);
    ui.mnuSaveRefSol->setEnabled(true);
    ui.mnuBSGrid->setVisible(false);
    ui.mnuBSGrid->setEnabled(false);
    ui.mnuPDE->setVisible(true);
    ui.mnuPDE->setEnabled(true);
    ui.mnuMC->setVisible(true);
    ui.mnuMC->setEnabled(true);
    ui.mnuCopy->setEnabled(true);

    // The results table as designed: 100 rows, 6 columns, 2 fixed rows,
    // nothing selected and no column widened.
    ui.MSFlexGrid1->reset();
    ui.MSFlexGrid1->setCols(6);
    ui.MSFlexGrid1->setRows(100);
    ui.MSFlexGrid1->setFixedRows(2);
    ui.MSFlexGrid1->setFixedBackColor(0xDDE8FF);
    ui.MSFlexGrid1->setToolTipText(QString());
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
        fillList(ui.cboOptions, {QStringLiteral("Call"), QStringLiteral("Put")});
        setListIndex(ui.cboOptions, 0);

        QStringList styles{QStringLiteral("European")};
        if (gSolverMode == kSolverPde)
            styles << QStringLiteral("American") << QStringLiteral("Bermudan");
        else
            styles << QStringLiteral("Bermudan");
        fillList(ui.cboExercise, styles);

        QStringList payoffs;
        for (const char* p : kPayoffs)
            payoffs << QString::fromLatin1(p);
        fillList(ui.cboPayoff, payoffs);
        setListIndex(ui.cboPayoff, 0);

        setListIndex(ui.cboExercise, 0);

        InitResultsTable();

        // The chart's own layout is set up by the chart itself.

        m_inputs.gInputsChanged = true;
        writeSolverDefaults();

        mLastCalcVega = false;
        mLastCalcTheta = false;

        mReference.drop();

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
        QWidget* panel = item->widget() == ui.Frame5 ? ui.picBar : item->widget();
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
            ui.mnuVega->setVisible(true);
        } else {
            gSolverMode = kSolverMc;
            ui.mnuVega->setVisible(false);
            ui.mnuTheta->setVisible(false);
        }
    });
}

void frmOptions::Form_KeyDown(int keyCode, int /*shift*/)
{
    if (keyCode != Qt::Key_F3)
        return;
    if (ownSolver() == kSolverPde)
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
        // Not while a run of either window reads the settings.
        if (RunGate::instance().busy())
            return;
        // The dialog of the window's own solver, which serves this window.
        const int32_t solver = ownSolver() == kSolverPde ? kSolverPde : kSolverMc;
        showSettingsDialogModal(solver, host().pricerWindow(solver));
    });
}

void frmOptions::mnuVega_Click()
{
    ui.mnuVega->setChecked(!ui.mnuVega->isChecked());
}

void frmOptions::mnuTheta_Click()
{
    ui.mnuTheta->setChecked(!ui.mnuTheta->isChecked());
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
    ShowAboutWindow();
}

void frmOptions::HyperlinkOrsk_Jump()
{
    const QString address = frmAbout::kWebAddress;
    if (!ShellOpen(QUrl(address)))
        MsgBox(QStringLiteral("No program could open the address: ") + address,
               MsgIcon::Exclamation, MsgButtons::OKOnly, QString(), this);
}

void frmOptions::mnuCopy_Click()
{
    trapped("copying the results", [this] {
        Clipboard::Clear();
        Clipboard::SetText(ui.MSFlexGrid1->Clip());
    });
}

// ---------------------------------------------------------------------------
// Results table

void frmOptions::InitResultsTable()
{
    trapped("initializing the solution grid", [this] {
        ResultsGrid& grid = *ui.MSFlexGrid1;
        grid.Clear();
        grid.setRowHeight(0, 370);
        const QString headers[6] = {
            ownSolver() == kSolverPde ? QStringLiteral("Asset") : QStringLiteral("Paths"),
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
        setForeColor(ui.lblProgress, kStatusRed);
    // Titled by the window's own solver, whichever window is in front.
    reportPendingError(phrase, this, ownSolver());
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
    return ui.cboExercise->currentText();
}

int32_t frmOptions::ownSolver() const
{
    return m_solverKind != 0 ? m_solverKind : gSolverMode;
}

Payoff frmOptions::payoff() const
{
    return payoffAt(ui.cboPayoff->currentIndex());
}

Exercise frmOptions::exercise() const
{
    return exerciseAt(ownSolver(), ui.cboExercise->currentIndex());
}

int frmOptions::payoffIndex() const
{
    const_cast<frmOptions*>(this)->Load();
    return ui.cboPayoff->currentIndex();
}

// ---------------------------------------------------------------------------
// Keys: menu shortcuts that a text box would otherwise take for itself.

bool frmOptions::eventFilter(QObject* watched, QEvent* event)
{
    // The boxes and the results table take Ctrl+A and Ctrl+X for
    // themselves; the menu entries get them while they are offered.
    if (event->type() == QEvent::ShortcutOverride &&
        (qobject_cast<QLineEdit*>(watched) || watched == ui.MSFlexGrid1)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeyCombination combo = key->keyCombination();
        const std::pair<QKeyCombination, QAction*> shortcuts[] = {
            {QKeyCombination(Qt::ControlModifier, Qt::Key_A), ui.mnuBS},
            {QKeyCombination(Qt::ControlModifier, Qt::Key_X), ui.mnuBSGrid},
            {QKeyCombination(Qt::ControlModifier, Qt::Key_R), ui.mnuSaveRefSol},
        };
        for (const auto& s : shortcuts)
            if (combo == s.first && s.second->isVisible() && s.second->isEnabled()) {
                event->ignore();  // let the menu entry have the key
                return true;
            }
    }
    return QWidget::eventFilter(watched, event);
}
