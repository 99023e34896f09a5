#include "simulator/SimTestScene.h"

#include "simulator/SimTestPattern.h"

#include <QPainter>

namespace {
// Far apart in every channel, so that a colour read from the wrong frame never passes for the
// right one.
constexpr QRgb kPalette[] = {0x3050E0, 0xE04030, 0x30C060, 0xF0D020, 0x9030C0, 0x20C0D0, 0xF08020, 0x806040};
constexpr QRgb kBackground = 0x202428;
} // namespace

QRect SimTestScene::buttonRect(const QSize &size)
{
    return QRect(size.width() / 4, size.height() * 3 / 8, size.width() / 2, size.height() / 4);
}

QRgb SimTestScene::buttonColour(int taps)
{
    constexpr int count = int(sizeof kPalette / sizeof kPalette[0]);
    return kPalette[((taps % count) + count) % count];
}

QImage SimTestScene::render(const QSize &size, int buttonTaps, int taps, int lastKey)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    const int w = size.width(), h = size.height();
    painter.fillRect(buttonRect(size), QColor::fromRgb(buttonColour(buttonTaps)));
    SimTestPattern::drawText(painter, QRect(w / 8, h / 10, w * 3 / 4, h / 6), QString::number(taps));
    SimTestPattern::drawText(painter, QRect(w / 8, h * 3 / 4, w * 3 / 4, h / 6),
                             lastKey < 0 ? QString() : QString::number(lastKey));
    return image;
}
