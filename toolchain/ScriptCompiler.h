#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The script compiler: the stock Lua 5.2 compiler, its chunk re-laid for the device (see
// ChunkRelayer) and sealed into a compiled-script file: a header holding the wrapped content
// key (CompiledScriptHeader), then a cipher block of the compressed chunk.
//
// A script that does not compile fails with its error report, the line for the output pane
// without its "错误：" prefix.
class ScriptCompiler
{
public:
    // Compiles source text into a stripped 32-bit chunk. Returns the chunk length, or 0 with the
    // load status (3 syntax error, 4 memory, 5 when the chunk could not be re-laid) and the
    // compiler's message, which names the chunk by its first line as luaL_loadstring does. The
    // text is released as soon as the compiler has read it, so a caller that moves it in does not
    // hold it through the dump. When unstripped is given it also receives the chunk as this
    // machine's dump writes it, debug information kept, for checks of the compiled code.
    static qint64 compileChunk(QByteArray source, QByteArray *chunk, int *status, QByteArray *message,
                               QByteArray *unstripped = nullptr);

    // Compiles source text into the chunk as this machine's stock dump writes it, debug
    // information kept, for what the compiled code tells about the script; nothing is sealed.
    // Empty when the text does not compile, with the load status and Lua's message as above.
    static QByteArray unstrippedChunk(QByteArray source, int *status, QByteArray *message);

    // The error report for a script that did not compile.
    static QString errorReport(const QString &fileName, int status, const QByteArray &message);

    // The compiled-script file of a chunk under a fresh content key.
    static Result<QByteArray> sealChunk(const QByteArray &chunk);

    // The report of a script that did not compile as a value: the report, and the line and the
    // token Lua's message names (no place when it names no line).
    static Diagnostic syntaxError(const QString &fileName, int status, const QByteArray &message);

    // Compiles and seals source text into the compiled-script file's bytes; fileName names the
    // script in the report. A failure is also given as a value when failure is not null.
    static Result<QByteArray> compile(QByteArray source, const QString &fileName,
                                      QByteArray *unstripped = nullptr, Diagnostic *failure = nullptr);

    // Compiles the file and writes <outputDirectory>/<file name>.m, whose path it returns; a
    // file that fails to compile leaves an existing .m untouched. A failure is also given as a
    // value when failure is not null (its place: the file name and the line).
    static Result<QString> compileFile(const QString &path, const QString &outputDirectory,
                                       QByteArray *unstripped = nullptr, Diagnostic *failure = nullptr);
};
