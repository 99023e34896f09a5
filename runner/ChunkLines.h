#pragma once

#include "common/Result.h"
#include "toolchain/ChunkWalker.h"

#include <QByteArray>
#include <QVector>

// The lines of a script that hold code, from its compiled chunk's line table: where Lua's line
// events can happen, so where a breakpoint can stop. A visitor of the chunk walker that keeps
// only the line numbers.
class ChunkLines : public ChunkWalker::Visitor
{
public:
    void field(ChunkWalker::Field field, qint64 value, const char *bytes, qint64 length) override;
    // Ascending, each once.
    QVector<int> lines() const;

    // Of a chunk as this machine's dump writes it, debug information kept.
    static Result<QVector<int>> ofDump(const QByteArray &dump);
    // Of a script's text, compiled as a run loads it.
    static Result<QVector<int>> ofText(const QByteArray &text, const QString &fileName);
    // Where a breakpoint asked for at `line` stops: the first line with code at or after it; 0
    // when there is none (or line is not a line).
    static int stopLine(const QVector<int> &lines, int line);

private:
    QVector<int> found;
    QByteArray partial; // of a line number split between pieces
};
