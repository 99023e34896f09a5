#include "project/Workspace.h"

#include "common/Names.h"

#include <QDir>
#include <QFileInfo>

QString Workspace::directoryName()
{
    return QStringLiteral("工程目录");
}

QString Workspace::projectPath(const QString &name)
{
    if (name.isEmpty())
        return directoryName();
    return directoryName() + QLatin1Char('/') + name;
}

QString Workspace::projectAbsolutePath(const QString &name)
{
    return QDir::current().absoluteFilePath(projectPath(name));
}

QString Workspace::projectFilePath(const QString &projectDirectory)
{
    return projectDirectory + QLatin1Char('/') + Names::projectFile();
}

bool Workspace::isProjectDirectory(const QString &directory)
{
    return QFileInfo(projectFilePath(directory)).isFile();
}

bool Workspace::ensureExists()
{
    const QString absolute = QDir::current().absoluteFilePath(directoryName());
    if (QFileInfo(absolute).isDir())
        return true;
    return QDir().mkdir(absolute);
}
