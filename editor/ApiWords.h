#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The names the editor knows of the device runtime and of Lua: the lexer's third keyword set
// and the completion list, as the program was built with them. The script check reads them
// too, so they live here, free of the editor widget.
class ApiWords
{
public:
    // One line of the completion list: "name", "name(parameters)" or "table:name(parameters)".
    struct Entry
    {
        QString name;             // "touchClick"; a library's field as "string.format"
        int fixedParameters = -1; // the count of a fixed parameter list; -1 without a list, or
                                  // when parameters are optional ("[") or variable ("...")
    };

    // Keyword set 3 of the Lua lexer, one space-separated text, exactly as it is coloured.
    static const char *lexerWords();
    // The words of that set that name the runtime's API, Chinese aliases included; the Lua
    // library names at its end (many from Lua versions before 5.2) are not among them.
    static QStringList runtimeWords();

    // The entries of config/apis.txt as it was when the program was built.
    static QVector<Entry> completionEntries();
};
