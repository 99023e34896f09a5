#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Toggling Lua line comments ("--") over a block of lines, as common code editors do: when
// every line that holds code is already commented, one "--" (and one blank behind it) is taken
// off each; otherwise every such line gets "-- " at the smallest indentation of the block, so a
// block with some comments inside keeps them and comes back as it was. Blank lines are left.
class LineComment
{
public:
    // One change of a line: at a column (in characters), take `removed` characters and put
    // `inserted` there.
    struct Edit
    {
        int line = 0; // index into the lines given
        int column = 0;
        int removed = 0;
        QString inserted;
    };

    // The lines without their line ends; no edits when none holds code.
    static QVector<Edit> toggle(const QStringList &lines);
};
