// The finite-difference settings dialog, "PDE Solver Options".
//
// Every control writes its setting into gPdeSettings as soon as it changes;
// there is no Cancel. OK (and the close box, and Esc) checks the two step
// counts and hides the dialog, which keeps its controls for the next
// showing. The finite-difference driver reads txtNoA, txtTS, txtMaxS,
// ChkOverMaxS and chkNonUniGrid directly; the finite-difference pricer
// window's payoff handler sets the enabled state, value or selection of
// chkNonUniGrid, ChkOverMaxS, cboAmerSolver, cboPlanes, lblPlanes,
// cboPlaneSpc, lblPlaneSpc and chkMT (lists through setListIndex, so that
// their handlers run as a user's choice would).
#pragma once

#include "settings/settings_dialog.h"

#include <QString>

#include <cstdint>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmResol : public tarvic::SettingsDialog {
    Q_OBJECT
public:
    // Builds and loads the dialog (hidden) for the finite-difference pricer
    // window it serves.
    explicit frmResol(tarvic::PricerLink* served = nullptr, QWidget* parent = nullptr);

    // The most digits the step-count boxes take (a 32-bit count has 10).
    static constexpr int kStepDigits = 9;

    // Settings that a contract rules out. While held, a setting's control
    // is disabled and shows what the contract needs; what the user had set
    // waits and comes back on release, when a contract allows it again.
    // Holding a held setting, or releasing a free one, changes nothing.
    // The grid kind: non-uniform (true) or uniform while held.
    void holdNonUniGrid(bool shown);
    void releaseNonUniGrid();
    // The user-defined maximum asset value: none while held (the grid's
    // own extent), the box and its value back on release.
    void holdMaxAsset();
    void releaseMaxAsset();
    // The use of all cores: off while held (no Asian payoff); the first
    // release turns it on, later ones bring back the user's choice.
    void holdMultiThreading();
    void releaseMultiThreading();
    // The plane spacing and interpolation: the contract sets them while
    // held; release brings back the user's.
    void holdPlanes();
    void releasePlanes();

    // Event handlers.
    void Form_Load();
    void Form_Activate() override;
    void Command1_Click() override;
    void cboResol_Click();
    void cboDiscrete_Click();
    void cboAmerSolver_Click();
    void cboPlanes_Click();
    void cboPlaneSpc_Click();
    void chkMT_Click();
    void chkNonUniGrid_Click();
    void ChkOverMaxS_Click();
    void txtNoA_Change();
    void txtTS_Change();
    void txtMaxS_Change();
    void txtTS_GotFocus();
    void txtNoA_KeyPress(int& keyAscii);
    void txtTS_KeyPress(int& keyAscii);
    void txtMaxS_KeyPress(int& keyAscii);

    QGroupBox* Frame2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtNoA = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtTS = nullptr;
    QLabel* lblResol = nullptr;
    QComboBox* cboResol = nullptr;
    QCheckBox* ChkOverMaxS = nullptr;
    QLineEdit* txtMaxS = nullptr;
    QCheckBox* chkNonUniGrid = nullptr;
    QLabel* lblPlaneSpc = nullptr;
    QComboBox* cboPlaneSpc = nullptr;
    QLabel* lblDiscretization = nullptr;
    QComboBox* cboDiscrete = nullptr;
    QLabel* lblAmerSolver = nullptr;
    QComboBox* cboAmerSolver = nullptr;
    QLabel* lblPlanes = nullptr;
    QComboBox* cboPlanes = nullptr;
    QCheckBox* chkMT = nullptr;
    QPushButton* Command1 = nullptr;

private:
    // What the user set, while a contract holds the setting.
    struct HeldMaxAsset {
        bool ticked;
        QString value;
    };
    struct HeldPlanes {
        int32_t spacing;
        int32_t interpolation;
    };
    void holdBox(QCheckBox* box, std::optional<bool>& held, bool shown);
    void releaseBox(QCheckBox* box, std::optional<bool>& held);
    std::optional<bool> m_heldNonUniGrid;
    std::optional<HeldMaxAsset> m_heldMaxAsset;
    std::optional<bool> m_heldMultiThreading{true};  // on for the first Asian payoff
    std::optional<HeldPlanes> m_heldPlanes;
};
