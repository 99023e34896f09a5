#include "screentools/ShownPicture.h"

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

QImage ShownPicture::copy(const QRect &rect) const
{
    const QRect part = rect.intersected(this->rect());
    if (part.isEmpty())
        return QImage();
    // The same pixels in the image, copied, then turned: only the part is ever turned.
    const QRect source = transform().inverted().mapRect(QRectF(part)).toAlignedRect();
    const QImage piece = image.copy(source);
    return turns == 0 ? piece : piece.transformed(QTransform().rotate(90 * turns));
}
