#include "runner/ScriptIo.h"

#include "common/AtomicFile.h"
#include "common/RegularFile.h"
#include "runner/RunSession.h"
#include "runner/ScriptCall.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include <lauxlib.h>
#include <lua.h>

#include <cstring>
#include <new>

namespace {

const char kFileType[] = "kestrun.file";
const char kInputKey[] = "kestrun.io.input";
const char kOutputKey[] = "kestrun.io.output";

// An open file of the script: its bytes live here while it is open. Lives in Lua's memory.
struct ScriptFile
{
    QString path; // empty: standard output or error (console), standard input or a temporary file
    QByteArray bytes;
    qint64 position = 0;
    bool readable = false;
    bool writable = false;
    bool appending = false;
    bool changed = false;
    bool console = false;  // standard output or error: written lines go to the run's output
    bool standard = false; // cannot be closed
    bool closed = false;
};

bool isOneOf(char c, const char *set)
{
    return c != '\0' && std::strchr(set, c) != nullptr;
}

ScriptFile *toFile(lua_State *L, int index)
{
    return static_cast<ScriptFile *>(luaL_testudata(L, index, kFileType));
}

ScriptFile *checkOpen(lua_State *L, int index)
{
    ScriptFile *file = static_cast<ScriptFile *>(luaL_checkudata(L, index, kFileType));
    if (file->closed)
        luaL_error(L, "attempt to use a closed file");
    return file;
}

ScriptFile *pushFile(lua_State *L)
{
    void *memory = lua_newuserdata(L, sizeof(ScriptFile));
    auto *file = new (memory) ScriptFile;
    luaL_setmetatable(L, kFileType);
    return file;
}

// Whole lines of a console file go to the run's output; the rest waits for its line end.
void passLines(lua_State *L, ScriptFile *file, bool all)
{
    RunSession &session = RunSession::of(L);
    for (;;) {
        const int end = file->bytes.indexOf('\n');
        if (end < 0)
            break;
        session.print(QString::fromUtf8(file->bytes.constData(), end));
        file->bytes.remove(0, end + 1);
    }
    if (all && !file->bytes.isEmpty()) {
        session.print(QString::fromUtf8(file->bytes));
        file->bytes.clear();
    }
}

// Writes a changed file into place; false and the reason pushed when that fails. A console
// keeps an unended line until it is closed.
bool commit(lua_State *L, ScriptFile *file, bool closing)
{
    if (file->console) {
        passLines(L, file, closing);
        return true;
    }
    if (!file->changed || file->path.isEmpty())
        return true;
    QString failure;
    if (const Status written = AtomicFile::writeWhole(file->path, file->bytes); !written)
        failure = written.error();
    else
        file->changed = false;
    if (failure.isEmpty())
        return true;
    lua_pushstring(L, failure.toUtf8().constData());
    return false;
}

int results(lua_State *L, bool ok)
{
    if (ok) {
        lua_pushboolean(L, 1);
        return 1;
    }
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

int fileGc(lua_State *L)
{
    ScriptFile *file = toFile(L, 1);
    if (!file->closed)
        commit(L, file, true);
    file->~ScriptFile();
    return 0;
}

int fileToString(lua_State *L)
{
    ScriptFile *file = toFile(L, 1);
    if (file->closed)
        lua_pushliteral(L, "file (closed)");
    else
        lua_pushfstring(L, "file (%p)", static_cast<void *>(file));
    return 1;
}

int fileClose(lua_State *L)
{
    ScriptFile *file = checkOpen(L, 1);
    if (file->standard) {
        lua_pushnil(L);
        lua_pushliteral(L, "cannot close standard file");
        return 2;
    }
    const bool ok = commit(L, file, true);
    file->closed = true;
    file->bytes = QByteArray();
    return results(L, ok);
}

int fileFlush(lua_State *L)
{
    return results(L, commit(L, checkOpen(L, 1), false));
}

int fileSetvbuf(lua_State *L)
{
    checkOpen(L, 1);
    lua_pushboolean(L, 1);
    return 1;
}

int fileSeek(lua_State *L)
{
    static const char *const whences[] = {"set", "cur", "end", nullptr};
    ScriptFile *file = checkOpen(L, 1);
    const int whence = luaL_checkoption(L, 2, "cur", whences);
    const lua_Number offset = luaL_optnumber(L, 3, 0);
    const qint64 base = whence == 0 ? 0 : whence == 1 ? file->position : file->bytes.size();
    const lua_Number target = lua_Number(base) + offset;
    if (target < 0 || target > lua_Number(ScriptIo::kMaxFileSize)) {
        lua_pushnil(L);
        lua_pushliteral(L, "Invalid argument");
        return 2;
    }
    file->position = qint64(target);
    lua_pushnumber(L, lua_Number(file->position));
    return 1;
}

// One read format; false (and nil pushed) at the end of the file.
bool readOne(lua_State *L, ScriptFile *file, int arg)
{
    const QByteArray &bytes = file->bytes;
    const qint64 size = bytes.size();
    qint64 &at = file->position;
    if (lua_type(L, arg) == LUA_TNUMBER) {
        const lua_Number wanted = lua_tonumber(L, arg);
        if (at >= size && (wanted > 0 || at > size)) {
            lua_pushnil(L);
            return false;
        }
        const qint64 count = qBound<qint64>(0, qint64(wanted), size - at);
        lua_pushlstring(L, bytes.constData() + at, size_t(count));
        at += count;
        return true;
    }
    const char *format = luaL_checkstring(L, arg);
    if (format[0] == '*')
        ++format;
    switch (format[0]) {
    case 'a':
        lua_pushlstring(L, bytes.constData() + qMin(at, size), size_t(qMax<qint64>(0, size - at)));
        at = qMax(at, size);
        return true;
    case 'l':
    case 'L': {
        if (at >= size) {
            lua_pushnil(L);
            return false;
        }
        const qint64 end = bytes.indexOf('\n', int(at));
        const qint64 stop = end < 0 ? size : end;
        const qint64 keep = format[0] == 'L' && end >= 0 ? 1 : 0;
        lua_pushlstring(L, bytes.constData() + at, size_t(stop - at + keep));
        at = end < 0 ? size : end + 1;
        return true;
    }
    case 'n': {
        while (at < size && isOneOf(bytes[int(at)], " \t\r\n\f\v"))
            ++at;
        qint64 end = at;
        while (end < size && end - at < 200 && isOneOf(bytes[int(end)], "0123456789+-.xXaAbBcCdDeEfFpP"))
            ++end;
        lua_pushlstring(L, bytes.constData() + at, size_t(end - at));
        at = end;
        int isNumber = 0;
        const lua_Number number = lua_tonumberx(L, -1, &isNumber);
        lua_pop(L, 1);
        if (!isNumber) {
            lua_pushnil(L);
            return false;
        }
        lua_pushnumber(L, number);
        return true;
    }
    default:
        return luaL_argerror(L, arg, "invalid format");
    }
}

// Reads the formats from first on (a line when there are none); stops at the first that fails.
int readFormats(lua_State *L, ScriptFile *file, int first)
{
    if (!file->readable) {
        lua_pushnil(L);
        lua_pushliteral(L, "Bad file descriptor");
        return 2;
    }
    const int last = lua_gettop(L);
    if (last < first) {
        lua_pushliteral(L, "*l");
        readOne(L, file, lua_gettop(L));
        return 1;
    }
    luaL_checkstack(L, last - first + LUA_MINSTACK, "too many arguments");
    int pushed = 0;
    for (int arg = first; arg <= last; ++arg) {
        ++pushed;
        if (!readOne(L, file, arg))
            break;
    }
    return pushed;
}

int writeValues(lua_State *L, ScriptFile *file, int first)
{
    const int last = lua_gettop(L);
    for (int arg = first; arg <= last; ++arg)
        luaL_checklstring(L, arg, nullptr);
    if (!file->writable) {
        lua_pushnil(L);
        lua_pushliteral(L, "Bad file descriptor");
        return 2;
    }
    for (int arg = first; arg <= last; ++arg) {
        size_t length = 0;
        const char *text = lua_tolstring(L, arg, &length);
        if (file->appending || file->console)
            file->position = file->bytes.size();
        if (file->position + qint64(length) > ScriptIo::kMaxFileSize)
            return luaL_error(L, "file too large (over %d MiB)", int(ScriptIo::kMaxFileSize >> 20));
        if (file->position > file->bytes.size())
            file->bytes.append(int(file->position - file->bytes.size()), '\0');
        file->bytes.replace(int(file->position), int(qMin<qint64>(qint64(length), file->bytes.size() - file->position)),
                            text, int(length));
        file->position += qint64(length);
        file->changed = true;
    }
    if (file->console)
        passLines(L, file, false);
    lua_settop(L, first - 1);
    return 1;
}

int fileRead(lua_State *L)
{
    return readFormats(L, checkOpen(L, 1), 2);
}

int fileWrite(lua_State *L)
{
    return writeValues(L, checkOpen(L, 1), 2);
}

int linesNext(lua_State *L)
{
    ScriptFile *file = toFile(L, lua_upvalueindex(1));
    if (file->closed)
        return luaL_error(L, "file is already closed");
    const int formats = int(lua_tointeger(L, lua_upvalueindex(2)));
    lua_settop(L, 0);
    for (int i = 1; i <= formats; ++i)
        lua_pushvalue(L, lua_upvalueindex(3 + i));
    const int count = readFormats(L, file, 1);
    if (!lua_isnil(L, -count))
        return count;
    if (lua_toboolean(L, lua_upvalueindex(3))) { // io.lines(name): closed at its end
        lua_settop(L, 0);
        lua_pushvalue(L, lua_upvalueindex(1));
        fileClose(L);
    }
    return 0;
}

// The iterator of file (at index) over the formats after it.
int pushLines(lua_State *L, int index, bool closeAtEnd)
{
    const int formats = lua_gettop(L) - index;
    luaL_argcheck(L, formats <= 250, 252, "too many arguments");
    lua_pushvalue(L, index);
    lua_pushinteger(L, formats);
    lua_pushboolean(L, closeAtEnd);
    for (int i = 1; i <= formats; ++i)
        lua_pushvalue(L, index + i);
    lua_pushcclosure(L, linesNext, 3 + formats);
    return 1;
}

int fileLines(lua_State *L)
{
    checkOpen(L, 1);
    return pushLines(L, 1, false);
}

// Opens a file of the project: pushes it, or nil and the reason.
int openFile(lua_State *L, const char *name, const char *mode)
{
    const char kind = mode[0];
    const bool plus = std::strchr(mode, '+') != nullptr;
    RunSession &session = RunSession::of(L);
    QString failure;
    QByteArray bytes;
    QString path;
    {
        const QString named = QString::fromUtf8(name);
        const Result<QString> resolved = session.paths().resolve(named, kind != 'r');
        if (!resolved) {
            failure = resolved.error();
        } else {
            path = *resolved;
            const bool exists = QFileInfo::exists(path);
            if (kind == 'r' && !exists) {
                failure = QStringLiteral("%1：文件不存在").arg(named);
            } else if (kind != 'w' && exists) {
                const Result<QByteArray> read = RegularFile::readWhole(path, ScriptIo::kMaxFileSize);
                if (read)
                    bytes = *read;
                else
                    failure = read.error();
            } else if (!QFileInfo(path).dir().exists()) {
                failure = QStringLiteral("%1：所在的文件夹不存在").arg(named);
            }
        }
    }
    if (!failure.isEmpty()) {
        lua_pushnil(L);
        lua_pushstring(L, failure.toUtf8().constData());
        return 2;
    }
    ScriptFile *file = pushFile(L);
    file->path = path;
    file->bytes = bytes;
    file->readable = kind == 'r' || plus;
    file->writable = kind != 'r' || plus;
    file->appending = kind == 'a';
    file->changed = kind != 'r'; // "w" and "a" make the file even when nothing is written
    if (kind == 'a')
        file->position = file->bytes.size();
    return 1;
}

bool validMode(const char *mode)
{
    if (!mode[0] || !std::strchr("rwa", mode[0]))
        return false;
    const char *rest = mode + 1;
    if (*rest == '+')
        ++rest;
    while (*rest == 'b')
        ++rest;
    return *rest == '\0';
}

int ioOpen(lua_State *L)
{
    const char *name = luaL_checkstring(L, 1);
    const char *mode = luaL_optstring(L, 2, "r");
    luaL_argcheck(L, validMode(mode), 2, "invalid mode");
    return openFile(L, name, mode);
}

int ioTmpfile(lua_State *L)
{
    ScriptFile *file = pushFile(L);
    file->readable = file->writable = true;
    return 1;
}

int ioType(lua_State *L)
{
    luaL_checkany(L, 1);
    const ScriptFile *file = toFile(L, 1);
    if (!file)
        lua_pushnil(L);
    else if (file->closed)
        lua_pushliteral(L, "closed file");
    else
        lua_pushliteral(L, "file");
    return 1;
}

// io.input() and io.output(): the default file, replaced by a file or a name first.
int defaultFile(lua_State *L, const char *key, const char *mode)
{
    if (!lua_isnoneornil(L, 1)) {
        if (const char *name = lua_tostring(L, 1)) {
            if (openFile(L, name, mode) != 1)
                return luaL_error(L, "%s", lua_tostring(L, -1));
        } else {
            checkOpen(L, 1);
            lua_pushvalue(L, 1);
        }
        lua_setfield(L, LUA_REGISTRYINDEX, key);
    }
    lua_getfield(L, LUA_REGISTRYINDEX, key);
    return 1;
}

int ioInput(lua_State *L)
{
    return defaultFile(L, kInputKey, "r");
}

int ioOutput(lua_State *L)
{
    return defaultFile(L, kOutputKey, "w");
}

ScriptFile *defaultOpen(lua_State *L, const char *key)
{
    lua_getfield(L, LUA_REGISTRYINDEX, key);
    ScriptFile *file = toFile(L, -1);
    if (!file || file->closed)
        luaL_error(L, "default %s file is closed", key == kInputKey ? "input" : "output");
    lua_pop(L, 1);
    return file;
}

int ioRead(lua_State *L)
{
    return readFormats(L, defaultOpen(L, kInputKey), 1);
}

int ioWrite(lua_State *L)
{
    ScriptFile *file = defaultOpen(L, kOutputKey);
    lua_getfield(L, LUA_REGISTRYINDEX, kOutputKey);
    lua_insert(L, 1);
    return writeValues(L, file, 2);
}

int ioFlush(lua_State *L)
{
    return results(L, commit(L, defaultOpen(L, kOutputKey), false));
}

int ioClose(lua_State *L)
{
    if (lua_isnone(L, 1))
        lua_getfield(L, LUA_REGISTRYINDEX, kOutputKey);
    return fileClose(L);
}

int ioLines(lua_State *L)
{
    if (lua_isnone(L, 1))
        lua_pushnil(L);
    if (lua_isnil(L, 1)) {
        defaultOpen(L, kInputKey);
        lua_getfield(L, LUA_REGISTRYINDEX, kInputKey);
        lua_replace(L, 1);
        return pushLines(L, 1, false);
    }
    const char *name = luaL_checkstring(L, 1);
    if (openFile(L, name, "r") != 1)
        return luaL_error(L, "%s", lua_tostring(L, -1));
    lua_replace(L, 1);
    return pushLines(L, 1, true);
}

int ioPopen(lua_State *L)
{
    return ScriptCall::raiseUnsupported(L, "io.popen");
}

void pushStandard(lua_State *L, const char *field, bool output)
{
    ScriptFile *file = pushFile(L);
    file->standard = true;
    file->console = output;
    file->readable = !output;
    file->writable = output;
    lua_setfield(L, -2, field);
}

} // namespace

void ScriptIo::install(lua_State *L)
{
    static const luaL_Reg methods[] = {
        {"close", fileClose}, {"flush", fileFlush}, {"lines", fileLines}, {"read", fileRead},
        {"seek", fileSeek},   {"setvbuf", fileSetvbuf}, {"write", fileWrite}, {nullptr, nullptr}};
    luaL_newmetatable(L, kFileType);
    luaL_newlib(L, methods);
    lua_setfield(L, -2, "__index");
    lua_pushcfunction(L, fileGc);
    lua_setfield(L, -2, "__gc");
    lua_pushcfunction(L, fileToString);
    lua_setfield(L, -2, "__tostring");
    lua_pop(L, 1);

    static const luaL_Reg functions[] = {
        {"close", ioClose}, {"flush", ioFlush}, {"input", ioInput}, {"lines", ioLines},     {"open", ioOpen},    {"output", ioOutput},
        {"popen", ioPopen}, {"read", ioRead},   {"tmpfile", ioTmpfile}, {"type", ioType},    {"write", ioWrite},
        {nullptr, nullptr}};
    luaL_newlib(L, functions);
    pushStandard(L, "stdin", false);
    pushStandard(L, "stdout", true);
    pushStandard(L, "stderr", true);
    lua_getfield(L, -1, "stdin");
    lua_setfield(L, LUA_REGISTRYINDEX, kInputKey);
    lua_getfield(L, -1, "stdout");
    lua_setfield(L, LUA_REGISTRYINDEX, kOutputKey);
    lua_pushvalue(L, -1);
    lua_setglobal(L, "io");
    lua_getglobal(L, "package");
    lua_getfield(L, -1, "loaded");
    lua_pushvalue(L, -3);
    lua_setfield(L, -2, "io");
    lua_pop(L, 3);
}
