#pragma once

#include <QImage>
#include <QPoint>
#include <QTime>

class QPainter;

// The simulated device's screen: a moving background, colour bars, a clock and a mark on the
// point last touched. Drawn with rectangles and lines only, so no font or display is needed.
class SimTestPattern
{
public:
    // The eight bars, left to right: white, yellow, cyan, green, magenta, red, blue, black.
    static QRgb barColour(int bar);
    // The bar area: the middle band of the screen, split into eight equal columns.
    static QRect barsRect(const QSize &size);

    // elapsedMs moves the background and the bouncing block; touch is the last touched point,
    // or (-1, -1) when none.
    static QImage render(const QSize &size, qint64 elapsedMs, const QTime &clock, const QPoint &touch);

    // Digits (and the dots and colons between them) in white segments across area.
    static void drawText(QPainter &painter, const QRect &area, const QString &text);
};
