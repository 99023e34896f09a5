#pragma once

#include "screentools/ShownPicture.h"

#include <QLabel>

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

signals:
    void signal_mouseMove(int x, int y);
    void signal_mousePress(int x, int y);
    void signal_mouseRelease(int x, int y);
    void signal_mouseLeave();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int picturePixel(qreal labelUnits) const { return roundHalfUp(labelUnits * scale); }

    qreal scale = 1;
    ShownPicture picture;
};
