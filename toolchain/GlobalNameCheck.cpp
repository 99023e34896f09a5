#include "toolchain/GlobalNameCheck.h"

#include "api/ApiModel.h"
#include "common/Names.h"
#include "toolchain/BytecodeReader.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringBuilder>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <numeric>

namespace {

// The names every project knows: Lua's and the runtime's.
struct KnownNames
{
    const ApiModel &model = ApiModel::standard();
    QSet<QString> globals;
    QHash<QString, QSet<QString>> fields; // library table -> its fields
    // The runtime's functions (and their aliases) whose call forms are known. Lua's own
    // functions take what they take and are not held to theirs.
    QHash<QString, const ApiEntry *> callForms;

    KnownNames()
    {
        for (const QString &table : model.tables())
            globals.insert(table);
        for (const ApiEntry &entry : model.entries()) {
            const int dot = entry.name.indexOf(QLatin1Char('.'));
            if (dot >= 0)
                fields[entry.name.left(dot)].insert(entry.name.mid(dot + 1));
            else
                globals.insert(entry.name);
            for (const QString &alias : entry.aliases)
                globals.insert(alias);
            if (entry.isRuntime() && !entry.forms.isEmpty()) {
                callForms.insert(entry.name, &entry);
                for (const QString &alias : entry.aliases)
                    callForms.insert(alias, &entry);
            }
        }
    }

    static const KnownNames &get()
    {
        static const KnownNames known;
        return known;
    }

    bool isLibrary(const QString &name) const { return fields.contains(name); }
};

// What the registers hold, as far as the straight run of code since the last jump target
// shows: the value of a global, or a constant string (a function with more than 256 constants
// loads the keys of the rest into registers); either by the index of its constant.
class Registers
{
public:
    enum Kind { Global, Text };

    void clear() { ++era; }
    void set(int r, Kind kind, int constant)
    {
        constants[r] = constant;
        kinds[r] = kind;
        stamps[r] = era;
    }
    void forget(int r) { stamps[r & 0xFF] = 0; }
    void forgetFrom(int r)
    {
        for (int i = r; i < 256; ++i)
            stamps[i] = 0;
    }
    int get(int r, Kind kind) const { return r < 256 && stamps[r] == era && kinds[r] == kind ? constants[r] : -1; }

private:
    std::array<int, 256> constants{};
    std::array<Kind, 256> kinds{};
    std::array<int, 256> stamps{};
    int era = 1;
};

// The strings of a function's constants, made on first use (most constants are texts no check
// looks at), and whether they are names every project knows.
class ConstantNames
{
public:
    explicit ConstantNames(const KnownNames &known)
        : known(known)
    {
    }
    void reset(const BytecodeReader::Function *function)
    {
        this->function = function;
        const int count = function->constants.size();
        names.fill(QString(), count);
        made.fill(false, count);
        global.fill(Unknown, count);
    }
    // For a string constant k.
    bool isKnownGlobal(int k)
    {
        if (global[k] == Unknown)
            global[k] = known.globals.contains(name(k)) ? Known : Undefined;
        return global[k] == Known;
    }
    // Null for anything but a string constant.
    const QString &name(int k)
    {
        static const QString none;
        if (k < 0 || k >= names.size() || !function->constants[k].isString)
            return none;
        if (!made[k]) {
            const BytecodeReader::Constant &constant = function->constants[k];
            names[k] = QString::fromUtf8(function->text(constant), constant.length);
            made[k] = true;
        }
        return names[k];
    }

private:
    enum State : char { Unknown, Known, Undefined };
    const KnownNames &known;
    const BytecodeReader::Function *function = nullptr;
    QVector<QString> names;
    QVector<bool> made;
    QVector<State> global;
};

// The instructions that code other than the one before may reach: targets of jumps and of
// skips. What the registers hold is known only along the straight runs between them.
QVector<bool> jumpTargets(const BytecodeReader::Function &f)
{
    using R = BytecodeReader;
    const int size = f.size();
    QVector<bool> target(size + 2, false);
    for (int pc = 0; pc < size; ++pc) {
        const quint32 i = f.instruction(pc);
        switch (R::opcode(i)) {
        case R::JMP: case R::FORLOOP: case R::FORPREP: case R::TFORLOOP: {
            const int to = pc + 1 + R::sbx(i);
            if (to >= 0 && to < size)
                target[to] = true;
            break;
        }
        case R::LOADBOOL:
            if (R::c(i) != 0)
                target[pc + 2] = true;
            break;
        case R::EQ: case R::LT: case R::LE: case R::TEST: case R::TESTSET:
            target[pc + 2] = true;
            break;
        default: break;
        }
    }
    return target;
}

// Damerau-Levenshtein distance (adjacent transpositions), or limit + 1 when it is above limit.
int editDistance(const QString &a, const QString &b, int limit)
{
    if (qAbs(a.size() - b.size()) > limit)
        return limit + 1;
    QVector<int> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        previous[j] = j;
    int previousMinimum = 0;
    for (int i = 1; i <= a.size(); ++i) {
        current[0] = i;
        int rowMinimum = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d = std::min(d, before[j - 2] + 1);
            current[j] = d;
            rowMinimum = std::min(rowMinimum, d);
        }
        // Later rows only grow from these two (a transposition reaches back two rows).
        if (rowMinimum > limit && previousMinimum >= limit)
            return limit + 1;
        previousMinimum = rowMinimum;
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// The known name the author most likely meant: one that differs in case only, else the nearest
// within two edits (and fewer edits than the name has characters, so "x" is not taken for "R").
QString nearest(const QString &name, std::initializer_list<const QSet<QString> *> candidateSets)
{
    QString best;
    int bestDistance = 3;
    for (const QSet<QString> *candidates : candidateSets) {
        for (const QString &candidate : *candidates) {
            if (candidate.compare(name, Qt::CaseInsensitive) == 0)
                return candidate;
            const int d = editDistance(name, candidate, 2);
            if (d < name.size() && (d < bestDistance || (d == bestDistance && candidate < best))) {
                best = candidate;
                bestDistance = d;
            }
        }
    }
    return best;
}

// Paths are shown as the system writes them (backslashes on Windows).
QString undefinedNameWarning(const QString &scriptPath, int line, const QString &name, const QString &suggestion)
{
    const QString path = QDir::toNativeSeparators(scriptPath);
    if (suggestion.isEmpty())
        return QStringLiteral("警告：脚本") % path % QStringLiteral("第") % QString::number(line)
            % QStringLiteral("行使用了未定义的全局名“") % name % QStringLiteral("”");
    return QStringLiteral("警告：脚本") % path % QStringLiteral("第") % QString::number(line)
        % QStringLiteral("行使用了未定义的全局名“") % name % QStringLiteral("”，是否为“") % suggestion % QStringLiteral("”？");
}

// "2", "2或3", "1或5", "至少1": the argument counts the entry's call forms take.
QString expectedArguments(const ApiEntry &entry)
{
    QStringList counts;
    for (const CallForm &form : entry.forms) {
        const int min = form.minArguments;
        const int max = form.maxArguments;
        if (max == CallForm::kUnbounded)
            counts << QStringLiteral("至少") + QString::number(min);
        else if (max > min + 1)
            counts << QString::number(min) + QStringLiteral("到") + QString::number(max);
        else
            counts << QString::number(min) << QString::number(max);
    }
    counts.removeDuplicates();
    return counts.join(QStringLiteral("或"));
}

QString argumentCountWarning(const QString &path, int line, const QString &name, int given, const ApiEntry &entry)
{
    return QStringLiteral("警告：脚本") % QDir::toNativeSeparators(path) % QStringLiteral("第") % QString::number(line) % QStringLiteral("行调用“")
        % name % QStringLiteral("”时传入了") % QString::number(given) % QStringLiteral("个参数，应为")
        % expectedArguments(entry) % QStringLiteral("个");
}

// The declarations file is the author's, but it is read whole: refuse anything a name list
// could not be.
constexpr qint64 kMaxDeclarationsSize = 1 << 20;

} // namespace

GlobalNameCheck::GlobalNameCheck(const QString &projectDirectory)
    : projectDirectory(projectDirectory)
{
    QFile file(projectDirectory + QLatin1Char('/') + Names::globalsFile());
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        declarationsProblem = file.errorString();
        return;
    }
    if (file.size() > kMaxDeclarationsSize) {
        declarationsProblem = QStringLiteral("文件大于1MB");
        return;
    }
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QString name = QString::fromUtf8(line).trimmed();
        if (!name.isEmpty() && !name.startsWith(QLatin1Char('#')) && !name.startsWith(QLatin1String("--")))
            declared.insert(name);
    }
}

QString GlobalNameCheck::summary(int count)
{
    return QStringLiteral("共") + QString::number(count) + QStringLiteral("个警告");
}

void GlobalNameCheck::addScript(const QString &path, const Result<QVector<BytecodeReader::Function>> &functions)
{
    Script script;
    script.path = path.startsWith(projectDirectory + QLatin1Char('/')) ? path.mid(projectDirectory.size() + 1) : path;
    if (!functions) {
        script.problem = functions.error();
    } else {
        scan(*functions, &script);
        // What the project already defines can never be a finding: only the rest is kept.
        const auto defined = [this](const Use &use) { return definedByProject(names[use.name]); };
        script.reads.erase(std::remove_if(script.reads.begin(), script.reads.end(), defined), script.reads.end());
        const auto replaced = [this](const Use &call) { return assigned.contains(names[call.name]); };
        script.calls.erase(std::remove_if(script.calls.begin(), script.calls.end(), replaced), script.calls.end());
        script.reads.squeeze();
        script.calls.squeeze();
    }
    scripts << script;
}

int GlobalNameCheck::nameId(const QString &name)
{
    const auto it = nameIds.constFind(name);
    if (it != nameIds.constEnd())
        return *it;
    names << name;
    nameIds.insert(name, names.size() - 1);
    return names.size() - 1;
}

bool GlobalNameCheck::definedByProject(const QString &name) const
{
    if (assigned.contains(name) || declared.contains(name))
        return true;
    // A library table the project replaces has fields of its own.
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot >= 0 && assigned.contains(name.left(dot));
}

void GlobalNameCheck::scan(const QVector<BytecodeReader::Function> &functions, Script *script)
{
    using R = BytecodeReader;
    const KnownNames &known = KnownNames::get();
    // Which upvalues of each function are the chunk's _ENV: the main function's one upvalue,
    // and upvalues taken from an enclosing function's _ENV upvalue. A local named _ENV is a
    // register, and reads through it are not global reads.
    QVector<QVector<bool>> environment(functions.size());
    Registers registers;
    ConstantNames constantNames(known);
    for (int fi = 0; fi < functions.size(); ++fi) {
        const R::Function &f = functions[fi];
        QVector<bool> &env = environment[fi];
        env.resize(f.upvalues.size());
        for (int u = 0; u < env.size(); ++u) {
            const R::Upvalue &up = f.upvalues[u];
            env[u] = f.parent < 0 ? u == 0
                                  : !up.inStack && environment[f.parent].value(up.index, false);
        }
        constantNames.reset(&f);
        // The constant of an operand that is a constant or a register loaded with a constant
        // string; -1 for anything else.
        const auto constantOf = [&registers](int rk) {
            return R::isConstant(rk) ? R::constantIndex(rk) : registers.get(rk, Registers::Text);
        };

        const int size = f.size();
        const QVector<bool> jumpTarget = jumpTargets(f);
        registers.clear();
        for (int pc = 0; pc < size; ++pc) {
            if (jumpTarget[pc])
                registers.clear();
            const quint32 i = f.instruction(pc);
            const int a = R::a(i);
            const int line = f.line(pc);
            switch (R::opcode(i)) {
            case R::GETTABUP: {
                const int k = env.value(R::b(i), false) ? constantOf(R::c(i)) : -1;
                const QString &name = constantNames.name(k);
                if (name.isNull()) {
                    registers.forget(a);
                    break;
                }
                if (!constantNames.isKnownGlobal(k))
                    script->reads << Use{nameId(name), line};
                registers.set(a, Registers::Global, k);
                break;
            }
            case R::LOADK:
            case R::LOADKX: {
                const int k = R::opcode(i) == R::LOADK ? R::bx(i) : (pc + 1 < size ? R::ax(f.instruction(pc + 1)) : -1);
                if (k >= 0 && k < f.constants.size() && f.constants[k].isString)
                    registers.set(a, Registers::Text, k);
                else
                    registers.forget(a);
                break;
            }
            case R::SETTABUP: {
                const QString &name = env.value(a, false) ? constantNames.name(constantOf(R::b(i))) : constantNames.name(-1);
                if (!name.isNull())
                    assigned.insert(name);
                break;
            }
            case R::GETTABLE: {
                const QString &table = constantNames.name(registers.get(R::b(i), Registers::Global));
                if (known.isLibrary(table)) {
                    const QString &field = constantNames.name(constantOf(R::c(i)));
                    if (!field.isNull() && !known.fields[table].contains(field))
                        script->reads << Use{nameId(table + QLatin1Char('.') + field), line};
                }
                registers.forget(a);
                break;
            }
            case R::SETTABLE: {
                const QString &table = constantNames.name(registers.get(a, Registers::Global));
                const bool global = table == QLatin1String("_G");
                if (!global && !known.isLibrary(table))
                    break;
                const QString &field = constantNames.name(constantOf(R::b(i)));
                if (!field.isNull())
                    assigned.insert(global ? field : table + QLatin1Char('.') + field);
                break;
            }
            case R::CALL: case R::TAILCALL: {
                const QString &function = constantNames.name(registers.get(a, Registers::Global));
                // B = 0: the arguments run to the top of the stack (a call or ... last).
                const auto forms = known.callForms.constFind(function);
                if (R::b(i) != 0 && forms != known.callForms.constEnd() && !(*forms)->accepts(R::b(i) - 1))
                    script->calls << Use{nameId(function), line, R::b(i) - 1};
                registers.forgetFrom(a);
                break;
            }
            case R::VARARG:
                registers.forgetFrom(a);
                break;
            case R::TFORCALL:
                registers.forgetFrom(a + 3);
                break;
            case R::LOADNIL:
                for (int r = a; r <= a + R::b(i); ++r)
                    registers.forget(r);
                break;
            case R::SELF:
                registers.forget(a);
                registers.forget(a + 1);
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
        }
    }
}

int GlobalNameCheck::report(const std::function<void(const Diagnostic &warning)> &warn) const
{
    const KnownNames &known = KnownNames::get();
    // What the project defines besides: assigned by its scripts or declared by the author.
    QSet<QString> globals;
    QHash<QString, QSet<QString>> fields;
    for (const QSet<QString> *set : {&assigned, &declared}) {
        for (const QString &name : *set) {
            const int dot = name.indexOf(QLatin1Char('.'));
            if (dot < 0)
                globals.insert(name);
            else
                fields[name.left(dot)].insert(name.mid(dot + 1));
        }
    }
    static const QSet<QString> none;
    const auto fieldsOf = [&fields, &known](const QString &table, bool ofProject) -> const QSet<QString> & {
        const QHash<QString, QSet<QString>> &from = ofProject ? fields : known.fields;
        const auto it = from.constFind(table);
        return it == from.constEnd() ? none : *it;
    };

    QHash<QString, QString> suggestions;
    const auto suggestion = [&](const QString &name) {
        auto it = suggestions.find(name);
        if (it != suggestions.end())
            return *it;
        QString best;
        const int dot = name.indexOf(QLatin1Char('.'));
        if (dot >= 0) {
            const QString table = name.left(dot);
            const QString field = nearest(name.mid(dot + 1), {&fieldsOf(table, false), &fieldsOf(table, true)});
            if (!field.isEmpty())
                best = name.left(dot + 1) + field;
        } else {
            best = nearest(name, {&known.globals, &globals});
            // Older Luas had the library functions as globals: format is string.format.
            for (const QString &table : known.model.tables()) {
                if (best.compare(name, Qt::CaseInsensitive) == 0)
                    break;
                if (known.fields[table].contains(name)) {
                    best = table + QLatin1Char('.') + name;
                    break;
                }
            }
        }
        suggestions.insert(name, best);
        return best;
    };

    // What to warn of, ordered by script path, then line; formatted once duplicates are gone.
    struct Finding
    {
        int rank; // of the script's path
        const Script *script;
        const Use *use;
        bool call;
    };
    QVector<int> byPath(scripts.size());
    std::iota(byPath.begin(), byPath.end(), 0);
    std::sort(byPath.begin(), byPath.end(), [this](int x, int y) { return scripts[x].path < scripts[y].path; });
    QVector<Finding> findings;
    for (int rank = 0; rank < byPath.size(); ++rank) {
        const Script &script = scripts[byPath[rank]];
        for (const Use &use : script.reads) {
            if (!definedByProject(names[use.name]))
                findings << Finding{rank, &script, &use, false};
        }
        for (const Use &call : script.calls) {
            if (!assigned.contains(names[call.name]))
                findings << Finding{rank, &script, &call, true};
        }
    }
    std::stable_sort(findings.begin(), findings.end(), [](const Finding &x, const Finding &y) {
        return x.rank != y.rank ? x.rank < y.rank : x.use->line < y.use->line;
    });

    int count = 0;
    const auto give = [&](const QString &message, const QString &path = {}, int line = 0, const QString &token = {}) {
        warn(Diagnostic{Diagnostic::Kind::Warning, message, projectDirectory, path, line, token});
        ++count;
    };
    for (const QString &problem : known.model.problems())
        give(QStringLiteral("警告：") + problem);
    if (!declarationsProblem.isEmpty())
        give(QStringLiteral("警告：无法读取") + Names::globalsFile() + QStringLiteral("：") + declarationsProblem);
    for (const Script &script : scripts) {
        if (!script.problem.isEmpty())
            give(QStringLiteral("警告：脚本") + QDir::toNativeSeparators(script.path) + QStringLiteral("无法检查全局名：") + script.problem);
    }
    for (int f = 0; f < findings.size(); ++f) {
        const Finding &finding = findings[f];
        const Use &use = *finding.use;
        // A name read twice on one line is one warning.
        bool repeated = false;
        for (int g = f - 1; g >= 0 && !repeated && findings[g].script == finding.script && findings[g].use->line == use.line; --g)
            repeated = findings[g].call == finding.call && findings[g].use->name == use.name && findings[g].use->arguments == use.arguments;
        if (repeated)
            continue;
        const QString &path = finding.script->path;
        const QString &name = names[use.name];
        if (finding.call)
            give(argumentCountWarning(path, use.line, name, use.arguments, *known.callForms.value(name)), path, use.line, name);
        else // of a library table's field, the field is marked
            give(undefinedNameWarning(path, use.line, name, suggestion(name)), path, use.line, name.section(QLatin1Char('.'), -1));
    }
    return count;
}

QVector<Diagnostic> GlobalNameCheck::warnings() const
{
    QVector<Diagnostic> lines;
    report([&lines](const Diagnostic &warning) { lines << warning; });
    return lines;
}
