#pragma once

#include <QLatin1String>
#include <QString>

// Names and fixed values that several subsystems must agree on: the project's file names, the
// script suffixes, the package's fixed fields and the title of every notice box.
namespace Names {

// The project file in every project directory.
inline QString projectFile() { return QStringLiteral("ks.project"); }
// The template every new project starts from, and its compiled form that the package carries.
inline QString mainScript() { return QStringLiteral("main.script"); }
inline QString compiledMainScript() { return QStringLiteral("main.script.m"); }
// A compiled script lies beside its source as <source>.m.
inline QString compiledSuffix() { return QStringLiteral(".m"); }

// Files with these endings are Lua scripts: compiled by the build, sealed in the package.
inline bool isScriptName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".script")) || fileName.endsWith(QLatin1String(".lua"));
}
inline QString scriptSuffix() { return QStringLiteral(".script"); }
// The author's list of extra global names in a project directory, one a line, for the check of
// global names.
inline QString globalsFile() { return QStringLiteral(".kestrun-globals"); }
// Files the editor opens: scripts and plain text.
inline bool isTextName(const QString &fileName)
{
    return isScriptName(fileName) || fileName.endsWith(QLatin1String(".txt")) || fileName.endsWith(QLatin1String(".html"))
        || fileName.endsWith(QLatin1String(".htm")) || fileName == globalsFile();
}

// The image editor's one-time backup beside an image: <image>.备份
inline QString backupSuffix() { return QStringLiteral(".备份"); }

// The package a build writes into the project directory: <name from ks.project>.ks, and the
// scratch file beside it while the build runs: <name>.o. The packer leaves files so named out.
inline QString packageSuffix() { return QStringLiteral(".ks"); }
inline QString scratchSuffix() { return QStringLiteral(".o"); }
// Held in the project directory while a check or build runs, so that a second one started
// meanwhile (the IDE and kestrun-build, two terminals) stops instead of mixing their files.
inline QString buildLock() { return QStringLiteral(".kestrun-build.lock"); }

// Where a script run on the PC keeps the files it writes to device paths ("/sdcard/a.txt" is
// <project>/.kestrun-run/sdcard/a.txt). The packer leaves it out.
inline QString runFolder() { return QStringLiteral(".kestrun-run"); }

// Fixed fields of every package the IDE builds.
constexpr int packageType = 2;
inline QString packageVersion() { return QStringLiteral("暂无"); }

// Title of the information boxes that tell the author of a failure or a notice.
inline QString noticeTitle() { return QStringLiteral("提示"); }

} // namespace Names
