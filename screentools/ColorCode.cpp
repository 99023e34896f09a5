#include "screentools/ColorCode.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

const QString kEol = QStringLiteral("\r\n");
// The body of the snippet menus' "条件判断".
const QString kIfBody = QStringLiteral("\t--此处写入当条件成立时要执行的代码\r\n\r\nend\r\n");

QString xy(const QPoint &p)
{
    return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
}

QString corners(const QRect &r)
{
    return QStringLiteral("%1,%2,%3,%4").arg(r.left()).arg(r.top()).arg(r.right()).arg(r.bottom());
}

// One condition a line, so that a long test stays readable and each point can be dropped.
QString ifStatement(const QStringList &conditions)
{
    return QStringLiteral("if ") + conditions.join(kEol + QStringLiteral("\tand ")) + QStringLiteral(" then")
        + kEol + kIfBody;
}

QString exactTest(const QVector<ColorPoint> &points)
{
    QStringList conditions;
    for (const ColorPoint &p : points)
        conditions << QStringLiteral("getColor(%1) == %2").arg(xy(p.position), ColorCode::colorLiteral(p.color));
    return ifStatement(conditions);
}

// Plain Lua around getColorRGB rather than a fuzzy call, whose meaning of the degree differs
// between runtime versions.
QString tolerantTest(const QVector<ColorPoint> &points, int deviation)
{
    QString text;
    QStringList conditions;
    for (const ColorPoint &p : points) {
        const QString n = QString::number(p.row);
        text += QStringLiteral("local r%1,g%1,b%1 = getColorRGB(%2) -- %3").arg(n, xy(p.position),
                                                                              ColorCode::colorLiteral(p.color))
            + kEol;
        const int channels[3] = {int(qRed(p.color)), int(qGreen(p.color)), int(qBlue(p.color))};
        const char *names[3] = {"r", "g", "b"};
        QStringList parts;
        for (int c = 0; c < 3; ++c) {
            // A channel of 0 is written without "-0", as the author would.
            const QString difference = QString::fromLatin1(names[c]) + n
                + (channels[c] == 0 ? QString() : QStringLiteral("-%1").arg(channels[c]));
            parts << QStringLiteral("math.abs(%1) <= %2").arg(difference).arg(deviation);
        }
        conditions << parts.join(QStringLiteral(" and "));
    }
    return text + ifStatement(conditions);
}

QString regionSearch(const QVector<ColorPoint> &points, const ColorCode::Options &options)
{
    const ColorPoint &first = points.first();
    QRect box(first.position, QSize(1, 1));
    QString text;
    if (points.size() > 1) {
        text += QStringLiteral("-- 其余各点相对第%1点的偏移 {dx,dy,颜色}：").arg(first.row) + kEol
            + QStringLiteral("-- {") + kEol;
        for (const ColorPoint &p : points.mid(1)) {
            const QPoint d = p.position - first.position;
            text += QStringLiteral("--     {%1,%2,%3}, -- 第%4点")
                        .arg(d.x())
                        .arg(d.y())
                        .arg(ColorCode::colorLiteral(p.color))
                        .arg(p.row)
                + kEol;
            box |= QRect(p.position, QSize(1, 1));
        }
        text += QStringLiteral("-- }") + kEol;
    }
    const QString region = corners(ColorCode::grownRegion(box, options.margin, options.screen));
    const QString color = ColorCode::colorLiteral(first.color);
    if (options.form == ColorCode::Form::Region)
        return text + QStringLiteral("local x,y = findColor(%1,%2)").arg(color, region) + kEol;
    return text + QStringLiteral("local x,y = findColorFuzzy(%1,%2,%3)").arg(color).arg(options.degree).arg(region) + kEol;
}

} // namespace

QString ColorCode::generate(const QVector<ColorPoint> &points, const Options &options)
{
    if (points.isEmpty())
        return QString();
    switch (options.form) {
    case Form::Exact:
        return exactTest(points);
    case Form::Tolerant:
        return tolerantTest(points, options.deviation);
    case Form::Region:
    case Form::FuzzyRegion:
        return regionSearch(points, options);
    }
    return QString();
}

QString ColorCode::findImageLine(const QString &relativePath, const std::optional<QRect> &region,
                                 const Options &options)
{
    QString arguments = luaString(relativePath) + QLatin1Char(',') + QString::number(options.degree);
    if (region)
        arguments += QLatin1Char(',') + corners(grownRegion(*region, options.margin, options.screen));
    return QStringLiteral("local flag,x,y = findImageFuzzy(%1)").arg(arguments) + kEol;
}

QRect ColorCode::grownRegion(const QRect &region, int margin, const QSize &screen)
{
    QRect grown = region.adjusted(-margin, -margin, margin, margin);
    grown.setLeft(qMax(0, grown.left()));
    grown.setTop(qMax(0, grown.top()));
    if (!screen.isEmpty()) {
        grown.setRight(qMin(screen.width() - 1, grown.right()));
        grown.setBottom(qMin(screen.height() - 1, grown.bottom()));
    }
    return grown;
}

QString ColorCode::colorLiteral(QRgb color)
{
    return QString::asprintf("0x%06X", color & 0xFFFFFFu);
}

QString ColorCode::luaString(const QString &text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
            quoted += c;
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            quoted += QStringLiteral("\\%1").arg(c.unicode(), 3, 10, QLatin1Char('0'));
        } else {
            quoted += c;
        }
    }
    return quoted + QLatin1Char('"');
}

Result<QString> ColorCode::projectRelativePath(const QString &projectDirectory, const QString &file)
{
    const QString directory = QFileInfo(QDir::fromNativeSeparators(projectDirectory)).absoluteFilePath();
    const QString path = QFileInfo(QDir::fromNativeSeparators(file)).absoluteFilePath();
    const QString relative = QDir(directory).relativeFilePath(path);
    if (relative.isEmpty() || relative == QLatin1String(".") || relative == QLatin1String("..")
        || relative.startsWith(QLatin1String("../")) || QDir::isAbsolutePath(relative))
        return fail(QStringLiteral("文件不在工程目录中：") + file);
    return relative;
}
