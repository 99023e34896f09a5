#include "toolchain/ChunkWalker.h"

#include <QtEndian>

#include <cstring>
#include <utility>

namespace {

// Header bytes that differ only in the size of size_t (byte 8).
const char luaHeader[ChunkWalker::HeaderLength] = {
    '\x1b', 'L', 'u', 'a', '\x52', 0, 1, 4, 4, 4, 8, 0, '\x19', '\x93', '\r', '\n', '\x1a', '\n',
};
constexpr int sizeTOffset = 8;

} // namespace

ChunkWalker::ChunkWalker(QVector<Visitor *> visitors)
    : visitors(std::move(visitors))
{
}

QByteArray ChunkWalker::header(int sizeTWidth)
{
    QByteArray bytes(luaHeader, HeaderLength);
    bytes[sizeTOffset] = static_cast<char>(sizeTWidth);
    return bytes;
}

int ChunkWalker::headerSizeTWidth(const char *header)
{
    const char width = header[sizeTOffset];
    if (std::memcmp(header, luaHeader, sizeTOffset) != 0 || (width != 4 && width != 8)
        || std::memcmp(header + sizeTOffset + 1, luaHeader + sizeTOffset + 1, HeaderLength - sizeTOffset - 1) != 0)
        return 0;
    return width;
}

Status ChunkWalker::walk(const char *chunk, qint64 length, QVector<Visitor *> visitors)
{
    ChunkWalker walker(std::move(visitors));
    walker.feed(chunk, length);
    return walker.finish();
}

bool ChunkWalker::feed(const char *bytes, qint64 length)
{
    while (length > 0 && state != State::Failed) {
        if (state == State::Done) {
            reject(QStringLiteral("编译结果之后还有多余的字节"));
            break;
        }
        if (bulkLeft > 0) {
            const qint64 n = qMin(bulkLeft, length);
            tell(bulkField, 0, bytes, n);
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
        // States of width 0 (after a run) complete at once; a completed one may start a run.
        while (bulkLeft == 0 && pendingHave == pendingWidth && state != State::Done && state != State::Failed)
            stateComplete();
    }
    return state != State::Failed;
}

Status ChunkWalker::finish() const
{
    if (state == State::Done)
        return Status();
    return fail(state == State::Failed ? problem : QStringLiteral("编译结果被截断"));
}

void ChunkWalker::expect(State next, int width)
{
    state = next;
    pendingWidth = width;
    pendingHave = 0;
}

void ChunkWalker::run(Field field, qint64 length, State then, int width)
{
    bulkField = field;
    bulkLeft = length;
    expect(then, width);
}

void ChunkWalker::tell(Field field, qint64 value, const char *bytes, qint64 length)
{
    for (Visitor *visitor : qAsConst(visitors))
        visitor->field(field, value, bytes, length);
}

void ChunkWalker::reject(const QString &why)
{
    problem = why;
    state = State::Failed;
    bulkLeft = 0;
}

// The int in `pending` as a list length; a negative one fails the chunk.
bool ChunkWalker::count(qint64 *n)
{
    *n = qFromLittleEndian<qint32>(pending);
    if (*n >= 0)
        return true;
    reject(QStringLiteral("编译结果中的数量超出范围"));
    return false;
}

// The size_t in `pending`: the length of a string.
qint64 ChunkWalker::length() const
{
    const quint64 length = sizeTWidth == 4 ? qFromLittleEndian<quint32>(pending) : qFromLittleEndian<quint64>(pending);
    // Longer than any input: the chunk ends truncated while this waits for it.
    return static_cast<qint64>(qMin<quint64>(length, quint64(1) << 62));
}

// The field in `pending` is complete: pass it on and say what comes next.
void ChunkWalker::stateComplete()
{
    qint64 n = 0;
    switch (state) {
    case State::Header:
        sizeTWidth = headerSizeTWidth(pending);
        if (sizeTWidth == 0)
            return reject(QStringLiteral("不是小端字节序的Lua 5.2编译结果"));
        tellPending(Field::Header, sizeTWidth);
        stack.append(Function());
        return expect(State::FunctionHead, FunctionHeadLength);
    case State::FunctionHead:
        tellPending(Field::FunctionHead, 0);
        return expect(State::CodeCount, 4);
    case State::CodeCount:
        if (!count(&n))
            return;
        tellPending(Field::CodeCount, n);
        return run(Field::Code, n * 4, State::ConstantCount, 4);
    case State::ConstantCount:
        if (!count(&n))
            return;
        tellPending(Field::ConstantCount, n);
        stack.last().constants = n;
        return expect(State::ConstantNext, 0);
    case State::ConstantNext:
        if (stack.last().constants == 0)
            return expect(State::FunctionCount, 4);
        --stack.last().constants;
        return expect(State::ConstantType, 1);
    case State::ConstantType:
        n = static_cast<unsigned char>(pending[0]);
        if (n != Nil && n != Boolean && n != Number && n != String)
            return reject(QStringLiteral("编译结果中有未知的常量类型"));
        tellPending(Field::ConstantType, n);
        if (n == Boolean)
            return expect(State::BooleanValue, 1);
        if (n == Number)
            return expect(State::NumberValue, 8);
        return n == String ? expect(State::StringLength, sizeTWidth) : expect(State::ConstantNext, 0);
    case State::BooleanValue:
        tellPending(Field::BooleanValue, static_cast<unsigned char>(pending[0]));
        return expect(State::ConstantNext, 0);
    case State::NumberValue:
        tellPending(Field::NumberValue, 0);
        return expect(State::ConstantNext, 0);
    case State::StringLength:
        n = length();
        if (n > qint64(0xFFFFFFFFu))
            return reject(QStringLiteral("编译结果中的字符串过长，32位的编译结果容纳不下"));
        tellPending(Field::StringLength, n);
        return run(Field::StringBytes, n, State::ConstantNext, 0);
    case State::FunctionCount:
        if (!count(&n))
            return;
        tellPending(Field::FunctionCount, n);
        stack.last().functions = n;
        return expect(State::FunctionNext, 0);
    case State::FunctionNext:
        if (stack.last().functions == 0)
            return expect(State::UpvalueCount, 4);
        if (stack.size() > MaxNesting)
            return reject(QStringLiteral("编译结果中的函数嵌套过深"));
        --stack.last().functions;
        stack.append(Function());
        return expect(State::FunctionHead, FunctionHeadLength);
    case State::UpvalueCount:
        if (!count(&n))
            return;
        tellPending(Field::UpvalueCount, n);
        return run(Field::Upvalues, n * 2, State::SourceLength, sizeTWidth);
    case State::SourceLength:
        n = length();
        tellPending(Field::SourceLength, n);
        return run(Field::Source, n, State::LineCount, 4);
    case State::LineCount:
        if (!count(&n))
            return;
        tellPending(Field::LineCount, n);
        return run(Field::Lines, n * 4, State::LocalCount, 4);
    case State::LocalCount:
        if (!count(&n))
            return;
        tellPending(Field::LocalCount, n);
        stack.last().locals = n;
        return expect(State::LocalNext, 0);
    case State::LocalNext:
        if (stack.last().locals == 0)
            return expect(State::UpvalueNameCount, 4);
        --stack.last().locals;
        return expect(State::LocalNameLength, sizeTWidth);
    case State::LocalNameLength:
        n = length();
        tellPending(Field::LocalNameLength, n);
        return run(Field::LocalName, n, State::LocalRange, 8); // then startpc, endpc
    case State::LocalRange:
        tellPending(Field::LocalRange, 0);
        return expect(State::LocalNext, 0);
    case State::UpvalueNameCount:
        if (!count(&n))
            return;
        tellPending(Field::UpvalueNameCount, n);
        stack.last().upvalueNames = n;
        return expect(State::UpvalueNameNext, 0);
    case State::UpvalueNameNext:
        if (stack.last().upvalueNames > 0) {
            --stack.last().upvalueNames;
            return expect(State::UpvalueNameLength, sizeTWidth);
        }
        tell(Field::FunctionEnd, 0, nullptr, 0);
        stack.removeLast();
        return expect(stack.isEmpty() ? State::Done : State::FunctionNext, 0);
    case State::UpvalueNameLength:
        n = length();
        tellPending(Field::UpvalueNameLength, n);
        return run(Field::UpvalueName, n, State::UpvalueNameNext, 0);
    case State::Done:
    case State::Failed:
        return;
    }
}
