// What the compiled code tells about scripts: the functions a script names (the outline), the
// local a name means on a line, and where a project defines and uses its globals.
#include "project/ProjectIndex.h"
#include "toolchain/ChunkFacts.h"

#include <lauxlib.h>
#include <lua.h>

#include <QtTest>

namespace {

ScriptFacts factsOf(const char *source)
{
    const Result<ScriptFacts> facts = ChunkFacts::ofSource(QByteArray(source), QStringLiteral("t.lua"));
    if (!facts)
        qFatal("%s", qPrintable(facts.error()));
    return *facts;
}

// "name line-lastLine" for each function, with its depth as leading dots.
QStringList outline(const ScriptFacts &facts)
{
    QStringList lines;
    for (const ScriptFacts::Function &f : facts.functions)
        lines << QString(f.depth, QLatin1Char('.')) + QStringLiteral("%1 %2-%3").arg(f.shown()).arg(f.line).arg(f.lastLine);
    return lines;
}

QStringList places(const QVector<ProjectIndex::Place> &found)
{
    QStringList lines;
    for (const ProjectIndex::Place &place : found)
        lines << QStringLiteral("%1:%2").arg(place.path).arg(place.line);
    return lines;
}

} // namespace

class TestCodeFacts : public QObject
{
    Q_OBJECT

private slots:
    void functionsOfAScript_data();
    void functionsOfAScript();
    void localInScope_data();
    void localInScope();
    void definitionsAndUsesAcrossScripts_data();
    void definitionsAndUsesAcrossScripts();
    void truncatedChunkIsRefused();
};

void TestCodeFacts::functionsOfAScript_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("global, nested local, anonymous left out")
        << QByteArray("function step(n)\n"
                      "  local function inner()\n"
                      "  end\n"
                      "  table.sort({}, function(a, b) return a < b end)\n"
                      "end\n")
        << QStringList{"step 1-5", ".inner 2-3"};
    QTest::newRow("fields and methods of a local table")
        << QByteArray("local M = {}\n"
                      "function M.f() end\n"
                      "function M:g() end\n"
                      "M.h = function() end\n"
                      "function M.sub.k() end\n"
                      "return M\n")
        << QStringList{"M.f 2-2", "M:g 3-3", "M.h 4-4", "M.sub.k 5-5"};
    QTest::newRow("locals, _G and a global table")
        << QByteArray("local helper = function()\n"
                      "end\n"
                      "local later\n"
                      "later = function() end\n"
                      "_G.viaG = function() end\n"
                      "Utils = {}\n"
                      "function Utils.find() end\n")
        << QStringList{"helper 1-2", "later 4-4", "viaG 5-5", "Utils.find 7-7"};
    QTest::newRow("through upvalues inside a function")
        << QByteArray("local M = {}\n"
                      "local callback\n"
                      "function init()\n"
                      "  function M.late() end\n"
                      "  callback = function() end\n"
                      "end\n")
        << QStringList{"init 3-6", ".M.late 4-4", ".callback 5-5"};
}

void TestCodeFacts::functionsOfAScript()
{
    QFETCH(QByteArray, source);
    QFETCH(QStringList, expected);
    const ScriptFacts facts = factsOf(source.constData());
    QCOMPARE(outline(facts), expected);
    // The outline follows the caret: the innermost function around a line.
    for (int i = 0; i < facts.functions.size(); ++i)
        QCOMPARE(facts.functionAt(facts.functions[i].line), i);
}

void TestCodeFacts::localInScope_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("declared"); // 0: no local of that name there
    const QByteArray shadowing = "local x = 1\n"       // 1
                                 "function f(x)\n"     // 2
                                 "  print(x)\n"        // 3
                                 "  do\n"              // 4
                                 "    local x = 2\n"   // 5
                                 "    print(x)\n"      // 6
                                 "  end\n"             // 7
                                 "  print(x)\n"        // 8
                                 "end\n"               // 9
                                 "print(x)\n"          // 10
                                 "for i = 1, 3 do\n"   // 11
                                 "  print(i)\n"        // 12
                                 "end\n"               // 13
                                 "print(i)\n";         // 14
    QTest::newRow("parameter") << shadowing << "x" << 3 << 2;
    QTest::newRow("block local") << shadowing << "x" << 6 << 5;
    QTest::newRow("parameter again after the block") << shadowing << "x" << 8 << 2;
    QTest::newRow("chunk local after the function") << shadowing << "x" << 10 << 1;
    QTest::newRow("loop variable") << shadowing << "i" << 12 << 11;
    QTest::newRow("loop variable out of scope") << shadowing << "i" << 14 << 0;
    const QByteArray functions = "local function fib(n)\n"             // 1
                                 "  if n < 2 then return n end\n"       // 2
                                 "  return fib(n - 1) + fib(n - 2)\n"   // 3
                                 "end\n"                                // 4
                                 "local t, u = fib(1), {\n"              // 5
                                 "}\n"                                  // 6
                                 "\n"                                   // 7
                                 "local function use() return u, fib end\n"; // 8
    QTest::newRow("local function, recursive") << functions << "fib" << 3 << 1;
    QTest::newRow("upvalue in a later function") << functions << "fib" << 8 << 1;
    QTest::newRow("second of two locals") << functions << "u" << 8 << 5;
    QTest::newRow("global") << functions << "print" << 2 << 0;
}

void TestCodeFacts::localInScope()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, name);
    QFETCH(int, line);
    QFETCH(int, declared);
    QCOMPARE(factsOf(source.constData()).localDeclaration(name, line), declared);
}

void TestCodeFacts::definitionsAndUsesAcrossScripts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("definitions");
    QTest::addColumn<QStringList>("uses");
    QTest::newRow("global function") << "step" << QStringList{"lib/a.lua:1"}
                                     << QStringList{"lib/a.lua:1", "main.script:4", "main.script:5", "main.script:6"};
    QTest::newRow("variable assigned in two scripts") << "count" << QStringList{"lib/a.lua:4", "main.script:1"}
                                                      << QStringList{"lib/a.lua:4", "main.script:1", "main.script:6"};
    QTest::newRow("field of a global table") << "Utils.find" << QStringList{"lib/a.lua:6"}
                                             << QStringList{"lib/a.lua:6", "main.script:5"};
    QTest::newRow("module table local where it is made") << "M.run" << QStringList{"mod.lua:2"}
                                                         << QStringList{"main.script:7"};
    QTest::newRow("a local is not a global") << "hidden" << QStringList{} << QStringList{};
    QTest::newRow("Lua's own") << "print" << QStringList{} << QStringList{"main.script:6"};
}

void TestCodeFacts::definitionsAndUsesAcrossScripts()
{
    QFETCH(QString, name);
    QFETCH(QStringList, definitions);
    QFETCH(QStringList, uses);
    ProjectIndex index;
    index.setDirectory(QStringLiteral("/p"));
    index.setScript(QStringLiteral("lib/a.lua"), factsOf("function step()\n"
                                                         "  local hidden = 1\n"
                                                         "end\n"
                                                         "count = 0\n"
                                                         "Utils = {}\n"
                                                         "function Utils.find() end\n"));
    index.setScript(QStringLiteral("main.script"), factsOf("count = 1\n"
                                                           "\n"
                                                           "\n"
                                                           "step()\n"
                                                           "Utils.find(step)\n"
                                                           "print(count, step)\n"
                                                           "M.run()\n"));
    index.setScript(QStringLiteral("mod.lua"), factsOf("local M = {}\nfunction M.run() end\nreturn M\n"));
    QCOMPARE(places(index.definitions(name)), definitions);
    QCOMPARE(places(index.uses(name)), uses);

    // A script gone since the last check takes its places along; another project starts empty.
    index.keepOnly({QStringLiteral("main.script"), QStringLiteral("mod.lua")});
    QVERIFY(!places(index.uses(name)).join(' ').contains(QLatin1String("lib/a.lua")));
    index.setDirectory(QStringLiteral("/q"));
    QVERIFY(index.isEmpty());
}

void TestCodeFacts::truncatedChunkIsRefused()
{
    // The chunk as the stock dump writes it, debug information kept.
    QByteArray chunk;
    lua_State *state = luaL_newstate();
    QCOMPARE(luaL_loadstring(state, "local a = 1\nfunction f(b) return a + b end\n"), LUA_OK);
    lua_dump(state, [](lua_State *, const void *bytes, size_t size, void *to) {
        static_cast<QByteArray *>(to)->append(static_cast<const char *>(bytes), int(size));
        return 0;
    }, &chunk);
    lua_close(state);
    QVERIFY(ChunkFacts::read(chunk).ok());
    for (int cut : {1, 20, chunk.size() / 2, chunk.size() - 1})
        QVERIFY(!ChunkFacts::read(chunk.left(cut)).ok());
    Diagnostic failure;
    QVERIFY(!ChunkFacts::ofSource("function (", QStringLiteral("bad.lua"), &failure).ok());
    QCOMPARE(failure.line, 1);
}

QTEST_APPLESS_MAIN(TestCodeFacts)
#include "tst_codefacts.moc"
