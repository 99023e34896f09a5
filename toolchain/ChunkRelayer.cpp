#include "toolchain/ChunkRelayer.h"

#include <QtEndian>

ChunkRelayer::ChunkRelayer(QByteArray *out)
    : out(out)
{
    out->clear();
}

Result<QByteArray> ChunkRelayer::relay(const char *chunk, qint64 length)
{
    QByteArray out;
    ChunkRelayer relayer(&out);
    out.reserve(static_cast<int>(qMin<qint64>(length, 0x7FFFFFF0)));
    const Status walked = ChunkWalker::walk(chunk, length, {&relayer});
    if (!walked)
        return fail(walked.error());
    return out;
}

void ChunkRelayer::writeInt(qint64 value)
{
    char bytes[4];
    qToLittleEndian<quint32>(static_cast<quint32>(value), bytes);
    out->append(bytes, 4);
}

void ChunkRelayer::field(ChunkWalker::Field field, qint64 value, const char *bytes, qint64 length)
{
    using F = ChunkWalker::Field;
    switch (field) {
    case F::Header:
        out->append(header32());
        break;
    case F::CodeCount: case F::ConstantCount: case F::FunctionCount: case F::UpvalueCount:
    case F::StringLength: // the walker refuses strings longer than 4 bytes can count
        writeInt(value);
        break;
    case F::FunctionHead: case F::Code: case F::ConstantType: case F::BooleanValue: case F::NumberValue:
    case F::StringBytes: case F::Upvalues:
        out->append(bytes, static_cast<int>(length));
        break;
    case F::FunctionEnd:
        // Stripped: no source name, line information, local names or upvalue names.
        for (int i = 0; i < 4; ++i)
            writeInt(0);
        break;
    default: // the debug information is dropped
        break;
    }
}
