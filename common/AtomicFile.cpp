#include "common/AtomicFile.h"

#include "common/Platform.h"

#include <QFileInfo>
#include <QRandomGenerator>

namespace {

// Larger writes go out in pieces, each one checked.
constexpr qint64 kWritePiece = 1 << 20;

// A name beside the file that no other file has yet: <path>.XXXXXX
QString asideName(const QString &path)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString name = path + QLatin1Char('.');
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)]);
    return name;
}

} // namespace

AtomicFile::AtomicFile(const QString &path)
    : path(path)
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::discard()
{
    if (aside.fileName().isEmpty())
        return;
    aside.close();
    QFile::remove(aside.fileName());
    aside.setFileName(QString());
}

Status AtomicFile::open()
{
    // A link would be written through to its target, which may lie outside the project.
    const QFileInfo existing(path);
    if (existing.isSymLink())
        return fail(QStringLiteral("这是一个符号链接，不会写入或替换它"));
    if (existing.exists() && !existing.isFile())
        return fail(QStringLiteral("这不是普通文件，不会写入或替换它"));
    discard();
    // Made new, never opened when it exists: a file or link planted under the name is not
    // written through. Unbuffered: a write that fails (a full disk) says so at once.
    for (int attempt = 0;; ++attempt) {
        aside.setFileName(asideName(path));
        if (aside.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        const QString why = aside.errorString();
        const bool taken = QFileInfo::exists(aside.fileName()) || QFileInfo(aside.fileName()).isSymLink();
        aside.setFileName(QString());
        if (!taken || attempt == 20)
            return fail(why);
    }
    written = 0;
    if (existing.exists())
        aside.setPermissions(existing.permissions());
    return Status();
}

Status AtomicFile::write(const char *data, qint64 size)
{
    const Status done = writeFully(aside, data, size);
    if (done)
        written += size;
    return done;
}

Status AtomicFile::rewrite(qint64 offset, qint64 length, const std::function<void(char *bytes, qint64 size)> &change)
{
    Q_ASSERT(offset >= 0 && length >= 0 && offset + length <= written);
    QByteArray piece(static_cast<int>(qMin(length, RewritePiece)), Qt::Uninitialized);
    for (qint64 done = 0; done < length;) {
        const qint64 size = qMin(length - done, RewritePiece);
        if (!aside.seek(offset + done) || aside.read(piece.data(), size) != size)
            return fail(aside.errorString());
        change(piece.data(), size);
        if (!aside.seek(offset + done))
            return fail(aside.errorString());
        const Status again = writeFully(aside, piece.constData(), size);
        if (!again)
            return again;
        done += size;
    }
    if (!aside.seek(written))
        return fail(aside.errorString());
    return Status();
}

Status AtomicFile::commit()
{
    // The data must be on the disk before the rename makes it the file.
    Status done = Platform::syncFile(aside);
    if (done) {
        aside.close();
        done = Platform::replaceFile(aside.fileName(), path);
    }
    if (!done)
        return done;
    aside.setFileName(QString());
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
