#include "runner/ImageSearch.h"

#include "screentools/ColorMatch.h"

#include <QHash>
#include <QVector>

#include <algorithm>

namespace {

struct Pixel
{
    int dx;
    int dy;
    QRgb color;
};

constexpr int kProbes = 8;

// The pixels that must match, and the probes tried first: the rarest colour, then pixels
// spread over the picture.
QVector<Pixel> pixelsToMatch(const QImage &picture, std::optional<QRgb> background, QVector<Pixel> *probes)
{
    QVector<Pixel> pixels;
    QHash<QRgb, int> counts;
    for (int y = 0; y < picture.height(); ++y) {
        const auto *row = reinterpret_cast<const quint32 *>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb color = row[x] & 0xFFFFFFu;
            if (background && color == (*background & 0xFFFFFFu))
                continue;
            pixels.append({x, y, color});
            ++counts[color];
        }
    }
    if (pixels.isEmpty())
        return pixels;
    const auto rarest = std::min_element(pixels.cbegin(), pixels.cend(), [&counts](const Pixel &a, const Pixel &b) {
        return counts.value(a.color) < counts.value(b.color);
    });
    probes->append(*rarest);
    for (int i = 1; i < kProbes && i < pixels.size(); ++i)
        probes->append(pixels[int(qint64(pixels.size() - 1) * i / (kProbes - 1))]);
    return pixels;
}

bool matches(const uchar *const *rows, int x, const QVector<Pixel> &pixels, int tolerance)
{
    for (const Pixel &p : pixels) {
        const QRgb seen = reinterpret_cast<const quint32 *>(rows[p.dy])[x + p.dx] & 0xFFFFFFu;
        if (tolerance == 0 ? seen != p.color : !ColorMatch::close(seen, p.color, tolerance))
            return false;
    }
    return true;
}

} // namespace

int ImageSearch::tolerance(int similarity)
{
    return (100 - qBound(0, similarity, 100)) * 255 / 100;
}

std::optional<QPoint> ImageSearch::find(const QImage &frame, const QImage &picture, const QRect &region, int tolerance,
                                        std::optional<QRgb> background)
{
    const QRect area = region.intersected(frame.rect());
    if (frame.isNull() || picture.isNull() || area.width() < picture.width() || area.height() < picture.height())
        return std::nullopt;
    const QImage words = picture.convertToFormat(QImage::Format_RGB32);
    const QImage screen = frame.format() == QImage::Format_RGB32 ? frame : frame.convertToFormat(QImage::Format_RGB32);
    QVector<Pixel> probes;
    const QVector<Pixel> pixels = pixelsToMatch(words, background, &probes);
    if (pixels.isEmpty())
        return area.topLeft(); // nothing but background matches anywhere
    QVector<const uchar *> rows(words.height());
    for (int y = area.top(); y + words.height() - 1 <= area.bottom(); ++y) {
        for (int dy = 0; dy < words.height(); ++dy)
            rows[dy] = screen.constScanLine(y + dy);
        for (int x = area.left(); x + words.width() - 1 <= area.right(); ++x) {
            if (matches(rows.constData(), x, probes, tolerance) && matches(rows.constData(), x, pixels, tolerance))
                return QPoint(x, y);
        }
    }
    return std::nullopt;
}
