#include "device/FrameImage.h"

#include <QtEndian>

QImage::Format FrameImage::format(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 16:
        return QImage::Format_RGB16;
    case 24:
        return QImage::Format_RGB888;
    default:
        return QImage::Format_ARGB32;
    }
}

int FrameImage::bytesPerPixel(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 16:
        return 2;
    case 24:
        return 3;
    default:
        return 4;
    }
}

qint64 FrameImage::requiredSize(const FBInfo &info)
{
    if (info.width < 0 || info.height < 0)
        return -1;
    const qint64 rowBytes = (qint64(info.width) * bytesPerPixel(info.bitsPerPixel) + 3) / 4 * 4;
    return rowBytes * info.height;
}

bool FrameImage::fits(const FBInfo &info)
{
    const qint64 required = requiredSize(info);
    return required >= 0 && required <= info.dataSize;
}

void FrameImage::exchangeRedBlue(uchar *buffer, const FBInfo &info)
{
    if (info.channelOrder != 0 && info.channelOrder != 24)
        return;
    const qint64 size = info.dataSize;
    if (info.bitsPerPixel == 24) {
        for (qint64 i = 0; i + 2 < size; i += 3)
            qSwap(buffer[i], buffer[i + 2]);
    } else if (info.bitsPerPixel == 32) {
        // R, G, B, A in memory becomes B, G, R, 0xFF: one 32-bit word at a time.
        for (qint64 i = 0; i + 3 < size; i += 4) {
            const quint32 rgba = qFromLittleEndian<quint32>(buffer + i);
            const quint32 bgra = 0xFF000000u | ((rgba & 0xFFu) << 16) | (rgba & 0xFF00u) | ((rgba >> 16) & 0xFFu);
            qToLittleEndian<quint32>(bgra, buffer + i);
        }
    }
}

QImage FrameImage::toImage(uchar *buffer, const FBInfo &info)
{
    if (!buffer || !fits(info))
        return QImage();
    exchangeRedBlue(buffer, info);
    if (info.width == 0 || info.height == 0)
        return QImage();
    return QImage(buffer, info.width, info.height, format(info.bitsPerPixel));
}
