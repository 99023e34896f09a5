// The main window: start-up and the command line, output operations, edit commands, closing
// (asked only when something would be lost) and the about box.
#include "app/AppInfo.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/BuildCommands.h"
#include "app/ui/ProjectManagerWindow.h"
#include "common/ui/LogView.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "support/ModalAnswerer.h"
#include "support/TestWorkspace.h"
#include "support/ToolRun.h"
#include "ui_ProjectManagerWindow.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void commandLineWithoutADisplay_data();
    void commandLineWithoutADisplay();
    void outputOperations();
    void editCommandsActOnTheFocusedPane();
    void editorContextMenuIsTheEditMenu();
    void closingAsksOnlyWhatWouldBeLost_data();
    void closingAsksOnlyWhatWouldBeLost();
    void aboutDialog();
};

void TestMainWindow::commandLineWithoutADisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("printed"); // the start of what it prints
    QTest::newRow("version") << "--version" << QStringLiteral("kestrun-ide ") + QString::fromUtf8(AppInfo::kVersion) + "\n";
    QTest::newRow("help") << "--help" << "Usage: kestrun-ide";
}

void TestMainWindow::commandLineWithoutADisplay()
{
    QFETCH(QString, option);
    QFETCH(QString, printed);
    // No display and no platform named: a window could not even be made.
    ScopedEnvironment display("DISPLAY", QByteArray());
    ScopedEnvironment platform("QT_QPA_PLATFORM", QByteArray());
    const ToolRun run = ToolRun::of({QStringLiteral(KESTRUN_IDE), option}, 10000);
    QCOMPARE(run.exitCode, 0);
    // Line ends as the system writes them.
    QVERIFY2(QString::fromUtf8(run.out).remove(QLatin1Char('\r')).startsWith(printed), run.out.constData());
}

void TestMainWindow::outputOperations()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    // The workspace is made by the first pass of the tree.
    QVERIFY(QFileInfo(ws.absolute(QStringLiteral("工程目录"))).isDir());
    QTabWidget *tabs = window.form()->outTabWidget;
    LogView *local = window.form()->outText;
    LogView *remote = window.form()->remoteLogText;

    window.debugOut(QStringLiteral("log 1"));
    QCOMPARE(tabs->currentIndex(), 1);
    QTRY_COMPARE(remote->toPlainText(), QStringLiteral("log 1")); // shown at the next turn of the loop

    window.appendError(QStringLiteral("脚本编译出错...\r\n错误代码：3"));
    QCOMPARE(tabs->currentIndex(), 1); // an error line does not switch tabs
    window.appendOutput(QStringLiteral("'end' expected near <eof> & <b>x</b>")); // plain text, not markup
    QCOMPARE(tabs->currentIndex(), 0);
    window.out(QStringLiteral("from import"));
    QCOMPARE(local->toPlainText(),
             QStringLiteral("错误：脚本编译出错...\n错误代码：3\n'end' expected near <eof> & <b>x</b>\nfrom import"));

    window.debugOut(QStringLiteral("log 2"));
    QTRY_COMPARE(remote->toPlainText(), QStringLiteral("log 1\nlog 2"));
    window.clearOutput();
    QCOMPARE(local->toPlainText(), QString());
    QCOMPARE(remote->toPlainText(), QStringLiteral("log 1\nlog 2"));
}

void TestMainWindow::editCommandsActOnTheFocusedPane()
{
    TestWorkspace ws;
    ws.writeFile(QStringLiteral("a.lua"), QByteArray());
    ProjectManagerWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    window.appendOutput(QStringLiteral("from the output"));
    ScriptEditor *editor = window.scripts().open(ws.absolute(QStringLiteral("a.lua")));
    editor->setText(QStringLiteral("from the editor"));
    window.form()->outText->setFocus();
    QTRY_VERIFY(window.form()->outText->hasFocus());
    window.form()->action_edit_select_all->trigger();
    window.form()->action_edit_copy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("from the output"));

    // Focus on something without the command: the script takes it.
    window.form()->projectTreeWidget->setFocus();
    QTRY_VERIFY(window.form()->projectTreeWidget->hasFocus());
    editor->selectAll();
    window.form()->action_edit_cut->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("from the editor"));
    QCOMPARE(editor->text(), QString());
}

// The editor's context menu holds the edit menu's own actions (Chinese, with the same keys),
// and the keys of the line commands reach the script rather than the editor's own bindings.
void TestMainWindow::editorContextMenuIsTheEditMenu()
{
    TestWorkspace ws;
    ws.writeFile(QStringLiteral("a.lua"), "a()\r\nb()");
    ProjectManagerWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    ScriptEditor *editor = window.scripts().open(ws.absolute(QStringLiteral("a.lua")));
    QTRY_VERIFY(editor->hasFocus());

    QList<QAction *> shown;
    QTimer::singleShot(0, [&shown] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            shown = popup->actions();
            popup->close();
        }
    });
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5), editor->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(editor->viewport(), &request);
    QList<QAction *> menu = window.form()->menu_23->actions();
    menu = menu.mid(0, menu.indexOf(window.form()->action_edit_search) - 1);
    const auto withoutSeparators = [](QList<QAction *> actions) {
        actions.erase(std::remove_if(actions.begin(), actions.end(), [](const QAction *a) { return a->isSeparator(); }),
                      actions.end());
        return actions;
    };
    QCOMPARE(withoutSeparators(shown), withoutSeparators(menu));
    QCOMPARE(window.form()->action_edit_redo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
    for (const QAction *action : shown)
        QVERIFY2(action->isEnabled(), qPrintable(action->text())); // greyed for the menu only

    QApplication::setActiveWindow(&window); // the closed menu leaves none active offscreen
    editor->setFocus();
    editor->setCursorPosition(1, 0);
    QTest::keyClick(editor, Qt::Key_Slash, Qt::ControlModifier);
    QCOMPARE(editor->text(), QStringLiteral("a()\r\n-- b()"));
    QTest::keyClick(editor, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(editor->text(), QStringLiteral("a()\r\n-- b()\r\n-- b()"));
    QTest::keyClick(editor, Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(editor, Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(editor->text(), QStringLiteral("-- b()\r\na()\r\n-- b()"));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(editor->text(), QStringLiteral("-- b()\r\na()\r\n-- b()"));
}

void TestMainWindow::closingAsksOnlyWhatWouldBeLost_data()
{
    QTest::addColumn<bool>("building");
    QTest::addColumn<int>("answer"); // to the question about the build
    QTest::newRow("nothing to lose") << false << int(QMessageBox::NoButton);
    QTest::newRow("a build runs, stay") << true << int(QMessageBox::No);
    QTest::newRow("a build runs, quit") << true << int(QMessageBox::Yes);
}

void TestMainWindow::closingAsksOnlyWhatWouldBeLost()
{
    QFETCH(bool, building);
    QFETCH(int, answer);
    TestWorkspace ws;
    ws.makeProject(QStringLiteral("p"));
    // Enough to keep a check busy well past the question.
    for (int i = 0; i < 200; ++i)
        ws.writeFile(QStringLiteral("工程目录/p/s%1.lua").arg(i), QByteArray("t = {1, 2, 3}\n").repeated(500));
    ProjectManagerWindow window;
    window.show();
    if (building)
        QVERIFY(window.builds().check().ok());
    QString question;
    ModalAnswerer::whenModal([](QWidget *) { return true; }, [&question, answer](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        question = box ? box->text() : QStringLiteral("(a dialog)");
        if (box)
            box->button(QMessageBox::StandardButton(answer))->click();
        else
            modal->close();
    }, 300);
    window.form()->exit_action->trigger();
    if (!building)
        QTest::qWait(400); // the answerer has given up: nothing was asked
    QCOMPARE(question.contains(QStringLiteral("正在编译")), building);
    QCOMPARE(question.isEmpty(), !building);
    QCOMPARE(window.isVisible(), answer == QMessageBox::No);
    QCOMPARE(window.builds().isRunning(), answer == QMessageBox::No);
}

void TestMainWindow::aboutDialog()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    QString version;
    ModalAnswerer::whenDialog<AboutDialog>([&version](AboutDialog *dialog) {
        version = dialog->findChild<QLabel *>(QStringLiteral("labVersion"))->text();
        dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    });
    window.form()->action_about->trigger();
    QCOMPARE(version, QString::fromUtf8(AppInfo::kVersion));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
