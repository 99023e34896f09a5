#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"
#include "project/ScriptFacts.h"

#include <QByteArray>

// The one walk over a script's compiled code: what it defines and uses (ScriptFacts), from the
// chunk as the stock dump writes it with debug information (the line of every instruction, the
// names of locals and upvalues). The chunk is untrusted: anything it holds that does not fit is
// passed over, never followed out of its bounds.
class ChunkFacts
{
public:
    // The locals and the scopes of the script's functions are needed only for the script being
    // edited; the rest of the project gets by without them.
    enum class Detail { Globals, WithLocals };
    static Result<ScriptFacts> read(const QByteArray &unstrippedChunk, Detail detail = Detail::Globals);
    // Compiles source text and reads all its facts. A script that does not compile fails with Lua's
    // message; its report as a value goes to failure when that is given.
    static Result<ScriptFacts> ofSource(QByteArray source, const QString &fileName, Diagnostic *failure = nullptr);
};
