#include "screentools/ColorMatch.h"

namespace {

// Counts and keeps the hits of one row of 32-bit pixels from left to right.
void scanRow(const quint32 *pixels, int from, int to, int y, quint32 color, int kept, ColorMatch::Hits &hits)
{
    for (int x = from; x < to; ++x) {
        if ((pixels[x] & 0xFFFFFFu) != color)
            continue;
        if (hits.first.size() < kept)
            hits.first.append(QPoint(x, y));
        ++hits.count;
    }
}

} // namespace

ColorMatch::Verdict ColorMatch::check(const QImage &picture, const ColorPoint &point, int deviation)
{
    Verdict verdict;
    if (!picture.rect().contains(point.position))
        return verdict;
    verdict.onPicture = true;
    verdict.current = picture.pixel(point.position) & 0xFFFFFFu;
    verdict.exact = verdict.current == (point.color & 0xFFFFFFu);
    verdict.close = close(verdict.current, point.color, deviation);
    return verdict;
}

ColorMatch::Hits ColorMatch::findExact(const QImage &picture, QRgb color, const QRect &region, int kept)
{
    Hits hits;
    const QRect area = region.intersected(picture.rect());
    if (area.isEmpty())
        return hits;
    color &= 0xFFFFFFu;
    const QImage::Format format = picture.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32) {
        // Straight over the picture's own words: no copy of a frame.
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const auto *row = reinterpret_cast<const quint32 *>(picture.constScanLine(y));
            scanRow(row, area.left(), area.right() + 1, y, color, kept, hits);
        }
        return hits;
    }
    // Other depths: the area as 32-bit words once, so that colours compare as they are shown.
    const QImage words = picture.copy(area).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < words.height(); ++y) {
        const auto *row = reinterpret_cast<const quint32 *>(words.constScanLine(y));
        const qsizetype before = hits.first.size();
        scanRow(row, 0, words.width(), area.top() + y, color, kept, hits);
        for (qsizetype i = before; i < hits.first.size(); ++i)
            hits.first[i].rx() += area.left();
    }
    return hits;
}

std::optional<QPoint> ColorMatch::findFirst(const QImage &picture, QRgb color, int deviation, const QRect &region)
{
    const QRect area = region.intersected(picture.rect());
    if (area.isEmpty())
        return std::nullopt;
    const QImage::Format format = picture.format();
    const bool words32 = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32;
    // Other depths: the area as 32-bit words once.
    const QImage words = words32 ? picture : picture.copy(area).convertToFormat(QImage::Format_RGB32);
    const QPoint origin = words32 ? QPoint() : area.topLeft();
    const QRect scan = area.translated(-origin);
    color &= 0xFFFFFFu;
    for (int y = scan.top(); y <= scan.bottom(); ++y) {
        const auto *row = reinterpret_cast<const quint32 *>(words.constScanLine(y));
        for (int x = scan.left(); x <= scan.right(); ++x) {
            if (deviation == 0 ? (row[x] & 0xFFFFFFu) == color : close(row[x], color, deviation))
                return QPoint(x, y) + origin;
        }
    }
    return std::nullopt;
}
