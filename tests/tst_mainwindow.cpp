// The main window: start-up, inactive form actions, output panes, edit commands, closing and the
// about box.
#include "app/AppInfo.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/ProjectManagerWindow.h"
#include "common/ui/LogView.h"
#include "support/ModalAnswerer.h"
#include "support/TestWorkspace.h"
#include "ui_ProjectManagerWindow.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
