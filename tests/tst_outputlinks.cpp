// Output lines as links: the places a compiler report and a line of the device's log name, and,
// driven through the window, a double-click or Enter on a line with a place opens the script at
// the line, marked; F5 goes to its first error; the panes are read-only; the project search.
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "common/ui/LogView.h"
#include "common/Diagnostic.h"
#include "toolchain/ScriptCompiler.h"
#include "support/BuildRun.h"
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
    QTest::addColumn<bool>("fromCompiler"); // Lua's message, else a line of the device's log
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("path"); // empty: no place
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("token");

    QTest::newRow("syntax error") << true << "[string \"local M = {}\"]:12: unexpected symbol near '['" << "util.lua" << 12 << "[";
    QTest::newRow("syntax error at the end of the text")
        << true << "[string \"x = 1...\"]:3: 'end' expected near <eof>" << "util.lua" << 3 << "";
    QTest::newRow("a colon and quotes in the first line")
        << true << "[string \"x = \"a:\"]:1\"]:5: '=' expected near 'y'" << "util.lua" << 5 << "y";
    QTest::newRow("no line") << true << "not enough memory" << "" << 0 << "";
    QTest::newRow("log line") << false << "lib/util.lua:120: local x = a:b(1)" << "lib/util.lua" << 120 << "";
    QTest::newRow("log line 0") << false << "a.lua:0: x" << "" << 0 << "";
    QTest::newRow("log line without a place") << false << "正在编译[main.script]" << "" << 0 << "";
}

void TestOutputLinks::parse()
{
    QFETCH(bool, fromCompiler);
    QFETCH(QString, text);
    QFETCH(QString, path);
    QFETCH(int, line);
    QFETCH(QString, token);
    const Diagnostic found = fromCompiler ? ScriptCompiler::syntaxError(QStringLiteral("util.lua"), 3, text.toUtf8())
                                          : Diagnostic::fromLogLine(text, QString()).value_or(Diagnostic());
    QCOMPARE(found.hasPlace(), !path.isEmpty());
    QCOMPARE(found.path, path);
    QCOMPARE(found.line, line);
    QCOMPARE(found.token, token);
}

void TestOutputLinks::lineOpensTheScript_data()
{
    QTest::addColumn<bool>("remote");
    QTest::addColumn<Diagnostic>("value"); // on the local pane; the device's log has only its text
    QTest::addColumn<int>("line");         // 0: nothing opens
    QTest::addColumn<QString>("marked");   // or, when nothing opens, the status line

    // In the project p.
    const auto value = [](Diagnostic::Kind kind, const QString &path, int line, const QString &token) {
        return Diagnostic{kind, QStringLiteral("%1:%2").arg(path).arg(line), {}, path, line, token};
    };
    QTest::newRow("syntax error") << false << value(Diagnostic::Kind::Error, "lib/util.lua", 3, "touchClik") << 3 << "touchClik";
    QTest::newRow("warning") << false << value(Diagnostic::Kind::Warning, "lib/util.lua", 3, "touchClik") << 3 << "touchClik";
    QTest::newRow("search result") << false << value(Diagnostic::Kind::SearchResult, "lib/util.lua", 2, "") << 2 << "";
    QTest::newRow("device log") << true << Diagnostic::error("lib/util.lua:5: attempt to call a nil value") << 5 << "";
    QTest::newRow("outside the project") << false << value(Diagnostic::Kind::SearchResult, "../secret.lua", 1, "") << 0
                                         << "脚本[../secret.lua]不在工程目录中，未打开。";
    QTest::newRow("missing script") << false << value(Diagnostic::Kind::Error, "gone.lua", 1, "") << 0 << "找不到脚本[gone.lua]。";
    QTest::newRow("no place") << false << Diagnostic::error("lib/util.lua:3: x") << 0 << "";
}

void TestOutputLinks::lineOpensTheScript()
{
    QFETCH(bool, remote);
    QFETCH(Diagnostic, value);
    QFETCH(int, line);
    QFETCH(QString, marked);
    LogView *pane = remote ? window->form()->remoteLogText : window->form()->outText;
    value.directory = ws->absolute(QStringLiteral("工程目录/p"));
    remote ? window->debugOut(value.message) : pane->appendDiagnostic(value);
    pane->flush();
    window->form()->outTabWidget->setCurrentIndex(remote ? 1 : 0);
    doubleClickLine(pane, pane->blockCount() - 1);

    ScriptEditor *editor = window->scripts().current();
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
    window->form()->outText->appendDiagnostic({Diagnostic::Kind::SearchResult, QStringLiteral("lib/util.lua:4: end"),
                                               ws->absolute(QStringLiteral("工程目录/p")), QStringLiteral("lib/util.lua"), 4, {}});
    LogView *pane = window->form()->outText;
    pane->flush();
    pane->setFocus();
    pane->moveCursor(QTextCursor::End);
    QTest::keyClick(pane, Qt::Key_Return);
    QCOMPARE(caretLine(window->scripts().current()), 4);
    QVERIFY(window->scripts().current()->hasFocus());
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
    QVERIFY(!runBuild(*window, build));
    ScriptEditor *editor = window->scripts().current();
    QCOMPARE(editor->path(), ws->absolute(QStringLiteral("工程目录/p/lib/util.lua")));
    QCOMPARE(caretLine(editor), 3);
    QCOMPARE(underlined(editor, 3), QStringLiteral("="));

    // Mended, checked again: the marks go.
    editor->setText(QStringLiteral("local a = 1\r\n\r\nlocal b = 2\r\n"));
    QVERIFY(runBuild(*window));
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
    QVERIFY(runBuild(*window));
    window->openScript(util);
    ScriptEditor *editor = window->scripts().current();
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
    QCOMPARE(caretLine(window->scripts().current()), 3);

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
    QCOMPARE((Diagnostic{Diagnostic::Kind::Warning, {}, {}, "a.lua", 1, token}.tokenColumn(line)), column);
}

void TestOutputLinks::linkStaysInTheProject()
{
    const QString project = ws->absolute(QStringLiteral("工程目录/p"));
    const auto fileOf = [&project](const QString &path) {
        return Diagnostic{Diagnostic::Kind::SearchResult, {}, project, path, 1, {}}.file();
    };
    QVERIFY(QFile::link(ws->absolute(QStringLiteral("工程目录/secret.lua")), project + QStringLiteral("/out.lua")));
    QCOMPARE(fileOf("out.lua").error(), QStringLiteral("脚本[out.lua]不在工程目录中，未打开。"));
    QCOMPARE(fileOf("ks.project").error(), QStringLiteral("[ks.project]不是脚本或文本文件，未打开。"));
    QCOMPARE(fileOf("lib/../lib/util.lua").valueOr(QString()), project + QStringLiteral("/lib/util.lua"));
}

QTEST_MAIN(TestOutputLinks)
#include "tst_outputlinks.moc"
