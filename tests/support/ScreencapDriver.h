#pragma once

#include <QEvent>
#include <QPoint>

class screen;

// Drives a rectangle screenshot dialog with the mouse as an author does. Events go to the
// frozen picture, which passes them on to the dialog.
class ScreencapDriver
{
public:
    static void mouse(screen &dialog, QEvent::Type type, QPoint at);
    // Press, two moves, release.
    static void drag(screen &dialog, QPoint from, QPoint to);
    // Drag, then double-click at the end point.
    static void capture(screen &dialog, QPoint from, QPoint to);
};
