#pragma once

#include "common/Result.h"
#include "toolchain/ChunkWalker.h"

#include <QByteArray>
#include <QVector>
#include <QtEndian>
#include <QtGlobal>

// Keeps what checks of the compiled code need of a chunk walked with its debug information: the
// instructions, the source line of each, the string constants, the upvalues and the locals of
// every function, and the lines it spans. A visitor of the chunk walker, so it reads the dump as the compiler writes it,
// beside the re-layer, and nothing else of the chunk is held.
class BytecodeReader : public ChunkWalker::Visitor
{
public:
    // A constant; only strings are kept.
    struct Constant
    {
        bool isString = false;
        int offset = 0; // of the string in the function's texts
        int length = 0;
    };
    struct Upvalue
    {
        bool inStack = false; // a local (register) of the enclosing function, else one of its upvalues
        int index = 0;
        Constant name;        // as the source names it
    };
    // A local variable of the source, live from instruction startPc to before endPc.
    struct Local
    {
        Constant name;
        int startPc = 0;
        int endPc = 0;
    };
    struct Function
    {
        int parent = -1; // index of the enclosing function; -1 for the main function
        int lineDefined = 0;     // of "function"; 0 for the main function
        int lastLineDefined = 0; // of its "end"
        int parameters = 0;
        QVector<int> children;   // indexes of the functions it makes (CLOSURE's Bx), in order
        QVector<Local> locals;   // in the order they come into scope
        int size() const { return code.size() / 4; } // instructions
        quint32 instruction(int pc) const { return qFromLittleEndian<quint32>(code.constData() + 4 * pc); }
        int line(int pc) const { return qFromLittleEndian<qint32>(lines.constData() + 4 * pc); } // in the source
        const char *text(const Constant &constant) const { return texts.constData() + constant.offset; }
        QVector<Constant> constants;
        QVector<Upvalue> upvalues;

        QByteArray code;
        QByteArray lines;
        QByteArray texts;
    };

    void field(ChunkWalker::Field field, qint64 value, const char *bytes, qint64 length) override;

    // The functions of the chunk read, each after the function that encloses it, the main
    // function first; or why they cannot serve a check (a stripped chunk has no lines).
    Result<QVector<Function>> functions() const;

    // Reads a whole chunk held in memory.
    static Result<QVector<Function>> read(const QByteArray &chunk);

    // Lua 5.2 instruction fields.
    enum Opcode {
        MOVE, LOADK, LOADKX, LOADBOOL, LOADNIL, GETUPVAL, GETTABUP, GETTABLE, SETTABUP, SETUPVAL,
        SETTABLE, NEWTABLE, SELF, ADD, SUB, MUL, DIV, MOD, POW, UNM, NOT, LEN, CONCAT, JMP, EQ, LT,
        LE, TEST, TESTSET, CALL, TAILCALL, RETURN, FORLOOP, FORPREP, TFORCALL, TFORLOOP, SETLIST,
        CLOSURE, VARARG, EXTRAARG
    };
    static int opcode(quint32 i) { return static_cast<int>(i & 0x3F); }
    static int a(quint32 i) { return static_cast<int>((i >> 6) & 0xFF); }
    static int b(quint32 i) { return static_cast<int>((i >> 23) & 0x1FF); }
    static int c(quint32 i) { return static_cast<int>((i >> 14) & 0x1FF); }
    static int bx(quint32 i) { return static_cast<int>((i >> 14) & 0x3FFFF); }
    static int sbx(quint32 i) { return bx(i) - 0x1FFFF; }
    static int ax(quint32 i) { return static_cast<int>(i >> 6); }
    // A B or C operand that names a constant rather than a register, and the constant's index.
    static bool isConstant(int rk) { return rk & 0x100; }
    static int constantIndex(int rk) { return rk & 0xFF; }

private:
    // A string of the innermost function that starts at the end of its texts.
    Constant text(qint64 length) const;

    QVector<Function> all;
    QVector<int> open;        // the functions being read, innermost last
    QByteArray upvalueBytes;  // of the innermost function, until it is complete
    QVector<Constant> upvalueNames;
    QString problem;
};
