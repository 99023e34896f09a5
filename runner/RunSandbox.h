#pragma once

struct lua_State;

// Lua's standard libraries as a script run on the PC gets them: files resolve in the project
// (ScriptPaths, ScriptIo), modules are the project's scripts (no C modules), chunks load as text
// only, print goes to the run's output, and the error that ends a run (a stop, exit(), a lost
// device) passes through pcall, xpcall, coroutine.resume and load instead of being caught. What
// would reach past the project or end the process (os.exit, os.execute, io.popen, ...) the API
// model marks unavailable, and RunApi makes it fail naming itself.
class RunSandbox
{
public:
    // Opens the libraries and restricts them.
    static void install(lua_State *L);
};
