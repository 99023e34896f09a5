#pragma once

#include "device/FBInfo.h"

#include <QImage>

// Turns the pixel bytes of a screen frame into an image, without copying them.
class FrameImage
{
public:
    // Image format by depth: 16 RGB16, 24 RGB888, anything else ARGB32.
    static QImage::Format format(int bitsPerPixel);
    static int bytesPerPixel(int bitsPerPixel);
    // Bytes an image of the frame's size and depth reads, each row padded to 4 bytes; -1 for
    // a negative width or height.
    static qint64 requiredSize(const FBInfo &info);
    // True when dataSize covers the image the frame describes.
    static bool fits(const FBInfo &info);
    // Exchanges red and blue in place when channelOrder is 0 or 24 and the frame fits: 24 bits
    // swap bytes 0 and 2 of every pixel of every (padded) row, 32 bits swap them in every pixel
    // and set byte 3 to 0xFF. Other depths are left alone.
    static void exchangeRedBlue(uchar *buffer, const FBInfo &info);
    // Exchanges red and blue, then lays an image over buffer (info.dataSize bytes). A frame
    // that does not fit gives a null image and the buffer is left alone. The image is valid
    // for as long as the buffer is.
    static QImage toImage(uchar *buffer, const FBInfo &info);
    // The frame as an opaque 32-bit RGB picture of its own, the buffer left as it is; null for
    // a frame that does not fit or is empty.
    static QImage toPicture(const uchar *buffer, const FBInfo &info);
};
