#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QProcess>

#include "screentools/ScreenshotStore.h"

#include <optional>

class QLabel;
class QTreeWidgetItem;

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
    // Copies the name and/or description of a project's file into zero-terminated buffers of
    // the given sizes (null buffers are skipped); text that does not fit is cut at a character
    // boundary. Missing tags give empty text.
    void readProjectInfo(const QString &projectName, char *name, int nameSize, char *description = nullptr,
                         int descriptionSize = 0) const;

    // Editor.
    void openScript(const QString &path);

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
    void handleScreencap(QPixmap &result, int x1, int y1, int x2, int y2);
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

protected:
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void refreshConnectionStatus();

    QProcess launchProcess;
    Ui::ProjectManagerWindow *ui;
    QString currentScriptPath;
    QString activeProjectName;
    QString baseTitle;
    QLabel *statusLabel = nullptr;
    bool scriptModified = false;
};

// The one main window of the process, set while it is constructed.
extern ProjectManagerWindow *mainWindow;
