#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QProcess>

#include "common/Diagnostic.h"
#include "editor/ProjectSearch.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptSearch.h"
#include "project/ProjectFile.h"
#include "screentools/ScreenshotStore.h"

#include <optional>

class ColorPickerPanel;
class LogView;
class ProjectBuilder;
class ProjectSearchDialog;
class RemoteScreenDialog;
class QLabel;
class QTreeWidgetItem;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class SearchDialog;

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

    // Editor: every open script has a tab; with none open the welcome text is shown.
    // Shows a script in its tab, opening one when it is not open yet.
    void openScript(const QString &path);
    // Saves the current script if it has changes. False when saving failed or was declined;
    // the author has been told why and the script stays marked modified.
    bool saveScript();
    // Inserts text at the caret and puts the caret behind it.
    void insertSnippet(const QString &text);
    // The editor of the current tab, or the welcome text's when no script is open.
    ScriptEditor *scriptEditor() const;
    QString scriptPath() const;
    bool isScriptModified() const;
    // The editors of all open scripts, in tab order.
    QList<ScriptEditor *> openEditors() const;
    // Closes a script's tab; a modified one asks first. False when the author kept it open.
    bool closeScript(ScriptEditor *editor);
    // Brings a file changed, or removed, by another program into the open tabs: an unmodified
    // script is reloaded (or closed), a modified one asks before its changes are replaced.
    void checkScriptsOnDisk();

    // Session: restored once after start, written when the window closes.
    void restoreSession();
    void saveSession() const;

    // Build commands: the script check (F5) and the project build (F6) of the active project.
    bool compileActiveProject();
    void buildActiveProject();

    // Screen tools.
    void openImageEditor(const QString &path);
    // The remote screen window last made by the connect dialog, as the screenshot saver needs
    // it; none while there is no such window.
    std::optional<ScreenshotStore::RemoteScreen> lastRemoteScreen() const;

    Ui::ProjectManagerWindow *form() const { return ui; }

signals:
    void signal_screencap_rect(int x1, int y1, int x2, int y2);
    // A rectangle screenshot was saved: the file's path in the active project and the region
    // cut from the desktop.
    void signal_rectScreencapSaved(const QString &relativePath, const QRect &desktopRegion);
    void signal_search_return(QString ret);
    // The status of the project search, for its dialog.
    void signal_projectSearch_return(QString ret);

public slots:
    void on_new_project_action_triggered();
    void on_save_project_action_triggered();
    void updateProjectTree();
    void handleScreencap(const QPixmap &result, int x1, int y1, int x2, int y2);
    // appendOutput as a slot: the remote import dialog's progress lines arrive here.
    void out(QString msg);
    void debugOut(QString msg);
    void on_projectTreeWidget_itemDoubleClicked(QTreeWidgetItem *item, int column);
    // Does nothing: the tree opens its own context menu.
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
    void slot_search(const QString &expr, bool re, bool cs, bool wo, bool wrap);
    void slot_replace(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap);
    void slot_replaceAll(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap);
    void on_close_script_action_triggered();
    void on_action_next_script_triggered();
    void on_action_previous_script_triggered();
    void on_action_edit_undo_triggered();
    void on_action_edit_redo_triggered();
    void on_action_edit_cut_triggered();
    void on_action_edit_copy_triggered();
    void on_action_edit_paste_triggered();
    void on_action_edit_select_all_triggered();
    void on_action_edit_find_next_triggered();
    void on_action_edit_find_previous_triggered();
    void on_action_edit_goto_line_triggered();
    void on_action_project_search_triggered();
    void slot_projectSearch(const QString &expr, bool re, bool cs);
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
    void changeEvent(QEvent *event) override;

private slots:
    void slot_insertCatalogueSnippet();
    void handleRectScreencap(const QPixmap &result, int x1, int y1, int x2, int y2);
    void copyToClipboard(const QString &text);
    void slot_pathDeleted(const QString &path);

private:
    // Makes a window from the connect dialog the one the screenshot saver and the capture
    // commands talk to.
    void adoptRemoteScreen(RemoteScreenDialog *window);
    // Saves a screenshot into the active project and reports its region (left, top, width,
    // height). The file it went to; none when it was not saved (the author has been told why).
    std::optional<QString> saveScreencap(const QPixmap &result, const QRect &region);
    // Code from a picture window's colour picker goes to the current script or the clipboard;
    // saved rectangle screenshots are offered to it.
    void connectColorPanel(ColorPickerPanel *panel);
    void rememberDeviceAddress(const QString &address);
    void refreshConnectionStatus();
    ProjectBuilder builder();
    // Saves the open scripts of the active project and clears the output; the active
    // project's directory, or "" (with an error line) when there is nothing to build.
    QString prepareBuild();
    void setupScriptEditor();
    void setupSnippetMenus();
    void setupEditMenu();
    void setupOutputLinks();

    // Opens the script a link leads to at its line, marked. A link that leads nowhere says why
    // in the status line.
    void openLink(const Diagnostic &link);
    // Marks a link's line in an editor of its script, without moving the caret.
    static void markLink(ScriptEditor *editor, const Diagnostic &link);
    // A line of a pane that was double-clicked, or Enter pressed on.
    void activateOutputLine(LogView *pane, int line);
    // After a check that failed: to the first syntax error the local output reports.
    void showFirstError();
    // An error or warning of the check: shown; a warning is marked in its script, now if it is
    // open, else when it is opened.
    void showDiagnostic(const Diagnostic &found);

    ScriptEditor *editorFor(const QString &path) const;
    // Saves one script, asking first when that would rewrite bytes that were not UTF-8.
    bool saveEditor(ScriptEditor *editor);
    // Asks Save / Discard / Cancel for these modified scripts; Save saves them all (stopping at
    // the first failure, which counts as Cancel). True when the caller may go on.
    bool settleUnsaved(const QList<ScriptEditor *> &modified, const QString &title, const QString &question);
    void removeScriptTab(ScriptEditor *editor);
    void refreshScriptTab(ScriptEditor *editor);
    void updateTitle();
    // Runs an edit command on the widget with the keyboard focus, else on the current script.
    void editCommand(const char *method);
    void repeatSearch(bool forward);

    QProcess launchProcess;
    Ui::ProjectManagerWindow *ui;
    QString activeProjectName;
    QString baseTitle;
    QLabel *statusLabel = nullptr;

    // Editor.
    QStackedWidget *editorStack = nullptr;
    ScriptEditor *welcomeEditor = nullptr;
    QTabWidget *scriptTabs = nullptr;
    QSplitter *treeSplitter = nullptr;
    QSplitter *editorSplitter = nullptr;
    QPointer<SearchDialog> searchDialog;
    struct LastSearch
    {
        QString expr;
        ScriptSearch::Options options;
    };
    std::optional<LastSearch> lastSearch;
    bool checkingDisk = false;

    // The last check's warnings, with the file each names, and its first error with a place.
    QList<QPair<QString, Diagnostic>> checkWarnings;
    std::optional<Diagnostic> firstError;
    ProjectSearch projectSearch;
    bool projectSearchRunning = false;
    QPointer<ProjectSearchDialog> projectSearchDialog;
    QProcess *usbForwarding = nullptr;
};

// The one main window of the process, set while it is constructed.
extern ProjectManagerWindow *mainWindow;
// The remote screen window last made by the connect dialog, or null: the screenshot saver
// names its directories after that window's last frame. Null while a connect dialog is open
// that has not made a window yet.
extern QPointer<RemoteScreenDialog> lastRemoteScreenDialog;
