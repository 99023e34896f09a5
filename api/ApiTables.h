#pragma once

#include "api/ApiEntry.h"

#include <optional>

// The rows the API model is made from, compiled into the program.
struct ApiRecord
{
    const char *forms;       // call forms, '|' between two: "findColor(color)|findColor(color,x1,y1,x2,y2)";
                             // a bare name for a value or where the call form is not known
    const char *aliases;     // Chinese names of the same function, space-separated
    const char *returns;     // what a call returns, as the snippets name it
    const char *description; // one line, Chinese
    // How a script run on the PC is served it; when not given, as its table says.
    std::optional<ApiEntry::OnPc> onPc = std::nullopt;
    const char *onPcNote = ""; // what the PC does where the phone's behaviour is not known
};

struct ApiTable
{
    const ApiRecord *rows;
    int size;
    ApiEntry::OnPc onPc; // of the rows that do not say
};

// The device runtime's functions and names.
ApiTable runtimeApiTable();
// What a stock Lua 5.2 build defines, its compatibility names included (LUA_COMPAT_ALL): the basic
// functions first, then each library table in the order a bare field name is looked up in
// ("format" is string.format before anything else).
ApiTable luaLibraryTable();
// Lua 5.2's reserved words, space-separated.
const char *luaKeywords();
