#include "toolchain/ChunkRelayer.h"
#include "simulator/KeyUnwrapper.h"
#include "simulator/PackageReader.h"
#include "toolchain/ScriptCompiler.h"
#include "project/ProjectFile.h"
#include "support/DeviceKey.h"
#include "support/TestWorkspace.h"
#include "support/WireBytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <QtTest>

namespace {

using WireBytes::le;
using WireBytes::u32;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the Debian `luac5.2` writes for the source (with -s: stripped), in this machine's layout.
QByteArray luac(const QByteArray &source, bool strip, QString *problem)
{
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("in.lua"), source);
    QStringList arguments{QStringLiteral("-o"), workspace.absolute(QStringLiteral("out.luac")), workspace.absolute(QStringLiteral("in.lua"))};
    if (strip)
        arguments.prepend(QStringLiteral("-s"));
    QProcess process;
    process.start(QStringLiteral("luac5.2"), arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        *problem = QStringLiteral("luac5.2 failed (scripts/setup-deps.sh installs it): ") + QString::fromLocal8Bit(process.readAllStandardError());
        return QByteArray();
    }
    return workspace.readFile(QStringLiteral("out.luac"));
}

QByteArray relayed(const QByteArray &chunk, QString *problem)
{
    const Result<QByteArray> narrowed = ChunkRelayer::relay(chunk);
    *problem = narrowed.error();
    return narrowed.valueOr(QByteArray());
}

QByteArray compiled(const QByteArray &source)
{
    return ScriptCompiler::compileChunk(source, QStringLiteral("t.lua")).valueOr("not compiled");
}

QByteArray manyConstants(int count)
{
    QByteArray source = "local t = {}\n";
    for (int i = 0; i < count; ++i)
        source += "t[\"key" + QByteArray::number(i) + "\"] = " + QByteArray::number(i * 1.5) + "\n";
    source += "return t\n";
    return source;
}

QByteArray deeplyNested(int depth)
{
    QByteArray source;
    for (int i = 0; i < depth; ++i)
        source += "local function f" + QByteArray::number(i) + "(a" + QByteArray::number(i) + ")\n";
    source += "return a0\n";
    for (int i = 0; i < depth; ++i)
        source += "end\n";
    source += "return f0\n";
    return source;
}

} // namespace

class CompilerTest : public QObject
{
    Q_OBJECT

private slots:
    void chunkMatchesReferenceCompiler_data();
    void chunkMatchesReferenceCompiler();
    void chunkLayoutByHand();
    void relayerRefusesBrokenChunks_data();
    void relayerRefusesBrokenChunks();
    void relayerRefusesEveryTruncation();
    void relayerReadsPiecesOfAnySize();
    void errorReport_data();
    void errorReport();
    void compiledFileLayout();
    void failedCompiles();
};

void CompilerTest::chunkMatchesReferenceCompiler_data()
{
    QTest::addColumn<QByteArray>("source");
    const QDir scripts(QStringLiteral(KESTRUN_TESTDATA_DIR "/scripts"));
    for (const QString &name : scripts.entryList({QStringLiteral("*.lua")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << readFile(scripts.filePath(name));
    QTest::newRow("main script template") << ProjectFile::mainScriptTemplate();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("400 constants") << manyConstants(400);
    QTest::newRow("nested 60 deep") << deeplyNested(60);
}

void CompilerTest::chunkMatchesReferenceCompiler()
{
    QFETCH(QByteArray, source);
    QString problem;
    const QByteArray stripped = luac(source, true, &problem);
    QVERIFY2(!stripped.isEmpty(), qPrintable(problem));
    const QByteArray expected = relayed(stripped, &problem);
    QVERIFY2(!expected.isEmpty(), qPrintable(problem));
    QCOMPARE(stripped.at(8), char(sizeof(size_t))); // the reference is this machine's layout
    // Stripping is the re-layer's work too: the full reference chunk re-lays to the same bytes.
    QCOMPARE(relayed(luac(source, false, &problem), &problem).toHex(), expected.toHex());

    const Result<QByteArray> chunk = ScriptCompiler::compileChunk(source, QStringLiteral("t.lua"));
    QVERIFY2(chunk, qPrintable(chunk.error()));
    QCOMPARE(chunk->toHex(), expected.toHex());
    QCOMPARE(chunk->left(18), ChunkRelayer::header32());
}

void CompilerTest::chunkLayoutByHand()
{
    // return "ab", 2  --  every field of the 32-bit stripped layout, written out.
    QByteArray expected = QByteArray::fromHex("1b4c7561520001040404080019930d0a1a0a");
    expected += le(0) + le(0) + QByteArray::fromHex("000102");          // lines, params, vararg, stack
    expected += le(4) + le(0x00000001) + le(0x00004041)                // LOADK 0 0; LOADK 1 1
              + le(0x0180001F) + le(0x0080001F);                         // RETURN 0 3; RETURN 0 1
    expected += le(2) + QByteArray::fromHex("04") + le(3) + QByteArray("ab", 3)   // "ab" with its zero
              + QByteArray::fromHex("03") + QByteArray::fromHex("0000000000000040"); // 2.0
    expected += le(0);                                                     // no nested functions
    expected += le(1) + QByteArray::fromHex("0100");                       // _ENV in the stack
    expected += le(0) + le(0) + le(0) + le(0);                       // stripped debug information

    QCOMPARE(ScriptCompiler::compileChunk("return \"ab\", 2", QStringLiteral("t.lua")).valueOr("").toHex(), expected.toHex());
}

void CompilerTest::relayerRefusesBrokenChunks_data()
{
    QTest::addColumn<QByteArray>("chunk");
    const QByteArray good = compiled("local s = 'x' return function() return s end");
    auto changed = [&good](int offset, const QByteArray &bytes) {
        QByteArray c = good;
        c.replace(offset, bytes.size(), bytes);
        return c;
    };
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not Lua") << changed(1, "X");
    QTest::newRow("Lua 5.1") << changed(4, "\x51");
    QTest::newRow("big-endian") << changed(6, QByteArray(1, '\0'));
    QTest::newRow("size_t of 2") << changed(8, "\x02");
    QTest::newRow("integral numbers") << changed(11, "\x01");
    QTest::newRow("negative code size") << changed(29, le(-1));
    QTest::newRow("huge code size") << changed(29, le(0x10000000));
    QTest::newRow("trailing bytes") << good + "x";
    QTest::newRow("unknown constant type") << changed(29 + 4 + 4 * static_cast<int>(u32(good, 29)) + 4, "\x07");
}

void CompilerTest::relayerRefusesBrokenChunks()
{
    QFETCH(QByteArray, chunk);
    const Result<QByteArray> out = ChunkRelayer::relay(chunk);
    QVERIFY(!out);
    QVERIFY(!out.error().isEmpty());
}

void CompilerTest::relayerRefusesEveryTruncation()
{
    const QByteArray chunk = compiled(readFile(QStringLiteral(KESTRUN_TESTDATA_DIR "/scripts/closures.lua")));
    QVERIFY(chunk.size() > 100);
    for (int length = 0; length < chunk.size(); ++length)
        QVERIFY2(!ChunkRelayer::relay(chunk.constData(), length), qPrintable(QString::number(length)));
    QCOMPARE(ChunkRelayer::relay(chunk).valueOr("refused"), chunk); // re-laying a 32-bit stripped chunk changes nothing
}

void CompilerTest::relayerReadsPiecesOfAnySize()
{
    QString problem;
    const QByteArray full = luac(readFile(QStringLiteral(KESTRUN_TESTDATA_DIR "/scripts/nested.lua")), false, &problem);
    QVERIFY2(!full.isEmpty(), qPrintable(problem));
    const QByteArray whole = relayed(full, &problem);
    QVERIFY(!whole.isEmpty());
    for (int piece : {1, 2, 3, 7, 8, 13, 100}) {
        QByteArray out;
        ChunkRelayer relayer(&out);
        ChunkWalker walker({&relayer});
        for (int at = 0; at < full.size(); at += piece)
            QVERIFY(walker.feed(full.constData() + at, qMin(piece, full.size() - at)));
        QVERIFY(walker.finish());
        QCOMPARE(out, whole);
    }
}

void CompilerTest::errorReport_data()
{
    // line: as the report has always read it; kind: the line after it, in words.
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("kind");
    QTest::newRow("syntax error") << QByteArray("x = = 1")
                                  << QStringLiteral("脚本t.lua第1行有语法错误, unexpected symbol near '='")
                                  << QStringLiteral("语法错误，出现了不该出现的符号");
    QTest::newRow("later line") << QByteArray("local a = 1\nif a then\n")
                                << QStringLiteral("脚本t.lua第3行有语法错误, 'end' expected (to close 'if' at line 2) near <eof>")
                                << QStringLiteral("语法错误，缺少“end”（用来结束第2行的“if”）");
    // The chunk name is the first line; its colon shifts every piece, but not the kind.
    QTest::newRow("colon in the first line") << QByteArray("-- note: here\nx = = 1")
                                             << QStringLiteral("脚本t.lua第 here...\"]行有语法错误,2")
                                             << QStringLiteral("语法错误，出现了不该出现的符号");
    // A colon in the message text cuts it there.
    QTest::newRow("colon in the message") << QByteArray("\nx = 'a:b\ny = 1")
                                          << QStringLiteral("脚本t.lua第2行有语法错误, unfinished string near ''a")
                                          << QStringLiteral("语法错误，字符串没有结束（缺少引号）");
    QTest::newRow("Chinese first line") << QByteArray("-- 中文\nx = = 1")
                                        << QStringLiteral("脚本t.lua第2行有语法错误, unexpected symbol near '='")
                                        << QStringLiteral("语法错误，出现了不该出现的符号");
    QTest::newRow("goto without label") << QByteArray("goto done")
                                        << QStringLiteral("脚本t.lua第1行有语法错误, no visible label 'done' for <goto> at line 1")
                                        << QStringLiteral("语法错误，第1行的goto找不到标签“done”");
    QTest::newRow("break outside a loop") << QByteArray("if x then break end")
                                          << QStringLiteral("脚本t.lua第1行有语法错误, <break> at line 1 not inside a loop")
                                          << QStringLiteral("语法错误，第1行的break不在循环之内");
    // A precompiled chunk is not a script: refused as a syntax error, never undumped.
    QTest::newRow("binary chunk") << QByteArray("\x1bLua\x52") << QStringLiteral("脚本t.lua第行有语法错误,")
                                  << QStringLiteral("语法错误，这是编译过的二进制内容，不是脚本的源代码");
}

void CompilerTest::errorReport()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, line);
    QFETCH(QString, kind);
    const Result<QByteArray> result = ScriptCompiler::compile(source, QStringLiteral("t.lua"));
    QVERIFY(!result);
    QCOMPARE(result.error(), QStringLiteral("脚本编译出错...\r\n错误代码：3\r\n错误信息：\r\n") + line
                                 + QStringLiteral("\r\n错误类型：") + kind);
}

void CompilerTest::compiledFileLayout()
{
    TestWorkspace workspace;
    const QByteArray source = readFile(QStringLiteral(KESTRUN_TESTDATA_DIR "/scripts/nested.lua"));
    workspace.writeFile(QStringLiteral("lib/main.script"), source);
    const Result<QString> result = ScriptCompiler::compileFile(workspace.absolute(QStringLiteral("lib/main.script")),
                                                               workspace.absolute(QStringLiteral("lib")));
    QVERIFY2(result, qPrintable(result.error()));
    QCOMPARE(*result, workspace.absolute(QStringLiteral("lib/main.script.m")));
    const QByteArray file = workspace.readFile(QStringLiteral("lib/main.script.m"));

    const QByteArray chunk = compiled(source);
    // Magic, header length, chunk length, sealed length, two fields of 1 and 2, wrapped key length.
    QCOMPARE(file.left(28).toHex(), (le(0x19202038) + le(168) + le(chunk.size()) + le(file.size() - 168) + le(1) + le(2) + le(128)).toHex());
    QCOMPARE(file.mid(156, 12), QByteArray(12, '\0'));
    QCOMPARE(u32(file, 168), 0xFDABBBCCu);
    // Compiled again: a new key, wrapped anew; the layout stays.
    QVERIFY(ScriptCompiler::compileFile(workspace.absolute(QStringLiteral("lib/main.script")), workspace.absolute(QStringLiteral("lib"))));
    const QByteArray again = workspace.readFile(QStringLiteral("lib/main.script.m"));
    QCOMPARE(again.left(28), file.left(28));
    QVERIFY(again.mid(28, 128) != file.mid(28, 128));
    QCOMPARE(again.mid(156, 12), file.mid(156, 12));

    if (!DeviceKey::builtInKeyMatches())
        QSKIP("built with another public key");
    QCOMPARE(PackageReader::openCompiledScript(file, DeviceKey::privatePem()).valueOr("not opened"), chunk);
}

void CompilerTest::failedCompiles()
{
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("a.lua"), "return 1");
    QVERIFY(ScriptCompiler::compileFile(workspace.absolute(QStringLiteral("a.lua")), workspace.path()));
    const QByteArray good = workspace.readFile(QStringLiteral("a.lua.m"));
    workspace.writeFile(QStringLiteral("a.lua"), "return return");
    const Result<QString> failed = ScriptCompiler::compileFile(workspace.absolute(QStringLiteral("a.lua")), workspace.path());
    QVERIFY(!failed);
    QVERIFY(failed.error().startsWith(QStringLiteral("脚本编译出错...\r\n错误代码：3\r\n错误信息：\r\n脚本a.lua第1行有语法错误,")));
    QCOMPARE(workspace.readFile(QStringLiteral("a.lua.m")), good);
    QCOMPARE(QDir(workspace.path()).entryList(QDir::Files).size(), 2);

    // Unreadable source, unwritable output: said, with the file's name.
    const Result<QString> missing = ScriptCompiler::compileFile(workspace.absolute(QStringLiteral("none.lua")), workspace.path());
    QVERIFY(!missing && missing.error().contains(QStringLiteral("none.lua")));
    workspace.writeFile(QStringLiteral("b.lua"), "return 2");
    const Result<QString> unwritable = ScriptCompiler::compileFile(workspace.absolute(QStringLiteral("b.lua")),
                                                                   workspace.absolute(QStringLiteral("no/such/dir")));
    QVERIFY(!unwritable && unwritable.error().contains(QStringLiteral("b.lua.m")));
}

QTEST_GUILESS_MAIN(CompilerTest)
#include "tst_compiler.moc"
