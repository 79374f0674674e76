// Modal and modeless showing of windows, behind a seam so that tests never
// block.
//
// ShowModal() returns when the window hides itself (or closes); the default
// seam runs a local event loop for that. Tests install NonBlockingDialogs,
// which shows the window without waiting and records the call.
#pragma once

#include <QList>
#include <QPointer>

class QWidget;

namespace tarvic {

class DialogShowSeam {
public:
    virtual ~DialogShowSeam() = default;
    virtual void showModal(QWidget* window) = 0;
    virtual void showModeless(QWidget* window) = 0;
};

// Shows the window modally: returns once it is hidden again.
void ShowModal(QWidget* window);
// Shows the window modelessly (a shown window is brought to the front).
void ShowModeless(QWidget* window);

// Installs a seam (not owned); nullptr restores the default. Returns the
// previous one.
DialogShowSeam* setDialogShowSeam(DialogShowSeam* seam);

// Shows windows without blocking and records each call. Installs itself
// while it lives.
class NonBlockingDialogs : public DialogShowSeam {
public:
    NonBlockingDialogs();
    ~NonBlockingDialogs() override;
    NonBlockingDialogs(const NonBlockingDialogs&) = delete;
    NonBlockingDialogs& operator=(const NonBlockingDialogs&) = delete;

    void showModal(QWidget* window) override;
    void showModeless(QWidget* window) override;

    QList<QPointer<QWidget>> modal;     // windows shown modally, oldest first
    QList<QPointer<QWidget>> modeless;  // windows shown modelessly

private:
    DialogShowSeam* m_previous = nullptr;
};

}  // namespace tarvic
