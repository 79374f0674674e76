#include "settings/frmResolMC.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

#include "platform/control_fit.h"
#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/spin_button.h"
#include "platform/twips.h"
#include "shared/contract_terms.h"
#include "shared/mc_settings.h"
#include "shared/product_inputs.h"

using namespace tarvic;

namespace {

const QString kPathsTitle = QStringLiteral("Invalid input parameter");

// The exponent held in a Sobol paths box: the value of its last two
// characters ("2^19" gives 19).
double exponentOf(const QLineEdit* box)
{
    return Val(rightChars(box->text(), 2));
}

bool isDigitOrBackspace(int code)
{
    return (code >= '0' && code <= '9') || code == 8;
}

}  // namespace

frmResolMC::frmResolMC(PricerLink* served, QWidget* parent) : SettingsDialog(served, parent)
{
    setWindowTitle(QStringLiteral("Monte Carlo Solver Options"));
    const QFont font(QStringLiteral("Times New Roman"));
    setFont(font);

    auto group = [&](QWidget* p, const QString& title) { return new QGroupBox(title, p); };
    auto radio = [&](QWidget* p, const QString& text) { return new QRadioButton(text, p); };
    auto check = [&](QWidget* p, const QString& text) { return new QCheckBox(text, p); };
    auto label = [&](QWidget* p, const QString& text) { return new QLabel(text, p); };
    auto edit = [&](QWidget* p) { return new QLineEdit(p); };
    auto display = [&](QWidget* p) {
        auto* e = edit(p);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        return e;
    };

    frmRNG = group(this, QStringLiteral("Number Generator"));
    optRNG[0] = radio(frmRNG, QStringLiteral("Sobol"));
    optRNG[1] = radio(frmRNG, QStringLiteral("Pseudo-random"));
    lblPaths = label(frmRNG, QStringLiteral("Number of Paths"));
    Label1 = label(frmRNG, QStringLiteral("2^"));
    Label1->setVisible(false);  // the box shows "2^" itself
    txtPaths = edit(frmRNG);
    UpDownPow = new SpinButton(frmRNG);
    txtFinalPaths = display(frmRNG);
    chkWarm = check(frmRNG, QStringLiteral("Warm-up Sobol sequence"));

    frmVarRed = group(this, QStringLiteral("Variance Reduction"));
    chkAntithetic = check(frmVarRed, QStringLiteral("Antithetic Variables"));
    chkBB = check(frmVarRed, QStringLiteral("Brownian Bridge Path Construction"));

    Frame3 = group(this, QStringLiteral("Time Marching"));
    optTM[0] = radio(Frame3, QStringLiteral("Exact"));
    optTM[1] = radio(Frame3, QStringLiteral("Euler"));
    optTM[2] = radio(Frame3, QStringLiteral("Milstein"));

    Frame1 = group(this, QStringLiteral("Sensitivities Calculation"));
    const char* const greeks[] = {"Delta", "Gamma", "Vega", "Theta"};
    for (int i = 0; i < 4; ++i)
        chkGreeks[i] = check(Frame1, QLatin1String(greeks[i]));
    Frame2 = group(Frame1, QStringLiteral("Method"));
    optGreekMethod[0] = radio(Frame2, QStringLiteral("Likelihood Ratio"));
    optGreekMethod[1] = radio(Frame2, QStringLiteral("Finite Differencing"));

    chkMT = check(this, QStringLiteral("Use all available CPU cores "));

    frmLS = group(this, QStringLiteral("Longstaff-Schwartz"));
    lblLSPaths = label(frmLS, QStringLiteral("Number of Paths"));
    Label2 = label(frmLS, QStringLiteral("2^"));
    Label2->setVisible(false);  // the box shows "2^" itself
    txtLSPaths = edit(frmLS);
    UpDownLSPow = new SpinButton(frmLS);
    txtLSFinalPaths = display(frmLS);
    lblLSBS = label(frmLS, QStringLiteral("Number of Basis Functions"));
    cboBasisF = new QComboBox(frmLS);

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setMinimumSize(85, 30);
    Command1->setDefault(true);

    // The design's arrangement, top to bottom. The paths boxes take the
    // design's widths (Sobol 745 twips beside the spin button) or what
    // their largest counts need; a count of paths run can reach 2^31,
    // shown as 2,147,483,648.
    for (SpinButton* spin : {UpDownPow, UpDownLSPow})
        spin->setFixedSize(16, txtPaths->sizeHint().height());
    for (QLineEdit* box : {txtPaths, txtLSPaths})
        setWidth(box, 745);
    for (QLineEdit* box : {txtFinalPaths, txtLSFinalPaths})
        fitBoxWidth(box, 80, QStringLiteral("2,147,483,648"));
    cboBasisF->setMinimumWidth(80);
    // The paths boxes start 1920 twips into their frames: 10 pixels from
    // the frame's edge, the caption's 112 and a gap of 6.
    for (QLabel* caption : {lblPaths, lblLSPaths})
        caption->setMinimumWidth(112);

    // Number of paths: the label, the box with its spin button, the count.
    const auto pathsRow = [](QGridLayout* grid, int row, QLabel* caption, QLineEdit* box,
                             SpinButton* spin, QLineEdit* count) {
        grid->addWidget(caption, row, 0);
        auto* pair = new QHBoxLayout;
        pair->setSpacing(0);
        pair->addWidget(box);
        pair->addWidget(spin);
        pair->addStretch(1);
        grid->addLayout(pair, row, 1);
        grid->addWidget(count, row, 2);
    };
    const auto frameGrid = [](QGroupBox* frame) {
        auto* grid = new QGridLayout(frame);
        // The frame's own border takes 3 of the 10 pixels on the left.
        grid->setContentsMargins(7, 8, 8, 8);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(6);
        return grid;
    };

    QGridLayout* rng = frameGrid(frmRNG);
    rng->addWidget(optRNG[0], 0, 0);
    rng->addWidget(optRNG[1], 0, 1, 1, 2);
    pathsRow(rng, 1, lblPaths, txtPaths, UpDownPow, txtFinalPaths);
    rng->addWidget(chkWarm, 2, 0, 1, 3);

    QGridLayout* variance = frameGrid(frmVarRed);
    variance->addWidget(chkAntithetic, 0, 0);
    variance->addWidget(chkBB, 1, 0);

    QGridLayout* marching = frameGrid(Frame3);
    for (int i = 0; i < 3; ++i)
        marching->addWidget(optTM[static_cast<size_t>(i)], 0, i);

    QGridLayout* greekGrid = frameGrid(Frame1);
    for (int i = 0; i < 4; ++i)
        greekGrid->addWidget(chkGreeks[static_cast<size_t>(i)], 0, i);
    greekGrid->addWidget(Frame2, 1, 0, 1, 4);
    QGridLayout* method = frameGrid(Frame2);
    method->addWidget(optGreekMethod[0], 0, 0);
    method->addWidget(optGreekMethod[1], 0, 1);

    QGridLayout* regression = frameGrid(frmLS);
    pathsRow(regression, 0, lblLSPaths, txtLSPaths, UpDownLSPow, txtLSFinalPaths);
    regression->addWidget(lblLSBS, 1, 0, 1, 2);
    regression->addWidget(cboBasisF, 1, 2);
    regression->setRowStretch(2, 1);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 10);
    page->setSpacing(6);
    page->addWidget(frmRNG);
    page->addWidget(frmVarRed);
    page->addWidget(Frame3);
    page->addWidget(Frame1);
    auto* cores = new QHBoxLayout;
    cores->setContentsMargins(8, 0, 0, 0);
    cores->addWidget(chkMT);
    page->addLayout(cores);
    page->addWidget(frmLS, 1);
    page->addWidget(Command1, 0, Qt::AlignHCenter);

    // Design-time states.
    optRNG[0]->setChecked(true);
    txtPaths->setReadOnly(true);
    UpDownPow->setRange(10, 30);
    UpDownPow->setIncrement(1);
    UpDownPow->setValue(19);
    chkWarm->setChecked(false);
    chkAntithetic->setChecked(false);
    chkBB->setChecked(true);
    optTM[0]->setChecked(true);
    for (QCheckBox* c : chkGreeks)
        c->setChecked(true);
    optGreekMethod[0]->setChecked(true);
    chkMT->setChecked(true);
    txtLSPaths->setReadOnly(true);
    UpDownLSPow->setRange(10, 31);
    UpDownLSPow->setIncrement(1);
    UpDownLSPow->setValue(14);

    for (int i = 0; i < 2; ++i)
        connect(optRNG[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optRNG_Click(i);
        });
    for (int i = 0; i < 3; ++i)
        connect(optTM[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optTM_Click(i);
        });
    for (int i = 0; i < 4; ++i)
        connect(chkGreeks[i], &QCheckBox::toggled, this, [this, i] { chkGreeks_Click(i); });
    connect(UpDownPow, &SpinButton::Change, this, [this] { UpDownPow_Change(); });
    connect(UpDownLSPow, &SpinButton::Change, this, [this] { UpDownLSPow_Change(); });
    connect(txtPaths, &QLineEdit::textChanged, this, [this] { txtPaths_Change(); });
    connect(txtLSPaths, &QLineEdit::textChanged, this, [this] { txtLSPaths_Change(); });
    bindKeyPress(txtPaths, [this](int& k) { txtPaths_KeyPress(k); });
    bindKeyPress(txtLSPaths, [this](int& k) { txtLSPaths_KeyPress(k); });
    connect(chkWarm, &QCheckBox::toggled, this, [this] { chkWarm_Click(); });
    connect(chkAntithetic, &QCheckBox::toggled, this, [this] { chkAntithetic_Click(); });
    connect(chkBB, &QCheckBox::toggled, this, [this] { chkBB_Click(); });
    connect(chkMT, &QCheckBox::toggled, this, [this] { chkMT_Click(); });
    bindList(cboBasisF, [this] { cboBasisF_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    Form_Load();
    // The dialog's size as designed (300 x 590), or more where the
    // platform's fonts need it.
    fitToContents(QSize(300, 590));
}

bool frmResolMC::bermudan() const
{
    return servedExercise() == QLatin1String("Bermudan");
}

bool frmResolMC::pseudoRandom() const
{
    return optRNG[1]->isChecked();
}

void frmResolMC::setWidth(QLineEdit* box, int twips)
{
    // At least the design's width, and room for the largest count the box
    // takes: "2^31" beside the spin button, 2000000 thousands without it.
    const bool sobolBox = twips < 975;
    fitBoxWidth(box, px(twips), sobolBox ? QStringLiteral("2^31") : QStringLiteral("2000000"));
}

void frmResolMC::writePowerBox(QLineEdit* box, const SpinButton* spin)
{
    box->setText(formatNumber(spin->value(), QStringLiteral("2^##")));
}

void frmResolMC::fillBasisList()
{
    if (isAsian(payoffAt(servedPayoff())))
        fillList(cboBasisF, {QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("24"),
                             QStringLiteral("35")});
    else
        fillList(cboBasisF, {QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
                             QStringLiteral("6"), QStringLiteral("10"), QStringLiteral("11")});
}

void frmResolMC::SetBasisFunctionMenu(PricerLink* window)
{
    if (window)
        setServedWindow(window);
    const int wanted = isAsian(payoffAt(servedPayoff())) ? 4 : 6;
    if (cboBasisF->count() == wanted)
        return;
    fillBasisList();
    setListIndex(cboBasisF, 1);
}

void frmResolMC::initDefaultParameters(PricerLink* window)
{
    if (window)
        setServedWindow(window);
    if (!bermudan() || mDefaultsSet)
        return;
    if (gMcSettings.gSobol) {
        UpDownLSPow->setValue(gMcSettings.gLSPathsPow);
        writePowerBox(txtLSPaths, UpDownLSPow);
    } else {
        txtLSPaths->setText(txtPaths->text());
    }
    setListIndex(cboBasisF, 1);
    mBasisIndex = 1;
    mDefaultsSet = true;
}

void frmResolMC::restoreRegressionChoices()
{
    const McSettings& s = gMcSettings;
    frmLS->setEnabled(true);
    lblLSBS->setEnabled(true);
    lblLSPaths->setEnabled(true);
    txtLSPaths->setEnabled(true);
    if (s.gSobol) {
        txtLSPaths->setText(formatNumber(s.gLSPathsPow, QStringLiteral("2^##")));
        txtLSFinalPaths->setText(
            formatNumber(std::pow(2.0, exponentOf(txtLSPaths)), QStringLiteral("#,###,###")));
    } else {
        txtLSPaths->setText(QString::number(s.gLSPathsK));
    }
    txtLSFinalPaths->setEnabled(true);
    cboBasisF->setEnabled(true);
    // A choice made in the other payoff group's longer list may not exist
    // in this one: fall back to the list's default item.
    setListIndex(cboBasisF, mBasisIndex >= 0 && mBasisIndex < cboBasisF->count() ? mBasisIndex : 1);
}

void frmResolMC::setRegressionPaths(const QString& text)
{
    txtLSPaths->setText(text);
    // The spin button stays on the exponent the box shows.
    if (gMcSettings.gSobol)
        UpDownLSPow->setValue(wholeNumber32(exponentOf(txtLSPaths)));
}

void frmResolMC::Form_Load()
{
    McSettings& s = gMcSettings;
    fillBasisList();
    s.gLSPathsK = 50;
    s.gLSPathsPow = 14;
    s.gPathsK = 1000;
    s.gPathsPow = 19;
    s.gSobol = true;
    chkWarm->setEnabled(true);
    s.gTimeMarching = 1;
    chkAntithetic->setEnabled(false);
    chkBB->setEnabled(true);
    txtPaths->setText(QString::number(s.gPathsPow));
    writePowerBox(txtPaths, UpDownPow);
    writePowerBox(txtLSPaths, UpDownLSPow);
    servedInputs().gDiscreteMon = true;
    s.gBrownianBridge = true;
    s.gAntithetic = true;
    s.gWarmUp = false;
}

void frmResolMC::Form_Activate()
{
    SetBasisFunctionMenu();

    const QString exercise = servedExercise();
    if (exercise == QLatin1String("Bermudan")) {
        restoreRegressionChoices();
    } else if (exercise == QLatin1String("European")) {
        frmLS->setEnabled(false);
        lblLSBS->setEnabled(false);
        lblLSPaths->setEnabled(false);
        txtLSPaths->setEnabled(false);
        txtLSFinalPaths->setEnabled(false);
        txtLSPaths->setText(QString());
        txtLSFinalPaths->setText(QString());
        cboBasisF->setEnabled(false);
        setListIndex(cboBasisF, -1);
    }

    const ProductInputs& inputs = servedInputs();
    if (inputs.gBarrier) {
        optTM[2]->setEnabled(inputs.gDiscreteMon);
        if (optTM[2]->isChecked() && !inputs.gDiscreteMon)
            optTM[0]->setChecked(true);
    } else {
        optTM[2]->setEnabled(true);
    }

    initDefaultParameters();
    placeOverMainWindow(0.54);
}

void frmResolMC::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Only the dialog's own background counts, not its controls.
    if (!childAt(event->position().toPoint()))
        Form_DblClick();
    SettingsDialog::mouseDoubleClickEvent(event);
}

void frmResolMC::Form_DblClick()
{
    gMcSettings.gFewBlocks = !gMcSettings.gFewBlocks;
}

void frmResolMC::optRNG_Click(int index)
{
    McSettings& s = gMcSettings;
    txtPaths->setFocus();
    if (index == 1) {
        s.gSobol = false;
        chkAntithetic->setEnabled(true);
        chkAntithetic->setChecked(s.gAntithetic);
        chkBB->setEnabled(false);
        chkBB->setChecked(false);
        chkWarm->setEnabled(false);
        chkWarm->setChecked(false);
        setWidth(txtPaths, 975);
        txtPaths->setText(QString::number(s.gPathsK));
        txtPaths->setReadOnly(false);
        UpDownPow->setVisible(false);
        setWidth(txtLSPaths, 975);
        if (bermudan())
            txtLSPaths->setText(QString::number(s.gLSPathsK));
        txtLSPaths->setReadOnly(false);
        UpDownLSPow->setVisible(false);
    } else {
        s.gSobol = true;
        chkWarm->setEnabled(true);
        chkWarm->setChecked(s.gWarmUp);
        chkAntithetic->setEnabled(false);
        chkAntithetic->setChecked(false);
        chkBB->setEnabled(true);
        chkBB->setChecked(s.gBrownianBridge);
        setWidth(txtPaths, 745);
        txtPaths->setReadOnly(true);
        UpDownPow->setVisible(true);
        UpDownPow->setValue(s.gPathsPow);
        // The spin button's change does not fire for an unchanged value:
        // write the box here, so it never keeps the pseudo-random count.
        writePowerBox(txtPaths, UpDownPow);
        setWidth(txtLSPaths, 745);
        txtLSPaths->setReadOnly(true);
        UpDownLSPow->setVisible(true);
        if (bermudan()) {
            UpDownLSPow->setValue(s.gLSPathsPow);
            writePowerBox(txtLSPaths, UpDownLSPow);
        }
    }
}

void frmResolMC::UpDownPow_Change()
{
    writePowerBox(txtPaths, UpDownPow);
}

void frmResolMC::UpDownLSPow_Change()
{
    writePowerBox(txtLSPaths, UpDownLSPow);
}

void frmResolMC::txtPaths_Change()
{
    McSettings& s = gMcSettings;
    if (pseudoRandom()) {
        if (Val(txtPaths->text()) > 2000000) {
            // No count beside a refused one while the message shows: the
            // reset writes the count of the limit.
            txtFinalPaths->clear();
            MsgBox(QStringLiteral("The maximum number of pseudo-random paths allowed is 2 billion"),
                   MsgIcon::Exclamation, MsgButtons::OKOnly, kPathsTitle, this);
            txtPaths->setText(QStringLiteral("2000000"));
            txtPaths->setFocus();
        } else {
            txtFinalPaths->setText(
                formatNumber(Val(txtPaths->text()) * 1000, QStringLiteral("#,###,###")));
        }
        s.gPathsK = wholeNumber32(Val(txtPaths->text()));
    } else {
        const double exponent = exponentOf(txtPaths);
        if (exponent >= 10)
            txtFinalPaths->setText(formatNumber(std::pow(2.0, exponent), QStringLiteral("#,###,###")));
        s.gPathsPow = wholeNumber32(exponent);
    }
}

void frmResolMC::txtLSPaths_Change()
{
    McSettings& s = gMcSettings;
    if (pseudoRandom()) {
        if (Val(txtLSPaths->text()) > 2000000) {
            // No count beside a refused one while the message shows: the
            // reset writes the count of the limit.
            txtLSFinalPaths->clear();
            MsgBox(QStringLiteral("The maximum number of pseudo-random paths allowed is 2 billion"),
                   MsgIcon::Exclamation, MsgButtons::OKOnly, kPathsTitle, this);
            txtLSPaths->setText(QStringLiteral("2000000"));
            txtLSPaths->setFocus();
        } else {
            txtLSFinalPaths->setText(
                formatNumber(Val(txtLSPaths->text()) * 1000, QStringLiteral("#,###,###")));
        }
    } else if (bermudan()) {
        txtLSFinalPaths->setText(
            formatNumber(std::pow(2.0, exponentOf(txtLSPaths)), QStringLiteral("#,###,###")));
    }
    if (bermudan()) {
        if (!pseudoRandom())
            s.gLSPathsPow = wholeNumber32(exponentOf(txtLSPaths));
        else
            s.gLSPathsK = wholeNumber32(Val(txtLSPaths->text()));
    }
}

void frmResolMC::txtPaths_KeyPress(int& keyAscii)
{
    if (!isDigitOrBackspace(keyAscii))
        keyAscii = 0;
}

void frmResolMC::txtLSPaths_KeyPress(int& keyAscii)
{
    if (!isDigitOrBackspace(keyAscii))
        keyAscii = 0;
}

void frmResolMC::chkWarm_Click()
{
    if (chkWarm->isEnabled())
        gMcSettings.gWarmUp = chkWarm->isChecked();
}

void frmResolMC::chkAntithetic_Click()
{
    if (chkAntithetic->isEnabled())
        gMcSettings.gAntithetic = chkAntithetic->isChecked();
}

void frmResolMC::chkBB_Click()
{
    if (!chkBB->isEnabled())
        return;
    if (chkBB->isChecked()) {
        gMcSettings.gBrownianBridge = true;
        chkWarm->setChecked(false);
    } else {
        gMcSettings.gBrownianBridge = false;
    }
}

void frmResolMC::chkMT_Click()
{
    gMcSettings.gMultiThreadMC = chkMT->isChecked();
}

void frmResolMC::optTM_Click(int index)
{
    gMcSettings.gTimeMarching = index + 1;
}

void frmResolMC::chkGreeks_Click(int index)
{
    // Delta and Gamma go together; Vega and Theta are free.
    if (index == 0)
        chkGreeks[1]->setChecked(chkGreeks[0]->isChecked());
    else if (index == 1)
        chkGreeks[0]->setChecked(chkGreeks[1]->isChecked());
}

void frmResolMC::cboBasisF_Click()
{
    if (!bermudan())
        return;
    gMcSettings.gBasisFunctions = wholeNumber32(Val(cboBasisF->currentText()));
    mBasisIndex = cboBasisF->currentIndex();
}

void frmResolMC::Command1_Click()
{
    const QString lsMessage = QStringLiteral(
        "The number of paths used for the Longstaff-Schwartz regression cannot be more than the "
        "total number of simulation paths.");
    if (pseudoRandom() && Val(txtPaths->text()) < 1) {
        MsgBox(QStringLiteral("The number of simulation paths when using pseudo-random numbers cannot "
                              "be less than 1000. Resetting to 1000."),
               MsgIcon::Exclamation, MsgButtons::OKOnly, kPathsTitle, this);
        txtPaths->setText(QStringLiteral("1"));
        return;
    }
    if (!bermudan()) {
        hide();
        return;
    }
    if (pseudoRandom() && Val(txtLSPaths->text()) < 1) {
        MsgBox(QStringLiteral("The number of Longstaff-Schwartz paths when using pseudo-random numbers "
                              "cannot be less than 1000. Resetting to 1000."),
               MsgIcon::Exclamation, MsgButtons::OKOnly, kPathsTitle, this);
        txtLSPaths->setText(QStringLiteral("1"));
        return;
    }
    if (!pseudoRandom() && exponentOf(txtPaths) < exponentOf(txtLSPaths)) {
        MsgBox(lsMessage + QStringLiteral("\r\nResetting to ") +
                   numberText(std::pow(2.0, exponentOf(txtPaths))) + QLatin1Char('.'),
               MsgIcon::Exclamation, MsgButtons::OKOnly, kPathsTitle, this);
        txtLSPaths->setText(txtPaths->text());
        // Keep the spin button on the exponent the box now shows.
        UpDownLSPow->setValue(wholeNumber32(exponentOf(txtPaths)));
        return;
    }
    if (pseudoRandom() && Val(txtPaths->text()) < Val(txtLSPaths->text())) {
        MsgBox(lsMessage + QStringLiteral("\r\nResetting to ") +
                   numberText(Val(txtPaths->text()) * 1000) + QLatin1Char('.'),
               MsgIcon::Exclamation, MsgButtons::OKOnly, kPathsTitle, this);
        txtLSPaths->setText(txtPaths->text());
        return;
    }
    hide();
}
