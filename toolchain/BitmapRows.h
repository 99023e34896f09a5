#pragma once

#include "common/Result.h"
#include "toolchain/BinaryLayout.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// The image entry data of a bitmap file: a 12-byte image header (width, height, 24), then the
// rows top to bottom, three bytes a pixel (blue, green, red), no row padding. 24- and 32-bit
// bitmaps are copied byte for byte (the fourth byte of a 32-bit pixel dropped) a strip of rows
// at a time, straight from the file; other depths and compressed bitmaps are decoded whole
// first. The bitmap is untrusted: its header is checked against its length, and the rows
// against the package's limit, before anything is written.
class BitmapRows
{
public:
    // A bitmap whose rows fit a package is never longer than this (32-bit pixels and padding).
    static constexpr qint64 MaxFileLength = 2 * MaxPayloadLength;

    // The length of the image entry data of the bitmap file open in `file`.
    static Result<qint64> imageDataLength(QIODevice &file);
    // Gives the image entry data to out a piece at a time, at most capacity bytes of it; returns
    // the bytes given. A failure of out ends it with out's failure.
    static Result<qint64> writeRows(QIODevice &file, qint64 capacity, const ByteSink &out);

    // The same for a bitmap file in memory.
    static Result<qint64> imageDataLength(const QByteArray &bitmap);
    static Result<qint64> bitmapToRows(const QByteArray &bitmap, char *out, qint64 capacity);
    static Result<QByteArray> bitmapToRows(const QByteArray &bitmap);
};
