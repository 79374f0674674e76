#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// Where the screenshot tests save their pictures: beside the test program,
// or into the repository's docs/screenshots when TARVIC_UPDATE_SCREENSHOTS
// is set (that is how the README's pictures are made).
inline QString screenshotFolder()
{
    if (!qEnvironmentVariableIsEmpty("TARVIC_UPDATE_SCREENSHOTS"))
        return QStringLiteral(TARVIC_SOURCE_DIR "/docs/screenshots");
    return QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
}
