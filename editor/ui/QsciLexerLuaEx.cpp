#include "editor/ui/QsciLexerLuaEx.h"

#include "api/ApiModel.h"
#include "editor/CompletionList.h"
#include "editor/LexerWords.h"

#include <Qsci/qsciapis.h>

#include <QColor>
#include <QCoreApplication>
#include <QPointer>

namespace {

bool apisReady = false;

} // namespace

QsciLexerLuaEx::QsciLexerLuaEx(QObject *parent, Detached)
    : QsciLexerLua(parent)
{
    setColor(QColor(255, 0, 0), Preprocessor);
}

QsciLexerLuaEx::QsciLexerLuaEx(QObject *parent)
    : QsciLexerLuaEx(parent, Detached{})
{
    setAPIs(sharedApis());
}

QsciAPIs *QsciLexerLuaEx::sharedApis()
{
    // QsciAPIs needs a lexer of its own: one that no editor uses, so that closing editors never
    // takes the list with it.
    static QPointer<QsciAPIs> apis;
    if (!apis) {
        auto *owner = new QsciLexerLuaEx(QCoreApplication::instance(), Detached{});
        apis = new QsciAPIs(owner);
        apisReady = false;
        QObject::connect(apis, &QsciAPIs::apiPreparationFinished, [] { apisReady = true; });
        for (const QString &line : CompletionList::entries(ApiModel::standard()))
            apis->add(line);
        apis->prepare();
    }
    return apis;
}

bool QsciLexerLuaEx::sharedApisReady()
{
    return apisReady;
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
    static const QByteArray sets[] = {
        LexerWords::forSet(ApiModel::standard(), 1), LexerWords::forSet(ApiModel::standard(), 2),
        LexerWords::forSet(ApiModel::standard(), 3), LexerWords::forSet(ApiModel::standard(), 4)};
    if (set >= 1 && set <= 4)
        return sets[set - 1].constData();
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
