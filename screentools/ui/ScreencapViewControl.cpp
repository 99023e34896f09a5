#include "screentools/ui/ScreencapViewControl.h"

#include <QPainter>

ScreencapViewControl::ScreencapViewControl(QWidget *parent)
    : QLabel(parent)
{
}

void ScreencapViewControl::resetSelection()
{
    sel.reset();
    update();
}

void ScreencapViewControl::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!sel.showsBorder())
        return;
    QPainter painter(this);
    painter.setPen(QPen(Qt::red, 1, Qt::DotLine, Qt::FlatCap, Qt::BevelJoin));
    painter.drawRect(sel.border());
}
