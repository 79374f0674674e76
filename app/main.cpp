#include "frame/mdi_dorn.h"
#include "frame/tarvic_application.h"
#include "program_version.h"

#include <clocale>

int main(int argc, char* argv[])
{
    tarvic::TarvicApplication application(argc, argv);
    // Qt has set the C library's locale from the environment; its number
    // rules go back to "C", as Qt advises for programs that format or read
    // numbers through the C library, before the program starts any thread
    // of its own. What the windows show follows the program's own number
    // rules either way.
    std::setlocale(LC_NUMERIC, "C");
    tarvic::TarvicApplication::setApplicationName(QString::fromUtf8(tarvic::kProductName));
    MDIDorn dorn;
    dorn.show();
    return application.exec();
}
