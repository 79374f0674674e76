#include "frame/mdi_dorn.h"
#include "frame/tarvic_application.h"
#include "program_version.h"

int main(int argc, char* argv[])
{
    tarvic::TarvicApplication application(argc, argv);
    tarvic::TarvicApplication::setApplicationName(QString::fromUtf8(tarvic::kProductName));
    MDIDorn dorn;
    dorn.show();
    return application.exec();
}
