#include "screentools/PictureScale.h"

#include <QtMath>

#include <cmath>

namespace {

// Below rounding noise of a division: a side that fits exactly stays whole.
constexpr qreal kSlack = 1e-9;

} // namespace

qreal PictureScale::of(const QSize &picture, const QSize &area, qreal ratio, bool fit)
{
    if (!fit || picture.isEmpty() || area.isEmpty())
        return ratio;
    const qreal needed = qMax(qreal(picture.width()) / area.width(), qreal(picture.height()) / area.height());
    return qMax(ratio, needed);
}

QSize PictureScale::shownSize(const QSize &picture, qreal scale)
{
    return QSize(qCeil(picture.width() / scale - kSlack), qCeil(picture.height() / scale - kSlack));
}

QRect PictureScale::pixels(const QRect &units, qreal scale, const QSize &picture)
{
    if (units.isEmpty())
        return QRect();
    const QPoint first(int(std::floor(units.left() * scale + kSlack)), int(std::floor(units.top() * scale + kSlack)));
    const QPoint last(qCeil((units.right() + 1) * scale - kSlack) - 1, qCeil((units.bottom() + 1) * scale - kSlack) - 1);
    return QRect(first, last).intersected(QRect(QPoint(0, 0), picture));
}

int PictureScale::percent(qreal scale, qreal ratio)
{
    return qRound(100 * ratio / scale);
}
