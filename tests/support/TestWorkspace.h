#pragma once

#include "ScopedEnvironment.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fresh temporary working directory for one test; the previous one is restored afterwards.
// The test's settings and the desktop's trash are kept inside it.
class TestWorkspace
{
public:
    TestWorkspace();
    ~TestWorkspace();

    QString path() const { return dir.path(); }
    QString absolute(const QString &relative) const;
    // Writes a file (making parent directories) and, when given, sets its modification time.
    void writeFile(const QString &relative, const QByteArray &bytes, const QDateTime &modified = QDateTime()) const;
    QByteArray readFile(const QString &relative) const;
    // The names of the files in a directory, sorted.
    QStringList files(const QString &relative) const;
    // Sets the modification time of a file or directory.
    void setModified(const QString &relative, const QDateTime &modified) const;
    // Makes 工程目录/<name> a project with the given project file name tag.
    QString makeProject(const QString &name, const QDateTime &modified = QDateTime()) const;
    // Where an entry of this name lies once moved to the desktop's trash.
    QString trashed(const QString &name) const;

private:
    QTemporaryDir dir;
    QString previous;
    ScopedEnvironment home;
    ScopedEnvironment dataHome;
};
