#include "editor/CompletionList.h"

#include "api/ApiModel.h"

QStringList CompletionList::entries(const ApiModel &model)
{
    QStringList lines;
    for (const QString &keyword : model.keywords()) {
        if (keyword.size() > 4)
            lines << keyword;
    }
    for (const ApiEntry &entry : model.entries()) {
        const QString name = QString(entry.name).replace(QLatin1Char('.'), QLatin1Char(':'));
        if (entry.forms.isEmpty())
            lines << name;
        for (const CallForm &form : entry.forms)
            lines << name + QLatin1Char('(') + form.parameters + QLatin1Char(')');
        for (const QString &alias : entry.aliases) {
            if (entry.forms.isEmpty())
                lines << alias;
            for (const CallForm &form : entry.forms)
                lines << alias + QLatin1Char('(') + form.parameters + QLatin1Char(')');
        }
    }
    return lines;
}

bool CompletionList::isComplete(const QString &word, const QString &offered)
{
    if (ApiModel::builtIn().isKeyword(word))
        return true;
    int end = 0;
    while (end < offered.size() && offered[end] != QLatin1Char('(') && offered[end] != QLatin1Char(' ')
           && offered[end] != QLatin1Char('?'))
        ++end;
    return !word.isEmpty() && word == offered.left(end);
}

QString CompletionList::aliasPrefix(const QString &textBeforeCaret)
{
    int start = textBeforeCaret.size();
    while (start > 0 && textBeforeCaret[start - 1].unicode() >= 0x80 && textBeforeCaret[start - 1].isLetterOrNumber())
        --start;
    return textBeforeCaret.mid(start);
}

QStringList CompletionList::aliasesStartingWith(const ApiModel &model, const QString &prefix)
{
    QStringList aliases;
    if (prefix.isEmpty())
        return aliases;
    for (const ApiEntry &entry : model.entries()) {
        for (const QString &alias : entry.aliases) {
            if (alias.startsWith(prefix))
                aliases << alias;
        }
    }
    if (aliases == QStringList{prefix})
        return {};
    aliases.sort();
    return aliases;
}

QString CompletionList::aliasInsertion(const QString &alias, bool inString)
{
    return inString ? alias : QStringLiteral("_G[\"") + alias + QStringLiteral("\"]");
}
