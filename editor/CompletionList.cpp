#include "editor/CompletionList.h"

#include <QSet>

bool CompletionList::isLuaKeyword(const QString &word)
{
    static const QSet<QString> keywords = {
        "and", "break", "do", "else", "elseif", "end", "false", "for", "function", "goto", "if",
        "in", "local", "nil", "not", "or", "repeat", "return", "then", "true", "until", "while"};
    return keywords.contains(word);
}

QStringList CompletionList::entries(const QByteArray &file)
{
    QStringList kept;
    for (const QString &line : QString::fromUtf8(file).split(QLatin1Char('\n'))) {
        const QString entry = line.trimmed();
        if (entry.isEmpty() || (entry.size() <= 4 && isLuaKeyword(entry)))
            continue;
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
