#pragma once

#include "project/ProjectFile.h"

#include <QObject>
#include <QString>

// The project the commands work on (build, search, screenshots, import), chosen by the author
// in the tree. Memory only while the program runs; the session brings it back.
class ActiveProject : public QObject
{
    Q_OBJECT

public:
    explicit ActiveProject(QObject *parent = nullptr);

    QString name() const { return current; }
    void setName(const QString &name);
    // The project's directory in the workspace; "" when there is no active project or its
    // directory is no project (any more).
    QString directory() const;
    // Name and description from its project file; empty when there is none or it is unreadable.
    ProjectInfo info() const;

signals:
    void signal_changed(const QString &name, const QString &previous);

private:
    QString current;
};
