// The main window: title, menus, output panes, status line, closing and the about box.
#include "app/ui/AboutDialog.h"
#include "app/ui/ProjectManagerWindow.h"
#include "support/ModalAnswerer.h"
#include "support/TestWorkspace.h"
#include "ui_ProjectManagerWindow.h"

#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include "common/ui/LogView.h"
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void titleAndStatus();
    void menuBarOrder();
    void actions_data();
    void actions();
    void unlistedActionsAreInactive();
    void outputOperations();
    void outputIsPlainText();
    void editCommandsActOnTheFocusedPane();
    void closeAsksFirst();
    void aboutDialog();
};

void TestMainWindow::titleAndStatus()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Kestrun开发平台 v1.1.1"));
    QCOMPARE(mainWindow, &window);
    const QList<QLabel *> labels = window.statusBar()->findChildren<QLabel *>();
    QVERIFY(std::any_of(labels.begin(), labels.end(),
                        [](QLabel *l) { return l->text() == QStringLiteral("无任何连接。"); }));
    QCOMPARE(window.form()->outTabWidget->currentIndex(), 0);
    QCOMPARE(window.form()->outTabWidget->tabText(0), QStringLiteral("本地输出"));
    QCOMPARE(window.form()->outTabWidget->tabText(1), QStringLiteral("远程调试"));
    // The workspace is made by the first pass of the tree.
    QVERIFY(QFileInfo(ws.absolute(QStringLiteral("工程目录"))).isDir());
}

void TestMainWindow::menuBarOrder()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    QStringList titles;
    for (QAction *action : window.menuBar()->actions())
        titles << action->menu()->objectName() + QLatin1Char('=') + action->text();
    QCOMPARE(titles, (QStringList{"menu=工程", "menu_23=编辑", "menu_2=图像工具", "menu_4=构建脚本",
                                  "menu_9=连接管理", "menu_8=插入", "menu_6=教程", "menu_7=帮助"}));

    QStringList library;
    for (QAction *action : window.findChild<QMenu *>(QStringLiteral("menu_10"))->actions())
        library << action->menu()->objectName() + QLatin1Char('=') + action->text();
    QCOMPARE(library, (QStringList{"menu_11=模拟触摸", "menu_12=模拟键盘", "menu_13=颜色相关", "menu_14=寻图函数",
                                   "menu_21=调试相关", "menu_16=进程管理", "menu_15=系统相关", "menu_20=设备相关",
                                   "menu_19=兼容模式", "menu_22=网络相关", "menu_17=截图到文件", "menuUI=UI函数",
                                   "menu_24=输入法相关", "menu_18=其他函数"}));
}

void TestMainWindow::actions_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("new") << "menu" << "new_project_action" << "新建工程" << "Ctrl+N" << "新建一个工程";
    QTest::newRow("save") << "menu" << "save_project_action" << "保存" << "Ctrl+S" << "保存";
    QTest::newRow("open dir") << "menu" << "open_project_dir_action" << "打开工程目录" << "Ctrl+O" << "";
    QTest::newRow("exit") << "menu" << "exit_action" << "退出" << "Ctrl+E" << "退出";
    QTest::newRow("search") << "menu_23" << "action_edit_search" << " 搜索" << "Ctrl+F" << "";
    QTest::newRow("rect") << "menu_2" << "screencap_rect_action" << "矩形截屏" << "Ctrl+R" << "指定矩形范围内截屏";
    QTest::newRow("remote screen") << "menu_2" << "remote_screen_action" << "远程屏幕" << "" << "";
    QTest::newRow("image editor") << "menu_2" << "action_image_editor" << "图片编辑器" << "" << "";
    QTest::newRow("check") << "menu_4" << "syntax_check_action" << "脚本检错" << "F5" << "脚本检错";
    QTest::newRow("compile") << "menu_4" << "compile_project_action" << "编译工程" << "F6"
                             << "编译当前活动工程，编译会将工程所有的相关图片、脚本、文件打包加密在一起。";
    QTest::newRow("import") << "menu_4" << "remote_import_action" << "远程导入" << "F7" << "";
    QTest::newRow("connections") << "menu_9" << "action_connection_manager" << "连接管理" << "" << "";
    QTest::newRow("usb") << "menu_9" << "action_USB_connect" << "开启本地USB端口映射" << "" << "";
    QTest::newRow("tutorial") << "menu_6" << "action_bbs_tutorial" << "官网教程" << "F1" << "";
    QTest::newRow("docs") << "menu_6" << "action_kestrun_docs" << "Kestrun教程" << "" << "";
    QTest::newRow("usb how") << "menu_6" << "action_how_use_usb_for_remote_connect" << "如何使用USB进行远程连接" << "" << "";
    QTest::newRow("log how") << "menu_6" << "action_5" << "如何记录日志" << "" << "";
    QTest::newRow("debug how") << "menu_6" << "action_9" << "如何进行远程调试" << "" << "";
    QTest::newRow("about") << "menu_7" << "action_about" << "关于..." << "" << "";
    QTest::newRow("forum") << "menu_7" << "action_bbs" << "官方论坛" << "" << "";
}

void TestMainWindow::actions()
{
    QFETCH(QString, menu);
    QFETCH(QString, object);
    QFETCH(QString, text);
    QFETCH(QString, shortcut);
    QFETCH(QString, toolTip);
    TestWorkspace ws;
    ProjectManagerWindow window;
    auto *action = window.findChild<QAction *>(object);
    QVERIFY(action);
    QVERIFY(window.findChild<QMenu *>(menu)->actions().contains(action));
    QCOMPARE(action->text(), text);
    QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    if (!toolTip.isEmpty())
        QCOMPARE(action->toolTip(), toolTip);
}

void TestMainWindow::unlistedActionsAreInactive()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    // Declared by the form but in no menu: their shortcuts (F8, a second Ctrl+F) must not fire.
    for (const char *name : {"action_3", "action_4", "action_6", "action_7", "open_directory_action", "actionAPI",
                             "actionLua", "action", "action_14", "action_10", "action_13", "action_lua_doc"}) {
        auto *action = window.findChild<QAction *>(QLatin1String(name));
        QVERIFY2(action, name);
        QVERIFY2(action->associatedWidgets().isEmpty(), name);
    }
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("action"))->text(), QStringLiteral("自由截屏"));
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

    window.appendError(QStringLiteral("bad"));
    QCOMPARE(tabs->currentIndex(), 1); // an error line does not switch tabs
    window.appendOutput(QStringLiteral("line"));
    QCOMPARE(tabs->currentIndex(), 0);
    window.out(QStringLiteral("from import"));
    window.appendOutput("utf8 文本");
    QCOMPARE(local->toPlainText(), QStringLiteral("错误：bad\nline\nfrom import\nutf8 文本"));
    QCOMPARE(local->document()->blockCount(), 4);

    window.debugOut(QStringLiteral("log 2"));
    QTRY_COMPARE(remote->toPlainText(), QStringLiteral("log 1\nlog 2"));
    window.clearOutput();
    QCOMPARE(local->toPlainText(), QString());
    QCOMPARE(remote->toPlainText(), QStringLiteral("log 1\nlog 2"));
}

void TestMainWindow::outputIsPlainText()
{
    TestWorkspace ws;
    ProjectManagerWindow window;
    window.appendError(QStringLiteral("脚本编译出错...\r\n错误代码：3"));
    window.appendOutput(QStringLiteral("'end' expected near <eof> & <b>x</b>"));
    QCOMPARE(window.form()->outText->toPlainText(),
             QStringLiteral("错误：脚本编译出错...\n错误代码：3\n'end' expected near <eof> & <b>x</b>"));
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
    QString title;
    QString text;
    ModalAnswerer::answerMessageBox(QMessageBox::No, &title, &text);
    window.form()->exit_action->trigger();
    QCOMPARE(title, QStringLiteral("退出Kestrun开发平台"));
    QCOMPARE(text, QStringLiteral("是否要退出Kestrun开发平台？"));
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
    QString title;
    ModalAnswerer::whenDialog<AboutDialog>([&](AboutDialog *dialog) {
        version = dialog->findChild<QLabel *>(QStringLiteral("labVersion"))->text();
        title = dialog->windowTitle();
        dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    });
    window.form()->action_about->trigger();
    QCOMPARE(version, QStringLiteral("1.1.1"));
    QCOMPARE(title, QStringLiteral("关于Kestrun开发平台"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
