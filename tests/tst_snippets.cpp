// The insert menus, the caret after an inserted snippet, the help and tool menus, and the
// completion list that goes with the snippets.
#include "common/Platform.h"
#include "app/ui/ProjectManagerWindow.h"
#include "editor/HelpPages.h"
#include "editor/ApiWords.h"
#include "editor/SnippetCatalogue.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestWorkspace.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

class TestSnippets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void catalogueEntryInsertsItsText_data();
    void catalogueEntryInsertsItsText();
    void insertMenusHoldOnlyTheCatalogue();
    void caretAfterInsertion_data();
    void caretAfterInsertion();
    void insertingMarksTheEditorModified();

    void helpPagesOpen();
    void helpFailuresSayWhy_data();
    void helpFailuresSayWhy();
    void helpNotices_data();
    void helpNotices();
    void usbForwardingStartsTheScript();

    void completionListCoversTheApi();

private:
    // One window serves the 94 rows of the catalogue test.
    std::unique_ptr<TestWorkspace> sharedWorkspace;
    std::unique_ptr<ProjectManagerWindow> sharedWindow;
};

void TestSnippets::initTestCase()
{
    sharedWorkspace = std::make_unique<TestWorkspace>();
    sharedWindow = std::make_unique<ProjectManagerWindow>();
}

void TestSnippets::cleanupTestCase()
{
    sharedWindow.reset();
    sharedWorkspace.reset();
}

void TestSnippets::cleanup()
{
    Platform::setUrlOpenerForTesting(nullptr);
}

// ---- Insert menus -------------------------------------------------------------------------

void TestSnippets::catalogueEntryInsertsItsText_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    auto row = [](const char *object, const char *menu, const char *label, const char *text) {
        QTest::newRow(object) << QString::fromUtf8(menu) << QString::fromUtf8(label) << QString::fromUtf8(text);
    };
    row("endless_loop_code", "menu_5", "无限循环", "while true do\r\n\t--此处写入你的循环代码\r\n\r\nend\r\n");
    row("action_if_code", "menu_5", "条件判断", "if [条件表达式] then\r\n\t--此处写入当条件成立时要执行的代码\r\n\r\nelse\r\n\t--此处写入当条件不成立时要执行的代码\r\n\r\nend\r\n");
    row("action_function_define", "menu_5", "函数定义", "function myfun()\r\n\t--此处写入函数代码\r\n\r\nend\r\n");
    row("action_for_loop_code", "menu_5", "for循环", "for [变量]=[初始值],[终止值],[步长] do\r\n\t--这里写入你的循环代码\r\n\r\nend\r\n");
    row("action_while_loop", "menu_5", "while循环", "while [条件表达式] do\r\n\t--这里写入你的循环代码\r\n\r\nend\r\n");
    row("action_repate_loop", "menu_5", "repeat循环", "repeat\r\n\t--这里写入你的循环代码\r\n\r\nuntil [条件表达式]\r\n");
    row("action_for_in_loop", "menu_5", "for..in循环", "for v in [集合] do\r\n\t--这里写入你的循环代码\r\n\r\nend\r\n");
    row("action_break", "menu_5", "跳出循环", "break\r\n");
    row("action_insert_fun_touchClick", "menu_11", "触摸点击", "touchClick(x,y)\r\n");
    row("action_insert_fun_touchDown", "menu_11", "触摸按下", "touchDown(x,y)\r\n");
    row("action_insert_fun_touchMove", "menu_11", "触摸滑动", "touchMove(x,y)\r\n");
    row("action_insert_fun_touchUp", "menu_11", "触摸弹起", "touchUp()\r\n");
    row("action_insert_fun_touchClickRandom", "menu_11", "随机触摸点击", "touchClickRandom(x,y,10)\r\n");
    row("action_insert_fun_touchDownRandom", "menu_11", "随机触摸按下", "touchDownRandom(x,y,10)\r\n");
    row("action_insert_fun_touchMoveRandom", "menu_11", "随机触摸滑动", "touchMoveRandom(x,y,10)\r\n");
    row("action_insert_fun_inputText", "menu_12", "输入文本", "input(\"hello\")\r\n");
    row("action_insert_fun_inputKey", "menu_12", "模拟按键", "input(k)\r\n");
    row("action_insert_fun_getColorRGB", "menu_13", "获取颜色RBG", "local r,g,b = getColorRGB(x,y)\r\n");
    row("action_insert_fun_RGB", "menu_13", "RGB颜色合成", "RGB(r,g,b)");
    row("action_insert_fun_getColor", "menu_13", "获取颜色", "local color = getColor(x,y)\r\n");
    row("action_insert_fun_isColorFuzzy", "menu_13", "模糊判色", "isColor(x,y,90)");
    row("action_insert_fun_isColor", "menu_13", "判断颜色", "isColor(x,y)");
    row("action_insert_fun_findColor", "menu_13", "寻找颜色", "local x,y = findColor(color)\r\n");
    row("action_insert_fun_findColorRect", "menu_13", "范围寻色", "local x,y = findColor(color,x1,y1,x2,y2)\r\n");
    row("action_insert_fun_findColorFuzzyRect", "menu_13", "范围模糊寻色", "local x,y = findColorFuzzy(color,90,x1,y1,x2,y2)\r\n");
    row("action_insert_fun_findColorFuzzy", "menu_13", "模糊寻色", "local x,y = findColorFuzzy(color,90)\r\n");
    row("action_insert_fun_findImage", "menu_14", "普通寻图", "local flag,x,y = findImage(\"[图片路径]\")\r\n");
    row("action_insert_fun_findImageRect", "menu_14", "范围寻图", "local flag,x,y = findImage(\"[图片路径]\",x1,y1,x2,y2)\r\n");
    row("action_insert_fun_findImageFuzzy", "menu_14", "模糊寻图", "local flag,x,y = findImageFuzzy(\"[图片路径]\",90)\r\n");
    row("action_insert_fun_findImageFuzzyRect", "menu_14", "范围模糊寻图", "local flag,x,y = findImageFuzzy(\"[图片路径]\",90,x1,y1,x2,y2)\r\n");
    row("action_insert_fun_findImageIrregular", "menu_14", "不规则寻图", "local flag,x,y = findImageIrregular(\"[图片路径]\",[背景色])\r\n");
    row("action_insert_fun_findImageIrregularRect", "menu_14", "范围不规则寻图", "local flag,x,y = findImageIrregular(\"[图片路径]\",[背景色],x1,y1,x2,y2)\r\n");
    row("action_insert_fun_findImageIrregularFuzzy", "menu_14", "模糊不规则寻图", "local flag,x,y = findImageFuzzyIrregular(\"[图片路径]\",90,[背景色])\r\n");
    row("action_insert_fun_findImageIrregularFuzzyRect", "menu_14", "范围模糊不规则寻图", "local flag,x,y = findImageFuzzyIrregular(\"[图片路径]\",90,[背景色],x1,y1,x2,y2)\r\n");
    row("action_insert_fun_clickImage", "menu_14", "点击图片", "clickImage(\"[图片路径]\")\r\n");
    row("action_insert_fun_getResolutionRatio", "menu_15", "获取屏幕分辨率", "local w,h = getResolutionRatio()\r\n");
    row("action_insert_fun_getBitsPerPixel", "menu_15", "获取屏幕色位", "local bits = getBitsPerPixel()\r\n");
    row("action_start_thread", "menu_15", "启动线程", "startThread(\"my_thread\")\r\n");
    row("action_startTimer", "menu_15", "启动定时器", "local tid = startTimer(\"my_timer\",5000,5000)\r\n");
    row("action_stopTimer", "menu_15", "停止定时器", "startTimer(tid)\r\n");
    row("action_globalLock", "menu_15", "全局锁定", "globalLock()\r\n");
    row("action_globalUnlock", "menu_15", "全局解锁", "globalUnlock()\r\n");
    row("action_tryGlobalLock", "menu_15", "尝试全局锁定", "tryGlobalLock()\r\n");
    row("action_insert_fun_startApp", "menu_16", "启动指定应用", "startApp(\"[应用包名]\")\r\n");
    row("action_insert_fun_kill", "menu_16", "结束一个应用", "kill(\"[应用包名]\")\r\n");
    row("action_insert_fun_findApp", "menu_16", "查找应用是否安装", "findApp(\"[应用包名]\")\r\n");
    row("action_insert_fun_isRunning", "menu_16", "判断应用是否正在运行", "isRunning(\"[应用包名]\")\r\n");
    row("action_insert_fun_pauseApp", "menu_16", "暂停指定进程", "pauseApp(\"[应用包名]\")\r\n");
    row("action_insert_fun_resumeApp", "menu_16", "恢复指定进程", "resumeApp(\"[应用包名]\")\r\n");
    row("action_insert_fun_toast", "menu_21", "弹出文本提示", "toast(\"hello\")\r\n");
    row("action_insert_fun_log", "menu_21", "记录日志", "log(\"hello\")\r\n");
    row("action_insert_fun_loge", "menu_21", "记录错误日志", "loge(\"hello\")\r\n");
    row("action_insert_fun_sleep", "menu_18", "延迟", "sleep(1000)\r\n");
    row("action_insert_fun_vibrate", "menu_18", "震动", "vibrate(2000)\r\n");
    row("action_insert_fun_exit", "menu_18", "退出当前脚本", "exit()\r\n");
    row("action_insert_fun_copy", "menu_18", "拷贝文本到剪切板", "copy(\"[要拷贝的文本]\")\r\n");
    row("action_insert_fun_getSDCardPath", "menu_18", "获取SD卡路径", "local path = getSDCardPath()\r\n");
    row("action_insert_fun_include", "menu_18", "包含脚本", "include(\"[脚本相对工程路径]\")\r\n");
    row("action_doString", "menu_18", "执行字符串脚本", "doString(\"toast('hello kestrun')\")\r\n");
    row("action_insert_fun_setCompatMode", "menu_19", "强制设置兼容模式", "setCompatMode(true)\r\n");
    row("action_insert_fun_isCompatMode", "menu_19", "判断当前模式", "isCompatMode()\r\n");
    row("action_insert_fun_setAutoScreencap", "menu_19", "设置截屏方式", "setAutoScreencap(false)\r\n");
    row("action_insert_fun_screencap", "menu_19", "主动截屏", "screencap()\r\n");
    row("action_insert_fun_getWifiMAC", "menu_20", "获取网卡MAC", "getWifiMAC()\r\n");
    row("action_insert_fun_getIMEI", "menu_20", "获取IMEI", "getIMEI()\r\n");
    row("action_insert_fun_getBluetoothMAC", "menu_20", "获取蓝牙MAC", "getBluetoothMAC()\r\n");
    row("action_insert_fun_getAndroidID", "menu_20", "获取AndroidID", "getAndroidID()\r\n");
    row("action_insert_fun_getDeviceInfo", "menu_20", "获取设备信息串", "getDeviceInfo()\r\n");
    row("action_insert_fun_getUDID", "menu_20", "获取UDID", "getUDID()\r\n");
    row("action_getBuildModel", "menu_20", "获取手机型号", "local model = getBuildModel()\r\n");
    row("action_insert_fun_httpGet", "menu_22", "http访问", "local content = httpGet(\"[要访问的网址]\")\r\n");
    row("action_getNetTime", "menu_22", "获取网络时间", "local time,timestamp,year,month,day,hour,minute,second = getNetTime()\r\n");
    row("action_urlParamEncode", "menu_22", "url参数编码", "urlParamEncode(param)");
    row("action_insert_fun_screencapFullToFile", "menu_17", "全屏截图", "screencapToFile(\"[图片保存路径]\")\r\n");
    row("action_insert_fun_screencapRectToFile", "menu_17", "范围截图", "screencapToFile(\"[图片保存路径]\",x1,y1,x2,y2)\r\n");
    row("action_createTextView", "menuUI", "创建静态文本", "createTextView(name,text,width,height)\r\n");
    row("action_createEditText", "menuUI", "创建编辑框", "createEditText(name,text,type,width,height)\r\n");
    row("action_createCheckBox", "menuUI", "创建复选框", "createCheckBox(name,label,checked,width,height)\r\n");
    row("action_createRadioBox", "menuUI", "创建单选框", "createRadioBox(name,label,checked,width,height)\r\n");
    row("action_createButton", "menuUI", "创建按钮", "createButton(name,label,callback,width,height)\r\n");
    row("action_createWindow", "menuUI", "创建扩展窗口", "createWindow(windowName,width,height)\r\n");
    row("action_newLine", "menuUI", "UI换行", "newLine(windowName)\r\n");
    row("action_getText", "menuUI", "获取文本", "getText(windowName,name)\r\n");
    row("action_setText", "menuUI", "设置文本", "setText(windowName,name,text)\r\n");
    row("action_setChecked", "menuUI", "设置选中", "setChecked(windowName,name,checked)\r\n");
    row("action_getChecked", "menuUI", "获取选中", "getChecked(windowName,name)\r\n");
    row("action_createWebView", "menuUI", "创建WebView", "createWebView(name,html)\r\n");
    row("action_showLoopSetting", "menuUI", "循环设置显示", "showLoopSetting(false)\r\n");
    row("action_ime_input", "menu_24", "输入文本", "input(\"文本内容\")\r\n");
    row("action_ime_inputNext", "menu_24", "输入\"下一步\"", "inputNext()\r\n");
    row("action_ime_inputDone", "menu_24", "输入\"完成\"", "inputDone()\r\n");
    row("action_ime_inputGo", "menu_24", "输入\"去往\"", "inputGo()\r\n");
    row("action_ime_inputSearch", "menu_24", "输入\"搜索\"", "inputSearch()\r\n");
    row("action_ime_inputSend", "menu_24", "输入\"发送\"", "inputSend()\r\n");
}

void TestSnippets::catalogueEntryInsertsItsText()
{
    QFETCH(QString, menu);
    QFETCH(QString, label);
    QFETCH(QString, text);
    ProjectManagerWindow &window = *sharedWindow;
    const QString object = QString::fromLatin1(QTest::currentDataTag());

    auto *action = window.findChild<QAction *>(object);
    QVERIFY(action);
    QCOMPARE(action->text(), label);
    auto *owner = window.findChild<QMenu *>(menu);
    QVERIFY(owner);
    QVERIFY(owner->actions().contains(action));

    window.scriptEditor()->setText(QString());
    action->trigger();
    QCOMPARE(window.scriptEditor()->text(), text);
}

void TestSnippets::insertMenusHoldOnlyTheCatalogue()
{
    TestWorkspace workspace;
    ProjectManagerWindow window;
    const char *const menus[] = {"menu_5",  "menu_11", "menu_12", "menu_13", "menu_14", "menu_21", "menu_16", "menu_15",
                                 "menu_20", "menu_19", "menu_22", "menu_17", "menuUI",  "menu_24", "menu_18"};
    QSet<QString> names;
    for (const char *name : menus) {
        const auto actions = window.findChild<QMenu *>(QLatin1String(name))->actions();
        QVERIFY2(!actions.isEmpty(), name);
        for (const QAction *action : actions)
            names.insert(action->objectName());
    }
    QCOMPARE(names.size(), 94);
    QCOMPARE(SnippetCatalogue::entries().size(), 94);
    for (const Snippet &entry : SnippetCatalogue::entries())
        QVERIFY2(names.contains(QLatin1String(entry.objectName)), entry.objectName);
}

void TestSnippets::caretAfterInsertion_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("caretLine");
    QTest::addColumn<int>("caretIndex");

    // Text "abc|def", caret behind "abc".
    QTest::newRow("line break splits the line") << "action_insert_fun_touchClick" << "abctouchClick(x,y)\r\ndef" << 1 << 0;
    QTest::newRow("no line break") << "action_insert_fun_RGB" << "abcRGB(r,g,b)def" << 0 << 13;
    QTest::newRow("code block") << "action_function_define"
                                << "abcfunction myfun()\r\n\t--此处写入函数代码\r\n\r\nend\r\ndef" << 4 << 0;
    QTest::newRow("Chinese text") << "action_ime_input" << "abcinput(\"文本内容\")\r\ndef" << 1 << 0;
}

void TestSnippets::caretAfterInsertion()
{
    QFETCH(QString, action);
    QFETCH(QString, expectedText);
    QFETCH(int, caretLine);
    QFETCH(int, caretIndex);
    TestWorkspace workspace;
    ProjectManagerWindow window;
    QsciScintilla *editor = window.scriptEditor();
    editor->setText(QStringLiteral("abcdef"));
    editor->setCursorPosition(0, 3);

    window.findChild<QAction *>(action)->trigger();
    QCOMPARE(editor->text(), expectedText);
    int line = -1;
    int index = -1;
    editor->getCursorPosition(&line, &index);
    QCOMPARE(line, caretLine);
    QCOMPARE(index, caretIndex);
    // Typing goes on right behind the snippet.
    QTest::keyClicks(editor, QStringLiteral("Z"));
    QCOMPARE(editor->text(), expectedText.insert(expectedText.indexOf(QLatin1String("def")), QLatin1Char('Z')));
}

void TestSnippets::insertingMarksTheEditorModified()
{
    TestWorkspace workspace;
    ProjectManagerWindow window;
    QsciScintilla *editor = window.scriptEditor();
    const QString welcome = editor->text();
    editor->setSelection(0, 0, 0, 10); // the caret is at the end of the selection
    window.findChild<QAction *>(QStringLiteral("action_break"))->trigger();
    QVERIFY(window.isScriptModified());
    QCOMPARE(editor->text(), welcome.left(10) + QStringLiteral("break\r\n") + welcome.mid(10));
}

// ---- Help and tool menus ------------------------------------------------------------------

namespace {

// Puts a stand-in adb first on PATH, or leaves PATH without one; restores PATH afterwards.
class AdbOnPath
{
public:
    enum Kind { None, Succeeding, Failing };
    explicit AdbOnPath(Kind kind)
        : saved(qgetenv("PATH"))
    {
        if (kind != None) {
            QFile adb(bin.filePath(QStringLiteral("adb")));
            adb.open(QIODevice::WriteOnly);
            adb.write(kind == Succeeding ? "#!/bin/sh\nexit 0\n"
                                         : "#!/bin/sh\necho 'error: no devices/emulators found' >&2\nexit 1\n");
            adb.close();
            adb.setPermissions(adb.permissions() | QFileDevice::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(bin.path()));
    }
    ~AdbOnPath() { qputenv("PATH", saved); }

private:
    QTemporaryDir bin;
    QByteArray saved;
};

} // namespace

void TestSnippets::helpPagesOpen()
{
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("help/api-reference.html"), "<html></html>");
    ProjectManagerWindow window;
    QList<QUrl> opened;
    Platform::setUrlOpenerForTesting([&opened](const QUrl &u) {
        opened << u;
        return true;
    });
    auto trigger = [&window, &opened](const char *action) {
        opened.clear();
        window.findChild<QAction *>(QString::fromLatin1(action))->trigger();
        return opened;
    };
    const QUrl reference = QUrl::fromLocalFile(workspace.absolute(QStringLiteral("help/api-reference.html")));
    QUrl atTouchClick = reference;
    atTouchClick.setFragment(QStringLiteral("touchClick"));

    // F1 at a name of the API: its entry; elsewhere the index. The caret stands right behind the
    // name, after Chinese text: the editor's byte position 20 is character 16 of the line.
    QsciScintilla *editor = window.scriptEditor();
    editor->setText(QStringLiteral("-- 点击 touchClick(1,2)\r\n"));
    editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 20);
    QCOMPARE(trigger("action_bbs_tutorial"), QList<QUrl>{atTouchClick});
    editor->setCursorPosition(0, 1);
    QCOMPARE(trigger("action_bbs_tutorial"), QList<QUrl>{reference});
    QCOMPARE(window.findChild<QAction *>(QStringLiteral("action_bbs_tutorial"))->shortcut(), QKeySequence(Qt::Key_F1));

    // "Kestrun教程": the tutorial beside the projects when there is one, else the reference.
    QCOMPARE(trigger("action_kestrun_docs"), QList<QUrl>{reference});
#ifndef Q_OS_WIN
    workspace.writeFile(QStringLiteral("教程/Kestrun教程.html"), "<html></html>");
    QCOMPARE(trigger("action_kestrun_docs"), QList<QUrl>{QUrl::fromLocalFile(HelpPages::localTutorial())});
    QCOMPARE(trigger("open_project_dir_action"), QList<QUrl>{QUrl::fromLocalFile(workspace.absolute(QStringLiteral("工程目录")))});
#endif
}

void TestSnippets::helpFailuresSayWhy_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("browser");
    QTest::addColumn<int>("adb");
    QTest::addColumn<QString>("notice");
    const QStringList reference{QStringLiteral("help/api-reference.html")};
    const QString noBrowser = QStringLiteral("没有找到可以打开它的浏览器");
    QTest::newRow("F1, no reference") << "action_bbs_tutorial" << QStringList() << true << int(AdbOnPath::None)
                                      << "找不到API参考help/api-reference.html：工作目录和安装的数据目录中都没有。";
    QTest::newRow("F1, no browser") << "action_bbs_tutorial" << reference << false << int(AdbOnPath::None) << noBrowser;
    QTest::newRow("tutorial, no browser") << "action_kestrun_docs" << reference << false << int(AdbOnPath::None) << noBrowser;
    QTest::newRow("tutorial folder without its page") << "action_kestrun_docs" << QStringList{"教程/其他.html"} << true
                                                      << int(AdbOnPath::None) << "找不到教程页面";
    const QString placeholder = QStringLiteral("官方论坛的地址尚未确定（http://bbs.kestrun.example只是占位地址），无法打开论坛页面。");
    QTest::newRow("forum") << "action_bbs" << QStringList() << true << int(AdbOnPath::None) << placeholder;
    QTest::newRow("USB guide") << "action_how_use_usb_for_remote_connect" << QStringList() << true << int(AdbOnPath::None)
                               << placeholder;
#ifndef Q_OS_WIN
    const QStringList script{QStringLiteral("adb/a.sh")};
    QTest::newRow("USB, no script") << "action_USB_connect" << QStringList() << true << int(AdbOnPath::Succeeding)
                                    << "找不到USB端口映射脚本adb/a.sh：工作目录和安装的数据目录中都没有。";
    QTest::newRow("USB, no adb") << "action_USB_connect" << script << true << int(AdbOnPath::None) << "没有找到adb";
    QTest::newRow("USB, adb fails") << "action_USB_connect" << script << true << int(AdbOnPath::Failing)
                                    << "USB端口映射失败（退出码1）：error: no devices/emulators found";
#endif
}

void TestSnippets::helpFailuresSayWhy()
{
    QFETCH(QString, action);
    QFETCH(QStringList, files);
    QFETCH(bool, browser);
    QFETCH(int, adb);
    QFETCH(QString, notice);
    TestWorkspace workspace;
    for (const QString &file : files) {
        QFile shipped(QStringLiteral(KESTRUN_SOURCE_DIR "/") + file); // the real USB script, when it is one
        workspace.writeFile(file, shipped.open(QIODevice::ReadOnly) ? shipped.readAll() : QByteArray("<html></html>"));
    }
    const AdbOnPath path{AdbOnPath::Kind(adb)};
    ProjectManagerWindow window;
    Platform::setUrlOpenerForTesting([browser](const QUrl &) { return browser; });
    QString title;
    QString text;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, &title, &text);
    window.findChild<QAction *>(action)->trigger();
    QTRY_VERIFY(!text.isEmpty()); // the failing USB script is told of when it ends
    QCOMPARE(title, QStringLiteral("提示"));
    QVERIFY2(text.contains(notice), qPrintable(text));
}

void TestSnippets::helpNotices_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("text");
    QTest::newRow("logging") << "action_5" << QStringLiteral("参见Kestrun教程5.4");
    QTest::newRow("remote debugging") << "action_9" << QStringLiteral("参见Kestrun教程5.6");
}

void TestSnippets::helpNotices()
{
    QFETCH(QString, action);
    QFETCH(QString, text);
    TestWorkspace workspace;
    ProjectManagerWindow window;
    QString shownTitle;
    QString shownText;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, &shownTitle, &shownText);
    window.findChild<QAction *>(action)->trigger();
    QCOMPARE(shownTitle, QStringLiteral("提示"));
    QCOMPARE(shownText, text);
}

void TestSnippets::usbForwardingStartsTheScript()
{
#ifdef Q_OS_WIN
    QSKIP("runs adb/a.bat");
#else
    TestWorkspace workspace;
    workspace.writeFile(QStringLiteral("adb/a.sh"), "echo started >> forwarded.txt\n");
    AdbOnPath adb(AdbOnPath::Succeeding);
    ProjectManagerWindow window;
    QAction *action = window.findChild<QAction *>(QStringLiteral("action_USB_connect"));
    action->trigger();
    QTRY_COMPARE(workspace.readFile(QStringLiteral("forwarded.txt")), QByteArray("started\n"));
    action->trigger();
    QTRY_COMPARE(workspace.readFile(QStringLiteral("forwarded.txt")), QByteArray("started\nstarted\n"));
    QCOMPARE(window.findChildren<QProcess *>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
#endif
}

// ---- Completion list ----------------------------------------------------------------------

void TestSnippets::completionListCoversTheApi()
{
    QFile file(QStringLiteral(KESTRUN_SOURCE_DIR "/config/apis.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QSet<QString> names;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QString name = QString::fromUtf8(line).section(QLatin1Char('('), 0, 0);
        QVERIFY2(!names.contains(name) || name == QLatin1String("input"), qPrintable(name));
        // The completion list of the Lua lexer separates library and function with ':'.
        names.insert(QString(name).replace(QLatin1Char(':'), QLatin1Char('.')));
    }

    // Every function a snippet calls.
    const QRegularExpression call(QStringLiteral("(?<!function )\\b([A-Za-z_][A-Za-z0-9_]*)\\("));
    for (const Snippet &entry : SnippetCatalogue::entries()) {
        auto it = call.globalMatch(QString::fromUtf8(entry.text));
        while (it.hasNext()) {
            const QString name = it.next().captured(1);
            QVERIFY2(names.contains(name), qPrintable(name));
        }
    }

    // Every ASCII word the lexer colours, except names Lua 5.2 no longer has.
    const QSet<QString> before52 = {
        "abs",           "acos",          "asin",          "atan",           "atan2",       "ceil",     "cos",
        "deg",           "exp",           "floor",         "format",         "frexp",       "gsub",     "ldexp",
        "log10",         "max",           "min",           "mod",            "rad",         "random",   "randomseed",
        "sin",           "sqrt",          "strbyte",       "strchar",        "strfind",     "strlen",   "strlower",
        "strrep",        "strsub",        "strupper",      "tan",            "string.gfind", "table.foreach",
        "table.foreachi", "table.getn",   "table.setn",    "math.mod",       "math.log10"};
    const QStringList words = QString::fromUtf8(ApiWords::lexerWords()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        if (std::any_of(word.begin(), word.end(), [](QChar c) { return c.unicode() >= 0x80; }))
            continue;
        QVERIFY2(names.contains(word) != before52.contains(word), qPrintable(word));
    }
}

QTEST_MAIN(TestSnippets)
#include "tst_snippets.moc"
