#pragma once

#include "common/Result.h"

struct lua_State;

// What every function a script calls on the PC shares: reading its arguments and failing with a
// line that names the function and the place in the script.
//
// Lua raises errors with a long jump, past C++ destructors: a function raises only when no C++
// object of its own is alive. So failures are pushed first and raised by the caller:
//     if (ScriptCall::failed(L, "getColor", api.readColor(x, y, &color)))
//         return lua_error(L);
// (the Status is gone once the condition has been evaluated).
class ScriptCall
{
public:
    // The argument as a number within int, else raises "错误：<name>的第<arg>个参数应为数字".
    static int integer(lua_State *L, int arg, const char *name);
    static int optionalInteger(lua_State *L, int arg, const char *name, int fallback);
    // The argument as text (a number counts), else raises "错误：<name>的第<arg>个参数应为字符串".
    static const char *text(lua_State *L, int arg, const char *name);
    // True and the error pushed when status failed. A stopped run, or a device that is gone,
    // ends the run instead of failing the call.
    static bool failed(lua_State *L, const char *name, const Status &status);
    // Pushes "错误：<name>：<reason>（<place>）".
    static void pushFailure(lua_State *L, const char *name, const QString &reason);
    // Sets table[name] (a global when table is null) to a function that fails naming itself:
    // "错误：本地运行不支持<table.name>（<place>）".
    static void defineUnsupported(lua_State *L, const char *table, const char *name);
    // Raises that failure for the name given.
    static int raiseUnsupported(lua_State *L, const char *name);
};
