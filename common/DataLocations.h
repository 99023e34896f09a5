#pragma once

#include <QString>

// Where the program's read-only data lies: the author's additions to the runtime's API, the USB
// forwarding scripts and the API reference. A folder in the working directory comes first (make run's run/, or data an
// author keeps beside the projects), then the data folder installed beside the executable.
class DataLocations
{
public:
    // Paths relative to either folder.
    static QString apiAdditions() { return QStringLiteral("config/apis.txt"); }
    static QString apiReference() { return QStringLiteral("help/api-reference.html"); }

    DataLocations(const QString &workingDirectory, const QString &installedDirectory);
    // The current directory, then BuildInfo's data folder beside the running executable.
    static DataLocations standard();

    // Absolute path of the first folder's relativePath that exists; empty when neither has it.
    QString find(const QString &relativePath) const;

private:
    QString workingDirectory;
    QString installedDirectory;
};
