#include "screentools/ui/MyLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

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
