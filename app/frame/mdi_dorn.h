// The program's main window: an MDI frame that holds the two pricer windows
// as child windows. A cover fills the client area until a solver is chosen
// from the Tools menu, and again whenever no pricer window is on screen.
// The active pricer window's menus take the place of the frame's own Tools
// menu in the menu bar.
#pragma once

#include "pricer/pricer_host.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class frmOptions;

class MDIDorn : public QMainWindow, public tarvic::PricerHost {
    Q_OBJECT
public:
    explicit MDIDorn(QWidget* parent = nullptr);
    ~MDIDorn() override;

    // ---- event handlers ----
    void MDIForm_Load();
    void mnuPDEOptions_Click();
    void mnuMCOptions_Click();
    void mnuExit_Click();
    void MDIForm_Unload();
    void DisableMaxButton();

    // The two pricer windows as created (not loaded by this call).
    frmOptions* pricerPde() const { return m_pde; }
    frmOptions* pricerMc() const { return m_mc; }

    // ---- PricerHost ----
    frmOptions& pricerWindow(int32_t solver) override;
    // Shows a pricer window modelessly (a shown one comes to the front).
    void showPricerWindow(frmOptions& window) override;

    QMdiArea* mdiArea() const { return m_area; }

    // Shows the menus of the window in front, or the Tools menu when none is.
    void refreshMenus() override;

    // ---- controls ----
    QWidget* PicCover = nullptr;
    QLabel* ImgVortex = nullptr;
    QLabel* lblCover = nullptr;
    QLabel* lblCompany = nullptr;

    // ---- menus ----
    QMenu* mnuPricer = nullptr;
    QAction* mnuPDEOptions = nullptr;
    QAction* mnuMCOptions = nullptr;
    QAction* mnuSep = nullptr;
    QAction* mnuExit = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildCover();
    // A Tools entry: the solver's window captioned and shown, the cover gone.
    void showSolverWindow(int32_t solver);
    // The cover over the client area, shown while no pricer window is.
    void showCover(bool shown);
    void buildMenus();
    void onSubWindowActivated(QMdiSubWindow* window);
    void showMenusOf(QMdiSubWindow* window);
    // The shown pricer window in front, nullptr when none is shown.
    QMdiSubWindow* frontWindow() const;
    // Makes the window the one in front: its menus, its activation.
    void bringForward(QMdiSubWindow* window);
    QMdiSubWindow* addPricer(frmOptions* window);
    // Whether a run of either pricer window is out.
    bool runOut() const;

    QMdiArea* m_area = nullptr;
    frmOptions* m_pde = nullptr;
    frmOptions* m_mc = nullptr;
    QPointer<QMdiSubWindow> m_lastActive;
    bool m_ending = false;
};
