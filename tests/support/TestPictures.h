#pragma once

#include <QPixmap>

// Pictures whose every pixel tells its own position, so a test can see which pixels a
// screenshot or magnifier took.
class TestPictures
{
public:
    // x in bits 12-23, y in bits 0-11, opaque; x and y below 4096.
    static QRgb coded(int x, int y);
    static QPixmap codedPixmap(int width, int height);
    // image turned clockwise by quarter turns, pixel by pixel, as RGB32.
    static QImage turnedClockwise(const QImage &image, int quarterTurns);
    // The image as Qt writes it into a bitmap file.
    static QByteArray bitmapBytes(const QImage &image);
};
