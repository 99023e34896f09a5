#include "common/DataLocations.h"

#include "common/BuildInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

DataLocations::DataLocations(const QString &workingDirectory, const QString &installedDirectory)
    : workingDirectory(workingDirectory)
    , installedDirectory(installedDirectory)
{
}

DataLocations DataLocations::standard()
{
    // Without an application object the executable's folder is unknown: the working directory only.
    QString installed;
    if (QCoreApplication::instance())
        installed = QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                    + QString::fromUtf8(BuildInfo::kDataFromPrograms));
    return DataLocations(QDir::currentPath(), installed);
}

QString DataLocations::find(const QString &relativePath) const
{
    for (const QString &folder : {workingDirectory, installedDirectory}) {
        if (folder.isEmpty())
            continue;
        const QFileInfo candidate(QDir(folder), relativePath);
        if (candidate.exists())
            return candidate.absoluteFilePath();
    }
    return QString();
}
