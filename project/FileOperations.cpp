#include "project/FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

Status FileOperations::writeWhole(const QString &path, const char *data, qint64 size)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data, size) == size && file.commit())
        return Status();
    return fail(file.errorString());
}

Status FileOperations::writeWhole(const QString &path, const QByteArray &bytes)
{
    return writeWhole(path, bytes.constData(), bytes.size());
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
