#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"
#include "project/ScriptFacts.h"
#include "toolchain/BytecodeReader.h"
#include "toolchain/ChunkFacts.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// The check of global names over the compiled scripts of one project. It walks each script's
// compiled code and finds every read of a global name (or of a field of one of Lua's library
// tables) that is neither Lua 5.2's, nor the runtime's API, nor assigned by any script of the
// project (the runtime runs them all in one global table), nor declared by the author in the
// project's ".kestrun-globals"; and every call of an API function with a fixed parameter list
// that passes another number of arguments. Findings are warnings: they never fail a build.
//
// Of each script it keeps only what may still turn out a finding once every script is known:
// the name, line and argument count of each such use, so a large project is checked in little
// memory.
class GlobalNameCheck
{
public:
    // Reads the author's declarations from <projectDirectory>/.kestrun-globals, if any.
    explicit GlobalNameCheck(const QString &projectDirectory);

    // Adds one compiled script of the project: its path and what its compiled code shows, or
    // why that could not be read.
    void addScript(const QString &path, const Result<ScriptFacts> &facts);
    // The same from the functions of its chunk as read with debug information (the line of each
    // instruction), or from a whole chunk as the stock dump writes it.
    void addScript(const QString &path, const Result<QVector<BytecodeReader::Function>> &functions)
    {
        addScript(path, ChunkFacts::of(functions));
    }
    void addScript(const QString &path, const QByteArray &unstrippedChunk)
    {
        addScript(path, ChunkFacts::read(unstrippedChunk));
    }

    // Gives each warning, by script path, then line, and returns how many there were; a
    // finding in a script has its place (the name, or the field of a library table, as its
    // token).
    int report(const std::function<void(const Diagnostic &warning)> &warn) const;
    QVector<Diagnostic> warnings() const;
    // The line after the warnings: "共N个警告".
    static QString summary(int count);

private:
    struct Use
    {
        int name = 0;       // in names: "x", or "string.x" for a field of a library table
        int line = 0;
        int arguments = -1; // calls: the number of arguments passed
    };
    struct Script
    {
        QString path;       // relative to the project directory
        QVector<Use> reads; // reads of names Lua and the runtime do not define
        QVector<Use> calls; // calls of API functions with another number of arguments than their list
        QString problem;    // why the script could not be checked
    };

    int nameId(const QString &name);
    // Whether the scripts added so far, or the author's declarations, define the name.
    bool definedByProject(const QString &name) const;

    QString projectDirectory;
    QVector<Script> scripts;
    QStringList names;
    QHash<QString, int> nameIds;
    QSet<QString> assigned; // globals, and library fields as "string.x", set by the scripts
    QSet<QString> declared;
    QString declarationsProblem;
};
