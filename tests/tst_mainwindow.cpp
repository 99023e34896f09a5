// The main window: start-up, inactive form actions, output panes (and the pane itself: bounded
// messages and line count, batches shown in order), edit commands, closing and the about box.
#include "app/AppInfo.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/ProjectManagerWindow.h"
#include "common/LogQueue.h"
#include "common/ui/LogView.h"
#include "support/ModalAnswerer.h"
#include "support/TestWorkspace.h"
#include "ui_ProjectManagerWindow.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void startUp();
    void outputOperations();
    void editCommandsActOnTheFocusedPane();
    void closeAsksFirst();
    void aboutDialog();

    void boundedMessage_data();
    void boundedMessage();
    void lineEndsAndLongLines();
    void queueKeepsTheNewest();
    void paneKeepsTheNewestLinesInOrder();
};

void TestMainWindow::startUp()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    QCOMPARE(mainWindow, &window);
    // The workspace is made by the first pass of the tree.
    QVERIFY(QFileInfo(ws.absolute(QStringLiteral("工程目录"))).isDir());
    // Declared by the form but in no menu: their shortcuts (F8, a second Ctrl+F) must not fire.
    for (const char *name : {"action_3", "action_4", "action_6", "action_7", "open_directory_action", "actionAPI",
                             "actionLua", "action", "action_14", "action_10", "action_13", "action_lua_doc"})
        QVERIFY2(window.findChild<QAction *>(QLatin1String(name))->associatedWidgets().isEmpty(), name);
}

void TestMainWindow::outputOperations()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
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
    ProjectManagerWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    window.appendOutput(QStringLiteral("from the output"));
    window.scriptEditor()->setText(QStringLiteral("from the editor"));
    window.form()->outText->setFocus();
    QTRY_VERIFY(window.form()->outText->hasFocus());
    window.form()->action_edit_select_all->trigger();
    window.form()->action_edit_copy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("from the output"));

    // Focus on something without the command: the script takes it.
    window.form()->projectTreeWidget->setFocus();
    QTRY_VERIFY(window.form()->projectTreeWidget->hasFocus());
    window.scriptEditor()->selectAll();
    window.form()->action_edit_cut->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("from the editor"));
    QCOMPARE(window.scriptEditor()->text(), QString());
}

void TestMainWindow::closeAsksFirst()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    window.show();
    ModalAnswerer::answerMessageBox(QMessageBox::No);
    window.form()->exit_action->trigger();
    QVERIFY(window.isVisible());
    ModalAnswerer::answerMessageBox(QMessageBox::Yes);
    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
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

// ---- The output panes themselves: bounded messages, bounded line count, batches in order -----

void TestMainWindow::boundedMessage_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    const int max = LogQueue::kMaxMessageBytes;
    QTest::newRow("exactly the limit") << QString(max, 'x') << QString(max, 'x');
    QTest::newRow("one byte over") << QString(max + 1, 'x') << QString(max, 'x') + "…（已截断1字节）";
    // 汉 is three bytes: the cut falls before a character that would not fit whole.
    QTest::newRow("multi-byte boundary") << QString(max - 2, 'x') + "汉汉" << QString(max - 2, 'x') + "…（已截断6字节）";
    // An emoji is a surrogate pair of four bytes; it is never split.
    QTest::newRow("surrogate pair") << QString(max - 3, 'x') + QString::fromUtf8("😀")
                                    << QString(max - 3, 'x') + "…（已截断4字节）";
}

void TestMainWindow::boundedMessage()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    // Long lines are broken into several; what is kept is the same.
    const QString bounded = LogQueue::bounded(message);
    for (const QString &line : bounded.split(QLatin1Char('\n')))
        QVERIFY(line.size() <= LogQueue::kMaxLineCharacters);
    QCOMPARE(QString(bounded).remove(QLatin1Char('\n')), shown);
}

void TestMainWindow::lineEndsAndLongLines()
{
    QCOMPARE(LogQueue::bounded(QStringLiteral("a\r\nb\rc")), QStringLiteral("a\nb\nc"));
    const int max = LogQueue::kMaxLineCharacters;
    QCOMPARE(LogQueue::bounded(QString(max * 2 + 5, 'x') + "\ny"),
             QString(max, 'x') + "\n" + QString(max, 'x') + "\n" + QString(5, 'x') + "\ny");
    // A surrogate pair across the break stays whole on the next line.
    const QString emoji = QString::fromUtf8("😀");
    QCOMPARE(LogQueue::bounded(QString(max - 1, 'x') + emoji), QString(max - 1, 'x') + emoji);
    QCOMPARE(LogQueue::bounded(QString(max, 'x') + emoji), QString(max, 'x') + "\n" + emoji);
}

void TestMainWindow::queueKeepsTheNewest()
{
    LogQueue queue(3, 1000);
    for (const char *m : {"1", "2\n3", "4", "5"})
        queue.push(QString::fromLatin1(m));
    QCOMPARE(queue.take(2).text, QStringLiteral("4\n5")); // "1" and "2\n3" were beyond three lines
    QVERIFY(queue.isEmpty());
    LogQueue bytes(100, 4);
    bytes.push(QStringLiteral("abc"));
    bytes.push(QStringLiteral("de"));
    QCOMPARE(bytes.take(10).text, QStringLiteral("de"));
}

void TestMainWindow::paneKeepsTheNewestLinesInOrder()
{
    LogView view;
    const int total = LogView::kMaxLines + 500;
    for (int i = 0; i < total; ++i)
        view.appendMessage(QString::number(i));
    QTRY_COMPARE(view.document()->lastBlock().text(), QString::number(total - 1));
    QCOMPARE(view.document()->blockCount(), LogView::kMaxLines);
    QCOMPARE(view.document()->firstBlock().text(), QString::number(total - LogView::kMaxLines));
    view.clearMessages();
    QCOMPARE(view.toPlainText(), QString());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
