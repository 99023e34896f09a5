#pragma once

#include <QImage>
#include <QRect>
#include <QTransform>

// A picture as a window shows it: an image turned clockwise by quarter turns, one image pixel to
// a shown pixel. The turn is made when the picture is drawn or read, never by copying the whole
// image. The image may lie over pixels that it does not own (a frame's buffer), so what copy()
// and toImage() return has pixels of its own.
class ShownPicture
{
public:
    ShownPicture() = default;
    // quarterTurns is taken modulo 4 (-1 is three turns).
    ShownPicture(const QImage &image, int quarterTurns);

    bool isNull() const { return image.isNull(); }
    // As shown: width and height exchanged by an odd number of turns.
    QSize size() const;
    QRect rect() const { return QRect(QPoint(0, 0), size()); }
    // The part of the picture as shown that lies in rect, turned.
    QImage copy(const QRect &rect) const;
    QImage toImage() const { return copy(rect()); }
    // Maps image positions to shown positions: what a painter applies to draw the image turned.
    QTransform transform() const;
    // The image pixel shown at pixel (x, y) of the picture as shown.
    QPoint sourcePosition(const QPoint &shown) const;
    // The image pixels shown in rect of the picture as shown.
    QRect sourceRect(const QRect &shown) const;
    const QImage &source() const { return image; }

private:
    QImage image;
    int turns = 0; // 0 … 3
};
