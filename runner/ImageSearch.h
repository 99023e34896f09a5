#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <optional>

// Finds a picture (a cut of the screen kept in the project) on a frame. A pixel matches when
// each of its colour channels differs from the picture's by no more than the tolerance; the
// picture is found where every one of its pixels matches, but those of the background colour,
// which the irregular forms leave out. The search keeps to the region (the picture must lie
// wholly inside it) and goes row by row from the top left: the first place found is the one
// whose top-left corner comes first.
//
// Each place is tried with a few probe pixels first, the rarest colour of the picture among
// them, so that most places are left after one or two comparisons.
class ImageSearch
{
public:
    // The per-channel tolerance of a similarity from 0 to 100 (clamped): 100 is exact, 90
    // allows 25 of 255 in each channel.
    static int tolerance(int similarity);

    // picture: any format; frame: 32-bit RGB.
    static std::optional<QPoint> find(const QImage &frame, const QImage &picture, const QRect &region, int tolerance,
                                      std::optional<QRgb> background = std::nullopt);
};
