#include "runner/ui/DebugPanes.h"

#include "runner/WatchModel.h"
#include "runner/ui/TreeExpansion.h"

#include <QAction>
#include <QDockWidget>
#include <QHeaderView>
#include <QMainWindow>
#include <QTreeWidget>

#include <algorithm>

namespace {

QTreeView *valueView(QAbstractItemModel &model)
{
    auto *view = new QTreeView;
    view->setModel(&model);
    view->setUniformRowHeights(true);
    view->setAlternatingRowColors(true);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionResizeMode(VariableModel::Name, QHeaderView::Interactive);
    view->header()->setSectionResizeMode(VariableModel::Value, QHeaderView::Stretch);
    view->header()->setSectionResizeMode(VariableModel::Type, QHeaderView::ResizeToContents);
    view->setColumnWidth(VariableModel::Name, 110);
    return view;
}

} // namespace

DebugPanes::DebugPanes(QMainWindow &window, VariableModel &variableModel, WatchModel &watchModel)
    : QObject(&window)
    , stack(new QTreeWidget)
    , variables(valueView(variableModel))
    , watches(valueView(watchModel))
{
    stack->setObjectName(QStringLiteral("callStackView"));
    stack->setHeaderLabels({QStringLiteral("函数"), QStringLiteral("位置")});
    stack->setRootIsDecorated(false);
    stack->setUniformRowHeights(true);
    connect(stack, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        emit signal_frameChosen(stack->indexOfTopLevelItem(item));
    });

    variables->setObjectName(QStringLiteral("variablesView"));
    // The frame's own names open at first; what the author opens stays open step after step.
    new TreeExpansion(variables, {QStringLiteral("局部变量")});

    watches->setObjectName(QStringLiteral("watchView"));
    watches->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    watches->setSelectionMode(QAbstractItemView::ExtendedSelection);
    new TreeExpansion(watches, {});
    watches->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto addAction = [this](const QString &text, const QKeySequence &keys, auto slot) {
        auto *action = new QAction(text, watches);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, slot);
        watches->addAction(action);
    };
    addAction(QStringLiteral("添加监视"), QKeySequence(Qt::Key_Insert), [this, &watchModel] {
        const QModelIndex placeholder = watchModel.index(watchModel.rowCount() - 1, VariableModel::Name);
        watches->setCurrentIndex(placeholder);
        watches->edit(placeholder);
    });
    addAction(QStringLiteral("编辑监视"), QKeySequence(Qt::Key_F2), [this] {
        const QModelIndex current = watches->currentIndex();
        if (current.isValid() && !current.parent().isValid())
            watches->edit(current.sibling(current.row(), VariableModel::Name));
    });
    addAction(QStringLiteral("删除监视"), QKeySequence(QKeySequence::Delete), &DebugPanes::removeChosenWatches);
    addAction(QStringLiteral("删除全部监视"), QKeySequence(), [&watchModel] { watchModel.setExpressions({}); });

    docks = {dock(window, QStringLiteral("callStackPane"), QStringLiteral("调用栈"), stack),
             dock(window, QStringLiteral("variablesPane"), QStringLiteral("变量"), variables),
             dock(window, QStringLiteral("watchPane"), QStringLiteral("监视"), watches)};
    window.resizeDocks(docks.toList(), {120, 260, 160}, Qt::Vertical);
    setVisible(false);
}

QDockWidget *DebugPanes::dock(QMainWindow &window, const QString &name, const QString &title, QWidget *content)
{
    auto *dock = new QDockWidget(title, &window);
    dock->setObjectName(name);
    dock->setWidget(content);
    window.addDockWidget(Qt::RightDockWidgetArea, dock, Qt::Vertical);
    return dock;
}

void DebugPanes::setVisible(bool visible)
{
    for (QDockWidget *dock : qAsConst(docks))
        dock->setVisible(visible);
}

void DebugPanes::showFrames(const QVector<DebugFrame> &frames, int chosen)
{
    stack->clear();
    QList<QTreeWidgetItem *> items;
    for (int i = 0; i < frames.size(); ++i) {
        const DebugFrame &frame = frames[i];
        const QString place =
            frame.script.isEmpty() ? QString() : QStringLiteral("%1:%2").arg(frame.script).arg(frame.line);
        auto *item = new QTreeWidgetItem({frame.function, place});
        if (frame.script.isEmpty())
            item->setForeground(0, Qt::gray);
        if (i == chosen) {
            QFont bold = item->font(0);
            bold.setBold(true);
            item->setFont(0, bold);
            item->setFont(1, bold);
        }
        items.append(item);
    }
    stack->addTopLevelItems(items);
    if (chosen >= 0 && chosen < items.size())
        stack->setCurrentItem(items[chosen]);
}

void DebugPanes::removeChosenWatches()
{
    auto *model = static_cast<WatchModel *>(watches->model());
    QList<int> rows;
    for (const QModelIndex &index : watches->selectionModel()->selectedRows()) {
        if (!index.parent().isValid())
            rows.append(index.row());
    }
    // From the last, so the rows before keep their places.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (const int row : rows)
        model->remove(row);
}
