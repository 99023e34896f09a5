#include "screentools/ImageFileSaver.h"

#include <QFile>
#include <QFileInfo>

bool ImageFileSaver::write(const QImage &picture, const QString &path, QString *error)
{
    if (picture.isNull()) {
        *error = QStringLiteral("没有可保存的图片。");
        return false;
    }
    if (!picture.convertToFormat(QImage::Format_RGB32).save(path)) {
        *error = QStringLiteral("无法写入文件：") + path;
        return false;
    }
    return true;
}

QString ImageFileSaver::backupPath(const QString &path)
{
    return path + QStringLiteral(".备份");
}

bool ImageFileSaver::saveWithBackup(const QImage &picture, const QString &path, QString *error)
{
    if (picture.isNull()) {
        *error = QStringLiteral("没有可保存的图片。");
        return false;
    }
    const QString backup = backupPath(path);
    if (!QFileInfo::exists(backup) && !QFile::copy(path, backup)) {
        *error = QStringLiteral("无法建立备份文件：") + backup + QStringLiteral("，图片未保存。");
        return false;
    }
    return write(picture, path, error);
}
