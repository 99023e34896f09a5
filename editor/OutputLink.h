#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A place in a script that a line of the output names, so the line can lead there: the line of
// a compiler report that gives the script and line of a syntax error, a warning of the script
// check, or a result of the project search.
struct OutputLink
{
    QString path;  // relative to the project directory, e.g. "lib/util.lua"
    int line = 0;  // from 1
    QString token; // the text to mark on that line, when the output names it

    // The link of line index of an output pane, or nothing when that line names no place. A
    // compiler report names the script by file name only; the progress line "正在编译[...]"
    // before it gives the script's path.
    static std::optional<OutputLink> parse(const QStringList &lines, int index);
};
