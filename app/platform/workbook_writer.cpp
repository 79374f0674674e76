#include "platform/workbook_writer.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace tarvic {
namespace {

// The sheet's limits (rows and columns of an .xlsx worksheet).
constexpr int kMaxRows = 1048576;
constexpr int kMaxCols = 16384;
constexpr double kMaxWidth = 255.0;
// A cell holds at most this many characters.
constexpr int kMaxTextLength = 32767;

[[noreturn]] void fail(const QString& description)
{
    RaiseError(kErrWorkbook, description);
}

[[noreturn]] void failSaving(const QString& path, const QString& reason)
{
    fail(QStringLiteral("Cannot save ") + path + QStringLiteral(": ") + reason);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString nonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
}

// Width of one character in widths of the standard font's digit.
double characterWidth(QChar c)
{
    static const QString narrow = QStringLiteral(" .,:;!'|ijlIftr()[]-/\"`");
    if (c.isDigit())
        return 1.0;
    if (narrow.contains(c))
        return 0.65;
    if (c == QLatin1Char('m') || c == QLatin1Char('w'))
        return 1.6;
    if (c == QLatin1Char('M') || c == QLatin1Char('W') || c == QLatin1Char('@') ||
        c == QLatin1Char('%'))
        return 1.85;
    if (c.isLower())
        return 1.05;
    if (c.isUpper())
        return 1.3;
    return c.unicode() < 128 ? 1.05 : 1.4;
}

// Keeps the umask's permissions on a new file (a temporary file is created
// for its owner only) and an old file's permissions on a replaced one.
void givePermissions(const QString& file, const QString& replaced)
{
    struct stat old;
    mode_t mode;
    if (::stat(QFile::encodeName(replaced).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(QFile::encodeName(file).constData(), mode);
}

// The workbook's formats, one per look used.
class Formats {
public:
    explicit Formats(lxw_workbook* book)
        : m_book(book)
    {
    }

    lxw_format* get(bool bold, bool coloured, QRgb colour, bool left)
    {
        if (!bold && !coloured && !left)
            return nullptr;
        const auto key = std::make_tuple(bold, coloured ? colour & 0xFFFFFFu : 0xFF000000u, left);
        const auto it = m_formats.find(key);
        if (it != m_formats.end())
            return it->second;
        lxw_format* format = workbook_add_format(m_book);
        if (!format)
            return nullptr;
        if (bold)
            format_set_bold(format);
        if (coloured)
            format_set_font_color(format, static_cast<lxw_color_t>(colour & 0xFFFFFFu));
        if (left)
            format_set_align(format, LXW_ALIGN_LEFT);
        m_formats.emplace(key, format);
        return format;
    }

private:
    lxw_workbook* m_book;
    std::map<std::tuple<bool, uint32_t, bool>, lxw_format*> m_formats;
};

}  // namespace

WorkbookWriter::Position WorkbookWriter::parseCell(const QString& cell)
{
    Position p;
    int i = 0;
    int col = 0;
    while (i < cell.size() && cell[i].isLetter() && cell[i].unicode() < 128 && i < 3) {
        col = col * 26 + (cell[i].toUpper().unicode() - 'A' + 1);
        ++i;
    }
    bool ok = i > 0 && i < cell.size() && cell[i] != QLatin1Char('0');
    qint64 row = 0;
    for (int j = i; ok && j < cell.size(); ++j) {
        ok = cell[j].unicode() >= '0' && cell[j].unicode() <= '9' && j - i < 8;
        row = row * 10 + (cell[j].unicode() - '0');
    }
    if (!ok || col > kMaxCols || row < 1 || row > kMaxRows)
        fail(QStringLiteral("\"") + cell + QStringLiteral("\" is not a cell of a worksheet."));
    p.row = static_cast<int>(row - 1);
    p.col = col - 1;
    return p;
}

void WorkbookWriter::parseRange(const QString& range, Position& first, Position& last)
{
    const QStringList corners = range.split(QLatin1Char(':'));
    if (corners.size() > 2)
        fail(QStringLiteral("\"") + range + QStringLiteral("\" is not a range of a worksheet."));
    first = parseCell(corners.front());
    last = parseCell(corners.back());
    if (last.row < first.row)
        std::swap(first.row, last.row);
    if (last.col < first.col)
        std::swap(first.col, last.col);
}

int WorkbookWriter::parseColumn(const QString& column)
{
    return parseCell(column + QStringLiteral("1")).col;
}

QString WorkbookWriter::shownText(const Cell& cell)
{
    switch (cell.kind) {
    case Cell::Text: return cell.text;
    case Cell::Number: return numberText(cell.number);
    case Cell::Empty: break;
    }
    return QString();
}

WorkbookWriter::Cell& WorkbookWriter::at(int row, int col)
{
    if (static_cast<size_t>(row) >= m_rows.size())
        m_rows.resize(static_cast<size_t>(row) + 1);
    std::vector<Cell>& cells = m_rows[static_cast<size_t>(row)];
    if (static_cast<size_t>(col) >= cells.size())
        cells.resize(static_cast<size_t>(col) + 1);
    return cells[static_cast<size_t>(col)];
}

const WorkbookWriter::Cell* WorkbookWriter::find(int row, int col) const
{
    if (static_cast<size_t>(row) >= m_rows.size())
        return nullptr;
    const std::vector<Cell>& cells = m_rows[static_cast<size_t>(row)];
    return static_cast<size_t>(col) < cells.size() ? &cells[static_cast<size_t>(col)] : nullptr;
}

QString WorkbookWriter::cellName(int row, int col)
{
    QString letters;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar('A' + (c - 1) % 26));
    return letters + QString::number(row + 1);
}

void WorkbookWriter::putText(int row, int col, const QString& text)
{
    if (text.size() > kMaxTextLength)
        fail(QStringLiteral("The text for cell ") + cellName(row, col) +
             QStringLiteral(" is longer than a cell can hold (32767 characters)."));
    Cell& c = at(row, col);
    c.kind = text.isEmpty() ? Cell::Empty : Cell::Text;
    c.text = text;
}

void WorkbookWriter::setText(const QString& cell, const QString& text)
{
    const Position p = parseCell(cell);
    putText(p.row, p.col, text);
}

void WorkbookWriter::putNumber(int row, int col, double value)
{
    Cell& c = at(row, col);
    if (std::isfinite(value)) {
        c.kind = Cell::Number;
        c.number = value;
        c.text.clear();
    } else {
        c.kind = Cell::Text;
        c.text = nonFiniteText(value);
    }
}

void WorkbookWriter::setNumber(const QString& cell, double value)
{
    const Position p = parseCell(cell);
    putNumber(p.row, p.col, value);
}

void WorkbookWriter::setTexts(const QString& firstCell, const QStringList& texts)
{
    const Position p = parseCell(firstCell);
    if (texts.size() > kMaxRows - p.row)
        fail(QStringLiteral("The texts from cell ") + firstCell +
             QStringLiteral(" run past the worksheet's last row."));
    for (int i = 0; i < texts.size(); ++i)
        putText(p.row + i, p.col, texts[i]);
}

void WorkbookWriter::setNumberBlock(const QString& topLeft, int rows, int cols,
                                    const std::function<double(int row, int col)>& value)
{
    const Position p = parseCell(topLeft);
    if (rows < 0 || cols < 0 || rows > kMaxRows - p.row || cols > kMaxCols - p.col)
        fail(QStringLiteral("A table of %1 rows and %2 columns does not fit the worksheet from "
                            "cell ")
                 .arg(rows)
                 .arg(cols) +
             topLeft + QStringLiteral("."));
    if (rows > 0 && static_cast<size_t>(p.row + rows) > m_rows.size())
        m_rows.resize(static_cast<size_t>(p.row + rows));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            putNumber(p.row + r, p.col + c, value(r, c));
}

QString WorkbookWriter::text(const QString& cell) const
{
    const Position p = parseCell(cell);
    const Cell* c = find(p.row, p.col);
    return c ? shownText(*c) : QString();
}

void WorkbookWriter::setBold(const QString& range)
{
    Position first, last;
    parseRange(range, first, last);
    for (int r = first.row; r <= last.row; ++r)
        for (int c = first.col; c <= last.col; ++c)
            at(r, c).bold = true;
}

void WorkbookWriter::setFontColor(const QString& range, const QColor& color)
{
    Position first, last;
    parseRange(range, first, last);
    for (int r = first.row; r <= last.row; ++r)
        for (int c = first.col; c <= last.col; ++c) {
            Cell& cell = at(r, c);
            cell.coloured = true;
            cell.colour = color.rgb();
        }
}

void WorkbookWriter::setColumnLeftAligned(const QString& column)
{
    const int col = parseColumn(column);
    if (static_cast<size_t>(col) >= m_leftAligned.size())
        m_leftAligned.resize(static_cast<size_t>(col) + 1, false);
    m_leftAligned[static_cast<size_t>(col)] = true;
}

bool WorkbookWriter::leftAligned(int col) const
{
    return static_cast<size_t>(col) < m_leftAligned.size() && m_leftAligned[static_cast<size_t>(col)];
}

double WorkbookWriter::fittingWidth(const QString& text, bool bold)
{
    double width = 0.0;
    for (const QChar c : text)
        width += characterWidth(c);
    if (bold)
        width *= 1.08;
    // A little room either side, as the sheet's own fitting leaves.
    return std::min(kMaxWidth, std::ceil((width + 0.75) * 4.0) / 4.0);
}

std::vector<double> WorkbookWriter::columnWidths() const
{
    std::vector<double> widths(m_leftAligned.size(), 0.0);
    for (const std::vector<Cell>& cells : m_rows) {
        if (cells.size() > widths.size())
            widths.resize(cells.size(), 0.0);
        for (size_t c = 0; c < cells.size(); ++c)
            if (cells[c].kind != Cell::Empty)
                widths[c] = std::max(widths[c], fittingWidth(shownText(cells[c]), cells[c].bold));
    }
    return widths;
}

void WorkbookWriter::writeWorkbook(const QString& file, const QString& target) const
{
    const QByteArray fileName = QFile::encodeName(file);
    lxw_workbook* book = workbook_new(fileName.constData());
    if (!book)
        failSaving(target, QStringLiteral("there is not enough memory to build the workbook."));
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    if (!sheet) {
        workbook_close(book);
        failSaving(target, QStringLiteral("there is not enough memory to build the workbook."));
    }
    Formats formats(book);
    lxw_error error = LXW_NO_ERROR;
    const auto check = [&](lxw_error result) {
        if (result != LXW_NO_ERROR && error == LXW_NO_ERROR)
            error = result;
    };

    const std::vector<double> widths = columnWidths();
    for (size_t c = 0; c < widths.size(); ++c) {
        const bool left = leftAligned(static_cast<int>(c));
        if (widths[c] > 0.0 || left)
            check(worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                       widths[c] > 0.0 ? widths[c] : LXW_DEF_COL_WIDTH,
                                       formats.get(false, false, 0, left)));
    }
    QByteArray utf8;
    for (size_t r = 0; r < m_rows.size() && error == LXW_NO_ERROR; ++r) {
        const std::vector<Cell>& cells = m_rows[r];
        for (size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            lxw_format* format =
                formats.get(cell.bold, cell.coloured, cell.colour, leftAligned(static_cast<int>(c)));
            const auto row = static_cast<lxw_row_t>(r);
            const auto col = static_cast<lxw_col_t>(c);
            switch (cell.kind) {
            case Cell::Text:
                utf8 = cell.text.toUtf8();
                check(worksheet_write_string(sheet, row, col, utf8.constData(), format));
                break;
            case Cell::Number:
                check(worksheet_write_number(sheet, row, col, cell.number, format));
                break;
            case Cell::Empty:
                // An empty cell keeps its look, as the sheet would.
                if (cell.bold || cell.coloured)
                    check(worksheet_write_blank(sheet, row, col, format));
                break;
            }
        }
    }
    errno = 0;
    const lxw_error closed = workbook_close(book);
    const int systemErrno = errno;
    if (error == LXW_NO_ERROR)
        error = closed;
    if (error != LXW_NO_ERROR) {
        QString reason = QString::fromUtf8(lxw_strerror(error));
        if (closed != LXW_NO_ERROR && systemErrno != 0)
            reason += QStringLiteral(" (") + systemError(systemErrno) + QStringLiteral(")");
        failSaving(target, reason);
    }
}

void WorkbookWriter::saveAs(const QString& path) const
{
    if (path.isEmpty())
        fail(QStringLiteral("Cannot save the workbook: no file name was given."));
    QFileInfo target(path);
    // Through a link, the file it points to is the one replaced.
    if (target.isSymLink())
        target = QFileInfo(target.symLinkTarget());
    const QString targetPath = target.absoluteFilePath();
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir())
        failSaving(targetPath, QStringLiteral("the folder ") + folder +
                                   QStringLiteral(" does not exist."));
    if (target.isDir())
        failSaving(targetPath, QStringLiteral("it is a folder."));

    // Written beside the target, so that the rename cannot cross file
    // systems; removed again when anything fails.
    QTemporaryFile part(QDir(folder).filePath(QStringLiteral(".") + target.fileName() +
                                              QStringLiteral(".XXXXXX")));
    if (!part.open())
        failSaving(targetPath, part.errorString());
    const QString partPath = part.fileName();
    part.close();

    writeWorkbook(partPath, targetPath);

    QFile written(partPath);
    if (!written.open(QIODevice::ReadWrite) || written.size() == 0)
        failSaving(targetPath, QStringLiteral("the written file cannot be read back."));
    if (::fsync(written.handle()) != 0)
        failSaving(targetPath, systemError(errno));
    written.close();
    givePermissions(partPath, targetPath);
    if (std::rename(QFile::encodeName(partPath).constData(),
                    QFile::encodeName(targetPath).constData()) != 0)
        failSaving(targetPath, systemError(errno));
    part.setAutoRemove(false);
}

}  // namespace tarvic
