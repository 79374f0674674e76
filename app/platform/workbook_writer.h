// One worksheet held in memory and written as an .xlsx workbook.
//
// libxlsxwriter writes a workbook in one go and can neither read it back nor
// fit column widths, so the sheet is kept here, read from here, and each
// column's width is computed from its texts when the workbook is written.
//
// Cells are named as the sheet shows them ("H1", "A2"), ranges by their
// corners ("H1:H17"), columns by their letters ("I"). Operations:
// - setText, setNumber: one cell. A number that is not finite (NaN,
//   infinity) is written as the text "NaN", "Infinity" or "-Infinity": as a
//   number it would make the workbook unreadable.
// - setTexts: texts down a column from a cell; setNumberBlock: a table of
//   numbers from its top-left cell.
// - text: what a cell shows ("" when it is empty); numbers as plain text.
// - setBold, setFontColor: the font of every cell of a range.
// - setColumnLeftAligned: the horizontal alignment of a whole column.
// - saveAs: writes the workbook, each used column as wide as its longest
//   text, to a temporary file in the target's folder (libxlsxwriter stages
//   its parts there too), reads the finished file back as a zip and renames
//   it over the target only when every part is there and complete and
//   every number of the sheet is in the file format's form ("." for the
//   point, whatever the locale): a failed save leaves no file and keeps a
//   file it was to replace. The
//   replacing file takes the old one's mode; a new file gets 0666 less the
//   umask (the umask is never changed). A file that a new one would not
//   stand in for wholly - one with other names (hard links), or whose
//   owner or group the new file would not get - is written in place
//   instead, once the new workbook is complete and read back, so that
//   every name sees the new workbook and owner and group stay (a read-only
//   file that the caller asked to replace is replaced by a new file, as it
//   cannot be written). A name that is a symbolic link saves to the file at
//   the end of its chain of links (a chain that loops is refused). A
//   read-only file is replaced only when the caller says so. Where no file
//   can be made in the target's folder (a read-only folder) an existing
//   file that may be written is written in place, once the new workbook is
//   complete elsewhere.
//   A save in place first copies the old workbook to a backup file,
//   "<name>.backup" (or "<name>.backup-2", "-3" ... where that name is
//   taken: no other file is ever replaced), beside the file or, where its
//   folder takes no new file, in the temp folder, and syncs it and its
//   folder. Only then is the new workbook written over the old one,
//   synced and read back; then the backup and the staged workbook are
//   removed. When anything fails after the backup is made, the old
//   workbook is put back from the backup (and read back); where that
//   fails too nothing is removed: the staged workbook is named
//   "<name>.new" (or "-2" ...) where it can be, and the message names the
//   file that holds the old workbook and the one that holds the new. A
//   process killed at any moment leaves the old or the new workbook under
//   every name of the file, or the old one in its backup.
//
// Every failure raises a RuntimeError numbered kErrWorkbook whose
// description names the file or cell and the reason (a missing folder, a
// target that is a folder, a write error).
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <sys/types.h>
#include <vector>

namespace tarvic {

constexpr int32_t kErrWorkbook = 1004;

// The reads and writes of a save in place, behind a seam where tests put
// their faults (a full disk, a kill, a read that differs). The stage says
// which part of the save a call belongs to:
// - Backup: the old workbook read from the file and written to its backup;
// - Write: the new workbook written over the file, and read back;
// - Restore: the old workbook read from its backup and written back over
//   the file, and the file read back.
// The default calls are pwrite and pread.
class InPlaceSaveSeam {
public:
    enum class Stage { Backup, Write, Restore };
    virtual ~InPlaceSaveSeam() = default;
    // As pwrite: size bytes of data at offset of fd.
    virtual ssize_t write(Stage stage, int fd, const char* data, size_t size, off_t offset);
    // As pread: up to size bytes at offset of fd into data.
    virtual ssize_t read(Stage stage, int fd, char* data, size_t size, off_t offset);
};

// Installs a seam (not owned); nullptr restores the system calls. Returns
// the previous one (nullptr for the system calls).
InPlaceSaveSeam* setInPlaceSaveSeam(InPlaceSaveSeam* seam);

class WorkbookWriter {
public:
    // ---- contents ----
    void setText(const QString& cell, const QString& text);
    void setNumber(const QString& cell, double value);
    void setTexts(const QString& firstCell, const QStringList& texts);
    // value(row, col) for row in 0..rows-1 and col in 0..cols-1.
    void setNumberBlock(const QString& topLeft, int rows, int cols,
                        const std::function<double(int row, int col)>& value);
    QString text(const QString& cell) const;

    // ---- looks ----
    void setBold(const QString& range);
    void setFontColor(const QString& range, const QColor& color);
    void setColumnLeftAligned(const QString& column);

    // ---- writing ----
    enum class ReadOnlyFile { Refuse, Replace };
    void saveAs(const QString& path, ReadOnlyFile readOnly = ReadOnlyFile::Refuse) const;

    // Whether path, through its links, names an existing file that is
    // read-only: its mode grants no write permission to anyone, or this
    // process may not write it.
    static bool isReadOnlyFile(const QString& path);

    // The width, in characters of the sheet's standard font, that fits a
    // text (bold when asked).
    static double fittingWidth(const QString& text, bool bold);

private:
    struct Cell {
        enum Kind : uint8_t { Empty, Text, Number };
        QString text;
        double number = 0.0;
        Kind kind = Empty;
        bool bold = false;
        bool coloured = false;
        QRgb colour = 0;
    };
    struct Position {
        int row = 0;
        int col = 0;
    };

    static Position parseCell(const QString& cell);
    static void parseRange(const QString& range, Position& first, Position& last);
    static int parseColumn(const QString& column);
    static QString shownText(const Cell& cell);
    static QString cellName(int row, int col);

    Cell& at(int row, int col);
    const Cell* find(int row, int col) const;
    void putText(int row, int col, const QString& text);
    void putNumber(int row, int col, double value);
    bool leftAligned(int col) const;
    // Writes the workbook to file, libxlsxwriter's parts staged in
    // stagingFolder; failures name shownTarget.
    void writeWorkbook(const QString& file, const QString& stagingFolder,
                       const QString& shownTarget) const;
    std::vector<double> columnWidths() const;

    std::vector<std::vector<Cell>> m_rows;
    std::vector<bool> m_leftAligned;  // by column
};

}  // namespace tarvic
