#include "tests/support/AdbOnPath.h"

#include <QFile>

AdbOnPath::AdbOnPath(Kind kind)
{
    if (kind == None)
        return;
    QFile adb(bin.filePath(QStringLiteral("adb")));
    if (!adb.open(QIODevice::WriteOnly))
        qFatal("cannot write the stand-in adb");
    // Nothing else is on PATH: the script uses the shell's own commands only.
    adb.write("#!/bin/sh\necho \"$*\" >> '" + QFile::encodeName(bin.filePath(QStringLiteral("calls"))) + "'\n");
    adb.write(kind == Succeeding ? "exit 0\n" : "echo 'error: no devices/emulators found' >&2\nexit 1\n");
    adb.close();
    adb.setPermissions(adb.permissions() | QFileDevice::ExeOwner);
}

QStringList AdbOnPath::calls() const
{
    QFile file(bin.filePath(QStringLiteral("calls")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
