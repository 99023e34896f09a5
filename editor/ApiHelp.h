#pragma once

#include <QString>

class ApiModel;
struct ApiEntry;

// What the editor says about a name of the API where the author points: its entry in the model
// and the few lines shown while the pointer rests on it.
class ApiHelp
{
public:
    // The entry of the name at index in a line of script: a table's field ("string.format", on
    // either word), a plain name, or a Chinese alias; null when the model has none.
    static const ApiEntry *entryAt(const ApiModel &model, const QString &line, int index);
    // Rich text: the call forms, what it returns, the description, the aliases, and whether a run
    // on the PC serves it (the reference says how).
    static QString hoverText(const ApiEntry &entry);
};
