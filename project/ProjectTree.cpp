#include "project/ProjectTree.h"

#include "app/Platform.h"
#include "app/ProjectManagerWindow.h"
#include "project/DirListing.h"
#include "project/FileOperations.h"
#include "project/FilenNameInputDialog.h"
#include "project/Workspace.h"

#include <QContextMenuEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>

namespace {

const QString kSetActive = QStringLiteral("设为活动工程");
const QString kNewScript = QStringLiteral("新建脚本文件");
const QString kNewDirectory = QStringLiteral("新建目录");
const QString kDeleteProject = QStringLiteral("删除该工程");
const QString kDeleteFile = QStringLiteral("删除该文件");
const QString kDeleteDirectory = QStringLiteral("删除该目录");
const QString kShowInBrowser = QStringLiteral("在Explorer中显示");

bool isListedInProject(const QFileInfo &entry)
{
    if (entry.isDir())
        return true;
    const QString name = entry.fileName();
    return name != QLatin1String("ks.project") && !name.endsWith(QLatin1String(".m"));
}

QString childKey(const QString &name, int kind)
{
    return QString::number(kind) + QLatin1Char('/') + name;
}

// Children by name and kind; the first in tree order wins, as a linear search would find it.
QHash<QString, QTreeWidgetItem *> childrenByKey(const QTreeWidgetItem *parent)
{
    QHash<QString, QTreeWidgetItem *> children;
    children.reserve(parent->childCount());
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem *child = parent->child(i);
        const QString key = childKey(child->data(0, ProjectTree::NameRole).toString(),
                                     child->data(0, ProjectTree::KindRole).toInt());
        if (!children.contains(key))
            children.insert(key, child);
    }
    return children;
}

} // namespace

ProjectTree::ProjectTree(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderLabel(QStringLiteral("工程目录"));
    setIconSize(QSize(12, 12));
}

void ProjectTree::setMainWindow(ProjectManagerWindow *mainWindow)
{
    window = mainWindow;
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
    const QHash<QString, QTreeWidgetItem *> projects = childrenByKey(invisibleRootItem());
    for (const QFileInfo &entry : DirListing::entries(workspaceDirectory)) {
        if (!entry.isDir() || !Workspace::isProjectDirectory(entry.filePath()))
            continue;
        const QString name = entry.fileName();
        QTreeWidgetItem *item = projects.value(childKey(name, ProjectKind));
        if (!item) {
            item = makeItem(name, entry.absoluteFilePath(), ProjectKind, true);
            addTopLevelItem(item);
        }
        if (active.isEmpty()) {
            active = name;
            item->setForeground(0, QBrush(QColor(0, 0, 255)));
        }
        fillChildren(entry.absoluteFilePath(), item);
    }
    return active;
}

void ProjectTree::fillChildren(const QString &directory, QTreeWidgetItem *parent)
{
    const QHash<QString, QTreeWidgetItem *> existing = childrenByKey(parent);
    QList<QTreeWidgetItem *> added;
    for (const QFileInfo &entry : DirListing::entries(directory)) {
        if (!isListedInProject(entry))
            continue;
        const bool isDir = entry.isDir();
        const int kind = isDir ? DirectoryKind : FileKind;
        QTreeWidgetItem *item = existing.value(childKey(entry.fileName(), kind));
        if (item) {
            if (isDir)
                fillChildren(entry.absoluteFilePath(), item);
            continue;
        }
        item = makeItem(entry.fileName(), entry.absoluteFilePath(), kind, isDir);
        if (isDir)
            fillChildren(entry.absoluteFilePath(), item);
        added.append(item);
    }
    // One insertion for the whole level is much cheaper than one per item.
    parent->addChildren(added);
}

bool ProjectTree::prunePass(const QString &activeName)
{
    bool activeRemoved = false;
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *project = topLevelItem(i);
        pruneChildren(project);
        const QString path = project->data(0, PathRole).toString();
        if (!Workspace::isProjectDirectory(path)) {
            if (project->data(0, NameRole).toString() == activeName)
                activeRemoved = true;
            delete takeTopLevelItem(i);
        }
    }
    return activeRemoved;
}

void ProjectTree::pruneChildren(QTreeWidgetItem *parent)
{
    for (int i = parent->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *child = parent->child(i);
        if (child->childCount() > 0)
            pruneChildren(child);
        if (!QFileInfo::exists(child->data(0, PathRole).toString()))
            delete parent->takeChild(i);
    }
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
        return {kSetActive, kNewScript, kNewDirectory, kDeleteProject, kShowInBrowser};
    case FileKind:
        return {kDeleteFile, kShowInBrowser};
    case DirectoryKind:
        return {kNewScript, kNewDirectory, kDeleteDirectory, kShowInBrowser};
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
        if (window)
            window->setActiveProject(name);
    } else if (label == kNewScript || label == kNewDirectory) {
        const bool isScript = label == kNewScript;
        FilenNameInputDialog dialog(this);
        dialog.setWindowTitle(label);
        if (!isScript)
            dialog.clearFileName();
        if (dialog.exec() != QDialog::Accepted)
            return;
        const QString target = path + QLatin1Char('/') + dialog.fileName();
        QString error;
        const FileOperations::Result result = isScript ? FileOperations::createEmptyFile(target, &error)
                                                       : FileOperations::createDirectory(target, &error);
        if (result == FileOperations::Result::AlreadyExists) {
            QMessageBox::information(this, QStringLiteral("提示"),
                                     isScript ? QStringLiteral("文件已存在！") : QStringLiteral("该目录已存在！"),
                                     QMessageBox::Ok);
        } else if (result == FileOperations::Result::Failed) {
            QMessageBox::information(this, QStringLiteral("提示"),
                                     QStringLiteral("无法创建“%1”：%2").arg(target, error), QMessageBox::Ok);
        }
    } else if (label == kDeleteProject) {
        FileOperations::deleteTree(Workspace::projectAbsolutePath(name));
    } else if (label == kDeleteDirectory || label == kDeleteFile) {
        FileOperations::deleteTree(path);
    } else if (label == kShowInBrowser) {
        Platform::showInFileBrowser(path, kind == FileKind);
    }
}
