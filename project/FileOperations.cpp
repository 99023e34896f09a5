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

bool FileOperations::isAtOrUnder(const QString &path, const QString &directory)
{
    return path == directory || path.startsWith(directory + QLatin1Char('/'));
}

QString FileOperations::pathAfterMove(const QString &path, const QString &from, const QString &to)
{
    return isAtOrUnder(path, from) ? to + path.mid(from.size()) : QString();
}

Result<FileOperations::Creation> FileOperations::move(const QString &from, const QString &to)
{
    const QFileInfo source(from);
    const QFileInfo target(to);
    if (!source.exists() && !source.isSymLink())
        return fail(QStringLiteral("“%1”已不存在").arg(source.fileName()));
    const QString sourcePath = QDir::cleanPath(source.absoluteFilePath());
    const QString targetPath = QDir::cleanPath(target.absoluteFilePath());
    if (targetPath.startsWith(sourcePath + QLatin1Char('/')))
        return fail(QStringLiteral("不能把目录移动到它自己里面"));
    // On a file system that ignores case, a new case of the same name finds the entry itself.
    const bool sameEntry = target.exists() && source.canonicalFilePath() == target.canonicalFilePath();
    if ((target.exists() || target.isSymLink()) && !sameEntry)
        return Creation::AlreadyExists;
    if (!QDir().rename(sourcePath, targetPath))
        return fail(QStringLiteral("无法移动“%1”").arg(QDir::toNativeSeparators(sourcePath)));
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
