#include "app/ui/ProjectManagerWindow.h"

#include "app/ui/AboutDialog.h"
#include "app/AppInfo.h"
#include "app/ProcessObjects.h"
#include "common/Platform.h"
#include "toolchain/ProjectBuilder.h"
#include "toolchain/FixedText.h"
#include "device/ui/ConnectionManagerDialog.h"
#include "device/PCClientControllor.h"
#include "device/ui/RemoteConnectInfoInputDialog.h"
#include "device/ui/ScriptRemoteImportDialog.h"
#include "editor/AutoIndent.h"
#include "editor/HelpPages.h"
#include "editor/ui/ScriptEditorSetup.h"
#include "editor/ScriptFile.h"
#include "editor/ui/ScriptSearch.h"
#include "editor/ui/SearchDialog.h"
#include "editor/SnippetCatalogue.h"
#include "project/ui/NewProjectDialog.h"
#include "project/ProjectFile.h"
#include "project/ui/ProjectTree.h"
#include "project/Workspace.h"
#include "screentools/ui/ImageEditorDialog.h"
#include "screentools/ui/RemoteScreenDialog.h"
#include "screentools/ui/screen.h"
#include "ui_ProjectManagerWindow.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QSplitter>
#include <QTextCursor>
#include <QTextEdit>

#include <Qsci/qsciscintilla.h>

ProjectManagerWindow *mainWindow = nullptr;
QPointer<RemoteScreenDialog> lastRemoteScreenDialog;

namespace {

// Output is plain text: compiler messages such as "near <eof>" must not be read as markup.
void appendParagraph(QTextEdit *edit, const QString &text)
{
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    if (!edit->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    else
        cursor.setCharFormat(QTextCharFormat());
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    cursor.insertText(plain);
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
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

    scriptModified = false;
    mainWindow = this;
    startTimer(2000, Qt::CoarseTimer);
    connect(ui->projectTreeWidget, &ProjectTree::signal_setActiveProject, this,
            &ProjectManagerWindow::setActiveProject);
    baseTitle = windowTitle();

    addPass();
    setupScriptEditor();
    setupSnippetMenus();

    // The form's own central widget is replaced by two splitters: tree | (editor / output).
    ui->projectTreeWidget->setGeometry(0, 0, 220, 600);
    auto *rightSplitter = new QSplitter(Qt::Vertical, ui->rightViewWidget);
    rightSplitter->addWidget(editor);
    rightSplitter->addWidget(ui->outTabWidget);
    rightSplitter->setStretchFactor(0, 1);
    rightSplitter->setGeometry(0, 0, 800, 600);
    auto *mainSplitter = new QSplitter(Qt::Horizontal, this);
    mainSplitter->addWidget(ui->projectTreeWidget);
    mainSplitter->addWidget(rightSplitter);
    mainSplitter->setGeometry(0, 0, 800, 600);
    mainSplitter->setStretchFactor(1, 1);
    mainSplitter->setSizes({220, 580});
    setCentralWidget(mainSplitter);
}

ProjectManagerWindow::~ProjectManagerWindow()
{
    if (mainWindow == this)
        mainWindow = nullptr;
    delete ui;
}

// ---- Output panes -------------------------------------------------------------------------

void ProjectManagerWindow::appendOutput(const QString &text)
{
    ui->outTabWidget->setCurrentIndex(0);
    appendParagraph(ui->outText, text);
    // Builds run in this thread without returning to the event loop; paint each line now.
    ui->outText->repaint();
}

void ProjectManagerWindow::appendOutput(const char *text)
{
    appendOutput(QString::fromUtf8(text));
}

void ProjectManagerWindow::appendError(const QString &text)
{
    appendParagraph(ui->outText, QStringLiteral("错误：") + text);
}

void ProjectManagerWindow::clearOutput()
{
    ui->outText->clear();
}

void ProjectManagerWindow::out(QString msg)
{
    appendOutput(msg);
}

void ProjectManagerWindow::debugOut(QString msg)
{
    ui->outTabWidget->setCurrentIndex(1);
    appendParagraph(ui->remoteLogText, msg);
}

// ---- Timer, status line, closing ----------------------------------------------------------

void ProjectManagerWindow::timerEvent(QTimerEvent *)
{
    updateProjectTree();
    refreshConnectionStatus();
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
    const auto answer = QMessageBox::information(nullptr, QStringLiteral("退出Kestrun开发平台"),
                                                 QStringLiteral("是否要退出Kestrun开发平台？"),
                                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
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
    return directory.isEmpty() ? ProjectInfo() : ProjectFile::read(directory);
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
    QString error;
    const ProjectFile::CreateResult result = ProjectFile::create(directory, name, description, &error);
    if (result == ProjectFile::CreateResult::AlreadyExists)
        return;
    if (result == ProjectFile::CreateResult::Failed) {
        QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("新建工程失败：") + error, QMessageBox::Ok);
        return;
    }
    updateProjectTree();
    openScript(directory + QLatin1Char('/') + ProjectFile::mainScriptName());
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

void ProjectManagerWindow::on_projectTreeWidget_customContextMenuRequested(QPoint)
{
    // The tree shows its own context menu.
}

// ---- Script editor ------------------------------------------------------------------------

void ProjectManagerWindow::setupScriptEditor()
{
    editor = new QsciScintilla;
    editor->setGeometry(0, 0, 220, 500);
    ScriptEditorSetup::configure(editor);
    connect(editor, &QsciScintilla::SCN_CHARADDED, this, &ProjectManagerWindow::handleSCNCharadded);
    connect(editor, &QsciScintilla::modificationChanged, this, &ProjectManagerWindow::handleScriptModificationChanged);
    editor->setText(ScriptEditorSetup::welcomeText());
    editor->setModified(false);
    updateTitle(false);
}

void ProjectManagerWindow::updateTitle(bool modified)
{
    scriptModified = modified;
    if (currentScriptPath.isEmpty())
        return;
    setWindowTitle(baseTitle + QStringLiteral(" - [") + currentScriptPath
                   + (modified ? QStringLiteral(" *") : QString()) + QStringLiteral("]"));
}

void ProjectManagerWindow::handleScriptModificationChanged(bool modified)
{
    updateTitle(modified);
}

void ProjectManagerWindow::openScript(const QString &path)
{
    if (scriptModified) {
        const auto answer = QMessageBox::information(
            this, QStringLiteral("提示"),
            QStringLiteral("当前文件[") + currentScriptPath + QStringLiteral("]已经被修改，在打开新脚本之前是否保存当前文件？"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        // Opening the next script after a failed save would throw the changes away.
        if (answer == QMessageBox::Yes && !saveScript())
            return;
    }
    const ScriptFile::Contents contents = ScriptFile::read(path);
    editor->setText(contents.text);
    editor->setModified(false);
    currentScriptPath = path;
    scriptFaithful = contents.faithful;
    scriptByteOrderMark = contents.byteOrderMark;
    updateTitle(false);
    if (!contents.faithful) {
        QMessageBox::information(this, QStringLiteral("提示"),
                                 QStringLiteral("文件[") + path
                                     + QStringLiteral("]含有不是UTF-8编码的字节，编辑器将其显示为\uFFFD。"
                                                      "保存会改写这些字节，保存前会再次询问。"),
                                 QMessageBox::Ok);
    }
}

bool ProjectManagerWindow::saveScript()
{
    if (!scriptModified || currentScriptPath.isEmpty())
        return true;
    if (!scriptFaithful) {
        const auto answer = QMessageBox::information(
            this, QStringLiteral("提示"),
            QStringLiteral("文件[") + currentScriptPath
                + QStringLiteral("]原有不是UTF-8编码的字节，保存后它们将变为\uFFFD，原来的字节会丢失。是否仍然保存？"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
    }
    QString error;
    if (!ScriptFile::write(currentScriptPath, editor->text(), scriptByteOrderMark, &error)) {
        QMessageBox::information(this, QStringLiteral("提示"),
                                 QStringLiteral("文件[") + currentScriptPath + QStringLiteral("]保存失败：") + error,
                                 QMessageBox::Ok);
        return false;
    }
    scriptFaithful = true;
    editor->setModified(false);
    updateTitle(false);
    return true;
}

void ProjectManagerWindow::on_save_project_action_triggered()
{
    saveScript();
}

void ProjectManagerWindow::handleSCNCharadded(int charadded)
{
    // Enter inserts CR LF; the CR is reported first, with the caret already on the new line.
    if (charadded != '\r')
        return;
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    if (line < 1)
        return;
    const AutoIndent::Edit edit = AutoIndent::afterNewLine(editor->text(line - 1), editor->tabWidth());
    if (edit.isEmpty())
        return;
    editor->insert(edit.insertion);
    editor->setCursorPosition(line, edit.caretColumn);
}

void ProjectManagerWindow::insertSnippet(const QString &text)
{
    // Counting the text's characters forward from the caret would overshoot after every CR LF,
    // which the editor steps over as one character; its length in bytes lands exactly behind it.
    const long position = editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    editor->insert(text);
    editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, position + text.toUtf8().size());
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

// ---- Search and replace -------------------------------------------------------------------

void ProjectManagerWindow::on_action_edit_search_triggered()
{
    SearchDialog dialog(this);
    connect(&dialog, &SearchDialog::signal_search, this, &ProjectManagerWindow::slot_search);
    connect(&dialog, &SearchDialog::signal_replace, this, &ProjectManagerWindow::slot_replace);
    connect(&dialog, &SearchDialog::signal_replaceAll, this, &ProjectManagerWindow::slot_replaceAll);
    connect(this, &ProjectManagerWindow::signal_search_return, &dialog, &SearchDialog::slot_search_return);
    dialog.exec();
}

void ProjectManagerWindow::slot_search(const QString &expr, bool re, bool cs, bool wo, bool wrap)
{
    const bool found = ScriptSearch::findNext(editor, expr, {re, cs, wo, wrap});
    emit signal_search_return(found ? QString() : QStringLiteral("<font color=red>未搜索到指定内容</font>"));
}

void ProjectManagerWindow::slot_replace(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap)
{
    // The first press selects the next match, the second replaces it.
    if (!ScriptSearch::replaceSelection(editor, expr, repText))
        slot_search(expr, re, cs, wo, wrap);
}

void ProjectManagerWindow::slot_replaceAll(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap)
{
    const int count = ScriptSearch::replaceAll(editor, expr, repText, {re, cs, wo, wrap});
    emit signal_search_return(QStringLiteral("共") + QString::number(count) + QStringLiteral("处被替换"));
}

// ---- Help and tool menus ------------------------------------------------------------------

void ProjectManagerWindow::on_action_kestrun_docs_triggered()
{
    Platform::openLocalDocument(HelpPages::localTutorial());
}

void ProjectManagerWindow::on_action_9_triggered()
{
    QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("参见Kestrun教程5.6"), QMessageBox::Ok);
}

void ProjectManagerWindow::on_action_5_triggered()
{
    QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("参见Kestrun教程5.4"), QMessageBox::Ok);
}

void ProjectManagerWindow::on_action_bbs_tutorial_triggered()
{
    Platform::openPageInBrowser(HelpPages::forumTutorial());
}

void ProjectManagerWindow::on_action_how_use_usb_for_remote_connect_triggered()
{
    Platform::openUrl(HelpPages::usbConnectionGuide());
}

void ProjectManagerWindow::on_action_bbs_triggered()
{
    Platform::openUrl(HelpPages::forumHome());
}

void ProjectManagerWindow::on_action_USB_connect_triggered()
{
    // One forwarding process at a time: deleting the previous one ends it.
    delete usbForwarding;
    usbForwarding = Platform::startUsbForwarding(this);
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
        dialog.setScriptPath(projectDirectory(activeProjectName) + QLatin1Char('/') + name + QStringLiteral(".ks"));
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
    connect(&dialog, &::screen::signal_screencap, this, &ProjectManagerWindow::handleScreencap);
    dialog.setDesktop(desktop);
    // Shown by exec() itself: a dialog already visible when exec() starts is not modal.
    dialog.setWindowState(Qt::WindowFullScreen);
    dialog.exec();
}

void ProjectManagerWindow::handleScreencap(const QPixmap &result, int x1, int y1, int x2, int y2)
{
    if (activeProjectName.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("当前未设定活动工程，无法保存截图。"),
                                 QMessageBox::Ok);
        return;
    }
    QString error;
    if (ScreenshotStore::save(result.toImage(), activeProjectName, lastRemoteScreen(),
                              QDateTime::currentMSecsSinceEpoch() / 1000, &error)
            .isEmpty())
        QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("截图保存失败。") + error, QMessageBox::Ok);
    emit signal_screencap_rect(x1, y1, x2, y2);
}

void ProjectManagerWindow::openImageEditor(const QString &path)
{
    ImageEditorDialog editor(this);
    connect(&editor, &ImageEditorDialog::signal_rectScreencap, this,
            &ProjectManagerWindow::on_screencap_rect_action_triggered);
    connect(this, &ProjectManagerWindow::signal_screencap_rect, &editor, &ImageEditorDialog::slot_screencap_rect);
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
                           [this](const QString &text) { appendError(text); }});
}

QString ProjectManagerWindow::prepareBuild()
{
    // A script whose save failed would be built from its old text on disk.
    if (!saveScript()) {
        clearOutput();
        appendError(QStringLiteral("当前脚本未能保存，编译已取消。"));
        return QString();
    }
    const QString directory = projectDirectory(activeProjectName);
    clearOutput();
    if (activeProjectName.isEmpty() || directory.isEmpty())
        appendError(ProjectBuilder::noActiveProjectMessage());
    return directory;
}

bool ProjectManagerWindow::compileActiveProject()
{
    const QString directory = prepareBuild();
    return !directory.isEmpty() && builder().check(activeProjectName, directory);
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
    if (!directory.isEmpty())
        builder().build(activeProjectName, directory);
}

void ProjectManagerWindow::on_syntax_check_action_triggered()
{
    compileActiveProject();
}

void ProjectManagerWindow::on_compile_project_action_triggered()
{
    buildActiveProject();
}
