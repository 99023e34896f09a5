#pragma once

#include <Qsci/qscilexerlua.h>

// The Lua lexer with the device runtime's API names (ApiWords) as its third keyword set (drawn
// red) and the colours authors know from the tutorials.
class QsciLexerLuaEx : public QsciLexerLua
{
    Q_OBJECT

public:
    explicit QsciLexerLuaEx(QObject *parent = nullptr);

    const char *blockEnd(int *style = nullptr) const override;
    const char *blockStart(int *style = nullptr) const override;
    const char *keywords(int set) const override;
    using QsciLexerLua::defaultColor;
    QColor defaultColor(int style) const override;
    using QsciLexerLua::defaultPaper;
    QColor defaultPaper(int style) const override;
};
