#include "runner/RunSandbox.h"

#include "runner/RunSession.h"
#include "runner/ScriptIo.h"
#include "runner/ScriptThreads.h"

#include <QFileInfo>

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

namespace {

int pcallDone(lua_State *L, bool ok)
{
    if (!ok)
        RunSession::passEnding(L);
    lua_pushboolean(L, ok);
    lua_replace(L, 1);
    return lua_gettop(L);
}

int pcallContinued(lua_State *L)
{
    return pcallDone(L, lua_getctx(L, nullptr) == LUA_YIELD);
}

// As Lua's own, with a continuation so that a coroutine may yield inside.
int protectedCall(lua_State *L)
{
    luaL_checkany(L, 1);
    lua_pushnil(L);
    lua_insert(L, 1); // room for the status
    const int status = lua_pcallk(L, lua_gettop(L) - 2, LUA_MULTRET, 0, 0, pcallContinued);
    return pcallDone(L, status == LUA_OK);
}

// The script's message handler (upvalue 1), left out while the run is ending: Lua calls a
// handler with hooks off when the error came from a hook, so a handler that loops could not be
// stopped.
int handleUnlessEnding(lua_State *L)
{
    if (RunSession::of(L).isUnwinding())
        return 1;
    const int n = lua_gettop(L);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, n, 1);
    return 1;
}

int protectedCallWithHandler(lua_State *L)
{
    const int n = lua_gettop(L);
    luaL_argcheck(L, n >= 2, 2, "value expected");
    lua_pushvalue(L, 2);
    lua_pushcclosure(L, handleUnlessEnding, 1);
    lua_replace(L, 2);
    lua_pushvalue(L, 1); // the function and the handler change places
    lua_copy(L, 2, 1);
    lua_replace(L, 2);
    const int status = lua_pcallk(L, n - 2, LUA_MULTRET, 1, 0, pcallContinued);
    return pcallDone(L, status == LUA_OK);
}

// Calls the original function (upvalue 1) with the arguments, then passes the ending on.
int callOriginal(lua_State *L)
{
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    RunSession::passEnding(L);
    return lua_gettop(L);
}

// load(chunk, name, mode, env) with the mode "t", whatever the script asks for.
int loadText(lua_State *L)
{
    if (lua_gettop(L) < 3)
        lua_settop(L, 3);
    lua_pushliteral(L, "t");
    lua_replace(L, 3);
    return callOriginal(L);
}

int printLine(lua_State *L)
{
    const int n = lua_gettop(L);
    luaL_Buffer buffer;
    luaL_buffinit(L, &buffer);
    for (int i = 1; i <= n; ++i) {
        if (i > 1)
            luaL_addchar(&buffer, '\t');
        luaL_tolstring(L, i, nullptr);
        luaL_addvalue(&buffer);
    }
    luaL_pushresult(&buffer);
    size_t length = 0;
    const char *line = lua_tolstring(L, -1, &length);
    RunSession::of(L).print(QString::fromUtf8(line, int(length)));
    return 0;
}

// Loads a script of the project (argument 1) as a text chunk; env (argument 3), when given,
// becomes its _ENV. Pushes the chunk, or nil and the reason.
int loadFile(lua_State *L)
{
    const char *name = luaL_checkstring(L, 1);
    if (!RunSession::of(L).loadScript(L, QString::fromUtf8(name))) {
        lua_pushnil(L);
        lua_insert(L, -2);
        return 2;
    }
    if (!lua_isnone(L, 3)) {
        lua_pushvalue(L, 3);
        lua_setupvalue(L, -2, 1);
    }
    return 1;
}

int doFile(lua_State *L)
{
    return RunSession::runScript(L, luaL_checkstring(L, 1));
}

// package.searchers' one file searcher: name.lua, then name.script, in the project.
int searchProject(lua_State *L)
{
    const char *module = luaL_checkstring(L, 1);
    luaL_gsub(L, module, ".", "/");
    const char *base = lua_tostring(L, -1);
    RunSession &session = RunSession::of(L);
    for (const char *suffix : {".lua", ".script"}) {
        lua_pushfstring(L, "%s%s", base, suffix);
        const char *name = lua_tostring(L, -1);
        if (QFileInfo::exists(session.paths().projectDirectory() + QLatin1Char('/') + QString::fromUtf8(name))) {
            if (!session.loadScript(L, QString::fromUtf8(name)))
                return lua_error(L);
            lua_insert(L, -2); // the chunk, then its file name for the loader
            return 2;
        }
        lua_pop(L, 1);
    }
    lua_pushfstring(L, "\n\tno file '%s.lua' or '%s.script' in the project", base, base);
    return 1;
}

// What os.remove and os.rename return: true, or nil and the reason.
int fileResult(lua_State *L, const Status &done)
{
    if (done) {
        lua_pushboolean(L, 1);
        return 1;
    }
    lua_pushnil(L);
    lua_pushstring(L, done.error().toUtf8().constData());
    return 2;
}

Status removeNamed(const ScriptPaths &paths, const QString &name)
{
    const Result<QString> path = paths.resolve(name);
    if (!path)
        return fail(path.error());
    if (!QFileInfo::exists(*path) || !QFile::remove(*path))
        return fail(QStringLiteral("%1：无法删除").arg(name));
    return Status();
}

Status renameNamed(const ScriptPaths &paths, const QString &from, const QString &to)
{
    const Result<QString> source = paths.resolve(from);
    const Result<QString> target = paths.resolve(to, true);
    if (!source || !target)
        return fail(source ? target.error() : source.error());
    if (QFileInfo::exists(*target) && !QFile::remove(*target))
        return fail(QStringLiteral("%1：无法替换").arg(to));
    if (!QFile::rename(*source, *target))
        return fail(QStringLiteral("%1：无法改名").arg(from));
    return Status();
}

int removeFile(lua_State *L)
{
    const char *name = luaL_checkstring(L, 1);
    return fileResult(L, removeNamed(RunSession::of(L).paths(), QString::fromUtf8(name)));
}

int renameFile(lua_State *L)
{
    const char *from = luaL_checkstring(L, 1);
    const char *to = luaL_checkstring(L, 2);
    return fileResult(L, renameNamed(RunSession::of(L).paths(), QString::fromUtf8(from), QString::fromUtf8(to)));
}

void setField(lua_State *L, const char *table, const char *name, lua_CFunction function)
{
    lua_getglobal(L, table);
    lua_pushcfunction(L, function);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

} // namespace

void RunSandbox::install(lua_State *L)
{
    luaL_openlibs(L);
    ScriptIo::install(L);

    lua_register(L, "print", printLine);
    lua_register(L, "pcall", protectedCall);
    lua_register(L, "xpcall", protectedCallWithHandler);
    lua_register(L, "loadfile", loadFile);
    lua_register(L, "dofile", doFile);
    for (const char *load : {"load", "loadstring"}) {
        lua_getglobal(L, load);
        lua_pushcclosure(L, loadText, 1);
        lua_setglobal(L, load);
    }
    ScriptThreads::install(L);

    lua_getglobal(L, "package");
    lua_createtable(L, 2, 0);
    lua_getfield(L, -2, "searchers");
    lua_rawgeti(L, -1, 1); // the preloaded modules
    lua_rawseti(L, -3, 1);
    lua_pop(L, 1);
    lua_pushcfunction(L, searchProject);
    lua_rawseti(L, -2, 2);
    lua_pushvalue(L, -1);
    lua_setfield(L, -3, "loaders");
    lua_setfield(L, -2, "searchers");
    lua_pushliteral(L, "?.lua;?.script");
    lua_setfield(L, -2, "path");
    lua_pushliteral(L, "");
    lua_setfield(L, -2, "cpath");
    lua_pop(L, 1);

    setField(L, "os", "remove", removeFile);
    setField(L, "os", "rename", renameFile);
}
