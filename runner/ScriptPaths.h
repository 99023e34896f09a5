#pragma once

#include "common/Result.h"

#include <QString>

// Where the files a script names lie when it runs on the PC: a relative path ("data/a.txt")
// in the project directory, a device path ("/sdcard/a.txt") in the project's run folder
// (Names::runFolder(), which the packer leaves out). Nothing outside the two is reached, also
// not through "..", a drive letter or a symbolic link.
class ScriptPaths
{
public:
    explicit ScriptPaths(const QString &projectDirectory);

    // The file on the PC. For a device path, the folders above it are made when forWriting.
    Result<QString> resolve(const QString &named, bool forWriting = false) const;
    // A script's path relative to the project with "/" separators ("lib/a.lua"), which names
    // its chunk; only paths in the project itself.
    Result<QString> relative(const QString &named) const;
    QString projectDirectory() const { return root; }

private:
    QString root; // absolute, clean
};
