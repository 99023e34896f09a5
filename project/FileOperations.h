#pragma once

#include "common/Result.h"

#include <QString>

// File operations of the project tree: its context menu, renaming and moving by dragging.
class FileOperations
{
public:
    enum class Creation { Created, AlreadyExists };

    // Creates an empty file; an existing file is never touched.
    static Result<Creation> createEmptyFile(const QString &path);
    // Creates a directory with any missing parents.
    static Result<Creation> createDirectory(const QString &path);
    // Renames or moves a file or directory to a path; AlreadyExists, and nothing done, when
    // something else is there (a change of case only is a rename). Never moves a directory
    // into itself.
    static Result<Creation> move(const QString &from, const QString &to);
    // Whether path is directory itself or lies inside it (clean paths, "/" separators).
    static bool isAtOrUnder(const QString &path, const QString &directory);
    // Where path is once from was moved to to (itself, or something inside a moved directory);
    // empty when the move did not take it along.
    static QString pathAfterMove(const QString &path, const QString &from, const QString &to);

    // Deletes what a plain listing shows (hidden entries stay), depth first, then the directory
    // itself when it became empty. Symbolic links are removed as links, never followed.
    static void deleteTree(const QString &path);
    // Moves a file or directory tree to the desktop's trash, which keeps a way back; where there
    // is no trash, deletes it as deleteTree does.
    static void moveToTrashOrDelete(const QString &path);
};
