#include "TestWorkspace.h"

#include "common/Platform.h"
#include "project/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

TestWorkspace::TestWorkspace()
    : previous(QDir::currentPath())
    , home("HOME", QFile::encodeName(dir.path()))
    , dataHome("XDG_DATA_HOME", QFile::encodeName(absolute(QStringLiteral(".local/share"))))
{
    QDir::setCurrent(dir.path());
    // Settings and the desktop's trash of this test stay in its directory, never the user's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, absolute(QStringLiteral(".config")));
}

TestWorkspace::~TestWorkspace()
{
    QDir::setCurrent(previous);
}

QString TestWorkspace::trashed(const QString &name) const
{
    return absolute(QStringLiteral(".local/share/Trash/files/") + name);
}

QString TestWorkspace::absolute(const QString &relative) const
{
    return dir.path() + QLatin1Char('/') + relative;
}

void TestWorkspace::writeFile(const QString &relative, const QByteArray &bytes, const QDateTime &modified) const
{
    const QString path = absolute(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
    file.close();
    if (modified.isValid())
        setModified(relative, modified);
}

void TestWorkspace::setModified(const QString &relative, const QDateTime &modified) const
{
    const Status set = Platform::setModificationTime(absolute(relative), modified);
    if (!set)
        qFatal("cannot set the time of %s: %s", qPrintable(relative), qPrintable(set.error()));
}

QByteArray TestWorkspace::readFile(const QString &relative) const
{
    QFile file(absolute(relative));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QStringList TestWorkspace::files(const QString &relative) const
{
    return QDir(absolute(relative)).entryList(QDir::Files, QDir::Name);
}

QString TestWorkspace::makeProject(const QString &name, const QDateTime &modified) const
{
    const QString relative = QStringLiteral("工程目录/") + name;
    writeFile(relative + QStringLiteral("/ks.project"), ProjectFile::projectFileBytes(name, QString()));
    writeFile(relative + QStringLiteral("/main.script"), ProjectFile::mainScriptTemplate());
    if (modified.isValid())
        setModified(relative, modified); // directory times decide the order of projects
    return absolute(relative);
}
