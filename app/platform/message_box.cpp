#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace tarvic {
namespace {

class QtMessageBoxes : public MessageBoxSeam {
public:
    MsgResult show(QWidget* parent, const MsgBoxRequest& request) override
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (request.icon) {
        case MsgIcon::None: icon = QMessageBox::NoIcon; break;
        case MsgIcon::Critical: icon = QMessageBox::Critical; break;
        case MsgIcon::Question: icon = QMessageBox::Question; break;
        case MsgIcon::Exclamation: icon = QMessageBox::Warning; break;
        case MsgIcon::Information: icon = QMessageBox::Information; break;
        }
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        switch (request.buttons) {
        case MsgButtons::OKOnly: buttons = QMessageBox::Ok; break;
        case MsgButtons::OKCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case MsgButtons::AbortRetryIgnore:
            buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
            break;
        case MsgButtons::YesNoCancel:
            buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
        case MsgButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
        case MsgButtons::RetryCancel: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
        }
        QMessageBox box(icon, request.title, request.text, buttons, parent);
        switch (box.exec()) {
        case QMessageBox::Ok: return MsgResult::OK;
        case QMessageBox::Abort: return MsgResult::Abort;
        case QMessageBox::Retry: return MsgResult::Retry;
        case QMessageBox::Ignore: return MsgResult::Ignore;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        default: return MsgResult::Cancel;
        }
    }

    void beep() override { QApplication::beep(); }
};

QtMessageBoxes& defaultSeam()
{
    static QtMessageBoxes seam;
    return seam;
}

MessageBoxSeam* g_seam = nullptr;

MessageBoxSeam& currentSeam()
{
    return g_seam ? *g_seam : static_cast<MessageBoxSeam&>(defaultSeam());
}

MsgResult firstButton(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OKOnly:
    case MsgButtons::OKCancel: return MsgResult::OK;
    case MsgButtons::AbortRetryIgnore: return MsgResult::Abort;
    case MsgButtons::YesNoCancel:
    case MsgButtons::YesNo: return MsgResult::Yes;
    case MsgButtons::RetryCancel: return MsgResult::Retry;
    }
    return MsgResult::OK;
}

}  // namespace

MsgResult MsgBox(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title,
                 QWidget* parent)
{
    MsgBoxRequest request;
    request.text = text;
    request.title = title.isEmpty() ? QCoreApplication::applicationName() : title;
    request.icon = icon;
    request.buttons = buttons;
    return currentSeam().show(parent, request);
}

void Beep()
{
    currentSeam().beep();
}

MessageBoxSeam* setMessageBoxSeam(MessageBoxSeam* seam)
{
    MessageBoxSeam* previous = g_seam;
    g_seam = seam;
    return previous;
}

ScriptedMessageBoxes::ScriptedMessageBoxes()
    : m_previous(setMessageBoxSeam(this))
{
}

ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    setMessageBoxSeam(m_previous);
}

MsgResult ScriptedMessageBoxes::show(QWidget*, const MsgBoxRequest& request)
{
    shown.append(request);
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return firstButton(request.buttons);
}

void ScriptedMessageBoxes::beep()
{
    ++beeps;
}

}  // namespace tarvic
