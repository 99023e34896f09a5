#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

class QIODevice;

// The one way every file the program writes reaches the disk. The file is written aside (a new
// file <path>.XXXXXX beside it) a piece at a time and put in place by commit(): every write is
// checked, the data is synced before the rename, so a failure (full disk, a crash) never leaves
// half a file: until commit() succeeds the old file is as it was, and a writer destroyed
// uncommitted leaves nothing behind. Failures give the system's reason. A path that is a
// symbolic link or not a regular file is refused, never written through. A file replaced keeps
// its permissions.
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    Status open();
    Status write(const char *data, qint64 size);
    // Before commit: reads back `length` bytes written from `offset` on, a piece at a time, and
    // writes each again as `change` leaves it: fields known only at the end, a stream encrypted
    // once its key is known. Pieces start at multiples of RewritePiece from offset.
    static constexpr qint64 RewritePiece = 1 << 20;
    Status rewrite(qint64 offset, qint64 length, const std::function<void(char *bytes, qint64 size)> &change);
    Status commit();

    // A whole file at once.
    static Status writeWhole(const QString &path, const char *data, qint64 size);
    static Status writeWhole(const QString &path, const QByteArray &bytes);

    // Writes all of data to an open device, a piece at a time, each write checked; a short write
    // is tried again, so that a full disk fails with its reason.
    static Status writeFully(QIODevice &device, const char *data, qint64 size);

private:
    void discard();

    QString path;
    QFile aside;
    qint64 written = 0;
};
