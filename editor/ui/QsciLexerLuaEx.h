#pragma once

#include <Qsci/qscilexerlua.h>

class QsciAPIs;

// The Lua lexer with the word sets of the API model (the runtime's API in the third, drawn red),
// the colours authors know from the tutorials, and the one completion list all editors share.
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

    // The completion list of every editor: made from the API model and prepared (on a thread of
    // QScintilla's) once a run, when the first lexer is made; it lives as long as the application.
    static QsciAPIs *sharedApis();
    // Whether its preparation has finished; until then it offers nothing.
    static bool sharedApisReady();

private:
    struct Detached {};
    QsciLexerLuaEx(QObject *parent, Detached);
};
