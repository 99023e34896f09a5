#include "runner/ui/TreeExpansion.h"

#include <QTreeView>

TreeExpansion::TreeExpansion(QTreeView *view, const QSet<QString> &openAtFirst)
    : QObject(view)
    , view(view)
    , open(openAtFirst)
{
    connect(view, &QTreeView::expanded, this, [this](const QModelIndex &index) { open.insert(pathOf(index)); });
    connect(view, &QTreeView::collapsed, this, [this](const QModelIndex &index) { open.remove(pathOf(index)); });
    QAbstractItemModel *model = view->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &TreeExpansion::reopen);
    connect(model, &QAbstractItemModel::modelReset, this,
            [this, model] { reopen(QModelIndex(), 0, model->rowCount() - 1); });
}

QString TreeExpansion::pathOf(const QModelIndex &index) const
{
    QString path;
    for (QModelIndex at = index.sibling(index.row(), 0); at.isValid(); at = at.parent())
        path.prepend(QLatin1Char('/') + at.data().toString());
    return path.mid(1);
}

void TreeExpansion::reopen(const QModelIndex &parent, int first, int last)
{
    const QAbstractItemModel *model = view->model();
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (open.contains(pathOf(index)))
            view->expand(index);
    }
}
