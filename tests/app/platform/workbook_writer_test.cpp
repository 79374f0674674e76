// The workbook writer: what it writes reads back through openpyxl (texts,
// numbers, bold, colours, left-aligned columns, fitted widths); a failed
// save reports its reason, leaves no file and keeps a file it was to
// replace; a full disk or temp folder never passes for a saved workbook;
// links are followed to their file, read-only files and folders are
// respected, and the longest names save.
#include "support/qt_printers.h"
#include "support/workbook_reader.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "platform/workbook_writer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <limits>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using tarvic::WorkbookWriter;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// The description of the error that body raises; empty when it raises none.
QString raisedError(const std::function<void()>& body)
{
    try {
        body();
    } catch (const tarvic::RuntimeError& e) {
        EXPECT_EQ(e.number(), tarvic::kErrWorkbook);
        return e.description();
    }
    return QString();
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// A small sheet laid out as the results export lays out its blocks.
WorkbookWriter exportLikeSheet()
{
    WorkbookWriter book;
    book.setBold(QStringLiteral("H1:H4"));
    book.setTexts(QStringLiteral("H1"),
                  {QStringLiteral("PRODUCT DESCRIPTION"), QStringLiteral("Payoff Type"),
                   QStringLiteral("Num of exercising/monitoring periods"), QStringLiteral("Strike")});
    book.setText(QStringLiteral("I2"), QStringLiteral("Vanilla"));
    book.setText(QStringLiteral("I4"), QStringLiteral("100"));
    book.setFontColor(QStringLiteral("I2:I5"), kBlue);
    for (const QString& cell : {QStringLiteral("I2"), QStringLiteral("I3"), QStringLiteral("I4")})
        if (book.text(cell).isEmpty()) {
            book.setText(cell, QStringLiteral("N/A"));
            book.setFontColor(cell, kRed);
        }
    book.setColumnLeftAligned(QStringLiteral("I"));
    book.setBold(QStringLiteral("A1:B1"));
    book.setTexts(QStringLiteral("A1"), {QStringLiteral("Asset")});
    book.setText(QStringLiteral("B1"), QStringLiteral("Value"));
    const double table[3][2] = {{80.0, 0.1 + 0.2},
                                {100.0, std::numeric_limits<double>::quiet_NaN()},
                                {-1.0 / 3.0, std::numeric_limits<double>::infinity()}};
    book.setNumberBlock(QStringLiteral("A2"), 3, 2, [&](int r, int c) { return table[r][c]; });
    return book;
}

TEST(WorkbookWriterTest, WhatIsWrittenReadsBackWithItsLooksAndFittingWidths)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("results.xlsx"));
    exportLikeSheet().saveAs(path);

    const ReadBackWorkbook book = readWorkbook(path);
    ASSERT_TRUE(book.failure.isEmpty()) << book.failure.toStdString();
    EXPECT_EQ(book.sheets, 1);
    EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("results.xlsx")});

    // Labels bold, in the automatic colour; an empty cell of a bold range
    // keeps the bold look.
    EXPECT_EQ(book.cell(QStringLiteral("H3")).value.toString(),
              QStringLiteral("Num of exercising/monitoring periods"));
    for (const QString& name : {QStringLiteral("H1"), QStringLiteral("H4"), QStringLiteral("A1")}) {
        EXPECT_TRUE(book.cell(name).bold) << name.toStdString();
        EXPECT_TRUE(book.cell(name).colour.isEmpty()) << name.toStdString();
    }
    // Values blue and left-aligned, the empty one "N/A" in red, the blue
    // range's empty cell styled too.
    EXPECT_EQ(book.cell(QStringLiteral("I2")).value.toString(), QStringLiteral("Vanilla"));
    EXPECT_EQ(book.cell(QStringLiteral("I2")).colour, QStringLiteral("FF0000FF"));
    EXPECT_EQ(book.cell(QStringLiteral("I3")).value.toString(), QStringLiteral("N/A"));
    EXPECT_EQ(book.cell(QStringLiteral("I3")).colour, QStringLiteral("FFFF0000"));
    EXPECT_EQ(book.cell(QStringLiteral("I4")).type, QStringLiteral("s"));
    EXPECT_EQ(book.cell(QStringLiteral("I5")).colour, QStringLiteral("FF0000FF"));
    EXPECT_FALSE(book.cell(QStringLiteral("I2")).bold);
    for (const QString& name : {QStringLiteral("I2"), QStringLiteral("I3"), QStringLiteral("I5")})
        EXPECT_EQ(book.cell(name).align, QStringLiteral("left")) << name.toStdString();
    EXPECT_EQ(book.columnAlign.value(QStringLiteral("I")), QStringLiteral("left"));
    EXPECT_TRUE(book.cell(QStringLiteral("H2")).align.isEmpty());

    // Numbers as numbers (16 significant digits survive), the non-finite
    // ones as texts.
    EXPECT_EQ(book.cell(QStringLiteral("A2")).type, QStringLiteral("n"));
    EXPECT_EQ(book.cell(QStringLiteral("A2")).value.toDouble(), 80.0);
    EXPECT_NEAR(book.cell(QStringLiteral("B2")).value.toDouble(), 0.1 + 0.2, 1e-16);
    EXPECT_NEAR(book.cell(QStringLiteral("A4")).value.toDouble(), -1.0 / 3.0, 1e-16);
    EXPECT_EQ(book.cell(QStringLiteral("B3")).value.toString(), QStringLiteral("NaN"));
    EXPECT_EQ(book.cell(QStringLiteral("B3")).type, QStringLiteral("s"));
    EXPECT_EQ(book.cell(QStringLiteral("B4")).value.toString(), QStringLiteral("Infinity"));

    // Each used column at least as wide as its longest text, and not much
    // wider: a digit is one width unit of the standard font.
    const double labelLength = QStringLiteral("Num of exercising/monitoring periods").size();
    EXPECT_GE(book.widths.value(QStringLiteral("H")), labelLength);
    EXPECT_LE(book.widths.value(QStringLiteral("H")), 1.4 * labelLength + 3);
    const double numberLength = tarvic::numberText(-1.0 / 3.0).size();
    EXPECT_GE(book.widths.value(QStringLiteral("A")), numberLength);
    EXPECT_LE(book.widths.value(QStringLiteral("A")), numberLength + 3);
    EXPECT_GE(book.widths.value(QStringLiteral("B")), QStringLiteral("Infinity").size());
    EXPECT_FALSE(book.widths.contains(QStringLiteral("C")));
}

TEST(WorkbookWriterTest, ShownTextsAndFittingWidths)
{
    WorkbookWriter book;
    book.setNumber(QStringLiteral("C7"), 0.25);
    book.setNumber(QStringLiteral("c8"), -std::numeric_limits<double>::infinity());
    book.setText(QStringLiteral("C9"), QStringLiteral("Sobol"));
    EXPECT_EQ(book.text(QStringLiteral("C7")), QStringLiteral("0.25"));
    EXPECT_EQ(book.text(QStringLiteral("C8")), QStringLiteral("-Infinity"));
    EXPECT_EQ(book.text(QStringLiteral("C9")), QStringLiteral("Sobol"));
    EXPECT_EQ(book.text(QStringLiteral("C10")), QString());
    EXPECT_EQ(book.text(QStringLiteral("Z100")), QString());
    book.setText(QStringLiteral("C9"), QString());
    EXPECT_EQ(book.text(QStringLiteral("C9")), QString());

    // Digits are one unit each; bold and capitals take more room.
    EXPECT_GE(WorkbookWriter::fittingWidth(QStringLiteral("12345678"), false), 8.0);
    EXPECT_GT(WorkbookWriter::fittingWidth(QStringLiteral("CPU TIME"), true),
              WorkbookWriter::fittingWidth(QStringLiteral("CPU TIME"), false));
    EXPECT_GT(WorkbookWriter::fittingWidth(QStringLiteral("WWWW"), false),
              WorkbookWriter::fittingWidth(QStringLiteral("iiii"), false));
    EXPECT_EQ(WorkbookWriter::fittingWidth(QString(5000, QLatin1Char('M')), false), 255.0);
}

TEST(WorkbookWriterTest, AddressesOutsideTheSheetAreRefusedNamingThem)
{
    for (const QString& bad :
         {QStringLiteral(""), QStringLiteral("A0"), QStringLiteral("1A"), QStringLiteral("A"),
          QStringLiteral("XFE1"), QStringLiteral("A1048577"), QStringLiteral("ABCD1"),
          QStringLiteral("A1B"), QStringLiteral("A-1")}) {
        WorkbookWriter book;
        const QString error = raisedError([&] { book.setText(bad, QStringLiteral("x")); });
        EXPECT_TRUE(error.contains(QStringLiteral("\"") + bad + QStringLiteral("\"")))
            << bad.toStdString() << ": " << error.toStdString();
    }
    WorkbookWriter book;
    EXPECT_TRUE(raisedError([&] { book.setNumber(QStringLiteral("XFD1048576"), 1.0); }).isEmpty());
    EXPECT_FALSE(raisedError([&] { book.setBold(QStringLiteral("A1:B2:C3")); }).isEmpty());
    EXPECT_FALSE(raisedError([&] {
                     book.setNumberBlock(QStringLiteral("A1048576"), 2, 1,
                                         [](int, int) { return 0.0; });
                 }).isEmpty());
    const QString tooLong = raisedError(
        [&] { book.setText(QStringLiteral("A1"), QString(40000, QLatin1Char('x'))); });
    EXPECT_TRUE(tooLong.contains(QStringLiteral("cell A1"))) << tooLong.toStdString();
}

struct SaveFailureCase {
    const char* name;
    // Prepares the folder and returns the path to save to.
    std::function<QString(const QString& folder)> target;
    const char* reason;
};

TEST(WorkbookWriterTest, AFailedSaveNamesFileAndReasonAndLeavesNothing)
{
    const SaveFailureCase cases[] = {
        {"missing folder",
         [](const QString& folder) { return folder + QStringLiteral("/absent/results.xlsx"); },
         "does not exist"},
        {"target is a folder",
         [](const QString& folder) {
             const QString path = folder + QStringLiteral("/taken.xlsx");
             QDir().mkpath(path + QStringLiteral("/inside"));
             return path;
         },
         "is a folder"},
        {"no name", [](const QString&) { return QString(); }, "no file name"},
    };
    for (const SaveFailureCase& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = c.target(dir.path());
        const QStringList before = folderEntries(dir.path());
        const QString error = raisedError([&] { exportLikeSheet().saveAs(path); });
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << c.name << ": " << error.toStdString();
        EXPECT_TRUE(error.contains(path)) << c.name << ": " << error.toStdString();
        EXPECT_FALSE(error.startsWith(QStringLiteral("Automation error"))) << c.name;
        EXPECT_EQ(folderEntries(dir.path()), before) << c.name;
    }
}

TEST(WorkbookWriterTest, AnOverwriteReplacesTheFileWholeAndKeepsItsPermissions)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("results.xlsx"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older export");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    exportLikeSheet().saveAs(path);
    EXPECT_EQ(readWorkbook(path).cell(QStringLiteral("I2")).value.toString(),
              QStringLiteral("Vanilla"));
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("results.xlsx")});

    // A new file gets the usual permissions, not the owner-only ones of a
    // temporary file.
    const QString fresh = dir.filePath(QStringLiteral("fresh.xlsx"));
    exportLikeSheet().saveAs(fresh);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u & ~mask);
}

// A full disk, as the process sees it: files may grow to a few kilobytes
// only (this holds for root too, unlike a read-only folder).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_old{};
    void (*m_signal)(int) = nullptr;
};

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The export-like sheet with a results table large enough that its part
// is written in many pieces.
WorkbookWriter largeSheet()
{
    WorkbookWriter book = exportLikeSheet();
    book.setNumberBlock(QStringLiteral("A2"), 20000, 6,
                        [](int r, int c) { return std::sqrt(r + 0.1 * c); });
    return book;
}

// Whether a workbook read back is the whole of exportLikeSheet().
void expectWholeExportLikeSheet(const QString& path)
{
    const ReadBackWorkbook book = readWorkbook(path);
    ASSERT_TRUE(book.failure.isEmpty()) << book.failure.toStdString();
    EXPECT_EQ(book.cell(QStringLiteral("H3")).value.toString(),
              QStringLiteral("Num of exercising/monitoring periods"));
    EXPECT_EQ(book.cell(QStringLiteral("I2")).value.toString(), QStringLiteral("Vanilla"));
    EXPECT_EQ(book.cell(QStringLiteral("I2")).colour, QStringLiteral("FF0000FF"));
    EXPECT_EQ(book.cell(QStringLiteral("A3")).value.toDouble(), 100.0);
    EXPECT_EQ(book.cell(QStringLiteral("B4")).value.toString(), QStringLiteral("Infinity"));
}

// A disk that fills up, as the process sees it: no file may grow beyond a
// size. The first limit stops the workbook's zip itself; the second only
// its staged sheet, whose cut-short part still fits into a small zip.
TEST(WorkbookWriterTest, AWriteErrorIsReportedAndTheOldFileStays)
{
    for (const rlim_t bytes : {rlim_t{4096}, rlim_t{256 * 1024}}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("results.xlsx"));
        const QByteArray oldContent("an older export");
        writeFile(path, oldContent);
        const WorkbookWriter book = largeSheet();
        QString error;
        {
            FileSizeLimit limit(bytes);
            error = raisedError([&] { book.saveAs(path); });
        }
        const QString start = QStringLiteral("Cannot save ") + path + QStringLiteral(": ");
        EXPECT_TRUE(error.startsWith(start)) << bytes << ": " << error.toStdString();
        EXPECT_GT(error.size(), start.size()) << bytes;
        EXPECT_EQ(fileContent(path), oldContent) << bytes;
        EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("results.xlsx")}) << bytes;
    }
}

// ---------------------------------------------------------------------------
// Saves run in a child process where the process itself must change (its
// mounts, its user): what the child reports comes back through a pipe.

struct ChildReport {
    enum Outcome { Saved, Failed, Skipped, Crashed, Killed } outcome = Crashed;
    QString text;  // the error's description, or why the child skipped
};

class SkipInChild {
public:
    explicit SkipInChild(QString reason)
        : why(std::move(reason))
    {
    }
    QString why;
};

ChildReport inChild(const std::function<void()>& body)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {ChildReport::Crashed, QStringLiteral("no pipe")};
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        int code = ChildReport::Saved;
        QByteArray text;
        try {
            body();
        } catch (const tarvic::RuntimeError& e) {
            code = ChildReport::Failed;
            text = e.description().toUtf8();
        } catch (const SkipInChild& skip) {
            code = ChildReport::Skipped;
            text = skip.why.toUtf8();
        } catch (...) {
            code = ChildReport::Crashed;
        }
        for (qsizetype done = 0; done < text.size();) {
            const ssize_t put = ::write(pipeEnds[1], text.constData() + done,
                                        static_cast<size_t>(text.size() - done));
            if (put <= 0)
                break;
            done += put;
        }
        ::_exit(code);
    }
    ::close(pipeEnds[1]);
    ChildReport report;
    if (child < 0) {
        ::close(pipeEnds[0]);
        report.text = QStringLiteral("no child process");
        return report;
    }
    QByteArray text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<qsizetype>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    report.text = QString::fromUtf8(text);
    if (WIFEXITED(status) && WEXITSTATUS(status) <= ChildReport::Crashed)
        report.outcome = static_cast<ChildReport::Outcome>(WEXITSTATUS(status));
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        report.outcome = ChildReport::Killed;
    return report;
}

// A temp folder that is full: a small file system of its own, filled to
// the last byte, made the process's TMPDIR. The workbook's parts are
// staged beside the target, so the save is whole.
TEST(WorkbookWriterTest, AFullTempFolderDoesNotSpoilTheWorkbook)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString full = dir.filePath(QStringLiteral("full-temp"));
    ASSERT_TRUE(QDir().mkpath(full));
    const QString path = dir.filePath(QStringLiteral("results.xlsx"));
    writeFile(path, "an older export");
    const WorkbookWriter book = exportLikeSheet();
    const ChildReport report = inChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            throw SkipInChild(QStringLiteral("no mount namespace: ") +
                              QString::fromLocal8Bit(std::strerror(errno)));
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        const QByteArray folder = QFile::encodeName(full);
        if (::mount("tarvic-full-temp", folder.constData(), "tmpfs", 0, "size=64k") != 0)
            throw SkipInChild(QStringLiteral("no tmpfs: ") +
                              QString::fromLocal8Bit(std::strerror(errno)));
        const int filler = ::open((folder + "/filler").constData(), O_WRONLY | O_CREAT, 0600);
        const QByteArray block(4096, 'x');
        while (filler >= 0 && ::write(filler, block.constData(), block.size()) > 0) {
        }
        ::close(filler);
        ::setenv("TMPDIR", folder.constData(), 1);
        book.saveAs(path);
    });
    if (report.outcome == ChildReport::Skipped)
        GTEST_SKIP() << report.text.toStdString();
    ASSERT_EQ(report.outcome, ChildReport::Saved) << report.text.toStdString();
    expectWholeExportLikeSheet(path);
    EXPECT_EQ(folderEntries(dir.path()),
              (QStringList{QStringLiteral("full-temp"), QStringLiteral("results.xlsx")}));
}

QString linkTarget(const QString& link)
{
    char target[4096];
    const ssize_t length = ::readlink(QFile::encodeName(link).constData(), target, sizeof target);
    return length < 0 ? QString() : QFile::decodeName(QByteArray(target, int(length)));
}

void makeLink(const QString& link, const QString& target)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                        QFile::encodeName(link).constData()),
              0)
        << link.toStdString();
}

// A name that is a link saves to the file at the end of its chain, relative
// links read from their own folders; every link stays as it was. A chain
// that loops is refused and changes nothing.
TEST(WorkbookWriterTest, LinksAreFollowedToTheirFileAndALoopIsRefused)
{
    struct Link {
        const char* name;
        const char* target;
    };
    struct Case {
        const char* name;
        std::vector<Link> links;  // made in this order, in the test's folder
        const char* saved;        // the name saved to
        const char* written;      // the file that gets the workbook; null: refused
    };
    const Case cases[] = {
        {"a chain of two links to a file in another folder",
         {{"first.xlsx", "sub/middle.xlsx"}, {"sub/middle.xlsx", "real.xlsx"}},
         "first.xlsx",
         "sub/real.xlsx"},
        {"a chain that ends at a name not yet taken",
         {{"first.xlsx", "sub/middle.xlsx"}, {"sub/middle.xlsx", "../new.xlsx"}},
         "first.xlsx",
         "new.xlsx"},
        {"a link through a linked folder",
         {{"linked", "sub"}, {"first.xlsx", "linked/real.xlsx"}},
         "first.xlsx",
         "sub/real.xlsx"},
        {"two links to each other", {{"a.xlsx", "b.xlsx"}, {"b.xlsx", "a.xlsx"}}, "a.xlsx", nullptr},
        {"a link to itself", {{"self.xlsx", "self.xlsx"}}, "self.xlsx", nullptr},
        {"a folder that loops", {{"round", "round"}}, "round/results.xlsx", nullptr},
    };
    const QByteArray oldContent("an older export");
    for (const Case& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("sub"))));
        writeFile(dir.filePath(QStringLiteral("sub/real.xlsx")), oldContent);
        for (const Link& link : c.links)
            makeLink(dir.filePath(QLatin1String(link.name)), QLatin1String(link.target));
        const QString saved = dir.filePath(QLatin1String(c.saved));

        const QString error = raisedError([&] { exportLikeSheet().saveAs(saved); });
        for (const Link& link : c.links)
            EXPECT_EQ(linkTarget(dir.filePath(QLatin1String(link.name))),
                      QLatin1String(link.target))
                << c.name << ": " << link.name;
        if (c.written) {
            EXPECT_TRUE(error.isEmpty()) << c.name << ": " << error.toStdString();
            const ReadBackWorkbook book = readWorkbook(dir.filePath(QLatin1String(c.written)));
            EXPECT_TRUE(book.failure.isEmpty()) << c.name << ": " << book.failure.toStdString();
            EXPECT_EQ(book.cell(QStringLiteral("I2")).value.toString(), QStringLiteral("Vanilla"))
                << c.name;
        } else {
            EXPECT_TRUE(error.contains(QStringLiteral("loop"))) << c.name << ": "
                                                                << error.toStdString();
            EXPECT_TRUE(error.contains(saved)) << c.name << ": " << error.toStdString();
            EXPECT_EQ(fileContent(dir.filePath(QStringLiteral("sub/real.xlsx"))), oldContent)
                << c.name;
        }
        // Nothing but the links, the folder and the file written.
        QStringList top{QStringLiteral("sub")};
        QStringList sub{QStringLiteral("real.xlsx")};
        QStringList names;
        for (const Link& link : c.links)
            names.append(QLatin1String(link.name));
        if (c.written)
            names.append(QLatin1String(c.written));
        for (const QString& name : names)
            if (name.startsWith(QStringLiteral("sub/")))
                sub.append(name.mid(4));
            else
                top.append(name);
        for (QStringList* list : {&top, &sub}) {
            list->removeDuplicates();
            list->sort();
        }
        EXPECT_EQ(folderEntries(dir.path()), top) << c.name;
        EXPECT_EQ(folderEntries(dir.filePath(QStringLiteral("sub"))), sub) << c.name;
    }
}

mode_t modeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A read-only file (by its mode, which binds the superuser too) is
// replaced only when the caller says so, and stays read-only.
TEST(WorkbookWriterTest, AReadOnlyFileIsReplacedOnlyWhenAsked)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("results.xlsx"));
    const QByteArray oldContent("an older export");
    writeFile(path, oldContent);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    const QString link = dir.filePath(QStringLiteral("link.xlsx"));
    makeLink(link, QStringLiteral("results.xlsx"));
    EXPECT_TRUE(WorkbookWriter::isReadOnlyFile(path));
    EXPECT_TRUE(WorkbookWriter::isReadOnlyFile(link));
    EXPECT_FALSE(WorkbookWriter::isReadOnlyFile(dir.filePath(QStringLiteral("absent.xlsx"))));

    for (const QString& name : {path, link}) {
        const QString error = raisedError([&] { exportLikeSheet().saveAs(name); });
        EXPECT_EQ(error, QStringLiteral("Cannot save ") + name +
                             QStringLiteral(": the file is read-only."));
        EXPECT_EQ(fileContent(path), oldContent);
    }
    exportLikeSheet().saveAs(link, WorkbookWriter::ReadOnlyFile::Replace);
    EXPECT_EQ(readWorkbook(path).cell(QStringLiteral("I2")).value.toString(),
              QStringLiteral("Vanilla"));
    EXPECT_EQ(modeOf(path), 0444u);
    EXPECT_EQ(linkTarget(link), QStringLiteral("results.xlsx"));
    EXPECT_EQ(folderEntries(dir.path()),
              (QStringList{QStringLiteral("link.xlsx"), QStringLiteral("results.xlsx")}));
}

// In a folder where no file can be made, a file that may be written is
// written in place, and only from a workbook complete elsewhere: a save
// that cannot complete it leaves the old contents. The superuser may make
// files in any folder, so the child gives up its rights first.
TEST(WorkbookWriterTest, AWritableFileInAReadOnlyFolderIsWrittenInPlace)
{
    for (const rlim_t limit : {RLIM_INFINITY, rlim_t{1024}}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString locked = dir.filePath(QStringLiteral("locked"));
        const QString temp = dir.filePath(QStringLiteral("temp"));
        ASSERT_TRUE(QDir().mkpath(locked));
        ASSERT_TRUE(QDir().mkpath(temp));
        const QString path = locked + QStringLiteral("/results.xlsx");
        const QByteArray oldContent("an older export");
        writeFile(path, oldContent);
        const uid_t nobody = 65534;
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), nobody, nobody), 0);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(temp).constData(), 01777), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
        struct stat before;
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);

        const WorkbookWriter book = exportLikeSheet();
        const ChildReport report = inChild([&] {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
                throw SkipInChild(QStringLiteral("cannot give up the superuser's rights"));
            if (::access(QFile::encodeName(locked).constData(), W_OK) == 0)
                throw SkipInChild(QStringLiteral("the read-only folder is writable here"));
            ::setenv("TMPDIR", QFile::encodeName(temp).constData(), 1);
            if (limit != RLIM_INFINITY) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit size{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &size);
            }
            book.saveAs(path);
        });
        ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0755), 0);
        if (report.outcome == ChildReport::Skipped)
            GTEST_SKIP() << report.text.toStdString();
        if (limit == RLIM_INFINITY) {
            ASSERT_EQ(report.outcome, ChildReport::Saved) << report.text.toStdString();
            expectWholeExportLikeSheet(path);
        } else {
            ASSERT_EQ(report.outcome, ChildReport::Failed) << report.text.toStdString();
            EXPECT_TRUE(report.text.startsWith(QStringLiteral("Cannot save ") + path))
                << report.text.toStdString();
            EXPECT_EQ(fileContent(path), oldContent);
        }
        // The same file, its mode as it was; nothing left in either folder.
        struct stat after;
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << limit;
        EXPECT_EQ(after.st_mode & 07777, 0666u) << limit;
        EXPECT_EQ(folderEntries(locked), QStringList{QStringLiteral("results.xlsx")}) << limit;
        EXPECT_TRUE(folderEntries(temp).isEmpty()) << limit;
    }
}

// Names up to the longest a folder takes (255 bytes) save: the temporary
// file beside the target keeps within that length too.
TEST(WorkbookWriterTest, TheLongestNamesSave)
{
    const QString ending = QStringLiteral(".xlsx");
    const QString names[] = {
        QString(248 - ending.size(), QLatin1Char('r')) + ending,
        QString(255 - ending.size(), QLatin1Char('r')) + ending,
        // Two bytes a character in the file system's encoding.
        QString(125, QChar(0x00E9)) + ending,
    };
    for (const QString& name : names) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ASSERT_LE(QFile::encodeName(name).size(), 255);
        const QString path = dir.filePath(name);
        const QString error = raisedError([&] { exportLikeSheet().saveAs(path); });
        EXPECT_TRUE(error.isEmpty()) << name.size() << ": " << error.toStdString();
        const ReadBackWorkbook book = readWorkbook(path);
        EXPECT_TRUE(book.failure.isEmpty()) << name.size() << ": " << book.failure.toStdString();
        EXPECT_EQ(book.cell(QStringLiteral("I2")).value.toString(), QStringLiteral("Vanilla"));
        EXPECT_EQ(folderEntries(dir.path()), QStringList{name});
    }
}

// ---------------------------------------------------------------------------
// What a save keeps of the file it replaces: every name, owner and group,
// mode; and the process's umask.

struct stat statOf(const QString& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

// A file with a second name in another folder: a save through either name
// writes the one file, so both names read the new workbook, and a save that
// fails leaves the old contents under both.
TEST(WorkbookWriterTest, AFileWithOtherNamesIsWrittenInPlaceForEveryName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("shared"))));
    const QString path = dir.filePath(QStringLiteral("results.xlsx"));
    const QString other = dir.filePath(QStringLiteral("shared/latest.xlsx"));
    const QByteArray oldContent("an older export");
    for (const QString& saved : {path, other}) {
        QFile::remove(other);
        writeFile(path, oldContent);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
        ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
        const ino_t inode = statOf(path).st_ino;

        {
            FileSizeLimit limit(4096);
            EXPECT_FALSE(raisedError([&] { largeSheet().saveAs(saved); }).isEmpty());
        }
        EXPECT_EQ(fileContent(path), oldContent);
        EXPECT_EQ(fileContent(other), oldContent);

        exportLikeSheet().saveAs(saved);
        for (const QString& name : {path, other}) {
            SCOPED_TRACE(name.toStdString());
            expectWholeExportLikeSheet(name);
            const struct stat info = statOf(name);
            EXPECT_EQ(info.st_ino, inode);
            EXPECT_EQ(info.st_nlink, 2u);
            EXPECT_EQ(info.st_mode & 07777, 0640u);
        }
        EXPECT_EQ(folderEntries(dir.path()),
                  (QStringList{QStringLiteral("results.xlsx"), QStringLiteral("shared")}));
        EXPECT_EQ(folderEntries(dir.filePath(QStringLiteral("shared"))),
                  QStringList{QStringLiteral("latest.xlsx")});
    }
}

// A group-shared workbook, or one of another owner, saved by someone the
// new file would belong to otherwise: written in place, it keeps its owner,
// group and mode. Giving files away and changing group takes the
// superuser's rights.
TEST(WorkbookWriterTest, AFileOfAnotherOwnerOrGroupKeepsThem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another owner or group takes the superuser";
    constexpr uid_t kOther = 4242;
    const struct {
        const char* name;
        uid_t fileOwner;
        gid_t fileGroup;
        gid_t saverGroup;  // the group the saving child changes to
    } cases[] = {
        {"a file of another group", static_cast<uid_t>(-1), kOther, 0},
        {"a file of another owner", kOther, static_cast<gid_t>(-1), 0},
        {"a saver who changed group", static_cast<uid_t>(-1), static_cast<gid_t>(-1), kOther},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("results.xlsx"));
        writeFile(path, "an older export");
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), c.fileOwner, c.fileGroup), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0664), 0);
        const struct stat before = statOf(path);

        const WorkbookWriter book = exportLikeSheet();
        const ChildReport report = inChild([&] {
            if (c.saverGroup != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(c.saverGroup) != 0))
                throw SkipInChild(QStringLiteral("cannot change group"));
            book.saveAs(path);
        });
        if (report.outcome == ChildReport::Skipped)
            GTEST_SKIP() << report.text.toStdString();
        ASSERT_EQ(report.outcome, ChildReport::Saved) << report.text.toStdString();
        expectWholeExportLikeSheet(path);
        const struct stat after = statOf(path);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode & 07777, 0664u);
        EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("results.xlsx")});
    }
}

// ---------------------------------------------------------------------------
// Faults in a save in place: whatever fails, and wherever the process is
// killed, every name of the file holds the old or the new workbook whole,
// or the old one is in its backup beside it; a failure's message says
// which file holds which.

using Stage = tarvic::InPlaceSaveSeam::Stage;

struct Fault {
    enum Kind {
        NoSpace,       // the write stops at `at` for a full disk
        IoError,       // the write stops at `at` for an error of the device
        Kill,          // the process is killed when the write reaches `at`
        ReadsOtherwise,  // the read back finds the byte at `at` changed
        KillReading,   // the process is killed at the first read
    };
    Stage stage;
    Kind kind;
    enum Where { HalfOld, HalfNew } where;  // `at`: half the old or the new workbook
    off_t at = 0;
};

// Injects faults into the save's reads and writes while it is installed.
class FaultyDisk : public tarvic::InPlaceSaveSeam {
public:
    explicit FaultyDisk(std::vector<Fault> faults)
        : m_faults(std::move(faults))
    {
        m_previous = tarvic::setInPlaceSaveSeam(this);
    }
    ~FaultyDisk() override { tarvic::setInPlaceSaveSeam(m_previous); }
    FaultyDisk(const FaultyDisk&) = delete;
    FaultyDisk& operator=(const FaultyDisk&) = delete;

    ssize_t write(Stage stage, int fd, const char* data, size_t size, off_t offset) override
    {
        for (const Fault& f : m_faults) {
            if (f.stage != stage || f.kind == Fault::ReadsOtherwise || f.kind == Fault::KillReading ||
                offset + static_cast<off_t>(size) <= f.at)
                continue;
            if (offset < f.at)  // up to the fault, which the next write meets
                return InPlaceSaveSeam::write(stage, fd, data, static_cast<size_t>(f.at - offset),
                                              offset);
            if (f.kind == Fault::Kill)
                ::raise(SIGKILL);
            errno = f.kind == Fault::NoSpace ? ENOSPC : EIO;
            return -1;
        }
        return InPlaceSaveSeam::write(stage, fd, data, size, offset);
    }

    ssize_t read(Stage stage, int fd, char* data, size_t size, off_t offset) override
    {
        const ssize_t got = InPlaceSaveSeam::read(stage, fd, data, size, offset);
        for (const Fault& f : m_faults) {
            if (f.stage != stage)
                continue;
            if (f.kind == Fault::KillReading)
                ::raise(SIGKILL);
            if (f.kind == Fault::ReadsOtherwise && got > 0 && offset <= f.at && f.at < offset + got)
                data[f.at - offset] ^= 0x20;
        }
        return got;
    }

private:
    std::vector<Fault> m_faults;
    InPlaceSaveSeam* m_previous = nullptr;
};

// A workbook that says which it is in its first cell, with rows enough
// that it is written in many pieces.
WorkbookWriter markedSheet(const QString& mark, int rows)
{
    WorkbookWriter book;
    book.setText(QStringLiteral("A1"), mark);
    book.setNumberBlock(QStringLiteral("A2"), rows, 6,
                        [](int r, int c) { return std::sqrt(r + 0.1 * c); });
    return book;
}

const QString kOldMark = QStringLiteral("OLD WORKBOOK");
const QString kNewMark = QStringLiteral("NEW WORKBOOK");

// What each file holds, by Python's zip reader: "new" for a whole zip
// (every part's checksum checked) that is the new workbook, "damaged" for
// anything else.
QStringList readBackKinds(const QStringList& files)
{
    static const char kScript[] = R"(
import sys, zipfile
for path in sys.argv[1:]:
    kind = "damaged"
    try:
        with zipfile.ZipFile(path) as book:
            if book.testzip() is None and "xl/worksheets/sheet1.xml" in book.namelist():
                if b"NEW WORKBOOK" in book.read("xl/sharedStrings.xml"):
                    kind = "new"
    except Exception:
        pass
    print(kind)
)";
    if (files.isEmpty())
        return {};
    QProcess python;
    python.start(QStringLiteral(TARVIC_PYTHON3), QStringList{QStringLiteral("-c"),
                                                             QString::fromLatin1(kScript)} + files);
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    return QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'),
                                                                  Qt::SkipEmptyParts);
}

// Every file under folder, by its name from folder, with what it holds:
// "old" for the old workbook's bytes exactly, "stale" for staleBytes, else
// as readBackKinds finds. A hidden file's random ending reads "XXXXXX".
// Sorted by those names; the sizes go to what is printed only.
QStringList diskListing(const QString& folder, const QByteArray& oldBytes,
                        const QByteArray& staleBytes, QString& printed)
{
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(QDir(folder).relativeFilePath(it.next()));
    names.sort();
    QStringList kinds;
    QStringList unknown;
    for (const QString& name : names) {
        const QByteArray bytes = fileContent(QDir(folder).filePath(name));
        kinds.append(bytes == oldBytes ? QStringLiteral("old")
                     : bytes == staleBytes ? QStringLiteral("stale")
                                           : QString());
        if (kinds.back().isEmpty())
            unknown.append(QDir(folder).filePath(name));
    }
    const QStringList found = readBackKinds(unknown);
    QStringList listing;
    for (qsizetype i = 0, next = 0; i < names.size(); ++i) {
        QString kind = kinds[i];
        if (kind.isEmpty())
            kind = next < found.size() ? found[next++] : QStringLiteral("unread");
        QString name = names[i];
        const QString leaf = QFileInfo(name).fileName();
        if (leaf.startsWith(QLatin1Char('.')) && leaf.size() > 7 && leaf[leaf.size() - 7] == '.')
            name = name.left(name.size() - 6) + QStringLiteral("XXXXXX");
        listing.append(name + QLatin1Char(' ') + kind);
        printed += QStringLiteral("  %1 %2 bytes %3\n")
                       .arg(name, -34)
                       .arg(QFileInfo(QDir(folder).filePath(names[i])).size(), 8)
                       .arg(kind);
    }
    listing.sort();  // by the names as listed
    return listing;
}

// The size of book saved, from a save of it elsewhere.
off_t savedSize(const WorkbookWriter& book)
{
    QTemporaryDir scratch;
    EXPECT_TRUE(scratch.isValid());
    book.saveAs(scratch.filePath(QStringLiteral("saved.xlsx")));
    return QFileInfo(scratch.filePath(QStringLiteral("saved.xlsx"))).size();
}

// The saves of a workbook with a second name in another folder, each with
// faults put into its writes and reads: what the save reports, and what is
// on disk after it, each file read back. %D in a message stands for the
// test's folder.
TEST(WorkbookWriterTest, AFaultInASaveInPlaceNeverLosesAWorkbook)
{
    const QString damagedBoth =
        QStringLiteral("Cannot save %D/results.xlsx: No space left on device. Putting the old "
                       "workbook back failed too (Input/output error), so %D/results.xlsx and the "
                       "file's other names hold neither workbook whole. The old workbook is in ");
    const struct Case {
        const char* name;
        std::vector<Fault> faults;
        bool staleBackup;  // a backup left by an earlier save is there
        ChildReport::Outcome outcome;
        QString message;  // for a failure
        QStringList listing;
    } cases[] = {
        {"no fault, beside a stale backup",
         {},
         true,
         ChildReport::Saved,
         {},
         {"results.xlsx new", "results.xlsx.backup stale", "shared/latest.xlsx new"}},
        {"a full disk halfway through the write",
         {{Stage::Write, Fault::NoSpace, Fault::HalfNew}},
         false,
         ChildReport::Failed,
         "Cannot save %D/results.xlsx: No space left on device. %D/results.xlsx holds the old "
         "workbook still.",
         {"results.xlsx old", "shared/latest.xlsx old"}},
        {"a read back that differs",
         {{Stage::Write, Fault::ReadsOtherwise, Fault::HalfNew}},
         false,
         ChildReport::Failed,
         "Cannot save %D/results.xlsx: what was read back from it differs from what was written. "
         "%D/results.xlsx holds the old workbook still.",
         {"results.xlsx old", "shared/latest.xlsx old"}},
        {"a full disk halfway through the backup",
         {{Stage::Backup, Fault::NoSpace, Fault::HalfOld}},
         false,
         ChildReport::Failed,
         "Cannot save %D/results.xlsx: the old workbook could not be copied to a backup (No space "
         "left on device, in %D), so %D/results.xlsx was not written over and holds it still.",
         {"results.xlsx old", "shared/latest.xlsx old"}},
        {"a full disk halfway, then the restore fails",
         {{Stage::Write, Fault::NoSpace, Fault::HalfNew}, {Stage::Restore, Fault::IoError, Fault::HalfOld}},
         false,
         ChildReport::Failed,
         damagedBoth + "%D/results.xlsx.backup and the new one in %D/results.xlsx.new: copy the one "
                       "you want over %D/results.xlsx.",
         {"results.xlsx damaged", "results.xlsx.backup old", "results.xlsx.new new",
          "shared/latest.xlsx damaged"}},
        {"the same beside a stale backup",
         {{Stage::Write, Fault::NoSpace, Fault::HalfNew}, {Stage::Restore, Fault::IoError, Fault::HalfOld}},
         true,
         ChildReport::Failed,
         damagedBoth + "%D/results.xlsx.backup-2 and the new one in %D/results.xlsx.new: copy the "
                       "one you want over %D/results.xlsx.",
         {"results.xlsx damaged", "results.xlsx.backup stale", "results.xlsx.backup-2 old",
          "results.xlsx.new new", "shared/latest.xlsx damaged"}},
        {"a kill halfway through the backup",
         {{Stage::Backup, Fault::Kill, Fault::HalfOld}},
         false,
         ChildReport::Killed,
         {},
         {".results.xlsx.XXXXXX new", ".results.xlsx.backup.XXXXXX damaged", "results.xlsx old",
          "shared/latest.xlsx old"}},
        {"a kill halfway through the write",
         {{Stage::Write, Fault::Kill, Fault::HalfNew}},
         false,
         ChildReport::Killed,
         {},
         {".results.xlsx.XXXXXX new", "results.xlsx damaged", "results.xlsx.backup old",
          "shared/latest.xlsx damaged"}},
        {"a kill while the new workbook is read back",
         {{Stage::Write, Fault::KillReading, Fault::HalfNew}},
         false,
         ChildReport::Killed,
         {},
         {".results.xlsx.XXXXXX new", "results.xlsx new", "results.xlsx.backup old",
          "shared/latest.xlsx new"}},
        {"a kill halfway through the restore",
         {{Stage::Write, Fault::NoSpace, Fault::HalfNew}, {Stage::Restore, Fault::Kill, Fault::HalfOld}},
         false,
         ChildReport::Killed,
         {},
         {".results.xlsx.XXXXXX new", "results.xlsx damaged", "results.xlsx.backup old",
          "shared/latest.xlsx damaged"}},
    };

    const WorkbookWriter newBook = markedSheet(kNewMark, 2000);
    const off_t newSize = savedSize(newBook);
    const QByteArray staleBytes("a backup an earlier save left");

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("shared"))));
        const QString path = dir.filePath(QStringLiteral("results.xlsx"));
        const QString other = dir.filePath(QStringLiteral("shared/latest.xlsx"));
        markedSheet(kOldMark, 500).saveAs(path);
        ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
        const QByteArray oldBytes = fileContent(path);
        if (c.staleBackup)
            writeFile(path + QStringLiteral(".backup"), staleBytes);
        const struct stat before = statOf(path);

        std::vector<Fault> faults = c.faults;
        for (Fault& f : faults)
            f.at = (f.where == Fault::HalfOld ? oldBytes.size() : newSize) / 2;
        const ChildReport report = inChild([&] {
            const FaultyDisk disk(faults);
            newBook.saveAs(path);
        });

        QString printed;
        const QStringList listing = diskListing(dir.path(), oldBytes, staleBytes, printed);
        std::printf("%s:\n%s", c.name, printed.toLocal8Bit().constData());
        EXPECT_EQ(report.outcome, c.outcome) << report.text.toStdString();
        QString message = c.message;
        EXPECT_EQ(report.text, message.replace(QStringLiteral("%D"), dir.path()));
        EXPECT_EQ(listing, c.listing);
        // The one file still, under both names, its mode kept.
        const struct stat after = statOf(path);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_nlink, 2u);
        EXPECT_EQ(after.st_mode & 07777, 0640u);
    }
}

// In a folder that takes no new file the backup goes to the temp folder,
// beside the staged workbook, and the message names both there. The
// superuser may make files in any folder, so the child gives up its rights.
TEST(WorkbookWriterTest, AFaultInASaveInAReadOnlyFolderKeepsTheBackupInTheTempFolder)
{
    const struct Case {
        const char* name;
        std::vector<Fault> faults;
        ChildReport::Outcome outcome;
        QString message;  // %L: the read-only folder, %T: the temp folder
        QStringList listing;
    } cases[] = {
        {"a full disk halfway, then the restore fails",
         {{Stage::Write, Fault::NoSpace, Fault::HalfNew}, {Stage::Restore, Fault::IoError, Fault::HalfOld}},
         ChildReport::Failed,
         "Cannot save %L/results.xlsx: No space left on device. Putting the old workbook back "
         "failed too (Input/output error), so %L/results.xlsx holds neither workbook whole. The old "
         "workbook is in %T/results.xlsx.backup and the new one in %T/results.xlsx.new: copy the "
         "one you want over %L/results.xlsx.",
         {"locked/results.xlsx damaged", "temp/results.xlsx.backup old", "temp/results.xlsx.new new"}},
        {"a kill halfway through the write",
         {{Stage::Write, Fault::Kill, Fault::HalfNew}},
         ChildReport::Killed,
         {},
         {"locked/results.xlsx damaged", "temp/.results.xlsx.XXXXXX new",
          "temp/results.xlsx.backup old"}},
    };
    const WorkbookWriter newBook = markedSheet(kNewMark, 2000);
    const off_t newSize = savedSize(newBook);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString locked = dir.filePath(QStringLiteral("locked"));
        const QString temp = dir.filePath(QStringLiteral("temp"));
        ASSERT_TRUE(QDir().mkpath(locked));
        ASSERT_TRUE(QDir().mkpath(temp));
        const QString path = locked + QStringLiteral("/results.xlsx");
        markedSheet(kOldMark, 500).saveAs(path);
        const QByteArray oldBytes = fileContent(path);
        const uid_t nobody = 65534;
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), nobody, nobody), 0);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(temp).constData(), 01777), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);

        std::vector<Fault> faults = c.faults;
        for (Fault& f : faults)
            f.at = (f.where == Fault::HalfOld ? oldBytes.size() : newSize) / 2;
        const ChildReport report = inChild([&] {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
                throw SkipInChild(QStringLiteral("cannot give up the superuser's rights"));
            if (::access(QFile::encodeName(locked).constData(), W_OK) == 0)
                throw SkipInChild(QStringLiteral("the read-only folder is writable here"));
            ::setenv("TMPDIR", QFile::encodeName(temp).constData(), 1);
            const FaultyDisk disk(faults);
            newBook.saveAs(path);
        });
        ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0755), 0);
        if (report.outcome == ChildReport::Skipped)
            GTEST_SKIP() << report.text.toStdString();

        QString printed;
        const QStringList listing = diskListing(dir.path(), oldBytes, QByteArray(), printed);
        std::printf("%s, in a read-only folder:\n%s", c.name, printed.toLocal8Bit().constData());
        EXPECT_EQ(report.outcome, c.outcome) << report.text.toStdString();
        QString message = c.message;
        EXPECT_EQ(report.text,
                  message.replace(QStringLiteral("%L"), locked).replace(QStringLiteral("%T"), temp));
        EXPECT_EQ(listing, c.listing);
    }
}

// Counts changes of the umask while a test watches (from 0; -1 when none
// watches), through umask below.
std::atomic<int>& umaskChanges()
{
    static std::atomic<int> changes{-1};
    return changes;
}

// Under any umask a new workbook gets 0666 less the umask and a replaced
// one keeps its mode; no save changes the umask, not even for a moment
// (it holds for the whole process: a file that another thread made
// meanwhile would get the wrong mode).
TEST(WorkbookWriterTest, ANewFileTakesTheUmaskWhichNoSaveChanges)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const mode_t kept = ::umask(022);
    for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{077}, mode_t{002}, mode_t{0}}) {
        SCOPED_TRACE("umask " + QString::number(mask, 8).toStdString());
        ::umask(mask);
        const QString fresh = dir.filePath(QStringLiteral("fresh-%1.xlsx").arg(mask, 0, 8));
        const QString replaced = dir.filePath(QStringLiteral("replaced-%1.xlsx").arg(mask, 0, 8));
        writeFile(replaced, "an older export");
        ASSERT_EQ(::chmod(QFile::encodeName(replaced).constData(), 0606), 0);
        umaskChanges() = 0;
        exportLikeSheet().saveAs(fresh);
        exportLikeSheet().saveAs(replaced);
        EXPECT_EQ(umaskChanges().exchange(-1), 0);
        EXPECT_EQ(modeOf(fresh), 0666u & ~mask);
        EXPECT_EQ(modeOf(replaced), 0606u);
        expectWholeExportLikeSheet(fresh);
    }
    ::umask(kept);
}

}  // namespace

// This program's umask stands in for the C library's and does what it
// does, through the system call; it counts the changes a test watches for.
extern "C" mode_t umask(mode_t mask) noexcept
{
    const auto previous = static_cast<mode_t>(::syscall(SYS_umask, mask));
    if (previous != (mask & 0777) && umaskChanges().load() >= 0)
        ++umaskChanges();
    return previous;
}
