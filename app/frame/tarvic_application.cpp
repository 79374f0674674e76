#include "frame/tarvic_application.h"

#include "platform/runtime_error.h"
#include "pricer/error_reporter.h"

namespace tarvic {

TarvicApplication::TarvicApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

QString TarvicApplication::eventPhrase()
{
    return QStringLiteral("handling a window event");
}

bool TarvicApplication::notify(QObject* receiver, QEvent* event)
{
    // While one such error is on show, a further one (the box's own
    // repaints reaching the same faulty handler) is dropped, not stacked.
    static bool reporting = false;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        recordCaughtError();
    }
    if (!reporting) {
        reporting = true;
        reportPendingError(eventPhrase(), QApplication::activeWindow());
        reporting = false;
    }
    return false;
}

}  // namespace tarvic
