#include "toolchain/ChunkFacts.h"

#include "toolchain/BytecodeReader.h"
#include "toolchain/ScriptCompiler.h"

#include <QHash>
#include <QVarLengthArray>

#include <algorithm>
#include <array>

namespace {

using R = BytecodeReader;

QString text(const R::Function &f, const R::Constant &constant)
{
    return constant.isString ? QString::fromUtf8(f.text(constant), constant.length) : QString();
}

// The instructions that code other than the one before may reach: targets of jumps and of
// skips. What the registers hold is known only along the straight runs between them.
void findJumpTargets(const R::Function &f, QVector<bool> *target)
{
    const int size = f.size();
    target->fill(false, size + 2);
    for (int pc = 0; pc < size; ++pc) {
        const quint32 i = f.instruction(pc);
        switch (R::opcode(i)) {
        case R::JMP: case R::FORLOOP: case R::FORPREP: case R::TFORLOOP: {
            const int to = pc + 1 + R::sbx(i);
            if (to >= 0 && to < size)
                (*target)[to] = true;
            break;
        }
        case R::LOADBOOL:
            if (R::c(i) != 0)
                (*target)[pc + 2] = true;
            break;
        case R::EQ: case R::LT: case R::LE: case R::TEST: case R::TESTSET:
            (*target)[pc + 2] = true;
            break;
        default: break;
        }
    }
}

// What a register holds, as far as the straight run of code since the last jump target shows:
// a global (or a field of one, by its name's index in the facts), a local of this function or
// an upvalue (or a field of either), or a constant string (a function with more than 256
// constants loads the keys of the rest into registers). Names of locals are only made when a
// function is named after one.
class Registers
{
public:
    enum Kind { Global, Local, Text };
    struct Held
    {
        Kind kind = Global;
        int value = -1;       // name index; local or upvalue index; constant index
        bool upvalue = false; // Local: an upvalue
        int key = -1;         // Local: the constant naming a field of it
    };

    void clear() { ++era; }
    void set(int r, Held held)
    {
        contents[r] = held;
        stamps[r] = era;
    }
    void forget(int r) { stamps[r & 0xFF] = 0; }
    void forgetFrom(int r)
    {
        for (int i = r; i < 256; ++i)
            stamps[i] = 0;
    }
    const Held *get(int r, Kind kind) const
    {
        return r >= 0 && r < 256 && stamps[r] == era && contents[r].kind == kind ? &contents[r] : nullptr;
    }

private:
    std::array<Held, 256> contents{};
    std::array<int, 256> stamps{};
    int era = 1;
};

// A table's name as a register gives it, and whether a global is its root.
struct Named
{
    QString name;
    bool global = false;
};

class Walker
{
public:
    Walker(const QVector<R::Function> &functions, bool withLocals)
        : functions(functions)
        , withLocals(withLocals)
        , environment(functions.size())
        , depth(functions.size(), -1)
    {
    }

    ScriptFacts walk()
    {
        facts.scopes.resize(functions.size());
        for (int fi = 0; fi < functions.size(); ++fi)
            walkFunction(fi);
        std::stable_sort(facts.functions.begin(), facts.functions.end(),
                         [](const ScriptFacts::Function &a, const ScriptFacts::Function &b) { return a.line < b.line; });
        return std::move(facts);
    }

private:
    void walkFunction(int fi);
    void addLocals(int fi);
    void nameClosure(int fi, int pc, int child);
    Named nameOf(int r, int pc);
    // The local in register r at pc, or -1.
    int localAt(int r, int pc) const;
    const QString &localName(int l);
    QString upvalueName(int u) const;
    const QString &constant(int k);
    int keyOf(int rk) const;
    int nameOfConstant(int k);
    int fieldName(int table, int k);

    const QVector<R::Function> &functions;
    const bool withLocals;
    QVector<QVector<bool>> environment; // per function: which upvalues are the chunk's _ENV
    QVector<int> depth;
    ScriptFacts facts;

    // Of the function being walked.
    const R::Function *f = nullptr;
    QVector<int> localRegister;    // per local; -1 when it has none
    std::array<int, 256> active{}; // register -> the local last come into scope there
    QVector<int> declared;         // per local: the line of the function it names, else 0
    QVector<int> constantIds;      // per constant: its name's index, -1 unknown, -2 not a string
    QVector<QString> constantTexts;
    QVector<QString> localTexts;
    QHash<quint64, int> fieldIds; // table name and key constant -> name of the field
    QVector<bool> jumpTarget;
    QVector<int> lastLineUpTo; // the greatest line up to each instruction, those of functions made there included
    Registers registers;
};

// The name of a field, by a constant key, of a table a name holds: "Utils.find".
int Walker::fieldName(int table, int k)
{
    const quint64 key = (quint64(quint32(table)) << 32) | quint32(k);
    const auto found = fieldIds.constFind(key);
    if (found != fieldIds.constEnd())
        return *found;
    const int id = facts.addName(facts.names().value(table) + QLatin1Char('.') + constant(k));
    fieldIds.insert(key, id);
    return id;
}

int Walker::nameOfConstant(int k)
{
    if (k < 0 || k >= constantIds.size())
        return -2;
    if (constantIds[k] == -1)
        constantIds[k] = f->constants[k].isString ? facts.addName(constant(k)) : -2;
    return constantIds[k];
}

// Null for anything but a string constant.
const QString &Walker::constant(int k)
{
    static const QString none;
    if (k < 0 || k >= constantTexts.size() || !f->constants[k].isString)
        return none;
    if (constantTexts[k].isNull())
        constantTexts[k] = text(*f, f->constants[k]);
    return constantTexts[k];
}

// The constant of an operand that is a constant or a register loaded with a constant string;
// -1 for anything else.
int Walker::keyOf(int rk) const
{
    if (R::isConstant(rk))
        return R::constantIndex(rk);
    const Registers::Held *held = registers.get(rk, Registers::Text);
    return held ? held->value : -1;
}

int Walker::localAt(int r, int pc) const
{
    if (r < 0 || r >= 256 || active[r] < 0)
        return -1;
    const R::Local &local = f->locals[active[r]];
    return local.startPc <= pc && pc < local.endPc ? active[r] : -1;
}

const QString &Walker::localName(int l)
{
    if (localTexts[l].isNull())
        localTexts[l] = text(*f, f->locals[l].name);
    return localTexts[l];
}

QString Walker::upvalueName(int u) const
{
    return u >= 0 && u < f->upvalues.size() ? text(*f, f->upvalues[u].name) : QString();
}

// A known value first: a local loaded from a global is that global.
Named Walker::nameOf(int r, int pc)
{
    if (const Registers::Held *held = registers.get(r, Registers::Global))
        return {facts.names().value(held->value), true};
    QString name;
    if (const Registers::Held *held = registers.get(r, Registers::Local)) {
        name = held->upvalue ? upvalueName(held->value) : localName(held->value);
        if (!name.isEmpty() && held->key >= 0)
            name += QLatin1Char('.') + constant(held->key);
    } else if (localAt(r, pc) >= 0) {
        name = localName(localAt(r, pc));
    }
    return {name, false};
}

void Walker::walkFunction(int fi)
{
    f = &functions[fi];
    const int size = f->size();
    QVector<bool> &env = environment[fi];
    env.resize(f->upvalues.size());
    for (int u = 0; u < env.size(); ++u) {
        const R::Upvalue &up = f->upvalues[u];
        // The main function's one upvalue is _ENV, and so is one taken from an enclosing _ENV. A
        // local named _ENV is a register: reads through it are not global.
        env[u] = f->parent < 0 ? u == 0 : !up.inStack && environment[f->parent].value(up.index, false);
    }
    if (f->parent >= 0 && f->parent < fi)
        depth[fi] = depth[f->parent] + 1;
    ScriptFacts::Scope &scope = facts.scopes[fi];
    scope.parent = f->parent;
    if (fi > 0) {
        scope.line = f->lineDefined;
        scope.lastLine = f->lastLineDefined;
    }

    // The register of each local: those still in scope when it comes in sit below it.
    const int localCount = f->locals.size();
    localRegister.fill(-1, localCount);
    declared.fill(0, localCount);
    localTexts.fill(QString(), localCount);
    fieldIds.clear();
    QVarLengthArray<int, 64> open;
    for (int l = 0; l < localCount; ++l) {
        while (!open.isEmpty() && f->locals[open.last()].endPc <= f->locals[l].startPc)
            open.removeLast();
        if (open.size() < 256)
            localRegister[l] = open.size();
        open.append(l);
    }
    active.fill(-1);
    constantIds.fill(-1, f->constants.size());
    constantTexts.fill(QString(), f->constants.size());

    if (withLocals)
        lastLineUpTo.resize(size);
    int lastLine = scope.line;
    findJumpTargets(*f, &jumpTarget);
    registers.clear();
    int nextLocal = 0;
    for (int pc = 0; pc < size; ++pc) {
        while (nextLocal < localCount && f->locals[nextLocal].startPc <= pc) {
            if (localRegister[nextLocal] >= 0)
                active[localRegister[nextLocal]] = nextLocal;
            ++nextLocal;
        }
        if (jumpTarget[pc])
            registers.clear();
        const quint32 i = f->instruction(pc);
        const int a = R::a(i);
        const int line = f->line(pc);
        lastLine = std::max(lastLine, line);
        switch (R::opcode(i)) {
        case R::GETTABUP: {
            const int k = keyOf(R::c(i));
            if (env.value(R::b(i), false)) {
                const int name = nameOfConstant(k);
                if (name < 0) {
                    registers.forget(a);
                    break;
                }
                facts.reads.append({name, line});
                registers.set(a, {Registers::Global, name});
            } else if (k >= 0) { // a field of a table an upvalue holds
                registers.set(a, {Registers::Local, R::b(i), true, k});
            } else {
                registers.forget(a);
            }
            break;
        }
        case R::GETUPVAL:
            if (env.value(R::b(i), false))
                registers.forget(a);
            else
                registers.set(a, {Registers::Local, R::b(i), true});
            break;
        case R::LOADK:
        case R::LOADKX: {
            const int k = R::opcode(i) == R::LOADK ? R::bx(i) : (pc + 1 < size ? R::ax(f->instruction(pc + 1)) : -1);
            if (k >= 0 && k < f->constants.size() && f->constants[k].isString)
                registers.set(a, {Registers::Text, k});
            else
                registers.forget(a);
            break;
        }
        case R::SETTABUP: {
            if (env.value(a, false)) {
                const int name = nameOfConstant(keyOf(R::b(i)));
                if (name >= 0)
                    facts.assignments.append({name, line});
            }
            break;
        }
        case R::GETTABLE:
        case R::SELF: {
            const int b = R::b(i);
            const int k = keyOf(R::c(i));
            const Registers::Held *global = registers.get(b, Registers::Global);
            const Registers::Held *held = registers.get(b, Registers::Local);
            const int local = localAt(b, pc);
            Registers::Held result{Registers::Text, -1};
            if (global && !constant(k).isNull()) {
                result = {Registers::Global, fieldName(global->value, k)};
                facts.reads.append({result.value, line});
            } else if (held && held->key < 0 && k >= 0) {
                result = {Registers::Local, held->value, held->upvalue, k};
            } else if (!global && !held && local >= 0 && k >= 0) {
                result = {Registers::Local, local, false, k};
            }
            registers.forget(a);
            if (R::opcode(i) == R::SELF)
                registers.forget(a + 1);
            else if (result.value >= 0)
                registers.set(a, result);
            break;
        }
        case R::SETTABLE: {
            const Registers::Held *table = registers.get(a, Registers::Global);
            const QString &key = constant(keyOf(R::b(i)));
            if (!table || key.isNull())
                break;
            // _G.x is the global x.
            facts.assignments.append({facts.names().value(table->value) == QLatin1String("_G")
                                          ? facts.addName(key)
                                          : fieldName(table->value, keyOf(R::b(i))),
                                      line});
            break;
        }
        case R::CALL: case R::TAILCALL: {
            const Registers::Held *called = registers.get(a, Registers::Global);
            // B = 0: the arguments run to the top of the stack (a call or ... last).
            if (called && R::b(i) != 0 && !facts.names().value(called->value).contains(QLatin1Char('.')))
                facts.calls.append({called->value, line, R::b(i) - 1});
            registers.forgetFrom(a);
            break;
        }
        case R::CLOSURE: {
            const int child = f->children.value(R::bx(i), -1);
            if (child > fi && child < functions.size()) {
                lastLine = std::max(lastLine, functions[child].lastLineDefined);
                nameClosure(fi, pc, child);
            }
            registers.forget(a);
            break;
        }
        case R::VARARG:
            registers.forgetFrom(a);
            break;
        case R::TFORCALL:
            registers.forgetFrom(a + 3);
            break;
        case R::LOADNIL:
            for (int r = a; r <= a + R::b(i) && r < 256; ++r)
                registers.forget(r);
            break;
        case R::FORLOOP:
            registers.forget(a);
            registers.forget(a + 3);
            break;
        case R::SETUPVAL: case R::SETLIST: case R::JMP: case R::EQ: case R::LT: case R::LE:
        case R::TEST: case R::RETURN: case R::EXTRAARG:
            break;
        default: // every other instruction writes register A
            registers.forget(a);
            break;
        }
        if (withLocals)
            lastLineUpTo[pc] = lastLine;
    }
    if (withLocals)
        addLocals(fi);
}

void Walker::addLocals(int fi)
{
    const ScriptFacts::Scope &scope = facts.scopes[fi];
    const int size = f->size();
    for (int l = 0; l < f->locals.size(); ++l) {
        const R::Local &local = f->locals[l];
        const QString &name = localName(l);
        // "(for index)" and the like are the compiler's own.
        if (name.isEmpty() || name.startsWith(QLatin1Char('(')))
            continue;
        ScriptFacts::Local fact;
        fact.name = name;
        fact.scope = fi;
        if (declared[l] > 0)
            fact.line = declared[l];
        else if (local.startPc <= 0 || size == 0)
            fact.line = scope.line;
        else
            fact.line = f->line(std::min(local.startPc, size) - 1);
        fact.lastLine = local.endPc >= size ? scope.lastLine : local.endPc <= 0 ? fact.line : lastLineUpTo[local.endPc - 1];
        facts.locals.append(fact);
    }
}

// A function made at pc is named by where it goes: a local, a global, a field of a table.
void Walker::nameClosure(int fi, int pc, int child)
{
    const R::Function &made = functions[child];
    const int a = R::a(f->instruction(pc));
    ScriptFacts::Function function;
    function.line = made.lineDefined;
    function.lastLine = made.lastLineDefined;
    function.depth = depth[fi] + 1;
    function.method = made.parameters > 0 && !made.locals.isEmpty() && text(made, made.locals[0].name) == QLatin1String("self");

    const auto local = [&](int l) {
        function.kind = ScriptFacts::Function::Kind::Local;
        function.name = localName(l);
        // Declared where the function starts, not where the compiler finished it.
        if (f->locals[l].startPc >= pc)
            declared[l] = made.lineDefined;
    };
    // Straight into a local: local function f, f = function, local f = function.
    if (localAt(a, pc) >= 0) {
        local(localAt(a, pc));
    } else {
        for (int l = 0; l < f->locals.size() && f->locals[l].startPc <= pc + 1; ++l) {
            if (f->locals[l].startPc == pc + 1 && localRegister[l] == a) {
                local(l);
                break;
            }
        }
    }
    if (function.name.isEmpty() && pc + 1 < f->size()) {
        const quint32 next = f->instruction(pc + 1);
        const QString &key = constant(keyOf(R::b(next)));
        switch (R::opcode(next)) {
        case R::SETTABUP:
            if (R::c(next) != a || key.isNull())
                break;
            if (environment[fi].value(R::a(next), false)) {
                function.kind = ScriptFacts::Function::Kind::Global;
                function.name = key;
            } else if (!upvalueName(R::a(next)).isEmpty()) {
                function.kind = ScriptFacts::Function::Kind::Field;
                function.name = upvalueName(R::a(next)) + QLatin1Char('.') + key;
            }
            break;
        case R::SETTABLE: {
            const Named table = nameOf(R::a(next), pc + 1);
            if (R::c(next) != a || table.name.isEmpty() || key.isNull())
                break;
            if (table.global && table.name == QLatin1String("_G")) {
                function.kind = ScriptFacts::Function::Kind::Global;
                function.name = key;
            } else {
                function.kind = ScriptFacts::Function::Kind::Field;
                function.globalTable = table.global;
                function.name = table.name + QLatin1Char('.') + key;
            }
            break;
        }
        case R::SETUPVAL:
            if (R::a(next) == a) {
                function.kind = ScriptFacts::Function::Kind::Local;
                function.name = upvalueName(R::b(next));
            }
            break;
        case R::MOVE:
            if (R::b(next) == a && localAt(R::a(next), pc + 1) >= 0)
                local(localAt(R::a(next), pc + 1));
            break;
        default:
            break;
        }
    }
    if (!function.name.isEmpty())
        facts.functions.append(function);
}

} // namespace

Result<ScriptFacts> ChunkFacts::of(const Result<QVector<R::Function>> &functions, Detail detail)
{
    if (!functions)
        return fail(functions.error());
    return Walker(*functions, detail == Detail::WithLocals).walk();
}

Result<ScriptFacts> ChunkFacts::read(const QByteArray &unstrippedChunk, Detail detail)
{
    return of(R::read(unstrippedChunk), detail);
}

Result<ScriptFacts> ChunkFacts::ofSource(QByteArray source, const QString &fileName, Diagnostic *failure)
{
    BytecodeReader code;
    const Status compiled = ScriptCompiler::walkSource(std::move(source), fileName, {&code}, failure);
    if (!compiled)
        return fail(compiled.error());
    return of(code.functions(), Detail::WithLocals);
}
