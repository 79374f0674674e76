// The workbook writer: what it writes reads back through openpyxl (texts,
// numbers, bold, colours, left-aligned columns, fitted widths); a failed
// save reports its reason, leaves no file and keeps a file it was to
// replace.
#include "support/qt_printers.h"
#include "support/workbook_reader.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "platform/workbook_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>

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
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
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

TEST(WorkbookWriterTest, AWriteErrorIsReportedAndTheOldFileStays)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("results.xlsx"));
    const QByteArray oldContent("an older export");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(oldContent);
    }
    WorkbookWriter book = exportLikeSheet();
    book.setNumberBlock(QStringLiteral("A2"), 20000, 6,
                        [](int r, int c) { return std::sqrt(r + 0.1 * c); });
    QString error;
    {
        FileSizeLimit limit(4096);
        error = raisedError([&] { book.saveAs(path); });
    }
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot save ") + path + QStringLiteral(": ")))
        << error.toStdString();
    EXPECT_GT(error.size(), (QStringLiteral("Cannot save ") + path + QStringLiteral(": ")).size());
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), oldContent);
    EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("results.xlsx")});
}

}  // namespace
