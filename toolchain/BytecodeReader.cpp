#include "toolchain/BytecodeReader.h"

void BytecodeReader::field(ChunkWalker::Field field, qint64 value, const char *bytes, qint64 length)
{
    using F = ChunkWalker::Field;
    const auto piece = [bytes, length](QByteArray &to) { to.append(bytes, static_cast<int>(length)); };
    switch (field) {
    case F::FunctionHead:
        all.append(Function());
        all.last().parent = open.isEmpty() ? -1 : open.last();
        all.last().lineDefined = qFromLittleEndian<qint32>(bytes);
        all.last().lastLineDefined = qFromLittleEndian<qint32>(bytes + 4);
        all.last().parameters = static_cast<unsigned char>(bytes[8]);
        if (!open.isEmpty())
            all[open.last()].children.append(all.size() - 1);
        open.append(all.size() - 1);
        return;
    case F::Code:
        return piece(all[open.last()].code);
    case F::ConstantType:
        all[open.last()].constants.append(Constant());
        return;
    case F::StringLength:
        all[open.last()].constants.last() = text(value);
        return;
    case F::StringBytes:
    case F::LocalName:
    case F::UpvalueName:
        return piece(all[open.last()].texts);
    case F::LocalNameLength:
        all[open.last()].locals.append(Local{text(value)});
        return;
    case F::LocalRange:
        all[open.last()].locals.last().startPc = qFromLittleEndian<qint32>(bytes);
        all[open.last()].locals.last().endPc = qFromLittleEndian<qint32>(bytes + 4);
        return;
    case F::UpvalueNameCount:
        upvalueNames.clear();
        return;
    case F::UpvalueNameLength:
        upvalueNames.append(text(value));
        return;
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
            f.upvalues.append(Upvalue{upvalueBytes.at(u) != 0, static_cast<unsigned char>(upvalueBytes.at(u + 1)),
                                      upvalueNames.value(u / 2)});
        upvalueNames.clear();
        if (f.lines.size() != f.code.size() && problem.isEmpty())
            problem = QStringLiteral("编译结果中没有行号信息");
        return;
    }
    default:
        return;
    }
}

BytecodeReader::Constant BytecodeReader::text(qint64 length) const
{
    // The dump counts the terminating zero; a length of 0 is no string at all.
    const Function &f = all[open.last()];
    return Constant{length > 0, f.texts.size(), static_cast<int>(qMax<qint64>(length - 1, 0))};
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
