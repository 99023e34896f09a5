#pragma once

#include <QRect>
#include <QSize>

// How a picture of device pixels is laid on a window: its scale is the count of picture pixels
// per window unit. At one device pixel per screen pixel that is the screen's pixel ratio; a
// picture fitted into a smaller area takes more per unit. Never fewer: a picture is not blown up
// into blurry screen pixels.
class PictureScale
{
public:
    // The scale of picture shown in area (window units) on a screen of ratio pixels per unit:
    // one device pixel per screen pixel, or, when fit is asked for and that does not fit, just
    // small enough to fit. An empty area or picture keeps one device pixel per screen pixel.
    static qreal of(const QSize &picture, const QSize &area, qreal ratio, bool fit);
    // The picture's size in window units at scale, never larger than it must be.
    static QSize shownSize(const QSize &picture, qreal scale);
    // The picture pixels that window units cover at scale: each unit touched counts whole,
    // kept on the picture.
    static QRect pixels(const QRect &units, qreal scale, const QSize &picture);
    // scale as the author reads it: percent of the picture's pixels that reach the screen's.
    static int percent(qreal scale, qreal ratio);
};
