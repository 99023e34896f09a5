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

#include <utility>

namespace {

int feedWalker(lua_State *, const void *bytes, size_t size, void *walker)
{
    return static_cast<ChunkWalker *>(walker)->feed(static_cast<const char *>(bytes), static_cast<qint64>(size)) ? 0 : 1;
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

// What Lua's compiler says, in the author's words: its message (without the chunk name, the
// line and the token it stopped at) against these patterns, the first that matches.
const struct
{
    const char *pattern;
    const char *words; // %1... are the pattern's captures
} kSyntaxErrors[] = {
    {"^(.+) expected \\(to close (.+) at line (\\d+)\\)$", "缺少%1（用来结束第%3行的%2）"},
    {"^(.+) expected$", "缺少%1"},
    {"^unexpected symbol$", "出现了不该出现的符号"},
    {"^unfinished string$", "字符串没有结束（缺少引号）"},
    {"^unfinished long string$", "长字符串没有结束（缺少“]]”）"},
    {"^unfinished long comment$", "长注释没有结束（缺少“]]”）"},
    {"^invalid long string delimiter$", "长字符串的定界符无效"},
    {"^malformed number$", "数字的写法不对"},
    {"^invalid escape sequence$", "字符串中有无效的转义序列"},
    {"^hexadecimal digit expected$", "转义序列中缺少十六进制数字"},
    {"^decimal escape too large$", "转义序列的十进制值过大"},
    {"^lexical element too long$", "单词过长"},
    {"^function arguments expected$", "缺少函数的参数"},
    {"^cannot use '\\.\\.\\.' outside a vararg function$", "“...”只能在参数表以“...”结尾的函数中使用"},
    {"^<break> at line (\\d+) not inside a loop$", "第%1行的break不在循环之内"},
    {"^no visible label '(.+)' for <goto> at line (\\d+)$", "第%2行的goto找不到标签“%1”"},
    {"^label '(.+)' already defined on line (\\d+)$", "标签“%1”已在第%2行定义过"},
    {"^<goto (.+)> at line (\\d+) jumps into the scope of local '(.+)'$", "第%2行的goto %1跳进了局部变量“%3”的作用域"},
    {"^ambiguous syntax \\(function call x new statement\\)$", "写法有歧义（是函数调用还是新的语句）"},
    {"^too many (.+) \\(limit is (\\d+)\\) in (.+)$", "超出了Lua的限制：%1最多%2个"},
    {"^chunk has too many (.+)$", "超出了Lua的限制：脚本的嵌套层数或行数过多"},
    {"^(control structure too long|function or expression too complex)$", "代码结构过于复杂"},
    {"^attempt to load a binary chunk", "这是编译过的二进制内容，不是脚本的源代码"},
};

// Lua's tokens as the author reads them: 'end' is “end”, <eof> the end of the script.
QString tokenWords(QString text)
{
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    text.replace(quoted, QStringLiteral("“\\1”"));
    text.replace(QLatin1String("<eof>"), QStringLiteral("脚本末尾"));
    text.replace(QLatin1String("<name>"), QStringLiteral("名字"));
    text.replace(QLatin1String("<string>"), QStringLiteral("字符串"));
    text.replace(QLatin1String("<number>"), QStringLiteral("数字"));
    return text;
}

// One line naming the kind of error of a failed load.
QString errorKind(int status, const QByteArray &message)
{
    if (status == LUA_ERRMEM)
        return QStringLiteral("错误类型：内存不足，脚本过大或过于复杂");
    if (status != LUA_ERRSYNTAX)
        return QStringLiteral("错误类型：编译结果无法转换为设备的格式（%1）").arg(QString::fromUtf8(message));
    // [string "first line"]:line: text near 'token'; the first line may hold anything.
    static const QRegularExpression parts(QStringLiteral("^(?:.*\\]:\\d+: )?(.*?)(?: near .*)?$"));
    const QString text = parts.match(QString::fromUtf8(message)).captured(1);
    for (const auto &known : kSyntaxErrors) {
        const QRegularExpressionMatch match = QRegularExpression(QString::fromLatin1(known.pattern)).match(text);
        if (!match.hasMatch())
            continue;
        QString words = QString::fromUtf8(known.words);
        for (int i = match.lastCapturedIndex(); i >= 1; --i)
            words.replace(QStringLiteral("%") + QString::number(i), tokenWords(match.captured(i)));
        return QStringLiteral("错误类型：语法错误，") + words;
    }
    return QStringLiteral("错误类型：语法错误");
}

} // namespace

Status ScriptCompiler::walkSource(QByteArray source, const QString &fileName, const QVector<ChunkWalker::Visitor *> &visitors,
                                  Diagnostic *failure)
{
    const auto failed = [&](int status, const QByteArray &message) {
        const Diagnostic report = syntaxError(fileName, status, message);
        if (failure)
            *failure = report;
        return fail(report.message);
    };
    ChunkWalker walker(visitors);
    {
        LuaState lua;
        if (!lua.state)
            return failed(LUA_ERRMEM, "not enough memory");
        // The stock dump writes the chunk name into every function, so a short name keeps the
        // dump small; it is stripped anyway.
        const int status = load(lua.state, source, "=?");
        if (status != LUA_OK) {
            // Load again named by the text itself, as luaL_loadstring names it, for the message
            // the author knows: [string "first line..."]:line: text
            lua_settop(lua.state, 0);
            const int named = load(lua.state, source, source.constData());
            const char *text = lua_tostring(lua.state, -1);
            return failed(named != LUA_OK ? named : status, text ? QByteArray(text) : QByteArray());
        }
        // The dump does not need the text.
        source = QByteArray();
        lua_dump(lua.state, feedWalker, &walker);
    }
    const Status walked = walker.finish();
    if (!walked)
        return failed(LUA_ERRERR, walked.error().toUtf8());
    return Status();
}

Result<QByteArray> ScriptCompiler::compileChunk(QByteArray source, const QString &fileName, ChunkWalker::Visitor *also,
                                                Diagnostic *failure)
{
    QByteArray chunk;
    ChunkRelayer relayer(&chunk);
    const Status compiled = walkSource(std::move(source), fileName,
                                       also ? QVector<ChunkWalker::Visitor *>{&relayer, also}
                                            : QVector<ChunkWalker::Visitor *>{&relayer},
                                       failure);
    if (!compiled)
        return fail(compiled.error());
    return chunk;
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
        + QStringLiteral("错误信息：\r\n") + line + QStringLiteral("\r\n") + errorKind(status, message);
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

Result<QByteArray> ScriptCompiler::compile(QByteArray source, const QString &fileName, ChunkWalker::Visitor *also,
                                           Diagnostic *failure)
{
    const Result<QByteArray> chunk = compileChunk(std::move(source), fileName, also, failure);
    if (!chunk)
        return chunk;
    const Result<QByteArray> compiled = sealChunk(*chunk);
    if (compiled)
        return compiled;
    const Diagnostic report = Diagnostic::error(QStringLiteral("脚本%1编译失败：%2").arg(fileName, compiled.error()));
    if (failure)
        *failure = report;
    return fail(report.message);
}

Result<QString> ScriptCompiler::compileFile(const QString &path, const QString &outputDirectory,
                                            ChunkWalker::Visitor *also, Diagnostic *failure)
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

    const Result<QByteArray> compiled = compile(std::move(source), fileName, also, failure);
    if (!compiled)
        return fail(compiled.error());
    const QString outputPath = outputDirectory + QLatin1Char('/') + fileName + Names::compiledSuffix();
    // Written aside and renamed, so a failed write never leaves half a file.
    const Status written = AtomicFile::writeWhole(outputPath, *compiled);
    if (!written)
        return failed(QStringLiteral("无法写入[%1]：%2").arg(QDir::toNativeSeparators(outputPath), written.error()));
    return outputPath;
}
