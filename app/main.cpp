#include "frame/mdi_dorn.h"
#include "program_version.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tarvic::kProductName));
    MDIDorn dorn;
    dorn.show();
    return application.exec();
}
