#include "ScriptProblems.h"

#include "toolchain/GlobalNameCheck.h"
#include "toolchain/ScriptCompiler.h"

QStringList scriptProblems(const QByteArray &source, const QString &path)
{
    QByteArray chunk, unstripped, message;
    int status = 0;
    if (ScriptCompiler::compileChunk(source, &chunk, &status, &message, &unstripped) == 0)
        return {QString::fromUtf8(message)};
    GlobalNameCheck check(QStringLiteral(KESTRUN_TESTDATA_DIR "/scripts"));
    check.addScript(path, unstripped);
    QStringList lines;
    for (const Diagnostic &warning : check.warnings())
        lines << warning.message;
    return lines;
}
