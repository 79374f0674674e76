#include "platform/workbook_writer.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "platform/workbook_numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <xlsxwriter.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <new>
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
// Links followed before a chain counts as a loop (as many as the system
// follows itself).
constexpr int kMaxLinks = 40;

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

// ---- the file a name stands for ----

// The file at the end of path's chain of symbolic links, its folder
// resolved too. A relative link is read from the link's own folder. Fails
// naming shown when the folder is missing or the links loop.
QString finalFile(const QString& path, const QString& shown)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int links = 0;; ++links) {
        const QFileInfo name(current);
        const QString folder = name.absolutePath();
        char resolved[PATH_MAX];
        if (!::realpath(QFile::encodeName(folder).constData(), resolved)) {
            const int error = errno;
            if (error == ELOOP)
                failSaving(shown, QStringLiteral("its links lead round in a loop and never "
                                                 "reach a file."));
            if (error == ENOENT || error == ENOTDIR)
                failSaving(shown, QStringLiteral("the folder ") + folder +
                                      QStringLiteral(" does not exist."));
            failSaving(shown, systemError(error));
        }
        QString file = QFile::decodeName(resolved);
        if (!file.endsWith(QLatin1Char('/')))
            file += QLatin1Char('/');
        file += name.fileName();
        const QByteArray encoded = QFile::encodeName(file);
        struct stat info;
        if (::lstat(encoded.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return file;
        if (links == kMaxLinks)
            failSaving(shown, QStringLiteral("its links lead round in a loop and never "
                                             "reach a file."));
        char target[PATH_MAX];
        const ssize_t length = ::readlink(encoded.constData(), target, sizeof target - 1);
        if (length < 0)
            failSaving(shown, systemError(errno));
        const QString next = QFile::decodeName(QByteArray(target, static_cast<int>(length)));
        current = next.startsWith(QLatin1Char('/'))
                      ? next
                      : QFileInfo(file).absolutePath() + QLatin1Char('/') + next;
    }
}

bool modeIsReadOnly(const QString& file)
{
    const QByteArray encoded = QFile::encodeName(file);
    struct stat info;
    if (::stat(encoded.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // The mode is read as well as asked: the superuser may write any file.
    return (info.st_mode & 0222) == 0 || ::access(encoded.constData(), W_OK) != 0;
}

// ---- the temporary file beside the target ----

// name shortened (by whole characters) so that it and extra bytes more stay
// within the folder's longest name.
QString shortenedName(const QString& folder, const QString& name, int extra)
{
    long nameMax = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = NAME_MAX;
    const int room = static_cast<int>(std::min<long>(nameMax, 4096)) - extra;
    QString kept = name;
    while (!kept.isEmpty() && QFile::encodeName(kept).size() > room) {
        kept.chop(1);
        if (!kept.isEmpty() && kept.back().isHighSurrogate())
            kept.chop(1);
    }
    return kept;
}

QString inFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// ".<name>.XXXXXX", the name shortened so that the whole stays within the
// folder's longest name.
QByteArray partTemplate(const QString& folder, const QString& name)
{
    return QFile::encodeName(inFolder(folder, QLatin1Char('.') + shortenedName(folder, name, 8))) +
           ".XXXXXX";
}

// A file made for one save and removed again unless kept. It is made
// with a creation mode, from which the kernel takes the umask away, so
// that the process's umask is read and changed by nobody here.
class PartFile {
public:
    // Makes the file; false with errno set when it cannot be made.
    bool make(const QString& folder, const QString& name, mode_t creationMode)
    {
        static const char kLetters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        const QByteArray pattern = partTemplate(folder, name);
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray path = pattern;
            for (qsizetype i = path.size() - 6; i < path.size(); ++i)
                path[i] = kLetters[QRandomGenerator::system()->bounded(62)];
            const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                                  creationMode);
            if (fd >= 0) {
                m_fd = fd;
                m_path = QFile::decodeName(path);
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        errno = EEXIST;
        return false;
    }
    ~PartFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.isEmpty())
            ::unlink(QFile::encodeName(m_path).constData());
    }
    PartFile() = default;
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const QString& path() const { return m_path; }
    int fd() const { return m_fd; }
    void keep() { m_path.clear(); }
    // The file has been given another name, which goes with it.
    void renamed(const QString& path) { m_path = path; }

private:
    QString m_path;
    int m_fd = -1;
};

// The mode a file beside the target is made with: a new workbook gets what
// any new file gets (0666 less the umask); one that replaces a file starts
// no wider than the old file (the owner may write it, so that the
// workbook can be written into it) and takes the old mode when complete.
mode_t creationMode(const struct stat* replaced)
{
    return replaced ? (replaced->st_mode & 0666) | 0600 : 0666;
}

// Whether a new file put in place of the old one by a rename would change
// what the old one was: other names (hard links) of the old file would
// keep the old workbook, and the new file would be the saver's, in the
// saver's (or the folder's) group, where the old one belongs to others.
bool renameWouldSplit(const struct stat& old, int newFile)
{
    struct stat made;
    if (::fstat(newFile, &made) != 0)
        return true;
    return old.st_nlink > 1 || made.st_uid != old.st_uid || made.st_gid != old.st_gid;
}

// ---- reading the written workbook back ----

uint32_t read16(const QByteArray& bytes, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    return p[0] | (uint32_t(p[1]) << 8);
}

uint32_t read32(const QByteArray& bytes, qsizetype at)
{
    return read16(bytes, at) | (read16(bytes, at + 2) << 16);
}

// The data of a stored (0) or deflated (8) part; false when it does not
// inflate to exactly size bytes.
bool unpack(const QByteArray& bytes, qsizetype at, qsizetype packedSize, uint32_t method,
            qsizetype size, QByteArray& data)
{
    if (method == 0) {
        if (packedSize != size)
            return false;
        data = bytes.mid(at, size);
        return true;
    }
    if (method != 8)
        return false;
    data = QByteArray(size, Qt::Uninitialized);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData() + at));
    stream.avail_in = static_cast<uInt>(packedSize);
    stream.next_out = reinterpret_cast<Bytef*>(data.data());
    stream.avail_out = static_cast<uInt>(size);
    const int result = inflate(&stream, Z_FINISH);
    const bool whole = result == Z_STREAM_END && stream.total_out == static_cast<uLong>(size);
    inflateEnd(&stream);
    return whole;
}

// Whether an XML part ends by closing the element it opened first.
bool xmlIsWhole(const QByteArray& xml)
{
    qsizetype at = xml.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const auto skipSpace = [&] {
        while (at < xml.size() && std::isspace(static_cast<unsigned char>(xml[at])))
            ++at;
    };
    skipSpace();
    if (xml.mid(at, 2) == "<?") {
        const qsizetype end = xml.indexOf("?>", at);
        if (end < 0)
            return false;
        at = end + 2;
        skipSpace();
    }
    if (at >= xml.size() || xml[at] != '<')
        return false;
    const qsizetype nameStart = ++at;
    while (at < xml.size() && !std::isspace(static_cast<unsigned char>(xml[at])) &&
           xml[at] != '>' && xml[at] != '/')
        ++at;
    const QByteArray root = xml.mid(nameStart, at - nameStart);
    if (root.isEmpty())
        return false;
    const QByteArray body = xml.trimmed();
    if (body.endsWith("</" + root + ">"))
        return true;
    // A root element that closes itself is the whole document.
    return body.endsWith("/>") && xml.indexOf('>', at) == xml.lastIndexOf('>');
}

// What is wrong with a written workbook (empty when nothing is): the zip's
// central directory, each part's size and checksum, each XML part closed,
// and the parts every workbook has. What is wrong with the values of a
// worksheet's cells goes to badValues instead (empty when nothing is).
QString damage(const QByteArray& zip, QString& badValues)
{
    constexpr qsizetype kEndSize = 22;
    qsizetype end = -1;
    for (qsizetype at = zip.size() - kEndSize; at >= 0 && at >= zip.size() - kEndSize - 65535;
         --at)
        if (read32(zip, at) == 0x06054b50u && at + kEndSize + read16(zip, at + 20) == zip.size()) {
            end = at;
            break;
        }
    if (end < 0)
        return QStringLiteral("it has no zip directory");
    const uint32_t count = read16(zip, end + 10);
    const qsizetype directorySize = read32(zip, end + 12);
    const qsizetype directory = read32(zip, end + 16);
    if (count == 0 || directory + directorySize > end)
        return QStringLiteral("its zip directory is damaged");

    QStringList names;
    qsizetype entry = directory;
    for (uint32_t i = 0; i < count; ++i) {
        if (entry + 46 > end || read32(zip, entry) != 0x02014b50u)
            return QStringLiteral("its zip directory is damaged");
        const uint32_t method = read16(zip, entry + 10);
        const uint32_t crc = read32(zip, entry + 16);
        const qsizetype packedSize = read32(zip, entry + 20);
        const qsizetype size = read32(zip, entry + 24);
        const qsizetype nameLength = read16(zip, entry + 28);
        const qsizetype skip = nameLength + read16(zip, entry + 30) + read16(zip, entry + 32);
        const qsizetype local = read32(zip, entry + 42);
        if (entry + 46 + skip > end)
            return QStringLiteral("its zip directory is damaged");
        const QString name = QString::fromUtf8(zip.mid(entry + 46, nameLength));
        entry += 46 + skip;
        names.append(name);
        if (size == 0)
            return QStringLiteral("its part ") + name + QStringLiteral(" is empty");
        if (local + 30 > directory || read32(zip, local) != 0x04034b50u)
            return QStringLiteral("its part ") + name + QStringLiteral(" is missing");
        const qsizetype data = local + 30 + read16(zip, local + 26) + read16(zip, local + 28);
        QByteArray part;
        if (data + packedSize > directory ||
            !unpack(zip, data, packedSize, method, size, part) ||
            crc32(0, reinterpret_cast<const Bytef*>(part.constData()),
                  static_cast<uInt>(part.size())) != crc)
            return QStringLiteral("its part ") + name + QStringLiteral(" is damaged");
        if ((name.endsWith(QLatin1String(".xml")) || name.endsWith(QLatin1String(".rels"))) &&
            !xmlIsWhole(part))
            return QStringLiteral("its part ") + name + QStringLiteral(" is cut short");
        if (badValues.isEmpty() && name.startsWith(QLatin1String("xl/worksheets/")) &&
            name.endsWith(QLatin1String(".xml"))) {
            const QString fault = sheetValuesFault(part);
            if (!fault.isEmpty())
                badValues = QStringLiteral("its part ") + name + QStringLiteral(": ") + fault;
        }
    }
    for (const char* required : {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                                 "xl/worksheets/sheet1.xml"})
        if (!names.contains(QLatin1String(required)))
            return QStringLiteral("its part ") + QLatin1String(required) +
                   QStringLiteral(" is missing");
    return QString();
}

// The written file, read whole; fails naming shown when it cannot be read
// or is not a complete workbook.
QByteArray checkedWorkbook(const QString& file, const QString& shown)
{
    QFile written(file);
    if (!written.open(QIODevice::ReadOnly))
        failSaving(shown, QStringLiteral("the written file cannot be read back (") +
                              written.errorString() + QStringLiteral(")."));
    const QByteArray bytes = written.readAll();
    if (written.error() != QFileDevice::NoError)
        failSaving(shown, QStringLiteral("the written file cannot be read back (") +
                              written.errorString() + QStringLiteral(")."));
    QString badValues;
    const QString wrong = damage(bytes, badValues);
    if (!wrong.isEmpty())
        failSaving(shown, QStringLiteral("the written workbook is incomplete: ") + wrong +
                              QStringLiteral(". Is the disk full?"));
    if (!badValues.isEmpty())
        failSaving(shown, QStringLiteral("the written workbook would not open: ") + badValues +
                              QStringLiteral("."));
    return bytes;
}

bool syncFile(const QString& file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

// ---- writing over a file in place ----

using Stage = InPlaceSaveSeam::Stage;

InPlaceSaveSeam* g_inPlaceSeam = nullptr;

InPlaceSaveSeam& inPlaceSeam()
{
    static InPlaceSaveSeam systemCalls;
    return g_inPlaceSeam ? *g_inPlaceSeam : systemCalls;
}

// Writes size bytes of data at offset; false with errno set.
bool writeAt(Stage stage, int fd, const char* data, qsizetype size, off_t offset)
{
    for (qsizetype done = 0; done < size;) {
        const ssize_t put = inPlaceSeam().write(stage, fd, data + done,
                                                static_cast<size_t>(size - done),
                                                offset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return false;
        if (put == 0) {
            errno = ENOSPC;
            return false;
        }
        done += put;
    }
    return true;
}

// Reads size bytes at offset into data; false with errno set (EIO where
// the file ends before).
bool readAt(Stage stage, int fd, char* data, qsizetype size, off_t offset)
{
    for (qsizetype done = 0; done < size;) {
        const ssize_t got = inPlaceSeam().read(stage, fd, data + done,
                                               static_cast<size_t>(size - done),
                                               offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0) {
            errno = EIO;
            return false;
        }
        done += got;
    }
    return true;
}

constexpr qsizetype kPiece = 65536;

// Makes to a synced copy of the first size bytes of from; false with errno
// set.
bool copyContents(Stage stage, int from, int to, off_t size)
{
    QByteArray buffer(kPiece, Qt::Uninitialized);
    for (off_t at = 0; at < size;) {
        const auto piece = static_cast<qsizetype>(std::min<off_t>(kPiece, size - at));
        if (!readAt(stage, from, buffer.data(), piece, at) ||
            !writeAt(stage, to, buffer.constData(), piece, at))
            return false;
        at += piece;
    }
    return ::ftruncate(to, size) == 0 && ::fsync(to) == 0;
}

// The file's size; false with errno set when it cannot be read.
bool fileSize(int fd, off_t& size)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    size = info.st_size;
    return true;
}

// What reading the file fd back finds wrong: empty when it holds exactly
// the size bytes that expected(buffer, length, offset) puts into a buffer.
QString readBackFault(Stage stage, int fd, off_t size,
                      const std::function<bool(char*, qsizetype, off_t)>& expected)
{
    off_t onDisk = 0;
    if (!fileSize(fd, onDisk))
        return systemError(errno);
    if (onDisk != size)
        return QStringLiteral("it was read back %1 bytes long instead of %2")
            .arg(static_cast<qint64>(onDisk))
            .arg(static_cast<qint64>(size));
    QByteArray read(kPiece, Qt::Uninitialized);
    QByteArray wanted(kPiece, Qt::Uninitialized);
    for (off_t at = 0; at < size;) {
        const auto piece = static_cast<qsizetype>(std::min<off_t>(kPiece, size - at));
        if (!expected(wanted.data(), piece, at) || !readAt(stage, fd, read.data(), piece, at))
            return systemError(errno);
        if (std::memcmp(read.constData(), wanted.constData(), static_cast<size_t>(piece)) != 0)
            return QStringLiteral("what was read back from it differs from what was written");
        at += piece;
    }
    return QString();
}

// Gives the file at from the name that says what it holds, in folder:
// name + ending, or name + ending + "-2", "-3" ... where that is taken, the
// name shortened to fit the folder. A name taken is never replaced. The
// new path, or an empty text with errno set.
QString giveTellingName(const QString& from, const QString& folder, const QString& name,
                        const QString& ending)
{
    const QString kept =
        shortenedName(folder, name, static_cast<int>(QFile::encodeName(ending).size()) + 3);
    const QByteArray source = QFile::encodeName(from);
    for (int n = 1; n < 100; ++n) {
        QString candidate = inFolder(folder, kept + ending);
        if (n > 1)
            candidate += QLatin1Char('-') + QString::number(n);
        const QByteArray target = QFile::encodeName(candidate);
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return candidate;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return QString();
        // A file system that cannot rename without replacing: a second
        // name, which is refused where taken, then the first removed.
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return candidate;
        }
        if (errno != EEXIST)
            return QString();
    }
    errno = EEXIST;
    return QString();
}

// Whether a failure to make a file means the folder takes no new file.
bool folderRefusesFiles(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// Copies the size bytes of file (open as fd) to a backup named after name
// beside it in folder or, where folder takes no new file, in the temp
// folder. The copy is made under a hidden name and synced before it takes
// its telling name, and the folder is synced: a backup name holds a whole
// copy, on disk. Empty when made; else what went wrong, naming the folder.
QString makeBackup(PartFile& backup, int fd, off_t size, const QString& folder,
                   const QString& name)
{
    QString where = folder;
    bool made = backup.make(where, name + QStringLiteral(".backup"), 0600);
    if (!made && folderRefusesFiles(errno)) {
        where = QDir::tempPath();
        made = backup.make(where, name + QStringLiteral(".backup"), 0600);
    }
    if (made && copyContents(Stage::Backup, fd, backup.fd(), size)) {
        const QString path = giveTellingName(backup.path(), where, name, QStringLiteral(".backup"));
        if (!path.isEmpty()) {
            backup.renamed(path);
            if (syncFile(where))
                return QString();
        }
    }
    return systemError(errno) + QStringLiteral(", in ") + where;
}

// Writes bytes over the file fd from its start, synced; empty when it
// reads back the same, else what went wrong. The space is reserved first
// where the file system can, so that a full disk stops the write before
// its first byte.
QString writeOver(int fd, const QByteArray& bytes)
{
    const int reserved = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL)
        return systemError(reserved);
    if (!writeAt(Stage::Write, fd, bytes.constData(), bytes.size(), 0) ||
        ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0)
        return systemError(errno);
    return readBackFault(Stage::Write, fd, static_cast<off_t>(bytes.size()),
                         [&](char* wanted, qsizetype piece, off_t at) {
                             std::memcpy(wanted, bytes.constData() + at, static_cast<size_t>(piece));
                             return true;
                         });
}

// Writes the backup's size bytes back over the file fd, synced; empty
// when it reads back the same as the backup, else what went wrong.
QString restoreFrom(int fd, const PartFile& backup, off_t size)
{
    if (!copyContents(Stage::Restore, backup.fd(), fd, size))
        return systemError(errno);
    return readBackFault(Stage::Restore, fd, size, [&](char* wanted, qsizetype piece, off_t at) {
        return readAt(Stage::Restore, backup.fd(), wanted, piece, at);
    });
}

// Writes bytes, the complete workbook staged in staged, over an existing
// file in place, so that every name of the file sees it. The old workbook
// is copied to a backup first; a write that fails, or that reads back
// otherwise, is undone from the backup, and the backup and the staged
// workbook are removed only when the file holds one of the two whole.
void writeInPlace(const QString& file, const QByteArray& bytes, PartFile& staged,
                  const QString& shown)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        failSaving(shown, systemError(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat old;
    if (::fstat(fd, &old) != 0)
        failSaving(shown, systemError(errno));

    const QFileInfo target(file);
    PartFile backup;
    const QString backupFault =
        makeBackup(backup, fd, old.st_size, target.absolutePath(), target.fileName());
    if (!backupFault.isEmpty())
        failSaving(shown, QStringLiteral("the old workbook could not be copied to a backup (") +
                              backupFault + QStringLiteral("), so ") + shown +
                              QStringLiteral(" was not written over and holds it still."));

    const QString fault = writeOver(fd, bytes);
    if (fault.isEmpty())
        return;  // the backup and the staged workbook go
    const QString restoreFault = restoreFrom(fd, backup, old.st_size);
    if (restoreFault.isEmpty())
        failSaving(shown, fault + QStringLiteral(". ") + shown +
                              QStringLiteral(" holds the old workbook still."));

    // Neither workbook is whole in the file: both stay where the message
    // says, the new one under a name that says what it is where it can.
    const QString oldKept = backup.path();
    backup.keep();
    const QString newPath = giveTellingName(staged.path(), QFileInfo(staged.path()).absolutePath(),
                                            target.fileName(), QStringLiteral(".new"));
    if (!newPath.isEmpty())
        staged.renamed(newPath);
    const QString newKept = staged.path();
    ::fsync(staged.fd());
    syncFile(QFileInfo(newKept).absolutePath());
    staged.keep();
    const QString damaged = old.st_nlink > 1
                                ? shown + QStringLiteral(" and the file's other names hold")
                                : shown + QStringLiteral(" holds");
    failSaving(shown, fault + QStringLiteral(". Putting the old workbook back failed too (") +
                          restoreFault + QStringLiteral("), so ") + damaged +
                          QStringLiteral(" neither workbook whole. The old workbook is in ") +
                          oldKept + QStringLiteral(" and the new one in ") + newKept +
                          QStringLiteral(": copy the one you want over ") + shown +
                          QStringLiteral("."));
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
            throw std::bad_alloc();
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

void WorkbookWriter::writeWorkbook(const QString& file, const QString& stagingFolder,
                                   const QString& shownTarget) const
{
    // libxlsxwriter prints the sheet's numbers (values, column widths,
    // margins) with printf when the workbook is closed: "C" rules for them.
    const CNumbersOnThisThread cNumbers;
    const QString noMemory = QStringLiteral("there is not enough memory to build the workbook.");
    const QByteArray fileName = QFile::encodeName(file);
    QByteArray staging = QFile::encodeName(stagingFolder);
    // Parts are staged beside the file written, not in the system's temp
    // folder: a write error there would go unnoticed by the library.
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = staging.data();
    options.use_zip64 = LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(fileName.constData(), &options);
    if (!book)
        failSaving(shownTarget, noMemory);
    lxw_error error = LXW_NO_ERROR;
    try {
        lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
        if (!sheet)
            throw std::bad_alloc();
        Formats formats(book);
        const auto check = [&](lxw_error result) {
            if (result != LXW_NO_ERROR && error == LXW_NO_ERROR)
                error = result;
        };

        const std::vector<double> widths = columnWidths();
        for (size_t c = 0; c < widths.size(); ++c) {
            const bool left = leftAligned(static_cast<int>(c));
            if (widths[c] > 0.0 || left)
                check(worksheet_set_column(sheet, static_cast<lxw_col_t>(c),
                                           static_cast<lxw_col_t>(c),
                                           widths[c] > 0.0 ? widths[c] : LXW_DEF_COL_WIDTH,
                                           formats.get(false, false, 0, left)));
        }
        QByteArray utf8;
        for (size_t r = 0; r < m_rows.size() && error == LXW_NO_ERROR; ++r) {
            const std::vector<Cell>& cells = m_rows[r];
            for (size_t c = 0; c < cells.size(); ++c) {
                const Cell& cell = cells[c];
                lxw_format* format = formats.get(cell.bold, cell.coloured, cell.colour,
                                                 leftAligned(static_cast<int>(c)));
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
    } catch (const std::bad_alloc&) {
        lxw_workbook_free(book);
        failSaving(shownTarget, noMemory);
    }
    if (error != LXW_NO_ERROR) {
        // Nothing is written of a workbook that is already wrong.
        lxw_workbook_free(book);
        failSaving(shownTarget, QString::fromUtf8(lxw_strerror(error)));
    }
    errno = 0;
    const lxw_error closed = workbook_close(book);
    const int systemErrno = errno;
    if (closed != LXW_NO_ERROR) {
        QString reason = QString::fromUtf8(lxw_strerror(closed));
        if (systemErrno != 0)
            reason += QStringLiteral(" (") + systemError(systemErrno) + QStringLiteral(")");
        failSaving(shownTarget, reason);
    }
}

ssize_t InPlaceSaveSeam::write(Stage, int fd, const char* data, size_t size, off_t offset)
{
    return ::pwrite(fd, data, size, offset);
}

ssize_t InPlaceSaveSeam::read(Stage, int fd, char* data, size_t size, off_t offset)
{
    return ::pread(fd, data, size, offset);
}

InPlaceSaveSeam* setInPlaceSaveSeam(InPlaceSaveSeam* seam)
{
    InPlaceSaveSeam* previous = g_inPlaceSeam;
    g_inPlaceSeam = seam;
    return previous;
}

bool WorkbookWriter::isReadOnlyFile(const QString& path)
{
    try {
        return !path.isEmpty() && modeIsReadOnly(finalFile(path, path));
    } catch (const RuntimeError&) {
        return false;  // no file there to be read-only
    }
}

void WorkbookWriter::saveAs(const QString& path, ReadOnlyFile readOnly) const
{
    if (path.isEmpty())
        fail(QStringLiteral("Cannot save the workbook: no file name was given."));
    // Messages name the file as the user gave it.
    const QString shown = QFileInfo(path).absoluteFilePath();
    // Through links, the file at the end of the chain is the one replaced.
    const QString targetPath = finalFile(path, shown);
    const QFileInfo target(targetPath);
    const QString folder = target.absolutePath();
    if (target.isDir())
        failSaving(shown, QStringLiteral("it is a folder."));
    const bool exists = target.exists();
    if (exists && readOnly == ReadOnlyFile::Refuse && modeIsReadOnly(targetPath))
        failSaving(shown, QStringLiteral("the file is read-only."));

    // Written beside the target, so that the rename cannot cross file
    // systems; removed again when anything fails.
    struct stat old;
    const bool replaces = exists && target.isFile() &&
                          ::stat(QFile::encodeName(targetPath).constData(), &old) == 0;
    PartFile part;
    if (!part.make(folder, target.fileName(), creationMode(replaces ? &old : nullptr))) {
        const int error = errno;
        // No file can be made in the folder: an existing file is written
        // in place, from a complete workbook made in the temp folder.
        if (exists && target.isFile() && (error == EACCES || error == EPERM || error == EROFS)) {
            PartFile elsewhere;
            const QString temp = QDir::tempPath();
            if (!elsewhere.make(temp, target.fileName(), 0600))
                failSaving(shown, systemError(error));
            writeWorkbook(elsewhere.path(), temp, shown);
            writeInPlace(targetPath, checkedWorkbook(elsewhere.path(), shown), elsewhere, shown);
            return;
        }
        failSaving(shown, systemError(error));
    }
    const QString& partPath = part.path();
    writeWorkbook(partPath, folder, shown);
    const QByteArray complete = checkedWorkbook(partPath, shown);
    if (replaces && renameWouldSplit(old, part.fd()) && !modeIsReadOnly(targetPath)) {
        // Every name of the file sees the new workbook, and its owner and
        // group stay: the complete workbook is written over the old one.
        writeInPlace(targetPath, complete, part, shown);
        return;
    }
    if (replaces && ::fchmod(part.fd(), old.st_mode & 07777) != 0)
        failSaving(shown, systemError(errno));
    if (::fsync(part.fd()) != 0)
        failSaving(shown, systemError(errno));
    if (std::rename(QFile::encodeName(partPath).constData(),
                    QFile::encodeName(targetPath).constData()) != 0)
        failSaving(shown, systemError(errno));
    part.keep();
    // The new name lasts once the folder is on disk too.
    syncFile(folder);
}

}  // namespace tarvic
