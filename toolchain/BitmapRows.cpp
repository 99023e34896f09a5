#include "toolchain/BitmapRows.h"

#include "toolchain/BinaryLayout.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

#include <cstring>

namespace {

// What the header of a bitmap file says, checked against the file's length.
struct BitmapLayout
{
    qint64 width = 0;
    qint64 height = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    qint64 pixelOffset = 0;
    qint64 stride = 0;
    bool raw = false; // 24 or 32 bits per pixel, uncompressed: copied byte for byte
};

// Rows are read, converted and given out about this many pixels at a time.
constexpr qint64 kStripPixels = 256 * 1024;

// head holds the first 54 bytes of the file (all of it when shorter), size is its length.
Status readBitmapLayout(const QByteArray &head, qint64 size, BitmapLayout *layout)
{
    const char *bytes = head.constData();
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return fail(QStringLiteral("缺少BM标记"));
    if (size < 26)
        return fail(QStringLiteral("文件头不完整"));
    const qint64 infoLength = qFromLittleEndian<quint32>(bytes + 14);
    quint32 compression = 0;
    if (infoLength == 12) {
        // The old core header: 16-bit sizes, never compressed.
        layout->width = qFromLittleEndian<quint16>(bytes + 18);
        layout->height = qFromLittleEndian<quint16>(bytes + 20);
        layout->bitsPerPixel = qFromLittleEndian<quint16>(bytes + 24);
    } else if (infoLength >= 40 && size >= 54) {
        layout->width = qFromLittleEndian<qint32>(bytes + 18);
        const qint64 height = qFromLittleEndian<qint32>(bytes + 22);
        layout->topDown = height < 0;
        layout->height = height < 0 ? -height : height;
        layout->bitsPerPixel = qFromLittleEndian<quint16>(bytes + 28);
        compression = qFromLittleEndian<quint32>(bytes + 30);
    } else {
        return fail(QStringLiteral("文件头不完整"));
    }
    if (layout->width <= 0 || layout->height <= 0)
        return fail(QStringLiteral("宽度或高度无效"));
    if (layout->width > MaxPayloadLength || layout->height > MaxPayloadLength
        || layout->width * layout->height * 3 > MaxPayloadLength)
        return fail(QStringLiteral("图像过大（%1×%2）").arg(layout->width).arg(layout->height));

    enum { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };
    const int bits = layout->bitsPerPixel;
    const bool rle = (bits == 8 && compression == Rle8) || (bits == 4 && compression == Rle4);
    const bool plain = compression == Rgb
        || ((bits == 16 || bits == 32) && (compression == BitFields || compression == AlphaBitFields));
    const bool knownDepth = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!knownDepth || !(plain || rle))
        return fail(QStringLiteral("不支持的位图格式（%1位，压缩方式%2）").arg(bits).arg(compression));
    layout->raw = infoLength >= 40 && plain && (bits == 24 || bits == 32);
    layout->pixelOffset = qFromLittleEndian<quint32>(bytes + 10);
    if (layout->pixelOffset >= size)
        return fail(QStringLiteral("像素数据超出文件末尾"));
    if (rle)
        return Status(); // the image reader checks the runs
    layout->stride = (layout->width * bits + 31) / 32 * 4;
    const qint64 end = layout->pixelOffset + layout->stride * (layout->height - 1) + (layout->width * bits + 7) / 8;
    if (end > size)
        return fail(QStringLiteral("像素数据超出文件末尾"));
    return Status();
}

Status readAt(QIODevice &file, qint64 offset, char *into, qint64 length)
{
    if (!file.seek(offset))
        return fail(file.errorString());
    for (qint64 done = 0; done < length;) {
        const qint64 got = file.read(into + done, length - done);
        if (got < 0)
            return fail(file.errorString());
        if (got == 0) // the file was cut meanwhile
            return fail(QStringLiteral("像素数据超出文件末尾"));
        done += got;
    }
    return Status();
}

Result<BitmapLayout> layoutOf(QIODevice &file)
{
    const qint64 size = file.size();
    QByteArray head(static_cast<int>(qMin<qint64>(size, 54)), Qt::Uninitialized);
    const Status read = readAt(file, 0, head.data(), head.size());
    if (!read)
        return fail(read.error());
    BitmapLayout layout;
    const Status parsed = readBitmapLayout(head, size, &layout);
    if (!parsed)
        return fail(parsed.error());
    return layout;
}

Status copyRawRows(QIODevice &file, const BitmapLayout &layout, const ByteSink &out)
{
    const qint64 pixelBytes = layout.bitsPerPixel / 8;
    // Whole rows a strip at a time; a row wider than a strip goes in segments.
    const qint64 segment = qMin(layout.width, kStripPixels);
    const qint64 rowsPerStrip = segment == layout.width ? qMax<qint64>(1, kStripPixels / layout.width) : 1;
    QByteArray stored;
    QByteArray rows;
    for (qint64 y0 = 0; y0 < layout.height; y0 += rowsPerStrip) {
        const qint64 count = qMin(rowsPerStrip, layout.height - y0);
        // The strip's rows lie together in the file, stored bottom-up unless the height was negative.
        const qint64 first = layout.topDown ? y0 : layout.height - y0 - count;
        for (qint64 x0 = 0; x0 < layout.width; x0 += segment) {
            const qint64 pixels = qMin(segment, layout.width - x0);
            stored.resize(static_cast<int>((count - 1) * layout.stride + pixels * pixelBytes));
            rows.resize(static_cast<int>(count * pixels * 3));
            const Status read = readAt(file, layout.pixelOffset + first * layout.stride + x0 * pixelBytes,
                                       stored.data(), stored.size());
            if (!read)
                return read;
            for (qint64 r = 0; r < count; ++r) {
                const qint64 row = layout.topDown ? y0 + r : layout.height - 1 - (y0 + r);
                const char *src = stored.constData() + (row - first) * layout.stride;
                char *dst = rows.data() + r * pixels * 3;
                if (pixelBytes == 3) {
                    std::memcpy(dst, src, static_cast<size_t>(pixels * 3));
                } else {
                    for (qint64 x = 0; x < pixels; ++x, src += 4, dst += 3) {
                        dst[0] = src[0];
                        dst[1] = src[1];
                        dst[2] = src[2];
                    }
                }
            }
            const Status sent = out(rows.constData(), rows.size());
            if (!sent)
                return sent;
        }
    }
    return Status();
}

Status decodeRows(QIODevice &file, const BitmapLayout &layout, const ByteSink &out)
{
    const qint64 size = file.size();
    if (size > BitmapRows::MaxFileLength)
        return fail(QStringLiteral("文件过大（%1字节）").arg(size));
    QImage image;
    {
        QByteArray bitmap(static_cast<int>(size), Qt::Uninitialized);
        const Status read = readAt(file, 0, bitmap.data(), size);
        if (!read)
            return read;
        if (!image.loadFromData(bitmap, "BMP") || image.width() != layout.width || image.height() != layout.height)
            return fail(QStringLiteral("无法解码该位图（%1位）").arg(layout.bitsPerPixel));
    }
    const qint64 rowsPerStrip = qMax<qint64>(1, kStripPixels / layout.width);
    QByteArray rows;
    for (qint64 y0 = 0; y0 < layout.height; y0 += rowsPerStrip) {
        const qint64 count = qMin(rowsPerStrip, layout.height - y0);
        const QImage strip = image.copy(0, static_cast<int>(y0), static_cast<int>(layout.width), static_cast<int>(count))
                                 .convertToFormat(QImage::Format_RGB888);
        rows.resize(static_cast<int>(count * layout.width * 3));
        for (qint64 r = 0; r < count; ++r) {
            const uchar *src = strip.constScanLine(static_cast<int>(r));
            char *dst = rows.data() + r * layout.width * 3;
            for (qint64 x = 0; x < layout.width; ++x, src += 3, dst += 3) {
                dst[0] = static_cast<char>(src[2]);
                dst[1] = static_cast<char>(src[1]);
                dst[2] = static_cast<char>(src[0]);
            }
        }
        const Status sent = out(rows.constData(), rows.size());
        if (!sent)
            return sent;
    }
    return Status();
}

} // namespace

Result<qint64> BitmapRows::imageDataLength(QIODevice &file)
{
    const Result<BitmapLayout> layout = layoutOf(file);
    if (!layout)
        return fail(layout.error());
    return ImageHeader::Length + layout->width * layout->height * 3;
}

Result<qint64> BitmapRows::writeRows(QIODevice &file, qint64 capacity, const ByteSink &out)
{
    const Result<BitmapLayout> layout = layoutOf(file);
    if (!layout)
        return fail(layout.error());
    const qint64 length = ImageHeader::Length + layout->width * layout->height * 3;
    if (length > capacity)
        return fail(QStringLiteral("图像过大（%1×%2）").arg(layout->width).arg(layout->height));
    char header[ImageHeader::Length];
    Layout::write(header, ImageHeader::width, static_cast<quint32>(layout->width));
    Layout::write(header, ImageHeader::height, static_cast<quint32>(layout->height));
    Layout::write(header, ImageHeader::depth, ImageHeader::Depth);
    Status written = out(header, ImageHeader::Length);
    if (written)
        written = layout->raw ? copyRawRows(file, *layout, out) : decodeRows(file, *layout, out);
    if (!written)
        return fail(written.error());
    return length;
}

Result<qint64> BitmapRows::imageDataLength(const QByteArray &bitmap)
{
    QBuffer file;
    file.setData(bitmap);
    file.open(QIODevice::ReadOnly);
    return imageDataLength(file);
}

Result<qint64> BitmapRows::bitmapToRows(const QByteArray &bitmap, char *out, qint64 capacity)
{
    QBuffer file;
    file.setData(bitmap);
    file.open(QIODevice::ReadOnly);
    char *at = out;
    return writeRows(file, capacity, [&at](const char *data, qint64 length) {
        std::memcpy(at, data, static_cast<size_t>(length));
        at += length;
        return Status();
    });
}

Result<QByteArray> BitmapRows::bitmapToRows(const QByteArray &bitmap)
{
    const Result<qint64> length = imageDataLength(bitmap);
    if (!length)
        return fail(length.error());
    QByteArray rows(static_cast<int>(*length), Qt::Uninitialized);
    const Result<qint64> written = bitmapToRows(bitmap, rows.data(), *length);
    if (!written)
        return fail(written.error());
    return rows;
}
