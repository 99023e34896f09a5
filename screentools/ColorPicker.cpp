#include "screentools/ColorPicker.h"

#include <cstring>

namespace {

const QString kNone = QStringLiteral("(无)");

bool onPicture(const ShownPicture &picture, int x, int y)
{
    return picture.rect().contains(x, y);
}

// The square's left or top edge: five pixels before the pointer, never before the picture.
int squareStart(int v)
{
    return v > 4 ? v - 5 : 0;
}

} // namespace

QString ColorPicker::colorText(QRgb value)
{
    return QString::asprintf("0x%06X", value & 0xFFFFFFu);
}

QString ColorPicker::positionText(const ShownPicture &picture, int x, int y)
{
    const QPoint device = picture.sourcePosition(QPoint(x, y));
    return QString::asprintf("%d,%d", device.x(), device.y());
}

ColorPicker::Texts ColorPicker::pixelTexts(const ShownPicture &picture, int x, int y, QRgb value)
{
    value &= 0xFFFFFFu;
    return Texts{positionText(picture, x, y), colorText(value), QString::number(value >> 16),
                 QString::number((value >> 8) & 0xFF), QString::number(value & 0xFF)};
}

QImage ColorPicker::swatchOf(QRgb value)
{
    QImage swatch(1, 1, QImage::Format_RGB32);
    swatch.setPixel(0, 0, value);
    return swatch;
}

ColorPicker::Texts ColorPicker::leftTexts()
{
    return Texts{QStringLiteral("(脱离远程屏幕)"), kNone, kNone, kNone, kNone};
}

QImage ColorPicker::magnifierSquare(const ShownPicture &picture, int x, int y)
{
    const int left = squareStart(x);
    const int top = squareStart(y);
    QImage square(kSquareSide, kSquareSide, QImage::Format_RGB32);
    square.fill(kOutsideColor);
    // Only the part of the square that lies on the picture is grabbed.
    const QRect grabbed = QRect(left, top, kSquareSide, kSquareSide).intersected(picture.rect());
    if (!grabbed.isEmpty()) {
        const QImage part = picture.copy(grabbed).convertToFormat(QImage::Format_RGB32);
        const int dx = grabbed.x() - left;
        for (int row = 0; row < part.height(); ++row) {
            std::memcpy(reinterpret_cast<QRgb *>(square.scanLine(grabbed.y() - top + row)) + dx,
                        part.constScanLine(row), size_t(part.width()) * sizeof(QRgb));
        }
    }
    // The pointer's pixel in the square; a pointer left of or above the picture has no column
    // or row in it, and that line of the cross is left out.
    const int cx = qMin(x, 5);
    const int cy = qMin(y, 5);
    for (int i = 0; i < kSquareSide; ++i) {
        if (cx >= 0)
            square.setPixel(cx, i, kCrossColor);
        if (cy >= 0)
            square.setPixel(i, cy, kCrossColor);
    }
    return square;
}

ColorPicker::Readout ColorPicker::readout(const ShownPicture &picture, int x, int y)
{
    Readout result;
    const QImage square = magnifierSquare(picture, x, y);
    if (onPicture(picture, x, y)) {
        // The pointer's pixel, read before the cross covered it in the square.
        const QRgb value = picture.copy(QRect(x, y, 1, 1)).pixel(0, 0) & 0xFFFFFFu;
        result.texts = pixelTexts(picture, x, y, value);
        result.swatch = swatchOf(value);
    } else {
        result.texts = Texts{positionText(picture, x, y), kNone, kNone, kNone, kNone};
    }
    result.magnifier = square.scaled(kMagnifierSide, kMagnifierSide, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return result;
}

ColorPicker::BufferRow ColorPicker::bufferRow(const ShownPicture &picture, int x, int y)
{
    BufferRow row;
    if (x > 0 && y > 0 && onPicture(picture, x, y)) {
        const QRgb value = picture.copy(QRect(x, y, 1, 1)).pixel(0, 0) & 0xFFFFFFu;
        row.texts = pixelTexts(picture, x, y, value);
        row.swatch = swatchOf(value);
        row.point = ColorPoint{0, picture.sourcePosition(QPoint(x, y)), value};
    }
    return row;
}
