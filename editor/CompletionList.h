#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Word completion's entries and the rule that keeps it from swallowing typing.
class CompletionList
{
public:
    // The entries of a completion list file (UTF-8, one entry a line, blank lines ignored).
    // Lua keywords of up to four letters are left out: completing them saves next to nothing,
    // and a list opened over "then" or "end" only gets in the way of Enter.
    static QStringList entries(const QByteArray &file);
    static bool isLuaKeyword(const QString &word);
    // Whether a typed word is already complete while the list offers `offered`: it is that
    // entry itself (whose parameters or type mark are not part of the word), or a Lua keyword.
    static bool isComplete(const QString &word, const QString &offered);
};
