// The script check (F5), the project build (F6) and the headless kestrun-build, on real project
// directories.
#include "app/ui/BuildCommands.h"
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "simulator/PackageReader.h"
#include "toolchain/ProjectBuilder.h"
#include "toolchain/ScriptCompiler.h"
#include "support/BuildRun.h"
#include "support/DeviceKey.h"
#include "support/ModalAnswerer.h"
#include "support/TestWorkspace.h"
#include "support/ToolRun.h"
#include "ui_ProjectManagerWindow.h"

#include <Qsci/qsciscintilla.h>
#include <QStatusBar>
#include <QtTest>

namespace {

QStringList outputLines(ProjectManagerWindow &window)
{
    window.form()->outText->flush();
    return window.form()->outText->toPlainText().split(QLatin1Char('\n'));
}

// A builder whose lines are collected, errors marked as the IDE marks them.
struct Collector
{
    QStringList lines;
    ProjectBuilder builder{{[this](const QString &l) { lines << l; }, [this](const Diagnostic &d) { lines << d.text(); }}};
};

} // namespace

class TestBuildCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void checkCompilesEveryScript();
    void firstSyntaxErrorEndsTheRun();
    void fullBuildReadsBack();
    void nameMismatchBetweenProjectFileAndTree();
    void projectFileWithoutName();
    void packerFailureKeepsOldPackage();
    void noActiveProject();
    void scriptsOfTheProjectAreSavedFirst();
    void oneCommandAtATimeOffTheInterfaceThread();
    void headlessBuild();

private:
    TestWorkspace *ws = nullptr;
    QDateTime base;
    QString project;
};

void TestBuildCommands::init()
{
    ws = new TestWorkspace;
    base = QDateTime::currentDateTime().addDays(-1);
    project = ws->makeProject(QStringLiteral("p"), base);
    ws->setModified(QStringLiteral("工程目录/p/main.script"), base);
}

void TestBuildCommands::cleanup()
{
    delete ws;
}

void TestBuildCommands::checkCompilesEveryScript()
{
    ws->writeFile(QStringLiteral("工程目录/p/empty.lua"), "", base.addSecs(10));
    ws->writeFile(QStringLiteral("工程目录/p/data.txt"), "print(1)");
    ProjectManagerWindow window;
    QVERIFY(runBuild(window));
    QCOMPARE(outputLines(window), (QStringList{"当前活动工程：p", "开始检查脚本语法并编译脚本...", "正在编译[empty.lua]",
                                               "正在编译[main.script]", "所有脚本文件编译完成..."}));
    QVERIFY(QFileInfo::exists(project + QStringLiteral("/main.script.m")));
    QVERIFY(QFileInfo::exists(project + QStringLiteral("/empty.lua.m")));

    // Without scripts there is nothing to compile, and that is no failure.
    QVERIFY(QFile::remove(project + QStringLiteral("/main.script")) && QFile::remove(project + QStringLiteral("/empty.lua")));
    QVERIFY(runBuild(window));
    QCOMPARE(outputLines(window), (QStringList{"当前活动工程：p", "开始检查脚本语法并编译脚本...", "所有脚本文件编译完成..."}));
}

void TestBuildCommands::firstSyntaxErrorEndsTheRun()
{
    // Newest first: good.lua, then bad.lua, then main.script (never reached).
    ws->writeFile(QStringLiteral("工程目录/p/good.lua"), "return 1", base.addSecs(30));
    ws->writeFile(QStringLiteral("工程目录/p/bad.lua"), "x = = 1\n", base.addSecs(20));
    ProjectManagerWindow window;
    QVERIFY(!runBuild(window));
    const QStringList lines = outputLines(window);
    QCOMPARE(lines.mid(0, 4), (QStringList{"当前活动工程：p", "开始检查脚本语法并编译脚本...", "正在编译[good.lua]",
                                           "正在编译[bad.lua]"}));
    QCOMPARE(lines.mid(4).join(QLatin1Char('\n')),
             QStringLiteral("错误：脚本编译出错...\n错误代码：3\n错误信息：\n脚本bad.lua第1行有语法错误, unexpected symbol near '='\n"
                            "错误类型：语法错误，出现了不该出现的符号"));
    QVERIFY(QFileInfo::exists(project + QStringLiteral("/good.lua.m")));
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/bad.lua.m")));
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/main.script.m")));

    // The build stops with the check: nothing further, no package.
    QVERIFY(!runBuild(window, true));
    QVERIFY(outputLines(window).join(QLatin1Char('\n')).endsWith(QStringLiteral("脚本bad.lua第1行有语法错误, unexpected symbol near '='\n"
                                                                               "错误类型：语法错误，出现了不该出现的符号")));
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/p.ks")));
}

void TestBuildCommands::fullBuildReadsBack()
{
    if (!DeviceKey::builtInKeyMatches())
        QSKIP("built with another public key");
    ws->writeFile(QStringLiteral("工程目录/p/lib/util.lua"), "local M = {}\nreturn M\n", base.addSecs(10));
    ws->writeFile(QStringLiteral("工程目录/p/data.bin"), QByteArray("\x00\x01\x02", 3), base.addSecs(20));
    ProjectManagerWindow window;
    QVERIFY(runBuild(window, true));
    const QStringList lines = outputLines(window);
    QCOMPARE(lines.value(lines.size() - 3), QStringLiteral("二进制脚本构建成功..."));
    QCOMPARE(lines.value(lines.size() - 2), QStringLiteral("路径：") + QDir::toNativeSeparators(project + QStringLiteral("/p.ks")));
    QVERIFY(lines.contains(QStringLiteral("正在打包资源并构建二进制脚本...")));
    QVERIFY(lines.contains(QStringLiteral("正在打包[") + project + QStringLiteral("/data.bin]")));

    QFile file(project + QStringLiteral("/p.ks"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const Result<PackageContents> read = PackageReader::read(file.readAll(), DeviceKey::privatePem());
    QVERIFY2(read, qPrintable(read.error()));
    const PackageContents &contents = *read;
    QCOMPARE(QStringList({contents.name, contents.version, QString::number(contents.type)}), (QStringList{"p", "暂无", "2"}));
    // What each entry holds is the packer's own test; here, what the build gives it.
    QStringList paths;
    for (const PackageEntryData &entry : contents.entries)
        paths << entry.relativePath;
    paths.sort();
    QCOMPARE(paths, (QStringList{"data.bin", "ks.project", "lib/util.lua", "lib/util.lua.m", "main.script", "main.script.m"}));
    QCOMPARE(contents.mainScript, ws->readFile(QStringLiteral("工程目录/p/main.script.m")));

    // The size line: "总大小：<n>字节,<n/1024 with two decimals>KB...".
    const QRegularExpression size(QStringLiteral("^总大小：(\\d+)字节,(\\d+\\.\\d\\d)KB\\.\\.\\.$"));
    const QRegularExpressionMatch match = size.match(lines.last());
    QVERIFY2(match.hasMatch(), qPrintable(lines.last()));
    QCOMPARE(match.captured(2), QString::number(match.captured(1).toInt() / 1024.0, 'f', 2));
    QCOMPARE(QDir(project).entryList({QStringLiteral("*.o")}, QDir::Files | QDir::Hidden), QStringList());
}

void TestBuildCommands::nameMismatchBetweenProjectFileAndTree()
{
    ws->writeFile(QStringLiteral("工程目录/p/ks.project"), "<project><name>other</name><desc>d</desc></project>");
    ProjectManagerWindow window;
    QVERIFY(runBuild(window, true));
    const QStringList lines = outputLines(window);
    QCOMPARE(lines.first(), QStringLiteral("当前活动工程：p"));
    // The package carries the project file's name, and the path line names the file written.
    QVERIFY(QFileInfo::exists(project + QStringLiteral("/other.ks")));
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/p.ks")));
    QCOMPARE(lines.value(lines.size() - 2), QStringLiteral("路径：") + QDir::toNativeSeparators(project + QStringLiteral("/other.ks")));
}

void TestBuildCommands::projectFileWithoutName()
{
    ws->writeFile(QStringLiteral("工程目录/p/ks.project"), "<project><desc>no name</desc></project>");
    Collector c;
    QVERIFY(!c.builder.build(QStringLiteral("p"), project));
    QVERIFY(c.lines.last().startsWith(QStringLiteral("错误：工程文件[")));
    QVERIFY(c.lines.last().contains(QStringLiteral("没有工程名称")));
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/.ks")));
}

void TestBuildCommands::packerFailureKeepsOldPackage()
{
    ws->writeFile(QStringLiteral("工程目录/p/p.ks"), "the last good package");
    ws->writeFile(QStringLiteral("工程目录/p/broken.bmp"), "not a bitmap", base.addSecs(10));
    Collector c;
    QVERIFY(!c.builder.build(QStringLiteral("p"), project));
    QVERIFY(c.lines.last().startsWith(QStringLiteral("错误：二进制脚本构建失败：")));
    QVERIFY(c.lines.last().contains(QStringLiteral("broken.bmp")));
    for (const QString &line : qAsConst(c.lines))
        QVERIFY(!line.startsWith(QStringLiteral("二进制脚本构建成功")));
    QCOMPARE(ws->readFile(QStringLiteral("工程目录/p/p.ks")), QByteArray("the last good package"));
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/p.o")));
}

void TestBuildCommands::noActiveProject()
{
    QVERIFY(QDir(project).removeRecursively());
    ProjectManagerWindow window;
    QCOMPARE(window.project().name(), QString());
    QVERIFY(!runBuild(window));
    QCOMPARE(outputLines(window), QStringList{QStringLiteral("错误：") + ProjectBuilder::noActiveProjectMessage()});
    window.setActiveProject(QStringLiteral("ghost")); // a name without a tree item
    QVERIFY(!runBuild(window, true));
    QCOMPARE(outputLines(window), QStringList{QStringLiteral("错误：") + ProjectBuilder::noActiveProjectMessage()});
}

void TestBuildCommands::scriptsOfTheProjectAreSavedFirst()
{
    ws->writeFile(QStringLiteral("工程目录/p/lib/util.lua"), "u = 1\r\n");
    ws->writeFile(QStringLiteral("elsewhere.lua"), "e = 1\r\n");
    ProjectManagerWindow window;
    for (const QString &path : {ws->absolute(QStringLiteral("elsewhere.lua")), project + QStringLiteral("/lib/util.lua"),
                                project + QStringLiteral("/main.script")}) {
        window.openScript(path);
        window.scripts().current()->append(QStringLiteral("-- edited"));
    }
    window.scripts().current()->append(QStringLiteral("\r\nx = = 1")); // saved although it does not compile
    QVERIFY(!runBuild(window));
    QVERIFY(ws->readFile(QStringLiteral("工程目录/p/main.script")).endsWith("-- edited\r\nx = = 1"));
    QCOMPARE(ws->readFile(QStringLiteral("工程目录/p/lib/util.lua")), QByteArray("u = 1\r\n-- edited"));
    QCOMPARE(ws->readFile(QStringLiteral("elsewhere.lua")), QByteArray("e = 1\r\n")); // not of the project
    QVERIFY(!window.scripts().current()->isModified());
    QVERIFY(window.scripts().editors().first()->isModified());
    const QStringList report = outputLines(window);
    QVERIFY(report.at(report.size() - 2).startsWith(QStringLiteral("脚本main.script第")));

    // A save that fails cancels the build. A directory in the script's place makes the save
    // fail, whoever runs the test.
    window.scripts().current()->setText(QStringLiteral("return 1\r\n"));
    QVERIFY(QFile::remove(project + QStringLiteral("/main.script")));
    QVERIFY(QDir(project).mkdir(QStringLiteral("main.script")));
    QString message;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &message);
    QVERIFY(!runBuild(window));
    QVERIFY(message.contains(QStringLiteral("保存失败")));
    QVERIFY(window.scripts().current()->isModified());
    QCOMPARE(outputLines(window),
             QStringList{QStringLiteral("错误：脚本[%1]未能保存，编译已取消。").arg(project + QStringLiteral("/main.script"))});
}

void TestBuildCommands::oneCommandAtATimeOffTheInterfaceThread()
{
    for (int i = 0; i < 200; ++i)
        ws->writeFile(QStringLiteral("工程目录/p/s%1.lua").arg(i), QByteArray("t = {1, 2, 3}\n").repeated(500));
    ProjectManagerWindow window;
    QSignalSpy finished(&window.builds(), &BuildCommands::signal_finished);
    QSignalSpy lines(&window.builds(), &BuildCommands::signal_output);
    window.form()->syntax_check_action->trigger();
    // A second command is refused, saying so, without touching the output; the window goes on
    // while the check runs, and its lines come as they happen.
    QVERIFY(window.builds().isRunning());
    window.form()->compile_project_action->trigger();
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("正在编译，请等这次编译结束后再试。"));
    int linesWhileRunning = 0;
    QTimer ticks;
    connect(&ticks, &QTimer::timeout, [&] {
        if (window.builds().isRunning())
            linesWhileRunning = lines.size();
    });
    ticks.start(0);
    QVERIFY(finished.wait(60000));
    QVERIFY(finished.first().first().toBool());
    QVERIFY2(linesWhileRunning > 10, qPrintable(QString::number(linesWhileRunning)));
    QCOMPARE(outputLines(window).first(), QStringLiteral("当前活动工程：p"));
    QCOMPARE(outputLines(window).last(), QStringLiteral("所有脚本文件编译完成..."));
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/p.ks")));
}

void TestBuildCommands::headlessBuild()
{
    ws->writeFile(QStringLiteral("工程目录/p/lib/util.lua"), "return 1", base.addSecs(10));
    ws->setModified(QStringLiteral("工程目录/p/lib"), base.addSecs(10));
    ToolRun run = ToolRun::build({project, QStringLiteral("--check")});
    QCOMPARE(run.exitCode, 0);
    // Paths as the system writes them; lines end in CR LF on Windows.
    QCOMPARE(QString::fromUtf8(run.out).replace(QLatin1String("\r\n"), QLatin1String("\n")),
             QStringLiteral("当前活动工程：p\n开始检查脚本语法并编译脚本...\n正在编译[%1]\n"
                            "正在编译[main.script]\n所有脚本文件编译完成...\n")
                 .arg(QDir::toNativeSeparators(QStringLiteral("lib/util.lua"))));
    QCOMPARE(run.err, QByteArray());
    QVERIFY(!QFileInfo::exists(project + QStringLiteral("/p.ks")));

    run = ToolRun::build({project});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(QString::fromUtf8(run.out).contains(QStringLiteral("二进制脚本构建成功...\n路径：") + project + QStringLiteral("/p.ks\n")));
    QVERIFY(QFileInfo::exists(project + QStringLiteral("/p.ks")));

    ws->writeFile(QStringLiteral("工程目录/p/lib/util.lua"), "return return", base.addSecs(10));
    run = ToolRun::build({project});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(QString::fromUtf8(run.err).startsWith(QStringLiteral("错误：脚本编译出错...\n错误代码：3\n")));
    QVERIFY(!QString::fromUtf8(run.out).contains(QStringLiteral("二进制脚本构建成功")));

    run = ToolRun::build({ws->path()});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(QString::fromUtf8(run.err).contains(QStringLiteral("不是工程目录")));
    QCOMPARE(ToolRun::build({}).exitCode, 2);
}

QTEST_MAIN(TestBuildCommands)
#include "tst_buildcommands.moc"
