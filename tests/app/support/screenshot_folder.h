#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

// Where the screenshot tests save their pictures: beside the test program,
// or into the repository's docs/screenshots when TARVIC_UPDATE_SCREENSHOTS
// is set (that is how the README's pictures are made).
inline QString screenshotFolder()
{
    if (!qEnvironmentVariableIsEmpty("TARVIC_UPDATE_SCREENSHOTS"))
        return QStringLiteral(TARVIC_SOURCE_DIR "/docs/screenshots");
    return QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
}

// Saves a picture of the widget as <name>.png in that folder, and checks
// that it was written.
inline void saveScreenshot(QWidget& widget, const QString& name)
{
    const QPixmap shot = widget.grab();
    ASSERT_FALSE(shot.isNull());
    const QString folder = screenshotFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    ASSERT_TRUE(shot.save(file, "PNG"));
    EXPECT_GT(QFileInfo(file).size(), 0);
}
