// The script editor: automatic indentation, the Lua lexer, opening and saving scripts with
// their marks in the title, and the file handling behind them.
#include "app/ui/CodeAssist.h"
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/CodeInsight.h"
#include "editor/AutoIndent.h"
#include "editor/ui/ScriptEditorSetup.h"
#include "editor/ScriptFile.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/QsciLexerLuaEx.h"
#include "app/ui/DeviceSession.h"
#include "editor/ui/ScriptTabs.h"
#include "ui_ProjectManagerWindow.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestWorkspace.h"

#include <Qsci/qsciapis.h>
#include <Qsci/qscilexerlua.h>
#include <Qsci/qsciscintilla.h>

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QTabWidget>
#include <QSignalSpy>
#include <QtTest>

namespace {

QPair<int, int> caret(QsciScintilla *editor)
{
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    return {line, index};
}

// What an editor offers for the word left of the end of its text, as it asks its list itself.
QStringList offered(QsciScintilla *editor, const QString &text)
{
    editor->setText(text);
    int wordStart = 0;
    int lastWordStart = 0;
    const QStringList context =
        editor->apiContext(int(editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH)), wordStart, lastWordStart);
    QStringList list;
    editor->lexer()->apis()->updateAutoCompletionList(context, list);
    for (QString &entry : list)
        entry = entry.section(QLatin1Char(' '), 0, 0);
    return list;
}

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

private slots:
    void autoIndentEdit_data();
    void autoIndentEdit();
    void enterInTheEditor_data();
    void enterInTheEditor();

    void lexerAndCompletionList();
    void aliasCompletion_data();
    void aliasCompletion();
    void completionInAFolderWithoutData();

    void titleAndMarkAcrossOpenModifySave();
    void undecodableBytesAreNotRewrittenUnasked();

    void scriptEditorOwnsItsFile();
    void changesOnDiskReachTheTabs();
    void oneTabPerScriptAndClosingAsks_data();
    void oneTabPerScriptAndClosingAsks();
    void sessionComesBack();
    void snippetIndentedToTheCaretsLine();
    void lineCommands_data();
    void lineCommands();
    void saveAllAndReopenClosed();

    void scriptFileReading_data();
    void scriptFileReading();
};

// ---- Automatic indentation ----------------------------------------------------------------

void TestEditor::autoIndentEdit_data()
{
    QTest::addColumn<QString>("previousLine");
    QTest::addColumn<QString>("insertion");
    QTest::addColumn<int>("caretColumn");

    QTest::newRow("if/then one tab deep") << "\tif a then\r\n" << "\t\t\r\n\tend" << 2;
    QTest::newRow("function at column 0") << "function f()\r\n" << "\t\r\nend" << 1;
    QTest::newRow("for/do") << "for i=1,10 do\r\n" << "\t\r\nend" << 1;
    QTest::newRow("while/do with trailing blanks") << "  while x do  \r\n" << "  \t\r\n  end" << 3;
    QTest::newRow("plain statement keeps indentation") << "\t\tx = 1\r\n" << "\t\t" << 2;
    QTest::newRow("six spaces: one tab, two spaces") << "      x = 1\r\n" << "\t  " << 3;
    QTest::newRow("spaces then tab reach column 4") << "  \ty = 2\r\n" << "\t" << 1;
    QTest::newRow("blank line") << "\r\n" << "" << 0;
    QTest::newRow("white space only") << "\t  \t \r\n" << "" << 0;
    QTest::newRow("do alone is no block") << "\tdo\r\n" << "\t" << 1;
    QTest::newRow("function without blank") << "function(x)\r\n" << "" << 0;
    QTest::newRow("case matters") << "If a Then\r\n" << "" << 0;
    QTest::newRow("then inside a word") << "x = athen\r\n" << "" << 0;
    QTest::newRow("LF line end") << "if a then\n" << "\t\r\nend" << 1;
}

void TestEditor::autoIndentEdit()
{
    QFETCH(QString, previousLine);
    QFETCH(QString, insertion);
    QFETCH(int, caretColumn);
    const AutoIndent::Edit edit = AutoIndent::afterNewLine(previousLine, 4);
    QCOMPARE(edit.insertion, insertion);
    QCOMPARE(edit.caretColumn, caretColumn);
}

void TestEditor::enterInTheEditor_data()
{
    QTest::addColumn<QString>("text"); // '|' marks the caret
    QTest::addColumn<QString>("typed"); // '\t' is the Tab key, '\n' the Enter key
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("caretLine");
    QTest::addColumn<int>("caretIndex");
    QTest::newRow("block opener") << "|" << "if a then\n" << "if a then\r\n\t\r\nend" << 1 << 1;
    QTest::newRow("text right of the caret goes behind end") << "function f()| x" << "\n" << "function f()\r\n\t\r\nend x"
                                                             << 1 << 1;
    QTest::newRow("plain line keeps the tab") << "|" << "\tx = 1\n" << "\tx = 1\r\n\t" << 1 << 1;
}

void TestEditor::enterInTheEditor()
{
    QFETCH(QString, text);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QFETCH(int, caretLine);
    QFETCH(int, caretIndex);
    ScriptEditor script;
    QsciScintilla *editor = &script;
    editor->setText(QString(text).remove(QLatin1Char('|')));
    editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, text.left(text.indexOf(QLatin1Char('|'))).toUtf8().size());
    for (const QChar c : typed) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n'))
            QTest::keyClick(editor, c == QLatin1Char('\t') ? Qt::Key_Tab : Qt::Key_Return);
        else
            QTest::keyClicks(editor, QString(c));
    }
    QCOMPARE(editor->text(), expected);
    QCOMPARE(caret(editor), qMakePair(caretLine, caretIndex));
}

// ---- Lexer and completion -----------------------------------------------------------------

void TestEditor::lexerAndCompletionList()
{
    TestWorkspace workspace;
    ProjectManagerWindow window;
    ScriptEditor plain;
    QsciScintilla *editor = &plain;
    // The lexer colours what the script check knows: the runtime's API and Lua 5.2's library,
    // not the names older Luas had.
    editor->setText(QStringLiteral("if touchClick then x = 42 end string.format table.getn"));
    editor->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0, -1);
    const auto styleAt = [editor](int position) { return int(editor->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, position)); };
    QCOMPARE((QList<int>{styleAt(0), styleAt(3), styleAt(23), styleAt(31), styleAt(51)}),
             (QList<int>{QsciLexerLua::Keyword, QsciLexerLua::StringTableMathsFunctions, QsciLexerLua::Number,
                         QsciLexerLua::StringTableMathsFunctions, QsciLexerLua::Identifier}));
    QCOMPARE(editor->eolMode(), QsciScintilla::EolWindows);

    // Every editor offers the entries of the one list they share.
    ScriptEditor other;
    QTRY_VERIFY(QsciLexerLuaEx::sharedApisReady());
    QVERIFY(offered(&other, QStringLiteral("touchCl")).contains(QStringLiteral("touchClick")));
    QVERIFY(offered(editor, QStringLiteral("findImageFu")).contains(QStringLiteral("findImageFuzzy")));
    QVERIFY(offered(editor, QStringLiteral("string.form")).contains(QStringLiteral("format")));
    QVERIFY(offered(editor, QStringLiteral("math.")).contains(QStringLiteral("floor")));
    QVERIFY(!offered(editor, QStringLiteral("table.get")).contains(QStringLiteral("getn"))); // not in Lua 5.2
    // Short keywords are typed, not completed; long ones are offered.
    QVERIFY(!offered(editor, QStringLiteral("if a th")).contains(QStringLiteral("then")));
    QVERIFY(offered(editor, QStringLiteral("loc")).contains(QStringLiteral("local")));

    // A script's own words come from its analysis, after "." too, in any case.
    workspace.writeFile(QStringLiteral("s.lua"), "x = then_word\r\nM.helperOne = 1 M:HelperTwo()\r\n");
    ScriptEditor *script = window.scripts().open(workspace.absolute(QStringLiteral("s.lua")));
    QTRY_VERIFY(!window.assist().insight().isBusy());
    QVERIFY(offered(script, QStringLiteral("y = M.help")).contains(QStringLiteral("helperOne")));
    QVERIFY(offered(script, QStringLiteral("y = M:help")).contains(QStringLiteral("HelperTwo")));
    QVERIFY(!offered(script, QStringLiteral("y = N.help")).contains(QStringLiteral("helperOne")));
    // "then" is also the start of a word of the script: the list is open when Enter comes, and
    // Enter still closes the block.
    script->setText(QStringLiteral("x = then_word\r\n"));
    script->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    QTest::keyClicks(script, QStringLiteral("if a then"));
    QVERIFY(script->isListActive());
    QTest::keyClick(script, Qt::Key_Return);
    QCOMPARE(script->text(), QStringLiteral("x = then_word\r\nif a then\r\n\t\r\nend"));
    QCOMPARE(caret(script), qMakePair(2, 1));
}

// Chinese text typed through an input method gets the aliases it starts, written as Lua 5.2 can
// reach them; not in comments, and not once it is a whole alias.
void TestEditor::aliasCompletion_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen"); // after Enter; empty: no list
    QTest::addColumn<bool>("keys");      // typed as keys rather than committed by an input method
    QTest::newRow("in code") << "x = " << "触摸" << "x = _G[\"触摸弹起\"]" << false;
    QTest::newRow("in code, keys") << "x = " << "触摸" << "x = _G[\"触摸弹起\"]" << true;
    QTest::newRow("in a string") << "_G[\"" << "触摸" << "_G[\"触摸弹起" << false;
    QTest::newRow("one left") << "f(" << "停止定" << "f(_G[\"停止定时器\"]" << false;
    QTest::newRow("in a comment") << "-- " << "触摸" << "" << false;
    QTest::newRow("whole alias") << "" << "触摸点击" << "" << false;
    QTest::newRow("no alias") << "x = " << "你好" << "" << false;
}

void TestEditor::aliasCompletion()
{
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(bool, keys);
    ScriptEditor editor;
    editor.setText(before);
    editor.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    for (const QString &text : keys ? typed.split(QString(), Qt::SkipEmptyParts) : QStringList{typed}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(&editor, keys ? static_cast<QEvent *>(&press) : &commit);
    }
    QCOMPARE(editor.isListActive(), !chosen.isEmpty());
    QTest::keyClick(&editor, Qt::Key_Return);
    if (!chosen.isEmpty())
        QCOMPARE(editor.text(), chosen);
}

// An editor made in a folder without the IDE's data (the installed IDE started from the desktop
// menu, in the home folder) completes the runtime's API. The installed-tree check runs this
// from beside the installed programs.
void TestEditor::completionInAFolderWithoutData()
{
    QVERIFY(!QFileInfo::exists(QStringLiteral("config")));
    ScriptEditor editor;
    QTRY_VERIFY(QsciLexerLuaEx::sharedApisReady());
    QVERIFY(offered(&editor, QStringLiteral("x = touchCl")).contains(QStringLiteral("touchClick")));
}

// ---- Opening and saving -------------------------------------------------------------------

void TestEditor::titleAndMarkAcrossOpenModifySave()
{
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("dir/a.script"), "-- a\r\nprint(1)\r\n");
    const QString path = workspace.absolute(QStringLiteral("dir/a.script"));
    ProjectManagerWindow window;
    const QString base = window.windowTitle();
    // The welcome text until a script opens: it takes no typing, has no title and nothing to save.
    QCOMPARE(window.scripts().current()->text(), ScriptEditorSetup::welcomeText());
    QTest::keyClicks(window.scripts().current(), QStringLiteral("x"));
    QCOMPARE(window.scripts().current()->text(), ScriptEditorSetup::welcomeText());
    QVERIFY(!window.scripts().current()->isModified());
    QCOMPARE(window.windowTitle(), base);
    QVERIFY(window.scripts().save(window.scripts().current()));

    window.openScript(path);
    QsciScintilla *editor = window.scripts().current();
    QCOMPARE(editor->text(), QStringLiteral("-- a\r\nprint(1)\r\n"));
    QCOMPARE(window.windowTitle(), base + QStringLiteral(" - [") + path + QStringLiteral("]"));
    QVERIFY(!window.scripts().current()->isModified());

    editor->setCursorPosition(1, 8);
    QTest::keyClicks(editor, QStringLiteral("  -- "));
    editor->insert(QStringLiteral("注释"));
    QVERIFY(window.scripts().current()->isModified());
    QCOMPARE(window.windowTitle(), base + QStringLiteral(" - [") + path + QStringLiteral(" *]"));

    window.findChild<QAction *>(QStringLiteral("save_project_action"))->trigger();
    QVERIFY(!window.scripts().current()->isModified());
    QCOMPARE(window.windowTitle(), base + QStringLiteral(" - [") + path + QStringLiteral("]"));
    QCOMPARE(workspace.readFile(QStringLiteral("dir/a.script")), QStringLiteral("-- a\r\nprint(1)  -- 注释\r\n").toUtf8());

    // Undoing back to the saved text clears the mark again.
    QTest::keyClicks(editor, QStringLiteral("x"));
    QVERIFY(window.scripts().current()->isModified());
    editor->undo();
    QVERIFY(!window.scripts().current()->isModified());
    QCOMPARE(window.windowTitle(), base + QStringLiteral(" - [") + path + QStringLiteral("]"));

    // A save that fails is reported with its reason, and the mark stays.
    QTest::keyClicks(editor, QStringLiteral("x"));
    QVERIFY(QDir(workspace.absolute(QStringLiteral("dir"))).removeRecursively());
    QString title;
    QString text;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, &title, &text);
    window.findChild<QAction *>(QStringLiteral("save_project_action"))->trigger();
    QCOMPARE(title, QStringLiteral("提示"));
    QVERIFY2(text.startsWith(QStringLiteral("文件[") + path + QStringLiteral("]保存失败：")), qPrintable(text));
    QVERIFY(text.size() > (QStringLiteral("文件[]保存失败：") + path).size()); // the reason follows
    QVERIFY(window.scripts().current()->isModified());
    QCOMPARE(window.windowTitle(), base + QStringLiteral(" - [") + path + QStringLiteral(" *]"));
    QVERIFY(!QFile::exists(path));

    // An unreadable path opens no tab (saving an empty one would wipe the file); it says why.
    workspace.writeFile(QStringLiteral("big.lua"), QByteArray(ScriptFile::MaxSize + 1, ' '));
    for (const QString &name : {QStringLiteral("missing.script"), QStringLiteral("big.lua")}) {
        ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &text);
        QVERIFY(!window.scripts().open(workspace.absolute(name)));
        QVERIFY2(text.startsWith(QStringLiteral("无法打开脚本[") + QDir::toNativeSeparators(workspace.absolute(name)) + QStringLiteral("]：")), qPrintable(text));
        QCOMPARE(window.scripts().editors().size(), 1);
    }
}

void TestEditor::undecodableBytesAreNotRewrittenUnasked()
{
    TestWorkspace workspace;
    const QByteArray gbk("-- \xC4\xE3\xBA\xC3\r\nx = 1\r\n"); // 你好 in a legacy Chinese code page
    workspace.writeFile(QStringLiteral("old.lua"), gbk);
    const QString path = workspace.absolute(QStringLiteral("old.lua"));
    ProjectManagerWindow window;

    QString notice;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &notice);
    window.openScript(path);
    QVERIFY2(notice.contains(path) && notice.contains(QStringLiteral("UTF-8")), qPrintable(notice));
    QVERIFY(!window.scripts().current()->isModified());

    window.scripts().current()->append(QStringLiteral("y = 2"));
    QString question;
    ModalAnswerer::answerMessageBox(QMessageBox::No, nullptr, &question);
    QVERIFY(!window.scripts().save(window.scripts().current()));
    QVERIFY(question.contains(QStringLiteral("是否仍然保存")));
    QCOMPARE(workspace.readFile(QStringLiteral("old.lua")), gbk);
    QVERIFY(window.scripts().current()->isModified());

    ModalAnswerer::answerMessageBox(QMessageBox::Yes);
    QVERIFY(window.scripts().save(window.scripts().current()));
    QCOMPARE(workspace.readFile(QStringLiteral("old.lua")), window.scripts().current()->text().toUtf8());
    QVERIFY(!window.scripts().current()->isModified());
    // Now it is UTF-8: further saves ask nothing.
    window.scripts().current()->append(QStringLiteral("z = 3"));
    QVERIFY(window.scripts().save(window.scripts().current()));
}

// ---- The editor component, tabs, quitting, session ------------------------------------------

void TestEditor::scriptEditorOwnsItsFile()
{
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("a.lua"), "\xEF\xBB\xBFx = 1\r\n");
    const QString path = workspace.absolute(QStringLiteral("a.lua"));
    ScriptEditor editor;
    QVERIFY(editor.openFile(path));
    QCOMPARE(editor.text(), QStringLiteral("x = 1\r\n"));
    QVERIFY(editor.hasByteOrderMark() && editor.isFaithful() && !editor.isModified());
    editor.append(QStringLiteral("y = 2"));
    QVERIFY(editor.isModified());
    QVERIFY(editor.save().ok());
    QCOMPARE(workspace.readFile(QStringLiteral("a.lua")), QByteArray("\xEF\xBB\xBFx = 1\r\ny = 2"));
    QVERIFY(!editor.isModified());
    QCOMPARE(editor.diskState(), ScriptEditor::DiskState::Same);

    // Another program rewrites it: noticed, and reloaded as one step that can be undone.
    workspace.writeFile(QStringLiteral("a.lua"), "z = 3\r\n", QDateTime::currentDateTime().addSecs(5));
    QCOMPARE(editor.diskState(), ScriptEditor::DiskState::Changed);
    QVERIFY(editor.reload());
    QCOMPARE(editor.text(), QStringLiteral("z = 3\r\n"));
    QVERIFY(!editor.isModified() && !editor.hasByteOrderMark());
    QCOMPARE(editor.diskState(), ScriptEditor::DiskState::Same);
    editor.undo();
    QCOMPARE(editor.text(), QStringLiteral("x = 1\r\ny = 2"));

    QVERIFY(QFile::remove(path));
    QCOMPARE(editor.diskState(), ScriptEditor::DiskState::Removed);
    editor.acknowledgeDisk();
    QCOMPARE(editor.diskState(), ScriptEditor::DiskState::Same);
}

void TestEditor::changesOnDiskReachTheTabs()
{
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("a.lua"), "a = 1\r\n");
    workspace.writeFile(QStringLiteral("b.lua"), "b = 1\r\n");
    ProjectManagerWindow window;
    window.openScript(workspace.absolute(QStringLiteral("a.lua")));
    window.openScript(workspace.absolute(QStringLiteral("b.lua")));
    window.scripts().current()->append(QStringLiteral("-- mine"));
    const QDateTime later = QDateTime::currentDateTime().addSecs(5);
    workspace.writeFile(QStringLiteral("a.lua"), "a = 2\r\n", later);
    workspace.writeFile(QStringLiteral("b.lua"), "b = 2\r\n", later);

    // The unmodified script follows silently; the modified one asks, once, and No keeps it.
    QString question;
    ModalAnswerer::answerMessageBox(QMessageBox::No, nullptr, &question);
    window.scripts().checkOnDisk();
    QVERIFY(question.contains(workspace.absolute(QStringLiteral("b.lua"))));
    QCOMPARE(window.scripts().editors().at(0)->text(), QStringLiteral("a = 2\r\n"));
    QCOMPARE(window.scripts().current()->text(), QStringLiteral("b = 1\r\n-- mine"));
    window.scripts().checkOnDisk(); // nothing new: no question (one would time the test out waiting)
    QVERIFY(window.scripts().current()->isModified());
}

void TestEditor::oneTabPerScriptAndClosingAsks_data()
{
    QTest::addColumn<bool>("quit"); // the window, else the tab of a.lua
    QTest::addColumn<int>("answer");
    for (const bool quit : {false, true}) {
        QTest::addRow("%s, save", quit ? "quit" : "tab") << quit << int(QMessageBox::Save);
        QTest::addRow("%s, discard", quit ? "quit" : "tab") << quit << int(QMessageBox::Discard);
        QTest::addRow("%s, cancel", quit ? "quit" : "tab") << quit << int(QMessageBox::Cancel);
    }
}

void TestEditor::oneTabPerScriptAndClosingAsks()
{
    QFETCH(bool, quit);
    QFETCH(int, answer);
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("a.lua"), "a = 1\r\n");
    workspace.writeFile(QStringLiteral("b.lua"), "b = 1\r\n");
    const QString a = workspace.absolute(QStringLiteral("a.lua"));
    const QString b = workspace.absolute(QStringLiteral("b.lua"));
    ProjectManagerWindow window;
    window.show();
    for (const QString &path : {a, b}) {
        window.openScript(path);
        window.scripts().current()->append(QStringLiteral("-- edited"));
    }
    window.openScript(a);
    QCOMPARE(window.scripts().editors().size(), 2);
    QCOMPARE(window.scripts().current()->path(), a);
    // A tab widget's page sits in its stack.
    auto *tabs = qobject_cast<QTabWidget *>(window.scripts().current()->parentWidget()->parentWidget());
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("a.lua *"));
    QCOMPARE(tabs->tabToolTip(tabs->currentIndex()), a);

    QString title;
    QString text;
    ModalAnswerer::answerMessageBox(QMessageBox::StandardButton(answer), &title, &text);
    (quit ? window.form()->exit_action : window.form()->close_script_action)->trigger();
    QVERIFY(text.contains(a));
    QCOMPARE(text.contains(b), quit);
    if (quit) {
        QCOMPARE(title, QStringLiteral("退出Kestrun开发平台"));
        QCOMPARE(window.isVisible(), answer == QMessageBox::Cancel);
    } else {
        QCOMPARE(window.scripts().editors().size(), answer == QMessageBox::Cancel ? 2 : 1);
    }
    const QByteArray edited = answer == QMessageBox::Save ? "-- edited" : "";
    QCOMPARE(workspace.readFile(QStringLiteral("a.lua")), "a = 1\r\n" + edited);
    QCOMPARE(workspace.readFile(QStringLiteral("b.lua")), "b = 1\r\n" + (quit ? edited : QByteArray()));
}

void TestEditor::sessionComesBack()
{
    TestWorkspace workspace;
    const QString project = workspace.makeProject(QStringLiteral("p"));
    workspace.makeProject(QStringLiteral("q"));
    workspace.writeFile(QStringLiteral("工程目录/p/u.lua"), "a = 1\r\nb = 2\r\nc = 3\r\n");
    workspace.writeFile(QStringLiteral("工程目录/p/gone.lua"), "x");
    const QString main = project + QStringLiteral("/main.script");
    const QString util = project + QStringLiteral("/u.lua");
    {
        ProjectManagerWindow window;
        window.restoreSession(); // a first start: nothing to restore
        QCOMPARE(window.scripts().current()->text(), ScriptEditorSetup::welcomeText());
        window.show();
        window.openScript(project + QStringLiteral("/gone.lua"));
        window.openScript(util);
        window.scripts().current()->setCursorPosition(2, 1);
        window.openScript(main);
        window.scripts().current()->setCursorPosition(1, 2);
        window.setActiveProject(QStringLiteral("q"));
        window.device().setAddress(QStringLiteral("192.0.2.7"));
        window.device().setImageDirectory(workspace.path());
        QVERIFY(window.close()); // nothing unsaved: nothing asked
    }
    QVERIFY(QFile::remove(project + QStringLiteral("/gone.lua")));

    ProjectManagerWindow window;
    window.restoreSession();
    QStringList paths;
    for (const ScriptEditor *editor : window.scripts().editors())
        paths << editor->path();
    QCOMPARE(paths, (QStringList{util, main})); // the missing script is skipped quietly
    QCOMPARE(window.scripts().current()->path(), main);
    QCOMPARE(caret(window.scripts().current()), qMakePair(1, 2));
    QCOMPARE(caret(window.scripts().editors().at(0)), qMakePair(2, 1));
    QCOMPARE(window.project().name(), QStringLiteral("q"));
    QCOMPARE(window.device().address(), QStringLiteral("192.0.2.7"));
    QCOMPARE(window.device().imageDirectory(), workspace.path());
}

void TestEditor::snippetIndentedToTheCaretsLine()
{
    QCOMPARE(AutoIndent::indentSnippet(QStringLiteral("a\r\n\tb\r\n\r\nend\r\n"), QStringLiteral("\t ")),
             QStringLiteral("a\r\n\t \tb\r\n\r\n\t end\r\n\t "));
    QCOMPARE(AutoIndent::indentSnippet(QStringLiteral("RGB(r,g,b)"), QStringLiteral("\t")), QStringLiteral("RGB(r,g,b)"));

    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("a.lua"), QByteArray());
    ProjectManagerWindow window;
    QsciScintilla *editor = window.scripts().open(workspace.absolute(QStringLiteral("a.lua")));
    editor->setText(QStringLiteral("if a then\r\n\t\t"));
    editor->setCursorPosition(1, 2);
    window.scripts().insertSnippet(QStringLiteral("while true do\r\n\t--x\r\n\r\nend\r\n"));
    QCOMPARE(editor->text(), QStringLiteral("if a then\r\n\t\twhile true do\r\n\t\t\t--x\r\n\r\n\t\tend\r\n\t\t"));
    QCOMPARE(caret(editor), qMakePair(5, 2));
}

void TestEditor::lineCommands_data()
{
    QTest::addColumn<QString>("text"); // '|' marks the caret, '^' the other end of the selection
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");

    // Comments: the rule of common code editors. When every line with code is commented, one
    // "--" (and one blank behind it) comes off; else every such line gets "-- " at the block's
    // smallest indentation, the commented ones too. Blank lines stay as they are.
    QTest::newRow("comment at the smallest indentation") << "^\tif a then\r\n\r\n\t\tb()\r\n\tend|" << "comment"
                                                         << "\t-- if a then\r\n\r\n\t-- \tb()\r\n\t-- end";
    QTest::newRow("all commented: uncomment") << "^-- a\r\n\t--b\r\n  -- -- c|" << "comment" << "a\r\n\tb\r\n  -- c";
    QTest::newRow("mixed: all commented") << "^-- a\r\nb|" << "comment" << "-- -- a\r\n-- b";
    QTest::newRow("the caret's line") << "a\r\nb|c" << "comment" << "a\r\n-- bc";
    QTest::newRow("a selection ending at a line start") << "^a\r\n|b" << "comment" << "-- a\r\nb";
    QTest::newRow("blank lines only") << "^\r\n\t|" << "comment" << "\r\n\t";
    QTest::newRow("duplicate the caret's line") << "a|\r\nb" << "duplicate" << "a\r\na\r\nb";
    QTest::newRow("duplicate the last line") << "a\r\nb|" << "duplicate" << "a\r\nb\r\nb";
    QTest::newRow("duplicate selected lines") << "^a\r\nb|\r\nc" << "duplicate" << "a\r\nb\r\na\r\nb\r\nc";
    QTest::newRow("move up") << "a\r\nb|\r\nc" << "up" << "b\r\na\r\nc";
    QTest::newRow("move selected lines down") << "^a\r\nb|\r\nc" << "down" << "c\r\na\r\nb";
    QTest::newRow("move up at the top") << "a|\r\nb" << "up" << "a\r\nb";
}

// The line commands on a script, each one step to undo.
void TestEditor::lineCommands()
{
    QFETCH(QString, text);
    QFETCH(QString, command);
    QFETCH(QString, expected);
    ScriptEditor editor;
    const QString plain = QString(text).remove(QLatin1Char('|')).remove(QLatin1Char('^'));
    editor.setText(plain);
    const auto position = [&text](QChar marker) {
        const int at = text.indexOf(marker);
        return long(QString(text.left(at)).remove(QLatin1Char('|')).remove(QLatin1Char('^')).toUtf8().size());
    };
    const long caret = position(QLatin1Char('|'));
    editor.SendScintilla(QsciScintillaBase::SCI_SETSEL, text.contains(QLatin1Char('^')) ? position(QLatin1Char('^')) : caret, caret);
    if (command == QLatin1String("comment"))
        editor.toggleComment();
    else if (command == QLatin1String("duplicate"))
        editor.duplicateLines();
    else
        editor.moveLines(command == QLatin1String("up"));
    QCOMPARE(editor.text(), expected);
    editor.undo();
    QCOMPARE(editor.text(), plain);
}

void TestEditor::saveAllAndReopenClosed()
{
    TestWorkspace workspace;
    for (const char *name : {"a.lua", "b.lua", "c.lua"})
        workspace.writeFile(QString::fromUtf8(name), "x = 1\r\n");
    ProjectManagerWindow window;
    for (const char *name : {"a.lua", "b.lua", "c.lua"})
        window.openScript(workspace.absolute(QString::fromUtf8(name)));
    window.scripts().editors().at(0)->append(QStringLiteral("a = 2"));
    window.scripts().editors().at(2)->append(QStringLiteral("c = 2"));
    window.form()->save_all_action->trigger();
    QVERIFY(window.scripts().modified().isEmpty());
    QCOMPARE(workspace.readFile(QStringLiteral("a.lua")), QByteArray("x = 1\r\na = 2"));
    QCOMPARE(workspace.readFile(QStringLiteral("c.lua")), QByteArray("x = 1\r\nc = 2"));

    // Closed tabs come back last first, at their carets; one whose file is gone is passed over.
    window.openScript(workspace.absolute(QStringLiteral("a.lua")));
    window.scripts().current()->setCursorPosition(1, 3);
    window.form()->close_script_action->trigger();
    window.form()->close_script_action->trigger();
    window.form()->close_script_action->trigger();
    QVERIFY(QFile::remove(workspace.absolute(QStringLiteral("b.lua"))));
    QCOMPARE(window.form()->reopen_script_action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+T")));
    window.form()->reopen_script_action->trigger();
    QCOMPARE(window.scripts().current()->path(), workspace.absolute(QStringLiteral("c.lua")));
    window.form()->reopen_script_action->trigger();
    QCOMPARE(window.scripts().current()->path(), workspace.absolute(QStringLiteral("a.lua")));
    QCOMPARE(caret(window.scripts().current()), qMakePair(1, 3));
    QVERIFY(!window.scripts().reopenClosed());
    QCOMPARE(window.scripts().editors().size(), 2);
}

void TestEditor::scriptFileReading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("faithful");
    QTest::addColumn<bool>("byteOrderMark");

    QTest::newRow("UTF-8") << QByteArray("触摸点击\r\n") << QStringLiteral("触摸点击\r\n") << true << false;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFx = 1\r\n") << QStringLiteral("x = 1\r\n") << true << true;
    QTest::newRow("empty") << QByteArray() << QString() << true << false;
    QTest::newRow("replacement character itself") << QByteArray("\xEF\xBF\xBD") << QStringLiteral("\uFFFD") << true << false;
    QTest::newRow("legacy code page") << QByteArray("a\xC4\xE3") << QString() << false << false;
    QTest::newRow("truncated sequence at the end") << QByteArray("a\xE8\xA7") << QString() << false << false;
    QTest::newRow("overlong encoding") << QByteArray("\xC0\xAF") << QString() << false << false;
    QTest::newRow("zero byte") << QByteArray("a\0b", 3) << QStringLiteral("a\uFFFDb") << false << false;
}

void TestEditor::scriptFileReading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, faithful);
    QFETCH(bool, byteOrderMark);
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("s.lua"), bytes);
    const Result<ScriptFile::Contents> read = ScriptFile::read(workspace.absolute(QStringLiteral("s.lua")));
    QVERIFY(read.ok());
    const ScriptFile::Contents &contents = *read;
    QCOMPARE(contents.faithful, faithful);
    QCOMPARE(contents.byteOrderMark, byteOrderMark);
    if (!text.isNull())
        QCOMPARE(contents.text, text);
    QVERIFY(!contents.text.contains(QChar(0)));
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
