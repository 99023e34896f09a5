#pragma once

#include <QHash>
#include <QIcon>
#include <QStringList>
#include <QTreeWidget>

// The workspace as a tree: one top-level item per project, below it the project's files and
// directories. It follows the disk through two passes that the main window runs every two
// seconds; a directory is listed again only when its change stamp says its entries changed.
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
    // removed, new ones added at the end of their level. New projects are added at the end.
    // When activeName is empty the first project listed becomes active; returns the active name.
    // Below the projects both directions share one directory listing, which halves the cost
    // of the two-second passes on large workspaces.
    QString addPass(const QString &workspaceDirectory, const QString &activeName);

    // The last top-level item carrying this project name, or null.
    QTreeWidgetItem *projectItem(const QString &name) const;
    void setProjectColour(const QString &name, const QColor &colour);

    // The context menu: its labels for an item kind, and what a chosen label does.
    static QStringList menuLabels(int kind);
    void runMenuCommand(const QString &label, int kind, const QString &name, const QString &path);

signals:
    // "设为活动工程" was chosen for this project; whoever holds the active project decides.
    void signal_setActiveProject(const QString &name);
    // A file, directory or project was deleted (moved to the trash) from the context menu.
    void signal_deleted(const QString &path);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QTreeWidgetItem *makeItem(const QString &name, const QString &path, int kind, bool isDir);
    void fillChildren(const QString &directory, QTreeWidgetItem *parent);
    QIcon iconFor(const QString &name, bool isDir);

    QHash<QString, QIcon> iconCache;
};
