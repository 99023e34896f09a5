#pragma once

#include "common/Result.h"
#include "runner/DebugData.h"

#include <QVector>

struct lua_State;

// A paused script as its debugger reads it, on the script's thread: its frames through the
// coroutines that resumed each other, the values in them, and watch expressions evaluated in a
// frame. Values are read raw (LuaValueText) and lazily, a page of entries at a time; what a handle
// names is kept in the registry for as long as this lives, which is while the script stays
// paused.
class PausedScript
{
public:
    static constexpr int kPage = 200;
    static constexpr int kMaxFrames = 1000;

    // threads innermost first; L, the thread that paused, is read from stack level firstLevel.
    PausedScript(lua_State *L, const QVector<lua_State *> &threads, int firstLevel);
    ~PausedScript();
    PausedScript(const PausedScript &) = delete;
    PausedScript &operator=(const PausedScript &) = delete;

    const QVector<DebugFrame> &frames() const { return frameList; }
    int globals() const { return globalsHandle; }
    // What a handle names: a frame's locals (varargs as "...[1]") or upvalues, the globals the
    // script added (by name), a table's or userdata's metatable and entries (kPage of them, then a
    // "…" entry for the rest).
    QVector<DebugVariable> children(int handle);
    // An expression evaluated in a frame (an index into frames()): its names are the frame's
    // locals, then its upvalues, then the globals; it cannot assign them, its instructions are
    // limited, and what would act on the device is refused (RunSession::setWatching).
    Result<DebugVariable> evaluate(const QString &expression, int frame);

    // Before the project loads: the globals there are then are not the script's own.
    static void noteStartingGlobals(lua_State *L);

private:
    struct Place
    {
        lua_State *thread;
        int level;
    };
    struct Handle
    {
        enum Kind { Locals, Upvalues, Globals, Value } kind;
        int place = 0; // Locals, Upvalues
        int value = 0; // Value: its slot in the kept values
        int start = 0; // the first entry shown
    };

    int addHandle(const Handle &handle);
    // The value at index of L, under a name; a handle for its entries when it has any.
    DebugVariable describe(const QString &name, int index);
    DebugVariable more(int left, const Handle &next);
    void locals(int place, QVector<DebugVariable> *list);
    void upvalues(int place, QVector<DebugVariable> *list);
    void addedGlobals(int start, QVector<DebugVariable> *list);
    void entries(const Handle &handle, QVector<DebugVariable> *list);

    lua_State *const L;
    int kept = 0;     // registry reference of the table of kept values
    int keptCount = 0;
    QVector<Place> places;
    QVector<DebugFrame> frameList;
    QVector<Handle> handles;
    int globalsHandle = 0;
};
