#include "simulator/SimTestPattern.h"

#include <QPainter>

namespace {

constexpr QRgb kBars[8] = {0xFFFFFFFF, 0xFFFFFF00, 0xFF00FFFF, 0xFF00FF00,
                           0xFFFF00FF, 0xFFFF0000, 0xFF0000FF, 0xFF000000};

// Segments a to g of the digits 0 to 9, one bit each (a = bit 0).
constexpr int kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void drawDigit(QPainter &painter, const QRect &cell, int digit)
{
    const int t = qMax(2, cell.width() / 6);
    const int w = cell.width(), h = cell.height(), half = h / 2;
    const QRect segments[7] = {
        {t, 0, w - 2 * t, t},                  // a: top
        {w - t, t, t, half - t},               // b: upper right
        {w - t, half, t, half - t},            // c: lower right
        {t, h - t, w - 2 * t, t},              // d: bottom
        {0, half, t, half - t},                // e: lower left
        {0, t, t, half - t},                   // f: upper left
        {t, half - t / 2, w - 2 * t, t},       // g: middle
    };
    for (int s = 0; s < 7; ++s) {
        if (kSegments[digit] & (1 << s))
            painter.fillRect(segments[s].translated(cell.topLeft()), Qt::white);
    }
}

} // namespace

void SimTestPattern::drawText(QPainter &painter, const QRect &area, const QString &text)
{
    const int cellWidth = area.width() / (text.size() + 1);
    const int cellHeight = qMin(area.height(), cellWidth * 2);
    int x = area.left() + cellWidth / 2;
    for (const QChar c : text) {
        const QRect cell(x, area.top(), cellWidth * 3 / 4, cellHeight);
        if (c.isDigit()) {
            drawDigit(painter, cell, c.digitValue());
        } else {
            const int dot = qMax(2, cellWidth / 6);
            const int cx = cell.center().x() - dot / 2;
            painter.fillRect(cx, cell.bottom() - dot, dot, dot, Qt::white);
            if (c == QLatin1Char(':'))
                painter.fillRect(cx, cell.top() + cellHeight / 3, dot, dot, Qt::white);
        }
        x += cellWidth;
    }
}

QRgb SimTestPattern::barColour(int bar)
{
    return kBars[bar];
}

QRect SimTestPattern::barsRect(const QSize &size)
{
    return QRect(0, size.height() * 2 / 5, size.width(), size.height() / 5);
}

QImage SimTestPattern::render(const QSize &size, qint64 elapsedMs, const QTime &clock, const QPoint &touch)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width(), h = size.height();

    // Background: a gradient that scrolls down by one screen every four seconds.
    const int shift = int(elapsedMs * h / 4000 % qMax(1, h));
    QLinearGradient gradient(0, shift - h, 0, shift);
    gradient.setSpread(QGradient::RepeatSpread);
    gradient.setColorAt(0, QColor(20, 40, 90));
    gradient.setColorAt(0.5, QColor(60, 110, 160));
    gradient.setColorAt(1, QColor(20, 40, 90));
    painter.fillRect(image.rect(), gradient);

    drawText(painter, QRect(0, h / 20, w, h / 8), clock.toString(QStringLiteral("HH:mm:ss.zzz")));

    const QRect bars = barsRect(size);
    for (int i = 0; i < 8; ++i) {
        const int left = bars.left() + bars.width() * i / 8;
        const int right = bars.left() + bars.width() * (i + 1) / 8;
        painter.fillRect(QRect(left, bars.top(), right - left, bars.height()), QColor::fromRgb(kBars[i]));
    }

    // A block bouncing left and right below the bars, once every two seconds.
    const int block = qMax(4, w / 10);
    const int travel = qMax(1, w - block);
    const int phase = int(elapsedMs * 2 * travel / 2000 % (2 * travel));
    const int x = phase < travel ? phase : 2 * travel - phase;
    painter.fillRect(QRect(x, h * 7 / 10, block, block), QColor(255, 160, 0));

    if (touch.x() >= 0 && touch.y() >= 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 0, 0), qMax(2, w / 240)));
        const int radius = qMax(6, w / 24);
        painter.drawEllipse(touch, radius, radius);
        painter.drawLine(touch.x() - 2 * radius, touch.y(), touch.x() + 2 * radius, touch.y());
        painter.drawLine(touch.x(), touch.y() - 2 * radius, touch.x(), touch.y() + 2 * radius);
    }
    return image;
}
