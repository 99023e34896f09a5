#pragma once

#include <QString>

// Names of projects, files and directories that the author types. A name is one path
// component: it may not leave its parent directory or hold characters file systems refuse.
class NameRules
{
public:
    // "" when the name is acceptable, otherwise the message to show.
    static QString problem(const QString &name);
};
