#include "toolchain/ScriptCompiler.h"

#include "common/Names.h"
#include "common/AtomicFile.h"
#include "common/RegularFile.h"
#include "toolchain/BinaryLayout.h"
#include "toolchain/ChunkRelayer.h"
#include "toolchain/SealedBlocks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <lauxlib.h>
#include <lua.h>

#include <cstring>
#include <utility>

namespace {

// The stock dump goes straight into the re-layer, so the unstripped chunk is held only when a
// caller asks for it.
struct DumpTargets
{
    ChunkRelayer *relayer;
    QByteArray *unstripped;
};

int feedRelayer(lua_State *, const void *bytes, size_t size, void *targets)
{
    const auto *to = static_cast<DumpTargets *>(targets);
    if (to->unstripped)
        to->unstripped->append(static_cast<const char *>(bytes), static_cast<int>(size));
    return to->relayer->feed(static_cast<const char *>(bytes), static_cast<qint64>(size)) ? 0 : 1;
}

// A state with no libraries; only the compiler runs in it.
struct LuaState
{
    lua_State *state = luaL_newstate();
    ~LuaState()
    {
        if (state)
            lua_close(state);
    }
};

// Text only: a precompiled chunk handed in as a script is never undumped in the IDE.
int load(lua_State *state, const QByteArray &source, const char *chunkName)
{
    return luaL_loadbufferx(state, source.constData(), static_cast<size_t>(source.size()), chunkName, "t");
}

// Loads the script; on failure the message names the chunk by the text itself, as
// luaL_loadstring names it, for the message the author knows: [string "first line..."]:line: text
int loadScript(lua_State *state, const QByteArray &source, QByteArray *message)
{
    // The stock dump writes the chunk name into every function, so a short name keeps the dump
    // small.
    int status = load(state, source, "=?");
    if (status == LUA_OK)
        return status;
    lua_settop(state, 0);
    const int named = load(state, source, source.constData());
    if (named != LUA_OK)
        status = named;
    if (const char *text = lua_tostring(state, -1))
        *message = text;
    return status;
}

int appendBytes(lua_State *, const void *bytes, size_t size, void *chunk)
{
    static_cast<QByteArray *>(chunk)->append(static_cast<const char *>(bytes), static_cast<int>(size));
    return 0;
}

} // namespace

QByteArray ScriptCompiler::unstrippedChunk(QByteArray source, int *status, QByteArray *message)
{
    message->clear();
    LuaState lua;
    if (!lua.state) {
        *status = LUA_ERRMEM;
        *message = "not enough memory";
        return QByteArray();
    }
    *status = loadScript(lua.state, source, message);
    if (*status != LUA_OK)
        return QByteArray();
    source = QByteArray();
    QByteArray chunk;
    lua_dump(lua.state, appendBytes, &chunk);
    return chunk;
}

qint64 ScriptCompiler::compileChunk(QByteArray source, QByteArray *chunk, int *status, QByteArray *message,
                                    QByteArray *unstripped)
{
    message->clear();
    if (unstripped)
        unstripped->clear();
    ChunkRelayer relayer(chunk);
    {
        LuaState lua;
        if (!lua.state) {
            *status = LUA_ERRMEM;
            *message = "not enough memory";
            return 0;
        }
        *status = loadScript(lua.state, source, message);
        if (*status != LUA_OK)
            return 0;
        // The dump does not need the text.
        source = QByteArray();
        DumpTargets targets{&relayer, unstripped};
        lua_dump(lua.state, feedRelayer, &targets);
    }
    const Status finished = relayer.finish();
    if (!finished) {
        chunk->clear();
        *status = LUA_ERRERR;
        *message = finished.error().toUtf8();
        return 0;
    }
    *status = LUA_OK;
    return chunk->size();
}

QString ScriptCompiler::errorReport(const QString &fileName, int status, const QByteArray &message)
{
    // The message is split at every colon: [string "..."], the line number, the text. A colon in
    // the first line of the script or in the text shifts or cuts the pieces; that is how the
    // report has always read.
    const QList<QByteArray> pieces = message.split(':');
    const auto piece = [&pieces](int i) { return i < pieces.size() ? QString::fromUtf8(pieces[i]) : QString(); };
    const QString line = QStringLiteral("脚本") + fileName + QStringLiteral("第") + piece(1)
        + QStringLiteral("行有语法错误") + QLatin1Char(',') + piece(2);
    return QStringLiteral("脚本编译出错...\r\n错误代码：") + QString::number(status) + QStringLiteral("\r\n")
        + QStringLiteral("错误信息：\r\n") + line;
}

Diagnostic ScriptCompiler::syntaxError(const QString &fileName, int status, const QByteArray &message)
{
    Diagnostic report = Diagnostic::error(errorReport(fileName, status, message));
    // [string "<first line of the script>"]:<line>: <text>[ near '<token>']
    static const QRegularExpression place(QStringLiteral("^\\[string \".*?\"\\]:(\\d+):(.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression near(QStringLiteral("near '(.+)'$"));
    const QRegularExpressionMatch match = place.match(QString::fromUtf8(message));
    if (match.hasMatch() && match.captured(1).toInt() > 0) {
        report.path = fileName;
        report.line = match.captured(1).toInt();
        report.token = near.match(match.captured(2)).captured(1);
    }
    return report;
}

Result<QByteArray> ScriptCompiler::sealChunk(const QByteArray &chunk)
{
    const QByteArray contentKey = SealedBlocks::makeContentKey();
    const Result<QByteArray> wrapped = SealedBlocks::wrapKey(contentKey);
    if (!wrapped)
        return wrapped;
    const Result<QByteArray> compressed = SealedBlocks::compressBlock(chunk);
    if (!compressed)
        return fail(QStringLiteral("编译结果过大，无法压缩"));
    const QByteArray sealed = SealedBlocks::encryptBlocks(
        *compressed, SealedBlocks::keyString(contentKey.constData(), contentKey.size()));

    char header[CompiledScriptHeader::Length] = {};
    Layout::write(header, CompiledScriptHeader::magic, CompiledScriptHeader::Magic);
    Layout::write(header, CompiledScriptHeader::headerLength, CompiledScriptHeader::Length);
    Layout::write(header, CompiledScriptHeader::chunkLength, static_cast<quint32>(chunk.size()));
    Layout::write(header, CompiledScriptHeader::sealedLength, static_cast<quint32>(sealed.size()));
    Layout::write(header, CompiledScriptHeader::constant1, 1);
    Layout::write(header, CompiledScriptHeader::constant2, 2);
    Layout::write(header, CompiledScriptHeader::wrappedKeyLength, SealedBlocks::WrappedKeyLength);
    Layout::writeBytes(header, CompiledScriptHeader::wrappedKey, *wrapped);
    return QByteArray(header, CompiledScriptHeader::Length) + sealed;
}

Result<QByteArray> ScriptCompiler::compile(QByteArray source, const QString &fileName, QByteArray *unstripped,
                                           Diagnostic *failure)
{
    QByteArray chunk;
    int status = 0;
    QByteArray message;
    Diagnostic report;
    if (compileChunk(std::move(source), &chunk, &status, &message, unstripped) == 0) {
        report = syntaxError(fileName, status, message);
    } else {
        const Result<QByteArray> compiled = sealChunk(chunk);
        if (compiled)
            return compiled;
        report = Diagnostic::error(QStringLiteral("脚本%1编译失败：%2").arg(fileName, compiled.error()));
    }
    if (failure)
        *failure = report;
    return fail(report.message);
}

Result<QString> ScriptCompiler::compileFile(const QString &path, const QString &outputDirectory,
                                            QByteArray *unstripped, Diagnostic *failure)
{
    const auto failed = [failure](const QString &message) {
        if (failure)
            *failure = Diagnostic::error(message);
        return fail(message);
    };
    const QString fileName = QFileInfo(path).fileName();
    Result<QByteArray> read = RegularFile::readWhole(path, MaxPayloadLength);
    if (!read)
        return failed(QStringLiteral("无法读取脚本[%1]：%2").arg(QDir::toNativeSeparators(path), read.error()));
    QByteArray source = std::move(read).value();

    const Result<QByteArray> compiled = compile(std::move(source), fileName, unstripped, failure);
    if (!compiled)
        return fail(compiled.error());
    const QString outputPath = outputDirectory + QLatin1Char('/') + fileName + Names::compiledSuffix();
    // Written aside and renamed, so a failed write never leaves half a file.
    const Status written = AtomicFile::writeWhole(outputPath, *compiled);
    if (!written)
        return failed(QStringLiteral("无法写入[%1]：%2").arg(QDir::toNativeSeparators(outputPath), written.error()));
    return outputPath;
}
