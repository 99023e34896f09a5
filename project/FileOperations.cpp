#include "project/FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

FileOperations::Result FileOperations::createEmptyFile(const QString &path, QString *error)
{
    if (QFileInfo::exists(path))
        return Result::AlreadyExists;
    QFile file(path);
    // NewOnly: a file that appears between the check and the open is not truncated.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error)
            *error = file.errorString();
        return Result::Failed;
    }
    return Result::Done;
}

FileOperations::Result FileOperations::createDirectory(const QString &path, QString *error)
{
    if (QFileInfo(path).isDir())
        return Result::AlreadyExists;
    if (!QDir().mkpath(path)) {
        if (error)
            *error = QStringLiteral("无法创建目录");
        return Result::Failed;
    }
    return Result::Done;
}

bool FileOperations::writeWhole(const QString &path, const char *data, qint64 size, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data, size) == size && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool FileOperations::writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    return writeWhole(path, bytes.constData(), bytes.size(), error);
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
