#pragma once

#include "common/Result.h"

#include <QLockFile>
#include <QString>

#include <memory>



// The lock file (Names::buildLock) that keeps two checks or builds of one project apart: the IDE
// and kestrun-build, two terminals. A second one started meanwhile stops at once and says so.
//
// A lock whose holder is gone from this machine is taken over at once. One whose holder cannot
// be shown alive here (it names no holder, or another machine: a project copied after a crash)
// is taken over once it is TakeOverSeconds old; until then it is respected, since a build on
// this machine writes its holder right after making the file.
class BuildLock
{
public:
    static constexpr int TakeOverSeconds = 10;

    struct Held
    {
        std::unique_ptr<QLockFile> lock; // null when the directory takes no lock (nor any other file)
        QString note;                    // for the output when a lock was taken over
    };

    // Takes the lock of the project; fails with the message for the author.
    static Result<Held> take(const QString &projectDirectory);
};
