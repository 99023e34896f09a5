// The editor's help from the compiled code, driven through the window as the author would: the
// problems pane across a project search and the device's log, F12 and Shift+F12 across the
// project's scripts (also to unsaved text), the outline following the caret, hovering, and the
// status bar's facts of the script.
#include "app/ui/CodeAssist.h"
#include "app/ui/ProjectManagerWindow.h"
#include "common/ui/LogView.h"
#include "editor/ui/CodeInsight.h"
#include "editor/ui/EditorStatus.h"
#include "editor/ui/OutlineBar.h"
#include "editor/ui/ProblemsPane.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "editor/ui/SearchCommands.h"
#include "support/BuildRun.h"
#include "support/ModalAnswerer.h"
#include "support/TestWorkspace.h"
#include "ui_ProjectManagerWindow.h"

#include <QStatusBar>
#include <QTableView>
#include <QtTest>

namespace {

const QByteArray kUtil = "Utils = {}\r\n"                       // 1
                         "\r\n"                                 // 2
                         "function Utils.tapTwice(x, y)\r\n"    // 3
                         "\ttouchClick(x, y)\r\n"               // 4
                         "end\r\n"                              // 5
                         "\r\n"                                 // 6
                         "function setup()\r\n"                 // 7
                         "\ttouchMove(1)\r\n"                   // 8
                         "end\r\n";                             // 9
const QByteArray kMain = "local count = 0\r\n"                  // 1
                         "\r\n"                                 // 2
                         "function main()\r\n"                  // 3
                         "\tUtils.tapTwice(1, 2)\r\n"           // 4
                         "\tcount = count + 1\r\n"              // 5
                         "\ttouchClik(1, 2)\r\n"                // 6
                         "\tsetup()\r\n"                        // 7
                         "end\r\n";                             // 8

} // namespace

class TestCodeInsight : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void problemsStayUntilTheNextCheck();
    void definitionsAndUses_data();
    void definitionsAndUses();
    void definitionFollowsUnsavedText();
    void definitionFollowsAMove();
    void outlineFollowsTheCaret();
    void hoverExplains();
    void statusOfTheScript_data();
    void statusOfTheScript();

private:
    // Opens a script of the project, analysed, with the caret on the first occurrence of text
    // (past its first `offset` characters).
    ScriptEditor *openAt(const QString &path, const QString &text = QString(), int offset = 0);
    void settle() { QTRY_VERIFY_WITH_TIMEOUT(!window->assist().insight().isBusy(), 20000); }
    QString caretPlace() const;

    TestWorkspace *workspace = nullptr;
    ProjectManagerWindow *window = nullptr;
    QString project;
};

void TestCodeInsight::init()
{
    workspace = new TestWorkspace;
    project = workspace->makeProject(QStringLiteral("p"));
    workspace->writeFile(QStringLiteral("工程目录/p/lib/util.lua"), kUtil);
    workspace->writeFile(QStringLiteral("工程目录/p/main.script"), kMain);
    window = new ProjectManagerWindow;
    window->setActiveProject(QStringLiteral("p"));
    // Editors tell of changes and caret moves as they paint.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    settle();
}

void TestCodeInsight::cleanup()
{
    delete window;
    delete workspace;
}

ScriptEditor *TestCodeInsight::openAt(const QString &path, const QString &text, int offset)
{
    ScriptEditor *editor = window->scripts().open(project + QLatin1Char('/') + path);
    settle();
    if (!text.isEmpty()) {
        const int at = editor->text().indexOf(text) + offset;
        int line = 0;
        int index = 0;
        editor->lineIndexFromPosition(editor->text().left(at).toUtf8().size(), &line, &index);
        editor->setCursorPosition(line, index);
    }
    return editor;
}

// "<file>:<line> <selected text>" of the current script.
QString TestCodeInsight::caretPlace() const
{
    ScriptEditor *editor = window->scripts().current();
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    return QStringLiteral("%1:%2 %3").arg(QFileInfo(editor->path()).fileName()).arg(line + 1).arg(editor->selectedText());
}

void TestCodeInsight::problemsStayUntilTheNextCheck()
{
    QVERIFY(runBuild(*window));
    ProblemList &problems = window->form()->problemsPane->problems();
    QTabWidget *tabs = window->form()->outTabWidget;
    QTRY_COMPARE(tabs->tabText(tabs->indexOf(window->form()->problemsPane)), QStringLiteral("问题 (2)"));
    // Kind, script, line and the message without what the other columns say.
    QCOMPARE(problems.index(1, ProblemList::MessageColumn).data().toString(),
             QStringLiteral("使用了未定义的全局名“touchClik”，是否为“touchClick”？"));
    QCOMPARE(problems.at(0).path, QStringLiteral("lib/util.lua"));

    // A project search and the device's log use the output; the problems stay.
    QSignalSpy searched(&window->searches(), &SearchCommands::signal_output);
    window->searches().slot_projectSearch(QStringLiteral("touch"), false, false);
    QTRY_VERIFY(!searched.isEmpty() && searched.last().at(0).toString().startsWith(QStringLiteral("共找到")));
    window->debugOut(QStringLiteral("main.script:3: attempt to call a nil value"));
    QCoreApplication::processEvents();
    QCOMPARE(problems.count(), 2);

    // A problem leads to its place.
    QTableView *table = window->form()->problemsPane->findChild<QTableView *>();
    emit table->activated(table->model()->index(1, 0));
    QCOMPARE(caretPlace(), QStringLiteral("main.script:6 "));

    // The next check starts afresh.
    ScriptEditor *main = window->scripts().current();
    main->setText(QString::fromUtf8(kMain).replace(QStringLiteral("touchClik"), QStringLiteral("touchClick")));
    QVERIFY(runBuild(*window));
    QTRY_COMPARE(tabs->tabText(tabs->indexOf(window->form()->problemsPane)), QStringLiteral("问题 (1)"));
}

void TestCodeInsight::definitionsAndUses_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("at");     // the caret goes to its first occurrence, past offset
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("definition"); // where F12 leads: "<file>:<line> <selection>"
    QTest::addColumn<QStringList>("uses");  // the lines Shift+F12 lists; none: it tells why not
    QTest::newRow("field of a global table") << "main.script" << "tapTwice" << 3 << "util.lua:3 tapTwice"
                                             << QStringList{"lib/util.lua:3: function Utils.tapTwice(x, y)",
                                                            "main.script:4: Utils.tapTwice(1, 2)"};
    QTest::newRow("global function") << "main.script" << "setup()" << 0 << "util.lua:7 setup"
                                     << QStringList{"lib/util.lua:7: function setup()", "main.script:7: setup()"};
    QTest::newRow("local in scope") << "main.script" << "count + 1" << 2 << "main.script:1 count" << QStringList{};
    QTest::newRow("the runtime's") << "lib/util.lua" << "touchClick" << 0 << "util.lua:4 " << QStringList{
        "lib/util.lua:4: touchClick(x, y)"};
}

void TestCodeInsight::definitionsAndUses()
{
    QFETCH(QString, script);
    QFETCH(QString, at);
    QFETCH(int, offset);
    QFETCH(QString, definition);
    QFETCH(QStringList, uses);
    openAt(script, at, offset);
    QSignalSpy status(&window->assist(), &CodeAssist::signal_status);
    window->form()->action_goto_definition->trigger();
    QCOMPARE(caretPlace(), definition);

    openAt(script, at, offset);
    window->form()->outText->clearMessages();
    window->form()->action_find_uses->trigger();
    window->form()->outText->flush();
    const QStringList lines = window->form()->outText->toPlainText().split(QLatin1Char('\n'));
    if (uses.isEmpty()) {
        QCOMPARE(lines, QStringList{QString()});
        QVERIFY(!status.isEmpty());
        return;
    }
    QCOMPARE(lines.mid(1, uses.size()), uses);
    QCOMPARE(lines.size(), uses.size() + 2);
    // Each line leads to its place.
    QVERIFY(window->form()->outText->diagnostic(1)->hasPlace());
}

void TestCodeInsight::definitionFollowsUnsavedText()
{
    // Lines added in front of setup(), not saved: F12 from the other script still finds it.
    ScriptEditor *util = openAt(QStringLiteral("lib/util.lua"));
    QSignalSpy analysed(&window->assist().insight(), &CodeInsight::signal_analysed);
    util->insertAt(QStringLiteral("-- a\r\n-- b\r\n"), 0, 0);
    QVERIFY(util->isModified());
    // Analysed once the change is shown.
    QTRY_VERIFY(!analysed.isEmpty());
    settle();
    openAt(QStringLiteral("main.script"), QStringLiteral("setup()"));
    window->form()->action_goto_definition->trigger();
    QCOMPARE(caretPlace(), QStringLiteral("util.lua:9 setup"));
}

void TestCodeInsight::definitionFollowsAMove()
{
    // The defining script, closed, moves to another folder in the tree while the project is
    // still being read in the background.
    delete window;
    window = new ProjectManagerWindow;
    window->setActiveProject(QStringLiteral("p"));
    QVERIFY(QDir().mkpath(project + QStringLiteral("/other")));
    QVERIFY(window->form()->projectTreeWidget->moveInto(project + QStringLiteral("/lib/util.lua"), project + QStringLiteral("/other")));
    window->show();
    settle();
    openAt(QStringLiteral("main.script"), QStringLiteral("setup()"));
    // Led to the old place, it would say so in a message box.
    static QString notice;
    notice.clear();
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &notice, 1000);
    window->form()->action_goto_definition->trigger();
    QCOMPARE(notice, QString());
    QCOMPARE(window->scripts().current()->path(), project + QStringLiteral("/other/util.lua"));
    QCOMPARE(caretPlace(), QStringLiteral("util.lua:7 setup"));
}

void TestCodeInsight::outlineFollowsTheCaret()
{
    ScriptEditor *main = openAt(QStringLiteral("main.script"), QStringLiteral("count + 1"));
    OutlineBar &outline = window->assist().insight().outline();
    QCOMPARE(outline.count(), 1);
    QTRY_COMPARE(outline.currentText(), QStringLiteral("main"));
    main->setCursorPosition(0, 0);
    QTRY_COMPARE(outline.currentText(), QStringLiteral("（不在函数中）"));
    // A function typed in: after a pause it is listed.
    QSignalSpy analysed(&window->assist().insight(), &CodeInsight::signal_analysed);
    main->append(QStringLiteral("\r\nlocal function helper()\r\nend\r\n"));
    QTRY_VERIFY(!analysed.isEmpty());
    settle();
    QCOMPARE(outline.count(), 2);
    main->setCursorPosition(main->lines() - 2, 0);
    QTRY_COMPARE(outline.currentText(), QStringLiteral("helper"));
}

void TestCodeInsight::hoverExplains()
{
    QVERIFY(runBuild(*window));
    ScriptEditor *main = openAt(QStringLiteral("main.script"));
    const auto positionOf = [main](const QString &text) { return long(main->text().toUtf8().indexOf(text.toUtf8()) + 1); };
    // An API name: its call form and description.
    const QString api = main->hoverText(positionOf(QStringLiteral("touchClik")), false);
    QVERIFY2(api.contains(QStringLiteral("未定义的全局名“touchClik”")), qPrintable(api));
    QVERIFY2(!api.contains(QStringLiteral("touchClick(x,y)")), qPrintable(api));
    main->append(QStringLiteral("\r\n触摸点击(1, 2)"));
    const QString alias = main->hoverText(positionOf(QStringLiteral("触摸点击")), false);
    QVERIFY2(alias.contains(QStringLiteral("<b>touchClick(x,y)</b>")), qPrintable(alias));
    // The mark's message over its symbol in the margin; nothing over a plain line.
    QVERIFY(main->hoverText(positionOf(QStringLiteral("touchClik")), true).contains(QStringLiteral("touchClik")));
    QVERIFY(main->hoverText(positionOf(QStringLiteral("count")), true).isEmpty());
}

void TestCodeInsight::statusOfTheScript_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("UTF-8, CR LF") << QByteArray("a = 1\r\nb = 2\r\n") << "行 1，列 1 | UTF-8 | CR LF";
    QTest::newRow("byte-order mark, LF") << QByteArray("\xEF\xBB\xBF" "a = 1\nb = 2\n") << "行 1，列 1 | UTF-8 BOM | LF";
    QTest::newRow("mixed") << QByteArray("a = 1\r\nb = 2\nc = 3\r\n") << "行 1，列 1 | UTF-8 | 混合换行";
    QTest::newRow("lone CR") << QByteArray("a = 1\rb = 2") << "行 1，列 1 | UTF-8 | 混合换行";
    QTest::newRow("not UTF-8") << QByteArray("-- \xB4\xA5\xC3\xFE\r\n") << "行 1，列 1 | 非UTF-8 | CR LF";
}

void TestCodeInsight::statusOfTheScript()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    workspace->writeFile(QStringLiteral("工程目录/p/s.lua"), bytes);
    if (expected.contains(QStringLiteral("非UTF-8")))
        ModalAnswerer::answerMessageBox(QMessageBox::Ok); // the notice about bytes that are not UTF-8
    ScriptEditor *editor = openAt(QStringLiteral("s.lua"));
    EditorStatus &status = window->assist().insight().status();
    QCOMPARE(status.text(), expected);
    // The column counts a tab as the columns it spans.
    editor->setText(QStringLiteral("\tx"));
    editor->setCursorPosition(0, 2);
    QTRY_VERIFY(status.text().startsWith(QStringLiteral("行 1，列 %1 |").arg(editor->tabWidth() + 2)));
    // What a build is doing, while it does it.
    status.setActivity(QStringLiteral("检查中：正在编译[s.lua]"));
    QVERIFY(status.text().startsWith(QStringLiteral("检查中：正在编译[s.lua] | 行 1")));
}

QTEST_MAIN(TestCodeInsight)
#include "tst_codeinsight.moc"
