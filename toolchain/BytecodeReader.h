#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QVector>
#include <QtEndian>
#include <QtGlobal>

// Reads the functions of a Lua 5.2 chunk as the stock dump writes it on this machine, debug
// information kept (line of every instruction), for checks that walk the compiled code. The
// bytes are parsed as untrusted: every count is checked against the bytes left before anything
// is allocated, and nesting is bounded.
class BytecodeReader
{
public:
    // A constant; a string is not copied but points into the chunk read.
    struct Constant
    {
        bool isString = false;
        const char *text = nullptr;
        int length = 0;
    };
    struct Upvalue
    {
        bool inStack = false; // a local (register) of the enclosing function, else one of its upvalues
        int index = 0;
        Constant name;        // as the source names it; empty when the dump holds none
    };
    // A local variable of a function's source, live from instruction startPc to before endPc.
    struct Local
    {
        Constant name;
        int startPc = 0;
        int endPc = 0;
    };
    // A function; its instructions and lines are read in place from the chunk.
    struct Function
    {
        int parent = -1; // index of the enclosing function; -1 for the main function
        int size = 0;    // instructions
        quint32 instruction(int pc) const { return qFromLittleEndian<quint32>(code + 4 * pc); }
        int line(int pc) const { return qFromLittleEndian<qint32>(lines + 4 * pc); } // in the source
        int lineDefined = 0;     // of "function"; 0 for the main function
        int lastLineDefined = 0; // of its "end"
        int parameters = 0;
        QVector<Constant> constants;
        QVector<Upvalue> upvalues;
        QVector<int> children;   // indexes of the functions it makes (CLOSURE's Bx), in order
        QVector<Local> locals;   // in the order they come into scope

        const char *code = nullptr;
        const char *lines = nullptr;
    };

    // The functions of the chunk, each after the function that encloses it; the main function
    // first. They point into chunk, which must outlive them.
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
};
