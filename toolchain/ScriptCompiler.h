#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"
#include "toolchain/ChunkWalker.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The script compiler: the stock Lua 5.2 compiler, its chunk re-laid for the device (see
// ChunkRelayer) and sealed into a compiled-script file: a header holding the wrapped content
// key (CompiledScriptHeader), then a cipher block of the compressed chunk.
//
// A script that does not compile fails with its error report, the lines for the output pane
// without the "错误：" prefix: the status and the compiler's message as the report has always
// read, then what kind of error it is in words.
class ScriptCompiler
{
public:
    // Compiles source text into a stripped 32-bit chunk. A script that does not compile fails
    // with its error report, fileName naming it there. The text is released as soon as the
    // compiler has read it, so a caller that moves it in does not hold it through the dump. When
    // `also` is given, the one walk of the dump shows it the chunk as this machine's dump writes
    // it, debug information kept, for checks of the compiled code. A failure is also given as a
    // value when failure is not null.
    static Result<QByteArray> compileChunk(QByteArray source, const QString &fileName,
                                           ChunkWalker::Visitor *also = nullptr, Diagnostic *failure = nullptr);

    // Compiles source text and shows the visitors its dump as this machine writes it, debug
    // information kept; nothing is re-laid or sealed. Fails as compileChunk does.
    static Status walkSource(QByteArray source, const QString &fileName, const QVector<ChunkWalker::Visitor *> &visitors,
                             Diagnostic *failure = nullptr);

    // The error report for a script that did not compile: the load status (3 syntax error,
    // 4 memory, LUA_ERRERR when the dump could not be re-laid) and the compiler's message, which
    // names the chunk by its first line as luaL_loadstring does.
    static QString errorReport(const QString &fileName, int status, const QByteArray &message);

    // The compiled-script file of a chunk under a fresh content key.
    static Result<QByteArray> sealChunk(const QByteArray &chunk);

    // The report of a script that did not compile as a value: the report, and the line and the
    // token Lua's message names (no place when it names no line).
    static Diagnostic syntaxError(const QString &fileName, int status, const QByteArray &message);

    // Compiles and seals source text into the compiled-script file's bytes.
    static Result<QByteArray> compile(QByteArray source, const QString &fileName, ChunkWalker::Visitor *also = nullptr,
                                      Diagnostic *failure = nullptr);

    // Compiles the file and writes <outputDirectory>/<file name>.m, whose path it returns; a
    // file that fails to compile leaves an existing .m untouched. A failure is also given as a
    // value when failure is not null (its place: the file name and the line).
    static Result<QString> compileFile(const QString &path, const QString &outputDirectory,
                                       ChunkWalker::Visitor *also = nullptr, Diagnostic *failure = nullptr);
};
