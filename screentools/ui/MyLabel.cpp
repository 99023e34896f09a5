#include "screentools/ui/MyLabel.h"

#include "screentools/PictureScale.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

MyLabel::MyLabel(QWidget *parent)
    : QLabel(parent)
{
}

int MyLabel::roundHalfUp(qreal v)
{
    return int(std::floor(v + 0.5));
}

QPoint MyLabel::picturePoint(const QMouseEvent *event) const
{
    return QPoint(picturePixel(event->localPos().x()), picturePixel(event->localPos().y()));
}

void MyLabel::mousePressEvent(QMouseEvent *event)
{
    const QPoint at = picturePoint(event);
    if (regionDrag == RegionDrag::Armed) {
        regionDrag = RegionDrag::Dragging;
        dragStart = at;
        dragRegion = QRect();
        return;
    }
    if (regionDrag == RegionDrag::Dragging)
        return; // a second button during the drag
    emit signal_mousePress(at.x(), at.y());
}

void MyLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint at = picturePoint(event);
    if (regionDrag == RegionDrag::Dragging) {
        regionDrag = RegionDrag::Off;
        const QRect region = dragRegion;
        dragRegion = QRect();
        update();
        emit signal_regionDragged(region);
        return;
    }
    // Also a release whose press came before the drag was asked for: the device has that touch.
    emit signal_mouseRelease(at.x(), at.y());
}

void MyLabel::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = picturePoint(event);
    if (regionDrag == RegionDrag::Dragging) {
        // A press and release on one pixel is a click, not a region.
        dragRegion = at == dragStart ? QRect() : QRect(dragStart, at).normalized();
        update();
    }
    emit signal_mouseMove(at.x(), at.y());
}

void MyLabel::beginRegionDrag()
{
    regionDrag = RegionDrag::Armed;
}

void MyLabel::cancelRegionDrag()
{
    regionDrag = RegionDrag::Off;
    dragRegion = QRect();
    update();
}

void MyLabel::setMarks(const QVector<QPoint> &pixels, const QRect &region)
{
    if (pixels.isEmpty() && markedPixels.isEmpty() && region == markedRegion)
        return;
    markedPixels = pixels;
    markedRegion = region;
    update();
}

void MyLabel::setMarksShown(bool shown)
{
    marksShown = shown;
}

QRect MyLabel::pictureRegion(const QRect &desktopRegion) const
{
    if (!isVisible())
        return QRect();
    const QRect onLabel = QRect(mapFromGlobal(desktopRegion.topLeft()), desktopRegion.size())
                              .intersected(visibleRegion().boundingRect());
    if (onLabel.isEmpty())
        return QRect();
    const QSize shown = picture.isNull() ? pixmap(Qt::ReturnByValue).size() : picture.size();
    return PictureScale::pixels(onLabel, scale, shown);
}

// Keys are not the picture's business: they go on to the window, which forwards them.
void MyLabel::keyPressEvent(QKeyEvent *event)
{
    event->ignore();
}

void MyLabel::keyReleaseEvent(QKeyEvent *event)
{
    event->ignore();
}

void MyLabel::leaveEvent(QEvent *)
{
    emit signal_mouseLeave();
}

void MyLabel::setPicture(const ShownPicture &picture)
{
    this->picture = picture;
    update();
}

ShownPicture MyLabel::shownPicture() const
{
    return picture.isNull() ? ShownPicture(pixmap(Qt::ReturnByValue).toImage(), 0) : picture;
}

void MyLabel::paintEvent(QPaintEvent *event)
{
    if (picture.isNull()) {
        QLabel::paintEvent(event);
    } else {
        QPainter painter(this);
        // Made smaller than one pixel per screen pixel, the picture is smoothed rather than
        // losing whole rows and columns; what is read from it comes from its own pixels.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, scale > devicePixelRatioF());
        painter.scale(1 / scale, 1 / scale);
        painter.setTransform(picture.transform(), true);
        painter.drawImage(0, 0, picture.source());
    }
    if (!marksShown || (markedPixels.isEmpty() && markedRegion.isEmpty() && dragRegion.isEmpty()))
        return;
    QPainter painter(this);
    painter.scale(1 / scale, 1 / scale);
    paintMarks(painter);
}

void MyLabel::paintMarks(QPainter &painter) const
{
    // Outlines one pixel outside a region: drawRect covers x … x + width.
    const auto outline = [](const QRect &r) { return QRect(r.left() - 1, r.top() - 1, r.width() + 1, r.height() + 1); };
    QPen dashed(QColor(255, 0, 255), 0, Qt::DashLine); // cosmetic: one screen pixel whatever the scale
    if (!dragRegion.isEmpty()) {
        painter.setPen(dashed);
        painter.drawRect(outline(dragRegion));
    }
    // From here in image positions, turned as the picture is.
    painter.setTransform(picture.isNull() ? QTransform() : picture.transform(), true);
    if (!markedRegion.isEmpty()) {
        painter.setPen(dashed);
        painter.drawRect(outline(markedRegion));
    }
    if (markedPixels.isEmpty())
        return;
    // Two rings around each pixel, black and white, so that they show on any colour; the pixel
    // itself and the one around it stay visible.
    QVector<QRect> outer;
    QVector<QRect> inner;
    outer.reserve(markedPixels.size());
    inner.reserve(markedPixels.size());
    for (const QPoint &p : markedPixels) {
        outer.append(QRect(p.x() - 3, p.y() - 3, 6, 6));
        inner.append(QRect(p.x() - 2, p.y() - 2, 4, 4));
    }
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRects(outer);
    painter.setPen(QPen(Qt::white, 0));
    painter.drawRects(inner);
}
