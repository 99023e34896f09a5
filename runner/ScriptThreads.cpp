#include "runner/ScriptThreads.h"

#include "runner/RunSession.h"

#include <lauxlib.h>
#include <lua.h>

namespace {

// Resumes co with the n values on top of L. Leaves on L what co yields or returns and gives their
// count, or leaves the error and gives -1.
int resumeWith(lua_State *L, lua_State *co, int n)
{
    if (!lua_checkstack(co, n)) {
        lua_pushliteral(L, "too many arguments to resume");
        return -1;
    }
    if (lua_status(co) == LUA_OK && lua_gettop(co) == 0) {
        lua_pushliteral(L, "cannot resume dead coroutine");
        return -1;
    }
    lua_xmove(L, co, n);
    RunSession &session = RunSession::of(L);
    session.enterThread(co);
    const int status = lua_resume(co, L, n);
    session.leaveThread(L);
    if (status == LUA_OK || status == LUA_YIELD) {
        const int results = lua_gettop(co);
        if (!lua_checkstack(L, results + 1)) {
            lua_pop(co, results);
            lua_pushliteral(L, "too many results to resume");
            return -1;
        }
        lua_xmove(co, L, results);
        return results;
    }
    lua_xmove(co, L, 1);
    return -1;
}

int resume(lua_State *L)
{
    lua_State *co = lua_tothread(L, 1);
    luaL_argcheck(L, co, 1, "coroutine expected");
    const int results = resumeWith(L, co, lua_gettop(L) - 1);
    RunSession::passEnding(L);
    lua_pushboolean(L, results >= 0);
    if (results < 0) {
        lua_insert(L, -2);
        return 2;
    }
    lua_insert(L, -(results + 1));
    return results + 1;
}

int resumeWrapped(lua_State *L)
{
    lua_State *co = lua_tothread(L, lua_upvalueindex(1));
    const int results = resumeWith(L, co, lua_gettop(L));
    RunSession::passEnding(L);
    if (results >= 0)
        return results;
    RunSession &session = RunSession::of(L);
    const bool died = lua_status(co) != LUA_OK && lua_status(co) != LUA_YIELD;
    if (died)
        session.noteFailedCoroutine(L, co);
    if (lua_isstring(L, -1)) { // the place of the call goes in front, as Lua's own wrap does
        luaL_where(L, 1);
        lua_insert(L, -2);
        lua_concat(L, 2);
    }
    if (died)
        session.noteFailureValue(L);
    return lua_error(L);
}

int wrap(lua_State *L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    lua_State *co = lua_newthread(L);
    lua_pushvalue(L, 1);
    lua_xmove(L, co, 1);
    lua_pushcclosure(L, resumeWrapped, 1);
    return 1;
}

} // namespace

void ScriptThreads::install(lua_State *L)
{
    lua_getglobal(L, "coroutine");
    lua_pushcfunction(L, resume);
    lua_setfield(L, -2, "resume");
    lua_pushcfunction(L, wrap);
    lua_setfield(L, -2, "wrap");
    lua_pop(L, 1);
}
