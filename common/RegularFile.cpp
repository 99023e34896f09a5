#include "common/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

Status RegularFile::open(QFile &file, const QString &path)
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

Result<QByteArray> RegularFile::readWhole(const QString &path, qint64 maxSize)
{
    QFile file;
    const Status opened = open(file, path);
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
