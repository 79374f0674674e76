// What the user copied outlives the program: a results table copied before
// the program ends reaches the desktop's clipboard manager, whether the
// program ends normally or at once because a run is still out.
//
// Each case starts a virtual X server (Xvfb; the case is skipped where
// none can start), a stand-in clipboard manager on it, and this test
// program once more as the program on that display (the ProgramSide case
// below, which only runs so). That side copies the table, notes what it
// copied, and ends the way the case asks; the manager must then hold the
// same text. Two more cases end the program during a run with the test
// playing the rest of the desktop over a connection of its own: the window
// manager that closes the main window while a silent manager keeps the
// hand-over waiting, and another program that copies something newer just
// before the close.
#include "pricer/run_support.h"

#include "platform/results_grid.h"
#include "platform/system_services.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <optional>
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

// A client of the virtual display: the test's own part of the desktop.
class DisplayClient {
public:
    explicit DisplayClient(const QString& display)
        : m_c(xcb_connect(display.toLatin1().constData(), nullptr))
    {
    }
    ~DisplayClient() { xcb_disconnect(m_c); }
    DisplayClient(const DisplayClient&) = delete;
    DisplayClient& operator=(const DisplayClient&) = delete;

    bool connected() const { return !xcb_connection_has_error(m_c); }

    // On screen: the window and its ancestors mapped.
    bool viewable(xcb_window_t window)
    {
        xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
            m_c, xcb_get_window_attributes(m_c, window), nullptr);
        const bool shown = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return shown;
    }

    // The window's unmapping (and its end) reported to this client.
    void watch(xcb_window_t window)
    {
        const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &events);
        xcb_flush(m_c);
    }

    // What a window manager sends when the user closes the window by its
    // title bar.
    void askToClose(xcb_window_t window)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_c);
    }

    // Waits until a watched window is unmapped; false when timeoutMs pass
    // first.
    bool waitForUnmap(xcb_window_t window, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
                const bool unmapped =
                    (event->response_type & 0x7F) == XCB_UNMAP_NOTIFY &&
                    reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == window;
                std::free(event);
                if (unmapped)
                    return true;
            }
            const qint64 left = timeoutMs - timer.elapsed();
            if (left <= 0 || xcb_connection_has_error(m_c))
                return false;
            pollfd wait{xcb_get_file_descriptor(m_c), POLLIN, 0};
            ::poll(&wait, 1, static_cast<int>(left));
        }
    }

private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }

    xcb_connection_t* m_c;
};

// What follows prefix in the next line of the process's output that starts
// with it, waiting at most timeoutMs; none when no such line came. All that
// was read goes to seen.
std::optional<QByteArray> lineStartingWith(QProcess& process, const QByteArray& prefix,
                                           QByteArray& seen, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            seen += line;
            if (line.startsWith(prefix))
                return line.mid(prefix.size()).trimmed();
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            break;
        if (!process.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 1000))) &&
            process.state() == QProcess::NotRunning)
            break;
    }
    seen += process.readAll();
    return std::nullopt;
}

struct EndCase {
    const char* name;
    const char* side;  // how the program side ends
};

void PrintTo(const EndCase& c, std::ostream* out)
{
    *out << c.name;
}

// A virtual display with a clipboard manager on it, and the program on that
// display as a second run of this test program (ClipboardProgramSide).
class DesktopFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsSet(kSideVariable))
            GTEST_SKIP() << "this is the program side";
        ASSERT_TRUE(dir.isValid());
        name = display.start();
        if (name.isEmpty())
            GTEST_SKIP() << display.why().toStdString();
        environment.insert(QStringLiteral("DISPLAY"), name);
    }

    void TearDown() override
    {
        stop(program);
        stop(manager);
    }

    // The stand-in manager with its argument, once it owns its selection.
    void startManager(const QString& argument)
    {
        manager.setProcessEnvironment(environment);
        manager.start(QStringLiteral(TARVIC_CLIPBOARD_MANAGER), {argument});
        ASSERT_TRUE(manager.waitForReadyRead(20000))
            << manager.readAllStandardError().toStdString();
        ASSERT_EQ(manager.readLine().trimmed(), QByteArray("ready"));
    }

    // The program, ending as side says.
    void startProgram(const char* side)
    {
        QProcessEnvironment programEnvironment = environment;
        programEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        programEnvironment.insert(QString::fromLatin1(kSideVariable), QString::fromLatin1(side));
        programEnvironment.insert(QString::fromLatin1(kCopiedVariable), copiedFile());
        program.setProcessEnvironment(programEnvironment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--gtest_filter=ClipboardProgramSide.*")});
    }

    // Waits for the program's end; its output (what was not read yet) goes
    // to output.
    bool programEnds(int timeoutMs)
    {
        const bool ended = program.waitForFinished(timeoutMs);
        output += program.readAll();
        return ended && program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    }

    QString copiedFile() const { return dir.filePath(QStringLiteral("copied")); }
    QString savedFile() const { return dir.filePath(QStringLiteral("saved")); }

    QTemporaryDir dir;
    VirtualDisplay display;
    QString name;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess manager;
    QProcess program;
    QByteArray output;  // the program's
};

class ClipboardHandover : public DesktopFixture, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ClipboardHandover, TheCopiedTableReachesTheClipboardManager)
{
    startManager(savedFile());
    ASSERT_FALSE(HasFatalFailure());
    startProgram(GetParam().side);
    ASSERT_TRUE(programEnds(120000)) << output.toStdString();

    const bool managerEnded = manager.waitForFinished(10000);
    EXPECT_TRUE(managerEnded) << "the manager was never asked to save";
    const QByteArray table = fileBytes(copiedFile());
    ASSERT_GT(table.count('\n'), 3) << output.toStdString();
    EXPECT_EQ(fileBytes(savedFile()).toStdString(), table.toStdString());
    EXPECT_TRUE(fileBytes(savedFile() + QStringLiteral(".targets")).contains("UTF8_STRING\n"));
}

const EndCase kEnds[] = {
    {"AfterANormalEnd", "normal"},
    {"WhenTheProgramEndsAtOnceDuringARun", "during-run"},
};

INSTANTIATE_TEST_SUITE_P(Ends, ClipboardHandover, ::testing::ValuesIn(kEnds),
                         [](const ::testing::TestParamInfo<EndCase>& info) {
                             return std::string(info.param.name);
                         });

// The hand-over's bound, and what the program's end may add to it.
constexpr int kHandoverBoundMs = 5000;
constexpr int kEndingSlackMs = 1000;

class ClipboardEndDuringARun : public DesktopFixture {};

// A manager that takes the hand-over and never answers keeps the program
// for the hand-over's bound: the windows leave the screen at the close, not
// at the process's end.
TEST_F(ClipboardEndDuringARun, TheWindowsGoAtOnceWhileASilentManagerIsWaitedFor)
{
    startManager(QStringLiteral("--silent"));
    ASSERT_FALSE(HasFatalFailure());
    startProgram("closed-by-the-window-manager");
    const xcb_window_t window =
        lineStartingWith(program, "window ", output).value_or(QByteArray()).toUInt();
    ASSERT_NE(window, 0u) << output.toStdString();

    DisplayClient desktop(name);
    ASSERT_TRUE(desktop.connected());
    desktop.watch(window);
    ASSERT_TRUE(desktop.viewable(window));
    QElapsedTimer sinceClose;
    desktop.askToClose(window);
    sinceClose.start();
    const bool unmapped = desktop.waitForUnmap(window, 2 * kHandoverBoundMs);
    const qint64 unmappedAfter = sinceClose.elapsed();
    const bool ended = programEnds(4 * kHandoverBoundMs);
    const qint64 endedAfter = sinceClose.elapsed();
    RecordProperty("unmapped_after_ms", static_cast<int>(unmappedAfter));
    RecordProperty("ended_after_ms", static_cast<int>(endedAfter));

    ASSERT_TRUE(unmapped) << output.toStdString();
    EXPECT_LT(unmappedAfter, 100) << "the main window stayed on screen";
    ASSERT_TRUE(ended) << output.toStdString();
    EXPECT_LT(endedAfter, kHandoverBoundMs + kEndingSlackMs);
    // The hand-over did run, unseen.
    QByteArray managerSaid;
    EXPECT_TRUE(lineStartingWith(manager, "asked", managerSaid, 2000));
}

// Another program copies after the table was copied, and the close comes
// before this program has taken in that it lost the clipboard: the newer
// copy stays where it is, the manager is not asked to save the older table,
// and nothing is waited for, even where the other program hangs.
struct OtherCopy {
    const char* name;
    const char* mode;  // of the stand-in, playing the other program
    const char* text;
};

void PrintTo(const OtherCopy& c, std::ostream* out)
{
    *out << c.name;
}

class NewerCopyElsewhere : public DesktopFixture, public ::testing::WithParamInterface<OtherCopy> {
protected:
    void TearDown() override
    {
        stop(otherProgram);
        DesktopFixture::TearDown();
    }

    QProcess otherProgram;
};

TEST_P(NewerCopyElsewhere, StaysAndTheProgramEndsAtOnce)
{
    startManager(savedFile());
    ASSERT_FALSE(HasFatalFailure());
    startProgram("after-another-copy");
    ASSERT_TRUE(lineStartingWith(program, "copied", output)) << output.toStdString();

    QStringList arguments{QString::fromLatin1(GetParam().mode)};
    if (GetParam().text)
        arguments << QString::fromLatin1(GetParam().text);
    otherProgram.setProcessEnvironment(environment);
    otherProgram.start(QStringLiteral(TARVIC_CLIPBOARD_MANAGER), arguments);
    QByteArray otherSaid;
    ASSERT_TRUE(lineStartingWith(otherProgram, "ready", otherSaid)) << otherSaid.toStdString();

    QElapsedTimer sinceClose;
    program.write("close\n");
    program.waitForBytesWritten(10000);
    sinceClose.start();
    ASSERT_TRUE(programEnds(4 * kHandoverBoundMs)) << output.toStdString();
    const qint64 endedAfter = sinceClose.elapsed();
    RecordProperty("ended_after_ms", static_cast<int>(endedAfter));

    EXPECT_LT(endedAfter, kEndingSlackMs);
    otherProgram.waitForReadyRead(500);
    otherSaid += otherProgram.readAll();
    EXPECT_FALSE(otherSaid.contains("lost")) << "the other program's copy was replaced";
    EXPECT_FALSE(manager.waitForFinished(500)) << "the manager was asked to save";
    EXPECT_FALSE(QFile::exists(savedFile()));
}

const OtherCopy kOtherCopies[] = {
    {"ThatAnswers", "--copy", "a newer copy"},
    {"ThatHangs", "--copy-hung", nullptr},
};

INSTANTIATE_TEST_SUITE_P(ClipboardEndDuringARun, NewerCopyElsewhere,
                         ::testing::ValuesIn(kOtherCopies),
                         [](const ::testing::TestParamInfo<OtherCopy>& info) {
                             return std::string(info.param.name);
                         });

// The program side: a finished run's table copied, then the main window
// closed, with a run out or without. During a run the close comes through
// the event loop (during-run), from the test playing the window manager
// (closed-by-the-window-manager), or, once the test has had another program
// copy, straight away, before this program has taken in any event since
// (after-another-copy).
class ClipboardProgramSide : public RecordingFixture {};

TEST_F(ClipboardProgramSide, CopiesTheTableAndEnds)
{
    if (!qEnvironmentVariableIsSet(kSideVariable))
        GTEST_SKIP() << "runs as the program of ClipboardHandover";
    const QByteArray side = qgetenv(kSideVariable);
    const bool duringRun = side != "normal";
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
    if (side == "closed-by-the-window-manager") {
        std::printf("window %llu\n", static_cast<unsigned long long>(dorn->winId()));
        std::fflush(stdout);
    } else if (side == "after-another-copy") {
        std::printf("copied\n");
        std::fflush(stdout);
        char line[16];
        ASSERT_NE(std::fgets(line, sizeof line, stdin), nullptr);
        dorn->close();
    } else {
        // As the program runs: its event loop, the close from the window
        // manager, then the main window goes.
        QTimer::singleShot(0, dorn.get(), [this] { dorn->close(); });
    }
    QApplication::exec();
    // Only a normal end comes back here; the program's end hands the
    // clipboard over when the application object goes.
    EXPECT_FALSE(duringRun);
}

}  // namespace
