#include "ScriptProblems.h"

#include "toolchain/BytecodeReader.h"
#include "toolchain/GlobalNameCheck.h"
#include "toolchain/ScriptCompiler.h"

QStringList scriptProblems(const QByteArray &source, const QString &path)
{
    BytecodeReader code;
    const Result<QByteArray> compiled = ScriptCompiler::compileChunk(source, path, &code);
    if (!compiled)
        return {compiled.error()};
    GlobalNameCheck check(QStringLiteral(KESTRUN_TESTDATA_DIR "/scripts"));
    check.addScript(path, code.functions());
    QStringList lines;
    for (const Diagnostic &warning : check.warnings())
        lines << warning.message;
    return lines;
}
