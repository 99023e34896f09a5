#pragma once

#include <QByteArray>
#include <QString>

// What the simulated device finds when it opens an imported package with its private key.
struct SimPackageCheck
{
    bool opened = false;   // the envelope could be opened: name and entries are known
    QString projectName;
    int entryCount = 0;    // entries read before the first problem, if any
    QString problem;       // empty when the package is verified; else the first problem found

    // The one place where a package is opened with the device key and verified.
    static SimPackageCheck check(const QByteArray &package);
};
