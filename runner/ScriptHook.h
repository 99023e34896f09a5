#pragma once

struct lua_Debug;
struct lua_State;

// A watcher of a running script's every step, e.g. a debugger. The runner sets its own hook once,
// before any script is loaded, with the watcher's events added to the count events it needs
// to stop the script; coroutines take the hook over when they are made. The watcher is called
// on the script's thread and may keep it waiting there (the interface stays live); a stop ends
// any wait of the run's gate.
class ScriptHook
{
public:
    virtual ~ScriptHook() = default;
    // LUA_MASKCALL, LUA_MASKRET, LUA_MASKLINE, read once before loading.
    virtual int mask() const = 0;
    virtual void event(lua_State *L, lua_Debug *event) = 0;
};
