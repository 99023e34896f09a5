#pragma once

#include "screentools/ShownPicture.h"

#include <QLabel>
#include <QVector>

// A label that reports the mouse over it as signals, with the label-local position taken to
// the nearest whole pixel (a half goes up). The picture of the remote screen and of the image
// editor. On a scaled desktop a picture shown at one pixel per screen pixel has more pixels
// than the label has units: the position scale turns label units into picture pixels. Besides
// a pixmap, the label can show a picture that it draws turned at paint time, without a copy.
class MyLabel : public QLabel
{
    Q_OBJECT

public:
    explicit MyLabel(QWidget *parent = nullptr);

    // v to the nearest integer, a half going up (-0.5 gives 0, 10.5 gives 11).
    static int roundHalfUp(qreal v);

    // Picture pixels per label unit; 1 unless set.
    void setPositionScale(qreal scale) { this->scale = scale; }
    qreal positionScale() const { return scale; }

    // Shows picture at one picture pixel per screen pixel (by the position scale), in place of
    // the pixmap; a null picture shows the pixmap again. The label keeps a reference to the
    // picture's pixels: they must stay until the next picture is set.
    void setPicture(const ShownPicture &picture);
    // What the label shows: the picture, else its pixmap.
    ShownPicture shownPicture() const;
    // The part of a desktop region (global widget units) that lies on the picture, in pixels of
    // the picture as shown; empty when none does or the label is not on screen.
    QRect pictureRegion(const QRect &desktopRegion) const;

    // The next press, drag and release draw a region instead of being reported as a press and
    // a release; signal_regionDragged tells the result.
    void beginRegionDrag();
    void cancelRegionDrag();
    bool isDraggingRegion() const { return regionDrag != RegionDrag::Off; }
    // Marks over the picture, never into it: a small square around each pixel and the outline
    // of the region searched, both in image positions (not turned). Empty ones draw nothing.
    void setMarks(const QVector<QPoint> &pixels, const QRect &region);
    bool hasMarks() const { return !markedPixels.isEmpty() || !markedRegion.isEmpty(); }
    // Marks are left out while the desktop is grabbed.
    void setMarksShown(bool shown);

signals:
    void signal_mouseMove(int x, int y);
    void signal_mousePress(int x, int y);
    void signal_mouseRelease(int x, int y);
    void signal_mouseLeave();
    // A region drag ended: the region in pixels of the picture as shown, empty for a click.
    void signal_regionDragged(const QRect &region);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    enum class RegionDrag { Off, Armed, Dragging };

    int picturePixel(qreal labelUnits) const { return roundHalfUp(labelUnits * scale); }
    QPoint picturePoint(const QMouseEvent *event) const;
    void paintMarks(QPainter &painter) const;

    qreal scale = 1;
    ShownPicture picture;
    RegionDrag regionDrag = RegionDrag::Off;
    QPoint dragStart;
    QRect dragRegion; // as shown
    QVector<QPoint> markedPixels;
    QRect markedRegion;
    bool marksShown = true;
};
