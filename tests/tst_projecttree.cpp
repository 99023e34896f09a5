// The project tree following the disk, the active project, the context menu and double-clicks.
#include "common/Diagnostic.h"
#include "common/Platform.h"
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ProblemList.h"
#include "editor/ui/ProblemsPane.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "project/NameOrder.h"
#include "project/ui/FilenNameInputDialog.h"
#include "project/ui/ProjectTree.h"
#include "support/ModalAnswerer.h"
#include "support/TestWorkspace.h"
#include "ui_ProjectManagerWindow.h"

#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>

namespace {

QStringList childNames(const QTreeWidgetItem *item)
{
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i)
        names << item->child(i)->text(0);
    return names;
}

QStringList projectNames(const ProjectTree *tree)
{
    return childNames(tree->invisibleRootItem());
}

QTreeWidgetItem *child(QTreeWidgetItem *item, const QString &name)
{
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == name)
            return item->child(i);
    return nullptr;
}

QColor colourOf(const ProjectTree *tree, const QString &name)
{
    return tree->projectItem(name)->foreground(0).color();
}

const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);

} // namespace

class TestProjectTree : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstFillOrderAndActiveProject();
    void followsDiskWithinOnePass();
    void unchangedDirectoriesStillFollowTheDisk();
    void listsWhatBelongs();
    void activeProjectFallsBack();
    void itemDataAndProjectInfo();
    void newEntries_data();
    void newEntries();
    void deleteEntries();
    void showInFileBrowserAndLaunch();
    void newProjectCommand();
    void nameOrder_data();
    void nameOrder();
    void orderAndUnfoldedFoldersComeBack();
    void renameAndMoveWithTheScriptOpen();

private:
    TestWorkspace *ws = nullptr;
    QList<QUrl> openedUrls;
    QDateTime base;
};

void TestProjectTree::init()
{
    ws = new TestWorkspace;
    openedUrls.clear();
    Platform::setUrlOpenerForTesting([this](const QUrl &url) {
        openedUrls << url;
        return true;
    });
    base = QDateTime::currentDateTime().addDays(-2);
}

void TestProjectTree::cleanup()
{
    Platform::setUrlOpenerForTesting(nullptr);
    delete ws;
    ws = nullptr;
}

void TestProjectTree::firstFillOrderAndActiveProject()
{
    ws->makeProject(QStringLiteral("old"), base);
    ws->makeProject(QStringLiteral("new"), base.addSecs(100));
    ws->makeProject(QStringLiteral("mid"), base.addSecs(50));
    ws->writeFile(QStringLiteral("工程目录/old/lib/x.lua"), "return 1");
    ws->setModified(QStringLiteral("工程目录/old"), base);
    ProjectManagerWindow window;
    ProjectTree *tree = window.form()->projectTreeWidget;
    // Shown by name; with none active yet, the newest becomes active.
    QCOMPARE(projectNames(tree), (QStringList{"mid", "new", "old"}));
    QCOMPARE(window.project().name(), QStringLiteral("new"));
    QCOMPARE(colourOf(tree, QStringLiteral("new")), kBlue);
    // Other projects never get a foreground of their own.
    QCOMPARE(tree->projectItem(QStringLiteral("mid"))->data(0, Qt::ForegroundRole), QVariant());

    // Double-clicking a script activates its project; projects and directories only fold.
    QTreeWidgetItem *script = child(child(tree->projectItem(QStringLiteral("old")), QStringLiteral("lib")), QStringLiteral("x.lua"));
    window.on_projectTreeWidget_itemDoubleClicked(script, 0);
    QCOMPARE(window.project().name(), QStringLiteral("old"));
    QCOMPARE(colourOf(tree, QStringLiteral("old")), kBlue);
    QCOMPARE(colourOf(tree, QStringLiteral("new")), kBlack);
    window.on_projectTreeWidget_itemDoubleClicked(tree->projectItem(QStringLiteral("new")), 0);
    QCOMPARE(window.project().name(), QStringLiteral("old"));
    // A name without an item still becomes the active name.
    window.setActiveProject(QStringLiteral("ghost"));
    QCOMPARE(window.project().name(), QStringLiteral("ghost"));
    QCOMPARE(colourOf(tree, QStringLiteral("old")), kBlack);
}

void TestProjectTree::followsDiskWithinOnePass()
{
    ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/b.txt"), "b", base.addSecs(10));
    ws->writeFile(QStringLiteral("工程目录/p/a.txt"), "a", base.addSecs(20));
    ws->setModified(QStringLiteral("工程目录/p/main.script"), base.addSecs(5));
    ProjectManagerWindow window;
    QTreeWidgetItem *project = window.form()->projectTreeWidget->projectItem(QStringLiteral("p"));
    QCOMPARE(childNames(project), (QStringList{"a.txt", "b.txt", "main.script"}));

    // A new directory with files, a rename and a deletion, all seen by one pass; new entries
    // take their place, folders first.
    ws->writeFile(QStringLiteral("工程目录/p/lib/util.lua"), "u");
    ws->writeFile(QStringLiteral("工程目录/p/lib/deep/x.bmp"), "x");
    QVERIFY(QFile::rename(ws->absolute(QStringLiteral("工程目录/p/a.txt")), ws->absolute(QStringLiteral("工程目录/p/c.txt"))));
    QVERIFY(QFile::remove(ws->absolute(QStringLiteral("工程目录/p/b.txt"))));
    window.updateProjectTree();
    QCOMPARE(childNames(project), (QStringList{"lib", "c.txt", "main.script"}));
    QTreeWidgetItem *lib = child(project, QStringLiteral("lib"));
    QCOMPARE(childNames(lib), (QStringList{"deep", "util.lua"}));
    QCOMPARE(childNames(child(lib, QStringLiteral("deep"))), QStringList{"x.bmp"});

    // A second pass with nothing changed keeps every item.
    QTreeWidgetItem *before = child(lib, QStringLiteral("util.lua"));
    window.updateProjectTree();
    QCOMPARE(child(lib, QStringLiteral("util.lua")), before);
    QCOMPARE(childNames(project), (QStringList{"lib", "c.txt", "main.script"}));

    // Removing a whole directory drops its subtree.
    QVERIFY(QDir(ws->absolute(QStringLiteral("工程目录/p/lib"))).removeRecursively());
    window.updateProjectTree();
    QCOMPARE(childNames(project), (QStringList{"c.txt", "main.script"}));
}

void TestProjectTree::unchangedDirectoriesStillFollowTheDisk()
{
    // Directories whose time stamps have long settled are not listed again by every pass;
    // what changes below them must still show within one pass.
    ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/lib/deep/a.lua"), "a");
    ws->writeFile(QStringLiteral("工程目录/p/lib/b.lua"), "b");
    for (const char *dir : {"工程目录/p/lib/deep", "工程目录/p/lib", "工程目录/p"})
        ws->setModified(QString::fromUtf8(dir), base);
    ProjectManagerWindow window;
    QTreeWidgetItem *lib = child(window.form()->projectTreeWidget->projectItem(QStringLiteral("p")), QStringLiteral("lib"));
    QVERIFY(lib);
    window.updateProjectTree();

    // Below two unchanged directories.
    ws->writeFile(QStringLiteral("工程目录/p/lib/deep/new.lua"), "n");
    window.updateProjectTree();
    QCOMPARE(childNames(child(lib, QStringLiteral("deep"))), (QStringList{"a.lua", "new.lua"}));
    QVERIFY(QFile::remove(ws->absolute(QStringLiteral("工程目录/p/lib/b.lua"))));
    window.updateProjectTree();
    QCOMPARE(childNames(lib), QStringList{"deep"});
}

void TestProjectTree::listsWhatBelongs()
{
    ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/main.script.m"), "compiled");
    ws->writeFile(QStringLiteral("工程目录/p/shot.M"), "capital");
    ws->writeFile(QStringLiteral("工程目录/p/.hidden"), "h");
    ws->writeFile(QStringLiteral("工程目录/p/sub/ks.project"), "nested project file is hidden too");
    ws->writeFile(QStringLiteral("工程目录/loose.txt"), "not a project");
    QVERIFY(QDir().mkpath(ws->absolute(QStringLiteral("工程目录/plain"))));
    QVERIFY(QFile::link(ws->absolute(QStringLiteral("工程目录/p/main.script")), ws->absolute(QStringLiteral("工程目录/p/link"))));
    ProjectManagerWindow window;
    ProjectTree *tree = window.form()->projectTreeWidget;
    QCOMPARE(projectNames(tree), QStringList{"p"});
    QStringList names = childNames(tree->projectItem(QStringLiteral("p")));
    names.sort();
    QCOMPARE(names, (QStringList{".hidden", "main.script", "shot.M", "sub"}));
    QCOMPARE(child(tree->projectItem(QStringLiteral("p")), QStringLiteral("sub"))->childCount(), 0);

    // A directory is a project while its project file is there.
    ws->writeFile(QStringLiteral("工程目录/plain/ks.project"), "<name>plain</name>");
    window.updateProjectTree();
    QCOMPARE(projectNames(tree), (QStringList{"p", "plain"}));
    QVERIFY(QFile::remove(ws->absolute(QStringLiteral("工程目录/plain/ks.project"))));
    window.updateProjectTree();
    QCOMPARE(projectNames(tree), QStringList{"p"});
}

void TestProjectTree::activeProjectFallsBack()
{
    ws->makeProject(QStringLiteral("a"), base);
    ws->makeProject(QStringLiteral("b"), base.addSecs(10));
    ws->makeProject(QStringLiteral("c"), base.addSecs(20));
    ProjectManagerWindow window;
    ProjectTree *tree = window.form()->projectTreeWidget;
    window.setActiveProject(QStringLiteral("b"));

    ModalAnswerer::answerMessageBox(QMessageBox::Yes);
    tree->runMenuCommand(QStringLiteral("删除该工程"), ProjectTree::ProjectKind, QStringLiteral("b"),
                         tree->projectItem(QStringLiteral("b"))->data(0, ProjectTree::PathRole).toString());
    QVERIFY(!QFileInfo::exists(ws->absolute(QStringLiteral("工程目录/b"))));
    window.prunePass();
    QCOMPARE(window.project().name(), QString());
    window.addPass();
    QCOMPARE(window.project().name(), QStringLiteral("c"));
    QCOMPARE(colourOf(tree, QStringLiteral("c")), kBlue);
    QCOMPARE(projectNames(tree), (QStringList{"a", "c"}));
}

// What the tree tells of a project: its items' kinds and paths; the active project's directory,
// name and description.
void TestProjectTree::itemDataAndProjectInfo()
{
    const QString dir = ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/img/a.bmp"), "x");
    const QString longName = QString(100, QChar(0x6D4B)); // 300 bytes of UTF-8
    ws->writeFile(QStringLiteral("工程目录/p/ks.project"),
                  "<project><name>" + longName.toUtf8() + "</name><desc>d\nline</desc></project>");
    ProjectManagerWindow window;
    QTreeWidgetItem *project = window.form()->projectTreeWidget->projectItem(QStringLiteral("p"));
    QTreeWidgetItem *img = child(project, QStringLiteral("img"));
    QTreeWidgetItem *bmp = child(img, QStringLiteral("a.bmp"));
    const auto roles = [](const QTreeWidgetItem *item) {
        return QStringList{item->data(0, ProjectTree::KindRole).toString(), item->data(0, ProjectTree::PathRole).toString()};
    };
    QCOMPARE(roles(project), (QStringList{"0", dir}));
    QCOMPARE(project->data(0, ProjectTree::NameRole).toString(), QStringLiteral("p"));
    QCOMPARE(roles(img).first(), QStringLiteral("2"));
    QCOMPARE(roles(bmp), (QStringList{"1", dir + QStringLiteral("/img/a.bmp")}));
    // The active project's directory and project file.
    window.setActiveProject(QStringLiteral("p"));
    QCOMPARE(window.project().directory(), dir);
    QCOMPARE(window.project().info().name, longName);
    QCOMPARE(window.project().info().description, QStringLiteral("d\nline"));
    window.setActiveProject(QStringLiteral("none"));
    QCOMPARE(window.project().directory(), QString());
    QCOMPARE(window.project().info().name, QString());
}

void TestProjectTree::newEntries_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("typed");   // inserted at the cursor, which starts in front of the preset
    QTest::addColumn<QString>("created"); // in the project; empty: nothing changes
    QTest::addColumn<QString>("message");
    QTest::newRow("script") << "新建脚本文件" << "demo" << "demo.script" << "";
    QTest::newRow("script that exists") << "新建脚本文件" << "main" << "" << "文件已存在！";
    QTest::newRow("directory") << "新建目录" << "images" << "images" << "";
    QTest::newRow("directory that exists") << "新建目录" << "lib" << "" << "该目录已存在！";
    QTest::newRow("name leaving the project") << "新建目录" << "../../escape" << "" << "名称中不能包含“/”或“\\”。";
}

void TestProjectTree::newEntries()
{
    QFETCH(QString, command);
    QFETCH(QString, typed);
    QFETCH(QString, created);
    QFETCH(QString, message);
    const QString dir = ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/lib/x.lua"), "x");
    const auto listing = [this] {
        QStringList entries;
        QDirIterator it(ws->path(), QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            entries << it.next();
        entries.sort();
        return entries;
    };
    ProjectManagerWindow window;
    const QStringList before = listing();
    QString shown;
    bool stillOpen = false;
    ModalAnswerer::whenDialog<FilenNameInputDialog>([&](FilenNameInputDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("leFileName"))->insert(typed);
        if (!message.isEmpty())
            ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &shown);
        dialog->findChild<QPushButton *>(QStringLiteral("pbOk"))->click();
        // A refused name leaves the dialog open with the name, to be changed.
        stillOpen = dialog->isVisible() && dialog->fileName().contains(typed);
        QTimer::singleShot(100, dialog, &QDialog::reject);
    });
    ProjectTree *tree = window.form()->projectTreeWidget;
    tree->runMenuCommand(command, ProjectTree::ProjectKind, QStringLiteral("p"), dir);
    QTRY_COMPARE(shown, message);
    QCOMPARE(stillOpen, !message.isEmpty());
    QStringList expected = before;
    if (!created.isEmpty()) {
        expected << dir + QLatin1Char('/') + created;
        expected.sort();
        const QFileInfo made(dir + QLatin1Char('/') + created);
        QCOMPARE(made.isDir(), command == QStringLiteral("新建目录"));
        QCOMPARE(made.isDir() ? 0 : made.size(), qint64(0));
        // What was made is selected; a script is opened to be written.
        QCOMPARE(tree->currentItem()->data(0, ProjectTree::PathRole).toString(), made.filePath());
        QCOMPARE(window.scripts().editors().size(), made.isDir() ? 0 : 1);
    }
    QCOMPARE(listing(), expected);
    QVERIFY(ws->readFile(QStringLiteral("工程目录/p/main.script")).size() > 0);
}

void TestProjectTree::deleteEntries()
{
    const QString dir = ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/a.txt"), "a");
    ws->writeFile(QStringLiteral("工程目录/p/d/a.lua"), "a = 1");
    ws->writeFile(QStringLiteral("工程目录/p/d/b.lua"), "b = 1");
    ProjectManagerWindow window;
    ProjectTree *tree = window.form()->projectTreeWidget;
    QSignalSpy deleted(tree, &ProjectTree::signal_deleted);
    window.openScript(dir + QStringLiteral("/d/a.lua"));
    window.openScript(dir + QStringLiteral("/d/b.lua"));
    window.scripts().current()->append(QStringLiteral("-- unsaved"));

    // Asked first, No by default: nothing happens.
    QString question;
    ModalAnswerer::whenDialog<QMessageBox>([&question](QMessageBox *box) {
        question = box->text();
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        box->defaultButton()->click();
    });
    tree->runMenuCommand(QStringLiteral("删除该文件"), ProjectTree::FileKind, QStringLiteral("a.txt"), dir + QStringLiteral("/a.txt"));
    QCOMPARE(question, QStringLiteral("确定要删除文件“a.txt”吗？"));
    QVERIFY(QFileInfo::exists(dir + QStringLiteral("/a.txt")));

    // Yes: into the desktop's trash, from where the author can bring it back. Of the scripts
    // open from a deleted directory, the unmodified one's tab closes; the modified one stays
    // with its text, and the author is told.
    ModalAnswerer::answerMessageBox(QMessageBox::Yes);
    tree->runMenuCommand(QStringLiteral("删除该文件"), ProjectTree::FileKind, QStringLiteral("a.txt"), dir + QStringLiteral("/a.txt"));
    QString notice;
    ModalAnswerer::whenDialog<QMessageBox>([&notice](QMessageBox *box) {
        box->button(QMessageBox::Yes)->click();
        ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &notice);
    });
    tree->runMenuCommand(QStringLiteral("删除该目录"), ProjectTree::DirectoryKind, QStringLiteral("d"), dir + QStringLiteral("/d"));
    QTRY_VERIFY(!notice.isEmpty());
    QVERIFY(notice.contains(dir + QStringLiteral("/d/a.lua")) && notice.contains(dir + QStringLiteral("/d/b.lua")));
    QCOMPARE(window.scripts().editors().size(), 1);
    QCOMPARE(window.scripts().current()->path(), dir + QStringLiteral("/d/b.lua"));
    QVERIFY(window.scripts().current()->isModified());
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/a.txt")));
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/d")));
    QCOMPARE(ws->readFile(QStringLiteral(".local/share/Trash/files/a.txt")), QByteArray("a"));
    QVERIFY(QFileInfo::exists(ws->trashed(QStringLiteral("d/b.lua"))));
    QCOMPARE(deleted.size(), 2);
    window.updateProjectTree();
    QCOMPARE(childNames(tree->projectItem(QStringLiteral("p"))), QStringList{"main.script"});
}

void TestProjectTree::showInFileBrowserAndLaunch()
{
    const QString dir = ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/data.bin"), "data");
    ProjectManagerWindow window;
    ProjectTree *tree = window.form()->projectTreeWidget;
    // The command names the file manager this desktop has: Explorer only on Windows.
    const QString show = ProjectTree::menuLabels(ProjectTree::FileKind).last();
    QCOMPARE(show, QSysInfo::productType() == QLatin1String("windows") ? QStringLiteral("在Explorer中显示")
                                                                       : QStringLiteral("在文件管理器中显示"));
    QCOMPARE(ProjectTree::menuLabels(ProjectTree::ProjectKind).last(), show);
    tree->runMenuCommand(show, ProjectTree::ProjectKind, QStringLiteral("p"), dir);
    tree->runMenuCommand(show, ProjectTree::FileKind, QStringLiteral("main.script"), dir + QStringLiteral("/main.script"));
    // Without a way to select a file, its directory is shown. A double-click starts any other file.
    window.on_projectTreeWidget_itemDoubleClicked(child(tree->projectItem(QStringLiteral("p")), QStringLiteral("data.bin")), 0);
    QCOMPARE(openedUrls, (QList<QUrl>{QUrl::fromLocalFile(dir), QUrl::fromLocalFile(dir),
                                      QUrl::fromLocalFile(dir + QStringLiteral("/data.bin"))}));
}

void TestProjectTree::newProjectCommand()
{
    ws->makeProject(QStringLiteral("other"), base);
    ProjectManagerWindow window;
    // A name that would leave the workspace is refused, and the dialog stays for another.
    QString title, refusal;
    ModalAnswerer::whenDialog<QDialog>([&](QDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("leProjectName"));
        name->setText(QStringLiteral("../evil"));
        ModalAnswerer::answerMessageBox(QMessageBox::Ok, &title, &refusal);
        dialog->findChild<QPushButton *>(QStringLiteral("pbOK"))->click();
        name->setText(QStringLiteral("demo"));
        dialog->findChild<QPushButton *>(QStringLiteral("pbOK"))->click();
    });
    window.form()->new_project_action->trigger();
    QCOMPARE(title, QStringLiteral("提示"));
    QCOMPARE(refusal, QStringLiteral("名称中不能包含“/”或“\\”。"));
    QVERIFY(!QFileInfo::exists(ws->absolute(QStringLiteral("evil"))));
    QVERIFY(QFileInfo(ws->absolute(QStringLiteral("工程目录/demo/ks.project"))).isFile());
    QCOMPARE(window.project().name(), QStringLiteral("demo"));
    QVERIFY(window.form()->projectTreeWidget->projectItem(QStringLiteral("demo")));
    QCOMPARE(colourOf(window.form()->projectTreeWidget, QStringLiteral("demo")), kBlue);
}

void TestProjectTree::nameOrder_data()
{
    QTest::addColumn<QStringList>("names"); // in the order shown
    QTest::newRow("case does not count") << QStringList{"a.lua", "B.lua", "c.lua"};
    QTest::newRow("numbers by value") << QStringList{"图2.bmp", "图10.bmp", "图010x.bmp", "图11.bmp"};
    QTest::newRow("leading zeros, then exact text") << QStringList{"img01", "img1", "img2"};
    QTest::newRow("only case differs") << QStringList{"A.lua", "a.lua"};
    QTest::newRow("numbers beyond any integer") << QStringList{"9", "123456789012345678901234567890", "123456789012345678901234567891"};
    QTest::newRow("a name before its longer forms") << QStringList{"a", "a.lua", "a1"};
}

void TestProjectTree::nameOrder()
{
    QFETCH(QStringList, names);
    for (int i = 0; i < names.size(); ++i) {
        for (int j = 0; j < names.size(); ++j)
            QVERIFY2((NameOrder::compare(names[i], names[j]) < 0) == (i < j), qPrintable(names[i] + " " + names[j]));
    }
}

// Folders first, then names, the same on every start; the folders the author unfolded come
// back unfolded.
void TestProjectTree::orderAndUnfoldedFoldersComeBack()
{
    ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/b.lua"), "b", base.addSecs(10));
    ws->writeFile(QStringLiteral("工程目录/p/Lib/x.lua"), "x", base.addSecs(20));
    ws->writeFile(QStringLiteral("工程目录/p/a10.txt"), "a", base.addSecs(30));
    ws->writeFile(QStringLiteral("工程目录/p/A9.txt"), "a", base);
    ws->writeFile(QStringLiteral("工程目录/p/img/deep/y.bmp"), "y");
    {
        ProjectManagerWindow window;
        ProjectTree *tree = window.form()->projectTreeWidget;
        QTreeWidgetItem *project = tree->projectItem(QStringLiteral("p"));
        QCOMPARE(childNames(project), (QStringList{"img", "Lib", "A9.txt", "a10.txt", "b.lua", "main.script"}));
        ws->writeFile(QStringLiteral("工程目录/p/a2.lua"), "new");
        window.updateProjectTree();
        QCOMPARE(childNames(project), (QStringList{"img", "Lib", "a2.lua", "A9.txt", "a10.txt", "b.lua", "main.script"}));
        project->setExpanded(true);
        child(project, QStringLiteral("img"))->setExpanded(true);
        child(child(project, QStringLiteral("img")), QStringLiteral("deep"))->setExpanded(true);
        window.saveSession();
    }
    ProjectManagerWindow window;
    window.restoreSession();
    QTreeWidgetItem *project = window.form()->projectTreeWidget->projectItem(QStringLiteral("p"));
    QVERIFY(project->isExpanded());
    QVERIFY(child(project, QStringLiteral("img"))->isExpanded());
    QVERIFY(child(child(project, QStringLiteral("img")), QStringLiteral("deep"))->isExpanded());
    QVERIFY(!child(project, QStringLiteral("Lib"))->isExpanded());
}

// Renaming and moving a script (or its folder) while it is open: the tab follows with its
// unsaved text, and saving writes the file where it is now. A name that is taken is refused
// with the dialog left open.
void TestProjectTree::renameAndMoveWithTheScriptOpen()
{
    const QString dir = ws->makeProject(QStringLiteral("p"), base);
    ws->writeFile(QStringLiteral("工程目录/p/a.lua"), "a = 1\r\n");
    ws->writeFile(QStringLiteral("工程目录/p/b.lua"), "b = 1\r\n");
    ws->writeFile(QStringLiteral("工程目录/p/lib/b.lua"), "other b\r\n");
    ProjectManagerWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    ProjectTree *tree = window.form()->projectTreeWidget;
    ScriptEditor *editor = window.scripts().open(dir + QStringLiteral("/a.lua"));
    editor->append(QStringLiteral("-- unsaved"));

    QStringList refusals;
    ModalAnswerer::whenDialog<FilenNameInputDialog>([&](FilenNameInputDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("leFileName"));
        QCOMPARE(name->selectedText(), QStringLiteral("a")); // the name, not its suffix
        QString refusal;
        ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &refusal);
        name->setText(QStringLiteral("b.lua"));
        dialog->findChild<QPushButton *>(QStringLiteral("pbOk"))->click();
        refusals << refusal;
        name->setText(QStringLiteral("c.lua"));
        dialog->findChild<QPushButton *>(QStringLiteral("pbOk"))->click();
    });
    tree->setCurrentItem(child(tree->projectItem(QStringLiteral("p")), QStringLiteral("a.lua")));
    tree->setFocus();
    QTRY_VERIFY(tree->hasFocus());
    QTest::keyClick(tree, Qt::Key_F2);
    QTRY_COMPARE(refusals, QStringList{"文件已存在！"});
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/a.lua")));
    QCOMPARE(editor->path(), dir + QStringLiteral("/c.lua"));
    QCOMPARE(editor->text(), QStringLiteral("a = 1\r\n-- unsaved"));
    QCOMPARE(window.windowTitle().endsWith(dir + QStringLiteral("/c.lua *]")), true);
    QCOMPARE(tree->currentItem()->data(0, ProjectTree::PathRole).toString(), dir + QStringLiteral("/c.lua"));

    // Moved into a folder, as a drop does; a name taken there is refused and nothing moves.
    QVERIFY(tree->moveInto(dir + QStringLiteral("/c.lua"), dir + QStringLiteral("/lib")));
    QCOMPARE(editor->path(), dir + QStringLiteral("/lib/c.lua"));
    QString notice;
    ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &notice);
    QVERIFY(!tree->moveInto(dir + QStringLiteral("/b.lua"), dir + QStringLiteral("/lib")));
    QVERIFY(notice.contains(QStringLiteral("已有同名")));
    QCOMPARE(ws->readFile(QStringLiteral("工程目录/p/lib/b.lua")), QByteArray("other b\r\n"));

    // The folder renamed: the script inside follows too, and a closed one keeps the last
    // check's mark for when it is opened.
    Diagnostic warning = Diagnostic::warning(QStringLiteral("使用了未定义的全局名“other”"));
    warning.directory = dir;
    warning.path = QStringLiteral("lib/b.lua");
    warning.line = 1;
    window.scripts().mark(warning);
    ProblemList &problems = window.form()->problemsPane->problems();
    problems.add(warning);
    QTRY_COMPARE(problems.rowCount(), 1);
    ModalAnswerer::whenDialog<FilenNameInputDialog>([](FilenNameInputDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("leFileName"))->setText(QStringLiteral("src"));
        dialog->findChild<QPushButton *>(QStringLiteral("pbOk"))->click();
    });
    tree->runMenuCommand(QStringLiteral("重命名"), ProjectTree::DirectoryKind, QStringLiteral("lib"), dir + QStringLiteral("/lib"));
    QCOMPARE(editor->path(), dir + QStringLiteral("/src/c.lua"));
    QVERIFY(window.scripts().save(editor));
    QCOMPARE(ws->readFile(QStringLiteral("工程目录/p/src/c.lua")), QByteArray("a = 1\r\n-- unsaved"));
    QCOMPARE(childNames(tree->projectItem(QStringLiteral("p"))), (QStringList{"src", "b.lua", "main.script"}));
    ScriptEditor *moved = window.scripts().open(dir + QStringLiteral("/src/b.lua"));
    QVERIFY(moved && moved->markersAtLine(0) != 0);
    QCOMPARE(problems.at(0).path, QStringLiteral("src/b.lua"));
}

QTEST_MAIN(TestProjectTree)
#include "tst_projecttree.moc"
