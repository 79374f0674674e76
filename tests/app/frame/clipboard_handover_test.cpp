// What the user copied outlives the program: a results table copied before
// the program ends reaches the desktop's clipboard manager, whether the
// program ends normally or at once because a run is still out.
//
// Each case starts a virtual X server (Xvfb; the case is skipped where
// none can start), a stand-in clipboard manager on it, and this test
// program once more as the program on that display (the ProgramSide case
// below, which only runs so). That side copies the table, notes what it
// copied, and ends the way the case asks; the manager must then hold the
// same text.
#include "pricer/run_support.h"

#include "platform/results_grid.h"
#include "platform/system_services.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <ostream>
#include <string>

#include <unistd.h>

namespace {

const char kSideVariable[] = "TARVIC_CLIPBOARD_SIDE";
const char kCopiedVariable[] = "TARVIC_CLIPBOARD_COPIED";

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A virtual X server on a display number of its own choosing.
class VirtualDisplay {
public:
    // Empty when none can start (why() says why).
    QString start()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return m_why = QStringLiteral("no Xvfb here (Debian's xvfb package)"), QString();
        m_server.setProgram(xvfb);
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                               QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                               QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("800x600x24")});
        m_server.setProcessChannelMode(QProcess::SeparateChannels);
        m_server.start();
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(20000))
            number += m_server.readAllStandardOutput();
        number = number.trimmed();
        if (number.isEmpty()) {
            m_why = QStringLiteral("Xvfb did not start: ") +
                    QString::fromLocal8Bit(m_server.readAllStandardError());
            return QString();
        }
        return QStringLiteral(":") + QString::fromLatin1(number);
    }
    const QString& why() const { return m_why; }
    ~VirtualDisplay()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(10000))
                m_server.kill();
            m_server.waitForFinished(10000);
        }
    }

private:
    QProcess m_server;
    QString m_why;
};

void stop(QProcess& process)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(10000);
    }
}

struct EndCase {
    const char* name;
    const char* side;  // how the program side ends
};

void PrintTo(const EndCase& c, std::ostream* out)
{
    *out << c.name;
}

class ClipboardHandover : public ::testing::TestWithParam<EndCase> {};

TEST_P(ClipboardHandover, TheCopiedTableReachesTheClipboardManager)
{
    if (qEnvironmentVariableIsSet(kSideVariable))
        GTEST_SKIP() << "this is the program side";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    VirtualDisplay display;
    const QString name = display.start();
    if (name.isEmpty())
        GTEST_SKIP() << display.why().toStdString();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), name);

    QProcess manager;
    manager.setProcessEnvironment(environment);
    const QString saved = dir.filePath(QStringLiteral("saved"));
    manager.start(QStringLiteral(TARVIC_CLIPBOARD_MANAGER), {saved});
    ASSERT_TRUE(manager.waitForReadyRead(20000)) << manager.readAllStandardError().toStdString();
    ASSERT_EQ(manager.readLine().trimmed(), QByteArray("ready"));

    const QString copied = dir.filePath(QStringLiteral("copied"));
    QProcess program;
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QString::fromLatin1(kSideVariable), QString::fromLatin1(GetParam().side));
    environment.insert(QString::fromLatin1(kCopiedVariable), copied);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--gtest_filter=ClipboardProgramSide.*")});
    const bool ended = program.waitForFinished(120000);
    const QByteArray output = program.readAll();
    stop(program);
    ASSERT_TRUE(ended) << output.toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(program.exitCode(), 0) << output.toStdString();

    const bool managerEnded = manager.waitForFinished(10000);
    stop(manager);
    EXPECT_TRUE(managerEnded) << "the manager was never asked to save";
    const QByteArray table = fileBytes(copied);
    ASSERT_GT(table.count('\n'), 3) << output.toStdString();
    EXPECT_EQ(fileBytes(saved).toStdString(), table.toStdString());
    EXPECT_TRUE(fileBytes(saved + QStringLiteral(".targets")).contains("UTF8_STRING\n"));
}

const EndCase kEnds[] = {
    {"AfterANormalEnd", "normal"},
    {"WhenTheProgramEndsAtOnceDuringARun", "during-run"},
};

INSTANTIATE_TEST_SUITE_P(Ends, ClipboardHandover, ::testing::ValuesIn(kEnds),
                         [](const ::testing::TestParamInfo<EndCase>& info) {
                             return std::string(info.param.name);
                         });

// The program side: a finished run's table copied, then the main window
// closed, with a run out or without.
class ClipboardProgramSide : public RecordingFixture {};

TEST_F(ClipboardProgramSide, CopiesTheTableAndEnds)
{
    if (!qEnvironmentVariableIsSet(kSideVariable))
        GTEST_SKIP() << "runs as the program of ClipboardHandover";
    const bool duringRun = qgetenv(kSideVariable) == "during-run";
    typeInputs("100");
    ui(w).cmdCalc->click();
    waitForRunEnd(*w);
    tarvic::ResultsGrid& grid = *ui(w).MSFlexGrid1;
    ASSERT_GT(grid.Rows(), 4);
    grid.setRow(0);
    grid.setCol(0);
    grid.selectBlock(grid.Rows() - 1, grid.Cols() - 1);
    ui(w).mnuCopy->trigger();
    const QString table = tarvic::Clipboard::GetText();
    {
        QFile copied(qEnvironmentVariable(kCopiedVariable));
        ASSERT_TRUE(copied.open(QIODevice::WriteOnly));
        copied.write(table.toUtf8());
    }

    tarvic::setEndProgramHook({});
    if (duringRun) {
        holdCalls();
        ui(w).cmdCalc->click();
        ASSERT_TRUE(waitUntilHeld());
        alarm(60);
    }
    // As the program runs: its event loop, the close from the window
    // manager, then the main window goes.
    QTimer::singleShot(0, dorn.get(), [this] { dorn->close(); });
    QApplication::exec();
    // Only a normal end comes back here; the program's end hands the
    // clipboard over when the application object goes.
    EXPECT_FALSE(duringRun);
}

}  // namespace
