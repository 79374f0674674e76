#include "settings/settings_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QPalette>

#include <algorithm>
#include <vector>

#include "platform/colors.h"
#include "platform/dialog_show.h"
#include "platform/message_box.h"
#include "platform/window_placement.h"
#include "shared/pricer_link.h"
#include "shared/product_inputs.h"

namespace tarvic {

namespace {
std::vector<SettingsDialog*>& liveDialogs()
{
    static std::vector<SettingsDialog*> dialogs;
    return dialogs;
}
}  // namespace

SettingsDialog::SettingsDialog(PricerLink* served, QWidget* parent)
    : QDialog(parent), m_served(served)
{
    addPricerLinkGoneListener(&SettingsDialog::forgetWindow);
    liveDialogs().push_back(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}

SettingsDialog::~SettingsDialog()
{
    auto& dialogs = liveDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
}

void SettingsDialog::forgetWindow(PricerLink* gone)
{
    for (SettingsDialog* d : liveDialogs())
        if (d->m_served == gone)
            d->m_served = nullptr;
}

void SettingsDialog::setServedWindow(PricerLink* window)
{
    m_served = window;
}

void SettingsDialog::showModalFor(PricerLink* window)
{
    if (window)
        m_served = window;
    if (!isHidden()) {
        raise();
        activateWindow();
        return;
    }
    ShowModal(this);
}

void SettingsDialog::showModelessFor(PricerLink* window)
{
    if (window)
        m_served = window;
    if (!isHidden()) {
        raise();
        activateWindow();
        return;
    }
    ShowModeless(this);
}

QString SettingsDialog::servedExercise() const
{
    return m_served ? m_served->exerciseText() : QString();
}

int SettingsDialog::servedPayoff() const
{
    return m_served ? m_served->payoffIndex() : -1;
}

ProductInputs& SettingsDialog::servedInputs()
{
    if (m_served)
        return m_served->productInputs();
    // No window served: cleared flags, and nothing written here is kept.
    static ProductInputs none;
    none = ProductInputs{};
    return none;
}

void SettingsDialog::fitToContents(const QSize& design)
{
    if (QLayout* own = layout())
        own->activate();
    const QSize need = minimumSizeHint();
    setFixedSize(std::max(design.width(), need.width()), std::max(design.height(), need.height()));
}

void SettingsDialog::placeOverMainWindow(double topShare)
{
    tarvic::placeOverMainWindow(this, 0.5, topShare);
}

void SettingsDialog::fillList(QComboBox* box, const QStringList& items)
{
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
}

void SettingsDialog::bindList(QComboBox* box, std::function<void()> handler)
{
    m_listHandlers.insert(box, handler);
    connect(box, &QComboBox::currentIndexChanged, this, [handler](int) { handler(); });
}

void SettingsDialog::setListIndex(QComboBox* box, int index)
{
    if (index >= box->count())
        index = -1;
    if (box->currentIndex() == index) {
        const auto it = m_listHandlers.constFind(box);
        if (it != m_listHandlers.constEnd())
            (*it)();
        return;
    }
    box->setCurrentIndex(index);
}

void SettingsDialog::bindKeyPress(QLineEdit* box, std::function<void(int&)> handler)
{
    m_keyHandlers.insert(box, std::move(handler));
    box->installEventFilter(this);
}

void SettingsDialog::bindGotFocus(QLineEdit* box, std::function<void()> handler)
{
    m_focusHandlers.insert(box, std::move(handler));
    box->installEventFilter(this);
}

void SettingsDialog::setBackground(QWidget* box, uint32_t bgr)
{
    QPalette pal = box->palette();
    const QColor colour = fromBgr(bgr);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::Base, colour);
    box->setPalette(pal);
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto it = m_keyHandlers.constFind(watched);
        if (it != m_keyHandlers.constEnd()) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            if (!text.isEmpty()) {
                const int code = text.at(0).unicode();
                if (code != '\r' && code != '\n' && code != 27 && code != '\t') {
                    int typed = code;
                    (*it)(typed);
                    if (typed == 0) {
                        Beep();
                        return true;
                    }
                }
            }
        }
    } else if (event->type() == QEvent::FocusIn && !m_inFocusDispatch) {
        const auto it = m_focusHandlers.constFind(watched);
        if (it != m_focusHandlers.constEnd()) {
            // The box takes the focus first (a tabbed-to box selects its
            // text), then the handler runs, as the forms runtime orders it.
            const std::function<void()> handler = *it;
            m_inFocusDispatch = true;
            QCoreApplication::sendEvent(watched, event);
            m_inFocusDispatch = false;
            handler();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SettingsDialog::Form_QueryUnload(int16_t& cancel, int16_t unloadMode)
{
    if (unloadMode == 0) {
        cancel = -1;
        Command1_Click();
    }
}

void SettingsDialog::reject()
{
    Command1_Click();
}

void SettingsDialog::closeEvent(QCloseEvent* event)
{
    int16_t cancel = 0;
    const int16_t mode = (m_programEnding || QCoreApplication::closingDown()) ? 2 : 0;
    Form_QueryUnload(cancel, mode);
    if (cancel)
        event->ignore();
    else
        event->accept();
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        m_activatedByShow = true;
        Form_Activate();
    }
}

bool SettingsDialog::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        // The showing already synchronised the dialog; later activations
        // (coming back from another window) do it again.
        if (m_activatedByShow)
            m_activatedByShow = false;
        else
            Form_Activate();
    } else if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide) {
        m_activatedByShow = false;
    }
    return QDialog::event(event);
}

}  // namespace tarvic
