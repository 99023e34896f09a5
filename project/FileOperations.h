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
    // Deletes what a plain listing shows (hidden entries stay), depth first, then the directory
    // itself when it became empty. Symbolic links are removed as links, never followed.
    static void deleteTree(const QString &path);
};
