#pragma once

#include "common/Diagnostic.h"
#include "project/ActiveProject.h"

#include <QMainWindow>
#include <QProcess>

#include <memory>

class BuildCommands;
class CodeAssist;
class DebugCommands;
class DeviceSession;
class EditCommands;
class LogView;
class QLabel;
class QSplitter;
class QTreeWidgetItem;
class RunCommands;
class ScriptTabs;
class SearchCommands;

namespace Ui {
class ProjectManagerWindow;
}

// The IDE's main window: project tree, script tabs, output panes, menus and status line. It
// only wires: the open scripts, the searches, the build commands, the device session, the
// script runs and their debugging do the work, each in a class of its own that the window
// makes and hands what it needs.
class ProjectManagerWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ProjectManagerWindow(QWidget *parent = nullptr);
    ~ProjectManagerWindow() override;

    // Output panes: a line of the local output, shown and painted at once (for work that holds
    // the interface thread), an error line, and emptying it.
    void appendOutput(const QString &text);
    void appendError(const QString &text);
    void clearOutput();

    // The project tree follows the disk (prune pass, then add pass); the active project.
    void addPass();
    void prunePass();
    void setActiveProject(const QString &name);
    void openScript(const QString &path);

    // Restored once after start, written when the window closes.
    void restoreSession();
    void saveSession() const;

    ActiveProject &project() const { return *activeProject; }
    ScriptTabs &scripts() const { return *openScripts; }
    SearchCommands &searches() const { return *searchCommands; }
    BuildCommands &builds() const { return *buildCommands; }
    CodeAssist &assist() const { return *codeAssist; }
    DeviceSession &device() const { return *deviceSession; }
    RunCommands &runs() const { return *runCommands; }
    DebugCommands &debugging() const { return *debugCommands; }
    Ui::ProjectManagerWindow *form() const { return ui; }

public slots:
    void on_new_project_action_triggered();
    void on_save_project_action_triggered();
    void updateProjectTree();
    // A screenshot from a picture window, into the active project.
    void handleScreencap(const QPixmap &result, int x1, int y1, int x2, int y2);
    // appendOutput as a slot; debugOut appends to the remote-debugging pane.
    void out(QString msg);
    void debugOut(QString msg);
    void on_projectTreeWidget_itemDoubleClicked(QTreeWidgetItem *item, int column);
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

private:
    void setupMenus();
    void setupOutput();
    // What a collaborator writes to the local output.
    template <typename Source>
    void wireOutput(Source *source);
    void appendLine(const QString &line);
    void appendDiagnostic(const Diagnostic &found);
    // A line of a pane that was double-clicked, or Enter pressed on: to the place it names.
    void activateOutputLine(LogView *pane, int line);
    void showStatus(const QString &text);
    void startBuild(bool package);

    QProcess launchProcess;
    Ui::ProjectManagerWindow *ui;
    QString baseTitle;
    QLabel *statusLabel = nullptr;
    QSplitter *treeSplitter = nullptr;
    QSplitter *editorSplitter = nullptr;
    // In the order they need each other; they go in the reverse order, before the widgets.
    std::unique_ptr<ActiveProject> activeProject;
    std::unique_ptr<ScriptTabs> openScripts;
    std::unique_ptr<SearchCommands> searchCommands;
    std::unique_ptr<EditCommands> editCommands;
    std::unique_ptr<BuildCommands> buildCommands;
    std::unique_ptr<CodeAssist> codeAssist; // made once the form is
    std::unique_ptr<DeviceSession> deviceSession;
    std::unique_ptr<RunCommands> runCommands;
    std::unique_ptr<DebugCommands> debugCommands;
};
