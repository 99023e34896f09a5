#include "editor/ui/DocumentCompletion.h"

#include <QSet>

DocumentCompletion::DocumentCompletion(QsciLexer *lexer, QsciAbstractAPIs *shared)
    : QsciAbstractAPIs(lexer)
    , shared(shared)
{
}

void DocumentCompletion::updateAutoCompletionList(const QStringList &context, QStringList &list)
{
    shared->updateAutoCompletionList(context, list);
    if (context.isEmpty() || context.last().isEmpty())
        return;
    // An entry of the API is offered once, with its parameters, not again as a bare word.
    QSet<QString> offered;
    for (const QString &entry : qAsConst(list)) {
        int end = 0;
        while (end < entry.size() && (entry[end].isLetterOrNumber() || entry[end] == QLatin1Char('_')))
            ++end;
        offered.insert(entry.left(end));
    }
    const QString after = context.size() > 1 ? context[context.size() - 2] : QString();
    for (const QString &word : scriptWords.startingWith(context.last(), after)) {
        if (!offered.contains(word))
            list << word;
    }
}

void DocumentCompletion::autoCompletionSelected(const QString &selection)
{
    shared->autoCompletionSelected(selection);
}

QStringList DocumentCompletion::callTips(const QStringList &context, int commas, QsciScintilla::CallTipsStyle style,
                                         QList<int> &shifts)
{
    return shared->callTips(context, commas, style, shifts);
}
