#pragma once

#include "device/FBInfo.h"
#include "device/FrameBuffer.h"

#include <QByteArray>
#include <QImage>

// Turns a picture into the bytes a device sends on the frame connection.
class SimFrameEncoder
{
public:
    // Pixel bytes of image at depth 16 (RGB565), 24 or 32 bits, each row padded to 4 bytes.
    // With channelOrder 0 or 24 red and blue go out exchanged (R, G, B, A at 32 bits; B, G, R
    // at 24), as the IDE exchanges them back; 16-bit pixels are never exchanged.
    static QByteArray pixels(const QImage &image, int depth, int channelOrder);
    // The record describing those pixels.
    static FBInfo describe(const QImage &image, int depth, int channelOrder, int dataSize);
    // A frame as the receiver hands it over: the pixels in a buffer of their own, described
    // in *info (channel order 0 unless given).
    static FrameBuffer frame(const QImage &image, int depth, FBInfo *info, int channelOrder = 0);
    // Header and 68-byte record of a frame message (command 6); the pixels follow.
    static QByteArray messageHead(const FBInfo &info, int screencapMode);

    // The send time a frame carries in reserved9 (low word) and reserved10 (high word):
    // microseconds of the steady clock, which the benchmark compares with its receive time.
    static void stamp(FBInfo *info);
    static qint64 stampOf(const FBInfo &info);
    static qint64 nowMicros();
};
