#pragma once

#include "screentools/ColorCode.h"

#include <QImage>
#include <QVector>

#include <cstdlib>
#include <optional>

// Picked colours against a picture: whether the buffered points still hold, and where a colour
// occurs. Pictures are read as the device delivers them (not turned), so positions are device
// positions. Alpha plays no part.
class ColorMatch
{
public:
    // How many hits are kept for marking; all are counted.
    static constexpr int kKeptHits = 1000;

    struct Verdict
    {
        bool onPicture = false; // the point lies on the picture; nothing else is set otherwise
        bool exact = false;
        bool close = false;     // every channel within the deviation
        QRgb current = 0;       // 24-bit
    };

    struct Hits
    {
        qint64 count = 0;
        QVector<QPoint> first; // the first kKeptHits (or fewer), row by row
    };

    // The picture's pixel at the point's position against the point's colour.
    static Verdict check(const QImage &picture, const ColorPoint &point, int deviation);
    // Every channel of a within deviation of b's.
    static bool close(QRgb a, QRgb b, int deviation)
    {
        return std::abs(qRed(a) - qRed(b)) <= deviation && std::abs(qGreen(a) - qGreen(b)) <= deviation
            && std::abs(qBlue(a) - qBlue(b)) <= deviation;
    }
    // Every pixel of exactly color within region (its part on the picture).
    static Hits findExact(const QImage &picture, QRgb color, const QRect &region, int kept = kKeptHits);
    // The first pixel within region, row by row, whose every channel is within deviation of
    // color's.
    static std::optional<QPoint> findFirst(const QImage &picture, QRgb color, int deviation, const QRect &region);
};
