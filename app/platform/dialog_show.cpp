#include "platform/dialog_show.h"

#include <QEvent>
#include <QEventLoop>
#include <QWidget>

namespace tarvic {
namespace {

// Ends a local event loop when the watched window hides or is destroyed.
class HideWatcher : public QObject {
public:
    HideWatcher(QWidget* window, QEventLoop* loop)
        : m_loop(loop)
    {
        window->installEventFilter(this);
        connect(window, &QObject::destroyed, loop, &QEventLoop::quit);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            m_loop->quit();
        return false;
    }

private:
    QEventLoop* m_loop;
};

class QtDialogShow : public DialogShowSeam {
public:
    void showModal(QWidget* window) override
    {
        if (!window)
            return;
        QPointer<QWidget> guard(window);
        const Qt::WindowModality before = window->windowModality();
        if (window->isVisible())
            window->hide();
        window->setWindowModality(Qt::ApplicationModal);
        QEventLoop loop;
        HideWatcher watcher(window, &loop);
        window->show();
        window->raise();
        window->activateWindow();
        if (guard && guard->isVisible())
            loop.exec(QEventLoop::DialogExec);
        if (guard) {
            guard->removeEventFilter(&watcher);
            guard->setWindowModality(before);
        }
    }

    void showModeless(QWidget* window) override
    {
        if (!window)
            return;
        window->show();
        window->raise();
        window->activateWindow();
    }
};

QtDialogShow& defaultSeam()
{
    static QtDialogShow seam;
    return seam;
}

DialogShowSeam* g_seam = nullptr;

DialogShowSeam& currentSeam()
{
    return g_seam ? *g_seam : static_cast<DialogShowSeam&>(defaultSeam());
}

}  // namespace

void ShowModal(QWidget* window)
{
    currentSeam().showModal(window);
}

void ShowModeless(QWidget* window)
{
    currentSeam().showModeless(window);
}

DialogShowSeam* setDialogShowSeam(DialogShowSeam* seam)
{
    DialogShowSeam* previous = g_seam;
    g_seam = seam;
    return previous;
}

NonBlockingDialogs::NonBlockingDialogs()
    : m_previous(setDialogShowSeam(this))
{
}

NonBlockingDialogs::~NonBlockingDialogs()
{
    setDialogShowSeam(m_previous);
}

void NonBlockingDialogs::showModal(QWidget* window)
{
    modal.append(window);
    if (window)
        window->show();
}

void NonBlockingDialogs::showModeless(QWidget* window)
{
    modeless.append(window);
    if (window)
        window->show();
}

}  // namespace tarvic
