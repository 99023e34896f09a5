#include "toolchain/GlobalNameCheck.h"

#include "api/ApiModel.h"
#include "common/Names.h"
#include "toolchain/BytecodeReader.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringBuilder>

#include <algorithm>
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

void GlobalNameCheck::addScript(const QString &path, const Result<ScriptFacts> &facts)
{
    Script script;
    script.path = path.startsWith(projectDirectory + QLatin1Char('/')) ? path.mid(projectDirectory.size() + 1) : path;
    if (!facts) {
        script.problem = facts.error();
        scripts << script;
        return;
    }
    const KnownNames &known = KnownNames::get();
    const QStringList &used = facts->names();
    QVector<bool> inserted(used.size(), false);
    for (const ScriptFacts::Use &assignment : facts->assignments) {
        if (!inserted[assignment.name]) {
            inserted[assignment.name] = true;
            assigned.insert(used[assignment.name]);
        }
    }
    // Whether a name the script reads is one Lua and the runtime lack (a global, or a field of a
    // library table), decided once per name: then its index here, else -1.
    QVector<int> kept(used.size(), -2);
    const auto keptName = [&](int n) {
        if (kept[n] == -2) {
            const QString &name = used[n];
            const int dot = name.indexOf(QLatin1Char('.'));
            bool unknown = false;
            if (dot < 0)
                unknown = !known.globals.contains(name);
            else if (name.indexOf(QLatin1Char('.'), dot + 1) < 0 && known.isLibrary(name.left(dot)))
                unknown = !known.fields[name.left(dot)].contains(name.mid(dot + 1));
            kept[n] = unknown ? nameId(name) : -1;
        }
        return kept[n];
    };
    for (const ScriptFacts::Use &read : facts->reads) {
        const int name = keptName(read.name);
        if (name >= 0)
            script.reads << Use{name, read.line};
    }
    for (const ScriptFacts::Call &call : facts->calls) {
        const auto forms = known.callForms.constFind(used[call.name]);
        if (forms != known.callForms.constEnd() && !(*forms)->accepts(call.arguments))
            script.calls << Use{nameId(used[call.name]), call.line, call.arguments};
    }
    // What the project already defines can never be a finding: only the rest is kept.
    const auto defined = [this](const Use &use) { return definedByProject(names[use.name]); };
    script.reads.erase(std::remove_if(script.reads.begin(), script.reads.end(), defined), script.reads.end());
    const auto replaced = [this](const Use &call) { return assigned.contains(names[call.name]); };
    script.calls.erase(std::remove_if(script.calls.begin(), script.calls.end(), replaced), script.calls.end());
    script.reads.squeeze();
    script.calls.squeeze();
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
