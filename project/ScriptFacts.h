#pragma once

#include <QHash>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

#include <climits>

// What one script defines and uses, as its compiled code shows it (the toolchain's ChunkFacts
// reads it from the unstripped compile): the functions it names, with the lines they span; its
// local variables with the lines they are in scope; the global names it assigns and reads, and
// its calls of global functions, each with its line. The check of global names, the outline, go
// to definition and the list of uses all work from these facts, never from the text itself.
//
// A global name is a global variable ("step"), or a field of a global table written with a
// constant key ("Utils.find", "string.split"); "_G.x" assigns the global "x".
class ScriptFacts
{
public:
    struct Function
    {
        enum class Kind { Global, Local, Field };
        QString name;      // "step", "M.f" (also a method of M)
        Kind kind = Kind::Global;
        bool method = false; // its first parameter is self: shown "M:f"
        bool globalTable = false; // a field of a global table rather than of a local one
        int line = 0;      // of "function"
        int lastLine = 0;  // of its "end"
        int depth = 0;     // functions it is nested in
        QString shown() const;
    };
    // The lines of a function of the script, named or not; scope 0 is the script itself.
    struct Scope
    {
        int parent = -1;
        int line = 1;
        int lastLine = INT_MAX;
    };
    struct Local
    {
        QString name;
        int scope = 0;
        int line = 0;     // where it is declared
        int lastLine = 0; // the last line it is in scope
    };
    // A use of a name by its index in names(), in the order of the code.
    struct Use
    {
        int name = 0;
        int line = 0;
    };
    struct Call
    {
        int name = 0;
        int line = 0;
        int arguments = 0;
    };

    // Every name the uses mention, once; its index.
    const QStringList &names() const { return nameList; }
    int nameIndex(const QString &name) const { return nameIds.value(name, -1); }
    int addName(const QString &name);

    QVector<Function> functions; // by line
    QVector<Scope> scopes;
    QVector<Local> locals;
    QVector<Use> reads;       // of global names
    QVector<Use> assignments; // to global names
    QVector<Call> calls;      // of global functions, with a known number of arguments

    // The lines where a global name is read, or assigned, in code order.
    QVector<int> readLines(const QString &name) const { return linesOf(reads, name); }
    QVector<int> assignedLines(const QString &name) const { return linesOf(assignments, name); }
    // The innermost named function whose lines hold line: its index in functions, or -1.
    int functionAt(int line) const;
    // Where the local variable a name means on a line is declared: the innermost declaration in
    // scope there; 0 when the name is no local there.
    int localDeclaration(const QString &name, int line) const;

    // The facts the project's other scripts need: functions, reads and assignments.
    ScriptFacts globalsOnly() const;

private:
    QVector<int> linesOf(const QVector<Use> &uses, const QString &name) const;

    QStringList nameList;
    QHash<QString, int> nameIds;
};

Q_DECLARE_METATYPE(ScriptFacts)
