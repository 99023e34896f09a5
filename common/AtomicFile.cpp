#include "common/AtomicFile.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace {

// Larger writes go out in pieces, each one checked.
constexpr qint64 kWritePiece = 1 << 20;

} // namespace

AtomicFile::AtomicFile(const QString &path)
    : file(path)
{
}

Status AtomicFile::open()
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

Status AtomicFile::write(const char *data, qint64 size)
{
    return writeFully(file, data, size);
}

Status AtomicFile::commit()
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

Status AtomicFile::writeFully(QIODevice &device, const char *data, qint64 size)
{
    for (qint64 done = 0; done < size;) {
        const qint64 written = device.write(data + done, qMin(size - done, kWritePiece));
        if (written <= 0)
            return fail(device.errorString());
        done += written;
    }
    return Status();
}

Status AtomicFile::writeWhole(const QString &path, const char *data, qint64 size)
{
    AtomicFile file(path);
    Status done = file.open();
    if (done)
        done = file.write(data, size);
    if (done)
        done = file.commit();
    return done;
}

Status AtomicFile::writeWhole(const QString &path, const QByteArray &bytes)
{
    return writeWhole(path, bytes.constData(), bytes.size());
}
