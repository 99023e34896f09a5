#pragma once

#include "project/ScriptFacts.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QVector>

// What the scripts of one project define and use, script by script (their facts without
// locals), for go to definition and the list of uses across the project. The check fills it
// with every script it compiles; the analysis of an open script replaces that script's facts
// with those of the text in its editor. Paths are relative to the project directory.
class ProjectIndex
{
public:
    struct Place
    {
        QString path;
        int line = 0;
        bool operator==(const Place &o) const { return path == o.path && line == o.line; }
    };

    // The project the facts are of; another one empties the index.
    void setDirectory(const QString &directory);
    const QString &directory() const { return projectDirectory; }
    bool isEmpty() const { return scripts.isEmpty(); }
    bool contains(const QString &path) const { return scripts.contains(path); }

    void setScript(const QString &path, const ScriptFacts &facts);
    // Forgets the scripts that are not among these (gone since the last check).
    void keepOnly(const QSet<QString> &paths);
    // A file or folder of the project was renamed or moved (paths relative to the project).
    void pathMoved(const QString &from, const QString &to);

    // Where the project defines a global name (a variable, or a field of a global table as
    // "Utils.find"): the functions made under that name if there are any, else every line that
    // assigns it, else the functions made under that name in a local table; by path, then line.
    QVector<Place> definitions(const QString &name) const;
    // Every line that reads or assigns the name, by path, then line.
    QVector<Place> uses(const QString &name) const;

private:
    QString projectDirectory;
    QMap<QString, ScriptFacts> scripts; // by path: places come out in path order
};
