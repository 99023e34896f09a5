// Output lines as links: the lines that name a script and a line (compiler reports, warnings,
// search results), and, driven through the window, a double-click or Enter opens the script at
// the line, marked; F5 goes to its first error; the panes are read-only; the project search.
#include "app/ui/ProjectManagerWindow.h"
#include "common/ui/LogView.h"
#include "editor/OutputLink.h"
#include "support/TestWorkspace.h"
#include "ui_ProjectManagerWindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QtTest>

namespace {

const QByteArray kUtil = "local M = {}\r\nfunction M.tap()\r\n\ttouchClik(1, 2)\r\nend\r\nreturn M\r\n";

// Double-clicks line n (from 0) of a pane, as the author would.
void doubleClickLine(LogView *pane, int n)
{
    const QPoint at = pane->cursorRect(QTextCursor(pane->document()->findBlockByNumber(n))).center()
        + QPoint(pane->fontMetrics().averageCharWidth() * 3, 0);
    QTest::mouseDClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

int caretLine(ScriptEditor *editor)
{
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    return line + 1;
}

// The text underlined on a line of the editor (by any indicator), or "".
QString underlined(ScriptEditor *editor, int line)
{
    const long start = editor->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line - 1);
    const long end = editor->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION, line - 1);
    QByteArray bytes;
    for (long p = start; p < end; ++p) {
        if (editor->SendScintilla(QsciScintilla::SCI_INDICATORALLONFOR, p) != 0)
            bytes += char(editor->SendScintilla(QsciScintilla::SCI_GETCHARAT, p));
    }
    return QString::fromUtf8(bytes);
}

} // namespace

class TestOutputLinks : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void parse_data();
    void parse();
    void lineOpensTheScript_data();
    void lineOpensTheScript();
    void enterOnALink();
    void checkGoesToTheFirstError_data();
    void checkGoesToTheFirstError();
    void warningsMarkScripts_data();
    void warningsMarkScripts();
    void panesAreReadOnly();
    void projectSearchFromTheDialog();
    void tokenColumn_data();
    void tokenColumn();
    void linkStaysInTheProject();

private:
    TestWorkspace *ws = nullptr;
    ProjectManagerWindow *window = nullptr;
};

void TestOutputLinks::init()
{
    ws = new TestWorkspace;
    ws->makeProject(QStringLiteral("p"));
    ws->writeFile(QStringLiteral("工程目录/p/lib/util.lua"), kUtil);
    ws->writeFile(QStringLiteral("工程目录/secret.lua"), "x = 1\n");
    window = new ProjectManagerWindow;
    window->resize(1000, 700);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestOutputLinks::cleanup()
{
    delete window;
    delete ws;
}

void TestOutputLinks::parse_data()
{
    QTest::addColumn<QStringList>("lines"); // the last line is parsed
    QTest::addColumn<QString>("path");      // empty: no link
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("token");

    const QStringList report = {"正在编译[main.script]", "正在编译[lib/util.lua]", "错误：脚本编译出错...", "错误代码：3", "错误信息："};
    QTest::newRow("compiler report, path from the progress line")
        << report + QStringList{"脚本util.lua第12行有语法错误, unexpected symbol near '['"} << "lib/util.lua" << 12 << "[";
    QTest::newRow("compiler report at the end of the text")
        << report + QStringList{"脚本util.lua第3行有语法错误, 'end' expected near <eof>"} << "lib/util.lua" << 3 << "";
    QTest::newRow("compiler report without a progress line, a file name with 第")
        << QStringList{"脚本第2章.lua第7行有语法错误, '=' expected near 'x'"} << "第2章.lua" << 7 << "x";
    QTest::newRow("compiler report shifted by a colon in the first line")
        << report + QStringList{"脚本util.lua第 b\"]行有语法错误,5"} << "lib/util.lua" << 5 << "";
    QTest::newRow("undefined name with a suggestion")
        << QStringList{"警告：脚本lib/tap.lua第2行使用了未定义的全局名“touchClik”，是否为“touchClick”？"} << "lib/tap.lua" << 2
        << "touchClik";
    QTest::newRow("undefined field")
        << QStringList{"警告：脚本main.script第40行使用了未定义的全局名“string.fromat”，是否为“string.format”？"}
        << "main.script" << 40 << "fromat";
    QTest::newRow("undefined name without a suggestion")
        << QStringList{"警告：脚本a.lua第9行使用了未定义的全局名“触摸点”"} << "a.lua" << 9 << "触摸点";
    QTest::newRow("argument count")
        << QStringList{"警告：脚本a.lua第11行调用“touchMove”时传入了1个参数，应为2个"} << "a.lua" << 11 << "touchMove";
    QTest::newRow("search result") << QStringList{"lib/util.lua:120: local x = a:b(1)"} << "lib/util.lua" << 120 << "";
    QTest::newRow("progress line") << QStringList{"正在编译[main.script]"} << "" << 0 << "";
    QTest::newRow("summary") << QStringList{"共2个警告"} << "" << 0 << "";
    QTest::newRow("size line") << QStringList{"总大小：1024字节,1.00KB..."} << "" << 0 << "";
    QTest::newRow("line 0") << QStringList{"a.lua:0: x"} << "" << 0 << "";
}

void TestOutputLinks::parse()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, path);
    QFETCH(int, line);
    QFETCH(QString, token);
    const std::optional<OutputLink> link = OutputLink::parse(lines, lines.size() - 1);
    QCOMPARE(link.has_value(), !path.isEmpty());
    if (link) {
        QCOMPARE(link->path, path);
        QCOMPARE(link->line, line);
        QCOMPARE(link->token, token);
    }
}

void TestOutputLinks::lineOpensTheScript_data()
{
    QTest::addColumn<bool>("remote");
    QTest::addColumn<QStringList>("lines"); // the last one is double-clicked
    QTest::addColumn<int>("line");          // 0: nothing opens
    QTest::addColumn<QString>("marked");    // or, when nothing opens, the status line

    QTest::newRow("syntax error") << false
                                  << QStringList{"正在编译[main.script]", "正在编译[lib/util.lua]", "错误：脚本编译出错...",
                                                 "错误代码：3", "错误信息：", "脚本util.lua第3行有语法错误, unexpected symbol near 'touchClik'"}
                                  << 3 << "touchClik";
    QTest::newRow("warning") << false
                             << QStringList{"警告：脚本lib/util.lua第3行使用了未定义的全局名“touchClik”，是否为“touchClick”？"}
                             << 3 << "touchClik";
    QTest::newRow("search result") << false << QStringList{"lib/util.lua:2: function M.tap()"} << 2 << "";
    QTest::newRow("device log") << true << QStringList{"lib/util.lua:5: attempt to call a nil value"} << 5 << "";
    QTest::newRow("outside the project") << false << QStringList{"../secret.lua:1: x = 1"} << 0
                                         << "脚本[../secret.lua]不在工程目录中，未打开。";
    QTest::newRow("missing script") << false << QStringList{"gone.lua:1: x"} << 0 << "找不到脚本[gone.lua]。";
    QTest::newRow("no link") << false << QStringList{"正在编译[lib/util.lua]"} << 0 << "";
}

void TestOutputLinks::lineOpensTheScript()
{
    QFETCH(bool, remote);
    QFETCH(QStringList, lines);
    QFETCH(int, line);
    QFETCH(QString, marked);
    LogView *pane = remote ? window->form()->remoteLogText : window->form()->outText;
    for (const QString &text : lines)
        remote ? window->debugOut(text) : window->appendOutput(text);
    pane->flush();
    window->form()->outTabWidget->setCurrentIndex(remote ? 1 : 0);
    doubleClickLine(pane, pane->blockCount() - 1);

    ScriptEditor *editor = window->scriptEditor();
    if (line == 0) {
        QVERIFY(editor->path().isEmpty());
        QCOMPARE(window->statusBar()->currentMessage(), marked);
        return;
    }
    QCOMPARE(editor->path(), ws->absolute(QStringLiteral("工程目录/p/lib/util.lua")));
    QCOMPARE(caretLine(editor), line);
    QVERIFY(editor->markersAtLine(line - 1) != 0);
    QCOMPARE(underlined(editor, line), marked);
}

void TestOutputLinks::enterOnALink()
{
    window->appendOutput(QStringLiteral("lib/util.lua:4: end"));
    LogView *pane = window->form()->outText;
    pane->setFocus();
    pane->moveCursor(QTextCursor::End);
    QTest::keyClick(pane, Qt::Key_Return);
    QCOMPARE(caretLine(window->scriptEditor()), 4);
    QVERIFY(window->scriptEditor()->hasFocus());
}

void TestOutputLinks::checkGoesToTheFirstError_data()
{
    QTest::addColumn<bool>("build");
    QTest::newRow("F5") << false;
    QTest::newRow("F6") << true;
}

void TestOutputLinks::checkGoesToTheFirstError()
{
    QFETCH(bool, build);
    ws->writeFile(QStringLiteral("工程目录/p/lib/util.lua"), "local a = 1\r\n\r\nlocal b = = 2\r\n");
    (build ? window->form()->compile_project_action : window->form()->syntax_check_action)->trigger();
    ScriptEditor *editor = window->scriptEditor();
    QCOMPARE(editor->path(), ws->absolute(QStringLiteral("工程目录/p/lib/util.lua")));
    QCOMPARE(caretLine(editor), 3);
    QCOMPARE(underlined(editor, 3), QStringLiteral("="));

    // Mended, checked again: the marks go.
    editor->setText(QStringLiteral("local a = 1\r\n\r\nlocal b = 2\r\n"));
    window->form()->syntax_check_action->trigger();
    QCOMPARE(editor->markersAtLine(2), 0u);
    QCOMPARE(underlined(editor, 3), QString());
}

void TestOutputLinks::warningsMarkScripts_data()
{
    QTest::addColumn<bool>("openFirst");
    QTest::newRow("open during the check") << true;
    QTest::newRow("opened after it") << false;
}

void TestOutputLinks::warningsMarkScripts()
{
    QFETCH(bool, openFirst);
    const QString util = ws->absolute(QStringLiteral("工程目录/p/lib/util.lua"));
    if (openFirst)
        window->openScript(util);
    window->form()->syntax_check_action->trigger();
    window->openScript(util);
    ScriptEditor *editor = window->scriptEditor();
    QVERIFY(editor->markersAtLine(2) != 0);
    QCOMPARE(underlined(editor, 3), QStringLiteral("touchClik"));
    QCOMPARE(caretLine(editor), 1); // a warning does not move the caret
}

void TestOutputLinks::panesAreReadOnly()
{
    for (LogView *pane : {window->form()->outText, window->form()->remoteLogText}) {
        pane->appendMessage(QStringLiteral("line"));
        pane->flush();
        pane->setFocus();
        QTest::keyClicks(pane, QStringLiteral("typed"));
        QTest::keyClick(pane, Qt::Key_Backspace);
        QCOMPARE(pane->toPlainText(), QStringLiteral("line"));
        QTest::keySequence(pane, QKeySequence::SelectAll);
        QTest::keySequence(pane, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("line"));
    }
}

void TestOutputLinks::projectSearchFromTheDialog()
{
    window->form()->action_project_search->trigger();
    auto *dialog = window->findChild<QDialog *>(QStringLiteral("ProjectSearchDialog"));
    QVERIFY(dialog && dialog->isVisible());
    auto *text = dialog->findChild<QLineEdit *>(QStringLiteral("leText"));
    auto *tip = dialog->findChild<QLabel *>(QStringLiteral("labTip"));
    text->setText(QStringLiteral("touch\\w+\\("));
    dialog->findChild<QCheckBox *>(QStringLiteral("cbIsReg"))->setChecked(true);
    QTest::keyClick(text, Qt::Key_Return);
    QTRY_VERIFY(tip->text().contains(QStringLiteral("共找到1个结果")));
    LogView *pane = window->form()->outText;
    QTRY_COMPARE(pane->lines(pane->blockCount() - 1, 2),
                 (QStringList{"lib/util.lua:3: touchClik(1, 2)", "共找到1个结果（1个文件）"}));
    doubleClickLine(pane, pane->blockCount() - 2);
    QCOMPARE(caretLine(window->scriptEditor()), 3);

    // An invalid expression: said in the dialog; the output stays.
    text->setText(QStringLiteral("touch("));
    QTest::keyClick(text, Qt::Key_Return);
    QVERIFY(tip->text().contains(QStringLiteral("正则表达式有误")));
    QCOMPARE(pane->lines(pane->blockCount() - 1, 1), QStringList{"共找到1个结果（1个文件）"});
}

void TestOutputLinks::tokenColumn_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("token");
    QTest::addColumn<int>("column");
    QTest::newRow("whole word first") << "touchClikTwice(); touchClik(1)" << "touchClik" << 18;
    QTest::newRow("else any occurrence") << "a[1]" << "[" << 1;
    QTest::newRow("alias") << "x = 触摸点击(1)" << "触摸点击" << 4;
    QTest::newRow("not on the line") << "end" << "touchClik" << -1;
    QTest::newRow("no token") << "end" << "" << -1;
}

void TestOutputLinks::tokenColumn()
{
    QFETCH(QString, line);
    QFETCH(QString, token);
    QFETCH(int, column);
    QCOMPARE((OutputLink{"a.lua", 1, token}.tokenColumn(line)), column);
}

void TestOutputLinks::linkStaysInTheProject()
{
    const QString project = ws->absolute(QStringLiteral("工程目录/p"));
    const auto fileOf = [&project](const QString &path) { return OutputLink{path, 1, QString()}.file(project); };
    QVERIFY(QFile::link(ws->absolute(QStringLiteral("工程目录/secret.lua")), project + QStringLiteral("/out.lua")));
    QCOMPARE(fileOf("out.lua").error(), QStringLiteral("脚本[out.lua]不在工程目录中，未打开。"));
    QCOMPARE(fileOf("ks.project").error(), QStringLiteral("[ks.project]不是脚本或文本文件，未打开。"));
    QCOMPARE(fileOf("lib/../lib/util.lua").valueOr(QString()), project + QStringLiteral("/lib/util.lua"));
}

QTEST_MAIN(TestOutputLinks)
#include "tst_outputlinks.moc"
