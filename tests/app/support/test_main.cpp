// Test entry point: one application object, the program's own, for all app
// tests.
#include "frame/tarvic_application.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    tarvic::TarvicApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvic"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
