#pragma once

#include <QString>

// File operations of the project tree's context menu.
class FileOperations
{
public:
    enum class Result { Done, AlreadyExists, Failed };

    // Creates an empty file; an existing file is never touched.
    static Result createEmptyFile(const QString &path, QString *error = nullptr);
    // Creates a directory with any missing parents.
    static Result createDirectory(const QString &path, QString *error = nullptr);
    // Writes a whole file aside and renames it into place, so a failure (full disk, a crash)
    // never leaves half a file; an existing file stays as it was. False with the reason.
    static bool writeWhole(const QString &path, const char *data, qint64 size, QString *error = nullptr);
    static bool writeWhole(const QString &path, const QByteArray &bytes, QString *error = nullptr);
    // Deletes what a plain listing shows (hidden entries stay), depth first, then the directory
    // itself when it became empty. Symbolic links are removed as links, never followed.
    static void deleteTree(const QString &path);
};
