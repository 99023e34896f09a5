#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QString>

// The image entry data of a bitmap file: a 12-byte image header (width, height, 24), then the
// rows top to bottom, three bytes a pixel (blue, green, red), no row padding. 24- and 32-bit
// bitmaps are copied byte for byte (the fourth byte of a 32-bit pixel dropped); other depths
// and compressed bitmaps are decoded first. The bitmap is untrusted: its header is checked
// against its length, and the rows against the package's limit, before anything is written.
class BitmapRows
{
public:
    // The length of the image entry data.
    static Result<qint64> imageDataLength(const QByteArray &bitmap);
    // Writes the image entry data into out, which has room for capacity bytes; returns the
    // bytes written.
    static Result<qint64> bitmapToRows(const QByteArray &bitmap, char *out, qint64 capacity);
    static Result<QByteArray> bitmapToRows(const QByteArray &bitmap);
};
