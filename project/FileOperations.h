#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QString>

// File operations of the project tree's context menu, and the one way every file the program
// writes reaches the disk (writeWhole).
class FileOperations
{
public:
    enum class Creation { Created, AlreadyExists };

    // Creates an empty file; an existing file is never touched.
    static Result<Creation> createEmptyFile(const QString &path);
    // Creates a directory with any missing parents.
    static Result<Creation> createDirectory(const QString &path);
    // Writes a whole file aside and renames it into place, so a failure (full disk, a crash)
    // never leaves half a file; an existing file stays as it was.
    static Status writeWhole(const QString &path, const char *data, qint64 size);
    static Status writeWhole(const QString &path, const QByteArray &bytes);
    // Deletes what a plain listing shows (hidden entries stay), depth first, then the directory
    // itself when it became empty. Symbolic links are removed as links, never followed.
    static void deleteTree(const QString &path);
};
