#pragma once

#include "common/Result.h"

#include <QHash>
#include <QIcon>
#include <QStringList>
#include <QTreeWidget>

// The workspace as a tree: one top-level item per project, below it the project's files and
// directories, folders first, then by name (NameOrder). It follows the disk through two passes
// that the main window runs every two seconds; a directory is listed again only when its change
// stamp says its entries changed. Files and directories are renamed (F2) and moved by dragging
// within their project; what is made, renamed or moved is selected, a new script opened.
class ProjectTree : public QTreeWidget
{
    Q_OBJECT

public:
    enum Kind { ProjectKind = 0, FileKind = 1, DirectoryKind = 2 };
    static constexpr int KindRole = Qt::UserRole;
    static constexpr int NameRole = Qt::UserRole + 1;
    static constexpr int PathRole = Qt::UserRole + 2;
    // On projects and directories: the directory's change stamp when it was last listed.
    static constexpr int ListedRole = Qt::UserRole + 3;
    // On projects and directories: whether that listing held subdirectories.
    static constexpr int SubdirectoriesRole = Qt::UserRole + 4;

    explicit ProjectTree(QWidget *parent = nullptr);

    // Removes projects whose directory or project file is gone; returns true when the project
    // named activeName was removed.
    bool prunePass(const QString &activeName);
    // Brings every project's items in step with the disk: vanished files and directories are
    // removed, new ones added in their place. New projects are added in their place too.
    // When activeName is empty the first project listed becomes active; returns the active name.
    // Below the projects both directions share one directory listing, which halves the cost
    // of the two-second passes on large workspaces.
    QString addPass(const QString &workspaceDirectory, const QString &activeName);

    // The last top-level item carrying this project name, or null.
    QTreeWidgetItem *projectItem(const QString &name) const;
    void setProjectColour(const QString &name, const QColor &colour);
    // The item of a path in the workspace, or null.
    QTreeWidgetItem *itemForPath(const QString &path) const;
    // Makes a path's item current, its folders unfolded, and shows it.
    void selectPath(const QString &path);
    // The unfolded projects and directories, as paths relative to the workspace directory, and
    // unfolding them again (those still there).
    QStringList expandedPaths(const QString &workspaceDirectory) const;
    void expandPaths(const QString &workspaceDirectory, const QStringList &paths);

    // Moves a file or directory into a directory of the same project, as a drop does; the author
    // is told when it cannot be done. False when nothing was moved.
    bool moveInto(const QString &path, const QString &directory);

    // The context menu: its labels for an item kind, and what a chosen label does.
    static QStringList menuLabels(int kind);
    void runMenuCommand(const QString &label, int kind, const QString &name, const QString &path);

signals:
    // "设为活动工程" was chosen for this project; whoever holds the active project decides.
    void signal_setActiveProject(const QString &name);
    // A file, directory or project was deleted (moved to the trash) from the context menu.
    void signal_deleted(const QString &path);
    // A file or directory was renamed or moved.
    void signal_moved(const QString &from, const QString &to);
    // Something was made, renamed or moved: the tree wants a pass now, not in two seconds.
    void signal_filesChanged();
    // A script was made: it is opened for the author to write.
    void signal_openScript(const QString &path);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QTreeWidgetItem *makeItem(const QString &name, const QString &path, int kind, bool isDir);
    // Where a drop at a point of the view moves the dragged entry: a directory's path, or
    // empty when it cannot go there.
    QString dropDirectory(const QPoint &position) const;
    // Done by OK of the name dialog: what a command makes or renames, with its messages.
    Status createEntry(const QString &target, bool isScript);
    Status renameEntry(const QString &path, const QString &target, int kind);
    // A pass of the owner, then the entry selected.
    void showMade(const QString &path);
    void fillChildren(const QString &directory, QTreeWidgetItem *parent);
    QIcon iconFor(const QString &name, bool isDir);

    QHash<QString, QIcon> iconCache;
};
