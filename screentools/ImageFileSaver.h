#pragma once

#include "common/Result.h"

#include <QImage>
#include <QString>

// Writes pictures to files: screenshots and the image editor's saves. The picture is encoded in
// memory and written through the atomic writer, so a failed save never leaves half a file.
class ImageFileSaver
{
public:
    // Writes the picture as opaque 32-bit RGB, the format following the path's suffix
    // (".bmp": an uncompressed 24-bit Windows bitmap).
    static Status write(const QImage &picture, const QString &path);
    // <path>.备份
    static QString backupPath(const QString &path);
    // Copies the file to its backup unless a backup exists, so that the backup keeps the file
    // as it was before the first save; then writes the picture over the file. Without a
    // backup the file is left untouched.
    static Status saveWithBackup(const QImage &picture, const QString &path);
};
