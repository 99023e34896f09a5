#include "screentools/ui/MyLabel.h"

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

void MyLabel::mousePressEvent(QMouseEvent *event)
{
    emit signal_mousePress(picturePixel(event->localPos().x()), picturePixel(event->localPos().y()));
}

void MyLabel::mouseReleaseEvent(QMouseEvent *event)
{
    emit signal_mouseRelease(picturePixel(event->localPos().x()), picturePixel(event->localPos().y()));
}

void MyLabel::mouseMoveEvent(QMouseEvent *event)
{
    emit signal_mouseMove(picturePixel(event->localPos().x()), picturePixel(event->localPos().y()));
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
        return;
    }
    QPainter painter(this);
    painter.scale(1 / scale, 1 / scale);
    painter.setTransform(picture.transform(), true);
    painter.drawImage(0, 0, picture.source());
}
