#pragma once

#include <QImage>
#include <QRect>

// The still screen of `--scene test`, for scripts that tap and check: a button in the middle
// that takes the next colour of its palette on each tap, the count of taps above it and the
// last key code below it, on a plain background. Drawn with rectangles only.
class SimTestScene
{
public:
    static QRect buttonRect(const QSize &size);
    // The button's colour after that many taps on it (24-bit RGB).
    static QRgb buttonColour(int taps);
    static QImage render(const QSize &size, int buttonTaps, int taps, int lastKey);
};
