#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QLabel placeholder(QStringLiteral("Tarvic"));
    placeholder.show();
    return application.exec();
}
