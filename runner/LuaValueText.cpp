#include "runner/LuaValueText.h"

#include <lua.h>

#include <cctype>

namespace {

// Length of the UTF-8 sequence at p (at most `left` bytes), 0 when it is not one.
int sequenceLength(const unsigned char *p, size_t left)
{
    const unsigned char c = p[0];
    const int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || size_t(length) > left || (length == 2 && c < 0xC2))
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

QString quoted(const char *bytes, size_t size, int shown)
{
    QString text = QStringLiteral("\"");
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    size_t at = 0;
    int characters = 0;
    for (; at < size && characters < shown; ++characters) {
        const int length = sequenceLength(p + at, size - at);
        const unsigned char c = p[at];
        if (length > 1) {
            text += QString::fromUtf8(bytes + at, length);
        } else if (c == '"' || c == '\\') {
            text += QStringLiteral("\\") + QLatin1Char(char(c));
        } else if (c == '\n') {
            text += QStringLiteral("\\n");
        } else if (c == '\r') {
            text += QStringLiteral("\\r");
        } else if (c == '\t') {
            text += QStringLiteral("\\t");
        } else if (length == 1 && std::isprint(c)) {
            text += QLatin1Char(char(c));
        } else {
            text += QStringLiteral("\\%1").arg(int(c));
        }
        at += size_t(qMax(length, 1));
    }
    text += QLatin1Char('"');
    if (at < size)
        text += QStringLiteral("…（共%1字节）").arg(qulonglong(size));
    return text;
}

bool isName(const char *bytes, size_t size)
{
    static const char *const keywords[] = {"and", "break", "do", "else", "elseif", "end", "false", "for",
                                           "function", "goto", "if", "in", "local", "nil", "not", "or",
                                           "repeat", "return", "then", "true", "until", "while"};
    if (size == 0 || std::isdigit(static_cast<unsigned char>(bytes[0])))
        return false;
    for (size_t i = 0; i < size; ++i) {
        if (!std::isalnum(static_cast<unsigned char>(bytes[i])) && bytes[i] != '_')
            return false;
    }
    for (const char *keyword : keywords) {
        if (qstrlen(keyword) == size && qstrncmp(keyword, bytes, uint(size)) == 0)
            return false;
    }
    return true;
}

} // namespace

QString LuaValueText::text(lua_State *L, int index)
{
    const void *address = lua_topointer(L, index);
    switch (lua_type(L, index)) {
    case LUA_TNIL:
        return QStringLiteral("nil");
    case LUA_TBOOLEAN:
        return lua_toboolean(L, index) ? QStringLiteral("true") : QStringLiteral("false");
    case LUA_TNUMBER: {
        lua_pushvalue(L, index); // converted in place: a copy
        const QString number = QString::fromLatin1(lua_tostring(L, -1));
        lua_pop(L, 1);
        return number;
    }
    case LUA_TSTRING: {
        size_t size = 0;
        const char *bytes = lua_tolstring(L, index, &size);
        return quoted(bytes, size, kShownCharacters);
    }
    case LUA_TFUNCTION: {
        lua_Debug about;
        lua_pushvalue(L, index);
        lua_getinfo(L, ">S", &about);
        if (about.what[0] == 'C')
            return QString::asprintf("function: %p（C）", address);
        const QString source = QString::fromUtf8(about.source[0] == '@' ? about.source + 1 : about.short_src);
        return QString::asprintf("function: %p", address) + QStringLiteral("（%1:%2）").arg(source).arg(about.linedefined);
    }
    case LUA_TTHREAD:
        return QString::asprintf("thread: %p", address);
    case LUA_TTABLE:
        return QString::asprintf("table: %p", address);
    default:
        return QString::asprintf("userdata: %p", address);
    }
}

QString LuaValueText::key(lua_State *L, int index)
{
    if (lua_type(L, index) == LUA_TSTRING) {
        size_t size = 0;
        const char *bytes = lua_tolstring(L, index, &size);
        if (isName(bytes, size))
            return QString::fromUtf8(bytes, int(size));
    }
    return QLatin1Char('[') + text(L, index) + QLatin1Char(']');
}

QString LuaValueText::plain(lua_State *L, int index)
{
    if (lua_type(L, index) != LUA_TSTRING && lua_type(L, index) != LUA_TNUMBER)
        return text(L, index);
    lua_pushvalue(L, index);
    size_t size = 0;
    const char *bytes = lua_tolstring(L, -1, &size);
    const QString whole = QString::fromUtf8(bytes, int(qMin<size_t>(size, 1 << 20)));
    lua_pop(L, 1);
    return whole;
}
