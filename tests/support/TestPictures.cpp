#include "TestPictures.h"

#include <QBuffer>
#include <QImage>

QRgb TestPictures::coded(int x, int y)
{
    return 0xFF000000u | QRgb(x << 12) | QRgb(y);
}

QPixmap TestPictures::codedPixmap(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, coded(x, y));
    return QPixmap::fromImage(image);
}

QImage TestPictures::turnedClockwise(const QImage &image, int quarterTurns)
{
    QImage turned = image.convertToFormat(QImage::Format_RGB32);
    for (int q = 0; q < ((quarterTurns % 4) + 4) % 4; ++q) {
        QImage next(turned.height(), turned.width(), QImage::Format_RGB32);
        for (int y = 0; y < turned.height(); ++y) {
            for (int x = 0; x < turned.width(); ++x)
                next.setPixel(turned.height() - 1 - y, x, turned.pixel(x, y));
        }
        turned = next;
    }
    return turned;
}

QByteArray TestPictures::bitmapBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}
