#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

// What a paused script shows its debugger: plain values copied out of the Lua state on the
// script's thread, for the interface and the debug adapter. Handles name what can be looked into
// further (a scope, a table); they hold while the script stays paused.

struct DebugVariable
{
    QString name;
    QString value;    // read raw, never through a metamethod; long strings cut, their length said
    QString type;     // Lua's name of the type
    int children = 0; // handle of what it holds, 0 when nothing

    // The row that ends a page of entries: what it holds is the next page.
    bool isMore() const { return type.isEmpty() && children != 0 && name == QStringLiteral("…"); }
};

struct DebugFrame
{
    QString function; // "helper", "main", "lib/a.lua:12" for a function without a name
    QString script;   // the script's path in the project ("lib/a.lua"); empty for C functions
    int line = 0;     // 0 when not known
    int locals = 0;   // handles, 0 for C functions
    int upvalues = 0;
};

struct DebugPause
{
    enum class Reason { Breakpoint, Step, Pause, Entry, Error };
    Reason reason = Reason::Pause;
    QString message;            // the error, for Error
    QVector<DebugFrame> frames; // innermost first, through the coroutines that resumed each other
    int globals = 0;            // handle of the globals the script added
};

Q_DECLARE_METATYPE(DebugPause)
