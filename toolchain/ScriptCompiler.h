#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// What compiling one script gave.
struct CompileResult
{
    bool ok = false;
    int status = 0;         // load status of the compiler: 0, 3 (syntax error), 4 (memory), or 5
                            // when the compiled chunk could not be re-laid
    QByteArray message;     // the compiler's message when status is not 0
    QString report;         // the error line for the output pane (without its "错误：" prefix)
    QByteArray compiled;    // the compiled-script file bytes (`<script>.m`)
    QString outputPath;     // compileFile: the file written
};

// The script compiler: the stock Lua 5.2 compiler, its chunk re-laid for the device (see
// ChunkRelayer) and sealed into a compiled-script file: a 168-byte header holding the wrapped
// content key, then a cipher block of the compressed chunk.
class ScriptCompiler
{
public:
    static constexpr quint32 Magic = 0x19202038;
    static constexpr int HeaderLength = 168;

    // Compiles source text into a stripped 32-bit chunk. Returns the chunk length, or 0 with the
    // load status and the compiler's message, which names the chunk by its first line as
    // luaL_loadstring does. The text is released as soon as the compiler has read it, so a
    // caller that moves it in does not hold it through the dump. When unstripped is given it also
    // receives the chunk as this machine's dump writes it, debug information kept, for checks
    // of the compiled code.
    static qint64 compileChunk(QByteArray source, QByteArray *chunk, int *status, QByteArray *message,
                               QByteArray *unstripped = nullptr);

    // The error report for a script that did not compile.
    static QString errorReport(const QString &fileName, int status, const QByteArray &message);

    // The compiled-script file of a chunk under a fresh content key; empty with a message when
    // the key cannot be wrapped.
    static QByteArray sealChunk(const QByteArray &chunk, QString *error);

    // Compiles and seals source text; fileName names the script in the report.
    static CompileResult compile(QByteArray source, const QString &fileName, QByteArray *unstripped = nullptr);

    // Compiles the file and writes <outputDirectory>/<file name>.m; a file that fails to compile
    // leaves an existing .m untouched.
    static CompileResult compileFile(const QString &path, const QString &outputDirectory,
                                     QByteArray *unstripped = nullptr);
};
