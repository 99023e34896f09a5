#pragma once

#include <QByteArray>

class ApiModel;

// The Lua lexer's keyword sets, made from the API model, so that the editor colours exactly the
// names the script check knows.
class LexerWords
{
public:
    // Set 1: Lua's reserved words; 2: the basic functions and the library tables; 3: the runtime's
    // API with its aliases and the fields of string, table, math and of tables the author added;
    // 4: the fields of Lua's other libraries. Space-separated; empty for any other set.
    static QByteArray forSet(const ApiModel &model, int set);
};
