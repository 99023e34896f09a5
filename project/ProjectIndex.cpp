#include "project/ProjectIndex.h"

#include "project/FileOperations.h"

#include <algorithm>

void ProjectIndex::setDirectory(const QString &directory)
{
    if (directory == projectDirectory)
        return;
    projectDirectory = directory;
    scripts.clear();
}

void ProjectIndex::setScript(const QString &path, const ScriptFacts &facts)
{
    scripts.insert(path, facts.globalsOnly());
}

void ProjectIndex::keepOnly(const QSet<QString> &paths)
{
    for (auto it = scripts.begin(); it != scripts.end();)
        it = paths.contains(it.key()) ? std::next(it) : scripts.erase(it);
}

void ProjectIndex::pathMoved(const QString &from, const QString &to)
{
    QMap<QString, ScriptFacts> moved;
    for (auto script = scripts.begin(); script != scripts.end();) {
        const QString path = FileOperations::pathAfterMove(script.key(), from, to);
        if (path.isEmpty()) {
            ++script;
            continue;
        }
        moved.insert(path, std::move(script.value()));
        script = scripts.erase(script);
    }
    for (auto script = moved.begin(); script != moved.end(); ++script)
        scripts.insert(script.key(), std::move(script.value()));
}

QVector<ProjectIndex::Place> ProjectIndex::definitions(const QString &name) const
{
    using Kind = ScriptFacts::Function::Kind;
    const auto functions = [this, &name](bool ofGlobals) {
        QVector<Place> places;
        for (auto it = scripts.constBegin(); it != scripts.constEnd(); ++it) {
            for (const ScriptFacts::Function &function : it->functions) {
                const bool global = function.kind == Kind::Global || (function.kind == Kind::Field && function.globalTable);
                if (function.name == name && function.kind != Kind::Local && global == ofGlobals)
                    places.append({it.key(), function.line});
            }
        }
        return places;
    };
    QVector<Place> places = functions(true);
    if (!places.isEmpty())
        return places;
    for (auto it = scripts.constBegin(); it != scripts.constEnd(); ++it) {
        for (int line : it->assignedLines(name)) {
            if (places.isEmpty() || !(places.last() == Place{it.key(), line}))
                places.append({it.key(), line});
        }
    }
    // A module's table is often a local of its script ("local M = {}") and a global elsewhere.
    return places.isEmpty() ? functions(false) : places;
}

QVector<ProjectIndex::Place> ProjectIndex::uses(const QString &name) const
{
    QVector<Place> places;
    for (auto it = scripts.constBegin(); it != scripts.constEnd(); ++it) {
        QVector<int> lines = it->readLines(name) + it->assignedLines(name);
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        for (int line : qAsConst(lines))
            places.append({it.key(), line});
    }
    return places;
}
