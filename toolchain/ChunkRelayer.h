#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// Re-lays a Lua 5.2 precompiled chunk, as the stock dump writes it on this machine, into the
// layout the device runtime reads: a 32-bit little-endian Lua 5.2 (4-byte size_t) with the debug
// information stripped (no source name, line information, local or upvalue names). The result
// is what a stock 32-bit `luac -s` writes for the same script.
//
// It reads as a stream: the dump is fed in pieces of any size as the dump writes them, so the
// unstripped chunk is never held in memory. The input is parsed as untrusted bytes: counts and
// lengths only ever make it wait for more input, never allocate, and nesting is bounded.
class ChunkRelayer
{
public:
    static constexpr int HeaderLength = 18;
    // Deeper than the compiler itself can nest functions.
    static constexpr int MaxNesting = 250;

    explicit ChunkRelayer(QByteArray *out);

    // Takes the next piece of the chunk; false once the chunk is known to be malformed.
    bool feed(const char *bytes, qint64 length);
    // Succeeds when exactly one whole chunk was fed.
    Status finish();

    // The 18 header bytes of the 32-bit layout.
    static QByteArray header32();
    // The width of size_t (4 or 8) given by the HeaderLength bytes at header; 0 when they are
    // not the header of a little-endian Lua 5.2 chunk.
    static int headerSizeTWidth(const char *header);
    // Re-lays a whole chunk held in memory. Fails when the input is not exactly one well-formed
    // little-endian Lua 5.2 chunk with 4- or 8-byte size_t.
    static Result<QByteArray> relay(const char *chunk, qint64 length);
    static Result<QByteArray> relay(const QByteArray &chunk) { return relay(chunk.constData(), chunk.size()); }

private:
    // What the next bytes of the input are. The ...Next steps take no bytes: they decide what
    // follows a list item.
    enum class Field {
        Header, FunctionHead, CodeCount, ConstantCount, ConstantNext, ConstantType, StringLength,
        FunctionCount, FunctionNext, UpvalueCount, SourceLength, LineCount, LocalCount, LocalNext,
        LocalName, UpvalueNameCount, UpvalueNameNext, UpvalueName, Done, Failed
    };
    // What is left of the lists of a function being read.
    struct Function
    {
        qint64 constants = 0;
        qint64 functions = 0;
        qint64 locals = 0;
        qint64 upvalueNames = 0;
    };

    void expect(Field next, int width);
    void run(qint64 length, bool keep, Field then, int width);
    void fieldComplete();
    void reject(const QString &why); // the chunk is malformed: stop reading it
    bool count(qint64 *n);
    qint64 stringLength() const;
    void writeInt(quint32 value);

    QByteArray *out;
    Field field = Field::Header;
    char pending[HeaderLength] = {};
    int pendingWidth = HeaderLength; // bytes the current fixed-width field has
    int pendingHave = 0;
    qint64 bulkLeft = 0;             // bytes of a run being copied or skipped
    bool bulkKeep = false;
    int sizeTWidth = 8;
    QVector<Function> stack;
    QString problem;
};
