#include "app/ui/ProjectManagerWindow.h"

#include "app/AppInfo.h"
#include "app/Session.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/BuildCommands.h"
#include "app/ui/CodeAssist.h"
#include "app/ui/DebugCommands.h"
#include "app/ui/DeviceSession.h"
#include "app/ui/RunCommands.h"
#include "common/Names.h"
#include "common/Platform.h"
#include "common/ui/LogView.h"
#include "common/ui/Notice.h"
#include "editor/HelpPages.h"
#include "editor/SnippetCatalogue.h"
#include "editor/ui/CodeNavigation.h"
#include "editor/ui/EditCommands.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "editor/ui/SearchCommands.h"
#include "project/ActiveProject.h"
#include "project/ProjectFile.h"
#include "project/Workspace.h"
#include "project/ui/NewProjectDialog.h"
#include "project/ui/ProjectTree.h"
#include "ui_ProjectManagerWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>

namespace {

// How long a message in the status line stays.
constexpr int kStatusMessageMs = 8000;

void noticeIfFailed(QWidget *parent, const Status &status)
{
    if (!status)
        showNotice(parent, status.error());
}

} // namespace

ProjectManagerWindow::ProjectManagerWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ProjectManagerWindow)
    , activeProject(std::make_unique<ActiveProject>())
    , openScripts(std::make_unique<ScriptTabs>())
    , searchCommands(std::make_unique<SearchCommands>(*openScripts, *activeProject, this))
    , buildCommands(std::make_unique<BuildCommands>(*activeProject, *openScripts))
    , deviceSession(std::make_unique<DeviceSession>(*activeProject, this))
    , runCommands(std::make_unique<RunCommands>(*activeProject, *openScripts, *deviceSession))
{
    ui->setupUi(this);
    codeAssist = std::make_unique<CodeAssist>(*openScripts, *activeProject, *buildCommands, *runCommands, *searchCommands, *ui);
    setWindowTitle(QString::fromUtf8(AppInfo::kProductName) + QStringLiteral(" v") + QString::fromUtf8(AppInfo::kVersion));
    baseTitle = windowTitle();
    statusLabel = new QLabel(QStringLiteral("无任何连接。"));
    statusBar()->addWidget(statusLabel, 0);
    startTimer(2000, Qt::CoarseTimer);

    connect(activeProject.get(), &ActiveProject::signal_changed, this, [this](const QString &name, const QString &previous) {
        ui->projectTreeWidget->setProjectColour(previous, QColor(0, 0, 0));
        ui->projectTreeWidget->setProjectColour(name, QColor(0, 0, 255));
    });
    connect(ui->projectTreeWidget, &ProjectTree::signal_setActiveProject, this, &ProjectManagerWindow::setActiveProject);
    ProjectTree *tree = ui->projectTreeWidget;
    connect(tree, &ProjectTree::signal_deleted, openScripts.get(), &ScriptTabs::pathDeleted);
    connect(tree, &ProjectTree::signal_moved, openScripts.get(), &ScriptTabs::pathMoved);
    connect(tree, &ProjectTree::signal_filesChanged, this, &ProjectManagerWindow::updateProjectTree);
    connect(tree, &ProjectTree::signal_openScript, this, [this, tree](const QString &path) {
        if (Names::isTextName(QFileInfo(path).fileName()))
            on_projectTreeWidget_itemDoubleClicked(tree->itemForPath(path), 0);
    });
    connect(openScripts.get(), &ScriptTabs::signal_currentChanged, this,
            [this] { setWindowTitle(openScripts->title(baseTitle)); });
    connect(deviceSession.get(), &DeviceSession::signal_insertText, openScripts.get(), &ScriptTabs::insertSnippet);
    connect(deviceSession.get(), &DeviceSession::signal_output, this, &ProjectManagerWindow::out);
    connect(&deviceSession->controller(), &PCClientControllor::signal_remoteLog, this, &ProjectManagerWindow::debugOut,
            Qt::UniqueConnection);
    // A build or a run holds the output: a project search waits for it, and gives way to it.
    searchCommands->setOutputHeld([this] { return buildCommands->isRunning() || runCommands->isRunning(); });
    const auto interruptSearch = [this](const QString &why) { return [this, why] { searchCommands->cancelProjectSearch(why); }; };
    connect(buildCommands.get(), &BuildCommands::signal_outputCleared, this, interruptSearch(QStringLiteral("搜索已被编译中断。")));
    connect(runCommands.get(), &RunCommands::signal_outputCleared, this, interruptSearch(QStringLiteral("搜索已被本地运行中断。")));
    connect(codeAssist.get(), &CodeAssist::signal_status, this, &ProjectManagerWindow::showStatus);

    addPass();
    setupMenus();
    setupOutput();
    buildCommands->setScriptRunning([this] { return runCommands->isRunning(); });
    debugCommands = std::make_unique<DebugCommands>(*this, *ui, *runCommands, *openScripts);

    // The form's own central widget is replaced by two splitters: tree | (editor / output).
    editorSplitter = new QSplitter(Qt::Vertical, ui->rightViewWidget);
    editorSplitter->addWidget(codeAssist->editorArea());
    editorSplitter->addWidget(ui->outTabWidget);
    editorSplitter->setStretchFactor(0, 1);
    treeSplitter = new QSplitter(Qt::Horizontal, this);
    treeSplitter->addWidget(ui->projectTreeWidget);
    treeSplitter->addWidget(editorSplitter);
    treeSplitter->setStretchFactor(1, 1);
    treeSplitter->setSizes({220, 580});
    setCentralWidget(treeSplitter);
}

ProjectManagerWindow::~ProjectManagerWindow()
{
    delete ui;
}

void ProjectManagerWindow::setupMenus()
{
    for (const Snippet &entry : SnippetCatalogue::entries()) {
        auto *menu = findChild<QMenu *>(QLatin1String(entry.menuObjectName));
        Q_ASSERT(menu);
        auto *action = new QAction(QString::fromUtf8(entry.label), menu);
        action->setObjectName(QLatin1String(entry.objectName));
        const QString text = QString::fromUtf8(entry.text);
        connect(action, &QAction::triggered, openScripts.get(), [this, text] { openScripts->insertSnippet(text); });
        menu->addAction(action);
    }

    editCommands = std::make_unique<EditCommands>(
        *openScripts,
        EditCommands::Actions{ui->action_edit_undo, ui->action_edit_redo, ui->action_edit_cut, ui->action_edit_copy,
                              ui->action_edit_paste, ui->action_edit_select_all, ui->action_edit_toggle_comment,
                              ui->action_edit_duplicate_lines, ui->action_edit_move_lines_up, ui->action_edit_move_lines_down},
        this);
    ScriptTabs *scripts = openScripts.get();
    connect(ui->close_script_action, &QAction::triggered, scripts, &ScriptTabs::closeCurrent);
    connect(ui->save_all_action, &QAction::triggered, scripts, &ScriptTabs::saveAll);
    connect(ui->reopen_script_action, &QAction::triggered, scripts, &ScriptTabs::reopenClosed);
    connect(ui->action_next_script, &QAction::triggered, scripts, &ScriptTabs::showNext);
    connect(ui->action_previous_script, &QAction::triggered, scripts, &ScriptTabs::showPrevious);
    connect(ui->action_edit_goto_line, &QAction::triggered, scripts, &ScriptTabs::askGoToLine);
    SearchCommands *searches = searchCommands.get();
    connect(ui->action_edit_find_next, &QAction::triggered, searches, &SearchCommands::findNext);
    connect(ui->action_edit_find_previous, &QAction::triggered, searches, &SearchCommands::findPrevious);
    connect(ui->action_project_search, &QAction::triggered, searches, &SearchCommands::showProjectSearch);
    // Ctrl+Shift+Tab arrives as Ctrl+Shift+Backtab.
    ui->action_previous_script->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)});
    // In no menu: the window itself carries their shortcuts.
    addAction(ui->action_next_script);
    addAction(ui->action_previous_script);
}

// ---- Output panes ---------------------------------------------------------------------------

void ProjectManagerWindow::setupOutput()
{
    ui->outTabWidget->setCurrentIndex(0);
    // The device's log is text: its lines lead somewhere when they read like Lua's errors.
    ui->remoteLogText->setLinkTest([](const QString &line) { return Diagnostic::fromLogLine(line, {}).has_value(); });
    for (LogView *pane : {ui->outText, ui->remoteLogText})
        connect(pane, &LogView::signal_linkActivated, this, [this, pane](int line) { activateOutputLine(pane, line); });
    wireOutput(searchCommands.get());
    wireOutput(buildCommands.get());
    wireOutput(runCommands.get());
    wireOutput(&codeAssist->navigation());
}

template <typename Source>
void ProjectManagerWindow::wireOutput(Source *source)
{
    connect(source, &Source::signal_outputCleared, this, &ProjectManagerWindow::clearOutput);
    connect(source, &Source::signal_output, this, &ProjectManagerWindow::appendLine);
    connect(source, &Source::signal_diagnostic, this, &ProjectManagerWindow::appendDiagnostic);
}

void ProjectManagerWindow::appendOutput(const QString &text)
{
    appendLine(text);
    // Shown now: the remote import holds this thread while it connects and sends.
    ui->outText->showNow();
}

void ProjectManagerWindow::appendLine(const QString &line)
{
    ui->outTabWidget->setCurrentIndex(0);
    ui->outText->appendMessage(line);
}

void ProjectManagerWindow::appendError(const QString &text)
{
    appendDiagnostic(Diagnostic::error(text));
}

void ProjectManagerWindow::appendDiagnostic(const Diagnostic &found)
{
    ui->outText->appendDiagnostic(found);
}

void ProjectManagerWindow::clearOutput()
{
    ui->outText->clearMessages();
}

void ProjectManagerWindow::out(QString msg)
{
    appendOutput(msg);
}

void ProjectManagerWindow::debugOut(QString msg)
{
    // During a run its output stays in front; the device's own lines wait in their tab.
    if (!runCommands->isRunning())
        ui->outTabWidget->setCurrentIndex(1);
    ui->remoteLogText->appendMessage(msg);
}

void ProjectManagerWindow::activateOutputLine(LogView *pane, int line)
{
    // The device's log is about the active project.
    const std::optional<Diagnostic> place = pane == ui->outText
        ? pane->diagnostic(line)
        : Diagnostic::fromLogLine(pane->lines(line, 1).value(0), activeProject->directory());
    if (!place)
        return;
    const Status shown = openScripts->goTo(*place);
    if (!shown)
        showStatus(shown.error());
}

void ProjectManagerWindow::showStatus(const QString &text)
{
    statusBar()->showMessage(text, kStatusMessageMs);
}

// ---- Timer, closing, session ----------------------------------------------------------------

void ProjectManagerWindow::timerEvent(QTimerEvent *)
{
    updateProjectTree();
    statusLabel->setText(deviceSession->statusText());
    openScripts->checkOnDisk();
}

void ProjectManagerWindow::changeEvent(QEvent *event)
{
    // Back from another program: what it did to the open scripts is dealt with at once.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, openScripts.get(), &ScriptTabs::checkOnDisk);
    QMainWindow::changeEvent(event);
}

void ProjectManagerWindow::closeEvent(QCloseEvent *event)
{
    // Asked only about what would be lost.
    const QString title = QStringLiteral("退出Kestrun开发平台");
    const QList<ScriptEditor *> modified = openScripts->modified();
    bool quit = modified.isEmpty() || openScripts->settle(modified, title, QStringLiteral("退出前是否保存这些修改？"));
    for (const char *ended : {buildCommands->isRunning() ? "正在编译，退出将中止编译。" : nullptr,
                              runCommands->isRunning() ? "脚本正在本地运行，退出将停止运行。" : nullptr})
        quit = quit && (!ended || QMessageBox::question(this, title, QString::fromUtf8(ended) + QStringLiteral("是否仍要退出？"),
                                                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes);
    if (!quit) {
        event->ignore();
        return;
    }
    buildCommands->cancel();
    runCommands->stop();
    saveSession();
    event->accept();
}

void ProjectManagerWindow::on_exit_action_triggered()
{
    close();
}

void ProjectManagerWindow::restoreSession()
{
    const Session session = Session::load();
    if (!session.geometry.isEmpty())
        restoreGeometry(session.geometry);
    if (session.treeSplitter.size() == treeSplitter->count())
        treeSplitter->setSizes(session.treeSplitter);
    if (session.editorSplitter.size() == editorSplitter->count())
        editorSplitter->setSizes(session.editorSplitter);
    if (!session.activeProject.isEmpty() && ui->projectTreeWidget->projectItem(session.activeProject))
        setActiveProject(session.activeProject);
    ui->projectTreeWidget->expandPaths(Workspace::projectAbsolutePath(QString()), session.expandedTree);
    openScripts->restore(session.scripts, session.currentScript);
    if (!session.deviceAddress.isEmpty())
        deviceSession->setAddress(session.deviceAddress);
    if (!session.imageDirectory.isEmpty())
        deviceSession->setImageDirectory(session.imageDirectory);
    debugCommands->restore(session);
}

void ProjectManagerWindow::saveSession() const
{
    Session session;
    session.geometry = saveGeometry();
    session.treeSplitter = treeSplitter->sizes();
    session.editorSplitter = editorSplitter->sizes();
    session.activeProject = activeProject->name();
    session.expandedTree = ui->projectTreeWidget->expandedPaths(Workspace::projectAbsolutePath(QString()));
    session.scripts = openScripts->places();
    session.currentScript = openScripts->currentIndex();
    session.deviceAddress = deviceSession->address();
    session.imageDirectory = deviceSession->imageDirectory();
    debugCommands->save(session);
    session.save();
}

void ProjectManagerWindow::on_action_about_triggered()
{
    AboutDialog dialog(this);
    dialog.exec();
}

// ---- Projects and scripts -------------------------------------------------------------------

void ProjectManagerWindow::addPass()
{
    Workspace::ensureExists();
    setActiveProject(ui->projectTreeWidget->addPass(Workspace::projectAbsolutePath(QString()), activeProject->name()));
}

void ProjectManagerWindow::prunePass()
{
    if (ui->projectTreeWidget->prunePass(activeProject->name()))
        activeProject->setName(QString());
}

void ProjectManagerWindow::updateProjectTree()
{
    prunePass();
    addPass();
}

void ProjectManagerWindow::setActiveProject(const QString &name)
{
    activeProject->setName(name);
}

void ProjectManagerWindow::openScript(const QString &path)
{
    openScripts->open(path);
}

void ProjectManagerWindow::on_new_project_action_triggered()
{
    NewProjectDialog dialog;
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString name = dialog.projectName();
    Workspace::ensureExists();
    const QString directory = Workspace::projectAbsolutePath(name);
    const Result<FileOperations::Creation> made = ProjectFile::create(directory, name, dialog.projectDescription());
    if (!made) {
        showNotice(this, QStringLiteral("新建工程失败：") + made.error());
        return;
    }
    if (*made == FileOperations::Creation::AlreadyExists)
        return;
    updateProjectTree();
    openScript(directory + QLatin1Char('/') + Names::mainScript());
    setActiveProject(name);
}

void ProjectManagerWindow::on_projectTreeWidget_itemDoubleClicked(QTreeWidgetItem *item, int column)
{
    if (!item || item->data(column, ProjectTree::KindRole).toInt() != ProjectTree::FileKind)
        return;
    const QString name = item->data(column, ProjectTree::NameRole).toString();
    const QString path = item->data(column, ProjectTree::PathRole).toString();
    if (Names::isTextName(name)) {
        openScript(path);
        QTreeWidgetItem *top = item;
        while (top->parent())
            top = top->parent();
        setActiveProject(top->data(0, ProjectTree::NameRole).toString());
    } else if (name.endsWith(QLatin1String(".bmp")))
        deviceSession->openImageEditor(path);
    else
        Platform::launchFile(launchProcess, path);
}

void ProjectManagerWindow::on_save_project_action_triggered()
{
    openScripts->save(openScripts->current());
}

void ProjectManagerWindow::on_action_edit_search_triggered()
{
    searchCommands->showSearch();
}

// ---- Build commands -------------------------------------------------------------------------

void ProjectManagerWindow::startBuild(bool package)
{
    const Status started = package ? buildCommands->build() : buildCommands->check();
    if (!started)
        showStatus(started.error());
}

void ProjectManagerWindow::on_syntax_check_action_triggered()
{
    startBuild(false);
}

void ProjectManagerWindow::on_compile_project_action_triggered()
{
    startBuild(true);
}

// ---- Device and screen tools ----------------------------------------------------------------

void ProjectManagerWindow::on_remote_screen_action_triggered()
{
    deviceSession->openRemoteScreen();
}

void ProjectManagerWindow::on_remote_import_action_triggered()
{
    deviceSession->importPackage();
}

void ProjectManagerWindow::on_action_connection_manager_triggered()
{
    deviceSession->manageConnection();
}

void ProjectManagerWindow::on_action_USB_connect_triggered()
{
    deviceSession->startUsbForwarding();
}

void ProjectManagerWindow::on_screencap_rect_action_triggered()
{
    deviceSession->captureRectangle();
}

void ProjectManagerWindow::handleScreencap(const QPixmap &result, int x1, int y1, int x2, int y2)
{
    deviceSession->saveScreenshot(result, x1, y1, x2, y2);
}

void ProjectManagerWindow::on_action_image_editor_triggered()
{
    deviceSession->openImageEditor(QString());
}

// ---- Help ---------------------------------------------------------------------------------

void ProjectManagerWindow::on_action_kestrun_docs_triggered()
{
    noticeIfFailed(this, HelpPages::openTutorial());
}

void ProjectManagerWindow::on_action_9_triggered()
{
    showNotice(this, QStringLiteral("参见Kestrun教程5.6"));
}

void ProjectManagerWindow::on_action_5_triggered()
{
    showNotice(this, QStringLiteral("参见Kestrun教程5.4"));
}

void ProjectManagerWindow::on_action_bbs_tutorial_triggered()
{
    // F1: the API reference, at the name under the caret.
    const ScriptEditor *editor = openScripts->current();
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    noticeIfFailed(this, HelpPages::openApiReference(editor->text(line), index));
}

void ProjectManagerWindow::on_action_how_use_usb_for_remote_connect_triggered()
{
    noticeIfFailed(this, HelpPages::openForumPage(HelpPages::usbConnectionGuide()));
}

void ProjectManagerWindow::on_action_bbs_triggered()
{
    noticeIfFailed(this, HelpPages::openForumPage(HelpPages::forumHome()));
}

void ProjectManagerWindow::on_open_project_dir_action_triggered()
{
    Platform::showInFileBrowser(Workspace::projectAbsolutePath(QString()), false);
}
