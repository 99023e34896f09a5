#pragma once

#include <QString>

struct lua_State;

// A Lua value as a debugger shows it, read raw: no metamethod runs (__tostring, __index, __len,
// __eq, ...), so a script's odd metatables can neither fail nor change the view. Strings are
// quoted with their control characters and bytes that are not UTF-8 escaped, and cut after
// kShownCharacters characters with their length said.
class LuaValueText
{
public:
    static constexpr int kShownCharacters = 200;

    static QString text(lua_State *L, int index);
    // As the key of a table entry: name, ["two words"], [1], [table: 0x...].
    static QString key(lua_State *L, int index);
    // The text of a string value, unquoted and uncut (an error message).
    static QString plain(lua_State *L, int index);
};
