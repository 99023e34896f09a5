#include "runner/ChunkLines.h"

#include "toolchain/ScriptCompiler.h"

#include <QtEndian>

#include <algorithm>

void ChunkLines::field(ChunkWalker::Field field, qint64, const char *bytes, qint64 length)
{
    if (field != ChunkWalker::Field::Lines)
        return;
    partial.append(bytes, int(length));
    const int whole = partial.size() / 4 * 4;
    for (int at = 0; at < whole; at += 4)
        found.append(qFromLittleEndian<qint32>(partial.constData() + at));
    partial.remove(0, whole);
}

QVector<int> ChunkLines::lines() const
{
    QVector<int> sorted = found;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return sorted;
}

Result<QVector<int>> ChunkLines::ofDump(const QByteArray &dump)
{
    ChunkLines reader;
    const Status walked = ChunkWalker::walk(dump.constData(), dump.size(), {&reader});
    if (!walked)
        return fail(walked.error());
    return reader.lines();
}

Result<QVector<int>> ChunkLines::ofText(const QByteArray &text, const QString &fileName)
{
    ChunkLines reader;
    const QByteArray source = text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text; // as a run skips it
    const Result<QByteArray> compiled = ScriptCompiler::compileChunk(source, fileName, &reader);
    if (!compiled)
        return fail(compiled.error());
    return reader.lines();
}

int ChunkLines::stopLine(const QVector<int> &lines, int line)
{
    const auto found = std::lower_bound(lines.cbegin(), lines.cend(), line);
    return found == lines.cend() || line < 1 ? 0 : *found;
}
