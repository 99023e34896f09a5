#pragma once

struct lua_State;

// Lua's io library for a script run on the PC, over the files of the project: paths resolve as
// ScriptPaths says, a file is read whole through the regular-file reader when it is opened and
// written whole through the atomic writer when it is flushed or closed (or collected, as the
// C library flushes an open file), so a failed write never leaves half a file. Standard output
// and error go to the run's output, a line at a time; standard input is empty; popen is not
// available.
class ScriptIo
{
public:
    static constexpr long long kMaxFileSize = 64LL << 20;

    // Replaces the io table (opened already).
    static void install(lua_State *L);
};
