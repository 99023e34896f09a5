#pragma once

#include <QByteArray>
#include <QString>

// What the simulated device finds when it opens an imported package.
struct SimPackageCheck
{
    bool opened = false;   // the package could be read at all
    QString projectName;
    int entryCount = 0;
    QString problem;       // empty when the package is verified; else the first problem found

    // The one place where a package is opened with the device key and verified.
    static SimPackageCheck check(const QByteArray &package);
};
