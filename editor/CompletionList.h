#pragma once

#include <QString>
#include <QStringList>

class ApiModel;

// Word completion's entries, made from the API model, and the rule that keeps it from
// swallowing typing.
class CompletionList
{
public:
    // The lines of the editor's completion list, in QScintilla's notation: every call form of
    // every entry and of its aliases, values by name, a table's field written "string:format(…)"
    // since ':' is what the Lua lexer separates completion words with (typing "string." still
    // offers "format"). Lua's reserved words of up to four letters are left out: completing them
    // saves next to nothing, and a list opened over "then" or "end" only gets in the way of Enter.
    static QStringList entries(const ApiModel &model);
    // Whether a typed word is already complete while the list offers `offered`: it is that entry
    // itself (whose parameters or type mark are not part of the word), or a reserved word.
    static bool isComplete(const QString &word, const QString &offered);

    // The runtime's Chinese aliases are no words to QScintilla's completion, which knows ASCII
    // only: the editor offers them itself. The run of Chinese text that ends textBeforeCaret.
    static QString aliasPrefix(const QString &textBeforeCaret);
    // The aliases that start with prefix, sorted; none when prefix is the one alias there is.
    static QStringList aliasesStartingWith(const ApiModel &model, const QString &prefix);
    // What choosing an alias writes in place of its prefix: the alias inside a string, else the
    // one way Lua 5.2 reaches a name that is not a Lua name, _G["触摸点击"].
    static QString aliasInsertion(const QString &alias, bool inString);
};
