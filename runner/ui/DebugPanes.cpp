#include "runner/ui/DebugPanes.h"

#include "runner/WatchModel.h"
#include "runner/ui/TreeExpansion.h"
#include "ui_DebugPanes.h"

#include <QAction>
#include <QHeaderView>

#include <algorithm>

namespace {

void showValues(QTreeView *view, QAbstractItemModel &model)
{
    view->setModel(&model);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionResizeMode(VariableModel::Name, QHeaderView::Interactive);
    view->header()->setSectionResizeMode(VariableModel::Value, QHeaderView::Stretch);
    view->header()->setSectionResizeMode(VariableModel::Type, QHeaderView::ResizeToContents);
    view->setColumnWidth(VariableModel::Name, 110);
}

} // namespace

DebugPanes::DebugPanes(VariableModel &variableModel, WatchModel &watches, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DebugPanes)
    , watchModel(watches)
{
    ui->setupUi(this);
    ui->debugSplitter->setSizes({120, 260, 160});
    connect(ui->callStackView, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        emit signal_frameChosen(ui->callStackView->indexOfTopLevelItem(item));
    });

    showValues(ui->variablesView, variableModel);
    // The frame's own names open at first; what the author opens stays open step after step.
    new TreeExpansion(ui->variablesView, {QStringLiteral("局部变量")});

    QTreeView *view = ui->watchView;
    showValues(view, watchModel);
    new TreeExpansion(view, {});
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto addAction = [this, view](const QString &text, const QKeySequence &keys, auto slot) {
        auto *action = new QAction(text, view);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, slot);
        view->addAction(action);
    };
    addAction(QStringLiteral("添加监视"), QKeySequence(Qt::Key_Insert), [this, view] {
        const QModelIndex placeholder = watchModel.index(watchModel.rowCount() - 1, VariableModel::Name);
        view->setCurrentIndex(placeholder);
        view->edit(placeholder);
    });
    addAction(QStringLiteral("编辑监视"), QKeySequence(Qt::Key_F2), [view] {
        const QModelIndex current = view->currentIndex();
        if (current.isValid() && !current.parent().isValid())
            view->edit(current.sibling(current.row(), VariableModel::Name));
    });
    addAction(QStringLiteral("删除监视"), QKeySequence(QKeySequence::Delete), &DebugPanes::removeChosenWatches);
    addAction(QStringLiteral("删除全部监视"), QKeySequence(), [this] { watchModel.setExpressions({}); });
}

DebugPanes::~DebugPanes()
{
    delete ui;
}

QTreeWidget *DebugPanes::callStack() const
{
    return ui->callStackView;
}

QTreeView *DebugPanes::variablesView() const
{
    return ui->variablesView;
}

QTreeView *DebugPanes::watchView() const
{
    return ui->watchView;
}

void DebugPanes::showFrames(const QVector<DebugFrame> &frames, int chosen)
{
    QTreeWidget *stack = ui->callStackView;
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
    QList<int> rows;
    for (const QModelIndex &index : ui->watchView->selectionModel()->selectedRows()) {
        if (!index.parent().isValid())
            rows.append(index.row());
    }
    // From the last, so the rows before keep their places.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (const int row : rows)
        watchModel.remove(row);
}
