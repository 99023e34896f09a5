#include "runner/ChunkLines.h"

#include "toolchain/BytecodeReader.h"
#include "toolchain/ScriptCompiler.h"

#include <algorithm>

Result<QVector<int>> ChunkLines::ofDump(const QByteArray &dump)
{
    const Result<QVector<BytecodeReader::Function>> functions = BytecodeReader::read(dump);
    if (!functions)
        return fail(functions.error());
    QVector<int> lines;
    for (const BytecodeReader::Function &function : *functions) {
        for (int pc = 0; pc < function.size; ++pc)
            lines.append(function.line(pc));
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

Result<QVector<int>> ChunkLines::ofText(const QByteArray &text)
{
    QByteArray chunk;
    QByteArray message;
    QByteArray dump;
    int status = 0;
    const QByteArray source = text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text; // as a run skips it
    if (ScriptCompiler::compileChunk(source, &chunk, &status, &message, &dump) == 0)
        return fail(QString::fromUtf8(message));
    return ofDump(dump);
}

int ChunkLines::stopLine(const QVector<int> &lines, int line)
{
    const auto found = std::lower_bound(lines.cbegin(), lines.cend(), line);
    return found == lines.cend() ? 0 : *found;
}
