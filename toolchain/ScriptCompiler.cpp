#include "toolchain/ScriptCompiler.h"

#include "toolchain/ChunkRelayer.h"
#include "toolchain/SealedBlocks.h"
#include "project/FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

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

} // namespace

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
        // The stock dump writes the chunk name into every function, so a short name keeps the
        // dump small; it is stripped anyway.
        *status = load(lua.state, source, "=?");
        if (*status != LUA_OK) {
            // Load again named by the text itself, as luaL_loadstring names it, for the message
            // the author knows: [string "first line..."]:line: text
            lua_settop(lua.state, 0);
            const int named = load(lua.state, source, source.constData());
            if (named != LUA_OK)
                *status = named;
            if (const char *text = lua_tostring(lua.state, -1))
                *message = text;
            return 0;
        }
        // The dump does not need the text.
        source = QByteArray();
        DumpTargets targets{&relayer, unstripped};
        lua_dump(lua.state, feedRelayer, &targets);
    }
    QString error;
    if (!relayer.finish(&error)) {
        chunk->clear();
        *status = LUA_ERRERR;
        *message = error.toUtf8();
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

QByteArray ScriptCompiler::sealChunk(const QByteArray &chunk, QString *error)
{
    const QByteArray contentKey = SealedBlocks::makeContentKey();
    const QByteArray wrapped = SealedBlocks::wrapKey(contentKey, error);
    if (wrapped.isEmpty())
        return QByteArray();
    const QByteArray compressed = SealedBlocks::compressBlock(chunk);
    if (compressed.isEmpty()) {
        if (error)
            *error = QStringLiteral("编译结果过大，无法压缩");
        return QByteArray();
    }
    const QByteArray sealed = SealedBlocks::encryptBlocks(
        compressed, SealedBlocks::keyString(contentKey.constData(), contentKey.size()));

    char header[HeaderLength] = {};
    qToLittleEndian<quint32>(Magic, header);
    qToLittleEndian<quint32>(HeaderLength, header + 4);
    qToLittleEndian<quint32>(static_cast<quint32>(chunk.size()), header + 8);
    qToLittleEndian<quint32>(static_cast<quint32>(sealed.size()), header + 12);
    qToLittleEndian<quint32>(1, header + 16);
    qToLittleEndian<quint32>(2, header + 20);
    qToLittleEndian<quint32>(SealedBlocks::WrappedKeyLength, header + 24);
    std::memcpy(header + 28, wrapped.constData(), SealedBlocks::WrappedKeyLength);
    return QByteArray(header, HeaderLength) + sealed;
}

CompileResult ScriptCompiler::compile(QByteArray source, const QString &fileName, QByteArray *unstripped)
{
    CompileResult result;
    QByteArray chunk;
    if (compileChunk(std::move(source), &chunk, &result.status, &result.message, unstripped) == 0) {
        result.report = errorReport(fileName, result.status, result.message);
        return result;
    }
    QString error;
    result.compiled = sealChunk(chunk, &error);
    if (result.compiled.isEmpty()) {
        result.report = QStringLiteral("脚本%1编译失败：%2").arg(fileName, error);
        return result;
    }
    result.ok = true;
    return result;
}

CompileResult ScriptCompiler::compileFile(const QString &path, const QString &outputDirectory, QByteArray *unstripped)
{
    const QString fileName = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CompileResult result;
        result.report = QStringLiteral("无法读取脚本[%1]：%2").arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    QByteArray source = file.readAll();
    file.close();

    CompileResult result = compile(std::move(source), fileName, unstripped);
    if (!result.ok)
        return result;
    result.outputPath = outputDirectory + QLatin1Char('/') + fileName + QStringLiteral(".m");
    // Written aside and renamed, so a failed write never leaves half a file.
    QString reason;
    if (!FileOperations::writeWhole(result.outputPath, result.compiled, &reason)) {
        result.ok = false;
        result.report = QStringLiteral("无法写入[%1]：%2").arg(QDir::toNativeSeparators(result.outputPath), reason);
    }
    return result;
}
