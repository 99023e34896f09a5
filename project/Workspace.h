#pragma once

#include <QString>

// The workspace is the directory "工程目录" in the working directory; each project is a
// subdirectory of it that holds "ks.project".
class Workspace
{
public:
    static QString directoryName();                        // "工程目录"
    static QString projectPath(const QString &name);       // relative; the workspace for ""
    static QString projectAbsolutePath(const QString &name);
    static QString projectFilePath(const QString &projectDirectory); // <dir>/ks.project
    static bool isProjectDirectory(const QString &directory);
    // Creates the workspace when it is missing; true when it exists afterwards.
    static bool ensureExists();
};
