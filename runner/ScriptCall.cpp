#include "runner/ScriptCall.h"

#include "runner/DeviceLink.h"
#include "runner/RunGate.h"
#include "runner/RunSession.h"

#include <lauxlib.h>
#include <lua.h>

#include <limits>

namespace {

// Raises after pushing the place and the message: no C++ object is alive here.
int raiseWithPlace(lua_State *L, const char *format, const char *name, int arg)
{
    if (!RunSession::pushPlace(L))
        lua_pushliteral(L, "脚本");
    const char *place = lua_tostring(L, -1);
    if (arg > 0)
        lua_pushfstring(L, format, name, arg, place);
    else
        lua_pushfstring(L, format, name, place);
    return lua_error(L);
}

int unsupported(lua_State *L)
{
    return ScriptCall::raiseUnsupported(L, lua_tostring(L, lua_upvalueindex(1)));
}

} // namespace

int ScriptCall::integer(lua_State *L, int arg, const char *name)
{
    int isNumber = 0;
    const lua_Number value = lua_tonumberx(L, arg, &isNumber);
    if (!isNumber || !(value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()))
        raiseWithPlace(L, "错误：%s的第%d个参数应为数字（%s）", name, arg);
    return int(value);
}

int ScriptCall::optionalInteger(lua_State *L, int arg, const char *name, int fallback)
{
    return lua_isnoneornil(L, arg) ? fallback : integer(L, arg, name);
}

const char *ScriptCall::text(lua_State *L, int arg, const char *name)
{
    const char *value = lua_tostring(L, arg);
    if (!value)
        raiseWithPlace(L, "错误：%s的第%d个参数应为字符串（%s）", name, arg);
    return value;
}

bool ScriptCall::failed(lua_State *L, const char *name, const Status &status)
{
    if (status)
        return false;
    RunSession &session = RunSession::of(L);
    if (session.gate().isStopped()) {
        session.unwind(L, RunSession::Outcome::Stopped);
    } else if (session.device().isLost()) {
        pushFailure(L, name, status.error());
        session.unwind(L, RunSession::Outcome::DeviceLost, lua_tostring(L, -1));
    } else {
        pushFailure(L, name, status.error());
    }
    return true;
}

void ScriptCall::pushFailure(lua_State *L, const char *name, const QString &reason)
{
    if (!RunSession::pushPlace(L))
        lua_pushliteral(L, "脚本");
    const QByteArray text = reason.toUtf8();
    lua_pushfstring(L, "错误：%s：%s（%s）", name, text.constData(), lua_tostring(L, -1));
    lua_remove(L, -2);
}

void ScriptCall::defineUnsupported(lua_State *L, const char *table, const char *name)
{
    if (table) {
        lua_getglobal(L, table);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            return;
        }
        lua_pushfstring(L, "%s.%s", table, name);
    } else {
        lua_pushglobaltable(L);
        lua_pushstring(L, name);
    }
    lua_pushcclosure(L, unsupported, 1);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

int ScriptCall::raiseUnsupported(lua_State *L, const char *name)
{
    return raiseWithPlace(L, "错误：本地运行不支持%s（%s）", name, 0);
}
