#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Word completion's entries and the rule that keeps it from swallowing typing.
class CompletionList
{
public:
    // The entries of a completion list file (UTF-8, one a line): its non-blank lines, trimmed.
    // None when the file is missing, unreadable or larger than kMaxFileBytes.
    static QStringList read(const QString &path);
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
    // The entries the editor offers: Lua keywords of up to four letters are left out, since
    // completing them saves next to nothing and a list opened over "then" or "end" only gets in
    // the way of Enter.
    static QStringList offered(const QStringList &entries);
    static bool isLuaKeyword(const QString &word);
    // Whether a typed word is already complete while the list offers `offered`: it is that
    // entry itself (whose parameters or type mark are not part of the word), or a Lua keyword.
    static bool isComplete(const QString &word, const QString &offered);
};
