#include "frame/mdi_dorn.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvic"));
    MDIDorn dorn;
    dorn.show();
    return application.exec();
}
