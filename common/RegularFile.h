#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QString>

class QFile;

// The one way files from projects and the disk are opened for reading: only regular files, so
// that a pipe or a device named like a project file is refused at once instead of blocking.
class RegularFile
{
public:
    static Status open(QFile &file, const QString &path);
    // A whole regular file of at most maxSize bytes.
    static Result<QByteArray> readWhole(const QString &path, qint64 maxSize);
};
