#pragma once

#include "common/Result.h"
#include "project/FileOperations.h"

#include <QByteArray>
#include <QString>

struct ProjectInfo
{
    QString name;
    QString description;
};

// The project file "ks.project", the entry-script template and the making of a new project.
class ProjectFile
{
public:
    static QByteArray projectFileBytes(const QString &name, const QString &description);
    static QByteArray mainScriptTemplate();

    // Reads name and description from the bytes of a project file (up to its first zero byte).
    static ProjectInfo parse(const QByteArray &bytes);
    // Reads <directory>/ks.project; a missing file reads as empty text. Fails for a file that
    // cannot be read, is not a regular file or is far larger than any project file.
    static Result<ProjectInfo> read(const QString &projectDirectory);

    // Makes <workspace>/<name> a project: the directory, "assets", "main.script" (an existing
    // one is kept) and "ks.project". A project that already exists is left untouched.
    static Result<FileOperations::Creation> create(const QString &projectDirectory, const QString &name,
                                                   const QString &description);
};
