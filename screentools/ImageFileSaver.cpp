#include "screentools/ImageFileSaver.h"

#include "common/Names.h"
#include "common/AtomicFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace {

Failure noPicture()
{
    return fail(QStringLiteral("没有可保存的图片。"));
}

} // namespace

Status ImageFileSaver::write(const QImage &picture, const QString &path)
{
    if (picture.isNull())
        return noPicture();
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (!picture.convertToFormat(QImage::Format_RGB32).save(&buffer, format.constData())
        || !AtomicFile::writeWhole(path, encoded))
        return fail(QStringLiteral("无法写入文件：") + path);
    return Status();
}

QString ImageFileSaver::backupPath(const QString &path)
{
    return path + Names::backupSuffix();
}

Status ImageFileSaver::saveWithBackup(const QImage &picture, const QString &path)
{
    if (picture.isNull())
        return noPicture();
    const QString backup = backupPath(path);
    if (!QFileInfo::exists(backup)) {
        QFile original(path);
        if (!original.open(QIODevice::ReadOnly) || !AtomicFile::writeWhole(backup, original.readAll()))
            return fail(QStringLiteral("无法建立备份文件：") + backup + QStringLiteral("，图片未保存。"));
    }
    return write(picture, path);
}
