#pragma once

#include "common/Result.h"

#include <QImage>
#include <QString>

// Binarising a picture for image searches: pixels near a keep colour stay, all others become
// one fill colour.
class ImageBinarizer
{
public:
    struct Settings
    {
        QRgb keep = 0xFFFFFF; // 24-bit RGB
        QRgb fill = 0x000000; // 24-bit RGB
        int deviation = 0;    // per channel, inclusive, 0 … 255
    };

    // Reads the keep and fill colours (hexadecimal) and the allowed deviation (decimal) as the
    // author typed them. Fails with the message for the first that is not usable.
    static Result<Settings> parse(const QString &keep, const QString &fill, const QString &deviation);

    // In one pass over the pixel words: a pixel whose red, green and blue each lie within the
    // deviation of the keep colour's stays as it is; every other pixel becomes the fill colour,
    // opaque. Alpha plays no part in the comparison. The image becomes 32-bit ARGB if it is not
    // 32-bit already.
    static void binarizeImage(QImage &image, const Settings &settings);
};
