#pragma once

#include "common/Result.h"

#include <QString>

// Names of projects, files and directories that the author types. A name is one path
// component: it may not leave its parent directory or hold characters file systems refuse.
class NameRules
{
public:
    // Fails with the message to show when the name is not acceptable.
    static Status check(const QString &name);
};
