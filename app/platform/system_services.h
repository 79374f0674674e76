// Small system services: the tick counter, the clipboard, the shell's "open"
// verb and the yield to the message loop. Each has a seam for tests.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class QUrl;

namespace tarvic {

// Milliseconds from a monotonic clock (wraps at 2^32 like the system's tick
// count).
uint32_t GetTickCount();
// Replaces the clock (tests); an empty function restores the system clock.
void setTickSource(std::function<uint32_t()> source);

// The text with the platform's line ends: lines ended by a carriage return,
// alone or before a line feed, end with a line feed (on Windows with both).
QString platformLineEnds(const QString& text);

// The system clipboard, as plain text. Text put on it takes the platform's
// line ends, so that rows paste as rows.
namespace Clipboard {
void Clear();
void SetText(const QString& text);
QString GetText();
}  // namespace Clipboard

// Asks the desktop to open a file or a web address. The answer is returned
// but callers may ignore it.
bool ShellOpen(const QUrl& target);
bool ShellOpenFile(const QString& path);
// Replaces the desktop (tests); an empty function restores it.
void setShellOpenHandler(std::function<bool(const QUrl&)> handler);

// Lets pending events run (windows repaint and take input meanwhile).
void DoEvents();
// Replaces the yield (tests); an empty function restores it.
void setDoEventsHook(std::function<void()> hook);

}  // namespace tarvic

namespace tarvic {
// Ends the program at once (every window goes with it). With a library call
// still out on a worker (callOut) the process ends without waiting for it.
void EndProgram(bool callOut = false);
// Replaces the ending (tests); an empty function restores it.
void setEndProgramHook(std::function<void()> hook);
}  // namespace tarvic
