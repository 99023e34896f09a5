#pragma once

#include <QVector>

#include <memory>

struct lua_Debug;
struct lua_State;
class RunGate;

// A watcher of a running script's every step: a debugger. The runner's own hook counts
// instructions in every thread to see a stop; the watcher gets those events too, and line, call
// and return events while it asks for them. Line events cost the interpreter dearly even when the
// watcher ignores them, so it asks only while it needs them (breakpoints set, a step going on):
// every thread brings its hook in step with mask() at its next event and whenever it is resumed
// or gets control back from a coroutine, so a coroutine made earlier stops at a breakpoint set
// later.
//
// Everything but attach() and mask() is called on the script's thread, which the watcher may
// keep waiting there (the interface stays live); a stop ends any wait of the run's gate.
class ScriptHook
{
public:
    virtual ~ScriptHook() = default;
    // Interface thread, as a run starts: the gate its script thread waits at.
    virtual void attach(std::shared_ptr<RunGate> gate) = 0;
    // LUA_MASKLINE, LUA_MASKCALL and LUA_MASKRET as wanted now; read at every event, any thread.
    virtual int mask() const = 0;
    // The libraries and the runtime's API are in place; nothing of the project is loaded yet.
    virtual void prepared(lua_State *L) = 0;
    // A script of the project was loaded as the chunk named (its function on top of the stack).
    virtual void loaded(lua_State *L, const char *chunkName) = 0;
    // Any hook event, count events included.
    virtual void event(lua_State *L, lua_Debug *event) = 0;
    // A wait of the run's gate was interrupted (RunGate::interrupt) in thread L.
    virtual void interrupted(lua_State *L) = 0;
    // An error nothing in the script catches, its value on top of L's stack, raised at stack
    // level `level`; `inside` are the coroutines it came out of, innermost first (their stacks
    // are kept where the error left them).
    virtual void uncaught(lua_State *L, int level, const QVector<lua_State *> &inside) = 0;
};
