#pragma once

#include "common/Result.h"

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QVector>

#include <optional>

// One filled colour buffer row: where its pixel lies on the device's screen (as the device
// delivers it, not turned) and the colour picked there.
struct ColorPoint
{
    int row = 0; // 1 … 6
    QPoint position;
    QRgb color = 0; // 24-bit RGB
    bool operator==(const ColorPoint &o) const
    {
        return row == o.row && position == o.position && color == o.color;
    }
};

// Script text for picked colours and cut images. It is written only with the calls the snippet
// menus write, so it means the same on every runtime version: getColor(x,y), getColorRGB(x,y),
// findColor(color,x1,y1,x2,y2), findColorFuzzy(color,degree,x1,y1,x2,y2) and
// findImageFuzzy(path,degree[,x1,y1,x2,y2]). Lines end in CR LF as the snippets' do. Regions
// are given by their first and last pixel, both inside.
class ColorCode
{
public:
    enum class Form {
        Exact,       // one if: getColor(x,y) == colour for every point
        Tolerant,    // one if: every channel of getColorRGB(x,y) within the deviation
        Region,      // findColor of the first point's colour around all points
        FuzzyRegion, // the same with findColorFuzzy and the degree
    };

    struct Options
    {
        Form form = Form::Exact;
        int deviation = 16; // per channel, for Tolerant
        int degree = 90;    // for FuzzyRegion and images
        int margin = 20;    // added around a region on every side
        QSize screen;       // regions stay on it; empty when not known
    };

    // The code for the points, in row order; empty text for no points.
    static QString generate(const QVector<ColorPoint> &points, const Options &options);
    // The line that looks for a cut image: over its region grown by the margin, or anywhere
    // when the region on the device's screen is not known.
    static QString findImageLine(const QString &relativePath, const std::optional<QRect> &region,
                                 const Options &options);

    // region grown by margin on every side, then kept on the screen (pixels 0 … width − 1,
    // 0 … height − 1); with no screen size, only kept off negative positions.
    static QRect grownRegion(const QRect &region, int margin, const QSize &screen);
    // "0xRRGGBB", six upper-case digits.
    static QString colorLiteral(QRgb color);
    // text as a Lua string literal, quotes included.
    static QString luaString(const QString &text);
    // The path of file as the device runtime resolves project files: relative to the project's
    // directory, with "/" between the parts. Fails for a file outside the project.
    static Result<QString> projectRelativePath(const QString &projectDirectory, const QString &file);
};
