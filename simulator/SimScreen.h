#pragma once

#include "device/FBInfo.h"
#include "simulator/SimOptions.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>

// What the simulated device's screen shows, as the bytes of a frame: the picture given with
// --image, the moving test pattern, or the still test scene. The device's input changes it:
// the pattern marks the point last pressed, the scene counts taps and shows the last key.
class SimScreen
{
public:
    SimScreen(const SimOptions &options, const QImage &picture);

    void press(const QPoint &point);
    // A press at point and its release.
    void tap(const QPoint &point);
    void key(int code);

    // The record of every frame: size, depth and pixel bytes do not change.
    FBInfo describe() const;
    // The pixels as the screen is now; the same bytes again while nothing changed.
    QByteArray capture();

private:
    QImage render() const;

    const SimOptions options;
    const QImage picture;
    QElapsedTimer clock;
    QByteArray pixels;
    qint64 renderedAt = -1;
    bool stale = true;
    QPoint pressed{-1, -1};
    int buttonTaps = 0;
    int taps = 0;
    int lastKey = -1;
};
