#pragma once

#include <QString>

// An open script as the session keeps it: its file and where the author was in it.
struct ScriptPlace
{
    QString path;
    int line = 0;  // of the caret, from 0
    int index = 0; // of the caret in its line
    int firstVisibleLine = 0;
};
