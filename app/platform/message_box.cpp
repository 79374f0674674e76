#include "platform/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace tarvic {
namespace {

class QtMessageBoxes : public MessageBoxSeam {
public:
    MsgResult show(QWidget* parent, const MsgBoxRequest& request) override
    {
        const std::unique_ptr<QMessageBox> shown = makeMessageBox(parent, request);
        QMessageBox& box = *shown;
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

QMessageBox::Icon boxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None: return QMessageBox::NoIcon;
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OKOnly: return QMessageBox::Ok;
    case MsgButtons::OKCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::AbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

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

int titleBarWidth(const QString& title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    // The icon and three buttons (minimise, maximise, close), each about a
    // line and a half square, and the bar's margins.
    return metrics.horizontalAdvance(title) + 7 * metrics.height();
}

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const MsgBoxRequest& request)
{
    auto box = std::make_unique<QMessageBox>(boxIcon(request.icon), request.title, request.text,
                                             boxButtons(request.buttons), parent);
    // A message box sizes itself to its text and leaves only a little room
    // beside its title: a short text under a long title would show the
    // title cut off. A strut under the contents holds the width it needs.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(titleBarWidth(request.title), 0, QSizePolicy::Fixed,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

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
