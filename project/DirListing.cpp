#include "project/DirListing.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

#ifdef Q_OS_UNIX

QVector<DirListing::Entry> DirListing::scan(const QString &directory)
{
    QVector<Entry> found;
    const QByteArray native = QFile::encodeName(directory);
    DIR *dir = opendir(native.constData());
    if (!dir)
        return found;
    while (const dirent *d = readdir(dir)) {
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
        Entry entry;
        entry.name = QFile::decodeName(name);
        entry.directory = directory;
        entry.isDir = type == DT_DIR;
        found.append(entry);
    }
    closedir(dir);
    return found;
}

static void readStatus(DirListing::Entry &entry)
{
    struct stat st;
    if (lstat(QFile::encodeName(entry.path()).constData(), &st) == 0) {
        entry.modified = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
        entry.size = st.st_size;
    }
}

qint64 DirListing::changeStamp(const QString &directory)
{
    struct stat st;
    if (stat(QFile::encodeName(directory).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

#else

qint64 DirListing::changeStamp(const QString &directory)
{
    const QFileInfo info(directory);
    if (!info.isDir())
        return -1;
    return info.lastModified().toMSecsSinceEpoch() * 1000000;
}

QVector<DirListing::Entry> DirListing::scan(const QString &directory)
{
    QVector<Entry> found;
    QDirIterator it(directory, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        Entry entry;
        entry.name = it.fileName();
        entry.directory = directory;
        entry.isDir = it.fileInfo().isDir();
        found.append(entry);
    }
    return found;
}

static void readStatus(DirListing::Entry &entry)
{
    const QFileInfo info(entry.path());
    entry.modified = info.lastModified().toMSecsSinceEpoch();
    entry.size = info.size();
}

#endif

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
