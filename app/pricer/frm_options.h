// The pricer window. The main window creates two instances, one per solver;
// both carry the same controls and the solver mode decides which lists they
// offer and which driver Calculate runs. The main window gives each the
// PricerHost through which it reaches the other window and the menu bar.
//
// Form life: constructing an instance builds its controls but does not load
// it; the first use (Load(), setCaption(), or the main window's accessors)
// lays the controls out as designed and runs Form_Load under the current
// solver mode. Unloading hides the window and lets the next use load it
// afresh; the instance itself stays.
//
// The handlers carry the names of the events they answer (cboPayoff_Click,
// CalculatePDE, ...); the controls are the window's own (frmOptionsUi). A
// run checks the inputs without the window (pde_input_checks.h), calls the
// library on a worker (pde_call.h) and shows what came back.
#pragma once

#include "platform/background_call.h"
#include "pricer/frm_options_ui.h"
#include "pricer/mc_call.h"
#include "pricer/pde_call.h"
#include "pricer/reference_error.h"
#include "pricer/run_snapshot.h"
#include "shared/contract_terms.h"
#include "shared/pricer_link.h"
#include "shared/product_inputs.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QFontMetrics;
class QLineEdit;
class QMdiSubWindow;
class frmResol;
class frmResolMC;

namespace tarvic {
class PricerHost;
}

class frmOptions : public QWidget, public tarvic::PricerLink {
    Q_OBJECT
public:
    explicit frmOptions(QWidget* parent = nullptr);
    ~frmOptions() override;

    // ---- form life ----
    // The solver this instance serves (1 finite differences, 2 Monte Carlo),
    // set by the main window as it creates the instance; 0 = not told.
    void setSolverKind(int mode) { m_solverKind = mode; }
    // The main window that holds this one (set as it creates the window).
    void setHost(tarvic::PricerHost* host) { m_host = host; }
    int solverKind() const { return m_solverKind; }
    // The solver whose lists the window offers: its own, or the solver mode
    // for a window not told.
    int32_t ownSolver() const;
    // The contract as the lists show it now.
    tarvic::Payoff payoff() const;
    tarvic::Exercise exercise() const;
    bool isLoaded() const { return m_loaded; }
    // Loads the window at its first use (no-op when it is loaded).
    void Load();
    // Unloads the window (its unload handler runs); a later use loads it
    // afresh with its defaults.
    void Unload();
    QString Caption() const;
    void setCaption(const QString& caption);  // loads first
    // Whether the window is on screen as the forms runtime sees it: shown,
    // even when minimized or behind the main window.
    bool Visible() const;
    // 0 normal, 1 minimized, 2 maximized; loads first; does not show.
    void setWindowState(int state);
    int WindowState() const;
    // The MDI child frame around the window (nullptr outside a main window).
    QMdiSubWindow* subWindow() const;
    // Called by whoever shows the window: it is on screen from now on, in
    // the window state last set.
    void markShown();

    // The top-level menus, in menu-bar order, for the frame's menu bar.
    QList<QAction*> menuBarActions() const;

    // ---- event handlers ----
    void Form_Load();
    void Form_Activate();
    void Form_KeyDown(int keyCode, int shift);  // keyCode: a Qt::Key
    void Form_Unload(int& cancel);

    void cboPayoff_Click();
    void cboExercise_Click();
    void cboOptions_Click();
    void chkContMon_Click();
    void lblAdditionalParams_Click();

    void mnuResol_Click();
    void mnuVega_Click();
    void mnuTheta_Click();
    void mnuExit_Click();
    void mnuPDE_Click();
    void mnuMC_Click();
    void mnuAbout_Click();
    void mnuCopy_Click();
    // File > Export: the run on show into a workbook (frm_options_export.cpp).
    void mnuExcel_Click();
    // The maker's link: its web page.
    void HyperlinkOrsk_Jump();

    // The solver switch: brings the other window up, captioned and
    // maximized, and copies the inputs into it the first time.
    void PrepareMCSolverForm();
    void PreparePDESolverForm();
    // Captions the window by its own solver and hides its own entry of the
    // Switch Solver menu, as it comes up from the main menu or the switch.
    void takeOwnCaption();

    // The results table at load: header and 99 rows of "0.0000".
    void InitResultsTable();

    // Shows the pending error (number, description) with the phrase.
    void ReportError(const QString& phrase);

    // Selects a list item the way the forms runtime does: the list's click
    // handler runs even when the index does not change; -1 clears it.
    void setListIndex(QComboBox* box, int index);
    // Ticks or clears a check box; its click handler runs on a change.
    void setCheckValue(QCheckBox* box, bool checked);

    // ==== Contract choice and input boxes (frm_options_contract.cpp,
    // ==== frm_options_inputs.cpp)
    // True only while the payoff handler reselects the exercise style after
    // rebuilding the list, so that the exercise handler does not run the
    // payoff handler again.
    bool gRebuildingExercise = false;
    // Contract state kept by the contract handlers (the runs refresh
    // mContMon from its box before the library call).
    bool mContMon = false;        // "Continuous monitoring" ticked
    bool mEarlyExercise = false;  // "American" or "Bermudan"
    int32_t mKnockOut = 0;        // 1 knock-out, 0 knock-in

    // Key filters: keyAscii is the typed character's code (8 = Backspace);
    // a handler sets it to 0 to drop the key, which beeps.
    void txtAsset_KeyPress(int& keyAscii);
    void txtStrike_KeyPress(int& keyAscii);
    void txtVol_KeyPress(int& keyAscii);
    void txtIntRate_KeyPress(int& keyAscii);
    void txtDiv_KeyPress(int& keyAscii);
    void txtExpi_KeyPress(int& keyAscii);
    void TxtUpBar_KeyPress(int& keyAscii);
    void txtDownBar_KeyPress(int& keyAscii);
    void txtMonPts_KeyPress(int& keyAscii);
    void txtSmplstart_KeyPress(int& keyAscii);
    void txtNFixed_KeyPress(int& keyAscii);
    void txtSmplPoints_KeyPress(int& keyAscii);
    void txtInitAvg_KeyPress(int& keyAscii);
    void txtMCExact_KeyPress(int& keyAscii);
    void txtXmin_KeyPress(int& keyAscii);
    void txtXmax_KeyPress(int& keyAscii);
    void txtYmin_KeyPress(int& keyAscii);
    void txtYmax_KeyPress(int& keyAscii);

    // Change handlers (also raised when code sets the text).
    void txtAsset_Change();
    void txtDiv_Change();
    void TxtUpBar_Change();
    void txtDownBar_Change();
    void txtMonPts_Change();
    void txtNFixed_Change();
    void txtSmplPoints_Change();
    void txtInitAvg_Change();

    // Focus handlers.
    void txtNFixed_GotFocus();
    void txtInitAvg_GotFocus();
    void txtAsset_LostFocus();
    void txtStrike_LostFocus();
    void txtVol_LostFocus();
    void txtIntRate_LostFocus();
    void txtDiv_LostFocus();
    void txtExpi_LostFocus();
    void TxtUpBar_LostFocus();
    void txtDownBar_LostFocus();
    void txtMonPts_LostFocus();
    void txtNFixed_LostFocus();
    void txtInitAvg_LostFocus();

    // The range the average of the settled fixings can lie in under the
    // model, in asset units; both arguments are overwritten (a fault leaves
    // them as they were at the fault, and is reported).
    void GetInitAvgLimits(double& lower, double& upper);

private:
    // Connects the boxes' key, change and focus handlers (construction).
    void bindInputFields();
    // gInputsChanged = True and the status line emptied.
    void markInputsChanged();
    // Shown as far as the window's layout goes (the window itself may not
    // be on screen yet).
    bool shownInWindow(const QWidget* control) const;
    void focusBox(QLineEdit* box, bool caretAtEnd);

public:
    // ==== end of the contract and input block

    // ---- PricerLink ----
    QString exerciseText() const override;
    int payoffIndex() const override;
    tarvic::ProductInputs& productInputs() override { return m_inputs; }

    // ---- window state ----
    bool mLastCalcVega = false;
    bool mLastCalcTheta = false;
    // The reference solution saved from an earlier run (none at load).
    tarvic::ReferenceSolution mReference;
    std::vector<double> mAssetGrid, mOptionValue, mDelta, mGamma, mTheta, mVega, mExactValue;

    // ==== Calculation: finite-difference run, solution store, value at the
    // ==== spot and chart (frm_options_pde_run.cpp, frm_options_results.cpp,
    // ==== frm_options_chart.cpp)
    // Calculate: the finite-difference run in mode 1, the Monte Carlo run
    // otherwise. Ignored while a run of this window is in progress.
    void cmdCalc_Click();
    // The finite-difference run: reads and checks the inputs, calls the
    // library into scratch arrays and, on success, keeps the results.
    void CalculatePDE();
    // The Monte Carlo run, the same way: one row per checkpoint of the
    // running estimate.
    void CalculateMC();
    // False (after the message and the settings dialog) when the returned
    // last node index is beyond the arrays.
    bool CheckGridSize(int32_t lastNode);
    // Store of the finite-difference results (rows 0 to mLastIndex).
    void Results();
    // Store of a Monte Carlo run: mLastIndex comes in as the row count the
    // export wrote and leaves as the last row; gPaths becomes the paths run.
    void ResultsMC();
    // The five figures at the spot, from the store.
    void Interpolation();
    // Draws column `kind` of the store (1 premium .. 6 error) against the
    // asset grid, rows 0 to lastRow (-1: every row of the results); a
    // referenceValue above 0 adds a horizontal line.
    void Chart(int kind, double referenceValue, int32_t lastRow = -1);
    // Results table events.
    void MSFlexGrid1_DblClick();
    void MSFlexGrid1_GotFocus();
    void MSFlexGrid1_LostFocus();
    void MSFlexGrid1_MouseDown(int button, int shift, double x, double y);

    // A run of this window is out, from its start to the end of showing what
    // came back: Calculate, the inputs and the menus that start or change
    // work are disabled, and a close waits for the run to end. While a run
    // of either window is out, both windows' Calculate and Configure solver
    // are disabled.
    bool runInProgress() const { return m_running; }
    // The status of a window asked to close or unload during its run, on
    // two lines as the status box has room for.
    static inline const QString kClosesAfterRun = QStringLiteral("Closes at\nrun's end");

    // The last successful run of the window (solver 0 before the first).
    const tarvic::RunSnapshot& lastRun() const { return m_lastRun; }

    // ==== Closed-form comparison and error curves
    // ==== (frm_options_closed_form.cpp)
    // "Show analytical solution": the closed form at the spot, for the
    // contract of the results on show, in the Exact solution box.
    void mnuBS_Click();
    void cmdExact_Click();
    // "Plot numerical solution error": the results less the closed form or
    // a saved reference solution (finite differences), or less an exact
    // value (Monte Carlo).
    void mnuBSGrid_Click();
    // "Save as reference solution": the results on show.
    void mnuSaveRefSol_Click();
    // The Monte Carlo error plot against mMCExactValue, or the box that asks
    // for an exact value when none is known.
    void DrawErrorPlot();
    void DrawExactEntryBox();
    // OK of the exact-value box: the value typed, then the error plot.
    void cmdMCExact_Click();
    // The exact value the Monte Carlo error plot subtracts (0: none known),
    // and its view: the estimate with the exact value (true) or the error.
    double mMCExactValue = 0.0;
    bool mMCShowValue = false;
    // The path count of the window's last Sobol run.
    int64_t mLastSobolPaths = 0;

    int32_t mOptionType = 0;  // list index of cboOptions at the last Calculate
    tarvic::Payoff mPayoff = tarvic::Payoff::Vanilla;  // the payoff at the last Calculate
    bool mCalcVega = false;
    bool mCalcTheta = false;

    // The solution store: columns 0 asset (or paths), 1 value, 2 delta,
    // 3 gamma, 4 theta, 5 vega, 6 error curve; rows 0 to 50000. Only rows 0
    // to mLastIndex belong to the results on show.
    static constexpr int kStoreRows = 50001;
    static constexpr int kStoreColumns = 7;
    std::vector<std::array<double, kStoreColumns>> mSolution;
    // The last row of the results on show. It changes only when a run
    // succeeds; every reader of the store and the result arrays uses it
    // (never gGridSize, which holds the asset steps typed in the dialog).
    int32_t mLastIndex = 0;
    // Node spacing of the last run (0 = no results yet).
    double mGridStep = 0.0;
    // Grid kind of the run that made the results on show (the dialog may
    // change the setting afterwards).
    bool mResultsNonUniGrid = false;
    // The results on show are the vanilla's of a knock-in that had knocked
    // in at the spot of the run.
    bool mResultsKnockedIn = false;
    // Results are on show but do not price the spot now in the box (beyond
    // the grid, past a knock-in's barrier, no spot): the spot row shows no
    // figures, and the five figures at the spot are 0.
    bool mSpotOutsideResults = false;
    double mSpotValue = 0.0, mSpotDelta = 0.0, mSpotGamma = 0.0, mSpotTheta = 0.0,
           mSpotVega = 0.0;
    bool mGridHasFocus = false;

    // What a drawing of the chart leaves behind.
    int mPlotKind = 0;
    bool mChartDrawn = false;
    QString mChartToolTip;
    double mPlotXMax = 0.0, mPlotXMin = 0.0;
    bool mPlotBoxPlaced = false;
    bool mExactBoxPlaced = false;

    // ==== Plot options and chart interaction (frm_options_plot.cpp)
    // A plot button: 0 premium, 1 delta, 2 gamma, 3 theta, 4 vega (each
    // only when the run on show computed it), 5 the plot-options box.
    void cmdGraph_Click(int index);
    // OK of the plot-options box: the ranges typed, checked and applied;
    // Cancel: the box goes, nothing applied.
    void cmdPlotOptions_Click();
    void cmdCancelPlotOptions_Click();
    // The chart's events: a click puts the exact-value box away, a
    // double-click opens the plot-options box, F4 turns the Monte Carlo
    // error plot over, and the tip follows the mouse (x, y in twips).
    void MSChart1_Click();
    void MSChart1_DblClick();
    void MSChart1_KeyDown(int keyCode, int shift);  // keyCode: a Qt::Key
    void MSChart1_MouseMove(int button, int shift, double x, double y);
    // The Y boxes and the Y range shown, from the range the chart chose
    // (after every drawing).
    void PopulatePlotOptions();
    // Places the plot-options box over the plot, once between drawings.
    void DrawPlotOptionsBox();
    // The Y range last shown or applied.
    double mPlotYMax = 0.0, mPlotYMin = 0.0;

private:
    // The plot-options box shown, placed, with OK as its default; and put
    // away, Calculate taking the focus.
    void showPlotOptionsBox();
    void putAwayPlotOptionsBox();
    // A box over the top right of the plot, below the title.
    void placeOverPlot(QWidget* box);
    // A sensitivity the run on show did not compute.
    void sayNotCalculated(const QString& name);
    // Binds the chart's events (construction).
    void bindChartEvents();

private:
    // Builds the chart control and binds Calculate and the table events.
    void buildCalculationParts();
    // No results on show (construction and every load).
    void resetCalculationState();
    // Runs a part of a calculation under its trap: "Failed" and the error
    // reporter, silence for the grid's invalid-row error.
    void runCalculation(const std::function<void()>& body);
    // The contract and the typed boxes as a run starts; the rest of the
    // snapshot is the run's own.
    tarvic::RunSnapshot contractAtRun() const;
    // What the checks of both runs read from this window, the values read
    // kept in the window's contract block, the window's box a check names,
    // and the bounds of the settled average (a fault in them reported).
    void contractForm(tarvic::ContractForm& form) const;
    void keepContractReading(const tarvic::ProductInputs& read);
    QWidget* windowBox(tarvic::FormBox box) const;
    tarvic::AverageLimits averageLimits();
    // What the checks decided: each step's warning and the boxes it writes;
    // the refusal's message, the settings dialog it opens and the box it
    // empties, focuses or writes.
    void showCheckSteps(const tarvic::CheckTrail& trail,
                        const std::function<void(const tarvic::BoxWrite&)>& write);
    void showRefusal(const tarvic::CheckRefusal& refusal, QWidget* box,
                     const std::function<void()>& openSettings);
    // What the finite-difference checks read from this window and the
    // settings dialog, and the values read kept in the shared state.
    tarvic::PdeForm pdeForm(const frmResol& resol) const;
    void keepReading(const tarvic::PdeReading& reading);
    // The input checks, shown as they decide; the library call when they
    // let the run through.
    std::optional<tarvic::PdeRequest> checkPdeInputs();
    // The busy state, "Please wait" and the clock, and the job on the
    // worker; done runs back on the window's thread with the start tick.
    void launchRun(std::function<void()> job,
                   std::function<void(uint32_t, std::exception_ptr)> done);
    // The library call of a finite-difference run on the worker; its end,
    // back on the window's thread; a successful run shown.
    void startPdeRun(const tarvic::PdeRequest& request);
    void finishPdeRun(const tarvic::PdeRequest& request, uint32_t start, std::exception_ptr thrown);
    void showPdeResults(const tarvic::PdeRequest& request, uint32_t start);
    // The Monte Carlo run, the same way.
    tarvic::McForm mcForm(const frmResolMC& resolMC) const;
    void keepReading(const tarvic::McReading& reading);
    std::optional<tarvic::McRequest> checkMcInputs();
    void startMcRun(const tarvic::McRequest& request);
    void finishMcRun(const tarvic::McRequest& request, uint32_t start, std::exception_ptr thrown);
    void showMcResults(const tarvic::McRequest& request, uint32_t start);
    // The closed form at the spot into the Exact solution box; silent, it
    // only keeps the value for the Monte Carlo error plot.
    void showAnalyticSolution(bool silent);
    // "Please press Calculate": the results on show are not those of the
    // inputs as they stand.
    void refusePressCalculate();
    // The error curve of the finite-difference results against the closed
    // form or the reference, into store column 6, and its chart.
    void plotPdeError();
    // Calculate and Configure solver follow the runs of both windows.
    void applyRunGate();
    // Row 1 of the table: the spot and the five figures at it, each in the
    // pattern given (no figures where the results do not price the spot).
    void writeSpotRow(const QString& pattern);
    // A result cell as the table shows it: the figure in the pattern given,
    // or nothing in a column the run on show did not compute. Before the
    // first run the table keeps the zeros of its load.
    QString resultCellText(int col, double figure, const QString& pattern) const;
    // Enters and leaves the busy state of a run; the controls it disables.
    void beginRun();
    void endRun();
    std::array<QWidget*, 6> inputPanels() const;
    // A close or unload that arrives during a run waits for its end, and
    // the status says so. Returns true when the request was deferred.
    bool deferWhileRunning(bool unload);
    void closeIfDeferred();
    bool m_running = false;
    int m_deferredClose = 0;  // 0 none, 1 close, 2 unload
    QActionGroup* m_workActions = nullptr;
    QPointer<QWidget> m_focusBeforeRun;
    // What the library writes during a run, and the worker that runs it
    // (declared last of the three: it waits for a call still out before the
    // arrays go).
    tarvic::ResultArrays m_scratch;
    tarvic::PdeCallResult m_callResult;
    tarvic::McCallResult m_mcCallResult;
    tarvic::BackgroundCall m_worker;
    // The last successful run, and the one out now.
    tarvic::RunSnapshot m_lastRun;
    tarvic::RunSnapshot m_runOut;

public:
    // ==== end of the calculation block

signals:
    // A run has ended (its results shown, or its failure), and a close that
    // waited for it has happened.
    void runEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Tests reach the controls through their accessor.
    friend struct PricerWindowTestAccess;

    frmOptionsUi ui;

    void buildControls();
    void buildMenus();
    // Puts every control and menu back into its designed state.
    void applyLayout();
    // Runs a handler body under the error trap with its phrase.
    void trapped(const char* phrase, const std::function<void()>& body);
    void bindList(QComboBox* box, std::function<void()> handler);
    void runListHandler(QComboBox* box);
    static void fillList(QComboBox* box, const QStringList& items);
    // Leaves this window's default solver settings to a dialog that shows them.
    void writeSolverDefaults();

    // The width of the widest wording of the periods caption.
    static int periodsCaptionWidth(const QFontMetrics& metrics);
    // Fixes the contract column's width at that of its widest panel.
    void holdLeftColumnWidth();

    // The main window, or an error when there is none.
    tarvic::PricerHost& host() const;
    // The switch to the window of the solver given, and the copy of the
    // contract into a window coming up for the first time.
    void switchSolver(int32_t to);
    static void copyContract(const frmOptions& from, frmOptions& to);

    tarvic::PricerHost* m_host = nullptr;
    QWidget* m_leftColumn = nullptr;
    // The strike typed before a floating strike emptied its box.
    std::optional<QString> m_heldStrike;
    bool m_loaded = false;
    bool m_loading = false;
    bool m_shown = false;
    int m_solverKind = 0;
    int m_state = 0;  // window state, applied while shown
    QList<QLineEdit*> m_textBoxes;
    QList<std::pair<QComboBox*, std::function<void()>>> m_listHandlers;
    tarvic::ProductInputs m_inputs;
};
