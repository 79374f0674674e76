// Test entry point: one application object, the program's own, for all app
// tests.
#include "frame/tarvic_application.h"

#include <QApplication>

#include <gtest/gtest.h>

// Read by the address sanitizer at start: Qt's global state and its pool
// threads still hold memory when the process ends, so leaks are not
// checked here (the window tests look for the other faults).
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    tarvic::TarvicApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvic"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
