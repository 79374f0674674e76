// The Monte Carlo settings dialog, "Monte Carlo Solver Options".
//
// Its handlers write gMcSettings at once; OK (and the close box, and Esc)
// checks the path counts and hides the dialog, which keeps its controls for
// the next showing. The Monte Carlo driver reads txtPaths, txtLSPaths,
// cboBasisF, optGreekMethod, chkGreeks, chkMT, chkWarm, chkBB and
// chkAntithetic directly. The dialog reads the exercise style, payoff and
// contract flags of the Monte Carlo pricer window it serves.
#pragma once

#include <array>
#include <cstdint>

#include "settings/settings_dialog.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarvic {
class SpinButton;
}

class frmResolMC : public tarvic::SettingsDialog {
    Q_OBJECT
public:
    // Builds and loads the dialog (hidden) for the Monte Carlo pricer window
    // it serves; the load writes the Monte Carlo defaults.
    explicit frmResolMC(tarvic::PricerLink* served = nullptr, QWidget* parent = nullptr);

    // Public procedures (the window passed becomes the one served; nullptr
    // keeps the current one).
    // Refills the basis-function list when the payoff moved between the
    // Asian and the other payoffs, and selects its second item.
    void SetBasisFunctionMenu(tarvic::PricerLink* window = nullptr);
    // Applies the Longstaff-Schwartz defaults once, at the first Bermudan
    // activation or run.
    void initDefaultParameters(tarvic::PricerLink* window = nullptr);
    // The regression paths and the basis functions an early-exercise run
    // uses, shown again from the stored choices (a European showing of the
    // dialog empties and disables their boxes).
    void restoreRegressionChoices();
    // The regression paths box set to a count (a run's limit to the paths).
    void setRegressionPaths(const QString& text);

    // Event handlers.
    void Form_Load();
    void Form_Activate() override;
    void Form_DblClick();
    void Command1_Click() override;
    void optRNG_Click(int index);
    void UpDownPow_Change();
    void UpDownLSPow_Change();
    void txtPaths_Change();
    void txtLSPaths_Change();
    void txtPaths_KeyPress(int& keyAscii);
    void txtLSPaths_KeyPress(int& keyAscii);
    void chkWarm_Click();
    void chkAntithetic_Click();
    void chkBB_Click();
    void chkMT_Click();
    void optTM_Click(int index);
    void chkGreeks_Click(int index);
    void cboBasisF_Click();

    // Form members.
    int32_t mBasisIndex = 0;
    bool mDefaultsSet = false;

    QGroupBox* frmRNG = nullptr;
    std::array<QRadioButton*, 2> optRNG{};
    QLabel* lblPaths = nullptr;
    QLineEdit* txtPaths = nullptr;
    tarvic::SpinButton* UpDownPow = nullptr;
    QLineEdit* txtFinalPaths = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* chkWarm = nullptr;
    QGroupBox* frmVarRed = nullptr;
    QCheckBox* chkAntithetic = nullptr;
    QCheckBox* chkBB = nullptr;
    QGroupBox* Frame3 = nullptr;
    std::array<QRadioButton*, 3> optTM{};
    QGroupBox* Frame1 = nullptr;
    std::array<QCheckBox*, 4> chkGreeks{};
    QGroupBox* Frame2 = nullptr;
    std::array<QRadioButton*, 2> optGreekMethod{};
    QCheckBox* chkMT = nullptr;
    QGroupBox* frmLS = nullptr;
    QLabel* lblLSPaths = nullptr;
    QLineEdit* txtLSPaths = nullptr;
    tarvic::SpinButton* UpDownLSPow = nullptr;
    QLineEdit* txtLSFinalPaths = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblLSBS = nullptr;
    QComboBox* cboBasisF = nullptr;
    QPushButton* Command1 = nullptr;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool bermudan() const;
    bool pseudoRandom() const;
    void fillBasisList();
    // Rewrites a paths box from its spin button ("2^" and the exponent).
    void writePowerBox(QLineEdit* box, const tarvic::SpinButton* spin);
    void setWidth(QLineEdit* box, int twips);
};
