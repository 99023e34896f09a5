#pragma once

#include "common/Result.h"

#include <QMetaType>
#include <QString>

#include <optional>

// What a command found, as a value: an error or warning of a build, the error that ended a
// script run, a place found (a result of a search, a frame of the run's call stack). One
// with a place (a script of a project and a line in it) leads there from the output pane; one
// without is only a line of text. The output keeps the value with its line, so where a line
// leads never depends on how its text reads.
struct Diagnostic
{
    enum class Kind { Error, Warning, SearchResult };

    Kind kind = Kind::Error;
    QString message;   // the line as shown, without the "错误：" of an error
    QString directory; // the project directory path is relative to
    QString path;      // of the script, relative to directory; empty when there is no place
    int line = 0;      // from 1; 0 when there is no place
    QString token;     // the text on that line the finding is about, when known

    // Without a place.
    static Diagnostic error(const QString &message) { return Diagnostic{Kind::Error, message, {}, {}, 0, {}}; }
    static Diagnostic warning(const QString &message) { return Diagnostic{Kind::Warning, message, {}, {}, 0, {}}; }

    bool hasPlace() const { return !path.isEmpty() && line > 0; }
    // The text of the output line: an error starts with "错误：".
    QString text() const;

    // The file the place is in. The place may come from the device, so a path that leaves the
    // directory (through "..", an absolute path or a symbolic link) leads nowhere, as does a
    // file that is not there (any more) or is no script or text.
    Result<QString> file() const;
    // Where the token stands in the text of the line (from 0): its first occurrence as a whole
    // word (so "touchClik" is not found inside "touchClikTwice"), else its first occurrence; -1
    // when no token is known or the line does not hold it.
    int tokenColumn(const QString &lineText) const;

    // A line of the device's log that names a place the way Lua reports errors, "<path>:<line>:
    // <text>", as a place in the project directory given; nothing for any other line.
    static std::optional<Diagnostic> fromLogLine(const QString &line, const QString &directory);
};

Q_DECLARE_METATYPE(Diagnostic)
