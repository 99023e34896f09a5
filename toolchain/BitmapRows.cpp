#include "toolchain/BitmapRows.h"

#include "toolchain/BinaryLayout.h"

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

Status readBitmapLayout(const QByteArray &bitmap, BitmapLayout *layout)
{
    const qint64 size = bitmap.size();
    const char *bytes = bitmap.constData();
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

void writeImageHeader(char *out, qint64 width, qint64 height)
{
    Layout::write(out, ImageHeader::width, static_cast<quint32>(width));
    Layout::write(out, ImageHeader::height, static_cast<quint32>(height));
    Layout::write(out, ImageHeader::depth, ImageHeader::Depth);
}

void copyRawRows(const QByteArray &bitmap, const BitmapLayout &layout, char *out)
{
    const int pixelBytes = layout.bitsPerPixel / 8;
    const qint64 rowBytes = layout.width * 3;
    for (qint64 y = 0; y < layout.height; ++y) {
        // Rows are stored bottom-up unless the height was negative.
        const qint64 stored = layout.topDown ? y : layout.height - 1 - y;
        const char *src = bitmap.constData() + layout.pixelOffset + stored * layout.stride;
        char *dst = out + y * rowBytes;
        if (pixelBytes == 3) {
            std::memcpy(dst, src, static_cast<size_t>(rowBytes));
        } else {
            for (qint64 x = 0; x < layout.width; ++x, src += 4, dst += 3) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
            }
        }
    }
}

Status decodeRows(const QByteArray &bitmap, const BitmapLayout &layout, char *out)
{
    QImage image;
    if (!image.loadFromData(bitmap, "BMP") || image.width() != layout.width || image.height() != layout.height)
        return fail(QStringLiteral("无法解码该位图（%1位）").arg(layout.bitsPerPixel));
    image = image.convertToFormat(QImage::Format_RGB888);
    for (qint64 y = 0; y < layout.height; ++y) {
        const uchar *src = image.constScanLine(static_cast<int>(y));
        char *dst = out + y * layout.width * 3;
        for (qint64 x = 0; x < layout.width; ++x, src += 3, dst += 3) {
            dst[0] = static_cast<char>(src[2]);
            dst[1] = static_cast<char>(src[1]);
            dst[2] = static_cast<char>(src[0]);
        }
    }
    return Status();
}

} // namespace

Result<qint64> BitmapRows::imageDataLength(const QByteArray &bitmap)
{
    BitmapLayout layout;
    const Status read = readBitmapLayout(bitmap, &layout);
    if (!read)
        return fail(read.error());
    return ImageHeader::Length + layout.width * layout.height * 3;
}

Result<qint64> BitmapRows::bitmapToRows(const QByteArray &bitmap, char *out, qint64 capacity)
{
    BitmapLayout layout;
    const Status read = readBitmapLayout(bitmap, &layout);
    if (!read)
        return fail(read.error());
    const qint64 length = ImageHeader::Length + layout.width * layout.height * 3;
    if (length > capacity)
        return fail(QStringLiteral("图像过大（%1×%2）").arg(layout.width).arg(layout.height));
    writeImageHeader(out, layout.width, layout.height);
    if (layout.raw) {
        copyRawRows(bitmap, layout, out + ImageHeader::Length);
    } else {
        const Status decoded = decodeRows(bitmap, layout, out + ImageHeader::Length);
        if (!decoded)
            return fail(decoded.error());
    }
    return length;
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
