#pragma once

#include <QString>

// The names a line of script holds at a column (an index in the line's characters, also just
// behind a name): what F1, hovering and F12 look up. Found in the text of the one line; what
// the names mean comes from the API model and the compiled code.
class LineNames
{
public:
    // A Lua name: ASCII letters, digits, underscores.
    static QString nameAt(const QString &line, int index);
    // A run of Chinese (non-ASCII) letters, as the runtime's aliases are written.
    static QString aliasAt(const QString &line, int index);
    // Names joined by dots around the column, both ways: "string.format" on either word.
    static QString dottedAround(const QString &line, int index);
    // The name at the column with the names before it joined by "." or ":" (taken as "."), up
    // to its own end: "M.f" on f, "M" on M of "M:f()".
    static QString qualifiedAt(const QString &line, int index);
};
