// Project files, names and the new-project dialog: everything below the main window.
#include "common/FixedText.h"
#include "project/DirListing.h"
#include "project/FileOperations.h"
#include "project/ui/FilenNameInputDialog.h"
#include "project/NameRules.h"
#include "project/ui/NewProjectDialog.h"
#include "project/ProjectFile.h"
#include "project/TaggedText.h"
#include "project/Workspace.h"
#include "support/TestWorkspace.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QtTest>

#include <cstdio>

namespace {

QString outcome(const Result<FileOperations::Creation> &made)
{
    if (!made)
        return QStringLiteral("failed: ") + made.error();
    return *made == FileOperations::Creation::Created ? QStringLiteral("created") : QStringLiteral("exists");
}

} // namespace

class TestProjectFiles : public QObject
{
    Q_OBJECT

private slots:
    void projectFileAndTemplate();
    void createProject();
    void taggedText_data();
    void taggedText();
    void parseProjectFile();
    void fixedTextCutsAtCharacterBoundary_data();
    void fixedTextCutsAtCharacterBoundary();
    void projectValidation_data();
    void projectValidation();
    void fileNameValidation_data();
    void fileNameValidation();
    void listingOrder();
    void createFileAndDirectory();
    void deleteTreeKeepsHiddenEntriesFollowsNoLinks();
    void failureReadAsValueStops();
};

void TestProjectFiles::projectFileAndTemplate()
{
    const QByteArray expected = "<project>\r\n <name>demo</name>\r\n <desc>\xE6\xB5\x8B\xE8\xAF\x95</desc>\r\n"
                                " <script>main.script</script>\r\n</project>\r\n";
    QCOMPARE(ProjectFile::projectFileBytes(QStringLiteral("demo"), QStringLiteral("测试")), expected);
    // Lua with CR LF line ends (tst_compiler compiles it), defining the two entry points.
    const QByteArray text = ProjectFile::mainScriptTemplate();
    QVERIFY(text.count("\r\n") == text.count('\n') && text.count('\r') == text.count('\n'));
    QVERIFY(text.endsWith("\r\n\r\n"));
    QVERIFY(text.contains("\r\nfunction createUI()\r\n") && text.contains("\r\nfunction main()\r\n"));
}

void TestProjectFiles::createProject()
{
    TestWorkspace ws;
    QCOMPARE(Workspace::projectPath(QString()), QStringLiteral("工程目录"));
    QCOMPARE(Workspace::projectPath(QStringLiteral("demo")), QStringLiteral("工程目录/demo"));
    const QString dir = Workspace::projectAbsolutePath(QStringLiteral("demo"));
    QCOMPARE(dir, QDir(ws.path()).absoluteFilePath(QStringLiteral("工程目录/demo")));
    QVERIFY(!QFileInfo::exists(ws.absolute(QStringLiteral("工程目录"))));
    QVERIFY(Workspace::ensureExists());
    QVERIFY(QFileInfo(ws.absolute(QStringLiteral("工程目录"))).isDir());

    QCOMPARE(outcome(ProjectFile::create(dir, QStringLiteral("demo"), QStringLiteral("测试"))), QStringLiteral("created"));
    QVERIFY(QFileInfo(dir + QStringLiteral("/assets")).isDir());
    QCOMPARE(ws.readFile(QStringLiteral("工程目录/demo/main.script")), ProjectFile::mainScriptTemplate());
    QCOMPARE(ws.readFile(QStringLiteral("工程目录/demo/ks.project")),
             ProjectFile::projectFileBytes(QStringLiteral("demo"), QStringLiteral("测试")));
    const ProjectInfo info = ProjectFile::read(dir).valueOr(ProjectInfo());
    QCOMPARE(QStringList({info.name, info.description}), (QStringList{"demo", "测试"}));

    // An author's main script is kept.
    ws.writeFile(QStringLiteral("工程目录/old/main.script"), "print('mine')\r\n");
    const QString old = Workspace::projectAbsolutePath(QStringLiteral("old"));
    QCOMPARE(outcome(ProjectFile::create(old, QStringLiteral("old"), QString())), QStringLiteral("created"));
    QCOMPARE(ws.readFile(QStringLiteral("工程目录/old/main.script")), QByteArray("print('mine')\r\n"));
    QVERIFY(Workspace::isProjectDirectory(old));

    // An existing project changes in nothing.
    ws.writeFile(QStringLiteral("工程目录/hand/ks.project"), "hand written");
    const QString hand = Workspace::projectAbsolutePath(QStringLiteral("hand"));
    QCOMPARE(outcome(ProjectFile::create(hand, QStringLiteral("hand"), QStringLiteral("x"))), QStringLiteral("exists"));
    QCOMPARE(ws.readFile(QStringLiteral("工程目录/hand/ks.project")), QByteArray("hand written"));
    QVERIFY(!QFileInfo::exists(hand + QStringLiteral("/main.script")));
}

void TestProjectFiles::taggedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "<a>x</a>" << "x";
    QTest::newRow("first pair") << "<a>one</a><a>two</a>" << "one";
    QTest::newRow("line breaks kept") << " <a>l1\nl2</a>\r\n" << "l1\nl2";
    QTest::newRow("value holds closing tag") << "<a>x</a>y</a>" << "x";
    QTest::newRow("missing close") << "<a>x" << "";
    QTest::newRow("missing open") << "x</a>" << "";
    QTest::newRow("closing before opening") << "</a>x<a>" << "";
    QTest::newRow("empty value") << "<a></a>" << "";
}

void TestProjectFiles::taggedText()
{
    QFETCH(QString, text);
    QFETCH(QString, value);
    QCOMPARE(TaggedText::value(text, QStringLiteral("a")), value);
}

void TestProjectFiles::parseProjectFile()
{
    const auto parsed = [](const QByteArray &bytes) {
        const ProjectInfo info = ProjectFile::parse(bytes);
        return QStringList{info.name, info.description};
    };
    QCOMPARE(parsed("<project><name>n</name><desc>d</desc></project>"), (QStringList{"n", "d"}));
    // Text after a zero byte is not part of the file's text.
    QCOMPARE(parsed(QByteArray("<name>a</name>\0<desc>b</desc>", 29)), (QStringList{"a", ""}));
    QCOMPARE(parsed("<desc>one</desc>two</desc>"), (QStringList{"", "one"}));
    QCOMPARE(ProjectFile::read(QStringLiteral("/nonexistent/dir")).valueOr({QStringLiteral("x"), {}}).name, QString());
}

void TestProjectFiles::fixedTextCutsAtCharacterBoundary_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("fits") << QByteArray("abc") << 4 << QByteArray("abc");
    QTest::newRow("ascii cut") << QByteArray("abcdef") << 4 << QByteArray("abc");
    // 测 is three bytes: a field of width 5 holds "a" + 测 (4 bytes) and the zero.
    QTest::newRow("whole character") << QString::fromUtf8("a测试").toUtf8() << 5 << QString::fromUtf8("a测").toUtf8();
    QTest::newRow("half character dropped") << QString::fromUtf8("a测试").toUtf8() << 6 << QString::fromUtf8("a测").toUtf8();
    QTest::newRow("nothing fits") << QString::fromUtf8("测").toUtf8() << 3 << QByteArray();
    QTest::newRow("four-byte character") << QString::fromUtf8("x😀").toUtf8() << 5 << QByteArray("x");
}

void TestProjectFiles::fixedTextCutsAtCharacterBoundary()
{
    QFETCH(QByteArray, text);
    QFETCH(int, width);
    QFETCH(QByteArray, stored);
    QByteArray field(width + 4, '\xAA'); // guard bytes behind the field must survive
    QCOMPARE(FixedText::write(field.data(), width, text), stored.size());
    QCOMPARE(FixedText::read(field.constData(), width), stored);
    for (int i = stored.size(); i < width; ++i)
        QCOMPARE(field[i], '\0');
    QCOMPARE(field.mid(width), QByteArray(4, '\xAA'));
    QCOMPARE(FixedText::fits(text, width), text == stored);
}

void TestProjectFiles::projectValidation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");
    QTest::newRow("ok") << "demo" << "测试" << "";
    const QString device = QStringLiteral("名称不能是Windows保留的设备名（CON、PRN、AUX、NUL、COM1至COM9、LPT1至LPT9），带扩展名也不行。");
    const QString ending = QStringLiteral("名称不能以“.”或空格结尾。");
    QTest::newRow("spaces only") << "   " << "" << ending;
    QTest::newRow("final dot") << "a." << "" << ending;
    QTest::newRow("final space") << "a " << "" << ending;
    QTest::newRow("CON") << "CON" << "" << device;
    QTest::newRow("nul with an extension") << "nul.txt" << "" << device;
    QTest::newRow("Com9 with extensions") << "Com9.tar.gz" << "" << device;
    QTest::newRow("LPT1 with a space") << "LPT1 .lua" << "" << device;
    QTest::newRow("COM10 is a name") << "COM10" << "" << "";
    QTest::newRow("CONSOLE is a name") << "CONSOLE.lua" << "" << "";
    QTest::newRow("40 Chinese characters") << QString(40, QChar(0x6D4B)) << "" << "";
    QTest::newRow("empty") << "" << "" << "工程名称不能为空！";
    QTest::newRow("41 characters") << QString(41, QLatin1Char('a')) << "" << "工程名称不能超过40个字符！";
    QTest::newRow("description 100") << "a" << QString(100, QChar(0x6D4B)) << "";
    QTest::newRow("description 101") << "a" << QString(101, QLatin1Char('d')) << "工程描述不能超过100个字符！";
    QTest::newRow("slash") << "a/b" << "" << "名称中不能包含“/”或“\\”。";
    QTest::newRow("backslash") << "a\\b" << "" << "名称中不能包含“/”或“\\”。";
    QTest::newRow("parent") << ".." << "" << "名称不能是“.”或“..”。";
    QTest::newRow("dot") << "." << "" << "名称不能是“.”或“..”。";
    QTest::newRow("control character") << "a\tb" << "" << "名称中不能包含控制字符或 < > : \" | ? * 这些字符。";
    QTest::newRow("colon") << "a:b" << "" << "名称中不能包含控制字符或 < > : \" | ? * 这些字符。";
}

void TestProjectFiles::projectValidation()
{
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, message);
    QCOMPARE(NewProjectDialog::validate(name, description).error(), message);
}

void TestProjectFiles::fileNameValidation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("preset untouched") << ".script" << "名称不能为空。";
    QTest::newRow("preset with spaces") << "  .script " << "名称不能为空。";
    QTest::newRow("blank") << "   " << "名称不能为空。";
    QTest::newRow("typed before preset") << "demo.script" << "";
    QTest::newRow("directory") << "images" << "";
    QTest::newRow("escape") << "../x.script" << "名称中不能包含“/”或“\\”。";
    QTest::newRow("parent only") << ".." << "名称不能是“.”或“..”。";
    QTest::newRow("device name before the preset") << "CON.script"
                                                  << "名称不能是Windows保留的设备名（CON、PRN、AUX、NUL、COM1至COM9、LPT1至LPT9），带扩展名也不行。";
}

void TestProjectFiles::fileNameValidation()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QCOMPARE(FilenNameInputDialog::validate(text).error(), message);
}

void TestProjectFiles::listingOrder()
{
    TestWorkspace ws;
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    ws.writeFile(QStringLiteral("d/old.txt"), "1", base);
    ws.writeFile(QStringLiteral("d/b.txt"), "2", base.addSecs(60));
    ws.writeFile(QStringLiteral("d/a.txt"), "3", base.addSecs(60));
    ws.writeFile(QStringLiteral("d/.hidden"), "4", base.addSecs(30));
    ws.writeFile(QStringLiteral("d/sub/x"), "5");
    ws.setModified(QStringLiteral("d/sub"), base.addSecs(120));
    QVERIFY(QFile::link(ws.absolute(QStringLiteral("d/a.txt")), ws.absolute(QStringLiteral("d/link"))));

    QStringList names;
    const QVector<DirListing::Entry> entries = DirListing::entries(ws.absolute(QStringLiteral("d")));
    for (const DirListing::Entry &entry : entries)
        names << entry.name;
    QCOMPARE(names, (QStringList{"sub", "a.txt", "b.txt", ".hidden", "old.txt"}));
    QCOMPARE(entries[0].isDir, true);
    QCOMPARE(entries[0].path(), ws.absolute(QStringLiteral("d/sub")));
    QCOMPARE(entries[1].size, qint64(1));
    QCOMPARE(entries[4].modified, base.toMSecsSinceEpoch());
}

void TestProjectFiles::createFileAndDirectory()
{
    TestWorkspace ws;
    const QString file = ws.absolute(QStringLiteral("f.script"));
    QCOMPARE(outcome(FileOperations::createEmptyFile(file)), QStringLiteral("created"));
    QCOMPARE(QFileInfo(file).size(), qint64(0));
    ws.writeFile(QStringLiteral("f.script"), "keep");
    QCOMPARE(outcome(FileOperations::createEmptyFile(file)), QStringLiteral("exists"));
    QCOMPARE(ws.readFile(QStringLiteral("f.script")), QByteArray("keep"));

    const QString dir = ws.absolute(QStringLiteral("a/b/c"));
    QCOMPARE(outcome(FileOperations::createDirectory(dir)), QStringLiteral("created"));
    QVERIFY(QFileInfo(dir).isDir());
    QCOMPARE(outcome(FileOperations::createDirectory(dir)), QStringLiteral("exists"));
    QVERIFY(!FileOperations::createEmptyFile(ws.absolute(QStringLiteral("missing/x"))));
}

void TestProjectFiles::deleteTreeKeepsHiddenEntriesFollowsNoLinks()
{
    TestWorkspace ws;
    ws.writeFile(QStringLiteral("d/a.txt"), "a");
    ws.writeFile(QStringLiteral("d/sub/b.txt"), "b");
    ws.writeFile(QStringLiteral("d/.keep"), "hidden");
    ws.writeFile(QStringLiteral("outside/precious.txt"), "data");
    QVERIFY(QFile::link(ws.absolute(QStringLiteral("outside")), ws.absolute(QStringLiteral("d/sub/link"))));
    FileOperations::deleteTree(ws.absolute(QStringLiteral("d")));
    QVERIFY(QFileInfo::exists(ws.absolute(QStringLiteral("d/.keep"))));
    QVERIFY(!QFileInfo::exists(ws.absolute(QStringLiteral("d/a.txt"))));
    QVERIFY(!QFileInfo::exists(ws.absolute(QStringLiteral("d/sub"))));
    QCOMPARE(ws.readFile(QStringLiteral("outside/precious.txt")), QByteArray("data"));

    ws.writeFile(QStringLiteral("e/x"), "x");
    FileOperations::deleteTree(ws.absolute(QStringLiteral("e")));
    QVERIFY(!QFileInfo::exists(ws.absolute(QStringLiteral("e"))));
}

// Reading the value of a failure is a caller's fault: the program stops with the failure's
// message (run in a child, started as this test again) instead of going on with garbage.
void TestProjectFiles::failureReadAsValueStops()
{
    if (qEnvironmentVariableIsSet("KESTRUN_READ_FAILURE")) {
        const Result<QString> failed = fail(QStringLiteral("读不到"));
        std::printf("went on with [%s]\n", qPrintable(*failed));
        return;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KESTRUN_READ_FAILURE"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("failureReadAsValueStops")});
    QVERIFY(child.waitForFinished(30000));
    const QByteArray said = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::CrashExit, said.constData());
    QVERIFY2(said.contains("Result::value() of a failure: 读不到"), said.constData());
}

QTEST_MAIN(TestProjectFiles)
#include "tst_projectfiles.moc"
