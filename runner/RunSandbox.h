#pragma once

struct lua_State;

// Lua's standard libraries as a script run on the PC gets them: what would reach past the
// project or end the process (os.exit, os.execute, io.popen, package.loadlib, C modules,
// changing the process's locale or the runner's hook) fails naming itself; files resolve in the
// project (ScriptPaths, ScriptIo); chunks load as text only; print goes to the run's output; and
// the error that ends a run (a stop, exit(), a lost device) passes through pcall, xpcall,
// coroutine.resume and load instead of being caught.
class RunSandbox
{
public:
    // Opens the libraries and restricts them.
    static void install(lua_State *L);
};
