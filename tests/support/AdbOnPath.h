#pragma once

#include "tests/support/ScopedEnvironment.h"

#include <QStringList>
#include <QTemporaryDir>

// Puts a stand-in adb alone on PATH, or leaves PATH without one; restores PATH afterwards. The
// stand-in notes the arguments of every call before it succeeds or fails as a phone-less adb.
class AdbOnPath
{
public:
    enum Kind { None, Succeeding, Failing };
    explicit AdbOnPath(Kind kind);

    // One line of arguments per call, in order.
    QStringList calls() const;

private:
    QTemporaryDir bin;
    ScopedEnvironment path{"PATH", QFile::encodeName(bin.path())};
};
