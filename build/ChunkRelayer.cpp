#include "build/ChunkRelayer.h"

#include <QtEndian>

#include <cstring>

namespace {

// Header bytes that differ only in the size of size_t (byte 8).
const char luaHeader[ChunkRelayer::HeaderLength] = {
    '\x1b', 'L', 'u', 'a', '\x52', 0, 1, 4, 4, 4, 8, 0, '\x19', '\x93', '\r', '\n', '\x1a', '\n',
};
constexpr int sizeTOffset = 8;

enum ConstantType { Nil = 0, Boolean = 1, Number = 3, String = 4 };

class Relayer
{
public:
    Relayer(const char *chunk, qint64 length, QByteArray *out)
        : at(chunk), left(length), out(out)
    {
    }

    bool run(QString *error)
    {
        if (left < ChunkRelayer::HeaderLength)
            return fail(error, QStringLiteral("chunk shorter than its header"));
        const char width = at[sizeTOffset];
        if (std::memcmp(at, luaHeader, sizeTOffset) != 0 || (width != 4 && width != 8)
            || std::memcmp(at + sizeTOffset + 1, luaHeader + sizeTOffset + 1, ChunkRelayer::HeaderLength - sizeTOffset - 1) != 0)
            return fail(error, QStringLiteral("not a little-endian Lua 5.2 chunk"));
        sizeTWidth = width;
        skip(ChunkRelayer::HeaderLength);
        out->append(luaHeader, ChunkRelayer::HeaderLength);
        if (!function(0))
            return fail(error, problem);
        if (left != 0)
            return fail(error, QStringLiteral("bytes after the chunk"));
        return true;
    }

private:
    const char *at;
    qint64 left;
    QByteArray *out;
    int sizeTWidth = 4;
    QString problem = QStringLiteral("chunk truncated");

    static bool fail(QString *error, const QString &why)
    {
        if (error)
            *error = why;
        return false;
    }

    void skip(qint64 n)
    {
        at += n;
        left -= n;
    }

    bool copy(qint64 n)
    {
        if (n > left)
            return false;
        out->append(at, static_cast<int>(n));
        skip(n);
        return true;
    }

    void writeInt(quint32 value)
    {
        char bytes[4];
        qToLittleEndian<quint32>(value, bytes);
        out->append(bytes, 4);
    }

    // A non-negative int count, each element of which takes at least minSize more bytes.
    bool count(qint64 minSize, qint64 *n)
    {
        if (left < 4)
            return false;
        const qint32 value = qFromLittleEndian<qint32>(at);
        skip(4);
        if (value < 0 || qint64(value) * minSize > left) {
            problem = QStringLiteral("count out of range");
            return false;
        }
        *n = value;
        return true;
    }

    bool stringLength(qint64 *length)
    {
        if (left < sizeTWidth)
            return false;
        const quint64 value = sizeTWidth == 4 ? qFromLittleEndian<quint32>(at) : qFromLittleEndian<quint64>(at);
        skip(sizeTWidth);
        if (value > quint64(left)) {
            problem = QStringLiteral("string longer than the chunk");
            return false;
        }
        *length = static_cast<qint64>(value);
        return true;
    }

    bool copyString()
    {
        qint64 length;
        if (!stringLength(&length))
            return false;
        if (length > qint64(0xFFFFFFFFu)) {
            problem = QStringLiteral("string too long for a 32-bit chunk");
            return false;
        }
        writeInt(static_cast<quint32>(length));
        return copy(length);
    }

    bool skipString()
    {
        qint64 length;
        if (!stringLength(&length))
            return false;
        skip(length);
        return true;
    }

    bool function(int depth)
    {
        if (depth > ChunkRelayer::MaxNesting) {
            problem = QStringLiteral("functions nested too deeply");
            return false;
        }
        // linedefined, lastlinedefined, numparams, is_vararg, maxstacksize
        if (!copy(4 + 4 + 3))
            return false;

        qint64 n;
        if (!count(4, &n))
            return false;
        writeInt(static_cast<quint32>(n));
        if (!copy(n * 4))
            return false;

        if (!count(1, &n))
            return false;
        writeInt(static_cast<quint32>(n));
        for (qint64 i = 0; i < n; ++i) {
            if (left < 1)
                return false;
            const char type = *at;
            copy(1);
            bool ok = false;
            switch (type) {
            case Nil: ok = true; break;
            case Boolean: ok = copy(1); break;
            case Number: ok = copy(8); break;
            case String: ok = copyString(); break;
            default: problem = QStringLiteral("unknown constant type");
            }
            if (!ok)
                return false;
        }

        if (!count(1, &n))
            return false;
        writeInt(static_cast<quint32>(n));
        for (qint64 i = 0; i < n; ++i) {
            if (!function(depth + 1))
                return false;
        }

        // upvalues: instack and idx bytes
        if (!count(2, &n))
            return false;
        writeInt(static_cast<quint32>(n));
        if (!copy(n * 2))
            return false;

        // Debug information is read and dropped: an empty source, then three empty lists.
        if (!skipString())
            return false;
        if (!count(4, &n) || n * 4 > left)
            return false;
        skip(n * 4);
        if (!count(sizeTWidth + 8, &n))
            return false;
        for (qint64 i = 0; i < n; ++i) {
            if (!skipString() || left < 8)
                return false;
            skip(8);
        }
        if (!count(sizeTWidth, &n))
            return false;
        for (qint64 i = 0; i < n; ++i) {
            if (!skipString())
                return false;
        }
        writeInt(0); // source name
        writeInt(0); // line information
        writeInt(0); // local names
        writeInt(0); // upvalue names
        return true;
    }
};

} // namespace

QByteArray ChunkRelayer::header32()
{
    return QByteArray(luaHeader, HeaderLength);
}

bool ChunkRelayer::relay(const char *chunk, qint64 length, QByteArray *out, QString *error)
{
    out->clear();
    out->reserve(static_cast<int>(qMin<qint64>(length, 0x7FFFFFF0)));
    if (Relayer(chunk, length, out).run(error))
        return true;
    out->clear();
    return false;
}
