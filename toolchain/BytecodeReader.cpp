#include "toolchain/BytecodeReader.h"

#include "toolchain/ChunkRelayer.h"

#include <QtEndian>

namespace {

enum ConstantType { Nil = 0, Boolean = 1, Number = 3, String = 4 };

class Reader
{
public:
    Reader(const QByteArray &bytes, QVector<BytecodeReader::Function> *functions)
        : p(bytes.constData()), end(bytes.constData() + bytes.size()), functions(functions)
    {
    }

    Status chunk()
    {
        sizeTWidth = left() < ChunkRelayer::HeaderLength ? 0 : ChunkRelayer::headerSizeTWidth(p);
        if (sizeTWidth == 0)
            return fail(QStringLiteral("not a little-endian Lua 5.2 chunk"));
        p += ChunkRelayer::HeaderLength;
        if (!function(-1, 0))
            return fail(problem);
        if (p != end)
            return fail(QStringLiteral("bytes after the chunk"));
        return {};
    }

private:
    qint64 left() const { return end - p; }

    bool bad(const char *why)
    {
        problem = QString::fromLatin1(why);
        return false;
    }

    bool skip(qint64 n)
    {
        if (n < 0 || n > left())
            return bad("chunk truncated");
        p += n;
        return true;
    }

    bool byte(int *value)
    {
        if (left() < 1)
            return bad("chunk truncated");
        *value = static_cast<unsigned char>(*p++);
        return true;
    }

    bool integer(int *value)
    {
        if (left() < 4)
            return bad("chunk truncated");
        *value = qFromLittleEndian<qint32>(p);
        p += 4;
        return true;
    }

    // A list length whose items take at least itemWidth bytes each.
    bool count(qint64 *n, int itemWidth)
    {
        if (left() < 4)
            return bad("chunk truncated");
        *n = qFromLittleEndian<qint32>(p);
        p += 4;
        if (*n < 0 || *n * itemWidth > left())
            return bad("count out of range");
        return true;
    }

    // A counted list of 4-byte words (instructions, line numbers), left in place.
    bool words(const char **start, int *n)
    {
        qint64 count64 = 0;
        if (!count(&count64, 4))
            return false;
        *start = p;
        *n = static_cast<int>(count64);
        p += 4 * count64;
        return true;
    }

    // A string of the dump; *text (when asked for) points at it in the chunk.
    bool string(BytecodeReader::Constant *text)
    {
        if (left() < sizeTWidth)
            return bad("chunk truncated");
        const quint64 size = sizeTWidth == 4 ? qFromLittleEndian<quint32>(p) : qFromLittleEndian<quint64>(p);
        p += sizeTWidth;
        if (size > quint64(left()))
            return bad("chunk truncated");
        // The dump writes the terminating zero too; a size of 0 is no string at all.
        if (text && size > 0) {
            text->text = p;
            text->length = static_cast<int>(size - 1);
        }
        p += size;
        return true;
    }

    bool function(int parent, int depth)
    {
        if (depth > ChunkRelayer::MaxNesting)
            return bad("functions nested too deeply");
        const int self = functions->size();
        functions->append(BytecodeReader::Function());
        BytecodeReader::Function f;
        f.parent = parent;
        int ignored = 0;
        qint64 n = 0;
        // linedefined, lastlinedefined, numparams, is_vararg, maxstacksize
        if (!integer(&f.lineDefined) || !integer(&f.lastLineDefined) || !byte(&f.parameters) || !skip(1 + 1)
            || !words(&f.code, &f.size) || !count(&n, 1))
            return false;
        f.constants.resize(static_cast<int>(n));
        for (BytecodeReader::Constant &constant : f.constants) {
            int type = 0;
            if (!byte(&type))
                return false;
            bool ok = true;
            switch (type) {
            case Nil: break;
            case Boolean: ok = byte(&ignored); break;
            case Number: ok = skip(8); break;
            case String:
                constant.isString = true;
                ok = string(&constant);
                break;
            default: return bad("unknown constant type");
            }
            if (!ok)
                return false;
        }
        if (!count(&n, 1))
            return false;
        for (qint64 i = 0; i < n; ++i) {
            f.children.append(functions->size());
            if (!function(self, depth + 1))
                return false;
        }
        if (!count(&n, 2))
            return false;
        f.upvalues.resize(static_cast<int>(n));
        for (BytecodeReader::Upvalue &upvalue : f.upvalues) {
            int inStack = 0;
            if (!byte(&inStack) || !byte(&upvalue.index))
                return false;
            upvalue.inStack = inStack != 0;
        }
        // Debug information: source name, a line per instruction, locals, upvalue names.
        int lineCount = 0;
        if (!string(nullptr) || !words(&f.lines, &lineCount))
            return false;
        if (lineCount != f.size)
            return bad("no line information");
        // A local takes at least a size, startpc and endpc.
        if (!count(&n, sizeTWidth + 8))
            return false;
        f.locals.resize(static_cast<int>(n));
        for (BytecodeReader::Local &local : f.locals) {
            if (!string(&local.name) || !integer(&local.startPc) || !integer(&local.endPc))
                return false;
        }
        if (!count(&n, sizeTWidth))
            return false;
        for (qint64 i = 0; i < n; ++i) {
            if (!string(i < f.upvalues.size() ? &f.upvalues[static_cast<int>(i)].name : nullptr))
                return false;
        }
        (*functions)[self] = std::move(f);
        return true;
    }

    const char *p;
    const char *end;
    QVector<BytecodeReader::Function> *functions;
    int sizeTWidth = 8;
    QString problem;
};

} // namespace

Result<QVector<BytecodeReader::Function>> BytecodeReader::read(const QByteArray &chunk)
{
    QVector<Function> functions;
    const Status status = Reader(chunk, &functions).chunk();
    if (!status)
        return fail(status.error());
    return functions;
}
