#include "project/ui/ProjectTree.h"

#include "common/Names.h"
#include "common/Platform.h"
#include "common/ui/Notice.h"
#include "project/DirListing.h"
#include "project/FileOperations.h"
#include "project/ui/FilenNameInputDialog.h"
#include "project/Workspace.h"

#include <QContextMenuEvent>
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

} // namespace

ProjectTree::ProjectTree(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderLabel(QStringLiteral("工程目录"));
    setIconSize(QSize(12, 12));
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
            addTopLevelItem(item);
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
    // Only new entries need the listing order (and the file status it costs): they are
    // appended at the end of their level, newest first.
    DirListing::sortNewestFirst(fresh);
    QList<QTreeWidgetItem *> added;
    for (const DirListing::Entry &entry : qAsConst(fresh)) {
        QTreeWidgetItem *item = makeItem(entry.name, entry.path(), entry.isDir ? DirectoryKind : FileKind, entry.isDir);
        if (entry.isDir)
            fillChildren(entry.path(), item);
        added.append(item);
    }
    parent->addChildren(added);
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
        return {kDeleteFile, Platform::showInFileBrowserText()};
    case DirectoryKind:
        return {kNewScript, kNewDirectory, kDeleteDirectory, Platform::showInFileBrowserText()};
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
        menu.addAction(label);
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
        if (dialog.exec() != QDialog::Accepted)
            return;
        const QString target = path + QLatin1Char('/') + dialog.fileName();
        const Result<FileOperations::Creation> made = isScript ? FileOperations::createEmptyFile(target)
                                                               : FileOperations::createDirectory(target);
        if (!made)
            showNotice(this, QStringLiteral("无法创建“%1”：%2").arg(target, made.error()));
        else if (*made == FileOperations::Creation::AlreadyExists)
            showNotice(this, isScript ? QStringLiteral("文件已存在！") : QStringLiteral("该目录已存在！"));
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
