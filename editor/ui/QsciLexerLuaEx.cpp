#include "editor/ui/QsciLexerLuaEx.h"

#include "editor/ApiWords.h"

#include <QColor>

QsciLexerLuaEx::QsciLexerLuaEx(QObject *parent)
    : QsciLexerLua(parent)
{
    setColor(QColor(255, 0, 0), Preprocessor);
}

const char *QsciLexerLuaEx::blockEnd(int *) const
{
    return "end";
}

const char *QsciLexerLuaEx::blockStart(int *) const
{
    return ")";
}

const char *QsciLexerLuaEx::keywords(int set) const
{
    if (set == 3)
        return ApiWords::lexerWords();
    return QsciLexerLua::keywords(set);
}

QColor QsciLexerLuaEx::defaultColor(int style) const
{
    switch (style) {
    case Number:
        return QColor(163, 50, 67);
    case Keyword:
        return QColor(0, 0, 255);
    case String:
    case Character:
    case LiteralString:
        return QColor(255, 0, 255);
    case StringTableMathsFunctions:
        return QColor(255, 0, 0);
    default:
        return QsciLexerLua::defaultColor(style);
    }
}

QColor QsciLexerLuaEx::defaultPaper(int style) const
{
    switch (style) {
    case BasicFunctions:
    case StringTableMathsFunctions:
    case CoroutinesIOSystemFacilities:
        return QColor(255, 255, 255);
    default:
        return QsciLexerLua::defaultPaper(style);
    }
}
