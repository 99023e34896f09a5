#pragma once

#include "common/Result.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

// The one description of the Lua 5.2 precompiled chunk layout. It walks a chunk as the stock
// dump writes it on this machine (little-endian, 4- or 8-byte size_t, debug information kept or
// stripped), fed in pieces of any size as the dump writes them, and tells its visitors what each
// field holds: the re-layer that writes the device's layout and the reader of the check of
// global names are two of them, served by one pass over the dump.
//
// The input is untrusted bytes: counts and lengths only ever make it wait for more input, never
// allocate, and nesting is bounded. Strings too long for the device's 32-bit layout are refused.
class ChunkWalker
{
public:
    static constexpr int HeaderLength = 18;
    // linedefined, lastlinedefined (ints), numparams, is_vararg, maxstacksize (bytes)
    static constexpr int FunctionHeadLength = 4 + 4 + 3;
    // Deeper than the compiler itself can nest functions.
    static constexpr int MaxNesting = 250;

    enum ConstantType { Nil = 0, Boolean = 1, Number = 3, String = 4 };

    // The fields in the order a function lays them out. Runs (Code, String, Upvalues, Source,
    // Lines, LocalName, UpvalueName) arrive in as many pieces as the input came in, none when
    // empty; every other field arrives whole.
    enum class Field {
        Header,            // of the chunk: HeaderLength bytes
        FunctionHead,      // a function starts: FunctionHeadLength bytes
        CodeCount, Code,   // the instructions, 4 bytes each
        ConstantCount,
        ConstantType,      // value: the type; a Boolean (1 byte), Number (8 bytes) or String follows
        BooleanValue, NumberValue,
        StringLength, StringBytes, // value: the length, counting the terminating zero; 0 is no string
        FunctionCount,     // the nested functions follow, each FunctionHead to FunctionEnd
        UpvalueCount, Upvalues, // 2 bytes each: in the enclosing function's stack, index
        // Debug information, absent (counts and lengths of 0) in a stripped chunk.
        SourceLength, Source,
        LineCount, Lines,  // the source line of each instruction, 4 bytes each
        LocalCount, LocalNameLength, LocalName, LocalRange,
        UpvalueNameCount, UpvalueNameLength, UpvalueName,
        FunctionEnd,       // the function is complete
    };

    class Visitor
    {
    public:
        virtual ~Visitor() = default;
        // One field, or one piece of a run. value: a count, a length or a constant's type; bytes:
        // the field as it stands in the input (a piece of it for a run).
        virtual void field(Field field, qint64 value, const char *bytes, qint64 length) = 0;
    };

    explicit ChunkWalker(QVector<Visitor *> visitors);

    // Takes the next piece of the chunk; false once the chunk is known to be malformed.
    bool feed(const char *bytes, qint64 length);
    // Succeeds when exactly one whole chunk was fed; else says why, for the author.
    Status finish() const;
    // Walks a whole chunk held in memory.
    static Status walk(const char *chunk, qint64 length, QVector<Visitor *> visitors);

    // The width of size_t (4 or 8) given by the HeaderLength bytes at header; 0 when they are
    // not the header of a little-endian Lua 5.2 chunk.
    static int headerSizeTWidth(const char *header);
    // The header of a chunk with the given width of size_t.
    static QByteArray header(int sizeTWidth);

private:
    // What the next bytes of the input are. The ...Next states take no bytes: they decide what
    // follows a list item.
    enum class State {
        Header, FunctionHead, CodeCount, ConstantCount, ConstantNext, ConstantType, BooleanValue,
        NumberValue, StringLength, FunctionCount, FunctionNext, UpvalueCount, SourceLength,
        LineCount, LocalCount, LocalNext, LocalNameLength, LocalRange, UpvalueNameCount,
        UpvalueNameNext, UpvalueNameLength, Done, Failed
    };
    // What is left of the lists of a function being read.
    struct Function
    {
        qint64 constants = 0;
        qint64 functions = 0;
        qint64 locals = 0;
        qint64 upvalueNames = 0;
    };

    void expect(State next, int width);
    void run(Field field, qint64 length, State then, int width);
    void stateComplete();
    void tell(Field field, qint64 value, const char *bytes, qint64 length);
    void tellPending(Field field, qint64 value) { tell(field, value, pending, pendingWidth); }
    void reject(const QString &why); // the chunk is malformed: stop reading it
    bool count(qint64 *n);
    qint64 length() const;

    QVector<Visitor *> visitors;
    State state = State::Header;
    char pending[HeaderLength] = {};
    int pendingWidth = HeaderLength; // bytes the current fixed-width field has
    int pendingHave = 0;
    Field bulkField = Field::Code;   // a run being passed on
    qint64 bulkLeft = 0;
    int sizeTWidth = 8;
    QVector<Function> stack;
    QString problem;
};
