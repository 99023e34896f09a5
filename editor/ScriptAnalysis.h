#pragma once

#include "common/Result.h"
#include "editor/ScriptFile.h"
#include "editor/ScriptWords.h"
#include "project/ScriptFacts.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// What the editor learns from a script's text, off the interface thread: what its compiled code
// shows (by the compiler the application hands in, so that the editor needs no compiler of its
// own), its words for completion and how its lines end.
class ScriptAnalysis
{
public:
    // Compiles source text and reads what its code shows; fails with Lua's message.
    using Analyser = std::function<Result<ScriptFacts>(QByteArray source, const QString &fileName)>;

    std::optional<ScriptFacts> facts; // none while the text does not compile
    QString problem;                  // why there are none
    ScriptWords words;
    ScriptFile::LineEnds lineEnds = ScriptFile::LineEnds::None;

    static ScriptAnalysis of(const QByteArray &text, const QString &fileName, const Analyser &analyse);

    // What the code of every script of a project directory on disk shows, script by script
    // (their paths relative to the directory, in no particular order), until cancelled says to
    // stop. Scripts that cannot be read or do not compile are passed over.
    static void ofProject(const QString &directory, const Analyser &analyse, const std::function<bool()> &cancelled,
                          const std::function<void(const QString &path, const ScriptFacts &facts)> &found);
};
