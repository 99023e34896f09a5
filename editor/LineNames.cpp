#include "editor/LineNames.h"

#include <algorithm>

namespace {

bool isNameChar(QChar c)
{
    return c.unicode() < 0x80 && (c.isLetterOrNumber() || c == QLatin1Char('_'));
}

bool isAliasChar(QChar c)
{
    return c.unicode() >= 0x80 && c.isLetterOrNumber();
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(':');
}

// The run of characters around index that belong; its start in *from.
template <typename Belongs>
QString spread(const QString &line, int index, Belongs belongs, int *from = nullptr)
{
    index = std::clamp(index, 0, int(line.size()));
    int start = index;
    int end = index;
    while (start > 0 && belongs(line[start - 1]))
        --start;
    while (end < line.size() && belongs(line[end]))
        ++end;
    if (from)
        *from = start;
    return line.mid(start, end - start);
}

} // namespace

QString LineNames::nameAt(const QString &line, int index)
{
    return spread(line, index, isNameChar);
}

QString LineNames::aliasAt(const QString &line, int index)
{
    return spread(line, index, isAliasChar);
}

QString LineNames::dottedAround(const QString &line, int index)
{
    QString dotted = spread(line, index, [](QChar c) { return isNameChar(c) || c == QLatin1Char('.'); });
    while (dotted.startsWith(QLatin1Char('.')))
        dotted.remove(0, 1);
    while (dotted.endsWith(QLatin1Char('.')))
        dotted.chop(1);
    return dotted;
}

QString LineNames::qualifiedAt(const QString &line, int index)
{
    int start = 0;
    QString qualified = spread(line, index, isNameChar, &start);
    if (qualified.isEmpty() || qualified[0].isDigit())
        return QString();
    while (start > 1 && isSeparator(line[start - 1]) && isNameChar(line[start - 2])) {
        int before = 0;
        const QString name = spread(line, start - 2, isNameChar, &before);
        if (name[0].isDigit())
            break;
        qualified = name + QLatin1Char('.') + qualified;
        start = before;
    }
    return qualified;
}
