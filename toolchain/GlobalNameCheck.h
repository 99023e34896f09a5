#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"
#include "project/ScriptFacts.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// The check of global names over the compiled scripts of one project. It walks each script's
// compiled code and finds every read of a global name (or of a field of one of Lua's library
// tables) that is neither Lua 5.2's, nor the runtime's API, nor assigned by any script of the
// project (the runtime runs them all in one global table), nor declared by the author in the
// project's ".kestrun-globals"; and every call of an API function with a fixed parameter list
// that passes another number of arguments. Findings are warnings: they never fail a build.
class GlobalNameCheck
{
public:
    // Reads the author's declarations from <projectDirectory>/.kestrun-globals, if any.
    explicit GlobalNameCheck(const QString &projectDirectory);

    // Adds one compiled script of the project: its path and its chunk as the stock dump writes
    // it with debug information (the line of each instruction), or what that chunk shows.
    void addScript(const QString &path, const QByteArray &unstrippedChunk);
    void addScript(const QString &path, const Result<ScriptFacts> &facts);

    // One warning per finding, by script path, then line; a finding in a script has its place
    // (the name, or the field of a library table, as its token).
    QVector<Diagnostic> warnings() const;
    // The line after the warnings: "共N个警告".
    static QString summary(int count);

private:
    struct Use
    {
        QString name;      // "x", or "string.x" for a field of a library table
        int line = 0;
        int arguments = -1; // calls: the number of arguments passed
    };
    struct Script
    {
        QString path;       // relative to the project directory
        QVector<Use> reads; // reads of names Lua and the runtime do not define
        QVector<Use> calls; // calls of API functions with a fixed parameter list
        QString problem;    // why the script could not be checked
    };

    QString projectDirectory;
    QVector<Script> scripts;
    QSet<QString> assigned; // globals, and library fields as "string.x", set by the scripts
    QSet<QString> declared;
    QString declarationsProblem;
};
