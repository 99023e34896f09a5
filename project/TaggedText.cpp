#include "project/TaggedText.h"

namespace {

bool locate(const QString &text, const QString &tag, int *begin, int *end)
{
    const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString close = QStringLiteral("</") + tag + QLatin1Char('>');
    const int openAt = text.indexOf(open);
    const int closeAt = text.indexOf(close);
    if (openAt < 0 || closeAt < 0)
        return false;
    const int valueAt = openAt + open.size();
    if (closeAt < valueAt)
        return false;
    *begin = valueAt;
    *end = closeAt;
    return true;
}

} // namespace

QString TaggedText::value(const QString &text, const QString &tag)
{
    int begin = 0;
    int end = 0;
    if (!locate(text, tag, &begin, &end))
        return QString();
    return text.mid(begin, end - begin);
}

bool TaggedText::hasValue(const QString &text, const QString &tag)
{
    int begin = 0;
    int end = 0;
    return locate(text, tag, &begin, &end);
}
