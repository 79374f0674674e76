#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tarvic {
namespace {
QString& folderOverride()
{
    static QString folder;
    return folder;
}
}  // namespace

QString programFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

void setProgramFolder(const QString& folder)
{
    folderOverride() = folder;
}

}  // namespace tarvic
