#include "platform/system_services.h"

#include "platform/clipboard_handover.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QUrl>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tarvic {
namespace {

std::function<uint32_t()>& tickSource()
{
    static std::function<uint32_t()> source;
    return source;
}

std::function<bool(const QUrl&)>& shellHandler()
{
    static std::function<bool(const QUrl&)> handler;
    return handler;
}

std::function<void()>& doEventsHook()
{
    static std::function<void()> hook;
    return hook;
}

}  // namespace

uint32_t GetTickCount()
{
    if (tickSource())
        return tickSource()();
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<uint32_t>(static_cast<uint64_t>(clock.elapsed()));
}

void setTickSource(std::function<uint32_t()> source)
{
    tickSource() = std::move(source);
}

QString platformLineEnds(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
#ifdef Q_OS_WIN
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
#endif
    return lines;
}

namespace Clipboard {

void Clear()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->clear();
}

void SetText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(platformLineEnds(text));
}

QString GetText()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        return clipboard->text();
    return QString();
}

}  // namespace Clipboard

bool ShellOpen(const QUrl& target)
{
    if (shellHandler())
        return shellHandler()(target);
    return QDesktopServices::openUrl(target);
}

bool ShellOpenFile(const QString& path)
{
    return ShellOpen(QUrl::fromLocalFile(path));
}

void setShellOpenHandler(std::function<bool(const QUrl&)> handler)
{
    shellHandler() = std::move(handler);
}

void DoEvents()
{
    if (doEventsHook()) {
        doEventsHook()();
        return;
    }
    QCoreApplication::processEvents();
}

void setDoEventsHook(std::function<void()> hook)
{
    doEventsHook() = std::move(hook);
}

}  // namespace tarvic

namespace tarvic {
namespace {
std::function<void()>& endProgramHook()
{
    static std::function<void()> hook;
    return hook;
}

// Takes every window of the program off the screen now: on X11 it returns
// once the display server has unmapped them (a round trip on the program's
// connection), before anything that may keep the ending process waiting.
void hideWindowsNow()
{
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (window->isVisible())
            window->hide();
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* c = x11 ? x11->connection() : nullptr)
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}
}  // namespace

void EndProgram(bool callOut)
{
    if (endProgramHook()) {
        endProgramHook()();
        return;
    }
    if (callOut) {
        // The windows would wait for the call before the arrays it writes
        // go; the call only computes and writes no file, so the process
        // ends here, without it. What the user copied goes to the
        // clipboard manager first, as at a normal end, with the windows
        // gone from the screen: a manager may keep the hand-over waiting.
        hideWindowsNow();
        handClipboardToManager();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    QCoreApplication::exit(0);
}

void setEndProgramHook(std::function<void()> hook)
{
    endProgramHook() = std::move(hook);
}
}  // namespace tarvic
