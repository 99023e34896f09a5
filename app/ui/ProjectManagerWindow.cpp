#include "app/ui/ProjectManagerWindow.h"

#include "app/ui/AboutDialog.h"
#include "app/AppInfo.h"
#include "app/ProcessObjects.h"
#include "common/Names.h"
#include "app/Session.h"
#include "common/Platform.h"
#include "common/ui/Notice.h"
#include "toolchain/ProjectBuilder.h"
#include "common/FixedText.h"
#include "device/ui/ConnectionManagerDialog.h"
#include "device/PCClientControllor.h"
#include "device/ui/RemoteConnectInfoInputDialog.h"
#include "device/ui/ScriptRemoteImportDialog.h"
#include "common/ui/LogView.h"
#include "editor/HelpPages.h"
#include "editor/ui/OutputHighlighter.h"
#include "editor/ui/ProjectSearchDialog.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptSearch.h"
#include "editor/ui/SearchDialog.h"
#include "editor/SnippetCatalogue.h"
#include "project/ui/NewProjectDialog.h"
#include "project/ProjectFile.h"
#include "project/ui/ProjectTree.h"
#include "project/Workspace.h"
#include "screentools/ColorCode.h"
#include "screentools/ui/ColorPickerPanel.h"
#include "screentools/ui/ImageEditorDialog.h"
#include "screentools/ui/RemoteScreenDialog.h"
#include "screentools/ui/screen.h"
#include "ui_ProjectManagerWindow.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QApplication>
#include <QInputDialog>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>


ProjectManagerWindow *mainWindow = nullptr;
QPointer<RemoteScreenDialog> lastRemoteScreenDialog;

namespace {

void noticeIfFailed(QWidget *parent, const Status &status)
{
    if (!status)
        showNotice(parent, status.error());
}

// A link's line with the lines before it that name its script (the compiler's report is
// preceded by its progress line).
constexpr int kLinkContextLines = 16;
// How long a link that leads nowhere says so in the status line.
constexpr int kStatusMessageMs = 8000;

QString coloured(const char *colour, const QString &text)
{
    return QStringLiteral("<font color=%1>").arg(QLatin1String(colour)) + text.toHtmlEscaped() + QStringLiteral("</font>");
}

} // namespace

ProjectManagerWindow::ProjectManagerWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ProjectManagerWindow)
{
    ui->setupUi(this);
    setWindowTitle(QString::fromUtf8(AppInfo::kProductName) + QStringLiteral(" v") + QString::fromUtf8(AppInfo::kVersion));

    statusLabel = new QLabel(QStringLiteral("无任何连接。"));
    statusBar()->addWidget(statusLabel, 0);
    ui->outTabWidget->setCurrentIndex(0);
    connect(&deviceController, &PCClientControllor::signal_remoteLog, this, &ProjectManagerWindow::debugOut,
            Qt::UniqueConnection);

    mainWindow = this;
    startTimer(2000, Qt::CoarseTimer);
    connect(ui->projectTreeWidget, &ProjectTree::signal_setActiveProject, this,
            &ProjectManagerWindow::setActiveProject);
    connect(ui->projectTreeWidget, &ProjectTree::signal_deleted, this, &ProjectManagerWindow::slot_pathDeleted);
    baseTitle = windowTitle();

    addPass();
    setupScriptEditor();
    setupSnippetMenus();
    setupEditMenu();
    setupOutputLinks();

    // The form's own central widget is replaced by two splitters: tree | (editor / output).
    ui->projectTreeWidget->setGeometry(0, 0, 220, 600);
    editorSplitter = new QSplitter(Qt::Vertical, ui->rightViewWidget);
    editorSplitter->addWidget(editorStack);
    editorSplitter->addWidget(ui->outTabWidget);
    editorSplitter->setStretchFactor(0, 1);
    editorSplitter->setGeometry(0, 0, 800, 600);
    treeSplitter = new QSplitter(Qt::Horizontal, this);
    treeSplitter->addWidget(ui->projectTreeWidget);
    treeSplitter->addWidget(editorSplitter);
    treeSplitter->setGeometry(0, 0, 800, 600);
    treeSplitter->setStretchFactor(1, 1);
    treeSplitter->setSizes({220, 580});
    setCentralWidget(treeSplitter);
}

ProjectManagerWindow::~ProjectManagerWindow()
{
    if (mainWindow == this)
        mainWindow = nullptr;
    Platform::stopUsbForwarding(usbForwarding);
    delete ui;
}

// ---- Output panes -------------------------------------------------------------------------

void ProjectManagerWindow::appendOutput(const QString &text)
{
    ui->outTabWidget->setCurrentIndex(0);
    ui->outText->appendMessage(text);
    // Builds run in this thread without returning to the event loop; paint each line now.
    ui->outText->showNow();
}

void ProjectManagerWindow::appendError(const QString &text)
{
    // In the pane's text at once, as build errors are read right after the build; painted later.
    ui->outText->appendMessage(QStringLiteral("错误：") + text);
    ui->outText->flush();
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
    ui->outTabWidget->setCurrentIndex(1);
    ui->remoteLogText->appendMessage(msg);
}

void ProjectManagerWindow::setupOutputLinks()
{
    const LogView::LinkTest isLink = [](const QString &line) { return OutputLink::parse({line}, 0).has_value(); };
    for (LogView *pane : {ui->outText, ui->remoteLogText}) {
        pane->setLinkTest(isLink);
        connect(pane, &LogView::signal_linkActivated, this,
                [this, pane](int line) { activateOutputLine(pane, line); });
    }
    new OutputHighlighter(ui->outText->document());

    connect(&projectSearch, &ProjectSearch::signal_results, this,
            [this](int, const QStringList &lines) { ui->outText->appendMessage(lines.join(QLatin1Char('\n'))); });
    connect(&projectSearch, &ProjectSearch::signal_finished, this, [this](int, const QString &countLine) {
        projectSearchRunning = false;
        // After the results, in their batches: showing a long backlog at once would stall.
        ui->outText->appendMessage(countLine);
        emit signal_projectSearch_return(coloured("green", countLine));
    });
}

void ProjectManagerWindow::activateOutputLine(LogView *pane, int line)
{
    const QStringList context = pane->lines(line, kLinkContextLines);
    const std::optional<OutputLink> link = OutputLink::parse(context, context.size() - 1);
    if (!link)
        return;
    // The local output is about the project last checked, built or searched; the device's log
    // about the active one.
    openLink(*link, pane == ui->outText && !outputProjectDirectory.isEmpty() ? outputProjectDirectory
                                                                              : projectDirectory(activeProjectName));
}

void ProjectManagerWindow::openLink(const OutputLink &link, const QString &directory)
{
    const Result<QString> file = link.file(directory);
    if (!file) {
        statusBar()->showMessage(file.error(), kStatusMessageMs);
        return;
    }
    openScript(*file);
    ScriptEditor *editor = scriptEditor();
    editor->goToLine(link.line);
    markLink(editor, link);
    editor->setFocus();
}

void ProjectManagerWindow::markLink(ScriptEditor *editor, const OutputLink &link)
{
    switch (link.kind) {
    case OutputLink::Kind::SyntaxError:
    case OutputLink::Kind::Warning: {
        const ScriptEditor::Mark mark =
            link.kind == OutputLink::Kind::SyntaxError ? ScriptEditor::Mark::Error : ScriptEditor::Mark::Warning;
        editor->markLine(link.line, mark, link.tokenColumn(editor->text(link.line - 1)), link.token.size());
        break;
    }
    case OutputLink::Kind::SearchResult:
        editor->markLine(link.line, ScriptEditor::Mark::Found);
        break;
    }
}

void ProjectManagerWindow::showFirstError()
{
    LogView *pane = ui->outText;
    const QStringList lines = pane->lines(pane->blockCount() - 1, pane->blockCount());
    for (int i = 0; i < lines.size(); ++i) {
        const std::optional<OutputLink> link = OutputLink::parse(lines, i);
        if (link && link->kind == OutputLink::Kind::SyntaxError) {
            openLink(*link, outputProjectDirectory);
            return;
        }
    }
}

void ProjectManagerWindow::showWarning(const QString &line)
{
    // In the text at once but painted when the check returns: the warnings come after the
    // work, and a repaint for each of many would hold the check up.
    ui->outTabWidget->setCurrentIndex(0);
    ui->outText->appendMessage(line);
    ui->outText->flush();
    const std::optional<OutputLink> link = OutputLink::parse({line}, 0);
    if (!link)
        return; // the count line
    const Result<QString> file = link->file(outputProjectDirectory);
    if (!file)
        return;
    checkWarnings.append({*file, *link});
    if (ScriptEditor *editor = editorFor(*file))
        markLink(editor, *link);
}

// ---- Timer, status line, closing ----------------------------------------------------------

void ProjectManagerWindow::timerEvent(QTimerEvent *)
{
    updateProjectTree();
    refreshConnectionStatus();
    checkScriptsOnDisk();
}

void ProjectManagerWindow::changeEvent(QEvent *event)
{
    // Back from another program: what it did to the open scripts is dealt with at once.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        QTimer::singleShot(0, this, &ProjectManagerWindow::checkScriptsOnDisk);
    QMainWindow::changeEvent(event);
}

void ProjectManagerWindow::refreshConnectionStatus()
{
    if (!deviceController.isConnected()) {
        statusLabel->setText(QStringLiteral("无任何连接。"));
        return;
    }
    const PCClientSocket &socket = deviceController.controlSocket();
    statusLabel->setText(QString::asprintf("%s%s:%d%s...", "已与", socket.host().toUtf8().constData(), socket.port(),
                                           "建立连接"));
}

void ProjectManagerWindow::closeEvent(QCloseEvent *event)
{
    const QString title = QStringLiteral("退出Kestrun开发平台");
    QList<ScriptEditor *> modified;
    for (ScriptEditor *editor : openEditors()) {
        if (editor->isModified())
            modified << editor;
    }
    bool quit = false;
    if (!modified.isEmpty()) {
        // Unsaved scripts are named in the one question; Cancel keeps the program open.
        quit = settleUnsaved(modified, title, QStringLiteral("退出前是否保存这些修改？"));
    } else {
        quit = QMessageBox::information(nullptr, title, QStringLiteral("是否要退出Kestrun开发平台？"),
                                        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
            == QMessageBox::Yes;
    }
    if (!quit) {
        event->ignore();
        return;
    }
    saveSession();
    event->accept();
}

void ProjectManagerWindow::on_exit_action_triggered()
{
    close();
}

void ProjectManagerWindow::on_action_about_triggered()
{
    AboutDialog dialog(this);
    dialog.exec();
}

// ---- Projects -----------------------------------------------------------------------------

void ProjectManagerWindow::addPass()
{
    Workspace::ensureExists();
    activeProjectName = ui->projectTreeWidget->addPass(Workspace::projectAbsolutePath(QString()), activeProjectName);
}

void ProjectManagerWindow::prunePass()
{
    if (ui->projectTreeWidget->prunePass(activeProjectName))
        activeProjectName.clear();
}

void ProjectManagerWindow::updateProjectTree()
{
    prunePass();
    addPass();
}

void ProjectManagerWindow::setActiveProject(const QString &name)
{
    if (name == activeProjectName)
        return;
    ui->projectTreeWidget->setProjectColour(activeProjectName, QColor(0, 0, 0));
    ui->projectTreeWidget->setProjectColour(name, QColor(0, 0, 255));
    activeProjectName = name;
}

QString ProjectManagerWindow::projectDirectory(const QString &name) const
{
    const QTreeWidgetItem *item = ui->projectTreeWidget->projectItem(name);
    return item ? item->data(0, ProjectTree::PathRole).toString() : QString();
}

ProjectInfo ProjectManagerWindow::projectInfo(const QString &projectName) const
{
    const QString directory = projectDirectory(projectName);
    return directory.isEmpty() ? ProjectInfo() : ProjectFile::read(directory).valueOr(ProjectInfo());
}

void ProjectManagerWindow::readProjectInfo(const QString &projectName, char *name, int nameSize,
                                           char *description, int descriptionSize) const
{
    const ProjectInfo info = projectInfo(projectName);
    if (name)
        FixedText::write(name, nameSize, info.name.toUtf8());
    if (description)
        FixedText::write(description, descriptionSize, info.description.toUtf8());
}

void ProjectManagerWindow::on_new_project_action_triggered()
{
    NewProjectDialog dialog;
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString name = dialog.projectName();
    const QString description = dialog.projectDescription();

    Workspace::ensureExists();
    const QString directory = Workspace::projectAbsolutePath(name);
    const Result<FileOperations::Creation> made = ProjectFile::create(directory, name, description);
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
    static const char *const textSuffixes[] = {".script", ".txt", ".lua", ".html", ".htm"};
    for (const char *suffix : textSuffixes) {
        if (name.endsWith(QLatin1String(suffix))) {
            openScript(path);
            QTreeWidgetItem *top = item;
            while (top->parent())
                top = top->parent();
            setActiveProject(top->data(0, ProjectTree::NameRole).toString());
            return;
        }
    }
    if (name.endsWith(QLatin1String(".bmp"))) {
        openImageEditor(path);
        return;
    }
    Platform::launchFile(launchProcess, path);
}

void ProjectManagerWindow::on_projectTreeWidget_customContextMenuRequested(QPoint) {}

// ---- Script editor ------------------------------------------------------------------------

void ProjectManagerWindow::setupScriptEditor()
{
    welcomeEditor = new ScriptEditor;
    welcomeEditor->setGeometry(0, 0, 220, 500);
    welcomeEditor->showWelcome();
    connect(welcomeEditor, &ScriptEditor::signal_stateChanged, this, &ProjectManagerWindow::updateTitle);

    scriptTabs = new QTabWidget;
    scriptTabs->setDocumentMode(true);
    scriptTabs->setTabsClosable(true);
    scriptTabs->setMovable(true);
    scriptTabs->setElideMode(Qt::ElideNone);
    connect(scriptTabs, &QTabWidget::currentChanged, this, &ProjectManagerWindow::updateTitle);
    connect(scriptTabs, &QTabWidget::tabCloseRequested, this, [this](int index) {
        closeScript(static_cast<ScriptEditor *>(scriptTabs->widget(index)));
    });

    // The welcome text while no script is open, the tabs once one is.
    editorStack = new QStackedWidget;
    editorStack->addWidget(welcomeEditor);
    editorStack->addWidget(scriptTabs);
    updateTitle();
}

ScriptEditor *ProjectManagerWindow::scriptEditor() const
{
    if (auto *editor = static_cast<ScriptEditor *>(scriptTabs->currentWidget()))
        return editor;
    return welcomeEditor;
}

QString ProjectManagerWindow::scriptPath() const
{
    return scriptEditor()->path();
}

bool ProjectManagerWindow::isScriptModified() const
{
    return scriptEditor()->isModified();
}

QList<ScriptEditor *> ProjectManagerWindow::openEditors() const
{
    QList<ScriptEditor *> editors;
    for (int i = 0; i < scriptTabs->count(); ++i)
        editors << static_cast<ScriptEditor *>(scriptTabs->widget(i));
    return editors;
}

ScriptEditor *ProjectManagerWindow::editorFor(const QString &path) const
{
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (ScriptEditor *editor : openEditors()) {
        if (QFileInfo(editor->path()).absoluteFilePath() == wanted)
            return editor;
    }
    return nullptr;
}

void ProjectManagerWindow::updateTitle()
{
    const ScriptEditor *editor = scriptEditor();
    if (editor->path().isEmpty()) {
        setWindowTitle(baseTitle);
        return;
    }
    setWindowTitle(baseTitle + QStringLiteral(" - [") + editor->path()
                   + (editor->isModified() ? QStringLiteral(" *") : QString()) + QStringLiteral("]"));
}

void ProjectManagerWindow::refreshScriptTab(ScriptEditor *editor)
{
    const int index = scriptTabs->indexOf(editor);
    if (index < 0)
        return;
    scriptTabs->setTabText(index, QFileInfo(editor->path()).fileName()
                                      + (editor->isModified() ? QStringLiteral(" *") : QString()));
    scriptTabs->setTabToolTip(index, editor->path());
    if (editor == scriptEditor())
        updateTitle();
}

void ProjectManagerWindow::openScript(const QString &path)
{
    if (ScriptEditor *open = editorFor(path)) {
        scriptTabs->setCurrentWidget(open);
        open->setFocus();
        return;
    }
    auto *editor = new ScriptEditor;
    editor->openFile(QFileInfo(path).absoluteFilePath());
    for (const auto &[file, link] : qAsConst(checkWarnings)) {
        if (QFileInfo(file).absoluteFilePath() == editor->path())
            markLink(editor, link);
    }
    connect(editor, &ScriptEditor::signal_stateChanged, this, [this, editor]() { refreshScriptTab(editor); });
    scriptTabs->addTab(editor, QString());
    refreshScriptTab(editor);
    scriptTabs->setCurrentWidget(editor);
    editorStack->setCurrentWidget(scriptTabs);
    editor->setFocus();
    updateTitle();
    if (!editor->isFaithful()) {
        showNotice(this, QStringLiteral("文件[") + editor->path()
                             + QStringLiteral("]含有不是UTF-8编码的字节，编辑器将其显示为\uFFFD。"
                                              "保存会改写这些字节，保存前会再次询问。"));
    }
}

bool ProjectManagerWindow::saveEditor(ScriptEditor *editor)
{
    if (!editor->isModified() || editor->path().isEmpty())
        return true;
    if (!editor->isFaithful()
        && !askNotice(this,
                      QStringLiteral("文件[") + editor->path()
                          + QStringLiteral("]原有不是UTF-8编码的字节，保存后它们将变为\uFFFD，原来的字节会丢失。是否仍然保存？"),
                      false))
        return false;
    const Status saved = editor->save();
    if (!saved) {
        showNotice(this, QStringLiteral("文件[") + editor->path() + QStringLiteral("]保存失败：") + saved.error());
        return false;
    }
    return true;
}

bool ProjectManagerWindow::saveScript()
{
    return saveEditor(scriptEditor());
}

void ProjectManagerWindow::on_save_project_action_triggered()
{
    saveScript();
}

bool ProjectManagerWindow::settleUnsaved(const QList<ScriptEditor *> &modified, const QString &title,
                                         const QString &question)
{
    QStringList paths;
    for (const ScriptEditor *editor : modified)
        paths << editor->path();
    QMessageBox box(QMessageBox::Warning, title,
                    QStringLiteral("以下脚本有未保存的修改：\n") + paths.join(QLatin1Char('\n')) + QStringLiteral("\n")
                        + question,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        for (ScriptEditor *editor : modified) {
            if (!saveEditor(editor))
                return false;
        }
        return true;
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

bool ProjectManagerWindow::closeScript(ScriptEditor *editor)
{
    if (!editor || scriptTabs->indexOf(editor) < 0)
        return false;
    if (editor->isModified()
        && !settleUnsaved({editor}, Names::noticeTitle(), QStringLiteral("关闭前是否保存这些修改？")))
        return false;
    removeScriptTab(editor);
    return true;
}

void ProjectManagerWindow::removeScriptTab(ScriptEditor *editor)
{
    scriptTabs->removeTab(scriptTabs->indexOf(editor));
    editor->deleteLater();
    if (scriptTabs->count() == 0)
        editorStack->setCurrentWidget(welcomeEditor);
    updateTitle();
}

void ProjectManagerWindow::on_close_script_action_triggered()
{
    closeScript(static_cast<ScriptEditor *>(scriptTabs->currentWidget()));
}

void ProjectManagerWindow::on_action_next_script_triggered()
{
    if (scriptTabs->count() > 1)
        scriptTabs->setCurrentIndex((scriptTabs->currentIndex() + 1) % scriptTabs->count());
}

void ProjectManagerWindow::on_action_previous_script_triggered()
{
    if (scriptTabs->count() > 1)
        scriptTabs->setCurrentIndex((scriptTabs->currentIndex() + scriptTabs->count() - 1) % scriptTabs->count());
}

void ProjectManagerWindow::slot_pathDeleted(const QString &path)
{
    QStringList closed;
    QStringList kept;
    for (ScriptEditor *editor : openEditors()) {
        if (editor->path() != path && !editor->path().startsWith(path + QLatin1Char('/')))
            continue;
        if (editor->isModified()) {
            editor->acknowledgeDisk();
            kept << editor->path();
        } else {
            removeScriptTab(editor);
            closed << editor->path();
        }
    }
    QString text;
    if (!closed.isEmpty())
        text += QStringLiteral("以下脚本已被删除，其标签页已关闭：\n") + closed.join(QLatin1Char('\n'));
    if (!kept.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n"))
            + QStringLiteral("以下脚本已被删除，但有未保存的修改，仍留在编辑器中（保存会重新创建文件）：\n")
            + kept.join(QLatin1Char('\n'));
    if (!text.isEmpty())
        showNotice(this, text);
}

void ProjectManagerWindow::checkScriptsOnDisk()
{
    // A question below runs its own event loop, in which the timer comes again; and no
    // question is put over a dialog the author is busy with.
    if (checkingDisk || QApplication::activeModalWidget())
        return;
    checkingDisk = true;
    for (ScriptEditor *editor : openEditors()) {
        switch (editor->diskState()) {
        case ScriptEditor::DiskState::Same:
            break;
        case ScriptEditor::DiskState::Removed:
            slot_pathDeleted(editor->path());
            break;
        case ScriptEditor::DiskState::Changed:
            if (!editor->isModified()) {
                editor->reload();
                break;
            }
            // Asked once per change: whatever the answer, this state of the file is known.
            editor->acknowledgeDisk();
            if (askNotice(this,
                          QStringLiteral("文件[") + editor->path()
                              + QStringLiteral("]已被其他程序修改。是否重新载入？\n"
                                               "重新载入会用磁盘上的内容替换编辑器中未保存的修改（可撤销）。"),
                          false))
                editor->reload();
            break;
        }
    }
    checkingDisk = false;
}

void ProjectManagerWindow::insertSnippet(const QString &text)
{
    scriptEditor()->insertSnippet(text);
}

void ProjectManagerWindow::setupSnippetMenus()
{
    for (const Snippet &entry : SnippetCatalogue::entries()) {
        auto *menu = findChild<QMenu *>(QLatin1String(entry.menuObjectName));
        Q_ASSERT(menu);
        auto *action = new QAction(QString::fromUtf8(entry.label), menu);
        action->setObjectName(QLatin1String(entry.objectName));
        action->setData(QString::fromUtf8(entry.text));
        menu->addAction(action);
        connect(action, &QAction::triggered, this, &ProjectManagerWindow::slot_insertCatalogueSnippet);
    }
}

void ProjectManagerWindow::slot_insertCatalogueSnippet()
{
    if (auto *action = qobject_cast<QAction *>(sender()))
        insertSnippet(action->data().toString());
}

// ---- Edit menu, search and replace ---------------------------------------------------------

void ProjectManagerWindow::setupEditMenu()
{
    ui->action_edit_undo->setShortcuts(QKeySequence::Undo);
    ui->action_edit_redo->setShortcuts(QKeySequence::Redo);
    ui->action_edit_cut->setShortcuts(QKeySequence::Cut);
    ui->action_edit_copy->setShortcuts(QKeySequence::Copy);
    ui->action_edit_paste->setShortcuts(QKeySequence::Paste);
    ui->action_edit_select_all->setShortcuts(QKeySequence::SelectAll);
    // Ctrl+Shift+Tab arrives as Ctrl+Shift+Backtab.
    ui->action_previous_script->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)});
    // In no menu: the window itself carries their shortcuts.
    addAction(ui->action_next_script);
    addAction(ui->action_previous_script);
}

void ProjectManagerWindow::editCommand(const char *method)
{
    QObject *target = scriptEditor();
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus->window() == this && focus->metaObject()->indexOfSlot(QByteArray(method) + "()") >= 0)
        target = focus;
    QMetaObject::invokeMethod(target, method);
}

void ProjectManagerWindow::on_action_edit_undo_triggered()
{
    editCommand("undo");
}

void ProjectManagerWindow::on_action_edit_redo_triggered()
{
    editCommand("redo");
}

void ProjectManagerWindow::on_action_edit_cut_triggered()
{
    editCommand("cut");
}

void ProjectManagerWindow::on_action_edit_copy_triggered()
{
    editCommand("copy");
}

void ProjectManagerWindow::on_action_edit_paste_triggered()
{
    editCommand("paste");
}

void ProjectManagerWindow::on_action_edit_select_all_triggered()
{
    editCommand("selectAll");
}

void ProjectManagerWindow::on_action_edit_goto_line_triggered()
{
    ScriptEditor *editor = scriptEditor();
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    bool ok = false;
    const int target = QInputDialog::getInt(this, QStringLiteral("转到行"),
                                            QStringLiteral("行号（1 - %1）：").arg(editor->lines()), line + 1, 1,
                                            editor->lines(), 1, &ok);
    if (ok) {
        editor->goToLine(target);
        editor->setFocus();
    }
}

void ProjectManagerWindow::on_action_edit_search_triggered()
{
    // One dialog, beside the editor: the author edits while it is open.
    if (!searchDialog) {
        searchDialog = new SearchDialog(this);
        searchDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(searchDialog, &SearchDialog::signal_search, this, &ProjectManagerWindow::slot_search);
        connect(searchDialog, &SearchDialog::signal_replace, this, &ProjectManagerWindow::slot_replace);
        connect(searchDialog, &SearchDialog::signal_replaceAll, this, &ProjectManagerWindow::slot_replaceAll);
        connect(this, &ProjectManagerWindow::signal_search_return, searchDialog, &SearchDialog::slot_search_return);
    }
    searchDialog->show();
    searchDialog->raise();
    searchDialog->activateWindow();
}

void ProjectManagerWindow::on_action_project_search_triggered()
{
    // One dialog, beside the editor, like the editor's search.
    if (!projectSearchDialog) {
        projectSearchDialog = new ProjectSearchDialog(this);
        projectSearchDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(projectSearchDialog, &ProjectSearchDialog::signal_search, this, &ProjectManagerWindow::slot_projectSearch);
        connect(this, &ProjectManagerWindow::signal_projectSearch_return, projectSearchDialog,
                &ProjectSearchDialog::slot_search_return);
    }
    // The text selected on one line of the script is what the author most likely looks for.
    const QString selected = scriptEditor()->selectedText();
    if (!selected.isEmpty() && !selected.contains(QLatin1Char('\n')) && !selected.contains(QLatin1Char('\r')))
        projectSearchDialog->setSearchText(selected);
    projectSearchDialog->show();
    projectSearchDialog->raise();
    projectSearchDialog->activateWindow();
}

void ProjectManagerWindow::slot_projectSearch(const QString &expr, bool re, bool cs)
{
    const QString directory = projectDirectory(activeProjectName);
    if (activeProjectName.isEmpty() || directory.isEmpty()) {
        emit signal_projectSearch_return(coloured("red", QStringLiteral("当前未设定活动工程，无法搜索。")));
        return;
    }
    const Result<int> started = projectSearch.start(directory, expr, {re, cs});
    if (!started) {
        emit signal_projectSearch_return(coloured("red", started.error()));
        return;
    }
    projectSearchRunning = true;
    outputProjectDirectory = directory;
    for (ScriptEditor *editor : openEditors())
        editor->clearMarks(ScriptEditor::Mark::Found);
    clearOutput();
    appendOutput(QStringLiteral("在工程%1中搜索“%2”...").arg(activeProjectName, expr));
    emit signal_projectSearch_return(QStringLiteral("正在搜索..."));
}

void ProjectManagerWindow::slot_search(const QString &expr, bool re, bool cs, bool wo, bool wrap)
{
    lastSearch = LastSearch{expr, {re, cs, wo, wrap}};
    const bool found = scriptEditor()->findNext(expr, {re, cs, wo, wrap});
    emit signal_search_return(found ? QString() : QStringLiteral("<font color=red>未搜索到指定内容</font>"));
}

void ProjectManagerWindow::slot_replace(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap)
{
    // The first press selects the next match, the second replaces it.
    if (!ScriptSearch::replaceSelection(scriptEditor(), expr, repText, {re, cs, wo, wrap}))
        slot_search(expr, re, cs, wo, wrap);
}

void ProjectManagerWindow::slot_replaceAll(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap)
{
    lastSearch = LastSearch{expr, {re, cs, wo, wrap}};
    const int count = ScriptSearch::replaceAll(scriptEditor(), expr, repText, {re, cs, wo, wrap});
    emit signal_search_return(QStringLiteral("共") + QString::number(count) + QStringLiteral("处被替换"));
}

void ProjectManagerWindow::repeatSearch(bool forward)
{
    if (!lastSearch) {
        on_action_edit_search_triggered();
        return;
    }
    ScriptEditor *editor = scriptEditor();
    const bool found = forward ? editor->findNext(lastSearch->expr, lastSearch->options)
                               : editor->findPrevious(lastSearch->expr, lastSearch->options);
    emit signal_search_return(found ? QString() : QStringLiteral("<font color=red>未搜索到指定内容</font>"));
}

void ProjectManagerWindow::on_action_edit_find_next_triggered()
{
    repeatSearch(true);
}

void ProjectManagerWindow::on_action_edit_find_previous_triggered()
{
    repeatSearch(false);
}

// ---- Session --------------------------------------------------------------------------------

void ProjectManagerWindow::restoreSession()
{
    QSettings settings(Session::organisation(), Session::application());
    Session session = Session::read(settings);
    session.dropMissingScripts();
    if (!session.geometry.isEmpty())
        restoreGeometry(session.geometry);
    if (session.treeSplitter.size() == treeSplitter->count())
        treeSplitter->setSizes(session.treeSplitter);
    if (session.editorSplitter.size() == editorSplitter->count())
        editorSplitter->setSizes(session.editorSplitter);
    if (!session.activeProject.isEmpty() && ui->projectTreeWidget->projectItem(session.activeProject))
        setActiveProject(session.activeProject);
    for (const Session::Script &script : qAsConst(session.scripts)) {
        openScript(script.path);
        ScriptEditor *editor = scriptEditor();
        editor->setCursorPosition(qMin(script.line, editor->lines() - 1), script.index);
        editor->setFirstVisibleLine(script.firstVisibleLine);
    }
    if (session.currentScript >= 0)
        scriptTabs->setCurrentIndex(session.currentScript);
    scriptEditor()->setFocus();
    if (!session.deviceAddress.isEmpty())
        rememberedDeviceAddress = session.deviceAddress;
    if (!session.imageDirectory.isEmpty())
        lastImageDirectory = session.imageDirectory;
}

void ProjectManagerWindow::saveSession() const
{
    Session session;
    session.geometry = saveGeometry();
    session.treeSplitter = treeSplitter->sizes();
    session.editorSplitter = editorSplitter->sizes();
    session.activeProject = activeProjectName;
    for (ScriptEditor *editor : openEditors()) {
        Session::Script script;
        script.path = editor->path();
        editor->getCursorPosition(&script.line, &script.index);
        script.firstVisibleLine = editor->firstVisibleLine();
        session.scripts.append(script);
    }
    session.currentScript = scriptTabs->currentIndex();
    session.deviceAddress = rememberedDeviceAddress;
    session.imageDirectory = lastImageDirectory;
    QSettings settings(Session::organisation(), Session::application());
    session.write(settings);
}

// ---- Help and tool menus ------------------------------------------------------------------

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
    const ScriptEditor *editor = scriptEditor();
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

void ProjectManagerWindow::on_action_USB_connect_triggered()
{
    // One forwarding process at a time: the previous one is ended first.
    Platform::stopUsbForwarding(usbForwarding);
    const Result<QProcess *> started = Platform::startUsbForwarding(this, [this](const QString &why) { showNotice(this, why); });
    usbForwarding = started.valueOr(nullptr);
    if (!started)
        showNotice(this, started.error());
}

void ProjectManagerWindow::on_open_project_dir_action_triggered()
{
    Platform::showInFileBrowser(Workspace::projectAbsolutePath(QString()), false);
}

// ---- Device dialogs ---------------------------------------------------------------------------

void ProjectManagerWindow::on_remote_screen_action_triggered()
{
    const QPointer<RemoteScreenDialog> earlier = lastRemoteScreenDialog;
    lastRemoteScreenDialog = nullptr;
    {
        RemoteConnectInfoInputDialog dialog(deviceController, rememberedDeviceAddress, earlier, this);
        connect(&dialog, &RemoteConnectInfoInputDialog::signal_addressEntered, this,
                &ProjectManagerWindow::rememberDeviceAddress);
        connect(&dialog, &RemoteConnectInfoInputDialog::signal_windowMade, this,
                &ProjectManagerWindow::adoptRemoteScreen);
        dialog.exec();
    }
    // Cancelled before making a window: the earlier window is still the one in use.
    if (!lastRemoteScreenDialog)
        lastRemoteScreenDialog = earlier;
}

void ProjectManagerWindow::adoptRemoteScreen(RemoteScreenDialog *window)
{
    lastRemoteScreenDialog = window;
    connect(window, &RemoteScreenDialog::signal_rectScreencap, this,
            &ProjectManagerWindow::on_screencap_rect_action_triggered);
    connect(window, &RemoteScreenDialog::signal_fullScreencap, this, &ProjectManagerWindow::handleScreencap);
    connect(this, &ProjectManagerWindow::signal_screencap_rect, window, &RemoteScreenDialog::slot_screencap_rect);
    connectColorPanel(window->colorPanel());
}

void ProjectManagerWindow::connectColorPanel(ColorPickerPanel *panel)
{
    connect(panel, &ColorPickerPanel::signal_insertText, this, &ProjectManagerWindow::insertSnippet);
    connect(panel, &ColorPickerPanel::signal_copyText, this, &ProjectManagerWindow::copyToClipboard);
    connect(this, &ProjectManagerWindow::signal_rectScreencapSaved, panel, &ColorPickerPanel::slot_screencapSaved);
}

void ProjectManagerWindow::copyToClipboard(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

void ProjectManagerWindow::rememberDeviceAddress(const QString &address)
{
    rememberedDeviceAddress = address;
}

void ProjectManagerWindow::on_remote_import_action_triggered()
{
    ScriptRemoteImportDialog dialog(deviceController, rememberedDeviceAddress, this);
    connect(&dialog, &ScriptRemoteImportDialog::signal_addressEntered, this,
            &ProjectManagerWindow::rememberDeviceAddress);
    // Where the build (F6) writes the active project's package.
    const QString name = projectInfo(activeProjectName).name;
    if (!name.isEmpty())
        dialog.setScriptPath(projectDirectory(activeProjectName) + QLatin1Char('/') + name + Names::packageSuffix());
    connect(&dialog, &ScriptRemoteImportDialog::out, this, &ProjectManagerWindow::out);
    dialog.exec();
}

void ProjectManagerWindow::on_action_connection_manager_triggered()
{
    ConnectionManagerDialog dialog(deviceController, rememberedDeviceAddress, this);
    connect(&dialog, &ConnectionManagerDialog::signal_addressEntered, this,
            &ProjectManagerWindow::rememberDeviceAddress);
    dialog.exec();
}

// ---- Screen tools --------------------------------------------------------------------------

std::optional<ScreenshotStore::RemoteScreen> ProjectManagerWindow::lastRemoteScreen() const
{
    // A window that never had a frame knows no size: its captures go where those without a
    // remote screen go.
    if (!lastRemoteScreenDialog || !lastRemoteScreenDialog->isFirstFrameShown())
        return std::nullopt;
    const FBInfo &frame = lastRemoteScreenDialog->frameInfo();
    return ScreenshotStore::RemoteScreen{frame.width, frame.height, lastRemoteScreenDialog->frameScreencapMode()};
}

void ProjectManagerWindow::on_screencap_rect_action_triggered()
{
    // Inside a widget "screen" names QWidget::screen(), hence the "::".
    const QPixmap desktop = ::screen::grabDesktop();
    ::screen dialog(this);
    connect(&dialog, &::screen::signal_screencap, this, &ProjectManagerWindow::handleRectScreencap);
    dialog.setDesktop(desktop);
    // Shown by exec() itself: a dialog already visible when exec() starts is not modal.
    dialog.setWindowState(Qt::WindowFullScreen);
    dialog.exec();
}

std::optional<QString> ProjectManagerWindow::saveScreencap(const QPixmap &result, const QRect &region)
{
    if (activeProjectName.isEmpty()) {
        showNotice(this, QStringLiteral("当前未设定活动工程，无法保存截图。"));
        return std::nullopt;
    }
    const Result<QString> saved = ScreenshotStore::save(result.toImage(), activeProjectName, lastRemoteScreen(),
                                                        QDateTime::currentMSecsSinceEpoch() / 1000);
    if (!saved)
        showNotice(this, QStringLiteral("截图保存失败。") + saved.error());
    emit signal_screencap_rect(region.x(), region.y(), region.width(), region.height());
    if (!saved)
        return std::nullopt;
    appendOutput(QStringLiteral("截图已保存：") + saved.value());
    return saved.value();
}

void ProjectManagerWindow::handleScreencap(const QPixmap &result, int x1, int y1, int x2, int y2)
{
    saveScreencap(result, QRect(x1, y1, x2, y2));
}

void ProjectManagerWindow::handleRectScreencap(const QPixmap &result, int x1, int y1, int x2, int y2)
{
    const std::optional<QString> file = saveScreencap(result, QRect(x1, y1, x2, y2));
    if (!file)
        return;
    const Result<QString> relative = ColorCode::projectRelativePath(Workspace::projectPath(activeProjectName), *file);
    if (relative)
        emit signal_rectScreencapSaved(*relative, QRect(x1, y1, x2, y2));
}

void ProjectManagerWindow::openImageEditor(const QString &path)
{
    ImageEditorDialog editor(this);
    connect(&editor, &ImageEditorDialog::signal_rectScreencap, this,
            &ProjectManagerWindow::on_screencap_rect_action_triggered);
    connect(this, &ProjectManagerWindow::signal_screencap_rect, &editor, &ImageEditorDialog::slot_screencap_rect);
    connectColorPanel(editor.colorPanel());
    editor.openImage(path);
    editor.exec(); // shows it, maximized, and modal
}

void ProjectManagerWindow::on_action_image_editor_triggered()
{
    openImageEditor(QString());
}

// ---- Build commands ---------------------------------------------------------------------------

ProjectBuilder ProjectManagerWindow::builder()
{
    return ProjectBuilder({[this](const QString &line) { appendOutput(line); },
                           [this](const QString &text) { appendError(text); },
                           [this](const QString &line) { showWarning(line); }});
}

QString ProjectManagerWindow::prepareBuild()
{
    const QString directory = projectDirectory(activeProjectName);
    // A script whose save failed would be built from its old text on disk.
    const QString inProject = QDir::cleanPath(directory) + QLatin1Char('/');
    for (ScriptEditor *editor : openEditors()) {
        if (directory.isEmpty() || !editor->isModified() || !editor->path().startsWith(inProject))
            continue;
        if (!saveEditor(editor)) {
            clearOutput();
            appendError(QStringLiteral("脚本[%1]未能保存，编译已取消。").arg(editor->path()));
            return QString();
        }
    }
    clearOutput();
    // The build writes the output now; the search's lines would mix with its lines.
    if (projectSearchRunning) {
        projectSearch.cancel();
        projectSearchRunning = false;
        emit signal_projectSearch_return(coloured("red", QStringLiteral("搜索已被编译中断。")));
    }
    outputProjectDirectory = directory;
    checkWarnings.clear();
    for (ScriptEditor *editor : openEditors()) {
        editor->clearMarks(ScriptEditor::Mark::Error);
        editor->clearMarks(ScriptEditor::Mark::Warning);
    }
    if (activeProjectName.isEmpty() || directory.isEmpty())
        appendError(ProjectBuilder::noActiveProjectMessage());
    return directory;
}

bool ProjectManagerWindow::compileActiveProject()
{
    const QString directory = prepareBuild();
    if (directory.isEmpty())
        return false;
    if (builder().check(activeProjectName, directory))
        return true;
    showFirstError();
    return false;
}

bool ProjectManagerWindow::compileDirectory(const QString &projectDirectory, const QString &directory)
{
    return builder().compileDirectory(projectDirectory, directory);
}

bool ProjectManagerWindow::compileScript(const QString &path, const QString &outputDirectory)
{
    return builder().compileScript(path, outputDirectory);
}

void ProjectManagerWindow::buildActiveProject()
{
    const QString directory = prepareBuild();
    if (!directory.isEmpty() && !builder().build(activeProjectName, directory))
        showFirstError();
}

void ProjectManagerWindow::on_syntax_check_action_triggered()
{
    compileActiveProject();
}

void ProjectManagerWindow::on_compile_project_action_triggered()
{
    buildActiveProject();
}
