#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"
#include "project/ScriptFacts.h"
#include "toolchain/BytecodeReader.h"

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
    // The functions of a chunk as a visitor of its walk read them, or why it could not.
    static Result<ScriptFacts> of(const Result<QVector<BytecodeReader::Function>> &functions,
                                  Detail detail = Detail::Globals);
    static Result<ScriptFacts> read(const QByteArray &unstrippedChunk, Detail detail = Detail::Globals);
    // Compiles source text and reads all its facts. A script that does not compile fails with Lua's
    // message; its report as a value goes to failure when that is given.
    static Result<ScriptFacts> ofSource(QByteArray source, const QString &fileName, Diagnostic *failure = nullptr);
};
