#include "project/ui/ProjectTree.h"

#include "common/Names.h"
#include "common/Platform.h"
#include "common/ui/Notice.h"
#include "project/DirListing.h"
#include "project/FileOperations.h"
#include "project/NameOrder.h"
#include "project/ui/FilenNameInputDialog.h"
#include "project/Workspace.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMenu>
#include <QSet>

#include <algorithm>

namespace {

const QString kSetActive = QStringLiteral("设为活动工程");
const QString kNewScript = QStringLiteral("新建脚本文件");
const QString kNewDirectory = QStringLiteral("新建目录");
const QString kDeleteProject = QStringLiteral("删除该工程");
const QString kDeleteFile = QStringLiteral("删除该文件");
const QString kDeleteDirectory = QStringLiteral("删除该目录");
const QString kRename = QStringLiteral("重命名");
const QKeySequence kRenameKey(Qt::Key_F2);

// Qt 5.15 moves the entry into a folder "files" of the working directory when it cannot make
// the trash in the user's data folder, which it does not create: that folder is made first.
bool isListedInProject(const DirListing::Entry &entry)
{
    if (entry.isDir)
        return true;
    return entry.name != Names::projectFile() && !entry.name.endsWith(Names::compiledSuffix());
}

// Children by name, one table per kind; the first in tree order wins, as a linear search
// would find it.
struct Children
{
    QHash<QString, QTreeWidgetItem *> byKind[3];

    explicit Children(const QTreeWidgetItem *parent)
    {
        for (auto &table : byKind)
            table.reserve(parent->childCount());
        for (int i = parent->childCount() - 1; i >= 0; --i) { // backwards: the first one stays
            QTreeWidgetItem *child = parent->child(i);
            const int kind = child->data(0, ProjectTree::KindRole).toInt();
            if (kind >= 0 && kind < 3)
                byKind[kind].insert(child->data(0, ProjectTree::NameRole).toString(), child);
        }
    }
    QTreeWidgetItem *find(const QString &name, int kind) const { return byKind[kind].value(name); }
};

// Folders (and projects) before files, then by name.
bool sortsBefore(const QTreeWidgetItem *a, const QTreeWidgetItem *b)
{
    const bool aIsFile = a->data(0, ProjectTree::KindRole).toInt() == ProjectTree::FileKind;
    const bool bIsFile = b->data(0, ProjectTree::KindRole).toInt() == ProjectTree::FileKind;
    if (aIsFile != bIsFile)
        return bIsFile;
    return NameOrder::lessThan(a->data(0, ProjectTree::NameRole).toString(), b->data(0, ProjectTree::NameRole).toString());
}

// Adds items to a parent whose children are in order, each in its place.
void insertSorted(QTreeWidgetItem *parent, QList<QTreeWidgetItem *> items)
{
    std::sort(items.begin(), items.end(), sortsBefore);
    if (parent->childCount() == 0) {
        parent->addChildren(items);
        return;
    }
    for (QTreeWidgetItem *item : qAsConst(items)) {
        int low = 0;
        int high = parent->childCount();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (sortsBefore(parent->child(middle), item))
                low = middle + 1;
            else
                high = middle;
        }
        parent->insertChild(low, item);
    }
}

QTreeWidgetItem *topLevelOf(QTreeWidgetItem *item)
{
    while (item && item->parent())
        item = item->parent();
    return item;
}

} // namespace

ProjectTree::ProjectTree(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderLabel(QStringLiteral("工程目录"));
    setIconSize(QSize(12, 12));
    // Entries are moved on disk; the tree only shows where they went.
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    auto *rename = new QAction(kRename, this);
    rename->setShortcut(kRenameKey);
    rename->setShortcutContext(Qt::WidgetShortcut);
    connect(rename, &QAction::triggered, this, [this] {
        QTreeWidgetItem *item = currentItem();
        if (item && item->data(0, KindRole).toInt() != ProjectKind)
            runMenuCommand(kRename, item->data(0, KindRole).toInt(), item->data(0, NameRole).toString(),
                           item->data(0, PathRole).toString());
    });
    addAction(rename);
}

QIcon ProjectTree::iconFor(const QString &name, bool isDir)
{
    // Looking an icon up per file is slow on some desktops; icons only vary by kind and suffix.
    const QString key = isDir ? QStringLiteral("/") : QFileInfo(name).suffix().toLower();
    auto found = iconCache.constFind(key);
    if (found != iconCache.constEnd())
        return *found;
    static QFileIconProvider provider;
    const QIcon icon = isDir ? provider.icon(QFileIconProvider::Folder) : provider.icon(QFileInfo(name));
    iconCache.insert(key, icon);
    return icon;
}

QTreeWidgetItem *ProjectTree::makeItem(const QString &name, const QString &path, int kind, bool isDir)
{
    auto *item = new QTreeWidgetItem(0);
    item->setText(0, name);
    item->setIcon(0, iconFor(name, isDir));
    item->setData(0, KindRole, kind);
    item->setData(0, NameRole, name);
    item->setData(0, PathRole, path);
    if (kind == ProjectKind)
        item->setFlags(item->flags() & ~Qt::ItemIsDragEnabled);
    return item;
}

QString ProjectTree::addPass(const QString &workspaceDirectory, const QString &activeName)
{
    QString active = activeName;
    const Children projects(invisibleRootItem());
    // The top level is walked in listing order: with no active project, the newest one wins.
    for (const DirListing::Entry &entry : DirListing::entries(workspaceDirectory)) {
        if (!entry.isDir || !Workspace::isProjectDirectory(entry.path()))
            continue;
        QTreeWidgetItem *item = projects.find(entry.name, ProjectKind);
        if (!item) {
            item = makeItem(entry.name, entry.path(), ProjectKind, true);
            insertSorted(invisibleRootItem(), {item});
        }
        if (active.isEmpty()) {
            active = entry.name;
            item->setForeground(0, QBrush(QColor(0, 0, 255)));
        }
        fillChildren(entry.path(), item);
    }
    return active;
}

void ProjectTree::fillChildren(const QString &directory, QTreeWidgetItem *parent)
{
    // A directory whose entries did not change since its last listing keeps its children;
    // only its subdirectories are looked into. Read before listing: a change during the
    // listing leaves a newer stamp, and the next pass lists again.
    const qint64 stamp = DirListing::changeStamp(directory);
    const QVariant listed = parent->data(0, ListedRole);
    if (stamp >= 0 && listed.isValid() && listed.toLongLong() == stamp) {
        // Files are not looked at: most directories hold only files.
        if (!parent->data(0, SubdirectoriesRole).toBool())
            return;
        for (int i = 0; i < parent->childCount(); ++i) {
            QTreeWidgetItem *child = parent->child(i);
            if (child->data(0, KindRole).toInt() == DirectoryKind)
                fillChildren(child->data(0, PathRole).toString(), child);
        }
        return;
    }
    // A stamp of this very moment may be shared by a change still to come in the same clock
    // tick: such a directory is listed again next time.
    const bool settled = stamp >= 0 && QDateTime::currentMSecsSinceEpoch() * 1000000 - stamp > DirListing::kSettleNs;
    parent->setData(0, ListedRole, settled ? QVariant(stamp) : QVariant());

    // One listing of the directory serves both directions: children whose entry vanished are
    // removed, entries without a child are added.
    const QVector<DirListing::Entry> listing = DirListing::scan(directory);
    parent->setData(0, SubdirectoriesRole, std::any_of(listing.begin(), listing.end(),
                                                       [](const DirListing::Entry &e) { return e.isDir; }));
    if (parent->childCount() > 0) {
        QSet<QString> present;
        present.reserve(listing.size());
        for (const DirListing::Entry &entry : listing)
            present.insert(entry.name);
        for (int i = parent->childCount() - 1; i >= 0; --i) {
            if (!present.contains(parent->child(i)->data(0, NameRole).toString()))
                delete parent->takeChild(i);
        }
    }

    const Children existing(parent);
    QVector<DirListing::Entry> fresh;
    for (const DirListing::Entry &entry : listing) {
        if (!isListedInProject(entry))
            continue;
        QTreeWidgetItem *item = existing.find(entry.name, entry.isDir ? DirectoryKind : FileKind);
        if (!item)
            fresh.append(entry);
        else if (entry.isDir)
            fillChildren(entry.path(), item);
    }
    if (fresh.isEmpty())
        return;
    QList<QTreeWidgetItem *> added;
    for (const DirListing::Entry &entry : qAsConst(fresh)) {
        QTreeWidgetItem *item = makeItem(entry.name, entry.path(), entry.isDir ? DirectoryKind : FileKind, entry.isDir);
        if (entry.isDir)
            fillChildren(entry.path(), item);
        added.append(item);
    }
    insertSorted(parent, added);
}

bool ProjectTree::prunePass(const QString &activeName)
{
    bool activeRemoved = false;
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *project = topLevelItem(i);
        if (!Workspace::isProjectDirectory(project->data(0, PathRole).toString())) {
            if (project->data(0, NameRole).toString() == activeName)
                activeRemoved = true;
            delete takeTopLevelItem(i);
        }
    }
    return activeRemoved;
}

QTreeWidgetItem *ProjectTree::projectItem(const QString &name) const
{
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *item = topLevelItem(i);
        if (item->data(0, NameRole).toString() == name)
            return item;
    }
    return nullptr;
}

void ProjectTree::setProjectColour(const QString &name, const QColor &colour)
{
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *item = topLevelItem(i);
        if (item->data(0, NameRole).toString() == name)
            item->setForeground(0, QBrush(colour));
    }
}

QStringList ProjectTree::menuLabels(int kind)
{
    switch (kind) {
    case ProjectKind:
        return {kSetActive, kNewScript, kNewDirectory, kDeleteProject, Platform::showInFileBrowserText()};
    case FileKind:
        return {kRename, kDeleteFile, Platform::showInFileBrowserText()};
    case DirectoryKind:
        return {kNewScript, kNewDirectory, kRename, kDeleteDirectory, Platform::showInFileBrowserText()};
    default:
        return {};
    }
}

void ProjectTree::contextMenuEvent(QContextMenuEvent *event)
{
    QTreeWidgetItem *item = itemAt(event->pos());
    if (!item)
        return;
    // The timer's passes keep running while the menu is open and may delete the item, so
    // everything needed afterwards is copied now.
    const int kind = item->data(0, KindRole).toInt();
    const QString name = item->data(0, NameRole).toString();
    const QString path = item->data(0, PathRole).toString();

    QMenu menu;
    for (const QString &label : menuLabels(kind))
        menu.addAction(label)->setShortcut(label == kRename ? kRenameKey : QKeySequence());
    const QAction *chosen = menu.exec(event->globalPos());
    if (chosen)
        runMenuCommand(chosen->text(), kind, name, path);
}

void ProjectTree::runMenuCommand(const QString &label, int kind, const QString &name, const QString &path)
{
    if (label == kSetActive) {
        emit signal_setActiveProject(name);
    } else if (label == kNewScript || label == kNewDirectory) {
        const bool isScript = label == kNewScript;
        FilenNameInputDialog dialog(this);
        dialog.setWindowTitle(label);
        if (!isScript)
            dialog.clearFileName();
        QString made;
        dialog.setAction([&](const QString &name) {
            made = path + QLatin1Char('/') + name;
            return createEntry(made, isScript);
        });
        if (dialog.exec() != QDialog::Accepted)
            return;
        showMade(made);
        if (isScript)
            emit signal_openScript(made);
    } else if (label == kRename) {
        FilenNameInputDialog dialog(this);
        dialog.setWindowTitle(kRename);
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        dialog.setFileName(name, kind == FileKind && dot > 0 ? dot : name.size());
        QString renamed;
        dialog.setAction([&](const QString &newName) {
            renamed = QFileInfo(path).path() + QLatin1Char('/') + newName;
            return newName == name ? Status() : renameEntry(path, renamed, kind);
        });
        if (dialog.exec() != QDialog::Accepted || renamed == path)
            return;
        showMade(renamed);
    } else if (label == kDeleteProject || label == kDeleteDirectory || label == kDeleteFile) {
        const QString target = label == kDeleteProject ? Workspace::projectAbsolutePath(name) : path;
        const QString what = label == kDeleteProject ? QStringLiteral("工程")
            : label == kDeleteDirectory              ? QStringLiteral("目录")
                                                     : QStringLiteral("文件");
        if (!askNotice(this, QStringLiteral("确定要删除%1“%2”吗？").arg(what, name), false))
            return;
        FileOperations::moveToTrashOrDelete(target);
        emit signal_deleted(QFileInfo(target).absoluteFilePath());
    } else if (label == Platform::showInFileBrowserText()) {
        Platform::showInFileBrowser(path, kind == FileKind);
    }
}

Status ProjectTree::createEntry(const QString &target, bool isScript)
{
    const Result<FileOperations::Creation> made =
        isScript ? FileOperations::createEmptyFile(target) : FileOperations::createDirectory(target);
    if (!made)
        return fail(QStringLiteral("无法创建“%1”：%2").arg(target, made.error()));
    if (*made == FileOperations::Creation::AlreadyExists)
        return fail(isScript ? QStringLiteral("文件已存在！") : QStringLiteral("该目录已存在！"));
    return Status();
}

Status ProjectTree::renameEntry(const QString &path, const QString &target, int kind)
{
    const Result<FileOperations::Creation> moved = FileOperations::move(path, target);
    if (!moved)
        return fail(QStringLiteral("无法重命名：") + moved.error());
    if (*moved == FileOperations::Creation::AlreadyExists)
        return fail(kind == FileKind ? QStringLiteral("文件已存在！") : QStringLiteral("该目录已存在！"));
    emit signal_moved(path, target);
    return Status();
}

void ProjectTree::showMade(const QString &path)
{
    emit signal_filesChanged();
    selectPath(path);
}

QTreeWidgetItem *ProjectTree::itemForPath(const QString &path) const
{
    // Down from the project whose directory holds it, one name at a time.
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = topLevelItem(i);
        const QString top = item->data(0, PathRole).toString();
        if (!FileOperations::isAtOrUnder(path, top))
            continue;
        for (const QString &name : path.mid(top.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            QTreeWidgetItem *next = nullptr;
            for (int c = 0; c < item->childCount() && !next; ++c) {
                if (item->child(c)->data(0, NameRole).toString() == name)
                    next = item->child(c);
            }
            item = next;
            if (!item)
                break;
        }
        if (item)
            return item;
    }
    return nullptr;
}

void ProjectTree::selectPath(const QString &path)
{
    QTreeWidgetItem *item = itemForPath(path);
    if (!item)
        return;
    for (QTreeWidgetItem *up = item->parent(); up; up = up->parent())
        up->setExpanded(true);
    setCurrentItem(item);
    scrollToItem(item);
}

QStringList ProjectTree::expandedPaths(const QString &workspaceDirectory) const
{
    QStringList paths;
    const QString prefix = QDir::cleanPath(workspaceDirectory) + QLatin1Char('/');
    QList<QTreeWidgetItem *> pending{invisibleRootItem()};
    while (!pending.isEmpty()) {
        QTreeWidgetItem *item = pending.takeLast();
        for (int i = 0; i < item->childCount(); ++i) {
            QTreeWidgetItem *child = item->child(i);
            const QString path = child->data(0, PathRole).toString();
            if (child->isExpanded() && path.startsWith(prefix)) {
                paths << path.mid(prefix.size());
                pending << child;
            }
        }
    }
    return paths;
}

void ProjectTree::expandPaths(const QString &workspaceDirectory, const QStringList &paths)
{
    const QString prefix = QDir::cleanPath(workspaceDirectory) + QLatin1Char('/');
    for (const QString &path : paths) {
        if (QTreeWidgetItem *item = itemForPath(prefix + path))
            item->setExpanded(true);
    }
}

QString ProjectTree::dropDirectory(const QPoint &position) const
{
    const QList<QTreeWidgetItem *> dragged = selectedItems();
    QTreeWidgetItem *target = itemAt(position);
    if (dragged.size() != 1 || !target || dragged.first()->data(0, KindRole).toInt() == ProjectKind)
        return QString();
    QTreeWidgetItem *source = dragged.first();
    if (target->data(0, KindRole).toInt() == FileKind)
        target = target->parent();
    // Within its project, somewhere it is not already, never into itself.
    if (!target || topLevelOf(target) != topLevelOf(source) || target == source->parent())
        return QString();
    for (QTreeWidgetItem *up = target; up; up = up->parent()) {
        if (up == source)
            return QString();
    }
    return target->data(0, PathRole).toString();
}

void ProjectTree::dragEnterEvent(QDragEnterEvent *event)
{
    // Only the tree's own entries: files dropped from elsewhere are not taken in.
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QTreeWidget::dragEnterEvent(event);
}

void ProjectTree::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeWidget::dragMoveEvent(event); // scrolls near the edges, shows where it would go
    if (event->source() == this && !dropDirectory(event->pos()).isEmpty()) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ProjectTree::dropEvent(QDropEvent *event)
{
    const QString directory = event->source() == this ? dropDirectory(event->pos()) : QString();
    const QList<QTreeWidgetItem *> dragged = selectedItems();
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    if (directory.isEmpty() || dragged.isEmpty()) {
        event->ignore();
        return;
    }
    // Not a move for the view: it would take the dragged item out itself, while the pass
    // that follows the disk already has.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    moveInto(dragged.first()->data(0, PathRole).toString(), directory);
}

bool ProjectTree::moveInto(const QString &path, const QString &directory)
{
    const QString target = directory + QLatin1Char('/') + QFileInfo(path).fileName();
    const Result<FileOperations::Creation> moved = FileOperations::move(path, target);
    if (!moved || *moved == FileOperations::Creation::AlreadyExists) {
        showNotice(this, moved ? QStringLiteral("目录“%1”中已有同名的“%2”，未移动。")
                                     .arg(QDir::toNativeSeparators(directory), QFileInfo(path).fileName())
                               : QStringLiteral("无法移动：") + moved.error());
        return false;
    }
    emit signal_moved(path, target);
    showMade(target);
    return true;
}
