#include "editor/CompletionList.h"

#include <QFile>
#include <QSet>

bool CompletionList::isLuaKeyword(const QString &word)
{
    static const QSet<QString> keywords = {
        "and", "break", "do", "else", "elseif", "end", "false", "for", "function", "goto", "if",
        "in", "local", "nil", "not", "or", "repeat", "return", "then", "true", "until", "while"};
    return keywords.contains(word);
}

QStringList CompletionList::read(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return {};
    QStringList entries;
    for (const QString &line : QString::fromUtf8(file.read(kMaxFileBytes)).split(QLatin1Char('\n'))) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty())
            entries.append(entry);
    }
    return entries;
}

QStringList CompletionList::offered(const QStringList &entries)
{
    QStringList kept;
    for (const QString &entry : entries) {
        if (!(entry.size() <= 4 && isLuaKeyword(entry)))
            kept << entry;
    }
    return kept;
}

bool CompletionList::isComplete(const QString &word, const QString &offered)
{
    if (isLuaKeyword(word))
        return true;
    int end = 0;
    while (end < offered.size() && offered[end] != QLatin1Char('(') && offered[end] != QLatin1Char(' ')
           && offered[end] != QLatin1Char('?'))
        ++end;
    return !word.isEmpty() && word == offered.left(end);
}
