#include "project/FileOperations.h"

#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>


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
