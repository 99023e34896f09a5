#include "screentools/ShownPicture.h"

#include <cmath>

ShownPicture::ShownPicture(const QImage &image, int quarterTurns)
    : image(image), turns((quarterTurns % 4 + 4) % 4)
{
}

QSize ShownPicture::size() const
{
    return turns % 2 == 0 ? image.size() : image.size().transposed();
}

QTransform ShownPicture::transform() const
{
    // Written out rather than rotate(), which is exact only for some angles.
    const qreal w = image.width();
    const qreal h = image.height();
    switch (turns) {
    case 1:
        return QTransform(0, 1, -1, 0, h, 0); // (x, y) -> (h - y, x)
    case 2:
        return QTransform(-1, 0, 0, -1, w, h); // (x, y) -> (w - x, h - y)
    case 3:
        return QTransform(0, -1, 1, 0, 0, w); // (x, y) -> (y, w - x)
    default:
        return QTransform();
    }
}

QPoint ShownPicture::sourcePosition(const QPoint &shown) const
{
    // Through the pixel's centre, so that the turn lands on the pixel and not on a corner.
    const QPointF centre = transform().inverted().map(QPointF(shown) + QPointF(0.5, 0.5));
    return QPoint(int(std::floor(centre.x())), int(std::floor(centre.y())));
}

QRect ShownPicture::sourceRect(const QRect &shown) const
{
    return transform().inverted().mapRect(QRectF(shown)).toAlignedRect();
}

QImage ShownPicture::copy(const QRect &rect) const
{
    const QRect part = rect.intersected(this->rect());
    if (part.isEmpty())
        return QImage();
    // The same pixels in the image, copied, then turned: only the part is ever turned.
    const QImage piece = image.copy(sourceRect(part));
    return turns == 0 ? piece : piece.transformed(QTransform().rotate(90 * turns));
}
