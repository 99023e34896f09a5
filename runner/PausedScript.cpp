#include "runner/PausedScript.h"

#include "runner/LuaValueText.h"
#include "runner/RunSession.h"

#include <QStringList>

#include <lauxlib.h>
#include <lua.h>

#include <algorithm>
#include <cstring>

namespace {

// The registry's set of the globals there were before the project loaded.
char startingGlobalsKey;

// Room for what one step of reading pushes.
constexpr int kStackRoom = 16;

// A value of another thread's stack moved onto L's.
void moveTo(lua_State *from, lua_State *L)
{
    if (from != L)
        lua_xmove(from, L, 1);
}

QString functionName(const lua_Debug &frame)
{
    if (frame.name)
        return QString::fromUtf8(frame.name);
    if (frame.what[0] == 'm')
        return QString::fromUtf8(frame.source[0] == '@' ? frame.source + 1 : frame.short_src);
    if (frame.what[0] == 'C')
        return QStringLiteral("[C]");
    return QStringLiteral("%1:%2").arg(QString::fromUtf8(frame.source[0] == '@' ? frame.source + 1 : frame.short_src))
        .arg(frame.linedefined);
}

// A function called from C (the runner calls main and createUI, pcall calls what it is given)
// has no name from its caller: the global that holds it names it. Empty when none does.
QString globalHolding(lua_State *L, lua_State *thread, lua_Debug &frame)
{
    if (!lua_checkstack(thread, 1))
        return QString();
    lua_getinfo(thread, "f", &frame);
    moveTo(thread, L);
    QString name;
    lua_pushglobaltable(L);
    lua_pushnil(L);
    while (lua_next(L, -2)) {
        const bool holds = lua_type(L, -2) == LUA_TSTRING && lua_rawequal(L, -1, -4);
        lua_pop(L, 1);
        if (holds) {
            name = QString::fromUtf8(lua_tostring(L, -1));
            lua_pop(L, 1);
            break;
        }
    }
    lua_pop(L, 2);
    return name;
}

// The watch's _ENV, empty itself: the frame's names (upvalue 1) read as the frame has them
// (upvalue 2), the rest as globals (upvalue 3), raw.
int watchName(lua_State *L)
{
    lua_settop(L, 2);
    lua_pushvalue(L, 2);
    lua_rawget(L, lua_upvalueindex(1));
    lua_pushvalue(L, 2);
    lua_rawget(L, lua_upvalueindex(lua_toboolean(L, -2) ? 2 : 3));
    return 1;
}

// The value on top of L (popped) is what a watch reads for name: nil included, which hides a
// global of that name.
void watchSees(lua_State *L, const char *name, int names, int values)
{
    lua_pushstring(L, name);
    lua_pushboolean(L, 1);
    lua_rawset(L, names);
    lua_pushstring(L, name);
    lua_insert(L, -2);
    lua_rawset(L, values);
}

int refuseAssignment(lua_State *L)
{
    return luaL_error(L, "监视表达式不能赋值");
}

} // namespace

PausedScript::PausedScript(lua_State *L, const QVector<lua_State *> &threads, int firstLevel)
    : L(L)
{
    lua_checkstack(L, kStackRoom);
    lua_newtable(L);
    kept = luaL_ref(L, LUA_REGISTRYINDEX);
    globalsHandle = addHandle({Handle::Globals});
    lua_Debug frame;
    for (lua_State *thread : threads) {
        for (int level = thread == L ? firstLevel : 0;
             frameList.size() < kMaxFrames && lua_getstack(thread, level, &frame); ++level) {
            lua_getinfo(thread, "Sln", &frame);
            // The pause is shown in the script's own code, not in the function that raised or
            // waits; and the runner's function that starts the script is none of its business.
            if (frame.what[0] == 'C' && (!frame.name || frameList.isEmpty()))
                continue;
            DebugFrame shown;
            if (!frame.name && frame.what[0] == 'L')
                shown.function = globalHolding(L, thread, frame);
            if (shown.function.isEmpty())
                shown.function = functionName(frame);
            if (frame.source[0] == '@')
                shown.script = QString::fromUtf8(frame.source + 1);
            shown.line = qMax(frame.currentline, 0);
            places.append({thread, level});
            if (frame.what[0] != 'C') {
                shown.locals = addHandle({Handle::Locals, places.size() - 1});
                shown.upvalues = addHandle({Handle::Upvalues, places.size() - 1});
            }
            frameList.append(shown);
        }
    }
}

PausedScript::~PausedScript()
{
    luaL_unref(L, LUA_REGISTRYINDEX, kept);
}

void PausedScript::noteStartingGlobals(lua_State *L)
{
    lua_newtable(L);
    lua_pushglobaltable(L);
    lua_pushnil(L);
    while (lua_next(L, -2)) {
        lua_pop(L, 1);
        lua_pushvalue(L, -1);
        lua_pushboolean(L, 1);
        lua_rawset(L, -5);
    }
    lua_pop(L, 1);
    lua_rawsetp(L, LUA_REGISTRYINDEX, &startingGlobalsKey);
}

int PausedScript::addHandle(const Handle &handle)
{
    handles.append(handle);
    return handles.size();
}

QVector<DebugVariable> PausedScript::children(int handle)
{
    QVector<DebugVariable> list;
    if (handle < 1 || handle > handles.size() || !lua_checkstack(L, kStackRoom))
        return list;
    const Handle named = handles[handle - 1];
    const int top = lua_gettop(L);
    switch (named.kind) {
    case Handle::Locals:
        locals(named.place, &list);
        break;
    case Handle::Upvalues:
        upvalues(named.place, &list);
        break;
    case Handle::Globals:
        addedGlobals(named.start, &list);
        break;
    case Handle::Value:
        entries(named, &list);
        break;
    }
    lua_settop(L, top);
    return list;
}

DebugVariable PausedScript::describe(const QString &name, int index)
{
    index = lua_absindex(L, index);
    DebugVariable variable{name, LuaValueText::text(L, index), QString::fromLatin1(luaL_typename(L, index)), 0};
    bool holds = false;
    if (lua_getmetatable(L, index)) {
        lua_pop(L, 1);
        holds = true;
    }
    if (!holds && lua_istable(L, index)) {
        lua_pushnil(L);
        if (lua_next(L, index)) {
            lua_pop(L, 2);
            holds = true;
        }
    }
    if (holds) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, kept);
        lua_pushvalue(L, index);
        lua_rawseti(L, -2, ++keptCount);
        lua_pop(L, 1);
        variable.children = addHandle({Handle::Value, 0, keptCount, 0});
    }
    return variable;
}

DebugVariable PausedScript::more(int left, const Handle &next)
{
    return {QStringLiteral("…"), QStringLiteral("还有%1项").arg(left), QString(), addHandle(next)};
}

void PausedScript::locals(int place, QVector<DebugVariable> *list)
{
    const Place &at = places[place];
    lua_Debug frame;
    if (!lua_getstack(at.thread, at.level, &frame) || !lua_checkstack(at.thread, 1))
        return;
    for (int n = 1;; ++n) {
        const char *name = lua_getlocal(at.thread, &frame, n);
        if (!name)
            break;
        moveTo(at.thread, L);
        if (name[0] != '(') // the compiler's own: loop counters, temporaries
            list->append(describe(QString::fromUtf8(name), -1));
        lua_pop(L, 1);
    }
    for (int n = 1; n <= kPage && lua_getlocal(at.thread, &frame, -n); ++n) {
        moveTo(at.thread, L);
        list->append(describe(QStringLiteral("...[%1]").arg(n), -1));
        lua_pop(L, 1);
    }
}

void PausedScript::upvalues(int place, QVector<DebugVariable> *list)
{
    const Place &at = places[place];
    lua_Debug frame;
    if (!lua_getstack(at.thread, at.level, &frame) || !lua_checkstack(at.thread, 1))
        return;
    lua_getinfo(at.thread, "f", &frame);
    moveTo(at.thread, L);
    const int function = lua_gettop(L);
    lua_pushglobaltable(L);
    for (int n = 1;; ++n) {
        const char *name = lua_getupvalue(L, function, n);
        if (!name)
            break;
        // _ENV is the global table, shown as globals
        if (!(std::strcmp(name, "_ENV") == 0 && lua_rawequal(L, -1, function + 1)))
            list->append(describe(QString::fromUtf8(name), -1));
        lua_pop(L, 1);
    }
}

void PausedScript::addedGlobals(int start, QVector<DebugVariable> *list)
{
    lua_pushglobaltable(L);
    const int globals = lua_gettop(L);
    lua_rawgetp(L, LUA_REGISTRYINDEX, &startingGlobalsKey);
    const int starting = lua_gettop(L);
    lua_newtable(L);
    const int keys = lua_gettop(L);
    QVector<QPair<QString, int>> names;
    lua_pushnil(L);
    while (lua_next(L, globals)) {
        lua_pop(L, 1);
        bool before = false;
        if (lua_istable(L, starting)) {
            lua_pushvalue(L, -1);
            lua_rawget(L, starting);
            before = !lua_isnil(L, -1);
            lua_pop(L, 1);
        }
        if (!before) {
            lua_pushvalue(L, -1);
            lua_rawseti(L, keys, names.size() + 1);
            names.append({LuaValueText::key(L, -1), names.size() + 1});
        }
    }
    std::sort(names.begin(), names.end());
    for (int i = start; i < names.size() && i < start + kPage; ++i) {
        lua_rawgeti(L, keys, names[i].second);
        lua_rawget(L, globals);
        list->append(describe(names[i].first, -1));
        lua_pop(L, 1);
    }
    if (names.size() > start + kPage)
        list->append(more(names.size() - start - kPage, {Handle::Globals, 0, 0, start + kPage}));
}

void PausedScript::entries(const Handle &handle, QVector<DebugVariable> *list)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, kept);
    lua_rawgeti(L, -1, handle.value);
    const int value = lua_gettop(L);
    if (handle.start == 0 && lua_getmetatable(L, value)) {
        list->append(describe(QStringLiteral("(元表)"), -1));
        lua_pop(L, 1);
    }
    if (!lua_istable(L, value))
        return;
    int index = 0;
    lua_pushnil(L);
    while (lua_next(L, value)) {
        if (index >= handle.start && index < handle.start + kPage)
            list->append(describe(LuaValueText::key(L, -2), -1));
        ++index;
        lua_pop(L, 1);
    }
    if (index > handle.start + kPage)
        list->append(more(index - handle.start - kPage, {Handle::Value, 0, handle.value, handle.start + kPage}));
}

Result<DebugVariable> PausedScript::evaluate(const QString &expression, int frame)
{
    if (!lua_checkstack(L, kStackRoom))
        return fail(QStringLiteral("监视表达式无法求值：栈空间不足"));
    const int top = lua_gettop(L);
    const QByteArray code = "return " + expression.toUtf8();
    if (luaL_loadbufferx(L, code.constData(), size_t(code.size()), "=监视", "t") != LUA_OK) {
        const QString message = LuaValueText::plain(L, -1);
        lua_settop(L, top);
        return fail(QStringLiteral("监视表达式有误：%1").arg(message));
    }
    const int chunk = lua_gettop(L);
    lua_newtable(L); // the values of the frame's names
    const int environment = chunk + 1;
    lua_newtable(L); // the names the frame has
    const int names = chunk + 2;
    lua_newtable(L); // the frame's varargs
    const int varargs = chunk + 3;
    int varargCount = 0;
    lua_Debug paused;
    if (frame >= 0 && frame < places.size() && lua_getstack(places[frame].thread, places[frame].level, &paused)
        && lua_checkstack(places[frame].thread, 1)) {
        lua_State *thread = places[frame].thread;
        lua_getinfo(thread, "f", &paused);
        moveTo(thread, L);
        const int function = lua_gettop(L);
        // Upvalues first, so that locals of the same name hide them.
        for (int n = 1;; ++n) {
            const char *name = lua_getupvalue(L, function, n);
            if (!name)
                break;
            if (*name && std::strcmp(name, "_ENV") != 0)
                watchSees(L, name, names, environment);
            else
                lua_pop(L, 1);
        }
        lua_settop(L, function - 1);
        for (int n = 1;; ++n) {
            const char *name = lua_getlocal(thread, &paused, n);
            if (!name)
                break;
            moveTo(thread, L);
            if (name[0] != '(')
                watchSees(L, name, names, environment);
            else
                lua_pop(L, 1);
        }
        while (varargCount < kPage && lua_getlocal(thread, &paused, -(varargCount + 1))) {
            moveTo(thread, L);
            lua_rawseti(L, varargs, ++varargCount);
        }
    }
    lua_newtable(L);
    lua_createtable(L, 0, 2);
    lua_pushvalue(L, names);
    lua_pushvalue(L, environment);
    lua_pushglobaltable(L);
    lua_pushcclosure(L, watchName, 3);
    lua_setfield(L, -2, "__index");
    lua_pushcfunction(L, refuseAssignment);
    lua_setfield(L, -2, "__newindex");
    lua_setmetatable(L, -2);
    lua_setupvalue(L, chunk, 1);

    lua_State *watch = lua_newthread(L);
    lua_pushvalue(L, chunk);
    lua_xmove(L, watch, 1);
    lua_checkstack(watch, varargCount);
    for (int n = 1; n <= varargCount; ++n) {
        lua_rawgeti(L, varargs, n);
        lua_xmove(L, watch, 1);
    }
    RunSession &session = RunSession::of(L);
    session.setWatching(true);
    const int status = lua_resume(watch, L, varargCount);
    session.setWatching(false);

    Result<DebugVariable> result = fail(QString());
    if (status == LUA_YIELD) {
        result = fail(QStringLiteral("监视表达式不能让出协程"));
    } else if (status != LUA_OK) {
        const QString message = lua_type(watch, -1) == LUA_TLIGHTUSERDATA ? QStringLiteral("已停止")
                                                                          : LuaValueText::plain(watch, -1);
        result = fail(message.startsWith(QStringLiteral("错误：")) ? message
                                                                  : QStringLiteral("监视表达式出错：%1").arg(message));
    } else {
        const int count = lua_gettop(watch);
        lua_checkstack(L, count + kStackRoom);
        lua_xmove(watch, L, count);
        const int first = lua_gettop(L) - count + 1;
        if (count == 0) {
            result = DebugVariable{expression, QStringLiteral("（无返回值）"), QString(), 0};
        } else if (count == 1) {
            result = describe(expression, first);
        } else {
            QStringList values;
            for (int i = first; i < first + count; ++i)
                values << LuaValueText::text(L, i);
            result = DebugVariable{expression, values.join(QStringLiteral(", ")), QString(), 0};
        }
    }
    lua_settop(L, top);
    return result;
}
