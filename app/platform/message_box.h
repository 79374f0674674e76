// Message boxes and the beep, behind one seam.
//
// Every message box and beep of the program goes through MsgBox() and Beep().
// The default seam shows a modal QMessageBox and calls QApplication::beep();
// tests install a ScriptedMessageBoxes (below) that answers each box without
// blocking and records what was said.
#pragma once

#include <QList>
#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

namespace tarvic {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OKOnly, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgResult { OK, Cancel, Abort, Retry, Ignore, Yes, No };

struct MsgBoxRequest {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::OKOnly;
};

class MessageBoxSeam {
public:
    virtual ~MessageBoxSeam() = default;
    // Shows the box and returns the button the user pressed.
    virtual MsgResult show(QWidget* parent, const MsgBoxRequest& request) = 0;
    virtual void beep() = 0;
};

// The width a window needs for its title bar to show the whole of a title:
// the title in the application's font made bold, as window managers draw
// titles, and room for the bar's icon and buttons.
int titleBarWidth(const QString& title);

// The box the default seam shows for a request, not yet shown: the
// request's icon, title, text and buttons, at least as wide as its title
// bar needs.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const MsgBoxRequest& request);

// Shows a modal message box through the installed seam. An empty title shows
// the application's name.
MsgResult MsgBox(const QString& text, MsgIcon icon = MsgIcon::None,
                 MsgButtons buttons = MsgButtons::OKOnly, const QString& title = QString(),
                 QWidget* parent = nullptr);

// Sounds the system beep through the installed seam.
void Beep();

// Installs a seam (not owned); nullptr restores the default. Returns the
// previous one (nullptr when the default was installed).
MessageBoxSeam* setMessageBoxSeam(MessageBoxSeam* seam);

// Answers boxes from a queue (default: the first button of the set, OK or
// Yes or Abort or Retry) and records every box and beep. Installs itself
// while it lives.
class ScriptedMessageBoxes : public MessageBoxSeam {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes() override;
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    MsgResult show(QWidget* parent, const MsgBoxRequest& request) override;
    void beep() override;

    // Answers given to the next boxes, in order.
    void queueAnswer(MsgResult answer) { m_answers.append(answer); }

    QList<MsgBoxRequest> shown;  // every box, oldest first
    int beeps = 0;

private:
    QList<MsgResult> m_answers;
    MessageBoxSeam* m_previous = nullptr;
};

}  // namespace tarvic
