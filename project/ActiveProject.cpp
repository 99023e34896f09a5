#include "project/ActiveProject.h"

#include "project/Workspace.h"

ActiveProject::ActiveProject(QObject *parent)
    : QObject(parent)
{
}

void ActiveProject::setName(const QString &name)
{
    if (name == current)
        return;
    const QString previous = current;
    current = name;
    emit signal_changed(current, previous);
}

QString ActiveProject::directory() const
{
    if (current.isEmpty())
        return QString();
    const QString directory = Workspace::projectAbsolutePath(current);
    return Workspace::isProjectDirectory(directory) ? directory : QString();
}

ProjectInfo ActiveProject::info() const
{
    const QString dir = directory();
    return dir.isEmpty() ? ProjectInfo() : ProjectFile::read(dir).valueOr(ProjectInfo());
}
