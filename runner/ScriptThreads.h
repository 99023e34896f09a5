#pragma once

struct lua_State;

// The script's coroutines: coroutine.resume and coroutine.wrap work as Lua's own, but every
// switch of thread goes through the session (RunSession::enterThread), which keeps the chain of
// running threads that a debugger shows and steps through, and brings each thread's hook in step
// before it runs. The error that ends a run passes through both.
class ScriptThreads
{
public:
    static void install(lua_State *L);
};
