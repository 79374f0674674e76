// The pricer window's controls and menus, as laid out: the window's own,
// reached by its handlers (and by tests through their accessor), never by
// other windows.
#pragma once

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class ClickLabel;

namespace tarvic {
class ChartControl;
class Hyperlink;
class ResultsGrid;
}  // namespace tarvic

struct frmOptionsUi {
    QGroupBox* frmOptType = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cboPayoff = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cboExercise = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cboOptions = nullptr;

    QGroupBox* Frame1 = nullptr;
    QLabel* lblStrike = nullptr;
    QLineEdit* txtStrike = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txtVol = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* txtIntRate = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txtDiv = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Lbldivp = nullptr;
    QLabel* Label4 = nullptr;  // "Time to expiry"
    QLineEdit* txtExpi = nullptr;
    QLabel* Label12 = nullptr;

    QLabel* Label4Asset = nullptr;  // "Asset"
    QLineEdit* txtAsset = nullptr;

    QFrame* Frame6 = nullptr;
    QFrame* Picture1 = nullptr;
    ClickLabel* lblAdditionalParams = nullptr;

    QFrame* Frame5 = nullptr;
    QFrame* picBar = nullptr;
    QCheckBox* chkContMon = nullptr;
    QLabel* lblMonPts = nullptr;
    QLabel* lblMonPts2 = nullptr;
    QLineEdit* txtMonPts = nullptr;
    QLabel* lblUpBar = nullptr;
    QLineEdit* TxtUpBar = nullptr;
    QLabel* lblDownBar = nullptr;
    QLineEdit* txtDownBar = nullptr;

    QFrame* picAsian = nullptr;
    QLabel* lblSmplStart = nullptr;
    QLineEdit* txtSmplstart = nullptr;
    QLabel* lblNFixed = nullptr;
    QLineEdit* txtNFixed = nullptr;
    QLabel* lblSmplPeriods = nullptr;
    QLineEdit* txtSmplPoints = nullptr;
    QLabel* lblInitAvg = nullptr;
    QLineEdit* txtInitAvg = nullptr;

    QPushButton* cmdCalc = nullptr;

    QGroupBox* Frame3 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* lblProgress = nullptr;
    QGroupBox* Frame4 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* lblCalcTime = nullptr;

    QGroupBox* Frame2 = nullptr;
    QToolButton* cmdGraph[6] = {};

    QGroupBox* frAnalytic = nullptr;
    QLabel* Label16 = nullptr;
    QPushButton* cmdExact = nullptr;
    QLabel* lblAValue = nullptr;
    QLabel* lblADelta = nullptr;
    QLabel* lblAGamma = nullptr;
    QLabel* lblATheta = nullptr;
    QLabel* lblAVega = nullptr;
    QLabel* lblAsset = nullptr;

    QGroupBox* frMCExact = nullptr;
    QLabel* Label23 = nullptr;
    QLineEdit* txtMCExact = nullptr;
    QPushButton* cmdMCExact = nullptr;
    QPushButton* Command1 = nullptr;

    QGroupBox* frPlotOptions = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    QLineEdit* txtXmin = nullptr;
    QLineEdit* txtXmax = nullptr;
    QLineEdit* txtYmin = nullptr;
    QLineEdit* txtYmax = nullptr;
    QPushButton* cmdPlotOptions = nullptr;
    QPushButton* cmdCancelPlotOptions = nullptr;

    QFrame* MSChart1 = nullptr;  // the chart's place
    tarvic::ChartControl* chart = nullptr;  // inside MSChart1
    tarvic::ResultsGrid* MSFlexGrid1 = nullptr;
    tarvic::Hyperlink* HyperlinkOrsk = nullptr;

    // Menus.
    QMenu* mnuFile = nullptr;
    QAction* mnuExcel = nullptr;
    QAction* mnuSep = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuAdvanced = nullptr;
    QAction* mnuResol = nullptr;
    QAction* mnuVega = nullptr;
    QAction* mnuTheta = nullptr;
    QAction* mnuBS = nullptr;
    QAction* mnuSaveRefSol = nullptr;
    QAction* mnuBSGrid = nullptr;
    QMenu* mnuSwitch = nullptr;
    QAction* mnuPDE = nullptr;
    QAction* mnuMC = nullptr;
    QMenu* mnuCC = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuAbout = nullptr;
};
