#include "ScreencapDriver.h"

#include "screentools/ui/ScreencapViewControl.h"
#include "screentools/ui/screen.h"

#include <QApplication>
#include <QMouseEvent>

void ScreencapDriver::mouse(screen &dialog, QEvent::Type type, QPoint at)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, button, held, Qt::NoModifier);
    QApplication::sendEvent(dialog.view(), &event);
}

void ScreencapDriver::drag(screen &dialog, QPoint from, QPoint to)
{
    mouse(dialog, QEvent::MouseButtonPress, from);
    mouse(dialog, QEvent::MouseMove, (from + to) / 2);
    mouse(dialog, QEvent::MouseMove, to);
    mouse(dialog, QEvent::MouseButtonRelease, to);
}

void ScreencapDriver::capture(screen &dialog, QPoint from, QPoint to)
{
    drag(dialog, from, to);
    mouse(dialog, QEvent::MouseButtonDblClick, to);
}
