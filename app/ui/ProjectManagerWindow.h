#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QProcess>

#include "project/ProjectFile.h"
#include "screentools/ScreenshotStore.h"

#include <optional>

class ProjectBuilder;
class RemoteScreenDialog;
class QLabel;
class QTreeWidgetItem;
class QsciScintilla;

namespace Ui {
class ProjectManagerWindow;
}

// The IDE's main window: project tree, script editor, output panes, menus and status line.
// Commands are thin entry points; the work is done by the classes they call.
class ProjectManagerWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ProjectManagerWindow(QWidget *parent = nullptr);
    ~ProjectManagerWindow() override;

    // Output panes.
    void appendOutput(const QString &text);
    void appendOutput(const char *text);
    void appendError(const QString &text);
    void clearOutput();

    // Projects.
    void addPass();
    void prunePass();
    void setActiveProject(const QString &name);
    QString activeProject() const { return activeProjectName; }
    // Absolute directory of the project the tree shows under this name, or "".
    QString projectDirectory(const QString &name) const;
    // Name and description from the project file of the project the tree shows under this name;
    // empty when there is no such project or the tags are missing.
    ProjectInfo projectInfo(const QString &projectName) const;
    // Copies the name and/or description of a project's file into zero-terminated buffers of
    // the given sizes (null buffers are skipped); text that does not fit is cut at a character
    // boundary. Missing tags give empty text.
    void readProjectInfo(const QString &projectName, char *name, int nameSize, char *description = nullptr,
                         int descriptionSize = 0) const;

    // Editor.
    // Shows a script; asks first whether to save a modified one (a failed save keeps it open).
    void openScript(const QString &path);
    // Saves the open script if it has changes. False when saving failed or was declined; the
    // author has been told why and the script stays marked modified.
    bool saveScript();
    void updateTitle(bool modified);
    // Inserts text at the caret and puts the caret behind it.
    void insertSnippet(const QString &text);
    QsciScintilla *scriptEditor() const { return editor; }
    QString scriptPath() const { return currentScriptPath; }
    bool isScriptModified() const { return scriptModified; }

    // Build commands: the script check (F5) and the project build (F6) of the active project.
    bool compileActiveProject();
    bool compileDirectory(const QString &projectDirectory, const QString &directory);
    bool compileScript(const QString &path, const QString &outputDirectory);
    void buildActiveProject();

    // Screen tools.
    void openImageEditor(const QString &path);
    // The remote screen window last made by the connect dialog, as the screenshot saver needs
    // it; none while there is no such window.
    std::optional<ScreenshotStore::RemoteScreen> lastRemoteScreen() const;

    Ui::ProjectManagerWindow *form() const { return ui; }

signals:
    void signal_screencap_rect(int x1, int y1, int x2, int y2);
    void signal_search_return(QString ret);

public slots:
    void on_new_project_action_triggered();
    void on_save_project_action_triggered();
    void updateProjectTree();
    void handleScreencap(const QPixmap &result, int x1, int y1, int x2, int y2);
    void out(QString msg);
    void debugOut(QString msg);
    void on_projectTreeWidget_itemDoubleClicked(QTreeWidgetItem *item, int column);
    void on_projectTreeWidget_customContextMenuRequested(QPoint pos);
    void on_compile_project_action_triggered();
    void on_syntax_check_action_triggered();
    void on_screencap_rect_action_triggered();
    void on_exit_action_triggered();
    void on_remote_screen_action_triggered();
    void on_remote_import_action_triggered();
    void on_action_connection_manager_triggered();
    void on_action_image_editor_triggered();
    void on_action_edit_search_triggered();
    void on_action_about_triggered();

    // Editor, search and help menus.
    void handleScriptModificationChanged(bool modified);
    void handleSCNCharadded(int charadded);
    void slot_search(const QString &expr, bool re, bool cs, bool wo, bool wrap);
    void slot_replace(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap);
    void slot_replaceAll(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap);
    void on_action_kestrun_docs_triggered();
    void on_action_9_triggered();
    void on_action_5_triggered();
    void on_action_bbs_tutorial_triggered();
    void on_action_how_use_usb_for_remote_connect_triggered();
    void on_action_bbs_triggered();
    void on_action_USB_connect_triggered();
    void on_open_project_dir_action_triggered();

protected:
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void slot_insertCatalogueSnippet();

private:
    // Makes a window from the connect dialog the one the screenshot saver and the capture
    // commands talk to.
    void adoptRemoteScreen(RemoteScreenDialog *window);
    void rememberDeviceAddress(const QString &address);
    void refreshConnectionStatus();
    ProjectBuilder builder();
    // Saves the open script and clears the output; the active project's directory, or "" (with
    // an error line) when there is nothing to build.
    QString prepareBuild();
    void setupScriptEditor();
    void setupSnippetMenus();

    QProcess launchProcess;
    Ui::ProjectManagerWindow *ui;
    QString currentScriptPath;
    QString activeProjectName;
    QString baseTitle;
    QLabel *statusLabel = nullptr;
    bool scriptModified = false;

    // Editor.
    QsciScintilla *editor = nullptr;
    bool scriptFaithful = true;       // saving would give back the bytes the file had
    bool scriptByteOrderMark = false; // the file began with a UTF-8 byte-order mark
    QProcess *usbForwarding = nullptr;
};

// The one main window of the process, set while it is constructed.
extern ProjectManagerWindow *mainWindow;
// The remote screen window last made by the connect dialog, or null: the screenshot saver
// names its directories after that window's last frame. Null while a connect dialog is open
// that has not made a window yet.
extern QPointer<RemoteScreenDialog> lastRemoteScreenDialog;
