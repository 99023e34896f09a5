// The check of global names, and the facts the editor takes from a script (its locals and their
// scopes too), on arbitrary bytes as a script's unstripped chunk: they must read or refuse them
// without reading outside the input, whatever the instructions and the debug information say.
#include "toolchain/ChunkFacts.h"
#include "toolchain/GlobalNameCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 0x7FFFFFFF)
        return 0;
    const QByteArray chunk(reinterpret_cast<const char *>(data), static_cast<int>(size));
    GlobalNameCheck check(QStringLiteral("/nonexistent-project"));
    check.addScript(QStringLiteral("/nonexistent-project/a.lua"), chunk);
    check.warnings();
    const Result<ScriptFacts> facts = ChunkFacts::read(chunk, ChunkFacts::Detail::WithLocals);
    if (facts) {
        for (int l = 0; l < facts->locals.size() && l < 100; ++l)
            facts->localDeclaration(facts->locals[l].name, facts->locals[l].line);
        for (const ScriptFacts::Function &function : facts->functions)
            facts->functionAt(function.line);
    }
    return 0;
}
