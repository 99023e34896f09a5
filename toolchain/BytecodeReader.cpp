#include "toolchain/BytecodeReader.h"

void BytecodeReader::field(ChunkWalker::Field field, qint64 value, const char *bytes, qint64 length)
{
    using F = ChunkWalker::Field;
    const auto piece = [bytes, length](QByteArray &to) { to.append(bytes, static_cast<int>(length)); };
    switch (field) {
    case F::FunctionHead:
        all.append(Function());
        all.last().parent = open.isEmpty() ? -1 : open.last();
        open.append(all.size() - 1);
        return;
    case F::Code:
        return piece(all[open.last()].code);
    case F::ConstantType:
        all[open.last()].constants.append(Constant());
        return;
    case F::StringLength: {
        // The dump counts the terminating zero; a length of 0 is no string at all.
        Function &f = all[open.last()];
        f.constants.last().isString = value > 0;
        f.constants.last().offset = f.texts.size();
        f.constants.last().length = static_cast<int>(qMax<qint64>(value - 1, 0));
        return;
    }
    case F::StringBytes:
        return piece(all[open.last()].texts);
    case F::UpvalueCount:
        upvalueBytes.clear();
        return;
    case F::Upvalues:
        return piece(upvalueBytes);
    case F::Lines:
        return piece(all[open.last()].lines);
    case F::FunctionEnd: {
        Function &f = all[open.takeLast()];
        for (int u = 0; u + 1 < upvalueBytes.size(); u += 2)
            f.upvalues.append(Upvalue{upvalueBytes.at(u) != 0, static_cast<unsigned char>(upvalueBytes.at(u + 1))});
        if (f.lines.size() != f.code.size() && problem.isEmpty())
            problem = QStringLiteral("编译结果中没有行号信息");
        return;
    }
    default:
        return;
    }
}

Result<QVector<BytecodeReader::Function>> BytecodeReader::functions() const
{
    if (!problem.isEmpty())
        return fail(problem);
    if (all.isEmpty() || !open.isEmpty())
        return fail(QStringLiteral("编译结果被截断"));
    return all;
}

Result<QVector<BytecodeReader::Function>> BytecodeReader::read(const QByteArray &chunk)
{
    BytecodeReader reader;
    const Status walked = ChunkWalker::walk(chunk.constData(), chunk.size(), {&reader});
    if (!walked)
        return fail(walked.error());
    return reader.functions();
}
