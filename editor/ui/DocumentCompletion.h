#pragma once

#include "editor/ScriptWords.h"

#include <Qsci/qsciabstractapis.h>

// The completion list of one editor: the API's entries from the list all editors share, and the
// words of the script as its last analysis found them. The editor's own search of the whole
// text for words, on every key typed, is what made typing slow in large scripts.
class DocumentCompletion : public QsciAbstractAPIs
{
    Q_OBJECT

public:
    DocumentCompletion(QsciLexer *lexer, QsciAbstractAPIs *shared);

    void swapWords(ScriptWords &words) { std::swap(scriptWords, words); }

    void updateAutoCompletionList(const QStringList &context, QStringList &list) override;
    void autoCompletionSelected(const QString &selection) override;
    QStringList callTips(const QStringList &context, int commas, QsciScintilla::CallTipsStyle style,
                         QList<int> &shifts) override;

private:
    QsciAbstractAPIs *shared;
    ScriptWords scriptWords;
};
