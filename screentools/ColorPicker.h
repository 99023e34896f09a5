#pragma once

#include "screentools/ColorCode.h"
#include "screentools/ShownPicture.h"

#include <QImage>
#include <QString>

#include <optional>

// What the colour readout, the magnifier and a colour buffer row show for one position of a
// picture. The picture is read as shown: one picture pixel per screen pixel, after any turning. Nothing outside the picture is ever read: a position off it reads
// as no colour and the magnifier shows kOutsideColor there.
class ColorPicker
{
public:
    // The cross through the pointer's pixel; drawn on an opaque square it shows as #00A2E8.
    static constexpr QRgb kCrossColor = 0x6000A2E8;
    // Magnifier cells that lie beyond the picture: a neutral grey.
    static constexpr QRgb kOutsideColor = 0xFF808080;
    static constexpr int kSquareSide = 11;     // pixels around the pointer, the pointer's included
    static constexpr int kMagnifierSide = 120; // the square as shown, stretched

    // One row of texts: the readout's or a colour buffer's.
    struct Texts
    {
        QString position, color, red, green, blue;
        bool operator==(const Texts &o) const
        {
            return position == o.position && color == o.color && red == o.red && green == o.green && blue == o.blue;
        }
    };

    struct Readout
    {
        Texts texts;
        QImage swatch;    // 1 x 1, the pixel's colour; null off the picture
        QImage magnifier; // kMagnifierSide x kMagnifierSide
    };

    struct BufferRow
    {
        Texts texts;   // all empty for a cleared row
        QImage swatch; // null for a cleared row
        // The picked pixel where the device has it (the picture not turned); none for a cleared
        // row. Its row number is the caller's.
        std::optional<ColorPoint> point;
    };

    // The pointer at (x, y) of the picture: texts, swatch and magnifier. Positions, here and in
    // the buffers, are where the device has the pixel (the picture not turned): what the author
    // writes into a script and what the generated code says.
    static Readout readout(const ShownPicture &picture, int x, int y);
    // The 11 x 11 square around (x, y) with the cross, before stretching.
    static QImage magnifierSquare(const ShownPicture &picture, int x, int y);
    // A colour buffer filled from (x, y); column 0, row 0 and positions off the picture clear it.
    static BufferRow bufferRow(const ShownPicture &picture, int x, int y);
    // The readout texts once the pointer has left the picture.
    static Texts leftTexts();
    // "0x%06X" of a 24-bit colour value.
    static QString colorText(QRgb value);

private:
    static QString positionText(const ShownPicture &picture, int x, int y);
    static Texts pixelTexts(const ShownPicture &picture, int x, int y, QRgb value);
    static QImage swatchOf(QRgb value);
};
