#include "project/FileOperations.h"

#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Larger writes go out in pieces, each one checked.
constexpr qint64 kWritePiece = 1 << 20;

} // namespace

Result<FileOperations::Creation> FileOperations::createEmptyFile(const QString &path)
{
    if (QFileInfo::exists(path))
        return Creation::AlreadyExists;
    QFile file(path);
    // NewOnly: a file that appears between the check and the open is not truncated.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(file.errorString());
    return Creation::Created;
}

Result<FileOperations::Creation> FileOperations::createDirectory(const QString &path)
{
    if (QFileInfo(path).isDir())
        return Creation::AlreadyExists;
    if (!QDir().mkpath(path))
        return fail(QStringLiteral("无法创建目录"));
    return Creation::Created;
}

FileOperations::AtomicFile::AtomicFile(const QString &path)
    : file(path)
{
}

Status FileOperations::AtomicFile::open()
{
    // A link would be written through to its target, which may lie outside the project.
    const QFileInfo existing(file.fileName());
    if (existing.isSymLink())
        return fail(QStringLiteral("这是一个符号链接，不会写入或替换它"));
    if (existing.exists() && !existing.isFile())
        return fail(QStringLiteral("这不是普通文件，不会写入或替换它"));
    // Unbuffered: a write that fails (a full disk) says so at once instead of at a final flush
    // whose failure the commit would not see.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    return Status();
}

Status FileOperations::AtomicFile::write(const char *data, qint64 size)
{
    return writeFully(file, data, size);
}

Status FileOperations::AtomicFile::commit()
{
    if (!file.flush())
        return fail(file.errorString());
#ifdef Q_OS_UNIX
    // The data must be on the disk before the rename makes it the file.
    if (::fsync(file.handle()) != 0)
        return fail(qt_error_string(errno));
#endif
    if (!file.commit())
        return fail(file.errorString());
    return Status();
}

Status FileOperations::writeFully(QIODevice &device, const char *data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        const qint64 written = device.write(data + done, qMin(size - done, kWritePiece));
        if (written <= 0)
            return fail(device.errorString());
        done += written;
    }
    return Status();
}

Status FileOperations::writeWhole(const QString &path, const char *data, qint64 size)
{
    AtomicFile file(path);
    Status done = file.open();
    if (done)
        done = file.write(data, size);
    if (done)
        done = file.commit();
    return done;
}

Status FileOperations::writeWhole(const QString &path, const QByteArray &bytes)
{
    return writeWhole(path, bytes.constData(), bytes.size());
}

Status FileOperations::openRegular(QFile &file, const QString &path)
{
#ifdef Q_OS_UNIX
    // Non-blocking, so that opening a pipe returns at once; the check below refuses it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(qt_error_string(errno));
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("这不是普通文件"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
#else
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("这不是普通文件"));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
#endif
    return Status();
}

Result<QByteArray> FileOperations::readWhole(const QString &path, qint64 maxSize)
{
    QFile file;
    const Status opened = openRegular(file, path);
    if (!opened)
        return fail(opened.error());
    const qint64 size = file.size();
    if (size > maxSize)
        return fail(QStringLiteral("文件过大（%1字节，上限%2字节）").arg(size).arg(maxSize));
    // What the file held when it was opened; a file that grows meanwhile is not followed.
    QByteArray bytes = file.read(size);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return bytes;
}

void FileOperations::deleteTree(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        const QFileInfoList entries = QDir(path).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries)
            deleteTree(entry.filePath());
        QDir().rmdir(path);
    } else {
        QFile::remove(path);
    }
}

void FileOperations::moveToTrashOrDelete(const QString &path)
{
    // Qt 5.15 moves the entry into a "files" folder of the working directory, and says it
    // succeeded, when the user's data folder is missing: it is made first.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QString inTrash;
    if (QFile::moveToTrash(path, &inTrash) && QFileInfo(inTrash).isAbsolute())
        return;
    deleteTree(path);
}
