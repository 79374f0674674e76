#include "frame/mdi_dorn.h"

#include "frame/app_windows.h"
#include "platform/colors.h"
#include "platform/control_fit.h"
#include "platform/system_services.h"
#include "platform/window_placement.h"
#include "pricer/frm_options.h"
#include "shared/solver_mode.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

using namespace tarvic;

namespace {

// The cover: a dark backdrop for the light-yellow captions.
class CoverPicture : public QWidget {
public:
    explicit CoverPicture(QWidget* parent)
        : QWidget(parent)
    {
        setAutoFillBackground(false);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0.0, QColor(16, 28, 64));
        g.setColorAt(1.0, QColor(4, 8, 24));
        p.fillRect(rect(), g);
    }
};

// The program's artwork: a small vortex.
QPixmap vortexPicture(int width, int height)
{
    QPixmap picture(width, height);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(width / 2.0, height / 2.0);
    for (int arm = 0; arm < 3; ++arm) {
        QPainterPath path;
        for (int i = 0; i <= 120; ++i) {
            const double t = i / 120.0;
            const double angle = arm * 2.0943951 + t * 9.0;
            const double r = 2.0 + t * (height / 2.0 - 4.0);
            const QPointF at(centre.x() + r * std::cos(angle) * width / height,
                             centre.y() + r * std::sin(angle));
            if (i == 0)
                path.moveTo(at);
            else
                path.lineTo(at);
        }
        p.setPen(QPen(QColor(255, 255, 192, 200 - arm * 40), 2.0));
        p.drawPath(path);
    }
    return picture;
}

}  // namespace

QIcon programIcon();

MDIDorn::MDIDorn(QWidget* parent)
    : QMainWindow(parent)
{
    registerMainDorn(this);
    setMainWindowWidget(this);
    setWindowTitle(QStringLiteral("Velk Option Pricer (beta)"));
    setWindowIcon(programIcon());

    auto* client = new QWidget(this);
    auto* stack = new QGridLayout(client);
    stack->setContentsMargins(0, 0, 0, 0);
    m_area = new QMdiArea(client);
    m_area->setBackground(QColor(128, 128, 128));
    stack->addWidget(m_area, 0, 0);
    buildCover();
    stack->addWidget(PicCover, 0, 0);
    PicCover->raise();
    client->setFixedSize(px(13110), px(9090));
    setCentralWidget(client);

    buildMenus();
    connect(m_area, &QMdiArea::subWindowActivated, this, &MDIDorn::onSubWindowActivated);
    MDIForm_Load();
}

MDIDorn::~MDIDorn()
{
    m_ending = true;
    // The client area outlives this part of the window while it is taken
    // down; its activation signals must not reach it any more.
    disconnect(m_area, nullptr, this, nullptr);
    if (mainDorn() == this)
        registerMainDorn(nullptr);
}

void MDIDorn::buildCover()
{
    PicCover = new CoverPicture(this);
    PicCover->setFixedSize(px(13110), px(9095));
    ImgVortex = new QLabel(PicCover);
    ImgVortex->setGeometry(px(6620), px(4120), px(2100), px(1290));
    ImgVortex->setPixmap(vortexPicture(px(2100), px(1290)));

    const QColor lightYellow = fromBgr(kLightYellow);
    lblCover = new QLabel(QStringLiteral("Option Pricing"), PicCover);
    lblCover->setGeometry(px(3510), px(3040), px(5895), px(3135));
    lblCover->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont coverFont(QStringLiteral("Times New Roman"));
    coverFont.setPointSizeF(48);
    lblCover->setFont(coverFont);
    // The title stays centred where the design puts it, as wide as the
    // platform's serif font needs.
    widenAboutCentre(lblCover);

    lblCompany = new QLabel(QStringLiteral("             by Halvic"), PicCover);
    lblCompany->setGeometry(px(6620), px(5440), px(2175), px(255));
    lblCompany->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont companyFont(QStringLiteral("Times New Roman"));
    companyFont.setPointSizeF(9.75);
    lblCompany->setFont(companyFont);
    widenAboutCentre(lblCompany);

    for (QLabel* label : {lblCover, lblCompany}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, lightYellow);
        label->setPalette(palette);
    }
    ImgVortex->raise();
}

void MDIDorn::buildMenus()
{
    mnuPricer = new QMenu(QStringLiteral("Tools"), this);
    mnuPDEOptions = mnuPricer->addAction(QStringLiteral("&PDE Solver"));
    mnuMCOptions = mnuPricer->addAction(QStringLiteral("&Monte Carlo Solver"));
    mnuSep = mnuPricer->addSeparator();
    mnuExit = mnuPricer->addAction(QStringLiteral("E&xit"));
    menuBar()->addMenu(mnuPricer);
    connect(mnuPDEOptions, &QAction::triggered, this, [this] { mnuPDEOptions_Click(); });
    connect(mnuMCOptions, &QAction::triggered, this, [this] { mnuMCOptions_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
}

QMdiSubWindow* MDIDorn::addPricer(frmOptions* window)
{
    QMdiSubWindow* frame = m_area->addSubWindow(window);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->setWindowIcon(windowIcon());
    frame->resize(px(13110) - 8, px(9090) - 8);
    frame->hide();
    return frame;
}

void MDIDorn::MDIForm_Load()
{
    // No Size command: the frame keeps its size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    DisableMaxButton();
    m_pde = new frmOptions;
    m_pde->setSolverKind(kSolverPde);
    m_pde->setHost(this);
    addPricer(m_pde);
    m_mc = new frmOptions;
    m_mc->setSolverKind(kSolverMc);
    m_mc->setHost(this);
    addPricer(m_mc);
}

void MDIDorn::DisableMaxButton()
{
    Qt::WindowFlags flags = windowFlags();
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    flags &= ~Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);
}

void MDIDorn::showPricerWindow(frmOptions& window)
{
    QMdiSubWindow* frame = window.subWindow();
    if (!frame)
        return;
    if (!window.Visible()) {
        // A window coming on screen fills the client area.
        frame->setGeometry(QRect(QPoint(0, 0), m_area->viewport()->size()));
    }
    // A frame closed by its title bar's X closed the window inside it too:
    // both come back.
    if (window.isHidden())
        window.show();
    frame->show();
    window.markShown();

    frame->raise();
    m_area->setActiveSubWindow(frame);
    // Also when the frame itself is not the active window (no activation
    // then): the child shown is the one in front.
    bringForward(frame);
}

frmOptions& MDIDorn::pricerWindow(int32_t solver)
{
    return solver == kSolverPde ? gFrmPDE() : gFrmMC();
}

void MDIDorn::showSolverWindow(int32_t solver)
{
    gSolverMode = solver;
    frmOptions& window = pricerWindow(solver);
    window.takeOwnCaption();
    showPricerWindow(window);
    showCover(false);
}

void MDIDorn::showCover(bool shown)
{
    if (PicCover->isHidden() != shown)
        return;
    PicCover->setVisible(shown);
    if (shown)
        PicCover->raise();
}

void MDIDorn::mnuPDEOptions_Click()
{
    showSolverWindow(kSolverPde);
}

void MDIDorn::mnuMCOptions_Click()
{
    showSolverWindow(kSolverMc);
}

void MDIDorn::mnuExit_Click()
{
    m_ending = true;
    EndProgram(runOut());
}

void MDIDorn::MDIForm_Unload()
{
    m_ending = true;
    EndProgram(runOut());
}

bool MDIDorn::runOut() const
{
    for (const frmOptions* window : {m_pde, m_mc})
        if (window && window->runInProgress())
            return true;
    return false;
}

void MDIDorn::closeEvent(QCloseEvent* event)
{
    // The child windows unload first, then the program ends.
    for (frmOptions* window : {m_pde, m_mc})
        if (window && window->isLoaded())
            window->Unload();
    event->accept();
    MDIForm_Unload();
}

namespace {
bool onScreen(QMdiSubWindow* window)
{
    auto* pricer = window ? qobject_cast<frmOptions*>(window->widget()) : nullptr;
    return pricer && pricer->Visible() && !window->isHidden();
}
}  // namespace

QMdiSubWindow* MDIDorn::frontWindow() const
{
    if (onScreen(m_lastActive))
        return m_lastActive;
    const QList<QMdiSubWindow*> stack = m_area->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stack.crbegin(); it != stack.crend(); ++it)
        if (onScreen(*it))
            return *it;
    return nullptr;
}

void MDIDorn::onSubWindowActivated(QMdiSubWindow* window)
{
    if (m_ending)
        return;
    // A null activation comes when the frame itself loses the focus, too:
    // the window in front stays in front.
    if (!window || !onScreen(window)) {
        refreshMenus();
        return;
    }
    bringForward(window);
}

void MDIDorn::bringForward(QMdiSubWindow* window)
{
    showMenusOf(window);
    if (window == m_lastActive)
        return;
    m_lastActive = window;
    if (auto* pricer = qobject_cast<frmOptions*>(window->widget()))
        pricer->Form_Activate();
}

void MDIDorn::refreshMenus()
{
    if (m_ending)
        return;
    QMdiSubWindow* front = frontWindow();
    // With no pricer window on screen the cover fills the client area again.
    showCover(!front);
    if (!front) {
        m_lastActive = nullptr;
        showMenusOf(nullptr);
        return;
    }
    bringForward(front);
}

void MDIDorn::showMenusOf(QMdiSubWindow* window)
{
    QMenuBar* bar = menuBar();
    auto* pricer = window ? qobject_cast<frmOptions*>(window->widget()) : nullptr;
    QList<QAction*> wanted;
    if (pricer && onScreen(window))
        wanted = pricer->menuBarActions();
    else
        wanted = {mnuPricer->menuAction()};
    if (bar->actions() == wanted)
        return;
    for (QAction* a : bar->actions())
        bar->removeAction(a);
    bar->addActions(wanted);
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {32, 48, 64, 96, 128, 256}) {
        QPixmap image(size, size);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(16, 28, 64));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
        p.drawPixmap(QRect(size / 8, size / 8, size * 3 / 4, size * 3 / 4),
                     vortexPicture(size * 3 / 4, size * 3 / 4));
        p.end();
        icon.addPixmap(image);
    }
    return icon;
}
