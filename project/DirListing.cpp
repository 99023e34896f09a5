#include "project/DirListing.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

// A scan and what went wrong in it: the directory could not be read, or names in it that are
// not valid UTF-8 (listed under the name they decode to, which names no file).
struct Scan
{
    QVector<DirListing::Entry> entries;
    QString unreadable;
    QStringList undecodable;
};

#ifdef Q_OS_UNIX

// The name with every byte that is not part of a UTF-8 character shown as \xNN.
QString shownName(const QByteArray &raw)
{
    QString shown;
    for (int i = 0; i < raw.size();) {
        const uchar lead = static_cast<uchar>(raw[i]);
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        const QByteArray piece = raw.mid(i, length);
        const QString decoded = QString::fromUtf8(piece);
        if (length > 0 && piece.size() == length && decoded.toUtf8() == piece) {
            shown += decoded;
            i += length;
        } else {
            shown += QString::asprintf("\\x%02X", lead);
            ++i;
        }
    }
    return shown;
}

Scan scanDirectory(const QString &directory)
{
    Scan scan;
    const QByteArray native = QFile::encodeName(directory);
    DIR *dir = opendir(native.constData());
    if (!dir) {
        scan.unreadable = qt_error_string(errno);
        return scan;
    }
    for (;;) {
        errno = 0;
        const dirent *d = readdir(dir);
        if (!d) {
            if (errno != 0)
                scan.unreadable = qt_error_string(errno);
            break;
        }
        const char *name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        // Links, devices, sockets and pipes are not project files.
        if (type != DT_DIR && type != DT_REG)
            continue;
        DirListing::Entry entry;
        entry.name = QFile::decodeName(name);
        entry.directory = directory;
        entry.isDir = type == DT_DIR;
        if (QFile::encodeName(entry.name) != QByteArray(name))
            scan.undecodable << directory + QLatin1Char('/') + shownName(QByteArray(name));
        scan.entries.append(entry);
    }
    closedir(dir);
    return scan;
}

void readStatus(DirListing::Entry &entry)
{
    struct stat st;
    if (lstat(QFile::encodeName(entry.path()).constData(), &st) == 0) {
        entry.modified = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
        entry.size = st.st_size;
    }
}

#else

Scan scanDirectory(const QString &directory)
{
    Scan scan;
    if (!QFileInfo(directory).isReadable()) {
        scan.unreadable = QStringLiteral("无法打开");
        return scan;
    }
    QDirIterator it(directory, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        DirListing::Entry entry;
        entry.name = it.fileName();
        entry.directory = directory;
        entry.isDir = it.fileInfo().isDir();
        scan.entries.append(entry);
    }
    return scan;
}

void readStatus(DirListing::Entry &entry)
{
    const QFileInfo info(entry.path());
    entry.modified = info.lastModified().toMSecsSinceEpoch();
    entry.size = info.size();
}

#endif

} // namespace

qint64 DirListing::changeStamp(const QString &directory)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (stat(QFile::encodeName(directory).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#else
    const QFileInfo info(directory);
    if (!info.isDir())
        return -1;
    return info.lastModified().toMSecsSinceEpoch() * 1000000;
#endif
}

QVector<DirListing::Entry> DirListing::scan(const QString &directory)
{
    return scanDirectory(directory).entries;
}

void DirListing::sortNewestFirst(QVector<Entry> &entries)
{
    for (Entry &entry : entries)
        readStatus(entry);
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.modified != b.modified)
            return a.modified > b.modified;
        return a.name < b.name;
    });
}

QVector<DirListing::Entry> DirListing::entries(const QString &directory)
{
    QVector<Entry> found = scan(directory);
    sortNewestFirst(found);
    return found;
}

Result<QVector<DirListing::Entry>> DirListing::list(const QString &directory)
{
    Scan scan = scanDirectory(directory);
    if (!scan.unreadable.isEmpty())
        return fail(QStringLiteral("无法读取目录[%1]：%2").arg(directory, scan.unreadable));
    if (!scan.undecodable.isEmpty())
        return fail(QStringLiteral("[%1]的名称不是有效的UTF-8编码，无法按名称找到它。请给它改名。").arg(scan.undecodable.first()));
    sortNewestFirst(scan.entries);
    return scan.entries;
}
