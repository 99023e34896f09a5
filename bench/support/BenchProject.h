#pragma once

// Shared by the benchmarks that work on a project: a workspace in a temporary folder made the
// working directory, holding one project (with the given main script, else the template's).
#include "common/AtomicFile.h"
#include "common/Names.h"
#include "project/ProjectFile.h"
#include "project/Workspace.h"

#include <QDir>
#include <QTemporaryDir>

class BenchProject
{
public:
    explicit BenchProject(const QString &name, const QByteArray &mainScript = QByteArray())
    {
        QDir::setCurrent(scratch.path());
        Workspace::ensureExists();
        directory = Workspace::projectAbsolutePath(name);
        if (!ProjectFile::create(directory, name, QStringLiteral("bench"))
            || (!mainScript.isNull() && !AtomicFile::writeWhole(mainScriptPath(), mainScript)))
            qFatal("cannot make the project %s", qPrintable(name));
    }

    QString mainScriptPath() const { return directory + QLatin1Char('/') + Names::mainScript(); }

    QString directory;

private:
    QTemporaryDir scratch;
};
