#include "settings/frmResolMC.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

#include "platform/message_box.h"
#include "platform/number_rules.h"
#include "platform/spin_button.h"
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
    setFixedSize(300, 590);

    auto group = [&](QWidget* p, const QString& title, const QRect& r) {
        auto* g = new QGroupBox(title, p);
        g->setGeometry(r);
        return g;
    };
    auto radio = [&](QWidget* p, const QString& text, const QRect& r) {
        auto* b = new QRadioButton(text, p);
        b->setGeometry(r);
        return b;
    };
    auto check = [&](QWidget* p, const QString& text, const QRect& r) {
        auto* b = new QCheckBox(text, p);
        b->setGeometry(r);
        return b;
    };
    auto label = [&](QWidget* p, const QString& text, const QRect& r) {
        auto* l = new QLabel(text, p);
        l->setGeometry(r);
        return l;
    };
    auto edit = [&](QWidget* p, const QRect& r) {
        auto* e = new QLineEdit(p);
        e->setGeometry(r);
        return e;
    };
    auto display = [&](QWidget* p, const QRect& r) {
        auto* e = edit(p, r);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        return e;
    };

    frmRNG = group(this, QStringLiteral("Number Generator"), QRect(8, 6, 284, 112));
    optRNG[0] = radio(frmRNG, QStringLiteral("Sobol"), QRect(10, 20, 100, 22));
    optRNG[1] = radio(frmRNG, QStringLiteral("Pseudo-random"), QRect(120, 20, 150, 22));
    lblPaths = label(frmRNG, QStringLiteral("Number of Paths"), QRect(10, 50, 112, 22));
    Label1 = label(frmRNG, QStringLiteral("2^"), QRect(112, 50, 14, 22));
    Label1->setVisible(false);  // the box shows "2^" itself
    txtPaths = edit(frmRNG, QRect(px(1920), 50, px(745), 22));
    UpDownPow = new SpinButton(frmRNG);
    UpDownPow->setGeometry(px(1920) + px(745), 50, 16, 22);
    txtFinalPaths = display(frmRNG, QRect(196, 50, 80, 22));
    chkWarm = check(frmRNG, QStringLiteral("Warm-up Sobol sequence"), QRect(10, 80, 260, 22));

    frmVarRed = group(this, QStringLiteral("Variance Reduction"), QRect(8, 124, 284, 74));
    chkAntithetic = check(frmVarRed, QStringLiteral("Antithetic Variables"), QRect(10, 20, 264, 22));
    chkBB = check(frmVarRed, QStringLiteral("Brownian Bridge Path Construction"), QRect(10, 44, 264, 22));

    Frame3 = group(this, QStringLiteral("Time Marching"), QRect(8, 204, 284, 50));
    optTM[0] = radio(Frame3, QStringLiteral("Exact"), QRect(10, 20, 80, 22));
    optTM[1] = radio(Frame3, QStringLiteral("Euler"), QRect(100, 20, 80, 22));
    optTM[2] = radio(Frame3, QStringLiteral("Milstein"), QRect(190, 20, 88, 22));

    Frame1 = group(this, QStringLiteral("Sensitivities Calculation"), QRect(8, 260, 284, 112));
    const char* const greeks[] = {"Delta", "Gamma", "Vega", "Theta"};
    for (int i = 0; i < 4; ++i)
        chkGreeks[i] = check(Frame1, QLatin1String(greeks[i]), QRect(10 + 68 * i, 20, 66, 22));
    Frame2 = group(Frame1, QStringLiteral("Method"), QRect(10, 46, 264, 56));
    optGreekMethod[0] = radio(Frame2, QStringLiteral("Likelihood Ratio"), QRect(10, 22, 120, 22));
    optGreekMethod[1] = radio(Frame2, QStringLiteral("Finite Differencing"), QRect(132, 22, 128, 22));

    chkMT = check(this, QStringLiteral("Use all available CPU cores "), QRect(16, 378, 270, 22));

    frmLS = group(this, QStringLiteral("Longstaff-Schwartz"), QRect(8, 404, 284, 136));
    lblLSPaths = label(frmLS, QStringLiteral("Number of Paths"), QRect(10, 24, 112, 22));
    Label2 = label(frmLS, QStringLiteral("2^"), QRect(112, 24, 14, 22));
    Label2->setVisible(false);  // the box shows "2^" itself
    txtLSPaths = edit(frmLS, QRect(px(1920), 24, px(745), 22));
    UpDownLSPow = new SpinButton(frmLS);
    UpDownLSPow->setGeometry(px(1920) + px(745), 24, 16, 22);
    txtLSFinalPaths = display(frmLS, QRect(196, 24, 80, 22));
    lblLSBS = label(frmLS, QStringLiteral("Number of Basis Functions"), QRect(10, 60, 180, 22));
    cboBasisF = new QComboBox(frmLS);
    cboBasisF->setGeometry(196, 60, 80, 24);

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setGeometry(108, 550, 85, 30);
    Command1->setDefault(true);

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
}

bool frmResolMC::bermudan() const
{
    return servedExercise() == QLatin1String("Bermudan");
}

bool frmResolMC::pseudoRandom() const
{
    return optRNG[1]->isChecked();
}

void frmResolMC::setWidth(QWidget* box, int twips)
{
    box->resize(px(twips), box->height());
}

void frmResolMC::writePowerBox(QLineEdit* box, const SpinButton* spin)
{
    box->setText(formatNumber(spin->value(), QStringLiteral("2^##")));
}

void frmResolMC::fillBasisList()
{
    const int payoff = servedPayoff();
    if (payoff == 7 || payoff == 8)
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
    const int payoff = servedPayoff();
    const int wanted = (payoff == 7 || payoff == 8) ? 4 : 6;
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
    McSettings& s = gMcSettings;
    SetBasisFunctionMenu();

    const QString exercise = servedExercise();
    if (exercise == QLatin1String("Bermudan")) {
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
        // A choice made in the other payoff group's longer list may not
        // exist in this one: fall back to the list's default item.
        setListIndex(cboBasisF, mBasisIndex >= 0 && mBasisIndex < cboBasisF->count() ? mBasisIndex : 1);
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
        txtLSPaths->move(px(1920), txtLSPaths->y());
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
