#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QVector>

// The lines of a script that hold code, from its compiled chunk's line table: where Lua's line
// events can happen, so where a breakpoint can stop.
class ChunkLines
{
public:
    // From a chunk as this machine's dump writes it, debug information kept; ascending.
    static Result<QVector<int>> ofDump(const QByteArray &dump);
    // From a script's text, compiled as a run loads it.
    static Result<QVector<int>> ofText(const QByteArray &text);
    // Where a breakpoint asked for at `line` stops: the first line with code at or after it; 0
    // when there is none.
    static int stopLine(const QVector<int> &lines, int line);
};
