#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

class QFile;
class QIODevice;

// File operations of the project tree's context menu, the one way every file the program
// writes reaches the disk (writeWhole) and the one way project files are opened for reading
// (openRegular, readWhole).
class FileOperations
{
public:
    enum class Creation { Created, AlreadyExists };

    // Creates an empty file; an existing file is never touched.
    static Result<Creation> createEmptyFile(const QString &path);
    // Creates a directory with any missing parents.
    static Result<Creation> createDirectory(const QString &path);

    // A file written aside a piece at a time and put in place by commit(): every write is
    // checked, the data is synced before the rename, so a failure (full disk, a crash) never
    // leaves half a file: until commit() succeeds the old file is as it was, and a writer
    // destroyed uncommitted leaves nothing behind. Failures give the system's reason. A path that
    // is a symbolic link or not a regular file is refused, never written through.
    class AtomicFile
    {
    public:
        explicit AtomicFile(const QString &path);
        Status open();
        Status write(const char *data, qint64 size);
        Status commit();

    private:
        QSaveFile file;
    };

    // Writes all of data to an open device, a piece at a time, each write checked; a short write
    // is tried again, so that a full disk fails with its reason.
    static Status writeFully(QIODevice &device, const char *data, qint64 size);

    // A whole file through AtomicFile.
    static Status writeWhole(const QString &path, const char *data, qint64 size);
    static Status writeWhole(const QString &path, const QByteArray &bytes);

    // Opens a file for reading only when it is a regular file; a pipe or device is refused at
    // once instead of blocking the caller.
    static Status openRegular(QFile &file, const QString &path);
    // Reads a whole regular file of at most maxSize bytes.
    static Result<QByteArray> readWhole(const QString &path, qint64 maxSize);

    // Deletes what a plain listing shows (hidden entries stay), depth first, then the directory
    // itself when it became empty. Symbolic links are removed as links, never followed.
    static void deleteTree(const QString &path);
    // Moves a file or directory tree to the desktop's trash, which keeps a way back; where there
    // is no trash, deletes it as deleteTree does.
    static void moveToTrashOrDelete(const QString &path);
};
