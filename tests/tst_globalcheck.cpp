// The check of global names after compiling: real scripts of a project, the template, long
// files, and kestrun-build's --check and --strict.
#include "toolchain/BytecodeReader.h"
#include "toolchain/GlobalNameCheck.h"
#include "toolchain/ProjectBuilder.h"
#include "toolchain/ScriptCompiler.h"
#include "support/ScriptProblems.h"
#include "support/TestWorkspace.h"
#include "support/ToolRun.h"

#include <QDir>
#include <QtTest>

class TestGlobalCheck : public QObject
{
    Q_OBJECT

private slots:
    void projectScripts();
    void callsAgainstTheirForms_data();
    void callsAgainstTheirForms();
    void lineNumbersOfLongFiles();
    void compiledChunkUnchanged();
    void unreadableChunks_data();
    void unreadableChunks();
    void headlessCheckAndStrict();
};

void TestGlobalCheck::projectScripts()
{
    TestWorkspace ws;
    const QString project = ws.makeProject(QStringLiteral("p"));
    QDir data(QStringLiteral(KESTRUN_TESTDATA_DIR "/globalcheck"));
    for (const QString &name : data.entryList(QDir::Files | QDir::Hidden))
        QVERIFY(QFile::copy(data.filePath(name), project + QLatin1Char('/') + name));

    // The project keeps its template main.script, which is clean.
    QStringList lines;
    QStringList warnings;
    QStringList places; // of the warnings: "<path>:<line> <token>"
    ProjectBuilder builder({[&](const QString &l) { lines << l; }, [&](const Diagnostic &found) {
                                (found.kind == Diagnostic::Kind::Warning ? warnings : lines) << found.message;
                                if (found.hasPlace())
                                    places << QStringLiteral("%1:%2 %3").arg(found.path).arg(found.line).arg(found.token);
                            }});
    QVERIFY(builder.check(QStringLiteral("p"), project));
    QCOMPARE(lines.last(), QStringLiteral("所有脚本文件编译完成..."));
    QCOMPARE(warnings, (QStringList{
        "警告：脚本env.lua第16行使用了未定义的全局名“触摸点”，是否为“触摸点击”？",
        "警告：脚本env.lua第17行使用了未定义的全局名“undefinedThroughEnv”",
        "警告：脚本uses.lua第7行使用了未定义的全局名“touchClik”，是否为“touchClick”？",
        "警告：脚本uses.lua第8行使用了未定义的全局名“findImageFuzy”，是否为“findImageFuzzy”？",
        "警告：脚本uses.lua第9行使用了未定义的全局名“string.fromat”，是否为“string.format”？",
        "警告：脚本uses.lua第9行使用了未定义的全局名“format”，是否为“string.format”？",
        "警告：脚本uses.lua第10行使用了未定义的全局名“Print”，是否为“print”？",
        "警告：脚本uses.lua第11行调用“touchClick”时传入了3个参数，应为2个",
        "警告：脚本uses.lua第13行调用“touchMove”时传入了1个参数，应为2个",
        "警告：脚本uses.lua第14行使用了未定义的全局名“string.gfind”，是否为“string.find”？",
        "共10个警告",
    }));
    QCOMPARE(places.size(), 10);
    QCOMPARE((QStringList{places[0], places[4], places[7]}),
             (QStringList{"env.lua:16 触摸点", "uses.lua:9 fromat", "uses.lua:11 touchClick"}));

    // Without lib.lua its globals are undefined; strict makes the warnings fail the check.
    QVERIFY(QFile::remove(project + QStringLiteral("/lib.lua")));
    warnings.clear();
    builder.setStrict(true);
    QVERIFY(!builder.check(QStringLiteral("p"), project));
    QVERIFY(warnings.contains(QStringLiteral("警告：脚本uses.lua第2行使用了未定义的全局名“helper”")));
    QVERIFY(warnings.contains(QStringLiteral("警告：脚本uses.lua第3行使用了未定义的全局名“string.trim”")));
}

// A call passes as many arguments as one of the function's call forms takes; an alias is held to
// its function's forms.
void TestGlobalCheck::callsAgainstTheirForms_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("warning"); // empty: none
    QTest::newRow("either form") << QByteArray("local c = 1 findColor(c) findColor(c, 1, 2, 3, 4)") << "";
    QTest::newRow("between two forms") << QByteArray("local c = 1 findColor(c, 1, 2)") << "调用“findColor”时传入了3个参数，应为1或5个";
    QTest::newRow("optional last") << QByteArray("isColor(1, 2)\nisColor(1, 2, 90)") << "";
    QTest::newRow("one too many") << QByteArray("isColor(1, 2, 3, 4, 5)") << "调用“isColor”时传入了5个参数，应为2或3或4个";
    QTest::newRow("alias") << QByteArray("_ENV[\"触摸点击\"](1)") << "调用“触摸点击”时传入了1个参数，应为2个";
    QTest::newRow("alias, right count") << QByteArray("local t = 1 _ENV[\"停止定时器\"](t)") << "";
    QTest::newRow("Lua's own, not held") << QByteArray("print()\nassert(true, 'a', 'b')") << "";
}

void TestGlobalCheck::callsAgainstTheirForms()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, warning);
    const QStringList warnings = scriptProblems(source);
    QCOMPARE(warnings.size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty())
        QCOMPARE(warnings[0], QStringLiteral("警告：脚本main.lua第1行") + warning);
}

void TestGlobalCheck::lineNumbersOfLongFiles()
{
    QByteArray source = "local t = {}\r\n";
    for (int line = 2; line <= 70000; ++line)
        source += line == 65600 ? QByteArray("tuchClick(1, 2)\r\n") : "t[#t + 1] = " + QByteArray::number(line) + "\r\n";
    QCOMPARE(scriptProblems(source, QStringLiteral("lib/long.lua")),
             QStringList{QStringLiteral("警告：脚本%1第65600行使用了未定义的全局名“tuchClick”，是否为“touchClick”？")
                             .arg(QDir::toNativeSeparators(QStringLiteral("lib/long.lua")))});
}

// One walk of the dump serves the device's chunk and the check: the chunk is the same as without
// the check, and the check sees the lines.
void TestGlobalCheck::compiledChunkUnchanged()
{
    QFile file(QStringLiteral(KESTRUN_TESTDATA_DIR "/globalcheck/uses.lua"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray source = file.readAll();
    BytecodeReader code;
    const Result<QByteArray> checked = ScriptCompiler::compileChunk(source, QStringLiteral("uses.lua"), &code);
    QVERIFY(checked);
    QCOMPARE(*checked, ScriptCompiler::compileChunk(source, QStringLiteral("uses.lua")).valueOr(""));
    const Result<QVector<BytecodeReader::Function>> functions = code.functions();
    QVERIFY2(functions, qPrintable(functions.error()));
    QCOMPARE(functions->first().line(functions->first().size() - 1), source.trimmed().count('\n') + 1);
}

// A chunk the check cannot read is one warning saying why, in the author's language.
void TestGlobalCheck::unreadableChunks_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QString>("why");
    const QByteArray stripped = ScriptCompiler::compileChunk("return 1", QStringLiteral("a.lua")).valueOr("");
    QTest::newRow("truncated") << stripped.left(30) << "编译结果被截断";
    QTest::newRow("stripped") << stripped << "编译结果中没有行号信息";
    QTest::newRow("not a chunk") << QByteArray("return 1 -- a script, not its chunk") << "不是小端字节序的Lua 5.2编译结果";
    QTest::newRow("bytes after it") << stripped + "x" << "编译结果之后还有多余的字节";
}

void TestGlobalCheck::unreadableChunks()
{
    QFETCH(QByteArray, chunk);
    QFETCH(QString, why);
    GlobalNameCheck check(QStringLiteral("/p"));
    check.addScript(QStringLiteral("/p/a.lua"), chunk);
    const QVector<Diagnostic> warnings = check.warnings();
    QCOMPARE(warnings.size(), 1);
    QCOMPARE(warnings.first().message, QStringLiteral("警告：脚本a.lua无法检查全局名：") + why);
}

void TestGlobalCheck::headlessCheckAndStrict()
{
    TestWorkspace ws;
    const QString project = ws.makeProject(QStringLiteral("p"));
    const auto run = [&project](const QStringList &options) {
        const ToolRun build = ToolRun::build(QStringList{project} + options);
        return qMakePair(build.exitCode, QByteArray(build.err).replace("\r\n", "\n")); // CR LF on Windows
    };
    QCOMPARE(run({"--check", "--strict"}), qMakePair(0, QByteArray()));

    ws.writeFile(QStringLiteral("工程目录/p/tap.lua"), "function tap()\n  touchClik(100, 200)\nend\n");
    const QByteArray expected = "警告：脚本tap.lua第2行使用了未定义的全局名“touchClik”，是否为“touchClick”？\n共1个警告\n";
    QCOMPARE(run({"--check"}), qMakePair(0, expected));
    QCOMPARE(run({"--check", "--strict"}), qMakePair(1, QByteArray(expected + "错误：有警告，严格检查未通过。\n")));
    QCOMPARE(run({"--strict"}).first, 1);
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/p.ks")));
    QCOMPARE(run({}), qMakePair(0, expected));
    QVERIFY(QFileInfo::exists(project + QStringLiteral("/p.ks")));
}

QTEST_MAIN(TestGlobalCheck)
#include "tst_globalcheck.moc"
