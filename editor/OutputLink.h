#pragma once

#include "common/Result.h"

#include <QString>
#include <QStringList>

#include <optional>

// A place in a script that a line of the output names, so the line can lead there: the line of
// a compiler report that gives the script and line of a syntax error, a warning of the script
// check, or a result of the project search.
struct OutputLink
{
    enum class Kind { SyntaxError, Warning, SearchResult };

    QString path;  // relative to the project directory, e.g. "lib/util.lua"
    int line = 0;  // from 1
    QString token; // the text to mark on that line, when the output names it
    Kind kind = Kind::SearchResult;

    // The link of line index of an output pane, or nothing when that line names no place. A
    // compiler report names the script by file name only; the progress line "正在编译[...]"
    // before it gives the script's path.
    static std::optional<OutputLink> parse(const QStringList &lines, int index);

    // The file the link leads to in that project directory. Output lines may come from the
    // device, so a path that leaves the directory (through "..", an absolute path or a symbolic
    // link) leads nowhere, as does a file that is not there (any more) or is no script or text.
    Result<QString> file(const QString &projectDirectory) const;
    // Where the token stands in the text of the link's line (from 0): its first occurrence as a
    // whole word (so "touchClik" is not found inside "touchClikTwice"), else its first
    // occurrence; -1 when no token is known or the line does not hold it.
    int tokenColumn(const QString &lineText) const;
};
