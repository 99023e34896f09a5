#include "toolchain/ChunkRelayer.h"

#include <QtEndian>

#include <cstring>

namespace {

// Header bytes that differ only in the size of size_t (byte 8).
const char luaHeader[ChunkRelayer::HeaderLength] = {
    '\x1b', 'L', 'u', 'a', '\x52', 0, 1, 4, 4, 4, 8, 0, '\x19', '\x93', '\r', '\n', '\x1a', '\n',
};
constexpr int sizeTOffset = 8;
// linedefined, lastlinedefined (ints), numparams, is_vararg, maxstacksize (bytes)
constexpr int functionHeadLength = 4 + 4 + 3;

enum ConstantType { Nil = 0, Boolean = 1, Number = 3, String = 4 };

} // namespace

ChunkRelayer::ChunkRelayer(QByteArray *out)
    : out(out)
{
    out->clear();
}

QByteArray ChunkRelayer::header32()
{
    return QByteArray(luaHeader, HeaderLength);
}

int ChunkRelayer::headerSizeTWidth(const char *header)
{
    const char width = header[sizeTOffset];
    if (std::memcmp(header, luaHeader, sizeTOffset) != 0 || (width != 4 && width != 8)
        || std::memcmp(header + sizeTOffset + 1, luaHeader + sizeTOffset + 1, HeaderLength - sizeTOffset - 1) != 0)
        return 0;
    return width;
}

Result<QByteArray> ChunkRelayer::relay(const char *chunk, qint64 length)
{
    QByteArray out;
    ChunkRelayer relayer(&out);
    out.reserve(static_cast<int>(qMin<qint64>(length, 0x7FFFFFF0)));
    relayer.feed(chunk, length);
    const Status finished = relayer.finish();
    if (!finished)
        return fail(finished.error());
    return out;
}

bool ChunkRelayer::feed(const char *bytes, qint64 length)
{
    while (length > 0 && field != Field::Failed) {
        if (field == Field::Done) {
            reject(QStringLiteral("bytes after the chunk"));
            break;
        }
        if (bulkLeft > 0) {
            const qint64 n = qMin(bulkLeft, length);
            if (bulkKeep)
                out->append(bytes, static_cast<int>(n));
            bytes += n;
            length -= n;
            bulkLeft -= n;
        } else {
            const int n = static_cast<int>(qMin<qint64>(pendingWidth - pendingHave, length));
            std::memcpy(pending + pendingHave, bytes, static_cast<size_t>(n));
            pendingHave += n;
            bytes += n;
            length -= n;
        }
        // Fields of width 0 (after a run) complete at once; a completed field may start a run.
        while (bulkLeft == 0 && pendingHave == pendingWidth && field != Field::Done && field != Field::Failed)
            fieldComplete();
    }
    return field != Field::Failed;
}

Status ChunkRelayer::finish()
{
    if (field == Field::Done)
        return Status();
    return fail(field == Field::Failed ? problem : QStringLiteral("chunk truncated"));
}

void ChunkRelayer::expect(Field next, int width)
{
    field = next;
    pendingWidth = width;
    pendingHave = 0;
}

void ChunkRelayer::run(qint64 length, bool keep, Field then, int width)
{
    bulkLeft = length;
    bulkKeep = keep;
    expect(then, width);
}

void ChunkRelayer::reject(const QString &why)
{
    problem = why;
    field = Field::Failed;
    bulkLeft = 0;
}

// The int in `pending` as a list length; a negative one fails the chunk.
bool ChunkRelayer::count(qint64 *n)
{
    *n = qFromLittleEndian<qint32>(pending);
    if (*n >= 0)
        return true;
    reject(QStringLiteral("count out of range"));
    return false;
}

qint64 ChunkRelayer::stringLength() const
{
    const quint64 length = sizeTWidth == 4 ? qFromLittleEndian<quint32>(pending) : qFromLittleEndian<quint64>(pending);
    // Longer than any input: the chunk ends truncated while this waits for it.
    return static_cast<qint64>(qMin<quint64>(length, quint64(1) << 62));
}

void ChunkRelayer::writeInt(quint32 value)
{
    char bytes[4];
    qToLittleEndian<quint32>(value, bytes);
    out->append(bytes, 4);
}

// The field in `pending` is complete: act on it and say what comes next.
void ChunkRelayer::fieldComplete()
{
    qint64 n = 0;
    switch (field) {
    case Field::Header:
        sizeTWidth = headerSizeTWidth(pending);
        if (sizeTWidth == 0)
            return reject(QStringLiteral("not a little-endian Lua 5.2 chunk"));
        out->append(luaHeader, HeaderLength);
        stack.append(Function());
        return expect(Field::FunctionHead, functionHeadLength);
    case Field::FunctionHead:
        out->append(pending, functionHeadLength);
        return expect(Field::CodeCount, 4);
    case Field::CodeCount:
        if (!count(&n))
            return;
        writeInt(static_cast<quint32>(n));
        return run(n * 4, true, Field::ConstantCount, 4);
    case Field::ConstantCount:
        if (!count(&n))
            return;
        writeInt(static_cast<quint32>(n));
        stack.last().constants = n;
        return expect(Field::ConstantNext, 0);
    case Field::ConstantNext:
        if (stack.last().constants == 0)
            return expect(Field::FunctionCount, 4);
        --stack.last().constants;
        return expect(Field::ConstantType, 1);
    case Field::ConstantType:
        out->append(pending[0]);
        switch (pending[0]) {
        case Nil: return expect(Field::ConstantNext, 0);
        case Boolean: return run(1, true, Field::ConstantNext, 0);
        case Number: return run(8, true, Field::ConstantNext, 0);
        case String: return expect(Field::StringLength, sizeTWidth);
        default: return reject(QStringLiteral("unknown constant type"));
        }
    case Field::StringLength:
        n = stringLength();
        if (n > qint64(0xFFFFFFFFu))
            return reject(QStringLiteral("string too long for a 32-bit chunk"));
        writeInt(static_cast<quint32>(n));
        return run(n, true, Field::ConstantNext, 0);
    case Field::FunctionCount:
        if (!count(&n))
            return;
        writeInt(static_cast<quint32>(n));
        stack.last().functions = n;
        return expect(Field::FunctionNext, 0);
    case Field::FunctionNext:
        if (stack.last().functions == 0)
            return expect(Field::UpvalueCount, 4);
        if (stack.size() > MaxNesting)
            return reject(QStringLiteral("functions nested too deeply"));
        --stack.last().functions;
        stack.append(Function());
        return expect(Field::FunctionHead, functionHeadLength);
    case Field::UpvalueCount:
        if (!count(&n))
            return;
        writeInt(static_cast<quint32>(n));
        // instack and idx bytes, then the debug information, which is read and dropped
        return run(n * 2, true, Field::SourceLength, sizeTWidth);
    case Field::SourceLength:
        return run(stringLength(), false, Field::LineCount, 4);
    case Field::LineCount:
        if (!count(&n))
            return;
        return run(n * 4, false, Field::LocalCount, 4);
    case Field::LocalCount:
        if (!count(&n))
            return;
        stack.last().locals = n;
        return expect(Field::LocalNext, 0);
    case Field::LocalNext:
        if (stack.last().locals == 0)
            return expect(Field::UpvalueNameCount, 4);
        --stack.last().locals;
        return expect(Field::LocalName, sizeTWidth);
    case Field::LocalName:
        return run(stringLength() + 8, false, Field::LocalNext, 0); // the name, startpc, endpc
    case Field::UpvalueNameCount:
        if (!count(&n))
            return;
        stack.last().upvalueNames = n;
        return expect(Field::UpvalueNameNext, 0);
    case Field::UpvalueNameNext:
        if (stack.last().upvalueNames > 0) {
            --stack.last().upvalueNames;
            return expect(Field::UpvalueName, sizeTWidth);
        }
        // The function is complete. Stripped: no source name, line information, local names or
        // upvalue names.
        writeInt(0);
        writeInt(0);
        writeInt(0);
        writeInt(0);
        stack.removeLast();
        return expect(stack.isEmpty() ? Field::Done : Field::FunctionNext, 0);
    case Field::UpvalueName:
        return run(stringLength(), false, Field::UpvalueNameNext, 0);
    case Field::Done:
    case Field::Failed:
        return;
    }
}
