#include "settings/frmResol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/colors.h"
#include "platform/control_fit.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/twips.h"
#include "shared/pde_settings.h"
#include "shared/product_inputs.h"

using namespace tarvic;

namespace {

constexpr uint32_t kGrey = 0xE0E0E0;
constexpr uint32_t kWhite = 0xFFFFFF;

bool isDigitOrBackspace(int code)
{
    return (code >= '0' && code <= '9') || code == 8;
}

void caretToEnd(QLineEdit* box)
{
    box->setCursorPosition(static_cast<int>(box->text().size()));
}

}  // namespace

frmResol::frmResol(PricerLink* served, QWidget* parent) : SettingsDialog(served, parent)
{
    setWindowTitle(QStringLiteral("PDE Solver Options"));
    // Captions in Times New Roman; only the frame's caption and OK in bold
    // (the frame's children keep the plain weight).
    QFont font(QStringLiteral("Times New Roman"));
    setFont(font);
    font.setBold(false);
    QFont bold = font;
    bold.setBold(true);

    Frame2 = new QGroupBox(QStringLiteral("Grid Generation"), this);
    Frame2->setFont(bold);

    auto label = [&](QWidget* parentWidget, const QString& text) {
        auto* l = new QLabel(text, parentWidget);
        l->setFont(font);
        return l;
    };
    auto combo = [&](QWidget* parentWidget) {
        auto* c = new QComboBox(parentWidget);
        c->setFont(font);
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return c;
    };
    auto check = [&](QWidget* parentWidget, const QString& text) {
        auto* c = new QCheckBox(text, parentWidget);
        c->setFont(font);
        return c;
    };
    auto edit = [&](QWidget* parentWidget) {
        auto* e = new QLineEdit(parentWidget);
        e->setFont(font);
        return e;
    };

    Label1 = label(Frame2, QStringLiteral("Asset steps to strike:"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtNoA = edit(Frame2);
    Label2 = label(Frame2, QStringLiteral("Time steps:"));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtTS = edit(Frame2);
    lblResol = label(Frame2, QStringLiteral("Numerical resolution"));
    cboResol = combo(Frame2);
    ChkOverMaxS = check(Frame2, QStringLiteral("User-defined maximum asset value"));
    txtMaxS = edit(Frame2);
    chkNonUniGrid = check(Frame2, QStringLiteral("Use non-uniform grid"));
    // The blanks break the caption into "A-planes / Asset grid" over "spacing".
    lblPlaneSpc = label(Frame2, QStringLiteral("A-planes / Asset grid                      spacing"));
    breakCaptionAtBlanks(lblPlaneSpc);
    cboPlaneSpc = combo(Frame2);
    cboPlaneSpc->setToolTip(QStringLiteral(
        "A value of 2:1 means that the resolution in the A-dimension will be double as coarse "
        "as that of the asset grid."));

    lblDiscretization = label(this, QStringLiteral("Discretization Scheme"));
    cboDiscrete = combo(this);
    lblAmerSolver = label(this, QStringLiteral("American Solver"));
    cboAmerSolver = combo(this);
    lblPlanes = label(this, QStringLiteral("Planes Interpolation"));
    cboPlanes = combo(this);
    chkMT = check(this, QStringLiteral("Use all available CPU cores "));
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setFont(bold);
    Command1->setMinimumSize(85, 30);
    Command1->setDefault(true);
    Command1->setAutoDefault(true);

    // The design's arrangement, top to bottom; the boxes take the design's
    // widths or what their widest entries need.
    fitBoxWidth(txtNoA, 90, QStringLiteral("999999999"));
    fitBoxWidth(txtTS, 90, QStringLiteral("999999999"));
    fitBoxWidth(txtMaxS, 110, QStringLiteral("9999999.99"));
    // The box keeps its place while it is hidden, as in the design.
    QSizePolicy keepPlace = txtMaxS->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    txtMaxS->setSizePolicy(keepPlace);

    auto* grid = new QGridLayout(Frame2);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(txtNoA, 0, 1, Qt::AlignRight);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(txtTS, 1, 1, Qt::AlignRight);
    auto* resolution = new QVBoxLayout;
    resolution->setSpacing(0);
    resolution->addWidget(lblResol);
    resolution->addWidget(cboResol);
    grid->addLayout(resolution, 2, 0, 1, 2);
    grid->addWidget(ChkOverMaxS, 3, 0, 1, 2);
    auto* maxAsset = new QHBoxLayout;
    maxAsset->setContentsMargins(18, 0, 0, 0);
    maxAsset->addWidget(txtMaxS);
    maxAsset->addStretch(1);
    grid->addLayout(maxAsset, 4, 0, 1, 2);
    grid->addWidget(chkNonUniGrid, 5, 0, 1, 2);
    grid->addWidget(lblPlaneSpc, 6, 0);
    grid->addWidget(cboPlaneSpc, 6, 1);
    grid->setColumnStretch(0, 1);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 12);
    page->setSpacing(8);
    page->addWidget(Frame2);
    for (const auto& pair : {std::pair<QLabel*, QComboBox*>{lblDiscretization, cboDiscrete},
                             {lblAmerSolver, cboAmerSolver},
                             {lblPlanes, cboPlanes}}) {
        auto* rows = new QVBoxLayout;
        rows->setSpacing(0);
        rows->setContentsMargins(2, 0, 2, 0);
        rows->addWidget(pair.first);
        rows->addWidget(pair.second);
        page->addLayout(rows);
    }
    auto* cores = new QHBoxLayout;
    cores->setContentsMargins(2, 0, 2, 0);
    cores->addWidget(chkMT);
    page->addLayout(cores);
    page->addStretch(1);
    page->addWidget(Command1, 0, Qt::AlignHCenter);

    // Design-time states.
    txtNoA->setText(QStringLiteral("100"));
    txtNoA->setEnabled(false);
    setBackground(txtNoA, kGrey);
    txtTS->setText(QStringLiteral("100"));
    txtTS->setEnabled(false);
    setBackground(txtTS, kGrey);
    txtNoA->setMaxLength(kStepDigits);
    txtTS->setMaxLength(kStepDigits);
    ChkOverMaxS->setChecked(false);
    txtMaxS->setVisible(false);
    setBackground(txtMaxS, kLightYellow);
    chkNonUniGrid->setChecked(true);
    setBackground(cboPlaneSpc, kLightYellow);
    chkMT->setChecked(false);

    bindList(cboResol, [this] { cboResol_Click(); });
    bindList(cboDiscrete, [this] { cboDiscrete_Click(); });
    bindList(cboAmerSolver, [this] { cboAmerSolver_Click(); });
    bindList(cboPlanes, [this] { cboPlanes_Click(); });
    bindList(cboPlaneSpc, [this] { cboPlaneSpc_Click(); });
    connect(chkMT, &QCheckBox::toggled, this, [this] { chkMT_Click(); });
    connect(chkNonUniGrid, &QCheckBox::toggled, this, [this] { chkNonUniGrid_Click(); });
    connect(ChkOverMaxS, &QCheckBox::toggled, this, [this] { ChkOverMaxS_Click(); });
    connect(txtNoA, &QLineEdit::textChanged, this, [this] { txtNoA_Change(); });
    connect(txtTS, &QLineEdit::textChanged, this, [this] { txtTS_Change(); });
    connect(txtMaxS, &QLineEdit::textChanged, this, [this] { txtMaxS_Change(); });
    bindGotFocus(txtTS, [this] { txtTS_GotFocus(); });
    bindKeyPress(txtNoA, [this](int& k) { txtNoA_KeyPress(k); });
    bindKeyPress(txtTS, [this](int& k) { txtTS_KeyPress(k); });
    bindKeyPress(txtMaxS, [this](int& k) { txtMaxS_KeyPress(k); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Form_Load();
    // The design's size (3975 x 8010 twips), or more where the platform's
    // fonts need it; the lists are filled by now.
    fitToContents(QSize(px(3975), px(8010)));
}

void frmResol::Form_Load()
{
    PdeSettings& s = gPdeSettings;
    // The boxes' design-time states are the settings until a handler runs.
    s.gNonUniGrid = chkNonUniGrid->isChecked();
    s.gMultiThreadPDE = chkMT->isChecked();
    s.gMaxS = 0.0;

    fillList(cboDiscrete, {QStringLiteral("Implicit"), QStringLiteral("Crank-Nicolson"),
                           QStringLiteral("Crank-Nicolson with Rannacher")});
    setListIndex(cboDiscrete, 2);
    fillList(cboAmerSolver, {QStringLiteral("Projected SOR"), QStringLiteral("Projected Turbo SOR"),
                             QStringLiteral("Brennan-Schwartz")});
    setListIndex(cboAmerSolver, 2);
    fillList(cboPlanes, {QStringLiteral("Linear"), QStringLiteral("Quadratic"), QStringLiteral("Cubic")});
    setListIndex(cboPlanes, 1);
    fillList(cboPlaneSpc, {QStringLiteral(" 1:1"), QStringLiteral(" 2:1"), QStringLiteral(" 4:1")});
    setListIndex(cboPlaneSpc, 1);
    fillList(cboResol, {QStringLiteral("Low"), QStringLiteral("Medium"), QStringLiteral("High"),
                        QStringLiteral("User-defined")});
    setListIndex(cboResol, 1);

    s.gUserNoA = 0;
    s.gUserTS = 0;
}

void frmResol::Form_Activate()
{
    PdeSettings& s = gPdeSettings;
    const QString exercise = servedExercise();
    const ProductInputs& inputs = servedInputs();

    if (exercise == QLatin1String("American")) {
        cboAmerSolver->setEnabled(true);
        lblAmerSolver->setEnabled(true);
        setListIndex(cboAmerSolver, s.gAmerSolver);
    } else {
        cboAmerSolver->setEnabled(false);
        lblAmerSolver->setEnabled(false);
        setListIndex(cboAmerSolver, -1);
    }

    if (cboPlanes->isEnabled()) {
        {
            const QSignalBlocker block(cboPlaneSpc);
            cboPlaneSpc->clear();
        }
        const bool earlyExercise =
            exercise == QLatin1String("Bermudan") || exercise == QLatin1String("American");
        if ((earlyExercise && inputs.gAsian) || inputs.gFloatingStrike) {
            // One plane per asset step, quadratic across planes and the
            // automatic extent; the user's choices wait for a European
            // fixed strike.
            holdPlanes();
            fillList(cboPlaneSpc, {QStringLiteral("1:1")});
            setListIndex(cboPlaneSpc, 0);
            s.gPlanesInterp = 1;
            holdMaxAsset();
        } else {
            releasePlanes();
            fillList(cboPlaneSpc, {QStringLiteral(" 1:1"), QStringLiteral(" 2:1"), QStringLiteral(" 4:1")});
            int index = -1;
            if (s.gPlaneSpacing == 1)
                index = 0;
            else if (s.gPlaneSpacing == 2)
                index = 1;
            else if (s.gPlaneSpacing == 4)
                index = 2;
            setListIndex(cboPlaneSpc, index);
            releaseMaxAsset();
        }
        setListIndex(cboPlanes, s.gPlanesInterp == -1 ? s.gDefaultPlanesInterp : s.gPlanesInterp);
    } else {
        setListIndex(cboPlanes, -1);
        setListIndex(cboPlaneSpc, -1);
    }

    placeOverMainWindow(0.54);
}

void frmResol::cboResol_Click()
{
    const PdeSettings& s = gPdeSettings;
    const int preset = cboResol->currentIndex();
    static const char* const kSteps[] = {"30", "100", "300"};
    if (preset >= 0 && preset <= 2) {
        txtNoA->setText(QLatin1String(kSteps[preset]));
        txtTS->setText(QLatin1String(kSteps[preset]));
        txtNoA->setEnabled(false);
        txtTS->setEnabled(false);
        setBackground(txtNoA, kGrey);
        setBackground(txtTS, kGrey);
    } else {
        if (s.gUserNoA > 0)
            txtNoA->setText(QString::number(s.gUserNoA));
        txtNoA->setEnabled(true);
        setBackground(txtNoA, kWhite);
        txtNoA->setFocus();
        caretToEnd(txtNoA);
        if (s.gUserTS > 0)
            txtTS->setText(QString::number(s.gUserTS));
        txtTS->setEnabled(true);
        setBackground(txtTS, kWhite);
    }

    if (cboPlanes->isEnabled()) {
        if (cboPlaneSpc->count() < 2)
            setListIndex(cboPlaneSpc, 0);
        else if (servedInputs().gFloatingStrike)
            setListIndex(cboPlaneSpc, 0);
        else if (preset == 0)
            setListIndex(cboPlaneSpc, 1);
        else if (preset == 1)
            setListIndex(cboPlaneSpc, 2);
    }
}

void frmResol::Command1_Click()
{
    if (Val(txtNoA->text()) < 10) {
        MsgBox(QStringLiteral("The number of asset steps must be at least 10"), MsgIcon::Exclamation,
               MsgButtons::OKOnly, QStringLiteral("Invalid parameter"), this);
        txtNoA->setText(QString());
        txtNoA->setFocus();
        return;
    }
    if (Val(txtTS->text()) < 10) {
        MsgBox(QStringLiteral("The number of time steps must be at least 10"), MsgIcon::Exclamation,
               MsgButtons::OKOnly, QStringLiteral("Invalid parameter"), this);
        txtTS->setText(QString());
        txtTS->setFocus();
        return;
    }
    hide();
}

void frmResol::cboDiscrete_Click()
{
    gPdeSettings.gDiscretization = cboDiscrete->currentIndex();
}

void frmResol::cboAmerSolver_Click()
{
    const int index = cboAmerSolver->currentIndex();
    if (index != -1)
        gPdeSettings.gAmerSolver = index;
}

void frmResol::cboPlanes_Click()
{
    const int index = cboPlanes->currentIndex();
    if (index != -1)
        gPdeSettings.gPlanesInterp = index;
}

void frmResol::cboPlaneSpc_Click()
{
    switch (cboPlaneSpc->currentIndex()) {
    case 0:
        gPdeSettings.gPlaneSpacing = 1;
        if (cboPlanes->currentIndex() == 2)
            setListIndex(cboPlanes, 1);
        break;
    case 1:
        gPdeSettings.gPlaneSpacing = 2;
        break;
    case 2:
        gPdeSettings.gPlaneSpacing = 4;
        break;
    default:
        break;
    }
}

void frmResol::chkMT_Click()
{
    gPdeSettings.gMultiThreadPDE = chkMT->isChecked();
}

void frmResol::chkNonUniGrid_Click()
{
    if (chkNonUniGrid->isChecked()) {
        gPdeSettings.gNonUniGrid = true;
        // A contract that forces the non-uniform grid (by disabling and
        // checking the box) takes the grid's own extent: a user maximum
        // asset value waits until it applies again.
        if (!chkNonUniGrid->isEnabled() && ChkOverMaxS->isChecked())
            holdMaxAsset();
    } else {
        gPdeSettings.gNonUniGrid = false;
    }
}

void frmResol::ChkOverMaxS_Click()
{
    if (ChkOverMaxS->isChecked()) {
        txtMaxS->setVisible(true);
        if (gPdeSettings.gMaxS > 0)
            txtMaxS->setText(numberText(gPdeSettings.gMaxS));
        txtMaxS->setFocus();
    } else {
        txtMaxS->setVisible(false);
        txtMaxS->setText(QString());
        gPdeSettings.gMaxS = 0.0;  // also when the box was empty already
    }
}

void frmResol::txtNoA_Change()
{
    if (cboResol->currentIndex() == 3)
        gPdeSettings.gUserNoA = wholeNumber32(Val(txtNoA->text()));
}

void frmResol::txtTS_Change()
{
    if (cboResol->currentIndex() == 3)
        gPdeSettings.gUserTS = wholeNumber32(Val(txtTS->text()));
}

void frmResol::txtMaxS_Change()
{
    gPdeSettings.gMaxS = Val(txtMaxS->text());
}

void frmResol::txtTS_GotFocus()
{
    caretToEnd(txtTS);
}

void frmResol::txtNoA_KeyPress(int& keyAscii)
{
    if (!isDigitOrBackspace(keyAscii))
        keyAscii = 0;
}

void frmResol::txtTS_KeyPress(int& keyAscii)
{
    if (!isDigitOrBackspace(keyAscii))
        keyAscii = 0;
}

void frmResol::txtMaxS_KeyPress(int& keyAscii)
{
    if (!isDigitOrBackspace(keyAscii) && keyAscii != '.')
        keyAscii = 0;
}

// ---------------------------------------------------------------------------
// Settings a contract rules out

void frmResol::holdBox(QCheckBox* box, std::optional<bool>& held, bool shown)
{
    if (!held)
        held = box->isChecked();
    // Disabled first: the box's handler then takes the change for the
    // contract's, not the user's.
    box->setEnabled(false);
    box->setChecked(shown);
}

void frmResol::releaseBox(QCheckBox* box, std::optional<bool>& held)
{
    box->setEnabled(true);
    if (!held)
        return;
    const bool choice = *held;
    held.reset();
    box->setChecked(choice);
}

void frmResol::holdNonUniGrid(bool shown)
{
    holdBox(chkNonUniGrid, m_heldNonUniGrid, shown);
}

void frmResol::releaseNonUniGrid()
{
    releaseBox(chkNonUniGrid, m_heldNonUniGrid);
}

void frmResol::holdMaxAsset()
{
    if (!m_heldMaxAsset)
        m_heldMaxAsset = HeldMaxAsset{ChkOverMaxS->isChecked(), txtMaxS->text()};
    ChkOverMaxS->setEnabled(false);
    ChkOverMaxS->setChecked(false);  // hides and empties the value: gMaxS = 0
}

void frmResol::releaseMaxAsset()
{
    ChkOverMaxS->setEnabled(true);
    if (!m_heldMaxAsset)
        return;
    const HeldMaxAsset held = *m_heldMaxAsset;
    m_heldMaxAsset.reset();
    if (held.ticked) {
        ChkOverMaxS->setChecked(true);
        txtMaxS->setText(held.value);  // gMaxS follows the box
    }
}

void frmResol::holdMultiThreading()
{
    holdBox(chkMT, m_heldMultiThreading, false);
}

void frmResol::releaseMultiThreading()
{
    releaseBox(chkMT, m_heldMultiThreading);
}

void frmResol::holdPlanes()
{
    if (!m_heldPlanes)
        m_heldPlanes = HeldPlanes{gPdeSettings.gPlaneSpacing, gPdeSettings.gPlanesInterp};
}

void frmResol::releasePlanes()
{
    if (!m_heldPlanes)
        return;
    gPdeSettings.gPlaneSpacing = m_heldPlanes->spacing;
    gPdeSettings.gPlanesInterp = m_heldPlanes->interpolation;
    m_heldPlanes.reset();
}
