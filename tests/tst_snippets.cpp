// The insert menus, the caret after an inserted snippet, the help and tool menus, the snippets
// against the script check, the offline API reference as the build generates it, F1's
// word-to-anchor rule, and where the program finds its data.
#include "api/ApiModel.h"
#include "common/DataLocations.h"
#include "common/Platform.h"
#include "app/ui/DeviceSession.h"
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "editor/ApiReference.h"
#include "editor/HelpPages.h"
#include "editor/SnippetCatalogue.h"
#include "tests/support/AdbOnPath.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/ScriptProblems.h"
#include "tests/support/TestWorkspace.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextCodec>
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

    void catalogueIsWiredIntoTheMenus();
    void catalogueSnippetsPassTheCheck();
    void caretAfterInsertion_data();
    void caretAfterInsertion();
    void insertingNeedsAnOpenScript();

    void helpPagesOpen();
    void helpNoticesSayWhy_data();
    void helpNoticesSayWhy();
    void usbForwardingStartsTheScript();

    void generatedPageHoldsEveryEntryOnce();
    void anchorAtCaret_data();
    void anchorAtCaret();
    void dataLookupOrder_data();
    void dataLookupOrder();

private:
    // One window serves the catalogue, caret and reference tests.
    std::unique_ptr<TestWorkspace> sharedWorkspace;
    std::unique_ptr<ProjectManagerWindow> sharedWindow;
};

void TestSnippets::initTestCase()
{
    sharedWorkspace = std::make_unique<TestWorkspace>();
    sharedWorkspace->writeFile(QStringLiteral("s.lua"), QByteArray());
    sharedWindow = std::make_unique<ProjectManagerWindow>();
    QVERIFY(sharedWindow->scripts().open(sharedWorkspace->absolute(QStringLiteral("s.lua"))));
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

// Every catalogue entry is an action in its menu that inserts its text; the insert menus hold
// nothing else.
void TestSnippets::catalogueIsWiredIntoTheMenus()
{
    ProjectManagerWindow &window = *sharedWindow;
    const QVector<Snippet> &entries = SnippetCatalogue::entries();
    QSet<QString> objects;
    QSet<QString> menus;
    for (const Snippet &entry : entries) {
        const QString object = QLatin1String(entry.objectName);
        QVERIFY2(!objects.contains(object), entry.objectName);
        objects.insert(object);
        menus.insert(QLatin1String(entry.menuObjectName));
        auto *action = window.findChild<QAction *>(object);
        QVERIFY2(action && action->text() == QString::fromUtf8(entry.label), entry.objectName);
        QVERIFY2(window.findChild<QMenu *>(QLatin1String(entry.menuObjectName))->actions().contains(action), entry.objectName);
        window.scripts().current()->setText(QString());
        action->trigger();
        QCOMPARE(window.scripts().current()->text(), QString::fromUtf8(entry.text));
    }
    for (const QString &menu : menus) {
        for (const QAction *action : window.findChild<QMenu *>(menu)->actions())
            QVERIFY2(objects.contains(action->objectName()), qPrintable(action->objectName()));
    }
}

// Every text, its placeholders filled in, is Lua that the script check has nothing to say about:
// the functions it calls exist and take the arguments it passes. Bracketed placeholders become
// a name; the bare names left to the author (x, y, color, tid, …) are declared.
void TestSnippets::catalogueSnippetsPassTheCheck()
{
    const QRegularExpression placeholder(QStringLiteral("\\[[^\\]\\x00-\\x7F]+\\]"));
    const QRegularExpression bareName(QStringLiteral("(?<![\\w.\"'])([A-Za-z_]\\w*)\\b(?!\\s*\\()(?=(?:[^\"]*\"[^\"]*\")*[^\"]*$)"));
    for (const Snippet &entry : SnippetCatalogue::entries()) {
        QString text = QString::fromUtf8(entry.text);
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("\\r(?!\\n)|(?<!\\r)\\n"))), entry.objectName);
        text.replace(placeholder, QStringLiteral("p"));
        QStringList names{QStringLiteral("p")};
        auto it = bareName.globalMatch(text);
        while (it.hasNext()) {
            const QString name = it.next().captured(1);
            if (!ApiModel::builtIn().isKeyword(name) && !names.contains(name))
                names << name;
        }
        // Inside a loop, so that "break" is in place; an expression is assigned.
        const bool statement = text.endsWith(QLatin1String("\r\n"));
        const QString chunk = QStringLiteral("local %1\nwhile p do\n%2%3\nend\n")
                                  .arg(names.join(QLatin1Char(',')), statement ? QString() : QStringLiteral("local v = "), text);
        const QStringList problems = scriptProblems(chunk.toUtf8(), QLatin1String(entry.objectName));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
}

void TestSnippets::caretAfterInsertion_data()
{
    QTest::addColumn<QString>("text"); // '|' marks the caret, before and after
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expected");

    // A statement goes on a line of its own and never splits a word; an expression goes in at
    // the caret.
    QTest::newRow("statement mid-word goes below") << "\ttouc|hClick(1,2)" << "action_insert_fun_getColor"
                                                   << "\ttouchClick(1,2)\r\n\tlocal color = getColor(x,y)|";
    QTest::newRow("statement at the line start goes before it") << "|abc" << "action_insert_fun_touchClick"
                                                                << "touchClick(x,y)\r\n|abc";
    QTest::newRow("statement in the indentation") << "\t|\tx = 1" << "action_break" << "\tbreak\r\n\t|\tx = 1";
    QTest::newRow("expression at the caret") << "abc|def" << "action_insert_fun_RGB" << "abcRGB(r,g,b)|def";
    QTest::newRow("code block below, indented") << "\tif a then x()| end" << "action_function_define"
                                               << "\tif a then x() end\r\n\tfunction myfun()\r\n\t\t--此处写入函数代码\r\n\r\n\tend|";
    QTest::newRow("Chinese text") << "x = 1|" << "action_ime_input" << "x = 1\r\ninput(\"文本内容\")|";
}

void TestSnippets::caretAfterInsertion()
{
    QFETCH(QString, text);
    QFETCH(QString, action);
    QFETCH(QString, expected);
    ProjectManagerWindow &window = *sharedWindow;
    QsciScintilla *editor = window.scripts().current();
    editor->setText(QString(text).remove(QLatin1Char('|')));
    editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, text.left(text.indexOf(QLatin1Char('|'))).toUtf8().size());

    window.findChild<QAction *>(action)->trigger();
    QCOMPARE(editor->text(), QString(expected).remove(QLatin1Char('|')));
    QCOMPARE(editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS),
             long(expected.left(expected.indexOf(QLatin1Char('|'))).toUtf8().size()));
}

// With no script open nothing is inserted: the author is told, and the welcome text, which
// takes no typing, stays as it is.
void TestSnippets::insertingNeedsAnOpenScript()
{
    TestWorkspace workspace;
    ProjectManagerWindow window;
    QsciScintilla *welcome = window.scripts().current();
    const QString text = welcome->text();
    QString notice;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &notice);
    window.findChild<QAction *>(QStringLiteral("action_break"))->trigger();
    QVERIFY2(notice.contains(QStringLiteral("没有打开的脚本")), qPrintable(notice));
    QTest::keyClicks(welcome, QStringLiteral("x"));
    QCOMPARE(welcome->text(), text);
    QVERIFY(!welcome->isModified());

    workspace.writeFile(QStringLiteral("a.lua"), "x = 1\r\n");
    QsciScintilla *editor = window.scripts().open(workspace.absolute(QStringLiteral("a.lua")));
    window.findChild<QAction *>(QStringLiteral("action_break"))->trigger();
    QVERIFY(editor->isModified());
    QCOMPARE(editor->text(), QStringLiteral("break\r\nx = 1\r\n"));
}

// ---- Help and tool menus ------------------------------------------------------------------

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
    QsciScintilla *editor = window.scripts().current();
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

void TestSnippets::helpNoticesSayWhy_data()
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

void TestSnippets::helpNoticesSayWhy()
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
    // One forwarding process at a time.
    QCOMPARE(window.device().findChildren<QProcess *>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
#endif
}

// ---- The offline API reference, F1's word-to-anchor rule, where the program finds its data --

void TestSnippets::generatedPageHoldsEveryEntryOnce()
{
    QFile file(QStringLiteral(KESTRUN_API_REFERENCE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QTextCodec::ConverterState state;
    const QString page = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    QCOMPARE(state.invalidChars, 0);

    QHash<QString, int> ids; // anchor -> position
    auto it = QRegularExpression(QStringLiteral("\\bid=\"([^\"]*)\"")).globalMatch(page);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QVERIFY2(!ids.contains(m.captured(1)), qPrintable(m.captured(1)));
        ids.insert(m.captured(1), int(m.capturedStart()));
    }

    // Each menu entry once, in a block that names its menu (as the form titles it) and its label.
    for (const Snippet &s : SnippetCatalogue::entries()) {
        const QString anchor = QStringLiteral("snippet-") + QString::fromLatin1(s.objectName);
        QVERIFY2(ids.contains(anchor), qPrintable(anchor));
        const int start = ids.value(anchor);
        const QString block = page.mid(start, page.indexOf(QLatin1String("</div>"), start) - start);
        const QString menu = sharedWindow->findChild<QMenu *>(QString::fromLatin1(s.menuObjectName))->title();
        QVERIFY2(block.contains(QStringLiteral(" › ") + menu + QStringLiteral(" › ")), qPrintable(anchor));
        QVERIFY2(block.contains(QString::fromUtf8(s.label).toHtmlEscaped()), qPrintable(anchor));
    }

    // Each entry of the model under its own anchor, its call forms each once, with what it does.
    for (const ApiEntry &entry : ApiModel::builtIn().entries()) {
        QVERIFY2(ids.contains(entry.name), qPrintable(entry.name));
        const int start = ids.value(entry.name);
        const QString block = page.mid(start, page.indexOf(QLatin1String("class=\"pc\""), start) - start);
        QVERIFY2(block.contains(entry.description.toHtmlEscaped()), qPrintable(entry.name));
        for (const CallForm &form : entry.forms)
            QCOMPARE(page.count(QStringLiteral("<code class=\"call\">") + form.text().toHtmlEscaped() + QStringLiteral("</code>")), 1);
    }
}

void TestSnippets::anchorAtCaret_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("anchor");
    QTest::newRow("on the name") << "touchClick(x,y)\r\n" << 3 << "touchClick";
    QTest::newRow("right behind it") << "  touchClick" << 12 << "touchClick";
    QTest::newRow("after Chinese text") << "-- 触摸点击 touchClick(1,2)" << 10 << "touchClick";
    QTest::newRow("library part") << "s = string.format('%d', 1)" << 5 << "string.format";
    QTest::newRow("function part") << "s = string.format('%d', 1)" << 14 << "string.format";
    QTest::newRow("field of a table") << "ui.touchClick(1,2)" << 5 << "touchClick";
    QTest::newRow("unknown field") << "s.format(1)" << 4 << "";
    QTest::newRow("longer word") << "touchClickTwice()" << 3 << "";
    QTest::newRow("Chinese alias") << "_G[\"随机触摸滑动\"](x,y,10)" << 6 << "touchMoveRandom";
    QTest::newRow("blank") << "   " << 1 << "";
    QTest::newRow("past the end") << "sleep" << 99 << "sleep";
}

void TestSnippets::anchorAtCaret()
{
    QFETCH(QString, line);
    QFETCH(int, index);
    QFETCH(QString, anchor);
    QCOMPARE(ApiReference::anchorAt(ApiModel::builtIn(), line, index), anchor);
}

void TestSnippets::dataLookupOrder_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("inWorking");
    QTest::addColumn<bool>("inInstalled");
    QTest::addColumn<QString>("foundIn");
    QTest::newRow("both: working directory") << DataLocations::apiAdditions() << true << true << "working";
    QTest::newRow("installed only") << DataLocations::apiAdditions() << false << true << "installed";
    QTest::newRow("neither") << DataLocations::apiAdditions() << false << false << "";
    QTest::newRow("USB script, working") << "adb/a.sh" << true << true << "working";
    QTest::newRow("reference, installed") << DataLocations::apiReference() << false << true << "installed";
}

void TestSnippets::dataLookupOrder()
{
    QFETCH(QString, relative);
    QFETCH(bool, inWorking);
    QFETCH(bool, inInstalled);
    QFETCH(QString, foundIn);
    QTemporaryDir root;
    const QString working = root.filePath(QStringLiteral("working"));
    const QString installed = root.filePath(QStringLiteral("usr/share/kestrun-ide"));
    for (const auto &[folder, present] : {std::pair{working, inWorking}, std::pair{installed, inInstalled}}) {
        QVERIFY(QDir().mkpath(QFileInfo(folder + QLatin1Char('/') + relative).absolutePath()));
        QFile file(folder + QLatin1Char('/') + relative);
        QVERIFY(!present || file.open(QIODevice::WriteOnly));
    }
    const QString expected = foundIn.isEmpty() ? QString()
                                               : (foundIn == QLatin1String("working") ? working : installed) + QLatin1Char('/') + relative;
    QCOMPARE(DataLocations(working, installed).find(relative), expected);
}

QTEST_MAIN(TestSnippets)
#include "tst_snippets.moc"
