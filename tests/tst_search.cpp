// Search and replace: the dialog's signals and the window's find, replace and replace-all; and
// the search across a project on its own thread (an invalid expression, a search replaced by
// the next).
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "editor/ui/SearchCommands.h"
#include "editor/ProjectSearch.h"
#include "editor/ui/ProjectSearchDialog.h"
#include "editor/ui/ReplacePreviewDialog.h"
#include "editor/ui/SearchDialog.h"
#include "common/ui/LogView.h"
#include "tests/support/ModalAnswerer.h"
#include "ui_ProjectManagerWindow.h"
#include "tests/support/TestWorkspace.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString kNotFound = QStringLiteral("<font color=red>未搜索到指定内容</font>");

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogStartsFreshAndSendsItsOptions();
    void searchSelectsNextMatchAndReportsMisses();
    void replaceSelectsThenReplaces();
    void replaceAll_data();
    void replaceAll();
    void ctrlFRunsTheDialogOnTheEditor();

    void projectSearchRegularExpression();
    void projectSearchInvalidExpression();
    void nextProjectSearchCancelsTheRunning();
    void projectSearchSeesUnsavedText();
    void replaceMatches_data();
    void replaceMatches();
    void replaceAcrossTheProject();

private:
    QStringList answers() const;
    // Line and index where the selection starts.
    QPair<int, int> selectionStart() const;

    TestWorkspace *workspace = nullptr;
    ProjectManagerWindow *window = nullptr;
    QsciScintilla *editor = nullptr;
    QSignalSpy *returned = nullptr;
};

void TestSearch::init()
{
    workspace = new TestWorkspace;
    workspace->writeFile(QStringLiteral("s.lua"), QByteArray());
    window = new ProjectManagerWindow;
    editor = window->scripts().open(workspace->absolute(QStringLiteral("s.lua")));
    returned = new QSignalSpy(&window->searches(), &SearchCommands::signal_search_return);
}

void TestSearch::cleanup()
{
    delete returned;
    delete window;
    delete workspace;
}

QStringList TestSearch::answers() const
{
    QStringList texts;
    for (const QList<QVariant> &arguments : *returned)
        texts << arguments.at(0).toString();
    return texts;
}

QPair<int, int> TestSearch::selectionStart() const
{
    int fromLine, fromIndex, toLine, toIndex;
    editor->getSelection(&fromLine, &fromIndex, &toLine, &toIndex);
    return {fromLine, fromIndex};
}

void TestSearch::dialogStartsFreshAndSendsItsOptions()
{
    SearchDialog dialog;
    auto *text = dialog.findChild<QLineEdit *>(QStringLiteral("leText"));
    auto *replacement = dialog.findChild<QLineEdit *>(QStringLiteral("leRepText"));
    auto *caseSensitive = dialog.findChild<QCheckBox *>(QStringLiteral("cbCaseSensitive"));
    auto *wholeWord = dialog.findChild<QCheckBox *>(QStringLiteral("cbMatchWordOnly"));
    auto *regularExpression = dialog.findChild<QCheckBox *>(QStringLiteral("cbIsReg"));
    auto *wrap = dialog.findChild<QCheckBox *>(QStringLiteral("cbSearchLoop"));
    QVERIFY(text->text().isEmpty() && replacement->text().isEmpty());
    QVERIFY(!caseSensitive->isChecked() && !wholeWord->isChecked() && !regularExpression->isChecked());
    QVERIFY(wrap->isChecked());

    QSignalSpy search(&dialog, &SearchDialog::signal_search);
    QSignalSpy replace(&dialog, &SearchDialog::signal_replace);
    QSignalSpy replaceAll(&dialog, &SearchDialog::signal_replaceAll);
    text->setText(QStringLiteral("a.b"));
    replacement->setText(QStringLiteral("c"));
    regularExpression->setChecked(true);
    wholeWord->setChecked(true);
    wrap->setChecked(false);
    dialog.findChild<QPushButton *>(QStringLiteral("pbSearch"))->click();
    dialog.findChild<QPushButton *>(QStringLiteral("pbReplace"))->click();
    caseSensitive->setChecked(true);
    regularExpression->setChecked(false);
    dialog.findChild<QPushButton *>(QStringLiteral("pbReplaceAll"))->click();
    // Options in signal order: re, cs, wo, wrap.
    QCOMPARE(search.takeFirst(), (QVariantList{QStringLiteral("a.b"), true, false, true, false}));
    QCOMPARE(replace.takeFirst(), (QVariantList{QStringLiteral("a.b"), QStringLiteral("c"), true, false, true, false}));
    QCOMPARE(replaceAll.takeFirst(), (QVariantList{QStringLiteral("a.b"), QStringLiteral("c"), false, true, true, false}));

    dialog.slot_search_return(kNotFound);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labTip"))->text(), kNotFound);
}

void TestSearch::searchSelectsNextMatchAndReportsMisses()
{
    editor->setText(QStringLiteral("Touch touch\r\ntouch"));
    editor->setCursorPosition(0, 0);
    window->searches().slot_search(QStringLiteral("touch"), false, true, false, false);
    QCOMPARE(editor->selectedText(), QStringLiteral("touch"));
    QCOMPARE(selectionStart(), qMakePair(0, 6));
    window->searches().slot_search(QStringLiteral("touch"), false, true, false, false);
    QCOMPARE(selectionStart(), qMakePair(1, 0));

    window->searches().slot_search(QStringLiteral("touch"), false, true, false, false); // no wrap: nothing further
    window->searches().slot_search(QStringLiteral("touch"), false, false, false, true); // wrap, any case: back to "Touch"
    QCOMPARE(selectionStart(), qMakePair(0, 0));
    QCOMPARE(answers(), (QStringList{QString(), QString(), kNotFound, QString()}));
    // F3 and Shift+F3 repeat the last search forward and back.
    window->findChild<QAction *>(QStringLiteral("action_edit_find_next"))->trigger();
    window->findChild<QAction *>(QStringLiteral("action_edit_find_next"))->trigger();
    QCOMPARE(selectionStart(), qMakePair(1, 0));
    window->findChild<QAction *>(QStringLiteral("action_edit_find_previous"))->trigger();
    QCOMPARE(selectionStart(), qMakePair(0, 6));
    window->searches().slot_search(QStringLiteral("missing"), false, false, false, true);
    QCOMPARE(answers().last(), kNotFound);
}

void TestSearch::replaceSelectsThenReplaces()
{
    editor->setText(QStringLiteral("sleep(1) sleep(2)"));
    editor->setCursorPosition(0, 0);
    const QString expr = QStringLiteral("sleep");
    window->searches().slot_replace(expr, QStringLiteral("延时"), false, false, false, true);
    QCOMPARE(editor->text(), QStringLiteral("sleep(1) sleep(2)"));
    QCOMPARE(editor->selectedText(), expr);
    window->searches().slot_replace(expr, QStringLiteral("延时"), false, false, false, true);
    QCOMPARE(editor->text(), QStringLiteral("延时(1) sleep(2)"));
    QCOMPARE(answers(), QStringList{QString()}); // replacing answers nothing

    // A selection of other text is not replaced: the next match is selected instead.
    editor->setSelection(0, 3, 0, 4);
    window->searches().slot_replace(expr, QStringLiteral("延时"), false, false, false, true);
    QCOMPARE(editor->text(), QStringLiteral("延时(1) sleep(2)"));
    QCOMPARE(editor->selectedText(), expr);
    // The selection is compared with the search's own options: what it finds, it replaces.
    editor->setText(QStringLiteral("SLEEP"));
    editor->selectAll();
    window->searches().slot_replace(expr, QStringLiteral("x"), false, true, false, true);
    QCOMPARE(editor->text(), QStringLiteral("SLEEP"));
    window->searches().slot_replace(expr, QStringLiteral("x"), false, false, false, true);
    QCOMPARE(editor->text(), QStringLiteral("x"));

    // A regular expression in the library's own syntax, its \( \) group expanded.
    editor->setText(QStringLiteral("a1 a2"));
    editor->setCursorPosition(0, 0);
    const QString group = QStringLiteral("a\\([0-9]\\)");
    window->searches().slot_replace(group, QStringLiteral("b\\1"), true, false, false, true);
    QCOMPARE(editor->selectedText(), QStringLiteral("a1"));
    window->searches().slot_replace(group, QStringLiteral("b\\1"), true, false, false, true);
    QCOMPARE(editor->text(), QStringLiteral("b1 a2"));
    // Replace all is one step to take back.
    window->searches().slot_replaceAll(group, QStringLiteral("c\\1"), true, false, false, true);
    QCOMPARE(editor->text(), QStringLiteral("b1 c2"));
    editor->undo();
    QCOMPARE(editor->text(), QStringLiteral("b1 a2"));
}

void TestSearch::replaceAll_data()
{
    QTest::addColumn<QString>("text"); // '|' marks the caret
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("re");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("expected"); // '|' marks where the caret is left
    QTest::addColumn<QString>("answer");   // empty: whatever the count, as long as it ends
    // The whole script, whatever the caret and the wrap option; the caret stays at its text.
    QTest::newRow("caret between matches, wrap on") << "x| x\r\nx xx" << "x" << "yy" << false << true
                                                    << "yy| yy\r\nyy yyyy" << "共5处被替换";
    QTest::newRow("caret between matches, wrap off") << "x| x\r\nx xx" << "x" << "yy" << false << false
                                                     << "yy| yy\r\nyy yyyy" << "共5处被替换";
    QTest::newRow("caret at the end") << "a b a|" << "a" << "c" << false << false << "c b c|" << "共2处被替换";
    QTest::newRow("caret inside a match") << "ab|c abc" << "abc" << "z" << false << true << "z| z" << "共2处被替换";
    QTest::newRow("replacement contains the expression") << "a b |a" << "a" << "aa" << false << true << "aa b |aa" << "共2处被替换";
    QTest::newRow("empty matches at line starts") << "a\r\n|b\r\nc" << "^" << "--" << true << true
                                                  << "--a\r\n--|b\r\n--c" << "共3处被替换";
    QTest::newRow("no match") << "a|b" << "x" << "y" << false << true << "a|b" << "共0处被替换";
    QTest::newRow("empty matches everywhere") << "|ab" << "x*" << "" << true << true << "ab" << "";
}

void TestSearch::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, expression);
    QFETCH(QString, replacement);
    QFETCH(bool, re);
    QFETCH(bool, wrap);
    QFETCH(QString, expected);
    QFETCH(QString, answer);
    editor->setText(QString(text).remove(QLatin1Char('|')));
    editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, text.indexOf(QLatin1Char('|')));
    window->searches().slot_replaceAll(expression, replacement, re, false, false, wrap);
    QCOMPARE(editor->text(), QString(expected).remove(QLatin1Char('|')));
    if (!answer.isEmpty()) {
        QCOMPARE(answers(), QStringList{answer});
        QCOMPARE(editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), long(expected.indexOf(QLatin1Char('|'))));
        QVERIFY(!editor->hasSelectedText());
    }
    // One step to take back.
    editor->undo();
    QCOMPARE(editor->text(), QString(text).remove(QLatin1Char('|')));
}

void TestSearch::ctrlFRunsTheDialogOnTheEditor()
{
    editor->setText(QStringLiteral("touchClick(1,2)\r\ntouchClick(3,4)"));
    editor->setCursorPosition(0, 0);
    QAction *search = window->findChild<QAction *>(QStringLiteral("action_edit_search"));
    QCOMPARE(search->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    // Menu entries line up: none starts or ends with a space.
    for (const QAction *action : window->findChildren<QAction *>())
        QVERIFY2(action->text() == action->text().trimmed(), qPrintable(action->objectName()));

    // The dialog stays open beside the editor, which the author can go on editing.
    search->trigger();
    auto *dialog = window->findChild<SearchDialog *>();
    QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
    auto press = [dialog](const char *button) {
        dialog->findChild<QPushButton *>(QLatin1String(button))->click();
        return dialog->findChild<QLabel *>(QStringLiteral("labTip"))->text();
    };
    dialog->findChild<QLineEdit *>(QStringLiteral("leText"))->setText(QStringLiteral("nothing"));
    QCOMPARE(press("pbSearch"), kNotFound);
    dialog->findChild<QLineEdit *>(QStringLiteral("leText"))->setText(QStringLiteral("touchClick"));
    QCOMPARE(press("pbSearch"), QString());
    dialog->findChild<QLineEdit *>(QStringLiteral("leRepText"))->setText(QStringLiteral("touchDown"));
    QCOMPARE(press("pbReplaceAll"), QStringLiteral("共2处被替换"));
    QCOMPARE(editor->text(), QStringLiteral("touchDown(1,2)\r\ntouchDown(3,4)"));
    search->trigger();
    QCOMPARE(window->findChildren<SearchDialog *>().size(), 1); // the same one, brought to the front

    // Closed, it is gone; a new opening starts with the word at the caret, or the text selected
    // on one line (escaped for a regular expression), or as it was.
    dialog->close();
    QTRY_VERIFY(!window->findChild<SearchDialog *>());
    editor->setCursorPosition(1, 3);
    search->trigger();
    dialog = window->findChild<SearchDialog *>();
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("leText"));
    QCOMPARE(field->text(), QStringLiteral("touchDown"));
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("leRepText"))->text(), QString());
    editor->setSelection(1, 9, 1, 14);
    dialog->findChild<QCheckBox *>(QStringLiteral("cbIsReg"))->setChecked(true);
    search->trigger();
    QCOMPARE(field->text(), QStringLiteral("\\(3,4\\)"));
    editor->setSelection(0, 2, 1, 2);
    search->trigger();
    QCOMPARE(field->text(), QStringLiteral("\\(3,4\\)"));
}

void TestSearch::projectSearchRegularExpression()
{
    TestWorkspace ws;
    ws.writeFile(QStringLiteral("p/main.script"), "function main()\r\n\tTouchClick(1, 2)\r\nend\r\n");
    ws.writeFile(QStringLiteral("p/lib/util.lua"), "local x = touchClick(3, 4) touchClick(5, 6)\nreturn x");
    ws.writeFile(QStringLiteral("p/notes.txt"), "touchClick\n");
    ws.writeFile(QStringLiteral("p/shot.bmp"), "touchClick(7, 8)\n");
    ProjectSearch search;
    QSignalSpy results(&search, &ProjectSearch::signal_results);
    QSignalSpy finished(&search, &ProjectSearch::signal_finished);
    // Case-insensitive, anchored at the line end of CR LF lines, one result per line.
    const Result<int> id = search.start(ws.absolute(QStringLiteral("p")), QStringLiteral("touchclick\\(\\d, \\d\\)$"), {true, false});
    QVERIFY(id.ok());
    QVERIFY(finished.wait());
    QStringList lines;
    for (const QList<QVariant> &batch : qAsConst(results)) {
        QCOMPARE(batch.at(0).toInt(), id.value());
        for (const Diagnostic &found : batch.at(1).value<QVector<Diagnostic>>())
            lines << QStringLiteral("%1 -> %2 %3").arg(found.message, found.path).arg(found.line);
    }
    QCOMPARE(lines, (QStringList{"lib/util.lua:1: local x = touchClick(3, 4) touchClick(5, 6) -> lib/util.lua 1",
                                 "main.script:2: TouchClick(1, 2) -> main.script 2"}));
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("共找到2个结果（2个文件）"));
}

void TestSearch::projectSearchInvalidExpression()
{
    ProjectSearch search;
    QSignalSpy finished(&search, &ProjectSearch::signal_finished);
    const Result<int> id = search.start(QDir::tempPath(), QStringLiteral("touchClick(("), {true, true});
    QVERIFY(!id.ok());
    QVERIFY2(id.error().startsWith(QStringLiteral("正则表达式有误：")), qPrintable(id.error()));
    QVERIFY(id.error().endsWith(QStringLiteral("（第13个字符处）")));
    QVERIFY(!search.start(QDir::tempPath(), QString(), {}).ok());
    QTest::qWait(50);
    QCOMPARE(finished.count(), 0);
}

void TestSearch::nextProjectSearchCancelsTheRunning()
{
    TestWorkspace ws;
    for (int i = 0; i < 50; ++i)
        ws.writeFile(QStringLiteral("p/s%1.lua").arg(i), QByteArray("sleep(1)\n").repeated(2000));
    ProjectSearch search;
    QSignalSpy results(&search, &ProjectSearch::signal_results);
    QSignalSpy finished(&search, &ProjectSearch::signal_finished);
    const int first = search.start(ws.absolute(QStringLiteral("p")), QStringLiteral("sleep"), {}).value();
    const int second = search.start(ws.absolute(QStringLiteral("p")), QStringLiteral("s49.lua"), {}).value();
    QVERIFY(first != second);
    QVERIFY(finished.wait());
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().at(0).toInt(), second);
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("共找到0个结果（0个文件）"));
    QCOMPARE(results.count(), 0);
}

void TestSearch::projectSearchSeesUnsavedText()
{
    const QString project = workspace->makeProject(QStringLiteral("p"));
    workspace->writeFile(QStringLiteral("工程目录/p/lib.lua"), "-- 标记 on disk\r\nx = 1\r\n");
    window->updateProjectTree();
    window->setActiveProject(QStringLiteral("p"));
    ScriptEditor *lib = window->scripts().open(project + QStringLiteral("/lib.lua"));
    QVERIFY(lib);
    // Unsaved: two lines in front, the marked line changed.
    lib->setText(QStringLiteral("\r\n\r\n-- 标记 unsaved\r\nx = 1\r\n"));

    QSignalSpy found(&window->searches(), &SearchCommands::signal_diagnostic);
    QSignalSpy lines(&window->searches(), &SearchCommands::signal_output);
    window->searches().slot_projectSearch(QStringLiteral("标记"), false, false);
    QTRY_VERIFY(!lines.isEmpty() && lines.last().at(0).toString().startsWith(QStringLiteral("共找到")));
    QCOMPARE(found.count(), 1);
    const Diagnostic result = found.first().at(0).value<Diagnostic>();
    QCOMPARE(result.message, QStringLiteral("lib.lua:3: -- 标记 unsaved"));
    QCOMPARE(result.line, 3);
    QCOMPARE(workspace->readFile(QStringLiteral("工程目录/p/lib.lua")), QByteArray("-- 标记 on disk\r\nx = 1\r\n"));
}

void TestSearch::replaceMatches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("re");
    QTest::addColumn<bool>("cs");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text, any case") << "Touch touch" << "touch" << "tap" << false << false << "tap tap";
    QTest::newRow("text, case kept") << "Touch touch" << "touch" << "tap" << false << true << "Touch tap";
    QTest::newRow("replacement holds the text") << "a b a" << "a" << "aa" << false << true << "aa b aa";
    QTest::newRow("groups") << "x=1\r\ny=2" << "(\\w)=(\\d)" << "\\2=\\1" << true << true << "1=x\r\n2=y";
    QTest::newRow("whole match and a backslash") << "a.b" << "\\." << "\\\\\\0" << true << true << "a\\.b";
    QTest::newRow("every line start") << "a\r\nb\r\n" << "^" << "-- " << true << true << "-- a\r\n-- b\r\n";
    QTest::newRow("empty matches everywhere") << "ab" << "x*" << "-" << true << true << "-a-b-";
}

void TestSearch::replaceMatches()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(bool, re);
    QFETCH(bool, cs);
    QFETCH(QString, expected);
    const Result<ProjectReplace::Matcher> matcher = ProjectReplace::matcher(pattern, replacement, {re, cs});
    QVERIFY(matcher.ok());
    QCOMPARE(ProjectReplace::replaced(text, (*matcher)(text)), expected);
}

// Replacing across the project: the changes are listed first; an open script changes in its
// editor, from its unsaved text and as one step to undo, its file untouched; closed files are
// rewritten (a byte-order mark kept); a file that is not UTF-8 is left out and said to be.
void TestSearch::replaceAcrossTheProject()
{
    const QString project = workspace->makeProject(QStringLiteral("p"));
    workspace->writeFile(QStringLiteral("工程目录/p/open.lua"), "tap(1)\r\n");
    workspace->writeFile(QStringLiteral("工程目录/p/lib/closed.lua"), "\xEF\xBB\xBFtap(2) tap(3)\r\nx = 1\r\n");
    workspace->writeFile(QStringLiteral("工程目录/p/notes.txt"), "nothing here\r\n");
    workspace->writeFile(QStringLiteral("工程目录/p/old.lua"), "tap(4) -- \xC4\xE3\r\n");
    window->setActiveProject(QStringLiteral("p"));
    ScriptEditor *open = window->scripts().open(project + QStringLiteral("/open.lua"));
    open->append(QStringLiteral("tap(5)"));

    window->searches().showProjectSearch();
    auto *dialog = window->findChild<ProjectSearchDialog *>();
    dialog->findChild<QLineEdit *>(QStringLiteral("leText"))->setText(QStringLiteral("tap"));
    dialog->findChild<QLineEdit *>(QStringLiteral("leRepText"))->setText(QStringLiteral("touchClick"));
    QStringList listed;
    QString summary;
    ModalAnswerer::whenDialog<ReplacePreviewDialog>([&](ReplacePreviewDialog *preview) {
        summary = preview->findChild<QLabel *>(QStringLiteral("labSummary"))->text();
        for (QTreeWidgetItemIterator it(preview->findChild<QTreeWidget *>()); *it; ++it)
            listed << QStringList{(*it)->text(0), (*it)->text(1), (*it)->text(2)}.join(QLatin1Char('|')).remove(QRegularExpression(QStringLiteral("\\|+$")));
        QVERIFY(preview->findChild<QLabel *>(QStringLiteral("labPassedOver"))->text().contains(QStringLiteral("old.lua")));
        preview->accept();
    });
    dialog->findChild<QPushButton *>(QStringLiteral("pbReplaceAll"))->click();
    QTRY_VERIFY(!summary.isEmpty());
    QVERIFY2(summary.contains(QStringLiteral("共4处（2个文件）")), qPrintable(summary));
    QCOMPARE(listed, (QStringList{"lib/closed.lua（2处）", "1|tap(2) tap(3)|touchClick(2) touchClick(3)",
                                  "open.lua（2处，已打开）", "1|tap(1)|touchClick(1)", "2|tap(5)|touchClick(5)"}));

    QCOMPARE(open->text(), QStringLiteral("touchClick(1)\r\ntouchClick(5)"));
    QCOMPARE(workspace->readFile(QStringLiteral("工程目录/p/open.lua")), QByteArray("tap(1)\r\n"));
    open->undo();
    QCOMPARE(open->text(), QStringLiteral("tap(1)\r\ntap(5)"));
    QCOMPARE(workspace->readFile(QStringLiteral("工程目录/p/lib/closed.lua")),
             QByteArray("\xEF\xBB\xBFtouchClick(2) touchClick(3)\r\nx = 1\r\n"));
    QCOMPARE(workspace->readFile(QStringLiteral("工程目录/p/old.lua")), QByteArray("tap(4) -- \xC4\xE3\r\n"));
    QTRY_VERIFY(window->form()->outText->toPlainText().endsWith(QStringLiteral("共替换4处（2个文件），1个文件未替换")));
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
