#include "project/ScriptFacts.h"

#include <algorithm>

QString ScriptFacts::Function::shown() const
{
    if (!method)
        return name;
    QString text = name;
    const int dot = text.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        text[dot] = QLatin1Char(':');
    return text;
}

int ScriptFacts::addName(const QString &name)
{
    const auto found = nameIds.constFind(name);
    if (found != nameIds.constEnd())
        return *found;
    nameList.append(name);
    nameIds.insert(name, nameList.size() - 1);
    return nameList.size() - 1;
}

QVector<int> ScriptFacts::linesOf(const QVector<Use> &uses, const QString &name) const
{
    QVector<int> lines;
    const int id = nameIndex(name);
    if (id < 0)
        return lines;
    for (const Use &use : uses) {
        if (use.name == id)
            lines.append(use.line);
    }
    return lines;
}

int ScriptFacts::functionAt(int line) const
{
    // The last function starting at or before the line is the innermost candidate; the ones
    // before it that still span the line enclose it.
    auto after = std::upper_bound(functions.begin(), functions.end(), line,
                                  [](int l, const Function &f) { return l < f.line; });
    while (after != functions.begin()) {
        --after;
        if (after->lastLine >= line)
            return int(after - functions.begin());
    }
    return -1;
}

int ScriptFacts::localDeclaration(const QString &name, int line) const
{
    int innermost = -1;
    for (int s = 0; s < scopes.size(); ++s) {
        if (scopes[s].line <= line && line <= scopes[s].lastLine
            && (innermost < 0 || scopes[s].line >= scopes[innermost].line))
            innermost = s;
    }
    // Outwards from the innermost function: the latest declaration in scope on the line wins.
    for (int scope = innermost; scope >= 0; scope = scopes[scope].parent) {
        const Local *best = nullptr;
        for (const Local &local : locals) {
            if (local.scope == scope && local.name == name && local.line <= line && line <= local.lastLine
                && (!best || local.line >= best->line))
                best = &local;
        }
        if (best)
            return best->line;
        if (scopes[scope].parent >= scope) // a chain that does not lead outwards
            break;
    }
    return 0;
}

ScriptFacts ScriptFacts::globalsOnly() const
{
    ScriptFacts kept;
    kept.nameList = nameList;
    kept.nameIds = nameIds;
    kept.functions = functions;
    kept.reads = reads;
    kept.assignments = assignments;
    return kept;
}
